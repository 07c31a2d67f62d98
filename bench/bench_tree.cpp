// CPTree against std::map: random-key insertion, random hits, a walk in
// key order, removal of every key in random order, and text-key hits.
//
// Beside them, the machine's own limit for the walk: a pointer chase
// through N nodes of a tree node's size placed in random order costs one
// cache miss per node once N nodes outgrow the caches (BM_PointerChase).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <memory>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>

#include "bench_data.h"

namespace {

// Probes per iteration of the lookup benchmarks: every key at N = 1000,
// a random 64K of them at N = 1M.
constexpr std::size_t kMaxProbes = 65536;

// A numeric-key tree and map holding the same N keys and items, built
// once per N and kept for the process (the lookup benchmarks only read).
struct NumData {
  std::vector<unsigned long> keys;
  std::vector<void*> items;
  std::vector<unsigned long> probes;
  CPTree tree;
  std::map<unsigned long, void*> map;
  explicit NumData(std::size_t n) : keys(bench::NumKeys(n)), items(bench::Items(n)) {
    probes = bench::Shuffled(keys);
    if (probes.size() > kMaxProbes) probes.resize(kMaxProbes);
    for (std::size_t i = 0; i < n; ++i) {
      tree.AddKeyNum(keys[i], items[i]);
      map.emplace(keys[i], items[i]);
    }
  }
  static NumData& Get(std::size_t n) {
    static std::map<std::size_t, std::unique_ptr<NumData>> cache;
    auto& slot = cache[n];
    if (!slot) slot = std::make_unique<NumData>(n);
    return *slot;
  }
};

// The same with text keys.  The tree keys point into `keys`, which stays
// put; the probes are separate copies of the texts.
struct TextData {
  std::vector<std::string> keys;
  std::vector<void*> items;
  std::vector<std::string> probes;
  CPTree tree;
  std::map<std::string, void*> map;
  explicit TextData(std::size_t n) : keys(bench::TextKeys(n)), items(bench::Items(n)) {
    probes = bench::Shuffled(keys);
    if (probes.size() > kMaxProbes) probes.resize(kMaxProbes);
    for (std::size_t i = 0; i < n; ++i) {
      tree.AddKeyString(keys[i].c_str(), items[i], nullptr);
      map.emplace(keys[i], items[i]);
    }
  }
  static TextData& Get(std::size_t n) {
    static std::map<std::size_t, std::unique_ptr<TextData>> cache;
    auto& slot = cache[n];
    if (!slot) slot = std::make_unique<TextData>(n);
    return *slot;
  }
};

// ---- AddKeyNum N random keys into an empty tree ----------------------------

void BM_Tree_AddKeyNum_tarncoll(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  for (auto _ : state) {
    CPTree* tree = new CPTree;
    if (tree == nullptr) {
      state.SkipWithError("out of memory");
      break;
    }
    for (std::size_t i = 0; i < n; ++i) tree->AddKeyNum(keys[i], items[i]);
    state.PauseTiming();
    if (tree->Length() != n) state.SkipWithError("tree lost keys");
    delete tree;
    state.ResumeTiming();
  }
  bench::SetOps(state, n);
}

void BM_Tree_AddKeyNum_std(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  for (auto _ : state) {
    auto* map = new std::map<unsigned long, void*>;
    for (std::size_t i = 0; i < n; ++i) map->insert({keys[i], items[i]});
    state.PauseTiming();
    delete map;
    state.ResumeTiming();
  }
  bench::SetOps(state, n);
}

// ---- FindKeyNum random hits --------------------------------------------------

void BM_Tree_FindKeyNum_tarncoll(benchmark::State& state) {
  NumData& d = NumData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.tree.FindKeyNum(k));
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

void BM_Tree_FindKeyNum_std(benchmark::State& state) {
  NumData& d = NumData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (unsigned long k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.map.find(k)->second);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

// ---- Walk in key order -------------------------------------------------------

void BM_Tree_Walk_tarncoll(benchmark::State& state) {
  NumData& d = NumData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    d.tree.GotoTop();
    for (void* p = d.tree.Retrieve(); p != nullptr; p = d.tree.Retrieve()) {
      sum += reinterpret_cast<std::uintptr_t>(p);
      d.tree.Next();
    }
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.keys.size());
}

void BM_Tree_Walk_std(benchmark::State& state) {
  NumData& d = NumData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const auto& kv : d.map) sum += reinterpret_cast<std::uintptr_t>(kv.second);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.keys.size());
}

// ---- DetachKeyNum every key, in random order ---------------------------------

void BM_Tree_DetachKeyNum_tarncoll(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  const auto order = bench::Shuffled(keys);
  for (auto _ : state) {
    state.PauseTiming();
    CPTree* tree = new CPTree;
    if (tree == nullptr) {
      state.SkipWithError("out of memory");
      break;
    }
    for (std::size_t i = 0; i < n; ++i) tree->AddKeyNum(keys[i], items[i]);
    state.ResumeTiming();
    for (unsigned long k : order) tree->DetachKeyNum(k);
    state.PauseTiming();
    if (tree->Length() != 0) state.SkipWithError("tree kept keys");
    delete tree;
    state.ResumeTiming();
  }
  bench::SetOps(state, n);
}

void BM_Tree_DetachKeyNum_std(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  const auto order = bench::Shuffled(keys);
  for (auto _ : state) {
    state.PauseTiming();
    auto* map = new std::map<unsigned long, void*>;
    for (std::size_t i = 0; i < n; ++i) map->insert({keys[i], items[i]});
    state.ResumeTiming();
    for (unsigned long k : order) map->erase(k);
    state.PauseTiming();
    delete map;
    state.ResumeTiming();
  }
  bench::SetOps(state, n);
}

// ---- FindKeyString random hits -----------------------------------------------

void BM_Tree_FindKeyString_tarncoll(benchmark::State& state) {
  TextData& d = TextData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.tree.FindKeyString(k.c_str(), nullptr));
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

void BM_Tree_FindKeyString_std(benchmark::State& state) {
  TextData& d = TextData::Get(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::uintptr_t sum = 0;
    for (const std::string& k : d.probes) sum += reinterpret_cast<std::uintptr_t>(d.map.find(k)->second);
    benchmark::DoNotOptimize(sum);
  }
  bench::SetOps(state, d.probes.size());
}

// ---- The cost of one cache miss ----------------------------------------------

// A node of the tree's size (a Leaf is 96 bytes), its link first.
struct ChaseNode {
  ChaseNode* pNext;
  char acPad[96 - sizeof(ChaseNode*)];
};
static_assert(sizeof(ChaseNode) == 96, "the chase walks nodes of a Leaf's size");

// N nodes in one block, linked into a single cycle in a shuffled order, so
// no prefetcher can guess the next address; each
// iteration follows N links.  Once the block outgrows the caches every step
// is one cache miss (and, at the largest N, a TLB miss), as in a key-order
// walk of nodes placed by insertion order.
void BM_PointerChase(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  std::vector<ChaseNode> nodes(n);
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::mt19937_64 rng(bench::kProbeSeed);
  std::shuffle(order.begin(), order.end(), rng);
  for (std::size_t i = 0; i < n; ++i) nodes[order[i]].pNext = &nodes[order[(i + 1) % n]];
  ChaseNode* p = &nodes[0];
  for (auto _ : state) {
    for (std::size_t i = 0; i < n; ++i) p = p->pNext;
    benchmark::DoNotOptimize(p);
  }
  bench::SetOps(state, n);
}

}  // namespace

#define TARNCOLL_BENCH_PAIR(scenario)                                                            \
  BENCHMARK(scenario##_tarncoll)->Name(#scenario "/tarncoll")->Apply(bench::Sizes);          \
  BENCHMARK(scenario##_std)->Name(#scenario "/std")->Apply(bench::Sizes)

TARNCOLL_BENCH_PAIR(BM_Tree_AddKeyNum);
TARNCOLL_BENCH_PAIR(BM_Tree_FindKeyNum);
TARNCOLL_BENCH_PAIR(BM_Tree_Walk);
TARNCOLL_BENCH_PAIR(BM_Tree_DetachKeyNum);
TARNCOLL_BENCH_PAIR(BM_Tree_FindKeyString);
BENCHMARK(BM_PointerChase)->Name("BM_PointerChase/machine")->Apply(bench::Sizes);
