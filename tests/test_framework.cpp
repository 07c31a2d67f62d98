// The collection interface: bookkeeping, typed dispatch, walks over the
// built-in cursor, vector export/import, copying and sorting, exercised on
// the smallest concrete collection.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <cpcoll/cpcollec.h>

#include "support/report_capture.h"
#include "support/vector_collection.h"

namespace {

char a[] = "a", b[] = "b", c[] = "c";

int CompareTexts(const void* x, const void* y) {
  return std::strcmp(*static_cast<char* const*>(x), *static_cast<char* const*>(y));
}

std::vector<void*> Items(VectorCollection& v) { return v.items; }

TEST(CollectionBasics, NewCollectionIsEmpty) {
  VectorCollection v;
  EXPECT_EQ(v.IsMT(), 1);
  EXPECT_EQ(v.Length(), 0u);
  EXPECT_EQ(v._get_nXACT(), 0);
  EXPECT_EQ(v.BuildVector(), nullptr);
  EXPECT_EQ(v.KeyKind(), ekeyNone);
}

TEST(CollectionBasics, LengthHelpersCountChanges) {
  VectorCollection v;
  EXPECT_EQ(v.IncrementLength(), 1u);
  EXPECT_EQ(v.IncrementLength(), 2u);
  EXPECT_EQ(v.DecrementLength(), 1u);
  EXPECT_EQ(v._get_nXACT(), 3);
  v.ClearLength();
  EXPECT_EQ(v.Length(), 0u);
  EXPECT_EQ(v._get_nXACT(), 4);
  EXPECT_ASSERT_REPORT(v.DecrementLength(), "cpcoll\\cpcollec", "nLength >0");
  EXPECT_EQ(v.Length(), 0u);
  EXPECT_EQ(v._get_nXACT(), 4);  // the refused decrement changed nothing
}

TEST(TypedDispatch, FirstAddCommitsTheKindEvenWhenTheSlotRefuses) {
  VectorCollection v;
  v.nSlotResult = 0;
  EXPECT_EQ(v.add(a, 5L), 0);
  EXPECT_EQ(v.KeyKind(), ekeyNumber);
  EXPECT_EQ(v.nSlotCalls, 1);
  EXPECT_EQ(v.add(a), 0);  // plain add: wrong kind, slot not called
  EXPECT_EQ(v.add(a, "key"), 0);
  EXPECT_EQ(v.nSlotCalls, 1);
  EXPECT_EQ(v.find(7L), reinterpret_cast<void*>(7L));  // numeric find reaches vfind(long)
  EXPECT_EQ(v.nSlotCalls, 2);
  char key[] = "key";
  EXPECT_EQ(v.find(key), nullptr);
  EXPECT_EQ(v.remove(7L), nullptr);  // right kind, but the slot refuses
  EXPECT_EQ(v.KeyKind(), ekeyNumber);
}

TEST(TypedDispatch, MatchingKindReturnsTheSlotResult) {
  VectorCollection v;
  v.nSlotResult = 1;
  EXPECT_EQ(v.add(a), 1);
  EXPECT_EQ(v.KeyKind(), ekeyPlain);
  EXPECT_EQ(v.add(b), 1);
  EXPECT_EQ(v.nSlotCalls, 2);
  EXPECT_EQ(v.removeByProbe(a), nullptr);
  EXPECT_EQ(v.find(3L), nullptr);  // wrong kind: vfind not called
  EXPECT_EQ(v.nSlotCalls, 2);
}

TEST(BuiltInWalks, ForEachFirstThatNextThatStopAtNullItem) {
  VectorCollection v;
  v.Add(a);
  v.Add(b);
  v.Add(nullptr);
  v.Add(c);
  std::vector<void*> seen;
  v.ForEach([](void* item, void* user) { static_cast<std::vector<void*>*>(user)->push_back(item); }, &seen);
  EXPECT_EQ(seen, (std::vector<void*>{a, b}));

  auto isB = [](void* item, void*) { return int(item == b); };
  EXPECT_EQ(v.FirstThat(isB, nullptr), b);
  EXPECT_EQ(v.Retrieve(), b);  // cursor stays on the match
  EXPECT_EQ(v.NextThat(isB, nullptr), nullptr);  // walk ends at the null item
  EXPECT_EQ(v.FirstThat([](void* item, void*) { return int(item == c); }, nullptr), nullptr);
}

struct Recorder : IteratorAction {
  std::vector<void*> seen;
  short Perform() override {
    seen.push_back(pvItem);
    return 1;  // ignored by ForEach
  }
};

TEST(BuiltInWalks, ForEachActionObjectSeesEveryItem) {
  VectorCollection v;
  v.Add(a);
  v.Add(b);
  Recorder r;
  v.ForEach(&r);
  EXPECT_EQ(r.seen, (std::vector<void*>{a, b}));
}

TEST(VectorExport, BuildVectorAndBuildFromVector) {
  VectorCollection v;
  v.Add(b);
  v.Add(a);
  void** ppv = v.BuildVector();
  ASSERT_NE(ppv, nullptr);
  EXPECT_EQ(ppv[0], b);
  EXPECT_EQ(ppv[1], a);
  EXPECT_EQ(v.Retrieve(), nullptr);  // cursor left off the collection

  VectorCollection w;
  w.BuildFromVector(nullptr, 2);
  w.BuildFromVector(ppv, 0);
  EXPECT_EQ(w.Length(), 0u);
  w.BuildFromVector(ppv, 2);
  EXPECT_EQ(Items(w), (std::vector<void*>{b, a}));
  w.BuildFromVector(ppv, 2);  // not empty: nothing happens
  EXPECT_EQ(w.Length(), 2u);
  delete[] ppv;
}

TEST(CopyingBetweenCollections, AddFromAppendsCopyFromOnlyIntoEmpty) {
  VectorCollection from, to;
  from.Add(a);
  from.Add(b);
  to.Add(c);
  to.CopyFrom(&from);
  EXPECT_EQ(Items(to), (std::vector<void*>{c}));
  to.AddFrom(&from);
  EXPECT_EQ(Items(to), (std::vector<void*>{c, a, b}));
  EXPECT_EQ(Items(from), (std::vector<void*>{a, b}));  // items shared, source kept
  VectorCollection empty;
  empty.CopyFrom(&from);
  EXPECT_EQ(Items(empty), (std::vector<void*>{a, b}));
  EXPECT_ASSERT_REPORT(to.AddFrom(nullptr), "cpcoll\\Cpcollec", "pclFrom");
  EXPECT_EQ(to.Length(), 3u);
}

TEST(Sorting, SortRebuildsInComparisonOrder) {
  VectorCollection v;
  v.Add(c);
  v.Add(a);
  v.Add(b);
  short before = v._get_nXACT();
  v.Sort(&CompareTexts);
  EXPECT_EQ(Items(v), (std::vector<void*>{a, b, c}));
  EXPECT_NE(v._get_nXACT(), before);
  VectorCollection empty;
  empty.Sort(&CompareTexts);
  EXPECT_EQ(empty._get_nXACT(), 0);
}

TEST(Sorting, SortedCopyFillsOnlyAnEmptyTarget) {
  VectorCollection from;
  from.Add(c);
  from.Add(a);
  from.Add(b);
  VectorCollection to;
  to.SortedCopy(&from, &CompareTexts);
  EXPECT_EQ(Items(to), (std::vector<void*>{a, b, c}));
  EXPECT_EQ(Items(from), (std::vector<void*>{c, a, b}));
  to.SortedCopy(&from, &CompareTexts);  // not empty: nothing
  EXPECT_EQ(to.Length(), 3u);
  EXPECT_ASSERT_REPORT(to.SortedCopy(nullptr, &CompareTexts), "cpcoll\\Cpcollec", "pcollFrom");
}

TEST(CopyingCollections, CopyStartsWithoutAnIteratorState) {
  VectorCollection v;
  v.Add(a);
  v._set_pitsThe(v.CreateIterationState());
  VectorCollection w(v);
  EXPECT_EQ(w._get_pitsThe(), nullptr);
  EXPECT_EQ(w.Length(), 1u);
  w = v;
  EXPECT_EQ(w._get_pitsThe(), nullptr);
}

}  // namespace
