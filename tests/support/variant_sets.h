// Runs a parameterised test once per variant set; sets the processor lacks
// are skipped. The fixture forces the set for the test body and restores the
// previous one afterwards, so entries called in the body run that set.
//
//   class SumTest : public VariantSetTest {};
//   TEST_P(SumTest, ...) { ... spSumF32(...) ... }
//   SP_INSTANTIATE_FOR_ALL_SETS(SumTest);
#pragma once
#include <gtest/gtest.h>

#include "primitives/frame/set_list.h"
#include "primitives/frame/variant_seams.h"

class VariantSetTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!spVariantSetSupported(GetParam()))
      GTEST_SKIP() << "processor lacks the " << spVariantSetName(GetParam()) << " set";
    previous_ = spForceVariantSet(GetParam());
  }
  void TearDown() override {
    if (previous_ >= 0) spForceVariantSet(previous_);
  }
  int SetIndex() const { return GetParam(); }

 private:
  int previous_ = -1;
};

inline std::string VariantSetParamName(const ::testing::TestParamInfo<int>& info) {
  return spVariantSetName(info.param);
}

#define SP_INSTANTIATE_FOR_ALL_SETS(Suite) \
  INSTANTIATE_TEST_SUITE_P(AllSets, Suite, ::testing::Range(0, kSpVariantSetCount), VariantSetParamName)
