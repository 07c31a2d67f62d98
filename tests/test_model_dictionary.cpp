// CPDictionary against its model: seeded random operation sequences,
// every result compared, invariants checked after every step.
// TARNCOLL_MODEL_OPS sets the operations of the whole family.
#include <gtest/gtest.h>

#include "model/dictionary_model.h"
#include "model/harness.h"

namespace {

const unsigned long kFamilyOps = tmodel::FamilyOps(1000000);

class DictionaryModelTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(DictionaryModelTest, AgreesWithModel) {
  EXPECT_EQ(tmodel::Run<tmodel::DictionaryModel>(GetParam(), kFamilyOps / 4), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, DictionaryModelTest, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
