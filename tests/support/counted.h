// Test support: a Createable that counts live instances, so tests can
// check exact reference counts and that nothing leaks or is freed twice.
#ifndef TARNCOLL_TESTS_SUPPORT_COUNTED_H
#define TARNCOLL_TESTS_SUPPORT_COUNTED_H

#include <util/Createable.h>

class Counted : public Createable {
 public:
  explicit Counted(int id = 0) : nId(id) { ++Live(); }
  Counted(const Counted& other) : Createable(other), nId(other.nId) { ++Live(); }
  Counted& operator=(const Counted& other) = default;
  ~Counted() override { --Live(); }
  int Id() const { return nId; }
  static int& Live() {
    static int n = 0;
    return n;
  }

 private:
  int nId;
};

#endif
