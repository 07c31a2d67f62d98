// CPDictionary at its edges: null keys, callbacks and buffers, a dictionary
// class derived by a user (constructed, copied and destroyed through the
// derived class), allocation failures of the creating members and of the
// parallel vector, and CPDictionaryAssociation's key reads on entries
// without a key string.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cpcoll/CPDictionaryAssociation.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>
#include <util/CPString.h>

#include "support/alloc_sweep.h"
#include "support/dictionary_inspector.h"
#include "support/report_capture.h"

namespace alloc_sweep = tarncoll::test::alloc_sweep;

namespace {

typedef CPDictionaryInspector Insp;

const char kSource[] = "cpcoll\\Cpdict";

int g_items[16];
void* Item(int i) { return &g_items[i]; }

std::vector<void*> Items(CPDictionary& d) {
  std::vector<void*> v;
  for (CPDictionaryAssociation* pda : Insp::Entries(d)) v.push_back(pda->GetValue());
  return v;
}

int g_nKilled = 0;
void CountKill(void*, void*) { ++g_nKilled; }

// ---- null keys, callbacks and buffers ---------------------------------------------

TEST(DictionaryNullArguments, NullKeyStringActsAsTheNullText) {
  CPDictionary d;
  d.AddKeyString(static_cast<CPString*>(nullptr), Item(0));
  // The null text is stored as "UnNamed" in slot 0, and no key finds it.
  ASSERT_EQ(d.Length(), 1u);
  ASSERT_NE(Insp::Slot(d, 0), nullptr);
  EXPECT_STREQ(d.RetrieveDAIDX(0)->GetKeyString(static_cast<char*>(nullptr)), "UnNamed");
  EXPECT_EQ(d.RetrieveIDX(0), Item(0));
  EXPECT_EQ(d.FindKeyString(static_cast<CPString*>(nullptr)), nullptr);
  EXPECT_EQ(d.ExistsKeyString(static_cast<CPString*>(nullptr)), 0);

  // Removing under a null key removes nothing, and kills nothing.
  g_nKilled = 0;
  d.DetachKeyString(static_cast<CPString*>(nullptr));
  d.DetachKeyString(static_cast<const char*>(nullptr), nullptr);
  d.DestroyKeyString(static_cast<CPString*>(nullptr), &CountKill);
  d.DestroyKeyString(static_cast<const char*>(nullptr), &CountKill, nullptr);
  EXPECT_EQ(d.Length(), 1u);
  EXPECT_EQ(g_nKilled, 0);
  EXPECT_EQ(Insp::Check(d), "");
}

TEST(DictionaryNullArguments, NullCallbacksDoNothing) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));
  d.AddKeyString("two", Item(2), nullptr);
  d.GotoTop();
  d.ForEach(static_cast<IteratorAction*>(nullptr));
  d.ForEach(static_cast<CPActionFunc>(nullptr), nullptr);
  d.ForEach(static_cast<CPKeyActionFunc>(nullptr), nullptr);
  d.ForEachInternalContainer(nullptr, nullptr);
  d.ForEachKeyCardinal(nullptr, nullptr);
  EXPECT_EQ(d.FirstThatKeyCardinal(nullptr, nullptr), nullptr);
  EXPECT_EQ(d.FirstThat(nullptr, nullptr), nullptr);
  EXPECT_EQ(d.FirstThatInternalContainer(nullptr, nullptr), nullptr);
  // The null callbacks left the built-in cursor where it was.
  EXPECT_EQ(d.Retrieve(), Item(1));

  // AllThat without a condition: a new, empty dictionary.
  for (bool bEntries : {false, true}) {
    CPCollection* pcl = bEntries ? d.AllThatInternalContainer(nullptr, nullptr) : d.AllThat(nullptr, nullptr);
    ASSERT_NE(pcl, nullptr);
    EXPECT_NE(dynamic_cast<CPDictionary*>(pcl), nullptr);
    EXPECT_EQ(pcl->Length(), 0u);
    delete pcl;
  }
  d.StringKeyList(nullptr);
  EXPECT_EQ(d.Length(), 2u);
}

TEST(DictionaryNullArguments, AddListSkipsNullEntriesAndKeepsTheList) {
  CPDictionaryAssociation daNum, daText;
  daNum.SetKeyCardinal(7);
  daNum.SetValue(Item(7));
  daText.SetKeyString("seven");
  daText.SetValue(Item(8));
  CPList lst;
  lst.Add(&daNum);
  lst.Add(nullptr);
  lst.Add(&daText);

  CPDictionary d;
  d.AddList(&lst);
  d.AddList(nullptr);
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d.FindKeyNum(7), Item(7));
  EXPECT_EQ(d.FindKeyString("seven", nullptr), Item(8));
  EXPECT_EQ(lst.Length(), 3u);
  EXPECT_EQ(Insp::Check(d), "");
}

// ---- a dictionary class derived by a user -------------------------------------------

// Counts the numeric adds that reach the dictionary through the virtual slot.
class CountingDictionary : public CPDictionary {
 public:
  CountingDictionary() = default;
  CountingDictionary(const CountingDictionary& other) : Createable(), CPDictionary(other), nAdds(other.nAdds) {}
  void AddKeyNum(unsigned long nKey, void* pvItem) override {
    ++nAdds;
    CPDictionary::AddKeyNum(nKey, pvItem);
  }
  int nAdds = 0;
};

TEST(DerivedDictionary, ConstructsCopiesAndDispatchesThroughTheOverride) {
  CountingDictionary d;
  CPCollection& rcl = d;
  rcl.Add(Item(0));  // Add goes through the overridden AddKeyNum
  d.AddKeyNum(3, Item(3));
  d.AddKeyString("x", Item(4), nullptr);
  EXPECT_EQ(d.nAdds, 2);
  EXPECT_EQ(d.RetrieveIDX(0), d.RetrieveIDX(0));  // builds the parallel vector

  CountingDictionary copy(d);
  EXPECT_EQ(copy.nAdds, 2);
  EXPECT_EQ(Items(copy), Items(d));
  EXPECT_EQ(copy.FindKeyString("x", nullptr), Item(4));
  EXPECT_EQ(Insp::Check(copy), "");

  // The copy is independent of the original.
  copy.DetachKeyNum(3);
  EXPECT_EQ(d.FindKeyNum(3), Item(3));
  EXPECT_EQ(copy.FindKeyNum(3), nullptr);
}

TEST(DerivedDictionary, FailedCopyReportsAndLeavesTheOriginal) {
  CountingDictionary d;
  for (int i = 0; i < 4; ++i) d.AddKeyNum(static_cast<unsigned long>(i), Item(i));
  d.AddKeyString("k", Item(5), nullptr);
  const std::vector<void*> before = Items(d);
  // The second entry's allocation fails after the first one was linked.
  for (long n : {1L, 4L}) {
    SCOPED_TRACE(n);
    Createable::SetAllocationFailure(n);
    bool bReported = false;
    {
      ReportCapture capture;
      try {
        CountingDictionary copy(d);
        ADD_FAILURE() << "the copy did not report";
      } catch (const AssertionFailure& e) {
        bReported = true;
        EXPECT_STREQ(e.file, kSource);
      }
    }
    Createable::SetAllocationFailure(0);
    EXPECT_TRUE(bReported);
    EXPECT_EQ(Items(d), before);
    EXPECT_EQ(Insp::Check(d), "");
  }
}

// ---- allocation failures ----------------------------------------------------------------

TEST(DictionaryAllocation, CreatingMembersAnswerNullOrReport) {
  CPDictionary d;
  d.AddKeyNum(1, Item(1));

  Createable::SetAllocationFailure(1);
  CPCollection* pclNew = d.CreateInstance();
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(pclNew, nullptr);

  Createable::SetAllocationFailure(1);
  IterationState* pits = d.CreateIterationState();
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(pits, nullptr);

  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(d.AllThat(nullptr, nullptr), kSource, "pdctNew");
  Createable::SetAllocationFailure(0);

  EXPECT_EQ(d.FindKeyNum(1), Item(1));
  pclNew = d.CreateInstance();
  ASSERT_NE(pclNew, nullptr);
  EXPECT_EQ(pclNew->Length(), 0u);
  delete pclNew;
}

TEST(DictionaryAllocation, PositionalReadsWalkWhenTheVectorCannotBeBuilt) {
  CPDictionary d;
  for (int i = 0; i < 5; ++i) d.AddKeyNum(static_cast<unsigned long>(300 - 37 * i), Item(i));
  d.AddKeyString("text", Item(9), nullptr);
  const std::vector<void*> order = Items(d);
  ASSERT_EQ(order.size(), 6u);

  // Every read meets a failed vector allocation and walks instead.
  std::vector<void*> walked;
  for (unsigned long i = 0; i < order.size(); ++i) {
    alloc_sweep::Arm(alloc_sweep::eStandard, 1);
    walked.push_back(d.RetrieveIDX(i));
    EXPECT_TRUE(alloc_sweep::Disarm(alloc_sweep::eStandard, 1)) << i;
  }
  EXPECT_EQ(walked, order);
  alloc_sweep::Arm(alloc_sweep::eStandard, 1);
  EXPECT_EQ(d.RetrieveDAIDX(static_cast<long>(order.size())), nullptr);
  alloc_sweep::Disarm(alloc_sweep::eStandard, 1);

  // Once memory is back the vector is built and answers the same.
  for (unsigned long i = 0; i < order.size(); ++i) EXPECT_EQ(d.RetrieveIDX(i), order[i]);
  EXPECT_EQ(Insp::Check(d), "");
}

// ---- the cursors past the end ---------------------------------------------------------

TEST(DictionaryCursor, IterationStateOffTheEndStaysOff) {
  CPDictionary d;
  d.AddKeyNum(2, Item(2));
  d.AddKeyNum(258, Item(3));  // the same slot, after the first
  IterationState* pits = d.CreateIterationState();
  ASSERT_NE(pits, nullptr);
  // The cursor reads entries.
  auto ItemAt = [&]() { return static_cast<CPDictionaryAssociation*>(pits->retrieve())->GetValue(); };
  ASSERT_TRUE(pits->gotoTop());
  EXPECT_EQ(ItemAt(), Item(2));
  EXPECT_EQ(pits->gotoNext(), 1);
  EXPECT_EQ(ItemAt(), Item(3));
  EXPECT_EQ(pits->gotoNext(), 0);
  EXPECT_EQ(pits->retrieve(), nullptr);
  EXPECT_EQ(pits->gotoNext(), 0);
  EXPECT_EQ(pits->retrieve(), nullptr);
  delete pits;
}

// ---- entries without a key string ------------------------------------------------------

TEST(DictionaryEntry, KeyReadsOfAnEntryWithoutAKeyString) {
  CPDictionaryAssociation da;  // a string entry without a key string
  da.SetValue(Item(1));
  CPString strOut("untouched");
  EXPECT_STREQ(da.GetKeyString(&strOut), "");
  EXPECT_STREQ(strOut.GetBuffer(), "untouched");
  char szOut[16] = "junk";
  EXPECT_STREQ(da.GetKeyString(szOut), "");
  EXPECT_STREQ(szOut, "");
  EXPECT_EQ(da.MatchKeyString(""), 0);

  // Copies and assignments keep "no key string" and the item.
  CPDictionaryAssociation daCopy(da);
  EXPECT_EQ(daCopy._get_pstrKey(), nullptr);
  EXPECT_EQ(daCopy.GetValue(), Item(1));
  CPDictionaryAssociation daAssigned;
  daAssigned.SetKeyString("old");
  daAssigned = da;
  EXPECT_EQ(daAssigned._get_pstrKey(), nullptr);
  EXPECT_EQ(daAssigned._get_bUseString(), 1);
  EXPECT_EQ(daAssigned.GetValue(), Item(1));
}

TEST(DictionaryEntry, NullOutputsOfTheKeyReads) {
  CPDictionaryAssociation daText;
  daText.SetKeyString("abc");
  EXPECT_STREQ(daText.GetKeyString(static_cast<CPString*>(nullptr)), "abc");
  EXPECT_STREQ(daText.GetKeyString(static_cast<char*>(nullptr)), "abc");

  CPDictionaryAssociation daNum;
  daNum.SetKeyCardinal(12);
  CPString strOut("was here");
  EXPECT_STREQ(daNum.GetKeyString(&strOut), "");
  EXPECT_EQ(strOut.Length(), 0u);
  EXPECT_STREQ(daNum.GetKeyString(static_cast<CPString*>(nullptr)), "");
  EXPECT_STREQ(daNum.GetKeyString(static_cast<char*>(nullptr)), "");
  EXPECT_EQ(daNum.GetKeyCardinal(), 12);
}

TEST(DictionaryEntry, FailedKeyCopyReportsAndKeepsTheKey) {
  CPDictionaryAssociation da;
  da.SetKeyString("kept");
  CPString strUnshared("new key");  // nobody holds a reference: the entry copies it
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(da.SetKeyString(&strUnshared), kSource, "pstrKey");
  Createable::SetAllocationFailure(0);
  EXPECT_STREQ(da.GetKeyString(static_cast<char*>(nullptr)), "kept");

  da.SetKeyString(&strUnshared);
  EXPECT_STREQ(da.GetKeyString(static_cast<char*>(nullptr)), "new key");
  EXPECT_NE(da._get_pstrKey(), &strUnshared);
}

}  // namespace
