// CPVector and VectorIterationState: an always-empty flat collection with
// a block of its own.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <new>

#include <cpcoll/CPVector.h>

#include "support/vector_inspector.h"

namespace {

int g_items[2];
void* const p = &g_items[0];
void* const q = &g_items[1];

// Every callback counts its calls; a vector must never make one.
int g_nCalls = 0;
void CountKill(void*, void*) { ++g_nCalls; }
int CountCond(void*, void*) { return ++g_nCalls; }
short CountShortCond(void*, void*) { return short(++g_nCalls); }
int CompareCells(const void*, const void*) { return ++g_nCalls, 0; }
struct CountingAction : IteratorAction {
  short Perform() override { return short(++g_nCalls); }
};

struct CPVectorTest : ::testing::Test {
  CPVector vec;
  void SetUp() override {
    g_nCalls = 0;
    vec.Add(p);
  }
  void TearDown() override {
    EXPECT_EQ(g_nCalls, 0) << "a callback was called";
    EXPECT_TRUE(CPVectorInspector::Check(vec));  // still empty, nXACT still 0
  }
};

}  // namespace

TEST_F(CPVectorTest, AnswersAsEmptyEverywhereAfterAnAdd) {
  EXPECT_TRUE(vec.IsMT());
  vec.GotoTop();
  EXPECT_EQ(vec.Retrieve(), nullptr);
  vec.GotoBottom();
  EXPECT_EQ(vec.Retrieve(), nullptr);
  EXPECT_EQ(vec.Next(), 0);
  EXPECT_EQ(vec.Prev(), 0);
  EXPECT_EQ(vec.RetrieveIDX(0), nullptr);
  EXPECT_EQ(vec.BuildVector(), nullptr);

  EXPECT_EQ(vec.Detach(p), 0);
  EXPECT_EQ(vec.Destroy(p, CountKill), 0);
  EXPECT_EQ(vec.DetachAll(), 0);  // 0, where the array and list answer 1
  EXPECT_EQ(vec.DestroyAll(CountKill), 0);

  CountingAction action;
  vec.ForEach(&action);
  vec.ForEach(CountKill, nullptr);
  EXPECT_EQ(vec.FirstThat(CountCond, nullptr), nullptr);
  EXPECT_EQ(vec.NextThat(CountCond, nullptr), nullptr);
  EXPECT_EQ(vec.AllThat(CountCond, nullptr), nullptr);  // not an empty collection
}

TEST_F(CPVectorTest, FlatCollectionHelpersLeaveItEmpty) {
  void* items[] = {p, q};
  vec.BuildFromVector(items, 2);
  vec.Sort(CompareCells);
  CPVector other;
  vec.CopyFrom(&other);
  EXPECT_TRUE(vec.IsMT());
}

TEST_F(CPVectorTest, BlocksDefaultTo255AndCopiesOwnTheirs) {
  EXPECT_EQ(CPVectorInspector::Capacity(vec), 255u);
  std::unique_ptr<CPCollection> made(vec.CreateInstance());
  auto* pvec = dynamic_cast<CPVector*>(made.get());
  ASSERT_NE(pvec, nullptr);
  EXPECT_EQ(CPVectorInspector::Capacity(*pvec), 255u);
  EXPECT_THROW(CPVector(ULONG_MAX), std::bad_alloc);

  CPVector copy(vec);
  EXPECT_NE(CPVectorInspector::Block(copy), CPVectorInspector::Block(vec));
  CPVector small(3);
  small = vec;
  EXPECT_EQ(CPVectorInspector::Capacity(small), 255u);
  EXPECT_NE(CPVectorInspector::Block(small), CPVectorInspector::Block(vec));
  EXPECT_TRUE(CPVectorInspector::Check(small));
}

TEST_F(CPVectorTest, StateAnswersOneToMovesAndNullToFetches) {
  std::unique_ptr<IterationState> pits(vec.CreateIterationState());
  ASSERT_NE(pits, nullptr);
  EXPECT_EQ(pits->gotoTop(), 1);
  EXPECT_EQ(pits->gotoBottom(), 1);
  EXPECT_EQ(pits->gotoIDX(7), 1);
  EXPECT_EQ(pits->gotoNext(), 1);
  EXPECT_EQ(pits->gotoPrev(), 1);
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->retrieveInternalContainer(), nullptr);

  std::unique_ptr<Iterator> piter(vec.GetIterator());
  EXPECT_EQ(piter->forEach([](void*, void*) { ++g_nCalls; }, nullptr), 1);
  EXPECT_EQ(piter->firstThat(CountShortCond, nullptr), nullptr);
  std::unique_ptr<CPCollection> res(piter->allThat(CountShortCond, nullptr));
  ASSERT_NE(dynamic_cast<CPVector*>(res.get()), nullptr);
  EXPECT_TRUE(res->IsMT());
}
