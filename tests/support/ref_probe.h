// Test support for the reference-holding collections: a counted object that
// logs every Release and its own destruction by id, and a fixture that
// checks no Counted object outlives the test.
#ifndef TARNCOLL_TESTS_SUPPORT_REF_PROBE_H
#define TARNCOLL_TESTS_SUPPORT_REF_PROBE_H

#include <gtest/gtest.h>

#include <vector>

#include "support/counted.h"

class Probe : public Counted {
 public:
  explicit Probe(int id) : Counted(id) {}
  ~Probe() override { Destroyed().push_back(Id()); }
  long Release() override {
    Released().push_back(Id());
    return Counted::Release();
  }

  static std::vector<int>& Released() {
    static std::vector<int> v;
    return v;
  }
  static std::vector<int>& Destroyed() {
    static std::vector<int> v;
    return v;
  }
  static void ResetLog() {
    Released().clear();
    Destroyed().clear();
  }
};

// A new probe on which the test holds one reference of its own, so that it
// stays observable while collections take and drop theirs.
inline Probe* HeldProbe(int id) {
  Probe* p = new Probe(id);
  p->AddRef();
  return p;
}

class RefTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Probe::ResetLog();
    nLiveAtStart = Counted::Live();
  }
  void TearDown() override {
    Createable::SetAllocationFailure(0);
    EXPECT_EQ(Counted::Live(), nLiveAtStart) << "counted objects leaked or freed twice";
  }
  int nLiveAtStart = 0;
};

#endif
