// Internal: the inline members of DictIndexPolicy (dict_index_policy.h),
// for the library's own sources and tests.  The lookups are inline so that
// a find costs the hash and one probe, without calls.
#ifndef TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_POLICY_INLINE_H
#define TARNCOLL_CPCOLL_DETAIL_DICT_INDEX_POLICY_INLINE_H

#include <cstring>

#include <cpcoll/Cpdict.h>
#include <cpcoll/detail/dict_hash.h>
#include <cpcoll/detail/dict_index_policy.h>

// The entry fields the index keeps and reads (private to the entry, open to
// its dictionary).
struct CPDictionary::EntryFields {
  static bool IsText(const CPDictionaryAssociation* e) { return e->bUseString != 0; }
  static CPString* KeyString(const CPDictionaryAssociation* e) { return e->pstrKey; }  // text entries
  static unsigned long Number(const CPDictionaryAssociation* e) {                       // numeric entries
    return static_cast<unsigned long>(e->nKeyCardinal);
  }
  static bool IsIndexed(const CPDictionaryAssociation* e) {
    return (e->bfFlags & CPDictionaryAssociation::eflagIndexed) != 0;
  }
  static bool IsShared(const CPDictionaryAssociation* e) {
    return (e->bfFlags & CPDictionaryAssociation::eflagShared) != 0;
  }
  static void SetIndexed(CPDictionaryAssociation* e, bool indexed) {
    if (indexed)
      e->bfFlags |= CPDictionaryAssociation::eflagIndexed;
    else
      e->bfFlags &= ~CPDictionaryAssociation::eflagIndexed;
  }
  static CPBucket* Node(const CPDictionaryAssociation* e) { return e->pbktNode; }
  static void SetNode(CPDictionaryAssociation* e, CPBucket* node) { e->pbktNode = node; }
};

namespace tarncoll::detail {

// Every numeric cell with the probed key matches.
inline bool AnyCell(const NumIndexCell&) { return true; }

// True when the key string holds the n bytes of text.
inline bool HasText(const CPString* str, const char* text, unsigned long n) {
  return str->Length() == n && SameBytes(str->GetBuffer(), text, n);
}

// ---- TextKey ----------------------------------------------------------------

TARNCOLL_DICT_INLINE TextKey TextKey::Make(const char* text, const unsigned long* givenCRC) {
  TextKey k;
  k.text = text;
  k.length = std::strlen(text);
  k.hash = HashText(text, k.length);
  k.given = k.hasCRC = givenCRC != nullptr;
  k.crc = givenCRC ? *givenCRC : 0;
  return k;
}

inline unsigned long TextKey::CRC() {
  if (!hasCRC) {
    crc = TextCRC(text, length);
    hasCRC = true;
  }
  return crc;
}

inline bool TextKey::NaturalSlot(unsigned long s) const { return !given || (TextCRC(text, length) & 0xFF) == s; }

// ---- DictIndexPolicy: locating ---------------------------------------------------

template <class Match>
CPDictionaryAssociation* DictIndexPolicy::ScanSlot(const CPList* slot, CPBucket** node, Match match) {
  for (CPBucket* b = slot->_get_pbktHead(); b; b = b->_get_pbktNext()) {
    CPDictionaryAssociation* e = static_cast<CPDictionaryAssociation*>(b->_get_pvData());
    if (match(e)) {
      if (node) *node = b;
      return e;
    }
  }
  return nullptr;
}

inline CPDictionaryAssociation* DictIndexPolicy::LocateNumber(unsigned long key, CPList* const* slots, CPBucket** node,
                                                              IndexPlace* place) const {
  unsigned long s = key & 0xFF;
  if (anUnindexed[s]) {
    if (place) place->how = IndexPlace::kProbe;
    long wanted = static_cast<long>(key);
    return ScanSlot(slots[s], node, [&](const CPDictionaryAssociation* e) { return e->MatchKeyCardinal(wanted) != 0; });
  }
  unsigned long hole;
  const NumIndexCell* pc = idxNum.FindOrHole(key, AnyCell, &hole);
  if (place) *place = IndexPlace{pc ? IndexPlace::kNone : IndexPlace::kAt, hole, 0, 0};
  if (!pc) return nullptr;
  if (node) *node = CPDictionary::EntryFields::Node(pc->entry);
  return pc->entry;
}

inline CPDictionaryAssociation* DictIndexPolicy::LocateText(TextKey& key, CPList* const* slots, unsigned long* slotOut,
                                                            CPBucket** node, IndexPlace* place) const {
  unsigned long s, hole = 0;
  const TextIndexCell* pc = nullptr;
  if (!key.given) {
    // The text's own slot: a natural cell with the text names it, else
    // the CRC does.
    pc = idxText.FindOrHole(
        key.hash & kTextHomeMask,
        [&](const TextIndexCell& c) { return (c.tag & kTextNatural) && HasText(c.keyString, key.text, key.length); },
        &hole);
    s = pc ? pc->tag & 0xFF : key.CRC() & 0xFF;
  } else {
    s = key.crc & 0xFF;
    if (!anUnindexed[s])
      pc = idxText.FindOrHole(
          key.hash & kTextHomeMask,
          [&](const TextIndexCell& c) { return (c.tag & 0xFF) == s && HasText(c.keyString, key.text, key.length); },
          &hole);
  }
  *slotOut = s;
  if (anUnindexed[s]) {
    if (place) place->how = IndexPlace::kProbe;
    return ScanSlot(slots[s], node, [&](const CPDictionaryAssociation* e) { return e->MatchKeyString(key.text) != 0; });
  }
  if (place) {
    *place = IndexPlace{pc ? IndexPlace::kNone : IndexPlace::kAt, hole, 0, key.length};
    if (key.length == 0)
      place->how = IndexPlace::kProbe;
    else if (!pc)
      place->tag = TextTag(key.hash, s, key.NaturalSlot(s));
  }
  if (!pc) return nullptr;
  if (node) *node = CPDictionary::EntryFields::Node(pc->entry);
  return pc->entry;
}

inline CPDictionaryAssociation* DictIndexPolicy::FindNumber(unsigned long key, CPList* const* slots) const {
  if (anUnindexed[key & 0xFF]) return LocateNumber(key, slots, nullptr, nullptr);
  const NumIndexCell* pc = idxNum.Find(key, AnyCell);
  return pc ? pc->entry : nullptr;
}

inline CPDictionaryAssociation* DictIndexPolicy::FindText(TextKey& key, CPList* const* slots,
                                                          unsigned long* slotOut) const {
  if (!key.given) {  // the common case, kept short: a natural cell in a slot without unindexed entries
    const TextIndexCell* pc = idxText.Find(key.hash & kTextHomeMask, [&](const TextIndexCell& c) {
      return (c.tag & kTextNatural) && HasText(c.keyString, key.text, key.length);
    });
    if (pc && !anUnindexed[pc->tag & 0xFF]) {
      if (slotOut) *slotOut = pc->tag & 0xFF;
      return pc->entry;
    }
  }
  unsigned long s;
  CPDictionaryAssociation* e = LocateText(key, slots, &s, nullptr, nullptr);
  if (slotOut) *slotOut = s;
  return e;
}

}  // namespace tarncoll::detail

#endif
