// CPQueue: arrival order over the tree, Insert at the front, DetachTop,
// re-adding, copies, and a differential test against std::deque.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include <cpcoll/CPQueue.h>

#include "support/tree_inspector.h"

namespace {

void* P(std::uintptr_t n) { return reinterpret_cast<void*>(0x1000 * n); }

std::vector<void*> Walk(CPTree& q) {
  std::vector<void*> v;
  for (q.GotoTop(); q.Retrieve(); q.Next()) v.push_back(q.Retrieve());
  return v;
}

std::vector<void*> WalkBack(const CPTree& q) {
  std::vector<void*> v;
  for (Leaf* p = q._get_plfTail(); p; p = p->plfPrev) v.push_back(p->pvData);
  return v;
}

#define EXPECT_SOUND_QUEUE(q) EXPECT_EQ(CPTreeInspector::Check(q, false), "")

}  // namespace

TEST(CPQueue, AddIsFirstInFirstOut) {
  CPQueue q;
  q.Add(P(3));
  q.Add(P(1));
  q.Add(P(2));
  EXPECT_EQ(Walk(q), (std::vector<void*>{P(3), P(1), P(2)}));  // arrival, not pointer order
  EXPECT_SOUND_QUEUE(q);
  EXPECT_EQ(q.DetachTop(), P(3));
  EXPECT_EQ(q.DetachTop(), P(1));
  EXPECT_EQ(q.DetachTop(), P(2));
  const short nXACT = q._get_nXACT();
  EXPECT_EQ(q.DetachTop(), nullptr);
  EXPECT_EQ(q._get_nXACT(), nXACT);
  EXPECT_EQ(q._get_plfRoot(), nullptr);
}

TEST(CPQueue, InsertGoesToTheFront) {
  CPQueue q;
  q.Add(P(1));
  q.Insert(P(2));
  EXPECT_EQ(q.DetachTop(), P(2));
  EXPECT_EQ(q.DetachTop(), P(1));

  for (std::uintptr_t i = 1; i <= 5; ++i) q.Insert(P(i));  // Insert alone: last in, first out
  EXPECT_EQ(Walk(q), (std::vector<void*>{P(5), P(4), P(3), P(2), P(1)}));
  EXPECT_EQ(WalkBack(q), (std::vector<void*>{P(1), P(2), P(3), P(4), P(5)}));
  EXPECT_SOUND_QUEUE(q);
  q.Add(P(9));  // Insert left no trace: Add appends again
  EXPECT_EQ(q.Largest(), P(9));
}

TEST(CPQueue, ReAddingKeepsThePlace) {
  CPQueue q;
  q.Add(P(1));
  q.Add(P(2));
  const short nXACT = q._get_nXACT();
  q.Add(P(1));
  q.Insert(P(2));
  EXPECT_EQ(q.Length(), 2u);
  EXPECT_EQ(q._get_nXACT(), nXACT);
  EXPECT_EQ(q.DetachTop(), P(1));
  EXPECT_EQ(q.DetachTop(), P(2));
}

TEST(CPQueue, RemovalFromTheMiddleAndKeyedAdditions) {
  CPQueue q;
  for (std::uintptr_t i = 1; i <= 6; ++i) q.Add(P(i));
  EXPECT_EQ(q.Detach(P(3)), 1);
  EXPECT_EQ(q.Detach(P(6)), 1);  // the back
  q.AddKeyNum(0x5, P(7));        // an explicit key goes to the back as well
  EXPECT_EQ(Walk(q), (std::vector<void*>{P(1), P(2), P(4), P(5), P(7)}));
  EXPECT_SOUND_QUEUE(q);
  EXPECT_EQ(q.FindKeyNum(0x5), P(7));
}

TEST(CPQueue, CopiesKeepTheOrderAndCreateInstanceIsAQueue) {
  CPQueue q;
  q.Add(P(5));
  q.Add(P(1));
  q.Insert(P(9));
  CPQueue c(q);
  EXPECT_EQ(Walk(c), (std::vector<void*>{P(9), P(5), P(1)}));
  EXPECT_SOUND_QUEUE(c);
  EXPECT_EQ(c.DetachTop(), P(9));
  EXPECT_EQ(q.Length(), 3u);

  CPQueue d;
  d.Add(P(2));
  d = q;
  EXPECT_EQ(Walk(d), (std::vector<void*>{P(9), P(5), P(1)}));

  CPCollection* pcl = q.CreateInstance();
  CPQueue* pq = dynamic_cast<CPQueue*>(pcl);
  ASSERT_NE(pq, nullptr);
  EXPECT_EQ(pq->Length(), 0u);
  pq->Add(P(2));
  pq->Add(P(1));
  EXPECT_EQ(pq->DetachTop(), P(2));
  delete pcl;
}

TEST(CPQueueRandom, MatchesStdDequeOverTwoHundredThousandOperations) {
  const std::uint64_t seed = 0x0D0E0E00u;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 rng(seed);
  CPQueue q;
  std::deque<void*> model;
  std::vector<Leaf*> held;
  long nTarget = 100;
  for (long step = 0; step < 200000; ++step) {
    if (step % 5000 == 0) nTarget = long(rng() % 300);
    void* p = P(1 + rng() % 500);
    const bool bPresent = std::find(model.begin(), model.end(), p) != model.end();
    const unsigned r = unsigned(rng() % 100);
    const bool bGrow = long(model.size()) < nTarget;
    const char* op = "";
    if (r < (bGrow ? 40u : 20u)) {
      op = "Add";
      q.Add(p);
      if (!bPresent) model.push_back(p);
    } else if (r < (bGrow ? 60u : 30u)) {
      op = "Insert";
      q.Insert(p);
      if (!bPresent) model.push_front(p);
    } else if (r < 80) {
      op = "DetachTop";
      void* pv = q.DetachTop();
      ASSERT_EQ(pv, model.empty() ? nullptr : model.front());
      if (!model.empty()) model.pop_front();
    } else if (r < 95) {
      op = "Detach";
      ASSERT_EQ(q.Detach(p), bPresent ? 1 : 0);
      if (bPresent) model.erase(std::find(model.begin(), model.end(), p));
    } else if (r < 98) {
      op = "bDeleteLeaves 0 removal";
      Leaf* plf = q.FindLeaf(p, 0);
      q._set_bDeleteLeaves(0);
      q.DeleteBalance(p);
      q._set_bDeleteLeaves(1);
      if (plf) {
        held.push_back(plf);
        model.erase(std::find(model.begin(), model.end(), p));
      }
    } else {
      op = "Copy";
      CPQueue c(q);
      q = c;
    }
    ASSERT_EQ(CPTreeInspector::Check(q, false), "") << "step " << step << " " << op;
    ASSERT_EQ(q.Length(), model.size()) << "step " << step << " " << op;
    std::vector<void*> order;
    for (Leaf* plf = q._get_plfHead(); plf; plf = plf->plfNext) order.push_back(plf->pvData);
    ASSERT_TRUE(std::equal(order.begin(), order.end(), model.begin(), model.end())) << "step " << step << " " << op;
  }
  for (Leaf* plf : held) delete plf;
}
