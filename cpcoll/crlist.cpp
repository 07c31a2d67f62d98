#include <cpcoll/crlist.h>

#include <cpcoll/cplist.h>
#include <cpcoll/detail/report.h>
#include <cpcoll/detail/take_reference.h>

using tarncoll::detail::TakeReference;

namespace {
const char kSource[] = "cpcoll\\crlist";
}  // namespace

CrList::CrList() : plstThe(new CPList) {
  TARNCOLL_FAIL_IF_NIL(plstThe, kSource, "plstThe");
  plstThe->AddRef();
}

CrList::CrList(const CrList& other) : CrFlatCollection(other), plstThe(new CPList) {
  TARNCOLL_FAIL_IF_NIL(plstThe, kSource, "plstThe");
  plstThe->AddRef();
  try {
    CopyNodes(other.plstThe, plstThe);
  } catch (...) {
    // The constructor does not complete, so the destructor will not run:
    // give back what was taken so far.
    ReleaseAll(plstThe);
    throw;
  }
}

CrList& CrList::operator=(const CrList& other) {
  if (&other == this) return *this;
  CPList* plstNew = new CPList;
  TARNCOLL_FAIL_IF_NIL(plstNew, kSource, "plstThe");
  plstNew->AddRef();
  try {
    CopyNodes(other.plstThe, plstNew);
  } catch (...) {
    ReleaseAll(plstNew);
    throw;
  }
  // The new references are taken before the old ones go, so an object held
  // by both lists survives the swap.
  CPList* plstOld = plstThe;
  plstThe = plstNew;
  ReleaseAll(plstOld);
  return *this;
}

CrList::~CrList() { ReleaseAll(plstThe); }

void CrList::CopyNodes(CPList* plstFrom, CPList* plstTo) {
  for (CPBucket* pbkt = plstFrom->_get_pbktHead(); pbkt != nullptr; pbkt = pbkt->_get_pbktNext()) {
    AddReferenced(plstTo, static_cast<Createable*>(pbkt->_get_pvData()));
    if (pbkt == plstFrom->_get_pbktTail()) break;
  }
}

void CrList::ReleaseAll(CPList* plst) {
  plst->DestroyAll(&CrCollection::itReleaseCreateable);
  plst->Release();
}

unsigned long CrList::Length() const { return plstThe->Length(); }

void CrList::RemoveAll() { plstThe->DestroyAll(&CrCollection::itReleaseCreateable); }

void CrList::ForEach(CPActionFunc pfnAction, void* pvUser) { plstThe->ForEach(pfnAction, pvUser); }

void CrList::GotoTop() { plstThe->GotoTop(); }

void CrList::GotoBottom() { plstThe->GotoBottom(); }

long CrList::Next() { return plstThe->Next(); }

long CrList::Prev() { return plstThe->Prev(); }

Createable* CrList::Retrieve() { return static_cast<Createable*>(plstThe->Retrieve()); }

void CrList::Add(Createable* pcrEntry) {
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  AddReferenced(plstThe, pcrEntry);
}

void CrList::AddReferenced(CPList* plst, Createable* pcr) {
  // A count that AddRef would refuse is reported before anything is stored.
  TARNCOLL_ASSERT(pcr->_get_nRefCount() < 0xFFFF, kSource, "nRefCount < 0xFFFF");
  plst->Add(pcr);
  TakeReference(pcr, [&] { plst->DetachBucket(plst->_get_pbktTail()); });
}

short CrList::Remove(Createable* pcrEntry) {
  TARNCOLL_ASSERT(pcrEntry != nullptr, kSource, "pcrEntry");
  // Judge by the count, not by Destroy's result: an absent object releases
  // nothing and must not be reported as removed.
  unsigned long nBefore = plstThe->Length();
  plstThe->Destroy(pcrEntry, &CrCollection::itReleaseCreateable);
  return plstThe->Length() < nBefore ? 1 : 0;
}

Createable* CrList::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  return static_cast<Createable*>(plstThe->FirstThat(pfnCond, pvUser));
}

Createable* CrList::NextThat(CPConditionFunc pfnCond, void* pvUser) {
  return static_cast<Createable*>(plstThe->NextThat(pfnCond, pvUser));
}

Createable* CrList::RetrieveIDX(unsigned long idx) { return static_cast<Createable*>(plstThe->RetrieveIDX(idx)); }
