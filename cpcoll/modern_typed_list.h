// tarncoll::TypedList<T>: a CPList whose items are T*.
//
// A thin template that holds one CPList by value and forwards to it: no
// data of its own beside the list and no virtual operations (sizeof equals
// CPList's), every member an inline forward, so it costs nothing over the
// untyped list, and only typed members are offered.  Composition rather
// than inheritance keeps the untyped Add(void*) and the virtual slots out
// of reach.  Where classic code wants the list itself (AddFrom, an
// Iterator, a CPCollection*), untyped() hands it out; items put in through
// it must be T* as well.
//
//   tarncoll::TypedList<Part> lst;
//   lst.Add(&gear);
//   for (Part* p : lst) ...                 // fail-fast, T* items
//   Part* pFirst = lst.RetrieveIDX(0);
//
// Results, costs and reports are those of CPList (cplist.h); the list never
// dereferences, copies or frees an item (only Destroy/DestroyAll hand them
// to the kill function).  Copies are CPList's deep copies (new nodes, the
// same items).  A TypedList is a plain value (not a Createable): it lives
// on the stack, in another object or is allocated with the standard new.
#ifndef TARNCOLL_CPCOLL_MODERN_TYPED_LIST_H
#define TARNCOLL_CPCOLL_MODERN_TYPED_LIST_H

#include <cpcoll/cplist.h>
#include <cpcoll/modern_iter.h>

namespace tarncoll {

template <class T>
class TypedList {
 public:
  using iterator = CollectionIterator<T>;

  // Construction, copy (deep, as CPList's), destruction: CPList's.

  // ---- the list itself, for classic interfaces ----
  CPList& untyped() { return lst; }
  const CPList& untyped() const { return lst; }

  // ---- typed iteration: fail-fast, never moves the built-in cursor ----
  iterator begin() { return iterator(&lst, WalkOf::kItems); }
  iterator end() { return iterator(); }

  // ---- size ----
  char IsMT() const { return lst.IsMT(); }
  unsigned long Length() const { return lst.Length(); }
  short _get_nXACT() const { return lst._get_nXACT(); }

  // ---- adding: one node each; O(1) (Intern O(n)) ----
  void Add(T* pItem) { lst.Add(pItem); }
  int Insert(T* pItem) { return lst.Insert(pItem); }
  int InsertAfter(T* pItem) { return lst.InsertAfter(pItem); }
  void Intern(T* pItem) { lst.Intern(pItem); }

  // ---- finding: by identity, O(n) ----
  short Exists(T* pItem) { return lst.Exists(pItem); }
  CPBucket* FindBucket(T* pItem) { return lst.FindBucket(pItem); }
  T* RetrieveIDX(unsigned long idx) { return static_cast<T*>(lst.RetrieveIDX(idx)); }
  T* operator[](int i) { return static_cast<T*>(lst.operator[](i)); }

  // ---- removing: items are never touched except by the kill function ----
  char Detach(T* pItem) { return lst.Detach(pItem); }
  char Destroy(T* pItem, CPKillFunc pfnKill) { return lst.Destroy(pItem, pfnKill); }
  T* RetrieveAndDetachTop() { return static_cast<T*>(lst.RetrieveAndDetachTop()); }
  char DestroyAll(CPKillFunc pfnKill) { return lst.DestroyAll(pfnKill); }
  char DetachAll() { return lst.DetachAll(); }

  // ---- the built-in cursor ----
  void ClearResetPoint() { lst.ClearResetPoint(); }
  void GotoBottom() { lst.GotoBottom(); }
  void GotoResetPoint() { lst.GotoResetPoint(); }
  void GotoTop() { lst.GotoTop(); }
  long Next() { return lst.Next(); }
  long Prev() { return lst.Prev(); }
  void SetResetPoint() { lst.SetResetPoint(); }
  T* Retrieve() { return static_cast<T*>(lst.Retrieve()); }
  T* Get() { return static_cast<T*>(lst.Get()); }
  T* Peek() { return static_cast<T*>(lst.Peek()); }
  T* PeekNext() { return static_cast<T*>(lst.PeekNext()); }

  // ---- sorting: the comparison receives two item cells, as for qsort ----
  void Sort(CPCompareFunc pfnCompare) { lst.Sort(pfnCompare); }

 private:
  CPList lst;  // the list itself; every member forwards to it
};

template <class T>
CollectionIterator<T> begin(TypedList<T>& lst) {
  return lst.begin();
}
template <class T>
CollectionIterator<T> end(TypedList<T>& lst) {
  return lst.end();
}

}  // namespace tarncoll

#endif
