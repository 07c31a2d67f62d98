/// \file
/// tarncoll::TypedDictionary<T>: a CPDictionary whose items are T*.
///
/// A thin template that holds one CPDictionary by value and forwards to it: no
/// data of its own beside the dictionary and no virtual operations (sizeof
/// equals CPDictionary's), every member an inline forward, so it costs nothing
/// over the untyped dictionary, and only typed members are offered.  untyped()
/// hands out the dictionary itself for classic interfaces.  A TypedDictionary is a
/// plain value (not a Createable).
///
/// \code
///   tarncoll::TypedDictionary<Part> dct;
///   dct.AddKeyString("gear", &gear);
///   Part* p = dct.FindKeyString("gear");
///   for (Part* p : dct) ...                       // items, slot order
///   for (CPDictionaryAssociation* pda : dct.entries()) ...   // with keys
/// \endcode
///
/// Keys, slots, results, costs and reports are those of CPDictionary
/// (Cpdict.h); the optional pnCRC arguments default to null (the text's own
/// CRC).  The dictionary never dereferences, copies or frees an item except
/// through a kill function.  Copies are CPDictionary's deep copies.
#ifndef TARNCOLL_CPCOLL_MODERN_TYPED_DICTIONARY_H
#define TARNCOLL_CPCOLL_MODERN_TYPED_DICTIONARY_H

#include <string>

#include <cpcoll/Cpdict.h>
#include <cpcoll/modern_iter.h>
#include <cpcoll/modern_text.h>

namespace tarncoll {

/// A CPDictionary whose items are T*: every member forwards to the dictionary
/// it holds (see the file documentation); results, costs and reports are
/// CPDictionary's.
template <class T>
class TypedDictionary {
 public:
  using iterator = CollectionIterator<T>;  ///< fail-fast forward iterator over the T* items

  // Construction, copy (deep, as CPDictionary's), destruction: the
  // dictionary's (always 256 slots).

  // ---- the dictionary itself, for classic interfaces ----
  /// The dictionary itself, for classic interfaces; items added through it
  /// must be T* as well.
  CPDictionary& untyped() { return dct; }
  /// The dictionary itself, read-only.
  const CPDictionary& untyped() const { return dct; }

  // ---- typed iteration (items, then entries), fail-fast ----
  /// A new fail-fast walk of the items in iteration order, on a cursor of its
  /// own (the built-in cursor does not move).  Throws std::bad_alloc when the
  /// cursor cannot be made.
  iterator begin() { return iterator(&dct, WalkOf::kEntryItems); }
  /// The end of every walk.
  iterator end() { return iterator(); }
  /// The entries themselves (keys included), in iteration order: Entries() of
  /// the dictionary.
  CollectionRange<CPDictionaryAssociation> entries() { return Entries(dct); }

  // ---- size ----
  /// As CPDictionary::IsMT: non-zero when the dictionary is empty.
  char IsMT() const { return dct.IsMT(); }
  /// As CPDictionary::Length: the number of entries.
  unsigned long Length() const { return dct.Length(); }
  /// As CPDictionary::_get_nNumberOfSlots: 256.
  unsigned long _get_nNumberOfSlots() const { return dct._get_nNumberOfSlots(); }
  /// As CPDictionary::_get_nXACT: the modification count.
  short _get_nXACT() const { return dct._get_nXACT(); }

  // ---- adding: a present key adds nothing ----
  /// As CPDictionary::AddKeyNum: adds the item under the key unless the key
  /// is present.
  void AddKeyNum(unsigned long nKey, T* pItem) { dct.AddKeyNum(nKey, pItem); }
  /// As CPDictionary::AddKeyString(const char*, void*, unsigned long*): under
  /// the key text (a copy is kept); pnCRC null or the text's CRC.
  void AddKeyString(const char* pszKey, T* pItem, unsigned long* pnCRC = nullptr) {
    dct.AddKeyString(pszKey, pItem, pnCRC);
  }
  /// As CPDictionary::AddKeyString(CPString*, void*): under the string's
  /// text.
  void AddKeyString(CPString* pstrKey, T* pItem) { dct.AddKeyString(pstrKey, pItem); }
  /// As CPDictionary::Add: AddKeyNum under the item's address.
  void Add(T* pItem) { dct.Add(pItem); }  // under the item's address

  // ---- finding ----
  /// As CPDictionary::FindKeyNum: the item of the key, or null.
  T* FindKeyNum(unsigned long nKey) { return static_cast<T*>(dct.FindKeyNum(nKey)); }
  /// As CPDictionary::FindKeyString(const char*, unsigned long*): the item of
  /// the key text, or null.
  T* FindKeyString(const char* pszKey, unsigned long* pnCRC = nullptr) {
    return static_cast<T*>(dct.FindKeyString(pszKey, pnCRC));
  }
  /// As CPDictionary::FindKeyString(CPString*): the item of the string's
  /// text, or null.
  T* FindKeyString(CPString* pstrKey) { return static_cast<T*>(dct.FindKeyString(pstrKey)); }
  /// As CPDictionary::ExistsKeyNum: 1 when an entry has the key.
  long ExistsKeyNum(unsigned long nKey) { return dct.ExistsKeyNum(nKey); }
  /// As CPDictionary::ExistsKeyString(const char*, unsigned long*): 1 when
  /// the key's entry holds a non-null item.
  long ExistsKeyString(const char* pszKey, unsigned long* pnCRC = nullptr) {
    return dct.ExistsKeyString(pszKey, pnCRC);
  }
  /// As CPDictionary::ExistsKeyString(CPString*): 1 when the key's entry
  /// holds a non-null item.
  long ExistsKeyString(CPString* pstrKey) { return dct.ExistsKeyString(pstrKey); }
  /// As CPDictionary::ExistsValue: 1 when some entry holds the item.  O(n).
  long ExistsValue(T* pItem) { return dct.ExistsValue(pItem); }

  // ---- positional reads (iteration order) ----
  /// As CPDictionary::RetrieveIDX: the item at position idx, or null.
  T* RetrieveIDX(unsigned long idx) { return static_cast<T*>(dct.RetrieveIDX(idx)); }
  /// RetrieveIDX(idx).
  T* operator[](unsigned long idx) { return RetrieveIDX(idx); }
  /// As CPDictionary::RetrieveDAIDX: the entry at position i, or null.
  CPDictionaryAssociation* RetrieveDAIDX(long i) { return dct.RetrieveDAIDX(i); }

  // ---- removing: the item is untouched except by the kill function ----
  /// As CPDictionary::DetachKeyNum: removes the key's entry.
  void DetachKeyNum(unsigned long nKey) { dct.DetachKeyNum(nKey); }
  /// As CPDictionary::DetachKeyString(const char*, unsigned long*): removes
  /// the key's entry.
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC = nullptr) { dct.DetachKeyString(pszKey, pnCRC); }
  /// As CPDictionary::DetachKeyString(CPString*): removes the key's entry.
  void DetachKeyString(CPString* pstrKey) { dct.DetachKeyString(pstrKey); }
  /// As CPDictionary::DestroyKeyNum: removes the key's entry after kill(item,
  /// null).
  void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) { dct.DestroyKeyNum(nKey, pfnKill); }
  /// As CPDictionary::DestroyKeyString(const char*, CPKillFunc, unsigned
  /// long*): removes the key's entry after kill(item, null).
  void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long* pnCRC = nullptr) {
    dct.DestroyKeyString(pszKey, pfnKill, pnCRC);
  }
  /// As CPDictionary::DestroyKeyString(CPString*, CPKillFunc): removes the
  /// key's entry after kill(item, null).
  void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) { dct.DestroyKeyString(pstrKey, pfnKill); }
  /// As CPDictionary::Detach: removes the first entry holding the item; 1
  /// when removed.
  char Detach(T* pItem) { return dct.Detach(pItem); }
  /// As CPDictionary::Destroy: Detach after kill(item, null).
  char Destroy(T* pItem, CPKillFunc pfnKill) { return dct.Destroy(pItem, pfnKill); }
  /// As CPDictionary::DestroyAll: empties the dictionary, handing each item
  /// to kill(item, null).
  char DestroyAll(CPKillFunc pfnKill) { return dct.DestroyAll(pfnKill); }
  /// As CPDictionary::DetachAll: empties the dictionary; items untouched.
  char DetachAll() { return dct.DetachAll(); }

  // ---- the built-in cursor (forward only) ----
  /// As CPDictionary::GotoBottom: the cursor on the last entry of the highest
  /// non-empty slot.
  void GotoBottom() { dct.GotoBottom(); }
  /// As CPDictionary::GotoTop: the cursor on the first entry.
  void GotoTop() { dct.GotoTop(); }
  /// As CPDictionary::Next: 1 when on an entry afterwards.
  long Next() { return dct.Next(); }
  /// As CPDictionary::Retrieve: the current entry's item, or null.
  T* Retrieve() { return static_cast<T*>(dct.Retrieve()); }
  /// As CPDictionary::RetrieveInternalContainer: the current entry, or null.
  CPDictionaryAssociation* RetrieveInternalContainer() {
    return static_cast<CPDictionaryAssociation*>(dct.RetrieveInternalContainer());
  }

  // ---- texts ----
  /// Every key text followed by `"\r\n"`, in iteration order (empty for a
  /// numeric key); sized for the result, so nothing can overrun.  O(n);
  /// throws std::bad_alloc when the buffer cannot be allocated.
  std::string StringKeyList() { return tarncoll::StringKeyList(dct); }

 private:
  CPDictionary dct;  // the dictionary itself; every member forwards to it
};

/// dct.begin(), for argument-dependent lookup.
template <class T>
CollectionIterator<T> begin(TypedDictionary<T>& dct) {
  return dct.begin();
}
/// dct.end(), for argument-dependent lookup.
template <class T>
CollectionIterator<T> end(TypedDictionary<T>& dct) {
  return dct.end();
}

}  // namespace tarncoll

#endif
