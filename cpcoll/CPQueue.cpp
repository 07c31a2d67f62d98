#include <cpcoll/CPQueue.h>

#include <cstdint>

#include <cpcoll/detail/avl.h>

CPQueue::CPQueue() : bInsertAtTop(0) {}

CPQueue::CPQueue(const CPQueue& other) : Createable(), CPTree(other, false), bInsertAtTop(0) {
  CopyLeavesFrom(other);  // through this queue's hooks: same order
}

CPQueue& CPQueue::operator=(const CPQueue& other) {
  if (this == &other) return *this;
  // The copy is complete before the old nodes go: a failed allocation
  // leaves this queue exactly as it was.
  CPQueue copy(other);
  CPTree::DetachAll();  // one change, as emptying counts
  const short nXACTOwn = nXACT;
  CPKeyedCollection::operator=(other);
  nXACT = nXACTOwn;
  etdsState = other.etdsState;
  bDeleteLeaves = 1;
  bInsertAtTop = 0;
  plfRoot = copy.plfRoot;
  plfHead = copy.plfHead;
  plfTail = copy.plfTail;
  nLength = copy.nLength;
  copy.plfRoot = copy.plfHead = copy.plfTail = nullptr;
  copy.nLength = 0;
  return *this;
}

CPQueue::~CPQueue() {}

CPCollection* CPQueue::CreateInstance() { return new CPQueue; }

void CPQueue::Insert(void* pvItem) {
  bInsertAtTop = 1;
  try {
    CPTree::Add(pvItem, reinterpret_cast<void*>(~std::uintptr_t(0)));
  } catch (...) {
    bInsertAtTop = 0;
    throw;
  }
  bInsertAtTop = 0;
}

void* CPQueue::DetachTop() {
  if (plfHead == nullptr) return nullptr;
  // The removal by the front node's key, without searching for the node
  // that is already at hand.
  Leaf* plf = plfHead;
  void* pvItem = plf->pvData;
  RemoveLeaf(plf);
  return pvItem;
}

void CPQueue::ListInsert(Leaf* plf, Leaf*) {
  if (plf == nullptr) return;
  if (plfHead == nullptr)
    tarncoll::detail::avl::LinkAlone(&plfHead, &plfTail, plf);
  else if (!bInsertAtTop)
    tarncoll::detail::avl::LinkAfter(&plfTail, plf, plfTail);
  else
    tarncoll::detail::avl::LinkBefore(&plfHead, plf, plfHead);
}

// Unthreading does not depend on the list's order: the tree's own hook
// serves (called directly, as this is the override).
void CPQueue::ListRemove(Leaf* plf) { CPTree::ListRemove(plf); }
