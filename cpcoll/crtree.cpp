#include <cpcoll/crtree.h>

#include <cstdint>

#include <cpcoll/BTree.h>
#include <cpcoll/detail/report.h>
#include <cpcoll/detail/take_reference.h>

using tarncoll::detail::TakeReference;

namespace {

const char kSource[] = "cpcoll\\crtree";

// The reference an add takes is checked before anything is stored, so a
// full count is reported with the collection unchanged.
void CheckReferenceRoom(const Createable* pcr) {
  TARNCOLL_ASSERT(pcr->_get_nRefCount() < 0xFFFF, kSource, "nRefCount < 0xFFFF");
}

inline Createable* AsObject(void* pv) { return static_cast<Createable*>(pv); }
inline void* AsItem(Createable* pcr) { return static_cast<void*>(pcr); }

// A node handed out as void* by the tree, as the Createable it is.
inline Createable* AsNode(void* pv) {
  return pv != nullptr ? static_cast<Createable*>(static_cast<CPInternalContainer*>(pv)) : nullptr;
}

}  // namespace

// ---- Construction ------------------------------------------------------------

CrTree::CrTree() : ptreeThe(new CPTree) {
  TARNCOLL_FAIL_IF_NIL(ptreeThe, kSource, "ptreeThe");
  ptreeThe->AddRef();
}

CrTree::CrTree(const CrTree& other) : CrKeyedCollection(other), ptreeThe(CopyOf(other.ptreeThe)) {}

CrTree& CrTree::operator=(const CrTree& other) {
  CPTree* ptreeNew = CopyOf(other.ptreeThe);
  ReleaseAll(ptreeThe);
  ptreeThe = ptreeNew;
  return *this;
}

CrTree::~CrTree() { ReleaseAll(ptreeThe); }

CPTree* CrTree::CopyOf(const CPTree* ptreeFrom) {
  CPTree* ptreeNew = new CPTree(*ptreeFrom);
  TARNCOLL_FAIL_IF_NIL(ptreeNew, kSource, "ptreeThe");
  ptreeNew->AddRef();
  try {
    AddRefAll(ptreeNew);
  } catch (...) {
    ptreeNew->Release();  // frees the copy's nodes; the items are untouched
    throw;
  }
  return ptreeNew;
}

void CrTree::AddRefAll(CPTree* ptree) {
  Leaf* plf = ptree->_get_plfHead();
  try {
    for (; plf != nullptr; plf = plf->plfNext) AsObject(plf->pvData)->AddRef();
  } catch (...) {
    for (Leaf* plfTaken = ptree->_get_plfHead(); plfTaken != plf; plfTaken = plfTaken->plfNext)
      AsObject(plfTaken->pvData)->Release();
    throw;
  }
}

void CrTree::ReleaseAll(CPTree* ptree) {
  ptree->DestroyAll(itReleaseCreateable);
  ptree->Release();
}

// ---- CrCollection --------------------------------------------------------------

unsigned long CrTree::Length() const { return ptreeThe->Length(); }

void CrTree::RemoveAll() { ptreeThe->DestroyAll(itReleaseCreateable); }

void CrTree::ForEach(CPActionFunc pfnAction, void* pvUser) { ptreeThe->ForEach(pfnAction, pvUser); }

void CrTree::GotoTop() { ptreeThe->GotoTop(); }

void CrTree::GotoBottom() { ptreeThe->GotoBottom(); }

long CrTree::Next() { return ptreeThe->Next(); }

long CrTree::Prev() { return ptreeThe->Prev(); }

Createable* CrTree::Retrieve() { return AsObject(ptreeThe->Retrieve()); }

// ---- Keyed adds and removes ----------------------------------------------------------

short CrTree::AddKeyNum(long nKey, Createable* pcrEntry) {
  if (ExistsKeyNum(nKey)) return 0;
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  CheckReferenceRoom(pcrEntry);
  const unsigned long nBefore = ptreeThe->Length();
  ptreeThe->AddKeyNum(static_cast<unsigned long>(nKey), AsItem(pcrEntry));
  // The key -1 (all ones) keys the object by itself: a second add of the
  // same object finds its node and stores nothing new.
  if (ptreeThe->Length() == nBefore) return 0;
  // The node's key: the number, or the object's address for all ones.
  const unsigned long nStored = static_cast<unsigned long>(nKey) == ~0ul
                                    ? static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(AsItem(pcrEntry)))
                                    : static_cast<unsigned long>(nKey);
  TakeReference(pcrEntry, [&] { ptreeThe->DetachKeyNum(nStored); });
  return 1;
}

short CrTree::AddKeyString(const char* pszKey, Createable* pcrEntry, unsigned long* pnCRC) {
  if (ExistsKeyString(pszKey, pnCRC)) return 0;
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  CheckReferenceRoom(pcrEntry);
  const unsigned long nBefore = ptreeThe->Length();
  ptreeThe->AddKeyString(pszKey, AsItem(pcrEntry), nullptr);
  if (ptreeThe->Length() == nBefore) return 0;  // a null text stores nothing
  TakeReference(pcrEntry, [&] { ptreeThe->DetachKeyString(pszKey, nullptr); });
  return 1;
}

short CrTree::AddKeyString(CPString* pstrKey, Createable* pcrEntry) {
  if (ExistsKeyString(pstrKey)) return 0;
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  CheckReferenceRoom(pcrEntry);
  const unsigned long nBefore = ptreeThe->Length();
  ptreeThe->AddKeyString(pstrKey, AsItem(pcrEntry));
  if (ptreeThe->Length() == nBefore) return 0;  // a null string stores nothing
  TakeReference(pcrEntry, [&] { ptreeThe->DetachKeyString(pstrKey); });
  return 1;
}

short CrTree::RemoveKeyString(const char* pszKey, unsigned long* pnCRC) {
  if (FindKeyString(pszKey, pnCRC) == nullptr) return 0;
  ptreeThe->DestroyKeyString(pszKey, itReleaseCreateable, nullptr);
  return 1;
}

short CrTree::RemoveKeyString(CPString* pstrKey) {
  if (FindKeyString(pstrKey) == nullptr) return 0;
  ptreeThe->DestroyKeyString(pstrKey, itReleaseCreateable);
  return 1;
}

short CrTree::RemoveKeyNum(long nKey) {
  if (FindKeyNum(nKey) == nullptr) return 0;
  ptreeThe->DestroyKeyNum(static_cast<unsigned long>(nKey), itReleaseCreateable);
  return 1;
}

// ---- Finds and tests --------------------------------------------------------------

Createable* CrTree::FindKeyNum(long nKey) {
  return AsObject(ptreeThe->FindKeyNum(static_cast<unsigned long>(nKey)));
}

Createable* CrTree::FindKeyString(const char* pszKey, unsigned long* pnCRC) {
  return AsObject(ptreeThe->FindKeyString(pszKey, pnCRC));
}

Createable* CrTree::FindKeyString(CPString* pstrKey) { return AsObject(ptreeThe->FindKeyString(pstrKey)); }

// The tree answers with the object's address as a long; any non-zero
// address means present (a narrowing to 16 bits could read as 0).
short CrTree::ExistsKeyNum(long nKey) {
  return ptreeThe->ExistsKeyNum(static_cast<unsigned long>(nKey)) != 0 ? 1 : 0;
}

short CrTree::ExistsKeyString(CPString* pstrKey) { return ptreeThe->ExistsKeyString(pstrKey) != 0 ? 1 : 0; }

short CrTree::ExistsKeyString(const char* pszKey, unsigned long* pnCRC) {
  return ptreeThe->ExistsKeyString(pszKey, pnCRC) != 0 ? 1 : 0;
}

// ---- Node walks ---------------------------------------------------------------------

void CrTree::ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) {
  ptreeThe->ForEachInternalContainer(pfnAction, pvUser);
}

CrCollection* CrTree::AllThatInternalContainer(CPConditionFunc, void*) {
  TARNCOLL_ASSERT(1 == 0, kSource, "1==0");
  return nullptr;  // not reached: the report does not return
}

Createable* CrTree::FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  return AsNode(ptreeThe->FirstThatInternalContainer(pfnCond, pvUser));
}

Createable* CrTree::NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  return AsNode(ptreeThe->NextThatInternalContainer(pfnCond, pvUser));
}

void CrTree::ForEach(CrKeyActionFunc pfnAction, void* pvUser) { ptreeThe->ForEach(pfnAction, pvUser); }

// ---- Non-virtual members --------------------------------------------------------------

void CrTree::DetachKeyNum(long nKey) { ptreeThe->DetachKeyNum(static_cast<unsigned long>(nKey)); }

void CrTree::DetachKeyString(const char* pszKey, unsigned long* pnCRC) { ptreeThe->DetachKeyString(pszKey, pnCRC); }

void CrTree::DetachKeyString(CPString* pstrKey) { ptreeThe->DetachKeyString(pstrKey); }

Createable* CrTree::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  return AsObject(ptreeThe->FirstThat(pfnCond, pvUser));
}

void* CrTree::operator[](unsigned long i) { return ptreeThe->RetrieveIDX(i); }
