// The modern layer (typed façades, their iterators, Ref handles) and the
// Trackable statistics against their models: seeded random operation
// sequences, every result compared, invariants checked after every step.
// TARNCOLL_MODEL_OPS sets the operations of the whole family.
#include <gtest/gtest.h>

#include "model/harness.h"
#include "model/modern_model.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(200000);

class ModernModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(ModernModelTest, ModernLayerAgreesWithModel) {
  EXPECT_EQ(model::Run<model::ModernModel>(GetParam(), kFamilyOps * 3 / 10), "");
}

TEST_P(ModernModelTest, TrackableAgreesWithModel) {
  EXPECT_EQ(model::Run<model::TrackableModel>(GetParam(), kFamilyOps / 5), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModernModelTest, ::testing::Values(1u, 2u));

}  // namespace
