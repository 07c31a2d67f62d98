// Shared inputs for the benchmark programs.
//
// Every scenario runs tarncoll and its standard-library peer on the same
// data, made here from fixed seeds so that runs are comparable:
//   Items(n)      n distinct item pointers (addresses inside one block,
//                 shuffled, never dereferenced by any container)
//   NumKeys(n)    n distinct random numeric keys below 2^31
//   TextKeys(n)   n distinct key texts, "key-" and a random number
//   Shuffled(v)   a copy of v in another fixed random order (probe order)
//   Sizes(b)      registers a benchmark at every N of the curves
#ifndef TARNCOLL_BENCH_BENCH_DATA_H
#define TARNCOLL_BENCH_BENCH_DATA_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace bench {

constexpr std::uint64_t kItemSeed = 0x5eed0001;
constexpr std::uint64_t kKeySeed = 0x5eed0002;
constexpr std::uint64_t kProbeSeed = 0x5eed0003;

// The largest N any scenario uses.
constexpr std::size_t kMaxN = 4000000;

// The N of the cost curves (bench/compare --plot), four to a decade or so;
// the table reads 1000, 65536 and 1000000 among them.
constexpr long kCurveSizes[] = {1000, 4000, 16000, 65536, 250000, 1000000, 4000000};

// Registers a benchmark at every N of the curves: BENCHMARK(f)->Apply(bench::Sizes).
template <class B>
void Sizes(B* b) {
  for (long n : kCurveSizes) b->Arg(n);
}

// The item pointers: distinct, pointer-aligned, in a fixed random order;
// the same values on every call with the same n.
inline std::vector<void*> Items(std::size_t n) {
  // Backing addresses, kept for the process; only their values are used.
  static std::vector<std::uint64_t> block(kMaxN);
  if (n > block.size()) std::abort();
  std::vector<void*> items(n);
  for (std::size_t i = 0; i < n; ++i) items[i] = &block[i];
  std::mt19937_64 rng(kItemSeed);
  std::shuffle(items.begin(), items.end(), rng);
  return items;
}

// n distinct numeric keys, uniformly random below 2^31.
inline std::vector<unsigned long> NumKeys(std::size_t n) {
  std::mt19937_64 rng(kKeySeed);
  std::unordered_set<unsigned long> seen;
  seen.reserve(n * 2);
  std::vector<unsigned long> keys;
  keys.reserve(n);
  while (keys.size() < n) {
    unsigned long k = static_cast<unsigned long>(rng() & 0x7FFFFFFFu);
    if (seen.insert(k).second) keys.push_back(k);
  }
  return keys;
}

// n distinct key texts such as "key-1804289383".
inline std::vector<std::string> TextKeys(std::size_t n) {
  std::vector<unsigned long> nums = NumKeys(n);
  std::vector<std::string> keys;
  keys.reserve(n);
  for (unsigned long k : nums) keys.push_back("key-" + std::to_string(k));
  return keys;
}

template <class T>
std::vector<T> Shuffled(std::vector<T> v, std::uint64_t seed = kProbeSeed) {
  std::mt19937_64 rng(seed);
  std::shuffle(v.begin(), v.end(), rng);
  return v;
}

// Counters every benchmark sets: "ops" is the number of operations one
// iteration performs, so ns/op = time per iteration / ops.
template <class State>
void SetOps(State& state, std::size_t ops) {
  state.counters["ops"] = static_cast<double>(ops);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(ops));
}

}  // namespace bench

#endif
