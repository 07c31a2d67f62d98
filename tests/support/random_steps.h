// Environment knobs shared by every randomized test (the model tests and
// the test_*_random programs), read in this one place:
//
//   TARNCOLL_SEED=k       adds k to every seed, so the same programs run
//                         other sequences; a failure names the seed it ran
//                         with.  Unset or 0: the fixed default sequences.
//   TARNCOLL_MODEL_OPS=n  sets the step count: each model-test family runs
//                         n operations in all, each other randomized test
//                         n steps.  n may lie above or below the defaults
//                         (valgrind runs set it low, soak runs high).
//                         Unset, 0 or unreadable: the defaults.
#ifndef TARNCOLL_TESTS_SUPPORT_RANDOM_STEPS_H
#define TARNCOLL_TESTS_SUPPORT_RANDOM_STEPS_H

#include <cstdint>
#include <cstdlib>

namespace tarncoll {
namespace test {

// nDefault, or the value of TARNCOLL_MODEL_OPS when it is a positive number.
inline unsigned long StepCount(unsigned long nDefault) {
  const char* psz = std::getenv("TARNCOLL_MODEL_OPS");
  if (psz == nullptr || *psz == 0) return nDefault;
  unsigned long n = std::strtoul(psz, nullptr, 10);
  return n > 0 ? n : nDefault;
}

// The value of TARNCOLL_SEED (decimal, or hexadecimal with 0x), 0 when unset.
inline std::uint64_t SeedOffset() {
  const char* psz = std::getenv("TARNCOLL_SEED");
  return psz && *psz ? std::strtoull(psz, nullptr, 0) : 0;
}

}  // namespace test
}  // namespace tarncoll

// The step count of a randomized test whose default is nDefault.
inline long RandomSteps(long nDefault) {
  return static_cast<long>(tarncoll::test::StepCount(static_cast<unsigned long>(nDefault)));
}

// A randomized test's seed: nDefault moved by TARNCOLL_SEED.
inline std::uint64_t RandomSeed(std::uint64_t nDefault) { return nDefault + tarncoll::test::SeedOffset(); }

#endif
