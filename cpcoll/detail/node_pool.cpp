#include <cpcoll/detail/node_pool.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace tarncoll_detail {

TARNCOLL_NODE_TLS NodeThreadCache t_nodeCache;

namespace {

// A slab: the link to the slab made before it, then its blocks.
constexpr std::size_t kSlabBytes = 64 * 1024 - 64;  // stays clear of malloc's mmap threshold
constexpr std::size_t kSlabHeader = kNodeBlockSize;
constexpr std::size_t kBlocksPerSlab = (kSlabBytes - kSlabHeader) / kNodeBlockSize;
constexpr std::size_t kGone = SIZE_MAX;  // nFree of a thread that has exited

static_assert(kNodeBlockSize % alignof(void*) == 0, "blocks must keep node alignment");
static_assert(sizeof(NodeFreeBlock) <= kNodeBlockSize, "a free block must hold its links");

// Shared by all threads, under g_mutex.  Constant-initialised.
std::mutex g_mutex;
NodeFreeBlock* g_pDepot = nullptr;  // first chain; chains linked through pNextChain
void* g_pSlabs = nullptr;           // newest slab; each slab's first word names the one before
std::size_t g_nSlabs = 0;

// Caller holds g_mutex for the four functions below.

void DepositLocked(NodeFreeBlock* pChain, std::size_t n) {
  if (pChain == nullptr) return;
  pChain->nChain = n;
  pChain->pNextChain = g_pDepot;
  g_pDepot = pChain;
}

NodeFreeBlock* WithdrawLocked(std::size_t* pn) {
  NodeFreeBlock* pChain = g_pDepot;
  if (pChain == nullptr) return nullptr;
  g_pDepot = pChain->pNextChain;
  *pn = pChain->nChain;
  return pChain;
}

// A new slab's blocks; null when malloc fails.
char* NewSlabLocked() {
  char* pSlab = static_cast<char*>(std::malloc(kSlabBytes));
  if (pSlab == nullptr) return nullptr;
  *reinterpret_cast<void**>(pSlab) = g_pSlabs;
  g_pSlabs = pSlab;
  ++g_nSlabs;
  return pSlab + kSlabHeader;
}

// The blocks from pb to pEnd as one chain.
void DepositRangeLocked(char* pb, char* pEnd) {
  if (pb == pEnd) return;
  std::size_t n = 0;
  for (char* p = pb; p != pEnd; p += kNodeBlockSize, ++n) {
    char* pNext = p + kNodeBlockSize;
    reinterpret_cast<NodeFreeBlock*>(p)->pNext = pNext != pEnd ? reinterpret_cast<NodeFreeBlock*>(pNext) : nullptr;
  }
  DepositLocked(reinterpret_cast<NodeFreeBlock*>(pb), n);
}

// At thread exit: the thread's chains and the rest of its slab go to the
// depot; later calls on this thread go straight to the depot.
struct ThreadExitFlush {
  ~ThreadExitFlush() {
    NodeThreadCache& c = t_nodeCache;
    std::lock_guard<std::mutex> lock(g_mutex);
    DepositLocked(c.pFree, c.nFree);
    DepositLocked(c.pSpare, c.nSpare);
    DepositRangeLocked(c.pBump, c.pBumpEnd);
    c.pFree = c.pSpare = nullptr;
    c.nSpare = 0;
    c.pBump = c.pBumpEnd = nullptr;
    c.nFree = kGone;
  }
};

// Makes sure this thread's blocks are handed over when it exits.
void RegisterExitFlush() {
  static thread_local ThreadExitFlush flush;
  (void)flush;
}

// One block for a thread that has exited: straight from the depot.
void* TakeAfterExit() noexcept {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::size_t n;
  NodeFreeBlock* pChain = WithdrawLocked(&n);
  if (pChain == nullptr) {
    char* pBlocks = NewSlabLocked();
    if (pBlocks == nullptr) return nullptr;
    DepositRangeLocked(pBlocks + kNodeBlockSize, pBlocks + kBlocksPerSlab * kNodeBlockSize);
    return pBlocks;
  }
  DepositLocked(pChain->pNext, n - 1);
  return pChain;
}

}  // namespace

void* TakeNodeBlockSlow() noexcept {
  NodeThreadCache& c = t_nodeCache;
  if (c.nFree == kGone) return TakeAfterExit();
  NodeFreeBlock* pChain = c.pSpare;
  std::size_t n = c.nSpare;
  if (pChain) {
    c.pSpare = nullptr;
    c.nSpare = 0;
  } else {
    RegisterExitFlush();
    std::lock_guard<std::mutex> lock(g_mutex);
    pChain = WithdrawLocked(&n);
    if (pChain == nullptr) {
      char* pBlocks = NewSlabLocked();
      if (pBlocks == nullptr) return nullptr;
      c.pBump = pBlocks + kNodeBlockSize;
      c.pBumpEnd = pBlocks + kBlocksPerSlab * kNodeBlockSize;
      return pBlocks;
    }
  }
  c.pFree = pChain->pNext;
  c.nFree = n - 1;
  return pChain;
}

void GiveNodeBlockSlow(void* pv) noexcept {
  NodeThreadCache& c = t_nodeCache;
  NodeFreeBlock* pGiven = static_cast<NodeFreeBlock*>(pv);
  if (c.nFree == kGone) {
    pGiven->pNext = nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    DepositLocked(pGiven, 1);
    return;
  }
  if (c.nFree == 0) {
    // The first block kept: a thread that only releases nodes hands its
    // blocks over at exit as well.
    RegisterExitFlush();
  } else {
    // pFree is full: it becomes the spare, a full spare goes to the depot.
    if (c.pSpare) {
      std::lock_guard<std::mutex> lock(g_mutex);
      DepositLocked(c.pSpare, c.nSpare);
    }
    c.pSpare = c.pFree;
    c.nSpare = c.nFree;
    c.pFree = nullptr;
    c.nFree = 0;
  }
  pGiven->pNext = c.pFree;
  c.pFree = pGiven;
  c.nFree += 1;
}

std::size_t NodeSlabCount() noexcept {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_nSlabs;
}

}  // namespace tarncoll_detail
