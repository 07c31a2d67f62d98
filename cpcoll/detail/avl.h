// Internal: the algorithm layer of CPTree, on plain node pointers.
//
// Search and descent (avl_search.h): Locate, LocateSlot over a key order.
// Structure (these functions): attaching a leaf, rotations, rebalancing
// after an insertion or a removal, unlinking a node, building a balanced
// tree from a sorted vector, merging two sorted lists into one.  List
// threading: linking a node into and out of the head/tail list.
//
// The tree functions touch only the tree fields of the nodes (plfLeft,
// plfRight, plfParent, nBalance) and the root pointer they are given; the
// list functions only plfPrev, plfNext, head and tail (MergeLists sets
// both kinds, as the merge's nodes leave their trees).  None touches counts,
// keys or items.  nBalance is height(right) - height(left).  They are free
// functions so that tests can run them on hand-built nodes, and the class
// calls its own virtual hooks between them.
//
//   RotateLeft(X):        X                R
//                        / \              / \   (the new subtree top
//                       a   R     =>     X   c   is R; b changes sides)
//                          / \          / \   .
//                         b   c        a   b
//
// The rotations pre-rotate a child that leans the other way (so a
// double rotation is two single ones, and the rule applies again inside
// the first), then set the balances from their values before the step.
#ifndef TARNCOLL_CPCOLL_DETAIL_AVL_H
#define TARNCOLL_CPCOLL_DETAIL_AVL_H

#include <cpcoll/detail/avl_search.h>

class Leaf;

namespace tarncoll {
namespace detail {
namespace avl {

// Links the detached node as the side child (-1 left, +1 right) of parent
// and counts it in parent's balance, the slot LocateSlot found; a null
// parent makes it the root.  Does not rebalance: the caller runs
// RebalanceAfterInsert(root, parent) once its own bookkeeping is done.
// O(1).
template <class Node>
inline void Attach(Node** root, Node* node, Node* parent, int side) {
  node->plfParent = parent;
  if (parent == nullptr) {
    *root = node;
    return;
  }
  if (side > 0)
    parent->plfRight = node;
  else
    parent->plfLeft = node;
  parent->nBalance = short(parent->nBalance + side);
}

// Left rotation at x (nothing when x has no right child).  When the right
// child leans left (-1) it is first rotated right.  *root is updated when
// x was the root.  Balances afterwards, from those before the single step:
//   x +1                : x = (r +1 ? -1 : 0), r = -1
//   x not +1 and r +1   : x = 0,  r = 0
//   otherwise           : x = +1, r = -1
void RotateLeft(Leaf** root, Leaf* x);
// Mirror image of RotateLeft.
void RotateRight(Leaf** root, Leaf* x);
// RotateLeft for a negative direction, RotateRight otherwise.
void Rotate(Leaf** root, Leaf* x, short direction);

// After a new leaf was attached below parent (and parent's balance
// adjusted): walks up adding +1/-1 per side until a balance becomes 0 (stop)
// or +-2 (one rotation, stop).  O(log n).
void RebalanceAfterInsert(Leaf** root, Leaf* parent);

// After node's left (direction -1) or right (+1) subtree became one level
// lower: adjusts balances upward, rotating where one reaches +-2, until a
// subtree keeps its height.  O(log n).
void HelpDeleteBalance(Leaf** root, int direction, Leaf* node);

// Takes node out of the tree (not the list): the tree step of every
// removal.  A node with two children is replaced by its in-order
// predecessor when its balance is -1, else by its successor; the
// replacement moves into node's place and takes its balance.  A childless
// root leaves *root null.  Clears node's tree fields.  O(log n).
void Unlink(Leaf** root, Leaf* node);

// The balanced tree of v[0..n-1], middle of each range on top; parts of 1
// to 3 nodes are linked directly.  Every balance comes from the real
// heights.  Every node's tree links are set afresh (stale ones do not
// matter); the list links are left alone.  The top's plfParent is null.
// *count is incremented before each recursive call.  O(n).
Leaf* BuildTree(Leaf** v, long n, long* count);

Leaf* Leftmost(Leaf* node);   // smallest node of the subtree
Leaf* Rightmost(Leaf* node);  // largest node of the subtree

// Merges two lists, each in ascending order (from a and from b along
// plfNext), into out[0..], which has room for both.  Each node taken has
// its tree links cleared and is relinked into one new list in the order of
// out (the first's plfPrev and the last's plfNext null).  On equal keys a's
// node is taken and b's is handed to drop(node), after both lists have
// moved past it.  Returns the number of nodes in out.  O(n + m).
template <class Node, class Order, class Drop>
long MergeLists(Node* a, Node* b, Node** out, Order order, Drop drop) {
  long n = 0;
  Node* last = nullptr;
  // Appends node to out and to the new list; its next link must have been
  // read already.
  auto take = [&](Node* node) {
    node->plfLeft = nullptr;
    node->plfRight = nullptr;
    node->plfParent = nullptr;
    node->plfPrev = last;
    if (last != nullptr) last->plfNext = node;
    out[n++] = node;
    last = node;
  };
  while (a != nullptr && b != nullptr) {
    const int c = order(a->pvKey, b->pvKey);
    if (c < 0) {
      Node* next = a->plfNext;
      take(a);
      a = next;
    } else if (c > 0) {
      Node* next = b->plfNext;
      take(b);
      b = next;
    } else {
      Node* nextA = a->plfNext;
      Node* nextB = b->plfNext;
      take(a);
      drop(b);
      a = nextA;
      b = nextB;
    }
  }
  for (Node* rest = a != nullptr ? a : b; rest != nullptr;) {
    Node* next = rest->plfNext;
    take(rest);
    rest = next;
  }
  if (last != nullptr) last->plfNext = nullptr;
  return n;
}

// ---- List threading (plfPrev/plfNext, head and tail) -------------------

// The node becomes the whole list.  O(1).
template <class Node>
inline void LinkAlone(Node** head, Node** tail, Node* node) {
  node->plfNext = nullptr;
  node->plfPrev = nullptr;
  *head = node;
  *tail = node;
}

// Links the node immediately before pos (of a non-empty list); *head
// follows when pos was the head.  O(1).
template <class Node>
inline void LinkBefore(Node** head, Node* node, Node* pos) {
  node->plfNext = pos;
  node->plfPrev = pos->plfPrev;
  if (pos->plfPrev != nullptr)
    pos->plfPrev->plfNext = node;
  else
    *head = node;
  pos->plfPrev = node;
}

// Links the node immediately after pos (of a non-empty list); *tail
// follows when pos was the tail.  O(1).
template <class Node>
inline void LinkAfter(Node** tail, Node* node, Node* pos) {
  node->plfPrev = pos;
  node->plfNext = pos->plfNext;
  if (pos->plfNext != nullptr)
    pos->plfNext->plfPrev = node;
  else
    *tail = node;
  pos->plfNext = node;
}

// Links the node's neighbours to each other (or moves *head / *tail past
// it); the node's own links stay as they were.  O(1).
template <class Node>
inline void Unthread(Node** head, Node** tail, Node* node) {
  if (node->plfPrev != nullptr)
    node->plfPrev->plfNext = node->plfNext;
  else
    *head = node->plfNext;
  if (node->plfNext != nullptr)
    node->plfNext->plfPrev = node->plfPrev;
  else
    *tail = node->plfPrev;
}

}  // namespace avl
}  // namespace detail
}  // namespace tarncoll

#endif
