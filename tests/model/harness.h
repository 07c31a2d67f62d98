// Model-test harness: drives one container and a model built on standard
// containers through the same operations, compares every result, and runs
// the container's invariant check after every step.
//
// The operations come from an OpSource: a seeded generator for the test
// programs, or the bytes of a fuzz input.  A model is a class with
//   void Step(OpSource&)   pick one operation, apply it to both, compare;
//   void Check()           the invariant check and full-content comparison;
// deriving from ModelBase, whose Op() records the operation's name so a
// failure can name the last few operations.  A failed comparison throws
// Mismatch; Drive() turns it, an unexpected report or an unexpected cursor
// exception into a message naming the origin (seed), the step and the
// operations that led there.
#ifndef TARNCOLL_TESTS_MODEL_HARNESS_H
#define TARNCOLL_TESTS_MODEL_HARNESS_H

#include <gtest/gtest.h>  // the inspectors answer with AssertionResult

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <cpcoll/detail/dict_index.h>
#include <cpcoll/iterate.h>
#include <util/Createable.h>
#include <util/Exceptions.h>

#include "support/random_steps.h"

namespace tarncoll::test::model {

// ---- operation sources ----------------------------------------------------------------------

class OpSource {
 public:
  virtual ~OpSource() = default;
  // A number in [0, n); n >= 1.
  virtual unsigned Pick(unsigned n) = 0;
  // True once a fuzz input is used up (a generator never is).
  virtual bool Exhausted() const = 0;
  bool Chance(unsigned nOutOf) { return Pick(nOutOf) == 0; }
};

class RandomSource final : public OpSource {
 public:
  explicit RandomSource(std::uint64_t nSeed) : rng(nSeed) {}
  unsigned Pick(unsigned n) override { return static_cast<unsigned>(rng() % n); }
  bool Exhausted() const override { return false; }

 private:
  std::mt19937_64 rng;
};

// Reads a fuzz input: one byte per choice of up to 256, two bytes above.
// Past the end every choice is 0 and Exhausted() turns true.
class ByteSource final : public OpSource {
 public:
  ByteSource(const std::uint8_t* p, std::size_t n) : pNext(p), pEnd(p + n) {}
  unsigned Pick(unsigned n) override {
    unsigned v = Byte();
    if (n > 256) v = v << 8 | Byte();
    return v % n;
  }
  bool Exhausted() const override { return bDone; }

 private:
  unsigned Byte() {
    if (pNext == pEnd) {
      bDone = true;
      return 0;
    }
    return *pNext++;
  }
  const std::uint8_t* pNext;
  const std::uint8_t* pEnd;
  bool bDone = false;
};

// ---- comparisons ----------------------------------------------------------------------------

class Mismatch : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <class T>
std::string Show(const T& v) {
  std::ostringstream os;
  os << v;
  return os.str();
}
inline std::string Show(char c) { return std::to_string(static_cast<int>(c)); }
inline std::string Show(const std::string& s) { return '"' + s + '"'; }
inline std::string Show(std::nullptr_t) { return "null"; }
template <class T>
std::string Show(const std::vector<T>& v) {
  std::string s = "[";
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? " " : "") + Show(v[i]);
  return s + "]";
}

[[noreturn]] inline void Fail(const char* pszFile, int nLine, const std::string& what) {
  const char* pszBase = std::strrchr(pszFile, '/');
  throw Mismatch(std::string(pszBase ? pszBase + 1 : pszFile) + ":" + std::to_string(nLine) + ": " + what);
}

template <class A, class B>
void ExpectEq(const A& actual, const B& expected, const char* pszExpr, const char* pszFile, int nLine) {
  if (!(actual == expected))
    Fail(pszFile, nLine, std::string(pszExpr) + " is " + Show(actual) + ", the model says " + Show(expected));
}

inline void ExpectInvariant(const ::testing::AssertionResult& r, const char* pszFile, int nLine) {
  if (!r) Fail(pszFile, nLine, std::string("invariant check: ") + r.message());
}
inline void ExpectInvariant(const std::string& sError, const char* pszFile, int nLine) {
  if (!sError.empty()) Fail(pszFile, nLine, "invariant check: " + sError);
}
inline void ExpectInvariant(bool bOk, const char* pszFile, int nLine) {
  if (!bOk) Fail(pszFile, nLine, "invariant check failed");
}

// Installs a sink that drops everything, for reports a model provokes.
class QuietReports {
 public:
  QuietReports() : pfnPrevious(Exceptions::SetSink(&Drop)) {}
  ~QuietReports() { Exceptions::SetSink(pfnPrevious); }
  QuietReports(const QuietReports&) = delete;
  QuietReports& operator=(const QuietReports&) = delete;

 private:
  static void Drop(int, const char*, long, const char*) {}
  ExceptionsSink pfnPrevious;
};

// Runs f, which must end in the report with the given text.
template <class F>
void ExpectReport(F f, const char* pszText, const char* pszFile, int nLine) {
  QuietReports quiet;
  try {
    f();
  } catch (const AssertionFailure& e) {
    if (std::strcmp(e.expression, pszText) != 0)
      Fail(pszFile, nLine, std::string("reported \"") + e.expression + "\", expected \"" + pszText + "\"");
    return;
  }
  Fail(pszFile, nLine, std::string("no report, expected \"") + pszText + "\"");
}

// Runs f, which must throw the cursor exception.
template <class F>
void ExpectCursorException(F f, const char* pszFile, int nLine) {
  try {
    f();
  } catch (unsigned int v) {
    if (v != kCursorException) Fail(pszFile, nLine, "threw " + std::to_string(v));
    return;
  }
  Fail(pszFile, nLine, "no cursor exception from a stale cursor");
}

#define TM_EQ(actual, expected) ::tarncoll::test::model::ExpectEq((actual), (expected), #actual, __FILE__, __LINE__)
#define TM_TRUE(...)                                                                  \
  do {                                                                                \
    if (!(__VA_ARGS__)) ::tarncoll::test::model::Fail(__FILE__, __LINE__, "expected " #__VA_ARGS__); \
  } while (0)
#define TM_INV(result) ::tarncoll::test::model::ExpectInvariant((result), __FILE__, __LINE__)
#define TM_REPORTS(stmt, text) ::tarncoll::test::model::ExpectReport([&] { stmt; }, text, __FILE__, __LINE__)
#define TM_STALE(stmt) ::tarncoll::test::model::ExpectCursorException([&] { stmt; }, __FILE__, __LINE__)

// ---- callbacks that throw ------------------------------------------------------------------

// What an armed model callback throws: a type of the models' own, so that a
// step sees it arrive unchanged.
struct Thrown {
  long call;  // which callback call threw (1-based)
};

struct ThrowArming {
  long countdown = 0;  // > 0: the countdown-th callback call from now throws
  long calls = 0;      // callback calls seen while armed
  bool fired = false;  // the armed call happened
};
inline ThrowArming& Arming() {
  static ThrowArming a;
  return a;
}

// Called first by every model callback (kill functions, conditions,
// actions, comparisons, IteratorAction objects): throws at the armed call.
inline void Tick() {
  ThrowArming& a = Arming();
  if (a.countdown <= 0) return;
  ++a.calls;
  if (--a.countdown == 0) {
    a.fired = true;
    throw Thrown{a.calls};
  }
}

// Runs f with its kth callback call throwing Thrown.  True when it threw
// that exception, which must have come out unchanged; false when f made
// fewer than k calls and returned normally.  Anything else f throws passes
// through, disarmed.
template <class F>
bool ThrowsAt(long k, F f, const char* file, int line) {
  struct Disarm {
    ~Disarm() { Arming() = ThrowArming(); }
  } disarm;
  Arming() = ThrowArming();
  Arming().countdown = k;
  bool threw = false;
  try {
    f();
  } catch (const Thrown& e) {
    threw = true;
    if (e.call != k) Fail(file, line, "callback call " + std::to_string(e.call) + " threw, armed was " + std::to_string(k));
  }
  if (Arming().fired != threw)
    Fail(file, line, Arming().fired ? "a callback's exception was swallowed" : "an exception without the armed call");
  return threw;
}
#define TM_THROWS_AT(k, stmt) ::tarncoll::test::model::ThrowsAt((k), [&] { stmt; }, __FILE__, __LINE__)

// ---- allocations that fail --------------------------------------------------------------------

// Which allocator a failed-allocation step arms: library objects
// (Createable's operator new) or the dictionary's key index tables.
enum AllocKind { eAllocObject, eAllocIndex };

inline void ArmAllocation(AllocKind kind, long nth) {
  if (kind == eAllocObject)
    Createable::SetAllocationFailure(nth);
  else
    tarncoll::detail::SetDictIndexFailure(nth);
}

// Whether the library-object failure armed for the nth allocation has
// happened (the countdown cannot be read, so it is probed: had it not, one
// of at most nth probe allocations fails).  Disarms.
inline bool ObjectFailureFired(long nth) {
  bool fired = true;
  for (long i = 0; i < nth && fired; ++i) {
    void* pv = Createable::operator new(8);
    fired = pv != nullptr;
    Createable::operator delete(pv);
  }
  Createable::SetAllocationFailure(0);
  return fired;
}

// Runs f, one step of a model, with the nth allocation of the kind failing.
// True when f completed (its allocations came before the nth, or the
// container did without the one that failed); false when it ended in a
// report, the only other outcome allowed.  The step applies its change to
// the model only after the container's call returned, so after a report the
// model still holds the state from before, and the next Check() sees
// whether the container kept it.
template <class F>
bool SurvivesAllocationFailure(AllocKind kind, long nth, F f) {
  struct Disarm {
    AllocKind kind;
    ~Disarm() { ArmAllocation(kind, 0); }
  } disarm{kind};
  QuietReports quiet;
  ArmAllocation(kind, nth);
  try {
    f();
  } catch (const AssertionFailure& e) {
    if (kind == eAllocObject && !ObjectFailureFired(nth))
      Fail(__FILE__, __LINE__, std::string("report \"") + e.expression + "\" without an allocation failure");
    return false;
  }
  return true;
}

// ---- texts spelled by the source -------------------------------------------------------------

// A text for a key or a class name, spelled by the source rather than taken
// from a fixed pool: any bytes but zero, up to 40 of them; up to 4 letters
// over "ab", so that equal texts and shared slots are frequent; or 24 to 60
// bytes, longer than CPString keeps inline.
inline std::string SpelledText(OpSource& src) {
  std::string s;
  switch (src.Pick(3)) {
    case 0:
      for (unsigned n = src.Pick(41); n; --n) s += static_cast<char>(1 + src.Pick(255));
      break;
    case 1:
      for (unsigned n = src.Pick(5); n; --n) s += static_cast<char>('a' + src.Pick(2));
      break;
    default:
      for (unsigned n = 24 + src.Pick(37); n; --n) s += static_cast<char>('0' + src.Pick(75));
      break;
  }
  return s;
}

// ---- items and callbacks --------------------------------------------------------------------

// Items: distinct addresses, never dereferenced.  Few of them, so that
// duplicates and repeated keys are common.
enum { kItemPool = 64 };
inline void* Item(unsigned i) {
  static char aPool[kItemPool];
  return &aPool[i % kItemPool];
}

// Orders the cells of an item vector by address (qsort comparison).
inline int CompareItems(const void* a, const void* b) {
  Tick();
  std::uintptr_t x = reinterpret_cast<std::uintptr_t>(*static_cast<void* const*>(a));
  std::uintptr_t y = reinterpret_cast<std::uintptr_t>(*static_cast<void* const*>(b));
  return x < y ? -1 : x > y ? 1 : 0;
}

// Records the items handed to a kill function or an action, in order.
inline std::vector<void*>& Seen() {
  static std::vector<void*> v;
  return v;
}
// The item counts as handed over before the armed call throws.
inline void Record(void* pv, void*) {
  Seen().push_back(pv);
  Tick();
}

// A condition matching the item given as user pointer.
inline int IsUser(void* pv, void* pvUser) { return Tick(), pv == pvUser ? 1 : 0; }
// 1 for the user item, 2 for the item right after it in the pool, else 0:
// tells "exactly 1" from "non-zero".
inline int OneOrTwo(void* pv, void* pvUser) {
  Tick();
  if (pv == pvUser) return 1;
  return reinterpret_cast<std::uintptr_t>(pv) == reinterpret_cast<std::uintptr_t>(pvUser) + 1 ? 2 : 0;
}

// An IteratorAction that records the items and matches the target.
class MatchAction : public IteratorAction {
 public:
  explicit MatchAction(void* pvTarget) : pvWanted(pvTarget) {}
  short Perform() override {
    visited.push_back(pvItem);
    Tick();
    return pvItem == pvWanted ? 1 : 0;
  }
  std::vector<void*> visited;

 private:
  void* pvWanted;
};

// ---- driving --------------------------------------------------------------------------------

class ModelBase {
 public:
  void Op(const char* pszName) { apszRecent[nOps++ % kRecent] = pszName; }
  // The last operations, oldest first.
  std::string Recent() const {
    std::string s;
    unsigned long nFirst = nOps > kRecent ? nOps - kRecent : 0;
    for (unsigned long i = nFirst; i < nOps; ++i) s += std::string(i > nFirst ? ", " : "") + apszRecent[i % kRecent];
    return s;
  }

 private:
  enum { kRecent = 12 };
  const char* apszRecent[kRecent] = {};
  unsigned long nOps = 0;
};

// The operations per container family: nDefault, or TARNCOLL_MODEL_OPS
// when set (see support/random_steps.h).
inline unsigned long FamilyOps(unsigned long nDefault) { return StepCount(nDefault); }

// Runs up to nOps steps of a fresh model M over src.  "" when every step
// agreed, else what went wrong, where and after which operations.
template <class M>
std::string Drive(OpSource& src, unsigned long nOps, const std::string& sOrigin) {
  M model;
  unsigned long nStep = 0;
  std::string sError;
  try {
    for (; nStep < nOps && !src.Exhausted(); ++nStep) {
      model.Step(src);
      model.Check();
    }
    return "";
  } catch (const Mismatch& e) {
    sError = e.what();
  } catch (const AssertionFailure& e) {
    sError = std::string("unexpected report \"") + e.expression + "\" from " + e.file;
  } catch (unsigned int v) {
    sError = "unexpected cursor exception " + std::to_string(v);
  }
  return sOrigin + ", step " + std::to_string(nStep) + " (after " + model.Recent() + "): " + sError;
}

template <class M>
std::string Run(std::uint64_t nSeed, unsigned long nOps) {
  nSeed = RandomSeed(nSeed);  // TARNCOLL_SEED moves every seed
  RandomSource src(nSeed);
  return Drive<M>(src, nOps, "seed " + std::to_string(nSeed));
}

}  // namespace tarncoll::test::model

#endif
