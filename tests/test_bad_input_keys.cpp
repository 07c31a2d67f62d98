// Awkward keys: texts with high-bit bytes, empty texts, 1 MiB texts and
// the numeric edges 0, 0x7FFFFFFF, 0x80000000 and all ones, in the
// dictionary, the tree, the reference collections and the symmetric map.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPSymmetricMap.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <cpcoll/crtree.h>

#include "support/counted.h"
#include "support/crdict_inspector.h"
#include "support/crtree_inspector.h"
#include "support/dictionary_inspector.h"
#include "support/symmetricmap_inspector.h"
#include "support/tree_inspector.h"

namespace {
int g_anItems[32];
void* Item(int i) { return &g_anItems[i]; }

// Two 1 MiB texts that differ only in their last byte, and one a byte shorter.
struct LongTexts {
  std::string a = std::string(1 << 20, 'q');
  std::string b = a;
  std::string shorter = a.substr(1);
  LongTexts() { b.back() = 'r'; }
};
const LongTexts& Long() {
  static const LongTexts texts;
  return texts;
}

// Keys with high-bit bytes; the last two compare above every ASCII text.
const char* const kHighBit[] = {"\xC3\xA9t\xC3\xA9", "caf\xC3\xA9", "\x80", "\xFF\xFE"};

const unsigned long kAllOnes = ~0ul;
const unsigned long kEdgeNumbers[] = {0ul, 0x7FFFFFFFul, 0x80000000ul, 0x80000000ul | 0x100ul, kAllOnes - 1, kAllOnes};
}  // namespace

// ---- dictionary ------------------------------------------------------------------

TEST(EdgeKeysDictionary, AwkwardTextsAreDistinctKeysFoundByAnyCopyOfTheirText) {
  CPDictionary d(256);
  int i = 0;
  for (const char* psz : kHighBit) d.AddKeyString(psz, Item(i++), nullptr);
  d.AddKeyString(Long().a.c_str(), Item(10), nullptr);
  d.AddKeyString(Long().b.c_str(), Item(11), nullptr);
  d.AddKeyString(Long().shorter.c_str(), Item(12), nullptr);
  ASSERT_EQ(d.Length(), 7u);
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");

  i = 0;
  for (const char* psz : kHighBit) {
    std::string copy(psz);  // another buffer with the same bytes
    EXPECT_EQ(d.FindKeyString(copy.c_str(), nullptr), Item(i)) << i;
    CPString str(psz);
    EXPECT_EQ(d.FindKeyString(&str), Item(i++));
  }
  std::string copy = Long().b;
  EXPECT_EQ(d.FindKeyString(copy.c_str(), nullptr), Item(11));
  CPString strLong(Long().a.c_str());
  EXPECT_EQ(d.FindKeyString(&strLong), Item(10));
  EXPECT_EQ(d.ExistsKeyString(Long().shorter.c_str(), nullptr), 1);

  d.DetachKeyString(Long().a.c_str(), nullptr);
  EXPECT_EQ(d.FindKeyString(copy.c_str(), nullptr), Item(11));
  EXPECT_EQ(d.FindKeyString(&strLong), nullptr);
  EXPECT_EQ(d.Length(), 6u);
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");
}

// The empty text is stored as "UnNamed" and is not found by the empty
// text, so each add with it stores another entry.
TEST(EdgeKeysDictionary, EmptyTextIsStoredAsUnNamed) {
  CPDictionary d(256);
  d.AddKeyString("", Item(1), nullptr);
  d.AddKeyString("", Item(2), nullptr);
  EXPECT_EQ(d.Length(), 2u);
  EXPECT_EQ(d.ExistsKeyString("", nullptr), 0);
  EXPECT_EQ(d.FindKeyString("UnNamed", nullptr), nullptr);  // filed in the empty text's slot
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");
}

TEST(EdgeKeysDictionary, EdgeNumbersAreKeysLikeAnyOther) {
  CPDictionary d(256);
  int i = 0;
  for (unsigned long k : kEdgeNumbers) d.AddKeyNum(k, Item(i++));
  ASSERT_EQ(d.Length(), 6u);
  i = 0;
  for (unsigned long k : kEdgeNumbers) {
    EXPECT_EQ(d.FindKeyNum(k), Item(i++)) << std::hex << k;
    EXPECT_EQ(d.ExistsKeyNum(k), 1);
  }
  EXPECT_EQ(d.FindKeyNum(0x180000000ul), nullptr);  // same low 32 bits as 0x80000000
  // 0, 0x80000000 and 0x80000100 share slot 0; removing one leaves the others.
  d.DetachKeyNum(0x80000000ul);
  EXPECT_EQ(d.FindKeyNum(0), Item(0));
  EXPECT_EQ(d.FindKeyNum(0x80000100ul), Item(3));
  EXPECT_EQ(d.FindKeyNum(0x80000000ul), nullptr);
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");
}

// ---- tree ------------------------------------------------------------------------------

TEST(EdgeKeysTree, TextsOrderByUnsignedBytes) {
  CPTree t;
  const char* const kKeys[] = {"z", "", "\xFF\xFE", "\x80", "Z", "caf\xC3\xA9", "cafe"};
  for (int i = 0; i < 7; ++i) t.AddKeyString(kKeys[i], Item(i), nullptr);
  t.AddKeyString(Long().a.c_str(), Item(10), nullptr);
  t.AddKeyString(Long().b.c_str(), Item(11), nullptr);
  t.AddKeyString(Long().shorter.c_str(), Item(12), nullptr);
  EXPECT_EQ(CPTreeInspector::Check(t), "");

  std::vector<void*> order;
  for (Leaf* plf = t._get_plfHead(); plf != nullptr; plf = plf->_get_plfNext()) order.push_back(plf->_get_pvData());
  // "" < "Z" < "cafe" < "caf\xC3\xA9" < q...q (shorter) < q...q < q...r < "z" < "\x80" < "\xFF\xFE"
  std::vector<void*> want = {Item(1), Item(4), Item(6), Item(5), Item(12), Item(10), Item(11), Item(0), Item(3),
                             Item(2)};
  EXPECT_EQ(order, want);

  std::string copy = Long().b;
  EXPECT_EQ(t.FindKeyString(&copy[0], nullptr), Item(11));
  char szEmpty[] = "";
  EXPECT_EQ(t.FindKeyString(szEmpty, nullptr), Item(1));
  t.DetachKeyString("\x80", nullptr);
  EXPECT_EQ(t.Length(), 9u);
  EXPECT_EQ(CPTreeInspector::Check(t), "");
}

TEST(EdgeKeysTree, StringObjectKeysWithAwkwardTexts) {
  CPString* apstr[] = {new CPString(""), new CPString("\xFF"), new CPString(Long().a.c_str())};
  {
    CPTree t;
    for (int i = 0; i < 3; ++i) {
      apstr[i]->AddRef();
      t.AddKeyString(apstr[i], Item(i));
    }
    for (int i = 0; i < 3; ++i) {
      CPString copy(apstr[i]->GetBuffer());
      EXPECT_EQ(t.FindKeyString(&copy), Item(i)) << i;
    }
    EXPECT_EQ(CPTreeInspector::Check(t), "");
    for (CPString* p : apstr) t.DetachKeyString(p);
    EXPECT_EQ(t.Length(), 0u);
  }
  for (CPString* p : apstr) {
    EXPECT_EQ(p->_get_nRefCount(), 1);  // the registry let go of every text
    p->Release();
  }
}

// Numeric keys compare unsigned at pointer width; all ones means "the item
// is its own key".
TEST(EdgeKeysTree, EdgeNumbersOrderUnsigned) {
  CPTree t;
  t.AddKeyNum(0x80000000ul, Item(2));
  t.AddKeyNum(kAllOnes - 1, Item(3));
  t.AddKeyNum(0, Item(0));
  t.AddKeyNum(0x7FFFFFFFul, Item(1));
  std::vector<void*> order;
  for (Leaf* plf = t._get_plfHead(); plf != nullptr; plf = plf->_get_plfNext()) order.push_back(plf->_get_pvData());
  EXPECT_EQ(order, (std::vector<void*>{Item(0), Item(1), Item(2), Item(3)}));
  EXPECT_EQ(t.FindKeyNum(0), Item(0));
  EXPECT_EQ(t.FindKeyNum(kAllOnes - 1), Item(3));

  t.AddKeyNum(kAllOnes, Item(4));
  EXPECT_EQ(t.FindKeyNum(reinterpret_cast<unsigned long>(Item(4))), Item(4));
  EXPECT_EQ(t.FindKeyNum(kAllOnes), nullptr);
  t.DetachKeyNum(0);
  EXPECT_EQ(t.FindKeyNum(0), nullptr);
  EXPECT_EQ(t.Length(), 4u);
  EXPECT_EQ(CPTreeInspector::Check(t), "");
}

// ---- reference collections -------------------------------------------------------------------

TEST(EdgeKeysRefs, AwkwardKeysTakeAndGiveBackOneReferenceEach) {
  std::vector<Counted*> objects;
  for (int i = 0; i < 6; ++i) {
    objects.push_back(new Counted(i));
    objects.back()->AddRef();
  }
  {
    CrDictionary d;
    CrTree t;
    CrTree tn;
    const char* const kKeys[] = {"\xC3\xA9", "\xFF", Long().a.c_str(), Long().b.c_str()};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(d.AddKeyString(kKeys[i], objects[i], nullptr), 1);
      EXPECT_EQ(t.AddKeyString(kKeys[i], objects[i], nullptr), 1);
    }
    EXPECT_EQ(d.AddKeyString(Long().a.c_str(), objects[5], nullptr), 0);  // present: no reference
    EXPECT_EQ(d.AddKeyNum(static_cast<long>(0x80000000ul), objects[4]), 1);
    EXPECT_EQ(d.AddKeyNum(0, objects[5]), 1);
    EXPECT_EQ(tn.AddKeyNum(static_cast<long>(0x80000000ul), objects[4]), 1);
    EXPECT_EQ(tn.AddKeyNum(0x7FFFFFFF, objects[5]), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(objects[i]->_get_nRefCount(), 3) << i;

    std::string copy = Long().b;
    EXPECT_EQ(d.FindKeyString(copy.c_str(), nullptr), objects[3]);
    EXPECT_EQ(t.FindKeyString(copy.c_str(), nullptr), objects[3]);
    EXPECT_EQ(d.FindKeyNum(static_cast<long>(0x80000000ul)), objects[4]);
    EXPECT_EQ(tn.FindKeyNum(static_cast<long>(0x80000000ul)), objects[4]);
    tn.GotoTop();
    EXPECT_EQ(tn.Retrieve(), objects[5]);  // 0x7FFFFFFF before 0x80000000

    // Key -1 is all ones: the dictionary keeps it as a number, the tree
    // files the object under its own address.
    EXPECT_EQ(d.AddKeyNum(-1, objects[4]), 1);
    EXPECT_EQ(d.FindKeyNum(-1), objects[4]);
    EXPECT_EQ(tn.AddKeyNum(-1, objects[3]), 1);
    EXPECT_EQ(tn.FindKeyNum(-1), nullptr);
    EXPECT_EQ(tn.FindKeyNum(static_cast<long>(reinterpret_cast<std::uintptr_t>(objects[3]))), objects[3]);
    EXPECT_EQ(d.RemoveKeyNum(-1), 1);

    EXPECT_EQ(d.RemoveKeyString(copy.c_str(), nullptr), 1);
    EXPECT_EQ(t.RemoveKeyString(copy.c_str(), nullptr), 1);
    EXPECT_EQ(objects[3]->_get_nRefCount(), 2);  // tn still holds it under its address
    EXPECT_TRUE(CrDictionaryInspector::Check(d));
    EXPECT_EQ(CrTreeInspector::Check(t), "");
  }
  for (Counted* p : objects) {
    EXPECT_EQ(p->_get_nRefCount(), 1);  // every collection gave its references back
    p->Release();
  }
}

// ---- symmetric map ----------------------------------------------------------------------------

TEST(EdgeKeysSymmetricMap, AwkwardTextsMapBothWays) {
  CPSymmetricMap map;
  map.AddMapping("\xC3\xA9t\xC3\xA9", "\xFF", nullptr);
  map.AddMapping(Long().a.c_str(), Long().b.c_str(), nullptr);
  map.AddMapping(Long().b.c_str(), "\xFF", nullptr);  // "\xFF" on side B turns into a list
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));

  CPString key, other;
  key = "\xC3\xA9t\xC3\xA9";
  map.RetrieveA(&key, &other);
  EXPECT_STREQ(other.GetBuffer(), "\xFF");
  key = Long().b.c_str();
  map.RetrieveB(&key, &other);
  EXPECT_EQ(std::string(other.GetBuffer()), Long().a);
  map.RetrieveA(&key, &other);
  EXPECT_STREQ(other.GetBuffer(), "\xFF");

  CrList out;
  key = "\xFF";
  map.GetAllThatMatchKeyB(key, out);
  EXPECT_EQ(out.Length(), 2u);
}

// A mapping with an empty text is found from its other side.  From the
// empty side it is not: the index files the empty text as "UnNamed" in the
// empty text's slot, where neither "" nor "UnNamed" finds it.
TEST(EdgeKeysSymmetricMap, EmptyTextsAreFoundFromTheOtherSideOnly) {
  CPSymmetricMap map;
  map.AddMapping("", "b", nullptr);
  map.AddMapping("a", "", nullptr);
  map.AddMapping("UnNamed", "d", nullptr);
  EXPECT_TRUE(CPSymmetricMapInspector::Check(map));
  CPString key("b"), other("x");
  map.RetrieveB(&key, &other);
  EXPECT_STREQ(other.GetBuffer(), "");
  key = "a";
  map.RetrieveA(&key, &other);
  EXPECT_STREQ(other.GetBuffer(), "");

  other = "x";
  key = "";
  map.RetrieveA(&key, &other);
  EXPECT_STREQ(other.GetBuffer(), "x");
  CrList out;
  key = "UnNamed";  // finds only the mapping made with that very text
  map.GetAllThatMatchKeyA(key, out);
  ASSERT_EQ(out.Length(), 1u);
  out.GotoTop();
  EXPECT_STREQ(static_cast<MapKeyPair*>(out.Retrieve())->_get_strB().GetBuffer(), "d");
}
