// Derived classes of the flat family: every place where an algorithm calls
// an operation of its own object (or of a source or target collection)
// through the virtual slot must reach the derived class's override.  A
// recording class over each container logs its overrides' calls; the tests
// compare the log of each algorithm with the calls it is built on.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <cpcoll/CPHashTable.h>
#include <cpcoll/CPVector.h>
#include <cpcoll/CpArray.h>
#include <cpcoll/cplist.h>
#include <cpcoll/cpstack.h>
#include <cpcoll/iterate.h>

namespace {

int g_items[16];
void* Item(int i) { return &g_items[i]; }
int IndexOf(const void* pv) { return static_cast<int>(static_cast<const int*>(pv) - g_items); }

std::string& Log() {
  static std::string s;
  return s;
}
void Note(const char* psz) {
  if (!Log().empty()) Log() += ' ';
  Log() += psz;
}
std::string Take() {
  std::string s = Log();
  Log().clear();
  return s;
}

// Overrides the operations the algorithms call virtually; each logs its
// name and forwards to the library's own.
template <class Base>
class Recording : public Base {
 public:
  template <class... A>
  explicit Recording(A... a) : Base(a...) {}
  using Base::ForEach;

  IterationState* CreateIterationState() override { return Note("CreateIterationState"), Base::CreateIterationState(); }
  CPCollection* CreateInstance() override { return Note("CreateInstance"), Base::CreateInstance(); }
  short vadd(void* pv, void* k) override { return Note("vadd(ptr)"), Base::vadd(pv, k); }
  short vadd(void* pv, CPString* k) override { return Note("vadd(CPString)"), Base::vadd(pv, k); }
  short vadd(void* pv, const char* k) override { return Note("vadd(text)"), Base::vadd(pv, k); }
  short vadd(void* pv, long k) override { return Note("vadd(num)"), Base::vadd(pv, k); }
  short vadd(void* pv) override { return Note("vadd"), Base::vadd(pv); }
  void* vremoveByProbe(void* pv) override { return Note("vremoveByProbe"), Base::vremoveByProbe(pv); }
  void* vremove(void* k) override { return Note("vremove(ptr)"), Base::vremove(k); }
  void* vremove(CPString* k) override { return Note("vremove(CPString)"), Base::vremove(k); }
  void* vremove(const char* k) override { return Note("vremove(text)"), Base::vremove(k); }
  void* vremove(long k) override { return Note("vremove(num)"), Base::vremove(k); }
  void* vfind(void* k) override { return Note("vfind(ptr)"), Base::vfind(k); }
  void* vfind(CPString* k) override { return Note("vfind(CPString)"), Base::vfind(k); }
  void* vfind(char* k) override { return Note("vfind(text)"), Base::vfind(k); }
  void* vfind(long k) override { return Note("vfind(num)"), Base::vfind(k); }
  void ForEach(CPActionFunc pfn, void* pvUser) override {
    Note("ForEach");
    Base::ForEach(pfn, pvUser);
  }
  void Add(void* pv) override {
    Note("Add");
    Base::Add(pv);
  }
  void* RetrieveIDX(unsigned long idx) override { return Note("RetrieveIDX"), Base::RetrieveIDX(idx); }
  char DetachAll() override { return Note("DetachAll"), Base::DetachAll(); }
  void GotoTop() override {
    Note("GotoTop");
    Base::GotoTop();
  }
  long Next() override { return Note("Next"), Base::Next(); }
  long Prev() override { return Note("Prev"), Base::Prev(); }
  void* Retrieve() override { return Note("Retrieve"), Base::Retrieve(); }
  void** BuildVector() override { return Note("BuildVector"), Base::BuildVector(); }
};

// The flat containers add BuildFromVector to the slots.
template <class Base>
class RecordingFlat : public Recording<Base> {
 public:
  using Recording<Base>::Recording;
  void BuildFromVector(void** ppv, unsigned long n) override {
    Note("BuildFromVector");
    Recording<Base>::BuildFromVector(ppv, n);
  }
};

template <class C>
using Rec = typename std::conditional<std::is_base_of<CPFlatCollection, C>::value, RecordingFlat<C>, Recording<C>>::type;

template <class C>
std::unique_ptr<Rec<C>> Make(int nItems) {
  std::unique_ptr<Rec<C>> p;
  if constexpr (std::is_default_constructible<C>::value)
    p.reset(new Rec<C>());
  else
    p.reset(new Rec<C>(16UL));
  for (int i = 0; i < nItems; ++i) p->C::Add(Item(i));
  Take();
  return p;
}

// n items walked with the built-in cursor.
std::string CursorWalk(int n) {
  std::string s = "GotoTop Retrieve";
  for (int i = 0; i < n; ++i) s += " Next Retrieve";
  return s;
}

std::string Times(const char* psz, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += (s.empty() ? "" : " ") + std::string(psz);
  return s;
}

int Ascending(const void* a, const void* b) {
  int na = IndexOf(*static_cast<void* const*>(a)), nb = IndexOf(*static_cast<void* const*>(b));
  return na < nb ? -1 : (na > nb ? 1 : 0);
}
int Descending(const void* a, const void* b) { return Ascending(b, a); }
short Always(void*, void*) { return 1; }
void Nothing(void*, void*) {}

template <class C>
class DerivedFlat : public ::testing::Test {};

using Containers = ::testing::Types<CPList, CPHashTable, CPArray, CPStack, CPVector>;
TYPED_TEST_SUITE(DerivedFlat, Containers);

}  // namespace

// Each typed entry point reaches its own slot in the derived class; the
// slot's result is the entry point's.
TYPED_TEST(DerivedFlat, TypedEntryPointsReachTheirSlots) {
  CPString str("k");
  char szKey[] = "k";
  struct Probe {
    std::function<void(CPCollection&)> commit, use;
    std::string expected;
  };
  const std::vector<Probe> probes = {
      {[](CPCollection& c) { c.add(Item(0)); }, [](CPCollection& c) { c.removeByProbe(Item(0)); },
       "vadd vremoveByProbe"},
      {[](CPCollection& c) { c.add(Item(0), 7L); },
       [](CPCollection& c) {
         c.remove(7L);
         c.find(7L);
       },
       "vadd(num) vremove(num) vfind(num)"},
      {[&](CPCollection& c) { c.add(Item(0), "k"); },
       [&](CPCollection& c) {
         c.add(Item(0), &str);
         c.remove("k");
         c.remove(&str);
         c.find(szKey);
         c.find(&str);
       },
       "vadd(text) vadd(CPString) vremove(text) vremove(CPString) vfind(text) vfind(CPString)"},
      {[](CPCollection& c) { c.add(Item(0), Item(1)); },
       [](CPCollection& c) {
         c.remove(Item(1));
         c.find(Item(1));
         c.add(Item(0));  // another kind: no slot is called
       },
       "vadd(ptr) vremove(ptr) vfind(ptr)"},
  };
  for (const Probe& probe : probes) {
    auto p = Make<TypeParam>(0);
    probe.commit(*p);
    probe.use(*p);
    EXPECT_EQ(Take(), probe.expected);
  }
}

// The walks and builders of the collection interface go through the
// cursor slots of the source and the Add of the target.
TYPED_TEST(DerivedFlat, VectorExportAndCopyingGoThroughTheSlots) {
  auto from = Make<TypeParam>(3);
  auto to = Make<TypeParam>(0);
  const int n = static_cast<int>(from->Length());  // 0 for the vector
  void** ppv = from->BuildVector();
  EXPECT_EQ(Take(), n ? "BuildVector " + CursorWalk(n) : "BuildVector");
  delete[] ppv;
  to->AddFrom(from.get());
  EXPECT_EQ(Take(), n ? CursorWalk(0) + " Add Next Retrieve Add Next Retrieve Add Next Retrieve" : "");
  auto to2 = Make<TypeParam>(0);
  to2->CopyFrom(from.get());
  EXPECT_EQ(Take(), n ? CursorWalk(0) + " Add Next Retrieve Add Next Retrieve Add Next Retrieve" : "");
  EXPECT_EQ(to2->Length(), static_cast<unsigned long>(n));
}

// GetIterator asks the derived class for the state; allThat asks the
// state's collection for the result's class and fills it through Add.
TYPED_TEST(DerivedFlat, IteratorsTakeTheirStateAndResultFromTheSlots) {
  auto p = Make<TypeParam>(2);
  std::unique_ptr<Iterator> pit(p->GetIterator());
  EXPECT_EQ(Take(), "CreateIterationState");
  Iterator it;
  it._set_pitsThe(p->CreateIterationState());
  Take();
  std::unique_ptr<CPCollection> pall(it.allThat(&Always, nullptr));
  EXPECT_EQ(Take(), "CreateInstance");  // the new collection is the library's own class
  EXPECT_EQ(pall->Length(), p->Length());
}

// Sort: BuildVector, DetachAll and BuildFromVector of the derived class,
// the items coming back through its Add.  SortedCopy: the source's
// BuildVector, the target's BuildFromVector and Add.
TYPED_TEST(DerivedFlat, SortAndSortedCopyGoThroughTheSlots) {
  if constexpr (std::is_base_of<CPFlatCollection, TypeParam>::value) {
    auto p = Make<TypeParam>(3);
    const int n = static_cast<int>(p->Length());
    p->Sort(&Descending);
    if (n) {
      // A derived list empties itself through its own GotoTop and Next.
      std::string detach = std::is_base_of<CPList, TypeParam>::value ? "DetachAll GotoTop " + Times("Next", n) : "DetachAll";
      EXPECT_EQ(Take(), "BuildVector " + CursorWalk(n) + " " + detach + " BuildFromVector " + Times("Add", n));
      EXPECT_EQ(p->RetrieveIDX(0), Item(2));
    } else {
      EXPECT_EQ(Take(), "");
    }
    auto to = Make<TypeParam>(0);
    auto from = Make<TypeParam>(3);
    to->SortedCopy(from.get(), &Ascending);
    EXPECT_EQ(Take(), n ? "BuildVector " + CursorWalk(n) + " BuildFromVector " + Times("Add", n) : "");
    // A vector is empty whatever it is given, but BuildFromVector still
    // offers every item to Add.
    auto empty = Make<TypeParam>(0);
    void* apv[2] = {Item(0), Item(1)};
    empty->BuildFromVector(apv, 2);
    EXPECT_EQ(Take(), "BuildFromVector Add Add");
  }
}

// DestroyAll: the array and the stack hand the items to kill through their
// ForEach and empty themselves through DetachAll; the list walks its
// GotoTop and Next; the vector calls nothing.
TYPED_TEST(DerivedFlat, DestroyAllGoesThroughTheSlots) {
  static std::vector<void*> s_killed;
  s_killed.clear();
  auto p = Make<TypeParam>(3);
  const int n = static_cast<int>(p->Length());
  p->DestroyAll([](void* pv, void*) { s_killed.push_back(pv); });
  std::string expected;
  if (std::is_base_of<CPList, TypeParam>::value)
    expected = "GotoTop Next Next Next";
  else if (std::is_same<TypeParam, CPArray>::value)
    expected = "ForEach " + CursorWalk(3) + " DetachAll";
  else if (std::is_same<TypeParam, CPStack>::value)
    expected = "ForEach DetachAll";
  EXPECT_EQ(Take(), expected);
  EXPECT_EQ(s_killed.size(), static_cast<size_t>(n));
  EXPECT_EQ(p->Length(), 0u);
  if (n) {
    EXPECT_EQ(s_killed.front(), Item(0));
  }
  p->DetachAll();
  const bool bList = std::is_base_of<CPList, TypeParam>::value;
  EXPECT_EQ(Take(), bList ? "DetachAll GotoTop" : "DetachAll");
}

// ---- the list's algorithms over its own cursor slots ------------------------------------

namespace {
template <class L>
class DerivedList : public ::testing::Test {};
using Lists = ::testing::Types<CPList, CPHashTable>;
TYPED_TEST_SUITE(DerivedList, Lists);

int NotFirst(void* pv, void*) { return IndexOf(pv) != 0; }
int Keep(void*, void*) { return 1; }
struct CountAction : IteratorAction {
  int n = 0;
  short Perform() override { return static_cast<short>(++n == 2); }
};
}  // namespace

TYPED_TEST(DerivedList, CursorAlgorithmsGoThroughTheSlots) {
  auto p = Make<TypeParam>(3);
  EXPECT_EQ(p->RetrieveIDX(2), Item(2));
  EXPECT_EQ(Take(), "RetrieveIDX GotoTop Next Next Retrieve");
  EXPECT_EQ((*p)[0], Item(0));  // two steps back from the remembered index
  EXPECT_EQ(Take(), "RetrieveIDX Prev Prev Retrieve");
  EXPECT_EQ(p->Get(), Item(0));
  EXPECT_EQ(Take(), "Retrieve Next");
  p->ClearResetPoint();
  p->GotoResetPoint();
  EXPECT_EQ(Take(), "GotoTop");
  EXPECT_EQ(p->Exists(Item(1)), 1);
  EXPECT_EQ(Take(), "GotoTop Next");
  p->Intern(Item(5));
  EXPECT_EQ(Take(), "GotoTop Next Next Next Add");
  EXPECT_EQ(p->FirstInternalContainerThat(&Keep, nullptr), p->_get_pbktHead());
  EXPECT_EQ(Take(), "GotoTop");
  CountAction act;
  EXPECT_EQ(p->FirstThat(&act), Item(1));
  EXPECT_EQ(Take(), "GotoTop Retrieve Next Retrieve");
  p->ForEach(&act);
  EXPECT_EQ(Take(), CursorWalk(4));
  std::unique_ptr<CPCollection> pall(p->AllThat(&NotFirst, nullptr));
  EXPECT_EQ(Take(), CursorWalk(4));
  EXPECT_EQ(pall->Length(), 3u);
  EXPECT_EQ(p->FirstThat(&NotFirst, nullptr), Item(1));
  EXPECT_EQ(Take(), "CreateIterationState");
  p->ForEach(&Nothing, nullptr);
  EXPECT_EQ(Take(), "ForEach CreateIterationState");
  EXPECT_EQ(p->Detach(Item(1)), 1);
  EXPECT_EQ(Take(), "GotoTop Next");
  EXPECT_EQ(p->Destroy(Item(2), &Nothing), 1);
  EXPECT_EQ(Take(), "GotoTop Next");
  p->DetachAllThat(&NotFirst, nullptr);  // removes item 0 only
  EXPECT_EQ(Take(), CursorWalk(2));
  EXPECT_EQ(p->Length(), 1u);
  EXPECT_EQ(p->RetrieveAndDetachTop(), Item(5));
  EXPECT_EQ(Take(), "GotoTop");
}

// A derived Next that skips every second node: DetachAll and DestroyAll
// take the nodes that walk names and release the rest without killing it.
TEST(DerivedListEmptying, TheDerivedWalkDecidesWhatIsKilled) {
  struct Skipping : CPList {
    long Next() override {
      CPList::Next();
      return CPList::Next();
    }
  };
  static std::vector<void*> s_killed;
  s_killed.clear();
  Skipping lst;
  for (int i = 0; i < 5; ++i) lst.Add(Item(i));
  lst.DestroyAll([](void* pv, void*) { s_killed.push_back(pv); });
  EXPECT_EQ(s_killed, (std::vector<void*>{Item(0), Item(2), Item(4)}));
  EXPECT_EQ(lst.Length(), 0u);
  EXPECT_EQ(lst._get_pbktHead(), nullptr);
  EXPECT_EQ(lst._get_pbktTail(), nullptr);
}

// ---- the array and the stack -----------------------------------------------------------

TEST(DerivedArray, InsertBeyondTheItemsAppendsThroughAdd) {
  auto p = Make<CPArray>(2);
  EXPECT_EQ(p->InsertIDX(5, Item(7)), 1);
  EXPECT_EQ(Take(), "Add");
  EXPECT_EQ(p->InsertIDX(0, Item(8)), 1);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(p->RetrieveIDX(0), Item(8));
}

// A derived ForEach that hands the items in its own order, newest first:
// DestroyAll follows it, also when kill throws half-way.
TEST(DerivedArray, DestroyAllFollowsTheDerivedWalkWhenKillThrows) {
  struct Reversed : CPArray {
    Reversed() : CPArray(8) {}
    void ForEach(CPActionFunc pfn, void* pvUser) override {
      for (unsigned long i = _get_ulCurrentIndex(); i-- > 0;) pfn(_get_arpvThe()[i], pvUser);
    }
  };
  struct Reversing : CPStack {
    Reversing() : CPStack(8) {}
    void ForEach(CPActionFunc pfn, void* pvUser) override {
      for (unsigned long i = Length(); i-- > 0;) pfn(RetrieveIDX(Length() - 1 - i), pvUser);
    }
  };
  static int s_nCalls;
  CPKillFunc pfnThrowSecond = [](void*, void*) {
    if (++s_nCalls == 2) throw 2;
  };
  Reversed arr;
  Reversing stk;
  for (int i = 0; i < 4; ++i) {
    arr.Add(Item(i));
    stk.Add(Item(i));
  }
  s_nCalls = 0;
  EXPECT_THROW(arr.DestroyAll(pfnThrowSecond), int);
  ASSERT_EQ(arr.Length(), 2u);  // items 3 and 2 were handed to kill
  EXPECT_EQ(arr.RetrieveIDX(0), Item(0));
  EXPECT_EQ(arr.RetrieveIDX(1), Item(1));
  s_nCalls = 0;
  EXPECT_THROW(stk.DestroyAll(pfnThrowSecond), int);
  ASSERT_EQ(stk.Length(), 2u);
  EXPECT_EQ(stk.Top(), Item(1));
  EXPECT_EQ(stk.Bottom(), Item(0));
}
