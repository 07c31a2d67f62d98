/// \file
/// tarncoll::TypedList<T>: a CPList whose items are T*.
///
/// A thin template that holds one CPList by value and forwards to it: no
/// data of its own beside the list and no virtual operations (sizeof equals
/// CPList's), every member an inline forward, so it costs nothing over the
/// untyped list, and only typed members are offered.  Composition rather
/// than inheritance keeps the untyped Add(void*) and the virtual slots out
/// of reach.  Where classic code wants the list itself (AddFrom, an
/// Iterator, a CPCollection*), untyped() hands it out; items put in through
/// it must be T* as well.
///
/// \code
///   tarncoll::TypedList<Part> lst;
///   lst.Add(&gear);
///   for (Part* p : lst) ...                 // fail-fast, T* items
///   Part* pFirst = lst.RetrieveIDX(0);
/// \endcode
///
/// Results, costs and reports are those of CPList (cplist.h); the list never
/// dereferences, copies or frees an item (only Destroy/DestroyAll hand them
/// to the kill function).  Copies are CPList's deep copies (new nodes, the
/// same items).  A TypedList is a plain value (not a Createable): it lives
/// on the stack, in another object or is allocated with the standard new.
#ifndef TARNCOLL_CPCOLL_MODERN_TYPED_LIST_H
#define TARNCOLL_CPCOLL_MODERN_TYPED_LIST_H

#include <cpcoll/cplist.h>
#include <cpcoll/modern_iter.h>

namespace tarncoll {

/// A CPList whose items are T*: every member forwards to the list it holds
/// (see the file documentation); results, costs and reports are CPList's.
template <class T>
class TypedList {
 public:
  using iterator = CollectionIterator<T>;  ///< fail-fast forward iterator over the T* items

  // Construction, copy (deep, as CPList's), destruction: CPList's.

  // ---- the list itself, for classic interfaces ----
  /// The list itself, for classic interfaces; items added through it must be
  /// T* as well.
  CPList& untyped() { return lst; }
  /// The list itself, read-only.
  const CPList& untyped() const { return lst; }

  // ---- typed iteration: fail-fast, never moves the built-in cursor ----
  /// A new fail-fast walk of the items from the head, on a cursor of its own
  /// (the built-in cursor does not move).  Throws std::bad_alloc when the
  /// cursor cannot be made.
  iterator begin() { return iterator(&lst, WalkOf::kItems); }
  /// The end of every walk.
  iterator end() { return iterator(); }

  // ---- size ----
  /// As CPList::IsMT: non-zero when the list is empty.
  char IsMT() const { return lst.IsMT(); }
  /// As CPList::Length: the number of items.
  unsigned long Length() const { return lst.Length(); }
  /// As CPList::_get_nXACT: the modification count.
  short _get_nXACT() const { return lst._get_nXACT(); }

  // ---- adding: one node each; O(1) (Intern O(n)) ----
  /// As CPList::Add: appends after the tail.
  void Add(T* pItem) { lst.Add(pItem); }
  /// As CPList::Insert: before the cursor node.
  int Insert(T* pItem) { return lst.Insert(pItem); }
  /// As CPList::InsertAfter: after the cursor node; 0 when the cursor is off
  /// the list.
  int InsertAfter(T* pItem) { return lst.InsertAfter(pItem); }
  /// As CPList::Intern: Add unless the item is already present.  O(n).
  void Intern(T* pItem) { lst.Intern(pItem); }

  // ---- finding: by identity, O(n) ----
  /// As CPList::Exists: 1 when the item is present.
  short Exists(T* pItem) { return lst.Exists(pItem); }
  /// As CPList::FindBucket: the first node holding the item (cursor on it),
  /// or null.
  CPBucket* FindBucket(T* pItem) { return lst.FindBucket(pItem); }
  /// As CPList::RetrieveIDX: the item at zero-based idx, or null.
  T* RetrieveIDX(unsigned long idx) { return static_cast<T*>(lst.RetrieveIDX(idx)); }
  /// As CPList::operator[]: a negative index counts from the end.
  T* operator[](int i) { return static_cast<T*>(lst.operator[](i)); }

  // ---- removing: items are never touched except by the kill function ----
  /// As CPList::Detach: removes the first node holding the item; 1 when
  /// removed.
  char Detach(T* pItem) { return lst.Detach(pItem); }
  /// As CPList::Destroy: Detach after kill(item, null).
  char Destroy(T* pItem, CPKillFunc pfnKill) { return lst.Destroy(pItem, pfnKill); }
  /// As CPList::RetrieveAndDetachTop: removes the head; its item, or null
  /// when empty.
  T* RetrieveAndDetachTop() { return static_cast<T*>(lst.RetrieveAndDetachTop()); }
  /// As CPList::DestroyAll: empties the list, handing each item to kill(item,
  /// null).
  char DestroyAll(CPKillFunc pfnKill) { return lst.DestroyAll(pfnKill); }
  /// As CPList::DetachAll: empties the list; items untouched.
  char DetachAll() { return lst.DetachAll(); }

  // ---- the built-in cursor ----
  /// As CPList::ClearResetPoint.
  void ClearResetPoint() { lst.ClearResetPoint(); }
  /// As CPList::GotoBottom: the cursor on the tail.
  void GotoBottom() { lst.GotoBottom(); }
  /// As CPList::GotoResetPoint.
  void GotoResetPoint() { lst.GotoResetPoint(); }
  /// As CPList::GotoTop: the cursor on the head.
  void GotoTop() { lst.GotoTop(); }
  /// As CPList::Next: 1 when on a node afterwards.
  long Next() { return lst.Next(); }
  /// As CPList::Prev: 1 when on a node afterwards.
  long Prev() { return lst.Prev(); }
  /// As CPList::SetResetPoint.
  void SetResetPoint() { lst.SetResetPoint(); }
  /// As CPList::Retrieve: the cursor's item, or null off the list.
  T* Retrieve() { return static_cast<T*>(lst.Retrieve()); }
  /// As CPList::Get: Retrieve(), then Next().
  T* Get() { return static_cast<T*>(lst.Get()); }
  /// As CPList::Peek: the cursor's item; the look-ahead restarts there.
  T* Peek() { return static_cast<T*>(lst.Peek()); }
  /// As CPList::PeekNext: the next item of the look-ahead.
  T* PeekNext() { return static_cast<T*>(lst.PeekNext()); }

  // ---- sorting: the comparison receives two item cells, as for qsort ----
  /// As CPFlatCollection::Sort: rebuilds the list with its items sorted by
  /// pfnCompare (qsort, not stable).
  void Sort(CPCompareFunc pfnCompare) { lst.Sort(pfnCompare); }

 private:
  CPList lst;  // the list itself; every member forwards to it
};

/// lst.begin(), for argument-dependent lookup.
template <class T>
CollectionIterator<T> begin(TypedList<T>& lst) {
  return lst.begin();
}
/// lst.end(), for argument-dependent lookup.
template <class T>
CollectionIterator<T> end(TypedList<T>& lst) {
  return lst.end();
}

}  // namespace tarncoll

#endif
