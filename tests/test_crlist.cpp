// CrList: reference counting on entry and exit, the wrapped list's cursor
// and searches, deep copies, and failures that must leave counts intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include <cpcoll/cplist.h>
#include <cpcoll/crlist.h>

#include "support/crlist_inspector.h"
#include "support/ref_probe.h"
#include "support/report_capture.h"

namespace {

const char kCrList[] = "cpcoll\\crlist";

std::vector<int> Ids(CrList& crlst) {
  std::vector<int> v;
  crlst.ForEach([](void* pv, void* user) {
    static_cast<std::vector<int>*>(user)->push_back(static_cast<Probe*>(static_cast<Createable*>(pv))->Id());
  }, &v);
  return v;
}

int IdOf(Createable* pcr) { return pcr ? static_cast<Probe*>(pcr)->Id() : -1; }

using CrListRefs = RefTest;

TEST_F(CrListRefs, AddTakesOneReferencePerNodeAndRemoveDropsOne) {
  Probe* p = HeldProbe(1);
  {
    CrList crlst;
    crlst.Add(p);
    crlst.Add(p);  // p, p
    EXPECT_EQ(p->_get_nRefCount(), 3);
    EXPECT_EQ(crlst.Length(), 2u);
    EXPECT_TRUE(CrListInspector::Check(crlst));

    EXPECT_EQ(crlst.Remove(p), 1);  // p
    EXPECT_EQ(p->_get_nRefCount(), 2);
    EXPECT_EQ(crlst.Length(), 1u);
    EXPECT_EQ(crlst.RetrieveIDX(0), p);
    EXPECT_TRUE(CrListInspector::Check(crlst));
  }
  // The destructor released the second node's reference.
  EXPECT_EQ(p->_get_nRefCount(), 1);
  EXPECT_TRUE(Probe::Destroyed().empty());
  p->Release();
}

TEST_F(CrListRefs, RemoveOfAnObjectNotHeldReleasesNothingAndReturnsZero) {
  Probe* pIn = HeldProbe(1);
  Probe* pOut = HeldProbe(2);
  CrList crlst;
  EXPECT_EQ(crlst.Remove(pOut), 0);  // empty list
  crlst.Add(pIn);
  EXPECT_EQ(crlst.Remove(pOut), 0);
  EXPECT_EQ(pOut->_get_nRefCount(), 1);
  EXPECT_EQ(pIn->_get_nRefCount(), 2);
  EXPECT_TRUE(Probe::Released().empty());
  EXPECT_EQ(crlst.Length(), 1u);
  crlst.RemoveAll();
  pIn->Release();
  pOut->Release();
}

TEST_F(CrListRefs, NullObjectIsReportedAndChangesNothing) {
  Probe* p = HeldProbe(1);
  CrList crlst;
  crlst.Add(p);
  EXPECT_ASSERT_REPORT(crlst.Add(nullptr), kCrList, "pcrEntry");
  EXPECT_ASSERT_REPORT(crlst.Remove(nullptr), kCrList, "pcrEntry");
  EXPECT_EQ(crlst.Length(), 1u);
  EXPECT_EQ(p->_get_nRefCount(), 2);
  EXPECT_TRUE(CrListInspector::Check(crlst));
  crlst.RemoveAll();
  p->Release();
}

TEST_F(CrListRefs, ListHoldingTheLastReferenceDestroysTheObjectOnRemoveAndDestruction) {
  CrList* pcrlst = new CrList;
  pcrlst->Add(new Probe(1));
  pcrlst->Add(new Probe(2));
  pcrlst->Add(new Probe(3));
  Probe* pKept = HeldProbe(4);
  pcrlst->Add(pKept);

  EXPECT_EQ(pcrlst->Remove(pcrlst->RetrieveIDX(1)), 1);  // 1, 3, 4
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({2}));

  Probe::ResetLog();
  pcrlst->RemoveAll();  // released in list order
  EXPECT_EQ(Probe::Released(), std::vector<int>({1, 3, 4}));
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({1, 3}));
  EXPECT_EQ(pcrlst->Length(), 0u);
  EXPECT_EQ(pKept->_get_nRefCount(), 1);

  Probe::ResetLog();
  pcrlst->Add(new Probe(5));
  pcrlst->Add(pKept);
  pcrlst->AddRef();
  pcrlst->Release();  // the list's last reference: it goes, and with it 5
  EXPECT_EQ(Probe::Released(), std::vector<int>({5, 4}));
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({5}));
  EXPECT_EQ(pKept->_get_nRefCount(), 1);
  pKept->Release();
}

using CrListWalks = RefTest;

TEST_F(CrListWalks, CursorAndPositionsLendObjectsWithoutReferences) {
  CrList crlst;
  for (int id = 1; id <= 3; ++id) crlst.Add(new Probe(id));  // 1 2 3
  EXPECT_EQ(Ids(crlst), std::vector<int>({1, 2, 3}));
  crlst.GotoBottom();
  EXPECT_EQ(IdOf(crlst.Retrieve()), 3);
  EXPECT_EQ(crlst.Prev(), 1);
  EXPECT_EQ(IdOf(crlst.Retrieve()), 2);
  crlst.GotoTop();
  EXPECT_EQ(crlst.Prev(), 0);
  EXPECT_EQ(crlst.Retrieve(), nullptr);
  EXPECT_EQ(IdOf(crlst.RetrieveIDX(2)), 3);
  EXPECT_EQ(IdOf(crlst.RetrieveIDX(0)), 1);
  EXPECT_EQ(crlst.RetrieveIDX(crlst.Length()), nullptr);
  EXPECT_TRUE(Probe::Released().empty());
  for (unsigned long i = 0; i < 3; ++i) EXPECT_EQ(crlst.RetrieveIDX(i)->_get_nRefCount(), 1);
}

TEST_F(CrListWalks, FirstThatAndNextThatContinueOneSearch) {
  CrList crlst;
  for (int id = 1; id <= 6; ++id) crlst.Add(new Probe(id));
  CPConditionFunc even = [](void* pv, void*) -> int {
    return static_cast<Probe*>(static_cast<Createable*>(pv))->Id() % 2 == 0;
  };
  EXPECT_EQ(IdOf(crlst.FirstThat(even, nullptr)), 2);
  EXPECT_EQ(IdOf(crlst.Retrieve()), 2);  // the cursor stays on the match
  EXPECT_EQ(IdOf(crlst.NextThat(even, nullptr)), 4);
  EXPECT_EQ(IdOf(crlst.NextThat(even, nullptr)), 6);
  EXPECT_EQ(crlst.NextThat(even, nullptr), nullptr);
  EXPECT_EQ(IdOf(crlst.FirstThat(even, nullptr)), 2);  // a new search starts over
  EXPECT_TRUE(Probe::Released().empty());
}

using CrListCopy = RefTest;

TEST_F(CrListCopy, CopyIsDeepAndTakesItsOwnReferences) {
  Probe* p1 = HeldProbe(1);
  Probe* p2 = HeldProbe(2);
  CrList* pcrlst = new CrList;
  pcrlst->Add(p1);
  pcrlst->Add(p2);
  pcrlst->Add(p1);  // 1 2 1
  pcrlst->GotoBottom();

  CrList* pcrlstCopy = new CrList(*pcrlst);
  EXPECT_NE(CrListInspector::Wrapped(*pcrlstCopy), CrListInspector::Wrapped(*pcrlst));
  EXPECT_EQ(Ids(*pcrlstCopy), std::vector<int>({1, 2, 1}));
  EXPECT_EQ(p1->_get_nRefCount(), 5);
  EXPECT_EQ(p2->_get_nRefCount(), 3);
  EXPECT_EQ(IdOf(pcrlst->Retrieve()), 1);  // the source's cursor did not move
  EXPECT_EQ(pcrlst->Next(), 0);
  EXPECT_TRUE(CrListInspector::Check(*pcrlstCopy));

  delete pcrlst;
  EXPECT_EQ(Ids(*pcrlstCopy), std::vector<int>({1, 2, 1}));
  EXPECT_EQ(p1->_get_nRefCount(), 3);
  delete pcrlstCopy;
  EXPECT_EQ(p1->_get_nRefCount(), 1);
  EXPECT_EQ(p2->_get_nRefCount(), 1);
  p1->Release();
  p2->Release();
}

TEST_F(CrListCopy, AssignmentTakesTheNewReferencesBeforeDroppingTheOld) {
  // The source list is itself held only by the target: releasing the old
  // content first would destroy the source before it was copied.
  CrList crlstOuter;
  CrList* pcrlstInner = new CrList;
  pcrlstInner->Add(new Probe(1));
  pcrlstInner->Add(new Probe(2));
  crlstOuter.Add(pcrlstInner);
  crlstOuter.Add(new Probe(3));

  crlstOuter = *pcrlstInner;
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({3}));
  EXPECT_EQ(Ids(crlstOuter), std::vector<int>({1, 2}));
  EXPECT_EQ(crlstOuter.RetrieveIDX(0)->_get_nRefCount(), 1);
  EXPECT_TRUE(CrListInspector::Check(crlstOuter));

  CrList& crlstSame = crlstOuter;
  crlstOuter = crlstSame;  // self-assignment changes nothing
  EXPECT_EQ(Ids(crlstOuter), std::vector<int>({1, 2}));
  EXPECT_EQ(crlstOuter.RetrieveIDX(0)->_get_nRefCount(), 1);
}

using CrListFailures = RefTest;

TEST_F(CrListFailures, ConstructorReportsAWrappedListThatCannotBeMade) {
  Createable::SetAllocationFailure(2);  // 1: the CrList, 2: its CPList
  EXPECT_NIL_REPORT(delete new CrList, kCrList, "plstThe");
}

TEST_F(CrListFailures, FailedAddTakesNoReference) {
  Probe* p = HeldProbe(1);
  CrList crlst;
  crlst.Add(p);
  Createable::SetAllocationFailure(1);  // the node
  EXPECT_THROW(crlst.Add(p), AssertionFailure);
  EXPECT_EQ(p->_get_nRefCount(), 2);
  EXPECT_EQ(crlst.Length(), 1u);
  EXPECT_TRUE(CrListInspector::Check(crlst));
  crlst.RemoveAll();
  p->Release();
}

TEST_F(CrListFailures, FailedCopyGivesBackEveryReferenceItTook) {
  CrList crlst;
  for (int id = 1; id <= 4; ++id) crlst.Add(new Probe(id));
  CrList crlstTarget;
  crlstTarget.Add(new Probe(9));
  // Allocations of a copy: the CPList, then one node per object.
  for (long nth = 1; nth <= 5; ++nth) {
    SCOPED_TRACE(nth);
    Createable::SetAllocationFailure(nth + 1);  // +1: the CrList itself
    EXPECT_THROW(delete new CrList(crlst), AssertionFailure);
    Createable::SetAllocationFailure(nth);
    EXPECT_THROW(crlstTarget = crlst, AssertionFailure);
    Createable::SetAllocationFailure(0);
    for (unsigned long i = 0; i < 4; ++i) EXPECT_EQ(crlst.RetrieveIDX(i)->_get_nRefCount(), 1);
    EXPECT_EQ(Ids(crlstTarget), std::vector<int>({9}));
  }
  EXPECT_TRUE(Probe::Destroyed().empty());
}

// Random adds and removes against a model of the node sequence; after every
// step the order, the counts and every object's references must agree.
TEST_F(CrListRefs, RandomAddsAndRemovesMatchAModel) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  std::vector<Probe*> pool;
  for (int id = 0; id < 8; ++id) pool.push_back(HeldProbe(id));
  std::vector<int> model;
  {
    CrList crlst;
    for (int step = 0; step < 400; ++step) {
      Probe* p = pool[rng() % pool.size()];
      if (rng() % 3 != 0) {
        crlst.Add(p);
        model.push_back(p->Id());
      } else {
        auto it = std::find(model.begin(), model.end(), p->Id());
        short nExpected = it != model.end() ? 1 : 0;
        if (it != model.end()) model.erase(it);
        ASSERT_EQ(crlst.Remove(p), nExpected);
      }
      ASSERT_TRUE(CrListInspector::Check(crlst));
      ASSERT_EQ(Ids(crlst), model);
      for (Probe* q : pool)
        ASSERT_EQ(q->_get_nRefCount(), 1 + std::count(model.begin(), model.end(), q->Id()));
    }
  }
  for (Probe* q : pool) {
    EXPECT_EQ(q->_get_nRefCount(), 1);
    q->Release();
  }
}

}  // namespace
