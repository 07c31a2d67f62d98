/// \file
/// tarncoll::TypedTree<T>: a CPTree whose items are T*.
///
/// A thin template that holds one CPTree by value and forwards to it: no
/// data of its own beside the tree and no virtual operations (sizeof
/// equals CPTree's), every member an inline forward, so it costs nothing
/// over the untyped tree, and only typed members are offered.  untyped()
/// hands out the tree itself for classic interfaces.  A TypedTree is a
/// plain value (not a Createable).
///
/// \code
///   tarncoll::TypedTree<Part> tree;
///   tree.AddKeyNum(42, &gear);
///   for (Part* p : tree) ...            // ascending key order, fail-fast
///   Part* pLow = tree.Smallest();
/// \endcode
///
/// Key kinds, results, costs and reports are those of CPTree (BTree.h): the
/// first keyed operation fixes numeric or string keys, an equal key replaces
/// the item, a string key given as const char* must outlive its use.  The
/// tree never dereferences, copies or frees an item except through a kill
/// function.  Copies are CPTree's deep copies.
#ifndef TARNCOLL_CPCOLL_MODERN_TYPED_TREE_H
#define TARNCOLL_CPCOLL_MODERN_TYPED_TREE_H

#include <cpcoll/BTree.h>
#include <cpcoll/modern_iter.h>

namespace tarncoll {

/// A CPTree whose items are T*: every member forwards to the tree it holds
/// (see the file documentation); results, costs and reports are CPTree's.
template <class T>
class TypedTree {
 public:
  using iterator = CollectionIterator<T>;  ///< fail-fast forward iterator over the T* items

  // Construction, copy (deep, as CPTree's), destruction: the tree's.

  // ---- the tree itself, for classic interfaces ----
  /// The tree itself, for classic interfaces; items added through it must be
  /// T* as well.
  CPTree& untyped() { return tree; }
  /// The tree itself, read-only.
  const CPTree& untyped() const { return tree; }

  // ---- typed iteration in key order, fail-fast ----
  /// A new fail-fast walk of the items in ascending key order, on a cursor of
  /// its own (the built-in cursor does not move).  Throws std::bad_alloc when
  /// the cursor cannot be made.
  iterator begin() { return iterator(&tree, WalkOf::kItems); }
  /// The end of every walk.
  iterator end() { return iterator(); }

  // ---- size and kind ----
  /// As CPTree::IsMT: non-zero when the tree is empty.
  char IsMT() const { return tree.IsMT(); }
  /// As CPTree::Length: the number of items.
  unsigned long Length() const { return tree.Length(); }
  /// As CPTree::_get_etdsState: the key kind (none before the first keyed
  /// operation).
  enumTreeDataState _get_etdsState() const { return tree._get_etdsState(); }
  /// As CPTree::_get_nXACT: the modification count.
  short _get_nXACT() const { return tree._get_nXACT(); }

  // ---- adding: an equal key replaces the item; O(log n) ----
  /// As CPTree::AddKeyNum: under the numeric key; an equal key replaces the
  /// item.  O(log n).
  void AddKeyNum(unsigned long nKey, T* pItem) { tree.AddKeyNum(nKey, pItem); }
  /// As CPTree::AddKeyString(const char*, void*, unsigned long*): under the
  /// text, which is not copied and must outlive its use as the key.
  void AddKeyString(const char* pszKey, T* pItem) { tree.AddKeyString(pszKey, pItem, nullptr); }
  /// As CPTree::AddKeyString(CPString*, void*): under the string's registered
  /// text.
  void AddKeyString(CPString* pstrKey, T* pItem) { tree.AddKeyString(pstrKey, pItem); }
  /// As CPTree::Add(void*): under the item's own address; does not fix the
  /// key kind.
  void Add(T* pItem) { tree.Add(pItem); }  // under the item's own address

  // ---- finding: O(log n) ----
  /// As CPTree::FindKeyNum: the item of the key, or null.  O(log n).
  T* FindKeyNum(unsigned long nKey) { return static_cast<T*>(tree.FindKeyNum(nKey)); }
  /// As CPTree::FindKeyString(const char*, unsigned long*): the item of the
  /// key text, or null.
  T* FindKeyString(const char* pszKey) { return static_cast<T*>(tree.FindKeyString(pszKey, nullptr)); }
  /// As CPTree::FindKeyString(CPString*): the item of the string's text, or
  /// null.
  T* FindKeyString(CPString* pstrKey) { return static_cast<T*>(tree.FindKeyString(pstrKey)); }
  /// Non-zero (the item as a number) when the key holds a non-null item;
  /// fixes the kind like CPTree's.
  long ExistsKeyNum(unsigned long nKey) { return tree.ExistsKeyNum(nKey); }
  /// As CPTree::ExistsKeyString(const char*, unsigned long*): the item as a
  /// number, 0 when absent.
  long ExistsKeyString(const char* pszKey) { return tree.ExistsKeyString(pszKey, nullptr); }
  /// As CPTree::ExistsKeyString(CPString*): the item as a number, 0 when
  /// absent.
  long ExistsKeyString(CPString* pstrKey) { return tree.ExistsKeyString(pstrKey); }
  /// As CPTree::Smallest: the item of the smallest key, or null.  O(1).
  T* Smallest() const { return static_cast<T*>(tree.Smallest()); }
  /// As CPTree::Largest: the item of the largest key, or null.  O(1).
  T* Largest() const { return static_cast<T*>(tree.Largest()); }
  /// The item under the numeric key idx (not the idx-th item).
  T* RetrieveIDX(unsigned long idx) { return static_cast<T*>(tree.RetrieveIDX(idx)); }

  // ---- removing: the item is untouched except by the kill function ----
  /// As CPTree::DetachKeyNum: removes the key's item; the item is untouched.
  void DetachKeyNum(unsigned long nKey) { tree.DetachKeyNum(nKey); }
  /// As CPTree::DetachKeyString(const char*, unsigned long*): removes the
  /// key's item.
  void DetachKeyString(const char* pszKey) { tree.DetachKeyString(pszKey, nullptr); }
  /// As CPTree::DetachKeyString(CPString*): removes the key's item.
  void DetachKeyString(CPString* pstrKey) { tree.DetachKeyString(pstrKey); }
  /// As CPTree::DestroyKeyNum: removes the key's item, handing it to
  /// kill(item, null).
  void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) { tree.DestroyKeyNum(nKey, pfnKill); }
  /// As CPTree::DestroyKeyString(const char*, CPKillFunc, unsigned long*):
  /// removes the key's item, handing it to kill(item, null).
  void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill) { tree.DestroyKeyString(pszKey, pfnKill, nullptr); }
  /// As CPTree::DestroyKeyString(CPString*, CPKillFunc): removes the key's
  /// item, handing it to kill(item, null).
  void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) { tree.DestroyKeyString(pstrKey, pfnKill); }
  /// As CPTree::DestroyAll: empties the tree, handing each item to kill(item,
  /// null).
  char DestroyAll(CPKillFunc pfnKill) { return tree.DestroyAll(pfnKill); }
  /// As CPTree::DetachAll: empties the tree; items untouched.
  char DetachAll() { return tree.DetachAll(); }

  // ---- the built-in cursor (both ways) ----
  /// As CPTree::GotoBottom: the cursor on the largest key.
  void GotoBottom() { tree.GotoBottom(); }
  /// As CPTree::GotoTop: the cursor on the smallest key.
  void GotoTop() { tree.GotoTop(); }
  /// As CPTree::Next: 1 when on an item afterwards.
  long Next() { return tree.Next(); }
  /// As CPTree::Prev: 1 when on an item afterwards.
  long Prev() { return tree.Prev(); }
  /// As CPTree::Retrieve: the cursor's item, or null off the tree.
  T* Retrieve() { return static_cast<T*>(tree.Retrieve()); }

 private:
  CPTree tree;  // the tree itself; every member forwards to it
};

/// tree.begin(), for argument-dependent lookup.
template <class T>
CollectionIterator<T> begin(TypedTree<T>& tree) {
  return tree.begin();
}
/// tree.end(), for argument-dependent lookup.
template <class T>
CollectionIterator<T> end(TypedTree<T>& tree) {
  return tree.end();
}

}  // namespace tarncoll

#endif
