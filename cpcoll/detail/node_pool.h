// Internal: fixed-size blocks for the containers' nodes, so that adding and
// removing an item costs a pointer pop and push instead of malloc and free.
//
// Four size classes, each with its own slabs, depot and thread cache:
//   kEntryBlockSize  40  dictionary entries (CPDictionaryAssociation)
//   kNodeBlockSize   48  list nodes (CPBucket)
//   kStringBlockSize 56  a dictionary's own key strings whose text fits
//                        inside the CPString
//   kLeafBlockSize   96  tree nodes (Leaf), placed 48 or 16 bytes past a
//                        cache-line boundary, so that the fields a search
//                        reads lie in one line
//
// One size class:
//   thread cache:  freeHead  -> [blk] -> [blk] -> ...   (freeCount free blocks)
//                  spareHead -> [blk] -> ...            (a full or no chain)
//                  bump .. bumpEnd: the untouched rest of the last slab
//   depot (mutex): whole chains of free blocks handed over by threads
//   slabs:         256 KiB malloc chunks, chained, kept for the process
//
// Invariants (per size class):
//   1. Every block lies in one slab of its class and is the class's block
//      size, aligned for any node; a free block is in exactly one chain (a
//      thread's freeHead or spareHead, or a depot chain) or in a thread's bump
//      range.
//   2. A thread keeps at most two chains of at most kNodeCacheLimit blocks;
//      when both are full a whole chain goes to the depot, and an empty
//      thread takes a whole chain back, so chains move in O(1) and memory
//      freed by one thread is reused by the others.
//   3. Slabs are never returned to malloc: nodes may outlive the thread
//      that made them and may be freed by another thread, and a slab cannot
//      know when all its blocks are free.
//
// Costs: Take*Block/Give*Block O(1), touching only the calling thread's
// cache of that class.  While a thread runs, it takes its class's depot
// mutex at most once per kNodeCacheLimit blocks taken or given, and once
// per new slab.  Once it has exited (its thread-local objects are being
// destroyed) its caches are gone: every block it takes or gives then goes
// through the depot under the mutex.
//
// Builds with AddressSanitizer do not use the pool (TARNCOLL_NODE_POOL is
// 0), so that node leaks and uses after release stay visible to it.
#ifndef TARNCOLL_CPCOLL_DETAIL_NODE_POOL_H
#define TARNCOLL_CPCOLL_DETAIL_NODE_POOL_H

#include <cstddef>
#include <cstdint>

#include <util/CPString.h>
#include <util/Createable.h>

#if defined(__SANITIZE_ADDRESS__)
#define TARNCOLL_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNCOLL_NODE_POOL 0
#endif
#endif
#ifndef TARNCOLL_NODE_POOL
#define TARNCOLL_NODE_POOL 1
#endif

// The thread cache is plain data: __thread spares every access the check
// for a thread_local initialiser, and the initial-exec model the call to
// find the library's thread storage.
#if defined(__GNUC__) || defined(__clang__)
#define TARNCOLL_NODE_TLS __thread __attribute__((tls_model("initial-exec")))
#else
#define TARNCOLL_NODE_TLS thread_local
#endif

namespace tarncoll {
namespace detail {

// Block size of the list nodes' class; a node class checks that it fits.
constexpr std::size_t kNodeBlockSize = 48;
// Block size of the dictionary entries' class.
constexpr std::size_t kEntryBlockSize = 40;
// Block size of the tree nodes' class.
constexpr std::size_t kLeafBlockSize = 96;
// Block size of the key strings' class: one CPString.
constexpr std::size_t kStringBlockSize = sizeof(CPString);
// Bytes of one slab (node_pool.cpp says why this many).
constexpr std::size_t kNodeSlabBytes = 256 * 1024 - 32;
// Blocks in one chain of a thread cache (see invariant 2).
constexpr std::size_t kNodeCacheLimit = 4096;

// A free block.  The first block of a chain in the depot also carries the
// depot's link to the next chain and its own chain's length.
struct NodeFreeBlock {
  NodeFreeBlock* next;       // next block of the chain, null at its end
  NodeFreeBlock* nextChain;  // in the depot: the next chain
  std::size_t chainLength;         // in the depot: blocks in this chain
};

// One thread's blocks of one class; zero-initialised, so no construction
// is needed.
struct NodeThreadCache {
  NodeFreeBlock* freeHead;   // free blocks, last given first
  std::size_t freeCount;      // blocks in freeHead; the largest value once the thread has exited
  NodeFreeBlock* spareHead;  // a second chain (kNodeCacheLimit blocks) or null
  std::size_t spareCount;     // blocks in spareHead
  char* bump;            // next never-used block of the current slab
  char* bumpEnd;         // end of the current slab's blocks
};

extern TARNCOLL_NODE_TLS NodeThreadCache t_nodeCache;   // list nodes
extern TARNCOLL_NODE_TLS NodeThreadCache t_entryCache;  // dictionary entries
extern TARNCOLL_NODE_TLS NodeThreadCache t_leafCache;   // tree nodes
extern TARNCOLL_NODE_TLS NodeThreadCache t_stringCache; // dictionaries' key strings

void* TakeNodeBlockSlow() noexcept;
void GiveNodeBlockSlow(void* pv) noexcept;
void* TakeEntryBlockSlow() noexcept;
void GiveEntryBlockSlow(void* pv) noexcept;
void* TakeLeafBlockSlow() noexcept;
void GiveLeafBlockSlow(void* pv) noexcept;
void* TakeStringBlockSlow() noexcept;
void GiveStringBlockSlow(void* pv) noexcept;

namespace pool {

// The fast path of taking a block of blockSize bytes from cache c; slow()
// when the cache is empty.  Inlined with constants, so each class's path
// is a pop or a bump.  A pop asks for the lines of the block the next pop
// returns: a block freed long ago is seldom in the cache, and its miss then
// overlaps the caller's work instead of stalling the next allocation.
inline void* Take(NodeThreadCache& c, std::size_t blockSize, void* (*slow)() noexcept) noexcept {
  if (NodeFreeBlock* p = c.freeHead) {
    NodeFreeBlock* next = p->next;
    c.freeHead = next;
    --c.freeCount;
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(next, 1);  // a prefetch never faults, also for null
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(next) + blockSize - 1), 1);
#endif
    return p;
  }
  if (c.bump != c.bumpEnd) {
    void* p = c.bump;
    c.bump += blockSize;
    return p;
  }
  return slow();
}

// The fast path of giving a block back to cache c; slow(pv) when the
// cache is empty, full, or its thread has exited.
inline void Give(NodeThreadCache& c, void* pv, void (*slow)(void*) noexcept) noexcept {
  if (c.freeCount - 1 >= kNodeCacheLimit - 1) {  // empty, full, or the thread has exited
    slow(pv);
    return;
  }
  NodeFreeBlock* p = static_cast<NodeFreeBlock*>(pv);
  p->next = c.freeHead;
  c.freeHead = p;
  ++c.freeCount;
}

// Class allocation of a pooled node class whose blocks are blockSize
// bytes: a block, or Createable's allocation for a larger (derived) object
// and in builds without the pool.  Counts against Createable's allocation
// failure hook exactly once; null on failure.
inline void* New(std::size_t size, std::size_t blockSize, void* (*take)() noexcept) noexcept {
  if (!TARNCOLL_NODE_POOL || size > blockSize) return Createable::operator new(size);
  if (Createable::AllocationFails()) return nullptr;
  return take();
}

// Releases what New(size, blockSize, ...) returned; size is the object's.
inline void Delete(void* pv, std::size_t size, std::size_t blockSize, void (*give)(void*) noexcept) noexcept {
  if (pv == nullptr) return;
  if (!TARNCOLL_NODE_POOL || size > blockSize)
    Createable::operator delete(pv);
  else
    give(pv);
}

}  // namespace pool

// A block of kNodeBlockSize bytes, or null when no memory is left.
inline void* TakeNodeBlock() noexcept { return pool::Take(t_nodeCache, kNodeBlockSize, TakeNodeBlockSlow); }
// Takes back a block from TakeNodeBlock (from any thread).
inline void GiveNodeBlock(void* pv) noexcept { pool::Give(t_nodeCache, pv, GiveNodeBlockSlow); }

// A block of kEntryBlockSize bytes, or null when no memory is left.
inline void* TakeEntryBlock() noexcept { return pool::Take(t_entryCache, kEntryBlockSize, TakeEntryBlockSlow); }
// Takes back a block from TakeEntryBlock (from any thread).
inline void GiveEntryBlock(void* pv) noexcept { pool::Give(t_entryCache, pv, GiveEntryBlockSlow); }

// A block of kLeafBlockSize bytes, or null when no memory is left.
inline void* TakeLeafBlock() noexcept { return pool::Take(t_leafCache, kLeafBlockSize, TakeLeafBlockSlow); }
// Takes back a block from TakeLeafBlock (from any thread).
inline void GiveLeafBlock(void* pv) noexcept { pool::Give(t_leafCache, pv, GiveLeafBlockSlow); }

// A block of kStringBlockSize bytes, or null when no memory is left.
inline void* TakeStringBlock() noexcept { return pool::Take(t_stringCache, kStringBlockSize, TakeStringBlockSlow); }
// Takes back a block from TakeStringBlock (from any thread).
inline void GiveStringBlock(void* pv) noexcept { pool::Give(t_stringCache, pv, GiveStringBlockSlow); }

// For tests: the slabs of the list nodes' class made so far (never fewer
// later).
std::size_t NodeSlabCount() noexcept;
// For tests: the same for the class of blockSize (one of the k*BlockSize
// above); 0 for any other size.
std::size_t NodeSlabCount(std::size_t blockSize) noexcept;

}  // namespace detail
}  // namespace tarncoll

#endif
