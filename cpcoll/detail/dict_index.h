// Internal: the key indexes of CPDictionary.
//
// Two open-addressing hash tables (linear probing, power-of-two capacity,
// at most 3/4 full, backward-shift deletion, so no tombstones), one per key
// kind, since a numeric and a string key never match:
//
//   numeric cell (16 bytes): [entry | key number]
//   text cell    (24 bytes): [entry | key string | tag: hash bits, natural, slot]
//
// A cell answers a probe without touching the entry: a numeric cell holds
// the key itself, a text cell the text's hash and slot, and the key string
// (so the string and the entry are fetched side by side on a hit).  The
// entry's own node sits in the entry.  A cell's probe value x is its key,
// or the hash bits of its tag; its home cell is the top bits of x * golden
// ratio, and a probe compares x before it asks the caller's match.
//
// The index policy (dict_index_policy.h) decides what a key is and which
// entries go in; a table only stores, probes and moves cells.  Its storage
// comes from the general heap; when it cannot grow, Insert says so and the
// policy does without the table for that entry.
//
// The hashing of key texts is in dict_hash.h.
#ifndef TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_H
#define TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_H

#include <cstdint>

class CPDictionaryAssociation;
class CPString;

namespace tarncoll {
namespace detail {

// ---- cells ----------------------------------------------------------------

struct NumIndexCell {
  CPDictionaryAssociation* pda;  // null: the cell is free
  unsigned long nKey;            // the entry's numeric key
  unsigned long Probe() const { return nKey; }
};

struct TextIndexCell {
  CPDictionaryAssociation* pda;  // null: the cell is free
  CPString* pstr;                // the entry's key string
  unsigned long nTag;            // TextTag(hash, slot, natural): dict_hash.h
  unsigned long Probe() const { return nTag & ~0x1FFul; }  // the hash bits
};

// Test hook: the nth table allocation from now (1 = the next; either
// table) fails once; 0 switches it off.
void SetDictIndexFailure(long nth);
// Zeroed storage for n cells of the given size, or null (also when the
// test hook says so).  Released with FreeCells.
void* AllocCells(unsigned long n, unsigned long nCellSize);
void FreeCells(void* pv);

// ---- the table ----------------------------------------------------------------

template <class Cell>
class DictIndex {
 public:
  DictIndex() : pCells(nullptr), nMask(0), nShift(64), nCount(0) {}
  ~DictIndex() { FreeCells(pCells); }
  DictIndex(const DictIndex&) = delete;
  DictIndex& operator=(const DictIndex&) = delete;

  // The home position of probe value x.  Requires a table.
  unsigned long Home(unsigned long x) const {
    return static_cast<unsigned long>((static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull) >> nShift);
  }

  // The cell with probe value x whose content satisfies bMatch(cell), or
  // null.  O(1) expected.
  template <class Match>
  const Cell* Find(unsigned long x, Match bMatch) const {
    if (!pCells) return nullptr;
    for (unsigned long i = Home(x);; i = (i + 1) & nMask) {
      const Cell* pc = &pCells[i];
      if (!pc->pda) return nullptr;
      if (pc->Probe() == x && bMatch(*pc)) return pc;
    }
  }
  // As Find; when there is no match, *pnHole receives the free cell that
  // ends the probe (kNoHole without a table), for InsertAt.
  template <class Match>
  const Cell* FindOrHole(unsigned long x, Match bMatch, unsigned long* pnHole) const {
    *pnHole = kNoHole;
    if (!pCells) return nullptr;
    for (unsigned long i = Home(x);; i = (i + 1) & nMask) {
      const Cell* pc = &pCells[i];
      if (!pc->pda) {
        *pnHole = i;
        return nullptr;
      }
      if (pc->Probe() == x && bMatch(*pc)) return pc;
    }
  }
  // Stores a cell whose key is absent; nHole is FindOrHole's answer for
  // it with no change to the table since (or kNoHole).  False when the
  // table is full and cannot grow.  Amortised O(1).
  bool InsertAt(const Cell& cell, unsigned long nHole) {
    if ((nCount + 1) * 4 > Capacity() * 3) {
      if (!Grow()) return false;
      nHole = kNoHole;
    }
    if (nHole == kNoHole) nHole = FreeCellFor(cell.Probe());
    pCells[nHole] = cell;
    ++nCount;
    return true;
  }
  bool Insert(const Cell& cell) { return InsertAt(cell, kNoHole); }
  // Removes the cell of pda (stored under probe value x); false when it is
  // not there.  O(1) expected.
  bool Erase(unsigned long x, const CPDictionaryAssociation* pda) {
    if (!pCells) return false;
    unsigned long i = Home(x);
    while (pCells[i].pda != pda) {
      if (!pCells[i].pda) return false;
      i = (i + 1) & nMask;
    }
    // Backward shift: move later cells of the run into the hole when their
    // home position does not lie between the hole and themselves.
    unsigned long nHole = i;
    for (unsigned long j = (i + 1) & nMask; pCells[j].pda; j = (j + 1) & nMask) {
      unsigned long nHome = Home(pCells[j].Probe());
      if (((j - nHome) & nMask) >= ((j - nHole) & nMask)) {
        pCells[nHole] = pCells[j];
        nHole = j;
      }
    }
    pCells[nHole] = Cell();
    --nCount;
    return true;
  }
  // Frees every cell.
  void Clear() {
    FreeCells(pCells);
    pCells = nullptr;
    nMask = 0;
    nShift = 64;
    nCount = 0;
  }
  // Exchanges the whole content with other.  O(1).
  void Swap(DictIndex& other) {
    Cell* pc = pCells;
    pCells = other.pCells;
    other.pCells = pc;
    unsigned long n = nMask;
    nMask = other.nMask;
    other.nMask = n;
    n = nShift;
    nShift = other.nShift;
    other.nShift = n;
    n = nCount;
    nCount = other.nCount;
    other.nCount = n;
  }

  unsigned long Count() const { return nCount; }
  unsigned long Capacity() const { return pCells ? nMask + 1 : 0; }
  const Cell* Cells() const { return pCells; }

  static const unsigned long kNoHole = ~0ul;

 private:
  // The first free cell from x's home on.  Requires a free cell.
  unsigned long FreeCellFor(unsigned long x) const {
    unsigned long i = Home(x);
    while (pCells[i].pda) i = (i + 1) & nMask;
    return i;
  }
  // Doubles the capacity (16 at first); false when out of memory.
  bool Grow() {
    unsigned long nOld = Capacity();
    unsigned long nNew = nOld ? nOld * 2 : 16;
    Cell* pNew = static_cast<Cell*>(AllocCells(nNew, sizeof(Cell)));
    if (!pNew) return false;
    Cell* pOld = pCells;
    pCells = pNew;
    nMask = nNew - 1;
    nShift = nOld ? nShift - 1 : 60;
    for (unsigned long i = 0; i < nOld; ++i)
      if (pOld[i].pda) pCells[FreeCellFor(pOld[i].Probe())] = pOld[i];
    FreeCells(pOld);
    return true;
  }

  Cell* pCells;          // nMask + 1 cells (AllocCells), or null
  unsigned long nMask;   // capacity - 1
  unsigned long nShift;  // 64 - log2(capacity)
  unsigned long nCount;  // cells in use
};

typedef DictIndex<NumIndexCell> NumIndex;
typedef DictIndex<TextIndexCell> TextIndex;

}  // namespace detail
}  // namespace tarncoll

#endif
