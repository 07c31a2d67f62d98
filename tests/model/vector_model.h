// Model of CPVector: whatever is done to it, it answers as an empty
// collection that refuses every addition and never changes.
#ifndef TARNCOLL_TESTS_MODEL_VECTOR_MODEL_H
#define TARNCOLL_TESTS_MODEL_VECTOR_MODEL_H

#include <memory>
#include <typeinfo>
#include <vector>

#include <cpcoll/CPVector.h>
#include <cpcoll/cplist.h>

#include "model/harness.h"
#include "model/walks.h"
#include "support/vector_inspector.h"

namespace tarncoll::test::model {

class VectorModel : public ModelBase {
 public:
  ~VectorModel() { delete pits; }

  void Step(OpSource& src) {
    void* pv = Item(src.Pick(20));
    Seen().clear();
    switch (src.Pick(20)) {
      case 0:
        Op("Add");
        vec.Add(pv);
        break;
      case 1:
        Op("Detach / Destroy");
        TM_EQ(vec.Detach(pv), 0);
        TM_EQ(vec.Destroy(pv, &Record), 0);
        break;
      case 2:
        Op("DetachAll / DestroyAll");
        TM_EQ(vec.DetachAll(), 0);
        TM_EQ(vec.DestroyAll(&Record), 0);
        break;
      case 3:
        Op("RetrieveIDX");
        TM_EQ(vec.RetrieveIDX(src.Pick(4)), nullptr);
        break;
      case 4:
        Op("cursor");
        vec.GotoTop();
        TM_EQ(vec.Retrieve(), nullptr);
        TM_EQ(vec.Next(), 0);
        vec.GotoBottom();
        TM_EQ(vec.Prev(), 0);
        TM_EQ(vec.Retrieve(), nullptr);
        break;
      case 5: {
        Op("walks");
        MatchAction action(nullptr);
        vec.ForEach(&action);
        vec.ForEach(&Record, nullptr);
        TM_TRUE(action.visited.empty());
        TM_EQ(vec.FirstThat(&IsUser, pv), nullptr);
        TM_EQ(vec.NextThat(&IsUser, pv), nullptr);
        TM_TRUE(vec.AllThat(&IsUser, pv) == nullptr);
        break;
      }
      case 6:
        Op("BuildVector / Sort");
        TM_TRUE(vec.BuildVector() == nullptr);
        vec.Sort(&CompareItems);
        break;
      case 7: {
        Op("BuildFromVector / AddFrom / SortedCopy");
        CPList lst;
        lst.Add(pv);
        lst.Add(Item(src.Pick(20)));
        void* apv[2] = {pv, pv};
        vec.BuildFromVector(apv, 2);
        vec.AddFrom(&lst);
        vec.CopyFrom(&lst);
        vec.SortedCopy(&lst, &CompareItems);
        TM_EQ(lst.Length(), 2u);
        break;
      }
      case 8:
        if (src.Chance(2)) {
          Op("copy constructor");
          CPVector copy(vec);
          TM_INV(CPVectorInspector::Check(copy));
          TM_EQ(CPVectorInspector::Capacity(copy), CPVectorInspector::Capacity(vec));
          TM_TRUE(CPVectorInspector::Block(copy) != CPVectorInspector::Block(vec));
        } else {
          Op("operator=");
          CPVector other(src.Pick(300));
          vec = other;
          TM_EQ(CPVectorInspector::Capacity(vec), CPVectorInspector::Capacity(other));
          TM_TRUE(CPVectorInspector::Block(other) != CPVectorInspector::Block(vec));
        }
        break;
      case 9: {
        Op("CreateInstance");
        std::unique_ptr<CPCollection> pcl(vec.CreateInstance());
        TM_TRUE(pcl != nullptr);
        TM_TRUE(SameClass<CPVector>(pcl.get()));
        TM_EQ(CPVectorInspector::Capacity(static_cast<CPVector&>(*pcl)), 255u);
        break;
      }
      case 10:
        Op("typed entry points");
        TM_EQ(vec.add(pv), 0);
        TM_EQ(vec.add(pv, 5L), 0);
        TM_EQ(vec.find(5L), nullptr);
        TM_EQ(vec.removeByProbe(pv), nullptr);
        break;
      case 11:
      case 12:
      case 13: {
        Op("iteration state");
        if (!pits) pits = vec.CreateIterationState();
        TM_TRUE(pits != nullptr);
        TM_EQ(pits->gotoTop(), 1);
        TM_EQ(pits->gotoBottom(), 1);
        TM_EQ(pits->gotoIDX(src.Pick(5)), 1);
        TM_EQ(pits->gotoNext(), 1);
        TM_EQ(pits->gotoPrev(), 1);
        TM_EQ(pits->retrieve(), nullptr);
        TM_TRUE(pits->retrieveInternalContainer() == nullptr);
        break;
      }
      case 14:
        Op("Iterator algorithms");
        IteratorChecks(vec, std::vector<void*>(), pv, src);
        break;
      case 15:
        Op("bad input");
        TM_REPORTS(vec.AddFrom(nullptr), "pclFrom");
        break;
      default:
        Op("Length");
        TM_EQ(vec.IsMT(), 1);
        break;
    }
    TM_TRUE(Seen().empty());  // no kill function or action was ever called
  }

  void Check() {
    TM_INV(CPVectorInspector::Check(vec));
    TM_EQ(vec.Length(), 0u);
  }

 private:
  CPVector vec;
  IterationState* pits = nullptr;
};

}  // namespace tarncoll::test::model

#endif
