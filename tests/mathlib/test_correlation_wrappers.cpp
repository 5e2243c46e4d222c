// The correlation wrappers: the leading argument ignored, the others passed
// in order, the autocorrelation flags choosing the estimate, statuses passed
// through.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Mathlib/MathlibPrim.h"
#include "primitives/correlation/sp_correlation.h"
#include "support/variant_sets.h"

namespace {

class MathlibCorrelationWrapperTest : public VariantSetTest {};

TEST_P(MathlibCorrelationWrapperTest, CrossCorrelationPassesItsArgumentsInOrder) {
  const std::vector<double> a = {1, 2, 3}, b = {4, -1, 0, 2, 5};
  const std::vector<float> af(a.begin(), a.end()), bf(b.begin(), b.end());
  for (int32_t reserved : {0, -7, 12345}) {
    std::vector<double> got(9), want(9);
    ASSERT_EQ(duvuvCrossCorrF64(reserved, a.data(), 3, b.data(), 5, got.data(), 9, -3), spOk);
    ASSERT_EQ(spCrossCorrF64(a.data(), 3, b.data(), 5, want.data(), 9, -3), spOk);
    EXPECT_EQ(got, want);
    // Lag -2 pairs a[2] with b[0]: 12; lag 0: 4 - 2 + 0 = 2.
    EXPECT_EQ(got[1], 12.0);
    EXPECT_EQ(got[3], 2.0);
    std::vector<float> gotF(9), wantF(9);
    ASSERT_EQ(duvuvCrossCorrF32(reserved, af.data(), 3, bf.data(), 5, gotF.data(), 9, -3), spOk);
    ASSERT_EQ(spCrossCorrF32(af.data(), 3, bf.data(), 5, wantF.data(), 9, -3), spOk);
    EXPECT_EQ(gotF, wantF);
  }
  std::vector<double> keep(3, 7.0);
  EXPECT_EQ(duvuvCrossCorrF64(0, a.data(), 0, b.data(), 5, keep.data(), 3, 0), spErrLength);
  EXPECT_EQ(duvuvCrossCorrF32(0, nullptr, 3, bf.data(), 5, nullptr, 3, 0), spErrNullPointer);
  EXPECT_EQ(keep, std::vector<double>(3, 7.0));
}

TEST_P(MathlibCorrelationWrapperTest, AutoCorrelationFlagsChooseTheEstimate) {
  const std::vector<float> src = {1, 2, 3, 4};
  std::vector<float> biased(4), unbiased(4);
  ASSERT_EQ(spAutoCorrBiasedF32(src.data(), 4, biased.data(), 4), spOk);
  ASSERT_EQ(spAutoCorrUnbiasedF32(src.data(), 4, unbiased.data(), 4), spOk);
  const struct {
    int32_t flags;
    const std::vector<float>* want;
  } cases[] = {{1, &biased}, {3, &biased}, {2, &unbiased}, {0x102, &unbiased}, {0x101, &biased}};
  for (const auto& c : cases) {
    std::vector<float> got(4);
    ASSERT_EQ(duvuvAutoCorrF32(99, src.data(), 4, got.data(), 4, c.flags), spOk);
    EXPECT_EQ(got, *c.want) << "flags " << c.flags;
  }
  // Neither bit: nothing computed, dst as it was, and a status that says so.
  std::vector<float> keep(4, 7.0f);
  EXPECT_EQ(duvuvAutoCorrF32(0, src.data(), 4, keep.data(), 4, 0), spErrFftScaleFlag);
  EXPECT_EQ(duvuvAutoCorrF32(0, src.data(), 4, keep.data(), 4, 0x100), spErrFftScaleFlag);
  EXPECT_EQ(keep, std::vector<float>(4, 7.0f));
  EXPECT_EQ(duvuvAutoCorrF32(0, src.data(), 0, keep.data(), 4, 2), spErrLength);
  EXPECT_EQ(keep, std::vector<float>(4, 7.0f));
}

SP_INSTANTIATE_FOR_ALL_SETS(MathlibCorrelationWrapperTest);

}  // namespace
