// CPTree (numeric and text keys) and CPQueue against their models: seeded
// random operation sequences, every result compared, invariants checked
// after every step.  TARNCOLL_MODEL_OPS sets the operations of the family.
#include <gtest/gtest.h>

#include "model/harness.h"
#include "model/tree_model.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(1000000);

class TreeModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(TreeModelTest, NumericTreeAgreesWithModel) {
  EXPECT_EQ(model::Run<model::TreeModel<model::NumberKeys>>(GetParam(), kFamilyOps / 4), "");
}

TEST_P(TreeModelTest, TextTreeAgreesWithModel) {
  EXPECT_EQ(model::Run<model::TreeModel<model::TextKeys>>(GetParam(), kFamilyOps * 3 / 20), "");
}

TEST_P(TreeModelTest, QueueAgreesWithModel) {
  EXPECT_EQ(model::Run<model::QueueModel>(GetParam(), kFamilyOps / 10), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, TreeModelTest, ::testing::Values(1u, 2u));

}  // namespace
