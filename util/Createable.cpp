#include <util/Createable.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <util/Exceptions.h>

static_assert(std::atomic<unsigned short>::is_always_lock_free &&
                  sizeof(std::atomic<unsigned short>) == sizeof(unsigned short),
              "the reference count keeps the layout of a plain unsigned short");

namespace {
// Countdown to the allocation that is made to fail; 0 means none.
std::atomic<long> g_nFailCountdown{0};
}  // namespace

Createable::~Createable() {}

long Createable::AddRef() {
  unsigned short n = nRefCount.load(std::memory_order_relaxed);
  do {
    if (n >= 0xFFFF) Exceptions::_get_gexeptnsThe()->Assert("util\\createable", __LINE__, "nRefCount < 0xFFFF");
  } while (!nRefCount.compare_exchange_weak(n, static_cast<unsigned short>(n + 1), std::memory_order_relaxed));
  return n + 1;
}

long Createable::Release() {
  // Acquire-release: the thread that deletes sees every other thread's
  // last use of the object.  Release at 0 wraps to 0xFFFF, as before.
  long n = static_cast<unsigned short>(nRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1);
  if (n == 0) delete this;
  return n;
}

bool Createable::AllocationFails() noexcept {
  long n = g_nFailCountdown.load(std::memory_order_relaxed);
  return n > 0 && g_nFailCountdown.fetch_sub(1, std::memory_order_relaxed) == 1;
}

void* Createable::operator new(std::size_t nSize) noexcept {
  if (AllocationFails()) return nullptr;
  return std::malloc(nSize);
}

void Createable::operator delete(void* pv) noexcept { std::free(pv); }

// Arrays of library objects come from the global array allocation.
// NOLINTNEXTLINE(misc-new-delete-overloads)
void Createable::operator delete[](void* pv) noexcept { ::operator delete[](pv); }

void Createable::SetAllocationFailure(long nth) { g_nFailCountdown.store(nth > 0 ? nth : 0); }
