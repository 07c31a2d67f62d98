// CPList against std::list<void*>: append then empty, a cursor walk, and
// positional reads RetrieveIDX(0..N-1) in turn.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <list>

#include <cpcoll/cplist.h>

#include "bench_data.h"

namespace {

// Add N, then DetachAll.  The list object lives across iterations, as the
// std::list does; both free their nodes when emptied.
void BM_List_AddDetachAll_tarncoll(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  CPList list;
  for (auto _ : state) {
    for (void* p : items) list.Add(p);
    benchmark::DoNotOptimize(list.DetachAll());
  }
  bench::SetOps(state, items.size());
}

void BM_List_AddDetachAll_std(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  std::list<void*> list;
  for (auto _ : state) {
    for (void* p : items) list.push_back(p);
    list.clear();
    benchmark::ClobberMemory();
  }
  bench::SetOps(state, items.size());
}

// GotoTop, then Retrieve/Next until the cursor falls off the end.
void BM_List_Walk_tarncoll(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  CPList list;
  for (void* p : items) list.Add(p);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    list.GotoTop();
    for (void* p = list.Retrieve(); p != nullptr; p = list.Retrieve()) {
      sum += reinterpret_cast<std::uintptr_t>(p);
      list.Next();
    }
    benchmark::DoNotOptimize(sum);
  }
  list.DetachAll();
  bench::SetOps(state, items.size());
}

void BM_List_Walk_std(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  std::list<void*> list(items.begin(), items.end());
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (void* p : list) sum += reinterpret_cast<std::uintptr_t>(p);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, items.size());
}

// RetrieveIDX(0), RetrieveIDX(1), ... RetrieveIDX(N-1), sweep after sweep.
// The remembered cursor index makes each step cost one link, but each new
// sweep starts from where the previous one ended (index N-1).
void BM_List_RetrieveIDX_tarncoll(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  CPList list;
  for (void* p : items) list.Add(p);
  const unsigned long n = static_cast<unsigned long>(items.size());
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long i = 0; i < n; ++i) sum += reinterpret_cast<std::uintptr_t>(list.RetrieveIDX(i));
    benchmark::DoNotOptimize(sum);
  }
  list.DetachAll();
  bench::SetOps(state, items.size());
}

}  // namespace

BENCHMARK(BM_List_AddDetachAll_tarncoll)->Name("BM_List_AddDetachAll/tarncoll")->Apply(bench::Sizes);
BENCHMARK(BM_List_AddDetachAll_std)->Name("BM_List_AddDetachAll/std")->Apply(bench::Sizes);
BENCHMARK(BM_List_Walk_tarncoll)->Name("BM_List_Walk/tarncoll")->Apply(bench::Sizes);
BENCHMARK(BM_List_Walk_std)->Name("BM_List_Walk/std")->Apply(bench::Sizes);
BENCHMARK(BM_List_RetrieveIDX_tarncoll)->Name("BM_List_RetrieveIDX/tarncoll")->Apply(bench::Sizes);
// The peer of positional reads is the same std::list iteration.
BENCHMARK(BM_List_Walk_std)->Name("BM_List_RetrieveIDX/std")->Apply(bench::Sizes);
