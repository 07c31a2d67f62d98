// Internal: the key index of CPDictionary, an open-addressing hash table
// (linear probing, power-of-two capacity, at most 3/4 full, backward-shift
// deletion, so no tombstones) from a key hash to the entry and its node.
// The dictionary decides what a key is and which entries go in; the table
// only stores, probes and moves cells.  Its storage comes from the general
// heap; when it cannot grow, Insert says so and the dictionary does
// without the index for that entry.
#ifndef TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_H
#define TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_H

class CPBucket;
class CPDictionaryAssociation;

namespace cpcoll_detail {

struct DictIndexCell {
  CPDictionaryAssociation* pda;  // null: the cell is free
  CPBucket* pbkt;                // the entry's node in its slot list
  unsigned long nHash;           // the key's hash
};

class DictIndex {
 public:
  DictIndex() : pCells(nullptr), nMask(0), nCount(0) {}
  ~DictIndex();
  DictIndex(const DictIndex&) = delete;
  DictIndex& operator=(const DictIndex&) = delete;

  // Hash of a string key: the text (n bytes) and its slot.  O(n).
  static unsigned long HashText(const char* pText, unsigned long n, unsigned long nSlot);
  // Hash of a numeric key.  O(1).
  static unsigned long HashNumber(unsigned long nKey);

  // The cell with hash h whose entry satisfies bMatch(entry), or null.
  template <class Match>
  DictIndexCell* Find(unsigned long h, Match bMatch) const {
    if (!pCells) return nullptr;
    for (unsigned long i = h & nMask;; i = (i + 1) & nMask) {
      DictIndexCell* pc = &pCells[i];
      if (!pc->pda) return nullptr;
      if (pc->nHash == h && bMatch(pc->pda)) return pc;
    }
  }
  // Stores a cell (the key must be absent); false when the table is full
  // and cannot grow.  Amortised O(1).
  bool Insert(unsigned long h, CPDictionaryAssociation* pda, CPBucket* pbkt);
  // Removes the cell of pda (stored under h); false when it is not there.
  bool Erase(unsigned long h, const CPDictionaryAssociation* pda);
  // Frees every cell.
  void Clear();
  // Exchanges the whole content with other.  O(1).
  void Swap(DictIndex& other);

  unsigned long Count() const { return nCount; }
  unsigned long Capacity() const { return pCells ? nMask + 1 : 0; }
  const DictIndexCell* Cells() const { return pCells; }

 private:
  bool Grow();  // doubles the capacity (16 at first); false when out of memory

  DictIndexCell* pCells;  // nMask + 1 cells, or null
  unsigned long nMask;    // capacity - 1
  unsigned long nCount;   // cells in use
};

// Test hook: the nth table allocation from now (1 = the next) fails once;
// 0 switches it off.
void SetDictIndexFailure(long nth);

}  // namespace cpcoll_detail

#endif
