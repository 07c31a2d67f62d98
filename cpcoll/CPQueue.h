// CPQueue: a queue of distinct item pointers on top of CPTree.
//
// Each item is its own key in the tree (so finding an item by pointer is
// O(log n) and an item is queued at most once), while the tree's node list
// runs in arrival order instead of key order:
//
//   plfHead (front) -> p <-> q <-> r <- plfTail (back)     list: arrival order
//   the tree over the same nodes is ordered by pointer value
//
// Invariants: those of CPTree, except that the list is the arrival order
// (Add and the keyed adds append, Insert prepends); bInsertAtTop is 0
// except during Insert.
//
// Costs: Add, Insert, DetachTop O(log n) (one tree insertion or removal);
// the list step is O(1).  Walks and cursors are CPTree's, front to back.
#ifndef TARNCOLL_CPCOLL_CPQUEUE_H
#define TARNCOLL_CPCOLL_CPQUEUE_H

#include <cpcoll/BTree.h>
#include <util/export.h>

class TARNCOLL_API CPQueue : public CPTree {
 public:
  CPQueue();
  // Deep copy: new nodes, same items and keys in the same queue order.
  CPQueue(const CPQueue& other);
  // Deep copy, all or nothing: the copy is built before the old nodes are
  // freed, so a failed allocation leaves this queue as it was.
  CPQueue& operator=(const CPQueue& other);
  ~CPQueue() override;

  // A new, empty CPQueue (null when allocation fails).
  CPCollection* CreateInstance() override;

  // Queues the item at the front (at the back with Add).  An item that is
  // queued already keeps its place.  O(log n).
  void Insert(void* pvItem);
  // Removes and returns the front item; null when empty.  O(log n).
  void* DetachTop();

 protected:
  // Appends the node (prepends it during Insert); plfPos is not used.
  void ListInsert(Leaf* plf, Leaf* plfPos) override;
  // Links the node's neighbours to each other; its own links stay.
  void ListRemove(Leaf* plf) override;

 private:
  int bInsertAtTop;  // 1 only while Insert runs
};

#endif
