// The keyed containers as base classes whose virtual operations a user's
// class overrides: every operation defined through another virtual one
// reaches the override, in order, and uses its result.  Recording derived
// classes log each override's call and forward to the base.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPQueue.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crtree.h>

#include "support/counted.h"
#include "support/dictionary_inspector.h"
#include "support/tree_inspector.h"

namespace {

int g_items[16];
void* Item(int i) { return &g_items[i]; }

typedef std::vector<std::string> Calls;

// The calls logged since the last Take(), cleared.
struct Log {
  Calls calls;
  void Note(const char* psz) { calls.push_back(psz); }
  Calls Take() {
    Calls c;
    c.swap(calls);
    return c;
  }
};

std::vector<void*> g_killed;
void Kill(void* pv, void*) { g_killed.push_back(pv); }

// ---- the dictionary -----------------------------------------------------------------

// Logs the keyed operations; vetoed keys count as present whatever is
// stored, hidden ones as absent.
class RecDict : public CPDictionary {
 public:
  Log log;
  std::set<unsigned long> vetoed;
  std::set<std::string> hidden;
  using CPDictionary::AddKeyString;
  using CPDictionary::FindKeyString;

  long ExistsKeyNum(unsigned long n) override {
    log.Note("ExistsKeyNum");
    return vetoed.count(n) ? 1 : CPDictionary::ExistsKeyNum(n);
  }
  long ExistsKeyString(CPString* p) override {
    log.Note("ExistsKeyString(CPString)");
    return CPDictionary::ExistsKeyString(p);
  }
  long ExistsKeyString(const char* psz, unsigned long* pnCRC) override {
    log.Note("ExistsKeyString(text)");
    if (psz && pnCRC) lastCRC = *pnCRC;
    if (psz && hidden.count(psz)) return 0;
    return CPDictionary::ExistsKeyString(psz, pnCRC);
  }
  void* FindKeyString(const char* psz, unsigned long* pnCRC) override {
    log.Note("FindKeyString(text)");
    return CPDictionary::FindKeyString(psz, pnCRC);
  }
  void AddKeyNum(unsigned long n, void* pv) override {
    log.Note("AddKeyNum");
    CPDictionary::AddKeyNum(n, pv);
  }
  void AddKeyString(CPString* p, void* pv) override {
    log.Note("AddKeyString(CPString)");
    CPDictionary::AddKeyString(p, pv);
  }
  void DetachKeyString(const char* psz, unsigned long* pnCRC) override {
    log.Note("DetachKeyString(text)");
    CPDictionary::DetachKeyString(psz, pnCRC);
  }
  void DetachKeyString(CPString* p) override {
    log.Note("DetachKeyString(CPString)");
    CPDictionary::DetachKeyString(p);
  }
  void DetachKeyNum(unsigned long n) override {
    log.Note("DetachKeyNum");
    CPDictionary::DetachKeyNum(n);
  }
  void DestroyKeyNum(unsigned long n, CPKillFunc k) override {
    log.Note("DestroyKeyNum");
    CPDictionary::DestroyKeyNum(n, k);
  }
  void DestroyKeyString(const char* psz, CPKillFunc k, unsigned long* pnCRC) override {
    log.Note("DestroyKeyString(text)");
    CPDictionary::DestroyKeyString(psz, k, pnCRC);
  }
  void DestroyKeyString(CPString* p, CPKillFunc k) override {
    log.Note("DestroyKeyString(CPString)");
    CPDictionary::DestroyKeyString(p, k);
  }
  void* RetrieveIDX(unsigned long i) override {
    log.Note("RetrieveIDX");
    return CPDictionary::RetrieveIDX(i);
  }
  void* FirstThat(CPConditionFunc c, void* u) override {
    log.Note("FirstThat");
    return CPDictionary::FirstThat(c, u);
  }
  void ForEachInternalContainer(CPActionFunc a, void* u) override {
    log.Note("ForEachInternalContainer");
    CPDictionary::ForEachInternalContainer(a, u);
  }
  void GotoTop() override {
    log.Note("GotoTop");
    CPDictionary::GotoTop();
  }
  long Next() override {
    log.Note("Next");
    return CPDictionary::Next();
  }
  void* RetrieveInternalContainer() override {
    log.Note("RetrieveInternalContainer");
    return CPDictionary::RetrieveInternalContainer();
  }
  unsigned long lastCRC = 0;
};

unsigned long CRCOf(const char* psz) {
  unsigned short n = 0;
  return CPDictionary::c16The.Calc(psz, &n, nullptr) ? n : 0;
}

TEST(DerivedDictionary, AddsAskTheVirtualExistenceTestsAndObeyThem) {
  RecDict d;
  d.AddKeyNum(7, Item(1));
  EXPECT_EQ(d.log.Take(), (Calls{"AddKeyNum", "ExistsKeyNum"}));
  d.vetoed.insert(8);
  d.AddKeyNum(8, Item(2));  // the override calls 8 present: nothing is added
  d.Add(Item(3));           // through the virtual AddKeyNum
  EXPECT_EQ(d.log.Take(), (Calls{"AddKeyNum", "ExistsKeyNum", "AddKeyNum", "ExistsKeyNum"}));
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d.FindKeyNum(8), nullptr);

  d.AddKeyString("kiwi", Item(4), nullptr);
  EXPECT_EQ(d.log.Take(), (Calls{"ExistsKeyString(text)", "FindKeyString(text)"}));
  EXPECT_EQ(d.lastCRC, CRCOf("kiwi"));  // the CRC computed before the test
  CPString str("plum");
  d.AddKeyString(&str, Item(5));
  EXPECT_EQ(d.log.Take(), (Calls{"AddKeyString(CPString)", "ExistsKeyString(text)", "FindKeyString(text)"}));
  EXPECT_EQ(d.lastCRC, static_cast<unsigned long>(str._get_nCRC()));

  // The override calls a stored key absent: its result is used, and the
  // second entry of the key is stored behind the first.
  d.hidden.insert("kiwi");
  d.AddKeyString("kiwi", Item(6), nullptr);
  EXPECT_EQ(d.Length(), 5u);
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");
  EXPECT_EQ(d.FindKeyString("kiwi", nullptr), Item(4));
  d.DetachKeyString("kiwi", nullptr);
  EXPECT_EQ(d.FindKeyString("kiwi", nullptr), Item(6));
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");
}

TEST(DerivedDictionary, StringObjectFormsForwardToTheTextForms) {
  RecDict d;
  CPString str("fig");
  d.AddKeyString(&str, Item(1));
  d.log.Take();
  EXPECT_EQ(d.FindKeyString(&str), Item(1));
  EXPECT_EQ(d.ExistsKeyString(&str), 1);
  EXPECT_EQ(d.log.Take(), (Calls{"FindKeyString(text)", "ExistsKeyString(CPString)", "ExistsKeyString(text)",
                                 "FindKeyString(text)"}));
  d.DestroyKeyString(&str, &Kill);
  EXPECT_EQ(d.log.Take(), (Calls{"DestroyKeyString(CPString)", "DestroyKeyString(text)"}));
  d.AddKeyString(&str, Item(2));
  d.log.Take();
  d.DetachKeyString(&str);
  EXPECT_EQ(d.log.Take(), (Calls{"DetachKeyString(CPString)", "DetachKeyString(text)"}));
  EXPECT_EQ(d.Length(), 0u);
}

TEST(DerivedDictionary, RemovalsByItemWalkTheCursorAndCallTheKeyedRemovals) {
  RecDict d;
  d.AddKeyNum(0, Item(1));                  // slot 0: walked first
  d.AddKeyString("fig", Item(2), nullptr);  // behind it, in slot 0 or later
  d.log.Take();
  EXPECT_EQ(d.Detach(Item(2)), 1);
  Calls c = d.log.Take();
  ASSERT_GE(c.size(), 3u);
  EXPECT_EQ(c.front(), "GotoTop");
  EXPECT_EQ(c[c.size() - 2], "DetachKeyString(CPString)");
  EXPECT_EQ(c.back(), "DetachKeyString(text)");
  EXPECT_NE(std::find(c.begin(), c.end(), "Next"), c.end());
  EXPECT_EQ(d.FindKeyString("fig", nullptr), nullptr);

  g_killed.clear();
  EXPECT_EQ(d.Destroy(Item(1), &Kill), 1);
  c = d.log.Take();
  EXPECT_EQ(c.back(), "DestroyKeyNum");
  EXPECT_EQ(g_killed, (std::vector<void*>{Item(1)}));
  d.AddKeyString("fig", Item(3), nullptr);
  d.log.Take();
  EXPECT_EQ(d.Destroy(Item(3), &Kill), 1);
  c = d.log.Take();
  EXPECT_EQ(c[c.size() - 2], "DestroyKeyString(CPString)");
  EXPECT_EQ(d.Length(), 0u);
  EXPECT_EQ(d.Detach(Item(3)), 0);
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");
}

TEST(DerivedDictionary, WalksAndPositionalReadsGoThroughTheirVirtualSteps) {
  RecDict d;
  for (unsigned long k = 1; k <= 3; ++k) d.AddKeyNum(k, Item(static_cast<int>(k)));
  CPList lst;
  CPDictionaryAssociation da;
  da.SetKeyString("pear");
  da.SetValue(Item(9));
  lst.Add(&da);
  d.log.Take();
  d.AddList(&lst);
  EXPECT_EQ(d.log.Take(), (Calls{"AddKeyString(CPString)", "ExistsKeyString(text)", "FindKeyString(text)"}));
  lst.DetachAll();

  struct Seen {
    std::vector<void*> items;
    static void Step(void* pv, void* pu, void*) { static_cast<Seen*>(pu)->items.push_back(pv); }
  } seen;
  d.ForEach(&Seen::Step, &seen);
  EXPECT_EQ(d.log.Take(), Calls{"ForEachInternalContainer"});
  EXPECT_EQ(seen.items.size(), 4u);

  void* pvSecond = d[1];  // through RetrieveIDX, whose vector fill walks
  EXPECT_EQ(d.log.Take(), (Calls{"RetrieveIDX", "ForEachInternalContainer"}));
  EXPECT_EQ(pvSecond, CPDictionaryInspector::Entries(d)[1]->GetValue());
  EXPECT_EQ(d.ExistsValue(Item(3)), 1);
  EXPECT_EQ(d.log.Take(), Calls{"FirstThat"});

  struct Count : IteratorAction {
    int n = 0;
    short Perform() override { return static_cast<short>(++n); }
  } act;
  d.ForEach(&act);  // the built-in cursor's walk: top, then read and step
  Calls c = d.log.Take();
  EXPECT_EQ(act.n, 4);
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(c.front(), "GotoTop");
  EXPECT_EQ(std::count(c.begin(), c.end(), "RetrieveInternalContainer"), 5);
  EXPECT_EQ(std::count(c.begin(), c.end(), "Next"), 4);
}

// ---- the tree and the queue ----------------------------------------------------------

// Logs the tree's virtual steps with the nodes the hooks receive.
template <class Base>
class RecTree : public Base {
 public:
  Log log;
  std::vector<const Leaf*> inserted, positions, removed;
  bool bHookSawNodeInTree = false;

  void* FindKeyNum(unsigned long n) override {
    log.Note("FindKeyNum");
    return Base::FindKeyNum(n);
  }
  void* NextThat(CPConditionFunc c, void* u) override {
    log.Note("NextThat");
    return Base::NextThat(c, u);
  }
  void* NextThatInternalContainer(CPConditionFunc c, void* u) override {
    log.Note("NextThatInternalContainer");
    return Base::NextThatInternalContainer(c, u);
  }
  void GotoTop() override {
    log.Note("GotoTop");
    Base::GotoTop();
  }
  char DetachAll() override {
    log.Note("DetachAll");
    return Base::DetachAll();
  }
  // The protected hooks, called directly as a derived class may.
  void CallListInsert(Leaf* plf, Leaf* plfPos) { Base::ListInsert(plf, plfPos); }
  void CallListRemove(Leaf* plf) { Base::ListRemove(plf); }

 protected:
  void ListInsert(Leaf* plf, Leaf* plfPos) override {
    log.Note("ListInsert");
    inserted.push_back(plf);
    positions.push_back(plfPos);
    Base::ListInsert(plf, plfPos);
  }
  void ListRemove(Leaf* plf) override {
    log.Note("ListRemove");
    removed.push_back(plf);
    // Called before the node leaves the tree: still found by its key.
    bHookSawNodeInTree = this->FindLeaf(plf->_get_pvKey(), 0) == plf;
    Base::ListRemove(plf);
  }
};

int Always(void*, void*) { return 1; }

template <class T>
class DerivedTree : public ::testing::Test {};
typedef ::testing::Types<CPTree, CPQueue> TreeTypes;
TYPED_TEST_SUITE(DerivedTree, TreeTypes);

TYPED_TEST(DerivedTree, InsertionAndRemovalGoThroughTheListHooks) {
  RecTree<TypeParam> t;
  t.AddKeyNum(20, Item(2));
  t.AddKeyNum(10, Item(1));
  t.AddKeyNum(30, Item(3));
  t.AddKeyNum(30, Item(4));  // an equal key: no node, no hook
  EXPECT_EQ(t.log.Take(), (Calls{"ListInsert", "ListInsert", "ListInsert"}));
  ASSERT_EQ(t.positions.size(), 3u);
  EXPECT_EQ(t.positions[0], nullptr);  // the first node has no parent
  EXPECT_EQ(t.positions[1], t.inserted[0]);
  EXPECT_EQ(t.positions[2], t.inserted[0]);
  EXPECT_EQ(t.inserted[1]->_get_plfParent(), t.inserted[0]);

  Leaf* plfRoot = t._get_plfRoot();
  t.DetachKeyNum(20);  // two children: the replacement moves up
  EXPECT_EQ(t.log.Take(), Calls{"ListRemove"});
  EXPECT_EQ(t.removed.back(), plfRoot);
  EXPECT_TRUE(t.bHookSawNodeInTree);
  t.DestroyKeyNum(10, &Kill);
  t.Detach(reinterpret_cast<void*>(30ul));
  EXPECT_EQ(t.log.Take(), (Calls{"ListRemove", "ListRemove"}));
  EXPECT_TRUE(t.bHookSawNodeInTree);
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(t._get_plfHead(), nullptr);
  EXPECT_EQ(CPTreeInspector::Check(t, false), "");
}

TYPED_TEST(DerivedTree, ProtectedHooksTakeNullNodesAndEmptyLists) {
  RecTree<TypeParam> t;
  t.CallListInsert(nullptr, nullptr);  // nothing
  t.CallListRemove(nullptr);           // nothing
  EXPECT_EQ(t._get_plfHead(), nullptr);
  EXPECT_EQ(t._get_plfTail(), nullptr);
  Leaf lf(reinterpret_cast<void*>(5ul), Item(5));
  t.CallListRemove(&lf);  // an empty list: nothing, the node's links stay
  EXPECT_EQ(t._get_plfHead(), nullptr);
  t.CallListInsert(&lf, nullptr);  // an empty list: head and tail, clear links
  EXPECT_EQ(t._get_plfHead(), &lf);
  EXPECT_EQ(t._get_plfTail(), &lf);
  EXPECT_EQ(lf._get_plfNext(), nullptr);
  EXPECT_EQ(lf._get_plfPrev(), nullptr);
  t.CallListRemove(nullptr);  // a non-empty list: still nothing
  EXPECT_EQ(t._get_plfHead(), &lf);
  t.CallListRemove(&lf);
  EXPECT_EQ(t._get_plfHead(), nullptr);
  EXPECT_EQ(t._get_plfTail(), nullptr);
}

TYPED_TEST(DerivedTree, LookupsWalksAndMergeCallTheirVirtualSteps) {
  RecTree<TypeParam> t;
  for (unsigned long k : {5ul, 6ul, 7ul}) t.AddKeyNum(k, Item(static_cast<int>(k)));
  t.log.Take();
  EXPECT_EQ(t.RetrieveIDX(6), Item(6));  // the index is a numeric key
  EXPECT_EQ(t.log.Take(), Calls{"FindKeyNum"});
  // FirstThat walks itself; only the caller's NextThat continues it.
  EXPECT_NE(t.FirstThat(&Always, nullptr), nullptr);
  EXPECT_NE(t.FirstThatInternalContainer(&Always, nullptr), nullptr);
  EXPECT_EQ(t.log.Take(), Calls{});

  RecTree<TypeParam> from;
  from.AddKeyNum(1, Item(1));
  from.AddKeyNum(6, Item(9));
  from.log.Take();
  t.Merge(&from);
  EXPECT_EQ(t.log.Take(), (Calls{"GotoTop", "DetachAll"}));
  EXPECT_EQ(from.log.Take(), (Calls{"GotoTop", "DetachAll"}));
  EXPECT_EQ(t.Length(), 4u);
  EXPECT_EQ(t.Find(reinterpret_cast<void*>(6ul)), Item(6));  // this tree's item stays
  EXPECT_EQ(from.Length(), 0u);
  EXPECT_EQ(CPTreeInspector::Check(t), "");
}

TEST(DerivedQueue, InsertAndDetachTopReachAQueueSubclassHooks) {
  RecTree<CPQueue> q;
  q.Add(Item(1));
  q.Insert(Item(2));
  EXPECT_EQ(q.log.Take(), (Calls{"ListInsert", "ListInsert"}));
  EXPECT_EQ(q.DetachTop(), Item(2));
  EXPECT_EQ(q.log.Take(), Calls{"ListRemove"});
  EXPECT_EQ(q.removed.back(), q.inserted[1]);
  EXPECT_EQ(q.DetachTop(), Item(1));
}

// ---- the reference collections --------------------------------------------------------

// Hides keys from the existence tests and lookups of a reference collection.
template <class Base>
class RecRef : public Base {
 public:
  Log log;
  bool bClaimPresent = false;  // ExistsKey* answer 1
  bool bClaimAbsent = false;   // FindKey* answer null

  short ExistsKeyNum(long n) override {
    log.Note("ExistsKeyNum");
    return bClaimPresent ? 1 : Base::ExistsKeyNum(n);
  }
  short ExistsKeyString(CPString* p) override {
    log.Note("ExistsKeyString(CPString)");
    return bClaimPresent ? 1 : Base::ExistsKeyString(p);
  }
  short ExistsKeyString(const char* psz, unsigned long* pn) override {
    log.Note("ExistsKeyString(text)");
    return bClaimPresent ? 1 : Base::ExistsKeyString(psz, pn);
  }
  Createable* FindKeyNum(long n) override {
    log.Note("FindKeyNum");
    return bClaimAbsent ? nullptr : Base::FindKeyNum(n);
  }
  Createable* FindKeyString(CPString* p) override {
    log.Note("FindKeyString(CPString)");
    return bClaimAbsent ? nullptr : Base::FindKeyString(p);
  }
  Createable* FindKeyString(const char* psz, unsigned long* pn) override {
    log.Note("FindKeyString(text)");
    return bClaimAbsent ? nullptr : Base::FindKeyString(psz, pn);
  }
};

template <class T>
class DerivedReference : public ::testing::Test {};
typedef ::testing::Types<CrDictionary, CrTree> RefTypes;
TYPED_TEST_SUITE(DerivedReference, RefTypes);

TYPED_TEST(DerivedReference, NumericAddsAndRemovesObeyTheOverrides) {
  Counted a(1), b(2);
  a.AddRef();  // the caller's own references: a release frees nothing
  b.AddRef();
  {
    RecRef<TypeParam> r;
    r.bClaimPresent = true;
    EXPECT_EQ(r.AddKeyNum(1, &a), 0);  // "present": nothing stored, no reference
    EXPECT_EQ(a._get_nRefCount(), 1);
    r.bClaimPresent = false;
    EXPECT_EQ(r.AddKeyNum(1, &a), 1);
    EXPECT_EQ(r.log.Take(), (Calls{"ExistsKeyNum", "ExistsKeyNum"}));
    r.bClaimAbsent = true;
    EXPECT_EQ(r.RemoveKeyNum(1), 0);  // "absent": nothing released
    EXPECT_EQ(a._get_nRefCount(), 2);
    r.bClaimAbsent = false;
    EXPECT_EQ(r.RemoveKeyNum(1), 1);
    EXPECT_EQ(r.log.Take(), (Calls{"FindKeyNum", "FindKeyNum"}));
    EXPECT_EQ(r.AddKeyNum(2, &b), 1);
    EXPECT_EQ(b._get_nRefCount(), 2);
  }
  EXPECT_EQ(a._get_nRefCount(), 1);
  EXPECT_EQ(b._get_nRefCount(), 1);
}

TYPED_TEST(DerivedReference, StringAddsAndRemovesObeyTheOverrides) {
  Counted a(1);
  a.AddRef();
  CPString* pstr = new CPString("key");
  pstr->AddRef();
  {
    RecRef<TypeParam> r;
    r.bClaimPresent = true;
    EXPECT_EQ(r.AddKeyString("key", &a, nullptr), 0);
    EXPECT_EQ(r.AddKeyString(pstr, &a), 0);
    EXPECT_EQ(r.log.Take(), (Calls{"ExistsKeyString(text)", "ExistsKeyString(CPString)"}));
    EXPECT_EQ(a._get_nRefCount(), 1);
    r.bClaimPresent = false;
    EXPECT_EQ(r.AddKeyString(pstr, &a), 1);
    r.bClaimAbsent = true;
    EXPECT_EQ(r.RemoveKeyString(pstr), 0);
    EXPECT_EQ(r.RemoveKeyString("key", nullptr), 0);
    EXPECT_EQ(a._get_nRefCount(), 2);
    r.bClaimAbsent = false;
    r.log.Take();
    EXPECT_EQ(r.RemoveKeyString("key", nullptr), 1);
    EXPECT_EQ(r.log.Take(), Calls{"FindKeyString(text)"});
    EXPECT_EQ(a._get_nRefCount(), 1);
  }
  CPTree unregister;  // drops the registry's entry of the text, if any
  unregister._set_etdsState(etreeString);
  unregister.DetachKeyString(pstr);
  EXPECT_EQ(pstr->_get_nRefCount(), 1);
  pstr->Release();
  EXPECT_EQ(a._get_nRefCount(), 1);
}

}  // namespace
