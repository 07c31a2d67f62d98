/// \file
/// CPSymmetricMap: pairs of strings related in both directions.
///
/// Every mapping joins a string A, a string B and an optional payload, and
/// can be found from either string.  Two reference dictionaries index the
/// mappings (MapKeyPair objects): crdctA by the A text, crdctB by the B
/// text.  A text with one mapping holds the pair itself; from its second
/// mapping on it holds a CrList of its pairs in the order they were added:
///
/// ~~~
///   crdctA: "x" -> CrList [ (x,1,p) , (x,2,q) ]      crdctB: "1" -> (x,1,p)
///           "y" -> (y,1,r)                                   "2" -> (x,2,q)
///                                                            ... "1" -> CrList
///   (a pair held by both indexes carries two references; the pair holds
///    one reference on its payload)
/// ~~~
///
/// Invariants:
///   1. Every mapping is reachable from crdctA under its strA text and from
///      crdctB under its strB text, directly or inside the list stored there.
///   2. An index entry is a MapKeyPair or a CrList of at least two pairs; a
///      list never reverts to a single pair.
///   3. Entries are told apart by their run-time class; anything else counts
///      as no entry.
///
/// Mappings are never removed one by one: Clear empties the map as a whole.
/// Costs: AddMapping two dictionary lookups plus at most two re-keyings;
/// RetrieveA/B one lookup; GetAllThatMatchKeyA/B one lookup plus the list
/// walk.  Lookups move the built-in cursor of a stored list.
///
/// The empty text is stored under "UnNamed" by the dictionaries and is not
/// found again by the empty text, so mappings with an empty side are found
/// only from their other side.
///
/// Reports (source "cpcoll\CPSymmetricMap"): FailIfNIL "pcrlstNew",
/// "pmkpNew"; of AddMapping on the map's behalf: FailIfNIL "plstThe"
/// (`cpcoll\crlist`); "pbktNew !=0" (`cpcoll\cplist`); FailIfNIL "pdaThis",
/// "plstSlot" (`cpcoll\Cpdict`); and "nRefCount < 0xFFFF" (`util\createable`)
/// for a payload whose count is full.  A report leaves the map and the
/// payload's count as they were.
#ifndef TARNCOLL_CPCOLL_CPSYMMETRICMAP_H
#define TARNCOLL_CPCOLL_CPSYMMETRICMAP_H

#include <cpcoll/CrCollection.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

/// One mapping: copies of both strings and one reference on the payload.
class TARNCOLL_API MapKeyPair : public Createable {
 public:
  /// \name Construction
  //@{
  /// Copies both texts; AddRef on the payload when it is not null (which
  /// reports as Createable::AddRef does).
  MapKeyPair(const CPString& a, const CPString& b, Createable* pcreateableTxData);
  MapKeyPair(const char* a, const char* b, Createable* pcreateableTxData);
  //@}
  /// Copies are refused: they would share the payload without a reference.
  MapKeyPair(const MapKeyPair&) = delete;
  /// Refused, as the copy constructor.
  MapKeyPair& operator=(const MapKeyPair&) = delete;
  /// Releases the payload reference, if any.
  ~MapKeyPair() override;

  /// \name The two sides
  //@{
  /// The pair's own copy of its A / B text.  A map's indexes keep copies of
  /// their own: changing the text here does not re-file the mapping.
  CPString& _get_strA() { return strA; }
  CPString& _get_strB() { return strB; }
  //@}
  /// The payload, borrowed (no reference taken); may be null.
  Createable* _get_pcreateableTxData() const { return pcreateableTxData; }

 private:
  CPString strA;                  // the A side
  CPString strB;                  // the B side
  Createable* pcreateableTxData;  // the payload; one reference held, or null
};

/// Mappings between strings A and B with a payload, found from either side
/// (see CPSymmetricMap.h).
class TARNCOLL_API CPSymmetricMap : public Createable {
 public:
  CPSymmetricMap() {}  ///< an empty map
  /// Copies are refused: sharing the indexes' contents is not settled.
  CPSymmetricMap(const CPSymmetricMap&) = delete;
  /// Refused, as the copy constructor.
  CPSymmetricMap& operator=(const CPSymmetricMap&) = delete;
  /// Releases every pair and list (and through the pairs their payloads).
  ~CPSymmetricMap() override;

  /// \name Adding
  //@{
  /// Adds one mapping (a, b, payload); the same (a, b) added twice gives two
  /// mappings.  Reports FailIfNIL "pmkpNew" or "pcrlstNew" when the pair or
  /// a list cannot be created; the map is then unchanged and no reference is
  /// left behind.
  void AddMapping(const CPString& a, const CPString& b, Createable* pcreateableTxData);
  void AddMapping(const char* a, const char* b, Createable* pcreateableTxData);
  //@}

  /// \name Looking up one mapping
  //@{
  /// The first mapping whose A (B) text equals *pstrKey: copies its other
  /// text into *pstrOther and returns its payload (borrowed; null for a
  /// mapping without one).  Null, with *pstrOther unchanged, when either
  /// pointer is null or nothing matches.
  Createable* RetrieveA(CPString* pstrKey, CPString* pstrOther);
  Createable* RetrieveB(CPString* pstrKey, CPString* pstrOther);
  //@}

  /// \name Looking up every mapping of a text
  //@{
  /// Empties crlstOut (RemoveAll), then appends every mapping whose A (B)
  /// text equals the key, in the order they were added; crlstOut takes a
  /// reference on each pair.  The key may be a text of a pair that only
  /// crlstOut holds.
  void GetAllThatMatchKeyA(const CPString& strKey, CrList& crlstOut);
  void GetAllThatMatchKeyB(const CPString& strKey, CrList& crlstOut);
  //@}

  /// Releases the indexes' hold on every mapping (pairs still held
  /// elsewhere, such as in a GetAllThatMatchKeyA result, survive); no
  /// lookup finds anything until the next AddMapping.
  void Clear();

 private:
  friend struct CPSymmetricMapInspector;

  // Hands every mapping under the key in the index to pfnAction(pair as
  // Createable*, user): a single pair directly, a list through its ForEach.
  // Nothing happens when the key is absent.
  void Iterate(const CPString& strKey, CrDictionary& crdctIndex, CPActionFunc pfnAction, void* pvUser);

  CrDictionary crdctA;  // A text -> MapKeyPair or CrList of them
  CrDictionary crdctB;  // B text -> MapKeyPair or CrList of them
};

#endif
