// Typed façades over CPList, CPDictionary and CPTree: typed results, typed
// iteration, and that they are the untyped class and nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <cpcoll/modern_typed_dictionary.h>
#include <cpcoll/modern_typed_list.h>
#include <cpcoll/modern_typed_tree.h>

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

}  // namespace
