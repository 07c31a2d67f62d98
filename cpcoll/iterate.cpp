#include <cpcoll/iterate.h>

#include <cpcoll/cpcollec.h>
#include <cpcoll/detail/report.h>

namespace {
const char kSource[] = "cpcoll\\iterate";
}

// ---- IterationState ---------------------------------------------------

IterationState::IterationState(CPCollection* pcl)
    : nXACTSeen(pcl ? pcl->_get_nXACT() : short{0}), pclAssociated(pcl) {}

IterationState::IterationState(const IterationState& other)
    : Createable(other), nXACTSeen(other.nXACTSeen), pclAssociated(other.pclAssociated) {}

IterationState& IterationState::operator=(const IterationState& other) {
  nXACTSeen = other.nXACTSeen;
  pclAssociated = other.pclAssociated;
  return *this;
}

IterationState::~IterationState() {}

void IterationState::CheckSnapshot() const {
  if (nXACTSeen != pclAssociated->_get_nXACT()) throw kCursorException;
}

short IterationState::gotoTop() {
  nXACTSeen = pclAssociated->_get_nXACT();
  return vgotoTop();
}

short IterationState::gotoBottom() {
  nXACTSeen = pclAssociated->_get_nXACT();
  return vgotoBottom();
}

short IterationState::gotoIDX(unsigned long idx) {
  nXACTSeen = pclAssociated->_get_nXACT();
  return vgotoIDX(idx);
}

short IterationState::gotoNext() {
  CheckSnapshot();
  return vgotoNext();
}

short IterationState::gotoPrev() {
  CheckSnapshot();
  return vgotoPrev();
}

void* IterationState::retrieve() {
  CheckSnapshot();
  return vretrieve();
}

CPInternalContainer* IterationState::retrieveInternalContainer() {
  CheckSnapshot();
  return vretrieveInternalContainer();
}

short IterationState::vgotoIDX(unsigned long idx) {
  vgotoTop();
  for (unsigned long i = 0; i < idx; ++i) vgotoNext();
  return 1;
}

void* IterationState::get() {
  void* pv = retrieve();
  gotoNext();
  return pv;
}

// ---- Iterator ---------------------------------------------------------

Iterator::Iterator() : bBusy(0), pitsThe(nullptr) {}

Iterator::Iterator(const Iterator&) : Createable(), bBusy(0), pitsThe(nullptr) {}

Iterator& Iterator::operator=(const Iterator&) { return *this; }

Iterator::~Iterator() { delete pitsThe; }

void Iterator::_set_pitsThe(IterationState* pits) {
  if (pits == pitsThe) return;
  delete pitsThe;
  pitsThe = pits;
}

IterationState* Iterator::RequireState() const {
  TARNCOLL_ASSERT(pitsThe != nullptr, kSource, "pitsThe");
  return pitsThe;
}

void Iterator::EnterVisit() {
  RequireState();
  if (bBusy) throw kCursorException;
  bBusy = 1;
}

void Iterator::LeaveVisit() {
  if (!bBusy) throw kCursorException;
  bBusy = 0;
}

short Iterator::forEach(ItemAction pfnAction, void* pvUser) {
  EnterVisit();
  if (pitsThe->gotoTop()) {
    while (void* pv = pitsThe->retrieve()) {
      pfnAction(pv, pvUser);
      pitsThe->gotoNext();
    }
  }
  LeaveVisit();
  return 1;
}

short Iterator::forEach(NodeAction pfnAction, void* pvUser) {
  EnterVisit();
  if (pitsThe->gotoTop()) {
    while (CPInternalContainer* pic = pitsThe->retrieveInternalContainer()) {
      pfnAction(pic, pvUser);
      pitsThe->gotoNext();
    }
  }
  LeaveVisit();
  return 1;
}

short Iterator::forEachThat(ItemCondition pfnCond, void* pvCondUser, ItemAction pfnAction, void* pvActionUser) {
  EnterVisit();
  if (pitsThe->gotoTop()) {
    while (void* pv = pitsThe->retrieve()) {
      if (pfnCond(pv, pvCondUser)) pfnAction(pv, pvActionUser);
      pitsThe->gotoNext();
    }
  }
  LeaveVisit();
  return 1;
}

short Iterator::forEachThat(NodeCondition pfnCond, void* pvCondUser, NodeAction pfnAction, void* pvActionUser) {
  EnterVisit();
  if (pitsThe->gotoTop()) {
    while (CPInternalContainer* pic = pitsThe->retrieveInternalContainer()) {
      if (pfnCond(pic, pvCondUser)) pfnAction(pic, pvActionUser);
      pitsThe->gotoNext();
    }
  }
  LeaveVisit();
  return 1;
}

namespace {
void AddItemTo(void* pv, void* pvCollection) { static_cast<CPCollection*>(pvCollection)->Add(pv); }
void AddNodeTo(CPInternalContainer* pic, void* pvCollection) {
  static_cast<CPCollection*>(pvCollection)->AddInternalContainer(pic);
}

// Runs the walk into a fresh collection; the collection is freed when the
// walk throws, so a failed allThat leaks nothing.
template <class Walk>
CPCollection* CollectInto(IterationState* pits, Walk walk) {
  CPCollection* pclNew = pits->_get_pclAssociated()->CreateInstance();
  TARNCOLL_FAIL_IF_NIL(pclNew, kSource, "pclNew");
  try {
    walk(pclNew);
  } catch (...) {
    delete pclNew;
    throw;
  }
  return pclNew;
}
}  // namespace

CPCollection* Iterator::allThat(ItemCondition pfnCond, void* pvUser) {
  return CollectInto(RequireState(), [&](CPCollection* pcl) { forEachThat(pfnCond, pvUser, &AddItemTo, pcl); });
}

CPCollection* Iterator::allThat(NodeCondition pfnCond, void* pvUser) {
  return CollectInto(RequireState(), [&](CPCollection* pcl) { forEachThat(pfnCond, pvUser, &AddNodeTo, pcl); });
}

void* Iterator::SearchItems(ItemCondition pfnCond, void* pvUser, bool bFromTop) {
  IterationState* pits = RequireState();
  if (bFromTop) {
    if (!pits->gotoTop()) return nullptr;
  } else {
    pits->gotoNext();
  }
  while (void* pv = pitsThe->retrieve()) {
    if (pfnCond(pv, pvUser)) return pv;
    pitsThe->gotoNext();
  }
  return nullptr;
}

namespace {
// Node searches take either callback form: a node condition sees the node,
// an item condition sees the node's item.
inline short Ask(NodeCondition pfn, CPInternalContainer* pic, void* pvUser) { return pfn(pic, pvUser); }
inline short Ask(ItemCondition pfn, CPInternalContainer* pic, void* pvUser) { return pfn(pic->_get_pvTheData(), pvUser); }
}  // namespace

template <class Cond>
CPInternalContainer* Iterator::SearchNodes(Cond pfnCond, void* pvUser, bool bFromTop) {
  IterationState* pits = RequireState();
  if (bFromTop) {
    if (!pits->gotoTop()) return nullptr;
  } else {
    pits->gotoNext();
  }
  while (CPInternalContainer* pic = pitsThe->retrieveInternalContainer()) {
    if (Ask(pfnCond, pic, pvUser)) return pic;
    pitsThe->gotoNext();
  }
  return nullptr;
}

void* Iterator::firstThat(ItemCondition pfnCond, void* pvUser) { return SearchItems(pfnCond, pvUser, true); }

void* Iterator::firstThat(NodeCondition pfnCond, void* pvUser) {
  CPInternalContainer* pic = SearchNodes(pfnCond, pvUser, true);
  return pic ? pic->_get_pvTheData() : nullptr;
}

CPInternalContainer* Iterator::firstinternalcontainerThat(ItemCondition pfnCond, void* pvUser) {
  return SearchNodes(pfnCond, pvUser, true);
}

CPInternalContainer* Iterator::firstinternalcontainerThat(NodeCondition pfnCond, void* pvUser) {
  return SearchNodes(pfnCond, pvUser, true);
}

void* Iterator::nextThat(ItemCondition pfnCond, void* pvUser) { return SearchItems(pfnCond, pvUser, false); }

void* Iterator::nextThat(NodeCondition pfnCond, void* pvUser) {
  CPInternalContainer* pic = SearchNodes(pfnCond, pvUser, false);
  return pic ? pic->_get_pvTheData() : nullptr;
}

CPInternalContainer* Iterator::nextinternalcontainerThat(ItemCondition pfnCond, void* pvUser) {
  return SearchNodes(pfnCond, pvUser, false);
}

CPInternalContainer* Iterator::nextinternalcontainerThat(NodeCondition pfnCond, void* pvUser) {
  return SearchNodes(pfnCond, pvUser, false);
}

// ---- Iterable ---------------------------------------------------------

Iterable::Iterable() {}
Iterable::Iterable(const Iterable& other) : Createable(), Iterator(other) {}
Iterable& Iterable::operator=(const Iterable& other) {
  Iterator::operator=(other);
  return *this;
}
Iterable::~Iterable() {}

IterationState* Iterable::CreateIterationState() { return nullptr; }

Iterator* Iterable::GetIterator() {
  Iterator* piterA = new Iterator;
  TARNCOLL_FAIL_IF_NIL(piterA, kSource, "piterA");
  IterationState* pitsA = CreateIterationState();
  if (!pitsA) {
    delete piterA;
    TARNCOLL_FAIL_IF_NIL(pitsA, kSource, "pitsA");
  }
  piterA->_set_pitsThe(pitsA);
  return piterA;
}

IteratorAction::~IteratorAction() {}
