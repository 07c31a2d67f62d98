// Internal: the blocks of item slots behind the array, the stack and the
// vector.  A block is one standard array allocation of n void* cells; it is
// never grown in place and never holds anything but caller-owned pointers.
#ifndef TARNCOLL_CPCOLL_DETAIL_SLOT_BLOCK_H
#define TARNCOLL_CPCOLL_DETAIL_SLOT_BLOCK_H

#include <vector>

namespace tarncoll {
namespace detail {

// A new block of n uninitialised slots (n may be 0).  Throws std::bad_alloc
// when n slots' byte size does not fit a size_t or the allocation fails.
// Yields null only when the test hook below asks for it.
void** NewSlotBlock(unsigned long n);

// As NewSlotBlock, but a null block throws std::bad_alloc too: for
// constructors, which must not leave anything half-built.
void** NewSlotBlockOrThrow(unsigned long n);

// A new block of n slots holding a copy of the first count slots of
// from (count <= n); throws as NewSlotBlockOrThrow.
void** CopySlotBlock(void* const* from, unsigned long count, unsigned long n);

// Frees a block from NewSlotBlock (null is ignored); never the items.
void DeleteSlotBlock(void** block) noexcept;

// Removes the first k slots of block[0 .. count), moving the rest down;
// returns the new count.
unsigned long DropFront(void** block, unsigned long count, unsigned long k) noexcept;

// Removes from block[0 .. count) the first slot holding each of the
// given items (one slot per entry), keeping the order of the rest;
// returns the new count.
unsigned long DropItems(void** block, unsigned long count, const std::vector<void*>& items) noexcept;

// The kill walk of a derived array or stack, whose ForEach may be its own:
// Hand is passed to ForEach with the ledger as its user pointer, records
// each item and then calls kill(item, null), so that when kill throws the
// container drops exactly the items handed so far.
struct KillLedger {
  explicit KillLedger(void (*killFn)(void*, void*)) : kill(killFn) {}
  static void Hand(void* item, void* ledger);
  void (*kill)(void*, void*);
  std::vector<void*> handed;
};

// Runs that kill walk: walk(&KillLedger::Hand, ledger) with kill; when it
// throws, dropHanded(the items handed so far) runs before the exception
// goes on, so that the container can drop exactly those.
template <class Walk, class DropHanded>
void KillThroughLedger(void (*kill)(void*, void*), Walk walk, DropHanded dropHanded) {
  KillLedger ledger(kill);
  try {
    walk(&KillLedger::Hand, static_cast<void*>(&ledger));
  } catch (...) {
    dropHanded(static_cast<const std::vector<void*>&>(ledger.handed));
    throw;
  }
}

// Test hook: the nth NewSlotBlock from now (1 = the next) yields null once,
// as a null-returning allocator would; 0 switches it off.
void SetSlotBlockFailure(long nth);

}  // namespace detail
}  // namespace tarncoll

#endif
