// C++20 callers: every container, a class derived from one and the typed
// façades are forward ranges; std::ranges algorithms and the standard views
// work over them with the iterators' usual order and fail-fast behaviour.
#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>
#include <vector>

#include <cpcoll/tarncoll.h>
#include <cpcoll/modern.h>

#include "support/counted.h"
#include "support/report_capture.h"

namespace {

namespace rg = std::ranges;
namespace vw = std::views;

// A user's class in a namespace of its own.
namespace app {
class NamedList : public CPList {};
}  // namespace app

template <class R>
constexpr bool kForward = rg::forward_range<R&> && !rg::bidirectional_range<R&>;

static_assert(kForward<CPCollection> && kForward<CPList> && kForward<CPHashTable> && kForward<CPArray> &&
              kForward<CPStack> && kForward<CPVector> && kForward<CPDictionary> && kForward<CPTree> &&
              kForward<CPQueue> && kForward<app::NamedList>);
static_assert(kForward<CrCollection> && kForward<CrList> && kForward<CrDictionary> && kForward<CrTree>);
static_assert(kForward<tarncoll::TypedList<int>> && kForward<tarncoll::TypedDictionary<int>> &&
              kForward<tarncoll::TypedTree<int>>);
static_assert(std::is_same_v<rg::range_value_t<CPTree&>, void*> &&
              std::is_same_v<rg::range_value_t<CrList&>, Createable*> &&
              std::is_same_v<rg::range_value_t<tarncoll::TypedTree<int>&>, int*>);
// A walk needs a cursor, which a const collection cannot make.
static_assert(!rg::range<const CPList&>);
using EntryRange = tarncoll::CollectionRange<CPDictionaryAssociation>;
static_assert(rg::view<EntryRange> && rg::borrowed_range<EntryRange> && rg::forward_range<EntryRange>);
static_assert(rg::view<tarncoll::ObjectRange<Counted>> && rg::borrowed_range<tarncoll::ObjectRange<Counted>>);
static_assert(rg::viewable_range<CPList&> && rg::viewable_range<EntryRange>);

int gItems[6] = {10, 20, 30, 40, 50, 60};
int Deref(void* pv) { return *static_cast<int*>(pv); }

template <class R>
std::vector<int> Values(R&& r) {
  std::vector<int> v;
  for (int n : r | vw::transform(Deref)) v.push_back(n);
  return v;
}

TEST(Cxx20Ranges, ListsAlgorithmsAndViewsInAdditionOrder) {
  CPList lst;
  app::NamedList named;
  CPHashTable ht;
  for (int i : {2, 0, 4, 0, 1}) {
    lst.Add(&gItems[i]);
    named.Add(&gItems[i]);
    ht.Add(&gItems[i]);
  }
  for (CPList* p : {&lst, static_cast<CPList*>(&named), static_cast<CPList*>(&ht)}) {
    EXPECT_EQ(rg::count(*p, static_cast<void*>(&gItems[0])), 2);
    auto it = rg::find(*p, static_cast<void*>(&gItems[4]));
    ASSERT_NE(it, rg::end(*p));
    EXPECT_EQ(rg::distance(it, rg::end(*p)), 3);
    EXPECT_EQ(Values(*p | vw::filter([](void* pv) { return Deref(pv) > 10; }) | vw::take(2)),
              (std::vector<int>{30, 50}));
  }
  EXPECT_EQ(Values(named | vw::drop(3)), (std::vector<int>{10, 20}));
}

TEST(Cxx20Ranges, FixedCapacityContainersInTheirWalkOrder) {
  CPArray arr;
  CPStack stk;
  CPVector vec;
  for (int i : {3, 1, 5}) {
    arr.Add(&gItems[i]);
    stk.Push(&gItems[i]);
    vec.Add(&gItems[i]);
  }
  EXPECT_EQ(Values(arr), (std::vector<int>{40, 20, 60}));
  EXPECT_EQ(Values(stk), (std::vector<int>{40, 20, 60}));  // bottom to top
  EXPECT_TRUE(rg::empty(vec | vw::all));
  EXPECT_EQ(*rg::max_element(arr, {}, Deref), &gItems[5]);
}

TEST(Cxx20Ranges, DictionaryItemsEntriesAndTreeKeyOrder) {
  CPDictionary dct;
  dct.AddKeyNum(258, &gItems[1]);  // slot 2
  dct.AddKeyNum(1, &gItems[0]);    // slot 1
  dct.AddKeyString("k", &gItems[2], nullptr);
  auto vItems = Values(dct);
  ASSERT_EQ(vItems.size(), 3u);
  EXPECT_EQ(rg::find(dct, static_cast<void*>(&gItems[1])) == rg::end(dct), false);
  // The entries view walks the same entries, keys included; its iterators
  // stay valid after the view object is gone (a borrowed range).
  auto itEntry = rg::find_if(tarncoll::Entries(dct),
                             [](CPDictionaryAssociation* pda) { return pda->GetValue() == &gItems[0]; });
  static_assert(!std::is_same_v<decltype(itEntry), rg::dangling>);
  EXPECT_EQ((*itEntry)->GetValue(), &gItems[0]);
  std::vector<int> vFromEntries;
  for (void* pv : tarncoll::Entries(dct) | vw::transform(&CPDictionaryAssociation::GetValue))
    vFromEntries.push_back(Deref(pv));
  EXPECT_EQ(vFromEntries, vItems);

  CPTree tree;
  CPQueue que;
  for (unsigned long k : {4ul, 0ul, 2ul}) {
    tree.AddKeyNum(k, &gItems[5 - k]);
    que.Add(&gItems[k]);
  }
  EXPECT_EQ(Values(tree), (std::vector<int>{60, 40, 20}));  // keys 0, 2, 4
  EXPECT_TRUE(rg::is_sorted(tree, rg::greater{}, Deref));
  EXPECT_EQ(Values(que), (std::vector<int>{50, 10, 30}));  // arrival order
  EXPECT_EQ(rg::distance(tarncoll::Nodes(tree)), 3);
}

TEST(Cxx20Ranges, ReferenceCollectionsYieldSnapshots) {
  const int nLive = Counted::Live();
  {
    CrList crl;
    CrTree crt;
    for (int id : {3, 1, 2}) {
      crl.Add(new Counted(id));
      crt.AddKeyNum(id, new Counted(id));
    }
    auto ids = [](Createable* pcr) { return static_cast<Counted*>(pcr)->Id(); };
    EXPECT_EQ(rg::count_if(crl, [&](Createable* pcr) { return ids(pcr) > 1; }), 2);
    std::vector<int> vTree;
    for (int id : crt | vw::transform(ids)) vTree.push_back(id);
    EXPECT_EQ(vTree, (std::vector<int>{1, 2, 3}));
    auto it = rg::find_if(tarncoll::Objects<Counted>(crl), [](Counted* p) { return p->Id() == 1; });
    ASSERT_NE(it, tarncoll::SnapshotIterator<Counted>());
    crl.RemoveAll();
    EXPECT_EQ((*it)->Id(), 1);  // the iterator's snapshot still holds it
  }
  EXPECT_EQ(Counted::Live(), nLive);
}

TEST(Cxx20Ranges, TypedFacadesAndFailFastThroughAView) {
  tarncoll::TypedTree<int> tree;
  tarncoll::TypedList<int> lst;
  for (int i : {1, 4, 2}) {
    tree.AddKeyNum(static_cast<unsigned long>(i), &gItems[i]);
    lst.Add(&gItems[i]);
  }
  EXPECT_EQ(*rg::max_element(lst, {}, [](int* p) { return *p; }), &gItems[4]);
  std::vector<int> v;
  for (int n : tree | vw::transform([](int* p) { return *p; })) v.push_back(n);
  EXPECT_EQ(v, (std::vector<int>{20, 30, 50}));

  CPList plain;
  for (int& n : gItems) plain.Add(&n);
  auto big = plain | vw::filter([](void* pv) { return Deref(pv) > 20; });
  int nSeen = 0;
  EXPECT_CURSOR_EXCEPTION(for (void* pv : big) {
    ++nSeen;
    plain.Detach(pv);
  });
  EXPECT_EQ(nSeen, 1);
}

}  // namespace
