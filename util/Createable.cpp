#include <util/Createable.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <util/Exceptions.h>

namespace {
// Countdown to the allocation that is made to fail; 0 means none.
std::atomic<long> g_nFailCountdown{0};
}  // namespace

Createable::~Createable() {}

long Createable::AddRef() {
  if (nRefCount >= 0xFFFF) Exceptions::_get_gexeptnsThe()->Assert("util\\createable", __LINE__, "nRefCount < 0xFFFF");
  return ++nRefCount;
}

long Createable::Release() {
  long n = --nRefCount;
  if (n == 0) delete this;
  return n;
}

void* Createable::operator new(std::size_t nSize) noexcept {
  long n = g_nFailCountdown.load(std::memory_order_relaxed);
  if (n > 0 && g_nFailCountdown.fetch_sub(1, std::memory_order_relaxed) == 1) return nullptr;
  return std::malloc(nSize);
}

void Createable::operator delete(void* pv) noexcept { std::free(pv); }

// Arrays of library objects come from the global array allocation.
void Createable::operator delete[](void* pv) noexcept { ::operator delete[](pv); }

void Createable::SetAllocationFailure(long nth) { g_nFailCountdown.store(nth > 0 ? nth : 0); }
