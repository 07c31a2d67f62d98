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

template <class Fill>
std::size_t AddScenario(Fill fill) {
  fill(false);  // a warm-up round, emptied again
  return fill(true);
}

std::size_t DictAddNum(std::size_t n, bool peer) {
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  return AddScenario([&](bool measured) {
    if (peer) {
      std::unordered_map<unsigned long, void*> map;
      auto fill = [&] {
        for (std::size_t i = 0; i < n; ++i) map.emplace(keys[i], items[i]);
      };
      measured ? Measured(fill) : fill();
      return map.size();
    }
    CPDictionary dict;
    auto fill = [&] {
      for (std::size_t i = 0; i < n; ++i) dict.AddKeyNum(keys[i], items[i]);
    };
    measured ? Measured(fill) : fill();
    return static_cast<std::size_t>(dict.Length());
  });
}

std::size_t DictAddText(std::size_t n, bool peer) {
  const auto keys = bench::TextKeys(n);
  const auto items = bench::Items(n);
  return AddScenario([&](bool measured) {
    if (peer) {
      std::unordered_map<std::string, void*> map;
      auto fill = [&] {
        for (std::size_t i = 0; i < n; ++i) map.emplace(keys[i], items[i]);
      };
      measured ? Measured(fill) : fill();
      return map.size();
    }
    CPDictionary dict;
    auto fill = [&] {
      for (std::size_t i = 0; i < n; ++i) dict.AddKeyString(keys[i].c_str(), items[i], nullptr);
    };
    measured ? Measured(fill) : fill();
    return static_cast<std::size_t>(dict.Length());
  });
}

std::size_t TreeAddNum(std::size_t n, bool peer) {
  const auto keys = bench::NumKeys(n);
  const auto items = bench::Items(n);
  return AddScenario([&](bool measured) {
    if (peer) {
      std::map<unsigned long, void*> map;
      auto fill = [&] {
        for (std::size_t i = 0; i < n; ++i) map.insert({keys[i], items[i]});
      };
      measured ? Measured(fill) : fill();
      return map.size();
    }
    CPTree tree;
    auto fill = [&] {
      for (std::size_t i = 0; i < n; ++i) tree.AddKeyNum(keys[i], items[i]);
    };
    measured ? Measured(fill) : fill();
    return static_cast<std::size_t>(tree.Length());
  });
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
