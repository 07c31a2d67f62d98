// tarncoll::TypedTree<T>: a CPTree whose items are T*.
//
// A thin template that holds one CPTree by value and forwards to it: no
// data of its own beside the tree and no virtual operations (sizeof
// equals CPTree's), every member an inline forward, so it costs nothing
// over the untyped tree, and only typed members are offered.  untyped()
// hands out the tree itself for classic interfaces.  A TypedTree is a
// plain value (not a Createable).
//
//   tarncoll::TypedTree<Part> tree;
//   tree.AddKeyNum(42, &gear);
//   for (Part* p : tree) ...            // ascending key order, fail-fast
//   Part* pLow = tree.Smallest();
//
// Key kinds, results, costs and reports are those of CPTree (BTree.h): the
// first keyed operation fixes numeric or string keys, an equal key replaces
// the item, a string key given as const char* must outlive its use.  The
// tree never dereferences, copies or frees an item except through a kill
// function.  Copies are CPTree's deep copies.
#ifndef TARNCOLL_CPCOLL_MODERN_TYPED_TREE_H
#define TARNCOLL_CPCOLL_MODERN_TYPED_TREE_H

#include <cpcoll/BTree.h>
#include <cpcoll/modern_iter.h>

namespace tarncoll {

template <class T>
class TypedTree {
 public:
  using iterator = CollectionIterator<T>;

  // Construction, copy (deep, as CPTree's), destruction: the tree's.

  // ---- the tree itself, for classic interfaces ----
  CPTree& untyped() { return tree; }
  const CPTree& untyped() const { return tree; }

  // ---- typed iteration in key order, fail-fast ----
  iterator begin() { return iterator(&tree, WalkOf::kItems); }
  iterator end() { return iterator(); }

  // ---- size and kind ----
  char IsMT() const { return tree.IsMT(); }
  unsigned long Length() const { return tree.Length(); }
  enumTreeDataState _get_etdsState() const { return tree._get_etdsState(); }
  short _get_nXACT() const { return tree._get_nXACT(); }

  // ---- adding: an equal key replaces the item; O(log n) ----
  void AddKeyNum(unsigned long nKey, T* pItem) { tree.AddKeyNum(nKey, pItem); }
  void AddKeyString(const char* pszKey, T* pItem) { tree.AddKeyString(pszKey, pItem, nullptr); }
  void AddKeyString(CPString* pstrKey, T* pItem) { tree.AddKeyString(pstrKey, pItem); }
  void Add(T* pItem) { tree.Add(pItem); }  // under the item's own address

  // ---- finding: O(log n) ----
  T* FindKeyNum(unsigned long nKey) { return static_cast<T*>(tree.FindKeyNum(nKey)); }
  T* FindKeyString(const char* pszKey) { return static_cast<T*>(tree.FindKeyString(pszKey, nullptr)); }
  T* FindKeyString(CPString* pstrKey) { return static_cast<T*>(tree.FindKeyString(pstrKey)); }
  // Non-zero (the item as a number) when the key holds a non-null item;
  // fixes the kind like CPTree's.
  long ExistsKeyNum(unsigned long nKey) { return tree.ExistsKeyNum(nKey); }
  long ExistsKeyString(const char* pszKey) { return tree.ExistsKeyString(pszKey, nullptr); }
  long ExistsKeyString(CPString* pstrKey) { return tree.ExistsKeyString(pstrKey); }
  T* Smallest() const { return static_cast<T*>(tree.Smallest()); }
  T* Largest() const { return static_cast<T*>(tree.Largest()); }
  // The item under the numeric key idx (not the idx-th item).
  T* RetrieveIDX(unsigned long idx) { return static_cast<T*>(tree.RetrieveIDX(idx)); }

  // ---- removing: the item is untouched except by the kill function ----
  void DetachKeyNum(unsigned long nKey) { tree.DetachKeyNum(nKey); }
  void DetachKeyString(const char* pszKey) { tree.DetachKeyString(pszKey, nullptr); }
  void DetachKeyString(CPString* pstrKey) { tree.DetachKeyString(pstrKey); }
  void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) { tree.DestroyKeyNum(nKey, pfnKill); }
  void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill) { tree.DestroyKeyString(pszKey, pfnKill, nullptr); }
  void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) { tree.DestroyKeyString(pstrKey, pfnKill); }
  char DestroyAll(CPKillFunc pfnKill) { return tree.DestroyAll(pfnKill); }
  char DetachAll() { return tree.DetachAll(); }

  // ---- the built-in cursor (both ways) ----
  void GotoBottom() { tree.GotoBottom(); }
  void GotoTop() { tree.GotoTop(); }
  long Next() { return tree.Next(); }
  long Prev() { return tree.Prev(); }
  T* Retrieve() { return static_cast<T*>(tree.Retrieve()); }

 private:
  CPTree tree;  // the tree itself; every member forwards to it
};

template <class T>
CollectionIterator<T> begin(TypedTree<T>& tree) {
  return tree.begin();
}
template <class T>
CollectionIterator<T> end(TypedTree<T>& tree) {
  return tree.end();
}

}  // namespace tarncoll

#endif
