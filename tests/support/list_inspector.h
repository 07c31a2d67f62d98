// Test support: the O(n) invariant check of CPList and read access to the
// fields the public interface does not show (reset point, look-ahead,
// search state, the iteration state's own fields).
#ifndef TARNCOLL_TESTS_SUPPORT_LIST_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_LIST_INSPECTOR_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <sstream>
#include <vector>

#include <cpcoll/cplist.h>

struct CPListInspector {
  static CPBucket* Reset(const CPList& lst) { return lst.pbktReset; }
  static CPBucket* Peeked(const CPList& lst) { return lst.pbktPeek; }
  static IterationState* SearchState(const CPList& lst) { return lst.itThe._get_pitsThe(); }

  static CPBucket* Reset(const ListIterationState& lits) { return lits.pbktReset; }
  static CPBucket* Peeked(const ListIterationState& lits) { return lits.pbktPeek; }
  static long Index(const ListIterationState& lits) { return lits.nDXCursor; }

  // The items from head to tail through pbktNext.
  static std::vector<void*> Forward(const CPList& lst) {
    std::vector<void*> v;
    for (CPBucket* p = lst.pbktHead; p && v.size() <= lst.nLength; p = p->_get_pbktNext()) v.push_back(p->_get_pvData());
    return v;
  }
  // The items from tail to head through pbktPrev.
  static std::vector<void*> Backward(const CPList& lst) {
    std::vector<void*> v;
    for (CPBucket* p = lst.pbktTail; p && v.size() <= lst.nLength; p = p->_get_pbktPrev()) v.push_back(p->_get_pvData());
    return v;
  }
  // Zero-based position of a node in the chain, -1 when not linked.
  static long IndexOf(const CPList& lst, const CPBucket* pbkt) {
    long i = 0;
    for (CPBucket* p = lst.pbktHead; p && static_cast<unsigned long>(i) < lst.nLength; p = p->_get_pbktNext(), ++i)
      if (p == pbkt) return i;
    return -1;
  }

  // Links agree both ways, no loop, head/tail and nLength right, each node
  // holds exactly nRefs references (the list's own when nRefs is 1), the
  // cached node pointers name linked nodes, nDXCursor is -1 or the
  // cursor's index.
  static ::testing::AssertionResult Check(const CPList& lst, unsigned nRefs = 1) {
    std::ostringstream err;
    if ((lst.pbktHead == nullptr) != (lst.pbktTail == nullptr)) err << "head/tail disagree on emptiness; ";
    if (lst.pbktHead && lst.pbktHead->_get_pbktPrev()) err << "head has a predecessor; ";
    if (lst.pbktTail && lst.pbktTail->_get_pbktNext()) err << "tail has a successor; ";
    std::set<const CPBucket*> linked;
    unsigned long n = 0;
    const CPBucket* pPrev = nullptr;
    for (CPBucket* p = lst.pbktHead; p; pPrev = p, p = p->_get_pbktNext()) {
      if (!linked.insert(p).second || n > lst.nLength) {
        err << "loop or overlong chain; ";
        break;
      }
      if (p->_get_pbktPrev() != pPrev) err << "node " << n << ": pbktPrev does not name its predecessor; ";
      if (p->_get_nRefCount() != nRefs) err << "node " << n << ": " << p->_get_nRefCount() << " references; ";
      ++n;
    }
    if (pPrev != lst.pbktTail) err << "walk from the head does not end at the tail; ";
    if (n != lst.nLength) err << "nLength " << lst.nLength << " but " << n << " nodes; ";
    auto named = [&](const CPBucket* p, const char* name) {
      if (p && !linked.count(p)) err << name << " names a node outside the list; ";
    };
    named(lst.pbktReset, "pbktReset");
    named(lst.pbktCursor, "pbktCursor");
    named(lst.pbktGot, "pbktGot");
    named(lst.pbktPeek, "pbktPeek");
    if (lst.nDXCursor != -1) {
      bool bEmptyTop = lst.nLength == 0 && lst.nDXCursor == 0 && !lst.pbktCursor;
      if (!bEmptyTop && IndexOf(lst, lst.pbktCursor) != lst.nDXCursor)
        err << "nDXCursor " << lst.nDXCursor << " is not the cursor's index; ";
    }
    std::string s = err.str();
    if (s.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << s;
  }
};

// Items for list tests: distinct addresses, never dereferenced.
struct ListItems {
  char p = 'p', q = 'q', r = 'r', s = 's', x = 'x';
};

// Appends the items in order.
inline void Fill(CPList& lst, std::initializer_list<void*> items) {
  for (void* pv : items) lst.Add(pv);
}

#endif
