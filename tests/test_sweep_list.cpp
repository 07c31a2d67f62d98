// Allocation-failure sweeps over the list family: CPList, CPHashTable, the
// framework operations that a list inherits (BuildVector, Sort, AddFrom,
// SortedCopy, GetIterator) and CrList.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cpcoll/CPHashTable.h>
#include <cpcoll/cplist.h>
#include <cpcoll/crlist.h>

#include "support/alloc_sweep.h"
#include "support/flat_throw_cases.h"
#include "support/counted.h"
#include "support/crlist_inspector.h"
#include "support/list_inspector.h"
#include "support/report_capture.h"

namespace alloc_sweep = tarncoll::test::alloc_sweep;
namespace throw_sweep = tarncoll::test::throw_sweep;

using alloc_sweep::Asrt;
using alloc_sweep::Case;
using alloc_sweep::Nil;
using alloc_sweep::Probe;
using alloc_sweep::Sweep;

namespace {
const char kList[] = "cpcoll\\cplist";
const char kCollec[] = "cpcoll\\Cpcollec";
const char kIterate[] = "cpcoll\\iterate";
const char kCrList[] = "cpcoll\\crlist";

// Items are addresses in this array; their order is their address order.
int g_anItems[16];
void* Item(int i) { return &g_anItems[i]; }
int IndexOf(const void* pv) { return static_cast<int>(static_cast<const int*>(pv) - g_anItems); }

int Descending(const void* a, const void* b) {
  const int* pa = *static_cast<int* const*>(a);
  const int* pb = *static_cast<int* const*>(b);
  return pa < pb ? 1 : (pa > pb ? -1 : 0);
}
int Even(void* pv, void*) { return IndexOf(pv) % 2 == 0 ? 1 : 0; }
void Nothing(void*, void*) {}

std::string Items(const std::vector<void*>& v) {
  std::ostringstream os;
  for (void* pv : v) os << IndexOf(pv) << ' ';
  return os.str();
}

// Content: items both ways, length and modification count.
std::string ListContent(const CPList& lst) {
  std::ostringstream os;
  os << "len " << lst.Length() << " xact " << lst._get_nXACT() << " [" << Items(CPListInspector::Forward(lst))
     << "] back [" << Items(CPListInspector::Backward(lst)) << "]";
  return os.str();
}

// Content plus the cursor, its remembered index, reset point and search state.
std::string ListFull(CPList& lst) {
  std::ostringstream os;
  os << ListContent(lst) << " cursor " << CPListInspector::IndexOf(lst, lst._get_pbktCursor()) << " dx "
     << lst._get_nDXCursor() << " reset " << CPListInspector::IndexOf(lst, CPListInspector::Reset(lst)) << " search "
     << CPListInspector::SearchState(lst);
  return os.str();
}

std::string ListCheck(const CPList& lst) {
  ::testing::AssertionResult r = CPListInspector::Check(lst);
  return r ? "" : r.message();
}

std::unique_ptr<CPList> ListOf(int n) {
  std::unique_ptr<CPList> p(new CPList);
  for (int i = 0; i < n; ++i) p->Add(Item(n - 1 - i));  // n-1 ... 0
  return p;
}

const Probe<CPList> kListFull = {[](CPList& l) { return ListFull(l); }, [](CPList& l) { return ListCheck(l); }};
const Probe<CPList> kListContent = {[](CPList& l) { return ListContent(l); },
                                    [](CPList& l) { return ListCheck(l); }};

// A list as it stands after an interrupted run that adds items one by one:
// the items it had, then a prefix of the items being added.
::testing::AssertionResult PrefixAdded(const std::vector<void*>& had, const std::vector<void*>& adding,
                                       const CPList& lst) {
  std::vector<void*> now = CPListInspector::Forward(lst);
  if (now.size() < had.size() || now.size() > had.size() + adding.size())
    return ::testing::AssertionFailure() << "length " << now.size();
  std::vector<void*> want(had);
  want.insert(want.end(), adding.begin(), adding.begin() + (now.size() - had.size()));
  if (now != want) return ::testing::AssertionFailure() << "items [" << Items(now) << "]";
  return ::testing::AssertionSuccess();
}

std::vector<void*> ItemsOf(const CPList& lst) { return CPListInspector::Forward(lst); }
}  // namespace

// ---- single-node operations: reported before anything changes ---------------------

TEST(SweepList, NodeInsertionsReportAndLeaveListAsItWas) {
  long n = 0;
  n += Sweep<CPList>({"Add", [] { return ListOf(4); }, [](CPList& l) { l.Add(Item(9)); }, {Asrt(kList, "pbktNew !=0")}},
                     kListFull);
  auto cursorOnSecond = [] {
    auto p = ListOf(4);
    p->RetrieveIDX(1);
    p->SetResetPoint();
    return p;
  };
  n += Sweep<CPList>({"Insert at the cursor", cursorOnSecond, [](CPList& l) { l.Insert(Item(9)); },
                      {Nil(kList, "pbktNew")}},
                     kListFull);
  n += Sweep<CPList>({"Insert with the cursor off", [] { return ListOf(3); }, [](CPList& l) { l.Insert(Item(9)); },
                      {Nil(kList, "pbktNew")}},
                     kListFull);
  n += Sweep<CPList>({"Insert into an empty list", [] { return ListOf(0); }, [](CPList& l) { l.Insert(Item(9)); },
                      {Nil(kList, "pbktNew")}},
                     kListFull);
  n += Sweep<CPList>({"InsertAfter", cursorOnSecond, [](CPList& l) { l.InsertAfter(Item(9)); },
                      {Nil(kList, "pbktNew")}},
                     kListFull);
  // Intern searches first, which moves the cursor even when it succeeds.
  n += Sweep<CPList>({"Intern", [] { return ListOf(4); }, [](CPList& l) { l.Intern(Item(9)); },
                      {Asrt(kList, "pbktNew !=0")}},
                     kListContent);
  EXPECT_EQ(n, 6);  // one node each
}

// ---- operations that build something new leave the source alone -------------------------

TEST(SweepList, ResultBuildersLeaveSourceAndLeakNothing) {
  long n = 0;
  n += Sweep<CPList>({"AllThat", [] { return ListOf(6); }, [](CPList& l) { delete l.AllThat(&Even, nullptr); },
                      {Nil(kList, "plstNew"), Asrt(kList, "pbktNew !=0")}},
                     kListContent);
  n += Sweep<CPList>({"BuildVector", [] { return ListOf(5); }, [](CPList& l) { delete[] l.BuildVector(); },
                      {Nil(kCollec, "ppvVector")}},
                     kListContent);
  n += Sweep<CPList>({"copy construction", [] { return ListOf(5); }, [](CPList& l) { CPList copy(l); },
                      {Asrt(kList, "pbktNew !=0")}},
                     kListFull);
  n += Sweep<CPList>({"CreateInstance and CreateIterationState",
                      [] { return ListOf(2); },
                      [](CPList& l) {
                        delete l.CreateInstance();  // null on failure, no report
                        delete l.CreateIterationState();
                      },
                      {},
                      false,
                      true},
                     kListFull);
  n += Sweep<CPList>({"GetIterator", [] { return ListOf(3); }, [](CPList& l) { delete l.GetIterator(); },
                      {Nil(kIterate, "piterA"), Nil(kIterate, "pitsA")}},
                     kListFull);
  n += Sweep<CPList>({"Iterator::allThat",
                      [] { return ListOf(4); },
                      [](CPList& l) {
                        std::unique_ptr<Iterator> pit(l.GetIterator());
                        delete pit->allThat([](void* pv, void*) -> short { return IndexOf(pv) < 2; }, nullptr);
                      },
                      {Nil(kIterate, "piterA"), Nil(kIterate, "pitsA"), Nil(kIterate, "pclNew"),
                       Asrt(kList, "pbktNew !=0")}},
                     kListContent);
  // AllThat: the list and 3 nodes; the vector; 5 nodes; 2 objects;
  // iterator and state; iterator, state, list and 2 nodes.
  EXPECT_EQ(n, 1 + 3 + 1 + 5 + 2 + 2 + 5);
}

TEST(SweepList, WalksNeedingAStateReportAndKeepContent) {
  long n = 0;
  n += Sweep<CPList>({"ForEach", [] { return ListOf(3); }, [](CPList& l) { l.ForEach(&Nothing, nullptr); },
                      {Nil(kList, "pitsA")}},
                     kListContent);
  // A failed new search leaves the previous search state in place.
  auto searched = [] {
    auto p = ListOf(5);
    p->FirstThat(&Even, nullptr);
    return p;
  };
  n += Sweep<CPList>({"FirstThat", searched, [](CPList& l) { l.FirstThat(&Even, nullptr); }, {Nil(kList, "pitsA")}},
                     kListContent);
  EXPECT_GE(n, 2);  // a state each
}

// ---- assignment builds the copy first -----------------------------------------------------

namespace {
struct TwoLists {
  std::unique_ptr<CPList> from = ListOf(5);
  std::unique_ptr<CPList> to = ListOf(3);
};
std::string TwoListsContent(TwoLists& t) { return ListFull(*t.from) + " | " + ListFull(*t.to); }
const Probe<TwoLists> kTwoFull = {[](TwoLists& t) { return TwoListsContent(t); },
                                  [](TwoLists& t) { return ListCheck(*t.from) + ListCheck(*t.to); }};
const Probe<TwoLists> kTwoContent = {
    [](TwoLists& t) { return ListContent(*t.from) + " | " + ListContent(*t.to); },
    [](TwoLists& t) { return ListCheck(*t.from) + ListCheck(*t.to); }};
}  // namespace

TEST(SweepList, AssignmentIsAllOrNothing) {
  long n = Sweep<TwoLists>({"operator=", [] { return std::unique_ptr<TwoLists>(new TwoLists); },
                            [](TwoLists& t) { *t.to = *t.from; }, {Asrt(kList, "pbktNew !=0")}},
                           kTwoFull);
  EXPECT_EQ(n, 5);
}

// ---- operations that add one item after another keep what they added ---------------------

TEST(SweepList, BulkAddsKeepAPrefixOfTheirItems) {
  auto fresh = [] { return std::unique_ptr<TwoLists>(new TwoLists); };
  Case<TwoLists> addFrom = {"AddFrom", fresh, [](TwoLists& t) { t.to->AddFrom(t.from.get()); },
                            {Asrt(kList, "pbktNew !=0")}};
  addFrom.partial = [](TwoLists& t, const std::string&) {
    return PrefixAdded(ItemsOf(*ListOf(3)), ItemsOf(*t.from), *t.to);
  };
  long n = Sweep(addFrom, kTwoContent);

  auto emptyTarget = [] {
    std::unique_ptr<TwoLists> p(new TwoLists);
    p->to = ListOf(0);
    return p;
  };
  Case<TwoLists> sorted = {"SortedCopy", emptyTarget, [](TwoLists& t) { t.to->SortedCopy(t.from.get(), &Descending); },
                           {Nil(kCollec, "ppvVector"), Asrt(kList, "pbktNew !=0")}};
  n += Sweep(sorted, kTwoContent);

  Case<CPList> fromVector = {"BuildFromVector", [] { return ListOf(0); },
                             [](CPList& l) {
                               void* apv[] = {Item(3), Item(1), Item(2)};
                               l.BuildFromVector(apv, 3);
                             },
                             {Asrt(kList, "pbktNew !=0")}};
  fromVector.partial = [](CPList& l, const std::string&) {
    return PrefixAdded({}, {Item(3), Item(1), Item(2)}, l);
  };
  n += Sweep(fromVector, kListContent);
  EXPECT_EQ(n, 5 + 1 + 5 + 3);
}

// Sort takes every node off the list and re-adds the items; a node that
// cannot be allocated must not cost the list its items.
TEST(SweepList, SortKeepsEveryItem) {
  Case<CPList> sort = {"Sort", [] { return ListOf(5); }, [](CPList& l) { l.Sort(&Descending); },
                       {Nil(kCollec, "ppvVector"), Asrt(kList, "pbktNew !=0")}};
  sort.partial = [](CPList& l, const std::string&) {
    std::vector<void*> now = ItemsOf(l), had = ItemsOf(*ListOf(5));
    std::sort(now.begin(), now.end());
    std::sort(had.begin(), had.end());
    if (now != had) return ::testing::AssertionFailure() << "items lost: [" << Items(ItemsOf(l)) << "]";
    return ::testing::AssertionSuccess();
  };
  EXPECT_EQ(Sweep(sort, kListContent), 6);
}

// ---- hash table ------------------------------------------------------------------------------

TEST(SweepList, HashTableCopyAndAdd) {
  auto table = [] {
    std::unique_ptr<CPHashTable> p(new CPHashTable);
    for (int i = 0; i < 4; ++i) p->Add(Item(i));
    return p;
  };
  Probe<CPHashTable> probe = {[](CPHashTable& h) { return ListFull(h); }, [](CPHashTable& h) { return ListCheck(h); }};
  long n = Sweep<CPHashTable>({"Add", table, [](CPHashTable& h) { h.Add(Item(9)); }, {Asrt(kList, "pbktNew !=0")}},
                              probe);
  n += Sweep<CPHashTable>({"copy construction", table, [](CPHashTable& h) { CPHashTable copy(h); },
                           {Asrt(kList, "pbktNew !=0")}},
                          probe);
  n += Sweep<CPHashTable>({"CreateInstance", table,
                           [](CPHashTable& h) {
                             CPCollection* p = h.CreateInstance();
                             EXPECT_TRUE(p == nullptr || dynamic_cast<CPHashTable*>(p) != nullptr);
                             delete p;
                           },
                           {},
                           false,
                           true},
                          probe);
  EXPECT_EQ(n, 1 + 4 + 1);
}

// ---- reference list -----------------------------------------------------------------------------

namespace {
// A CrList and the objects it holds; the fixture keeps one reference of
// its own on every object, so a lost or extra reference shows in the counts.
struct RefListFixture {
  std::vector<Counted*> objects;
  std::unique_ptr<CrList> list;
  RefListFixture() : list(new CrList) {
    for (int i = 0; i < 6; ++i) {
      objects.push_back(new Counted(i));
      objects.back()->AddRef();
    }
    for (int i = 0; i < 4; ++i) list->Add(objects[i]);
  }
  ~RefListFixture() {
    list.reset();
    for (Counted* p : objects) p->Release();
  }
};

std::string RefListState(RefListFixture& f) {
  std::ostringstream os;
  CPList* plst = CrListInspector::Wrapped(*f.list);
  os << "len " << plst->Length() << " xact " << plst->_get_nXACT() << " [";
  for (void* pv : CPListInspector::Forward(*plst)) os << static_cast<Counted*>(pv)->Id() << ' ';
  os << "] cursor " << CPListInspector::IndexOf(*plst, plst->_get_pbktCursor()) << " refs";
  for (Counted* p : f.objects) os << ' ' << p->_get_nRefCount();
  return os.str();
}

const Probe<RefListFixture> kRefList = {[](RefListFixture& f) { return RefListState(f); },
                                        [](RefListFixture& f) {
                                          ::testing::AssertionResult r = CrListInspector::Check(*f.list);
                                          return r ? std::string() : std::string(r.message());
                                        }};
std::unique_ptr<RefListFixture> RefList() { return std::unique_ptr<RefListFixture>(new RefListFixture); }
}  // namespace

TEST(SweepList, RefListTakesNoReferenceWhenItFails) {
  long n = Sweep<RefListFixture>({"CrList::Add", RefList, [](RefListFixture& f) { f.list->Add(f.objects[5]); },
                                  {Asrt(kList, "pbktNew !=0")}},
                                 kRefList);
  n += Sweep<RefListFixture>({"CrList copy construction", RefList, [](RefListFixture& f) { CrList copy(*f.list); },
                              {Nil(kCrList, "plstThe"), Asrt(kList, "pbktNew !=0")}},
                             kRefList);
  n += Sweep<RefListFixture>({"CrList assignment", RefList,
                              [](RefListFixture& f) {
                                CrList other;
                                other.Add(f.objects[5]);
                                *f.list = other;
                              },
                              {Nil(kCrList, "plstThe"), Asrt(kList, "pbktNew !=0")}},
                             kRefList);
  n += Sweep<RefListFixture>({"CrList construction", RefList, [](RefListFixture&) { CrList lst; },
                              {Nil(kCrList, "plstThe")}},
                             kRefList);
  EXPECT_GE(n, 1 + 5 + 1);
}

// ---- callbacks that throw ---------------------------------------------------------------------

namespace {
::testing::AssertionResult InspectList(CPList& l) { return CPListInspector::Check(l); }
::testing::AssertionResult InspectTable(CPHashTable& h) { return CPListInspector::Check(h); }
int TickKeepNone(void* pv, void* u) { return throw_sweep::TickNever(pv, u); }

// An object whose AddRef and Release are caller code that may throw.
class Ticking : public Counted {
 public:
  explicit Ticking(int id) : Counted(id) {}
  long AddRef() override { return throw_sweep::Tick(), Counted::AddRef(); }
  long Release() override { return throw_sweep::Tick(), Counted::Release(); }
};

struct TickingRefList {
  std::vector<Ticking*> objects;
  std::unique_ptr<CrList> list{new CrList};
  TickingRefList() {
    for (int i = 0; i < 5; ++i) {
      objects.push_back(new Ticking(i));
      objects.back()->AddRef();  // the fixture's own reference
      if (i < 4) list->Add(objects.back());
    }
  }
  ~TickingRefList() {
    list.reset();
    // A Release that threw kept its reference: give back whatever is left.
    for (Ticking* p : objects)
      while (p->Release() != 0) {
      }
  }
  long Held(int i) const {
    long n = 0;
    for (void* pv : CPListInspector::Forward(*CrListInspector::Wrapped(*list))) n += pv == objects[i];
    return n;
  }
};
}  // namespace

// Kill functions, conditions, actions and comparisons that throw from
// their first, middle or last call: the exception arrives unchanged, the
// items handed to kill are gone and the others stay, cursors stay valid or
// fail fast.  The derived walk of a hash table is swept beside the list's.
TEST(SweepList, CallbacksThatThrowLeaveTheListSound) {
  long n = throw_sweep::SweepFlat<CPList>([] { return ListOf(5); }, &InspectList);
  n += throw_sweep::SweepFlat<CPHashTable>(
      [] {
        std::unique_ptr<CPHashTable> p(new CPHashTable);
        for (int i = 0; i < 5; ++i) p->Add(Item(i));
        return p;
      },
      &InspectTable);
  using F = throw_sweep::FlatFixture<CPList>;
  auto make = [] {
    std::unique_ptr<F> f(new F);
    f->pc = ListOf(5);
    f->vpvBefore = throw_sweep::CursorWalk(*f->pc);
    f->pits.reset(f->pc->CreateIterationState());
    f->pits->gotoTop();
    return f;
  };
  throw_sweep::Check<F> check = throw_sweep::FlatCheck<CPList>(&InspectList);
  // The nth condition call threw: the n-1 items before it were removed.
  n += throw_sweep::Sweep<F>({"DetachAllThat", make, [](F& f) { f.pc->DetachAllThat(&TickKeepNone, nullptr); },
                              [](F& f, long k) {
                                return throw_sweep::WalkIs(
                                    *f.pc, std::vector<void*>(f.vpvBefore.begin() + (k - 1), f.vpvBefore.end()));
                              }},
                             check);
  n += throw_sweep::Sweep<F>({"NextThat", make,
                              [](F& f) {
                                f.pc->FirstThat(&Even, nullptr);
                                f.pc->NextThat(&TickKeepNone, nullptr);
                              }},
                             check);
  n += throw_sweep::Sweep<F>(
      {"FirstInternalContainerThat", make, [](F& f) { f.pc->FirstInternalContainerThat(&TickKeepNone, nullptr); }},
      check);
  EXPECT_GE(n, 2 * (5 + 1 + 5 + 5 + 5 + 5 + 5 + 5) + 5 + 4 + 5);
}

// A Release that throws during RemoveAll: the objects released before it
// and the one whose Release threw have left the list, the others are held
// with their reference.  An AddRef that throws: the object is not held.
TEST(SweepList, RefListWithThrowingReferences) {
  using F = TickingRefList;
  auto make = [] { return std::unique_ptr<F>(new F); };
  throw_sweep::Check<F> check = [](F& f) {
    ::testing::AssertionResult r = CrListInspector::Check(*f.list);
    return r ? std::string() : std::string(r.message());
  };
  long n = throw_sweep::Sweep<F>({"CrList::RemoveAll", make, [](F& f) { f.list->RemoveAll(); },
                                  [](F& f, long k) {
                                    for (int i = 0; i < 4; ++i) {
                                      long nWant = i < k ? 0 : 1;
                                      if (f.Held(i) != nWant)
                                        return ::testing::AssertionFailure() << "object " << i << " held " << f.Held(i);
                                      if (i >= k && f.objects[i]->_get_nRefCount() != 2)
                                        return ::testing::AssertionFailure() << "object " << i << " lost a reference";
                                    }
                                    return ::testing::AssertionSuccess();
                                  }},
                                 check);
  n += throw_sweep::Sweep<F>({"CrList::Add", make, [](F& f) { f.list->Add(f.objects[4]); },
                              [](F& f, long) {
                                if (f.Held(4) == 0 && f.objects[4]->_get_nRefCount() == 1 && f.list->Length() == 4)
                                  return ::testing::AssertionSuccess();
                                return ::testing::AssertionFailure() << "the object stayed without its reference";
                              }},
                             check);
  n += throw_sweep::Sweep<F>({"CrList::ForEach", make, [](F& f) { f.list->ForEach(&throw_sweep::TickAction, nullptr); }},
                             check);
  EXPECT_EQ(n, 4 + 1 + 4);
}

// A full reference count is reported before the object is stored.
TEST(SweepList, RefListReportsAFullCountBeforeStoring) {
  Counted* pobj = new Counted(1);
  for (long i = 0; i < 0xFFFF; ++i) pobj->AddRef();
  CrList lst;
  EXPECT_REPORT(lst.Add(pobj), Exceptions::eAssert, kCrList, "nRefCount < 0xFFFF");
  EXPECT_EQ(lst.Length(), 0u);
  EXPECT_EQ(pobj->_get_nRefCount(), 0xFFFF);
  for (long i = 0; i < 0xFFFF; ++i) pobj->Release();  // the last one deletes it
}
