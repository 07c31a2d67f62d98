// CPStack against its model: seeded random operation sequences, every result
// compared, invariants checked after every step.  TARNCOLL_MODEL_OPS sets
// the operations of the whole family.
#include <gtest/gtest.h>

#include "model/harness.h"
#include "model/stack_model.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(1000000);

class StackModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(StackModelTest, AgreesWithModel) { EXPECT_EQ(model::Run<model::StackModel>(GetParam(), kFamilyOps / 2), ""); }

INSTANTIATE_TEST_SUITE_P(Seeds, StackModelTest, ::testing::Values(1u, 2u));

}  // namespace
