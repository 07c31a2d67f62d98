#include <cpcoll/detail/dict_index.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace cpcoll_detail {

namespace {
long g_nFailCountdown = 0;

const std::uint64_t kMul1 = 0x9E3779B97F4A7C15ull;
const std::uint64_t kMul2 = 0xC2B2AE3D27D4EB4Full;

inline std::uint64_t Finish(std::uint64_t h) {
  h ^= h >> 32;
  h *= kMul2;
  h ^= h >> 29;
  return h;
}

DictIndexCell* NewCells(unsigned long n) {
  if (g_nFailCountdown > 0 && --g_nFailCountdown == 0) return nullptr;
  DictIndexCell* pCells = new (std::nothrow) DictIndexCell[n];
  if (pCells)
    for (unsigned long i = 0; i < n; ++i) pCells[i] = DictIndexCell{nullptr, nullptr, 0};
  return pCells;
}
}  // namespace

void SetDictIndexFailure(long nth) { g_nFailCountdown = nth > 0 ? nth : 0; }

DictIndex::~DictIndex() { delete[] pCells; }

unsigned long DictIndex::HashText(const char* pText, unsigned long n, unsigned long nSlot) {
  std::uint64_t h = (static_cast<std::uint64_t>(n) << 8 | nSlot) * kMul1;
  while (n >= 8) {
    std::uint64_t w;
    std::memcpy(&w, pText, 8);
    h = (h ^ w) * kMul2;
    h ^= h >> 31;
    pText += 8;
    n -= 8;
  }
  if (n > 0) {
    std::uint64_t w = 0;
    std::memcpy(&w, pText, n);
    h = (h ^ w) * kMul2;
  }
  return static_cast<unsigned long>(Finish(h));
}

unsigned long DictIndex::HashNumber(unsigned long nKey) {
  return static_cast<unsigned long>(Finish((static_cast<std::uint64_t>(nKey) ^ 0x5555u) * kMul1));
}

bool DictIndex::Grow() {
  unsigned long nOld = Capacity();
  unsigned long nNew = nOld ? nOld * 2 : 16;
  DictIndexCell* pNew = NewCells(nNew);
  if (!pNew) return false;
  unsigned long nNewMask = nNew - 1;
  for (unsigned long i = 0; i < nOld; ++i) {
    if (!pCells[i].pda) continue;
    unsigned long j = pCells[i].nHash & nNewMask;
    while (pNew[j].pda) j = (j + 1) & nNewMask;
    pNew[j] = pCells[i];
  }
  delete[] pCells;
  pCells = pNew;
  nMask = nNewMask;
  return true;
}

bool DictIndex::Insert(unsigned long h, CPDictionaryAssociation* pda, CPBucket* pbkt) {
  if ((nCount + 1) * 4 > Capacity() * 3 && !Grow()) return false;
  unsigned long i = h & nMask;
  while (pCells[i].pda) i = (i + 1) & nMask;
  pCells[i] = DictIndexCell{pda, pbkt, h};
  ++nCount;
  return true;
}

bool DictIndex::Erase(unsigned long h, const CPDictionaryAssociation* pda) {
  if (!pCells) return false;
  unsigned long i = h & nMask;
  while (pCells[i].pda != pda) {
    if (!pCells[i].pda) return false;
    i = (i + 1) & nMask;
  }
  // Backward shift: move later cells of the run into the hole when their
  // home position does not lie between the hole and themselves.
  unsigned long nHole = i;
  for (unsigned long j = (i + 1) & nMask; pCells[j].pda; j = (j + 1) & nMask) {
    unsigned long nHome = pCells[j].nHash & nMask;
    if (((j - nHome) & nMask) >= ((j - nHole) & nMask)) {
      pCells[nHole] = pCells[j];
      nHole = j;
    }
  }
  pCells[nHole] = DictIndexCell{nullptr, nullptr, 0};
  --nCount;
  return true;
}

void DictIndex::Clear() {
  delete[] pCells;
  pCells = nullptr;
  nMask = 0;
  nCount = 0;
}

void DictIndex::Swap(DictIndex& other) {
  DictIndexCell* pc = pCells;
  pCells = other.pCells;
  other.pCells = pc;
  unsigned long n = nMask;
  nMask = other.nMask;
  other.nMask = n;
  n = nCount;
  nCount = other.nCount;
  other.nCount = n;
}

}  // namespace cpcoll_detail
