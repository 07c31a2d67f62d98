// Test access to CPArray's internals: the invariant check and a few reads
// and deliberate corruptions that the public interface does not offer.
#ifndef TARNCOLL_TESTS_SUPPORT_ARRAY_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_ARRAY_INSPECTOR_H

#include <gtest/gtest.h>

#include <cpcoll/CpArray.h>

struct CPArrayInspector {
  // The array's invariants: a block, the count within the capacity, the
  // collection's length equal to the count.
  static ::testing::AssertionResult Check(const CPArray& a) {
    if (a.arpvThe == nullptr) return ::testing::AssertionFailure() << "no block";
    if (a.ulCurrentIndex > a.ulArraySize)
      return ::testing::AssertionFailure() << "count " << a.ulCurrentIndex << " above capacity " << a.ulArraySize;
    if (a.nLength != a.ulCurrentIndex)
      return ::testing::AssertionFailure() << "nLength " << a.nLength << " != count " << a.ulCurrentIndex;
    return ::testing::AssertionSuccess();
  }
  static unsigned long Cursor(const CPArray& a) { return a.ulCursor; }
  // Breaks invariant 3, to reach the length helper's report.
  static void SetLength(CPArray& a, unsigned long n) { a.nLength = n; }
};

#endif
