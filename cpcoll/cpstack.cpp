#include <cpcoll/cpstack.h>

#include <typeinfo>

#include <cpcoll/detail/slot_block.h>
#include <util/Exceptions.h>

using tarncoll::detail::CopySlotBlock;
using tarncoll::detail::DeleteSlotBlock;
using tarncoll::detail::DropFront;
using tarncoll::detail::DropItems;
using tarncoll::detail::KillThroughLedger;
using tarncoll::detail::NewSlotBlockOrThrow;

namespace {
const char kSource[] = "cpcoll\\cpstack";

// The walks a stack does not support.
[[noreturn]] void ReportUnsupported(long nLine) { Exceptions::_get_gexeptnsThe()->Assert(kSource, nLine, "1==0"); }
}  // namespace

// ---- Construction and copying -----------------------------------------

CPStack::CPStack(unsigned long ulSize)
    : arpvStack(NewSlotBlockOrThrow(ulSize)), ulStackSize(ulSize), ulStackCount(0), ulCursor(0) {}

CPStack::CPStack(const CPStack& other)
    : Createable(),
      CPCollection(other),
      arpvStack(CopySlotBlock(other.arpvStack, other.ulStackCount, other.ulStackSize)),
      ulStackSize(other.ulStackSize),
      ulStackCount(other.ulStackCount),
      ulCursor(other.ulCursor) {}

CPStack& CPStack::operator=(const CPStack& other) {
  if (this == &other) return *this;
  void** block = CopySlotBlock(other.arpvStack, other.ulStackCount, other.ulStackSize);
  DeleteSlotBlock(arpvStack);
  CPCollection::operator=(other);
  arpvStack = block;
  ulStackSize = other.ulStackSize;
  ulStackCount = other.ulStackCount;
  ulCursor = other.ulCursor;
  return *this;
}

CPStack::~CPStack() {
  ++nXACT;
  ulStackCount = 0;
  ulCursor = 0;
  nLength = 0;
  DeleteSlotBlock(arpvStack);
  arpvStack = nullptr;
}

IterationState* CPStack::CreateIterationState() { return new StackIterationState(this); }

CPCollection* CPStack::CreateInstance() { return new CPStack(255); }

// ---- Walks --------------------------------------------------------------

void CPStack::ForEach(IteratorAction*) { ReportUnsupported(__LINE__); }

void CPStack::ForEach(CPActionFunc pfnAction, void* pvUser) {
  for (unsigned long i = 0; i < ulStackCount; ++i) pfnAction(arpvStack[i], pvUser);
}

void* CPStack::FirstThat(CPConditionFunc, void*) { ReportUnsupported(__LINE__); }

void* CPStack::NextThat(CPConditionFunc, void*) { ReportUnsupported(__LINE__); }

CPCollection* CPStack::AllThat(CPConditionFunc, void*) { ReportUnsupported(__LINE__); }

// ---- Pushing and popping ------------------------------------------------

void CPStack::AddInternalContainer(CPInternalContainer*) {}

// ---- Removing -------------------------------------------------------------

bool CPStack::FindFromTop(void* pvItem, unsigned long* pulSlot) const {
  for (unsigned long i = ulStackCount; i-- > 0;) {
    if (arpvStack[i] == nullptr) return false;  // a null item ends the search
    if (arpvStack[i] == pvItem) {
      *pulSlot = i;
      return true;
    }
  }
  return false;
}

void CPStack::UnwindTo(unsigned long ulSlot) {
  // One pop's bookkeeping per item removed, as Pop does it.
  while (ulStackCount > ulSlot) {
    DecrementLength();
    --ulStackCount;
  }
}

char CPStack::Detach(void* pvItem) {
  unsigned long ulSlot;
  if (!FindFromTop(pvItem, &ulSlot)) return 0;
  UnwindTo(ulSlot);
  return 1;
}

char CPStack::Destroy(void* pvItem, CPKillFunc pfnKill) {
  unsigned long ulSlot;
  if (!FindFromTop(pvItem, &ulSlot)) return 0;
  try {
    pfnKill(pvItem, nullptr);
  } catch (...) {
    // The item was handed to kill: the unwinding happens all the same.
    UnwindTo(ulSlot);
    throw;
  }
  UnwindTo(ulSlot);
  return 1;
}

char CPStack::DetachAll() {
  ClearLength();
  ulStackCount = 0;
  ulCursor = 0;
  return 1;
}

void CPStack::SetCount(unsigned long ulCount) {
  ++nXACT;
  ulStackCount = ulCount;
  nLength = ulCount;
  ulCursor = 0;
}

char CPStack::DestroyAll(CPKillFunc pfnKill) {
  // When kill throws, the items handed to it leave the stack and the others
  // stay, in their order.  The stack's own walk is taken inline, where the
  // slot being killed is known; a derived walk is followed through a
  // ledger of the items it handed.
  if (typeid(*this) == typeid(CPStack)) {
    unsigned long i = 0;
    try {
      for (; i < ulStackCount; ++i) pfnKill(arpvStack[i], nullptr);
    } catch (...) {
      SetCount(DropFront(arpvStack, ulStackCount, i + 1));
      throw;
    }
  } else {
    KillThroughLedger(
        pfnKill, [this](CPActionFunc pfn, void* pv) { ForEach(pfn, pv); },
        [this](const std::vector<void*>& handed) { SetCount(DropItems(arpvStack, ulStackCount, handed)); });
  }
  DetachAll();
  return 1;
}

// ---- Built-in cursor ------------------------------------------------------

void CPStack::GotoTop() { ulCursor = 0; }

void CPStack::GotoBottom() { ulCursor = ulStackCount != 0 ? ulStackCount - 1 : 0; }

long CPStack::Next() {
  if (ulCursor < ulStackCount) return static_cast<long>(++ulCursor);
  ulCursor = 0;
  return 0;
}

long CPStack::Prev() {
  if (ulCursor != 0) --ulCursor;
  return static_cast<long>(ulCursor);
}

void* CPStack::Retrieve() { return ulCursor < ulStackCount ? arpvStack[ulCursor] : nullptr; }

// ---- StackIterationState --------------------------------------------------

StackIterationState::StackIterationState(CPStack* pstk) : IterationState(pstk), ulIndex(0) {}

StackIterationState::StackIterationState(const StackIterationState& other)
    : Createable(), IterationState(other), ulIndex(other.ulIndex) {}

StackIterationState& StackIterationState::operator=(const StackIterationState& other) {
  IterationState::operator=(other);
  ulIndex = other.ulIndex;
  return *this;
}

StackIterationState::~StackIterationState() {}

CPStack* StackIterationState::Stack() const { return static_cast<CPStack*>(pclAssociated); }

short StackIterationState::vgotoTop() {
  ulIndex = 0;
  return 1;
}

short StackIterationState::vgotoBottom() {
  unsigned long ulCount = Stack()->ulStackCount;
  ulIndex = ulCount != 0 ? ulCount - 1 : 0;
  return 1;
}

short StackIterationState::vgotoIDX(unsigned long i) {
  unsigned long ulCount = Stack()->ulStackCount;
  if (i < ulCount) ulIndex = ulCount - 1 - i;
  return 1;
}

short StackIterationState::vgotoNext() {
  if (ulIndex < Stack()->ulStackCount)
    ++ulIndex;
  else
    ulIndex = 0;
  return 1;
}

short StackIterationState::vgotoPrev() {
  if (ulIndex != 0) --ulIndex;
  return 1;
}

void* StackIterationState::vretrieve() {
  CPStack* pstk = Stack();
  return ulIndex < pstk->ulStackCount ? pstk->arpvStack[ulIndex] : nullptr;
}

CPInternalContainer* StackIterationState::vretrieveInternalContainer() { return nullptr; }
