// Bytes per stored item, allocator overhead included, for the list, the
// tree and the dictionary (numeric and text keys) and their standard peers.
//
// Every allocation of the library (Createable's operator new, the standard
// array allocation) and of the standard containers ends in malloc, so the
// program reads glibc's own account of the heap: mallinfo2's bytes in use
// (whole chunks, headers and padding included) plus the bytes in mmapped
// chunks.  The difference around building a container of N items, divided
// by N, is its cost per item; the inputs are made before the first reading.
//
// Output, one line per container: "<scenario>\t<impl>\t<N>\t<bytes/item>".
// Usage: bench_memory [N]   (default 1000000; the dictionaries also at 65536)
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>

#include "bench_data.h"

namespace {

// Bytes the heap has handed out and not taken back.
long HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return static_cast<long>(m.uordblks + m.hblkhd);
}

void Report(const char* scenario, const char* impl, std::size_t n, long bytes) {
  std::printf("%s\t%s\t%zu\t%.1f\n", scenario, impl, n, static_cast<double>(bytes) / static_cast<double>(n));
  std::fflush(stdout);
}

// Builds a container with fill() and reports the growth of the heap per
// item.  Each measurement runs in a child process of its own: node pools
// keep the blocks of containers that are gone, and a container measured
// after another one would get its nodes from them without a trace in the
// heap's books.  Container must be default-constructible on the heap
// through its own operator new.
template <class Container, class Fill>
void Measure(const char* scenario, const char* impl, std::size_t n, Fill fill) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    const long before = HeapInUse();
    Container* c = new Container;
    if (c == nullptr) {
      std::fprintf(stderr, "%s/%s: out of memory\n", scenario, impl);
      std::_Exit(1);
    }
    fill(*c);
    const long after = HeapInUse();
    Report(scenario, impl, n, after - before);
    std::_Exit(0);  // the container dies with the process
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s/%s: measurement failed\n", scenario, impl);
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  if (n == 0 || n > bench::kMaxN) {
    std::fprintf(stderr, "usage: %s [N], 0 < N <= %zu\n", argv[0], bench::kMaxN);
    return 2;
  }
  // Keep freed memory in the heap's books and out of the way of mmap, so
  // that the readings only move with the containers' own chunks.
  mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, -1);

  const auto items = bench::Items(n);
  const auto numKeys = bench::NumKeys(n);
  const auto textKeys = bench::TextKeys(n);

  Measure<CPList>("list", "tarncoll", n, [&](CPList& l) {
    for (std::size_t i = 0; i < n; ++i) l.Add(items[i]);
  });
  Measure<std::list<void*>>("list", "std", n, [&](std::list<void*>& l) {
    for (std::size_t i = 0; i < n; ++i) l.push_back(items[i]);
  });

  Measure<CPTree>("tree", "tarncoll", n, [&](CPTree& t) {
    for (std::size_t i = 0; i < n; ++i) t.AddKeyNum(numKeys[i], items[i]);
  });
  Measure<std::map<unsigned long, void*>>("tree", "std", n, [&](std::map<unsigned long, void*>& m) {
    for (std::size_t i = 0; i < n; ++i) m.emplace(numKeys[i], items[i]);
  });

  // The dictionaries also at 64K keys: the per-item cost of their tables
  // depends on how full the tables happen to be.
  for (std::size_t nd : {std::size_t{65536}, n}) {
    if (nd > n) continue;
    Measure<CPDictionary>("dict_num", "tarncoll", nd, [&](CPDictionary& d) {
      for (std::size_t i = 0; i < nd; ++i) d.AddKeyNum(numKeys[i], items[i]);
    });
    Measure<std::unordered_map<unsigned long, void*>>("dict_num", "std", nd,
                                                      [&](std::unordered_map<unsigned long, void*>& m) {
                                                        for (std::size_t i = 0; i < nd; ++i) m.emplace(numKeys[i], items[i]);
                                                      });
    Measure<CPDictionary>("dict_text", "tarncoll", nd, [&](CPDictionary& d) {
      for (std::size_t i = 0; i < nd; ++i) d.AddKeyString(textKeys[i].c_str(), items[i], nullptr);
    });
    Measure<std::unordered_map<std::string, void*>>("dict_text", "std", nd,
                                                    [&](std::unordered_map<std::string, void*>& m) {
                                                      for (std::size_t i = 0; i < nd; ++i) m.emplace(textKeys[i], items[i]);
                                                    });
    if (nd == n) break;
  }
  return 0;
}
