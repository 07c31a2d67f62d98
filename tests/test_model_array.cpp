// CPArray against its model: seeded random operation sequences, every result
// compared, invariants checked after every step.  TARNCOLL_MODEL_OPS sets
// the operations of the whole family.
#include <gtest/gtest.h>

#include "model/array_model.h"
#include "model/harness.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(1000000);

class ArrayModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(ArrayModelTest, AgreesWithModel) { EXPECT_EQ(model::Run<model::ArrayModel>(GetParam(), kFamilyOps / 2), ""); }

INSTANTIATE_TEST_SUITE_P(Seeds, ArrayModelTest, ::testing::Values(1u, 2u));

}  // namespace
