#include <cpcoll/detail/node_pool.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace tarncoll {
namespace detail {

TARNCOLL_NODE_TLS NodeThreadCache t_nodeCache;
TARNCOLL_NODE_TLS NodeThreadCache t_entryCache;
TARNCOLL_NODE_TLS NodeThreadCache t_leafCache;
TARNCOLL_NODE_TLS NodeThreadCache t_stringCache;

namespace {

// A slab request of 256 KiB less 32 bytes: malloc maps a request this
// large on its own pages, and with its header this one fills exactly 64
// of them, so a full slab wastes less than a block (64 of its 262144
// bytes hold no tree node).  Its pages are touched only as its blocks are
// handed out.
constexpr std::size_t kSlabBytes = kNodeSlabBytes;
constexpr std::size_t kGone = SIZE_MAX;             // freeCount of a thread that has exited

static_assert(kEntryBlockSize % alignof(void*) == 0 && kNodeBlockSize % alignof(void*) == 0 &&
                  kLeafBlockSize % alignof(void*) == 0 && kStringBlockSize % alignof(void*) == 0,
              "blocks must keep node alignment");
static_assert(sizeof(NodeFreeBlock) <= kEntryBlockSize && sizeof(NodeFreeBlock) <= kNodeBlockSize &&
                  sizeof(NodeFreeBlock) <= kLeafBlockSize && sizeof(NodeFreeBlock) <= kStringBlockSize,
              "a free block must hold its links");
static_assert(kStringBlockSize != kEntryBlockSize && kStringBlockSize != kNodeBlockSize &&
                  kStringBlockSize != kLeafBlockSize,
              "NodeSlabCount tells the classes apart by their block sizes");

constexpr std::size_t kLine = 64;               // cache line
constexpr std::size_t kAnyPlace = SIZE_MAX;     // SizeClass::lineOffset: no placement

// What one size class shares between all threads, under its mutex.  A
// slab is the link to the slab made before it (in a header of one block,
// or of the bytes up to the first placed block), then its blocks.
// Constant-initialised.
struct SizeClass {
  std::size_t blockSize;
  // Where every other block starts within a cache line, or kAnyPlace.
  // Blocks alternate between lineOffset and lineOffset + blockSize (mod 64).
  std::size_t lineOffset;
  std::mutex mutex;
  NodeFreeBlock* depot;  // first chain; chains linked through nextChain
  void* slabs;           // newest slab; each slab's first word names the one before
  std::size_t slabCount;

  constexpr SizeClass(std::size_t size, std::size_t offset)
      : blockSize(size), lineOffset(offset), depot(nullptr), slabs(nullptr), slabCount(0) {}
};

// A tree search reads bytes 16 to 47 of each Leaf it passes (key, item and
// the two child links).  Leaves placed at 48 and 16 past a line boundary
// (96 apart) keep those bytes in one cache line, so a search step costs one
// line, not two; both places keep the usual 16-byte alignment.
constexpr std::size_t kLeafLineOffset = 48;
constexpr std::size_t kLeafSearchBegin = 16, kLeafSearchEnd = 48;
static_assert(kLeafLineOffset % 16 == 0 &&
                  (kLeafLineOffset + kLeafSearchEnd - 1) / kLine == (kLeafLineOffset + kLeafSearchBegin) / kLine &&
                  (kLeafLineOffset + kLeafBlockSize + kLeafSearchEnd - 1) / kLine ==
                      (kLeafLineOffset + kLeafBlockSize + kLeafSearchBegin) / kLine,
              "both leaf placements keep the search fields in one line");

SizeClass g_nodeClass(kNodeBlockSize, kAnyPlace);
SizeClass g_entryClass(kEntryBlockSize, kAnyPlace);
SizeClass g_leafClass(kLeafBlockSize, kLeafLineOffset);
SizeClass g_stringClass(kStringBlockSize, kAnyPlace);

// Caller holds sc.mutex for the four functions below.

void DepositLocked(SizeClass& sc, NodeFreeBlock* chain, std::size_t n) {
  if (chain == nullptr) return;
  chain->chainLength = n;
  chain->nextChain = sc.depot;
  sc.depot = chain;
}

NodeFreeBlock* WithdrawLocked(SizeClass& sc, std::size_t* count) {
  NodeFreeBlock* chain = sc.depot;
  if (chain == nullptr) return nullptr;
  sc.depot = chain->nextChain;
  *count = chain->chainLength;
  return chain;
}

// A new slab's first block, and in *end the end of its last; null when
// malloc fails.
char* NewSlabLocked(SizeClass& sc, char** end) {
  char* slab = static_cast<char*>(std::malloc(kSlabBytes));
  if (slab == nullptr) return nullptr;
  *reinterpret_cast<void**>(slab) = sc.slabs;
  sc.slabs = slab;
  ++sc.slabCount;
  char* first = slab + sc.blockSize;
  if (sc.lineOffset != kAnyPlace) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(slab) + sizeof(void*);
    first = slab + sizeof(void*) + (sc.lineOffset + kLine - at % kLine) % kLine;
  }
  const std::size_t blocks = static_cast<std::size_t>(slab + kSlabBytes - first) / sc.blockSize;
  *end = first + blocks * sc.blockSize;
  return first;
}

// The blocks from begin to end as one chain.
void DepositRangeLocked(SizeClass& sc, char* begin, char* end) {
  if (begin == end) return;
  std::size_t n = 0;
  for (char* p = begin; p != end; p += sc.blockSize, ++n) {
    char* next = p + sc.blockSize;
    reinterpret_cast<NodeFreeBlock*>(p)->next = next != end ? reinterpret_cast<NodeFreeBlock*>(next) : nullptr;
  }
  DepositLocked(sc, reinterpret_cast<NodeFreeBlock*>(begin), n);
}

// At thread exit: cache c's chains and the rest of its slab go to the
// depot of sc; later calls on this thread go straight to the depot.
void FlushAtExit(SizeClass& sc, NodeThreadCache& c) {
  if (c.freeHead || c.spareHead || c.bump != c.bumpEnd) {
    std::lock_guard<std::mutex> lock(sc.mutex);
    DepositLocked(sc, c.freeHead, c.freeCount);
    DepositLocked(sc, c.spareHead, c.spareCount);
    DepositRangeLocked(sc, c.bump, c.bumpEnd);
  }
  c.freeHead = c.spareHead = nullptr;
  c.spareCount = 0;
  c.bump = c.bumpEnd = nullptr;
  c.freeCount = kGone;
}

struct ThreadExitFlush {
  ~ThreadExitFlush() {
    FlushAtExit(g_nodeClass, t_nodeCache);
    FlushAtExit(g_entryClass, t_entryCache);
    FlushAtExit(g_leafClass, t_leafCache);
    FlushAtExit(g_stringClass, t_stringCache);
  }
};

// Makes sure this thread's blocks of every class are handed over when it
// exits.
void RegisterExitFlush() {
  static thread_local ThreadExitFlush flush;
  (void)flush;
}

// One block for a thread that has exited: straight from the depot.
void* TakeAfterExit(SizeClass& sc) noexcept {
  std::lock_guard<std::mutex> lock(sc.mutex);
  std::size_t n;
  NodeFreeBlock* chain = WithdrawLocked(sc, &n);
  if (chain == nullptr) {
    char* end;
    char* blocks = NewSlabLocked(sc, &end);
    if (blocks == nullptr) return nullptr;
    DepositRangeLocked(sc, blocks + sc.blockSize, end);
    return blocks;
  }
  DepositLocked(sc, chain->next, n - 1);
  return chain;
}

void* TakeSlow(SizeClass& sc, NodeThreadCache& c) noexcept {
  if (c.freeCount == kGone) return TakeAfterExit(sc);
  NodeFreeBlock* chain = c.spareHead;
  std::size_t n = c.spareCount;
  if (chain) {
    c.spareHead = nullptr;
    c.spareCount = 0;
  } else {
    RegisterExitFlush();
    std::lock_guard<std::mutex> lock(sc.mutex);
    chain = WithdrawLocked(sc, &n);
    if (chain == nullptr) {
      char* end;
      char* blocks = NewSlabLocked(sc, &end);
      if (blocks == nullptr) return nullptr;
      c.bump = blocks + sc.blockSize;
      c.bumpEnd = end;
      return blocks;
    }
  }
  c.freeHead = chain->next;
  c.freeCount = n - 1;
  return chain;
}

void GiveSlow(SizeClass& sc, NodeThreadCache& c, void* pv) noexcept {
  NodeFreeBlock* given = static_cast<NodeFreeBlock*>(pv);
  if (c.freeCount == kGone) {
    given->next = nullptr;
    std::lock_guard<std::mutex> lock(sc.mutex);
    DepositLocked(sc, given, 1);
    return;
  }
  if (c.freeCount == 0) {
    // The first block kept: a thread that only releases nodes hands its
    // blocks over at exit as well.
    RegisterExitFlush();
  } else {
    // freeHead is full: it becomes the spare, a full spare goes to the depot.
    if (c.spareHead) {
      std::lock_guard<std::mutex> lock(sc.mutex);
      DepositLocked(sc, c.spareHead, c.spareCount);
    }
    c.spareHead = c.freeHead;
    c.spareCount = c.freeCount;
    c.freeHead = nullptr;
    c.freeCount = 0;
  }
  given->next = c.freeHead;
  c.freeHead = given;
  c.freeCount += 1;
}

std::size_t SlabCount(SizeClass& sc) noexcept {
  std::lock_guard<std::mutex> lock(sc.mutex);
  return sc.slabCount;
}

}  // namespace

void* TakeNodeBlockSlow() noexcept { return TakeSlow(g_nodeClass, t_nodeCache); }
void GiveNodeBlockSlow(void* pv) noexcept { GiveSlow(g_nodeClass, t_nodeCache, pv); }
void* TakeEntryBlockSlow() noexcept { return TakeSlow(g_entryClass, t_entryCache); }
void GiveEntryBlockSlow(void* pv) noexcept { GiveSlow(g_entryClass, t_entryCache, pv); }
void* TakeLeafBlockSlow() noexcept { return TakeSlow(g_leafClass, t_leafCache); }
void GiveLeafBlockSlow(void* pv) noexcept { GiveSlow(g_leafClass, t_leafCache, pv); }
void* TakeStringBlockSlow() noexcept { return TakeSlow(g_stringClass, t_stringCache); }
void GiveStringBlockSlow(void* pv) noexcept { GiveSlow(g_stringClass, t_stringCache, pv); }

std::size_t NodeSlabCount() noexcept { return SlabCount(g_nodeClass); }

std::size_t NodeSlabCount(std::size_t blockSize) noexcept {
  switch (blockSize) {
    case kNodeBlockSize:
      return SlabCount(g_nodeClass);
    case kEntryBlockSize:
      return SlabCount(g_entryClass);
    case kLeafBlockSize:
      return SlabCount(g_leafClass);
    case kStringBlockSize:
      return SlabCount(g_stringClass);
    default:
      return 0;
  }
}

}  // namespace detail
}  // namespace tarncoll
