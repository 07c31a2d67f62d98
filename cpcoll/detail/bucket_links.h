// Internal: the pointer surgery of the doubly linked list, on plain node
// pointers.  Every insertion and every single removal of a list node goes
// through these three functions; they touch no counts and no references.
// Emptying a whole list (CPList::ReleaseAll) drops the head and tail at
// once and clears each node's links as it releases the node.
#ifndef TARNCOLL_CPCOLL_DETAIL_BUCKET_LINKS_H
#define TARNCOLL_CPCOLL_DETAIL_BUCKET_LINKS_H

#include <cpcoll/cplist.h>

namespace tarncoll {
namespace detail {
namespace list {

// Links the unlinked node after pos, or as the new head when pos is null.
// O(1).
inline void LinkAfter(CPBucket*& head, CPBucket*& tail, CPBucket* pos, CPBucket* node) {
  CPBucket* succ = pos ? pos->_get_pbktNext() : head;
  node->_set_pbktPrev(pos);
  node->_set_pbktNext(succ);
  if (pos)
    pos->_set_pbktNext(node);
  else
    head = node;
  if (succ)
    succ->_set_pbktPrev(node);
  else
    tail = node;
}

// Links the unlinked node before pos, or as the new tail when pos is null.
// O(1).
inline void LinkBefore(CPBucket*& head, CPBucket*& tail, CPBucket* pos, CPBucket* node) {
  LinkAfter(head, tail, pos ? pos->_get_pbktPrev() : tail, node);
}

// Unlinks a linked node: its neighbours (or head/tail) are joined and its
// own links cleared.  O(1).
inline void Unlink(CPBucket*& head, CPBucket*& tail, CPBucket* node) {
  CPBucket* pred = node == head ? nullptr : node->_get_pbktPrev();
  CPBucket* succ = node->_get_pbktNext();
  if (pred)
    pred->_set_pbktNext(succ);
  else
    head = succ;
  if (succ)
    succ->_set_pbktPrev(pred);
  else
    tail = pred;
  node->_set_pbktPrev(nullptr);
  node->_set_pbktNext(nullptr);
}

}  // namespace list
}  // namespace detail
}  // namespace tarncoll

#endif
