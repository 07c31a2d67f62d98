// tarncoll::TypedDictionary<T>: a CPDictionary whose items are T*.
//
// A thin template that holds one CPDictionary by value and forwards to it: no
// data of its own beside the dictionary and no virtual operations (sizeof
// equals CPDictionary's), every member an inline forward, so it costs nothing
// over the untyped dictionary, and only typed members are offered.  untyped()
// hands out the dictionary itself for classic interfaces.  A TypedDictionary is a
// plain value (not a Createable).
//
//   tarncoll::TypedDictionary<Part> dct;
//   dct.AddKeyString("gear", &gear);
//   Part* p = dct.FindKeyString("gear");
//   for (Part* p : dct) ...                       // items, slot order
//   for (CPDictionaryAssociation* pda : dct.entries()) ...   // with keys
//
// Keys, slots, results, costs and reports are those of CPDictionary
// (Cpdict.h); the optional pnCRC arguments default to null (the text's own
// CRC).  The dictionary never dereferences, copies or frees an item except
// through a kill function.  Copies are CPDictionary's deep copies.
#ifndef TARNCOLL_CPCOLL_MODERN_TYPED_DICTIONARY_H
#define TARNCOLL_CPCOLL_MODERN_TYPED_DICTIONARY_H

#include <string>

#include <cpcoll/Cpdict.h>
#include <cpcoll/modern_iter.h>
#include <cpcoll/modern_text.h>

namespace tarncoll {

template <class T>
class TypedDictionary {
 public:
  using iterator = CollectionIterator<T>;

  // Construction, copy (deep, as CPDictionary's), destruction: the
  // dictionary's (always 256 slots).

  // ---- the dictionary itself, for classic interfaces ----
  CPDictionary& untyped() { return dct; }
  const CPDictionary& untyped() const { return dct; }

  // ---- typed iteration (items, then entries), fail-fast ----
  iterator begin() { return iterator(&dct, WalkOf::kEntryItems); }
  iterator end() { return iterator(); }
  CollectionRange<CPDictionaryAssociation> entries() { return Entries(dct); }

  // ---- size ----
  char IsMT() const { return dct.IsMT(); }
  unsigned long Length() const { return dct.Length(); }
  unsigned long _get_nNumberOfSlots() const { return dct._get_nNumberOfSlots(); }
  short _get_nXACT() const { return dct._get_nXACT(); }

  // ---- adding: a present key adds nothing ----
  void AddKeyNum(unsigned long nKey, T* pItem) { dct.AddKeyNum(nKey, pItem); }
  void AddKeyString(const char* pszKey, T* pItem, unsigned long* pnCRC = nullptr) {
    dct.AddKeyString(pszKey, pItem, pnCRC);
  }
  void AddKeyString(CPString* pstrKey, T* pItem) { dct.AddKeyString(pstrKey, pItem); }
  void Add(T* pItem) { dct.Add(pItem); }  // under the item's address

  // ---- finding ----
  T* FindKeyNum(unsigned long nKey) { return static_cast<T*>(dct.FindKeyNum(nKey)); }
  T* FindKeyString(const char* pszKey, unsigned long* pnCRC = nullptr) {
    return static_cast<T*>(dct.FindKeyString(pszKey, pnCRC));
  }
  T* FindKeyString(CPString* pstrKey) { return static_cast<T*>(dct.FindKeyString(pstrKey)); }
  long ExistsKeyNum(unsigned long nKey) { return dct.ExistsKeyNum(nKey); }
  long ExistsKeyString(const char* pszKey, unsigned long* pnCRC = nullptr) {
    return dct.ExistsKeyString(pszKey, pnCRC);
  }
  long ExistsKeyString(CPString* pstrKey) { return dct.ExistsKeyString(pstrKey); }
  long ExistsValue(T* pItem) { return dct.ExistsValue(pItem); }

  // ---- positional reads (iteration order) ----
  T* RetrieveIDX(unsigned long idx) { return static_cast<T*>(dct.RetrieveIDX(idx)); }
  T* operator[](unsigned long idx) { return RetrieveIDX(idx); }
  CPDictionaryAssociation* RetrieveDAIDX(long i) { return dct.RetrieveDAIDX(i); }

  // ---- removing: the item is untouched except by the kill function ----
  void DetachKeyNum(unsigned long nKey) { dct.DetachKeyNum(nKey); }
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC = nullptr) { dct.DetachKeyString(pszKey, pnCRC); }
  void DetachKeyString(CPString* pstrKey) { dct.DetachKeyString(pstrKey); }
  void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) { dct.DestroyKeyNum(nKey, pfnKill); }
  void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long* pnCRC = nullptr) {
    dct.DestroyKeyString(pszKey, pfnKill, pnCRC);
  }
  void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) { dct.DestroyKeyString(pstrKey, pfnKill); }
  char Detach(T* pItem) { return dct.Detach(pItem); }
  char Destroy(T* pItem, CPKillFunc pfnKill) { return dct.Destroy(pItem, pfnKill); }
  char DestroyAll(CPKillFunc pfnKill) { return dct.DestroyAll(pfnKill); }
  char DetachAll() { return dct.DetachAll(); }

  // ---- the built-in cursor (forward only) ----
  void GotoBottom() { dct.GotoBottom(); }
  void GotoTop() { dct.GotoTop(); }
  long Next() { return dct.Next(); }
  T* Retrieve() { return static_cast<T*>(dct.Retrieve()); }
  CPDictionaryAssociation* RetrieveInternalContainer() {
    return static_cast<CPDictionaryAssociation*>(dct.RetrieveInternalContainer());
  }

  // ---- texts ----
  // Every key text followed by "\r\n", in iteration order ("" for a numeric
  // key); sized for the result, so nothing can overrun.
  std::string StringKeyList() { return tarncoll::StringKeyList(dct); }

 private:
  CPDictionary dct;  // the dictionary itself; every member forwards to it
};

template <class T>
CollectionIterator<T> begin(TypedDictionary<T>& dct) {
  return dct.begin();
}
template <class T>
CollectionIterator<T> end(TypedDictionary<T>& dct) {
  return dct.end();
}

}  // namespace tarncoll

#endif
