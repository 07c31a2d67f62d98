// Checks shared by the models: a collection's items through its built-in
// cursor, and the Iterator algorithms over a fresh iteration state.
#ifndef TARNCOLL_TESTS_MODEL_WALKS_H
#define TARNCOLL_TESTS_MODEL_WALKS_H

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <vector>

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>

#include "model/harness.h"

namespace tarncoll::test::model {

// Whether a collection is exactly of class T (or of cl's class).
template <class T>
bool SameClass(const CPCollection* pcl) {
  return pcl != nullptr && typeid(*pcl) == typeid(T);
}
inline bool SameClassAs(const CPCollection* pcl, const CPCollection& cl) {
  return pcl != nullptr && typeid(*pcl) == typeid(cl);
}

inline short IsUserShort(void* pv, void* pvUser) { return Tick(), pv == pvUser ? 1 : 0; }

// The items of a collection in the order of its built-in cursor.
inline std::vector<void*> ItemsOf(CPCollection& cl) {
  void** ppv = cl.BuildVector();
  std::vector<void*> v;
  if (ppv) v.assign(ppv, ppv + cl.Length());
  delete[] ppv;
  return v;
}

// How allThat's result is compared: in walk order, as a sorted set (a
// container that orders its items itself), or not at all.
enum AllThatCheck { eAllThatInOrder, eAllThatSorted, eAllThatSkip };

// One Iterator algorithm over a new state of cl, whose walk must visit
// exactly `walk`; pv is the item searched for.
inline void IteratorChecks(CPCollection& cl, const std::vector<void*>& walk, void* pv, OpSource& src,
                           AllThatCheck eAllThat = eAllThatInOrder) {
  std::unique_ptr<Iterator> pit(cl.GetIterator());
  TM_TRUE(pit != nullptr);
  auto i = std::find(walk.begin(), walk.end(), pv);
  switch (src.Pick(3)) {
    case 0:
      Seen().clear();
      TM_EQ(pit->forEach(&Record, nullptr), 1);
      TM_EQ(Seen(), walk);
      break;
    case 1:
      TM_EQ(pit->firstThat(&IsUserShort, pv), i == walk.end() ? nullptr : pv);
      if (i != walk.end())  // continues after the match
        TM_EQ(pit->nextThat(&IsUserShort, pv), std::find(i + 1, walk.end(), pv) == walk.end() ? nullptr : pv);
      break;
    default: {
      if (eAllThat == eAllThatSkip) break;
      std::unique_ptr<CPCollection> pcl(pit->allThat(&IsUserShort, pv));
      TM_TRUE(pcl != nullptr);
      TM_TRUE(SameClassAs(pcl.get(), cl));
      std::vector<void*> v = ItemsOf(*pcl), expected(std::count(walk.begin(), walk.end(), pv), pv);
      if (eAllThat == eAllThatSorted) {
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        expected.resize(expected.empty() ? 0 : 1);
      }
      TM_EQ(v, expected);
      break;
    }
  }
}

}  // namespace tarncoll::test::model

#endif
