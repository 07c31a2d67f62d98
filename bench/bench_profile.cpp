// One scenario of bench/compare, run once for a cache profile: the inputs
// are made, the container is filled (and emptied again when the scenario
// adds, so that the measured round takes its nodes from the pools as the
// benchmark's repeated rounds do), then the measured phase runs inside
// Measured(), which bench/profile has callgrind count alone.
//
// Usage: bench_profile <scenario> <N> <tarncoll|std>
//   scenarios: dict_add_num dict_add_text tree_add_num tree_find_num
//              tree_find_text
// Prints "ops=<operations measured>" on standard output.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/Cpdict.h>

#include "bench_data.h"

namespace {

volatile std::uintptr_t g_sink;  // keeps the lookups' results alive

// The measured phase; its name is what callgrind's --toggle-collect matches.
template <class F>
__attribute__((noinline)) void Measured(F f) {
  f();
}

// Probes per lookup scenario, as in bench_tree: every key up to 64K.
constexpr std::size_t kMaxProbes = 65536;

// Items stored: the library's own classes are measured as they are (a
// derived class would take the paths kept for derived classes).
template <class Container>
std::size_t Count(Container& c) {
  if constexpr (std::is_base_of<CPCollection, Container>::value)
    return c.Length();
  else
    return c.size();
}

// Adds the N keys to a new Container with add(container, key, item) twice:
// a warm-up round, emptied again, then the measured round.  The number of
// items stored.
template <class Container, class Key, class Add>
std::size_t AddScenario(const std::vector<Key>& keys, Add add) {
  const auto items = bench::Items(keys.size());
  std::size_t stored = 0;
  for (bool measured : {false, true}) {
    Container c;
    auto fill = [&] {
      for (std::size_t i = 0; i < keys.size(); ++i) add(c, keys[i], items[i]);
    };
    measured ? Measured(fill) : fill();
    stored = Count(c);
  }
  return stored;
}


std::size_t DictAddNum(std::size_t n, bool peer) {
  const auto keys = bench::NumKeys(n);
  if (peer)
    return AddScenario<std::unordered_map<unsigned long, void*>>(
        keys, [](std::unordered_map<unsigned long, void*>& m, unsigned long k, void* v) { m.emplace(k, v); });
  return AddScenario<CPDictionary>(keys, [](CPDictionary& d, unsigned long k, void* v) { d.AddKeyNum(k, v); });
}

std::size_t DictAddText(std::size_t n, bool peer) {
  const auto keys = bench::TextKeys(n);
  if (peer)
    return AddScenario<std::unordered_map<std::string, void*>>(
        keys, [](std::unordered_map<std::string, void*>& m, const std::string& k, void* v) { m.emplace(k, v); });
  return AddScenario<CPDictionary>(keys, [](CPDictionary& d, const std::string& k, void* v) { d.AddKeyString(k.c_str(), v, nullptr); });
}

std::size_t TreeAddNum(std::size_t n, bool peer) {
  const auto keys = bench::NumKeys(n);
  if (peer)
    return AddScenario<std::map<unsigned long, void*>>(
        keys, [](std::map<unsigned long, void*>& m, unsigned long k, void* v) { m.insert({k, v}); });
  return AddScenario<CPTree>(keys, [](CPTree& t, unsigned long k, void* v) { t.AddKeyNum(k, v); });
}

template <class Key>
std::size_t TreeFind(std::size_t n, bool peer, const std::vector<Key>& keys) {
  constexpr bool kText = std::is_same<Key, std::string>::value;
  const auto items = bench::Items(n);
  auto probes = bench::Shuffled(keys);
  if (probes.size() > kMaxProbes) probes.resize(kMaxProbes);
  std::map<Key, void*> map;
  CPTree tree;
  for (std::size_t i = 0; i < n; ++i) {
    if (peer) {
      map.emplace(keys[i], items[i]);
    } else if constexpr (kText) {
      tree.AddKeyString(keys[i].c_str(), items[i], nullptr);
    } else {
      tree.AddKeyNum(keys[i], items[i]);
    }
  }
  Measured([&] {
    std::uintptr_t sum = 0;
    for (const Key& k : probes) {
      void* found;
      if (peer) {
        found = map.find(k)->second;
      } else if constexpr (kText) {
        found = tree.FindKeyString(k.c_str(), nullptr);
      } else {
        found = tree.FindKeyNum(k);
      }
      sum += reinterpret_cast<std::uintptr_t>(found);
    }
    g_sink = sum;
  });
  return probes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[3], "tarncoll") != 0 && std::strcmp(argv[3], "std") != 0)) {
    std::fprintf(stderr, "usage: bench_profile <scenario> <N> <tarncoll|std>\n");
    return 2;
  }
  const std::string scenario = argv[1];
  const std::size_t n = std::strtoul(argv[2], nullptr, 10);
  const bool peer = std::strcmp(argv[3], "std") == 0;
  if (n == 0 || n > bench::kMaxN) {
    std::fprintf(stderr, "N must lie in 1..%zu\n", bench::kMaxN);
    return 2;
  }
  std::size_t ops;
  if (scenario == "dict_add_num") {
    ops = DictAddNum(n, peer);
  } else if (scenario == "dict_add_text") {
    ops = DictAddText(n, peer);
  } else if (scenario == "tree_add_num") {
    ops = TreeAddNum(n, peer);
  } else if (scenario == "tree_find_num") {
    ops = TreeFind(n, peer, bench::NumKeys(n));
  } else if (scenario == "tree_find_text") {
    ops = TreeFind(n, peer, bench::TextKeys(n));
  } else {
    std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
    return 2;
  }
  std::printf("ops=%zu\n", ops);
  return 0;
}
