// CPList's fast paths: positional reads that take the shortest way on a
// plain list must end exactly where the step-by-step way ends, and the
// node pool must keep the allocation contract and reuse blocks across
// threads.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include <cpcoll/cplist.h>
#include <cpcoll/detail/node_pool.h>

#include "support/list_inspector.h"
#include "support/report_capture.h"

namespace {

// Any derived type takes RetrieveIDX's documented step-by-step way.
class StepwiseList : public CPList {};

// Everything a positional read may change, as positions in the chain.
struct CursorView {
  long nCursor, nDX, nGot, nPeek;
  bool operator==(const CursorView& o) const {
    return nCursor == o.nCursor && nDX == o.nDX && nGot == o.nGot && nPeek == o.nPeek;
  }
};

CursorView View(const CPList& lst) {
  return {CPListInspector::IndexOf(lst, lst._get_pbktCursor()), lst._get_nDXCursor(),
          CPListInspector::IndexOf(lst, lst._get_pbktGot()), CPListInspector::IndexOf(lst, CPListInspector::Peeked(lst))};
}

TEST(CPListFastPaths, PositionalReadsEndWhereTheStepsEnd) {
  std::vector<int> cells(64);
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    CPList fast;
    StepwiseList slow;
    for (int step = 0; step < 400; ++step) {
      const unsigned long n = fast.Length();
      const int op = static_cast<int>(rng() % 10);
      void* pvFast = nullptr;
      void* pvSlow = nullptr;
      if (op <= 4 || n == 0) {
        // Mostly reads, some just out of range, some counted from the end.
        unsigned long idx = n ? rng() % (n + 2) : 0;
        if (op == 4 && n) {
          int i = -static_cast<int>(rng() % (n + 1));
          pvFast = fast[i];
          pvSlow = slow[i];
        } else {
          pvFast = fast.RetrieveIDX(idx);
          pvSlow = slow.RetrieveIDX(idx);
        }
        if (n == 0 || rng() % 3 == 0) {
          void* pv = &cells[rng() % cells.size()];
          fast.Add(pv);
          slow.Add(pv);
        }
      } else if (op == 5) {
        pvFast = fast.PeekNext();
        pvSlow = slow.PeekNext();
      } else if (op == 6) {
        pvFast = fast.Peek();
        pvSlow = slow.Peek();
      } else if (op == 7) {
        const bool bForward = rng() & 1;
        long nFast = bForward ? fast.Next() : fast.Prev();
        long nSlow = bForward ? slow.Next() : slow.Prev();
        ASSERT_EQ(nFast, nSlow);
      } else if (op == 8) {
        fast.GotoBottom();
        slow.GotoBottom();
      } else {
        void* pv = &cells[rng() % cells.size()];
        fast.Detach(pv);
        slow.Detach(pv);
      }
      ASSERT_EQ(pvFast, pvSlow) << "op " << op << " step " << step;
      ASSERT_TRUE(View(fast) == View(slow)) << "op " << op << " step " << step;
      ASSERT_TRUE(CPListInspector::Check(fast));
    }
  }
}

TEST(CPListFastPaths, PooledNodesStillCountAgainstTheAllocationHook) {
  int a = 0, b = 0, c = 0;
  CPList lst;
  for (int i = 0; i < 100; ++i) lst.Add(&a);
  lst.DetachAll();  // free blocks are now at hand
  Createable::SetAllocationFailure(2);
  lst.Add(&b);
  EXPECT_ASSERT_REPORT(lst.Add(&c), "cpcoll\\cplist", "pbktNew !=0");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(lst.Length(), 1u);
  EXPECT_EQ(lst.RetrieveIDX(0), &b);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

// A list of nNodes nodes made by one thread and released by another, each
// thread exiting after its part; repeated nRounds times after two to warm
// up.  The slabs the rounds needed beyond the warm-up.
std::size_t NewSlabsForExchanges(int nNodes, int nRounds) {
  int item = 0;
  auto exchange = [&item, nNodes] {
    CPList* plst = new CPList;
    std::thread producer([&] {
      for (int i = 0; i < nNodes; ++i) plst->Add(&item);
    });
    producer.join();
    std::thread consumer([&] { delete plst; });
    consumer.join();
  };
  exchange();
  exchange();
  const std::size_t nSlabs = tarncoll::detail::NodeSlabCount();
  for (int round = 0; round < nRounds; ++round) exchange();
  return tarncoll::detail::NodeSlabCount() - nSlabs;
}

// Nodes made by one thread and released by another: the blocks come back
// through the depot (also those the releasing thread still holds when it
// exits), so repeating the exchange needs no new memory.
TEST(CPListFastPaths, NodesMovingBetweenThreadsAreReused) {
  if (!TARNCOLL_NODE_POOL) GTEST_SKIP() << "node pool disabled in this build";
  EXPECT_LE(NewSlabsForExchanges(20000, 8), 1u);
}

// The same with lists much smaller than one cache chain: the releasing
// thread keeps all their blocks in its own cache, so they come back only
// through its exit.
TEST(CPListFastPaths, SmallListsReleasedByAnotherThreadAreReused) {
  if (!TARNCOLL_NODE_POOL) GTEST_SKIP() << "node pool disabled in this build";
  static_assert(500 < tarncoll::detail::kNodeCacheLimit, "less than one chain");
  EXPECT_LE(NewSlabsForExchanges(500, 40), 1u);  // 20000 blocks if none came back
}

}  // namespace
