// CPDictionary against std::unordered_map: text-key and numeric-key hits,
// and AddKeyString and AddKeyNum of N new keys, at every N of the curves.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <cpcoll/Cpdict.h>

#include "bench_data.h"

namespace {

// Probes per iteration of the lookup benchmarks: every key up to 64K, a
// random 64K of them at N = 1M.
constexpr std::size_t kMaxProbes = 65536;

// A dictionary and a map holding the same N keys and items, built once per
// N and kept for the process (the lookup benchmarks only read them).
template <class Key>
struct Data {
  std::vector<Key> keys;
  std::vector<void*> items;
  std::vector<Key> probes;  // copies of keys, in another order
  CPDictionary dict;
  std::unordered_map<Key, void*> map;

  explicit Data(std::size_t n) : keys(MakeKeys(n)), items(bench::Items(n)) {
    probes = bench::Shuffled(keys);
    if (probes.size() > kMaxProbes) probes.resize(kMaxProbes);
    for (std::size_t i = 0; i < n; ++i) {
      Add(keys[i], items[i]);
      map.emplace(keys[i], items[i]);
    }
  }
  static std::vector<Key> MakeKeys(std::size_t n);
  void Add(const Key& k, void* item);

  static Data& Get(std::size_t n) {
    static std::map<std::size_t, std::unique_ptr<Data>> cache;
    auto& slot = cache[n];
    if (!slot) slot = std::make_unique<Data>(n);
    return *slot;
  }
};

template <>
std::vector<std::string> Data<std::string>::MakeKeys(std::size_t n) {
  return bench::TextKeys(n);
}
template <>
void Data<std::string>::Add(const std::string& k, void* item) {
  dict.AddKeyString(k.c_str(), item, nullptr);
}
template <>
std::vector<unsigned long> Data<unsigned long>::MakeKeys(std::size_t n) {
  return bench::NumKeys(n);
}
template <>
void Data<unsigned long>::Add(const unsigned long& k, void* item) {
  dict.AddKeyNum(k, item);
}

using TextData = Data<std::string>;
using NumData = Data<unsigned long>;

// ---- FindKeyString(text, null) hits ------------------------------------------

void BM_Dict_FindKeyString_tarncoll(benchmark::State& state) {
  TextData& d = TextData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.dict.FindKeyString(k.c_str(), nullptr));
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

void BM_Dict_FindKeyString_std(benchmark::State& state) {
  TextData& d = TextData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.map.find(k)->second);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

// ---- FindKeyNum hits ---------------------------------------------------------

void BM_Dict_FindKeyNum_tarncoll(benchmark::State& state) {
  NumData& d = NumData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.dict.FindKeyNum(k));
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

void BM_Dict_FindKeyNum_std(benchmark::State& state) {
  NumData& d = NumData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.map.find(k)->second);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

// ---- AddKeyString / AddKeyNum of N new keys into an empty dictionary ---------

void AddTo(CPDictionary& dict, const std::string& k, void* item) { dict.AddKeyString(k.c_str(), item, nullptr); }
void AddTo(CPDictionary& dict, unsigned long k, void* item) { dict.AddKeyNum(k, item); }

// Fills a new dictionary with N keys per iteration; deleting it is not timed.
template <class Key>
void AddAllTarncoll(benchmark::State& state) {
  const auto keys = Data<Key>::MakeKeys(static_cast<std::size_t>(state.range(0)));
  const auto items = bench::Items(keys.size());
  for (auto _ : state) {
    CPDictionary* dict = new CPDictionary;
    if (dict == nullptr) {
      state.SkipWithError("out of memory");
      break;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) AddTo(*dict, keys[i], items[i]);
    state.PauseTiming();
    if (dict->Length() != keys.size()) state.SkipWithError("dictionary lost keys");
    delete dict;
    state.ResumeTiming();
  }
  bench::SetOps(state, keys.size());
}

template <class Key>
void AddAllStd(benchmark::State& state) {
  const auto keys = Data<Key>::MakeKeys(static_cast<std::size_t>(state.range(0)));
  const auto items = bench::Items(keys.size());
  for (auto _ : state) {
    auto* map = new std::unordered_map<Key, void*>;
    for (std::size_t i = 0; i < keys.size(); ++i) map->emplace(keys[i], items[i]);
    state.PauseTiming();
    delete map;
    state.ResumeTiming();
  }
  bench::SetOps(state, keys.size());
}

void BM_Dict_AddKeyString_tarncoll(benchmark::State& state) { AddAllTarncoll<std::string>(state); }
void BM_Dict_AddKeyString_std(benchmark::State& state) { AddAllStd<std::string>(state); }
void BM_Dict_AddKeyNum_tarncoll(benchmark::State& state) { AddAllTarncoll<unsigned long>(state); }
void BM_Dict_AddKeyNum_std(benchmark::State& state) { AddAllStd<unsigned long>(state); }

}  // namespace

#define TARNCOLL_BENCH_PAIR(scenario)                                                                     \
  BENCHMARK(scenario##_tarncoll)->Name(#scenario "/tarncoll")->Apply(bench::Sizes);       \
  BENCHMARK(scenario##_std)->Name(#scenario "/std")->Apply(bench::Sizes)

TARNCOLL_BENCH_PAIR(BM_Dict_FindKeyString);
TARNCOLL_BENCH_PAIR(BM_Dict_FindKeyNum);
TARNCOLL_BENCH_PAIR(BM_Dict_AddKeyString);
TARNCOLL_BENCH_PAIR(BM_Dict_AddKeyNum);
