#include <cpcoll/CPVector.h>

#include <cpcoll/detail/slot_block.h>

using tarncoll::detail::DeleteSlotBlock;
using tarncoll::detail::NewSlotBlockOrThrow;

// ---- Construction and copying -----------------------------------------

CPVector::CPVector(unsigned long ulSize)
    : ulVectorSize(ulSize), ulVectorCount(0), arpvVector(NewSlotBlockOrThrow(ulSize)) {}

CPVector::CPVector(const CPVector& other)
    : Createable(),
      CPFlatCollection(other),
      ulVectorSize(other.ulVectorSize),
      ulVectorCount(0),
      arpvVector(NewSlotBlockOrThrow(other.ulVectorSize)) {}

CPVector& CPVector::operator=(const CPVector& other) {
  if (this == &other) return *this;
  void** block = NewSlotBlockOrThrow(other.ulVectorSize);
  DeleteSlotBlock(arpvVector);
  CPFlatCollection::operator=(other);
  ulVectorSize = other.ulVectorSize;
  arpvVector = block;
  return *this;
}

CPVector::~CPVector() {
  DeleteSlotBlock(arpvVector);
  arpvVector = nullptr;
}

IterationState* CPVector::CreateIterationState() { return new VectorIterationState(this); }

CPCollection* CPVector::CreateInstance() { return new CPVector(255); }

// ---- Everything answers as an empty collection ----------------------------

void CPVector::ForEach(IteratorAction*) {}
void CPVector::ForEach(CPActionFunc, void*) {}
void* CPVector::FirstThat(CPConditionFunc, void*) { return nullptr; }
void* CPVector::NextThat(CPConditionFunc, void*) { return nullptr; }
CPCollection* CPVector::AllThat(CPConditionFunc, void*) { return nullptr; }

void CPVector::Add(void*) {}
void CPVector::AddInternalContainer(CPInternalContainer*) {}
char CPVector::Destroy(void*, CPKillFunc) { return 0; }
void* CPVector::RetrieveIDX(unsigned long) { return nullptr; }
char CPVector::Detach(void*) { return 0; }
char CPVector::DetachAll() { return 0; }
char CPVector::DestroyAll(CPKillFunc) { return 0; }

void CPVector::GotoTop() {}
void CPVector::GotoBottom() {}
long CPVector::Next() { return 0; }
long CPVector::Prev() { return 0; }
void* CPVector::Retrieve() { return nullptr; }

// ---- VectorIterationState ---------------------------------------------------

VectorIterationState::VectorIterationState(CPVector* pvec) : IterationState(pvec), ulIndex(0) {}

VectorIterationState::VectorIterationState(const VectorIterationState& other)
    : Createable(), IterationState(other), ulIndex(other.ulIndex) {}

VectorIterationState& VectorIterationState::operator=(const VectorIterationState& other) {
  IterationState::operator=(other);
  ulIndex = other.ulIndex;
  return *this;
}

VectorIterationState::~VectorIterationState() {}

short VectorIterationState::vgotoTop() { return 1; }
short VectorIterationState::vgotoBottom() { return 1; }
short VectorIterationState::vgotoIDX(unsigned long) { return 1; }
short VectorIterationState::vgotoNext() { return 1; }
short VectorIterationState::vgotoPrev() { return 1; }
void* VectorIterationState::vretrieve() { return nullptr; }
CPInternalContainer* VectorIterationState::vretrieveInternalContainer() { return nullptr; }
