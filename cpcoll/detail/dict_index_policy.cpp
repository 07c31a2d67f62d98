#include <cpcoll/detail/dict_index_policy.h>

#include <cpcoll/detail/dict_index_policy_inline.h>

namespace tarncoll::detail {

namespace {
// The tag of a string entry in slot s, from its key string.
unsigned long TagOf(const CPString* str, unsigned long s) {
  unsigned short crc;
  unsigned long h = HashTextCRC(str->GetBuffer(), str->Length(), &crc);
  return TextTag(h, s, (crc & 0xFF) == s);
}
}  // namespace

DictIndexPolicy::DictIndexPolicy() {
  for (unsigned int& n : anUnindexed) n = 0;
}

void DictIndexPolicy::Enter(CPDictionaryAssociation* entry, CPBucket* node, unsigned long s, const IndexPlace* place) {
  using Fields = CPDictionary::EntryFields;
  Fields::SetNode(entry, node);
  if (place && place->how == IndexPlace::kProbe) place = nullptr;
  bool indexed = false;
  if (Fields::IsShared(entry) || (place && place->how == IndexPlace::kNone)) {
    // left out of the index: counted as unindexed below
  } else if (!Fields::IsText(entry)) {
    unsigned long key = Fields::Number(entry);
    unsigned long hole = place ? place->hole : 0;
    if (place || !idxNum.FindOrHole(key, AnyCell, &hole)) indexed = idxNum.InsertAt(NumIndexCell{entry, key}, hole);
  } else if (CPString* str = Fields::KeyString(entry)) {
    if (place && str->Length() == place->length) {
      indexed = idxText.InsertAt(TextIndexCell{entry, str, place->tag}, place->hole);
    } else {
      unsigned long tag = TagOf(str, s), hole;
      const char* text = str->GetBuffer();
      unsigned long n = str->Length();
      auto sameKey = [&](const TextIndexCell& c) { return (c.tag & 0xFF) == s && HasText(c.keyString, text, n); };
      if (!idxText.FindOrHole(tag & kTextHomeMask, sameKey, &hole))
        indexed = idxText.InsertAt(TextIndexCell{entry, str, tag}, hole);
    }
  }
  if (indexed)
    Fields::SetIndexed(entry, true);
  else
    ++anUnindexed[s];
}

void DictIndexPolicy::Leave(CPDictionaryAssociation* entry, unsigned long s, const CPList* slotList) {
  using Fields = CPDictionary::EntryFields;
  if (!Fields::IsIndexed(entry)) {
    --anUnindexed[s];
    Fields::SetNode(entry, nullptr);
    return;
  }
  Fields::SetIndexed(entry, false);
  Fields::SetNode(entry, nullptr);
  const bool text = Fields::IsText(entry);
  const CPString* str = text ? Fields::KeyString(entry) : nullptr;
  if (text)
    idxText.Erase(HashText(str->GetBuffer(), str->Length()) & kTextHomeMask, entry);
  else
    idxNum.Erase(Fields::Number(entry), entry);
  if (anUnindexed[s] == 0) return;
  // Another entry of the same key may now be the first: the earliest
  // unindexed one that is not shared takes the index place.
  ScanSlot(slotList, nullptr, [&](CPDictionaryAssociation* other) {
    if (other == entry || Fields::IsIndexed(other) || Fields::IsShared(other) || Fields::IsText(other) != text)
      return false;
    CPString* otherStr = text ? Fields::KeyString(other) : nullptr;
    if (text ? !otherStr || !HasText(otherStr, str->GetBuffer(), str->Length())
             : Fields::Number(other) != Fields::Number(entry))
      return false;
    bool in = text ? idxText.Insert(TextIndexCell{other, otherStr, TagOf(otherStr, s)})
                   : idxNum.Insert(NumIndexCell{other, Fields::Number(other)});
    if (in) {
      Fields::SetIndexed(other, true);
      --anUnindexed[s];
    }
    return true;
  });
}

void DictIndexPolicy::Clear() {
  for (unsigned int& n : anUnindexed) n = 0;
  idxNum.Clear();
  idxText.Clear();
}

void DictIndexPolicy::Swap(DictIndexPolicy& other) {
  idxNum.Swap(other.idxNum);
  idxText.Swap(other.idxText);
  for (unsigned long s = 0; s < 256; ++s) {
    unsigned int n = anUnindexed[s];
    anUnindexed[s] = other.anUnindexed[s];
    other.anUnindexed[s] = n;
  }
}

}  // namespace tarncoll::detail
