#include <cpcoll/detail/avl.h>

#include <cpcoll/BTree.h>

namespace tarncoll {
namespace detail {
namespace avl {

namespace {

// Makes child take old's place under old's parent (or as the root).
inline void ReplaceChild(Leaf** root, Leaf* parent, Leaf* old, Leaf* child) {
  if (parent == nullptr)
    *root = child;
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

void RotateLeft(Leaf** root, Leaf* x) {
  Leaf* r = x->plfRight;
  if (r == nullptr) return;
  if (r->nBalance == -1) {
    RotateRight(root, r);  // the rule applies again inside this call
    r = x->plfRight;
  }
  const short xBalance = x->nBalance;
  const short rBalance = r->nBalance;

  Leaf* parent = x->plfParent;
  r->plfParent = parent;
  ReplaceChild(root, parent, x, r);
  x->plfRight = r->plfLeft;
  if (x->plfRight != nullptr) x->plfRight->plfParent = x;
  r->plfLeft = x;
  x->plfParent = r;

  if (xBalance == 1) {
    x->nBalance = rBalance == 1 ? -1 : 0;
    r->nBalance = -1;
  } else if (rBalance == 1) {
    x->nBalance = 0;
    r->nBalance = 0;
  } else {
    x->nBalance = 1;
    r->nBalance = -1;
  }
}

void RotateRight(Leaf** root, Leaf* x) {
  Leaf* l = x->plfLeft;
  if (l == nullptr) return;
  if (l->nBalance == 1) {
    RotateLeft(root, l);
    l = x->plfLeft;
  }
  const short xBalance = x->nBalance;
  const short lBalance = l->nBalance;

  Leaf* parent = x->plfParent;
  l->plfParent = parent;
  ReplaceChild(root, parent, x, l);
  x->plfLeft = l->plfRight;
  if (x->plfLeft != nullptr) x->plfLeft->plfParent = x;
  l->plfRight = x;
  x->plfParent = l;

  if (xBalance == -1) {
    x->nBalance = lBalance == -1 ? 1 : 0;
    l->nBalance = 1;
  } else if (lBalance == -1) {
    x->nBalance = 0;
    l->nBalance = 0;
  } else {
    x->nBalance = -1;
    l->nBalance = 1;
  }
}

void Rotate(Leaf** root, Leaf* x, short direction) {
  if (direction < 0)
    RotateLeft(root, x);
  else
    RotateRight(root, x);
}

void RebalanceAfterInsert(Leaf** root, Leaf* parent) {
  if (parent->nBalance == 0) return;  // its height did not change
  Leaf* child = parent;
  for (;;) {
    Leaf* node = child->plfParent;
    if (node == nullptr) return;
    node->nBalance = short(node->nBalance + (child == node->plfRight ? 1 : -1));
    if (node->nBalance == 0) return;
    if (node->nBalance == 2) {
      RotateLeft(root, node);
      return;
    }
    if (node->nBalance == -2) {
      RotateRight(root, node);
      return;
    }
    child = node;
  }
}

void HelpDeleteBalance(Leaf** root, int direction, Leaf* node) {
  while (node != nullptr) {
    node->nBalance = short(node->nBalance - direction);
    if (node->nBalance == -2 * direction) {
      Rotate(root, node, short(direction));
      node = node->plfParent;  // the top of the rotated subtree
      if (node == nullptr || node->nBalance == direction) return;  // height kept
    } else if (node->nBalance == -direction) {
      return;  // it was balanced: its height is unchanged
    }
    Leaf* parent = node->plfParent;
    if (parent == nullptr) return;
    direction = parent->plfLeft == node ? -1 : 1;
    node = parent;
  }
}

void Unlink(Leaf** root, Leaf* node) {
  Leaf* parent = node->plfParent;
  const bool wasLeft = parent != nullptr && parent->plfLeft == node;

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
    const bool replWasLeft = q->plfLeft == repl;
    if (replWasLeft)
      q->plfLeft = child;
    else
      q->plfRight = child;
    if (child != nullptr) child->plfParent = q;
    HelpDeleteBalance(root, replWasLeft ? -1 : 1, q);

    // The replacement moves into node's place as it stands now.
    repl->nBalance = node->nBalance;
    repl->plfParent = node->plfParent;
    repl->plfLeft = node->plfLeft;
    repl->plfRight = node->plfRight;
    ReplaceChild(root, node->plfParent, node, repl);
    if (repl->plfLeft != nullptr) repl->plfLeft->plfParent = repl;
    if (repl->plfRight != nullptr) repl->plfRight->plfParent = repl;
  } else {
    Leaf* child = node->plfLeft != nullptr ? node->plfLeft : node->plfRight;
    if (child != nullptr) child->plfParent = parent;
    ReplaceChild(root, parent, node, child);
    if (parent != nullptr) HelpDeleteBalance(root, wasLeft ? -1 : 1, parent);
  }
  ClearTreeLinks(node);
}

namespace {

// Links a part of 1 to 3 nodes directly, or builds it recursively; sets
// *height to its height.
Leaf* BuildPart(Leaf** v, long n, bool leftPart, long* count, int* height);

Leaf* BuildRange(Leaf** v, long n, long* count, int* height) {
  if (n <= 0) {
    *height = 0;
    return nullptr;
  }
  const long mid = n / 2;
  Leaf* top = v[mid];
  ClearTreeLinks(top);
  int leftHeight = 0;
  int rightHeight = 0;
  top->plfLeft = BuildPart(v, mid, true, count, &leftHeight);
  top->plfRight = BuildPart(v + mid + 1, n - mid - 1, false, count, &rightHeight);
  if (top->plfLeft != nullptr) top->plfLeft->plfParent = top;
  if (top->plfRight != nullptr) top->plfRight->plfParent = top;
  top->nBalance = short(rightHeight - leftHeight);
  *height = 1 + (leftHeight > rightHeight ? leftHeight : rightHeight);
  return top;
}

Leaf* BuildPart(Leaf** v, long n, bool leftPart, long* count, int* height) {
  switch (n) {
    case 0:
      *height = 0;
      return nullptr;
    case 1:
      ClearTreeLinks(v[0]);
      *height = 1;
      return v[0];
    case 2: {
      // left part: v[1] over v[0]; right part: v[0] over v[1]
      Leaf* top = leftPart ? v[1] : v[0];
      Leaf* below = leftPart ? v[0] : v[1];
      ClearTreeLinks(top);
      ClearTreeLinks(below);
      if (leftPart) {
        top->plfLeft = below;
        top->nBalance = -1;
      } else {
        top->plfRight = below;
        top->nBalance = 1;
      }
      below->plfParent = top;
      *height = 2;
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
      *height = 2;
      return v[1];
    default:
      ++*count;
      return BuildRange(v, n, count, height);
  }
}

}  // namespace

Leaf* BuildTree(Leaf** v, long n, long* count) {
  int subHeight = 0;
  return BuildRange(v, n, count, &subHeight);
}

}  // namespace avl
}  // namespace detail
}  // namespace tarncoll
