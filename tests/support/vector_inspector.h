// Test access to CPVector's internals: the invariant check and its block.
#ifndef TARNCOLL_TESTS_SUPPORT_VECTOR_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_VECTOR_INSPECTOR_H

#include <gtest/gtest.h>

#include <cpcoll/CPVector.h>

struct CPVectorInspector {
  // A vector owns a block and never holds anything or changes.
  static ::testing::AssertionResult Check(const CPVector& v) {
    if (v.arpvVector == nullptr) return ::testing::AssertionFailure() << "no block";
    if (v.ulVectorCount != 0 || v.nLength != 0 || v.nXACT != 0)
      return ::testing::AssertionFailure()
             << "count " << v.ulVectorCount << ", nLength " << v.nLength << ", nXACT " << v.nXACT;
    return ::testing::AssertionSuccess();
  }
  static unsigned long Capacity(const CPVector& v) { return v.ulVectorSize; }
  static void** Block(const CPVector& v) { return v.arpvVector; }
};

#endif
