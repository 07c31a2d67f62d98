// CrTree: the reference rule over the tree (adds, removes, detaches,
// destruction, copies), key order, and what it does not support.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/crtree.h>

#include "support/counted.h"
#include "support/crtree_inspector.h"
#include "support/report_capture.h"

namespace {

const char kSrc[] = "cpcoll\\crtree";

int IdOf(void* pv) { return static_cast<Counted*>(static_cast<Createable*>(pv))->Id(); }

class CrTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { nLiveBefore = Counted::Live(); }
  void TearDown() override { EXPECT_EQ(Counted::Live(), nLiveBefore); }
  int nLiveBefore = 0;
};

}  // namespace

TEST_F(CrTreeTest, AddTakesOneReferenceAndPresentKeysNone) {
  CrTree t;
  Counted* a = new Counted(1);
  Counted* b = new Counted(2);
  EXPECT_EQ(t.AddKeyNum(5, a), 1);
  EXPECT_EQ(a->_get_nRefCount(), 1);
  EXPECT_EQ(t.AddKeyNum(5, b), 0);  // present: nothing stored, b untouched
  EXPECT_EQ(b->_get_nRefCount(), 0);
  EXPECT_EQ(t.FindKeyNum(5), a);
  EXPECT_ASSERT_REPORT(t.AddKeyNum(6, nullptr), kSrc, "pcrEntry");
  EXPECT_EQ(t.Length(), 1u);
  EXPECT_EQ(CrTreeInspector::Check(t), "");
  delete b;
}

TEST_F(CrTreeTest, RemoveReleasesOnceAndAbsentKeysNothing) {
  CrTree t;
  Counted* a = new Counted(1);
  a->AddRef();  // the test's own reference
  t.AddKeyNum(1, a);
  EXPECT_EQ(t.RemoveKeyNum(2), 0);
  EXPECT_EQ(a->_get_nRefCount(), 2);
  EXPECT_EQ(t.RemoveKeyNum(1), 1);
  EXPECT_EQ(a->_get_nRefCount(), 1);
  EXPECT_EQ(t.FindKeyNum(1), nullptr);
  a->Release();
}

TEST_F(CrTreeTest, WalksInKeyOrderBothWays) {
  CrTree t;
  for (int k : {30, 10, 20}) t.AddKeyNum(k, new Counted(k));
  std::vector<int> ids;
  t.ForEach([](void* pv, void* u) { static_cast<std::vector<int>*>(u)->push_back(IdOf(pv)); }, &ids);
  EXPECT_EQ(ids, (std::vector<int>{10, 20, 30}));
  ids.clear();
  for (t.GotoBottom(); t.Retrieve(); t.Prev()) ids.push_back(static_cast<Counted*>(t.Retrieve())->Id());
  EXPECT_EQ(ids, (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(IdOf(t[20]), 20);  // operator[] takes a key, not a position
  EXPECT_EQ(t[1], nullptr);
  Createable* pcr = t.FirstThat([](void* pv, void*) { return int(IdOf(pv) > 15); }, nullptr);
  EXPECT_EQ(static_cast<Counted*>(pcr)->Id(), 20);
}  // the destructor releases all three

TEST_F(CrTreeTest, DetachPassesTheReferenceToTheCaller) {
  CrTree t;
  Counted* a = new Counted(1);
  t.AddKeyNum(7, a);
  t.DetachKeyNum(7);
  EXPECT_EQ(t.FindKeyNum(7), nullptr);
  EXPECT_EQ(a->_get_nRefCount(), 1);  // now the caller's
  a->Release();
}

TEST_F(CrTreeTest, StringKeys) {
  CrTree t;
  CPString* k = new CPString("beta");
  k->AddRef();
  EXPECT_EQ(t.AddKeyString(k, new Counted(2)), 1);
  EXPECT_EQ(t.AddKeyString("alpha", new Counted(1), nullptr), 1);
  Counted* c = new Counted(3);
  EXPECT_EQ(t.AddKeyString("beta", c, nullptr), 0);
  EXPECT_EQ(t.ExistsKeyString("alpha", nullptr), 1);
  EXPECT_EQ(t.ExistsKeyString(k), 1);
  std::vector<int> ids;
  t.ForEach([](void* pv, void* u) { static_cast<std::vector<int>*>(u)->push_back(IdOf(pv)); }, &ids);
  EXPECT_EQ(ids, (std::vector<int>{1, 2}));
  EXPECT_ASSERT_REPORT(t.AddKeyNum(3, c), "cpcoll\\BTree", "etdsState == etreeNumber");
  EXPECT_EQ(c->_get_nRefCount(), 0);
  delete c;
  EXPECT_EQ(t.RemoveKeyString(k), 1);
  EXPECT_EQ(t.RemoveKeyString("alpha", nullptr), 1);
  EXPECT_EQ(t.RemoveKeyString("alpha", nullptr), 0);
  EXPECT_EQ(t.Length(), 0u);
  k->Release();
}

TEST_F(CrTreeTest, NodeSearchesAndUnsupportedOperations) {
  CrTree t;
  for (int k = 1; k <= 4; ++k) t.AddKeyNum(k, new Counted(k));
  auto even = [](void* node, void*) {
    Leaf* plf = static_cast<Leaf*>(static_cast<CPInternalContainer*>(node));
    return int(IdOf(plf->pvData) % 2 == 0);
  };
  Createable* pn = t.FirstThatInternalContainer(even, nullptr);
  ASSERT_NE(dynamic_cast<Leaf*>(pn), nullptr);
  EXPECT_EQ(IdOf(dynamic_cast<Leaf*>(pn)->pvData), 2);
  pn = t.NextThatInternalContainer(even, nullptr);
  EXPECT_EQ(IdOf(dynamic_cast<Leaf*>(pn)->pvData), 4);
  EXPECT_EQ(t.NextThatInternalContainer(even, nullptr), nullptr);
  int nNodes = 0;
  t.ForEachInternalContainer([](void*, void* u) { ++*static_cast<int*>(u); }, &nNodes);
  EXPECT_EQ(nNodes, 4);

  EXPECT_ASSERT_REPORT(t.AllThatInternalContainer(even, nullptr), kSrc, "1==0");
  EXPECT_ASSERT_REPORT(t.ForEach(CrKeyActionFunc(nullptr), nullptr), "cpcoll\\BTree", "1==0");
  t.RemoveAll();
  EXPECT_EQ(t.Length(), 0u);
}

TEST_F(CrTreeTest, CopiesTakeTheirOwnReferences) {
  Counted* a = new Counted(1);
  CrTree* pt = new CrTree;
  pt->AddKeyNum(1, a);
  CrTree copy(*pt);
  EXPECT_EQ(a->_get_nRefCount(), 2);
  EXPECT_EQ(CrTreeInspector::Check(copy), "");
  EXPECT_NE(CrTreeInspector::Tree(copy), CrTreeInspector::Tree(*pt));
  delete pt;
  EXPECT_EQ(a->_get_nRefCount(), 1);

  CrTree other;
  other.AddKeyNum(2, new Counted(2));
  other = copy;  // Counted 2 goes, a gains a reference
  EXPECT_EQ(a->_get_nRefCount(), 2);
  EXPECT_EQ(other.FindKeyNum(1), a);
  EXPECT_EQ(other.FindKeyNum(2), nullptr);
  CrTree& alias = other;
  other = alias;
  EXPECT_EQ(a->_get_nRefCount(), 2);
}

TEST_F(CrTreeTest, PresenceDoesNotDependOnTheObjectsAddress) {
  // An object whose address has 16 low zero bits is still present.
  void* pvBlock = std::aligned_alloc(0x10000, 0x10000);
  ASSERT_NE(pvBlock, nullptr);
  Counted* a = ::new (pvBlock) Counted(1);  // freed by its last Release
  Counted* b = new Counted(2);
  CrTree t;
  EXPECT_EQ(t.AddKeyNum(1, a), 1);
  EXPECT_EQ(t.ExistsKeyNum(1), 1);
  EXPECT_EQ(t.AddKeyNum(1, b), 0);
  EXPECT_EQ(a->_get_nRefCount(), 1);
  EXPECT_EQ(b->_get_nRefCount(), 0);
  delete b;
}
