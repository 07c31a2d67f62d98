// crc16::Calc throughput over a 4 KiB zero-terminated text.  No peer: the
// goal is an absolute rate, reported as bytes per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include <util/crc16.h>

#include "bench_data.h"

namespace {

// 4096 random non-zero bytes and the terminating zero.
std::string Text4K() {
  std::mt19937_64 rng(bench::kKeySeed);
  std::string s(4096, ' ');
  for (char& c : s) c = static_cast<char>(1 + rng() % 255);
  return s;
}

void BM_Crc16_Calc(benchmark::State& state) {
  const std::string text = Text4K();
  crc16 calc;
  for (auto _ : state) {
    unsigned short crc = 0;
    long len = 0;
    benchmark::DoNotOptimize(calc.Calc(text.c_str(), &crc, &len));
    benchmark::DoNotOptimize(crc);
    if (len != 4096) state.SkipWithError("Calc read a wrong length");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4096);
  bench::SetOps(state, 1);
}

}  // namespace

BENCHMARK(BM_Crc16_Calc)->Name("BM_Crc16_Calc/tarncoll/4096");
