// CPHashTable: a list with a table of 256 pairs carried along.
#include <gtest/gtest.h>

#include <vector>

#include <cpcoll/CPHashTable.h>

#include "support/list_inspector.h"
#include "support/report_capture.h"

namespace {

// Reads and writes the carried table.
class PeekTable : public CPHashTable {
 public:
  PeekTable() {}
  PeekTable(const PeekTable& other) : Createable(), CPHashTable(other) {}
  PeekTable& operator=(const PeekTable& other) {
    CPHashTable::operator=(other);
    return *this;
  }
  unsigned int& Word(int pair, int half) { return arHashPairs[pair][half]; }
};

void Collect(void* pv, void* user) { static_cast<std::vector<void*>*>(user)->push_back(pv); }

TEST(CPHashTableTest, BehavesAsAListInOrderOfAddition) {
  ListItems it;
  CPHashTable ht;
  Fill(ht, {&it.p, &it.q, &it.r});
  const std::vector<void*> expected{&it.p, &it.q, &it.r};
  std::vector<void*> byIndex, byCursor, byForEach;
  for (unsigned long i = 0; i < ht.Length(); ++i) byIndex.push_back(ht.RetrieveIDX(i));
  for (ht.GotoTop(); void* pv = ht.Retrieve(); ht.Next()) byCursor.push_back(pv);
  ht.ForEach(&Collect, &byForEach);
  EXPECT_EQ(byIndex, expected);
  EXPECT_EQ(byCursor, expected);
  EXPECT_EQ(byForEach, expected);
  EXPECT_EQ(ht.Detach(&it.q), 1);
  EXPECT_EQ(ht.add(&it.x), 0);  // keyed entry points refused, as in a list
  EXPECT_TRUE(CPListInspector::Check(ht));
}

TEST(CPHashTableTest, CreateInstanceMakesAHashTableAndAllThatAList) {
  ListItems it;
  CPHashTable ht;
  Fill(ht, {&it.p, &it.q});
  CPCollection* pcl = ht.CreateInstance();
  ASSERT_NE(dynamic_cast<CPHashTable*>(pcl), nullptr);
  EXPECT_EQ(pcl->Length(), 0u);
  delete pcl;
  pcl = ht.AllThat([](void*, void*) { return 1; }, nullptr);
  EXPECT_EQ(dynamic_cast<CPHashTable*>(pcl), nullptr);
  ASSERT_NE(dynamic_cast<CPList*>(pcl), nullptr);
  EXPECT_EQ(pcl->Length(), 2u);
  delete pcl;
  IterationState* pits = ht.CreateIterationState();
  ASSERT_NE(dynamic_cast<ListIterationState*>(pits), nullptr);
  pits->gotoIDX(1);
  EXPECT_EQ(pits->retrieve(), &it.q);
  delete pits;
  Createable::SetAllocationFailure(1);
  EXPECT_EQ(ht.CreateInstance(), nullptr);
  Createable::SetAllocationFailure(0);
}

TEST(CPHashTableTest, TableStartsClearAndIsCopiedWithTheItems) {
  ListItems it;
  PeekTable ht;
  for (int i = 0; i < CPHashTable::kHashPairs; ++i) {
    EXPECT_EQ(ht.Word(i, 0), 0u);
    EXPECT_EQ(ht.Word(i, 1), 0u);
  }
  ht.Word(0, 0) = 7;
  ht.Word(255, 1) = 0xFFFFFFFFu;
  Fill(ht, {&it.p, &it.q});
  PeekTable htCopy(ht);
  EXPECT_EQ(htCopy.Word(0, 0), 7u);
  EXPECT_EQ(htCopy.Word(255, 1), 0xFFFFFFFFu);
  EXPECT_EQ(CPListInspector::Forward(htCopy), (std::vector<void*>{&it.p, &it.q}));
  EXPECT_NE(htCopy._get_pbktHead(), ht._get_pbktHead());
  PeekTable htTarget;
  htTarget.Add(&it.r);
  htTarget = ht;
  EXPECT_EQ(htTarget.Word(255, 1), 0xFFFFFFFFu);
  EXPECT_EQ(CPListInspector::Forward(htTarget), (std::vector<void*>{&it.p, &it.q}));
  EXPECT_TRUE(CPListInspector::Check(htTarget));
}

}  // namespace
