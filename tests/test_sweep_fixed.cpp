// Allocation-failure sweeps over the fixed-capacity containers: CPArray,
// CPStack and CPVector.  Their slot blocks come from the standard array
// allocation, whose failure is std::bad_alloc; their result collections
// and vectors are reported.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include <cpcoll/CPVector.h>
#include <cpcoll/CpArray.h>
#include <cpcoll/cpstack.h>

#include "support/alloc_sweep.h"
#include "support/flat_throw_cases.h"
#include "support/array_inspector.h"
#include "support/stack_inspector.h"
#include "support/vector_inspector.h"

namespace alloc_sweep = tarncoll::test::alloc_sweep;
namespace throw_sweep = tarncoll::test::throw_sweep;

using alloc_sweep::Case;
using alloc_sweep::Nil;
using alloc_sweep::Probe;
using alloc_sweep::Sweep;

namespace {
const char kArray[] = "cpcoll\\CpArray";
const char kCollec[] = "cpcoll\\Cpcollec";

int g_anItems[16];
void* Item(int i) { return &g_anItems[i]; }
int IndexOf(const void* pv) { return static_cast<int>(static_cast<const int*>(pv) - g_anItems); }
int Odd(void* pv, void*) { return IndexOf(pv) % 2; }
int Descending(const void* a, const void* b) {
  const int* pa = *static_cast<int* const*>(a);
  const int* pb = *static_cast<int* const*>(b);
  return pa < pb ? 1 : (pa > pb ? -1 : 0);
}

// ---- array ----------------------------------------------------------------

std::unique_ptr<CPArray> ArrayOf(unsigned long nCapacity, int n) {
  std::unique_ptr<CPArray> p(new CPArray(nCapacity));
  for (int i = 0; i < n; ++i) p->Add(Item(i));
  p->GotoTop();
  p->Next();  // cursor on slot 1
  return p;
}

std::string ArrayState(CPArray& a) {
  std::ostringstream os;
  os << "len " << a.Length() << " xact " << a._get_nXACT() << " size " << a._get_ulArraySize() << " count "
     << a._get_ulCurrentIndex() << " cursor " << CPArrayInspector::Cursor(a) << " [";
  for (unsigned long i = 0; i < a._get_ulCurrentIndex(); ++i) os << IndexOf(a._get_arpvThe()[i]) << ' ';
  os << "]";
  return os.str();
}

const Probe<CPArray> kArray_ = {[](CPArray& a) { return ArrayState(a); },
                                [](CPArray& a) {
                                  ::testing::AssertionResult r = CPArrayInspector::Check(a);
                                  return r ? std::string() : std::string(r.message());
                                }};

struct TwoArrays {
  std::unique_ptr<CPArray> from = ArrayOf(6, 5);
  std::unique_ptr<CPArray> to = ArrayOf(3, 2);
};
const Probe<TwoArrays> kTwoArrays = {
    [](TwoArrays& t) { return ArrayState(*t.from) + " | " + ArrayState(*t.to); },
    [](TwoArrays& t) { return kArray_.check(*t.from) + kArray_.check(*t.to); }};
}  // namespace

TEST(SweepFixed, ArrayBlocksFailWithBadAllocAndChangeNothing) {
  auto array = [] { return ArrayOf(8, 5); };
  long n = 0;
  n += Sweep<CPArray>({"construction", array, [](CPArray&) { CPArray a(300); }, {}, true}, kArray_);
  n += Sweep<CPArray>({"Resize up", array, [](CPArray& a) { a.Resize(20); }, {Nil(kArray, "arpvNew")}, true},
                      kArray_);
  n += Sweep<CPArray>({"Resize down", array, [](CPArray& a) { a.Resize(2); }, {Nil(kArray, "arpvNew")}, true},
                      kArray_);
  n += Sweep<CPArray>({"copy construction", array, [](CPArray& a) { CPArray copy(a); }, {}, true}, kArray_);
  n += Sweep<TwoArrays>({"assignment", [] { return std::unique_ptr<TwoArrays>(new TwoArrays); },
                         [](TwoArrays& t) { *t.to = *t.from; }, {}, true},
                        kTwoArrays);
  EXPECT_EQ(n, 5);  // one block each
}

TEST(SweepFixed, ArrayResultsAndVectors) {
  auto array = [] { return ArrayOf(8, 5); };
  long n = 0;
  // The result array and its block.
  n += Sweep<CPArray>({"AllThat", array, [](CPArray& a) { delete a.AllThat(&Odd, nullptr); },
                       {Nil(kArray, "parrReturn")}, true},
                      kArray_);
  // The vector is made before anything moves, and the items go back into
  // the block without allocating.
  n += Sweep<CPArray>({"BuildVector", array, [](CPArray& a) { delete[] a.BuildVector(); }, {Nil(kCollec, "ppvVector")}},
                      kArray_);
  n += Sweep<CPArray>({"Sort", array, [](CPArray& a) { a.Sort(&Descending); }, {Nil(kCollec, "ppvVector")}},
                      kArray_);
  // CreateInstance answers null when the object cannot be made; its block
  // fails with std::bad_alloc.
  n += Sweep<CPArray>({"CreateInstance",
                       array,
                       [](CPArray& a) {
                         CPCollection* p = a.CreateInstance();
                         delete p;
                       },
                       {},
                       true,
                       true},
                      kArray_);
  n += Sweep<CPArray>({"CreateIterationState", array, [](CPArray& a) { delete a.CreateIterationState(); }, {}, false,
                       true},
                      kArray_);
  EXPECT_EQ(n, 2 + 1 + 1 + 2 + 1);
}

// ---- stack --------------------------------------------------------------------

namespace {
std::unique_ptr<CPStack> StackOf(int n) {
  std::unique_ptr<CPStack> p(new CPStack(10));
  for (int i = 0; i < n; ++i) p->Push(Item(i));
  p->GotoTop();
  p->Next();
  return p;
}

std::string StackState(CPStack& s) {
  std::ostringstream os;
  os << "len " << s.Length() << " xact " << s._get_nXACT() << " size " << CPStackInspector::Capacity(s) << " cursor "
     << CPStackInspector::Cursor(s) << " [";
  for (unsigned long i = 0; i < s.Length(); ++i) os << IndexOf(s[i]) << ' ';
  os << "]";
  return os.str();
}

const Probe<CPStack> kStack = {[](CPStack& s) { return StackState(s); },
                               [](CPStack& s) {
                                 ::testing::AssertionResult r = CPStackInspector::Check(s);
                                 return r ? std::string() : std::string(r.message());
                               }};

struct TwoStacks {
  std::unique_ptr<CPStack> from = StackOf(6);
  std::unique_ptr<CPStack> to = StackOf(2);
};
}  // namespace

TEST(SweepFixed, StackBlocksAndVector) {
  auto stack = [] { return StackOf(5); };
  long n = 0;
  n += Sweep<CPStack>({"construction", stack, [](CPStack&) { CPStack s; }, {}, true}, kStack);
  n += Sweep<CPStack>({"copy construction", stack, [](CPStack& s) { CPStack copy(s); }, {}, true}, kStack);
  n += Sweep<TwoStacks>({"assignment", [] { return std::unique_ptr<TwoStacks>(new TwoStacks); },
                         [](TwoStacks& t) { *t.to = *t.from; }, {}, true},
                        {[](TwoStacks& t) { return StackState(*t.from) + " | " + StackState(*t.to); },
                         [](TwoStacks& t) { return kStack.check(*t.from) + kStack.check(*t.to); }});
  n += Sweep<CPStack>({"BuildVector", stack, [](CPStack& s) { delete[] s.BuildVector(); }, {Nil(kCollec, "ppvVector")}},
                      kStack);
  n += Sweep<CPStack>({"CreateInstance", stack, [](CPStack& s) { delete s.CreateInstance(); }, {}, true, true},
                      kStack);
  EXPECT_EQ(n, 1 + 1 + 1 + 1 + 2);
}

// ---- vector -------------------------------------------------------------------

TEST(SweepFixed, VectorBlocks) {
  auto vector = [] { return std::unique_ptr<CPVector>(new CPVector(7)); };
  Probe<CPVector> probe = {[](CPVector& v) {
                             return "size " + std::to_string(CPVectorInspector::Capacity(v)) + " block " +
                                    std::to_string(reinterpret_cast<std::uintptr_t>(CPVectorInspector::Block(v)) != 0);
                           },
                           [](CPVector& v) {
                             ::testing::AssertionResult r = CPVectorInspector::Check(v);
                             return r ? std::string() : std::string(r.message());
                           }};
  long n = 0;
  n += Sweep<CPVector>({"construction", vector, [](CPVector&) { CPVector v; }, {}, true}, probe);
  n += Sweep<CPVector>({"copy construction", vector, [](CPVector& v) { CPVector copy(v); }, {}, true}, probe);
  n += Sweep<CPVector>({"assignment", vector,
                        [](CPVector& v) {
                          CPVector big(300);
                          v = big;
                        },
                        {},
                        true},
                       probe);
  n += Sweep<CPVector>({"CreateInstance", vector, [](CPVector& v) { delete v.CreateInstance(); }, {}, true, true},
                       probe);
  EXPECT_EQ(n, 1 + 1 + 2 + 2);
}

// ---- callbacks that throw ---------------------------------------------------------------------

// Kill functions, conditions, actions and comparisons that throw from
// each of their calls: the items handed to kill are gone (a later
// DestroyAll does not kill them twice), the others stay in their order.
TEST(SweepFixed, CallbacksThatThrowLeaveArrayAndStackSound) {
  long n = throw_sweep::SweepFlat<CPArray>([] { return ArrayOf(8, 5); },
                                           [](CPArray& a) { return CPArrayInspector::Check(a); });
  n += throw_sweep::SweepFlat<CPStack>([] { return StackOf(5); },
                                       [](CPStack& s) { return CPStackInspector::Check(s); });
  EXPECT_GE(n, (5 + 1 + 5 + 5 + 5 + 5 + 5 + 5) + (5 + 1 + 5 + 5 + 5));
}
