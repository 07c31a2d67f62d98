// Internal: the AVL pointer surgery of CPTree, on plain Leaf pointers.
//
// These functions touch only the tree fields of the nodes (plfLeft,
// plfRight, plfParent, nBalance) and the root pointer they are given; never
// the list links, counts or keys.  nBalance is height(right) -
// height(left).  They are free functions so that tests can run them on
// hand-built nodes.
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

class Leaf;

namespace avl {

// Left rotation at x (nothing when x has no right child).  When the right
// child leans left (-1) it is first rotated right.  *pproot is updated when
// x was the root.  Balances afterwards, from those before the single step:
//   x +1                : x = (r +1 ? -1 : 0), r = -1
//   x not +1 and r +1   : x = 0,  r = 0
//   otherwise           : x = +1, r = -1
void RotateLeft(Leaf** pproot, Leaf* x);
// Mirror image of RotateLeft.
void RotateRight(Leaf** pproot, Leaf* x);
// RotateLeft for a negative direction, RotateRight otherwise.
void Rotate(Leaf** pproot, Leaf* x, short nDirection);

// After a new leaf was attached below parent (and parent's balance
// adjusted): walks up adding +1/-1 per side until a balance becomes 0 (stop)
// or +-2 (one rotation, stop).  O(log n).
void RebalanceAfterInsert(Leaf** pproot, Leaf* parent);

// After node's left (nDirection -1) or right (+1) subtree became one level
// lower: adjusts balances upward, rotating where one reaches +-2, until a
// subtree keeps its height.  O(log n).
void HelpDeleteBalance(Leaf** pproot, int nDirection, Leaf* node);

// Takes node out of the tree (not the list).  A node with two children is
// replaced by its in-order predecessor when its balance is -1, else by its
// successor; the replacement moves into node's place and takes its balance.
// Clears node's tree fields.  O(log n).
void Unlink(Leaf** pproot, Leaf* node);

// The balanced tree of v[0..n-1], middle of each range on top; parts of 1
// to 3 nodes are linked directly.  Every balance comes from the real
// heights.  The top's plfParent is left for the caller.  *pnCount is
// incremented before each recursive call.  Requires clear tree links.
Leaf* BuildTree(Leaf** v, long n, long* pnCount);

Leaf* Leftmost(Leaf* node);   // smallest node of the subtree
Leaf* Rightmost(Leaf* node);  // largest node of the subtree

}  // namespace avl

#endif
