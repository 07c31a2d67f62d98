#include <cpcoll/cpcollec.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <new>

#include <cpcoll/detail/report.h>

namespace {
const char kSource[] = "cpcoll\\Cpcollec";
const char kHeader[] = "cpcoll\\cpcollec";

// Sort's recovery: the collection holds ppv[0 .. Length()-1] again after
// an Add failed; one try each for the others.  A second failure in a row
// ends it: no memory is left.
void AddRest(CPFlatCollection& fc, void** ppv, unsigned long n) noexcept {
  for (unsigned long i = fc.Length(); i < n; ++i) {
    try {
      fc.Add(ppv[i]);
    } catch (...) {
      return;
    }
  }
}
// The standard qsort is C code: an exception thrown by the comparison
// would have to unwind through frames that need not carry unwind tables.
// The comparison is therefore called through Compare, which catches what
// it throws, answers 0 from then on so that qsort ends quickly, and lets
// SortVector throw it again once qsort has returned.  qsort takes no user
// pointer, so the comparison travels in a thread-local slot; a comparison
// that sorts again saves and restores it.
struct CompareCall {
  CPCompareFunc pfnCompare;
  std::exception_ptr pexThrown;
};

thread_local CompareCall* t_pcall = nullptr;

int Compare(const void* pv1, const void* pv2) {
  CompareCall* pcall = t_pcall;
  if (pcall->pexThrown) return 0;
  try {
    return pcall->pfnCompare(pv1, pv2);
  } catch (...) {
    pcall->pexThrown = std::current_exception();
    return 0;
  }
}

// qsort of n item pointers with the caller's comparison; what the
// comparison throws reaches the caller unchanged, with the vector's cells
// in some order of the same items.
void SortVector(void** ppv, unsigned long n, CPCompareFunc pfnCompare) {
  CompareCall call = {pfnCompare, nullptr};
  CompareCall* pcallOuter = t_pcall;
  t_pcall = &call;
  std::qsort(ppv, n, sizeof(void*), &Compare);
  t_pcall = pcallOuter;
  if (call.pexThrown) std::rethrow_exception(call.pexThrown);
}

// Frees a vector from BuildVector.
struct VectorRelease {
  void operator()(void** ppv) const { delete[] ppv; }
};
using Vector = std::unique_ptr<void*[], VectorRelease>;
}  // namespace

CPInternalContainer::~CPInternalContainer() {}

// ---- CPCollection: construction and bookkeeping ------------------------

CPCollection::CPCollection() : nXACT(0), nLength(0), eKeyKind(ekeyNone) {}

CPCollection::CPCollection(const CPCollection& other)
    : Createable(), Iterable(other), nXACT(other.nXACT), nLength(other.nLength), eKeyKind(other.eKeyKind) {}

CPCollection& CPCollection::operator=(const CPCollection& other) {
  Iterable::operator=(other);
  nXACT = other.nXACT;
  nLength = other.nLength;
  eKeyKind = other.eKeyKind;
  return *this;
}

CPCollection::~CPCollection() {}

void CPCollection::ReportLengthUnderflow() { Exceptions::_get_gexeptnsThe()->Assert(kHeader, __LINE__, "nLength >0"); }

// ---- Typed slots: refused here -----------------------------------------

short CPCollection::vadd(void*, void*) { return 0; }
short CPCollection::vadd(void*, CPString*) { return 0; }
short CPCollection::vadd(void*, const char*) { return 0; }
short CPCollection::vadd(void*, long) { return 0; }
short CPCollection::vadd(void*) { return 0; }
void* CPCollection::vremoveByProbe(void*) { return nullptr; }
void* CPCollection::vremove(void*) { return nullptr; }
void* CPCollection::vremove(CPString*) { return nullptr; }
void* CPCollection::vremove(const char*) { return nullptr; }
void* CPCollection::vremove(long) { return nullptr; }
void* CPCollection::vfind(void*) { return nullptr; }
void* CPCollection::vfind(CPString*) { return nullptr; }
void* CPCollection::vfind(char*) { return nullptr; }
void* CPCollection::vfind(long) { return nullptr; }

// ---- Typed entry points ------------------------------------------------

bool CPCollection::CommitKind(char eKind) {
  if (eKeyKind == ekeyNone) eKeyKind = eKind;
  return eKeyKind == eKind;
}

short CPCollection::add(void* pvItem) { return CommitKind(ekeyPlain) ? vadd(pvItem) : short{0}; }
short CPCollection::add(void* pvItem, long nKey) { return CommitKind(ekeyNumber) ? vadd(pvItem, nKey) : short{0}; }
short CPCollection::add(void* pvItem, const char* pszKey) { return CommitKind(ekeyString) ? vadd(pvItem, pszKey) : short{0}; }
short CPCollection::add(void* pvItem, CPString* pstrKey) { return CommitKind(ekeyString) ? vadd(pvItem, pstrKey) : short{0}; }
short CPCollection::add(void* pvItem, void* pvKey) { return CommitKind(ekeyPointer) ? vadd(pvItem, pvKey) : short{0}; }

void* CPCollection::removeByProbe(void* pvItem) { return eKeyKind == ekeyPlain ? vremoveByProbe(pvItem) : nullptr; }
void* CPCollection::remove(long nKey) { return eKeyKind == ekeyNumber ? vremove(nKey) : nullptr; }
void* CPCollection::remove(const char* pszKey) { return eKeyKind == ekeyString ? vremove(pszKey) : nullptr; }
void* CPCollection::remove(CPString* pstrKey) { return eKeyKind == ekeyString ? vremove(pstrKey) : nullptr; }
void* CPCollection::remove(void* pvKey) { return eKeyKind == ekeyPointer ? vremove(pvKey) : nullptr; }
void* CPCollection::find(long nKey) { return eKeyKind == ekeyNumber ? vfind(nKey) : nullptr; }
void* CPCollection::find(char* pszKey) { return eKeyKind == ekeyString ? vfind(pszKey) : nullptr; }
void* CPCollection::find(CPString* pstrKey) { return eKeyKind == ekeyString ? vfind(pstrKey) : nullptr; }
void* CPCollection::find(void* pvKey) { return eKeyKind == ekeyPointer ? vfind(pvKey) : nullptr; }

// ---- Walks over the built-in cursor --------------------------------------

void CPCollection::ForEach(IteratorAction* pAction) {
  GotoTop();
  while (void* pv = Retrieve()) {
    pAction->pvItem = pv;
    pAction->Perform();
    Next();
  }
}

void CPCollection::ForEach(CPActionFunc pfnAction, void* pvUser) {
  GotoTop();
  while (void* pv = Retrieve()) {
    pfnAction(pv, pvUser);
    Next();
  }
}

void* CPCollection::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  GotoTop();
  while (void* pv = Retrieve()) {
    if (pfnCond(pv, pvUser)) return pv;
    Next();
  }
  return nullptr;
}

void* CPCollection::NextThat(CPConditionFunc pfnCond, void* pvUser) {
  Next();
  while (void* pv = Retrieve()) {
    if (pfnCond(pv, pvUser)) return pv;
    Next();
  }
  return nullptr;
}

// ---- Vector export, import and copying -------------------------------------

void** CPCollection::BuildVector() {
  if (nLength == 0) return nullptr;
  unsigned long n = nLength;
  void** ppvVector = new (std::nothrow) void*[n];
  TARNCOLL_FAIL_IF_NIL(ppvVector, kSource, "ppvVector");
  unsigned long i = 0;
  GotoTop();
  while (void* pv = Retrieve()) {
    if (i == n) break;  // a container whose walk outruns its count
    ppvVector[i++] = pv;
    Next();
  }
  for (; i < n; ++i) ppvVector[i] = nullptr;
  return ppvVector;
}

void CPCollection::AddFrom(CPCollection* pclFrom) {
  TARNCOLL_ASSERT(pclFrom != nullptr, kSource, "pclFrom");
  if (pclFrom->Length() == 0) return;
  pclFrom->GotoTop();
  while (void* pv = pclFrom->Retrieve()) {
    Add(pv);
    pclFrom->Next();
  }
}

void CPCollection::CopyFrom(CPCollection* pclFrom) {
  if (nLength == 0) AddFrom(pclFrom);
}

// ---- CPFlatCollection ------------------------------------------------------

CPFlatCollection::~CPFlatCollection() {}

void CPFlatCollection::BuildFromVector(void** ppv, unsigned long n) {
  if (nLength != 0 || ppv == nullptr || n < 1) return;
  for (unsigned long i = 0; i < n; ++i) Add(ppv[i]);
}

void CPFlatCollection::Sort(CPCompareFunc pfnCompare) {
  if (nLength == 0) return;
  unsigned long n = nLength;
  Vector ppv(BuildVector());
  SortVector(ppv.get(), n, pfnCompare);  // a throwing comparison leaves the collection as it was
  DetachAll();
  try {
    BuildFromVector(ppv.get(), n);
  } catch (...) {
    // An Add failed half-way and the items after it are in the vector
    // only: add them again (the memory of the detached nodes is free), so
    // that the report does not cost the caller any item.
    AddRest(*this, ppv.get(), n);
    throw;
  }
}

void CPFlatCollection::SortedCopy(CPCollection* pclFrom, CPCompareFunc pfnCompare) {
  TARNCOLL_ASSERT(pclFrom != nullptr, kSource, "pcollFrom");
  if (pclFrom->Length() == 0 || nLength != 0) return;
  unsigned long n = pclFrom->Length();
  Vector ppv(pclFrom->BuildVector());
  SortVector(ppv.get(), n, pfnCompare);
  short nXACTBefore = nXACT;
  try {
    BuildFromVector(ppv.get(), n);
  } catch (...) {
    // All or nothing: this collection was empty and is again, as if
    // nothing had happened.
    if (nLength != 0) DetachAll();
    nXACT = nXACTBefore;
    throw;
  }
}

// ---- CPKeyedCollection -----------------------------------------------------

CPKeyedCollection::~CPKeyedCollection() {}
