#include <cpcoll/cplist.h>

#include <atomic>
#include <typeinfo>

#include <cpcoll/detail/bucket_links.h>
#include <cpcoll/detail/node_pool.h>
#include <cpcoll/detail/report.h>

using tarncoll::detail::list::LinkAfter;
using tarncoll::detail::list::LinkBefore;
using tarncoll::detail::list::Unlink;

namespace {
const char kSource[] = "cpcoll\\cplist";

// Carries a container condition through the Iterator's 16-bit condition
// type: the match is decided by the low 16 bits of the result.
struct ConditionCall {
  CPConditionFunc pfnCond;
  void* pvUser;
};

short CallCondition(void* pvItem, void* pvCall) {
  const ConditionCall* pcall = static_cast<const ConditionCall*>(pvCall);
  return static_cast<short>(pcall->pfnCond(pvItem, pcall->pvUser));
}

// Drops the list's reference on a node.  A plain CPBucket that nobody
// else holds is destroyed and its block returned straight away, which is
// what its Release would do, without the virtual calls; any other node
// (a derived class may override Release) goes through Release.
inline void DropReference(CPBucket* pbkt) {
  if (pbkt->_get_nRefCount() == 1 && &typeid(*pbkt) == &typeid(CPBucket)) {
    std::atomic_thread_fence(std::memory_order_acquire);  // as Release's last decrement
    pbkt->CPBucket::~CPBucket();
    CPBucket::operator delete(pbkt, sizeof(CPBucket));
  } else {
    pbkt->Release();
  }
}

// Keeps a node alive across a callback that may remove it from the list.
class NodeHold {
 public:
  explicit NodeHold(CPBucket* pbkt) : pbkt_(pbkt) { pbkt_->AddRef(); }
  ~NodeHold() { pbkt_->Release(); }
  NodeHold(const NodeHold&) = delete;
  NodeHold& operator=(const NodeHold&) = delete;

 private:
  CPBucket* pbkt_;
};
}  // namespace

// ---- CPBucket ---------------------------------------------------------------

CPBucket::CPBucket() : pbktPrev(nullptr), pbktNext(nullptr) { pvTheData = nullptr; }

CPBucket::CPBucket(const CPBucket& other)
    : Createable(), CPInternalContainer(other), pbktPrev(other.pbktPrev), pbktNext(other.pbktNext) {}

CPBucket& CPBucket::operator=(const CPBucket& other) {
  CPInternalContainer::operator=(other);
  pbktPrev = other.pbktPrev;
  pbktNext = other.pbktNext;
  return *this;
}

CPBucket::~CPBucket() {}

static_assert(sizeof(CPBucket) <= tarncoll::detail::kNodeBlockSize, "a list node must fit a pool block");

void* CPBucket::operator new(std::size_t nSize) noexcept {
  if (!TARNCOLL_NODE_POOL || nSize > tarncoll::detail::kNodeBlockSize) return Createable::operator new(nSize);
  if (Createable::AllocationFails()) return nullptr;
  return tarncoll::detail::TakeNodeBlock();
}

void CPBucket::operator delete(void* pv, std::size_t nSize) noexcept {
  if (pv == nullptr) return;
  if (!TARNCOLL_NODE_POOL || nSize > tarncoll::detail::kNodeBlockSize)
    Createable::operator delete(pv);
  else
    tarncoll::detail::GiveNodeBlock(pv);
}

// ---- CPList: construction, copying, destruction -------------------------------

CPList::CPList() { InitPointers(); }

CPList::CPList(const CPList& other) : Createable(), CPFlatCollection(other) {
  InitPointers();
  nLength = 0;
  AppendNodesOf(other);
}

CPList& CPList::operator=(const CPList& other) {
  if (this == &other) return *this;
  // Build the new chain first, so a failed allocation leaves this list as
  // it was.
  CPList lstCopy(other);
  ReleaseAll();
  short nXACTOld = nXACT;
  CPFlatCollection::operator=(other);
  nXACT = static_cast<short>(nXACTOld + 1);  // cursors on this list fail fast
  pbktHead = lstCopy.pbktHead;
  pbktTail = lstCopy.pbktTail;
  nLength = lstCopy.nLength;
  lstCopy.InitPointers();
  lstCopy.nLength = 0;
  itThe._set_pitsThe(nullptr);
  return *this;
}

CPList::~CPList() { ReleaseAll(); }

void CPList::InitPointers() {
  pbktHead = pbktTail = pbktReset = pbktCursor = pbktGot = pbktPeek = nullptr;
  nDXCursor = -1;
}

CPBucket* CPList::NewBucket(void* pvItem) {
  CPBucket* pbkt = new CPBucket;
  if (pbkt) {
    pbkt->_set_pvData(pvItem);
    pbkt->TakeFirstReference();  // the list's reference; nobody else sees the node yet
  }
  return pbkt;
}

void CPList::AppendNodesOf(const CPList& other) {
  try {
    for (CPBucket* pbkt = other.pbktHead; pbkt; pbkt = pbkt->_get_pbktNext()) {
      CPBucket* pbktNew = NewBucket(pbkt->_get_pvData());
      TARNCOLL_ASSERT(pbktNew != nullptr, kSource, "pbktNew !=0");
      LinkAfter(pbktHead, pbktTail, pbktTail, pbktNew);
      ++nLength;
    }
  } catch (...) {
    ReleaseAll();
    throw;
  }
}

// ---- creation slots ---------------------------------------------------------------

IterationState* CPList::CreateIterationState() { return new ListIterationState(this); }

CPCollection* CPList::CreateInstance() { return new CPList; }

// ---- bookkeeping shared by insertions and removals -----------------------------------

void CPList::Linked() {
  pbktReset = nullptr;
  nDXCursor = -1;
  IncrementLength();
}

void CPList::Forget(CPBucket* pbkt) {
  pbktReset = nullptr;
  nDXCursor = -1;
  if (pbktGot == pbkt) pbktGot = nullptr;
  if (pbktPeek == pbkt) pbktPeek = nullptr;
}

// ---- built-in cursor --------------------------------------------------------------------

void CPList::SetResetPoint() { pbktReset = pbktCursor; }

void CPList::ClearResetPoint() {
  pbktReset = nullptr;
  nDXCursor = -1;
}

void CPList::GotoResetPoint() {
  if (!pbktReset) {
    GotoTop();
    return;
  }
  pbktCursor = pbktReset;
  nDXCursor = -1;
  pbktPeek = nullptr;
}

void* CPList::Peek() {
  pbktPeek = pbktGot = pbktCursor;
  return pbktCursor ? pbktCursor->_get_pvData() : nullptr;
}

void* CPList::PeekNext() {
  if (pbktPeek && pbktPeek == pbktTail) return nullptr;
  pbktPeek = pbktPeek ? pbktPeek->_get_pbktNext() : pbktCursor;
  pbktGot = pbktPeek;
  return pbktPeek ? pbktPeek->_get_pvData() : nullptr;
}

void* CPList::Get() {
  pbktPeek = nullptr;
  void* pv = Retrieve();
  Next();
  return pv;
}

void CPList::StepToIndex(unsigned long idx) {
  if (typeid(*this) != typeid(CPList)) {
    // A derived list may count or change the steps: take them one by one
    // through the virtual slots.
    if (nDXCursor == -1) {
      GotoTop();
      for (unsigned long i = 0; i < idx; ++i) Next();
    } else {
      long nDelta = static_cast<long>(idx) - nDXCursor;
      for (; nDelta < 0; ++nDelta) Prev();
      for (; nDelta > 0; --nDelta) Next();
    }
    return;
  }
  // A plain list: the steps are unobservable, only where they end counts.
  // Walk to the same node from whichever of the cursor, the head and the
  // tail is nearest, leaving the same state (pbktPeek cleared only where
  // the stepwise way calls GotoTop).
  const unsigned long ulFromTail = nLength - 1 - idx;
  unsigned long ulFromCursor = ~0UL;
  if (nDXCursor == -1)
    pbktPeek = nullptr;
  else
    ulFromCursor = static_cast<unsigned long>(idx > static_cast<unsigned long>(nDXCursor)
                                                  ? idx - static_cast<unsigned long>(nDXCursor)
                                                  : static_cast<unsigned long>(nDXCursor) - idx);
  CPBucket* pbkt;
  if (ulFromCursor <= idx && ulFromCursor <= ulFromTail) {
    pbkt = pbktCursor;
    if (idx > static_cast<unsigned long>(nDXCursor))
      for (unsigned long i = 0; i < ulFromCursor; ++i) pbkt = pbkt->_get_pbktNext();
    else
      for (unsigned long i = 0; i < ulFromCursor; ++i) pbkt = pbkt->_get_pbktPrev();
  } else if (idx <= ulFromTail) {
    pbkt = pbktHead;
    for (unsigned long i = 0; i < idx; ++i) pbkt = pbkt->_get_pbktNext();
  } else {
    pbkt = pbktTail;
    for (unsigned long i = 0; i < ulFromTail; ++i) pbkt = pbkt->_get_pbktPrev();
  }
  pbktCursor = pbkt;
}

void* CPList::operator[](int i) {
  long n = i;
  if (n < 0) n += static_cast<long>(nLength);
  return RetrieveIDX(static_cast<unsigned long>(n));
}

// ---- insertion ------------------------------------------------------------------------------

void CPList::Add(void* pvItem) {
  CPBucket* pbktNew = NewBucket(pvItem);
  TARNCOLL_ASSERT(pbktNew != nullptr, kSource, "pbktNew !=0");
  LinkAfter(pbktHead, pbktTail, pbktTail, pbktNew);
  Linked();
}

int CPList::Insert(void* pvItem) {
  CPBucket* pbktNew = NewBucket(pvItem);
  TARNCOLL_FAIL_IF_NIL(pbktNew, kSource, "pbktNew");
  if (pbktCursor) {
    LinkBefore(pbktHead, pbktTail, pbktCursor, pbktNew);
  } else {
    CPBucket* pbktFormerHead = pbktHead;
    LinkAfter(pbktHead, pbktTail, nullptr, pbktNew);
    pbktCursor = pbktFormerHead ? pbktFormerHead : pbktNew;
  }
  Linked();
  return 1;
}

int CPList::InsertAfter(void* pvItem) {
  if (!pbktCursor) return 0;
  CPBucket* pbktNew = NewBucket(pvItem);
  TARNCOLL_FAIL_IF_NIL(pbktNew, kSource, "pbktNew");
  LinkAfter(pbktHead, pbktTail, pbktCursor, pbktNew);
  Linked();
  return 1;
}

void CPList::Intern(void* pvItem) {
  if (FindBucket(pvItem)) return;
  pbktReset = nullptr;
  nDXCursor = -1;
  Add(pvItem);
}

void CPList::AddBucket(CPBucket* pbktA) {
  TARNCOLL_ASSERT(pbktA != nullptr, kSource, "pbktA !=0");
  pbktA->AddRef();  // a caller's node: its own AddRef
  LinkAfter(pbktHead, pbktTail, pbktTail, pbktA);
  Linked();
}

void CPList::AddInternalContainer(CPInternalContainer*) {}

// ---- search --------------------------------------------------------------------------------

CPBucket* CPList::FindBucket(void* pvItem) {
  TARNCOLL_ASSERT(pvItem != nullptr, kSource, "pvItem2Find !=0");
  GotoTop();
  while (CPBucket* pbkt = pbktCursor) {
    pbktGot = pbkt;
    if (pbkt->_get_pvData() == pvItem) return pbkt;
    Next();
  }
  return nullptr;
}

short CPList::Exists(void* pvItem) { return FindBucket(pvItem) ? 1 : 0; }

CPBucket* CPList::FirstInternalContainerThat(CPConditionFunc pfnCond, void* pvUser) {
  if (!pfnCond) return nullptr;
  GotoTop();
  while (CPBucket* pbkt = pbktCursor) {
    pbktGot = pbkt;
    if (pfnCond(pbkt, pvUser)) return pbkt;
    Next();
  }
  return nullptr;
}

CPBucket* CPList::GetPredecessor(CPBucket* pbkt) {
  if (!pbkt || pbkt == pbktHead) return nullptr;
  return pbkt->_get_pbktPrev();
}

// ---- walks ---------------------------------------------------------------------------------

void* CPList::WalkActions(IteratorAction* pAction, bool bStopOnMatch) {
  while (void* pv = Retrieve()) {
    CPBucket* pbkt = pbktCursor;
    NodeHold hold(pbkt);  // the action may remove the node it was given
    pAction->pvItem = pv;
    short nResult = pAction->Perform();
    if (bStopOnMatch && nResult) return pv;
    pbktCursor = pbkt;
    nDXCursor = -1;
    Next();
  }
  return nullptr;
}

void CPList::ForEach(IteratorAction* pAction) {
  GotoTop();
  WalkActions(pAction, false);
}

void* CPList::FirstThat(IteratorAction* pAction) {
  GotoTop();
  return WalkActions(pAction, true);
}

void* CPList::NextThat(IteratorAction* pAction) {
  Next();
  return WalkActions(pAction, true);
}

void CPList::ForEach(CPActionFunc pfnAction, void* pvUser) {
  if (nLength == 0) return;
  IterationState* pitsA = CreateIterationState();
  TARNCOLL_FAIL_IF_NIL(pitsA, kSource, "pitsA");
  Iterator itWalk;
  itWalk._set_pitsThe(pitsA);
  itWalk.forEach(pfnAction, pvUser);
}

void CPList::TakeSearchCursor() {
  ListIterationState* plits = dynamic_cast<ListIterationState*>(itThe._get_pitsThe());
  pbktCursor = plits ? plits->_get_pbktCursor() : nullptr;
  nDXCursor = -1;
}

void* CPList::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  if (!pfnCond || nLength == 0) return nullptr;
  IterationState* pitsA = CreateIterationState();
  TARNCOLL_FAIL_IF_NIL(pitsA, kSource, "pitsA");
  itThe._set_pitsThe(pitsA);
  ConditionCall call = {pfnCond, pvUser};
  void* pv = itThe.firstThat(&CallCondition, &call);
  TakeSearchCursor();
  return pv;
}

void* CPList::NextThat(CPConditionFunc pfnCond, void* pvUser) {
  TARNCOLL_ASSERT(pfnCond != nullptr, kSource, "pfnCondFunc !=0");
  if (!itThe._get_pitsThe()) return nullptr;  // no search to continue
  ConditionCall call = {pfnCond, pvUser};
  void* pv = itThe.nextThat(&CallCondition, &call);
  TakeSearchCursor();
  return pv;
}

CPCollection* CPList::AllThat(CPConditionFunc pfnCond, void* pvUser) {
  TARNCOLL_ASSERT(pfnCond != nullptr, kSource, "pfnCondFunc !=0");
  CPList* plstNew = new CPList;
  TARNCOLL_FAIL_IF_NIL(plstNew, kSource, "plstNew");
  try {
    GotoTop();
    while (void* pv = Retrieve()) {
      if (pfnCond(pv, pvUser) == 1) plstNew->Add(pv);
      Next();
    }
  } catch (...) {
    delete plstNew;
    throw;
  }
  return plstNew;
}

// ---- removal --------------------------------------------------------------------------------

void CPList::UnlinkBucket(CPBucket* pbkt) {
  if (!pbkt) return;
  Forget(pbkt);
  if (pbktCursor == pbkt) pbktCursor = pbkt->_get_pbktNext();
  Unlink(pbktHead, pbktTail, pbkt);
}

void CPList::UnlinkTopBucket() {
  pbktReset = nullptr;
  nDXCursor = -1;
  if (!pbktHead) return;
  UnlinkBucket(pbktHead);
}

void CPList::DetachBucket(void* pvBucket2Kill) {
  TARNCOLL_ASSERT(pvBucket2Kill != nullptr, kSource, "pvBucket2Kill");
  CPBucket* pbkt = static_cast<CPBucket*>(pvBucket2Kill);
  DecrementLength();
  UnlinkBucket(pbkt);
  DropReference(pbkt);
}

char CPList::Detach(void* pvItem) {
  TARNCOLL_ASSERT(pvItem != nullptr, kSource, "pvItem2Find !=0");  // before anything changes
  pbktReset = nullptr;
  nDXCursor = -1;
  CPBucket* pbkt = FindBucket(pvItem);
  if (!pbkt) return 0;
  DecrementLength();
  UnlinkBucket(pbkt);
  DropReference(pbkt);
  return 1;
}

char CPList::Destroy(void* pvItem, CPKillFunc pfnKill) {
  TARNCOLL_ASSERT(pfnKill != nullptr, kSource, "pfnKillFunc!=0");
  TARNCOLL_ASSERT(pvItem != nullptr, kSource, "pvItem2Find !=0");  // before anything changes
  pbktReset = nullptr;
  nDXCursor = -1;
  CPBucket* pbkt = FindBucket(pvItem);
  if (!pbkt) return 0;
  DecrementLength();
  try {
    pfnKill(pvItem, nullptr);  // runs while the node is still linked
  } catch (...) {
    UnlinkBucket(pbkt);
    DropReference(pbkt);
    throw;
  }
  UnlinkBucket(pbkt);
  DropReference(pbkt);
  return 1;
}

void CPList::ReleaseAll() {
  CPBucket* pbkt = pbktHead;
  InitPointers();
  nLength = 0;
  while (pbkt) {
    CPBucket* pbktNext = pbkt->_get_pbktNext();
    pbkt->_set_pbktPrev(nullptr);
    pbkt->_set_pbktNext(nullptr);
    DropReference(pbkt);
    pbkt = pbktNext;
  }
}

void CPList::TakeOut(CPBucket* pbkt, CPKillFunc pfnKill) {
  // The node leaves the list before its item is handed on: when kill
  // throws, that item is gone and every item not yet handed stays.
  UnlinkBucket(pbkt);
  --nLength;
  if (pfnKill) {
    try {
      pfnKill(pbkt->_get_pvData(), nullptr);
    } catch (...) {
      DropReference(pbkt);
      throw;
    }
  }
  DropReference(pbkt);
}

void CPList::EmptyOut(CPKillFunc pfnKill) {
  pbktReset = nullptr;
  nDXCursor = -1;
  ++nXACT;  // once for the whole clear; states fail fast from the first callback on
  if (typeid(*this) == typeid(CPList)) {
    if (!pfnKill) {
      ReleaseAll();
      return;
    }
    // A plain list: its GotoTop/Next walk takes the nodes head first.
    for (unsigned long n = nLength; n > 0 && pbktHead; --n) TakeOut(pbktHead, pfnKill);
  } else {
    // A derived list may override the walk: take each node its GotoTop and
    // Next name, at most Length() of them.
    GotoTop();
    for (unsigned long n = nLength; n > 0; --n) {
      CPBucket* pbkt = pbktCursor;
      Next();
      if (!pbkt) break;
      TakeOut(pbkt, pfnKill);
    }
  }
  // Nodes the walk did not reach (or that a kill function added) are
  // released without touching their items.
  ReleaseAll();
}

char CPList::DetachAll() {
  EmptyOut(nullptr);
  return 1;
}

char CPList::DestroyAll(CPKillFunc pfnKill) {
  TARNCOLL_ASSERT(pfnKill != nullptr, kSource, "pfnKillFunc !=0");
  EmptyOut(pfnKill);
  return 1;
}

void* CPList::RetrieveAndDetachTop() {
  GotoTop();
  CPBucket* pbktTop = RetrieveBucket();
  if (!pbktTop) return nullptr;
  void* pv = pbktTop->_get_pvData();
  DecrementLength();
  UnlinkTopBucket();
  DropReference(pbktTop);
  return pv;
}

void CPList::DetachAllThat(CPConditionFunc pfnCond, void* pvUser) {
  TARNCOLL_ASSERT(pfnCond != nullptr, kSource, "pfnCondFunc !=0");
  pbktReset = nullptr;
  nDXCursor = -1;
  GotoTop();
  while (void* pv = Retrieve()) {
    CPBucket* pbkt = pbktCursor;
    Next();
    if (pfnCond(pv, pvUser) == 0) DetachBucket(pbkt);
  }
}

// ---- ListIterationState -----------------------------------------------------------------

ListIterationState::ListIterationState(CPList* plst)
    : IterationState(plst),
      pbktReset(nullptr),
      pbktCursor(nullptr),
      pbktGot(nullptr),
      pbktPeek(nullptr),
      nDXCursor(-1),
      nXACTIndexed(0),
      nXACTReset(0) {}

ListIterationState::ListIterationState(const ListIterationState& other)
    : Createable(),
      IterationState(other),
      pbktReset(other.pbktReset),
      pbktCursor(other.pbktCursor),
      pbktGot(other.pbktGot),
      pbktPeek(other.pbktPeek),
      nDXCursor(other.nDXCursor),
      nXACTIndexed(other.nXACTIndexed),
      nXACTReset(other.nXACTReset) {}

ListIterationState& ListIterationState::operator=(const ListIterationState& other) {
  IterationState::operator=(other);
  pbktReset = other.pbktReset;
  pbktCursor = other.pbktCursor;
  pbktGot = other.pbktGot;
  pbktPeek = other.pbktPeek;
  nDXCursor = other.nDXCursor;
  nXACTIndexed = other.nXACTIndexed;
  nXACTReset = other.nXACTReset;
  return *this;
}

ListIterationState::~ListIterationState() {}

CPList* ListIterationState::List() const { return static_cast<CPList*>(pclAssociated); }

short ListIterationState::vgotoTop() {
  pbktCursor = List()->_get_pbktHead();
  nDXCursor = 0;
  nXACTIndexed = List()->_get_nXACT();
  pbktPeek = nullptr;
  return 1;
}

short ListIterationState::vgotoBottom() {
  pbktCursor = List()->_get_pbktTail();
  nDXCursor = static_cast<long>(List()->Length()) - 1;
  nXACTIndexed = List()->_get_nXACT();
  pbktPeek = nullptr;
  return 1;
}

short ListIterationState::vgotoIDX(unsigned long idx) {
  CPList* plst = List();
  if (idx >= plst->Length()) return 0;
  // The remembered index (and its node) are trusted only when the list has
  // not changed since they were taken.
  if (nDXCursor == -1 || nXACTIndexed != plst->_get_nXACT()) {
    gotoTop();
    for (unsigned long i = 0; i < idx; ++i) gotoNext();
  } else {
    long nDelta = static_cast<long>(idx) - nDXCursor;
    for (; nDelta < 0; ++nDelta) gotoPrev();
    for (; nDelta > 0; --nDelta) gotoNext();
  }
  nDXCursor = static_cast<long>(idx);
  nXACTIndexed = plst->_get_nXACT();
  return 1;
}

short ListIterationState::vgotoNext() {
  nDXCursor = -1;
  if (pbktCursor == List()->_get_pbktTail()) {
    pbktCursor = nullptr;
    return 0;
  }
  if (!pbktCursor) return 0;
  pbktCursor = pbktCursor->_get_pbktNext();
  return pbktCursor ? 1 : 0;
}

short ListIterationState::vgotoPrev() {
  nDXCursor = -1;
  if (!pbktCursor || pbktCursor == List()->_get_pbktHead() || !pbktCursor->_get_pbktPrev()) {
    pbktCursor = nullptr;
    return 0;
  }
  pbktCursor = pbktCursor->_get_pbktPrev();
  return 1;
}

void* ListIterationState::vretrieve() {
  pbktGot = pbktCursor;
  return pbktCursor ? pbktCursor->_get_pvData() : nullptr;
}

CPInternalContainer* ListIterationState::vretrieveInternalContainer() {
  pbktGot = pbktCursor;
  return pbktCursor;
}

void* ListIterationState::peek() {
  pbktPeek = pbktGot = pbktCursor;
  return pbktCursor ? pbktCursor->_get_pvData() : nullptr;
}

void ListIterationState::setResetPoint() {
  pbktReset = pbktCursor;
  nXACTReset = List()->_get_nXACT();
}

void ListIterationState::clearResetPoint() {
  pbktReset = nullptr;
  nDXCursor = -1;
}

short ListIterationState::gotoResetPoint() {
  if (!pbktReset || nXACTReset != List()->_get_nXACT()) return gotoTop();
  pbktCursor = pbktReset;
  nDXCursor = -1;
  pbktPeek = nullptr;
  return 1;
}

CPBucket* ListIterationState::getPredecessor(CPBucket* pbkt) {
  if (!pbkt || pbkt == List()->_get_pbktHead()) return nullptr;
  return pbkt->_get_pbktPrev();
}
