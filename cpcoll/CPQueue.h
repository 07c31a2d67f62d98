/// \file
/// CPQueue: a queue of distinct item pointers on top of CPTree.
///
/// Each item is its own key in the tree (so finding an item by pointer is
/// O(log n) and an item is queued at most once), while the tree's node list
/// runs in arrival order instead of key order:
///
/// ~~~
///   plfHead (front) -> p <-> q <-> r <- plfTail (back)     list: arrival order
///   the tree over the same nodes is ordered by pointer value
/// ~~~
///
/// Invariants: those of CPTree, except that the list is the arrival order
/// (Add and the keyed adds append, Insert prepends); bInsertAtTop is 0
/// except during Insert.
///
/// Costs: Add, Insert, DetachTop O(log n) (one tree insertion or removal);
/// the list step is O(1).  Walks and cursors are CPTree's, front to back.
#ifndef TARNCOLL_CPCOLL_CPQUEUE_H
#define TARNCOLL_CPCOLL_CPQUEUE_H

#include <cpcoll/BTree.h>
#include <util/export.h>

/// A queue of distinct item pointers: a CPTree keyed by the items
/// themselves whose list keeps arrival order (see CPQueue.h).  Inherited
/// members work on that order: Add appends, Smallest/Largest give the
/// front/back item, the walks and the cursor go front to back.  AllThat
/// gives a plain CPTree (key order).  Merge expects both lists in key
/// order, which a queue's list is not in general: queues are not merged.
/// The reports are CPTree's.
class TARNCOLL_API CPQueue : public CPTree {
 public:
  CPQueue();  ///< an empty queue
  /// Deep copy: new nodes, same items and keys in the same queue order.
  /// Reports FailIfNIL "plfNew" (nothing leaks).
  CPQueue(const CPQueue& other);
  /// Deep copy, all or nothing: the copy is built before the old nodes are
  /// freed, so a failed allocation leaves this queue as it was.
  CPQueue& operator=(const CPQueue& other);
  ~CPQueue() override;  ///< as CPTree's: frees the nodes, never the items

  /// A new, empty CPQueue owned by the caller (null when allocation fails).
  CPCollection* CreateInstance() override;

  /// Queues the item at the front (at the back with Add).  An item that is
  /// queued already keeps its place.  O(log n).  FailIfNIL "plfNew".
  void Insert(void* pvItem);
  /// Removes and returns the front item (its node freed when
  /// bDeleteLeaves); null when empty.  O(log n).
  void* DetachTop();

 protected:
  /// As CPTree::ListInsert; here the node is appended (prepended during
  /// Insert), plfPos is not used and nothing is reported.
  void ListInsert(Leaf* plf, Leaf* plfPos) override;
  /// As CPTree::ListRemove: links the node's neighbours to each other; its
  /// own links stay.
  void ListRemove(Leaf* plf) override;

 private:
  int bInsertAtTop;  // 1 only while Insert runs
};

#endif
