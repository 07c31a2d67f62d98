// The reference-holding collections and the symmetric map against their
// models: seeded random operation sequences, every result and every
// reference count compared, invariants checked after every step.
// TARNCOLL_MODEL_OPS sets the operations of the whole family.
#include <gtest/gtest.h>

#include "model/cr_models.h"
#include "model/crtree_model.h"
#include "model/harness.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(1000000);

class CrModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(CrModelTest, CrListAgreesWithModel) {
  EXPECT_EQ(model::Run<model::CrListModel>(GetParam(), kFamilyOps * 3 / 20), "");
}

TEST_P(CrModelTest, CrDictionaryAgreesWithModel) {
  EXPECT_EQ(model::Run<model::CrDictionaryModel>(GetParam(), kFamilyOps * 3 / 20), "");
}

TEST_P(CrModelTest, CrTreeAgreesWithModel) {
  EXPECT_EQ(model::Run<model::CrTreeModel>(GetParam(), kFamilyOps / 10), "");
}

TEST_P(CrModelTest, SymmetricMapAgreesWithModel) {
  EXPECT_EQ(model::Run<model::SymmetricMapModel>(GetParam(), kFamilyOps / 10), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, CrModelTest, ::testing::Values(1u, 2u));

}  // namespace
