// The modern layer against the classic classes it wraps: the typed façades
// must cost nothing over CPList, CPTree and CPDictionary, and a range-based
// for loop over a list should cost about what a cursor walk does.  Here the
// "peer" side of each pair is the untyped class (run names end in /std so
// that bench/compare pairs them like the other programs).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include <cpcoll/modern.h>

#include "bench_data.h"

namespace {

struct Item {
  std::uint64_t n;
};

std::vector<Item*> TypedItems(std::size_t n) {
  std::vector<Item*> out;
  out.reserve(n);
  for (void* p : bench::Items(n)) out.push_back(static_cast<Item*>(p));
  return out;
}

// ---- TypedList<T> Add N, DetachAll ---------------------------------------

void BM_Modern_ListAdd_typed(benchmark::State& state) {
  const auto items = TypedItems(static_cast<std::size_t>(state.range(0)));
  tarncoll::TypedList<Item> list;
  for (auto _ : state) {
    for (Item* p : items) list.Add(p);
    benchmark::DoNotOptimize(list.DetachAll());
  }
  bench::SetOps(state, items.size());
}

void BM_Modern_ListAdd_untyped(benchmark::State& state) {
  const auto items = bench::Items(static_cast<std::size_t>(state.range(0)));
  CPList list;
  for (auto _ : state) {
    for (void* p : items) list.Add(p);
    benchmark::DoNotOptimize(list.DetachAll());
  }
  bench::SetOps(state, items.size());
}

// ---- range-based for over a TypedList, against a CPList cursor walk --------

void BM_Modern_ListRangeFor_typed(benchmark::State& state) {
  const auto items = TypedItems(static_cast<std::size_t>(state.range(0)));
  tarncoll::TypedList<Item> list;
  for (Item* p : items) list.Add(p);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (Item* p : list) sum += reinterpret_cast<std::uintptr_t>(p);
    benchmark::DoNotOptimize(sum);
  }
  list.DetachAll();
  bench::SetOps(state, items.size());
}

void BM_Modern_ListRangeFor_untyped(benchmark::State& state) {
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

// ---- TypedTree<T> FindKeyNum hits ------------------------------------------

void BM_Modern_TreeFind_typed(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::NumKeys(n);
  const auto items = TypedItems(n);
  const auto probes = bench::Shuffled(keys);
  tarncoll::TypedTree<Item> tree;
  for (std::size_t i = 0; i < n; ++i) tree.AddKeyNum(keys[i], items[i]);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long k : probes) sum += reinterpret_cast<std::uintptr_t>(tree.FindKeyNum(k));
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, n);
}

void BM_Modern_TreeFind_untyped(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  const auto probes = bench::Shuffled(keys);
  CPTree tree;
  for (std::size_t i = 0; i < n; ++i) tree.AddKeyNum(keys[i], items[i]);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long k : probes) sum += reinterpret_cast<std::uintptr_t>(tree.FindKeyNum(k));
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, n);
}

// ---- TypedDictionary<T> FindKeyString hits --------------------------------

void BM_Modern_DictFind_typed(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::TextKeys(n);
  const auto items = TypedItems(n);
  const auto probes = bench::Shuffled(keys);
  tarncoll::TypedDictionary<Item> dct;
  for (std::size_t i = 0; i < n; ++i) dct.AddKeyString(keys[i].c_str(), items[i]);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& k : probes) sum += reinterpret_cast<std::uintptr_t>(dct.FindKeyString(k.c_str()));
    benchmark::DoNotOptimize(sum);
  }
  dct.DetachAll();
  bench::SetOps(state, n);
}

void BM_Modern_DictFind_untyped(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::TextKeys(n);
  const auto items = bench::Items(n);
  const auto probes = bench::Shuffled(keys);
  CPDictionary dct;
  for (std::size_t i = 0; i < n; ++i) dct.AddKeyString(keys[i].c_str(), items[i], nullptr);
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& k : probes) sum += reinterpret_cast<std::uintptr_t>(dct.FindKeyString(k.c_str(), nullptr));
    benchmark::DoNotOptimize(sum);
  }
  dct.DetachAll();
  bench::SetOps(state, n);
}

}  // namespace

BENCHMARK(BM_Modern_ListAdd_typed)->Name("BM_Modern_ListAdd/tarncoll")->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Modern_ListAdd_untyped)->Name("BM_Modern_ListAdd/std")->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Modern_ListRangeFor_typed)->Name("BM_Modern_ListRangeFor/tarncoll")->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Modern_ListRangeFor_untyped)->Name("BM_Modern_ListRangeFor/std")->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Modern_TreeFind_typed)->Name("BM_Modern_TreeFind/tarncoll")->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Modern_TreeFind_untyped)->Name("BM_Modern_TreeFind/std")->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Modern_DictFind_typed)->Name("BM_Modern_DictFind/tarncoll")->Arg(1000)->Arg(65536);
BENCHMARK(BM_Modern_DictFind_untyped)->Name("BM_Modern_DictFind/std")->Arg(1000)->Arg(65536);
