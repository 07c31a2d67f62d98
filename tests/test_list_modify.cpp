// CPList: insertion, removal, kill functions, node references, copying,
// memory per item, and every report.
#include <gtest/gtest.h>
#include <malloc.h>

#include <string>
#include <vector>

#include <cpcoll/cplist.h>
#include <cpcoll/detail/bucket_links.h>
#include <cpcoll/detail/node_pool.h>

#include "support/list_inspector.h"
#include "support/report_capture.h"

namespace {

const char kList[] = "cpcoll\\cplist";
const char kCollection[] = "cpcoll\\cpcollec";

std::vector<void*>& Killed() {
  static std::vector<void*> v;
  return v;
}
void RecordKill(void* pv, void* user) {
  EXPECT_EQ(user, nullptr);
  Killed().push_back(pv);
}

// The pointer surgery alone, on hand-built nodes.
TEST(BucketLinks, LinkAndUnlinkOnPlainNodes) {
  CPBucket a, b, c;
  CPBucket* head = nullptr;
  CPBucket* tail = nullptr;
  tarncoll::detail::list::LinkAfter(head, tail, nullptr, &b);  // b
  EXPECT_EQ(head, &b);
  EXPECT_EQ(tail, &b);
  tarncoll::detail::list::LinkBefore(head, tail, nullptr, &c);  // b c
  tarncoll::detail::list::LinkBefore(head, tail, &b, &a);       // a b c
  EXPECT_EQ(head, &a);
  EXPECT_EQ(tail, &c);
  EXPECT_EQ(a._get_pbktNext(), &b);
  EXPECT_EQ(b._get_pbktPrev(), &a);
  EXPECT_EQ(b._get_pbktNext(), &c);
  EXPECT_EQ(c._get_pbktPrev(), &b);
  tarncoll::detail::list::Unlink(head, tail, &b);  // a c
  EXPECT_EQ(a._get_pbktNext(), &c);
  EXPECT_EQ(c._get_pbktPrev(), &a);
  EXPECT_EQ(b._get_pbktPrev(), nullptr);
  EXPECT_EQ(b._get_pbktNext(), nullptr);
  tarncoll::detail::list::Unlink(head, tail, &c);  // a
  EXPECT_EQ(tail, &a);
  EXPECT_EQ(a._get_pbktNext(), nullptr);
  tarncoll::detail::list::Unlink(head, tail, &a);
  EXPECT_EQ(head, nullptr);
  EXPECT_EQ(tail, nullptr);
}

TEST(CPListMemory, OneNodeOfAtMost64BytesPerItem) {
  // Node plus the allocator's 8-byte chunk header, rounded as the
  // allocator hands it out.
  static_assert(sizeof(CPBucket) <= 48, "a list node must fit a 64-byte chunk");
  ListItems it;
  CPList lst;
  lst.Add(&it.p);
#if TARNCOLL_NODE_POOL
  // Nodes are blocks of the node pool, without an allocator header.
  static_assert(tarncoll::detail::kNodeBlockSize <= 64, "a pool block must not exceed 64 bytes");
#else
  size_t nUsable = malloc_usable_size(lst._get_pbktHead());
  EXPECT_GE(nUsable, sizeof(CPBucket));
  EXPECT_LE(nUsable + sizeof(size_t), 64u);
#endif
  // Exactly one allocation per appended item: the second allocation from
  // now fails, so the first Add succeeds and the second one reports.
  Createable::SetAllocationFailure(2);
  lst.Add(&it.q);
  EXPECT_ASSERT_REPORT(lst.Add(&it.r), kList, "pbktNew !=0");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(lst.Length(), 2u);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, DuplicatesOccupyOneNodeEach) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.p});
  EXPECT_EQ(lst.Length(), 3u);
  lst.Intern(&it.p);  // already present: nothing added
  EXPECT_EQ(lst.Length(), 3u);
  CPBucket* pbktFirst = lst._get_pbktHead();
  EXPECT_EQ(lst.FindBucket(&it.p), pbktFirst);
  EXPECT_EQ(lst.Detach(&it.p), 1);  // the one nearer the head
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.q, &it.p}));
  EXPECT_EQ(lst.Exists(&it.p), 1);
  EXPECT_EQ(lst.Detach(&it.p), 1);
  EXPECT_EQ(lst.Exists(&it.p), 0);
  EXPECT_EQ(lst.Detach(&it.p), 0);
  EXPECT_EQ(lst.Length(), 1u);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, DestroyKillsOnceWhileTheNodeIsStillLinked) {
  ListItems it;
  static CPList* s_plst;
  static std::vector<void*> s_linkedAtKill;
  CPList lst;
  s_plst = &lst;
  s_linkedAtKill.clear();
  Killed().clear();
  Fill(lst, {&it.p, &it.q, &it.r});
  short nXACT = lst._get_nXACT();
  auto kill = [](void* pv, void* user) {
    RecordKill(pv, user);
    s_linkedAtKill = CPListInspector::Forward(*s_plst);
  };
  EXPECT_EQ(lst.Destroy(&it.q, kill), 1);
  EXPECT_EQ(Killed(), (std::vector<void*>{&it.q}));
  EXPECT_EQ(s_linkedAtKill, (std::vector<void*>{&it.p, &it.q, &it.r}));
  EXPECT_EQ(lst._get_nXACT(), short(nXACT + 1));
  EXPECT_EQ(lst.Retrieve(), &it.r);  // the cursor on the successor
  // An absent item: result 0, the kill function is not called.
  EXPECT_EQ(lst.Destroy(&it.x, kill), 0);
  EXPECT_EQ(Killed().size(), 1u);
  EXPECT_EQ(lst._get_nXACT(), short(nXACT + 1));
  // Removing the tail under the cursor leaves the cursor off the list.
  lst.GotoBottom();
  EXPECT_EQ(lst.Destroy(&it.r, kill), 1);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst._get_pbktTail()->_get_pvData(), &it.p);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, KillFunctionThatThrowsLeavesTheListSound) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  auto killThrows = [](void*, void*) { throw 7; };
  EXPECT_THROW(lst.Destroy(&it.q, killThrows), int);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.p, &it.r}));
  EXPECT_TRUE(CPListInspector::Check(lst));
  // The first item was handed to kill and is gone; the second stays.
  EXPECT_THROW(lst.DestroyAll(killThrows), int);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.r}));
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, DestroyAllKillsHeadToTailAndLeavesAnEmptyList) {
  ListItems it;
  CPList lst;
  Killed().clear();
  Fill(lst, {&it.p, &it.q, &it.p, &it.r});
  lst.RetrieveIDX(2);
  lst.SetResetPoint();
  lst.Peek();
  short nXACT = lst._get_nXACT();
  EXPECT_EQ(lst.DestroyAll(&RecordKill), 1);
  EXPECT_EQ(Killed(), (std::vector<void*>{&it.p, &it.q, &it.p, &it.r}));
  EXPECT_EQ(lst._get_nXACT(), short(nXACT + 1));  // once for the whole clear
  EXPECT_EQ(lst.Length(), 0u);
  EXPECT_EQ(lst._get_pbktHead(), nullptr);
  EXPECT_EQ(lst._get_pbktTail(), nullptr);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst._get_pbktGot(), nullptr);
  EXPECT_EQ(CPListInspector::Reset(lst), nullptr);
  EXPECT_EQ(CPListInspector::Peeked(lst), nullptr);
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, DetachAllReleasesNodesAndKeepsCallerReferences) {
  ListItems it;
  CPList lst;
  CPBucket* pbkt = new CPBucket;
  pbkt->_set_pvData(&it.q);
  pbkt->AddRef();  // the caller keeps this node beyond its removal
  lst.Add(&it.p);
  lst.AddBucket(pbkt);
  EXPECT_EQ(pbkt->_get_nRefCount(), 2);
  EXPECT_EQ(lst.DetachAll(), 1);
  EXPECT_EQ(pbkt->_get_nRefCount(), 1);
  EXPECT_EQ(pbkt->_get_pvData(), &it.q);
  EXPECT_EQ(pbkt->_get_pbktPrev(), nullptr);  // no link into the old chain
  EXPECT_EQ(pbkt->_get_pbktNext(), nullptr);
  pbkt->Release();
}

TEST(CPListInsert, AddBucketLinksAfterTheFormerTail) {
  ListItems it;
  CPList lst;
  CPBucket* pbkt = new CPBucket;
  pbkt->_set_pvData(&it.p);
  lst.AddBucket(pbkt);  // empty: head and tail
  EXPECT_EQ(lst._get_pbktHead(), pbkt);
  EXPECT_EQ(pbkt->_get_nRefCount(), 1);
  CPBucket* pbkt2 = new CPBucket;
  pbkt2->_set_pvData(&it.q);
  short nXACT = lst._get_nXACT();
  lst.AddBucket(pbkt2);
  EXPECT_EQ(lst._get_nXACT(), short(nXACT + 1));
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.p, &it.q}));
  EXPECT_EQ(CPListInspector::Backward(lst), (std::vector<void*>{&it.q, &it.p}));
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, RetrieveAndDetachTopLeavesTheCursorOnTheNewHead) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q});
  EXPECT_EQ(lst.RetrieveAndDetachTop(), &it.p);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst.Length(), 1u);
  EXPECT_TRUE(CPListInspector::Check(lst));
  EXPECT_EQ(lst.RetrieveAndDetachTop(), &it.q);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst._get_pbktGot(), nullptr);
  EXPECT_EQ(lst.RetrieveAndDetachTop(), nullptr);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, UnlinkPrimitivesLeaveCountsAndReferences) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  short nXACT = lst._get_nXACT();
  lst.GotoTop();
  CPBucket* pbktHead = lst._get_pbktHead();
  lst.UnlinkTopBucket();
  EXPECT_EQ(lst.Retrieve(), &it.q);  // the cursor was on the head
  EXPECT_EQ(lst._get_pbktHead()->_get_pbktPrev(), nullptr);
  EXPECT_EQ(pbktHead->_get_nRefCount(), 1);
  EXPECT_EQ(lst.Length(), 3u);
  EXPECT_EQ(lst._get_nXACT(), nXACT);
  lst.UnlinkBucket(nullptr);  // ignored
  CPBucket* pbktTail = lst._get_pbktTail();
  lst.UnlinkBucket(pbktTail);  // cursor elsewhere: unchanged
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst._get_pbktTail()->_get_pvData(), &it.q);
  // Relink both through AddBucket, which takes a second reference.
  lst.AddBucket(pbktHead);
  lst.AddBucket(pbktTail);
  pbktHead->Release();
  pbktTail->Release();
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.q, &it.p, &it.r}));
  CPList lstEmpty;
  lstEmpty.UnlinkTopBucket();
  EXPECT_TRUE(CPListInspector::Check(lstEmpty));
}

TEST(CPListRemove, DetachAllThatRemovesItemsWhoseConditionIsZero) {
  ListItems it;
  CPList lst;
  auto none = [](void*, void*) { return 0; };
  auto two = [](void*, void*) { return 2; };
  auto notUser = [](void* pv, void* user) { return pv == user ? 0 : 1; };
  Fill(lst, {&it.p, &it.q, &it.p, &it.r});
  lst.DetachAllThat(two, nullptr);  // non-zero keeps
  EXPECT_EQ(lst.Length(), 4u);
  short nXACT = lst._get_nXACT();
  lst.DetachAllThat(notUser, &it.p);  // removes both p
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.q, &it.r}));
  EXPECT_EQ(lst._get_nXACT(), short(nXACT + 2));  // once per removal
  EXPECT_TRUE(CPListInspector::Check(lst));
  lst.DetachAllThat(none, nullptr);
  EXPECT_EQ(lst.Length(), 0u);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListRemove, NullItemIsStoredButEndsEveryWalk) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, nullptr, &it.q});
  EXPECT_EQ(lst.Length(), 3u);
  auto all = [](void*, void*) { return 1; };
  CPCollection* pcl = lst.AllThat(all, nullptr);
  EXPECT_EQ(pcl->Length(), 1u);
  delete pcl;
  void** ppv = lst.BuildVector();
  EXPECT_EQ(ppv[0], &it.p);
  EXPECT_EQ(ppv[1], nullptr);
  delete[] ppv;
  lst.DetachAllThat([](void*, void*) { return 0; }, nullptr);  // stops at the null item
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{nullptr, &it.q}));
  EXPECT_ASSERT_REPORT(lst.Exists(nullptr), kList, "pvItem2Find !=0");
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListReports, EveryPreconditionTextAndNothingChanges) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q});
  short nXACT = lst._get_nXACT();
  EXPECT_ASSERT_REPORT(lst.AddBucket(nullptr), kList, "pbktA !=0");
  EXPECT_ASSERT_REPORT(lst.FindBucket(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(lst.Exists(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(lst.Intern(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(lst.Detach(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(lst.Destroy(nullptr, &RecordKill), kList, "pvItem2Find !=0");
  // The kill function is checked before the item.
  EXPECT_ASSERT_REPORT(lst.Destroy(nullptr, nullptr), kList, "pfnKillFunc!=0");
  EXPECT_ASSERT_REPORT(lst.Destroy(&it.p, nullptr), kList, "pfnKillFunc!=0");
  EXPECT_ASSERT_REPORT(lst.DestroyAll(nullptr), kList, "pfnKillFunc !=0");
  EXPECT_ASSERT_REPORT(lst.DetachBucket(nullptr), kList, "pvBucket2Kill");
  EXPECT_ASSERT_REPORT(lst.NextThat(nullptr, nullptr), kList, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(lst.AllThat(nullptr, nullptr), kList, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(lst.DetachAllThat(nullptr, nullptr), kList, "pfnCondFunc !=0");
  EXPECT_EQ(lst._get_nXACT(), nXACT);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.p, &it.q}));
  EXPECT_TRUE(CPListInspector::Check(lst));
  // Null conditions that are not reported: nothing matches.
  EXPECT_EQ(lst.FirstThat(static_cast<CPConditionFunc>(nullptr), nullptr), nullptr);
  EXPECT_EQ(lst.FirstInternalContainerThat(nullptr, nullptr), nullptr);
}

TEST(CPListReports, AllocationFailuresLeaveTheListUnchanged) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q});
  lst.GotoTop();
  short nXACT = lst._get_nXACT();
  Createable::SetAllocationFailure(1);
  EXPECT_ASSERT_REPORT(lst.Add(&it.x), kList, "pbktNew !=0");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(lst.Insert(&it.x), kList, "pbktNew");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(lst.InsertAfter(&it.x), kList, "pbktNew");
  Createable::SetAllocationFailure(1);
  EXPECT_ASSERT_REPORT(lst.Intern(&it.x), kList, "pbktNew !=0");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(lst.AllThat([](void*, void*) { return 1; }, nullptr), kList, "plstNew");
  // The result list's own node fails: the half-built result is freed.
  Createable::SetAllocationFailure(2);
  EXPECT_ASSERT_REPORT(lst.AllThat([](void*, void*) { return 1; }, nullptr), kList, "pbktNew !=0");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(lst.FirstThat([](void*, void*) { return 1; }, nullptr), kList, "pitsA");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(lst.ForEach([](void*, void*) {}, nullptr), kList, "pitsA");
  Createable::SetAllocationFailure(1);
  EXPECT_EQ(lst.CreateInstance(), nullptr);
  Createable::SetAllocationFailure(1);
  EXPECT_EQ(lst.CreateIterationState(), nullptr);
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(lst._get_nXACT(), nXACT);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.p, &it.q}));
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListReports, RemovalFromAnEmptyCountReportsNLength) {
  CPList lst;
  CPBucket* pbkt = new CPBucket;
  pbkt->AddRef();
  EXPECT_ASSERT_REPORT(lst.DetachBucket(pbkt), kCollection, "nLength >0");
  EXPECT_EQ(pbkt->_get_nRefCount(), 1);  // reported before anything changed
  pbkt->Release();
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListCopy, CopyHasItsOwnNodesAndNoCursor) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.p});
  lst.GotoTop();
  lst.FirstThat([](void*, void*) { return 1; }, nullptr);
  CPList lstCopy(lst);
  EXPECT_EQ(CPListInspector::Forward(lstCopy), CPListInspector::Forward(lst));
  EXPECT_NE(lstCopy._get_pbktHead(), lst._get_pbktHead());
  EXPECT_EQ(lstCopy._get_pbktCursor(), nullptr);
  EXPECT_EQ(CPListInspector::SearchState(lstCopy), nullptr);
  EXPECT_EQ(lstCopy.NextThat([](void*, void*) { return 1; }, nullptr), nullptr);
  EXPECT_TRUE(CPListInspector::Check(lstCopy));
  lstCopy.Detach(&it.q);
  EXPECT_EQ(lst.Length(), 3u);
  EXPECT_TRUE(CPListInspector::Check(lst));

  // Assignment replaces the content and makes the target's cursors fail.
  CPList lstTarget;
  Fill(lstTarget, {&it.r});
  IterationState* pits = lstTarget.CreateIterationState();
  pits->gotoTop();
  lstTarget = lst;
  EXPECT_EQ(CPListInspector::Forward(lstTarget), (std::vector<void*>{&it.p, &it.q, &it.p}));
  EXPECT_CURSOR_EXCEPTION(pits->gotoNext());
  delete pits;
  CPList& lstSame = lstTarget;
  lstTarget = lstSame;  // self-assignment keeps the content
  EXPECT_EQ(lstTarget.Length(), 3u);
  EXPECT_TRUE(CPListInspector::Check(lstTarget));
}

TEST(CPListCopy, FailedCopyLeaksNothingAndAssignmentKeepsTheTarget) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  Createable::SetAllocationFailure(2);
  EXPECT_ASSERT_REPORT(CPList lstCopy(lst), kList, "pbktNew !=0");
  CPList lstTarget;
  Fill(lstTarget, {&it.x});
  Createable::SetAllocationFailure(3);
  EXPECT_ASSERT_REPORT(lstTarget = lst, kList, "pbktNew !=0");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(CPListInspector::Forward(lstTarget), (std::vector<void*>{&it.x}));
  EXPECT_TRUE(CPListInspector::Check(lstTarget));
}

}  // namespace
