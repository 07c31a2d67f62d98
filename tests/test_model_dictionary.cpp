// CPDictionary against its model: seeded random operation sequences,
// every result compared, invariants checked after every step.
// TARNCOLL_MODEL_OPS sets the operations of the whole family.
#include <gtest/gtest.h>

#include "model/dictionary_model.h"
#include "model/harness.h"

namespace {

namespace model = tarncoll::test::model;

const unsigned long kFamilyOps = model::FamilyOps(1000000);

class DictionaryModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(DictionaryModelTest, AgreesWithModel) {
  EXPECT_EQ(model::Run<model::DictionaryModel>(GetParam(), kFamilyOps / 4), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, DictionaryModelTest, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
