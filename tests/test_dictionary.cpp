// CPDictionary, CPDictionaryAssociation and DictionaryIterationState.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/detail/dict_hash.h>
#include <util/crc16.h>

#include "support/dictionary_inspector.h"
#include "support/report_capture.h"

namespace {

typedef CPDictionaryInspector Insp;

const char kSource[] = "cpcoll\\Cpdict";

int g_items[64];
void* Item(int i) { return &g_items[i]; }

unsigned short Crc(const std::string& t) { return crc16::Update(0, t.data(), t.size()); }

// The first text "t<n>" (n >= from) whose CRC has the given low byte.
std::string TextInSlot(unsigned long nSlot, int from = 0) {
  for (int i = from;; ++i) {
    std::string t = "t" + std::to_string(i);
    if ((Crc(t) & 0xFF) == nSlot) return t;
  }
}

std::vector<void*> Items(CPDictionary& d) {
  std::vector<void*> v;
  for (CPDictionaryAssociation* pda : Insp::Entries(d)) v.push_back(pda->GetValue());
  return v;
}

std::vector<void*> ByPosition(CPDictionary& d) {
  std::vector<void*> v;
  for (unsigned long i = 0; i < d.Length(); ++i) v.push_back(d.RetrieveIDX(i));
  return v;
}

std::vector<void*> g_killed;
void Kill(void* pv, void* pvUser) {
  EXPECT_EQ(pvUser, nullptr);
  g_killed.push_back(pv);
}

#define EXPECT_SOUND(d) EXPECT_EQ(Insp::Check(d), "")

// ---- the slot rule ---------------------------------------------------------------

TEST(CPDictionarySlots, AlwaysTwoHundredFiftySixSlotsAndTheCrcRule) {
  CPDictionary d(16);
  EXPECT_EQ(d._get_nNumberOfSlots(), 256u);
  EXPECT_EQ(Insp::HashOnString(d, "123456789"), 0xBB3Du);
  EXPECT_EQ(Insp::HashOnString(d, ""), 0u);
  EXPECT_EQ(Insp::HashOnCardinal(d, 257), 1u);
  d.AddKeyString("123456789", Item(1), nullptr);
  EXPECT_NE(Insp::Slot(d, 0x3D), nullptr);
  EXPECT_EQ(Insp::NextNonblankSlot(d, 0), 0x3Du);
  EXPECT_EQ(Insp::NextNonblankSlot(d, 0x3E), static_cast<unsigned long>(-1));
  EXPECT_EQ(Insp::NextNonblankSlot(d, 256), static_cast<unsigned long>(-1));
  EXPECT_SOUND(d);
}

TEST(CPDictionarySlots, TextAndCPStringFormsFindEachOther) {
  CPDictionary d;
  CPString strB("beta");
  d.AddKeyString("alpha", Item(1), nullptr);
  d.AddKeyString(&strB, Item(2));  // refcount 0: the entry keeps a copy
  CPString strA("alpha");
  EXPECT_EQ(d.FindKeyString(&strA), Item(1));
  EXPECT_EQ(d.FindKeyString("beta", nullptr), Item(2));
  EXPECT_EQ(d.ExistsKeyString(&strA), 1);
  EXPECT_EQ(strB._get_nRefCount(), 0u);
  d.DetachKeyString(&strA);
  d.DetachKeyString("beta", nullptr);
  EXPECT_TRUE(d.IsMT());
  EXPECT_SOUND(d);
}

TEST(CPDictionarySlots, NumericKeysShareSlotsAndNeverMatchStrings) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  d.AddKeyNum(257, Item(2));
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(Insp::Slot(d, 1)->Length(), 2u);
  EXPECT_EQ(d.FindKeyNum(1), Item(1));
  EXPECT_EQ(d.FindKeyNum(257), Item(2));
  EXPECT_EQ(d.FindKeyNum(513), nullptr);
  // A text in slot 1 and the number of its CRC: one slot, no match across.
  std::string t = TextInSlot(1);
  unsigned long nCrc = Crc(t);
  d.AddKeyString(t.c_str(), Item(3), nullptr);
  d.AddKeyNum(nCrc, Item(4));
  EXPECT_EQ(d.Length(), 4u);
  EXPECT_EQ(d.FindKeyNum(nCrc), Item(4));
  EXPECT_EQ(d.FindKeyString(t.c_str(), nullptr), Item(3));
  EXPECT_EQ(d.FindKeyString(std::to_string(nCrc).c_str(), nullptr), nullptr);
  d.DetachKeyNum(nCrc);
  EXPECT_EQ(d.FindKeyString(t.c_str(), nullptr), Item(3));
  EXPECT_EQ(Items(d), (std::vector<void*>{Item(1), Item(2), Item(3)}));
  EXPECT_SOUND(d);
}

TEST(CPDictionarySlots, GivenCrcChoosesTheSlotAndIsNotRecomputed) {
  CPDictionary d;
  std::string t = TextInSlot(5);
  unsigned long nReal = Crc(t);
  d.AddKeyString(t.c_str(), Item(1), &nReal);
  EXPECT_EQ(d.FindKeyString(t.c_str(), nullptr), Item(1));
  unsigned long nHigh = nReal | 0x10000;  // same low byte: same slot
  EXPECT_EQ(d.FindKeyString(t.c_str(), &nHigh), Item(1));
  unsigned long nOther = (nReal & ~0xFFul) | 6;
  EXPECT_EQ(d.FindKeyString(t.c_str(), &nOther), nullptr);  // looks in slot 6
  // A caller's CRC files the entry in its slot; only that CRC finds it.
  d.AddKeyString("elsewhere", Item(2), &nOther);
  EXPECT_NE(Insp::Slot(d, 6), nullptr);
  EXPECT_EQ(d.FindKeyString("elsewhere", &nOther), Item(2));
  if ((Crc("elsewhere") & 0xFF) != 6) {
    EXPECT_EQ(d.FindKeyString("elsewhere", nullptr), nullptr);
  }
  unsigned long nSlot = 0;
  EXPECT_EQ(Insp::FindDA(d, "elsewhere", &nOther, &nSlot)->GetValue(), Item(2));
  EXPECT_EQ(nSlot, 6u);
  EXPECT_EQ(Insp::FindDA(d, nullptr, nullptr, &nSlot), nullptr);
  EXPECT_EQ(Insp::Check(d, false), "");
}

// ---- adding: duplicates, "UnNamed", null items ---------------------------------------

TEST(CPDictionaryAdd, PresentKeyKeepsTheFirstItemAndChangesNothing) {
  CPDictionary d;
  d.AddKeyString("k", Item(1), nullptr);
  d.AddKeyNum(7, Item(2));
  short nXACT = d._get_nXACT();
  d.AddKeyString("k", Item(3), nullptr);
  d.AddKeyNum(7, Item(4));
  CPString str("k");
  d.AddKeyString(&str, Item(5));
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d._get_nXACT(), nXACT);
  EXPECT_EQ(d.FindKeyString("k", nullptr), Item(1));
  EXPECT_EQ(d.FindKeyNum(7), Item(2));
  EXPECT_SOUND(d);
}

TEST(CPDictionaryAdd, EmptyKeyIsStoredAsUnNamedAndNeverFound) {
  CPDictionary d;
  d.AddKeyString("", Item(1), nullptr);
  d.AddKeyString("", Item(2), nullptr);
  d.AddKeyString(static_cast<const char*>(nullptr), Item(3), nullptr);
  ASSERT_EQ(d.Length(), 3u);
  ASSERT_NE(Insp::Slot(d, 0), nullptr);  // the CRC of "" is 0
  EXPECT_EQ(Insp::Slot(d, 0)->Length(), 3u);
  EXPECT_EQ(d.FindKeyString("", nullptr), nullptr);
  EXPECT_EQ(d.ExistsKeyString("", nullptr), 0);
  for (unsigned long i = 0; i < 3; ++i) {
    EXPECT_STREQ(d.RetrieveDAIDX(static_cast<long>(i))->GetKeyString(static_cast<char*>(nullptr)), "UnNamed");
  }
  char sz[64];
  d.StringKeyList(sz);
  EXPECT_STREQ(sz, "UnNamed\r\nUnNamed\r\nUnNamed\r\n");
  // "UnNamed" typed in is an ordinary key in its own slot.
  d.AddKeyString("UnNamed", Item(4), nullptr);
  EXPECT_EQ(d.FindKeyString("UnNamed", nullptr), (Crc("UnNamed") & 0xFF) == 0 ? Item(1) : Item(4));
  // Removal by item takes exactly the entry holding it.
  EXPECT_EQ(d.Detach(Item(2)), 1);
  EXPECT_EQ(Items(d).size(), 3u);
  EXPECT_EQ(d.Destroy(Item(3), &Kill), 1);
  EXPECT_EQ(g_killed, std::vector<void*>{Item(3)});
  g_killed.clear();
  EXPECT_SOUND(d);
}

TEST(CPDictionaryAdd, EmptyCPStringKeyBecomesUnNamed) {
  CPDictionary d;
  CPString strCopied;
  d.AddKeyString(&strCopied, Item(1));
  EXPECT_STREQ(strCopied.GetBuffer(), "");  // the entry changed its own copy
  CPString* pstrHeld = new CPString;
  pstrHeld->AddRef();
  d.AddKeyString(pstrHeld, Item(2));
  EXPECT_STREQ(pstrHeld->GetBuffer(), "UnNamed");  // shared: changed for us too
  EXPECT_EQ(pstrHeld->_get_nRefCount(), 2u);
  EXPECT_EQ(Insp::Slot(d, 0)->Length(), 2u);
  pstrHeld->Release();
  d.DetachAll();
  EXPECT_SOUND(d);
}

TEST(CPDictionaryAdd, NullItemCountsAsAbsentForStringsOnly) {
  CPDictionary d;
  d.AddKeyString("k", nullptr, nullptr);
  EXPECT_EQ(d.ExistsKeyString("k", nullptr), 0);
  d.AddKeyString("k", Item(1), nullptr);  // a second entry of the key
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d.FindKeyString("k", nullptr), nullptr);  // the earlier one answers
  EXPECT_SOUND(d);
  d.DetachKeyString("k", nullptr);  // removes the earlier entry
  EXPECT_EQ(d.Length(), 1u);
  EXPECT_EQ(d.FindKeyString("k", nullptr), Item(1));
  EXPECT_EQ(d.ExistsKeyString("k", nullptr), 1);
  EXPECT_SOUND(d);
  EXPECT_EQ(Insp::Unindexed(d, Crc("k") & 0xFF), 0u);  // the survivor is indexed again

  d.AddKeyNum(9, nullptr);
  EXPECT_EQ(d.ExistsKeyNum(9), 1);
  d.AddKeyNum(9, Item(2));
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d.FindKeyNum(9), nullptr);
  EXPECT_SOUND(d);
}

TEST(CPDictionaryAdd, DestroyByItemTakesTheEntryHoldingIt) {
  // Regression: removal by item once went through the entry's key, which
  // finds the key's first entry: here the null-item one.
  CPDictionary d;
  d.AddKeyString("k", nullptr, nullptr);
  d.AddKeyString("k", Item(1), nullptr);
  EXPECT_EQ(d.Destroy(Item(1), &Kill), 1);
  EXPECT_EQ(g_killed, std::vector<void*>{Item(1)});
  g_killed.clear();
  ASSERT_EQ(d.Length(), 1u);
  EXPECT_EQ(d.RetrieveIDX(0), nullptr);
  EXPECT_EQ(d.Detach(Item(1)), 0);
  EXPECT_SOUND(d);
}

// ---- removal -----------------------------------------------------------------------

TEST(CPDictionaryRemove, AbsentKeysChangeNothingAndEmptiedSlotsDisappear) {
  CPDictionary d;
  std::string t3 = TextInSlot(3), t3b = TextInSlot(3, std::stoi(t3.substr(1)) + 1);
  d.AddKeyString(t3.c_str(), Item(1), nullptr);
  d.AddKeyString(t3b.c_str(), Item(2), nullptr);
  d.AddKeyNum(300, Item(3));  // slot 44
  short nXACT = d._get_nXACT();
  d.DetachKeyString("absent", nullptr);
  d.DestroyKeyString("absent", &Kill, nullptr);
  d.DetachKeyNum(44);
  d.DestroyKeyNum(556, &Kill);
  EXPECT_EQ(d.Length(), 3u);
  EXPECT_EQ(d._get_nXACT(), nXACT);
  EXPECT_TRUE(g_killed.empty());

  d.DestroyKeyString(t3.c_str(), &Kill, nullptr);
  EXPECT_EQ(g_killed, std::vector<void*>{Item(1)});
  g_killed.clear();
  EXPECT_NE(Insp::Slot(d, 3), nullptr);
  d.DetachKeyString(t3b.c_str(), nullptr);
  EXPECT_EQ(Insp::Slot(d, 3), nullptr);
  d.GotoTop();
  EXPECT_EQ(d.Retrieve(), Item(3));
  d.DestroyKeyNum(300, nullptr);  // no kill function: no call
  EXPECT_TRUE(d.IsMT());
  EXPECT_EQ(Insp::NextNonblankSlot(d, 0), static_cast<unsigned long>(-1));
  EXPECT_SOUND(d);
}

TEST(CPDictionaryRemove, ByItemAnyKeyKindFirstInIterationOrder) {
  CPDictionary d;
  d.AddKeyNum(258, Item(1));  // slot 2
  d.AddKeyNum(2, Item(1));    // slot 2, after
  d.AddKeyNum(1, Item(1));    // slot 1: first in iteration order
  d.Add(Item(5));
  EXPECT_EQ(d.FindKeyNum(reinterpret_cast<unsigned long>(Item(5))), Item(5));
  EXPECT_EQ(d.Detach(Item(1)), 1);
  EXPECT_EQ(d.ExistsKeyNum(1), 0);
  EXPECT_EQ(d.Detach(Item(1)), 1);
  EXPECT_EQ(d.ExistsKeyNum(258), 0);
  EXPECT_EQ(d.ExistsKeyNum(2), 1);
  EXPECT_EQ(d.Detach(Item(9)), 0);
  EXPECT_EQ(d.Destroy(Item(9), &Kill), 0);
  EXPECT_EQ(d.ExistsValue(Item(1)), 1);
  EXPECT_EQ(d.ExistsValue(Item(9)), 0);
  EXPECT_EQ(d.ExistsValue(nullptr), 0);
  EXPECT_EQ(d.Destroy(Item(1), nullptr), 1);
  EXPECT_EQ(d.ExistsValue(Item(1)), 0);
  EXPECT_SOUND(d);
}

TEST(CPDictionaryRemove, AllDetachesOrKillsEveryItemInOrder) {
  CPDictionary d;
  d.AddKeyNum(2, Item(2));
  d.AddKeyNum(1, Item(1));
  d.AddKeyString(TextInSlot(0).c_str(), Item(3), nullptr);
  short nXACT = d._get_nXACT();
  EXPECT_EQ(d.DestroyAll(&Kill), 1);
  EXPECT_EQ(g_killed, (std::vector<void*>{Item(3), Item(1), Item(2)}));
  g_killed.clear();
  EXPECT_TRUE(d.IsMT());
  EXPECT_NE(d._get_nXACT(), nXACT);
  EXPECT_EQ(Insp::IndexCount(d), 0u);
  d.AddKeyNum(2, Item(4));  // usable again
  EXPECT_EQ(d.FindKeyNum(2), Item(4));
  EXPECT_EQ(d.DetachAll(), 1);
  EXPECT_TRUE(d.IsMT());
  EXPECT_SOUND(d);
}

// ---- the built-in cursor ----------------------------------------------------------------

TEST(CPDictionaryCursor, WalksSlotsInOrderAndOnlyForward) {
  CPDictionary d;
  d.GotoTop();
  EXPECT_EQ(d.Retrieve(), nullptr);
  EXPECT_EQ(d.Next(), 0);
  d.GotoBottom();
  EXPECT_EQ(Insp::CursorSlot(d), -1);
  EXPECT_EQ(d.Retrieve(), nullptr);

  d.AddKeyNum(513, Item(3));  // slot 1
  d.AddKeyNum(7, Item(4));    // slot 7
  d.AddKeyNum(1, Item(1));    // slot 1, after 513
  d.AddKeyNum(255, Item(5));  // slot 255
  std::vector<void*> walk;
  for (d.GotoTop(); d.Retrieve(); d.Next()) walk.push_back(d.Retrieve());
  EXPECT_EQ(walk, (std::vector<void*>{Item(3), Item(1), Item(4), Item(5)}));
  EXPECT_EQ(d.Next(), 0);
  EXPECT_EQ(d.Retrieve(), nullptr);
  d.GotoBottom();
  EXPECT_EQ(d.Retrieve(), Item(5));
  EXPECT_EQ(Insp::CursorSlot(d), 255);
  EXPECT_EQ(d.Prev(), 0);
  EXPECT_EQ(d.Retrieve(), Item(5));  // Prev does not move
  d.GotoTop();
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(d.RetrieveInternalContainer())->GetKeyCardinal(), 513);
}

TEST(CPDictionaryCursor, KeyLookupsDoNotDisturbAWalk) {
  CPDictionary d;
  for (unsigned long k = 0; k < 20; ++k) d.AddKeyNum(k * 37, Item(static_cast<int>(k)));
  d.AddKeyString("s", Item(30), nullptr);
  std::vector<void*> walk;
  for (d.GotoTop(); d.Retrieve(); d.Next()) {
    walk.push_back(d.Retrieve());
    EXPECT_EQ(d.FindKeyNum(37), Item(1));
    EXPECT_EQ(d.FindKeyString("s", nullptr), Item(30));
    EXPECT_EQ(d.ExistsKeyNum(0), 1);
    EXPECT_EQ(d.FindKeyNum(1000), nullptr);
    EXPECT_NE(d.FirstThat([](void* pv, void* pvUser) { return pv == pvUser ? 1 : 0; }, Item(19)), nullptr);
  }
  EXPECT_EQ(walk, Items(d));
}

TEST(CPDictionaryCursor, RemovingTheCurrentEntryMovesToItsSuccessor) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  d.AddKeyNum(257, Item(2));
  d.AddKeyNum(3, Item(3));
  d.GotoTop();  // on 1
  d.DetachKeyNum(1);
  EXPECT_EQ(d.Retrieve(), Item(2));
  d.DetachKeyNum(3);  // another slot: the cursor stays
  EXPECT_EQ(d.Retrieve(), Item(2));
  d.DetachKeyNum(257);  // the slot list goes: nothing until GotoTop
  EXPECT_EQ(d.Retrieve(), nullptr);
  EXPECT_EQ(d.Next(), 0);
  d.AddKeyNum(5, Item(5));
  d.AddKeyNum(261, Item(6));  // slot 5 too
  d.GotoTop();
  EXPECT_EQ(d.Retrieve(), Item(5));
  // Removal by item walks the cursor: it ends on the successor.
  EXPECT_EQ(d.Detach(Item(5)), 1);
  EXPECT_EQ(d.Retrieve(), Item(6));
  EXPECT_EQ(d.Next(), 0);
}

// ---- the cursor object ----------------------------------------------------------------

TEST(DictionaryIterationStateTest, WalksEntriesOverSeveralSlots) {
  CPDictionary d;
  DictionaryIterationState stEmpty(&d);
  EXPECT_EQ(stEmpty.gotoTop(), 0);
  EXPECT_EQ(stEmpty.retrieve(), nullptr);
  EXPECT_EQ(stEmpty.gotoBottom(), 0);
  EXPECT_EQ(stEmpty.gotoIDX(0), 1);
  EXPECT_EQ(stEmpty.gotoNext(), 0);

  d.AddKeyNum(258, Item(2));
  d.AddKeyNum(9, Item(9));
  d.AddKeyNum(2, Item(3));
  IterationState* pits = d.CreateIterationState();
  ASSERT_NE(pits, nullptr);
  std::vector<void*> walk;
  for (short b = pits->gotoTop(); b; b = pits->gotoNext()) {
    CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(pits->retrieve());
    EXPECT_EQ(pits->retrieveInternalContainer()->_get_pvTheData(), pda);
    walk.push_back(pda->GetValue());
  }
  EXPECT_EQ(walk, (std::vector<void*>{Item(2), Item(3), Item(9)}));
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->gotoNext(), 0);  // off the end stays off
  EXPECT_EQ(pits->gotoNext(), 0);

  EXPECT_EQ(pits->gotoBottom(), 1);
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(pits->retrieve())->GetValue(), Item(9));
  EXPECT_EQ(pits->gotoPrev(), 1);  // does not move
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(pits->retrieve())->GetValue(), Item(9));
  EXPECT_EQ(pits->gotoIDX(1), 1);
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(pits->retrieve())->GetValue(), Item(3));
  EXPECT_EQ(pits->gotoIDX(3), 0);

  DictionaryIterationState stCopy(*static_cast<DictionaryIterationState*>(pits));
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(stCopy.retrieve()), nullptr);
  pits->gotoTop();
  stCopy = *static_cast<DictionaryIterationState*>(pits);
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(stCopy.retrieve())->GetValue(), Item(2));

  d.AddKeyNum(4, Item(4));
  EXPECT_CURSOR_EXCEPTION(pits->gotoNext());
  EXPECT_CURSOR_EXCEPTION(stCopy.retrieve());
  EXPECT_EQ(pits->gotoTop(), 1);
  EXPECT_EQ(pits->gotoNext(), 1);
  delete pits;
}

TEST(DictionaryIterationStateTest, GotoIdxReachesBeyondSixteenBits) {
  CPDictionary d;
  const unsigned long n = 70000;
  for (unsigned long k = 0; k < n; ++k) d.AddKeyNum(k, Item(0));
  DictionaryIterationState st(&d);
  ASSERT_EQ(st.gotoIDX(n - 1), 1);
  EXPECT_EQ(static_cast<CPDictionaryAssociation*>(st.retrieve()), d.RetrieveDAIDX(static_cast<long>(n - 1)));
  EXPECT_EQ(st.gotoIDX(n), 0);
}

TEST(DictionaryIterationStateTest, IteratorAlgorithmsReceiveEntries) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  d.AddKeyString("k", Item(2), nullptr);
  Iterator* pit = d.GetIterator();
  std::vector<void*> seen;
  pit->forEach([](void* pv, void* pvUser) { static_cast<std::vector<void*>*>(pvUser)->push_back(pv); }, &seen);
  EXPECT_EQ(seen, (std::vector<void*>{Insp::Entries(d)[0], Insp::Entries(d)[1]}));
  delete pit;
}

// ---- positional access ----------------------------------------------------------------

TEST(CPDictionaryVector, FollowsEveryKindOfChange) {
  CPDictionary d;
  EXPECT_EQ(d.RetrieveIDX(0), nullptr);
  d.AddKeyNum(3, Item(3));
  EXPECT_EQ(ByPosition(d), Items(d));
  d.AddKeyNum(1, Item(1));
  EXPECT_EQ(d.RetrieveIDX(0), Item(1));  // rebuilt after the add
  EXPECT_TRUE(Insp::VectorFresh(d));
  EXPECT_SOUND(d);
  d.AddKeyString("s", Item(2), nullptr);
  CPString strT("t");
  d.AddKeyString(&strT, Item(4));
  EXPECT_EQ(ByPosition(d), Items(d));
  d.DetachKeyNum(1);
  EXPECT_EQ(ByPosition(d), Items(d));
  d.DestroyKeyString("s", nullptr, nullptr);
  EXPECT_EQ(ByPosition(d), Items(d));
  d.Detach(Item(4));
  EXPECT_EQ(ByPosition(d), Items(d));
  d.Add(Item(6));
  d.Destroy(Item(3), nullptr);
  EXPECT_EQ(ByPosition(d), std::vector<void*>{Item(6)});
  EXPECT_EQ(d[0], Item(6));
  EXPECT_EQ(d[1], nullptr);
  EXPECT_EQ(d.RetrieveDAIDX(-1), nullptr);
  EXPECT_EQ(d.RetrieveIDX(d.Length()), nullptr);
  CPList lst;
  CPDictionaryAssociation da;
  da.SetKeyCardinal(0);
  da.SetValue(Item(7));
  lst.Add(&da);
  d.AddList(&lst);
  EXPECT_EQ(d.RetrieveIDX(0), Item(7));
  d.DetachAll();
  EXPECT_EQ(d.RetrieveIDX(0), nullptr);
  EXPECT_SOUND(d);
}

// ---- walks ---------------------------------------------------------------------------

struct KeyRecorder : IteratorAction {
  std::vector<std::string> seen;
  short Perform() override {
    seen.push_back(bKeyIsString ? std::string(static_cast<CPString*>(pvKey)->GetBuffer())
                                : std::to_string(reinterpret_cast<long>(pvKey)));
    return 0;
  }
};

TEST(CPDictionaryWalks, EveryFormVisitsInIterationOrder) {
  CPDictionary d;
  std::string t = TextInSlot(2);
  d.AddKeyNum(258, Item(1));
  d.AddKeyString(t.c_str(), Item(2), nullptr);
  d.AddKeyNum(0, Item(3));

  KeyRecorder rec;
  d.ForEach(&rec);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"0", "258", t}));

  std::vector<void*> items;
  d.ForEach([](void* pv, void* pvUser) { static_cast<std::vector<void*>*>(pvUser)->push_back(pv); }, &items);
  EXPECT_EQ(items, (std::vector<void*>{Item(3), Item(1), Item(2)}));

  std::vector<std::pair<void*, void*>> keyed;
  CPKeyActionFunc pfnKeyed = [](void* pv, void* pvUser, void* pvKey) {
    static_cast<std::vector<std::pair<void*, void*>>*>(pvUser)->push_back({pv, pvKey});
  };
  d.ForEach(pfnKeyed, &keyed);
  ASSERT_EQ(keyed.size(), 3u);
  EXPECT_EQ(keyed[1].second, reinterpret_cast<void*>(258));
  EXPECT_EQ(keyed[2].second, Insp::Entries(d)[2]->_get_pstrKey());

  std::vector<long> keys;
  CPActionFunc pfnKey = [](void* pvKey, void* pvUser) {
    static_cast<std::vector<long>*>(pvUser)->push_back(reinterpret_cast<long>(pvKey));
  };
  d.ForEachKeyCardinal(reinterpret_cast<void*>(pfnKey), &keys);
  EXPECT_EQ(keys, (std::vector<long>{0, 258, 0}));
  CPConditionFunc pfnBig = [](void* pvKey, void*) { return reinterpret_cast<long>(pvKey) > 100 ? 1 : 0; };
  EXPECT_EQ(d.FirstThatKeyCardinal(reinterpret_cast<void*>(pfnBig), nullptr), Insp::Entries(d)[1]);

  std::vector<void*> entries;
  d.ForEachInternalContainer([](void* pv, void* pvUser) { static_cast<std::vector<void*>*>(pvUser)->push_back(pv); },
                             &entries);
  EXPECT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], Insp::Entries(d)[0]);
}

TEST(CPDictionaryWalks, FirstThatUsesTheLowSixteenBits) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  d.AddKeyNum(2, Item(2));
  EXPECT_EQ(d.FirstThat([](void*, void*) { return 0x10000; }, nullptr), nullptr);
  EXPECT_EQ(d.FirstThat([](void* pv, void*) { return pv == Item(2) ? 0x10001 : 0; }, nullptr), Item(2));
  EXPECT_EQ(d.FirstThatInternalContainer(
                [](void* pv, void*) { return static_cast<CPDictionaryAssociation*>(pv)->GetKeyCardinal() == 2 ? 1 : 0; },
                nullptr),
            Insp::Entries(d)[1]);
  EXPECT_EQ(d.FirstThat(nullptr, nullptr), nullptr);
  EXPECT_ASSERT_REPORT(d.NextThat([](void*, void*) { return 1; }, nullptr), kSource, "1==0");
  EXPECT_ASSERT_REPORT(d.NextThatInternalContainer([](void*, void*) { return 1; }, nullptr), kSource, "1==0");
}

TEST(CPDictionaryWalks, AnActionThatChangesTheDictionaryEndsTheWalk) {
  CPDictionary d;
  for (unsigned long k = 0; k < 4; ++k) d.AddKeyNum(k, Item(static_cast<int>(k)));
  EXPECT_CURSOR_EXCEPTION(d.ForEach([](void* pv, void* pvUser) {
    static_cast<CPDictionary*>(pvUser)->Detach(pv);
  }, &d));
  EXPECT_EQ(d.Length(), 3u);
  EXPECT_SOUND(d);
}

TEST(CPDictionaryWalks, AllThatSharesKeyStringsAndKeepsKeys) {
  CPDictionary d;
  CPDictionary* pdEmpty = static_cast<CPDictionary*>(d.AllThat([](void*, void*) { return 1; }, nullptr));
  ASSERT_NE(pdEmpty, nullptr);
  EXPECT_TRUE(pdEmpty->IsMT());
  delete pdEmpty;

  d.AddKeyString("a", Item(1), nullptr);
  d.AddKeyString("b", Item(2), nullptr);
  d.AddKeyNum(5, Item(3));
  CPString* pstrA = Insp::Entries(d)[0]->_get_pstrKey();
  for (CPDictionaryAssociation* pda : Insp::Entries(d))
    if (pda->_get_bUseString() && std::string(pda->_get_pstrKey()->GetBuffer()) == "a") pstrA = pda->_get_pstrKey();
  EXPECT_EQ(pstrA->_get_nRefCount(), 1u);
  CPDictionary* pd = static_cast<CPDictionary*>(
      d.AllThat([](void* pv, void*) { return pv == Item(2) ? 2 : 1; }, nullptr));  // 2 does not count
  ASSERT_NE(pd, nullptr);
  EXPECT_EQ(pd->Length(), 2u);
  EXPECT_EQ(pd->FindKeyString("a", nullptr), Item(1));
  EXPECT_EQ(pd->FindKeyNum(5), Item(3));
  EXPECT_EQ(pstrA->_get_nRefCount(), 2u);
  EXPECT_SOUND(*pd);
  delete pd;
  EXPECT_EQ(pstrA->_get_nRefCount(), 1u);

  pd = static_cast<CPDictionary*>(d.AllThatInternalContainer(
      [](void* pv, void*) { return static_cast<CPDictionaryAssociation*>(pv)->_get_bUseString() ? 1 : 0; }, nullptr));
  EXPECT_EQ(pd->Length(), 2u);
  EXPECT_EQ(pd->FindKeyNum(5), nullptr);
  delete pd;
}

TEST(CPDictionaryWalks, StringKeyListWritesEveryKey) {
  CPDictionary d;
  char sz[64] = "junk";
  d.StringKeyList(sz);
  EXPECT_STREQ(sz, "");
  d.AddKeyNum(0, Item(1));
  d.AddKeyString("123456789", Item(2), nullptr);  // slot 0x3D
  d.StringKeyList(sz);
  EXPECT_STREQ(sz, "\r\n123456789\r\n");
}

// ---- key strings shared with the caller ----------------------------------------------------

TEST(CPDictionaryShared, ChangedTextShowsWithoutMovingTheEntry) {
  std::string t1 = TextInSlot(9), t2 = TextInSlot(9, std::stoi(t1.substr(1)) + 1), t3 = TextInSlot(10);
  CPDictionary d;
  CPString* pstr = new CPString(t1.c_str());
  pstr->AddRef();
  d.AddKeyString(pstr, Item(1));
  d.AddKeyString("other", Item(2), nullptr);
  EXPECT_EQ(pstr->_get_nRefCount(), 2u);
  EXPECT_EQ(d.FindKeyString(t1.c_str(), nullptr), Item(1));
  pstr->Copy(t2.c_str(), 0, 0);  // same slot: found under the new text
  EXPECT_EQ(d.FindKeyString(t1.c_str(), nullptr), nullptr);
  EXPECT_EQ(d.FindKeyString(t2.c_str(), nullptr), Item(1));
  EXPECT_STREQ(Insp::Entries(d)[0]->GetKeyString(static_cast<char*>(nullptr)), t2.c_str());
  pstr->Copy(t3.c_str(), 0, 0);  // another slot: the entry stays in slot 9
  EXPECT_EQ(d.FindKeyString(t3.c_str(), nullptr), nullptr);
  EXPECT_NE(Insp::Slot(d, 9), nullptr);
  EXPECT_EQ(d.FindKeyString("other", nullptr), Item(2));
  d.Detach(Item(1));
  EXPECT_EQ(pstr->_get_nRefCount(), 1u);
  pstr->Release();
  EXPECT_EQ(Insp::Check(d, false), "");
}

// ---- copies ---------------------------------------------------------------------------

TEST(CPDictionaryCopy, DeepCopyKeepsSlotsOrderAndDuplicates) {
  CPDictionary d;
  d.AddKeyString("", Item(1), nullptr);
  d.AddKeyString("", Item(2), nullptr);
  d.AddKeyString("k", nullptr, nullptr);
  d.AddKeyString("k", Item(3), nullptr);
  d.AddKeyNum(77, Item(4));
  CPDictionary c(d);
  EXPECT_EQ(Items(c), Items(d));
  EXPECT_EQ(ByPosition(c), Items(d));
  EXPECT_EQ(Insp::Entries(c)[0]->_get_pstrKey(), Insp::Entries(d)[0]->_get_pstrKey());  // shared by reference
  EXPECT_SOUND(c);
  c.DetachKeyNum(77);
  EXPECT_EQ(d.FindKeyNum(77), Item(4));
  EXPECT_EQ(c.FindKeyNum(77), nullptr);

  CPDictionary e;
  e.AddKeyNum(1, Item(9));
  DictionaryIterationState st(&e);
  st.gotoTop();
  e = d;
  EXPECT_EQ(Items(e), Items(d));
  EXPECT_EQ(e.FindKeyNum(1), nullptr);
  EXPECT_CURSOR_EXCEPTION(st.gotoNext());
  CPDictionary& eAlias = e;
  e = eAlias;  // self-assignment keeps the content
  EXPECT_EQ(Items(e), Items(d));
  EXPECT_SOUND(e);

  CPDictionaryAssociation da;
  da.SetKeyString("key");
  da.SetValue(Item(5));
  CPDictionaryAssociation db(da);
  EXPECT_EQ(db._get_pstrKey(), da._get_pstrKey());
  EXPECT_EQ(da._get_pstrKey()->_get_nRefCount(), 2u);
  CPDictionaryAssociation dc;
  dc.SetKeyCardinal(3);
  db = dc;
  EXPECT_EQ(db.GetKeyCardinal(), 3);
  EXPECT_EQ(db._get_pstrKey(), nullptr);
  EXPECT_EQ(da._get_pstrKey()->_get_nRefCount(), 1u);
  dc = da;
  CPDictionaryAssociation& dcAlias = dc;
  dc = dcAlias;
  EXPECT_EQ(dc.GetValue(), Item(5));
  EXPECT_EQ(da._get_pstrKey()->_get_nRefCount(), 2u);
}

// ---- the entry on its own -----------------------------------------------------------------

TEST(CPDictionaryAssociationTest, KeysOfBothKinds) {
  CPDictionaryAssociation da;
  EXPECT_EQ(da._get_bUseString(), 1);
  EXPECT_EQ(da._get_pstrKey(), nullptr);
  CPString out("junk");
  char sz[16] = "junk";
  EXPECT_STREQ(da.GetKeyString(&out), "");
  EXPECT_STREQ(out.GetBuffer(), "junk");  // no key string: untouched
  EXPECT_EQ(da.MatchKeyString(""), 0);
  da.SetKeyString("name");
  EXPECT_EQ(da.MatchKeyString("name"), 1);
  EXPECT_EQ(da.MatchKeyString("Name"), 0);
  EXPECT_EQ(da.MatchKeyCardinal(0), 0);
  EXPECT_STREQ(da.GetKeyString(sz), "name");
  EXPECT_STREQ(sz, "name");
  EXPECT_STREQ(da.GetKeyString(&out), "name");
  EXPECT_STREQ(out.GetBuffer(), "name");
  EXPECT_EQ(da.GetKeyCardinal(), 0);
  da.SetKeyCardinal(-5);
  EXPECT_EQ(da.MatchKeyCardinal(-5), 1);
  EXPECT_EQ(da.MatchKeyString("name"), 0);
  EXPECT_STREQ(da.GetKeyString(sz), "");
  EXPECT_STREQ(sz, "");
  EXPECT_STREQ(da.GetKeyString(&out), "");
  EXPECT_STREQ(out.GetBuffer(), "");
  da.SetKeyString("");
  EXPECT_STREQ(da._get_pstrKey()->GetBuffer(), "UnNamed");
  da.SetKeyString(static_cast<CPString*>(nullptr));
  EXPECT_STREQ(da._get_pstrKey()->GetBuffer(), "UnNamed");
}

// ---- reports: each leaves the dictionary unchanged and leak-free ------------------------------

TEST(CPDictionaryReports, FailedAllocationsChangeNothing) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  std::string sBefore = Insp::Check(d);
  // 1: the entry, 2: its key string, 3: the slot list, 4: the list node.
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(d.AddKeyString("x", Item(2), nullptr), kSource, "pdaThis");
  Createable::SetAllocationFailure(2);
  EXPECT_NIL_REPORT(d.AddKeyString("x", Item(2), nullptr), kSource, "pdaThis");
  CPString strX("x");
  Createable::SetAllocationFailure(2);
  EXPECT_NIL_REPORT(d.AddKeyString(&strX, Item(2)), kSource, "pdaThis");
  Createable::SetAllocationFailure(3);
  EXPECT_NIL_REPORT(d.AddKeyString("x", Item(2), nullptr), kSource, "plstSlot");
  Createable::SetAllocationFailure(4);
  EXPECT_ASSERT_REPORT(d.AddKeyString("x", Item(2), nullptr), "cpcoll\\cplist", "pbktNew !=0");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(d.AddKeyNum(2, Item(2)), kSource, "pdaThis");
  Createable::SetAllocationFailure(2);
  EXPECT_NIL_REPORT(d.AddKeyNum(2, Item(2)), kSource, "plstSlot");
  Createable::SetAllocationFailure(2);  // slot 1 has a list: the node
  EXPECT_ASSERT_REPORT(d.AddKeyNum(257, Item(2)), "cpcoll\\cplist", "pbktNew !=0");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(d.AllThat([](void*, void*) { return 1; }, nullptr), kSource, "pdctNew");
  Createable::SetAllocationFailure(2);  // the result's first entry: the result is freed
  EXPECT_NIL_REPORT(d.AllThatInternalContainer([](void*, void*) { return 1; }, nullptr), kSource, "pdaThis");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(d.Length(), 1u);
  EXPECT_EQ(d.FindKeyString("x", nullptr), nullptr);
  EXPECT_SOUND(d);
  CPDictionaryAssociation da;
  da.SetKeyString("kept");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(da.SetKeyString("lost"), kSource, "pstrKey");
  Createable::SetAllocationFailure(0);
  EXPECT_STREQ(da._get_pstrKey()->GetBuffer(), "kept");
  // Copies: entry, list, node per entry; the fourth allocation is the
  // second entry.  A failed assignment leaves the target as it was.
  d.AddKeyNum(2, Item(2));
  Createable::SetAllocationFailure(4);
  EXPECT_NIL_REPORT(CPDictionary c2(d), kSource, "pdaThis");
  CPDictionary e;
  e.AddKeyNum(9, Item(9));
  Createable::SetAllocationFailure(5);
  EXPECT_NIL_REPORT(e = d, kSource, "plstSlot");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(Items(e), std::vector<void*>{Item(9)});
  EXPECT_SOUND(e);
}

TEST(CPDictionaryReports, RemovalAtCountZeroReportsBeforeChanging) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  Insp::SetLength(d, 0);
  EXPECT_ASSERT_REPORT(d.DetachKeyNum(1), "cpcoll\\cpcollec", "nLength >0");
  Insp::SetLength(d, 1);
  EXPECT_EQ(d.FindKeyNum(1), Item(1));
  EXPECT_SOUND(d);
}

TEST(CPDictionaryIndex, WorksWithoutTheIndexWhenItCannotGrow) {
  CPDictionary d;
  tarncoll::detail::SetDictIndexFailure(1);
  d.AddKeyNum(4, Item(4));  // the index's first table fails: entry left out
  tarncoll::detail::SetDictIndexFailure(0);
  EXPECT_EQ(Insp::Unindexed(d, 4), 1u);
  d.AddKeyNum(260, Item(5));
  d.AddKeyNum(4, Item(6));
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d.FindKeyNum(4), Item(4));
  EXPECT_EQ(d.FindKeyNum(260), Item(5));
  EXPECT_SOUND(d);
  d.DetachKeyNum(4);
  EXPECT_EQ(Insp::Unindexed(d, 4), 0u);
  EXPECT_EQ(d.FindKeyNum(260), Item(5));
  EXPECT_SOUND(d);
}

TEST(CPDictionaryIndex, OneSlotHoldsAndFindsMoreThan32767Keys) {
  // Every key filed in slot 0 through a caller's CRC; two "UnNamed"
  // entries make the slot one that is scanned rather than indexed.
  CPDictionary d;
  unsigned long nZero = 0;
  const int n = 33000;
  std::vector<std::string> keys;
  for (int i = 0; i < n; ++i) keys.push_back("key" + std::to_string(i));
  for (int i = 0; i < n; ++i) d.AddKeyString(keys[i].c_str(), Item(i % 64), &nZero);
  EXPECT_EQ(d.FindKeyString(keys[n - 1].c_str(), &nZero), Item((n - 1) % 64));
  d.AddKeyString("", Item(0), nullptr);
  d.AddKeyString("", Item(0), nullptr);
  EXPECT_EQ(Insp::Unindexed(d, 0), 1u);
  EXPECT_EQ(d.FindKeyString(keys[n - 1].c_str(), &nZero), Item((n - 1) % 64));
  EXPECT_EQ(d.ExistsKeyString(keys[32768].c_str(), &nZero), 1);
  d.DetachKeyString(keys[n - 2].c_str(), &nZero);
  EXPECT_EQ(d.FindKeyString(keys[n - 2].c_str(), &nZero), nullptr);
  EXPECT_EQ(d.Length(), static_cast<unsigned long>(n + 1));
}

}  // namespace

TEST(CPDictionaryIndex, OnePassHashGivesTheTextsCRC) {
  // The slot of a text comes from the one-pass hash: its CRC must be
  // crc16's for every length (each tail length of the slicing step) and
  // every byte value, and its hash the same as the hash-only pass.
  std::mt19937 rng(20261208);
  for (unsigned long n = 0; n <= 70; ++n) {
    for (int round = 0; round < 20; ++round) {
      std::string s(n, '\0');
      for (char& c : s) c = static_cast<char>(rng() & 0xFF);
      unsigned short nCRC = 0;
      unsigned long h = tarncoll::detail::HashTextCRC(s.data(), n, &nCRC);
      ASSERT_EQ(nCRC, crc16::Update(0, s.data(), n)) << "length " << n;
      ASSERT_EQ(h, tarncoll::detail::HashText(s.data(), n)) << "length " << n;
    }
  }
}

TEST(CPDictionaryIndex, TextsDifferingInOneByteAreDifferentKeys) {
  // For every length across the word boundaries of the text compare, keys
  // that differ from a stored key in a single byte, or only in length, are
  // not found; the stored keys are, also after their neighbours go.
  CPDictionary d;
  std::vector<std::string> stored;
  for (unsigned long n = 1; n <= 40; ++n) stored.push_back(std::string(n, 'k'));
  for (size_t i = 0; i < stored.size(); ++i) d.AddKeyString(stored[i].c_str(), Item(static_cast<int>(i % 64)), nullptr);
  for (size_t i = 0; i < stored.size(); ++i) {
    for (size_t pos = 0; pos < stored[i].size(); ++pos) {
      std::string probe = stored[i];
      probe[pos] = 'j';
      EXPECT_EQ(d.FindKeyString(probe.c_str(), nullptr), nullptr) << probe;
      d.AddKeyString(probe.c_str(), Item(63), nullptr);  // a new key, not a duplicate
      EXPECT_EQ(d.FindKeyString(probe.c_str(), nullptr), Item(63)) << probe;
    }
    EXPECT_EQ(d.FindKeyString(stored[i].c_str(), nullptr), Item(static_cast<int>(i % 64)));
  }
  EXPECT_SOUND(d);
  for (size_t i = 0; i < stored.size(); i += 2) d.DetachKeyString(stored[i].c_str(), nullptr);
  for (size_t i = 0; i < stored.size(); ++i)
    EXPECT_EQ(d.FindKeyString(stored[i].c_str(), nullptr), i % 2 ? Item(static_cast<int>(i % 64)) : nullptr);
  EXPECT_SOUND(d);
}

TEST(CPDictionaryIndex, AlignedNumericKeysSpreadAndStayFindable) {
  // Keys that are multiples of 4096 (all in slot 0, low bits equal), as
  // item addresses are: every one found, and after half are removed the
  // rest still are.
  CPDictionary d;
  const unsigned long n = 5000;
  for (unsigned long i = 0; i < n; ++i) d.AddKeyNum(i << 12, Item(static_cast<int>(i % 64)));
  EXPECT_EQ(d.Length(), n);
  EXPECT_EQ(Insp::IndexCount(d), n);
  for (unsigned long i = 0; i < n; i += 2) d.DetachKeyNum(i << 12);
  for (unsigned long i = 0; i < n; ++i)
    ASSERT_EQ(d.FindKeyNum(i << 12), i % 2 ? Item(static_cast<int>(i % 64)) : nullptr) << i;
  EXPECT_SOUND(d);
}

TEST(CPDictionaryIndex, OneTextUnderItsOwnAndAForeignCRCStaysTwoKeys) {
  // A lookup without a CRC answers from the text's own slot only; one with
  // a CRC from that CRC's slot only, whichever filing came first.
  const std::string text = "shared-text";
  unsigned long nOwn = Crc(text), nForeign = (nOwn & 0xFF00) | ((nOwn + 1) & 0xFF);
  CPDictionary d;
  d.AddKeyString(text.c_str(), Item(2), &nForeign);
  EXPECT_EQ(d.FindKeyString(text.c_str(), nullptr), nullptr);
  d.AddKeyString(text.c_str(), Item(1), nullptr);
  unsigned long nSlot = 999;
  EXPECT_EQ(Insp::FindDA(d, text.c_str(), nullptr, &nSlot)->GetValue(), Item(1));
  EXPECT_EQ(nSlot, nOwn & 0xFF);
  EXPECT_EQ(d.FindKeyString(text.c_str(), &nForeign), Item(2));
  EXPECT_EQ(d.FindKeyString(text.c_str(), &nOwn), Item(1));
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(Insp::Check(d, false), "");
  d.DetachKeyString(text.c_str(), nullptr);
  nSlot = 999;
  EXPECT_EQ(Insp::FindDA(d, text.c_str(), nullptr, &nSlot), nullptr);
  EXPECT_EQ(nSlot, nOwn & 0xFF);  // the slot is reported on a miss too
  EXPECT_EQ(d.FindKeyString(text.c_str(), &nForeign), Item(2));
  EXPECT_EQ(Insp::Check(d, false), "");
  // The empty key is stored as "UnNamed" in slot 0, which is not the slot
  // of the text "UnNamed": that text does not find it.
  d.AddKeyString("", Item(3), nullptr);
  EXPECT_EQ(d.FindKeyString("UnNamed", nullptr), (Crc("UnNamed") & 0xFF) == 0 ? Item(3) : nullptr);
  unsigned long nZero = 0;
  EXPECT_EQ(d.FindKeyString("UnNamed", &nZero), Item(3));
  EXPECT_EQ(Insp::Check(d, false), "");
}
