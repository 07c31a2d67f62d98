// The dictionary's key index policy on hand-made slot lists: which entries
// are indexed, their tags and holes, duplicates re-indexed on leave, and a
// table that cannot grow.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <cpcoll/detail/dict_index_policy_inline.h>
#include <support/dictionary_inspector.h>

namespace tarncoll::test {
namespace {

using Insp = CPDictionaryInspector;
using tarncoll::detail::DictIndexPolicy;
using tarncoll::detail::IndexPlace;
using tarncoll::detail::TextKey;
using Entry = CPDictionaryAssociation;

// 256 slot lists and a policy, filled the way the dictionary fills them:
// locate (which yields the place), append to the slot list, enter.
struct HandMade {
  CPList* slots[256] = {};
  DictIndexPolicy idx;
  std::vector<std::unique_ptr<Entry>> owned;

  ~HandMade() {
    for (CPList* plst : slots) delete plst;
  }

  Entry* Link(std::unique_ptr<Entry> e, unsigned long s, const IndexPlace* place) {
    if (!slots[s]) slots[s] = new CPList;
    slots[s]->Add(e.get());
    idx.Enter(e.get(), slots[s]->_get_pbktTail(), s, place);
    owned.push_back(std::move(e));
    return owned.back().get();
  }
  Entry* AddNumber(unsigned long key) {
    IndexPlace place;
    idx.LocateNumber(key, slots, nullptr, &place);
    std::unique_ptr<Entry> e(new Entry);
    e->SetKeyCardinal(static_cast<long>(key));
    return Link(std::move(e), key & 0xFF, &place);
  }
  // pnCRC: null (the text's own CRC files it) or the caller's CRC.
  Entry* AddText(const char* text, unsigned long* pnCRC = nullptr, bool shared = false) {
    TextKey k = TextKey::Make(text, pnCRC);
    IndexPlace place;
    unsigned long s;
    idx.LocateText(k, slots, &s, nullptr, &place);
    std::unique_ptr<Entry> e(new Entry);
    e->SetKeyString(text);
    Insp::SetKeyCRC(e.get(), static_cast<unsigned short>(k.CRC()));
    if (shared) Insp::MarkShared(e.get());
    return Link(std::move(e), k.CRC() & 0xFF, &place);
  }
  void Remove(Entry* e, unsigned long s) {
    CPBucket* node = Insp::Node(e);
    idx.Leave(e, s, slots[s]);
    slots[s]->DetachBucket(node);
    if (slots[s]->Length() == 0) {
      delete slots[s];
      slots[s] = nullptr;
    }
  }
  Entry* FindText(const char* text, unsigned long* pnCRC = nullptr, unsigned long* ps = nullptr) {
    TextKey k = TextKey::Make(text, pnCRC);
    return idx.FindText(k, slots, ps);
  }
  std::string Check() const { return Insp::CheckIndex(idx, slots); }
};

#define EXPECT_INDEX_SOUND(h) EXPECT_EQ((h).Check(), "")

unsigned long OwnCRC(const char* text) { return crc16::Update(0, text, static_cast<unsigned long>(strlen(text))); }

TEST(DictIndexPolicy, FreshPolicyHasNoTableAndFindsNothing) {
  HandMade h;
  EXPECT_EQ(Insp::NumCapacity(h.idx), 0u);
  EXPECT_EQ(Insp::TextCapacity(h.idx), 0u);
  EXPECT_EQ(h.idx.FindNumber(7, h.slots), nullptr);
  unsigned long s = 999;
  EXPECT_EQ(h.FindText("abc", nullptr, &s), nullptr);
  EXPECT_EQ(s, OwnCRC("abc") & 0xFF);  // an absent key names its CRC's slot
  // The place of a first key: a free cell, the hole reported as "no table".
  IndexPlace place;
  EXPECT_EQ(h.idx.LocateNumber(7, h.slots, nullptr, &place), nullptr);
  EXPECT_EQ(place.how, IndexPlace::kAt);
  EXPECT_EQ(place.hole, static_cast<unsigned long>(tarncoll::detail::NumIndex::kNoHole));
}

TEST(DictIndexPolicy, LocatesByNumberWithNodeAndPlace) {
  // slot 1: [1] <-> [257] <-> [513], all three indexed
  HandMade h;
  Entry* e1 = h.AddNumber(1);
  Entry* e257 = h.AddNumber(257);
  Entry* e513 = h.AddNumber(513);
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.idx.Unindexed(1), 0u);
  EXPECT_EQ(Insp::IndexCount(h.idx), 3u);
  CPBucket* node = nullptr;
  IndexPlace place;
  EXPECT_EQ(h.idx.LocateNumber(257, h.slots, &node, &place), e257);
  EXPECT_EQ(node, Insp::Node(e257));
  EXPECT_EQ(node->_get_pvData(), e257);
  EXPECT_EQ(place.how, IndexPlace::kNone);  // a second 257 would be a duplicate
  EXPECT_EQ(h.idx.FindNumber(1, h.slots), e1);
  EXPECT_EQ(h.idx.FindNumber(513, h.slots), e513);
  EXPECT_EQ(h.idx.FindNumber(769, h.slots), nullptr);
  EXPECT_EQ(h.idx.FindNumber(2, h.slots), nullptr);
}

TEST(DictIndexPolicy, TextTagsCarrySlotAndNaturalBit) {
  HandMade h;
  unsigned long foreign = (OwnCRC("abc") + 1) & 0xFF;
  Entry* own = h.AddText("abc");
  Entry* other = h.AddText("abc", &foreign);  // the same text filed in another slot: another key
  EXPECT_INDEX_SOUND(h);                      // tags checked: slot bits and the natural bit
  EXPECT_TRUE(Insp::IsIndexed(own));
  EXPECT_TRUE(Insp::IsIndexed(other));
  unsigned long s = 999;
  EXPECT_EQ(h.FindText("abc", nullptr, &s), own);  // without a CRC: the natural cell
  EXPECT_EQ(s, OwnCRC("abc") & 0xFF);
  EXPECT_EQ(h.FindText("abc", &foreign, &s), other);
  EXPECT_EQ(s, foreign);
  unsigned long natural = OwnCRC("abc");
  EXPECT_EQ(h.FindText("abc", &natural), own);
  EXPECT_EQ(h.FindText("abd"), nullptr);
  EXPECT_EQ(h.FindText("ab"), nullptr);
}

TEST(DictIndexPolicy, TextPlaceCarriesTheTagOrAProbe) {
  HandMade h;
  TextKey k = TextKey::Make("key", nullptr);
  unsigned long s;
  IndexPlace place;
  h.idx.LocateText(k, h.slots, &s, nullptr, &place);
  ASSERT_EQ(place.how, IndexPlace::kAt);
  EXPECT_EQ(s, OwnCRC("key") & 0xFF);
  EXPECT_EQ(place.tag, tarncoll::detail::TextTag(k.hash, s, true));
  EXPECT_EQ(place.length, 3u);
  unsigned long foreign = (OwnCRC("key") + 3) & 0xFF;
  TextKey given = TextKey::Make("key", &foreign);
  h.idx.LocateText(given, h.slots, &s, nullptr, &place);
  ASSERT_EQ(place.how, IndexPlace::kAt);
  EXPECT_EQ(s, foreign);
  EXPECT_EQ(place.tag, tarncoll::detail::TextTag(k.hash, foreign, false));  // not natural: bit 8 clear
  // The empty text is stored as another text: it takes a probe of its own.
  TextKey empty = TextKey::Make("", nullptr);
  h.idx.LocateText(empty, h.slots, &s, nullptr, &place);
  EXPECT_EQ(place.how, IndexPlace::kProbe);
  // A present key gives no place: a second entry is a duplicate.
  h.AddText("key");
  h.idx.LocateText(k, h.slots, &s, nullptr, &place);
  EXPECT_EQ(place.how, IndexPlace::kNone);
}

TEST(DictIndexPolicy, DuplicatesStayOutAndTheEarliestTakesOverOnLeave) {
  // slot 5: [5 a] <-> [5 b] <-> [261] <-> [5 c]; a indexed, b and c duplicates
  HandMade h;
  Entry* a = h.AddNumber(5);
  Entry* b = h.AddNumber(5);
  Entry* e261 = h.AddNumber(261);
  Entry* c = h.AddNumber(5);
  EXPECT_INDEX_SOUND(h);
  EXPECT_FALSE(Insp::IsIndexed(b));
  EXPECT_FALSE(Insp::IsIndexed(c));
  EXPECT_EQ(h.idx.Unindexed(5), 2u);
  EXPECT_EQ(h.idx.FindNumber(5, h.slots), a);  // by the scan: the first in the slot
  EXPECT_EQ(h.idx.FindNumber(261, h.slots), e261);
  IndexPlace place;
  h.idx.LocateNumber(5, h.slots, nullptr, &place);
  EXPECT_EQ(place.how, IndexPlace::kProbe);  // a scanned slot gives no hole
  h.Remove(a, 5);
  // slot 5: [5 b] <-> [261] <-> [5 c]; b indexed in a's place
  EXPECT_INDEX_SOUND(h);
  EXPECT_TRUE(Insp::IsIndexed(b));
  EXPECT_FALSE(Insp::IsIndexed(c));
  EXPECT_EQ(h.idx.Unindexed(5), 1u);
  EXPECT_EQ(h.idx.FindNumber(5, h.slots), b);
  h.Remove(c, 5);  // an unindexed one leaves the count
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.idx.Unindexed(5), 0u);
  EXPECT_EQ(h.idx.FindNumber(5, h.slots), b);  // now by the probe
  h.Remove(b, 5);
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.idx.FindNumber(5, h.slots), nullptr);
  EXPECT_EQ(h.idx.FindNumber(261, h.slots), e261);
}

TEST(DictIndexPolicy, SharedEntriesAreNeverIndexedNorTakeOver) {
  // slot of "k": [k] <-> [k shared] <-> [k]; the third takes over
  HandMade h;
  const unsigned long s = OwnCRC("k") & 0xFF;
  Entry* first = h.AddText("k");
  Entry* shared = h.AddText("k", nullptr, true);
  Entry* third = h.AddText("k");
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.idx.Unindexed(s), 2u);
  EXPECT_EQ(h.FindText("k"), first);
  h.Remove(first, s);
  EXPECT_INDEX_SOUND(h);
  EXPECT_FALSE(Insp::IsIndexed(shared));
  EXPECT_TRUE(Insp::IsIndexed(third));
  EXPECT_EQ(h.FindText("k"), shared);  // the scan still answers: the first in the slot
  h.Remove(shared, s);
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.idx.Unindexed(s), 0u);
  EXPECT_EQ(h.FindText("k"), third);
  // A shared entry alone in its slot stays out too.
  Entry* alone = h.AddText("solo", nullptr, true);
  EXPECT_FALSE(Insp::IsIndexed(alone));
  EXPECT_EQ(h.FindText("solo"), alone);
  EXPECT_INDEX_SOUND(h);
}

TEST(DictIndexPolicy, TableThatCannotGrowLeavesEntriesCounted) {
  HandMade h;
  tarncoll::detail::SetDictIndexFailure(1);
  Entry* e = h.AddNumber(9);  // the first table allocation fails
  tarncoll::detail::SetDictIndexFailure(0);
  EXPECT_FALSE(Insp::IsIndexed(e));
  EXPECT_EQ(h.idx.Unindexed(9), 1u);
  EXPECT_EQ(Insp::NumCapacity(h.idx), 0u);
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.idx.FindNumber(9, h.slots), e);
  // Grow a table to 12 of 16 cells, then fail the doubling.
  std::vector<Entry*> texts;
  for (int i = 0; i < 12; ++i) texts.push_back(h.AddText(("t" + std::to_string(i)).c_str()));
  EXPECT_EQ(Insp::TextCapacity(h.idx), 16u);
  tarncoll::detail::SetDictIndexFailure(1);
  Entry* late = h.AddText("late");
  tarncoll::detail::SetDictIndexFailure(0);
  EXPECT_FALSE(Insp::IsIndexed(late));
  EXPECT_EQ(Insp::TextCapacity(h.idx), 16u);
  EXPECT_INDEX_SOUND(h);
  EXPECT_EQ(h.FindText("late"), late);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(h.FindText(("t" + std::to_string(i)).c_str()), texts[i]);
  // An entry left out leaves by the count.
  h.Remove(e, 9);
  EXPECT_EQ(h.idx.Unindexed(9), 0u);
  EXPECT_INDEX_SOUND(h);
}

TEST(DictIndexPolicy, ClearAndSwapMoveTheWholeState) {
  HandMade h;
  h.AddNumber(3);
  h.AddNumber(3);  // a duplicate: slot 3 counts one unindexed
  h.AddText("x");
  DictIndexPolicy other;
  h.idx.Swap(other);
  EXPECT_EQ(h.idx.Unindexed(3), 0u);
  EXPECT_EQ(Insp::IndexCount(h.idx), 0u);
  EXPECT_EQ(other.Unindexed(3), 1u);
  EXPECT_EQ(Insp::IndexCount(other), 2u);
  EXPECT_EQ(Insp::CheckIndex(other, h.slots), "");
  other.Clear();
  EXPECT_EQ(other.Unindexed(3), 0u);
  EXPECT_EQ(Insp::IndexCount(other), 0u);
  EXPECT_EQ(Insp::NumCapacity(other), 0u);
  EXPECT_EQ(Insp::TextCapacity(other), 0u);
}

}  // namespace
}  // namespace tarncoll::test
