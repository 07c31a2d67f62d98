#include <cpcoll/detail/slot_block.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace tarncoll::detail {

namespace {
std::atomic<long> g_nFailCountdown{0};  // see SetSlotBlockFailure; 0: no failure planned
}  // namespace

void** NewSlotBlock(unsigned long n) {
  // Refuse a byte size that wraps before the allocator could see it.
  if (n > SIZE_MAX / sizeof(void*)) throw std::bad_alloc();
  if (g_nFailCountdown.load(std::memory_order_relaxed) > 0 &&
      g_nFailCountdown.fetch_sub(1, std::memory_order_relaxed) == 1)
    return nullptr;
  return new void*[n];
}

void** NewSlotBlockOrThrow(unsigned long n) {
  void** block = NewSlotBlock(n);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void** CopySlotBlock(void* const* from, unsigned long count, unsigned long n) {
  void** block = NewSlotBlockOrThrow(n);
  if (count != 0) std::memcpy(block, from, count * sizeof(void*));
  return block;
}

void DeleteSlotBlock(void** block) noexcept { delete[] block; }

void SetSlotBlockFailure(long nth) { g_nFailCountdown.store(nth > 0 ? nth : 0); }

unsigned long DropFront(void** block, unsigned long count, unsigned long k) noexcept {
  if (k >= count) return 0;
  std::memmove(block, block + k, (count - k) * sizeof(void*));
  return count - k;
}

unsigned long DropItems(void** block, unsigned long count, const std::vector<void*>& items) noexcept {
  for (void* pv : items) {
    for (unsigned long i = 0; i < count; ++i) {
      if (block[i] != pv) continue;
      std::memmove(block + i, block + i + 1, (count - i - 1) * sizeof(void*));
      --count;
      break;
    }
  }
  return count;
}

void KillLedger::Hand(void* item, void* ledger) {
  KillLedger* self = static_cast<KillLedger*>(ledger);
  self->handed.push_back(item);
  self->kill(item, nullptr);
}

}  // namespace tarncoll::detail
