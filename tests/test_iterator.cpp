// The iteration framework: fail-fast states, the busy guard and the
// fourteen Iterator algorithms.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>

#include "support/report_capture.h"
#include "support/vector_collection.h"

namespace {

char a[] = "a", b[] = "b", c[] = "c";

struct Fixture : ::testing::Test {
  VectorCollection v;
  Iterator it;
  void SetUp() override {
    v.Add(a);
    v.Add(b);
    v.Add(c);
    it._set_pitsThe(v.CreateIterationState());
  }
};

using IteratorWalk = Fixture;

void Collect(void* item, void* user) { static_cast<std::vector<void*>*>(user)->push_back(item); }
void CollectNode(CPInternalContainer* n, void* user) {
  static_cast<std::vector<void*>*>(user)->push_back(n->_get_pvTheData());
}
short IsNotA(void* item, void*) { return item != a; }
short NodeIsNotA(CPInternalContainer* n, void*) { return n->_get_pvTheData() != a; }
short Never(void*, void*) { return 0; }

TEST_F(IteratorWalk, ForEachBothFormsVisitInOrder) {
  std::vector<void*> items, nodes;
  EXPECT_EQ(it.forEach(&Collect, &items), 1);
  EXPECT_EQ(it.forEach(&CollectNode, &nodes), 1);
  EXPECT_EQ(items, (std::vector<void*>{a, b, c}));
  EXPECT_EQ(nodes, items);
}

TEST_F(IteratorWalk, ForEachThatCallsActionOnlyForMatches) {
  std::vector<void*> items, nodes;
  it.forEachThat(&IsNotA, nullptr, &Collect, &items);
  it.forEachThat(&NodeIsNotA, nullptr, &CollectNode, &nodes);
  EXPECT_EQ(items, (std::vector<void*>{b, c}));
  EXPECT_EQ(nodes, items);
}

TEST_F(IteratorWalk, SearchesLeaveTheCursorOnTheMatch) {
  EXPECT_EQ(it.firstThat(&IsNotA, nullptr), b);
  EXPECT_EQ(it._get_pitsThe()->retrieve(), b);
  EXPECT_EQ(it.nextThat(&IsNotA, nullptr), c);
  EXPECT_EQ(it.nextThat(&IsNotA, nullptr), nullptr);
  EXPECT_EQ(it.nextThat(&IsNotA, nullptr), nullptr);  // stays off the end
  EXPECT_EQ(it.firstThat(&Never, nullptr), nullptr);

  EXPECT_EQ(it.firstThat(&NodeIsNotA, nullptr), b);  // node form returns the item
  CPInternalContainer* n = it.firstinternalcontainerThat(&IsNotA, nullptr);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->_get_pvTheData(), b);
  n = it.nextinternalcontainerThat(&NodeIsNotA, nullptr);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->_get_pvTheData(), c);
  EXPECT_EQ(it.nextThat(&NodeIsNotA, nullptr), nullptr);
  EXPECT_EQ(it.firstinternalcontainerThat(&NodeIsNotA, nullptr)->_get_pvTheData(), b);
  EXPECT_EQ(it.nextinternalcontainerThat(&IsNotA, nullptr)->_get_pvTheData(), c);
}

TEST_F(IteratorWalk, AllThatBuildsANewCollectionOfTheSameClass) {
  std::unique_ptr<CPCollection> items(it.allThat(&IsNotA, nullptr));
  auto* pv = dynamic_cast<VectorCollection*>(items.get());
  ASSERT_NE(pv, nullptr);
  EXPECT_EQ(pv->items, (std::vector<void*>{b, c}));
  std::unique_ptr<CPCollection> nodes(it.allThat(&NodeIsNotA, nullptr));
  auto* pn = dynamic_cast<VectorCollection*>(nodes.get());
  ASSERT_NE(pn, nullptr);
  EXPECT_EQ(pn->Length(), 0u);             // nodes go to AddInternalContainer,
  EXPECT_EQ(pn->addedNodes.size(), 2u);    // not Add
}

TEST(IteratorEmpty, EmptyCollectionWalksNothing) {
  VectorCollection v;
  Iterator it;
  it._set_pitsThe(v.CreateIterationState());
  int calls = 0;
  EXPECT_EQ(it.forEach([](void*, void* u) { ++*static_cast<int*>(u); }, &calls), 1);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(it.firstThat(&IsNotA, nullptr), nullptr);
  std::unique_ptr<CPCollection> all(it.allThat(&IsNotA, nullptr));
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(all->Length(), 0u);
}

TEST_F(IteratorWalk, ChangeBetweenPositioningAndStepThrows) {
  IterationState* s = it._get_pitsThe();
  s->gotoTop();
  v.Add(a);
  EXPECT_CURSOR_EXCEPTION(s->gotoNext());
  EXPECT_CURSOR_EXCEPTION(s->retrieve());
  EXPECT_CURSOR_EXCEPTION(s->gotoPrev());
  EXPECT_CURSOR_EXCEPTION(s->retrieveInternalContainer());
  EXPECT_EQ(s->gotoTop(), 1);  // positioning accepts the change
  EXPECT_EQ(s->gotoNext(), 1);
  EXPECT_EQ(s->retrieve(), b);
}

TEST_F(IteratorWalk, UnpositionedStateTakesTheSnapshotAtConstruction) {
  std::unique_ptr<IterationState> s(v.CreateIterationState());
  EXPECT_EQ(s->retrieve(), nullptr);  // not positioned, but no exception
  v.Touch();
  EXPECT_CURSOR_EXCEPTION(s->retrieve());
}

TEST_F(IteratorWalk, SnapshotWrapsAfter65536Changes) {
  IterationState* s = it._get_pitsThe();
  s->gotoTop();
  for (int i = 0; i < 65535; ++i) v.Touch();
  EXPECT_CURSOR_EXCEPTION(s->gotoNext());
  v.Touch();  // the 65,536th change: the 16-bit count is back where it was
  EXPECT_EQ(s->gotoNext(), 1);
}

struct ChangingAction {
  VectorCollection* pv;
};

TEST_F(IteratorWalk, ActionThatChangesTheCollectionThrowsAndLeavesIteratorBusy) {
  ChangingAction ctx{&v};
  EXPECT_CURSOR_EXCEPTION(it.forEach([](void*, void* u) { static_cast<ChangingAction*>(u)->pv->Add(a); }, &ctx));
  std::vector<void*> seen;
  EXPECT_CURSOR_EXCEPTION(it.forEach(&Collect, &seen));  // busy guard still set
  EXPECT_TRUE(seen.empty());
  EXPECT_CURSOR_EXCEPTION(it.allThat(&IsNotA, nullptr));
  EXPECT_EQ(it.firstThat(&IsNotA, nullptr), b);  // searches do not use the guard
}

TEST_F(IteratorWalk, NestedVisitThrowsAtOnce) {
  struct Ctx {
    Iterator* it;
    int inner = 0;
  } ctx{&it};
  EXPECT_CURSOR_EXCEPTION(it.forEach(
      [](void*, void* u) {
        auto* p = static_cast<Ctx*>(u);
        p->it->forEach([](void*, void* w) { ++static_cast<Ctx*>(w)->inner; }, p);
      },
      &ctx));
  EXPECT_EQ(ctx.inner, 0);
}

TEST(IteratorState, AlgorithmsWithoutAStateReport) {
  Iterator it;
  EXPECT_ASSERT_REPORT(it.forEach(&Collect, nullptr), "cpcoll\\iterate", "pitsThe");
  EXPECT_ASSERT_REPORT(it.firstThat(&IsNotA, nullptr), "cpcoll\\iterate", "pitsThe");
  EXPECT_ASSERT_REPORT(it.allThat(&NodeIsNotA, nullptr), "cpcoll\\iterate", "pitsThe");
  std::vector<void*> seen;
  VectorCollection v;
  v.Add(a);
  it._set_pitsThe(v.CreateIterationState());
  EXPECT_EQ(it.forEach(&Collect, &seen), 1);  // the report did not leave it busy
}

TEST(IteratorState, BaseGotoIdxStepsFromTopAndAlwaysSucceeds) {
  VectorCollection v;
  v.Add(a);
  v.Add(b);
  std::unique_ptr<IterationState> s(v.CreateIterationState());
  EXPECT_EQ(s->gotoIDX(0), 1);
  EXPECT_EQ(s->retrieve(), a);
  EXPECT_EQ(s->gotoIDX(1), 1);
  EXPECT_EQ(s->retrieve(), b);
  EXPECT_EQ(s->gotoIDX(5), 1);
  EXPECT_EQ(s->retrieve(), nullptr);
}

TEST(IteratorState, CopiedIteratorStartsWithoutState) {
  VectorCollection v;
  Iterator it;
  it._set_pitsThe(v.CreateIterationState());
  Iterator copy(it);
  EXPECT_EQ(copy._get_pitsThe(), nullptr);
  IterationState* own = v.CreateIterationState();
  copy._set_pitsThe(own);
  copy = it;
  EXPECT_EQ(copy._get_pitsThe(), own);  // assignment keeps the target's own state
}

struct NoInstance : VectorCollection {
  CPCollection* CreateInstance() override { return nullptr; }
  IterationState* CreateIterationState() override { return bNoState ? nullptr : VectorCollection::CreateIterationState(); }
  bool bNoState = false;
};

TEST(IteratorState, GetIteratorAndAllThatReportMissingObjects) {
  NoInstance v;
  v.Add(a);
  std::unique_ptr<Iterator> it(v.GetIterator());
  ASSERT_NE(it, nullptr);
  ASSERT_NE(it->_get_pitsThe(), nullptr);
  EXPECT_NIL_REPORT(it->allThat(&IsNotA, nullptr), "cpcoll\\iterate", "pclNew");
  v.bNoState = true;
  EXPECT_NIL_REPORT(v.GetIterator(), "cpcoll\\iterate", "pitsA");
  v.bNoState = false;
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(v.GetIterator(), "cpcoll\\iterate", "piterA");
  Createable::SetAllocationFailure(0);
}

}  // namespace
