// CPSymmetricMap: pairs of strings related in both directions.
//
// Every mapping joins a string A, a string B and an optional payload, and
// can be found from either string.  Two reference dictionaries index the
// mappings (MapKeyPair objects): crdctA by the A text, crdctB by the B
// text.  A text with one mapping holds the pair itself; from its second
// mapping on it holds a CrList of its pairs in the order they were added:
//
//   crdctA: "x" -> CrList [ (x,1,p) , (x,2,q) ]      crdctB: "1" -> (x,1,p)
//           "y" -> (y,1,r)                                   "2" -> (x,2,q)
//                                                            ... "1" -> CrList
//   (a pair held by both indexes carries two references; the pair holds
//    one reference on its payload)
//
// Invariants:
//   1. Every mapping is reachable from crdctA under its strA text and from
//      crdctB under its strB text, directly or inside the list stored there.
//   2. An index entry is a MapKeyPair or a CrList of at least two pairs; a
//      list never reverts to a single pair.
//   3. Entries are told apart by their run-time class; anything else counts
//      as no entry.
//
// Mappings are never removed one by one: Clear empties the map as a whole.
// Costs: AddMapping two dictionary lookups plus at most two re-keyings;
// RetrieveA/B one lookup; GetAllThatMatchKeyA/B one lookup plus the list
// walk.  Lookups move the built-in cursor of a stored list.
//
// The empty text is stored under "UnNamed" by the dictionaries and is not
// found again by the empty text, so mappings with an empty side are found
// only from their other side.
#ifndef TARNCOLL_CPCOLL_CPSYMMETRICMAP_H
#define TARNCOLL_CPCOLL_CPSYMMETRICMAP_H

#include <cpcoll/CrCollection.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

// One mapping: copies of both strings and one reference on the payload.
class TARNCOLL_API MapKeyPair : public Createable {
 public:
  // Copies both texts; AddRef on the payload when it is not null.
  MapKeyPair(const CPString& a, const CPString& b, Createable* pcreateableTxData);
  MapKeyPair(const char* a, const char* b, Createable* pcreateableTxData);
  // Copies are refused: they would share the payload without a reference.
  MapKeyPair(const MapKeyPair&) = delete;
  MapKeyPair& operator=(const MapKeyPair&) = delete;
  // Releases the payload reference, if any.
  ~MapKeyPair() override;

  CPString& _get_strA() { return strA; }
  CPString& _get_strB() { return strB; }
  // The payload, borrowed (no reference taken); may be null.
  Createable* _get_pcreateableTxData() const { return pcreateableTxData; }

 private:
  CPString strA;                  // the A side
  CPString strB;                  // the B side
  Createable* pcreateableTxData;  // the payload; one reference held, or null
};

class TARNCOLL_API CPSymmetricMap : public Createable {
 public:
  CPSymmetricMap() {}
  // Copies are refused: sharing the indexes' contents is not settled.
  CPSymmetricMap(const CPSymmetricMap&) = delete;
  CPSymmetricMap& operator=(const CPSymmetricMap&) = delete;
  // Releases every pair and list (and through the pairs their payloads).
  ~CPSymmetricMap() override;

  // Adds one mapping (a, b, payload); the same (a, b) added twice gives two
  // mappings.  Reports FailIfNIL "pmkpNew" or "pcrlstNew" when the pair or
  // a list cannot be created; the map is then unchanged and no reference is
  // left behind.
  void AddMapping(const CPString& a, const CPString& b, Createable* pcreateableTxData);
  void AddMapping(const char* a, const char* b, Createable* pcreateableTxData);

  // The first mapping whose A (B) text equals *pstrKey: copies its other
  // text into *pstrOther and returns its payload (borrowed).  Null, with
  // *pstrOther unchanged, when either pointer is null or nothing matches.
  Createable* RetrieveA(CPString* pstrKey, CPString* pstrOther);
  Createable* RetrieveB(CPString* pstrKey, CPString* pstrOther);

  // Empties crlstOut (RemoveAll), then appends every mapping whose A (B)
  // text equals the key, in the order they were added.
  void GetAllThatMatchKeyA(const CPString& strKey, CrList& crlstOut);
  void GetAllThatMatchKeyB(const CPString& strKey, CrList& crlstOut);

  // Releases every mapping; every lookup fails afterwards.
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
