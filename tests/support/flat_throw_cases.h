// Test support: the exception-injection cases that every flat container
// shares (list, hash table, array, stack), swept with throw_sweep.h.
//
// The fixture holds the container, a fail-fast state positioned before the
// operation and the items as the built-in cursor walked them.  After each
// armed run the container must pass its inspector, its walk must match its
// length, the state must either walk or throw the cursor exception, and the
// case's verification must hold (for the kill walks: exactly the items
// handed to kill are gone, in walk order).
#ifndef TARNCOLL_TESTS_SUPPORT_FLAT_THROW_CASES_H
#define TARNCOLL_TESTS_SUPPORT_FLAT_THROW_CASES_H

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <cpcoll/cpcollec.h>
#include <cpcoll/cpstack.h>
#include <cpcoll/iterate.h>

#include "support/throw_sweep.h"

namespace tarncoll::test::throw_sweep {

inline std::vector<void*> CursorWalk(CPCollection& c) {
  std::vector<void*> v;
  c.GotoTop();
  for (void* pv = c.Retrieve(); pv && v.size() <= c.Length(); pv = c.Retrieve()) {
    v.push_back(pv);
    c.Next();
  }
  return v;
}

template <class C>
struct FlatFixture {
  std::unique_ptr<C> pc, pother;  // pother: an empty target of the same class
  std::unique_ptr<IterationState> pits;
  std::vector<void*> vpvBefore;
};

// Callbacks that tick, then behave plainly.
inline void TickKill(void*, void*) { Tick(); }
inline void TickAction(void*, void*) { Tick(); }
inline int TickNever(void*, void*) { return Tick(), 0; }
inline short TickNeverShort(void*, void*) { return Tick(), 0; }
inline int TickCompare(const void* a, const void* b) {
  Tick();
  void* pa = *static_cast<void* const*>(a);
  void* pb = *static_cast<void* const*>(b);
  return pa < pb ? 1 : (pa > pb ? -1 : 0);
}
struct TickPerform : IteratorAction {
  short Perform() override { return Tick(), 0; }
};

// The container's soundness after a throw: inspector, walk against length,
// and the state positioned before the operation.
template <class C>
Check<FlatFixture<C>> FlatCheck(std::function<::testing::AssertionResult(C&)> inspect) {
  return [inspect](FlatFixture<C>& f) -> std::string {
    ::testing::AssertionResult r = inspect(*f.pc);
    if (!r) return r.message();
    if (CursorWalk(*f.pc).size() != f.pc->Length()) return "the walk does not yield Length() items";
    try {
      for (unsigned long i = 0; i <= f.pc->Length() && f.pits->retrieve(); ++i) f.pits->gotoNext();
    } catch (unsigned n) {
      if (n != 0xDEADF0CCu) return "the state threw another value";
    }
    return "";
  };
}

inline ::testing::AssertionResult WalkIs(CPCollection& c, const std::vector<void*>& v) {
  if (CursorWalk(c) == v) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "walk has " << CursorWalk(c).size() << " items, expected " << v.size();
}

// The cases every flat container shares.  make builds the filled container.
template <class C>
std::vector<Case<FlatFixture<C>>> FlatCases(std::function<std::unique_ptr<C>()> make) {
  using F = FlatFixture<C>;
  auto fixture = [make] {
    std::unique_ptr<F> f(new F);
    f->pc = make();
    f->pother = make();
    f->pother->DetachAll();
    f->vpvBefore = CursorWalk(*f->pc);
    f->pits.reset(f->pc->CreateIterationState());
    f->pits->gotoTop();
    return f;
  };
  auto unchanged = [](F& f, long) { return WalkIs(*f.pc, f.vpvBefore); };
  std::vector<Case<F>> cases = {
      {"DestroyAll", fixture, [](F& f) { f.pc->DestroyAll(&TickKill); },
       [](F& f, long n) {
         // The nth call threw: the first n items were handed to kill.
         return WalkIs(*f.pc, std::vector<void*>(f.vpvBefore.begin() + n, f.vpvBefore.end()));
       }},
      {"Destroy", fixture, [](F& f) { f.pc->Destroy(f.vpvBefore[2], &TickKill); },
       [](F& f, long) {
         std::vector<void*> v = CursorWalk(*f.pc);
         if (std::find(v.begin(), v.end(), f.vpvBefore[2]) == v.end()) return ::testing::AssertionSuccess();
         return ::testing::AssertionFailure() << "the item handed to kill is still held";
       }},
      {"ForEach(action)", fixture, [](F& f) { f.pc->ForEach(&TickAction, nullptr); }, unchanged},
      {"Iterator::forEach", fixture,
       [](F& f) {
         std::unique_ptr<Iterator> pit(f.pc->GetIterator());
         pit->forEach(&TickAction, nullptr);
       },
       unchanged},
      {"Iterator::allThat", fixture,
       [](F& f) {
         std::unique_ptr<Iterator> pit(f.pc->GetIterator());
         delete pit->allThat(&TickNeverShort, nullptr);
       },
       unchanged},
  };
  if (!std::is_same<C, CPStack>::value) {  // the stack does not support these walks
    cases.push_back({"ForEach(IteratorAction)", fixture,
                     [](F& f) {
                       TickPerform act;
                       f.pc->ForEach(&act);
                     },
                     unchanged});
    cases.push_back({"FirstThat", fixture, [](F& f) { f.pc->FirstThat(&TickNever, nullptr); }, unchanged});
    cases.push_back({"AllThat", fixture, [](F& f) { delete f.pc->AllThat(&TickNever, nullptr); }, unchanged});
  }
  if constexpr (std::is_base_of<CPFlatCollection, C>::value) {
    cases.push_back({"Sort", fixture, [](F& f) { f.pc->Sort(&TickCompare); }, unchanged});
    cases.push_back({"SortedCopy", fixture, [](F& f) { f.pother->SortedCopy(f.pc.get(), &TickCompare); },
                     [](F& f, long) {
                       if (f.pother->Length() != 0) return ::testing::AssertionFailure() << "the target is not empty";
                       return WalkIs(*f.pc, f.vpvBefore);
                     }});
  }
  return cases;
}

// Sweeps all shared cases; returns the throw points met.
template <class C>
long SweepFlat(std::function<std::unique_ptr<C>()> make, std::function<::testing::AssertionResult(C&)> inspect) {
  long n = 0;
  for (const auto& c : FlatCases<C>(make)) n += Sweep(c, FlatCheck<C>(inspect));
  return n;
}

}  // namespace tarncoll::test::throw_sweep

#endif
