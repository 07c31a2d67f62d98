// Standard iterators over the collections: range-for and <algorithm> over
// every CPCollection, fail-fast behaviour, independent copies, and the
// referenced snapshots of the reference collections.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPHashTable.h>
#include <cpcoll/CPQueue.h>
#include <cpcoll/CPVector.h>
#include <cpcoll/CpArray.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/CrCollection.h>
#include <cpcoll/cplist.h>
#include <cpcoll/cpstack.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <cpcoll/crtree.h>
#include <cpcoll/modern_iter.h>

#include "support/counted.h"
#include "support/report_capture.h"

namespace {

static_assert(std::is_same<std::iterator_traits<tarncoll::CollectionIterator<void>>::iterator_category,
                           std::forward_iterator_tag>::value,
              "collections walk forward");
static_assert(std::is_same<std::iterator_traits<tarncoll::CollectionIterator<void>>::value_type, void*>::value,
              "untyped walks yield void*");

int gItems[6] = {10, 20, 30, 40, 50, 60};

std::vector<void*> Walk(CPCollection& coll) {
  std::vector<void*> v;
  for (void* pv : coll) v.push_back(pv);
  return v;
}

// What the built-in cursor walk (BuildVector) yields.
std::vector<void*> CursorOrder(CPCollection& coll) {
  void** ppv = coll.BuildVector();
  std::vector<void*> v(ppv, ppv + coll.Length());
  delete[] ppv;
  return v;
}

// ---- every collection: the same items as its own walk, cursor untouched ----

template <class C>
class EveryCollection : public ::testing::Test {};
using CollectionTypes =
    ::testing::Types<CPList, CPHashTable, CPArray, CPStack, CPVector, CPDictionary, CPTree, CPQueue>;
TYPED_TEST_SUITE(EveryCollection, CollectionTypes);

TYPED_TEST(EveryCollection, RangeForYieldsTheItemsInCursorOrderAndLeavesTheCursor) {
  TypeParam coll;
  CPCollection& rcoll = coll;
  EXPECT_TRUE(Walk(rcoll).empty());
  for (int i : {3, 0, 4, 1, 2}) rcoll.Add(&gItems[i]);

  // The built-in cursor stands on the second item during the walk.
  rcoll.GotoTop();
  rcoll.Next();
  void* pvCursor = rcoll.Retrieve();
  std::vector<void*> vWalked = Walk(rcoll);
  EXPECT_EQ(rcoll.Retrieve(), pvCursor);
  EXPECT_EQ(vWalked, CursorOrder(rcoll));
  EXPECT_EQ(vWalked.size(), rcoll.Length());
}

TYPED_TEST(EveryCollection, AddDuringTheLoopThrowsTheCursorException) {
  TypeParam coll;
  CPCollection& rcoll = coll;
  rcoll.Add(&gItems[0]);
  rcoll.Add(&gItems[1]);
  if (rcoll.Length() == 0) return;  // the vector stores nothing to walk
  int nVisited = 0;
  EXPECT_CURSOR_EXCEPTION(for (void* pv
                               : rcoll) {
    ++nVisited;
    if (pv) rcoll.Add(&gItems[5]);
  });
  EXPECT_EQ(nVisited, 1);
}

// ---- fail-fast details ----

TEST(ModernIterFailFast, ReadAndStepAfterAChangeThrowAlsoForCopiesLeftBehind) {
  CPList lst;
  for (int i : {0, 1, 2}) lst.Add(&gItems[i]);
  auto it = begin(lst);
  auto itBehind = it;
  ++it;  // the shared cursor moves on: itBehind will need one of its own
  lst.Detach(&gItems[2]);
  EXPECT_CURSOR_EXCEPTION(*it);
  EXPECT_CURSOR_EXCEPTION(++it);
  EXPECT_CURSOR_EXCEPTION(++itBehind);
  EXPECT_EQ(Walk(lst), (std::vector<void*>{&gItems[0], &gItems[1]}));  // a new walk accepts the change
}

TEST(ModernIterFailFast, NoCursorMeansBadAllocAndNothingChanges) {
  CPList lst;
  lst.Add(&gItems[0]);
  Createable::SetAllocationFailure(1);  // the iteration state
  EXPECT_THROW(begin(lst), std::bad_alloc);
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(Walk(lst).size(), 1u);
}

// ---- forward-iterator behaviour and algorithms ----

TEST(ModernIterAlgorithms, CountAndFindIfOverAList) {
  CPList lst;
  for (int i : {0, 1, 0, 2, 0}) lst.Add(&gItems[i]);
  EXPECT_EQ(std::count(begin(lst), end(lst), static_cast<void*>(&gItems[0])), 3);
  auto it = std::find_if(begin(lst), end(lst), [](void* pv) { return *static_cast<int*>(pv) > 15; });
  ASSERT_NE(it, end(lst));
  EXPECT_EQ(*it, &gItems[1]);
  EXPECT_EQ(std::distance(begin(lst), end(lst)), 5);
}

TEST(ModernIterAlgorithms, CopiesWalkOnIndependently) {
  CPList lst;
  for (int& n : gItems) lst.Add(&n);
  auto itA = begin(lst);
  ++itA;  // on 20
  auto itB = itA;
  auto itC = itA;
  ++itA;
  ++itA;  // on 40
  ++itC;  // steps a cursor of its own from 20
  EXPECT_EQ(*itC, &gItems[2]);
  ASSERT_NE(itB.node(), nullptr);  // read through a cursor of its own
  EXPECT_EQ(itB.node()->_get_pvTheData(), &gItems[1]);
  EXPECT_EQ(*itB, &gItems[1]);
  ++itB;
  EXPECT_EQ(*itB, &gItems[2]);
  EXPECT_EQ(*itA, &gItems[3]);
  EXPECT_NE(itA, itB);
  ++itB;
  EXPECT_EQ(itA, itB);  // both on 40
  EXPECT_EQ(*itA++, &gItems[3]);
  EXPECT_EQ(*itA, &gItems[4]);
}

TEST(ModernIterAlgorithms, MultiPassAlgorithmsOverATree) {
  CPTree tree;
  // Keys chosen so that the key order differs from the value order.
  int aValues[] = {5, 9, 1, 9, 3};
  for (unsigned long k = 0; k < 5; ++k) tree.AddKeyNum(k, &aValues[k]);
  auto deref = [](void* pv) { return *static_cast<int*>(pv); };
  auto itMax = std::max_element(begin(tree), end(tree), [&](void* a, void* b) { return deref(a) < deref(b); });
  EXPECT_EQ(*itMax, &aValues[1]);  // the first 9 in key order
  auto itPair = std::adjacent_find(begin(tree), end(tree), [&](void* a, void* b) { return deref(a) > deref(b); });
  ASSERT_NE(itPair, end(tree));
  EXPECT_EQ(*itPair, &aValues[1]);  // 9 > 1
}

TEST(ModernIterAlgorithms, WalkEndsAtTheFirstNullItem) {
  CPList lst;
  lst.Add(&gItems[0]);
  lst.Add(nullptr);
  lst.Add(&gItems[1]);
  EXPECT_EQ(Walk(lst), std::vector<void*>{&gItems[0]});
}

// ---- dictionaries: items, entries, nodes ----

TEST(ModernIterDictionary, YieldsItemsAlsoThroughTheBaseAndEntriesOnRequest) {
  CPDictionary dct;
  dct.AddKeyString("b", &gItems[1], nullptr);
  dct.AddKeyNum(7, &gItems[0]);
  CPCollection* pcl = &dct;
  std::vector<void*> vItems = Walk(*pcl);
  EXPECT_EQ(vItems, CursorOrder(dct));
  std::vector<void*> vFromEntries;
  for (CPDictionaryAssociation* pda : tarncoll::Entries(dct)) vFromEntries.push_back(pda->GetValue());
  EXPECT_EQ(vFromEntries, vItems);
}

TEST(ModernIterNodes, ListNodesHoldTheItems) {
  CPList lst;
  lst.Add(&gItems[0]);
  lst.Add(&gItems[1]);
  std::vector<void*> v;
  for (CPInternalContainer* pic : tarncoll::Nodes(lst)) v.push_back(pic->_get_pvTheData());
  EXPECT_EQ(v, Walk(lst));
}

// ---- reference collections: referenced snapshots ----

TEST(ModernIterSnapshot, HoldsTheObjectsForTheLoopEvenWhenTheyAreRemoved) {
  int nLiveBefore = Counted::Live();
  {
    CrList crl;
    Counted* a = new Counted(1);
    crl.Add(a);
    crl.Add(new Counted(2));
    crl.Add(a);  // a twice
    std::vector<int> vIds;
    for (Createable* pcr : crl) {
      vIds.push_back(static_cast<Counted*>(pcr)->Id());
      if (vIds.size() == 1) {
        EXPECT_EQ(a->_get_nRefCount(), 4);  // two of the list's, two of the snapshot's
        crl.RemoveAll();                    // the list's references go...
        EXPECT_EQ(a->_get_nRefCount(), 2);
        EXPECT_EQ(Counted::Live(), nLiveBefore + 2);  // ...the snapshot's remain
      }
    }
    EXPECT_EQ(vIds, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(Counted::Live(), nLiveBefore);
  }
}

TEST(ModernIterSnapshot, TreeInKeyOrderDictionaryInSlotOrder) {
  CrTree crt;
  CrDictionary crd;
  EXPECT_EQ(begin(crt), end(crt));
  for (long k : {3L, 1L, 2L}) {
    crt.AddKeyNum(k, new Counted(static_cast<int>(k)));
    crd.AddKeyNum(k + 256, new Counted(static_cast<int>(k)));  // slots 3, 1, 2
  }
  for (CrCollection* pcrc : {static_cast<CrCollection*>(&crt), static_cast<CrCollection*>(&crd)}) {
    std::vector<int> vIds;
    for (Counted* p : tarncoll::Objects<Counted>(*pcrc)) vIds.push_back(p->Id());
    EXPECT_EQ(vIds, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(
        std::count_if(begin(*pcrc), end(*pcrc), [](Createable* pcr) { return static_cast<Counted*>(pcr)->Id() > 1; }),
        2);
  }
}

TEST(ModernIterSnapshot, CopiesCompareByTheirPlaceInTheSnapshot) {
  CrList crl;
  for (int id : {1, 2, 3}) crl.Add(new Counted(id));
  auto it = begin(crl);
  auto itCopy = it;
  EXPECT_TRUE(it == itCopy);
  EXPECT_FALSE(it != itCopy);
  ++itCopy;
  EXPECT_FALSE(it == itCopy);
  EXPECT_TRUE(it != itCopy);
  EXPECT_EQ(static_cast<Counted*>(*it)->Id(), 1);  // the copy stepped alone
  EXPECT_EQ(static_cast<Counted*>(*itCopy)->Id(), 2);
  ++it;
  EXPECT_TRUE(it == itCopy);
  ++it;
  ++it;
  EXPECT_TRUE(it == end(crl));
  EXPECT_FALSE(it != end(crl));
  EXPECT_TRUE(itCopy != end(crl));
  EXPECT_EQ(std::distance(itCopy, end(crl)), 2);
}

}  // namespace
