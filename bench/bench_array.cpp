// CPArray against std::vector<void*>: fill a block of capacity N with Add,
// then read every slot with RetrieveIDX.  Both keep their block across
// iterations (DetachAll / clear keep the capacity).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <cpcoll/CpArray.h>

#include "bench_data.h"

namespace {

void BM_Array_AddRetrieveIDX_tarncoll(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  const unsigned long n = static_cast<unsigned long>(items.size());
  CPArray array(n);
  for (auto _ : state) {
    array.DetachAll();
    for (void* p : items) array.Add(p);
    std::uintptr_t sum = 0;
    for (unsigned long i = 0; i < n; ++i) sum += reinterpret_cast<std::uintptr_t>(array.RetrieveIDX(i));
    benchmark::DoNotOptimize(sum);
  }
  if (array.Length() != n) state.SkipWithError("array did not take every item");
  bench::SetOps(state, items.size());
}

void BM_Array_AddRetrieveIDX_std(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  std::vector<void*> vec;
  for (auto _ : state) {
    vec.clear();
    vec.reserve(items.size());
    for (void* p : items) vec.push_back(p);
    std::uintptr_t sum = 0;
    for (std::size_t i = 0; i < vec.size(); ++i) sum += reinterpret_cast<std::uintptr_t>(vec[i]);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, items.size());
}

}  // namespace

BENCHMARK(BM_Array_AddRetrieveIDX_tarncoll)->Name("BM_Array_AddRetrieveIDX/tarncoll")->Apply(bench::Sizes);
BENCHMARK(BM_Array_AddRetrieveIDX_std)->Name("BM_Array_AddRetrieveIDX/std")->Apply(bench::Sizes);
