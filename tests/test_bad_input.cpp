// Broken preconditions: every documented one reports its exact text from
// its own source module and leaves the container exactly as it was.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include <cpcoll/BTree.h>
#include <cpcoll/CpArray.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>
#include <cpcoll/cpstack.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <cpcoll/crtree.h>

#include "support/counted.h"
#include "support/crdict_inspector.h"
#include "support/crlist_inspector.h"
#include "support/crtree_inspector.h"
#include "support/dictionary_inspector.h"
#include "support/list_inspector.h"
#include "support/report_capture.h"
#include "support/tree_inspector.h"

namespace {
const char kList[] = "cpcoll\\cplist";
const char kHeader[] = "cpcoll\\cpcollec";
const char kCollec[] = "cpcoll\\Cpcollec";
const char kTree[] = "cpcoll\\BTree";
const char kDict[] = "cpcoll\\Cpdict";
const char kStack[] = "cpcoll\\cpstack";

int g_anItems[16];
void* Item(int i) { return &g_anItems[i]; }
int IndexOf(const void* pv) { return pv ? static_cast<int>(static_cast<const int*>(pv) - g_anItems) : -1; }
int Always(void*, void*) { return 1; }
void Kill(void*, void*) { ADD_FAILURE() << "kill function called by a refused operation"; }

// A list's items, count, modification count, cursor and reset point.
std::string ListState(CPList& l) {
  std::ostringstream os;
  os << l.Length() << '/' << l._get_nXACT() << " [";
  for (void* pv : CPListInspector::Forward(l)) os << IndexOf(pv) << ' ';
  os << "] cursor " << CPListInspector::IndexOf(l, l._get_pbktCursor()) << " reset "
     << CPListInspector::IndexOf(l, CPListInspector::Reset(l));
  return os.str();
}

std::string TreeState(CPTree& t, bool bText = false) {
  std::ostringstream os;
  os << t.Length() << '/' << t._get_nXACT() << " " << CPTreeInspector::Shape(t) << " [";
  for (Leaf* plf = t._get_plfHead(); plf != nullptr; plf = plf->_get_plfNext())
    os << CPTreeInspector::Key(plf, bText) << "->" << IndexOf(plf->_get_pvData()) << ' ';
  os << "]";
  return os.str();
}

std::string DictState(CPDictionary& d) {
  std::ostringstream os;
  os << d.Length() << '/' << d._get_nXACT() << " [";
  for (CPDictionaryAssociation* pda : CPDictionaryInspector::Entries(d)) os << IndexOf(pda->GetValue()) << ' ';
  os << "]";
  return os.str();
}

// A list p0 p1 p2 with the cursor and the reset point on p1.
std::unique_ptr<CPList> List3() {
  std::unique_ptr<CPList> p(new CPList);
  for (int i = 0; i < 3; ++i) p->Add(Item(i));
  p->RetrieveIDX(1);
  p->SetResetPoint();
  return p;
}

// Exposes the protected length helper.
class LengthProbe : public CPList {
 public:
  using CPList::DecrementLength;
};
}  // namespace

// ---- list ------------------------------------------------------------------------

TEST(BadInputList, NullItemToASearchReportsBeforeAnythingMoves) {
  auto p = List3();
  const std::string before = ListState(*p);
  EXPECT_ASSERT_REPORT(p->FindBucket(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(p->Exists(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(p->Intern(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(p->Detach(nullptr), kList, "pvItem2Find !=0");
  EXPECT_ASSERT_REPORT(p->Destroy(nullptr, &Kill), kList, "pvItem2Find !=0");
  EXPECT_EQ(ListState(*p), before);
  EXPECT_TRUE(CPListInspector::Check(*p));
}

TEST(BadInputList, NullCallbacksReportTheirOwnTexts) {
  auto p = List3();
  const std::string before = ListState(*p);
  // Destroy checks the kill function first, even for an absent item.
  EXPECT_ASSERT_REPORT(p->Destroy(Item(1), nullptr), kList, "pfnKillFunc!=0");
  EXPECT_ASSERT_REPORT(p->Destroy(Item(9), nullptr), kList, "pfnKillFunc!=0");
  EXPECT_ASSERT_REPORT(p->DestroyAll(nullptr), kList, "pfnKillFunc !=0");
  EXPECT_ASSERT_REPORT(p->NextThat(static_cast<CPConditionFunc>(nullptr), nullptr), kList, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(p->AllThat(nullptr, nullptr), kList, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(p->DetachAllThat(nullptr, nullptr), kList, "pfnCondFunc !=0");
  EXPECT_EQ(ListState(*p), before);
  // A null condition to the first search matches nothing and reports nothing.
  EXPECT_EQ(p->FirstThat(static_cast<CPConditionFunc>(nullptr), nullptr), nullptr);
  EXPECT_EQ(p->FirstInternalContainerThat(nullptr, nullptr), nullptr);
  EXPECT_EQ(p->Length(), 3u);
}

TEST(BadInputList, NullNodesAndLengthUnderflow) {
  auto p = List3();
  const std::string before = ListState(*p);
  EXPECT_ASSERT_REPORT(p->AddBucket(nullptr), kList, "pbktA !=0");
  EXPECT_ASSERT_REPORT(p->DetachBucket(nullptr), kList, "pvBucket2Kill");
  EXPECT_EQ(ListState(*p), before);
  EXPECT_TRUE(CPListInspector::Check(*p));

  LengthProbe empty;
  const short nXACT = empty._get_nXACT();
  EXPECT_ASSERT_REPORT(empty.DecrementLength(), kHeader, "nLength >0");
  EXPECT_EQ(empty.Length(), 0u);  // no wrap to the largest count
  EXPECT_EQ(empty._get_nXACT(), nXACT);
}

TEST(BadInputList, NullSourcesToCopyingOperations) {
  auto p = List3();
  const std::string before = ListState(*p);
  EXPECT_ASSERT_REPORT(p->AddFrom(nullptr), kCollec, "pclFrom");
  p->CopyFrom(nullptr);  // a non-empty target copies nothing, so there is nothing to report
  EXPECT_EQ(ListState(*p), before);
  CPList empty;
  EXPECT_ASSERT_REPORT(empty.SortedCopy(nullptr, nullptr), kCollec, "pcollFrom");
  EXPECT_ASSERT_REPORT(empty.CopyFrom(nullptr), kCollec, "pclFrom");
  EXPECT_EQ(empty.Length(), 0u);
  EXPECT_EQ(empty._get_nXACT(), 0);
}

// ---- tree ------------------------------------------------------------------------------

namespace {
std::unique_ptr<CPTree> Numbers() {
  std::unique_ptr<CPTree> p(new CPTree);
  for (unsigned long k : {4ul, 2ul, 6ul, 1ul, 3ul}) p->AddKeyNum(k, Item(static_cast<int>(k)));
  return p;
}
std::unique_ptr<CPTree> Texts() {
  static const char* const kKeys[] = {"m", "c", "x", "a"};
  std::unique_ptr<CPTree> p(new CPTree);
  for (int i = 0; i < 4; ++i) p->AddKeyString(kKeys[i], Item(i), nullptr);
  return p;
}
}  // namespace

TEST(BadInputTree, StringOperationsOnANumericTreeReportAndChangeNothing) {
  auto p = Numbers();
  const std::string before = TreeState(*p);
  CPString str("k");
  char szKey[] = "k";
  const char* const kText = "etdsState == etreeString";
  EXPECT_ASSERT_REPORT(p->AddKeyString("k", Item(9), nullptr), kTree, kText);
  EXPECT_ASSERT_REPORT(p->AddKeyString(&str, Item(9)), kTree, kText);
  EXPECT_ASSERT_REPORT(p->FindKeyString(szKey, nullptr), kTree, kText);
  EXPECT_ASSERT_REPORT(p->FindKeyString(&str), kTree, kText);
  EXPECT_ASSERT_REPORT(p->DetachKeyString("k", nullptr), kTree, kText);
  EXPECT_ASSERT_REPORT(p->DetachKeyString(&str), kTree, kText);
  EXPECT_ASSERT_REPORT(p->DestroyKeyString("k", &Kill, nullptr), kTree, kText);
  EXPECT_ASSERT_REPORT(p->DestroyKeyString(&str, &Kill), kTree, kText);
  EXPECT_EQ(TreeState(*p), before);
  EXPECT_EQ(CPTreeInspector::Check(*p), "");
}

TEST(BadInputTree, NumericOperationsOnAStringTreeReportAndChangeNothing) {
  auto p = Texts();
  const std::string before = TreeState(*p, true);
  const char* const kText = "etdsState == etreeNumber";
  EXPECT_ASSERT_REPORT(p->AddKeyNum(5, Item(9)), kTree, kText);
  EXPECT_ASSERT_REPORT(p->FindKeyNum(5), kTree, kText);
  EXPECT_ASSERT_REPORT(p->DetachKeyNum(5), kTree, kText);
  EXPECT_ASSERT_REPORT(p->DestroyKeyNum(5, &Kill), kTree, kText);
  EXPECT_ASSERT_REPORT(p->RetrieveIDX(0), kTree, kText);  // the index is taken as a numeric key
  EXPECT_EQ(TreeState(*p, true), before);
  EXPECT_EQ(CPTreeInspector::Check(*p), "");
}

// Finds, detaches and destroys assert the kind without fixing it.
TEST(BadInputTree, KeyedLookupsOnATreeWithoutKindReportAndFixNothing) {
  CPTree t;
  char szKey[] = "k";
  EXPECT_ASSERT_REPORT(t.FindKeyNum(1), kTree, "etdsState == etreeNumber");
  EXPECT_ASSERT_REPORT(t.DetachKeyNum(1), kTree, "etdsState == etreeNumber");
  EXPECT_ASSERT_REPORT(t.FindKeyString(szKey, nullptr), kTree, "etdsState == etreeString");
  EXPECT_ASSERT_REPORT(t.DestroyKeyString("k", &Kill, nullptr), kTree, "etdsState == etreeString");
  // Still open to either kind: a string add now fixes it to strings.
  t.AddKeyString("k", Item(1), nullptr);
  EXPECT_EQ(t.FindKeyString(szKey, nullptr), Item(1));
}

TEST(BadInputTree, NullConditionsAndMergeFromNothing) {
  auto p = Numbers();
  p->GotoTop();
  p->Next();
  const std::string before = TreeState(*p);
  Leaf* plfCursor = p->RetrieveLeaf();
  EXPECT_ASSERT_REPORT(p->FirstThat(nullptr, nullptr), kTree, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(p->NextThat(nullptr, nullptr), kTree, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(p->AllThat(nullptr, nullptr), kTree, "pfnCondFunc !=0");
  EXPECT_ASSERT_REPORT(p->Merge(nullptr), kTree, "ptreeFrom !=0");
  EXPECT_EQ(TreeState(*p), before);
  EXPECT_EQ(p->RetrieveLeaf(), plfCursor);  // the built-in cursor stayed
  EXPECT_EQ(CPTreeInspector::Check(*p), "");
}

// ---- dictionary, stack and the reference collections --------------------------------------

TEST(BadInputOthers, UnsupportedWalksReportAndChangeNothing) {
  CPDictionary d(256);
  d.AddKeyNum(1, Item(1));
  d.AddKeyString("a", Item(2), nullptr);
  const std::string before = DictState(d);
  EXPECT_ASSERT_REPORT(d.NextThat(&Always, nullptr), kDict, "1==0");
  EXPECT_ASSERT_REPORT(d.NextThatInternalContainer(&Always, nullptr), kDict, "1==0");
  EXPECT_EQ(DictState(d), before);
  EXPECT_EQ(CPDictionaryInspector::Check(d), "");

  CPStack s(4);
  s.Push(Item(1));
  EXPECT_ASSERT_REPORT(s.FirstThat(&Always, nullptr), kStack, "1==0");
  EXPECT_ASSERT_REPORT(s.AllThat(&Always, nullptr), kStack, "1==0");
  EXPECT_EQ(s.Length(), 1u);
  EXPECT_EQ(s.Top(), Item(1));
}

namespace {
// Reference counts of the objects and the wrapped container's state.
struct RefObjects {
  Counted a{1}, b{2};
  RefObjects() {
    a.AddRef();
    b.AddRef();
  }
  std::string Counts() const { return std::to_string(a._get_nRefCount()) + "," + std::to_string(b._get_nRefCount()); }
};
}  // namespace

TEST(BadInputRefs, NullObjectsAreNeitherStoredNorCounted) {
  RefObjects o;
  CrDictionary d;
  d.AddKeyNum(1, &o.a);
  CrTree t;
  t.AddKeyNum(1, &o.a);
  CrList l;
  l.Add(&o.b);
  const std::string before = o.Counts();
  const std::string dictBefore = DictState(*CrDictionaryInspector::Wrapped(d));
  const std::string treeBefore = TreeState(*CrTreeInspector::Tree(t));
  CPString str("s");

  EXPECT_ASSERT_REPORT(d.AddKeyNum(2, nullptr), "cpcoll\\crdict", "pcrEntry");
  EXPECT_ASSERT_REPORT(d.AddKeyString("s", nullptr, nullptr), "cpcoll\\crdict", "pcrEntry");
  EXPECT_ASSERT_REPORT(d.AddKeyString(&str, nullptr), "cpcoll\\crdict", "pcrEntry");
  EXPECT_ASSERT_REPORT(t.AddKeyNum(2, nullptr), "cpcoll\\crtree", "pcrEntry");
  EXPECT_ASSERT_REPORT(l.Add(nullptr), "cpcoll\\crlist", "pcrEntry");
  EXPECT_ASSERT_REPORT(l.Remove(nullptr), "cpcoll\\crlist", "pcrEntry");
  EXPECT_EQ(DictState(*CrDictionaryInspector::Wrapped(d)), dictBefore);
  EXPECT_EQ(TreeState(*CrTreeInspector::Tree(t)), treeBefore);
  EXPECT_EQ(l.Length(), 1u);
  EXPECT_EQ(o.Counts(), before);
  EXPECT_TRUE(CrDictionaryInspector::Check(d));
  EXPECT_TRUE(CrListInspector::Check(l));

  // A string tree reports null objects too; nothing is registered for them.
  CrTree ts;
  ts.AddKeyString("k", &o.b, nullptr);
  const std::string textBefore = TreeState(*CrTreeInspector::Tree(ts), true);
  EXPECT_ASSERT_REPORT(ts.AddKeyString("s", nullptr, nullptr), "cpcoll\\crtree", "pcrEntry");
  EXPECT_ASSERT_REPORT(ts.AddKeyString(&str, nullptr), "cpcoll\\crtree", "pcrEntry");
  EXPECT_EQ(TreeState(*CrTreeInspector::Tree(ts), true), textBefore);
  EXPECT_EQ(str._get_nRefCount(), 0);
}
