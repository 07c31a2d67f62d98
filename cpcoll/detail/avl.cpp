#include <cpcoll/detail/avl.h>

#include <cpcoll/BTree.h>

namespace tarncoll {
namespace detail {
namespace avl {

namespace {

// Makes child take old's place under old's parent (or as the root).
inline void ReplaceChild(Leaf** pproot, Leaf* parent, Leaf* old, Leaf* child) {
  if (parent == nullptr)
    *pproot = child;
  else if (parent->plfLeft == old)
    parent->plfLeft = child;
  else
    parent->plfRight = child;
}

inline void ClearTreeLinks(Leaf* node) {
  node->plfLeft = nullptr;
  node->plfRight = nullptr;
  node->plfParent = nullptr;
  node->nBalance = 0;
}

}  // namespace

Leaf* Leftmost(Leaf* node) {
  while (node->plfLeft != nullptr) node = node->plfLeft;
  return node;
}

Leaf* Rightmost(Leaf* node) {
  while (node->plfRight != nullptr) node = node->plfRight;
  return node;
}

void RotateLeft(Leaf** pproot, Leaf* x) {
  Leaf* r = x->plfRight;
  if (r == nullptr) return;
  if (r->nBalance == -1) {
    RotateRight(pproot, r);  // the rule applies again inside this call
    r = x->plfRight;
  }
  const short nX = x->nBalance;
  const short nR = r->nBalance;

  Leaf* parent = x->plfParent;
  r->plfParent = parent;
  ReplaceChild(pproot, parent, x, r);
  x->plfRight = r->plfLeft;
  if (x->plfRight != nullptr) x->plfRight->plfParent = x;
  r->plfLeft = x;
  x->plfParent = r;

  if (nX == 1) {
    x->nBalance = nR == 1 ? -1 : 0;
    r->nBalance = -1;
  } else if (nR == 1) {
    x->nBalance = 0;
    r->nBalance = 0;
  } else {
    x->nBalance = 1;
    r->nBalance = -1;
  }
}

void RotateRight(Leaf** pproot, Leaf* x) {
  Leaf* l = x->plfLeft;
  if (l == nullptr) return;
  if (l->nBalance == 1) {
    RotateLeft(pproot, l);
    l = x->plfLeft;
  }
  const short nX = x->nBalance;
  const short nL = l->nBalance;

  Leaf* parent = x->plfParent;
  l->plfParent = parent;
  ReplaceChild(pproot, parent, x, l);
  x->plfLeft = l->plfRight;
  if (x->plfLeft != nullptr) x->plfLeft->plfParent = x;
  l->plfRight = x;
  x->plfParent = l;

  if (nX == -1) {
    x->nBalance = nL == -1 ? 1 : 0;
    l->nBalance = 1;
  } else if (nL == -1) {
    x->nBalance = 0;
    l->nBalance = 0;
  } else {
    x->nBalance = -1;
    l->nBalance = 1;
  }
}

void Rotate(Leaf** pproot, Leaf* x, short nDirection) {
  if (nDirection < 0)
    RotateLeft(pproot, x);
  else
    RotateRight(pproot, x);
}

void RebalanceAfterInsert(Leaf** pproot, Leaf* parent) {
  if (parent->nBalance == 0) return;  // its height did not change
  Leaf* child = parent;
  for (;;) {
    Leaf* node = child->plfParent;
    if (node == nullptr) return;
    node->nBalance = short(node->nBalance + (child == node->plfRight ? 1 : -1));
    if (node->nBalance == 0) return;
    if (node->nBalance == 2) {
      RotateLeft(pproot, node);
      return;
    }
    if (node->nBalance == -2) {
      RotateRight(pproot, node);
      return;
    }
    child = node;
  }
}

void HelpDeleteBalance(Leaf** pproot, int nDirection, Leaf* node) {
  while (node != nullptr) {
    node->nBalance = short(node->nBalance - nDirection);
    if (node->nBalance == -2 * nDirection) {
      Rotate(pproot, node, short(nDirection));
      node = node->plfParent;  // the top of the rotated subtree
      if (node == nullptr || node->nBalance == nDirection) return;  // height kept
    } else if (node->nBalance == -nDirection) {
      return;  // it was balanced: its height is unchanged
    }
    Leaf* parent = node->plfParent;
    if (parent == nullptr) return;
    nDirection = parent->plfLeft == node ? -1 : 1;
    node = parent;
  }
}

void Unlink(Leaf** pproot, Leaf* node) {
  Leaf* parent = node->plfParent;
  const bool bWasLeft = parent != nullptr && parent->plfLeft == node;

  if (node->plfLeft != nullptr && node->plfRight != nullptr) {
    // Take the replacement from the taller side (the right when balanced),
    // so node's own balance never reaches +-2 below.
    Leaf* repl;
    Leaf* child;
    if (node->nBalance == -1) {
      repl = Rightmost(node->plfLeft);
      child = repl->plfLeft;
    } else {
      repl = Leftmost(node->plfRight);
      child = repl->plfRight;
    }
    Leaf* q = repl->plfParent;
    const bool bReplWasLeft = q->plfLeft == repl;
    if (bReplWasLeft)
      q->plfLeft = child;
    else
      q->plfRight = child;
    if (child != nullptr) child->plfParent = q;
    HelpDeleteBalance(pproot, bReplWasLeft ? -1 : 1, q);

    // The replacement moves into node's place as it stands now.
    repl->nBalance = node->nBalance;
    repl->plfParent = node->plfParent;
    repl->plfLeft = node->plfLeft;
    repl->plfRight = node->plfRight;
    ReplaceChild(pproot, node->plfParent, node, repl);
    if (repl->plfLeft != nullptr) repl->plfLeft->plfParent = repl;
    if (repl->plfRight != nullptr) repl->plfRight->plfParent = repl;
  } else {
    Leaf* child = node->plfLeft != nullptr ? node->plfLeft : node->plfRight;
    if (child != nullptr) child->plfParent = parent;
    ReplaceChild(pproot, parent, node, child);
    if (parent != nullptr) HelpDeleteBalance(pproot, bWasLeft ? -1 : 1, parent);
  }
  ClearTreeLinks(node);
}

namespace {

// Links a part of 1 to 3 nodes directly, or builds it recursively; sets
// *pnHeight to its height.
Leaf* BuildPart(Leaf** v, long n, bool bLeftPart, long* pnCount, int* pnHeight);

Leaf* BuildRange(Leaf** v, long n, long* pnCount, int* pnHeight) {
  if (n <= 0) {
    *pnHeight = 0;
    return nullptr;
  }
  const long mid = n / 2;
  Leaf* top = v[mid];
  ClearTreeLinks(top);
  int nLeftHeight = 0;
  int nRightHeight = 0;
  top->plfLeft = BuildPart(v, mid, true, pnCount, &nLeftHeight);
  top->plfRight = BuildPart(v + mid + 1, n - mid - 1, false, pnCount, &nRightHeight);
  if (top->plfLeft != nullptr) top->plfLeft->plfParent = top;
  if (top->plfRight != nullptr) top->plfRight->plfParent = top;
  top->nBalance = short(nRightHeight - nLeftHeight);
  *pnHeight = 1 + (nLeftHeight > nRightHeight ? nLeftHeight : nRightHeight);
  return top;
}

Leaf* BuildPart(Leaf** v, long n, bool bLeftPart, long* pnCount, int* pnHeight) {
  switch (n) {
    case 0:
      *pnHeight = 0;
      return nullptr;
    case 1:
      ClearTreeLinks(v[0]);
      *pnHeight = 1;
      return v[0];
    case 2: {
      // left part: v[1] over v[0]; right part: v[0] over v[1]
      Leaf* top = bLeftPart ? v[1] : v[0];
      Leaf* below = bLeftPart ? v[0] : v[1];
      ClearTreeLinks(top);
      ClearTreeLinks(below);
      if (bLeftPart) {
        top->plfLeft = below;
        top->nBalance = -1;
      } else {
        top->plfRight = below;
        top->nBalance = 1;
      }
      below->plfParent = top;
      *pnHeight = 2;
      return top;
    }
    case 3:
      ClearTreeLinks(v[0]);
      ClearTreeLinks(v[1]);
      ClearTreeLinks(v[2]);
      v[1]->plfLeft = v[0];
      v[1]->plfRight = v[2];
      v[0]->plfParent = v[1];
      v[2]->plfParent = v[1];
      *pnHeight = 2;
      return v[1];
    default:
      ++*pnCount;
      return BuildRange(v, n, pnCount, pnHeight);
  }
}

}  // namespace

Leaf* BuildTree(Leaf** v, long n, long* pnCount) {
  int nHeight = 0;
  return BuildRange(v, n, pnCount, &nHeight);
}

}  // namespace avl
}  // namespace detail
}  // namespace tarncoll
