// CrDictionary: references taken only for stored objects, released once by
// removal and destruction, handed over by the detaches; keys as the wrapped
// dictionary treats them; deep copies; failures that leave counts intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>

#include "support/crdict_inspector.h"
#include "support/ref_probe.h"
#include "support/report_capture.h"

namespace {

const char kCrDict[] = "cpcoll\\crdict";
const char kCpDict[] = "cpcoll\\Cpdict";

int IdOf(Createable* pcr) { return pcr ? static_cast<Probe*>(pcr)->Id() : -1; }

// Ids in the dictionary's iteration order.
std::vector<int> Ids(CrDictionary& crdct) {
  std::vector<int> v;
  crdct.ForEach([](void* pv, void* user) {
    static_cast<std::vector<int>*>(user)->push_back(IdOf(static_cast<Createable*>(pv)));
  }, &v);
  return v;
}

// A CRC whose slot differs from the text's own.
unsigned long WrongCRC(const char* psz) { return CPString(psz)._get_nCRC() ^ 0x01; }

using CrDictRefs = RefTest;

TEST_F(CrDictRefs, AddUnderAPresentKeyTakesNoReferenceAndKeepsTheFirstObject) {
  Probe* p1 = HeldProbe(1);
  Probe* p2 = HeldProbe(2);
  CrDictionary crdct;
  CPString strKey("k");
  EXPECT_EQ(crdct.AddKeyNum(7, p1), 1);
  EXPECT_EQ(crdct.AddKeyNum(7, p2), 0);
  EXPECT_EQ(crdct.AddKeyString("k", p1, nullptr), 1);
  EXPECT_EQ(crdct.AddKeyString("k", p2, nullptr), 0);
  EXPECT_EQ(crdct.AddKeyString(&strKey, p2), 0);
  // A present key is tested before the object, so even null is no error.
  EXPECT_EQ(crdct.AddKeyNum(7, nullptr), 0);
  EXPECT_EQ(p1->_get_nRefCount(), 3);
  EXPECT_EQ(p2->_get_nRefCount(), 1);
  EXPECT_EQ(crdct.FindKeyNum(7), p1);
  EXPECT_EQ(crdct.FindKeyString("k", nullptr), p1);
  EXPECT_EQ(crdct.Length(), 2u);
  EXPECT_TRUE(CrDictionaryInspector::Check(crdct));
  crdct.RemoveAll();
  EXPECT_EQ(p1->_get_nRefCount(), 1);
  p1->Release();
  p2->Release();
}

TEST_F(CrDictRefs, RemoveOfAnAbsentKeyReleasesNothing) {
  Probe* p = HeldProbe(1);
  CrDictionary crdct;
  crdct.AddKeyNum(1, p);
  crdct.AddKeyString("a", p, nullptr);
  CPString strB("b");
  EXPECT_EQ(crdct.RemoveKeyNum(2), 0);
  EXPECT_EQ(crdct.RemoveKeyString("b", nullptr), 0);
  EXPECT_EQ(crdct.RemoveKeyString(&strB), 0);
  EXPECT_TRUE(Probe::Released().empty());
  EXPECT_EQ(p->_get_nRefCount(), 3);

  EXPECT_EQ(crdct.RemoveKeyString("a", nullptr), 1);
  EXPECT_EQ(Probe::Released(), std::vector<int>({1}));
  EXPECT_EQ(crdct.RemoveKeyNum(1), 1);
  EXPECT_EQ(p->_get_nRefCount(), 1);
  EXPECT_EQ(crdct.Length(), 0u);
  p->Release();
}

TEST_F(CrDictRefs, DetachHandsTheReferenceToTheCaller) {
  CrDictionary crdct;
  crdct.AddKeyNum(5, new Probe(5));
  crdct.AddKeyString("six", new Probe(6), nullptr);
  crdct.AddKeyString("seven", new Probe(7), nullptr);

  Createable* p5 = crdct.FindKeyNum(5);
  crdct.DetachKeyNum(5);
  EXPECT_EQ(crdct.FindKeyNum(5), nullptr);
  EXPECT_EQ(p5->_get_nRefCount(), 1);  // now the caller's

  Createable* p6 = crdct.FindKeyString("six", nullptr);
  crdct.DetachKeyString("six", nullptr);
  CPString strSeven("seven");
  Createable* p7 = crdct.FindKeyString(&strSeven);
  crdct.DetachKeyString(&strSeven);
  crdct.DetachKeyNum(99);  // absent: nothing happens
  EXPECT_EQ(crdct.Length(), 0u);
  EXPECT_TRUE(Probe::Released().empty());
  EXPECT_EQ(p6->_get_nRefCount(), 1);
  EXPECT_EQ(p7->_get_nRefCount(), 1);
  p5->Release();
  p6->Release();
  p7->Release();
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({5, 6, 7}));
}

TEST_F(CrDictRefs, EmptyTextKeysAreStoredAsUnNamedAndTakeASecondReference) {
  Probe* p = HeldProbe(1);
  CrDictionary crdct;
  EXPECT_EQ(crdct.AddKeyString("", p, nullptr), 1);
  EXPECT_EQ(crdct.ExistsKeyString("", nullptr), 0);
  EXPECT_EQ(crdct.AddKeyString("", p, nullptr), 1);
  EXPECT_EQ(crdct.Length(), 2u);
  EXPECT_EQ(p->_get_nRefCount(), 3);
  crdct.GotoTop();
  CPDictionaryAssociation* pda = crdct.RetrieveInternalContainer();
  ASSERT_NE(pda, nullptr);
  EXPECT_STREQ(pda->_get_pstrKey()->GetBuffer(), "UnNamed");
  EXPECT_TRUE(CrDictionaryInspector::Check(crdct));
  crdct.RemoveAll();
  EXPECT_EQ(Probe::Released(), std::vector<int>({1, 1}));
  p->Release();
}

TEST_F(CrDictRefs, DestructionReleasesEveryObjectOnceThenTheWrappedDictionary) {
  Probe* pKept = HeldProbe(4);
  CrDictionary* pcrdct = new CrDictionary;
  pcrdct->AddKeyNum(1, new Probe(1));
  pcrdct->AddKeyString("two", new Probe(2), nullptr);
  pcrdct->AddKeyNum(3, pKept);
  pcrdct->AddKeyNum(4, pKept);
  delete pcrdct;
  std::vector<int> released = Probe::Released();
  std::sort(released.begin(), released.end());
  EXPECT_EQ(released, std::vector<int>({1, 2, 4, 4}));
  EXPECT_EQ(Probe::Destroyed().size(), 2u);
  EXPECT_EQ(pKept->_get_nRefCount(), 1);
  pKept->Release();
}

TEST_F(CrDictRefs, AnObjectSharedWithAListCarriesTwoMoreReferences) {
  Probe* p = new Probe(1);
  CrDictionary* pcrdct = new CrDictionary;
  CrList* pcrlst = new CrList;
  pcrdct->AddKeyString("p", p, nullptr);
  pcrlst->Add(p);
  EXPECT_EQ(p->_get_nRefCount(), 2);
  EXPECT_EQ(pcrdct->RemoveKeyString("p", nullptr), 1);
  EXPECT_EQ(p->_get_nRefCount(), 1);
  // The list still holds it, so the pointer found before stays valid.
  EXPECT_EQ(pcrlst->RetrieveIDX(0), p);
  delete pcrdct;
  EXPECT_TRUE(Probe::Destroyed().empty());
  delete pcrlst;
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({1}));
}

TEST_F(CrDictRefs, AHeldKeyStringIsSharedAndKeptAlive) {
  Probe* p = new Probe(1);
  CrDictionary crdct;
  CPString* pstrKey = new CPString("shared");
  pstrKey->AddRef();
  EXPECT_EQ(crdct.AddKeyString(pstrKey, p), 1);
  EXPECT_EQ(pstrKey->_get_nRefCount(), 2);
  pstrKey->Release();  // the entry keeps it alive
  EXPECT_EQ(crdct.FindKeyString("shared", nullptr), p);
  crdct.GotoTop();
  EXPECT_STREQ(crdct.RetrieveInternalContainer()->_get_pstrKey()->GetBuffer(), "shared");
}

using CrDictKeys = RefTest;

// Regression: the existence test used the caller's CRC, the store the
// text's own; when they disagree and the key is present the dictionary
// stores nothing, so no reference may be taken.
TEST_F(CrDictKeys, AddWithADisagreeingCRCOnAPresentKeyTakesNoReference) {
  Probe* p1 = HeldProbe(1);
  Probe* p2 = HeldProbe(2);
  CrDictionary crdct;
  ASSERT_EQ(crdct.AddKeyString("abc", p1, nullptr), 1);
  unsigned long nWrong = WrongCRC("abc");
  EXPECT_EQ(crdct.ExistsKeyString("abc", &nWrong), 0);
  EXPECT_EQ(crdct.AddKeyString("abc", p2, &nWrong), 0);
  EXPECT_EQ(p2->_get_nRefCount(), 1);
  EXPECT_EQ(crdct.Length(), 1u);
  EXPECT_EQ(crdct.FindKeyString("abc", nullptr), p1);
  // A CRC that agrees is used as given.
  unsigned long nRight = CPString("xyz")._get_nCRC();
  EXPECT_EQ(crdct.AddKeyString("xyz", p2, &nRight), 1);
  EXPECT_EQ(crdct.FindKeyString("xyz", nullptr), p2);
  crdct.RemoveAll();
  p1->Release();
  p2->Release();
}

// Regression: a removal whose lookup (with the caller's CRC) finds an
// entry that the removal (with the text's own CRC) does not must not claim
// that it removed and released anything.
TEST_F(CrDictKeys, RemoveThatFindsButCannotDestroyReportsNothingRemoved) {
  Probe* p = HeldProbe(1);
  CrDictionary crdct;
  CPString* pstrKey = new CPString("old");
  pstrKey->AddRef();
  crdct.AddKeyString(pstrKey, p);  // shared: stored in the slot of "old"
  unsigned long nOldCRC = pstrKey->_get_nCRC();
  *pstrKey = "new";  // the entry's text changes, its slot does not
  ASSERT_EQ(crdct.FindKeyString("new", &nOldCRC), p);
  ASSERT_NE(CPString("new")._get_nCRC() & 0xFF, nOldCRC & 0xFF);
  EXPECT_EQ(crdct.RemoveKeyString("new", &nOldCRC), 0);
  EXPECT_EQ(p->_get_nRefCount(), 2);
  EXPECT_EQ(crdct.Length(), 1u);
  pstrKey->Release();
  crdct.RemoveAll();
  p->Release();
}

TEST_F(CrDictKeys, NullArgumentsAreReportedBeforeAnythingChanges) {
  Probe* p = HeldProbe(1);
  CrDictionary crdct;
  CPString strKey("k");
  EXPECT_ASSERT_REPORT(crdct.AddKeyNum(1, nullptr), kCrDict, "pcrEntry");
  EXPECT_ASSERT_REPORT(crdct.AddKeyString("k", nullptr, nullptr), kCrDict, "pcrEntry");
  EXPECT_ASSERT_REPORT(crdct.AddKeyString(&strKey, nullptr), kCrDict, "pcrEntry");
  EXPECT_ASSERT_REPORT(crdct.AddKeyString(static_cast<const char*>(nullptr), p, nullptr), kCrDict, "pszKey");
  EXPECT_ASSERT_REPORT(crdct.AddKeyString(static_cast<CPString*>(nullptr), p), kCrDict, "pstrKey");
  EXPECT_EQ(crdct.Length(), 0u);
  EXPECT_EQ(p->_get_nRefCount(), 1);
  // Lookups and removals with a null key find nothing.
  EXPECT_EQ(crdct.FindKeyString(static_cast<CPString*>(nullptr)), nullptr);
  EXPECT_EQ(crdct.ExistsKeyString(static_cast<CPString*>(nullptr)), 0);
  EXPECT_EQ(crdct.RemoveKeyString(static_cast<CPString*>(nullptr)), 0);
  EXPECT_EQ(crdct.RemoveKeyString(static_cast<const char*>(nullptr), nullptr), 0);
  p->Release();
}

using CrDictWalks = RefTest;

TEST_F(CrDictWalks, WalksAndCursorHandOutBorrowedObjectsInSlotOrder) {
  CrDictionary crdct;
  crdct.AddKeyNum(258, new Probe(258));  // slot 2
  crdct.AddKeyNum(1, new Probe(1));      // slot 1
  crdct.AddKeyNum(2, new Probe(2));      // slot 2, after 258
  EXPECT_EQ(Ids(crdct), std::vector<int>({1, 258, 2}));

  crdct.GotoTop();
  EXPECT_EQ(IdOf(crdct.Retrieve()), 1);
  EXPECT_EQ(crdct.Next(), 1);
  EXPECT_EQ(crdct.Prev(), 0);  // forward only: no movement
  EXPECT_EQ(IdOf(crdct.Retrieve()), 258);
  crdct.GotoBottom();
  EXPECT_EQ(IdOf(crdct.Retrieve()), 2);
  EXPECT_EQ(crdct.Next(), 0);
  EXPECT_EQ(crdct.Retrieve(), nullptr);

  EXPECT_EQ(IdOf(static_cast<Createable*>(crdct[1])), 258);
  EXPECT_EQ(crdct[3], nullptr);
  CPConditionFunc big = [](void* pv, void*) -> int { return IdOf(static_cast<Createable*>(pv)) > 100; };
  EXPECT_EQ(IdOf(crdct.FirstThat(big, nullptr)), 258);
  EXPECT_TRUE(Probe::Released().empty());
}

TEST_F(CrDictWalks, KeyedWalksSeeKeysAndEntries) {
  CrDictionary crdct;
  crdct.AddKeyNum(9, new Probe(9));
  crdct.AddKeyString("name", new Probe(1), nullptr);

  std::map<int, std::string> seen;  // id -> key as text
  crdct.ForEach([](void* pv, void* user, void* key) {
    Probe* p = static_cast<Probe*>(static_cast<Createable*>(pv));
    std::string text = p->Id() == 9 ? std::to_string(reinterpret_cast<unsigned long>(key))
                                    : std::string(static_cast<CPString*>(key)->GetBuffer());
    (*static_cast<std::map<int, std::string>*>(user))[p->Id()] = text;
  }, &seen);
  EXPECT_EQ(seen, (std::map<int, std::string>{{1, "name"}, {9, "9"}}));

  int nEntries = 0;
  crdct.ForEachInternalContainer([](void* pv, void* user) {
    CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(pv);
    if (pda->GetValue() != nullptr) ++*static_cast<int*>(user);
  }, &nEntries);
  EXPECT_EQ(nEntries, 2);

  // The node searches hand out entries, which are Createables themselves.
  CPConditionFunc numeric = [](void* pv, void*) -> int {
    return !static_cast<CPDictionaryAssociation*>(pv)->_get_bUseString();
  };
  Createable* pcrEntry = crdct.FirstThatInternalContainer(numeric, nullptr);
  CPDictionaryAssociation* pda = dynamic_cast<CPDictionaryAssociation*>(pcrEntry);
  ASSERT_NE(pda, nullptr);
  EXPECT_EQ(pda->GetKeyCardinal(), 9);
  EXPECT_EQ(IdOf(static_cast<Createable*>(pda->GetValue())), 9);
}

TEST_F(CrDictWalks, UnsupportedNodeSearchesReportAndReturnNothing) {
  CrDictionary crdct;
  crdct.AddKeyNum(1, new Probe(1));
  CPConditionFunc any = [](void*, void*) -> int { return 1; };
  EXPECT_ASSERT_REPORT(crdct.AllThatInternalContainer(any, nullptr), kCrDict, "1==0");
  EXPECT_ASSERT_REPORT(crdct.NextThatInternalContainer(any, nullptr), kCpDict, "1==0");
  EXPECT_EQ(crdct.Length(), 1u);
}

using CrDictCopy = RefTest;

TEST_F(CrDictCopy, CopyIsDeepSharesKeyStringsAndTakesItsOwnReferences) {
  Probe* p1 = HeldProbe(1);
  Probe* p2 = HeldProbe(2);
  CrDictionary* pcrdct = new CrDictionary;
  pcrdct->AddKeyNum(300, p1);
  pcrdct->AddKeyString("two", p2, nullptr);
  pcrdct->AddKeyString("one", p1, nullptr);
  pcrdct->AddKeyString("", p2, nullptr);  // two "UnNamed" entries, which a
  pcrdct->AddKeyString("", p2, nullptr);  // re-add could not reproduce

  CrDictionary* pcrdctCopy = new CrDictionary(*pcrdct);
  EXPECT_EQ(pcrdctCopy->Length(), 5u);
  EXPECT_NE(CrDictionaryInspector::Wrapped(*pcrdctCopy), CrDictionaryInspector::Wrapped(*pcrdct));
  EXPECT_EQ(Ids(*pcrdctCopy), Ids(*pcrdct));
  EXPECT_EQ(p1->_get_nRefCount(), 5);
  EXPECT_EQ(p2->_get_nRefCount(), 7);
  EXPECT_TRUE(CrDictionaryInspector::Check(*pcrdctCopy));

  delete pcrdct;
  EXPECT_EQ(pcrdctCopy->FindKeyNum(300), p1);
  EXPECT_EQ(pcrdctCopy->FindKeyString("two", nullptr), p2);
  EXPECT_EQ(pcrdctCopy->FindKeyString("one", nullptr), p1);
  EXPECT_EQ(p1->_get_nRefCount(), 3);
  EXPECT_EQ(p2->_get_nRefCount(), 4);
  delete pcrdctCopy;
  EXPECT_EQ(p1->_get_nRefCount(), 1);
  EXPECT_EQ(p2->_get_nRefCount(), 1);
  p1->Release();
  p2->Release();
}

TEST_F(CrDictCopy, AssignmentTakesTheNewReferencesBeforeDroppingTheOld) {
  // The source dictionary is itself held only by the target: releasing the
  // old content first would destroy the source before it was copied.
  CrDictionary crdctOuter;
  CrDictionary* pcrdctInner = new CrDictionary;
  pcrdctInner->AddKeyNum(1, new Probe(1));
  pcrdctInner->AddKeyString("two", new Probe(2), nullptr);
  crdctOuter.AddKeyNum(5, pcrdctInner);
  crdctOuter.AddKeyNum(3, new Probe(3));

  crdctOuter = *pcrdctInner;
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({3}));
  EXPECT_EQ(IdOf(crdctOuter.FindKeyNum(1)), 1);
  EXPECT_EQ(IdOf(crdctOuter.FindKeyString("two", nullptr)), 2);
  EXPECT_EQ(crdctOuter.FindKeyNum(5), nullptr);
  EXPECT_EQ(crdctOuter.FindKeyNum(1)->_get_nRefCount(), 1);
  EXPECT_TRUE(CrDictionaryInspector::Check(crdctOuter));
}

using CrDictFailures = RefTest;

TEST_F(CrDictFailures, ConstructorReportsAWrappedDictionaryThatCannotBeMade) {
  Createable::SetAllocationFailure(2);  // 1: the CrDictionary, 2: its CPDictionary
  EXPECT_NIL_REPORT(delete new CrDictionary, kCrDict, "pdctThe");
}

TEST_F(CrDictFailures, FailedAddInsideTheDictionaryTakesNoReference) {
  Probe* p = HeldProbe(1);
  CrDictionary crdct;
  int nFailed = 0;
  for (long nth = 1; nth <= 3; ++nth) {
    SCOPED_TRACE(nth);
    Createable::SetAllocationFailure(nth);
    try {
      crdct.AddKeyString("fresh", p, nullptr);
    } catch (const AssertionFailure&) {
      ++nFailed;
    }
    Createable::SetAllocationFailure(0);
    // Either the add failed and took nothing, or it succeeded and took one.
    EXPECT_EQ(p->_get_nRefCount(), 1 + crdct.Length());
    EXPECT_TRUE(CrDictionaryInspector::Check(crdct));
    crdct.RemoveAll();
  }
  EXPECT_GT(nFailed, 0);
  p->Release();
}

TEST_F(CrDictFailures, FailedCopyGivesBackEveryReferenceItTook) {
  CrDictionary crdct;
  for (int id = 1; id <= 4; ++id) crdct.AddKeyNum(id, new Probe(id));
  CrDictionary crdctTarget;
  crdctTarget.AddKeyNum(9, new Probe(9));
  for (long nth = 1; nth <= 20; ++nth) {
    SCOPED_TRACE(nth);
    Createable::SetAllocationFailure(nth);
    try {
      crdctTarget = crdct;
    } catch (const AssertionFailure&) {
    }
    Createable::SetAllocationFailure(0);
    // Either the whole copy arrived or the target is as it was.
    if (crdctTarget.FindKeyNum(9) == nullptr) {
      EXPECT_EQ(crdctTarget.Length(), 4u);
      break;
    }
    EXPECT_EQ(crdctTarget.Length(), 1u);
    for (long id = 1; id <= 4; ++id) EXPECT_EQ(crdct.FindKeyNum(id)->_get_nRefCount(), 1);
  }
  EXPECT_EQ(Probe::Destroyed(), std::vector<int>({9}));
}

// Random adds, removes and detaches under numeric and string keys against
// a model; after every step contents and every reference count agree.
TEST_F(CrDictRefs, RandomOperationsMatchAModel) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  std::vector<Probe*> pool;
  for (int id = 0; id < 6; ++id) pool.push_back(HeldProbe(id));
  std::map<std::string, Probe*> model;  // "#n" numeric keys, "$t" texts
  std::map<Probe*, int> nDetached;
  {
    CrDictionary crdct;
    for (int step = 0; step < 600; ++step) {
      long nKey = static_cast<long>(rng() % 24) * 128;  // many share slot 0/128
      bool bText = rng() % 2;
      std::string text = "k" + std::to_string(nKey);
      std::string mk = (bText ? "$" : "#") + text;
      Probe* p = pool[rng() % pool.size()];
      switch (rng() % 4) {
        case 0:
        case 1: {
          short n = bText ? crdct.AddKeyString(text.c_str(), p, nullptr) : crdct.AddKeyNum(nKey, p);
          ASSERT_EQ(n, model.count(mk) ? 0 : 1);
          if (n) model[mk] = p;
          break;
        }
        case 2: {
          short n = bText ? crdct.RemoveKeyString(text.c_str(), nullptr) : crdct.RemoveKeyNum(nKey);
          ASSERT_EQ(n, model.count(mk) ? 1 : 0);
          model.erase(mk);
          break;
        }
        default: {
          Createable* pcr = bText ? crdct.FindKeyString(text.c_str(), nullptr) : crdct.FindKeyNum(nKey);
          ASSERT_EQ(pcr, model.count(mk) ? model[mk] : nullptr);
          if (bText) crdct.DetachKeyString(text.c_str(), nullptr);
          else crdct.DetachKeyNum(nKey);
          if (pcr) ++nDetached[static_cast<Probe*>(pcr)];
          model.erase(mk);
        }
      }
      ASSERT_EQ(crdct.Length(), model.size());
      ASSERT_TRUE(CrDictionaryInspector::Check(crdct));
      for (Probe* q : pool) {
        long nHeld = 0;
        for (const auto& kv : model) nHeld += kv.second == q;
        ASSERT_EQ(q->_get_nRefCount(), 1 + nHeld + nDetached[q]);
      }
    }
  }
  for (Probe* q : pool) {
    EXPECT_EQ(q->_get_nRefCount(), 1 + nDetached[q]);
    for (int i = 0; i < nDetached[q]; ++i) q->Release();
    q->Release();
  }
}

}  // namespace
