// Internal: fixed-size blocks for list nodes, so that appending to and
// clearing a list costs a pointer pop and push instead of malloc and free.
//
//   thread cache:  pFree  -> [blk] -> [blk] -> ...   (nFree blocks, in use)
//                  pSpare -> [blk] -> ...            (a full or no chain)
//                  pBump .. pBumpEnd: the untouched rest of the last slab
//   depot (mutex): whole chains of free blocks handed over by threads
//   slabs:         64 KiB malloc chunks, chained, kept for the process
//
// Invariants:
//   1. Every block lies in one slab and is kNodeBlockSize bytes, aligned
//      for any node; a free block is in exactly one chain (a thread's
//      pFree or pSpare, or a depot chain) or in a thread's bump range.
//   2. A thread keeps at most two chains of at most kNodeCacheLimit blocks;
//      when both are full a whole chain goes to the depot, and an empty
//      thread takes a whole chain back, so chains move in O(1) and memory
//      freed by one thread is reused by the others.
//   3. Slabs are never returned to malloc: nodes may outlive the thread
//      that made them, and a slab cannot know when all its blocks are free.
//
// Costs: TakeNodeBlock/GiveNodeBlock O(1), touching only the calling
// thread's cache; the depot's mutex is taken at most once per
// kNodeCacheLimit blocks taken or given, and once per new slab.
//
// Builds with AddressSanitizer do not use the pool (TARNCOLL_NODE_POOL is
// 0), so that node leaks and uses after release stay visible to it.
#ifndef TARNCOLL_CPCOLL_DETAIL_NODE_POOL_H
#define TARNCOLL_CPCOLL_DETAIL_NODE_POOL_H

#include <cstddef>

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

namespace tarncoll_detail {

// Size of every block; a node class checks that it fits.
constexpr std::size_t kNodeBlockSize = 48;
// Blocks in one chain of a thread cache (see invariant 2).
constexpr std::size_t kNodeCacheLimit = 4096;

// A free block.  The first block of a chain in the depot also carries the
// depot's link to the next chain and its own chain's length.
struct NodeFreeBlock {
  NodeFreeBlock* pNext;       // next block of the chain, null at its end
  NodeFreeBlock* pNextChain;  // in the depot: the next chain
  std::size_t nChain;         // in the depot: blocks in this chain
};

// One thread's blocks; zero-initialised, so no construction is needed.
struct NodeThreadCache {
  NodeFreeBlock* pFree;   // free blocks, last given first
  std::size_t nFree;      // blocks in pFree; the largest value once the thread has exited
  NodeFreeBlock* pSpare;  // a second chain (kNodeCacheLimit blocks) or null
  std::size_t nSpare;     // blocks in pSpare
  char* pBump;            // next never-used block of the current slab
  char* pBumpEnd;         // end of the current slab's blocks
};

extern TARNCOLL_NODE_TLS NodeThreadCache t_nodeCache;

void* TakeNodeBlockSlow() noexcept;
void GiveNodeBlockSlow(void* pv) noexcept;

// A block of kNodeBlockSize bytes, or null when no memory is left.
inline void* TakeNodeBlock() noexcept {
  NodeThreadCache& c = t_nodeCache;
  if (NodeFreeBlock* p = c.pFree) {
    c.pFree = p->pNext;
    --c.nFree;
    return p;
  }
  if (c.pBump != c.pBumpEnd) {
    void* p = c.pBump;
    c.pBump += kNodeBlockSize;
    return p;
  }
  return TakeNodeBlockSlow();
}

// Takes back a block from TakeNodeBlock (from any thread).
inline void GiveNodeBlock(void* pv) noexcept {
  NodeThreadCache& c = t_nodeCache;
  if (c.nFree - 1 >= kNodeCacheLimit - 1) {  // empty, full, or the thread has exited
    GiveNodeBlockSlow(pv);
    return;
  }
  NodeFreeBlock* p = static_cast<NodeFreeBlock*>(pv);
  p->pNext = c.pFree;
  c.pFree = p;
  ++c.nFree;
}

// For tests: the slabs made so far (never fewer later).
std::size_t NodeSlabCount() noexcept;

}  // namespace tarncoll_detail

#endif
