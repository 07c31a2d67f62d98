/// \file
/// CrDictionary: the keyed reference-holding collection.
///
/// A CPDictionary (256 CRC-16 slots, each a list of entries) of Createable
/// objects under numeric or string keys, following the reference rule of
/// CrCollection.h.  Keys hash, compare and order exactly as in the wrapped
/// dictionary:
///
/// ~~~
///   CrDictionary --pdctThe (1 ref)--> CPDictionary
///                                       slot 0 .. 255 -> CPList of entries
///                                       entry: key + object (1 ref, ours)
/// ~~~
///
/// Invariants:
///   1. pdctThe is never null and carries exactly one reference held here.
///   2. Every object stored carries one reference held here per entry;
///      no entry holds a null object.
///   3. Length() equals the number of entries of pdctThe.
///
/// Costs: adds, finds, removes by key: the key's CRC (none for a CPString,
/// whose CRC is cached) plus one probe of the dictionary's key index (a
/// scan of the slot where the index leaves entries out); RemoveAll and the
/// destructor O(n); positional access O(1) after a change has rebuilt the
/// dictionary's vector once; copies O(n).
///
/// A key string given as a CPString that somebody holds a reference on is
/// shared with the entry, so the dictionary keeps that string alive too.
///
/// Reports (source "cpcoll\crdict"): "pcrEntry", "pszKey", "pstrKey",
/// "nRefCount < 0xFFFF" (the adds), "1==0" (AllThatInternalContainer);
/// FailIfNIL "pdctThe" (the wrapped dictionary or its copy not allocated);
/// FailIfNIL "pdaThis", "plstSlot" (`cpcoll\Cpdict`) from the wrapped
/// dictionary's adds and copies; "nRefCount < 0xFFFF" (`util\createable`)
/// when a copy cannot take its reference on an object; and "1==0"
/// (`cpcoll\Cpdict`) from NextThatInternalContainer.  A report leaves the
/// dictionary and the objects' counts as they were.
#ifndef TARNCOLL_CPCOLL_CRDICT_H
#define TARNCOLL_CPCOLL_CRDICT_H

#include <cpcoll/CrCollection.h>
#include <util/export.h>

class CPDictionary;
class CPDictionaryAssociation;
namespace tarncoll {
namespace detail {
struct DictionaryEntryAccess;
}  // namespace detail
}  // namespace tarncoll

/// Createable objects under numeric or string keys, one reference held per
/// entry, in a wrapped CPDictionary (see crdict.h).
class TARNCOLL_API CrDictionary : public CrKeyedCollection {
 public:
  /// An empty dictionary.  Reports FailIfNIL "pdctThe" when the wrapped
  /// dictionary cannot be allocated.
  CrDictionary();
  /// Deep copy: a new wrapped dictionary holding the same objects under the
  /// same keys, slots and order (key strings shared), each object taking
  /// one more reference.  Reports FailIfNIL "pdctThe", Assert
  /// "nRefCount < 0xFFFF" for an object whose count is full, and as the
  /// wrapped dictionary's copy does; nothing is left behind.
  CrDictionary(const CrDictionary& other);
  /// Deep copy; the new content is built before the old one is released, so
  /// a failed allocation leaves this dictionary as it was.
  CrDictionary& operator=(const CrDictionary& other);
  /// Releases every object once, then the wrapped dictionary.
  ~CrDictionary() override;

  unsigned long Length() const override;  ///< the number of entries; O(1)
  void RemoveAll() override;              ///< releases every object once; O(n)
  /// pfnAction(object, user) in slot order, then order of addition; the
  /// built-in cursor does not move.  Throws kCursorException when the
  /// action changes the dictionary.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  void GotoTop() override;
  void GotoBottom() override;
  long Next() override;
  long Prev() override;  ///< the dictionary walks forward only: always 0
  Createable* Retrieve() override;

  /// Requires: a non-null object (Assert "pcrEntry") unless the key is
  /// present, whose reference count has room for one more (Assert
  /// "nRefCount < 0xFFFF", before anything is stored).  Effect: stores and
  /// AddRefs it when the key is absent.
  /// Result: 1 when stored, 0 when nothing was stored.
  short AddKeyNum(long nKey, Createable* pcrEntry) override;
  /// \name Adding under a text key
  //@{
  /// As AddKeyNum; a null key reports Assert "pszKey" (the CPString form:
  /// "pstrKey") first.  pnCRC serves only the existence test; the entry is
  /// stored in the slot of the text's own CRC.  A text whose real CRC finds
  /// the key present stores nothing and takes no reference (result 0).  An
  /// empty text is stored as "UnNamed" and is not found again by the empty
  /// text.
  short AddKeyString(const char* pszKey, Createable* pcrEntry, unsigned long* pnCRC) override;
  short AddKeyString(CPString* pstrKey, Createable* pcrEntry) override;
  //@}
  /// \name Removing by key
  //@{
  /// 1 when an object was removed and released once; 0 when absent (also
  /// for a null key).  pnCRC serves only the lookup; the removal takes the
  /// text's own CRC, and the result says whether it removed anything.
  short RemoveKeyString(const char* pszKey, unsigned long* pnCRC) override;
  short RemoveKeyString(CPString* pstrKey) override;
  short RemoveKeyNum(long nKey) override;
  //@}
  /// \name Finding by key
  //@{
  /// Borrowed pointer or null (also for a null key); no reference taken.
  Createable* FindKeyNum(long nKey) override;
  Createable* FindKeyString(const char* pszKey, unsigned long* pnCRC) override;
  Createable* FindKeyString(CPString* pstrKey) override;
  //@}
  /// \name Testing for a key
  //@{
  /// 1 when the key is present, else 0 (also for a null key).
  short ExistsKeyNum(long nKey) override;
  short ExistsKeyString(CPString* pstrKey) override;
  short ExistsKeyString(const char* pszKey, unsigned long* pnCRC) override;
  //@}
  /// The action receives the entries (CPDictionaryAssociation*).
  void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) override;
  /// Not supported: reports Assert "1==0" (the report does not return).
  CrCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// The first entry (a CPDictionaryAssociation, itself a Createable) that
  /// the condition accepts; the condition receives entries.
  Createable* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// The wrapped dictionary does not support it: reports its Assert "1==0"
  /// (the report does not return).
  Createable* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// pfnAction(object, user, key) for every object.
  void ForEach(CrKeyActionFunc pfnAction, void* pvUser) override;

  /// \name Detaching by key
  //@{
  /// Remove the key's first entry without a release: the reference this
  /// dictionary held passes to the caller.  An absent or null key changes
  /// nothing.
  void DetachKeyNum(long nKey);
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC);
  void DetachKeyString(CPString* pstrKey);
  //@}

  /// The first object the condition accepts (low 16 bits of its result
  /// non-zero), borrowed, or null; the built-in cursor does not move.
  Createable* FirstThat(CPConditionFunc pfnCond, void* pvUser);
  /// The object at position i in iteration order (a Createable* as void*),
  /// or null when i >= Length().
  void* operator[](unsigned long i);
  /// The entry at the built-in cursor, or null.
  CPDictionaryAssociation* RetrieveInternalContainer();

 private:
  friend struct CrDictionaryInspector;
  friend struct tarncoll::detail::DictionaryEntryAccess;

  // A new referenced copy of pdctFrom (same keys, slots and order; key
  // strings shared), one more reference taken on every object; when an
  // AddRef reports or throws, no copy and no reference is left behind.
  static CPDictionary* CopyOf(const CPDictionary* pdctFrom);
  // Releases every object of pdct once, then pdct itself.
  static void ReleaseAll(CPDictionary* pdct);

  CPDictionary* pdctThe;  // the wrapped dictionary; owned (one reference)
};

#endif
