// CPList's fast paths: positional reads that take the shortest way on a
// plain list must end exactly where the step-by-step way ends, and the
// node pool must keep the allocation contract and reuse blocks across
// threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>
#include <cpcoll/detail/node_pool.h>
#include <util/crc16.h>

#include "support/dictionary_inspector.h"
#include "support/list_inspector.h"
#include "support/tree_inspector.h"
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

// Dictionary entries and tree nodes come from their own size classes and
// count against the hook exactly as one allocation each: a warmed-up
// dictionary's add is entry then list node, a tree's add is one node.
TEST(CPListFastPaths, PooledEntriesAndTreeNodesCountAgainstTheAllocationHook) {
  int a = 0, b = 0;
  CPDictionary dct;
  for (unsigned long k = 0; k < 512; ++k) dct.AddKeyNum(k, &a);  // every slot has its list
  dct.DetachAll();
  for (unsigned long k = 0; k < 256; ++k) dct.AddKeyNum(k, &a);
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(dct.AddKeyNum(1000, &b), "cpcoll\\Cpdict", "pdaThis");
  Createable::SetAllocationFailure(2);
  EXPECT_ASSERT_REPORT(dct.AddKeyNum(1001, &b), "cpcoll\\cplist", "pbktNew !=0");
  Createable::SetAllocationFailure(3);
  dct.AddKeyNum(1002, &b);  // entry and node: the armed third allocation is the next one
  EXPECT_EQ(Createable::operator new(8), nullptr);
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(dct.Length(), 257u);
  EXPECT_EQ(dct.FindKeyNum(1000), nullptr);
  EXPECT_EQ(dct.FindKeyNum(1001), nullptr);
  EXPECT_EQ(dct.FindKeyNum(1002), &b);
  EXPECT_EQ(CPDictionaryInspector::Check(dct), "");

  CPTree tree;
  for (unsigned long k = 0; k < 100; ++k) tree.AddKeyNum(k, &a);
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(tree.AddKeyNum(500, &b), "cpcoll\\BTree", "plfNew");
  Createable::SetAllocationFailure(2);
  tree.AddKeyNum(501, &b);  // one allocation: the armed second one stays armed
  EXPECT_EQ(Createable::operator new(8), nullptr);
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(tree.Length(), 101u);
  EXPECT_EQ(tree.FindKeyNum(500), nullptr);
  EXPECT_EQ(tree.FindKeyNum(501), &b);
  EXPECT_EQ(CPTreeInspector::Check(tree), "");
}

// Blocks of one class freed on the same thread are taken again: the
// second round of a large tree or dictionary needs no new slab.
TEST(CPListFastPaths, FreedEntriesAndTreeNodesAreReusedOnTheSameThread) {
  if (!TARNCOLL_NODE_POOL) GTEST_SKIP() << "node pool disabled in this build";
  int item = 0;
  auto round = [&item] {
    CPTree* ptree = new CPTree;
    CPDictionary* pdct = new CPDictionary;
    CPDictionary* ptext = new CPDictionary;
    for (unsigned long k = 0; k < 20000; ++k) {
      ptree->AddKeyNum(k, &item);
      pdct->AddKeyNum(k, &item);
      ptext->AddKeyString(("k" + std::to_string(k)).c_str(), &item, nullptr);  // short: a pooled key string
    }
    delete ptree;
    pdct->DetachAll();
    delete pdct;
    delete ptext;
  };
  round();
  using tarncoll::detail::NodeSlabCount;
  const std::size_t nLeaf = NodeSlabCount(tarncoll::detail::kLeafBlockSize);
  const std::size_t nEntry = NodeSlabCount(tarncoll::detail::kEntryBlockSize);
  const std::size_t nString = NodeSlabCount(tarncoll::detail::kStringBlockSize);
  EXPECT_GE(nLeaf, 20000 * tarncoll::detail::kLeafBlockSize / tarncoll::detail::kNodeSlabBytes);
  EXPECT_GE(nEntry, 40000 * tarncoll::detail::kEntryBlockSize / tarncoll::detail::kNodeSlabBytes);
  EXPECT_GE(nString, 20000 * tarncoll::detail::kStringBlockSize / tarncoll::detail::kNodeSlabBytes);
  for (int i = 0; i < 5; ++i) round();
  EXPECT_EQ(NodeSlabCount(tarncoll::detail::kLeafBlockSize), nLeaf);
  EXPECT_EQ(NodeSlabCount(tarncoll::detail::kEntryBlockSize), nEntry);
  EXPECT_EQ(NodeSlabCount(tarncoll::detail::kStringBlockSize), nString);
  EXPECT_EQ(NodeSlabCount(7), 0u);  // no such class
}

// A dictionary's own short key string lives in a pool block, yet stays a
// CPString with its own count: a caller that takes a reference keeps it,
// text and CRC, after the entry is gone, and the last Release frees it.
TEST(CPListFastPaths, PooledKeyStringOutlivesItsEntry) {
  int a = 0;
  CPDictionary dct;
  dct.AddKeyString("short key", &a, nullptr);
  dct.AddKeyString("a key text that is too long for the string's own room", &a, nullptr);
  std::vector<CPString*> kept;
  for (long i = 0; i < 2; ++i) {
    CPString* pstr = dct.RetrieveDAIDX(i)->_get_pstrKey();
    ASSERT_NE(pstr, nullptr);
    EXPECT_EQ(pstr->_get_nRefCount(), 1);
    pstr->AddRef();
    kept.push_back(pstr);
  }
  dct.DetachAll();
  std::vector<std::string> texts;
  for (CPString* pstr : kept) {
    EXPECT_EQ(pstr->_get_nRefCount(), 1);
    EXPECT_EQ(pstr->_get_nCRC(), crc16::Update(0, pstr->GetBuffer(), pstr->Length()));
    texts.push_back(pstr->GetBuffer());
    *pstr = "renamed";  // still an ordinary string: assignable
    EXPECT_STREQ(pstr->GetBuffer(), "renamed");
    EXPECT_EQ(pstr->Release(), 0);
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"a key text that is too long for the string's own room", "short key"}));
}

// Tree nodes are placed so that the fields a search reads (pvKey to
// plfLeft, bytes 16 to 47) share one cache line, on every slab and for
// nodes reused after a release.
TEST(CPListFastPaths, TreeNodesKeepTheirSearchFieldsInOneCacheLine) {
  if (!TARNCOLL_NODE_POOL) GTEST_SKIP() << "node pool disabled in this build";
  int item = 0;
  for (int round = 0; round < 2; ++round) {
    CPTree tree;
    for (unsigned long k = 0; k < 6000; ++k) tree.AddKeyNum(k * 7919 % 6007, &item);  // over two slabs
    std::size_t nNodes = 0;
    for (Leaf* plf = tree._get_plfHead(); plf; plf = plf->_get_plfNext(), ++nNodes) {
      const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(plf);
      ASSERT_EQ(at % 16, 0u);
      ASSERT_EQ((at + 16) / 64, (at + 47) / 64) << "node at " << plf;
    }
    EXPECT_EQ(nNodes, 6000u);
  }
}

// A container of nNodes items made by one thread and released by another,
// each thread exiting after its part; repeated nRounds times after two to
// warm up.  The slabs of the class of blockSize the rounds needed beyond
// the warm-up.
template <class Container, class Fill>
std::size_t NewSlabsForExchanges(std::size_t blockSize, int nNodes, int nRounds, Fill fill) {
  auto exchange = [&] {
    Container* pc = new Container;
    std::thread producer([&] {
      for (int i = 0; i < nNodes; ++i) fill(*pc, i);
    });
    producer.join();
    std::thread consumer([&] { delete pc; });
    consumer.join();
  };
  exchange();
  exchange();
  const std::size_t nSlabs = tarncoll::detail::NodeSlabCount(blockSize);
  for (int round = 0; round < nRounds; ++round) exchange();
  return tarncoll::detail::NodeSlabCount(blockSize) - nSlabs;
}

std::size_t NewSlabsForExchanges(int nNodes, int nRounds) {
  static int item = 0;
  return NewSlabsForExchanges<CPList>(tarncoll::detail::kNodeBlockSize, nNodes, nRounds,
                                      [](CPList& l, int) { l.Add(&item); });
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

// The same exchanges for tree nodes and dictionary entries, large and
// small against one cache chain.
TEST(CPListFastPaths, TreeNodesAndEntriesMovingBetweenThreadsAreReused) {
  if (!TARNCOLL_NODE_POOL) GTEST_SKIP() << "node pool disabled in this build";
  static int item = 0;
  auto addToTree = [](CPTree& t, int i) { t.AddKeyNum(static_cast<unsigned long>(i), &item); };
  auto addToDict = [](CPDictionary& d, int i) { d.AddKeyNum(static_cast<unsigned long>(i), &item); };
  auto addTextToDict = [](CPDictionary& d, int i) { d.AddKeyString(("k" + std::to_string(i)).c_str(), &item, nullptr); };
  EXPECT_LE(NewSlabsForExchanges<CPTree>(tarncoll::detail::kLeafBlockSize, 20000, 6, addToTree), 1u);
  EXPECT_LE(NewSlabsForExchanges<CPTree>(tarncoll::detail::kLeafBlockSize, 500, 30, addToTree), 1u);
  EXPECT_LE(NewSlabsForExchanges<CPDictionary>(tarncoll::detail::kEntryBlockSize, 20000, 6, addToDict), 1u);
  EXPECT_LE(NewSlabsForExchanges<CPDictionary>(tarncoll::detail::kEntryBlockSize, 500, 30, addToDict), 1u);
  EXPECT_LE(NewSlabsForExchanges<CPDictionary>(tarncoll::detail::kStringBlockSize, 20000, 6, addTextToDict), 1u);
  EXPECT_LE(NewSlabsForExchanges<CPDictionary>(tarncoll::detail::kStringBlockSize, 500, 30, addTextToDict), 1u);
}

}  // namespace
