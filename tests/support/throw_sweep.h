// Test support: exception-injection sweeps, beside the allocation-failure
// sweeps of alloc_sweep.h and built the same way.
//
// A sweep runs one callback-taking operation (kill function, condition,
// action, IteratorAction, comparison, sink) on a freshly built fixture again
// and again, making its 1st, 2nd, 3rd ... call of caller code throw, until a
// run makes fewer calls than the armed one.  The test's callbacks call
// Tick() first; Tick() throws at the armed call.
//
// Every armed run must let the exception reach the caller unchanged, and
// leave the fixture sound: its invariant check passes and the case's own
// verification (items handed to kill gone, the others still there, keys
// found, cursors valid) holds.  Leaks show in the LeakSanitizer build.
#ifndef TARNCOLL_TESTS_SUPPORT_THROW_SWEEP_H
#define TARNCOLL_TESTS_SUPPORT_THROW_SWEEP_H

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tarncoll::test::throw_sweep {

// What an armed callback throws: a type of the test's own, so that the
// sweep sees it arrive unchanged.
struct Injected : std::runtime_error {
  explicit Injected(long n) : std::runtime_error("injected"), nCall(n) {}
  long nCall;  // which callback call threw (1-based)
};

struct Arming {
  long nCountdown = 0;  // > 0: the nCountdown-th callback call from now throws
  long nCalls = 0;      // callback calls seen while armed
  bool bFired = false;  // the armed call happened
};

inline Arming& Armed() {
  static Arming a;
  return a;
}

// Arms the nth callback call from now to throw.
inline void Arm(long n) {
  Armed() = Arming();
  Armed().nCountdown = n;
}

// Disarms and tells whether the armed call happened.
inline bool Disarm() {
  bool bFired = Armed().bFired;
  Armed() = Arming();
  return bFired;
}

// Callback calls made since the last Arm (armed or not, while a count runs).
inline long Calls() { return Armed().nCalls; }

// Call first in every test callback: throws Injected at the armed call.
inline void Tick() {
  Arming& a = Armed();
  if (a.nCountdown <= 0) return;
  ++a.nCalls;
  if (--a.nCountdown == 0) {
    a.bFired = true;
    throw Injected(a.nCalls);
  }
}

// One operation to sweep over a fixture of type F.
template <class F>
struct Case {
  std::string name;
  std::function<std::unique_ptr<F>()> make;  // a fresh fixture, built unarmed
  std::function<void(F&)> op;                // the operation; its callbacks call Tick()
  // After the nth call threw: what the fixture must show beyond its
  // invariant check (for example: the first n-1 killed items are gone,
  // the others are still found by key).  Null: the invariant check only.
  std::function<::testing::AssertionResult(F&, long n)> verify = nullptr;
};

// The fixture's invariant check ("" when sound).
template <class F>
using Check = std::function<std::string(F&)>;

// Throw points swept in this program (a point is one armed run that threw).
inline long& PointsSwept() {
  static long n = 0;
  return n;
}

// Sweeps every callback call of the case; returns the number of throw
// points met.  nLimit bounds the runs.
template <class F>
long Sweep(const Case<F>& c, const Check<F>& check, long nLimit = 5000) {
  SCOPED_TRACE("throw sweep of " + c.name);
  const ::testing::TestResult* presult = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  const int nPartsAtStart = presult->total_part_count();
  long nPoints = 0;
  long n = 1;
  for (; n <= nLimit; ++n) {
    std::unique_ptr<F> pf = c.make();
    std::string where = "callback call #" + std::to_string(n);
    bool bThrew = false;
    Arm(n);
    try {
      c.op(*pf);
    } catch (const Injected& e) {
      bThrew = true;
      EXPECT_EQ(e.nCall, n) << where << ": another call's exception arrived";
    } catch (...) {
      ADD_FAILURE() << where << ": the exception was replaced on its way out";
    }
    bool bFired = Disarm();
    if (!bFired) {
      EXPECT_FALSE(bThrew) << where;
      EXPECT_EQ(check(*pf), "") << where << ": undisturbed run";
      break;  // the operation made fewer than n callback calls
    }
    EXPECT_TRUE(bThrew) << where << ": the exception was swallowed";
    ++nPoints;
    EXPECT_EQ(check(*pf), "") << where;
    if (c.verify) {
      EXPECT_TRUE(c.verify(*pf, n)) << where;
    }
    if (presult->total_part_count() != nPartsAtStart) return nPoints;  // one broken point is enough to read
  }
  EXPECT_LE(n, nLimit) << "throw sweep did not end";
  PointsSwept() += nPoints;
  std::printf("  %-48s %3ld throw points\n", c.name.c_str(), nPoints);
  return nPoints;
}

// Prints the number of throw points swept when the program ends.
class PointsReporter : public ::testing::Environment {
 public:
  void TearDown() override { std::printf("callback throw points swept: %ld\n", PointsSwept()); }
};

inline const bool kReporterInstalled = (::testing::AddGlobalTestEnvironment(new PointsReporter), true);

}  // namespace tarncoll::test::throw_sweep

#endif
