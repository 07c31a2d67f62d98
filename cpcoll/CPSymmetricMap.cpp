#include <cpcoll/CPSymmetricMap.h>

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

// Enters pmkp into crdct under strKey (the pair's own copy of its text, so
// the dictionary copies the key rather than sharing a caller's string).
// pcrlstNew is the list made beforehand for the case that the key holds a
// single pair; it is consumed (handed to the index) only in that case.
void Enter(CrDictionary& crdct, CPString& strKey, MapKeyPair* pmkp, CrList*& pcrlstNew) {
  Createable* pcrEntry = crdct.FindKeyString(&strKey);
  if (pcrEntry == nullptr) {
    crdct.AddKeyString(&strKey, pmkp);
  } else if (MapKeyPair* pmkpFirst = AsPair(pcrEntry)) {
    CrList* pcrlst = pcrlstNew;
    pcrlst->Add(pmkpFirst);
    pcrlst->Add(pmkp);
    // The list holds the first pair now, so the index may let go of it.
    crdct.RemoveKeyString(&strKey);
    crdct.AddKeyString(&strKey, pcrlst);
    pcrlstNew = nullptr;
  } else if (CrList* pcrlst = AsList(pcrEntry)) {
    pcrlst->Add(pmkp);
  }
  // Any other entry: the pair is not entered in this index.
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
  // map nor the payload's count.
  SpareLists spare;
  if (NeedsList(crdctA, a)) {
    spare.pcrlstA = new CrList;
    CP_FAIL_IF_NIL(spare.pcrlstA, kSource, "pcrlstNew");
  }
  if (NeedsList(crdctB, b)) {
    spare.pcrlstB = new CrList;
    CP_FAIL_IF_NIL(spare.pcrlstB, kSource, "pcrlstNew");
  }
  MapKeyPair* pmkp = new MapKeyPair(a, b, pcreateableTxData);
  CP_FAIL_IF_NIL(pmkp, kSource, "pmkpNew");
  // A reference of our own while the pair is entered; the indexes take
  // theirs, and ours goes at the end.
  pmkp->AddRef();
  try {
    Enter(crdctA, pmkp->_get_strA(), pmkp, spare.pcrlstA);
    Enter(crdctB, pmkp->_get_strB(), pmkp, spare.pcrlstB);
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
  CPString strText(strKey);
  crlstOut.RemoveAll();
  Iterate(strText, crdctA, &AppendToList, &crlstOut);
}

void CPSymmetricMap::GetAllThatMatchKeyB(const CPString& strKey, CrList& crlstOut) {
  CPString strText(strKey);
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
