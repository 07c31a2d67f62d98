// CPTree and CrTree with string keys at their edges: null keys and null
// callbacks change nothing, destroys without a kill function still remove,
// and the reference tree answers 0 and takes no reference when it stores
// nothing.
#include <gtest/gtest.h>

#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/crtree.h>
#include <util/CPString.h>

#include "support/counted.h"
#include "support/report_capture.h"

namespace {

int g_items[8];
void* Item(int i) { return &g_items[i]; }

int g_nKilled = 0;
void CountKill(void*, void*) { ++g_nKilled; }

std::vector<void*> Walk(CPTree& t) {
  std::vector<void*> v;
  for (t.GotoTop(); t.Retrieve(); t.Next()) v.push_back(t.Retrieve());
  return v;
}

TEST(TreeStringKeys, NullKeysChangeNothing) {
  CPTree t;
  t.AddKeyString("b", Item(2), nullptr);
  t.AddKeyString("a", Item(1), nullptr);
  t.AddKeyString(static_cast<CPString*>(nullptr), Item(5));
  EXPECT_EQ(t.Length(), 2u);
  EXPECT_EQ(t.FindKeyString(static_cast<const char*>(nullptr), nullptr), nullptr);
  EXPECT_EQ(t.ExistsKeyString(static_cast<const char*>(nullptr), nullptr), 0);
  EXPECT_EQ(t.ExistsKeyString(static_cast<CPString*>(nullptr)), 0);
  g_nKilled = 0;
  t.DetachKeyString(static_cast<const char*>(nullptr), nullptr);
  t.DetachKeyString(static_cast<CPString*>(nullptr));
  t.DestroyKeyString(static_cast<const char*>(nullptr), &CountKill, nullptr);
  t.DestroyKeyString(static_cast<CPString*>(nullptr), &CountKill);
  EXPECT_EQ(g_nKilled, 0);
  EXPECT_EQ(Walk(t), (std::vector<void*>{Item(1), Item(2)}));
}

TEST(TreeStringKeys, DestroysWithoutAKillFunctionStillRemove) {
  CPTree t;
  const char* apsz[] = {"a", "b", "c", "d"};
  for (int i = 0; i < 4; ++i) t.AddKeyString(apsz[i], Item(i), nullptr);
  CPString strC("c");
  t.DestroyKeyString("a", nullptr, nullptr);
  t.DestroyKeyString(&strC, nullptr);
  EXPECT_EQ(Walk(t), (std::vector<void*>{Item(1), Item(3)}));

  CPTree tn;
  tn.AddKeyNum(1, Item(1));
  tn.AddKeyNum(2, Item(2));
  tn.DestroyKeyNum(1, nullptr);
  EXPECT_EQ(tn.Destroy(reinterpret_cast<void*>(2ul), nullptr), 1);
  EXPECT_EQ(tn.Length(), 0u);
}

TEST(TreeStringKeys, NullCallbacksDoNothing) {
  CPTree t;
  t.AddKeyNum(4, Item(4));
  t.ForEach(static_cast<IteratorAction*>(nullptr));
  t.ForEach(static_cast<CPActionFunc>(nullptr), nullptr);
  t.ForEachLeaf(nullptr, nullptr);
  t.ForEachInternalContainer(nullptr, nullptr);
  EXPECT_EQ(t.FirstThatInternalContainer(nullptr, nullptr), nullptr);
  EXPECT_EQ(t.FindKeyNum(4), Item(4));
}

TEST(ReferenceTreeStringKeys, StoringNothingAnswersZeroAndTakesNoReference) {
  Counted* p = new Counted(1);
  p->AddRef();  // ours
  {
    CrTree crt;
    CPString strKey("k");
    EXPECT_EQ(crt.AddKeyString(&strKey, p), 1);
    EXPECT_EQ(p->_get_nRefCount(), 2);
    CPString strSame("k");
    EXPECT_EQ(crt.AddKeyString(&strSame, p), 0);  // the key is present
    EXPECT_EQ(crt.AddKeyString(static_cast<CPString*>(nullptr), p), 0);
    EXPECT_EQ(crt.AddKeyString(static_cast<const char*>(nullptr), p, nullptr), 0);
    EXPECT_EQ(p->_get_nRefCount(), 2);
    EXPECT_EQ(crt.Length(), 1u);

    CPString strAbsent("z");
    EXPECT_EQ(crt.RemoveKeyString(&strAbsent), 0);
    EXPECT_EQ(p->_get_nRefCount(), 2);
    EXPECT_EQ(crt.RemoveKeyString(&strSame), 1);
    EXPECT_EQ(p->_get_nRefCount(), 1);
  }
  EXPECT_EQ(p->_get_nRefCount(), 1);
  p->Release();
}

TEST(ReferenceTreeStringKeys, FailedAssignmentLeavesTheTree) {
  Counted* pA = new Counted(1);
  Counted* pB = new Counted(2);
  CrTree crtA, crtB;
  crtA.AddKeyNum(1, pA);
  crtB.AddKeyNum(2, pB);
  Createable::SetAllocationFailure(1);  // the new wrapped tree
  EXPECT_NIL_REPORT(crtA = crtB, "cpcoll\\crtree", "ptreeThe");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(crtA.Length(), 1u);
  EXPECT_EQ(crtA.FindKeyNum(1), pA);
  EXPECT_EQ(pB->_get_nRefCount(), 1);
  crtA = crtB;
  EXPECT_EQ(crtA.FindKeyNum(2), pB);
  EXPECT_EQ(crtA.FindKeyNum(1), nullptr);
  EXPECT_EQ(pB->_get_nRefCount(), 2);
}

}  // namespace
