#include <cpcoll/detail/dict_index.h>

#include <cstdlib>

namespace tarncoll {
namespace detail {

namespace {
long g_nFailCountdown = 0;

}  // namespace

void SetDictIndexFailure(long nth) { g_nFailCountdown = nth > 0 ? nth : 0; }

void* AllocCells(unsigned long n, unsigned long cellSize) {
  if (g_nFailCountdown > 0 && --g_nFailCountdown == 0) return nullptr;
  return std::calloc(n, cellSize);
}

void FreeCells(void* cells) { std::free(cells); }

}  // namespace detail
}  // namespace tarncoll
