// Test support: the O(n) invariant check of CPDictionary and read access to
// its internals (slot lists, key index, parallel vector, cursors), and the
// check of a key index against hand-made slot lists.
#ifndef TARNCOLL_TESTS_SUPPORT_DICTIONARY_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_DICTIONARY_INSPECTOR_H

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/detail/dict_hash.h>
#include <util/crc16.h>

struct CPDictionaryInspector {
  typedef CPDictionaryAssociation Entry;

  static CPList* Slot(const CPDictionary& d, unsigned long s) { return d.arplstSlots[s]; }
  typedef tarncoll::detail::DictIndexPolicy Policy;

  static const Policy& KeyIndex(const CPDictionary& d) { return d.keyIndex; }
  static unsigned int Unindexed(const CPDictionary& d, unsigned long s) { return d.keyIndex.anUnindexed[s]; }
  static unsigned long IndexCount(const CPDictionary& d) { return IndexCount(d.keyIndex); }
  static unsigned long IndexCount(const Policy& idx) { return idx.idxNum.Count() + idx.idxText.Count(); }
  static unsigned long NumCapacity(const Policy& idx) { return idx.idxNum.Capacity(); }
  static unsigned long TextCapacity(const Policy& idx) { return idx.idxText.Capacity(); }
  static CPBucket* Node(const Entry* pda) { return pda->pbktNode; }
  // Hand-made entries: the slot CRC and the shared flag that the adds set.
  static void SetKeyCRC(Entry* pda, unsigned short nCRC) { pda->nKeyCRC = nCRC; }
  static void MarkShared(Entry* pda) { pda->bfFlags |= Entry::eflagShared; }
  static bool IsIndexed(const Entry* pda) { return (pda->bfFlags & Entry::eflagIndexed) != 0; }
  static bool IsShared(const Entry* pda) { return (pda->bfFlags & Entry::eflagShared) != 0; }
  static unsigned short KeyCRC(const Entry* pda) { return pda->nKeyCRC; }
  static bool VectorFresh(const CPDictionary& d) { return d.bRefreshVector == 0; }
  static Entry* Found(const CPDictionary& d) { return d.pdaFound; }
  static short CursorSlot(const CPDictionary& d) { return d.nCurrentSlot; }
  static short StateSlot(const DictionaryIterationState& s) { return s.nCurrentSlot; }
  static CPBucket* StateNode(const DictionaryIterationState& s) { return s.pbktCursor; }
  static Entry* FindDA(CPDictionary& d, const char* psz, unsigned long* pnCRC, unsigned long* pnSlot) {
    return d.FindDAKeyString(psz, pnCRC, pnSlot);
  }
  static unsigned long HashOnString(CPDictionary& d, const char* psz) { return d.HashOnString(psz); }
  static unsigned long HashOnCardinal(CPDictionary& d, unsigned long n) { return d.HashOnCardinal(n); }
  static unsigned long NextNonblankSlot(CPDictionary& d, unsigned long s) { return d.NextNonblankSlot(s); }
  // Corrupts the count, to reach the report of a removal at count 0.
  static void SetLength(CPDictionary& d, unsigned long n) { d.nLength = n; }

  // The entries in iteration order, read straight from the slot lists.
  static std::vector<Entry*> Entries(const CPDictionary& d) {
    std::vector<Entry*> v;
    for (unsigned long s = 0; s < 256; ++s)
      if (d.arplstSlots[s])
        for (CPBucket* p = d.arplstSlots[s]->_get_pbktHead(); p; p = p->_get_pbktNext())
          v.push_back(static_cast<Entry*>(p->_get_pvData()));
    return v;
  }

  // "" when every invariant holds, else the first violation found.
  // bRealCRCs: every string entry was filed under its text's own CRC (no
  // caller-made pnCRC), so nKeyCRC must equal it.
  static std::string Check(const CPDictionary& d, bool bRealCRCs = true) {
    std::ostringstream err;
    unsigned long nEntries = 0;
    for (unsigned long s = 0; s < 256; ++s) {
      CPList* plst = d.arplstSlots[s];
      if (!plst) continue;
      if (plst->Length() == 0) return Fail(err << "empty slot list in slot " << s);
      unsigned long nInSlot = 0;
      CPBucket* pPrev = nullptr;
      for (CPBucket* p = plst->_get_pbktHead(); p; p = p->_get_pbktNext()) {
        if (p->_get_pbktPrev() != pPrev) return Fail(err << "broken back link in slot " << s);
        if (++nInSlot > plst->Length()) return Fail(err << "slot " << s << " longer than its count");
        pPrev = p;
        Entry* pda = static_cast<Entry*>(p->_get_pvData());
        if (!pda) return Fail(err << "null entry in slot " << s);
        if (pda->bUseString) {
          if (!pda->pstrKey) return Fail(err << "string entry without key string in slot " << s);
          if ((pda->nKeyCRC & 0xFF) != s) return Fail(err << "string entry filed in slot " << s);
          unsigned short nReal = crc16::Update(0, pda->pstrKey->GetBuffer(), pda->pstrKey->Length());
          bool bUnNamed = pda->nKeyCRC == 0 && std::strcmp(pda->pstrKey->GetBuffer(), "UnNamed") == 0;
          if (bRealCRCs && !IsShared(pda) && pda->nKeyCRC != nReal && !bUnNamed)
            return Fail(err << "key \"" << pda->pstrKey->GetBuffer() << "\" filed under a foreign CRC");
        } else if ((static_cast<unsigned long>(pda->nKeyCardinal) & 0xFF) != s) {
          return Fail(err << "numeric key " << pda->nKeyCardinal << " in slot " << s);
        }
      }
      if (pPrev != plst->_get_pbktTail()) return Fail(err << "tail mismatch in slot " << s);
      if (nInSlot != plst->Length()) return Fail(err << "slot " << s << " count mismatch");
      nEntries += nInSlot;
    }
    if (nEntries != d.Length()) return Fail(err << "nLength " << d.Length() << " but " << nEntries << " entries");
    std::string sIndex = CheckIndex(d.keyIndex, d.arplstSlots);
    if (!sIndex.empty()) return sIndex;
    std::vector<Entry*> order = Entries(d);
    if (d.bRefreshVector == 0)
      for (unsigned long i = 0; i < order.size(); ++i)
        if (d.arpdaVector[i] != order[i]) return Fail(err << "parallel vector differs at " << i);
    if (d.pdaFound && (std::find(order.begin(), order.end(), d.pdaFound) == order.end() || !d.pdaFound->bUseString))
      return Fail(err << "pdaFound names a removed entry");
    return std::string();
  }

  // "" when the key index agrees with the slot lists (slots[0..255], each
  // null or a list of entries whose keys are set), else the first fault:
  // every entry knows its node; the tables hold exactly the flagged
  // entries, each once, with its own key (numeric) or key string and tag
  // (text), reachable from its home cell, no other cell on that way with
  // the same key; no shared entry is flagged; each slot's count of
  // unflagged entries is the policy's.
  static std::string CheckIndex(const Policy& idx, CPList* const* slots) {
    std::ostringstream err;
    unsigned long nIndexedFlags = 0;
    std::vector<const CPBucket*> nodes;
    for (unsigned long s = 0; s < 256; ++s) {
      unsigned long nUnindexed = 0;
      for (CPBucket* p = slots[s] ? slots[s]->_get_pbktHead() : nullptr; p; p = p->_get_pbktNext()) {
        nodes.push_back(p);
        const Entry* pda = static_cast<const Entry*>(p->_get_pvData());
        if (pda->pbktNode != p) return Fail(err << "entry in slot " << s << " does not know its node");
        if (IsIndexed(pda)) {
          if (IsShared(pda)) return Fail(err << "shared entry in the index");
          ++nIndexedFlags;
        } else {
          ++nUnindexed;
        }
      }
      if (nUnindexed != idx.anUnindexed[s]) return Fail(err << "unindexed count of slot " << s);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<const Entry*> inCells;
    std::string sNum = CheckTable(idx.idxNum, nodes, inCells, [](const Entry* pda, const tarncoll::detail::NumIndexCell& c) {
      if (pda->bUseString) return "string entry in the numeric index";
      return static_cast<unsigned long>(pda->nKeyCardinal) == c.key ? "" : "numeric cell with a foreign key";
    });
    if (!sNum.empty()) return sNum;
    std::string sText = CheckTable(idx.idxText, nodes, inCells, [](const Entry* pda, const tarncoll::detail::TextIndexCell& c) {
      if (!pda->bUseString) return "numeric entry in the text index";
      if (c.keyString != pda->pstrKey) return "text cell with a foreign key string";
      return c.tag == TagOf(pda) ? "" : "text cell with a stale tag";
    });
    if (!sText.empty()) return sText;
    std::sort(inCells.begin(), inCells.end());
    if (std::adjacent_find(inCells.begin(), inCells.end()) != inCells.end()) return Fail(err << "entry in two cells");
    if (inCells.size() != nIndexedFlags || inCells.size() != IndexCount(idx)) return Fail(err << "index count mismatch");
    return std::string();
  }

 private:
  // The index key of an entry: kind, then slot and text, or number.
  static bool SameKey(const Entry* a, const Entry* b) {
    if (a->bUseString != b->bUseString) return false;
    if (!a->bUseString) return a->nKeyCardinal == b->nKeyCardinal;
    return (a->nKeyCRC & 0xFF) == (b->nKeyCRC & 0xFF) && std::strcmp(a->pstrKey->GetBuffer(), b->pstrKey->GetBuffer()) == 0;
  }
  // The tag of a string entry: natural exactly when its slot is the one
  // of its text's own CRC.
  static unsigned long TagOf(const Entry* pda) {
    const CPString* pstr = pda->pstrKey;
    unsigned long nSlot = pda->nKeyCRC & 0xFF;
    bool bNatural = (crc16::Update(0, pstr->GetBuffer(), pstr->Length()) & 0xFF) == nSlot;
    return tarncoll::detail::TextTag(tarncoll::detail::HashText(pstr->GetBuffer(), pstr->Length()), nSlot, bNatural);
  }
  // One index table: every cell's entry flagged, linked (its node among
  // nodes, sorted), described by its cell (check(entry, cell) == ""),
  // reachable from its home and unique by key; entries appended to inCells.
  template <class Table, class CellCheck>
  static std::string CheckTable(const Table& t, const std::vector<const CPBucket*>& nodes,
                                std::vector<const Entry*>& inCells, CellCheck check) {
    std::ostringstream err;
    unsigned long nCap = t.Capacity(), nMask = nCap - 1, nHere = 0;
    const auto* pc = t.Cells();
    for (unsigned long i = 0; i < nCap; ++i) {
      if (!pc[i].entry) continue;
      const Entry* pda = pc[i].entry;
      inCells.push_back(pda);
      ++nHere;
      if (!IsIndexed(pda)) return Fail(err << "index cell of an unflagged entry");
      if (!std::binary_search(nodes.begin(), nodes.end(), pda->pbktNode)) return Fail(err << "index cell of an unlinked entry");
      std::string sCell = check(pda, pc[i]);
      if (!sCell.empty()) return sCell;
      for (unsigned long j = t.Home(pc[i].Probe()); j != i; j = (j + 1) & nMask) {
        if (!pc[j].entry) return Fail(err << "index cell unreachable from its home");
        if (pc[j].Probe() == pc[i].Probe() && SameKey(pc[j].entry, pda)) return Fail(err << "two indexed entries share a key");
      }
    }
    if (nHere != t.Count()) return Fail(err << "index table count mismatch");
    if (nCap && nHere * 4 > nCap * 3) return Fail(err << "index over-full");
    return std::string();
  }
  static std::string Fail(std::ostream& os) { return static_cast<std::ostringstream&>(os).str(); }
};

#endif
