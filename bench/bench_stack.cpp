// CPStack against std::vector<void*>: Push N, then Pop N.  The stack is
// built with capacity N; the vector keeps its capacity across iterations.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <cpcoll/cpstack.h>

#include "bench_data.h"

namespace {

void BM_Stack_PushPop_tarncoll(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  CPStack stack(static_cast<unsigned long>(items.size()));
  for (auto _ : state) {
    for (void* p : items) stack.Push(p);
    std::uintptr_t sum = 0;
    for (std::size_t i = 0; i < items.size(); ++i) sum += reinterpret_cast<std::uintptr_t>(stack.Pop());
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, items.size());
}

void BM_Stack_PushPop_std(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  std::vector<void*> vec;
  vec.reserve(items.size());
  for (auto _ : state) {
    for (void* p : items) vec.push_back(p);
    std::uintptr_t sum = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      sum += reinterpret_cast<std::uintptr_t>(vec.back());
      vec.pop_back();
    }
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, items.size());
}

}  // namespace

BENCHMARK(BM_Stack_PushPop_tarncoll)->Name("BM_Stack_PushPop/tarncoll")->Apply(bench::Sizes);
BENCHMARK(BM_Stack_PushPop_std)->Name("BM_Stack_PushPop/std")->Apply(bench::Sizes);
