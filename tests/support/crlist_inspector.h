// Test support: O(n) invariant check of a CrList, through its friend.
#ifndef TARNCOLL_TESTS_SUPPORT_CRLIST_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_CRLIST_INSPECTOR_H

#include <gtest/gtest.h>

#include <map>

#include <cpcoll/cplist.h>
#include <cpcoll/crlist.h>

struct CrListInspector {
  static CPList* Wrapped(const CrList& crlst) { return crlst.plstThe; }

  // The wrapped list exists and carries our one reference; its links agree
  // both ways; Length() counts the nodes; no node holds null; every object
  // carries at least one reference per node that holds it.
  static ::testing::AssertionResult Check(const CrList& crlst) {
    CPList* plst = crlst.plstThe;
    if (plst == nullptr) return ::testing::AssertionFailure() << "no wrapped list";
    if (plst->_get_nRefCount() != 1)
      return ::testing::AssertionFailure() << "wrapped list has " << plst->_get_nRefCount() << " references";
    std::map<Createable*, unsigned> nodes;
    unsigned long n = 0;
    CPBucket* pbktPrev = nullptr;
    for (CPBucket* pbkt = plst->_get_pbktHead(); pbkt != nullptr; pbkt = pbkt->_get_pbktNext()) {
      if (pbkt->_get_pbktPrev() != pbktPrev) return ::testing::AssertionFailure() << "back link broken at node " << n;
      if (++n > crlst.Length()) return ::testing::AssertionFailure() << "more nodes than Length()";
      Createable* pcr = static_cast<Createable*>(pbkt->_get_pvData());
      if (pcr == nullptr) return ::testing::AssertionFailure() << "null object at node " << n - 1;
      ++nodes[pcr];
      pbktPrev = pbkt;
    }
    if (pbktPrev != plst->_get_pbktTail()) return ::testing::AssertionFailure() << "tail is not the last node";
    if (n != crlst.Length()) return ::testing::AssertionFailure() << n << " nodes, Length() " << crlst.Length();
    for (const auto& kv : nodes)
      if (kv.first->_get_nRefCount() < kv.second)
        return ::testing::AssertionFailure() << "object held by " << kv.second << " nodes has "
                                             << kv.first->_get_nRefCount() << " references";
    return ::testing::AssertionSuccess();
  }
};

#endif
