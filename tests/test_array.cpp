// CPArray and ArrayIterationState: capacity, positional insertion,
// removal, resizing, the index-valued cursor, AllThat and the reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <random>
#include <utility>
#include <vector>

#include <cpcoll/CpArray.h>
#include <cpcoll/detail/slot_block.h>

#include "support/array_inspector.h"
#include "support/report_capture.h"

namespace {

const char kArraySource[] = "cpcoll\\CpArray";
using Items = std::vector<void*>;
using Kills = std::vector<std::pair<void*, void*>>;

int g_items[8];
void* const p = &g_items[0];
void* const q = &g_items[1];
void* const r = &g_items[2];
void* const s = &g_items[3];
void* const x = &g_items[4];

Items Content(CPArray& a) {
  Items v;
  for (unsigned long i = 0; i < a._get_ulCurrentIndex(); ++i) v.push_back(a.RetrieveIDX(i));
  return v;
}

Kills g_kills;
CPArray* g_parrKilling;  // the array whose Destroy runs, seen from the kill function
void RecordKill(void* pv, void* pvUser) {
  if (g_parrKilling) {
    EXPECT_EQ(g_parrKilling->RetrieveIDX(1), pv) << "killed after the items moved";
  }
  g_kills.push_back({pv, pvUser});
}

int IsNotQ(void* pv, void*) { return pv == q ? 0 : 2; }  // any non-zero value matches

CPArray* Filled(unsigned long ulSize, std::initializer_list<void*> items) {
  auto* parr = new CPArray(ulSize);
  for (void* pv : items) parr->Add(pv);
  return parr;
}

}  // namespace

// ---- Capacity -------------------------------------------------------------------

TEST(CPArrayCapacity, FullArrayDropsAddsAndRemovalsKeepTheCapacity) {
  std::unique_ptr<CPArray> two(Filled(2, {p, q}));
  short nXACT = two->_get_nXACT();
  two->Add(r);  // dropped: no report, no change
  EXPECT_EQ(Content(*two), (Items{p, q}));
  EXPECT_EQ(two->_get_nXACT(), nXACT);
  // Regression: each removal once shrank the capacity by one.
  ASSERT_EQ(two->Detach(p), 1);
  EXPECT_EQ(two->_get_ulArraySize(), 2u);
  two->Add(r);
  EXPECT_EQ(Content(*two), (Items{q, r}));
  EXPECT_TRUE(CPArrayInspector::Check(*two));

  CPArray none(0);
  none.Add(p);
  EXPECT_EQ(none.InsertIDX(0, p), 0);
  EXPECT_TRUE(none.IsMT());

  std::unique_ptr<CPCollection> made(none.CreateInstance());
  auto* parr = dynamic_cast<CPArray*>(made.get());
  ASSERT_NE(parr, nullptr);
  for (int i = 0; i < 257; ++i) parr->Add(&g_items[i % 8]);
  EXPECT_EQ(parr->Length(), 256u);
}

TEST(CPArrayCapacity, UnallocatableBlockThrowsBadAllocAndBuildsNothing) {
  EXPECT_THROW(CPArray(ULONG_MAX), std::bad_alloc);
  EXPECT_THROW(CPArray(ULONG_MAX / sizeof(void*) + 1), std::bad_alloc);  // byte size wraps
  tarncoll::detail::SetSlotBlockFailure(1);
  CPArray* parr = nullptr;
  EXPECT_THROW(parr = new CPArray(4), std::bad_alloc);  // the object's memory is given back
  EXPECT_EQ(parr, nullptr);
}

// ---- InsertIDX --------------------------------------------------------------------

TEST(CPArrayInsert, PositionsWithinAndBeyondTheItems) {
  std::unique_ptr<CPArray> arr(Filled(256, {p, q}));
  arr->GotoTop();
  EXPECT_EQ(arr->InsertIDX(0, x), 1);  // x p q
  EXPECT_EQ(arr->Retrieve(), x);       // the cursor index stays, the items move
  EXPECT_EQ(arr->InsertIDX(3, r), 1);  // at the end
  EXPECT_EQ(arr->InsertIDX(2, s), 1);  // x p s q r
  EXPECT_EQ(arr->InsertIDX(9, r), 1);  // beyond the items: appended at 5
  EXPECT_EQ(arr->InsertIDX(256, q), 1);
  short nXACT = arr->_get_nXACT();
  EXPECT_EQ(arr->InsertIDX(257, s), 0);
  EXPECT_EQ(arr->_get_nXACT(), nXACT);
  EXPECT_EQ(Content(*arr), (Items{x, p, s, q, r, r, q}));
  EXPECT_TRUE(CPArrayInspector::Check(*arr));
}

TEST(CPArrayInsert, FullArrayRefusesInsertWithinItems) {
  // Regression: moving the items up on a full array wrote past the block.
  std::unique_ptr<CPArray> two(Filled(2, {p, q}));
  EXPECT_EQ(two->InsertIDX(0, x), 0);
  EXPECT_EQ(two->InsertIDX(2, x), 0);
  EXPECT_EQ(Content(*two), (Items{p, q}));
  EXPECT_EQ(two->_get_nXACT(), 2);
}

// ---- Removal ----------------------------------------------------------------------

TEST(CPArrayRemove, DetachAndDestroyCloseTheGapAtTheLowestMatch) {
  std::unique_ptr<CPArray> arr(Filled(8, {p, q, r, q}));
  arr->GotoBottom();
  EXPECT_EQ(arr->Detach(q), 1);
  EXPECT_EQ(Content(*arr), (Items{p, r, q}));
  EXPECT_EQ(CPArrayInspector::Cursor(*arr), 0u);
  EXPECT_EQ(arr->_get_nXACT(), 5);

  g_kills.clear();
  g_parrKilling = arr.get();  // p r q: r in slot 1 must still be there when killed
  EXPECT_EQ(arr->Detach(x), 0);
  EXPECT_EQ(arr->Destroy(x, RecordKill), 0);
  EXPECT_EQ(arr->Destroy(r, RecordKill), 1);
  g_parrKilling = nullptr;
  EXPECT_EQ(g_kills, (Kills{{r, nullptr}}));
  EXPECT_EQ(Content(*arr), (Items{p, q}));
  EXPECT_TRUE(CPArrayInspector::Check(*arr));
}

TEST(CPArrayRemove, DetachAllAndDestroyAllKeepBlockCapacityAndCursor) {
  std::unique_ptr<CPArray> arr(Filled(8, {p, q, r}));
  arr->GotoTop();
  arr->Next();
  EXPECT_EQ(arr->DetachAll(), 1);
  EXPECT_TRUE(arr->IsMT());
  EXPECT_EQ(CPArrayInspector::Cursor(*arr), 1u);
  EXPECT_EQ(arr->RetrieveIDX(0), nullptr);

  arr->Add(p);
  arr->Add(q);
  g_kills.clear();
  short nXACT = arr->_get_nXACT();
  EXPECT_EQ(arr->DestroyAll(RecordKill), 1);
  EXPECT_EQ(g_kills, (Kills{{p, nullptr}, {q, nullptr}}));
  EXPECT_TRUE(arr->IsMT());
  EXPECT_NE(arr->_get_nXACT(), nXACT);
  EXPECT_EQ(arr->_get_ulArraySize(), 8u);
  EXPECT_TRUE(CPArrayInspector::Check(*arr));
}

TEST(CPArrayRemove, BrokenCountReportsAndChangesNothing) {
  std::unique_ptr<CPArray> arr(Filled(8, {p, q}));
  CPArrayInspector::SetLength(*arr, 0);
  EXPECT_ASSERT_REPORT(arr->Detach(q), "cpcoll\\cpcollec", "nLength >0");
  EXPECT_EQ(Content(*arr), (Items{p, q}));
}

// ---- Built-in cursor ------------------------------------------------------------------

TEST(CPArrayCursor, NextAndPrevReturnTheNewIndex) {
  std::unique_ptr<CPArray> arr(Filled(8, {p, q, r}));
  arr->GotoTop();
  EXPECT_EQ(arr->Retrieve(), p);
  EXPECT_EQ(arr->Next(), 1);
  EXPECT_EQ(arr->Next(), 2);
  EXPECT_EQ(arr->Next(), 3);  // off the end, yet non-zero
  EXPECT_EQ(arr->Retrieve(), nullptr);
  EXPECT_EQ(arr->Next(), 0);
  EXPECT_EQ(arr->RetrieveIDX(3), nullptr);

  arr->GotoBottom();
  EXPECT_EQ(arr->Retrieve(), r);
  EXPECT_EQ(arr->Prev(), 1);
  EXPECT_EQ(arr->Prev(), 0);  // onto p: the index, not "off"
  EXPECT_EQ(arr->Retrieve(), p);
  EXPECT_EQ(arr->Prev(), 0);
  EXPECT_EQ(arr->Retrieve(), p);

  CPArray empty(4);
  empty.GotoBottom();  // wraps off the end
  EXPECT_EQ(empty.Retrieve(), nullptr);
  EXPECT_EQ(empty.Next(), 0);
  EXPECT_EQ(empty.Retrieve(), nullptr);
}

// ---- Resize -------------------------------------------------------------------------------

TEST(CPArrayResize, GrowingMakesRoomShrinkingDropsTheItemsBeyond) {
  std::unique_ptr<CPArray> arr(Filled(2, {p, q}));
  arr->GotoBottom();
  arr->Resize(10);
  EXPECT_EQ(arr->_get_ulArraySize(), 10u);
  EXPECT_EQ(CPArrayInspector::Cursor(*arr), 0u);
  EXPECT_EQ(arr->_get_nXACT(), 2);  // the same items: cursors stay valid
  for (int i = 0; i < 9; ++i) arr->Add(r);
  EXPECT_EQ(arr->Length(), 10u);

  arr->Resize(3);
  EXPECT_EQ(Content(*arr), (Items{p, q, r}));
  EXPECT_EQ(arr->_get_nXACT(), 11);  // items went: cursors must notice
  EXPECT_TRUE(CPArrayInspector::Check(*arr));
  arr->Resize(0);
  EXPECT_TRUE(arr->IsMT());
  EXPECT_TRUE(CPArrayInspector::Check(*arr));
}

TEST(CPArrayResize, FailedResizeLeavesTheArrayAsItWas) {
  std::unique_ptr<CPArray> arr(Filled(4, {p, q}));
  void** arpvOld = arr->_get_arpvThe();
  EXPECT_THROW(arr->Resize(ULONG_MAX), std::bad_alloc);
  tarncoll::detail::SetSlotBlockFailure(1);
  EXPECT_NIL_REPORT(arr->Resize(8), kArraySource, "arpvNew");
  EXPECT_EQ(arr->_get_arpvThe(), arpvOld);
  EXPECT_EQ(arr->_get_ulArraySize(), 4u);
  EXPECT_EQ(Content(*arr), (Items{p, q}));
}

// ---- AllThat, Sort, copying ---------------------------------------------------------

TEST(CPArrayAllThat, ResultIsSizedToTheCountAndNullWhenEmpty) {
  CPArray empty(4);
  EXPECT_EQ(empty.AllThat(IsNotQ, nullptr), nullptr);
  std::unique_ptr<CPArray> arr(Filled(256, {p, q, r}));
  std::unique_ptr<CPCollection> res(arr->AllThat(IsNotQ, nullptr));
  auto* parr = dynamic_cast<CPArray*>(res.get());
  ASSERT_NE(parr, nullptr);
  EXPECT_EQ(parr->_get_ulArraySize(), 3u);
  EXPECT_EQ(Content(*parr), (Items{p, r}));
  EXPECT_EQ(arr->Length(), 3u);  // shared, not moved

  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(arr->AllThat(IsNotQ, nullptr), kArraySource, "parrReturn");
  Createable::SetAllocationFailure(0);
}

TEST(CPArraySort, OrdersTheSlotsAndKeepsTheCapacity) {
  std::unique_ptr<CPArray> arr(Filled(6, {r, p, s, q}));
  arr->Sort([](const void* a, const void* b) {
    void* pa = *static_cast<void* const*>(a);
    void* pb = *static_cast<void* const*>(b);
    return pa < pb ? -1 : pa > pb ? 1 : 0;
  });
  EXPECT_EQ(Content(*arr), (Items{p, q, r, s}));  // g_items is in address order
  EXPECT_EQ(arr->_get_ulArraySize(), 6u);
}

TEST(CPArrayCopy, CopiesOwnTheirBlocks) {
  std::unique_ptr<CPArray> arr(Filled(5, {p, q}));
  CPArray copy(*arr);
  EXPECT_NE(copy._get_arpvThe(), arr->_get_arpvThe());
  EXPECT_EQ(copy._get_ulArraySize(), 5u);
  copy.Add(r);
  EXPECT_EQ(arr->Length(), 2u);

  CPArray small(1);
  small = copy;
  CPArray& same = small;
  small = same;
  EXPECT_EQ(Content(small), (Items{p, q, r}));
  EXPECT_EQ(small._get_ulArraySize(), 5u);
  EXPECT_TRUE(CPArrayInspector::Check(small));
}

// ---- ArrayIterationState ----------------------------------------------------------------

TEST(ArrayIterationState, StepsReturnTheNewIndex) {
  std::unique_ptr<CPArray> arr(Filled(8, {p, q, r}));
  std::unique_ptr<IterationState> pits(arr->CreateIterationState());
  ASSERT_NE(pits, nullptr);
  EXPECT_EQ(pits->gotoTop(), 1);
  EXPECT_EQ(pits->retrieve(), p);
  EXPECT_EQ(pits->gotoNext(), 1);
  EXPECT_EQ(pits->gotoNext(), 2);
  EXPECT_EQ(pits->gotoNext(), 3);
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->gotoNext(), 0);
  EXPECT_EQ(pits->gotoPrev(), 2);  // from the count back onto r
  EXPECT_EQ(pits->retrieve(), r);
  EXPECT_EQ(pits->retrieveInternalContainer(), nullptr);

  EXPECT_EQ(pits->gotoIDX(1), 1);
  EXPECT_EQ(pits->gotoPrev(), 0);  // onto p
  EXPECT_EQ(pits->retrieve(), p);
  EXPECT_EQ(pits->gotoPrev(), 0);
  EXPECT_EQ(pits->gotoIDX(3), 0);  // no move
  EXPECT_EQ(pits->retrieve(), p);
  EXPECT_EQ(pits->gotoBottom(), 1);
  EXPECT_EQ(pits->retrieve(), r);

  arr->DetachAll();
  pits->gotoBottom();
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->gotoIDX(0), 0);
}

TEST(ArrayIterationState, FailsFastAndFollowsAResize) {
  std::unique_ptr<CPArray> arr(Filled(2, {p, q}));
  std::unique_ptr<IterationState> pits(arr->CreateIterationState());
  pits->gotoIDX(1);
  arr->Resize(4);  // a new block, the same items
  EXPECT_EQ(pits->retrieve(), q);
  arr->Add(r);
  EXPECT_CURSOR_EXCEPTION(pits->gotoNext());
  pits->gotoTop();
  EXPECT_EQ(pits->retrieve(), p);

  std::unique_ptr<Iterator> piter(arr->GetIterator());
  std::unique_ptr<CPCollection> res(piter->allThat([](void* pv, void*) -> short { return pv != q; }, nullptr));
  auto* parr = dynamic_cast<CPArray*>(res.get());
  ASSERT_NE(parr, nullptr);
  EXPECT_EQ(Content(*parr), (Items{p, r}));
}

// ---- Differential test against a std::vector model ---------------------------------------

namespace {

// The array's documented behaviour, step by step, on a std::vector.
struct ArrayModel {
  std::vector<void*> items;
  unsigned long ulSize;
  unsigned long ulCursor = 0;
  short nXACT = 0;

  void Changed() { ++nXACT; }
  bool Add(void* pv) {
    if (items.size() >= ulSize) return false;
    items.push_back(pv);
    Changed();
    return true;
  }
  char Insert(unsigned long idx, void* pv) {
    if (idx > ulSize) return 0;
    if (idx > items.size()) return Add(pv), 1;
    if (items.size() >= ulSize) return 0;
    items.insert(items.begin() + long(idx), pv);
    Changed();
    return 1;
  }
  char Detach(void* pv) {
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == pv) {
        items.erase(items.begin() + long(i));
        ulCursor = 0;
        Changed();
        return 1;
      }
    return 0;
  }
  void Resize(unsigned long n) {
    if (items.size() > n) items.resize(n), Changed();
    ulSize = n;
    ulCursor = 0;
  }
  long Next() {
    if (ulCursor < items.size()) return long(++ulCursor);
    ulCursor = items.size();
    return 0;
  }
  long Prev() { return ulCursor > 0 ? long(--ulCursor) : 0; }
  void* At(unsigned long i) const { return i < items.size() ? items[i] : nullptr; }
};

void RunArrayModel(unsigned seed, int nSteps) {
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  auto pick = [&](unsigned long n) { return static_cast<unsigned long>(rng() % n); };
  static int pool[12];
  unsigned long ulStart = pick(24);
  CPArray arr(ulStart);
  ArrayModel model{{}, ulStart};
  std::vector<void*> killed, expectKilled;

  for (int step = 0; step < nSteps; ++step) {
    void* pv = &pool[pick(12)];
    unsigned long op = pick(100);
    if (op < 25) {
      arr.Add(pv);
      model.Add(pv);
    } else if (op < 45) {
      unsigned long idx = pick(model.ulSize + 3);
      ASSERT_EQ(arr.InsertIDX(idx, pv), model.Insert(idx, pv)) << "InsertIDX " << idx;
    } else if (op < 63) {
      ASSERT_EQ(arr.Detach(pv), model.Detach(pv));
    } else if (op < 70) {
      static std::vector<void*>* s_pKilled;
      s_pKilled = &killed;
      bool present = std::find(model.items.begin(), model.items.end(), pv) != model.items.end();
      if (present) expectKilled.push_back(pv);
      ASSERT_EQ(arr.Destroy(pv, [](void* pvKill, void*) { s_pKilled->push_back(pvKill); }), model.Detach(pv));
      ASSERT_EQ(killed, expectKilled);
    } else if (op < 72) {
      unsigned long n = pick(24);
      arr.Resize(n);
      model.Resize(n);
    } else if (op < 73) {
      ASSERT_EQ(arr.DetachAll(), 1);
      model.items.clear();
      model.Changed();
    } else if (op < 78) {
      arr.GotoTop();
      model.ulCursor = 0;
    } else if (op < 81) {
      arr.GotoBottom();
      model.ulCursor = model.items.size() - 1;
    } else if (op < 91) {
      ASSERT_EQ(arr.Next(), model.Next());
    } else {
      ASSERT_EQ(arr.Prev(), model.Prev());
    }
    ASSERT_TRUE(CPArrayInspector::Check(arr)) << "step " << step;
    ASSERT_EQ(Content(arr), model.items) << "step " << step;
    ASSERT_EQ(arr._get_ulArraySize(), model.ulSize);
    ASSERT_EQ(arr._get_nXACT(), model.nXACT) << "step " << step;
    ASSERT_EQ(CPArrayInspector::Cursor(arr), model.ulCursor) << "step " << step;
    ASSERT_EQ(arr.Retrieve(), model.At(model.ulCursor));
  }
}

}  // namespace

TEST(CPArrayModel, RandomOperationsMatchAVectorModel) {
  for (unsigned seed : {1u, 2u, 3u, 20261208u}) RunArrayModel(seed, 30000);
}
