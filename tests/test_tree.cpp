// CPTree with numeric keys: shapes after insertion and removal, key kinds,
// the keyed and item operations, cursors, walks, merge, copying and
// allocation failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>

#include "support/report_capture.h"
#include "support/tree_inspector.h"

namespace {

const char kSrc[] = "cpcoll\\BTree";

void* K(std::uintptr_t n) { return reinterpret_cast<void*>(n); }
void* Item(std::uintptr_t n) { return reinterpret_cast<void*>(0x10000 + n); }

void AddAll(CPTree& t, std::initializer_list<unsigned long> keys) {
  for (unsigned long k : keys) t.AddKeyNum(k, Item(k));
}

std::vector<std::uintptr_t> ListKeys(const CPTree& t) {
  std::vector<std::uintptr_t> v;
  for (Leaf* p = t._get_plfHead(); p; p = p->plfNext) v.push_back(reinterpret_cast<std::uintptr_t>(p->pvKey));
  return v;
}

std::vector<std::uintptr_t> ListKeysBackward(const CPTree& t) {
  std::vector<std::uintptr_t> v;
  for (Leaf* p = t._get_plfTail(); p; p = p->plfPrev) v.push_back(reinterpret_cast<std::uintptr_t>(p->pvKey));
  return v;
}

#define EXPECT_SOUND(t) EXPECT_EQ(CPTreeInspector::Check(t), "")

std::vector<void*> g_killed;
void Kill(void* pv, void* user) {
  EXPECT_EQ(user, nullptr);
  g_killed.push_back(pv);
}

int IsOdd(void* pv, void*) { return (reinterpret_cast<std::uintptr_t>(pv) & 1) != 0; }

}  // namespace

// ---- Shapes --------------------------------------------------------------------

TEST(CPTreeShape, InsertionShapes) {
  const struct {
    std::vector<unsigned long> keys;
    const char* shape;
  } cases[] = {
      {{1, 2, 3, 4, 5, 6, 7}, "4[0](2[0](1[0],3[0]),6[0](5[0],7[0]))"},  // ascending: perfect
      {{4, 2, 6, 1, 3}, "4[-1](2[0](1[0],3[0]),6[0])"},                 // no rotation
      {{3, 1, 2}, "2[0](1[0],3[0])"},                                   // double rotation
  };
  for (const auto& c : cases) {
    CPTree t;
    for (unsigned long k : c.keys) t.AddKeyNum(k, Item(k));
    EXPECT_EQ(CPTreeInspector::Shape(t), c.shape);
    EXPECT_SOUND(t);
    std::vector<std::uintptr_t> sorted(c.keys.begin(), c.keys.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(ListKeys(t), sorted);
    EXPECT_EQ(ListKeysBackward(t), std::vector<std::uintptr_t>(sorted.rbegin(), sorted.rend()));
  }
}

TEST(CPTreeShape, RemovingOneThreeTwoFromOneToSeven) {
  CPTree t;
  AddAll(t, {1, 2, 3, 4, 5, 6, 7});
  t.DetachKeyNum(1);
  t.DetachKeyNum(3);
  t.DetachKeyNum(2);
  EXPECT_EQ(CPTreeInspector::Shape(t), "6[-1](4[1](-,5[0]),7[0])");
  EXPECT_EQ(ListKeys(t), (std::vector<std::uintptr_t>{4, 5, 6, 7}));
  EXPECT_SOUND(t);
}

TEST(CPTreeShape, RemovalByBalanceChoosesPredecessorOrSuccessor) {
  // 4 leans left: its predecessor 3 moves into its place (same node object).
  CPTree t;
  AddAll(t, {4, 2, 6, 1, 3});
  Leaf* plf3 = t.FindLeaf(K(3), 0);
  t.DetachKeyNum(4);
  EXPECT_EQ(t._get_plfRoot(), plf3);
  EXPECT_EQ(CPTreeInspector::Shape(t), "3[-1](2[-1](1[0],-),6[0])");
  EXPECT_SOUND(t);

  // 4 balanced: its successor 5 moves up.
  CPTree u;
  AddAll(u, {1, 2, 3, 4, 5, 6, 7});
  Leaf* plf5 = u.FindLeaf(K(5), 0);
  Leaf* plf7 = u.FindLeaf(K(7), 0);
  u.DetachKeyNum(4);
  EXPECT_EQ(u._get_plfRoot(), plf5);
  EXPECT_EQ(CPTreeInspector::Shape(u), "5[0](2[0](1[0],3[0]),6[1](-,7[0]))");
  EXPECT_EQ(u.FindLeaf(K(7), 0), plf7);  // other nodes keep their addresses
  EXPECT_SOUND(u);
}

TEST(CPTreeShape, NumericKeysAreUnsignedAtPointerWidth) {
  CPTree t;
  AddAll(t, {0x80000000ul, 0x7FFFFFFFul, 1, ~0ul - 1, 0x8000000000000000ul, 0x7FFFFFFFFFFFFFFFul});
  EXPECT_EQ(ListKeys(t), (std::vector<std::uintptr_t>{1, 0x7FFFFFFFul, 0x80000000ul, 0x7FFFFFFFFFFFFFFFul,
                                                       0x8000000000000000ul, ~0ul - 1}));
  EXPECT_EQ(t.Smallest(), Item(1));
  EXPECT_EQ(t.Largest(), Item(~0ul - 1));
  EXPECT_SOUND(t);
}

// ---- Insertion and removal -----------------------------------------------------

TEST(CPTreeAdd, EqualKeyReplacesOnlyTheItem) {
  CPTree t;
  static const char a[] = "key";
  static const char b[] = "key";
  t.AddKeyString(a, Item(1), nullptr);
  const short nXACT = t._get_nXACT();
  t.AddKeyString(b, Item(2), nullptr);
  EXPECT_EQ(t.Length(), 1u);
  EXPECT_EQ(t._get_nXACT(), nXACT);
  EXPECT_EQ(t._get_plfRoot()->pvKey, static_cast<const void*>(a));  // the first key pointer stays
  EXPECT_EQ(t.FindKeyString("key", nullptr), Item(2));
}

TEST(CPTreeAdd, AllOnesKeyMakesTheItemItsOwnKey) {
  CPTree t;
  t.Add(Item(5), reinterpret_cast<void*>(~std::uintptr_t(0)));
  t.Add(Item(3));  // the one-argument Add does the same
  EXPECT_EQ(t.Find(Item(5)), Item(5));
  EXPECT_EQ(t.FindLeaf(Item(3), 0)->pvKey, Item(3));
  EXPECT_EQ(t._get_etdsState(), etreeNone);  // Add does not fix the kind
  EXPECT_SOUND(t);
}

TEST(CPTreeRemove, AbsentKeyAndOnlyNode) {
  CPTree t;
  EXPECT_EQ(t.DeleteBalance(K(9)), nullptr);  // empty tree
  t.AddKeyNum(9, Item(9));
  const short nXACT = t._get_nXACT();
  EXPECT_EQ(t.DeleteBalance(K(4)), nullptr);
  EXPECT_EQ(t._get_nXACT(), nXACT);
  EXPECT_EQ(t.DeleteBalance(K(9)), Item(9));
  EXPECT_EQ(t._get_plfRoot(), nullptr);
  EXPECT_EQ(t._get_plfHead(), nullptr);
  EXPECT_EQ(t._get_plfTail(), nullptr);
  EXPECT_EQ(t.Length(), 0u);
}

TEST(CPTreeRemove, WithoutDeleteLeavesTheNodeStaysWithTheHolder) {
  CPTree t;
  AddAll(t, {1, 2, 3, 4, 5});
  t._set_bDeleteLeaves(0);
  Leaf* plf = t.FindLeaf(K(2), 0);
  t.DetachLeaf(plf);
  EXPECT_EQ(plf->pvData, Item(2));  // still allocated and readable
  EXPECT_EQ(plf->plfParent, nullptr);
  EXPECT_EQ(t.FindLeaf(K(2), 0), nullptr);
  EXPECT_SOUND(t);
  delete plf;  // the holder frees it

  std::vector<Leaf*> held;
  for (Leaf* p = t._get_plfHead(); p; p = p->plfNext) held.push_back(p);
  t.DetachAll();  // frees nothing
  EXPECT_EQ(t.Length(), 0u);
  for (Leaf* p : held) delete p;
}

TEST(CPTreeRemove, BuiltInCursorLeavesAFreedNode) {
  CPTree t;
  AddAll(t, {1, 2, 3});
  t.GotoTop();
  t.Next();
  ASSERT_EQ(t.Retrieve(), Item(2));
  t.DetachKeyNum(2);
  EXPECT_EQ(t.RetrieveLeaf(), nullptr);
  EXPECT_EQ(t.Retrieve(), nullptr);
  EXPECT_EQ(t.Next(), 0);
}

// ---- Key kinds and keyed operations ----------------------------------------------

TEST(CPTreeKind, FixedByAddsAndExistsAndReportedOnMismatch) {
  CPTree t;
  EXPECT_ASSERT_REPORT(t.FindKeyNum(1), kSrc, "etdsState == etreeNumber");
  EXPECT_ASSERT_REPORT(t.DetachKeyString("a", nullptr), kSrc, "etdsState == etreeString");
  EXPECT_EQ(t.ExistsKeyNum(1), 0);
  EXPECT_EQ(t._get_etdsState(), etreeNumber);
  EXPECT_ASSERT_REPORT(t.AddKeyString("a", Item(1), nullptr), kSrc, "etdsState == etreeString");
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(t._get_etdsState(), etreeNumber);
  t.AddKeyNum(3, Item(3));
  t.DetachAll();
  EXPECT_EQ(t._get_etdsState(), etreeNumber);  // emptying keeps the kind

  CPTree s;
  EXPECT_EQ(s.ExistsKeyString("x", nullptr), 0);
  EXPECT_EQ(s._get_etdsState(), etreeString);
  EXPECT_ASSERT_REPORT(s.AddKeyNum(1, Item(1)), kSrc, "etdsState == etreeNumber");
  EXPECT_ASSERT_REPORT(s.DestroyKeyNum(1, Kill), kSrc, "etdsState == etreeNumber");
  EXPECT_EQ(s.ExistsKeyNum(1), 0);  // no crash, no kind change
  EXPECT_EQ(s._get_etdsState(), etreeString);
}

TEST(CPTreeKeyed, FindExistsDetachDestroy) {
  CPTree t;
  AddAll(t, {10, 20, 30});
  t.AddKeyNum(40, nullptr);
  EXPECT_EQ(t.FindKeyNum(20), Item(20));
  EXPECT_EQ(t.FindKeyNum(25), nullptr);
  EXPECT_EQ(t.ExistsKeyNum(30), static_cast<long>(reinterpret_cast<std::uintptr_t>(Item(30))));
  EXPECT_EQ(t.ExistsKeyNum(40), 0);  // a null item reads as absent
  EXPECT_EQ(t.RetrieveIDX(30), Item(30));  // the index is a key
  EXPECT_EQ(t.RetrieveIDX(0), nullptr);

  g_killed.clear();
  t.DestroyKeyNum(10, Kill);
  t.DestroyKeyNum(11, Kill);  // absent: no call
  t.DestroyKeyNum(40, Kill);  // null item: removed, no call
  EXPECT_EQ(g_killed, std::vector<void*>{Item(10)});
  EXPECT_EQ(t.Length(), 2u);
  t.DetachKeyNum(20);
  EXPECT_EQ(t.FindKeyNum(20), nullptr);
  EXPECT_SOUND(t);
}

TEST(CPTreeItemOps, DetachAndDestroyResults) {
  CPTree t;
  AddAll(t, {1, 2, 3});
  t.AddKeyNum(4, nullptr);
  EXPECT_EQ(t.Detach(K(4)), 0);  // removed, but its item is null
  EXPECT_EQ(t.Length(), 3u);
  EXPECT_EQ(t.Detach(K(2)), 1);
  EXPECT_EQ(t.Detach(K(2)), 0);

  g_killed.clear();
  EXPECT_EQ(t.Destroy(K(9), Kill), 0);  // absent: nothing removed, 0
  EXPECT_EQ(t.Destroy(K(1), Kill), 1);
  EXPECT_EQ(g_killed, std::vector<void*>{Item(1)});
  t._set_bDeleteLeaves(0);
  EXPECT_EQ(t.Destroy(K(3), Kill), 0);  // refused without bDeleteLeaves
  EXPECT_EQ(t.Length(), 1u);
  t._set_bDeleteLeaves(1);

  g_killed.clear();
  AddAll(t, {7, 5});
  EXPECT_EQ(t.DestroyAll(Kill), 1);
  EXPECT_EQ(g_killed, (std::vector<void*>{Item(3), Item(5), Item(7)}));
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(t._get_plfRoot(), nullptr);
}

// ---- Cursors and walks --------------------------------------------------------------

TEST(CPTreeCursor, FirstThatNextThatYieldEachMatchOnce) {
  CPTree t;
  for (unsigned long k = 1; k <= 9; ++k) t.AddKeyNum(k, K(k));  // item == key
  std::vector<void*> got;
  for (void* pv = t.FirstThat(IsOdd, nullptr); pv; pv = t.NextThat(IsOdd, nullptr)) got.push_back(pv);
  EXPECT_EQ(got, (std::vector<void*>{K(1), K(3), K(5), K(7), K(9)}));
  EXPECT_EQ(t.NextThat(IsOdd, nullptr), nullptr);

  EXPECT_EQ(t.FirstThat(IsOdd, nullptr), K(1));
  EXPECT_EQ(t.Retrieve(), K(2));  // the cursor stands after the match
  EXPECT_ASSERT_REPORT(t.FirstThat(nullptr, nullptr), kSrc, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(t.NextThat(nullptr, nullptr), kSrc, "pfnCondFunc !=0");

  // The node forms hand nodes to the condition and return nodes.
  auto balanced = [](void* n, void*) {
    return int(static_cast<Leaf*>(static_cast<CPInternalContainer*>(n))->nBalance == 0);
  };
  std::vector<void*> nodes, expected;
  for (void* pv = t.FirstThatInternalContainer(balanced, nullptr); pv; pv = t.NextThatInternalContainer(balanced, nullptr))
    nodes.push_back(pv);
  for (Leaf* p = t._get_plfHead(); p; p = p->plfNext)
    if (p->nBalance == 0) expected.push_back(static_cast<CPInternalContainer*>(p));
  EXPECT_EQ(nodes, expected);
  EXPECT_EQ(t.FirstThatInternalContainer(nullptr, nullptr), nullptr);
}

TEST(CPTreeCursor, BuiltInCursorWalksBothWaysAndEndsWithTheTree) {
  CPTree t;
  AddAll(t, {2, 1, 3});
  std::vector<void*> v;
  for (t.GotoBottom(); t.Retrieve(); t.Prev()) v.push_back(t.Retrieve());
  EXPECT_EQ(v, (std::vector<void*>{Item(3), Item(2), Item(1)}));
  EXPECT_EQ(t.Prev(), 0);
  t.GotoTop();
  t.DetachAll();
  EXPECT_EQ(t.Retrieve(), nullptr);  // no freed node behind the cursor
}

TEST(CPTreeIterationState, EmptyTreeAndFailFast) {
  CPTree t;
  IterationState* pits = t.CreateIterationState();
  ASSERT_NE(pits, nullptr);
  EXPECT_EQ(pits->gotoTop(), 1);
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->gotoNext(), 0);
  delete pits;

  AddAll(t, {5, 1, 3});
  TreeIterationState its(&t);
  std::vector<void*> v;
  its.gotoTop();
  for (void* pv; (pv = its.retrieve()) != nullptr; its.gotoNext()) v.push_back(pv);
  EXPECT_EQ(v, (std::vector<void*>{Item(1), Item(3), Item(5)}));
  its.gotoBottom();
  EXPECT_EQ(its.retrieveInternalContainer(), t._get_plfTail());
  EXPECT_EQ(its.gotoPrev(), 1);
  TreeIterationState copy(its);
  EXPECT_EQ(copy.retrieve(), Item(3));
  t.AddKeyNum(4, Item(4));
  EXPECT_CURSOR_EXCEPTION(its.gotoNext());

}

namespace {
struct Recorder : IteratorAction {
  std::vector<std::pair<void*, void*>> seen;
  short Perform() override {
    EXPECT_EQ(bKeyIsString, 0);
    seen.push_back({pvItem, pvKey});
    return 1;
  }
};
}  // namespace

TEST(CPTreeWalk, IteratorActionGetsItemAndKey) {
  CPTree t;
  Recorder empty;
  t.ForEach(&empty);
  EXPECT_TRUE(empty.seen.empty());
  AddAll(t, {3, 1, 2});
  Recorder r;
  r.bKeyIsString = 1;  // the walk sets it to 0
  t.ForEach(&r);
  EXPECT_EQ(r.seen, (std::vector<std::pair<void*, void*>>{{Item(1), K(1)}, {Item(2), K(2)}, {Item(3), K(3)}}));
  EXPECT_ASSERT_REPORT(t.ForEach(CPTree::KeyActionFunc(nullptr), nullptr), kSrc, "1==0");
}

TEST(CPTreeWalk, ForEachInternalContainerMayRemoveTheNodeItIsGiven) {
  CPTree t;
  for (unsigned long k = 1; k <= 40; ++k) t.AddKeyNum(k, K(k));
  t.ForEachInternalContainer(
      [](void* node, void* user) {
        Leaf* plf = static_cast<Leaf*>(static_cast<CPInternalContainer*>(node));
        if (reinterpret_cast<std::uintptr_t>(plf->pvKey) % 3 != 0) static_cast<CPTree*>(user)->DetachLeaf(plf);
      },
      &t);
  EXPECT_EQ(t.Length(), 13u);
  EXPECT_EQ(t.Smallest(), K(3));
  EXPECT_SOUND(t);
}

TEST(CPTreeAllThat, BuildsNewTreesOfTheMatches) {
  CPTree t;
  for (unsigned long k = 1; k <= 6; ++k) t.AddKeyNum(k, K(k));
  CPCollection* pcl = t.AllThat(IsOdd, nullptr);
  CPTree* pt = dynamic_cast<CPTree*>(pcl);
  ASSERT_NE(pt, nullptr);
  EXPECT_EQ(pcl->_get_nRefCount(), 0);
  EXPECT_EQ(ListKeys(*pt), (std::vector<std::uintptr_t>{1, 3, 5}));
  EXPECT_EQ(pt->_get_etdsState(), etreeNumber);
  EXPECT_SOUND(*pt);
  delete pcl;

  CPCollection* pcn = t.AllThatInternalContainer(
      [](void* node, void*) {
        return int(reinterpret_cast<std::uintptr_t>(
                       static_cast<Leaf*>(static_cast<CPInternalContainer*>(node))->pvKey) > 4);
      },
      nullptr);
  EXPECT_EQ(pcn->_get_nRefCount(), 1);
  EXPECT_EQ(ListKeys(*static_cast<CPTree*>(pcn)), (std::vector<std::uintptr_t>{5, 6}));
  pcn->Release();
  EXPECT_ASSERT_REPORT(t.AllThat(nullptr, nullptr), kSrc, "pfnCondFunc !=0");
}

// ---- Merge ---------------------------------------------------------------------------

TEST(CPTreeMerge, DisjointTreesInterleave) {
  CPTree a;
  CPTree b;
  AddAll(a, {1, 3, 5});
  AddAll(b, {2, 4, 6});
  a._set_bDeleteLeaves(0);
  b._set_bDeleteLeaves(0);
  a.Merge(&b);
  EXPECT_EQ(ListKeys(a), (std::vector<std::uintptr_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(ListKeysBackward(a), (std::vector<std::uintptr_t>{6, 5, 4, 3, 2, 1}));
  // Six nodes: the parts (1 2 3) and (5 6) are equally high.
  EXPECT_EQ(CPTreeInspector::Shape(a), "4[0](2[0](1[0],3[0]),5[1](-,6[0]))");
  EXPECT_SOUND(a);
  EXPECT_EQ(b.Length(), 0u);
  EXPECT_EQ(b._get_plfRoot(), nullptr);
  EXPECT_EQ(a._get_bDeleteLeaves(), 1);
  EXPECT_EQ(b._get_bDeleteLeaves(), 1);
}

TEST(CPTreeMerge, EqualKeyKeepsTheReceiversItem) {
  CPTree a;
  CPTree b;
  a.AddKeyNum(2, Item(2));
  b.AddKeyNum(2, Item(200));
  b.AddKeyNum(1, Item(1));
  a.Merge(&b);  // b's node of key 2 is freed (ASan checks the leak)
  EXPECT_EQ(a.Length(), 2u);
  EXPECT_EQ(a.FindKeyNum(2), Item(2));
  EXPECT_SOUND(a);
  EXPECT_SOUND(b);
}

TEST(CPTreeMerge, EmptySelfAndNull) {
  CPTree a;
  CPTree b;
  a.Merge(&b);
  EXPECT_EQ(a._get_plfRoot(), nullptr);
  EXPECT_EQ(a._get_plfHead(), nullptr);
  EXPECT_EQ(a._get_plfTail(), nullptr);
  EXPECT_EQ(b._get_plfRoot(), nullptr);

  AddAll(a, {1, 2, 3});
  a.Merge(&a);
  EXPECT_EQ(ListKeys(a), (std::vector<std::uintptr_t>{1, 2, 3}));
  EXPECT_SOUND(a);
  EXPECT_ASSERT_REPORT(a.Merge(nullptr), kSrc, "ptreeFrom !=0");
}

TEST(CPTreeMerge, EverySizeStaysAvlUnderLaterChanges) {
  // Balances set by the merge must be real: later insertions and removals
  // rebalance from them.
  for (unsigned long n = 0; n <= 40; ++n) {
    SCOPED_TRACE(n);
    CPTree a;
    CPTree b;
    for (unsigned long k = 0; k < n; ++k) (k % 3 ? a : b).AddKeyNum(k * 2, Item(k));
    a.Merge(&b);
    ASSERT_EQ(CPTreeInspector::Check(a), "");
    for (unsigned long k = 0; k < n; ++k) {
      a.AddKeyNum(k * 2 + 1, Item(k));
      ASSERT_EQ(CPTreeInspector::Check(a), "");
    }
    for (unsigned long k = 0; k < n; k += 2) {
      a.DetachKeyNum(k * 2);
      ASSERT_EQ(CPTreeInspector::Check(a), "");
    }
  }
}

// ---- Copies and allocation failures -----------------------------------------------------

TEST(CPTreeCopy, CopiesAreDeepAndIndependent) {
  CPTree a;
  AddAll(a, {5, 3, 8, 1});
  CPTree b(a);
  EXPECT_EQ(ListKeys(b), ListKeys(a));
  EXPECT_NE(b._get_plfRoot(), a._get_plfRoot());
  EXPECT_EQ(b._get_etdsState(), etreeNumber);
  EXPECT_SOUND(b);
  b.DetachKeyNum(5);
  EXPECT_EQ(a.FindKeyNum(5), Item(5));

  CPTree c;
  AddAll(c, {100});
  TreeIterationState its(&c);
  its.gotoTop();
  c = a;
  EXPECT_EQ(ListKeys(c), ListKeys(a));
  EXPECT_SOUND(c);
  EXPECT_CURSOR_EXCEPTION(its.retrieve());  // the old node is gone; the cursor knows
  CPTree& alias = c;
  c = alias;
  EXPECT_EQ(c.Length(), 4u);
}

TEST(CPTreeAllocation, FailuresReportAndChangeNothing) {
  CPTree t;
  AddAll(t, {1, 2, 3});
  const short nXACT = t._get_nXACT();
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(t.AddKeyNum(4, Item(4)), kSrc, "plfNew");
  EXPECT_EQ(t.Length(), 3u);
  EXPECT_EQ(t._get_nXACT(), nXACT);
  EXPECT_SOUND(t);

  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(t.AllThat(IsOdd, nullptr), kSrc, "ptreeA");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(t.AllThatInternalContainer(IsOdd, nullptr), kSrc, "ptreeA");
  Createable::SetAllocationFailure(2);  // the result tree, then its first node
  EXPECT_NIL_REPORT(t.AllThat([](void*, void*) { return 1; }, nullptr), kSrc, "plfNew");

  Createable::SetAllocationFailure(3);  // the third node of the copy
  EXPECT_NIL_REPORT(CPTree copy(t), kSrc, "plfNew");
  Createable::SetAllocationFailure(1);
  EXPECT_EQ(t.CreateIterationState(), nullptr);
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(ListKeys(t), (std::vector<std::uintptr_t>{1, 2, 3}));
}
