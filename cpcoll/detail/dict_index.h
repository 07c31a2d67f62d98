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
  CPDictionaryAssociation* entry;  // null: the cell is free
  unsigned long key;            // the entry's numeric key
  unsigned long Probe() const { return key; }
};

struct TextIndexCell {
  CPDictionaryAssociation* entry;  // null: the cell is free
  CPString* keyString;                // the entry's key string
  unsigned long tag;            // TextTag(hash, slot, natural): dict_hash.h
  unsigned long Probe() const { return tag & ~0x1FFul; }  // the hash bits
};

// Test hook: the nth table allocation from now (1 = the next; either
// table) fails once; 0 switches it off.
void SetDictIndexFailure(long nth);
// Zeroed storage for n cells of the given size, or null (also when the
// test hook says so).  Released with FreeCells.
void* AllocCells(unsigned long n, unsigned long cellSize);
void FreeCells(void* cells);

// ---- the table ----------------------------------------------------------------

template <class Cell>
class DictIndex {
 public:
  DictIndex() : cells(nullptr), mask(0), shift(64), count(0) {}
  ~DictIndex() { FreeCells(cells); }
  DictIndex(const DictIndex&) = delete;
  DictIndex& operator=(const DictIndex&) = delete;

  // The home position of probe value x.  Requires a table.
  unsigned long Home(unsigned long x) const {
    return static_cast<unsigned long>((static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull) >> shift);
  }

  // The cell with probe value x whose content satisfies match(cell), or
  // null.  O(1) expected.
  template <class Match>
  const Cell* Find(unsigned long x, Match match) const {
    if (!cells) return nullptr;
    for (unsigned long i = Home(x);; i = (i + 1) & mask) {
      const Cell* pc = &cells[i];
      if (!pc->entry) return nullptr;
      if (pc->Probe() == x && match(*pc)) return pc;
    }
  }
  // As Find; when there is no match, *holeOut receives the free cell that
  // ends the probe (kNoHole without a table), for InsertAt.
  template <class Match>
  const Cell* FindOrHole(unsigned long x, Match match, unsigned long* holeOut) const {
    *holeOut = kNoHole;
    if (!cells) return nullptr;
    for (unsigned long i = Home(x);; i = (i + 1) & mask) {
      const Cell* pc = &cells[i];
      if (!pc->entry) {
        *holeOut = i;
        return nullptr;
      }
      if (pc->Probe() == x && match(*pc)) return pc;
    }
  }
  // Stores a cell whose key is absent; hole is FindOrHole's answer for
  // it with no change to the table since (or kNoHole).  False when the
  // table is full and cannot grow.  Amortised O(1).
  bool InsertAt(const Cell& cell, unsigned long hole) {
    if ((count + 1) * 4 > Capacity() * 3) {
      if (!Grow()) return false;
      hole = kNoHole;
    }
    if (hole == kNoHole) hole = FreeCellFor(cell.Probe());
    cells[hole] = cell;
    ++count;
    return true;
  }
  bool Insert(const Cell& cell) { return InsertAt(cell, kNoHole); }
  // Removes the cell of entry (stored under probe value x); false when it is
  // not there.  O(1) expected.
  bool Erase(unsigned long x, const CPDictionaryAssociation* entry) {
    if (!cells) return false;
    unsigned long i = Home(x);
    while (cells[i].entry != entry) {
      if (!cells[i].entry) return false;
      i = (i + 1) & mask;
    }
    // Backward shift: move later cells of the run into the hole when their
    // home position does not lie between the hole and themselves.
    unsigned long hole = i;
    for (unsigned long j = (i + 1) & mask; cells[j].entry; j = (j + 1) & mask) {
      unsigned long home = Home(cells[j].Probe());
      if (((j - home) & mask) >= ((j - hole) & mask)) {
        cells[hole] = cells[j];
        hole = j;
      }
    }
    cells[hole] = Cell();
    --count;
    return true;
  }
  // Frees every cell.
  void Clear() {
    FreeCells(cells);
    cells = nullptr;
    mask = 0;
    shift = 64;
    count = 0;
  }
  // Exchanges the whole content with other.  O(1).
  void Swap(DictIndex& other) {
    Cell* pc = cells;
    cells = other.cells;
    other.cells = pc;
    unsigned long n = mask;
    mask = other.mask;
    other.mask = n;
    n = shift;
    shift = other.shift;
    other.shift = n;
    n = count;
    count = other.count;
    other.count = n;
  }

  unsigned long Count() const { return count; }
  unsigned long Capacity() const { return cells ? mask + 1 : 0; }
  const Cell* Cells() const { return cells; }

  static const unsigned long kNoHole = ~0ul;

 private:
  // The first free cell from x's home on.  Requires a free cell.
  unsigned long FreeCellFor(unsigned long x) const {
    unsigned long i = Home(x);
    while (cells[i].entry) i = (i + 1) & mask;
    return i;
  }
  // Doubles the capacity (16 at first); false when out of memory.
  bool Grow() {
    unsigned long oldCapacity = Capacity();
    unsigned long newCapacity = oldCapacity ? oldCapacity * 2 : 16;
    Cell* newCells = static_cast<Cell*>(AllocCells(newCapacity, sizeof(Cell)));
    if (!newCells) return false;
    Cell* oldCells = cells;
    cells = newCells;
    mask = newCapacity - 1;
    shift = oldCapacity ? shift - 1 : 60;
    for (unsigned long i = 0; i < oldCapacity; ++i)
      if (oldCells[i].entry) cells[FreeCellFor(oldCells[i].Probe())] = oldCells[i];
    FreeCells(oldCells);
    return true;
  }

  Cell* cells;          // mask + 1 cells (AllocCells), or null
  unsigned long mask;   // capacity - 1
  unsigned long shift;  // 64 - log2(capacity)
  unsigned long count;  // cells in use
};

typedef DictIndex<NumIndexCell> NumIndex;
typedef DictIndex<TextIndexCell> TextIndex;

}  // namespace detail
}  // namespace tarncoll

#endif
