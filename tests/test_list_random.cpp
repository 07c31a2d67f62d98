// CPList against a std::list model: random operations, every result
// compared, the invariant check and full walks both ways after each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <list>
#include <random>
#include <string>
#include <vector>

#include <cpcoll/cplist.h>

#include "support/list_inspector.h"
#include "support/random_steps.h"

namespace {

// The model: the items, the built-in cursor (end() is off the list), the
// look-ahead (end() is none) and the reset point (end() is none).
struct Model {
  std::list<void*> items;
  std::list<void*>::iterator cur = items.end();
  std::list<void*>::iterator peek = items.end();
  std::list<void*>::iterator reset = items.end();
  long kills = 0;
  // Whether the list remembers its cursor's index: only after GotoTop,
  // GotoBottom and a successful positional read; a positional read
  // without it counts from GotoTop, which ends the look-ahead.
  bool known = false;

  bool IsLast(std::list<void*>::iterator i) { return i != items.end() && std::next(i) == items.end(); }
  void LinkChanged() {
    reset = items.end();
    known = false;
  }
  // After a search from the head: known only when it stopped on the head.
  void Searched() {
    peek = items.end();
    known = cur == items.begin();  // also on an empty list, off it
  }
  void Positioned(std::list<void*>::iterator i) {
    if (!known) peek = items.end();
    cur = i;
    known = true;
  }
  // Removes one node; the cursor moves to its successor.
  void Erase(std::list<void*>::iterator i) {
    if (cur == i) cur = std::next(i);
    if (peek == i) peek = items.end();
    LinkChanged();
    items.erase(i);
  }
  std::list<void*>::iterator Find(void* pv) { return std::find(items.begin(), items.end(), pv); }
  void* At(std::list<void*>::iterator i) { return i == items.end() ? nullptr : *i; }
  long Index(std::list<void*>::iterator i) {
    return i == items.end() ? -1 : static_cast<long>(std::distance(items.begin(), i));
  }
};

long g_nKills = 0;
void CountKill(void*, void*) { ++g_nKills; }

class RandomListTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomListTest, MatchesTheModel) {
  const unsigned nSeed = static_cast<unsigned>(RandomSeed(GetParam()));  // TARNCOLL_SEED moves it
  SCOPED_TRACE("seed " + std::to_string(nSeed));
  std::mt19937 rng(nSeed);
  static char pool[24];  // few distinct items: plenty of duplicates
  auto item = [&] { return static_cast<void*>(&pool[rng() % sizeof pool]); };

  CPList lst;
  Model m;
  g_nKills = 0;
  const long kSteps = RandomSteps(35000);
  for (long step = 0; step < kSteps; ++step) {
    // Lean towards removal once the list is long, so it stays small.
    unsigned op = rng() % 30;
    if (m.items.size() > 48 && op < 8) op += 10;
    SCOPED_TRACE("step " + std::to_string(step));
    std::string name;
    switch (op) {
      case 0:
      case 1: {
        void* pv = item();
        name = "Add";
        lst.Add(pv);
        m.items.push_back(pv);
        m.LinkChanged();
        break;
      }
      case 2:
      case 3: {
        void* pv = item();
        name = "Insert";
        ASSERT_EQ(lst.Insert(pv), 1);
        if (m.cur != m.items.end()) {
          m.items.insert(m.cur, pv);
        } else if (m.items.empty()) {
          m.items.push_back(pv);
          m.cur = m.items.begin();
        } else {
          m.cur = m.items.begin();
          m.items.push_front(pv);
        }
        m.LinkChanged();
        break;
      }
      case 4:
      case 5: {
        void* pv = item();
        name = "InsertAfter";
        int nExpected = m.cur != m.items.end() ? 1 : 0;
        ASSERT_EQ(lst.InsertAfter(pv), nExpected);
        if (nExpected) {
          m.items.insert(std::next(m.cur), pv);
          m.LinkChanged();
        }
        break;
      }
      case 6: {
        void* pv = item();
        name = "Intern";
        lst.Intern(pv);
        m.cur = m.Find(pv);
        m.Searched();
        if (m.cur == m.items.end()) {
          m.items.push_back(pv);
          m.LinkChanged();
        }
        break;
      }
      case 7: {
        name = "AddBucket";
        CPBucket* pbkt = new CPBucket;
        pbkt->_set_pvData(item());
        lst.AddBucket(pbkt);
        m.items.push_back(pbkt->_get_pvData());
        m.LinkChanged();
        break;
      }
      case 10:
      case 11:
      case 12: {
        void* pv = item();
        name = "Detach";
        auto i = m.Find(pv);
        m.LinkChanged();
        m.peek = m.items.end();
        m.cur = i;
        ASSERT_EQ(lst.Detach(pv), i != m.items.end() ? 1 : 0);
        if (i != m.items.end())
          m.Erase(i);
        else
          m.Searched();
        break;
      }
      case 13:
      case 14: {
        void* pv = item();
        name = "Destroy";
        auto i = m.Find(pv);
        m.LinkChanged();
        m.peek = m.items.end();
        m.cur = i;
        ASSERT_EQ(lst.Destroy(pv, &CountKill), i != m.items.end() ? 1 : 0);
        if (i != m.items.end()) {
          m.Erase(i);
          ++m.kills;
        } else {
          m.Searched();
        }
        break;
      }
      case 15: {
        name = "RetrieveAndDetachTop";
        void* pvExpected = m.items.empty() ? nullptr : m.items.front();
        ASSERT_EQ(lst.RetrieveAndDetachTop(), pvExpected);
        m.peek = m.items.end();
        if (!m.items.empty()) m.Erase(m.items.begin());
        m.cur = m.items.begin();
        m.known = pvExpected == nullptr;  // on an empty list: GotoTop only
        break;
      }
      case 16: {
        name = "DetachBucket of the cursor node";
        if (m.cur == m.items.end()) break;
        lst.DetachBucket(lst._get_pbktCursor());
        m.Erase(m.cur);
        break;
      }
      case 17: {
        if (rng() % 8) break;  // rare: clears much
        void* pv = item();
        name = "DetachAllThat";
        bool bWasEmpty = m.items.empty();
        lst.DetachAllThat([](void* p, void* user) { return p == user ? 0 : 1; }, pv);
        for (auto i = m.items.begin(); i != m.items.end();) {
          auto j = std::next(i);
          if (*i == pv) m.Erase(i);
          i = j;
        }
        m.LinkChanged();
        m.cur = m.peek = m.items.end();
        m.known = bWasEmpty;  // GotoTop alone on an empty list
        break;
      }
      case 18: {
        if (rng() % 16) break;
        name = rng() % 2 ? "DetachAll" : "DestroyAll";
        m.kills += name == "DestroyAll" ? static_cast<long>(m.items.size()) : 0;
        if (name == "DetachAll")
          ASSERT_EQ(lst.DetachAll(), 1);
        else
          ASSERT_EQ(lst.DestroyAll(&CountKill), 1);
        m.items.clear();
        m.cur = m.peek = m.reset = m.items.end();
        m.known = false;
        break;
      }
      case 19:
        name = "GotoTop";
        lst.GotoTop();
        m.cur = m.items.begin();
        m.peek = m.items.end();
        m.known = true;
        break;
      case 20:
        name = "GotoBottom";
        lst.GotoBottom();
        m.cur = m.items.empty() ? m.items.end() : std::prev(m.items.end());
        m.peek = m.items.end();
        m.known = !m.items.empty();
        break;
      case 21: {
        name = "Next";
        m.known = false;
        long nExpected = 0;
        if (m.cur != m.items.end()) {
          ++m.cur;
          nExpected = m.cur != m.items.end() ? 1 : 0;
        }
        ASSERT_EQ(lst.Next(), nExpected);
        break;
      }
      case 22: {
        name = "Prev";
        m.known = false;
        long nExpected = 0;
        if (m.cur == m.items.end() || m.cur == m.items.begin()) {
          m.cur = m.items.end();
        } else {
          --m.cur;
          nExpected = 1;
        }
        ASSERT_EQ(lst.Prev(), nExpected);
        break;
      }
      case 23:
      case 24: {
        unsigned long idx = rng() % (m.items.size() + 2);
        name = "RetrieveIDX " + std::to_string(idx);
        void* pvExpected = nullptr;
        if (idx < m.items.size()) {
          m.Positioned(std::next(m.items.begin(), static_cast<long>(idx)));
          pvExpected = *m.cur;
        }
        ASSERT_EQ(lst.RetrieveIDX(idx), pvExpected);
        break;
      }
      case 25: {
        int i = static_cast<int>(rng() % (2 * m.items.size() + 3)) - static_cast<int>(m.items.size()) - 1;
        name = "operator[] " + std::to_string(i);
        long n = i < 0 ? i + static_cast<long>(m.items.size()) : i;
        void* pvExpected = nullptr;
        if (n >= 0 && n < static_cast<long>(m.items.size())) {
          m.Positioned(std::next(m.items.begin(), n));
          pvExpected = *m.cur;
        }
        ASSERT_EQ(lst[i], pvExpected);
        break;
      }
      case 26:
        name = "Retrieve / Peek / Get";
        switch (rng() % 3) {
          case 0:
            ASSERT_EQ(lst.Retrieve(), m.At(m.cur));
            break;
          case 1:
            ASSERT_EQ(lst.Peek(), m.At(m.cur));
            m.peek = m.cur;
            break;
          default:
            ASSERT_EQ(lst.Get(), m.At(m.cur));
            m.peek = m.items.end();
            m.known = false;
            if (m.cur != m.items.end()) ++m.cur;
            break;
        }
        break;
      case 27: {
        name = "PeekNext";
        void* pvExpected = nullptr;
        if (!m.IsLast(m.peek)) {
          m.peek = m.peek == m.items.end() ? m.cur : std::next(m.peek);
          pvExpected = m.At(m.peek);
        }
        ASSERT_EQ(lst.PeekNext(), pvExpected);
        break;
      }
      case 28: {
        void* pv = item();
        name = "Exists";
        m.cur = m.Find(pv);
        m.Searched();
        ASSERT_EQ(lst.Exists(pv), m.cur != m.items.end() ? 1 : 0);
        break;
      }
      default:
        switch (rng() % 3) {
          case 0:
            name = "SetResetPoint";
            lst.SetResetPoint();
            m.reset = m.cur;
            break;
          case 1:
            name = "GotoResetPoint";
            lst.GotoResetPoint();
            m.cur = m.reset != m.items.end() ? m.reset : m.items.begin();
            m.peek = m.items.end();
            m.known = m.reset == m.items.end();
            break;
          default:
            name = "ClearResetPoint";
            lst.ClearResetPoint();
            m.reset = m.items.end();
            m.known = false;
            break;
        }
        break;
    }
    SCOPED_TRACE("after " + name);
    ASSERT_TRUE(CPListInspector::Check(lst));
    ASSERT_EQ(lst.Length(), m.items.size());
    std::vector<void*> forward(m.items.begin(), m.items.end());
    ASSERT_EQ(CPListInspector::Forward(lst), forward);
    std::reverse(forward.begin(), forward.end());
    ASSERT_EQ(CPListInspector::Backward(lst), forward);
    ASSERT_EQ(CPListInspector::IndexOf(lst, lst._get_pbktCursor()), m.Index(m.cur));
    ASSERT_EQ(CPListInspector::IndexOf(lst, CPListInspector::Peeked(lst)), m.Index(m.peek));
    ASSERT_EQ(CPListInspector::IndexOf(lst, CPListInspector::Reset(lst)), m.Index(m.reset));
    ASSERT_EQ(g_nKills, m.kills);
    ASSERT_EQ(lst._get_nDXCursor() != -1, m.known);
  }
  // A deep copy of the final list walks the same; an iteration state too.
  CPList lstCopy(lst);
  ASSERT_TRUE(CPListInspector::Check(lstCopy));
  IterationState* pits = lstCopy.CreateIterationState();
  std::vector<void*> walked;
  pits->gotoTop();
  while (void* pv = pits->retrieve()) {
    walked.push_back(pv);
    pits->gotoNext();
  }
  delete pits;
  EXPECT_EQ(walked, std::vector<void*>(m.items.begin(), m.items.end()));
}

// Three seeds of 35,000 steps each: 105,000 checked operations.
INSTANTIATE_TEST_SUITE_P(Seeds, RandomListTest, ::testing::Values(1u, 20261208u, 4242u));

}  // namespace
