// Internal: which entries of a CPDictionary its key index knows, and how.
//
// The index maps a key to the first entry of that key in its slot, so that
// lookups and removals need not scan the slot list.  It must answer exactly
// as the scan would, so it keeps only entries it can vouch for:
//
//   indexed      the first entry of its key in its slot, whose key cannot
//                change: flagged in the entry, one cell in a table
//   unindexed    a later entry of an indexed key (a duplicate), an entry
//                whose key string is shared with other holders (its text
//                may change), or one the table had no room for: counted
//                per slot in anUnindexed
//
//   numeric cell: [entry | key]          in idxNum, probed by the key
//   text cell:    [entry | string | tag] in idxText, probed by the hash bits
//                 of the tag; tag = hash bits | natural | slot (dict_hash.h)
//
// A slot with unindexed entries is scanned instead of probed: the scan sees
// duplicates in order and shared strings as they read now.  When an indexed
// entry leaves and its slot has unindexed entries, the earliest unshared
// entry of the same key takes its place, so the first entry of a key is
// indexed whenever it can be.
//
// Invariants (checked by CPDictionaryInspector in the tests):
//   1. The tables hold exactly the entries flagged indexed, each once; no
//      two indexed entries share a key; a text cell's tag is the entry's.
//   2. anUnindexed[s] is the number of unflagged entries of slot s.
//
// Costs: Locate / Find O(1) expected, or O(slot) in a slot with unindexed
// entries; Enter amortised O(1); Leave O(1), plus O(slot) when the slot
// has unindexed entries; Clear O(1) beside freeing the tables.
//
// The slot lists stay the dictionary's; the policy reads them and the
// entries' index fields (flags, node) and never allocates or frees either.
#ifndef TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_POLICY_H
#define TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_POLICY_H

#include <cpcoll/detail/dict_index.h>

class CPBucket;
class CPList;
struct CPDictionaryInspector;

namespace tarncoll {
namespace detail {

// A string key as a lookup sees it.
struct TextKey {
  const char* text;      // the text (not null)
  unsigned long length;  // strlen(text)
  unsigned long hash;    // HashText of the text
  unsigned long crc;     // when hasCRC: the CRC filing it, the caller's or the text's own
  bool given;            // crc is the caller's
  bool hasCRC;           // crc is known

  // The key of text; its CRC is *pnCRC when given, else computed only when
  // needed.  O(length).
  static inline TextKey Make(const char* text, const unsigned long* givenCRC);
  // The filing CRC, computed from the text at most once.
  inline unsigned long CRC();
  // True when slot s is the slot of the text's own CRC.
  inline bool NaturalSlot(unsigned long s) const;
};

// How a new entry enters the index: by a probe of its own (kProbe), at a
// free cell found while its key was looked up (kAt; tag and length of the
// looked-up key), or not at all (kNone: a duplicate of an indexed key).
struct IndexPlace {
  enum How { kProbe, kAt, kNone } how;
  unsigned long hole;    // kAt: the cell (or the table's kNoHole: no table yet)
  unsigned long tag;     // kAt, text entries: the key's tag
  unsigned long length;  // kAt, text entries: the key's length
};

class DictIndexPolicy {
  friend struct ::CPDictionaryInspector;

 public:
  // No entries known, no table allocated.
  DictIndexPolicy();
  DictIndexPolicy(const DictIndexPolicy&) = delete;
  DictIndexPolicy& operator=(const DictIndexPolicy&) = delete;

  // ---- locating (the slot lists are read, nothing changes) ----

  // The first numeric entry of key in its slot, or null; slots is the
  // dictionary's slot table.  Its node goes to *node and the index place
  // for a new entry of the key to *place, when given.
  inline CPDictionaryAssociation* LocateNumber(unsigned long key, CPList* const* slots, CPBucket** node,
                                               IndexPlace* place) const;
  // The first string entry of key in its slot, or null.  The key's slot
  // goes to *slotOut (for a key without a CRC of its own: the slot of a
  // natural indexed entry of the text, else the one of its CRC); node as
  // LocateNumber.  The place for a new entry of the key goes to *place
  // complete: a kAt place carries the key's tag for that slot, and the
  // empty text (stored as another text) takes a probe of its own.
  inline CPDictionaryAssociation* LocateText(TextKey& key, CPList* const* slots, unsigned long* slotOut,
                                             CPBucket** node, IndexPlace* place) const;
  // LocateNumber without node and place, the probe kept short.
  inline CPDictionaryAssociation* FindNumber(unsigned long key, CPList* const* slots) const;
  // LocateText without node and place, a key without a CRC of its own
  // found by one probe when its slot has no unindexed entries.
  inline CPDictionaryAssociation* FindText(TextKey& key, CPList* const* slots, unsigned long* slotOut) const;

  // ---- entering and leaving ----

  // Bookkeeping of a new entry (key set) linked at node of slot s: the
  // entry learns its node; unless it is shared or place says kNone it goes
  // into its table (at place->hole when place is kAt, by a probe when place
  // is null or kProbe), else, or when the table cannot grow, it is counted
  // unindexed.  Never reports.
  void Enter(CPDictionaryAssociation* entry, CPBucket* node, unsigned long s, const IndexPlace* place);
  // Bookkeeping of an entry about to be unlinked from slot s, whose list
  // slotList still holds it: it leaves its table or the count; when it was
  // indexed, the earliest unshared unindexed entry of the same key in the
  // slot takes its place (if the table has room).
  void Leave(CPDictionaryAssociation* entry, unsigned long s, const CPList* slotList);
  // Forgets every entry (their flags are not touched: the entries are
  // going) and frees the tables.
  void Clear();
  // Exchanges the whole state with other.  O(256).
  void Swap(DictIndexPolicy& other);

  // The unindexed entries of slot s.
  unsigned int Unindexed(unsigned long s) const { return anUnindexed[s]; }

 private:
  // The first entry in list order of slot for which match(entry) holds,
  // its node to *node when given; null when none.
  template <class Match>
  static CPDictionaryAssociation* ScanSlot(const CPList* slot, CPBucket** node, Match match);

  NumIndex idxNum;                // numeric key -> first entry
  TextIndex idxText;              // (slot, key text) -> first entry
  unsigned int anUnindexed[256];  // entries per slot not in the tables
};

}  // namespace detail
}  // namespace tarncoll

#endif
