#include <cpcoll/BTree.h>

#include <cstdint>
#include <new>

#include <cpcoll/detail/avl.h>
#include <cpcoll/detail/key_registry.h>
#include <cpcoll/detail/report.h>

namespace {

const char kSource[] = "cpcoll\\BTree";
const char kEmptyText[] = "";  // the key of every empty CPString key

namespace avl = tarncoll::detail::avl;
namespace keyreg = tarncoll::detail::keyreg;

inline std::uintptr_t Num(const void* pv) { return reinterpret_cast<std::uintptr_t>(pv); }

// Runs fn with the key order of the kind: texts for string trees, numbers
// otherwise (a tree whose kind is not fixed yet holds pointer keys).
template <class Fn>
inline auto WithOrder(enumTreeDataState e, Fn fn) -> decltype(fn(avl::NumberOrder())) {
  if (e == etreeString) return fn(avl::TextOrder());
  return fn(avl::NumberOrder());
}

inline void* AllOnes() { return reinterpret_cast<void*>(~std::uintptr_t(0)); }

inline void* AsNode(Leaf* plf) { return static_cast<void*>(static_cast<CPInternalContainer*>(plf)); }

}  // namespace

// ---- Leaf ------------------------------------------------------------------

Leaf::~Leaf() {}

// ---- TreeIterationState ----------------------------------------------------

TreeIterationState::TreeIterationState(CPTree* ptree) : IterationState(ptree), plfCursor(nullptr) {}

TreeIterationState::TreeIterationState(const TreeIterationState& other)
    : Createable(), IterationState(other), plfCursor(other.plfCursor) {}

TreeIterationState& TreeIterationState::operator=(const TreeIterationState& other) {
  IterationState::operator=(other);
  plfCursor = other.plfCursor;
  return *this;
}

TreeIterationState::~TreeIterationState() {}

short TreeIterationState::vgotoTop() {
  plfCursor = static_cast<CPTree*>(pclAssociated)->_get_plfHead();
  return 1;
}

short TreeIterationState::vgotoBottom() {
  plfCursor = static_cast<CPTree*>(pclAssociated)->_get_plfTail();
  return 1;
}

short TreeIterationState::vgotoNext() {
  if (plfCursor == nullptr) return 0;
  plfCursor = plfCursor->plfNext;
  return plfCursor != nullptr ? 1 : 0;
}

short TreeIterationState::vgotoPrev() {
  if (plfCursor == nullptr) return 0;
  plfCursor = plfCursor->plfPrev;
  return plfCursor != nullptr ? 1 : 0;
}

void* TreeIterationState::vretrieve() { return plfCursor != nullptr ? plfCursor->pvData : nullptr; }

CPInternalContainer* TreeIterationState::vretrieveInternalContainer() { return plfCursor; }

// ---- CPTree: construction --------------------------------------------------

CrDictionary* CPTree::pcrdctStringKeys = nullptr;

CPTree::CPTree()
    : etdsState(etreeNone),
      plfRoot(nullptr),
      plfHead(nullptr),
      plfTail(nullptr),
      plfCursor(nullptr),
      bDeleteLeaves(1) {}

CPTree::CPTree(const CPTree& other, bool bCopyLeaves)
    : Createable(),
      CPKeyedCollection(other),
      etdsState(other.etdsState),
      plfRoot(nullptr),
      plfHead(nullptr),
      plfTail(nullptr),
      plfCursor(nullptr),
      bDeleteLeaves(1) {
  nLength = 0;  // the base copied the source's count; the nodes come next
  if (bCopyLeaves) CopyLeavesFrom(other);
}

CPTree::CPTree(const CPTree& other) : CPTree(other, false) { CopyLeavesFrom(other); }

CPTree& CPTree::operator=(const CPTree& other) {
  if (this == &other) return *this;
  // The copy is built while the old nodes are set aside, and they are freed
  // only once it is complete: a failed allocation puts them back, so the
  // tree is either the copy or exactly what it was.
  const CPTree old(*this, false);  // no nodes: keeps the fields to restore
  Leaf* const plfOldRoot = plfRoot;
  Leaf* const plfOldHead = plfHead;
  Leaf* const plfOldTail = plfTail;
  Leaf* const plfOldCursor = plfCursor;
  const unsigned long nOldLength = nLength;
  const short nOldXACT = nXACT;
  const short bOldDeleteLeaves = bDeleteLeaves;
  plfRoot = plfHead = plfTail = plfCursor = nullptr;
  CPKeyedCollection::operator=(other);
  nXACT = static_cast<short>(nOldXACT + 1);  // emptying counts as one change, as DetachAll does
  nLength = 0;
  etdsState = other.etdsState;
  bDeleteLeaves = 1;
  try {
    CopyLeavesFrom(other);  // frees its partial copy on a failure
  } catch (...) {
    CPKeyedCollection::operator=(old);
    etdsState = old.etdsState;
    plfRoot = plfOldRoot;
    plfHead = plfOldHead;
    plfTail = plfOldTail;
    plfCursor = plfOldCursor;
    nLength = nOldLength;
    nXACT = nOldXACT;
    bDeleteLeaves = bOldDeleteLeaves;
    throw;
  }
  if (bOldDeleteLeaves) {
    for (Leaf* plf = plfOldHead; plf != nullptr;) {
      Leaf* plfNext = plf->plfNext;
      if (old.etdsState == etreeString) DropKeyUseSlow(plf->pvKey);  // the old nodes' key kind
      delete plf;
      plf = plfNext;
    }
  }
  return *this;
}

CPTree::~CPTree() { CPTree::DetachAll(); }

void CPTree::CopyLeavesFrom(const CPTree& other) {
  try {
    for (Leaf* plf = other.plfHead; plf != nullptr; plf = plf->plfNext) InsertLeaf(plf->pvData, plf->pvKey);
  } catch (...) {
    const short bKeep = bDeleteLeaves;
    bDeleteLeaves = 1;
    CPTree::DetachAll();
    bDeleteLeaves = bKeep;
    throw;
  }
}

// ---- Ordering --------------------------------------------------------------

short CPTree::IsGreaterThan(void* pvA, void* pvB) const {
  return WithOrder(etdsState, [&](auto order) { return order(pvA, pvB) > 0; }) ? 1 : 0;
}

short CPTree::IsEqualTo(void* pvA, void* pvB) const {
  return WithOrder(etdsState, [&](auto order) { return order(pvA, pvB) == 0; }) ? 1 : 0;
}

// ---- String-key uses ----------------------------------------------------------

// The registry itself tells (under its lock) whether it exists: another
// thread may be creating it.
void CPTree::NoteKeyUseSlow(void* pvKey) { keyreg::NoteKeyCopied(static_cast<const char*>(pvKey)); }

void CPTree::DropKeyUseSlow(void* pvKey) { keyreg::NoteKeyDropped(static_cast<const char*>(pvKey)); }

void CPTree::CountIn() {
  ++nXACT;
  ++nLength;
}

void CPTree::CountOut() {
  if (nLength == 0) DecrementLength();  // reports "nLength >0"
  ++nXACT;
  --nLength;
}

// ---- Structure: search, insertion, removal ---------------------------------

Leaf* CPTree::FindLeaf(void* pvKey, short) const {
  if (pvKey == nullptr && etdsState == etreeString) return nullptr;  // a null text has no order
  return WithOrder(etdsState, [&](auto order) { return avl::Locate(plfRoot, pvKey, order); });
}

void* CPTree::Find(void* pvKey) const {
  Leaf* plf = FindLeaf(pvKey, 0);
  return plf != nullptr ? plf->pvData : nullptr;
}

void CPTree::Add(void* pvData, void* pvKey) {
  if (pvKey == AllOnes()) pvKey = pvData;
  InsertLeaf(pvData, pvKey);
}

Leaf* CPTree::InsertLeaf(void* pvData, void* pvKey) {
  if (pvKey == nullptr && etdsState == etreeString) return nullptr;  // a null text has no order
  // The first node has no parent: it becomes the root.
  Leaf* plfParent = nullptr;
  int nSide = 1;
  if (plfRoot != nullptr) {
    plfParent = WithOrder(etdsState, [&](auto order) { return avl::LocateSlot(plfRoot, pvKey, order, &nSide); });
    if (nSide == 0) {
      // An equal key: only the item changes (no count, no nXACT).
      plfParent->pvData = pvData;
      plfParent->_set_pvTheData(pvData);
      return nullptr;
    }
  }

  Leaf* plfNew = new Leaf(pvKey, pvData);
  TARNCOLL_FAIL_IF_NIL(plfNew, kSource, "plfNew");
  avl::Attach(&plfRoot, plfNew, plfParent, nSide);
  ListInsert(plfNew, plfParent);  // virtual; sees the new node linked, not yet rebalanced
  CountIn();
  if (plfParent != nullptr) avl::RebalanceAfterInsert(&plfRoot, plfParent);
  NoteKeyUse(pvKey);
  return plfNew;
}

void* CPTree::DeleteBalance(void* pvKey) {
  // A childless root goes the same way as any node: Unlink leaves the tree
  // empty without rebalancing.
  Leaf* plf = FindLeaf(pvKey, 0);
  if (plf == nullptr) return nullptr;
  void* pvItem = plf->pvData;
  RemoveLeaf(plf);
  return pvItem;
}

void CPTree::DetachLeaf(Leaf* plf) {
  if (plf != nullptr) RemoveLeaf(plf);
}

void CPTree::RemoveLeaf(Leaf* plf) {
  CountOut();  // Assert "nLength >0" before any change
  // Virtual, before the node leaves the tree.
  ListRemove(plf);
  avl::Unlink(&plfRoot, plf);
  DropKeyUse(plf->pvKey);
  if (bDeleteLeaves) {
    // The built-in cursor must not keep a freed node: it goes off the tree.
    if (plfCursor == plf) plfCursor = nullptr;
    delete plf;
  }
}

// ---- List hooks --------------------------------------------------------------

void CPTree::ListInsert(Leaf* plf, Leaf* plfPos) {
  if (plf == nullptr) return;
  if (plfHead == nullptr) {
    avl::LinkAlone(&plfHead, &plfTail, plf);
    return;
  }
  TARNCOLL_ASSERT(plfPos != nullptr, kSource, "plfPos != 0");
  // A new leaf is the in-order neighbour of its parent.
  if (IsGreaterThan(plfPos->pvKey, plf->pvKey))
    avl::LinkBefore(&plfHead, plf, plfPos);
  else
    avl::LinkAfter(&plfTail, plf, plfPos);
}

void CPTree::ListRemove(Leaf* plf) {
  if (plf == nullptr || plfHead == nullptr) return;
  avl::Unthread(&plfHead, &plfTail, plf);
}

// ---- Merge -------------------------------------------------------------------

void CPTree::Merge(CPTree* ptreeFrom) {
  TARNCOLL_ASSERT(ptreeFrom != nullptr, kSource, "ptreeFrom !=0");
  if (ptreeFrom == this) return;  // every key would meet itself
  Leaf** pplfVector = nullptr;
  const long n = BuildVectorFromTwoTrees(&pplfVector, this, ptreeFrom);
  nLength = static_cast<unsigned long>(n);
  long nScratch = 0;
  plfRoot = BuildTree(pplfVector, n, &nScratch);
  plfHead = n > 0 ? pplfVector[0] : nullptr;
  plfTail = n > 0 ? pplfVector[n - 1] : nullptr;
  delete[] pplfVector;
}

long CPTree::BuildVectorFromTwoTrees(Leaf*** pppv, CPTree* ptreeA, CPTree* ptreeB) {
  const unsigned long nTotal = ptreeA->Length() + ptreeB->Length();
  Leaf** pplfVector = new (std::nothrow) Leaf*[nTotal > 0 ? nTotal : 1];
  TARNCOLL_FAIL_IF_NIL(pplfVector, kSource, "pplfVector");

  ptreeA->bDeleteLeaves = 0;
  ptreeB->bDeleteLeaves = 0;
  ptreeA->GotoTop();
  ptreeB->GotoTop();
  Leaf* plfA = ptreeA->plfCursor;
  Leaf* plfB = ptreeB->plfCursor;

  // All comparisons in this tree's order; an equal key keeps this tree's
  // node, and the other's goes with its item.
  const long n = WithOrder(etdsState, [&](auto order) {
    return avl::MergeLists(plfA, plfB, pplfVector, order, [ptreeB](Leaf* plf) {
      ptreeB->DropKeyUse(plf->pvKey);
      delete plf;
    });
  });

  ptreeA->DetachAll();
  ptreeB->DetachAll();
  ptreeA->bDeleteLeaves = 1;
  ptreeB->bDeleteLeaves = 1;
  *pppv = pplfVector;
  return n;
}

Leaf* CPTree::BuildTree(Leaf** v, long n, long* pCount) { return avl::BuildTree(v, n, pCount); }

// ---- Collection slots --------------------------------------------------------

IterationState* CPTree::CreateIterationState() { return new TreeIterationState(this); }

CPCollection* CPTree::CreateInstance() { return new CPTree; }

short CPTree::vadd(void*, void*) { return 0; }
short CPTree::vadd(void*, CPString*) { return 0; }
short CPTree::vadd(void*, const char*) { return 0; }
short CPTree::vadd(void*, long) { return 0; }
short CPTree::vadd(void*) { return 0; }
void* CPTree::vremoveByProbe(void*) { return nullptr; }
void* CPTree::vremove(void*) { return nullptr; }
void* CPTree::vremove(CPString*) { return nullptr; }
void* CPTree::vremove(const char*) { return nullptr; }
void* CPTree::vremove(long) { return nullptr; }
void* CPTree::vfind(void*) { return nullptr; }
void* CPTree::vfind(CPString*) { return nullptr; }
void* CPTree::vfind(char*) { return nullptr; }
void* CPTree::vfind(long) { return nullptr; }

void CPTree::ForEach(IteratorAction* pAction) {
  if (pAction == nullptr) return;
  for (Leaf* plf = plfHead; plf != nullptr; plf = plf->plfNext) {
    pAction->pvItem = plf->pvData;
    pAction->pvKey = plf->pvKey;
    pAction->bKeyIsString = 0;
    pAction->Perform();
  }
}

void CPTree::ForEach(CPActionFunc pfnAction, void* pvUser) {
  if (nLength == 0 || pfnAction == nullptr) return;
  for (Leaf* plf = plfHead; plf != nullptr; plf = plf->plfNext) pfnAction(plf->pvData, pvUser);
}

void CPTree::ForEach(KeyActionFunc, void*) { TARNCOLL_ASSERT(1 == 0, kSource, "1==0"); }

void CPTree::ForEachLeaf(CPActionFunc pfnAction, void* pvUser) {
  if (nLength == 0 || pfnAction == nullptr) return;
  for (Leaf* plf = plfHead; plf != nullptr; plf = plf->plfNext) pfnAction(plf, pvUser);
}

void* CPTree::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  TARNCOLL_ASSERT(pfnCond != nullptr, kSource, "pfnCondFunc !=0");
  plfCursor = plfHead;
  return CPTree::NextThat(pfnCond, pvUser);  // the walk itself, not a derived NextThat
}

void* CPTree::NextThat(CPConditionFunc pfnCond, void* pvUser) {
  TARNCOLL_ASSERT(pfnCond != nullptr, kSource, "pfnCondFunc !=0");
  for (; plfCursor != nullptr; plfCursor = plfCursor->plfNext) {
    Leaf* plf = plfCursor;
    if (pfnCond(plf->pvData, pvUser)) {
      plfCursor = plf->plfNext;
      return plf->pvData;
    }
  }
  return nullptr;
}

CPCollection* CPTree::AllThat(CPConditionFunc pfnCond, void* pvUser) {
  TARNCOLL_ASSERT(pfnCond != nullptr, kSource, "pfnCondFunc !=0");
  CPTree* ptreeA = new CPTree;
  TARNCOLL_FAIL_IF_NIL(ptreeA, kSource, "ptreeA");
  const bool bText = etdsState == etreeString;
  try {
    for (Leaf* plf = plfHead; plf != nullptr; plf = plf->plfNext) {
      if (!pfnCond(plf->pvData, pvUser)) continue;
      if (bText)
        ptreeA->AddKeyString(static_cast<const char*>(plf->pvKey), plf->pvData, nullptr);
      else {
        ptreeA->AddKeyNum(static_cast<unsigned long>(Num(plf->pvKey)), plf->pvData);
      }
    }
  } catch (...) {
    delete ptreeA;
    throw;
  }
  return ptreeA;
}

void CPTree::Add(void* pvItem) { Add(pvItem, AllOnes()); }

void CPTree::AddInternalContainer(CPInternalContainer*) {}

char CPTree::Destroy(void* pvKey, CPKillFunc pfnKill) {
  if (!bDeleteLeaves) return 0;
  const unsigned long nBefore = nLength;
  void* pvItem = DeleteBalance(pvKey);
  if (nLength == nBefore) return 0;  // absent
  if (pvItem != nullptr && pfnKill != nullptr) pfnKill(pvItem, nullptr);
  return 1;
}

void* CPTree::RetrieveIDX(unsigned long idx) { return FindKeyNum(idx); }

char CPTree::Detach(void* pvKey) { return DeleteBalance(pvKey) != nullptr ? 1 : 0; }

void CPTree::FreeAllLeaves(CPKillFunc pfnKill) {
  ClearLength();
  if (bDeleteLeaves) {
    while (plfHead != nullptr) {
      Leaf* plf = plfHead;
      plfHead = plf->plfNext;
      if (pfnKill != nullptr) {
        try {
          pfnKill(plf->pvData, nullptr);
        } catch (...) {
          // The node handed to kill goes; the nodes after it stay, in their
          // list order, under a tree rebuilt over them.
          DropKeyUse(plf->pvKey);
          delete plf;
          if (plfHead != nullptr) plfHead->plfPrev = nullptr;
          RelinkTreeFromList();
          throw;
        }
      }
      DropKeyUse(plf->pvKey);
      delete plf;
    }
  }
  plfRoot = nullptr;
  plfHead = nullptr;
  plfTail = nullptr;
  plfCursor = nullptr;
}

void CPTree::RelinkTreeFromList() {
  plfRoot = nullptr;
  plfCursor = nullptr;
  if (plfHead == nullptr) plfTail = nullptr;
  unsigned long n = 0;
  for (Leaf* plf = plfHead; plf != nullptr; plf = plf->plfNext) {
    ++n;
    plf->plfLeft = nullptr;
    plf->plfRight = nullptr;
    plf->plfParent = nullptr;
    plf->nBalance = 0;
    if (plfRoot == nullptr) {
      plfRoot = plf;
      continue;
    }
    int nSide = 0;  // the keys are distinct: never 0
    Leaf* plfParent =
        WithOrder(etdsState, [&](auto order) { return avl::LocateSlot(plfRoot, plf->pvKey, order, &nSide); });
    avl::Attach(&plfRoot, plf, plfParent, nSide);
    avl::RebalanceAfterInsert(&plfRoot, plfParent);
  }
  nLength = n;
}

char CPTree::DetachAll() {
  FreeAllLeaves(nullptr);
  return 1;
}

char CPTree::DestroyAll(CPKillFunc pfnKill) {
  FreeAllLeaves(pfnKill);
  return 1;
}

// GotoTop, GotoBottom, Next, Prev and Retrieve are inline in the header.

void* CPTree::Smallest() const { return plfHead != nullptr ? plfHead->pvData : nullptr; }

void* CPTree::Largest() const { return plfTail != nullptr ? plfTail->pvData : nullptr; }

// ---- Keyed slots ---------------------------------------------------------------

void CPTree::ReportKind(enumTreeDataState e) const {
  Exceptions::_get_gexeptnsThe()->Assert(kSource, __LINE__,
                                         e == etreeNumber ? "etdsState == etreeNumber" : "etdsState == etreeString");
}

void CPTree::AddKeyNum(unsigned long nKey, void* pvItem) {
  FixKind(etreeNumber);
  void* pvKey = reinterpret_cast<void*>(nKey);
  InsertLeaf(pvItem, pvKey == AllOnes() ? pvItem : pvKey);
}

void CPTree::AddKeyString(const char* pszKey, void* pvItem, unsigned long*) {
  FixKind(etreeString);
  if (pszKey == nullptr) return;  // a null text cannot be ordered
  Add(pvItem, const_cast<char*>(pszKey));
}

void CPTree::AddKeyString(CPString* pstrKey, void* pvItem) {
  FixKind(etreeString);
  if (pstrKey == nullptr) return;
  // From the lookup to the use being counted no other thread may drop the
  // entry (and free the buffer this tree is about to be keyed by).
  keyreg::Guard guard;
  keyreg::Require();  // its report comes before any change
  if (pstrKey->GetBuffer()[0] == '\0') {
    // Every empty text is the same key, so a static one serves and needs no
    // registration (the dictionary would file it, and rename a shared
    // string, as "UnNamed").
    InsertLeaf(pvItem, const_cast<char*>(kEmptyText));
    return;
  }

  // The key is the buffer of the string registered with this text, so it
  // lives as long as the registry entry, whichever object the caller holds.
  CPString* pstrRegistered = keyreg::Lookup(pstrKey->GetBuffer());
  void* pvKey = const_cast<char*>(pstrRegistered != nullptr ? pstrRegistered->GetBuffer() : pstrKey->GetBuffer());
  Leaf* plfOld = FindLeaf(pvKey, 0);
  void* pvOldItem = plfOld != nullptr ? plfOld->pvData : nullptr;
  const short nXACTBefore = nXACT;

  Leaf* plfNew = InsertLeaf(pvItem, pvKey);
  if (pstrRegistered == nullptr) {
    try {
      keyreg::Register(pstrKey);
    } catch (...) {
      // Undo the insertion so that the tree is as it was.
      if (plfNew != nullptr) {
        const short bKeep = bDeleteLeaves;
        bDeleteLeaves = 1;
        DetachLeaf(plfNew);
        bDeleteLeaves = bKeep;
        nXACT = nXACTBefore;
      } else if (plfOld != nullptr) {
        plfOld->pvData = pvOldItem;
        plfOld->_set_pvTheData(pvOldItem);
      }
      throw;
    }
    // The node was made before its text was registered: count it now.
    if (plfNew != nullptr) keyreg::AddUse(pstrKey);
  }
}

void CPTree::DetachKeyString(const char* pszKey, unsigned long*) {
  RequireKind(etreeString);
  if (pszKey != nullptr) DeleteBalance(const_cast<char*>(pszKey));
}

void CPTree::DetachKeyString(CPString* pstrKey) {
  RequireKind(etreeString);
  if (pstrKey == nullptr) return;
  keyreg::Guard guard;  // the use check and the removal of the entry as one step
  keyreg::Require();

  const char* pszText = pstrKey->GetBuffer();
  DeleteBalance(const_cast<char*>(pszText));  // drops the node's use, if any
  // The entry goes once no node of any tree is keyed by its buffer.
  CPString* pstrRegistered = keyreg::Lookup(pszText);
  if (pstrRegistered != nullptr && keyreg::Uses(pstrRegistered) == 0) keyreg::Unregister(pstrRegistered);
}

void CPTree::DetachKeyNum(unsigned long nKey) {
  RequireKind(etreeNumber);
  // DeleteBalance's outcome, with the numeric search inlined.
  Leaf* plf = avl::Locate(plfRoot, reinterpret_cast<const void*>(nKey), avl::NumberOrder());
  if (plf != nullptr) RemoveLeaf(plf);
}

void CPTree::DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) {
  RequireKind(etreeNumber);
  void* pvItem = DeleteBalance(reinterpret_cast<void*>(nKey));
  if (pvItem != nullptr && pfnKill != nullptr) pfnKill(pvItem, nullptr);
}

void CPTree::DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long*) {
  RequireKind(etreeString);
  if (pszKey == nullptr) return;
  void* pvItem = DeleteBalance(const_cast<char*>(pszKey));
  if (pvItem != nullptr && pfnKill != nullptr) pfnKill(pvItem, nullptr);
}

void CPTree::DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) {
  RequireKind(etreeString);
  if (pstrKey == nullptr) return;
  void* pvItem = DeleteBalance(const_cast<char*>(pstrKey->GetBuffer()));
  if (pvItem != nullptr && pfnKill != nullptr) pfnKill(pvItem, nullptr);
}

void* CPTree::FindKeyString(const char* pszKey, unsigned long*) {
  RequireKind(etreeString);
  if (pszKey == nullptr) return nullptr;
  Leaf* plf = avl::Locate(plfRoot, pszKey, avl::TextOrder());
  return plf != nullptr ? plf->pvData : nullptr;
}

void* CPTree::FindKeyString(CPString* pstrKey) {
  RequireKind(etreeString);
  if (pstrKey == nullptr) return nullptr;
  Leaf* plf = avl::Locate(plfRoot, pstrKey->GetBuffer(), avl::TextOrder());
  return plf != nullptr ? plf->pvData : nullptr;
}

long CPTree::ExistsKeyNum(unsigned long nKey) {
  if (etdsState == etreeNone) etdsState = etreeNumber;
  if (etdsState != etreeNumber) return 0;  // a number cannot be read as a text
  Leaf* plf = avl::Locate(plfRoot, reinterpret_cast<const void*>(nKey), avl::NumberOrder());
  return plf != nullptr ? static_cast<long>(Num(plf->pvData)) : 0;
}

long CPTree::ExistsKeyString(CPString* pstrKey) {
  if (etdsState == etreeNone) etdsState = etreeString;
  if (etdsState != etreeString || pstrKey == nullptr) return 0;
  Leaf* plf = avl::Locate(plfRoot, pstrKey->GetBuffer(), avl::TextOrder());
  return plf != nullptr ? static_cast<long>(Num(plf->pvData)) : 0;
}

long CPTree::ExistsKeyString(const char* pszKey, unsigned long*) {
  if (etdsState == etreeNone) etdsState = etreeString;
  if (etdsState != etreeString || pszKey == nullptr) return 0;
  Leaf* plf = avl::Locate(plfRoot, pszKey, avl::TextOrder());
  return plf != nullptr ? static_cast<long>(Num(plf->pvData)) : 0;
}

void CPTree::ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) {
  if (pfnAction == nullptr) return;
  for (Leaf* plf = plfHead; plf != nullptr;) {
    Leaf* plfNext = plf->plfNext;  // the action may detach or free plf
    pfnAction(AsNode(plf), pvUser);
    plf = plfNext;
  }
}

CPCollection* CPTree::AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  CPTree* ptreeA = new CPTree;
  TARNCOLL_FAIL_IF_NIL(ptreeA, kSource, "ptreeA");
  const bool bText = etdsState == etreeString;
  try {
    for (Leaf* plf = plfHead; plf != nullptr && pfnCond != nullptr;) {
      Leaf* plfNext = plf->plfNext;
      void* pvKey = plf->pvKey;
      void* pvItem = plf->pvData;
      if (pfnCond(AsNode(plf), pvUser)) {
        if (bText)
          ptreeA->AddKeyString(static_cast<const char*>(pvKey), pvItem, nullptr);
        else {
          ptreeA->AddKeyNum(static_cast<unsigned long>(Num(pvKey)), pvItem);
        }
      }
      plf = plfNext;
    }
  } catch (...) {
    delete ptreeA;
    throw;
  }
  ptreeA->AddRef();
  return ptreeA;
}

void* CPTree::FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  plfCursor = plfHead;
  return CPTree::NextThatInternalContainer(pfnCond, pvUser);
}

void* CPTree::NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  if (pfnCond == nullptr) return nullptr;
  while (plfCursor != nullptr) {
    Leaf* plf = plfCursor;
    plfCursor = plf->plfNext;
    if (pfnCond(AsNode(plf), pvUser)) return AsNode(plf);
  }
  return nullptr;
}

void* CPTree::RetrieveInternalContainer() { return nullptr; }

// ---- Leaf: nodes from the pool's 96-byte class ------------------------------

#include <cpcoll/detail/node_pool.h>

static_assert(sizeof(Leaf) <= tarncoll::detail::kLeafBlockSize, "a tree node must fit a pool block");

void* Leaf::operator new(std::size_t nSize) noexcept {
  return tarncoll::detail::pool::New(nSize, tarncoll::detail::kLeafBlockSize, tarncoll::detail::TakeLeafBlock);
}

void Leaf::operator delete(void* pv, std::size_t nSize) noexcept {
  tarncoll::detail::pool::Delete(pv, nSize, tarncoll::detail::kLeafBlockSize, tarncoll::detail::GiveLeafBlock);
}
