// CPSymmetricMap and MapKeyPair: lookups from both sides, single pairs
// turning into lists, every pair and payload released exactly once, and
// creation failures that leave the map and the payload untouched.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <cpcoll/CPSymmetricMap.h>

#include "support/ref_probe.h"
#include "support/report_capture.h"
#include "support/symmetricmap_inspector.h"

namespace {

const char kMap[] = "cpcoll\\CPSymmetricMap";
const char kCrList[] = "cpcoll\\crlist";

// The other text and payload id of every pair in the list, in order.
std::vector<std::pair<std::string, int>> Pairs(CrList& crlst, bool bSideB) {
  std::vector<std::pair<std::string, int>> v;
  for (unsigned long i = 0; i < crlst.Length(); ++i) {
    MapKeyPair* pmkp = dynamic_cast<MapKeyPair*>(crlst.RetrieveIDX(i));
    if (pmkp == nullptr) {
      v.push_back({"<not a pair>", -1});
      continue;
    }
    Createable* pcr = pmkp->_get_pcreateableTxData();
    v.push_back({(bSideB ? pmkp->_get_strB() : pmkp->_get_strA()).GetBuffer(), pcr ? static_cast<Probe*>(pcr)->Id() : 0});
  }
  return v;
}

using SymmetricMapTest = RefTest;

TEST_F(SymmetricMapTest, AMappingIsFoundFromBothSides) {
  Probe* p = HeldProbe(1);
  CPSymmetricMap map;
  map.AddMapping("x", "1", p);
  EXPECT_EQ(p->_get_nRefCount(), 2);  // ours and the pair's

  CPString strX("x"), str1("1"), strOther;
  EXPECT_EQ(map.RetrieveA(&strX, &strOther), p);
  EXPECT_STREQ(strOther.GetBuffer(), "1");
  EXPECT_EQ(map.RetrieveB(&str1, &strOther), p);
  EXPECT_STREQ(strOther.GetBuffer(), "x");
  // The sides are separate: "x" is no B text, "1" no A text.
  strOther = "untouched";
  EXPECT_EQ(map.RetrieveB(&strX, &strOther), nullptr);
  EXPECT_EQ(map.RetrieveA(&str1, &strOther), nullptr);
  EXPECT_EQ(map.RetrieveA(nullptr, &strOther), nullptr);
  EXPECT_EQ(map.RetrieveA(&strX, nullptr), nullptr);
  EXPECT_STREQ(strOther.GetBuffer(), "untouched");
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
  EXPECT_EQ(p->_get_nRefCount(), 2);  // lookups take no references
  p->Release();
}

TEST_F(SymmetricMapTest, SecondMappingOfATextTurnsItsEntryIntoAListAndTheThirdIsAppended) {
  CPSymmetricMap map;
  map.AddMapping("x", "1", new Probe(1));
  EXPECT_NE(dynamic_cast<MapKeyPair*>(CPSymmetricMapInspector::EntryA(map, "x")), nullptr);
  map.AddMapping("x", "2", new Probe(2));
  CrList* pcrlst = dynamic_cast<CrList*>(CPSymmetricMapInspector::EntryA(map, "x"));
  ASSERT_NE(pcrlst, nullptr);
  EXPECT_EQ(pcrlst->_get_nRefCount(), 1);  // held by the index only
  map.AddMapping("x", "3", new Probe(3));
  EXPECT_EQ(CPSymmetricMapInspector::EntryA(map, "x"), pcrlst);  // the same list, appended
  EXPECT_EQ(Pairs(*pcrlst, true), (std::vector<std::pair<std::string, int>>{{"1", 1}, {"2", 2}, {"3", 3}}));
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));

  // The first mapping wins the single lookup; the others are found by B.
  CPString strX("x"), str2("2"), strOther;
  EXPECT_EQ(static_cast<Probe*>(map.RetrieveA(&strX, &strOther))->Id(), 1);
  EXPECT_STREQ(strOther.GetBuffer(), "1");
  EXPECT_EQ(static_cast<Probe*>(map.RetrieveB(&str2, &strOther))->Id(), 2);
  EXPECT_STREQ(strOther.GetBuffer(), "x");

  CrList crlstAll;
  map.GetAllThatMatchKeyA(strX, crlstAll);
  EXPECT_EQ(Pairs(crlstAll, true), (std::vector<std::pair<std::string, int>>{{"1", 1}, {"2", 2}, {"3", 3}}));
  // A B text shared by two A texts gives a list on the B side.
  map.AddMapping("y", "2", new Probe(4));
  map.GetAllThatMatchKeyB(str2, crlstAll);
  EXPECT_EQ(Pairs(crlstAll, false), (std::vector<std::pair<std::string, int>>{{"x", 2}, {"y", 4}}));
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
}

TEST_F(SymmetricMapTest, TheSamePairTwiceGivesTwoMappings) {
  CPSymmetricMap map;
  map.AddMapping("a", "b", new Probe(1));
  map.AddMapping("a", "b", new Probe(2));
  EXPECT_EQ(CPSymmetricMapInspector::Mappings(map), 2u);
  CrList crlst;
  map.GetAllThatMatchKeyB(CPString("b"), crlst);
  EXPECT_EQ(Pairs(crlst, false), (std::vector<std::pair<std::string, int>>{{"a", 1}, {"a", 2}}));
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
}

TEST_F(SymmetricMapTest, GetAllEmptiesTheOutputListEvenForAnAbsentKey) {
  CPSymmetricMap map;
  map.AddMapping("x", "1", new Probe(1));
  CrList crlst;
  Probe* pOld = new Probe(9);
  crlst.Add(pOld);
  map.GetAllThatMatchKeyB(CPString("absent"), crlst);
  EXPECT_EQ(crlst.Length(), 0u);
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({9}));  // the list held its last reference
  map.GetAllThatMatchKeyA(CPString("x"), crlst);
  EXPECT_EQ(crlst.Length(), 1u);
}

TEST_F(SymmetricMapTest, ANullPayloadIsAllowedAndOnlyTheOtherTextTellsAHit) {
  CPSymmetricMap map;
  map.AddMapping("x", "1", nullptr);
  CPString strX("x"), strOther;
  EXPECT_EQ(map.RetrieveA(&strX, &strOther), nullptr);
  EXPECT_STREQ(strOther.GetBuffer(), "1");
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
}

TEST_F(SymmetricMapTest, KeysAreCopiesNotTheCallersStrings) {
  CPSymmetricMap map;
  CPString* pstrA = new CPString("x");
  pstrA->AddRef();  // held: a dictionary given this string would share it
  map.AddMapping(*pstrA, CPString("1"), new Probe(1));
  EXPECT_EQ(pstrA->_get_nRefCount(), 1);
  *pstrA = "changed";
  pstrA->Release();
  CPString strX("x"), strOther;
  EXPECT_EQ(static_cast<Probe*>(map.RetrieveA(&strX, &strOther))->Id(), 1);
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
}

TEST_F(SymmetricMapTest, ClearAndDestructionReleaseEveryPairAndPayloadOnce) {
  Probe* pKept = HeldProbe(7);
  CPSymmetricMap* pmap = new CPSymmetricMap;
  pmap->AddMapping("x", "1", new Probe(1));
  pmap->AddMapping("x", "2", new Probe(2));
  pmap->AddMapping("y", "1", pKept);
  pmap->AddMapping("z", "3", pKept);
  CrList crlstOut;
  pmap->GetAllThatMatchKeyA(CPString("x"), crlstOut);  // holds the two x pairs

  pmap->Clear();
  // Payloads of pairs that nobody holds any more are gone; the two x pairs
  // live on in the output list, and with them payloads 1 and 2.
  EXPECT_TRUE(Probe::Destroyed().empty());
  EXPECT_EQ(Probe::Released(), std::vector<int>({7, 7}));
  EXPECT_EQ(pKept->_get_nRefCount(), 1);
  CPString strX("x"), str1("1"), strOther;
  EXPECT_EQ(pmap->RetrieveA(&strX, &strOther), nullptr);
  EXPECT_EQ(pmap->RetrieveB(&str1, &strOther), nullptr);
  CrList crlstAfter;
  pmap->GetAllThatMatchKeyA(strX, crlstAfter);
  EXPECT_EQ(crlstAfter.Length(), 0u);
  EXPECT_EQ(CPSymmetricMapInspector::Mappings(*pmap), 0u);

  crlstOut.RemoveAll();
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({1, 2}));

  // The map is usable after Clear, and destruction releases the same way.
  Probe::ResetLog();
  pmap->AddMapping("x", "1", pKept);
  pmap->AddMapping("x", "2", new Probe(3));
  delete pmap;
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({3}));
  EXPECT_EQ(pKept->_get_nRefCount(), 1);
  pKept->Release();
}

TEST_F(SymmetricMapTest, FailedCreationLeavesTheMapAndThePayloadUnchanged) {
  Probe* p = HeldProbe(1);
  CPSymmetricMap map;
  map.AddMapping("x", "1", new Probe(10));
  CPString strX("x"), str1("1");
  // Allocations of a mapping that needs lists on both sides: list A (1) and
  // its CPList (2), list B (3) and its CPList (4), then the pair (5).
  struct Case {
    long nth;
    const char* source;
    const char* text;
  } cases[] = {{1, kMap, "pcrlstNew"}, {2, kCrList, "plstThe"}, {3, kMap, "pcrlstNew"},
               {4, kCrList, "plstThe"}, {5, kMap, "pmkpNew"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nth);
    Createable::SetAllocationFailure(c.nth);
    EXPECT_NIL_REPORT(map.AddMapping(strX, str1, p), c.source, c.text);
    Createable::SetAllocationFailure(0);
    EXPECT_EQ(p->_get_nRefCount(), 1);
    EXPECT_EQ(CPSymmetricMapInspector::Mappings(map), 1u);
    EXPECT_NE(dynamic_cast<MapKeyPair*>(CPSymmetricMapInspector::EntryA(map, "x")), nullptr);
    EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
  }
  // A mapping that needs no list fails only on its pair.
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(map.AddMapping("new", "new", p), kMap, "pmkpNew");
  EXPECT_EQ(CPSymmetricMapInspector::Mappings(map), 1u);

  map.AddMapping(strX, str1, p);  // and succeeds without injected failure
  EXPECT_EQ(p->_get_nRefCount(), 2);
  EXPECT_EQ(CPSymmetricMapInspector::Mappings(map), 2u);
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
  map.Clear();
  p->Release();
}

TEST_F(SymmetricMapTest, MapKeyPairHoldsOneReferenceOnItsPayload) {
  Probe* p = HeldProbe(1);
  MapKeyPair* pmkp = new MapKeyPair(CPString("a"), CPString("b"), p);
  EXPECT_EQ(p->_get_nRefCount(), 2);
  EXPECT_EQ(pmkp->_get_pcreateableTxData(), p);
  EXPECT_STREQ(pmkp->_get_strA().GetBuffer(), "a");
  EXPECT_STREQ(pmkp->_get_strB().GetBuffer(), "b");
  delete pmkp;
  EXPECT_EQ(p->_get_nRefCount(), 1);
  MapKeyPair* pmkpNull = new MapKeyPair("a", "b", nullptr);
  delete pmkpNull;
  p->Release();
}

// Random mappings over a few texts against a model; after every step the
// first and all mappings of every text agree from both sides.
TEST_F(SymmetricMapTest, RandomMappingsMatchAModel) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  const char* texts[] = {"a", "b", "c", "d", "e"};
  std::map<std::string, std::vector<std::pair<std::string, int>>> byA, byB;
  CPSymmetricMap map;
  for (int step = 0; step < 120; ++step) {
    std::string a = texts[rng() % 5], b = texts[rng() % 5];
    map.AddMapping(a.c_str(), b.c_str(), new Probe(step + 1));
    byA[a].push_back({b, step + 1});
    byB[b].push_back({a, step + 1});
    ASSERT_TRUE(CPSymmetricMapInspector::Check(map));
    for (const char* t : texts) {
      CPString strKey(t), strOther;
      for (int side = 0; side < 2; ++side) {
        auto& model = side == 0 ? byA : byB;
        Createable* pcr = side == 0 ? map.RetrieveA(&strKey, &strOther) : map.RetrieveB(&strKey, &strOther);
        CrList crlst;
        if (side == 0) map.GetAllThatMatchKeyA(strKey, crlst);
        else map.GetAllThatMatchKeyB(strKey, crlst);
        ASSERT_EQ(Pairs(crlst, side == 0), model[t]);
        if (model[t].empty()) {
          ASSERT_EQ(pcr, nullptr);
        } else {
          ASSERT_EQ(static_cast<Probe*>(pcr)->Id(), model[t][0].second);
          ASSERT_EQ(std::string(strOther.GetBuffer()), model[t][0].first);
        }
      }
    }
  }
  map.Clear();
  EXPECT_EQ(Probe::Destroyed().size(), 120u);
}

}  // namespace
