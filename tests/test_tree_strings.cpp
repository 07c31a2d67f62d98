// CPTree with string keys: byte order, and the process-wide registry that
// keeps key strings alive (first object wins, uses counted across trees).
// The registry is shared by the whole binary, so every test uses texts of
// its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/crdict.h>
#include <cpcoll/detail/key_registry.h>

#include "support/report_capture.h"
#include "support/tree_inspector.h"

namespace {

namespace keyreg = tarncoll::detail::keyreg;

const char kSrc[] = "cpcoll\\BTree";

void* Item(long n) { return reinterpret_cast<void*>(0x10000 + n); }

// A string the test holds one reference on.
CPString* Held(const char* psz) {
  CPString* p = new CPString(psz);
  p->AddRef();
  return p;
}

Createable* Registered(const char* psz) {
  return CPTree::pcrdctStringKeys ? CPTree::pcrdctStringKeys->FindKeyString(psz, nullptr) : nullptr;
}

std::vector<std::string> Keys(const CPTree& t) {
  std::vector<std::string> v;
  for (Leaf* p = t._get_plfHead(); p; p = p->plfNext) v.push_back(static_cast<const char*>(p->pvKey));
  return v;
}

}  // namespace

// Must stay the first test of this binary: the registry does not exist yet.
TEST(CPTreeRegistry, CreatedOnFirstStringObjectAndItsFailureReported) {
  ASSERT_EQ(CPTree::pcrdctStringKeys, nullptr);
  CPTree t;
  t.AddKeyString("plain", Item(1), nullptr);  // a text pointer registers nothing
  EXPECT_EQ(CPTree::pcrdctStringKeys, nullptr);

  CPString* s = Held("first");
  Createable::SetAllocationFailure(1);
  EXPECT_NIL_REPORT(t.AddKeyString(s, Item(2)), kSrc, "pcrdctStringKeys");
  EXPECT_EQ(t.Length(), 1u);
  EXPECT_EQ(s->_get_nRefCount(), 1);

  t.AddKeyString(s, Item(2));
  ASSERT_NE(CPTree::pcrdctStringKeys, nullptr);
  EXPECT_EQ(Registered("first"), s);
  EXPECT_GT(s->_get_nRefCount(), 1);  // the registry holds it
  EXPECT_EQ(t.FindLeaf(const_cast<char*>("first"), 0)->pvKey, static_cast<const void*>(s->GetBuffer()));
  t.DetachKeyString(s);
  EXPECT_EQ(s->_get_nRefCount(), 1);
  s->Release();
}

TEST(CPTreeStrings, KeysCompareAsUnsignedBytes) {
  CPTree t;
  for (const char* psz : {"b", "a", "\xC3\xA9", "ab", "Z", ""}) t.AddKeyString(psz, Item(1), nullptr);
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"", "Z", "a", "ab", "b", "\xC3\xA9"}));
  EXPECT_EQ(CPTreeInspector::Check(t), "");
  EXPECT_EQ(t.FindKeyString("ab", nullptr), Item(1));
  EXPECT_EQ(t.FindKeyString("abc", nullptr), nullptr);
  EXPECT_EQ(t.ExistsKeyString(static_cast<const char*>(nullptr), nullptr), 0);
  EXPECT_EQ(t.FindKeyString(static_cast<CPString*>(nullptr)), nullptr);
  t.AddKeyString(static_cast<const char*>(nullptr), Item(2), nullptr);  // ignored: a null text has no order
  EXPECT_EQ(t.Length(), 6u);
  EXPECT_ASSERT_REPORT(t.FindKeyNum(1), kSrc, "etdsState == etreeNumber");
}

TEST(CPTreeRegistry, FirstObjectWinsAndTheKeyPointerStays) {
  CPTree t;
  CPString* s1 = Held("fw-key");
  CPString* s2 = Held("fw-key");
  t.AddKeyString(s1, Item(1));
  const short nXACT = t._get_nXACT();
  t.AddKeyString(s2, Item(2));
  EXPECT_EQ(t.Length(), 1u);
  EXPECT_EQ(t._get_nXACT(), nXACT);
  EXPECT_EQ(t.FindKeyString(s2), Item(2));
  EXPECT_EQ(t._get_plfRoot()->pvKey, static_cast<const void*>(s1->GetBuffer()));
  EXPECT_EQ(Registered("fw-key"), s1);
  EXPECT_EQ(s2->_get_nRefCount(), 1);  // not registered

  // DestroyKeyString leaves the entry; DetachKeyString removes it.
  std::vector<void*> killed;
  static std::vector<void*>* s_pKilled;
  s_pKilled = &killed;
  t.DestroyKeyString(s2, [](void* pv, void*) { s_pKilled->push_back(pv); });
  EXPECT_EQ(killed, std::vector<void*>{Item(2)});
  EXPECT_EQ(Registered("fw-key"), s1);
  t.AddKeyString(s2, Item(3));  // keyed by s1's buffer again
  EXPECT_EQ(t._get_plfRoot()->pvKey, static_cast<const void*>(s1->GetBuffer()));
  t.DetachKeyString(s2);
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(Registered("fw-key"), nullptr);
  EXPECT_EQ(s1->_get_nRefCount(), 1);
  s1->Release();
  s2->Release();
}

TEST(CPTreeRegistry, TwoTreesShareAKeyTextAndOneDetachesIt) {
  CPTree a;
  CPTree b;
  CPString* s1 = Held("shared-text");
  CPString* s2 = Held("shared-text");
  a.AddKeyString(s1, Item(1));
  b.AddKeyString(s2, Item(2));
  EXPECT_EQ(b._get_plfRoot()->pvKey, static_cast<const void*>(s1->GetBuffer()));
  s1->Release();  // only the registry holds s1 now

  a.DetachKeyString(s2);  // b still uses the text: the entry stays
  EXPECT_EQ(a.Length(), 0u);
  ASSERT_NE(Registered("shared-text"), nullptr);
  EXPECT_EQ(Keys(b), std::vector<std::string>{"shared-text"});  // readable (ASan)
  EXPECT_EQ(b.FindKeyString("shared-text", nullptr), Item(2));

  b.DetachKeyString(s2);  // the last use: the entry and s1 go
  EXPECT_EQ(Registered("shared-text"), nullptr);
  EXPECT_EQ(s2->_get_nRefCount(), 1);
  s2->Release();
}

TEST(CPTreeRegistry, DetachKeyStringOfAnUnregisteredKeyLeavesOtherTreesAlone) {
  // a keys "lit" by a text pointer; b registered "lit".  a's detach removes
  // a's node but must not drop b's registration.
  static const char lit[] = "lit-key";
  CPTree a;
  CPTree b;
  CPString* s = Held("lit-key");
  a.AddKeyString(lit, Item(1), nullptr);
  b.AddKeyString(s, Item(2));
  s->Release();
  a.DetachKeyString(s->GetBuffer(), nullptr);
  CPString probe("lit-key");
  a.AddKeyString(lit, Item(1), nullptr);
  a.DetachKeyString(&probe);
  EXPECT_EQ(a.Length(), 0u);
  ASSERT_NE(Registered("lit-key"), nullptr);
  EXPECT_EQ(Keys(b), std::vector<std::string>{"lit-key"});
  b.DetachKeyString(&probe);
  EXPECT_EQ(Registered("lit-key"), nullptr);
}

TEST(CPTreeRegistry, EmptyTextIsAKeyWithoutRegistration) {
  CPTree t;
  CPString* s = Held("");
  t.AddKeyString(s, Item(1));
  t.AddKeyString("m", Item(2), nullptr);
  EXPECT_STREQ(s->GetBuffer(), "");  // not renamed by the registry
  EXPECT_EQ(s->_get_nRefCount(), 1);
  EXPECT_EQ(t.FindKeyString("", nullptr), Item(1));
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"", "m"}));
  t.DetachKeyString(s);
  EXPECT_EQ(t.Length(), 1u);
  s->Release();
}

TEST(CPTreeRegistry, CopiesAndAllThatCountAsUses) {
  CPTree a;
  CPString* s = Held("copied-key");
  a.AddKeyString(s, Item(1));
  s->Release();
  CPTree copy(a);
  const unsigned long nRegistered = CPTree::pcrdctStringKeys->Length();
  CPCollection* pcl = a.AllThat([](void*, void*) { return 1; }, nullptr);
  EXPECT_EQ(CPTree::pcrdctStringKeys->Length(), nRegistered);                            // nothing new registered
  EXPECT_EQ(static_cast<CPTree*>(pcl)->_get_plfRoot()->pvKey, a._get_plfRoot()->pvKey);  // the same text
  CPString probe("copied-key");
  a.DetachKeyString(&probe);
  copy.DetachKeyString(&probe);
  ASSERT_NE(Registered("copied-key"), nullptr);  // the AllThat tree still uses it
  EXPECT_EQ(Keys(*static_cast<CPTree*>(pcl)), std::vector<std::string>{"copied-key"});
  static_cast<CPTree*>(pcl)->DetachKeyString(&probe);
  EXPECT_EQ(Registered("copied-key"), nullptr);
  delete pcl;
}

// Assigning a numeric tree over a string-keyed one drops the old nodes' uses
// of the registered text, so a later DetachKeyString(CPString*) may free it.
TEST(CPTreeRegistry, AssignmentOverStringKeysDropsTheirUses) {
  CPTree a;
  CPString* s = Held("assigned-over");
  a.AddKeyString(s, Item(1));
  CPTree copy(a);  // a second use of the same text
  const unsigned long nUses = keyreg::Uses(s);
  CPTree numbers;
  numbers.AddKeyNum(7, Item(2));
  a = numbers;
  EXPECT_EQ(a._get_etdsState(), numbers._get_etdsState());
  EXPECT_EQ(a.FindKeyNum(7), Item(2));
  EXPECT_EQ(keyreg::Uses(s), nUses - 1);
  copy = numbers;
  EXPECT_EQ(keyreg::Uses(s), nUses - 2);
  s->Release();
}

TEST(CPTreeRegistry, FailedRegistrationLeavesTreeAndStringAsTheyWere) {
  CPTree t;
  CPString* warm = Held("warm-up");
  t.AddKeyString(warm, Item(9));  // the registry exists from here on
  t.DetachKeyString(warm);
  warm->Release();
  CPString* s = Held("fails-once");
  const short nXACT = t._get_nXACT();
  Createable::SetAllocationFailure(2);  // the node, then inside the registry
  bool bReported = false;
  try {
    t.AddKeyString(s, Item(1));
  } catch (const AssertionFailure&) {
    bReported = true;
  }
  Createable::SetAllocationFailure(0);
  EXPECT_TRUE(bReported);
  EXPECT_EQ(t.Length(), 0u);
  EXPECT_EQ(t._get_nXACT(), nXACT);
  EXPECT_EQ(Registered("fails-once"), nullptr);
  EXPECT_EQ(s->_get_nRefCount(), 1);

  // Replacing path: the item of an equal text key comes back.
  t.AddKeyString("fails-once", Item(5), nullptr);
  Createable::SetAllocationFailure(1);  // no node is made: the registry fails
  bReported = false;
  try {
    t.AddKeyString(s, Item(6));
  } catch (const AssertionFailure&) {
    bReported = true;
  }
  Createable::SetAllocationFailure(0);
  EXPECT_TRUE(bReported);
  EXPECT_EQ(t.FindKeyString("fails-once", nullptr), Item(5));
  EXPECT_EQ(Registered("fails-once"), nullptr);
  EXPECT_EQ(CPTreeInspector::Check(t), "");
  s->Release();
}
