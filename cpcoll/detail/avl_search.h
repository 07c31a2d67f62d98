// Internal: the key orders of CPTree and the descent that uses them.
//
// A key order is a function object order(a, b) returning <0, 0 or >0 as
// key a sorts before, equal to or after key b.  Two exist: NumberOrder
// (the key pointer's value, unsigned at pointer width) and TextOrder
// (zero-terminated texts, byte by byte as unsigned char).  The descents are
// templates over the order and the node type, so each order inlines into
// its own loop; NumberOrder is written so that the compiler reduces the
// loop to two plain comparisons per level.
//
// An order's kSlowCompare says that its comparison reads memory outside
// the node (a text): a descent then asks for both children while it
// compares, so the child it takes arrives during the comparison instead of
// after it.
//
// The nodes need pvKey, plfLeft and plfRight; nothing else is read and
// nothing is written.  This header is included by the public tree header
// and compiles from C++11 on.
#ifndef TARNCOLL_CPCOLL_DETAIL_AVL_SEARCH_H
#define TARNCOLL_CPCOLL_DETAIL_AVL_SEARCH_H

#include <cstdint>
#include <cstring>

namespace tarncoll {
namespace detail {
namespace avl {

// Numbers: the key pointers' values, compared unsigned.
struct NumberOrder {
  static constexpr bool kSlowCompare = false;
  int operator()(const void* a, const void* b) const {
    const std::uintptr_t x = reinterpret_cast<std::uintptr_t>(a);
    const std::uintptr_t y = reinterpret_cast<std::uintptr_t>(b);
    // Not (x > y) - (x < y): the branches let the caller's tests of the
    // sign fold into the comparisons themselves.
    return x < y ? -1 : (x > y ? 1 : 0);
  }
};

// Texts: zero-terminated, neither may be null; strcmp compares unsigned
// char by unsigned char.
struct TextOrder {
  static constexpr bool kSlowCompare = true;
  int operator()(const void* a, const void* b) const {
    return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
  }
};

// For an order with kSlowCompare: asks for both children of node, so that
// the one the comparison picks arrives while it runs.
template <class Node, class Order>
inline void PrefetchChildren(const Node* node, Order) {
  if (Order::kSlowCompare) {
    __builtin_prefetch(node->plfLeft);
    __builtin_prefetch(node->plfRight);
  }
}

// The node of the subtree at node whose key equals key, or null.  One
// root-to-leaf walk, O(log n).
template <class Node, class Order>
inline Node* Locate(Node* node, const void* key, Order order) {
  while (node != nullptr) {
    PrefetchChildren(node, order);
    const int c = order(key, node->pvKey);
    if (c < 0)
      node = node->plfLeft;
    else if (c > 0)
      node = node->plfRight;
    else
      return node;
  }
  return nullptr;
}

// Where key belongs in the non-empty subtree at node: the node of an equal
// key (*side 0), or the node to attach a new one below and the side, *side
// -1 for its free left link or +1 for its free right link.  O(log n).
template <class Node, class Order>
inline Node* LocateSlot(Node* node, const void* key, Order order, int* side) {
  for (;;) {
    PrefetchChildren(node, order);
    const int c = order(key, node->pvKey);
    if (c == 0) {
      *side = 0;
      return node;
    }
    Node* next = c > 0 ? node->plfRight : node->plfLeft;
    if (next == nullptr) {
      *side = c > 0 ? 1 : -1;
      return node;
    }
    node = next;
  }
}

}  // namespace avl
}  // namespace detail
}  // namespace tarncoll

#endif
