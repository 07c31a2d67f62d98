// Step counts of the randomized tests.  TARNCOLL_MODEL_OPS, when set, caps
// them (as it sets the model tests' operations), so that slow runs such as
// valgrind's can shorten every randomized test at once.
#ifndef TARNCOLL_TESTS_SUPPORT_RANDOM_STEPS_H
#define TARNCOLL_TESTS_SUPPORT_RANDOM_STEPS_H

#include <cstdlib>

inline long RandomSteps(long nDefault) {
  const char* psz = std::getenv("TARNCOLL_MODEL_OPS");
  if (psz == nullptr || *psz == 0) return nDefault;
  long n = std::strtol(psz, nullptr, 10);
  return n > 0 && n < nDefault ? n : nDefault;
}

#endif
