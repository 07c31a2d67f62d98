#include <cpcoll/CPSymmetricMap.h>

#include <cpcoll/Cpdict.h>
#include <cpcoll/detail/dict_entry_access.h>
#include <cpcoll/detail/report.h>

namespace {
const char kSource[] = "cpcoll\\CPSymmetricMap";

// The run-time class of an index entry: a single pair, a list of pairs, or
// neither (null for the other two).
MapKeyPair* AsPair(Createable* pcr) { return dynamic_cast<MapKeyPair*>(pcr); }
CrList* AsList(Createable* pcr) { return dynamic_cast<CrList*>(pcr); }

// The index entry under the text of strKey (CRC taken from the string).
Createable* FindEntry(CrDictionary& crdct, const CPString& strKey) {
  unsigned long nCRC = strKey._get_nCRC();
  return crdct.FindKeyString(strKey.GetBuffer(), &nCRC);
}

// True when entering a pair under strKey will turn a single pair into a
// list, so a list must be created first.
bool NeedsList(CrDictionary& crdct, const CPString& strKey) { return AsPair(FindEntry(crdct, strKey)) != nullptr; }

// The earliest mapping under strKey, or null.
MapKeyPair* FirstMapping(CrDictionary& crdct, const CPString& strKey) {
  Createable* pcrEntry = FindEntry(crdct, strKey);
  if (MapKeyPair* pmkp = AsPair(pcrEntry)) return pmkp;
  if (CrList* pcrlst = AsList(pcrEntry)) {
    pcrlst->GotoTop();
    return AsPair(pcrlst->Retrieve());
  }
  return nullptr;
}

// What Enter did with a pair, so that it can be taken back.
enum Entered { eNotEntered, eEnteredAlone, eEnteredInList, eEnteredInNewList };

// Enters pmkp into crdct under strKey (the pair's own copy of its text, so
// the dictionary copies the key rather than sharing a caller's string).
// pcrlstNew is the list made beforehand for the case that the key holds a
// single pair; it is consumed (handed to the index) only in that case.
Entered Enter(CrDictionary& crdct, CPString& strKey, MapKeyPair* pmkp, CrList*& pcrlstNew) {
  Createable* pcrEntry = crdct.FindKeyString(&strKey);
  if (pcrEntry == nullptr) {
    crdct.AddKeyString(&strKey, pmkp);
    return eEnteredAlone;
  }
  if (MapKeyPair* pmkpFirst = AsPair(pcrEntry)) {
    // AddMapping made this list beforehand (NeedsList saw the single pair).
    CrList* pcrlst = pcrlstNew;
    // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage): not null here, see above
    pcrlst->Add(pmkpFirst);
    pcrlst->Add(pmkp);
    // The list takes the pair's place in the same entry: nothing is
    // allocated, so the index cannot lose the earlier mapping half-way.
    tarncoll::detail::DictionaryEntryAccess::SwitchValue(crdct, strKey, pmkpFirst, pcrlst);
    pcrlstNew = nullptr;
    return eEnteredInNewList;
  }
  if (CrList* pcrlst = AsList(pcrEntry)) {
    pcrlst->Add(pmkp);
    return eEnteredInList;
  }
  return eNotEntered;  // any other entry: the pair is not entered in this index
}

// Takes back what Enter did, without allocating: the pair leaves the index,
// and a list made for it gives its place back to the earlier pair.
void Withdraw(CrDictionary& crdct, CPString& strKey, MapKeyPair* pmkp, Entered how) {
  if (how == eEnteredAlone) {
    crdct.RemoveKeyString(&strKey);
  } else if (how == eEnteredInNewList) {
    CrList* pcrlst = AsList(crdct.FindKeyString(&strKey));
    pcrlst->GotoTop();
    // The entry's reference on the list goes; the list's end releases both pairs.
    tarncoll::detail::DictionaryEntryAccess::SwitchValue(crdct, strKey, pcrlst, pcrlst->Retrieve());
  } else if (how == eEnteredInList) {
    if (CrList* pcrlst = AsList(crdct.FindKeyString(&strKey))) pcrlst->Remove(pmkp);
  }
}

// The lists made beforehand by AddMapping; those the indexes did not take
// are deleted at the end (they were never referenced).
struct SpareLists {
  CrList* pcrlstA = nullptr;
  CrList* pcrlstB = nullptr;
  SpareLists() = default;
  SpareLists(const SpareLists&) = delete;
  SpareLists& operator=(const SpareLists&) = delete;
  ~SpareLists() {
    delete pcrlstA;
    delete pcrlstB;
  }
};

// Action of GetAllThatMatchKey*: appends the pair to the output list.
void AppendToList(void* pvPair, void* pvList) { static_cast<CrList*>(pvList)->Add(static_cast<Createable*>(pvPair)); }
}  // namespace

MapKeyPair::MapKeyPair(const CPString& a, const CPString& b, Createable* pcreateableTxData)
    : strA(a), strB(b), pcreateableTxData(pcreateableTxData) {
  if (pcreateableTxData != nullptr) pcreateableTxData->AddRef();
}

MapKeyPair::MapKeyPair(const char* a, const char* b, Createable* pcreateableTxData)
    : strA(a), strB(b), pcreateableTxData(pcreateableTxData) {
  if (pcreateableTxData != nullptr) pcreateableTxData->AddRef();
}

MapKeyPair::~MapKeyPair() {
  Createable* pcr = pcreateableTxData;
  pcreateableTxData = nullptr;
  if (pcr != nullptr) pcr->Release();
}

CPSymmetricMap::~CPSymmetricMap() { Clear(); }

void CPSymmetricMap::AddMapping(const char* a, const char* b, Createable* pcreateableTxData) {
  CPString strA;
  CPString strB;
  strA = a;
  strB = b;
  AddMapping(strA, strB, pcreateableTxData);
}

void CPSymmetricMap::AddMapping(const CPString& a, const CPString& b, Createable* pcreateableTxData) {
  // Everything that may fail to be created is created before the indexes
  // change, and the pair last, so that such a failure touches neither the
  // map nor the payload's count.  A failure inside index B takes the pair
  // out of index A again.
  SpareLists spare;
  if (NeedsList(crdctA, a)) {
    spare.pcrlstA = new CrList;
    TARNCOLL_FAIL_IF_NIL(spare.pcrlstA, kSource, "pcrlstNew");
  }
  if (NeedsList(crdctB, b)) {
    spare.pcrlstB = new CrList;
    TARNCOLL_FAIL_IF_NIL(spare.pcrlstB, kSource, "pcrlstNew");
  }
  MapKeyPair* pmkp = new MapKeyPair(a, b, pcreateableTxData);
  TARNCOLL_FAIL_IF_NIL(pmkp, kSource, "pmkpNew");
  // A reference of our own while the pair is entered; the indexes take
  // theirs, and ours goes at the end.
  pmkp->AddRef();
  try {
    Entered how = Enter(crdctA, pmkp->_get_strA(), pmkp, spare.pcrlstA);
    try {
      Enter(crdctB, pmkp->_get_strB(), pmkp, spare.pcrlstB);
    } catch (...) {
      Withdraw(crdctA, pmkp->_get_strA(), pmkp, how);  // index A must not keep a pair that B lacks
      throw;
    }
  } catch (...) {
    pmkp->Release();
    throw;
  }
  pmkp->Release();
}

Createable* CPSymmetricMap::RetrieveA(CPString* pstrKey, CPString* pstrOther) {
  if (pstrKey == nullptr || pstrOther == nullptr) return nullptr;
  MapKeyPair* pmkp = FirstMapping(crdctA, *pstrKey);
  if (pmkp == nullptr) return nullptr;
  *pstrOther = pmkp->_get_strB();
  return pmkp->_get_pcreateableTxData();
}

Createable* CPSymmetricMap::RetrieveB(CPString* pstrKey, CPString* pstrOther) {
  if (pstrKey == nullptr || pstrOther == nullptr) return nullptr;
  MapKeyPair* pmkp = FirstMapping(crdctB, *pstrKey);
  if (pmkp == nullptr) return nullptr;
  *pstrOther = pmkp->_get_strA();
  return pmkp->_get_pcreateableTxData();
}

void CPSymmetricMap::GetAllThatMatchKeyA(const CPString& strKey, CrList& crlstOut) {
  // The key may belong to a pair that only crlstOut still holds: keep its
  // text before emptying the list.
  CPString strText(strKey);  // NOLINT(performance-unnecessary-copy-initialization): see above
  crlstOut.RemoveAll();
  Iterate(strText, crdctA, &AppendToList, &crlstOut);
}

void CPSymmetricMap::GetAllThatMatchKeyB(const CPString& strKey, CrList& crlstOut) {
  CPString strText(strKey);  // NOLINT(performance-unnecessary-copy-initialization): as in GetAllThatMatchKeyA
  crlstOut.RemoveAll();
  Iterate(strText, crdctB, &AppendToList, &crlstOut);
}

void CPSymmetricMap::Iterate(const CPString& strKey, CrDictionary& crdctIndex, CPActionFunc pfnAction, void* pvUser) {
  Createable* pcrEntry = FindEntry(crdctIndex, strKey);
  if (MapKeyPair* pmkp = AsPair(pcrEntry)) {
    pfnAction(static_cast<Createable*>(pmkp), pvUser);
  } else if (CrList* pcrlst = AsList(pcrEntry)) {
    pcrlst->ForEach(pfnAction, pvUser);
  }
}

void CPSymmetricMap::Clear() {
  crdctA.RemoveAll();
  crdctB.RemoveAll();
}
