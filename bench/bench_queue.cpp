// CPQueue against a queue of distinct items made of std::set<void*> (to
// refuse an item already queued) and std::deque<void*> (arrival order):
// Add N, then DetachTop N.  Both containers live across iterations.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <deque>
#include <set>

#include <cpcoll/CPQueue.h>

#include "bench_data.h"

namespace {

void BM_Queue_AddDetachTop_tarncoll(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  CPQueue queue;
  for (auto _ : state) {
    for (void* p : items) queue.Add(p);
    std::uintptr_t sum = 0;
    for (std::size_t i = 0; i < items.size(); ++i) sum += reinterpret_cast<std::uintptr_t>(queue.DetachTop());
    benchmark::DoNotOptimize(sum);
  }
  if (queue.Length() != 0) state.SkipWithError("queue kept items");
  bench::SetOps(state, items.size());
}

void BM_Queue_AddDetachTop_std(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  std::set<void*> present;
  std::deque<void*> order;
  for (auto _ : state) {
    for (void* p : items)
      if (present.insert(p).second) order.push_back(p);
    std::uintptr_t sum = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      void* p = order.front();
      order.pop_front();
      present.erase(p);
      sum += reinterpret_cast<std::uintptr_t>(p);
    }
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, items.size());
}

}  // namespace

BENCHMARK(BM_Queue_AddDetachTop_tarncoll)->Name("BM_Queue_AddDetachTop/tarncoll")->Apply(bench::Sizes);
BENCHMARK(BM_Queue_AddDetachTop_std)->Name("BM_Queue_AddDetachTop/std")->Apply(bench::Sizes);
