#include <cpcoll/CpArray.h>

#include <cstring>
#include <typeinfo>

#include <cpcoll/detail/report.h>
#include <cpcoll/detail/slot_block.h>

using tarncoll::detail::CopySlotBlock;
using tarncoll::detail::DeleteSlotBlock;
using tarncoll::detail::DropFront;
using tarncoll::detail::DropItems;
using tarncoll::detail::KillThroughLedger;
using tarncoll::detail::NewSlotBlock;
using tarncoll::detail::NewSlotBlockOrThrow;

namespace {
const char kSource[] = "cpcoll\\CpArray";
}  // namespace

// ---- Construction and copying -----------------------------------------

CPArray::CPArray(unsigned long ulSize)
    : arpvThe(NewSlotBlockOrThrow(ulSize)), ulArraySize(ulSize), ulCurrentIndex(0), ulCursor(0) {}

CPArray::CPArray(const CPArray& other)
    : Createable(),
      CPFlatCollection(other),
      arpvThe(CopySlotBlock(other.arpvThe, other.ulCurrentIndex, other.ulArraySize)),
      ulArraySize(other.ulArraySize),
      ulCurrentIndex(other.ulCurrentIndex),
      ulCursor(other.ulCursor) {}

CPArray& CPArray::operator=(const CPArray& other) {
  if (this == &other) return *this;
  void** block = CopySlotBlock(other.arpvThe, other.ulCurrentIndex, other.ulArraySize);
  DeleteSlotBlock(arpvThe);
  CPFlatCollection::operator=(other);
  arpvThe = block;
  ulArraySize = other.ulArraySize;
  ulCurrentIndex = other.ulCurrentIndex;
  ulCursor = other.ulCursor;
  return *this;
}

CPArray::~CPArray() {
  ++nXACT;
  ulCurrentIndex = 0;
  nLength = 0;
  DeleteSlotBlock(arpvThe);
  arpvThe = nullptr;
}

IterationState* CPArray::CreateIterationState() { return new ArrayIterationState(this); }

CPCollection* CPArray::CreateInstance() { return new CPArray(256); }

// ---- Adding and removing -----------------------------------------------

void CPArray::AddInternalContainer(CPInternalContainer*) {}

char CPArray::InsertIDX(unsigned long idx, void* pvItem) {
  if (idx > ulArraySize) return 0;
  if (idx > ulCurrentIndex) {
    Add(pvItem);
    return 1;
  }
  if (ulCurrentIndex >= ulArraySize) return 0;  // full: no slot to move into
  std::memmove(arpvThe + idx + 1, arpvThe + idx, (ulCurrentIndex - idx) * sizeof(void*));
  arpvThe[idx] = pvItem;
  ++ulCurrentIndex;
  IncrementLength();
  return 1;
}

char CPArray::FindElement(void* pvItem, unsigned long* pulIndex) {
  for (unsigned long i = 0; i < ulCurrentIndex; ++i) {
    if (arpvThe[i] == pvItem) {
      *pulIndex = i;
      return 1;
    }
  }
  return 0;
}

void CPArray::RemoveAt(unsigned long idx) {
  DecrementLength();  // reports before anything moves when the count is off
  std::memmove(arpvThe + idx, arpvThe + idx + 1, (ulCurrentIndex - idx - 1) * sizeof(void*));
  --ulCurrentIndex;
  ulCursor = 0;
}

char CPArray::Detach(void* pvItem) {
  unsigned long idx;
  if (!FindElement(pvItem, &idx)) return 0;
  RemoveAt(idx);
  return 1;
}

char CPArray::Destroy(void* pvItem, CPKillFunc pfnKill) {
  unsigned long idx;
  if (!FindElement(pvItem, &idx)) return 0;
  try {
    pfnKill(pvItem, nullptr);
  } catch (...) {
    // The item was handed to kill: it leaves the array all the same.
    if (FindElement(pvItem, &idx)) RemoveAt(idx);
    throw;
  }
  RemoveAt(idx);
  return 1;
}

char CPArray::DetachAll() {
  ++nXACT;
  ulCurrentIndex = 0;
  nLength = 0;
  return 1;
}

void CPArray::SetCount(unsigned long ulCount) {
  ++nXACT;
  ulCurrentIndex = ulCount;
  nLength = ulCount;
  ulCursor = 0;
}

char CPArray::DestroyAll(CPKillFunc pfnKill) {
  // When kill throws, the items handed to it leave the array and the others
  // stay.  The inherited walk has its cursor on the item being killed; a
  // derived walk is followed through a ledger of the items it handed.
  if (typeid(*this) == typeid(CPArray)) {
    try {
      ForEach(pfnKill, nullptr);
    } catch (...) {
      SetCount(DropFront(arpvThe, ulCurrentIndex, ulCursor + 1));
      throw;
    }
  } else {
    KillThroughLedger(
        pfnKill, [this](CPActionFunc pfn, void* pv) { ForEach(pfn, pv); },
        [this](const std::vector<void*>& handed) { SetCount(DropItems(arpvThe, ulCurrentIndex, handed)); });
  }
  DetachAll();
  ClearLength();
  return 1;
}

// ---- Capacity -----------------------------------------------------------

void CPArray::Resize(unsigned long ulSize) {
  void** arpvNew = NewSlotBlock(ulSize);
  TARNCOLL_FAIL_IF_NIL(arpvNew, kSource, "arpvNew");
  unsigned long ulKeep = ulCurrentIndex < ulSize ? ulCurrentIndex : ulSize;
  if (ulKeep != 0) std::memcpy(arpvNew, arpvThe, ulKeep * sizeof(void*));
  DeleteSlotBlock(arpvThe);
  arpvThe = arpvNew;
  ulArraySize = ulSize;
  ulCursor = 0;
  if (ulKeep < ulCurrentIndex) {  // the items beyond the new capacity are dropped
    ulCurrentIndex = ulKeep;
    nLength = ulKeep;
    ++nXACT;
  }
}

// ---- Walks ----------------------------------------------------------------

CPCollection* CPArray::AllThat(CPConditionFunc pfnCond, void* pvUser) {
  if (nLength == 0) return nullptr;
  CPArray* parrReturn = new CPArray(ulCurrentIndex);
  TARNCOLL_FAIL_IF_NIL(parrReturn, kSource, "parrReturn");
  try {
    GotoTop();
    while (void* pv = Retrieve()) {
      if (pfnCond(pv, pvUser)) parrReturn->Add(pv);
      Next();
    }
  } catch (...) {
    delete parrReturn;
    throw;
  }
  return parrReturn;
}

// ---- ArrayIterationState --------------------------------------------------

ArrayIterationState::ArrayIterationState(CPArray* parr) : IterationState(parr), ulIndex(0) {}

ArrayIterationState::ArrayIterationState(const ArrayIterationState& other)
    : Createable(), IterationState(other), ulIndex(other.ulIndex) {}

ArrayIterationState& ArrayIterationState::operator=(const ArrayIterationState& other) {
  IterationState::operator=(other);
  ulIndex = other.ulIndex;
  return *this;
}

ArrayIterationState::~ArrayIterationState() {}

CPArray* ArrayIterationState::Array() const { return static_cast<CPArray*>(pclAssociated); }

short ArrayIterationState::vgotoTop() {
  ulIndex = 0;
  return 1;
}

short ArrayIterationState::vgotoBottom() {
  ulIndex = Array()->_get_ulCurrentIndex() - 1;  // empty: wraps off the end
  return 1;
}

short ArrayIterationState::vgotoIDX(unsigned long i) {
  if (i >= Array()->_get_ulCurrentIndex()) return 0;
  ulIndex = i;
  return 1;
}

short ArrayIterationState::vgotoNext() {
  unsigned long ulCount = Array()->_get_ulCurrentIndex();
  if (ulIndex < ulCount) return static_cast<short>(++ulIndex);
  ulIndex = ulCount;
  return 0;
}

short ArrayIterationState::vgotoPrev() {
  if (ulIndex > 0) return static_cast<short>(--ulIndex);
  return 0;
}

void* ArrayIterationState::vretrieve() {
  CPArray* parr = Array();
  return ulIndex < parr->_get_ulCurrentIndex() ? parr->_get_arpvThe()[ulIndex] : nullptr;
}

CPInternalContainer* ArrayIterationState::vretrieveInternalContainer() { return nullptr; }
