// CPList and CPHashTable against their model: seeded random operation
// sequences, every result compared, invariants checked after every step.
// TARNCOLL_MODEL_OPS sets the operations of the whole family.
#include <gtest/gtest.h>

#include <memory>

#include "model/harness.h"
#include "model/list_model.h"
#include "support/list_inspector.h"
#include "support/report_capture.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(1000000);

class ListModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(ListModelTest, ListAgreesWithModel) {
  EXPECT_EQ(model::Run<model::ListModel<CPList>>(GetParam(), kFamilyOps / 4), "");
}

TEST_P(ListModelTest, HashTableAgreesWithModel) {
  EXPECT_EQ(model::Run<model::ListModel<CPHashTable>>(GetParam() + 1000, kFamilyOps / 4), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, ListModelTest, ::testing::Values(1u, 2u));

// Regression (found by the model): a null item given to Detach or Destroy
// cleared the reset point and the remembered cursor index before the
// report, so the report did not leave the list as it was.
TEST(ListModelRegression, NullItemReportLeavesCursorState) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  ASSERT_EQ(lst.RetrieveIDX(1), &it.q);  // p q r, cursor on q, index 1
  lst.SetResetPoint();
  EXPECT_ASSERT_REPORT(lst.Detach(nullptr), "cpcoll\\cplist", "pvItem2Find !=0");
  EXPECT_EQ(CPListInspector::Reset(lst), lst._get_pbktCursor());
  EXPECT_EQ(lst._get_nDXCursor(), 1);
  EXPECT_ASSERT_REPORT(lst.Destroy(nullptr, &model::Record), "cpcoll\\cplist", "pvItem2Find !=0");
  EXPECT_EQ(CPListInspector::Reset(lst), lst._get_pbktCursor());
  EXPECT_EQ(lst._get_nDXCursor(), 1);
  EXPECT_TRUE(CPListInspector::Check(lst));
}

// Regression (found by the model): a ListIterationState's reset point
// survived changes of the list, so after gotoTop (which accepts them)
// gotoResetPoint could put the cursor on a freed node.  A reset point set
// before a change now counts as none.
TEST(ListModelRegression, StateResetPointFromBeforeAChangeIsIgnored) {
  ListItems it;
  CPList lst;
  Fill(lst, {&it.p, &it.q, &it.r});
  std::unique_ptr<ListIterationState> plits(static_cast<ListIterationState*>(lst.CreateIterationState()));
  plits->gotoTop();
  plits->gotoNext();
  plits->setResetPoint();  // on q
  ASSERT_EQ(plits->gotoResetPoint(), 1);
  EXPECT_EQ(plits->retrieve(), &it.q);  // unchanged list: the reset point holds
  ASSERT_EQ(lst.Detach(&it.q), 1);      // q's node is freed
  plits->gotoTop();
  ASSERT_EQ(plits->gotoResetPoint(), 1);
  EXPECT_EQ(plits->retrieve(), &it.p);  // back to the top, not to the freed node
}

}  // namespace
