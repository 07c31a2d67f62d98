#include <cpcoll/crdict.h>

#include <cpcoll/Cpdict.h>
#include <cpcoll/detail/dict_entry_access.h>
#include <cpcoll/detail/report.h>
#include <cpcoll/detail/take_reference.h>

using tarncoll::detail::DictionaryEntryAccess;
using tarncoll::detail::TakeReference;

namespace {
const char kSource[] = "cpcoll\\crdict";

// The reference an add takes is checked before anything is stored, so a
// full count is reported with the collection unchanged.
void CheckReferenceRoom(const Createable* pcr) {
  TARNCOLL_ASSERT(pcr->_get_nRefCount() < 0xFFFF, kSource, "nRefCount < 0xFFFF");
}

// Takes one more reference on an object (a Createable* as void*) and
// counts it in *pvTaken.
void AddRefObject(void* pvObject, void* pvTaken) {
  static_cast<Createable*>(pvObject)->AddRef();
  ++*static_cast<unsigned long*>(pvTaken);
}

// Releases the first *pvTaken objects of a walk again.
void ReleaseTaken(void* pvObject, void* pvTaken) {
  unsigned long* pn = static_cast<unsigned long*>(pvTaken);
  if (*pn == 0) return;
  --*pn;
  static_cast<Createable*>(pvObject)->Release();
}
}  // namespace

CrDictionary::CrDictionary() : pdctThe(new CPDictionary(256)) {
  TARNCOLL_FAIL_IF_NIL(pdctThe, kSource, "pdctThe");
  pdctThe->AddRef();
}

CrDictionary::CrDictionary(const CrDictionary& other) : CrKeyedCollection(other), pdctThe(CopyOf(other.pdctThe)) {}

CrDictionary& CrDictionary::operator=(const CrDictionary& other) {
  if (&other == this) return *this;
  CPDictionary* pdctNew = CopyOf(other.pdctThe);
  // The new references are taken before the old ones go, so an object held
  // by both dictionaries survives the swap.
  CPDictionary* pdctOld = pdctThe;
  pdctThe = pdctNew;
  ReleaseAll(pdctOld);
  return *this;
}

CrDictionary::~CrDictionary() { ReleaseAll(pdctThe); }

CPDictionary* CrDictionary::CopyOf(const CPDictionary* pdctFrom) {
  // The dictionary's copy keeps every entry's slot and order (also for
  // entries a re-add would refuse, such as a second "UnNamed"); it reports
  // its own allocation failures and leaves nothing behind.
  CPDictionary* pdctNew = new CPDictionary(*pdctFrom);
  TARNCOLL_FAIL_IF_NIL(pdctNew, kSource, "pdctThe");
  pdctNew->AddRef();
  unsigned long nTaken = 0;
  try {
    pdctNew->ForEach(&AddRefObject, &nTaken);
  } catch (...) {
    // An AddRef that reports or throws: the copy goes with the references
    // it took.
    pdctNew->ForEach(&ReleaseTaken, &nTaken);
    pdctNew->Release();
    throw;
  }
  return pdctNew;
}

void CrDictionary::ReleaseAll(CPDictionary* pdct) {
  pdct->DestroyAll(&CrCollection::itReleaseCreateable);
  pdct->Release();
}

unsigned long CrDictionary::Length() const { return pdctThe->Length(); }

void CrDictionary::RemoveAll() { pdctThe->DestroyAll(&CrCollection::itReleaseCreateable); }

void CrDictionary::ForEach(CPActionFunc pfnAction, void* pvUser) { pdctThe->ForEach(pfnAction, pvUser); }

void CrDictionary::GotoTop() { pdctThe->GotoTop(); }

void CrDictionary::GotoBottom() { pdctThe->GotoBottom(); }

long CrDictionary::Next() { return pdctThe->Next(); }

long CrDictionary::Prev() { return pdctThe->Prev(); }

Createable* CrDictionary::Retrieve() { return static_cast<Createable*>(pdctThe->Retrieve()); }

// The adds test for the key, check the object, store, and take the
// reference only when the wrapped dictionary really stored an entry: its
// own existence test may still find the key (a caller's pnCRC that
// disagrees with the text), and then nothing must be referenced.
short CrDictionary::AddKeyNum(long nKey, Createable* pcrEntry) {
  if (ExistsKeyNum(nKey)) return 0;
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  CheckReferenceRoom(pcrEntry);
  unsigned long nBefore = pdctThe->Length();
  pdctThe->AddKeyNum(static_cast<unsigned long>(nKey), pcrEntry);
  if (pdctThe->Length() == nBefore) return 0;
  TakeReference(pcrEntry, [&] { DictionaryEntryAccess::DropNewest(*this, static_cast<unsigned long>(nKey) & 0xFF); });
  return 1;
}

short CrDictionary::AddKeyString(const char* pszKey, Createable* pcrEntry, unsigned long* pnCRC) {
  TARNCOLL_ASSERT(pszKey != nullptr, kSource, "pszKey");
  if (ExistsKeyString(pszKey, pnCRC)) return 0;
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  CheckReferenceRoom(pcrEntry);
  unsigned long nBefore = pdctThe->Length();
  pdctThe->AddKeyString(pszKey, pcrEntry, nullptr);
  if (pdctThe->Length() == nBefore) return 0;
  TakeReference(pcrEntry, [&] { DictionaryEntryAccess::DropNewest(*this, DictionaryEntryAccess::TextSlot(pszKey)); });
  return 1;
}

short CrDictionary::AddKeyString(CPString* pstrKey, Createable* pcrEntry) {
  TARNCOLL_ASSERT(pstrKey != nullptr, kSource, "pstrKey");
  if (ExistsKeyString(pstrKey)) return 0;
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  CheckReferenceRoom(pcrEntry);
  unsigned long nBefore = pdctThe->Length();
  // The slot comes first: storing an empty string renames it "UnNamed".
  const unsigned long nSlot = pstrKey->_get_nCRC() & 0xFF;
  pdctThe->AddKeyString(pstrKey, pcrEntry);
  if (pdctThe->Length() == nBefore) return 0;
  TakeReference(pcrEntry, [&] { DictionaryEntryAccess::DropNewest(*this, nSlot); });
  return 1;
}

// The removes release through the dictionary's destroy operation.  The
// result follows the count: the lookup with a caller's pnCRC and the
// removal with the text's own CRC may disagree, and a removal that took
// nothing out must not claim it did.
short CrDictionary::RemoveKeyString(const char* pszKey, unsigned long* pnCRC) {
  if (FindKeyString(pszKey, pnCRC) == nullptr) return 0;
  unsigned long nBefore = pdctThe->Length();
  pdctThe->DestroyKeyString(pszKey, &CrCollection::itReleaseCreateable, nullptr);
  return pdctThe->Length() < nBefore ? 1 : 0;
}

short CrDictionary::RemoveKeyString(CPString* pstrKey) {
  if (FindKeyString(pstrKey) == nullptr) return 0;
  unsigned long nBefore = pdctThe->Length();
  pdctThe->DestroyKeyString(pstrKey, &CrCollection::itReleaseCreateable);
  return pdctThe->Length() < nBefore ? 1 : 0;
}

short CrDictionary::RemoveKeyNum(long nKey) {
  if (FindKeyNum(nKey) == nullptr) return 0;
  unsigned long nBefore = pdctThe->Length();
  pdctThe->DestroyKeyNum(static_cast<unsigned long>(nKey), &CrCollection::itReleaseCreateable);
  return pdctThe->Length() < nBefore ? 1 : 0;
}

Createable* CrDictionary::FindKeyNum(long nKey) {
  return static_cast<Createable*>(pdctThe->FindKeyNum(static_cast<unsigned long>(nKey)));
}

Createable* CrDictionary::FindKeyString(const char* pszKey, unsigned long* pnCRC) {
  return static_cast<Createable*>(pdctThe->FindKeyString(pszKey, pnCRC));
}

Createable* CrDictionary::FindKeyString(CPString* pstrKey) {
  if (pstrKey == nullptr) return nullptr;
  return static_cast<Createable*>(pdctThe->FindKeyString(pstrKey));
}

short CrDictionary::ExistsKeyNum(long nKey) {
  return pdctThe->ExistsKeyNum(static_cast<unsigned long>(nKey)) ? 1 : 0;
}

short CrDictionary::ExistsKeyString(CPString* pstrKey) {
  if (pstrKey == nullptr) return 0;
  return pdctThe->ExistsKeyString(pstrKey) ? 1 : 0;
}

short CrDictionary::ExistsKeyString(const char* pszKey, unsigned long* pnCRC) {
  return pdctThe->ExistsKeyString(pszKey, pnCRC) ? 1 : 0;
}

void CrDictionary::ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) {
  pdctThe->ForEachInternalContainer(pfnAction, pvUser);
}

CrCollection* CrDictionary::AllThatInternalContainer(CPConditionFunc, void*) {
  Exceptions::_get_gexeptnsThe()->Assert(kSource, __LINE__, "1==0");
}

Createable* CrDictionary::FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  return static_cast<CPDictionaryAssociation*>(pdctThe->FirstThatInternalContainer(pfnCond, pvUser));
}

Createable* CrDictionary::NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  return static_cast<CPDictionaryAssociation*>(pdctThe->NextThatInternalContainer(pfnCond, pvUser));
}

void CrDictionary::ForEach(CrKeyActionFunc pfnAction, void* pvUser) { pdctThe->ForEach(pfnAction, pvUser); }

void CrDictionary::DetachKeyNum(long nKey) { pdctThe->DetachKeyNum(static_cast<unsigned long>(nKey)); }

void CrDictionary::DetachKeyString(const char* pszKey, unsigned long* pnCRC) { pdctThe->DetachKeyString(pszKey, pnCRC); }

void CrDictionary::DetachKeyString(CPString* pstrKey) {
  if (pstrKey != nullptr) pdctThe->DetachKeyString(pstrKey);
}

Createable* CrDictionary::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  return static_cast<Createable*>(pdctThe->FirstThat(pfnCond, pvUser));
}

void* CrDictionary::operator[](unsigned long i) { return pdctThe->RetrieveIDX(i); }

CPDictionaryAssociation* CrDictionary::RetrieveInternalContainer() {
  return static_cast<CPDictionaryAssociation*>(pdctThe->RetrieveInternalContainer());
}
