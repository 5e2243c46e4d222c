// The checked division of every variant set: the special values of zero and
// NaN divisors and their status per set, the approximate quotients of the
// vector sets and the exact ones in a pass that holds a zero divisor, heads,
// remainders and arrays off 4-byte boundaries, in place, the checks, and the
// vector sets computing bit for bit the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using corr_test::kDivChecked;
using corr_test::kDivInPlace;
using vector_test::Bits;
using vector_test::PlacedArray;
using vector_test::UlpDistance;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr uint32_t kNegativeQuietNaN = 0xFFC00000u, kPositiveQuietNaN = 0x7FC00000u;

class DivideTest : public VariantSetTest {
 protected:
  bool Generic() const { return SetIndex() == corr_test::kGeneric; }
  spStatus Divide(const std::vector<float>& d, const std::vector<float>& s, std::vector<float>& out) const {
    return kDivChecked[SetIndex()](d.data(), s.data(), out.data(), static_cast<int32_t>(d.size()));
  }
};

TEST_P(DivideTest, ZeroAndNaNDivisors) {
  // One pass of eight: 1/0, -1/0, 0/0, NaN/0, 1/NaN, 1/-0, then two ordinary.
  const std::vector<float> d = {0.0f, 0.0f, 0.0f, 0.0f, kNaN, -0.0f, 3.0f, 7.0f};
  const std::vector<float> s = {1.0f, -1.0f, 0.0f, kNaN, 1.0f, 1.0f, 1.0f, 2.0f};
  alignas(16) float out[8];
  ASSERT_EQ(kDivChecked[SetIndex()](d.data(), s.data(), out, 8), spWarnZeroDivisor);
  EXPECT_EQ(out[0], kInf);
  EXPECT_EQ(out[1], -kInf);
  EXPECT_EQ(out[5], kInf);
  // Exact quotients beside the zero divisors.
  EXPECT_EQ(out[6], 1.0f / 3.0f);
  EXPECT_EQ(out[7], 2.0f / 7.0f);
  if (Generic()) {
    EXPECT_EQ(Bits(out[2]), kNegativeQuietNaN);
    EXPECT_EQ(out[3], -kInf);  // NaN numerator counts as below zero
    EXPECT_EQ(out[4], kInf);   // 1/NaN: positive numerator
  } else {
    EXPECT_EQ(Bits(out[2]), kPositiveQuietNaN);
    EXPECT_EQ(Bits(out[3]), kPositiveQuietNaN);
    EXPECT_EQ(Bits(out[4]), kPositiveQuietNaN);
  }
}

// In the vector sets a NaN divisor without a zero in its pass flows through
// the estimate as a NaN, without the warning; the generic set flags it.
TEST_P(DivideTest, NaNDivisorAloneInItsPass) {
  std::vector<float> d(8, 2.0f), s(8, 1.0f);
  d[3] = kNaN;
  alignas(16) float aligned[8];
  const spStatus status = kDivChecked[SetIndex()](d.data(), s.data(), aligned, 8);
  EXPECT_EQ(status, Generic() ? spWarnZeroDivisor : spOk);
  if (Generic()) {
    EXPECT_EQ(aligned[3], kInf);
  } else {
    EXPECT_TRUE(std::isnan(aligned[3]));
  }
}

// Outside the range of the reciprocal estimate: a divisor near the top of
// the range gives 0 and a denormal one a NaN in the vector sets, neither
// flagged; the generic set divides exactly.
TEST_P(DivideTest, HugeAndDenormalDivisors) {
  const float huge = std::ldexp(1.5f, 126), tiny = std::numeric_limits<float>::denorm_min() * 8;
  const std::vector<float> d = {huge, tiny, 2, 2, 2, 2, 2, 2}, s = {1, 1, 1, 1, 1, 1, 1, 1};
  alignas(16) float out[8];
  ASSERT_EQ(kDivChecked[SetIndex()](d.data(), s.data(), out, 8), spOk);
  if (Generic()) {
    EXPECT_EQ(out[0], 1.0f / huge);
    EXPECT_EQ(out[1], kInf);  // 1 / 2^-146 overflows
  } else {
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_TRUE(std::isnan(out[1]));
  }
}

// Divisors 1, 2, 3, ..: within a few ulps everywhere, exactly rounded in the
// generic set; a zero in a pass of eight makes its other seven exact.
TEST_P(DivideTest, ApproximateAndExactQuotients) {
  for (int32_t n : {1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 31, 64, 101}) {
    for (int64_t offset : {0, 4, 8, 12, 1, 2}) {
      std::vector<float> d(n), s(n);
      for (int32_t i = 0; i < n; ++i) {
        d[i] = static_cast<float>(i + 1);
        s[i] = static_cast<float>(3 * i + 1) / 7.0f;
      }
      PlacedArray<float> dv(d, offset), sv(s, offset), out(n, offset);
      SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
      ASSERT_EQ(kDivChecked[SetIndex()](dv.data(), sv.data(), out.data(), n), spOk);
      EXPECT_TRUE(out.GuardsIntact());
      const auto got = out.Get();
      for (int32_t i = 0; i < n; ++i) EXPECT_LE(UlpDistance(got[i], s[i] / d[i]), Generic() ? 0 : 2) << "i " << i;
    }
  }
  // Aligned passes of eight with a zero in the second: its seven are exact.
  alignas(16) float d[16], s[16], out[16];
  for (int i = 0; i < 16; ++i) {
    d[i] = static_cast<float>(i + 3);
    s[i] = 1.0f;
  }
  d[12] = 0.0f;
  ASSERT_EQ(kDivChecked[SetIndex()](d, s, out, 16), spWarnZeroDivisor);
  for (int i = 8; i < 16; ++i) {
    if (i == 12) continue;
    EXPECT_EQ(out[i], 1.0f / d[i]) << "i " << i;
  }
}

TEST_P(DivideTest, InPlaceAndChecks) {
  std::vector<float> d = {2, 4, 8, 0, 5}, s = {1, 2, 3, 4, 5}, out(5);
  ASSERT_EQ(Divide(d, s, out), spWarnZeroDivisor);
  ASSERT_EQ(kDivInPlace[SetIndex()](d.data(), s.data(), 5), spWarnZeroDivisor);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Bits(s[i]), Bits(out[i]));

  std::vector<float> keep = {9, 9};
  EXPECT_EQ(kDivChecked[SetIndex()](nullptr, nullptr, nullptr, 0), spErrNullPointer);
  EXPECT_EQ(kDivChecked[SetIndex()](d.data(), s.data(), nullptr, -1), spErrNullPointer);
  EXPECT_EQ(kDivChecked[SetIndex()](d.data(), nullptr, keep.data(), 2), spErrNullPointer);
  EXPECT_EQ(kDivChecked[SetIndex()](d.data(), s.data(), keep.data(), 0), spErrLength);
  EXPECT_EQ(kDivChecked[SetIndex()](d.data(), s.data(), keep.data(), INT32_MIN), spErrLength);
  EXPECT_EQ(kDivInPlace[SetIndex()](nullptr, keep.data(), 2), spErrNullPointer);
  EXPECT_EQ(kDivInPlace[SetIndex()](d.data(), nullptr, 0), spErrNullPointer);
  EXPECT_EQ(kDivInPlace[SetIndex()](d.data(), keep.data(), 0), spErrLength);
  EXPECT_EQ(keep, (std::vector<float>{9, 9}));
}

// The four vector sets run one routine: the same bits, special values and
// approximations included, at every alignment.
TEST(DivideSets, VectorSetsAgreeBitForBit) {
  const int64_t n = 77;
  std::vector<float> d = corr_test::Signal<float>(n, 4), s = corr_test::Signal<float>(n, 5);
  d[10] = 0.0f;
  d[40] = kNaN;
  d[41] = 0.0f;
  d[60] = 1e-40f;  // denormal
  for (int64_t offset : {0, 4, 8, 12, 2}) {
    std::vector<uint32_t> first;
    for (int set = corr_test::kSse; set <= corr_test::kSsse3; ++set) {
      if (!spVariantSetSupported(set)) continue;
      PlacedArray<float> dv(d, offset), sv(s, offset), out(n, offset);
      ASSERT_EQ(kDivChecked[set](dv.data(), sv.data(), out.data(), n), spWarnZeroDivisor);
      std::vector<uint32_t> bits;
      for (float v : out.Get()) bits.push_back(Bits(v));
      if (first.empty())
        first = bits;
      else
        EXPECT_EQ(bits, first) << "set " << set << " offset " << offset;
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(DivideTest);

}  // namespace
