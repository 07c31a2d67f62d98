// Allocation-failure sweeps over the ordered containers: CPTree (nodes,
// the merge vector, result trees, the string-key registry), CPQueue and
// CrTree.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPQueue.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crtree.h>

#include "support/alloc_sweep.h"
#include "support/counted.h"
#include "support/crtree_inspector.h"
#include "support/tree_inspector.h"

namespace alloc_sweep = tarncoll::test::alloc_sweep;

using alloc_sweep::Asrt;
using alloc_sweep::Case;
using alloc_sweep::Nil;
using alloc_sweep::Probe;
using alloc_sweep::Sweep;

namespace {
const char kTree[] = "cpcoll\\BTree";
const char kDict[] = "cpcoll\\Cpdict";
const char kList[] = "cpcoll\\cplist";
const char kCollec[] = "cpcoll\\Cpcollec";
const char kCrDict[] = "cpcoll\\crdict";
const char kCrTree[] = "cpcoll\\crtree";

int g_anItems[64];
void* Item(int i) { return &g_anItems[i]; }
int IndexOf(const void* pv) { return pv ? static_cast<int>(static_cast<const int*>(pv) - g_anItems) : -1; }

// Keys in key order with their items, the shape, count, modification count
// and cursor; bText: string keys.
std::string TreeState(CPTree& t, bool bText) {
  std::ostringstream os;
  os << "len " << t.Length() << " xact " << t._get_nXACT() << " [";
  for (Leaf* plf = t._get_plfHead(); plf != nullptr; plf = plf->_get_plfNext())
    os << CPTreeInspector::Key(plf, bText) << "->" << IndexOf(plf->_get_pvData()) << ' ';
  Leaf* plfCursor = CPTreeInspector::Cursor(t);
  os << "] cursor " << (plfCursor ? CPTreeInspector::Key(plfCursor, bText) : std::string("-")) << " shape "
     << CPTreeInspector::Shape(t);
  return os.str();
}

std::unique_ptr<CPTree> NumberTree() {
  std::unique_ptr<CPTree> p(new CPTree);
  for (unsigned long k : {40ul, 20ul, 60ul, 10ul, 30ul, 50ul}) p->AddKeyNum(k, Item(static_cast<int>(k / 10)));
  p->GotoTop();
  p->Next();
  return p;
}

const Probe<CPTree> kNumbers = {[](CPTree& t) { return TreeState(t, false); },
                                [](CPTree& t) { return CPTreeInspector::Check(t); }};

std::string RegistryState() {
  return "registry " + std::to_string(CPTree::pcrdctStringKeys ? CPTree::pcrdctStringKeys->Length() : 0);
}

// String keys given as CPStrings, kept alive by the registry.
struct TextTree {
  std::vector<CPString*> keys;
  std::unique_ptr<CPTree> t{new CPTree};
  TextTree() {
    for (const char* psz : {"kiwi", "apple", "plum", "fig", "a key text long enough for a buffer"}) {
      keys.push_back(new CPString(psz));
      keys.back()->AddRef();
      t->AddKeyString(keys.back(), Item(static_cast<int>(keys.size())));
    }
  }
  ~TextTree() {
    for (CPString* p : keys) t->DetachKeyString(p);
    t.reset();
    for (CPString* p : keys) p->Release();
  }
};

const Probe<TextTree> kTexts = {[](TextTree& f) { return TreeState(*f.t, true) + " " + RegistryState(); },
                                [](TextTree& f) { return CPTreeInspector::Check(*f.t); }};

int Odd(void* pv, void*) { return IndexOf(pv) % 2; }
int AnyNode(void*, void*) { return 1; }
}  // namespace

// ---- insertions: the node is made before anything moves --------------------------------

TEST(SweepTree, InsertionsReportAndLeaveTreeAsItWas) {
  long n = 0;
  n += Sweep<CPTree>({"AddKeyNum", NumberTree, [](CPTree& t) { t.AddKeyNum(35, Item(9)); }, {Nil(kTree, "plfNew")}},
                     kNumbers);
  n += Sweep<CPTree>({"AddKeyNum into an empty tree",
                      [] { return std::unique_ptr<CPTree>(new CPTree); },
                      [](CPTree& t) { t.AddKeyNum(1, Item(1)); },
                      {Nil(kTree, "plfNew")}},
                     kNumbers);
  n += Sweep<CPTree>({"Add (item as key)",
                      [] { return std::unique_ptr<CPTree>(new CPTree); },
                      [](CPTree& t) {
                        t.Add(Item(3));
                        t.Add(Item(1));
                      },
                      {Nil(kTree, "plfNew")},
                      false,
                      false,
                      [](CPTree& t, const std::string&) {
                        // The second node failed: the first stays.
                        if (t.Length() == 1 && t.Find(Item(3)) == Item(3)) return ::testing::AssertionSuccess();
                        return ::testing::AssertionFailure() << TreeState(t, false);
                      }},
                     kNumbers);
  auto texts = [] { return std::unique_ptr<TextTree>(new TextTree); };
  n += Sweep<TextTree>({"AddKeyString(const char*)",
                        texts,
                        [](TextTree& f) { f.t->AddKeyString("melon", Item(9), nullptr); },
                        {Nil(kTree, "plfNew")}},
                       kTexts);
  EXPECT_EQ(n, 1 + 1 + 2 + 1);
}

// A new key string is registered after its node is in: a failed
// registration takes the node out again, and leaves the registry and the
// string's references as they were.  Taking the node out rebalances, so
// the shape may differ from before; keys, items and counts may not.
TEST(SweepTree, StringObjectKeysRegisterOrLeaveNothing) {
  // The registry holds references on key strings, so they live on the heap
  // with a reference of the test's own.
  struct Keys {
    CPString* pstr[3] = {new CPString("cherry"), new CPString("another key text long enough for a buffer"),
                         new CPString("plum")};
    Keys() {
      for (CPString* p : pstr) p->AddRef();
    }
    ~Keys() {
      for (CPString* p : pstr) p->Release();
    }
  } keys;
  auto texts = [] { return std::unique_ptr<TextTree>(new TextTree); };
  std::vector<alloc_sweep::Report> reports = {Nil(kTree, "plfNew"),       Nil(kTree, "pcrdctStringKeys"),
                                              Nil(kDict, "pdaThis"),      Nil(kDict, "plstSlot"),
                                              Asrt(kList, "pbktNew !=0"), Nil(kCrDict, "pdctThe")};
  auto addThenDetach = [](CPString* pstr) {
    return [pstr](TextTree& f) {
      f.t->AddKeyString(pstr, Item(9));
      f.t->DetachKeyString(pstr);  // an undisturbed run leaves the registry as it was
    };
  };
  Probe<TextTree> content = {[](TextTree& f) {
                               std::string s = kTexts.snapshot(f);
                               return s.erase(s.find(" shape"), s.find(" registry") - s.find(" shape"));
                             },
                             kTexts.check};
  Case<TextTree> c1 = {"AddKeyString(CPString) new text", texts, addThenDetach(keys.pstr[0]), reports, true, true};
  Case<TextTree> c2 = {"AddKeyString(CPString) new long text", texts, addThenDetach(keys.pstr[1]), reports, true, true};
  // "plum" stays registered after its node goes by text: adding it again
  // uses the registered buffer and needs only a node.
  Case<TextTree> c3 = {"AddKeyString(CPString) registered text",
                       [] {
                         std::unique_ptr<TextTree> p(new TextTree);
                         p->t->DetachKeyString("plum", nullptr);
                         return p;
                       },
                       [&keys](TextTree& f) { f.t->AddKeyString(keys.pstr[2], Item(9)); },
                       reports,
                       true,
                       true};
  long n = Sweep(c1, content) + Sweep(c2, content) + Sweep(c3, kTexts);
  for (CPString* p : keys.pstr) EXPECT_EQ(p->_get_nRefCount(), 1);  // the registry gave back every reference
  EXPECT_GE(n, 2 * 2 + 1);
}

// ---- results, copies and merging ------------------------------------------------------------

TEST(SweepTree, ResultsAndCopiesLeaveTheSourceAlone) {
  std::vector<alloc_sweep::Report> reports = {Nil(kTree, "ptreeA"), Nil(kTree, "plfNew")};
  long n = 0;
  n += Sweep<CPTree>({"AllThat", NumberTree, [](CPTree& t) { delete t.AllThat(&Odd, nullptr); }, reports}, kNumbers);
  n += Sweep<CPTree>({"AllThatInternalContainer", NumberTree,
                      [](CPTree& t) {
                        CPCollection* p = t.AllThatInternalContainer(&AnyNode, nullptr);
                        if (p) p->Release();
                      },
                      reports},
                     kNumbers);
  n += Sweep<CPTree>({"copy construction", NumberTree, [](CPTree& t) { CPTree copy(t); }, reports}, kNumbers);
  n += Sweep<CPTree>(
      {"BuildVector", NumberTree, [](CPTree& t) { delete[] t.BuildVector(); }, {Nil(kCollec, "ppvVector")}}, kNumbers);
  n += Sweep<CPTree>({"CreateInstance and CreateIterationState",
                      NumberTree,
                      [](CPTree& t) {
                        delete t.CreateInstance();
                        delete t.CreateIterationState();
                      },
                      {},
                      false,
                      true},
                     kNumbers);
  EXPECT_GE(n, 1 + 3 + 1 + 6 + 6 + 1 + 2);
}

namespace {
struct TwoTrees {
  std::unique_ptr<CPTree> to = NumberTree();
  std::unique_ptr<CPTree> from{new CPTree};
  TwoTrees() {
    for (unsigned long k : {5ul, 25ul, 40ul, 70ul}) from->AddKeyNum(k, Item(static_cast<int>(k / 5)));
  }
};
const Probe<TwoTrees> kTwoTrees = {
    [](TwoTrees& t) { return TreeState(*t.to, false) + " | " + TreeState(*t.from, false); },
    [](TwoTrees& t) { return CPTreeInspector::Check(*t.to) + CPTreeInspector::Check(*t.from); }};
std::unique_ptr<TwoTrees> Two() { return std::unique_ptr<TwoTrees>(new TwoTrees); }
}  // namespace

TEST(SweepTree, MergeNeedsOnlyItsVector) {
  long n = Sweep<TwoTrees>({"Merge", Two, [](TwoTrees& t) { t.to->Merge(t.from.get()); }, {Nil(kTree, "pplfVector")}},
                           kTwoTrees);
  EXPECT_EQ(n, 1);
}

// Assignment builds the copy before it frees the target's nodes: a failure
// leaves the target exactly as it was (nodes, cursor, counts, key kind; for
// a string-keyed target the registry's uses too), the source untouched.
TEST(SweepTree, AssignmentIsAllOrNothing) {
  auto assign = [](TwoTrees& t) { *t.to = *t.from; };
  long n = Sweep<TwoTrees>({"operator= over numeric keys", Two, assign, {Nil(kTree, "plfNew")}}, kTwoTrees);
  auto textTarget = [] {
    std::unique_ptr<TwoTrees> p(new TwoTrees);
    p->to.reset(new CPTree);
    p->to->AddKeyString("kept", Item(1), nullptr);
    p->to->AddKeyString("also kept", Item(2), nullptr);
    return p;
  };
  n += Sweep<TwoTrees>({"operator= over string keys", textTarget, assign, {Nil(kTree, "plfNew")}}, kTwoTrees);
  EXPECT_EQ(n, 4 + 4);
}

// ---- queue ------------------------------------------------------------------------------------

TEST(SweepTree, QueueInsertionsReportAndLeaveQueueAsItWas) {
  auto queue = [] {
    std::unique_ptr<CPQueue> p(new CPQueue);
    for (int i = 0; i < 5; ++i) p->Add(Item(i));
    return p;
  };
  Probe<CPQueue> probe = {[](CPQueue& q) { return TreeState(q, false); },
                          [](CPQueue& q) { return CPTreeInspector::Check(q, false); }};
  long n = Sweep<CPQueue>({"Add", queue, [](CPQueue& q) { q.Add(Item(9)); }, {Nil(kTree, "plfNew")}}, probe);
  n += Sweep<CPQueue>({"Insert", queue, [](CPQueue& q) { q.Insert(Item(9)); }, {Nil(kTree, "plfNew")}}, probe);
  n += Sweep<CPQueue>({"copy construction", queue, [](CPQueue& q) { CPQueue copy(q); }, {Nil(kTree, "plfNew")}}, probe);
  n += Sweep<CPQueue>({"CreateInstance", queue, [](CPQueue& q) { delete q.CreateInstance(); }, {}, false, true}, probe);
  EXPECT_EQ(n, 1 + 1 + 5 + 1);
}

// ---- reference tree ----------------------------------------------------------------------------

namespace {
struct RefTree {
  std::vector<Counted*> objects;
  std::unique_ptr<CrTree> t{new CrTree};
  RefTree() {
    for (int i = 0; i < 5; ++i) {
      objects.push_back(new Counted(i));
      objects.back()->AddRef();
    }
    for (int i = 0; i < 3; ++i) t->AddKeyNum(10 * (i + 1), objects[i]);
  }
  ~RefTree() {
    t.reset();
    for (Counted* p : objects) p->Release();
  }
};

std::string RefTreeState(RefTree& f) {
  std::ostringstream os;
  CPTree* ptree = CrTreeInspector::Tree(*f.t);
  os << "len " << ptree->Length() << " xact " << ptree->_get_nXACT() << " [";
  for (Leaf* plf = ptree->_get_plfHead(); plf != nullptr; plf = plf->_get_plfNext())
    os << CPTreeInspector::Key(plf) << "->" << static_cast<Counted*>(plf->_get_pvData())->Id() << ' ';
  os << "] refs";
  for (Counted* p : f.objects) os << ' ' << p->_get_nRefCount();
  return os.str();
}

const Probe<RefTree> kRefTree = {
    [](RefTree& f) { return RefTreeState(f); },
    [](RefTree& f) { return CrTreeInspector::Check(*f.t) + CPTreeInspector::Check(*CrTreeInspector::Tree(*f.t)); }};
std::unique_ptr<RefTree> Refs() { return std::unique_ptr<RefTree>(new RefTree); }
}  // namespace

TEST(SweepCrTree, AddsTakeNoReferenceWhenTheyFail) {
  std::vector<alloc_sweep::Report> reports = {Nil(kTree, "plfNew"), Nil(kCrTree, "ptreeThe")};
  long n = 0;
  n += Sweep<RefTree>({"AddKeyNum", Refs, [](RefTree& f) { f.t->AddKeyNum(25, f.objects[4]); }, reports}, kRefTree);
  n += Sweep<RefTree>({"copy construction", Refs, [](RefTree& f) { CrTree copy(*f.t); }, reports}, kRefTree);
  n += Sweep<RefTree>({"construction", Refs, [](RefTree&) { CrTree t; }, reports}, kRefTree);
  EXPECT_EQ(n, 1 + 4 + 1);
}

// A string key object goes through the tree's registry: a failure anywhere
// leaves the object's and the key's references as they were.
TEST(SweepCrTree, StringObjectAddsLeaveReferencesAsTheyWere) {
  struct TextRefTree {
    Counted* pobj = new Counted(7);
    CPString* pstrKey = new CPString("a registered key text of some length");
    std::unique_ptr<CrTree> t{new CrTree};
    TextRefTree() {
      pobj->AddRef();
      pstrKey->AddRef();
      t->AddKeyString("first", pobj, nullptr);
    }
    ~TextRefTree() {
      t->DetachKeyString(pstrKey);
      EXPECT_EQ(t->FindKeyString("first", nullptr), pobj);
      t.reset();
      EXPECT_EQ(pobj->_get_nRefCount(), 1);
      EXPECT_EQ(pstrKey->_get_nRefCount(), 1);
      pobj->Release();
      pstrKey->Release();
    }
  };
  Case<TextRefTree> c;
  c.name = "CrTree::AddKeyString(CPString)";
  c.make = [] { return std::unique_ptr<TextRefTree>(new TextRefTree); };
  c.op = [](TextRefTree& f) {
    if (f.t->AddKeyString(f.pstrKey, f.pobj) == 1) {
      f.t->DetachKeyString(f.pstrKey);  // hands the reference back to us
      f.pobj->Release();
    }
  };
  c.reports = {Nil(kTree, "plfNew"),       Nil(kDict, "pdaThis"),   Nil(kDict, "plstSlot"),
               Asrt(kList, "pbktNew !=0"), Nil(kCrDict, "pdctThe"), Nil(kTree, "pcrdctStringKeys")};
  c.bBadAlloc = true;
  c.bFallback = true;
  Probe<TextRefTree> probe = {[](TextRefTree& f) {
                                CPTree* ptree = CrTreeInspector::Tree(*f.t);
                                return std::to_string(ptree->Length()) + " refs " +
                                       std::to_string(f.pobj->_get_nRefCount()) + "," +
                                       std::to_string(f.pstrKey->_get_nRefCount()) + " " + RegistryState();
                              },
                              [](TextRefTree& f) { return CrTreeInspector::Check(*f.t); }};
  EXPECT_GE(Sweep(c, probe), 2);
}
