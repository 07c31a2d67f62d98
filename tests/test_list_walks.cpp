// CPList: walks, searches, AllThat, sorting, and ListIterationState.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <cpcoll/cplist.h>

#include "support/list_inspector.h"
#include "support/report_capture.h"

namespace {

void Collect(void* pv, void* user) { static_cast<std::vector<void*>*>(user)->push_back(pv); }
int Is(void* pv, void* user) { return pv == user ? 1 : 0; }
int Any(void*, void*) { return 1; }

// Records every item it sees; matches its target.
class RecordingAction : public IteratorAction {
 public:
  std::vector<void*> seen;
  void* pvTarget = nullptr;
  short Perform() override {
    seen.push_back(pvItem);
    return pvItem == pvTarget ? 1 : 0;
  }
};

TEST(CPListWalk, ForEachFnVisitsHeadToTailWithoutTheCursor) {
  ListItems it;
  CPList lst;
  std::vector<void*> seen;
  lst.ForEach(&Collect, &seen);  // empty: nothing
  EXPECT_TRUE(seen.empty());
  Fill(lst, {&it.p, &it.q, &it.r});
  lst.RetrieveIDX(1);
  lst.ForEach(&Collect, &seen);
  EXPECT_EQ(seen, (std::vector<void*>{&it.p, &it.q, &it.r}));
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst._get_nDXCursor(), 1);
}

TEST(CPListWalk, ForEachFnThrowsAfterACallbackChangesTheList) {
  ListItems it;
  static CPList* s_plst;
  static ListItems* s_pit;
  CPList lst;
  s_plst = &lst;
  s_pit = &it;
  Fill(lst, {&it.p, &it.q});
  EXPECT_CURSOR_EXCEPTION(lst.ForEach([](void*, void*) { s_plst->Add(&s_pit->x); }, nullptr));
  EXPECT_EQ(lst.Length(), 3u);  // one add, then the walk stopped
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListWalk, ForEachActionMayMoveTheCursor) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  // The action looks things up in the same list, moving its cursor.
  class LookupAction : public IteratorAction {
   public:
    CPList* plst;
    std::vector<void*> seen;
    short Perform() override {
      seen.push_back(pvItem);
      plst->GotoBottom();
      plst->Exists(pvItem);
      return 0;
    }
  } action;
  action.plst = &lst;
  lst.ForEach(&action);
  EXPECT_EQ(action.seen, (std::vector<void*>{&it.p, &it.q, &it.r}));
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
}

TEST(CPListWalk, ForEachActionRemovingItsOwnItemEndsSafely) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  class RemovingAction : public IteratorAction {
   public:
    CPList* plst;
    int n = 0;
    short Perform() override {
      ++n;
      plst->Detach(pvItem);
      return 0;
    }
  } action;
  action.plst = &lst;
  lst.ForEach(&action);  // the removed node was unlinked: the walk ends
  EXPECT_EQ(action.n, 1);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.q, &it.r}));
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListSearch, FirstThatAndNextThatWithAnAction) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.p, &it.r});
  RecordingAction action;
  action.pvTarget = &it.p;
  EXPECT_EQ(lst.FirstThat(&action), &it.p);
  EXPECT_EQ(lst._get_pbktCursor(), lst._get_pbktHead());
  EXPECT_EQ(lst.NextThat(&action), &it.p);
  EXPECT_EQ(lst.RetrieveBucket(), lst._get_pbktHead()->_get_pbktNext()->_get_pbktNext());
  EXPECT_EQ(lst.NextThat(&action), nullptr);
  EXPECT_EQ(action.seen, (std::vector<void*>{&it.p, &it.q, &it.p, &it.r}));
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
}

TEST(CPListSearch, FirstThatAndNextThatContinueOneSearch) {
  ListItems it;
  CPList lst;
  EXPECT_EQ(lst.FirstThat(&Any, nullptr), nullptr);  // empty list
  Fill(lst, {&it.p, &it.q, &it.p, &it.r});
  // No search begun yet: nothing to continue.
  EXPECT_EQ(lst.NextThat(&Is, &it.p), nullptr);
  EXPECT_EQ(lst.FirstThat(&Is, &it.p), &it.p);
  EXPECT_EQ(lst._get_pbktCursor(), lst._get_pbktHead());
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  lst.GotoBottom();  // the search keeps its own place
  EXPECT_EQ(lst.NextThat(&Is, &it.p), &it.p);
  EXPECT_EQ(lst._get_pbktCursor(), lst._get_pbktTail()->_get_pbktPrev());
  EXPECT_EQ(lst.NextThat(&Is, &it.p), nullptr);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst.NextThat(&Is, &it.p), nullptr);  // stays off the list
  // A new FirstThat replaces the previous search.
  EXPECT_EQ(lst.FirstThat(&Is, &it.r), &it.r);
  EXPECT_EQ(lst.NextThat(&Is, &it.r), nullptr);
  // A change of the list between the two makes the search fail fast.
  EXPECT_EQ(lst.FirstThat(&Is, &it.q), &it.q);
  lst.Add(&it.q);
  EXPECT_CURSOR_EXCEPTION(lst.NextThat(&Is, &it.q));
}

TEST(CPListSearch, FirstThatMatchesOnTheLow16BitsOfTheCondition) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q});
  auto highOnly = [](void*, void*) { return 0x10000; };
  auto lowOnQ = [](void* pv, void* user) { return pv == user ? 0x10001 : 0x20000; };
  EXPECT_EQ(lst.FirstThat(highOnly, nullptr), nullptr);
  EXPECT_EQ(lst.FirstThat(lowOnQ, &it.q), &it.q);
}

TEST(CPListSearch, FirstInternalContainerThatPassesNodes) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q});
  auto isTail = [](void* node, void*) { return static_cast<CPBucket*>(node)->_get_pbktNext() ? 0 : 1; };
  CPBucket* pbkt = lst.FirstInternalContainerThat(isTail, nullptr);
  EXPECT_EQ(pbkt, lst._get_pbktTail());
  EXPECT_EQ(lst._get_pbktCursor(), pbkt);
  EXPECT_EQ(lst._get_pbktGot(), pbkt);
  EXPECT_EQ(lst.FirstInternalContainerThat([](void*, void*) { return 0; }, nullptr), nullptr);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
}

TEST(CPListSearch, AllThatKeepsOnlyExactOnes) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  auto two = [](void*, void*) { return 2; };
  CPCollection* pcl = lst.AllThat(two, nullptr);
  EXPECT_EQ(pcl->Length(), 0u);
  delete pcl;
  auto oneUnlessQ = [](void* pv, void* user) { return pv == user ? -1 : 1; };
  pcl = lst.AllThat(oneUnlessQ, &it.q);
  ASSERT_NE(dynamic_cast<CPList*>(pcl), nullptr);
  EXPECT_EQ(CPListInspector::Forward(*static_cast<CPList*>(pcl)), (std::vector<void*>{&it.p, &it.r}));
  EXPECT_EQ(lst.Length(), 3u);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  delete pcl;
}

int CompareText(const void* a, const void* b) {
  return std::strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}

TEST(CPListSort, SortRebuildsInAscendingOrder) {
  char c[] = "c", a[] = "a", b[] = "b";
  CPList lst;
  Fill(lst, {c, a, b});
  short nXACT = lst._get_nXACT();
  lst.Sort(&CompareText);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{a, b, c}));
  EXPECT_NE(lst._get_nXACT(), nXACT);
  EXPECT_TRUE(CPListInspector::Check(lst));
  CPList lstSorted;
  CPList lstFrom;
  Fill(lstFrom, {b, c, a});
  lstSorted.SortedCopy(&lstFrom, &CompareText);
  EXPECT_EQ(CPListInspector::Forward(lstSorted), (std::vector<void*>{a, b, c}));
  EXPECT_EQ(CPListInspector::Forward(lstFrom), (std::vector<void*>{b, c, a}));
}

// ---- ListIterationState ----

TEST(ListIterationStateTest, WalksBothWaysAndLandsByIndex) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  ListIterationState* plits = static_cast<ListIterationState*>(lst.CreateIterationState());
  EXPECT_EQ(plits->gotoIDX(1), 1);  // new state: counted from the top
  EXPECT_EQ(plits->retrieve(), &it.q);
  EXPECT_EQ(CPListInspector::Index(*plits), 1);
  EXPECT_EQ(plits->gotoIDX(3), 0);  // out of range: unchanged
  EXPECT_EQ(plits->retrieve(), &it.q);
  EXPECT_EQ(plits->gotoIDX(0), 1);
  EXPECT_EQ(plits->retrieve(), &it.p);
  EXPECT_EQ(plits->gotoPrev(), 0);  // off the head
  EXPECT_EQ(plits->retrieve(), nullptr);
  EXPECT_EQ(plits->gotoNext(), 0);  // stays off
  EXPECT_EQ(plits->gotoBottom(), 1);
  EXPECT_EQ(CPListInspector::Index(*plits), 2);
  EXPECT_EQ(plits->retrieveInternalContainer(), lst._get_pbktTail());
  EXPECT_EQ(plits->I_get_pbktGot(), lst._get_pbktTail());
  EXPECT_EQ(plits->gotoPrev(), 1);
  EXPECT_EQ(plits->retrieve(), &it.q);
  EXPECT_EQ(plits->gotoNext(), 1);
  EXPECT_EQ(plits->gotoNext(), 0);
  EXPECT_EQ(plits->getPredecessor(lst._get_pbktHead()), nullptr);
  EXPECT_EQ(plits->getPredecessor(lst._get_pbktTail())->_get_pvData(), &it.q);
  // Its walk never moved the list's own cursor.
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  delete plits;
}

TEST(ListIterationStateTest, FailsFastAfterAChangeAndWalksAnewAfterGotoTop) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q});
  IterationState* pits = lst.CreateIterationState();
  pits->gotoTop();
  lst.Add(&it.r);
  EXPECT_CURSOR_EXCEPTION(pits->gotoNext());
  EXPECT_CURSOR_EXCEPTION(pits->retrieve());
  EXPECT_CURSOR_EXCEPTION(pits->gotoPrev());
  EXPECT_CURSOR_EXCEPTION(pits->retrieveInternalContainer());
  pits->gotoTop();
  std::vector<void*> seen;
  while (void* pv = pits->retrieve()) {
    seen.push_back(pv);
    pits->gotoNext();
  }
  EXPECT_EQ(seen, (std::vector<void*>{&it.p, &it.q, &it.r}));
  delete pits;
}

// Regression: an index remembered before a change named a node that may
// be gone; gotoIDX must count afresh instead of stepping from it.
TEST(ListIterationStateTest, GotoIDXAfterAChangeDoesNotTrustTheOldIndex) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  IterationState* pits = lst.CreateIterationState();
  pits->gotoTop();  // index 0 on p
  lst.Detach(&it.p);  // p's node is freed
  EXPECT_EQ(pits->gotoIDX(1), 1);
  EXPECT_EQ(pits->retrieve(), &it.r);
  pits->gotoIDX(0);
  lst.Insert(&it.x);  // before q, the head: x becomes the head
  EXPECT_EQ(pits->gotoIDX(0), 1);
  EXPECT_EQ(pits->retrieve(), &it.x);
  delete pits;
}

TEST(ListIterationStateTest, PeekResetPointAndCopy) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  ListIterationState lits(&lst);
  EXPECT_EQ(lits.gotoResetPoint(), 1);  // none: gotoTop
  EXPECT_EQ(lits.retrieve(), &it.p);
  lits.gotoNext();
  EXPECT_EQ(lits.peek(), &it.q);
  EXPECT_EQ(CPListInspector::Peeked(lits)->_get_pvData(), &it.q);
  lits.setResetPoint();
  ListIterationState litsCopy(lits);  // a second cursor at the same place
  EXPECT_EQ(litsCopy.retrieve(), &it.q);
  litsCopy.gotoNext();
  EXPECT_EQ(litsCopy.retrieve(), &it.r);
  EXPECT_EQ(lits.retrieve(), &it.q);
  lits.gotoBottom();
  EXPECT_EQ(CPListInspector::Peeked(lits), nullptr);
  lits.gotoResetPoint();
  EXPECT_EQ(lits.retrieve(), &it.q);
  EXPECT_EQ(CPListInspector::Index(lits), -1);
  lits.clearResetPoint();
  EXPECT_EQ(CPListInspector::Reset(lits), nullptr);
  lits.gotoResetPoint();
  EXPECT_EQ(lits.retrieve(), &it.p);
  litsCopy = lits;
  EXPECT_EQ(litsCopy._get_pbktCursor(), lst._get_pbktHead());
}

TEST(ListIterationStateTest, IteratorAlgorithmsOverAListState) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  Iterator* piter = lst.GetIterator();
  std::vector<void*> seen;
  piter->forEach(&Collect, &seen);
  EXPECT_EQ(seen, (std::vector<void*>{&it.p, &it.q, &it.r}));
  // The node form of allThat yields an empty list: AddInternalContainer
  // ignores nodes.
  CPCollection* pcl = piter->allThat([](CPInternalContainer*, void*) -> short { return 1; }, nullptr);
  EXPECT_EQ(pcl->Length(), 0u);
  delete pcl;
  pcl = piter->allThat([](void* pv, void* user) -> short { return pv != user; }, &it.q);
  EXPECT_EQ(CPListInspector::Forward(*static_cast<CPList*>(pcl)), (std::vector<void*>{&it.p, &it.r}));
  delete pcl;
  EXPECT_EQ(piter->firstinternalcontainerThat([](void* pv, void* user) -> short { return pv == user; }, &it.r),
            lst._get_pbktTail());
  delete piter;
}

}  // namespace
