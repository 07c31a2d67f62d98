// CPList: the built-in cursor, positional access, look-ahead and the reset
// point.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <cpcoll/cplist.h>

#include "support/list_inspector.h"

namespace {

// Counts the cursor steps RetrieveIDX and the searches make.
class CountingList : public CPList {
 public:
  int nNext = 0, nPrev = 0, nTop = 0;
  long Next() override {
    ++nNext;
    return CPList::Next();
  }
  long Prev() override {
    ++nPrev;
    return CPList::Prev();
  }
  void GotoTop() override {
    ++nTop;
    CPList::GotoTop();
  }
  void ResetCounts() { nNext = nPrev = nTop = 0; }
};

TEST(CPListCursor, EmptyListCursorStaysOff) {
  CPList lst;
  lst.GotoTop();
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst.Retrieve(), nullptr);
  EXPECT_EQ(lst.Next(), 0);
  EXPECT_EQ(lst.Prev(), 0);
  lst.GotoBottom();
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  EXPECT_EQ(lst.RetrieveIDX(0), nullptr);
  EXPECT_EQ(lst.RetrieveAndDetachTop(), nullptr);
  EXPECT_EQ(lst._get_pbktGot(), nullptr);
  EXPECT_EQ(lst.Get(), nullptr);
  EXPECT_EQ(lst.Peek(), nullptr);
  EXPECT_EQ(lst.PeekNext(), nullptr);
  short n = lst._get_nXACT();
  EXPECT_EQ(lst.DetachAll(), 1);
  EXPECT_EQ(lst._get_nXACT(), short(n + 1));
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListCursor, StepsOffBothEndsAndStaysOff) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  // p <-> q <-> r, cursor on r
  lst.GotoBottom();
  EXPECT_EQ(lst._get_nDXCursor(), 2);
  EXPECT_EQ(lst.Retrieve(), &it.r);
  EXPECT_EQ(lst.Next(), 0);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst.Next(), 0);
  EXPECT_EQ(lst.Prev(), 0);
  EXPECT_EQ(lst.Retrieve(), nullptr);
  lst.GotoTop();
  EXPECT_EQ(lst.Retrieve(), &it.p);
  EXPECT_EQ(lst.Prev(), 0);
  EXPECT_EQ(lst._get_pbktCursor(), nullptr);
  EXPECT_EQ(lst.Next(), 0);  // an off-list cursor does not come back by Next
  lst.GotoBottom();
  EXPECT_EQ(lst.Prev(), 1);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  EXPECT_EQ(lst.Next(), 1);
  EXPECT_EQ(lst.Retrieve(), &it.r);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListPositional, StepsFromTheRememberedIndex) {
  ListItems it;
  CountingList lst;
  Fill(lst, {&it.p, &it.q, &it.r, &it.s});
  lst.ResetCounts();
  // First access counts from the head.
  EXPECT_EQ(lst.RetrieveIDX(2), &it.r);
  EXPECT_EQ(lst.nTop, 1);
  EXPECT_EQ(lst.nNext, 2);
  EXPECT_EQ(lst._get_nDXCursor(), 2);
  // Back to 0: two Prev steps, no new count from the head.
  lst.ResetCounts();
  EXPECT_EQ(lst.RetrieveIDX(0), &it.p);
  EXPECT_EQ(lst.nTop, 0);
  EXPECT_EQ(lst.nPrev, 2);
  EXPECT_EQ(lst.nNext, 0);
  // Reading 0, 1, 2, 3 in turn costs one step per index.
  lst.ResetCounts();
  void* seen[4];
  for (unsigned long i = 0; i < 4; ++i) seen[i] = lst.RetrieveIDX(i);
  EXPECT_EQ(seen[0], &it.p);
  EXPECT_EQ(seen[1], &it.q);
  EXPECT_EQ(seen[2], &it.r);
  EXPECT_EQ(seen[3], &it.s);
  EXPECT_EQ(lst.nTop, 0);
  EXPECT_EQ(lst.nNext, 3);
  EXPECT_EQ(lst.nPrev, 0);
  // The same index again costs nothing.
  lst.ResetCounts();
  EXPECT_EQ(lst.RetrieveIDX(3), &it.s);
  EXPECT_EQ(lst.nNext + lst.nPrev + lst.nTop, 0);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListPositional, ChangeOrStepForgetsTheIndex) {
  ListItems it;
  CountingList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  EXPECT_EQ(lst.RetrieveIDX(1), &it.q);
  lst.Insert(&it.x);  // x before q: q is now at index 2
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  lst.ResetCounts();
  EXPECT_EQ(lst.RetrieveIDX(1), &it.x);
  EXPECT_EQ(lst.nTop, 1);
  EXPECT_EQ(lst.RetrieveIDX(2), &it.q);
  lst.Next();  // a step forgets the index
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  lst._set_pbktCursor(lst._get_pbktHead());  // so does a raw cursor move
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  EXPECT_EQ(lst.RetrieveIDX(3), &it.r);
  lst.ClearResetPoint();
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListPositional, OutOfRangeLeavesTheCursorAndNegativeIndexesCountFromTheEnd) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  EXPECT_EQ(lst.RetrieveIDX(1), &it.q);
  EXPECT_EQ(lst.RetrieveIDX(3), nullptr);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst._get_nDXCursor(), 1);
  EXPECT_EQ(lst.RetrieveIDX(~0ul), nullptr);
  EXPECT_EQ(lst[0], &it.p);
  EXPECT_EQ(lst[2], &it.r);
  EXPECT_EQ(lst[3], nullptr);
  EXPECT_EQ(lst[-1], &it.r);
  EXPECT_EQ(lst[-3], &it.p);
  EXPECT_EQ(lst[-4], nullptr);
  EXPECT_EQ(lst.Retrieve(), &it.p);  // the failed index left it on p
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListLookAhead, PeekNextWalksAheadWithoutMovingTheCursor) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  lst.GotoTop();
  // After a cursor move the look-ahead starts with the cursor's own item.
  EXPECT_EQ(lst.PeekNext(), &it.p);
  EXPECT_EQ(lst.PeekNext(), &it.q);
  EXPECT_EQ(lst._get_pbktGot()->_get_pvData(), &it.q);
  EXPECT_EQ(lst.PeekNext(), &it.r);
  EXPECT_EQ(lst.PeekNext(), nullptr);  // past the tail: nothing changes
  EXPECT_EQ(lst.PeekNext(), nullptr);
  EXPECT_EQ(lst._get_pbktGot()->_get_pvData(), &it.r);
  EXPECT_EQ(lst.Retrieve(), &it.p);
  // After Peek it begins with the item after the cursor.
  EXPECT_EQ(lst.Peek(), &it.p);
  EXPECT_EQ(lst.PeekNext(), &it.q);
  // Get takes the cursor's item, steps on and restarts the look-ahead.
  EXPECT_EQ(lst.Get(), &it.p);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst.PeekNext(), &it.q);
  EXPECT_EQ(lst.Get(), &it.q);
  EXPECT_EQ(lst.Get(), &it.r);
  EXPECT_EQ(lst.Get(), nullptr);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

TEST(CPListLookAhead, RemovedNodeLeavesPeekAndGot) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  lst.GotoTop();
  lst.Peek();
  EXPECT_EQ(lst.PeekNext(), &it.q);
  CPBucket* pbktQ = lst._get_pbktGot();
  lst.UnlinkBucket(pbktQ);  // q leaves the chain
  EXPECT_EQ(pbktQ->_get_pbktPrev(), nullptr);
  EXPECT_EQ(pbktQ->_get_pbktNext(), nullptr);
  pbktQ->Release();  // the list's reference, which UnlinkBucket leaves
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.p, &it.r}));
  EXPECT_EQ(lst._get_pbktGot(), nullptr);
  EXPECT_EQ(CPListInspector::Peeked(lst), nullptr);
  // The look-ahead starts again at the cursor, never at the node gone.
  EXPECT_EQ(lst.PeekNext(), &it.p);
  EXPECT_EQ(lst.PeekNext(), &it.r);
  EXPECT_EQ(lst.Length(), 3u);  // UnlinkBucket alone does not count
}

TEST(CPListResetPoint, GotoResetPointReturnsToTheRememberedNode) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  lst.GotoResetPoint();  // no reset point: GotoTop
  EXPECT_EQ(lst.Retrieve(), &it.p);
  EXPECT_EQ(lst._get_nDXCursor(), 0);
  lst.Next();
  lst.SetResetPoint();
  lst.GotoBottom();
  lst.GotoResetPoint();
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(lst._get_nDXCursor(), -1);
  lst.ClearResetPoint();
  lst.GotoBottom();
  lst.GotoResetPoint();
  EXPECT_EQ(lst.Retrieve(), &it.p);
}

// Every operation that links or unlinks a node clears the reset point.
TEST(CPListResetPoint, ClearedByEveryLinkChange) {
  struct Case {
    const char* name;
    std::function<void(CPList&, ListItems&)> op;
    bool bCountsKept = true;
  };
  auto noKill = [](void*, void*) {};
  auto keepNone = [](void*, void*) { return 0; };
  auto keepAll = [](void*, void*) { return 1; };
  const std::vector<Case> cases = {
      {"Add", [](CPList& l, ListItems& i) { l.Add(&i.x); }},
      {"Insert", [](CPList& l, ListItems& i) { l.Insert(&i.x); }},
      {"InsertAfter", [](CPList& l, ListItems& i) { l.InsertAfter(&i.x); }},
      {"Intern of a new item", [](CPList& l, ListItems& i) { l.Intern(&i.x); }},
      {"AddBucket",
       [](CPList& l, ListItems& i) {
         CPBucket* b = new CPBucket;
         b->_set_pvData(&i.x);
         l.AddBucket(b);
       }},
      {"Detach", [](CPList& l, ListItems& i) { l.Detach(&i.r); }},
      {"Detach of an absent item", [](CPList& l, ListItems& i) { l.Detach(&i.x); }},
      {"Destroy", [=](CPList& l, ListItems& i) { l.Destroy(&i.r, noKill); }},
      {"DetachBucket", [](CPList& l, ListItems&) { l.DetachBucket(l._get_pbktTail()); }},
      // The unlink primitives leave the count to their caller; the node's
      // reference is dropped here so nothing leaks.
      {"UnlinkBucket",
       [](CPList& l, ListItems&) {
         CPBucket* b = l._get_pbktTail();
         l.UnlinkBucket(b);
         b->Release();
       },
       false},
      {"UnlinkTopBucket",
       [](CPList& l, ListItems&) {
         CPBucket* b = l._get_pbktHead();
         l.UnlinkTopBucket();
         b->Release();
       },
       false},
      {"RetrieveAndDetachTop", [](CPList& l, ListItems&) { l.RetrieveAndDetachTop(); }},
      {"DetachAll", [](CPList& l, ListItems&) { l.DetachAll(); }},
      {"DestroyAll", [=](CPList& l, ListItems&) { l.DestroyAll(noKill); }},
      {"DetachAllThat removing all", [=](CPList& l, ListItems&) { l.DetachAllThat(keepNone, nullptr); }},
      {"DetachAllThat removing none", [=](CPList& l, ListItems&) { l.DetachAllThat(keepAll, nullptr); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListItems it;
    CPList lst;
    Fill(lst, {&it.p, &it.q, &it.r});
    lst.GotoTop();
    lst.Next();
    lst.SetResetPoint();  // on q
    c.op(lst, it);
    EXPECT_EQ(CPListInspector::Reset(lst), nullptr);
    if (c.bCountsKept) {
      EXPECT_TRUE(CPListInspector::Check(lst));
    }
  }
}

TEST(CPListResetPoint, KeptWhenNothingIsLinked) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  lst.GotoTop();
  lst.Next();
  lst.SetResetPoint();  // on q
  lst.GotoBottom();
  lst.Next();  // cursor off the list
  EXPECT_EQ(lst.InsertAfter(&it.x), 0);
  EXPECT_EQ(lst.Exists(&it.p), 1);
  lst.Intern(&it.r);  // present: nothing is linked
  lst.RetrieveIDX(2);
  lst.Peek();
  ASSERT_NE(CPListInspector::Reset(lst), nullptr);
  EXPECT_EQ(CPListInspector::Reset(lst)->_get_pvData(), &it.q);
  EXPECT_EQ(lst.Length(), 3u);
}

// Where each operation leaves the built-in cursor.
TEST(CPListCursor, WhereEachOperationLeavesTheCursor) {
  struct Case {
    const char* name;
    std::function<void(CPList&, ListItems&)> op;
    char* (*expected)(ListItems&);  // null: off the list
  };
  auto noKill = [](void*, void*) {};
  auto isR = [](void* pv, void* user) { return pv == user ? 1 : 0; };
  auto keepAll = [](void*, void*) { return 1; };
  // Each case starts from p <-> q <-> r with the cursor on q.
  const std::vector<Case> cases = {
      {"Add", [](CPList& l, ListItems& i) { l.Add(&i.x); }, [](ListItems& i) { return &i.q; }},
      {"InsertAfter", [](CPList& l, ListItems& i) { l.InsertAfter(&i.x); }, [](ListItems& i) { return &i.q; }},
      {"Insert", [](CPList& l, ListItems& i) { l.Insert(&i.x); }, [](ListItems& i) { return &i.q; }},
      {"ForEach(fn)", [](CPList& l, ListItems&) { l.ForEach([](void*, void*) {}, nullptr); },
       [](ListItems& i) { return &i.q; }},
      {"PeekNext", [](CPList& l, ListItems&) { l.PeekNext(), l.PeekNext(); }, [](ListItems& i) { return &i.q; }},
      {"Exists found", [](CPList& l, ListItems& i) { l.Exists(&i.r); }, [](ListItems& i) { return &i.r; }},
      {"Exists absent", [](CPList& l, ListItems& i) { l.Exists(&i.x); }, nullptr},
      {"Intern present", [](CPList& l, ListItems& i) { l.Intern(&i.p); }, [](ListItems& i) { return &i.p; }},
      {"Intern new", [](CPList& l, ListItems& i) { l.Intern(&i.x); }, nullptr},
      {"Detach cursor node", [](CPList& l, ListItems& i) { l.Detach(&i.q); }, [](ListItems& i) { return &i.r; }},
      {"Detach head", [](CPList& l, ListItems& i) { l.Detach(&i.p); }, [](ListItems& i) { return &i.q; }},
      {"Detach tail", [](CPList& l, ListItems& i) { l.Detach(&i.r); }, nullptr},
      {"Destroy cursor node", [=](CPList& l, ListItems& i) { l.Destroy(&i.q, noKill); },
       [](ListItems& i) { return &i.r; }},
      {"Destroy absent", [=](CPList& l, ListItems& i) { l.Destroy(&i.x, noKill); }, nullptr},
      {"DetachBucket other node", [](CPList& l, ListItems&) { l.DetachBucket(l._get_pbktHead()); },
       [](ListItems& i) { return &i.q; }},
      {"DetachBucket cursor node", [](CPList& l, ListItems&) { l.DetachBucket(l._get_pbktCursor()); },
       [](ListItems& i) { return &i.r; }},
      {"RetrieveAndDetachTop", [](CPList& l, ListItems&) { l.RetrieveAndDetachTop(); },
       [](ListItems& i) { return &i.q; }},
      {"DetachAll", [](CPList& l, ListItems&) { l.DetachAll(); }, nullptr},
      {"AllThat", [=](CPList& l, ListItems&) { delete l.AllThat(keepAll, nullptr); }, nullptr},
      {"DetachAllThat", [=](CPList& l, ListItems&) { l.DetachAllThat(keepAll, nullptr); }, nullptr},
      {"FirstThat match", [=](CPList& l, ListItems& i) { l.FirstThat(isR, &i.r); }, [](ListItems& i) { return &i.r; }},
      {"FirstThat none", [=](CPList& l, ListItems& i) { l.FirstThat(isR, &i.x); }, nullptr},
      {"FirstInternalContainerThat",
       [](CPList& l, ListItems&) {
         l.FirstInternalContainerThat([](void* node, void*) { return static_cast<CPBucket*>(node)->_get_pbktNext() == nullptr ? 1 : 0; }, nullptr);
       },
       [](ListItems& i) { return &i.r; }},
      {"RetrieveIDX", [](CPList& l, ListItems&) { l.RetrieveIDX(0); }, [](ListItems& i) { return &i.p; }},
      {"RetrieveIDX out of range", [](CPList& l, ListItems&) { l.RetrieveIDX(3); },
       [](ListItems& i) { return &i.q; }},
      {"Get", [](CPList& l, ListItems&) { l.Get(); }, [](ListItems& i) { return &i.r; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListItems it;
    CPList lst;
    Fill(lst, {&it.p, &it.q, &it.r});
    lst.RetrieveIDX(1);
    c.op(lst, it);
    CPBucket* pbkt = lst._get_pbktCursor();
    if (c.expected) {
      ASSERT_NE(pbkt, nullptr);
      EXPECT_EQ(pbkt->_get_pvData(), c.expected(it));
    } else {
      EXPECT_EQ(pbkt, nullptr);
    }
    EXPECT_TRUE(CPListInspector::Check(lst));
  }
}

TEST(CPListCursor, InsertWithTheCursorOffOrOnAnEmptyList) {
  ListItems it;
  CPList lst;
  EXPECT_EQ(lst.InsertAfter(&it.x), 0);
  EXPECT_EQ(lst.Length(), 0u);
  // empty: the new node is head, tail and cursor
  EXPECT_EQ(lst.Insert(&it.q), 1);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  lst.Next();  // off the list
  // off the list on q: x becomes the head, the cursor lands on q
  EXPECT_EQ(lst.Insert(&it.p), 1);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.p, &it.q}));
  // before the head: the new node becomes the head
  lst.GotoTop();
  lst.Insert(&it.x);
  EXPECT_EQ(lst.Retrieve(), &it.p);
  EXPECT_EQ(lst._get_pbktHead()->_get_pvData(), &it.x);
  // after the tail: the new node becomes the tail
  lst.GotoBottom();
  EXPECT_EQ(lst.InsertAfter(&it.r), 1);
  EXPECT_EQ(lst.Retrieve(), &it.q);
  EXPECT_EQ(CPListInspector::Forward(lst), (std::vector<void*>{&it.x, &it.p, &it.q, &it.r}));
  EXPECT_EQ(CPListInspector::Backward(lst), (std::vector<void*>{&it.r, &it.q, &it.p, &it.x}));
  EXPECT_TRUE(CPListInspector::Check(lst));
}

}  // namespace
