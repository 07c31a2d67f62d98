// Typed façades over CPList, CPDictionary and CPTree: typed results, typed
// iteration, and that they are the untyped class and nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <cpcoll/modern_ref.h>
#include <cpcoll/modern_typed_dictionary.h>
#include <cpcoll/modern_typed_list.h>
#include <cpcoll/modern_typed_tree.h>

#include "model/harness.h"
#include "support/report_capture.h"

namespace {

struct Part {
  const char* pszName;
  int nWeight;
};

}  // namespace

// Every member of every façade compiles.
template class tarncoll::TypedList<Part>;
template class tarncoll::TypedDictionary<Part>;
template class tarncoll::TypedTree<Part>;

static_assert(sizeof(tarncoll::TypedList<Part>) == sizeof(CPList), "no data beside the list");
static_assert(sizeof(tarncoll::TypedDictionary<Part>) == sizeof(CPDictionary), "no data beside the dictionary");
static_assert(sizeof(tarncoll::TypedTree<Part>) == sizeof(CPTree), "no data beside the tree");
static_assert(!std::is_polymorphic<tarncoll::TypedList<Part>>::value, "no virtual operations of its own");

namespace {

Part gParts[] = {{"axle", 7}, {"bolt", 1}, {"cog", 3}, {"disc", 5}};

std::vector<std::string> Names(tarncoll::TypedList<Part>& lst) {
  std::vector<std::string> v;
  for (Part* p : lst) v.push_back(p->pszName);
  return v;
}

int CompareWeights(const void* a, const void* b) {
  return (*static_cast<Part* const*>(a))->nWeight - (*static_cast<Part* const*>(b))->nWeight;
}

TEST(TypedList, TypedResultsAndIterationOverTheSameList) {
  tarncoll::TypedList<Part> lst;
  for (Part& p : gParts) lst.Add(&p);
  EXPECT_EQ(lst.untyped().RetrieveIDX(1), &gParts[1]);  // the same list underneath

  auto it = std::find_if(lst.begin(), lst.end(), [](Part* p) { return p->nWeight < 3; });
  ASSERT_NE(it, lst.end());
  EXPECT_STREQ((*it)->pszName, "bolt");

  lst.Sort(&CompareWeights);
  EXPECT_EQ(Names(lst), (std::vector<std::string>{"bolt", "cog", "disc", "axle"}));
  EXPECT_EQ(lst.Detach(&gParts[2]), 1);
  EXPECT_EQ(lst.Detach(&gParts[2]), 0);
  EXPECT_EQ(lst.RetrieveAndDetachTop(), &gParts[1]);
  EXPECT_EQ(Names(lst), (std::vector<std::string>{"disc", "axle"}));
}

TEST(TypedList, RangeForFailsFast) {
  tarncoll::TypedList<Part> lst;
  lst.Add(&gParts[0]);
  lst.Add(&gParts[1]);
  EXPECT_CURSOR_EXCEPTION(for (Part* p : lst) lst.Detach(p));
  EXPECT_EQ(lst.Length(), 1u);
}

TEST(TypedDictionary, KeysInAndTypedItemsOut) {
  tarncoll::TypedDictionary<Part> dct;
  for (Part& p : gParts) dct.AddKeyString(p.pszName, &p);
  dct.AddKeyNum(258, &gParts[0]);
  EXPECT_EQ(dct.FindKeyString("cog"), &gParts[2]);
  EXPECT_EQ(dct.FindKeyNum(258), &gParts[0]);

  int nTotal = 0;
  for (Part* p : dct) nTotal += p->nWeight;
  EXPECT_EQ(nTotal, 7 + 1 + 3 + 5 + 7);
  long nAxles = std::count(dct.begin(), dct.end(), &gParts[0]);
  EXPECT_EQ(nAxles, 2);
  // Items by iteration order agree with the positional reads.
  unsigned long i = 0;
  for (Part* p : dct) EXPECT_EQ(p, dct[i++]);
}

TEST(TypedTree, KeyOrderSmallestLargestAndIndexAsKey) {
  tarncoll::TypedTree<Part> tree;
  for (unsigned long k : {30ul, 10ul, 40ul, 20ul}) tree.AddKeyNum(k, &gParts[k / 10 - 1]);
  std::vector<std::string> vNames;
  for (Part* p : tree) vNames.push_back(p->pszName);
  EXPECT_EQ(vNames, (std::vector<std::string>{"axle", "bolt", "cog", "disc"}));
  EXPECT_EQ(tree.Smallest(), &gParts[0]);
  EXPECT_EQ(tree.Largest(), &gParts[3]);
  EXPECT_EQ(tree.RetrieveIDX(20), &gParts[1]);  // key 20, not position 20
  EXPECT_EQ(tree.RetrieveIDX(1), nullptr);
  EXPECT_CURSOR_EXCEPTION(for (Part* p : tree) tree.AddKeyNum(50, p));
}

// ---- every forwarding member against the untyped container ----

// The arguments of one step, drawn once and given to both sides.
struct StepArgs {
  Part* pPart;
  unsigned long nKey;
  const char* pszKey;
  CPString* pstrKey;
};

std::vector<void*> gKilled;
void RecordKill(void* pv, void*) { gKilled.push_back(pv); }

// A result as text: a node or entry by the item it holds, so that the two
// sides' own nodes compare equal.
std::string Show(const void* pv) { return pv ? std::to_string(reinterpret_cast<std::uintptr_t>(pv)) : "null"; }
std::string Show(CPInternalContainer* pic) { return "node " + Show(pic ? pic->_get_pvTheData() : nullptr); }
std::string Show(CPDictionaryAssociation* pda) { return "entry " + Show(pda ? pda->GetValue() : nullptr); }
std::string Show(const std::string& s) { return s; }
template <class N, class = typename std::enable_if<std::is_arithmetic<N>::value || std::is_enum<N>::value>::type>
std::string Show(N n) {
  return std::to_string(static_cast<long long>(n));
}

// Runs one operation on one side: its result, a report it made, and the
// items its kill function received.
template <class F, class C>
std::string Outcome(F& f, C& c) {
  gKilled.clear();
  std::string s;
  try {
    if constexpr (std::is_void<decltype(f(c))>::value) {
      f(c);
      s = "-";
    } else {
      s = Show(f(c));
    }
  } catch (const AssertionFailure& e) {
    s = std::string("report ") + e.expression;
  }
  for (void* pv : gKilled) s += " killed " + Show(pv);
  return s;
}

// A façade and a plain container of its kind driven by the same random
// operations: every result and, after each step, the visible state (through
// state(), which reads the façade through its own members) must agree.
template <class Facade, class Plain>
class Twins {
 public:
  template <class F>
  void Op(const char* pszName, F f) {
    vOps.push_back({pszName, [f](Facade& a) mutable { return Outcome(f, a); },
                    [f](Plain& b) mutable { return Outcome(f, b); }});
  }

  template <class State>
  void Run(unsigned nSeed, int nSteps, StepArgs& args, State state) {
    static const char* const kKeys[] = {"axle", "bolt", "cog", "disc", "", "axle2"};
    // Both sides share these strings, so none is empty: storing an empty
    // string key renames it "UnNamed" for every holder.
    const tarncoll::Ref<CPString> kStrKeys[] = {tarncoll::MakeRef<CPString>("cog"), tarncoll::MakeRef<CPString>("rim")};
    tarncoll::test::model::QuietReports quiet;
    Facade facade;
    Plain plain;
    std::mt19937 rng(nSeed);
    for (int nStep = 0; nStep < nSteps; ++nStep) {
      args = {&gParts[rng() % 4], rng() % 6 * 127, kKeys[rng() % 6], kStrKeys[rng() % 2].get()};
      const auto& op = vOps[rng() % vOps.size()];
      SCOPED_TRACE(testing::Message() << "seed " << nSeed << " step " << nStep << " " << op.pszName);
      ASSERT_EQ(op.onFacade(facade), op.onPlain(plain));
      ASSERT_EQ(state(facade), state(plain));
    }
  }

 private:
  struct Entry {
    const char* pszName;
    std::function<std::string(Facade&)> onFacade;
    std::function<std::string(Plain&)> onPlain;
  };
  std::vector<Entry> vOps;
};

// Length, emptiness, change count, the items in walk order and the item
// under the built-in cursor.
template <class C>
std::string CommonState(C& c) {
  std::string s = Show(c.Length()) + " " + Show(c.IsMT()) + " " + Show(c._get_nXACT()) + " :";
  for (auto* pv : c) s += " " + Show(pv);
  return s + " at " + Show(c.Retrieve());
}

int ByAddress(const void* a, const void* b) {
  const void* pa = *static_cast<void* const*>(a);
  const void* pb = *static_cast<void* const*>(b);
  return pa < pb ? -1 : pa > pb ? 1 : 0;
}

TEST(TypedFacades, ListForwardsEveryMember) {
  StepArgs a{};
  Twins<tarncoll::TypedList<Part>, CPList> twins;
  twins.Op("Add", [&](auto& c) { c.Add(a.pPart); });
  twins.Op("Insert", [&](auto& c) { return c.Insert(a.pPart); });
  twins.Op("InsertAfter", [&](auto& c) { return c.InsertAfter(a.pPart); });
  twins.Op("Intern", [&](auto& c) { c.Intern(a.pPart); });
  twins.Op("Exists", [&](auto& c) { return c.Exists(a.pPart); });
  twins.Op("FindBucket", [&](auto& c) { return static_cast<CPInternalContainer*>(c.FindBucket(a.pPart)); });
  twins.Op("RetrieveIDX", [&](auto& c) { return static_cast<void*>(c.RetrieveIDX(a.nKey / 127)); });
  twins.Op("operator[]", [&](auto& c) { return static_cast<void*>(c[static_cast<int>(a.nKey / 127) - 3]); });
  twins.Op("Detach", [&](auto& c) { return c.Detach(a.pPart); });
  twins.Op("Destroy", [&](auto& c) { return c.Destroy(a.pPart, &RecordKill); });
  twins.Op("RetrieveAndDetachTop", [&](auto& c) { return static_cast<void*>(c.RetrieveAndDetachTop()); });
  twins.Op("DestroyAll", [&](auto& c) { return a.nKey == 0 ? c.DestroyAll(&RecordKill) : 0; });
  twins.Op("DetachAll", [&](auto& c) { return a.nKey == 0 ? c.DetachAll() : 0; });
  twins.Op("ClearResetPoint", [&](auto& c) { c.ClearResetPoint(); });
  twins.Op("GotoBottom", [&](auto& c) { c.GotoBottom(); });
  twins.Op("GotoResetPoint", [&](auto& c) { c.GotoResetPoint(); });
  twins.Op("GotoTop", [&](auto& c) { c.GotoTop(); });
  twins.Op("Next", [&](auto& c) { return c.Next(); });
  twins.Op("Prev", [&](auto& c) { return c.Prev(); });
  twins.Op("SetResetPoint", [&](auto& c) { c.SetResetPoint(); });
  twins.Op("Get", [&](auto& c) { return static_cast<void*>(c.Get()); });
  twins.Op("Peek", [&](auto& c) { return static_cast<void*>(c.Peek()); });
  twins.Op("PeekNext", [&](auto& c) { return static_cast<void*>(c.PeekNext()); });
  twins.Op("Sort", [&](auto& c) { c.Sort(&ByAddress); });
  for (unsigned nSeed = 1; nSeed <= 4; ++nSeed) twins.Run(nSeed, 1500, a, [](auto& c) { return CommonState(c); });
}

TEST(TypedFacades, DictionaryForwardsEveryMember) {
  StepArgs a{};
  Twins<tarncoll::TypedDictionary<Part>, CPDictionary> twins;
  twins.Op("AddKeyNum", [&](auto& c) { c.AddKeyNum(a.nKey, a.pPart); });
  twins.Op("AddKeyString", [&](auto& c) { c.AddKeyString(a.pszKey, a.pPart, nullptr); });
  twins.Op("AddKeyString str", [&](auto& c) { c.AddKeyString(a.pstrKey, a.pPart); });
  twins.Op("Add", [&](auto& c) { c.Add(a.pPart); });
  twins.Op("FindKeyNum", [&](auto& c) { return static_cast<void*>(c.FindKeyNum(a.nKey)); });
  twins.Op("FindKeyString", [&](auto& c) { return static_cast<void*>(c.FindKeyString(a.pszKey, nullptr)); });
  twins.Op("FindKeyString str", [&](auto& c) { return static_cast<void*>(c.FindKeyString(a.pstrKey)); });
  twins.Op("ExistsKeyNum", [&](auto& c) { return c.ExistsKeyNum(a.nKey); });
  twins.Op("ExistsKeyString", [&](auto& c) { return c.ExistsKeyString(a.pszKey, nullptr); });
  twins.Op("ExistsKeyString str", [&](auto& c) { return c.ExistsKeyString(a.pstrKey); });
  twins.Op("ExistsValue", [&](auto& c) { return c.ExistsValue(a.pPart); });
  twins.Op("RetrieveIDX", [&](auto& c) { return static_cast<void*>(c.RetrieveIDX(a.nKey / 127)); });
  twins.Op("operator[]", [&](auto& c) { return static_cast<void*>(c[a.nKey / 127]); });
  twins.Op("RetrieveDAIDX", [&](auto& c) { return c.RetrieveDAIDX(static_cast<long>(a.nKey / 127)); });
  twins.Op("DetachKeyNum", [&](auto& c) { c.DetachKeyNum(a.nKey); });
  twins.Op("DetachKeyString", [&](auto& c) { c.DetachKeyString(a.pszKey, nullptr); });
  twins.Op("DetachKeyString str", [&](auto& c) { c.DetachKeyString(a.pstrKey); });
  twins.Op("DestroyKeyNum", [&](auto& c) { c.DestroyKeyNum(a.nKey, &RecordKill); });
  twins.Op("DestroyKeyString", [&](auto& c) { c.DestroyKeyString(a.pszKey, &RecordKill, nullptr); });
  twins.Op("DestroyKeyString str", [&](auto& c) { c.DestroyKeyString(a.pstrKey, &RecordKill); });
  twins.Op("Detach", [&](auto& c) { return c.Detach(a.pPart); });
  twins.Op("Destroy", [&](auto& c) { return c.Destroy(a.pPart, &RecordKill); });
  twins.Op("DestroyAll", [&](auto& c) { return a.nKey == 0 ? c.DestroyAll(&RecordKill) : 0; });
  twins.Op("DetachAll", [&](auto& c) { return a.nKey == 0 ? c.DetachAll() : 0; });
  twins.Op("GotoBottom", [&](auto& c) { c.GotoBottom(); });
  twins.Op("GotoTop", [&](auto& c) { c.GotoTop(); });
  twins.Op("Next", [&](auto& c) { return c.Next(); });
  twins.Op("RetrieveInternalContainer", [&](auto& c) {
    return static_cast<CPDictionaryAssociation*>(c.RetrieveInternalContainer());
  });
  twins.Op("StringKeyList", [&](auto& c) {
    if constexpr (std::is_same<std::decay_t<decltype(c)>, CPDictionary>::value)
      return tarncoll::StringKeyList(c);
    else
      return c.StringKeyList();
  });
  auto state = [](auto& c) { return CommonState(c) + " slots " + Show(c._get_nNumberOfSlots()); };
  for (unsigned nSeed = 1; nSeed <= 4; ++nSeed) twins.Run(nSeed, 1500, a, state);
}

// CPTree's text-key members take a CRC cell, for which the façade's pass
// null: f gets the cell as a trailing argument on the plain side only.
template <class F>
auto CrcOnPlain(F f) {
  return [f](auto& c) mutable {
    if constexpr (std::is_same<std::decay_t<decltype(c)>, CPTree>::value)
      return f(c, nullptr);
    else
      return f(c);
  };
}

TEST(TypedFacades, TreeForwardsEveryMember) {
  StepArgs a{};
  Twins<tarncoll::TypedTree<Part>, CPTree> twins;
  twins.Op("AddKeyNum", [&](auto& c) { c.AddKeyNum(a.nKey, a.pPart); });
  twins.Op("AddKeyString", CrcOnPlain([&](auto& c, auto... crc) { c.AddKeyString(a.pszKey, a.pPart, crc...); }));
  twins.Op("AddKeyString str", [&](auto& c) { c.AddKeyString(a.pstrKey, a.pPart); });
  twins.Op("Add", [&](auto& c) { c.Add(a.pPart); });
  twins.Op("FindKeyNum", [&](auto& c) { return static_cast<void*>(c.FindKeyNum(a.nKey)); });
  twins.Op("FindKeyString", CrcOnPlain([&](auto& c, auto... crc) { return static_cast<void*>(c.FindKeyString(a.pszKey, crc...)); }));
  twins.Op("FindKeyString str", [&](auto& c) { return static_cast<void*>(c.FindKeyString(a.pstrKey)); });
  twins.Op("ExistsKeyNum", [&](auto& c) { return c.ExistsKeyNum(a.nKey); });
  twins.Op("ExistsKeyString", CrcOnPlain([&](auto& c, auto... crc) { return c.ExistsKeyString(a.pszKey, crc...); }));
  twins.Op("ExistsKeyString str", [&](auto& c) { return c.ExistsKeyString(a.pstrKey); });
  twins.Op("Smallest", [&](auto& c) { return static_cast<void*>(c.Smallest()); });
  twins.Op("Largest", [&](auto& c) { return static_cast<void*>(c.Largest()); });
  twins.Op("RetrieveIDX", [&](auto& c) { return static_cast<void*>(c.RetrieveIDX(a.nKey)); });
  twins.Op("DetachKeyNum", [&](auto& c) { c.DetachKeyNum(a.nKey); });
  twins.Op("DetachKeyString", CrcOnPlain([&](auto& c, auto... crc) { c.DetachKeyString(a.pszKey, crc...); }));
  twins.Op("DetachKeyString str", [&](auto& c) { c.DetachKeyString(a.pstrKey); });
  twins.Op("DestroyKeyNum", [&](auto& c) { c.DestroyKeyNum(a.nKey, &RecordKill); });
  twins.Op("DestroyKeyString", CrcOnPlain([&](auto& c, auto... crc) { c.DestroyKeyString(a.pszKey, &RecordKill, crc...); }));
  twins.Op("DestroyKeyString str", [&](auto& c) { c.DestroyKeyString(a.pstrKey, &RecordKill); });
  twins.Op("DestroyAll", [&](auto& c) { return a.nKey == 0 ? c.DestroyAll(&RecordKill) : 0; });
  twins.Op("DetachAll", [&](auto& c) { return a.nKey == 0 ? c.DetachAll() : 0; });
  twins.Op("GotoBottom", [&](auto& c) { c.GotoBottom(); });
  twins.Op("GotoTop", [&](auto& c) { c.GotoTop(); });
  twins.Op("Next", [&](auto& c) { return c.Next(); });
  twins.Op("Prev", [&](auto& c) { return c.Prev(); });
  // The first keyed operation fixes the key kind: the seeds give numeric
  // and string trees, and the other kind's operations report on them.
  auto state = [](auto& c) { return CommonState(c) + " kind " + Show(c._get_etdsState()); };
  for (unsigned nSeed = 1; nSeed <= 6; ++nSeed) twins.Run(nSeed, 1500, a, state);
}

}  // namespace
