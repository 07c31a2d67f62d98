// Test access to CPStack's internals: the invariant check and a few reads
// and deliberate corruptions that the public interface does not offer.
#ifndef TARNCOLL_TESTS_SUPPORT_STACK_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_STACK_INSPECTOR_H

#include <gtest/gtest.h>

#include <cpcoll/cpstack.h>

struct CPStackInspector {
  // The stack's invariants: a block, the count within the capacity, the
  // collection's length equal to the count.
  static ::testing::AssertionResult Check(const CPStack& s) {
    if (s.arpvStack == nullptr) return ::testing::AssertionFailure() << "no block";
    if (s.ulStackCount > s.ulStackSize)
      return ::testing::AssertionFailure() << "count " << s.ulStackCount << " above capacity " << s.ulStackSize;
    if (s.nLength != s.ulStackCount)
      return ::testing::AssertionFailure() << "nLength " << s.nLength << " != count " << s.ulStackCount;
    return ::testing::AssertionSuccess();
  }
  static unsigned long Capacity(const CPStack& s) { return s.ulStackSize; }
  static unsigned long Cursor(const CPStack& s) { return s.ulCursor; }
  static void** Block(const CPStack& s) { return s.arpvStack; }
  // Breaks invariant 3, to reach the length helper's report.
  static void SetLength(CPStack& s, unsigned long n) { s.nLength = n; }
};

#endif
