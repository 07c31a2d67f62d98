// CPStack and StackIterationState: pushing and popping, indexes from the
// top, unwinding removals, the wrapping bottom-up cursor, the unsupported
// walks and the reports.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <new>
#include <random>
#include <utility>
#include <vector>

#include <cpcoll/cpstack.h>
#include <cpcoll/detail/slot_block.h>

#include "support/report_capture.h"
#include "support/stack_inspector.h"

namespace {

const char kStackSource[] = "cpcoll\\cpstack";
using Items = std::vector<void*>;
using Kills = std::vector<std::pair<void*, void*>>;

int g_items[8];
void* const p = &g_items[0];
void* const q = &g_items[1];
void* const r = &g_items[2];
void* const x = &g_items[3];

// Bottom to top.
Items Content(CPStack& stk) {
  Items v;
  for (unsigned long i = stk.Length(); i-- > 0;) v.push_back(stk.RetrieveIDX(i));
  return v;
}

Kills g_kills;
void RecordKill(void* pv, void* pvUser) { g_kills.push_back({pv, pvUser}); }
void Collect(void* pv, void* pvUser) { static_cast<Items*>(pvUser)->push_back(pv); }
int Always(void*, void*) { return 1; }

// p, q, r pushed (r on top); the invariant is checked after every test.
struct CPStackTest : ::testing::Test {
  CPStack stk;
  void SetUp() override {
    stk.Push(p);
    stk.Push(q);
    stk.Push(r);
    g_kills.clear();
  }
  void TearDown() override { EXPECT_TRUE(CPStackInspector::Check(stk)); }
};

}  // namespace

// ---- Push, Pop and the reads ------------------------------------------------------

TEST_F(CPStackTest, ReadsCountFromTheTopPopUnwindsNewestFirst) {
  EXPECT_EQ(stk.Top(), r);
  EXPECT_EQ(stk.Bottom(), p);
  EXPECT_EQ(stk.RetrieveIDX(0), r);
  EXPECT_EQ(stk[1], q);
  EXPECT_EQ(stk.RetrieveIDX(2), p);
  EXPECT_EQ(stk.RetrieveIDX(3), nullptr);
  stk.GotoTop();
  EXPECT_EQ(stk.Retrieve(), p);

  EXPECT_EQ(stk.Pop(), r);
  EXPECT_EQ(stk.Pop(), q);
  EXPECT_EQ(stk.Pop(), p);
  EXPECT_EQ(stk.Pop(), nullptr);
  EXPECT_EQ(stk._get_nXACT(), 6);
  EXPECT_EQ(stk.Top(), nullptr);
  EXPECT_EQ(stk.Bottom(), nullptr);
  EXPECT_EQ(CPStackInspector::Cursor(stk), 0u);  // Pop never moves the cursor
}

TEST(CPStackCapacity, FullStackRefusesPushAndDropsAdd) {
  CPStack two(2);
  EXPECT_EQ(two.Push(p), 1u);
  EXPECT_EQ(two.Push(q), 1u);
  EXPECT_EQ(two.Push(r), 0u);
  two.Add(r);
  EXPECT_EQ(two.Length(), 2u);
  EXPECT_EQ(two.Top(), q);
  EXPECT_EQ(two._get_nXACT(), 2);
  CPStack none(0);
  EXPECT_EQ(none.Push(p), 0u);

  CPStack def;
  for (int i = 0; i < 255; ++i) ASSERT_EQ(def.Push(&g_items[i % 8]), 1u);
  EXPECT_EQ(def.Push(p), 0u);  // the 256th
  std::unique_ptr<CPCollection> made(def.CreateInstance());
  auto* pstk = dynamic_cast<CPStack*>(made.get());
  ASSERT_NE(pstk, nullptr);
  EXPECT_TRUE(pstk->IsMT());
  EXPECT_EQ(CPStackInspector::Capacity(*pstk), 255u);
}

TEST(CPStackCapacity, UnallocatableBlockThrowsBadAlloc) {
  EXPECT_THROW(CPStack(ULONG_MAX), std::bad_alloc);
  tarncoll::detail::SetSlotBlockFailure(1);
  CPStack* pstk = nullptr;
  EXPECT_THROW(pstk = new CPStack(4), std::bad_alloc);
  EXPECT_EQ(pstk, nullptr);
}

// ---- Detach and Destroy unwind ------------------------------------------------------

TEST_F(CPStackTest, DetachAndDestroyUnwindDownToTheItem) {
  EXPECT_EQ(stk.Detach(q), 1);  // r and q go
  EXPECT_EQ(Content(stk), (Items{p}));
  EXPECT_EQ(stk._get_nXACT(), 5);  // one pop each

  stk.Push(q);
  stk.Push(r);
  stk.Push(q);                               // p q r q
  EXPECT_EQ(stk.Destroy(q, RecordKill), 1);  // the topmost q, killed alone
  EXPECT_EQ(g_kills, (Kills{{q, nullptr}}));
  EXPECT_EQ(stk.Destroy(q, RecordKill), 1);  // unwinds r without killing it
  EXPECT_EQ(g_kills, (Kills{{q, nullptr}, {q, nullptr}}));
  EXPECT_EQ(Content(stk), (Items{p}));
}

TEST_F(CPStackTest, AbsentItemChangesNothing) {
  // Regression: the search used to pop everything while looking.
  EXPECT_EQ(stk.Detach(x), 0);
  EXPECT_EQ(stk.Destroy(x, RecordKill), 0);
  EXPECT_EQ(stk.Detach(nullptr), 0);
  EXPECT_EQ(Content(stk), (Items{p, q, r}));
  EXPECT_EQ(stk._get_nXACT(), 3);
  EXPECT_TRUE(g_kills.empty());

  stk.Push(nullptr);
  stk.Push(x);  // p q r null x: the null item ends the search
  EXPECT_EQ(stk.Detach(q), 0);
  EXPECT_EQ(stk.Length(), 5u);
  EXPECT_EQ(stk.Detach(x), 1);
  EXPECT_EQ(stk.Pop(), nullptr);
}

TEST_F(CPStackTest, BrokenCountReportsAndChangesNothing) {
  CPStackInspector::SetLength(stk, 0);
  EXPECT_ASSERT_REPORT(stk.Pop(), "cpcoll\\cpcollec", "nLength >0");
  EXPECT_ASSERT_REPORT(stk.Detach(r), "cpcoll\\cpcollec", "nLength >0");
  EXPECT_EQ(stk.Top(), r);
  CPStackInspector::SetLength(stk, 3);
}

// ---- Walks ------------------------------------------------------------------------------

TEST_F(CPStackTest, WalksGoBottomUp) {
  Items seen;
  stk.GotoBottom();
  stk.ForEach(Collect, &seen);
  EXPECT_EQ(seen, (Items{p, q, r}));
  EXPECT_EQ(stk.Retrieve(), r);  // ForEach leaves the cursor alone

  void** ppv = stk.BuildVector();  // through the wrapping built-in cursor
  ASSERT_NE(ppv, nullptr);
  EXPECT_EQ(Items(ppv, ppv + 3), (Items{p, q, r}));
  delete[] ppv;

  EXPECT_EQ(stk.DestroyAll(RecordKill), 1);
  EXPECT_EQ(g_kills, (Kills{{p, nullptr}, {q, nullptr}, {r, nullptr}}));
  EXPECT_TRUE(stk.IsMT());
  EXPECT_EQ(stk.Push(x), 1u);  // block and capacity stay
}

TEST_F(CPStackTest, UnsupportedWalksReportAndChangeNothing) {
  struct NoAction : IteratorAction {
    short Perform() override { return ++nCalls, 0; }
    int nCalls = 0;
  } action;
  EXPECT_ASSERT_REPORT(stk.ForEach(&action), kStackSource, "1==0");
  EXPECT_ASSERT_REPORT(stk.FirstThat(Always, nullptr), kStackSource, "1==0");
  EXPECT_ASSERT_REPORT(stk.NextThat(Always, nullptr), kStackSource, "1==0");
  EXPECT_ASSERT_REPORT(stk.AllThat(Always, nullptr), kStackSource, "1==0");
  EXPECT_EQ(action.nCalls, 0);
  EXPECT_EQ(Content(stk), (Items{p, q, r}));
}

// ---- Built-in cursor ---------------------------------------------------------------

TEST_F(CPStackTest, NextPastTheNewestThenWrapsToTheOldest) {
  stk.GotoBottom();
  EXPECT_EQ(stk.Retrieve(), r);
  EXPECT_EQ(stk.Next(), 3);  // the count
  EXPECT_EQ(stk.Retrieve(), nullptr);
  EXPECT_EQ(stk.Next(), 0);
  EXPECT_EQ(stk.Retrieve(), p);
  EXPECT_EQ(stk.Prev(), 0);  // did not move
  stk.Next();
  stk.Next();
  EXPECT_EQ(stk.Prev(), 1);
  EXPECT_EQ(stk.Retrieve(), q);
  EXPECT_EQ(stk.DetachAll(), 1);
  EXPECT_EQ(CPStackInspector::Cursor(stk), 0u);
  stk.GotoBottom();
  EXPECT_EQ(stk.Retrieve(), nullptr);
}

// ---- StackIterationState --------------------------------------------------------------

TEST_F(CPStackTest, StateWalksBottomUpAndIndexesFromTheTop) {
  std::unique_ptr<IterationState> pits(stk.CreateIterationState());
  ASSERT_NE(pits, nullptr);
  EXPECT_EQ(pits->gotoIDX(0), 1);
  EXPECT_EQ(pits->retrieve(), r);
  EXPECT_EQ(pits->gotoIDX(5), 1);  // no move
  EXPECT_EQ(pits->retrieve(), r);
  EXPECT_EQ(pits->gotoTop(), 1);
  EXPECT_EQ(pits->gotoPrev(), 1);
  EXPECT_EQ(pits->retrieve(), p);
  EXPECT_EQ(pits->gotoBottom(), 1);
  EXPECT_EQ(pits->gotoNext(), 1);
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->gotoNext(), 1);  // wraps
  EXPECT_EQ(pits->retrieve(), p);
  EXPECT_EQ(pits->retrieveInternalContainer(), nullptr);
  stk.Push(x);
  EXPECT_CURSOR_EXCEPTION(pits->gotoNext());

  std::unique_ptr<Iterator> piter(stk.GetIterator());
  Items seen;
  piter->forEach(Collect, &seen);
  EXPECT_EQ(seen, (Items{p, q, r, x}));
  std::unique_ptr<CPCollection> res(piter->allThat([](void* pv, void*) -> short { return pv != q; }, nullptr));
  auto* pstk = dynamic_cast<CPStack*>(res.get());
  ASSERT_NE(pstk, nullptr);
  EXPECT_EQ(Content(*pstk), (Items{p, r, x}));

  stk.DetachAll();
  pits->gotoBottom();
  EXPECT_EQ(pits->retrieve(), nullptr);
}

// ---- Copying ------------------------------------------------------------------------------

TEST_F(CPStackTest, CopiesOwnTheirBlocks) {
  CPStack copy(stk);
  EXPECT_NE(CPStackInspector::Block(copy), CPStackInspector::Block(stk));
  copy.Pop();
  EXPECT_EQ(stk.Top(), r);
  CPStack small(1);
  small = stk;
  EXPECT_EQ(CPStackInspector::Capacity(small), 255u);
  EXPECT_EQ(Content(small), (Items{p, q, r}));
  EXPECT_TRUE(CPStackInspector::Check(small));
}

// ---- Differential test against a std::vector model -----------------------------------------

namespace {

// The stack's documented behaviour on a std::vector (back is the top).
struct StackModel {
  std::vector<void*> items;
  unsigned long ulSize;
  unsigned long ulCursor = 0;
  short nXACT = 0;

  unsigned long Push(void* pv) {
    if (items.size() >= ulSize) return 0;
    items.push_back(pv);
    ++nXACT;
    return 1;
  }
  void* Pop() {
    if (items.empty()) return nullptr;
    void* pv = items.back();
    items.pop_back();
    ++nXACT;
    return pv;
  }
  char Detach(void* pv) {
    for (size_t i = items.size(); i-- > 0;) {
      if (items[i] == nullptr) return 0;
      if (items[i] == pv) {
        while (items.size() > i) Pop();
        return 1;
      }
    }
    return 0;
  }
  long Next() {
    if (ulCursor < items.size()) return long(++ulCursor);
    ulCursor = 0;
    return 0;
  }
  long Prev() {
    if (ulCursor != 0) --ulCursor;
    return long(ulCursor);
  }
  void* FromTop(unsigned long i) const { return i < items.size() ? items[items.size() - 1 - i] : nullptr; }
};

void RunStackModel(unsigned seed, int nSteps) {
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  auto pick = [&](unsigned long n) { return static_cast<unsigned long>(rng() % n); };
  static int pool[10];
  unsigned long ulSize = 1 + pick(30);
  CPStack stk(ulSize);
  StackModel model{{}, ulSize};
  static std::vector<void*> s_killed;
  s_killed.clear();
  std::vector<void*> expectKilled;

  for (int step = 0; step < nSteps; ++step) {
    unsigned long k = pick(11);
    void* pv = k == 10 ? nullptr : &pool[k];  // now and then a null item
    unsigned long op = pick(100);
    if (op < 30) {
      ASSERT_EQ(stk.Push(pv), model.Push(pv));
    } else if (op < 35) {
      stk.Add(pv);
      model.Push(pv);
    } else if (op < 55) {
      ASSERT_EQ(stk.Pop(), model.Pop());
    } else if (op < 65) {
      ASSERT_EQ(stk.Detach(pv), model.Detach(pv));
    } else if (op < 70) {
      char found = model.Detach(pv);
      if (found) expectKilled.push_back(pv);
      ASSERT_EQ(stk.Destroy(pv, [](void* pvKill, void*) { s_killed.push_back(pvKill); }), found);
      ASSERT_EQ(s_killed, expectKilled);
    } else if (op < 71) {
      ASSERT_EQ(stk.DetachAll(), 1);
      model.items.clear();
      model.ulCursor = 0;
      ++model.nXACT;
    } else if (op < 76) {
      stk.GotoTop();
      model.ulCursor = 0;
    } else if (op < 80) {
      stk.GotoBottom();
      model.ulCursor = model.items.empty() ? 0 : model.items.size() - 1;
    } else if (op < 90) {
      ASSERT_EQ(stk.Next(), model.Next());
    } else {
      ASSERT_EQ(stk.Prev(), model.Prev());
    }
    ASSERT_TRUE(CPStackInspector::Check(stk)) << "step " << step;
    ASSERT_EQ(Content(stk), model.items) << "step " << step;
    ASSERT_EQ(stk._get_nXACT(), model.nXACT) << "step " << step;
    ASSERT_EQ(CPStackInspector::Cursor(stk), model.ulCursor) << "step " << step;
    ASSERT_EQ(stk.Top(), model.FromTop(0));
    ASSERT_EQ(stk.Bottom(), model.items.empty() ? nullptr : model.items.front());
    unsigned long idx = pick(ulSize + 1);
    ASSERT_EQ(stk[idx], model.FromTop(idx));
    ASSERT_EQ(stk.Retrieve(), model.ulCursor < model.items.size() ? model.items[model.ulCursor] : nullptr);
  }
}

}  // namespace

TEST(CPStackModel, RandomOperationsMatchAVectorModel) {
  for (unsigned seed : {1u, 2u, 3u, 20261208u}) RunStackModel(seed, 30000);
}
