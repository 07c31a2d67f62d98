// Exception-injection sweeps over the keyed containers: every kill
// function, condition, action, IteratorAction and Release they call throws
// at its 1st, 2nd, ... call; afterwards the container is sound, holds
// exactly the items not yet handed to kill, finds them by key, and its
// cursors are valid or throw the cursor exception.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPQueue.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crtree.h>

#include "support/counted.h"
#include "support/crdict_inspector.h"
#include "support/crtree_inspector.h"
#include "support/dictionary_inspector.h"
#include "support/report_capture.h"
#include "support/throw_sweep.h"
#include "support/tree_inspector.h"

namespace throw_sweep = tarncoll::test::throw_sweep;

using throw_sweep::Case;
using throw_sweep::Sweep;
using throw_sweep::Tick;

namespace {

int g_items[32];
void* Item(int i) { return &g_items[i]; }

// Items handed to kill, in order (the one whose call throws included).
std::vector<void*> g_handed;
bool Handed(void* pv) { return std::find(g_handed.begin(), g_handed.end(), pv) != g_handed.end(); }

void Kill(void* pv, void*) {
  g_handed.push_back(pv);
  Tick();
}
void Action(void*, void*) { Tick(); }
void KeyAction(void*, void*, void*) { Tick(); }
int NoMatch(void*, void*) {
  Tick();
  return 0;
}
int Match(void*, void*) {
  Tick();
  return 1;
}
struct Throwing : IteratorAction {
  short Perform() override {
    Tick();
    return 0;
  }
};

// A cursor state positioned before the operation must afterwards step and
// read without touching freed memory, or throw the cursor exception.
::testing::AssertionResult StateSound(IterationState* pits) {
  try {
    while (pits->retrieve() && pits->gotoNext()) {
    }
  } catch (unsigned int n) {
    if (n != kCursorException) return ::testing::AssertionFailure() << "cursor threw " << n;
  }
  return ::testing::AssertionSuccess();
}

// The built-in cursor's walk.
unsigned long CursorWalk(CPCollection& c) {
  unsigned long n = 0;
  c.GotoTop();
  for (void* pv = c.Retrieve(); pv; pv = c.Retrieve()) {
    ++n;
    if (!c.Next()) break;
  }
  return n;
}

// ---- the dictionary ----------------------------------------------------------------

const char* const kTexts[] = {"kiwi", "apple", "plum", "fig", "a key text long enough for a heap buffer"};
const unsigned long kNumbers[] = {1, 257, 2, 600, 3};  // 1 and 257 share a slot

struct Dict {
  std::unique_ptr<CPDictionary> d{new CPDictionary};
  std::unique_ptr<IterationState> pits;
  CPString strKey{"fig"};
  Dict() {
    g_handed.clear();
    for (int i = 0; i < 5; ++i) d->AddKeyNum(kNumbers[i], Item(i));
    for (int i = 0; i < 5; ++i) d->AddKeyString(kTexts[i], Item(5 + i), nullptr);
    d->GotoTop();
    d->Next();
    pits.reset(d->CreateIterationState());
    pits->gotoTop();
  }
  void* Find(int i) { return i < 5 ? d->FindKeyNum(kNumbers[i]) : d->FindKeyString(kTexts[i - 5], nullptr); }
};

::testing::AssertionResult DictSound(Dict& f, long) {
  f.d->Retrieve();  // the built-in cursor: on a live entry or on none
  f.d->Next();
  f.d->Retrieve();
  unsigned long nKept = 0;
  for (int i = 0; i < 10; ++i) {
    void* pv = f.Find(i);
    if (Handed(Item(i))) {
      if (pv) return ::testing::AssertionFailure() << "item " << i << " was handed to kill and is still found";
    } else if (pv != Item(i)) {
      return ::testing::AssertionFailure() << "item " << i << " was never handed to kill and is lost";
    } else {
      ++nKept;
    }
  }
  if (f.d->Length() != nKept || CursorWalk(*f.d) != nKept)
    return ::testing::AssertionFailure() << "Length() " << f.d->Length() << ", " << nKept << " items kept";
  return StateSound(f.pits.get());
}

Case<Dict> DictCase(const char* name, std::function<void(Dict&)> op) {
  return {name, [] { return std::unique_ptr<Dict>(new Dict); }, op, &DictSound};
}

const throw_sweep::Check<Dict> kDictCheck = [](Dict& f) { return CPDictionaryInspector::Check(*f.d); };

TEST(ThrowSweepDictionary, KillFunctionsThatThrowLeaveTheUnkilledItems) {
  long n = 0;
  n += Sweep(DictCase("DestroyAll", [](Dict& f) { f.d->DestroyAll(&Kill); }), kDictCheck);
  n += Sweep(DictCase("DestroyKeyNum", [](Dict& f) { f.d->DestroyKeyNum(257, &Kill); }), kDictCheck);
  n += Sweep(DictCase("DestroyKeyString", [](Dict& f) { f.d->DestroyKeyString(kTexts[4], &Kill, nullptr); }),
             kDictCheck);
  n += Sweep(DictCase("DestroyKeyString(CPString)", [](Dict& f) { f.d->DestroyKeyString(&f.strKey, &Kill); }),
             kDictCheck);
  n += Sweep(DictCase("Destroy by item", [](Dict& f) { f.d->Destroy(Item(6), &Kill); }), kDictCheck);
  EXPECT_EQ(n, 10 + 4);
}

TEST(ThrowSweepDictionary, WalksThatThrowChangeNothing) {
  long n = 0;
  n += Sweep(DictCase("ForEach", [](Dict& f) { f.d->ForEach(&Action, nullptr); }), kDictCheck);
  n += Sweep(DictCase("ForEach with keys", [](Dict& f) { f.d->ForEach(&KeyAction, nullptr); }), kDictCheck);
  n += Sweep(DictCase("ForEachInternalContainer", [](Dict& f) { f.d->ForEachInternalContainer(&Action, nullptr); }),
             kDictCheck);
  n += Sweep(DictCase("ForEach(IteratorAction)",
                      [](Dict& f) {
                        Throwing act;
                        f.d->ForEach(&act);
                      }),
             kDictCheck);
  n += Sweep(DictCase("FirstThat", [](Dict& f) { f.d->FirstThat(&NoMatch, nullptr); }), kDictCheck);
  n += Sweep(DictCase("FirstThatInternalContainer",
                      [](Dict& f) { f.d->FirstThatInternalContainer(&NoMatch, nullptr); }),
             kDictCheck);
  n += Sweep(DictCase("FirstThatKeyCardinal",
                      [](Dict& f) { f.d->FirstThatKeyCardinal(reinterpret_cast<void*>(&NoMatch), nullptr); }),
             kDictCheck);
  n += Sweep(DictCase("ForEachKeyCardinal",
                      [](Dict& f) { f.d->ForEachKeyCardinal(reinterpret_cast<void*>(&Action), nullptr); }),
             kDictCheck);
  n += Sweep(DictCase("AllThat", [](Dict& f) { delete f.d->AllThat(&Match, nullptr); }), kDictCheck);
  n += Sweep(DictCase("AllThatInternalContainer",
                      [](Dict& f) { delete f.d->AllThatInternalContainer(&Match, nullptr); }),
             kDictCheck);
  EXPECT_EQ(n, 10 * 10);
}

// ---- the tree and the queue -----------------------------------------------------------

// A numeric tree, a string tree and a queue, each of 8 items.
struct Trees {
  std::unique_ptr<CPTree> num{new CPTree};
  std::unique_ptr<CPTree> text{new CPTree};
  std::unique_ptr<CPQueue> queue{new CPQueue};
  std::unique_ptr<IterationState> apits[3];
  Trees() {
    g_handed.clear();
    for (int i : {4, 2, 6, 1, 3, 5, 7, 0}) {
      num->AddKeyNum(static_cast<unsigned long>(10 * i), Item(i));
      text->AddKeyString(kTexts8[i], Item(8 + i), nullptr);
      queue->Add(Item(16 + i));
    }
    CPTree* apt[3] = {num.get(), text.get(), queue.get()};
    for (int k = 0; k < 3; ++k) {
      apt[k]->GotoTop();
      apt[k]->Next();
      apits[k].reset(apt[k]->CreateIterationState());
      apits[k]->gotoTop();
    }
  }
  static const char* const kTexts8[8];
};
const char* const Trees::kTexts8[8] = {"ash", "birch", "cedar", "elm", "fir", "larch", "oak", "yew"};

::testing::AssertionResult TreesSound(Trees& f, long) {
  CPTree* apt[3] = {f.num.get(), f.text.get(), f.queue.get()};
  for (int k = 0; k < 3; ++k) {
    apt[k]->Retrieve();  // the built-in cursor: on a live node or off the tree
    apt[k]->Next();
    unsigned long nKept = 0;
    for (int i = 0; i < 8; ++i) {
      void* pvItem = Item(8 * k + i);
      void* pvFound = k == 0   ? f.num->FindKeyNum(static_cast<unsigned long>(10 * i))
                      : k == 1 ? f.text->FindKeyString(Trees::kTexts8[i], nullptr)
                               : f.queue->Find(pvItem);
      if (Handed(pvItem)) {
        if (pvFound) return ::testing::AssertionFailure() << "tree " << k << ": item " << i << " killed, still found";
        continue;
      }
      if (pvFound != pvItem) return ::testing::AssertionFailure() << "tree " << k << ": item " << i << " lost";
      ++nKept;
    }
    if (apt[k]->Length() != nKept || CursorWalk(*apt[k]) != nKept)
      return ::testing::AssertionFailure() << "tree " << k << ": Length() " << apt[k]->Length() << ", kept " << nKept;
    ::testing::AssertionResult r = StateSound(f.apits[k].get());
    if (!r) return r;
  }
  return ::testing::AssertionSuccess();
}

const throw_sweep::Check<Trees> kTreesCheck = [](Trees& f) {
  std::string s = CPTreeInspector::Check(*f.num);
  if (s.empty()) s = CPTreeInspector::Check(*f.text);
  if (s.empty()) s = CPTreeInspector::Check(*f.queue, false);
  return s;
};

Case<Trees> TreesCase(const std::string& name, std::function<void(CPTree&)> op, int k) {
  return {name, [] { return std::unique_ptr<Trees>(new Trees); },
          [op, k](Trees& f) {
            CPTree* apt[3] = {f.num.get(), f.text.get(), f.queue.get()};
            op(*apt[k]);
          },
          &TreesSound};
}

TEST(ThrowSweepTree, KillFunctionsThatThrowLeaveTheUnkilledItems) {
  long n = 0;
  for (int k = 0; k < 3; ++k) {
    std::string strWhich = k == 0 ? "numeric tree" : k == 1 ? "string tree" : "queue";
    n += Sweep(TreesCase(strWhich + " DestroyAll", [](CPTree& t) { t.DestroyAll(&Kill); }, k), kTreesCheck);
  }
  n += Sweep(TreesCase("DestroyKeyNum", [](CPTree& t) { t.DestroyKeyNum(40, &Kill); }, 0), kTreesCheck);
  n += Sweep(TreesCase("DestroyKeyString", [](CPTree& t) { t.DestroyKeyString("elm", &Kill, nullptr); }, 1),
             kTreesCheck);
  n += Sweep(TreesCase("Destroy", [](CPTree& t) { t.Destroy(Item(19), &Kill); }, 2), kTreesCheck);
  EXPECT_EQ(n, 3 * 8 + 3);
}

TEST(ThrowSweepTree, WalksThatThrowChangeNothing) {
  long n = 0;
  for (int k = 0; k < 3; ++k) {
    const std::string strWhich = k == 0 ? "numeric tree " : k == 1 ? "string tree " : "queue ";
    auto name = [&](const char* psz) { return strWhich + psz; };
    n += Sweep(TreesCase(name("ForEach"), [](CPTree& t) { t.ForEach(&Action, nullptr); }, k), kTreesCheck);
    n += Sweep(TreesCase(name("ForEachLeaf"), [](CPTree& t) { t.ForEachLeaf(&Action, nullptr); }, k), kTreesCheck);
    n += Sweep(TreesCase(name("ForEachInternalContainer"), [](CPTree& t) { t.ForEachInternalContainer(&Action, nullptr); },
                         k),
               kTreesCheck);
    n += Sweep(TreesCase(name("ForEach(IteratorAction)"),
                         [](CPTree& t) {
                           Throwing act;
                           t.ForEach(&act);
                         },
                         k),
               kTreesCheck);
    n += Sweep(TreesCase(name("FirstThat"), [](CPTree& t) { t.FirstThat(&NoMatch, nullptr); }, k), kTreesCheck);
    n += Sweep(TreesCase(name("FirstThat, NextThat"),
                         [](CPTree& t) {
                           t.FirstThat(&Match, nullptr);
                           while (t.NextThat(&Match, nullptr)) {
                           }
                         },
                         k),
               kTreesCheck);
    n += Sweep(TreesCase(name("FirstThatInternalContainer"),
                         [](CPTree& t) { t.FirstThatInternalContainer(&NoMatch, nullptr); }, k),
               kTreesCheck);
    n += Sweep(TreesCase(name("AllThat"), [](CPTree& t) { delete t.AllThat(&Match, nullptr); }, k), kTreesCheck);
    n += Sweep(TreesCase(name("AllThatInternalContainer"),
                         [](CPTree& t) { t.AllThatInternalContainer(&Match, nullptr)->Release(); }, k),
               kTreesCheck);
  }
  EXPECT_EQ(n, 3 * 9 * 8);
}

// ---- the reference collections ---------------------------------------------------------------

// An object whose AddRef and Release are caller code that may throw
// (before the count changes).
class Fragile : public Counted {
 public:
  explicit Fragile(int id) : Counted(id) {}
  long AddRef() override {
    if (!bReleaseThrows) Tick();
    return Counted::AddRef();
  }
  long Release() override {
    g_handed.push_back(this);
    if (bReleaseThrows) Tick();
    return Counted::Release();
  }
  // Which of the two may throw (a copy's destruction releases everything).
  static bool bReleaseThrows;
};

bool Fragile::bReleaseThrows = true;

template <class R>
struct Refs {
  std::vector<std::unique_ptr<Fragile>> objects;
  std::unique_ptr<R> r{new R};
  Refs() {
    for (int i = 0; i < 6; ++i) {
      objects.emplace_back(new Fragile(i));
      objects.back()->AddRef();  // the test's own reference
      r->AddKeyNum(i, objects.back().get());
    }
    g_handed.clear();
  }
  ~Refs() {
    r.reset();
    g_handed.clear();
  }
};

template <class R>
::testing::AssertionResult RefsSound(Refs<R>& f, long) {
  unsigned long nKept = 0;
  for (int i = 0; i < 6; ++i) {
    Fragile* p = f.objects[i].get();
    Createable* pFound = f.r->FindKeyNum(i);
    if (Handed(p)) {
      if (pFound) return ::testing::AssertionFailure() << "object " << i << " released and still found";
      // Its Release threw or ran: the collection holds no reference now,
      // except for the object whose Release threw before counting.
      continue;
    }
    if (pFound != p) return ::testing::AssertionFailure() << "object " << i << " lost";
    if (p->_get_nRefCount() != 2) return ::testing::AssertionFailure() << "object " << i << " lost its reference";
    ++nKept;
  }
  if (f.r->Length() != nKept) return ::testing::AssertionFailure() << "Length() " << f.r->Length();
  return ::testing::AssertionSuccess();
}

template <class R>
Case<Refs<R>> RefsCase(const char* name, std::function<void(R&)> op) {
  return {name, [] { return std::unique_ptr<Refs<R>>(new Refs<R>); }, [op](Refs<R>& f) { op(*f.r); },
          &RefsSound<R>};
}

TEST(ThrowSweepReference, ReleasesThatThrowLeaveNoFreedEntryReachable) {
  throw_sweep::Check<Refs<CrDictionary>> dictCheck = [](Refs<CrDictionary>& f) {
    ::testing::AssertionResult r = CrDictionaryInspector::Check(*f.r);
    return r ? CPDictionaryInspector::Check(*CrDictionaryInspector::Wrapped(*f.r)) : std::string(r.message());
  };
  throw_sweep::Check<Refs<CrTree>> treeCheck = [](Refs<CrTree>& f) { return CrTreeInspector::Check(*f.r); };
  long n = 0;
  n += Sweep(RefsCase<CrDictionary>("CrDictionary RemoveAll", [](CrDictionary& r) { r.RemoveAll(); }), dictCheck);
  n += Sweep(RefsCase<CrDictionary>("CrDictionary RemoveKeyNum", [](CrDictionary& r) { r.RemoveKeyNum(3); }),
             dictCheck);
  n += Sweep(RefsCase<CrTree>("CrTree RemoveAll", [](CrTree& r) { r.RemoveAll(); }), treeCheck);
  n += Sweep(RefsCase<CrTree>("CrTree RemoveKeyNum", [](CrTree& r) { r.RemoveKeyNum(3); }), treeCheck);
  EXPECT_EQ(n, 2 * 6 + 2);
}

// A copy whose AddRef throws leaves no copy and no extra reference.
template <class R>
::testing::AssertionResult Untouched(Refs<R>& f, long) {
  for (int i = 0; i < 6; ++i)
    if (f.r->FindKeyNum(i) != f.objects[i].get() || f.objects[i]->_get_nRefCount() != 2)
      return ::testing::AssertionFailure() << "object " << i << " has " << f.objects[i]->_get_nRefCount()
                                           << " references";
  return ::testing::AssertionSuccess();
}

// Copy construction and assignment of R, each AddRef throwing in turn.
template <class R>
long SweepCopies(const std::string& strName, const throw_sweep::Check<Refs<R>>& check) {
  Case<Refs<R>> c = RefsCase<R>((strName + " copy").c_str(), [](R& r) { R copy(r); });
  c.verify = &Untouched<R>;
  long n = Sweep(c, check);
  c = RefsCase<R>((strName + " assignment").c_str(), [](R& r) {
    R target;
    target = r;
  });
  c.verify = &Untouched<R>;
  return n + Sweep(c, check);
}

TEST(ThrowSweepReference, CopiesWhoseAddRefThrowsTakeNoReference) {
  Fragile::bReleaseThrows = false;
  long n = SweepCopies<CrDictionary>("CrDictionary", [](Refs<CrDictionary>& f) {
    return CPDictionaryInspector::Check(*CrDictionaryInspector::Wrapped(*f.r));
  });
  n += SweepCopies<CrTree>("CrTree", [](Refs<CrTree>& f) { return CrTreeInspector::Check(*f.r); });
  Fragile::bReleaseThrows = true;
  EXPECT_EQ(n, 4 * 6);
}

// An object whose count is full: the adds report before storing it.
template <class R>
void FullCountIsReportedBeforeTheAdd(const char* pszSource) {
  Counted full(1);
  for (long i = 0; i < 0xFFFF; ++i) full.AddRef();
  CPString str("key");
  str.AddRef();
  R r;
  EXPECT_REPORT(r.AddKeyNum(1, &full), Exceptions::eAssert, pszSource, "nRefCount < 0xFFFF");
  EXPECT_EQ(r.FindKeyNum(1), nullptr);
  R rText;
  EXPECT_REPORT(rText.AddKeyString("key", &full, nullptr), Exceptions::eAssert, pszSource, "nRefCount < 0xFFFF");
  EXPECT_REPORT(rText.AddKeyString(&str, &full), Exceptions::eAssert, pszSource, "nRefCount < 0xFFFF");
  EXPECT_EQ(rText.FindKeyString("key", nullptr), nullptr);
  EXPECT_EQ(r.Length() + rText.Length(), 0u);
  EXPECT_EQ(full._get_nRefCount(), 0xFFFF);
  EXPECT_EQ(str._get_nRefCount(), 1);
  for (long i = 0; i < 0xFFFF - 1; ++i) full.Release();
}

TEST(ReferenceAdds, FullReferenceCountIsReportedWithNothingStored) {
  FullCountIsReportedBeforeTheAdd<CrDictionary>("cpcoll\\crdict");
  FullCountIsReportedBeforeTheAdd<CrTree>("cpcoll\\crtree");
}

// ---- queue assignment ---------------------------------------------------------------------------

TEST(QueueAssignment, FailedAllocationLeavesTheTargetAsItWas) {
  CPQueue from, to;
  for (int i = 0; i < 4; ++i) from.Add(Item(i));
  to.Add(Item(9));
  to.Insert(Item(8));
  for (long nth = 1;; ++nth) {
    Createable::SetAllocationFailure(nth);
    bool bReported = false;
    try {
      to = from;
    } catch (const AssertionFailure&) {
      bReported = true;
    }
    Createable::SetAllocationFailure(0);
    if (!bReported) break;
    ASSERT_EQ(to.Length(), 2u) << "allocation " << nth;
    EXPECT_EQ(to._get_plfHead()->_get_pvData(), Item(8));
    EXPECT_EQ(to._get_plfTail()->_get_pvData(), Item(9));
    EXPECT_EQ(CPTreeInspector::Check(to, false), "");
  }
  ASSERT_EQ(to.Length(), 4u);
  EXPECT_EQ(to.DetachTop(), Item(0));  // the source's order
  EXPECT_EQ(CPTreeInspector::Check(to, false), "");
}

}  // namespace
