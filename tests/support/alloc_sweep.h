// Test support: allocation-failure sweeps.
//
// A sweep runs one operation on a freshly built container again and again,
// failing its 1st, 2nd, 3rd ... allocation in turn, until a run meets no
// failure.  Two kinds of allocation are swept separately:
//   - library objects, through Createable::SetAllocationFailure;
//   - standard allocations (blocks, vectors, string buffers, index cells),
//     through the replacement global operator new below, which throws
//     std::bad_alloc (or returns null for the nothrow forms) at the armed
//     count.  The library's static archive is linked into the test program,
//     so the replacement also serves the library.
// Both are armed only around the operation itself, so gtest and the
// fixtures allocate normally.
//
// Every failed run must end in one of the operation's documented outcomes:
// an AssertionFailure with an allowed text (exactly one report reaching
// the sink), std::bad_alloc where the operation allows it, or a silent
// fallback that still gives the result of an undisturbed run.  After a
// report the container must equal its snapshot from before the run and
// pass its invariant check; leaks show in the LeakSanitizer build.
//
// This header defines the replacement operator new and delete: include it
// from exactly one source file of a test program.
#ifndef TARNCOLL_TESTS_SUPPORT_ALLOC_SWEEP_H
#define TARNCOLL_TESTS_SUPPORT_ALLOC_SWEEP_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <util/Createable.h>
#include <util/Exceptions.h>

namespace tarncoll::test::alloc_sweep {

// ---- standard allocation hook ---------------------------------------------

struct StdHook {
  long nCountdown = 0;  // > 0: the nCountdown-th allocation from now fails
  long nCalls = 0;      // allocations seen while armed
  bool bFired = false;  // the armed failure happened
};

inline StdHook& Hook() {
  static StdHook hook;
  return hook;
}

// True when this allocation is the one to fail.
inline bool StdShouldFail() {
  StdHook& h = Hook();
  if (h.nCountdown <= 0) return false;
  ++h.nCalls;
  if (--h.nCountdown == 0) {
    h.bFired = true;
    return true;
  }
  return false;
}

inline void* StdAllocate(std::size_t n) { return std::malloc(n ? n : 1); }

// Out of line, so the compiler does not pair the free with the new-expressions
// that it inlines the replacement delete into.
[[gnu::noinline]] inline void StdRelease(void* pv) noexcept { std::free(pv); }

}  // namespace tarncoll::test::alloc_sweep

void* operator new(std::size_t n) {
  if (tarncoll::test::alloc_sweep::StdShouldFail()) throw std::bad_alloc();
  if (void* pv = tarncoll::test::alloc_sweep::StdAllocate(n)) return pv;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (tarncoll::test::alloc_sweep::StdShouldFail()) throw std::bad_alloc();
  if (void* pv = tarncoll::test::alloc_sweep::StdAllocate(n)) return pv;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return tarncoll::test::alloc_sweep::StdShouldFail() ? nullptr : tarncoll::test::alloc_sweep::StdAllocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return tarncoll::test::alloc_sweep::StdShouldFail() ? nullptr : tarncoll::test::alloc_sweep::StdAllocate(n);
}
void operator delete(void* pv) noexcept { tarncoll::test::alloc_sweep::StdRelease(pv); }
void operator delete[](void* pv) noexcept { tarncoll::test::alloc_sweep::StdRelease(pv); }
void operator delete(void* pv, std::size_t) noexcept { tarncoll::test::alloc_sweep::StdRelease(pv); }
void operator delete[](void* pv, std::size_t) noexcept { tarncoll::test::alloc_sweep::StdRelease(pv); }
void operator delete(void* pv, const std::nothrow_t&) noexcept { tarncoll::test::alloc_sweep::StdRelease(pv); }
void operator delete[](void* pv, const std::nothrow_t&) noexcept { tarncoll::test::alloc_sweep::StdRelease(pv); }

namespace tarncoll::test::alloc_sweep {

enum Kind { eLibrary, eStandard };

inline const char* KindName(Kind k) { return k == eLibrary ? "library object" : "standard"; }

// Arms the nth allocation of the kind to fail.
inline void Arm(Kind k, long n) {
  if (k == eLibrary) {
    Createable::SetAllocationFailure(n);
  } else {
    Hook() = StdHook();
    Hook().nCountdown = n;
  }
}

// Disarms and tells whether the armed failure happened.  For library
// objects the remaining countdown is not readable, so it is probed: had
// the failure not happened, one of at most n probe allocations fails.
inline bool Disarm(Kind k, long n) {
  if (k == eStandard) {
    bool bFired = Hook().bFired;
    Hook() = StdHook();
    return bFired;
  }
  bool bFired = true;
  for (long i = 0; i < n; ++i) {
    void* pv = Createable::operator new(8);
    if (!pv) {
      bFired = false;
      break;
    }
    Createable::operator delete(pv);
  }
  Createable::SetAllocationFailure(0);
  return bFired;
}

// ---- report sink that allocates nothing ---------------------------------------

struct SinkRecord {
  int nReports = 0;  // Assert and FailIfNIL reports received
  int kind = -1;
  const char* pszFile = nullptr;
  const char* pszText = nullptr;
};

inline SinkRecord& Sink() {
  static SinkRecord rec;
  return rec;
}

inline void RecordReport(int kind, const char* file, long, const char* text) {
  if (kind != Exceptions::eAssert && kind != Exceptions::eFailIfNIL) return;
  SinkRecord& r = Sink();
  ++r.nReports;
  r.kind = kind;
  r.pszFile = file;
  r.pszText = text;
}

class QuietSink {
 public:
  QuietSink() : pfnPrevious(Exceptions::SetSink(&RecordReport)) { Sink() = SinkRecord(); }
  ~QuietSink() { Exceptions::SetSink(pfnPrevious); }
  QuietSink(const QuietSink&) = delete;
  QuietSink& operator=(const QuietSink&) = delete;

 private:
  ExceptionsSink pfnPrevious;
};

// ---- the sweep ---------------------------------------------------------------------

// A report an operation may end in when an allocation fails.
struct Report {
  int kind;  // Exceptions::eAssert or eFailIfNIL
  const char* source;
  const char* text;
};

inline Report Nil(const char* source, const char* text) { return {Exceptions::eFailIfNIL, source, text}; }
inline Report Asrt(const char* source, const char* text) { return {Exceptions::eAssert, source, text}; }

// One operation to sweep over a fixture of type F.
template <class F>
struct Case {
  std::string name;
  std::function<std::unique_ptr<F>()> make;  // a fresh fixture, built unarmed
  std::function<void(F&)> op;                // the operation; frees what it gets
  std::vector<Report> reports;               // allowed reports
  bool bBadAlloc = false;                    // std::bad_alloc is an allowed outcome
  bool bFallback = false;                    // a failure may be absorbed silently
  // After a report: the state the fixture may be in besides unchanged
  // (operations that add items one by one keep those added before the
  // failure).  Null: only unchanged is accepted.
  std::function<::testing::AssertionResult(F&, const std::string& before)> partial = nullptr;
};

// What a fixture shows of itself: the full observable state, and its
// invariant check ("" when sound).
template <class F>
struct Probe {
  std::function<std::string(F&)> snapshot;
  std::function<std::string(F&)> check;
};

// Failure points swept in this program (a point is one failed run).
inline long& PointsSwept() {
  static long n = 0;
  return n;
}

enum Outcome { eNone, eReport, eBadAlloc, eOther };

// What a report carried (the texts are the library's own literals).
struct Caught {
  const char* pszFile = nullptr;
  const char* pszText = nullptr;
  bool bFailIfNil = false;
};

template <class F>
Outcome RunArmed(const Case<F>& c, F& f, Kind k, long n, bool* pbFired, Caught* pcaught) {
  Outcome o = eNone;
  Arm(k, n);
  try {
    c.op(f);
  } catch (const AssertionFailure& af) {
    o = eReport;
    pcaught->pszFile = af.file;
    pcaught->pszText = af.expression;
    pcaught->bFailIfNil = af.failIfNil;
  } catch (const std::bad_alloc&) {
    o = eBadAlloc;
  } catch (...) {
    o = eOther;
  }
  *pbFired = Disarm(k, n);
  return o;
}

inline bool Allowed(const std::vector<Report>& reports, const Caught& caught, const SinkRecord& rec) {
  for (const Report& r : reports) {
    bool bKind = caught.bFailIfNil == (r.kind == Exceptions::eFailIfNIL);
    if (bKind && std::strcmp(caught.pszText, r.text) == 0 && std::strcmp(caught.pszFile, r.source) == 0 &&
        rec.kind == r.kind && rec.pszText && std::strcmp(rec.pszText, r.text) == 0)
      return true;
  }
  return false;
}

// Sweeps both kinds of allocation over the case; returns the number of
// failure points met.  nLimit bounds the runs per kind.
template <class F>
long Sweep(const Case<F>& c, const Probe<F>& probe, long nLimit = 5000) {
  SCOPED_TRACE("sweep of " + c.name);
  QuietSink sink;
  const ::testing::TestResult* presult = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  const int nPartsAtStart = presult->total_part_count();
  // The outcome of an undisturbed run, for absorbed failures.
  std::string strAfter;
  {
    std::unique_ptr<F> pf = c.make();
    c.op(*pf);
    strAfter = probe.snapshot(*pf);
    EXPECT_EQ(probe.check(*pf), "") << "undisturbed run";
  }
  long nPoints = 0;
  for (Kind k : {eLibrary, eStandard}) {
    long n = 1;
    for (; n <= nLimit; ++n) {
      std::unique_ptr<F> pf = c.make();
      std::string strBefore = probe.snapshot(*pf);
      Sink() = SinkRecord();
      bool bFired = false;
      Caught caught;
      Outcome o = RunArmed(c, *pf, k, n, &bFired, &caught);
      std::string where = std::string(KindName(k)) + " allocation #" + std::to_string(n);
      if (o == eNone && !bFired) break;  // the operation made fewer than n allocations
      ++nPoints;
      if (o == eNone) {
        EXPECT_TRUE(c.bFallback) << where << ": failure absorbed without a report";
        EXPECT_EQ(probe.snapshot(*pf), strAfter) << where << ": absorbed failure changed the result";
      } else if (o == eReport) {
        EXPECT_TRUE(bFired) << where << ": report without the failure: " << caught.pszText;
        EXPECT_EQ(Sink().nReports, 1) << where;
        EXPECT_TRUE(Allowed(c.reports, caught, Sink()))
            << where << ": unexpected report \"" << caught.pszText << "\" from " << caught.pszFile;
      } else if (o == eBadAlloc) {
        EXPECT_TRUE(c.bBadAlloc) << where << ": std::bad_alloc escaped";
        EXPECT_EQ(Sink().nReports, 0) << where;
      } else {
        ADD_FAILURE() << where << ": an unexpected exception";
      }
      if (o != eNone) {
        std::string strNow = probe.snapshot(*pf);
        if (strNow != strBefore) {
          if (c.partial) {
            EXPECT_TRUE(c.partial(*pf, strBefore)) << where;
          } else {
            EXPECT_EQ(strNow, strBefore) << where << ": container changed by the failed operation";
          }
        }
      }
      EXPECT_EQ(probe.check(*pf), "") << where;
      if (presult->total_part_count() != nPartsAtStart) return nPoints;  // one broken point is enough to read
    }
    EXPECT_LE(n, nLimit) << KindName(k) << " sweep did not end";
  }
  PointsSwept() += nPoints;
  std::printf("  %-48s %3ld failure points\n", c.name.c_str(), nPoints);
  return nPoints;
}

// Prints the number of failure points swept when the program ends.
class PointsReporter : public ::testing::Environment {
 public:
  void TearDown() override { std::printf("allocation failure points swept: %ld\n", PointsSwept()); }
};

inline const bool kReporterInstalled = (::testing::AddGlobalTestEnvironment(new PointsReporter), true);

}  // namespace tarncoll::test::alloc_sweep

#endif
