#include <cpcoll/trackable.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include <cpcoll/Cpdict.h>
#include <cpcoll/detail/report.h>
#include <util/Exceptions.h>

namespace {
const char kSource[] = "cpcoll\\trackable";
const std::size_t kLineSize = 256;
const char kUnNamed[] = "UnNamed";

// The name a class is tracked under: a dictionary stores the empty key as
// "UnNamed" and never finds it by the empty text, so the empty (or null)
// name is looked up as "UnNamed" too.
const char* TrackedName(const char* pszClass) { return pszClass && *pszClass ? pszClass : kUnNamed; }

// Guards the tracker's statics.  Recursive, so that a call made on the same
// thread while the tracker is at work (from a diagnostic sink, say) takes it
// again, sees bDisableTracking and returns instead of deadlocking.  Never
// destroyed: objects may be tracked during static destruction.
std::recursive_mutex& TrackerMutex() {
  static auto* pMutex = new std::recursive_mutex;
  return *pMutex;
}

using Lock = std::lock_guard<std::recursive_mutex>;

// Appends one report line at the writer's end.  The line's length is known
// (cut to its buffer), so the copy is bounded by it and the caller's text is
// never scanned again.
struct ReportWriter {
  char* pszEnd;  // the terminating zero of the text so far, or null
  void Append(const char* pszLine, int nWritten) {
    if (!pszEnd || nWritten <= 0) return;
    const std::size_t nLength = std::min(static_cast<std::size_t>(nWritten), kLineSize - 1);
    std::memcpy(pszEnd, pszLine, nLength);
    pszEnd += nLength;
    *pszEnd = 0;
  }
};

void ReportRecord(void* pvRecord, void* pvWriter) {
  const TrackRec* prec = static_cast<const TrackRec*>(pvRecord);
  // The average divides the two counts as unsigned 32-bit values.
  unsigned long nAverage =
      prec->nInstances == 0
          ? 0
          : static_cast<std::uint32_t>(prec->nSize) / static_cast<std::uint32_t>(prec->nInstances);
  char szLine[kLineSize];
  // A line too long for its buffer is cut there.
  int nWritten = std::snprintf(szLine, sizeof szLine, "Class: %s.  Instances %ld.  Size: %ld.  Avg Size: %ld\r\n",
                               prec->szClass, prec->nInstances, prec->nSize, static_cast<long>(nAverage));
  if (nWritten < 0) szLine[0] = 0;
  Exceptions::_get_gexeptnsThe()->Message(szLine);
  static_cast<ReportWriter*>(pvWriter)->Append(szLine, nWritten);
}
}  // namespace

CPDictionary* Trackable::pdctAllocatedObjects = nullptr;
short Trackable::bDisableTracking = 0;
long Trackable::nTotalObjects = 0;
long Trackable::nTotalSize = 0;

short Trackable::AllocateObject(const char* pszClass, long nSize) {
  Lock lock(TrackerMutex());
  if (bDisableTracking) return 1;
  pszClass = TrackedName(pszClass);
  bDisableTracking = 1;
  // Everything that can fail comes first, so a report records nothing and
  // leaves tracking switched on.
  if (!pdctAllocatedObjects) {
    CPDictionary* pdct = new CPDictionary(CPDictionary::eNumberOfSlots);
    if (!pdct) bDisableTracking = 0;
    TARNCOLL_FAIL_IF_NIL(pdct, kSource, "pdctAllocatedObjects");
    pdctAllocatedObjects = pdct;
  }
  TrackRec* prec = static_cast<TrackRec*>(pdctAllocatedObjects->FindKeyString(pszClass, nullptr));
  if (!prec) {
    prec = new (std::nothrow) TrackRec;
    if (!prec) bDisableTracking = 0;
    TARNCOLL_FAIL_IF_NIL(prec, kSource, "ptrkrecA");
    prec->szClass[0] = 0;
    prec->nInstances = 0;
    prec->nSize = 0;
    try {
      pdctAllocatedObjects->AddKeyString(pszClass, prec, nullptr);
    } catch (...) {
      delete prec;
      bDisableTracking = 0;
      throw;
    }
  }
  std::snprintf(prec->szClass, sizeof prec->szClass, "%s", pszClass);
  prec->nSize += nSize;
  ++prec->nInstances;
  ++nTotalObjects;
  nTotalSize += nSize;
  bDisableTracking = 0;
  return 1;
}

short Trackable::DeAllocateObject(const char* pszClass, long nSize) {
  Lock lock(TrackerMutex());
  if (!pdctAllocatedObjects) return 0;
  if (bDisableTracking) return 1;
  pszClass = TrackedName(pszClass);
  TrackRec* prec = static_cast<TrackRec*>(pdctAllocatedObjects->FindKeyString(pszClass, nullptr));
  if (!prec || prec->nInstances == 0) return 0;
  --prec->nInstances;
  --nTotalObjects;
  nTotalSize -= nSize;
  prec->nSize -= nSize;
  return 1;
}

short Trackable::Report(char* pszOut) {
  Lock lock(TrackerMutex());
  if (pszOut) *pszOut = 0;
  ReportWriter writer{pszOut};
  if (pdctAllocatedObjects && pdctAllocatedObjects->Length() != 0) {
    // The sink may call back into the tracker (a Message that records a
    // new class changes the dictionary), so the records are taken first,
    // in the walk's order, and reported from that list.
    unsigned long n = pdctAllocatedObjects->Length();
    std::unique_ptr<void*[]> ppvRecords(pdctAllocatedObjects->BuildVector());
    for (unsigned long i = 0; i < n && ppvRecords[i]; ++i) ReportRecord(ppvRecords[i], &writer);
  }
  char szLine[kLineSize];
  int nWritten = std::snprintf(szLine, sizeof szLine, "Total Number of Objects: %ld, Cumulative Size: %ld\r\n",
                               nTotalObjects, nTotalSize);
  if (nWritten < 0) szLine[0] = 0;
  Exceptions::_get_gexeptnsThe()->Comment(kSource, __LINE__, szLine);
  writer.Append(szLine, nWritten);
  return 1;
}
