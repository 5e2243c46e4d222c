// Inverse with threshold under every variant set: argument checks (a NaN
// threshold is refused like a negative one), the zero-threshold path with
// its division-by-zero warning, the held divisor above a positive threshold,
// zeros of both signs and NaN elements treated alike in every set, accuracy
// against a long-double reference and the caller's MXCSR.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "primitives/vector/sp_elementary.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;
using L = std::numeric_limits<float>;

// Generic: a double-precision quotient (shared between elements) rounded
// once; SIMD: the reciprocal estimate refined once.
class InvThreshTest : public UlpBoundTest</*generic*/ 1, /*SIMD*/ 4> {};

// The contract: x = 1/x, or +-1/threshold where |x| <= threshold > 0.
float Expected(float x, float threshold) {
  if (threshold > 0.0f && std::fabs(x) <= threshold) {
    const float inverse = Nearest(1.0L / threshold);
    return x < 0.0f ? -inverse : inverse;
  }
  if (x == 0.0f) return L::infinity();
  return Nearest(1.0L / static_cast<long double>(x));
}

TEST_P(InvThreshTest, ArgumentErrorsWriteNothing) {
  float v[3] = {2.0f, 4.0f, 8.0f};
  EXPECT_EQ(spInvThreshInPlaceF32(nullptr, 0, -1.0f), spErrNullPointer);
  EXPECT_EQ(spInvThreshInPlaceF32(v, 0, -1.0f), spErrLength);
  for (float bad : {-1.0f, -L::denorm_min(), -L::infinity(), L::quiet_NaN(), -L::quiet_NaN()})
    EXPECT_EQ(spInvThreshInPlaceF32(v, 3, bad), spErrThreshold) << bad;
  EXPECT_EQ(v[0], 2.0f);
  EXPECT_EQ(v[2], 8.0f);
}

struct Case {
  const char* name;
  float threshold;
  std::vector<float> input;
  std::vector<float> expected;  // compared within the set's tolerance
  spStatus status;
};

TEST_P(InvThreshTest, ResultsAndStatuses) {
  const float inf = L::infinity();
  const Case cases[] = {
      {"zero element", 0.0f, {2.0f, 0.0f, -4.0f}, {0.5f, inf, -0.25f}, spWarnDivByZero},
      {"negative zero element", 0.0f, {-0.0f, 8.0f}, {inf, 0.125f}, spWarnDivByZero},
      {"no zero", 0.0f, {2.0f, -8.0f, 0.1f, 3.0f, 5.0f}, {0.5f, -0.125f, 10.0f, 1.0f / 3.0f, 0.2f}, spOk},
      {"threshold -0 counts as 0", -0.0f, {2.0f, 0.0f}, {0.5f, inf}, spWarnDivByZero},
      {"infinities", 0.0f, {inf, -inf, 4.0f, 2.0f}, {0.0f, -0.0f, 0.25f, 0.5f}, spOk},
      {"held at threshold", 0.5f, {0.25f, -0.25f, 0.5f, 4.0f}, {2.0f, -2.0f, 2.0f, 0.25f}, spOk},
      {"zeros above 0 threshold", 0.5f, {0.0f, -0.0f, -0.5f}, {2.0f, 2.0f, -2.0f}, spOk},
      {"infinite threshold", inf, {3.0f, -3.0f, 0.0f, inf}, {0.0f, -0.0f, 0.0f, 0.0f}, spOk},
  };
  for (const Case& c : cases) {
    // Every placement in a longer array, so each value meets head, block and
    // tail groups.
    const int n = static_cast<int>(c.input.size());
    for (int lead = 0; lead < 13; ++lead) {
      SCOPED_TRACE(testing::Message() << c.name << " lead " << lead);
      std::vector<float> v(lead + n + 5, 3.0f);
      for (int i = 0; i < n; ++i) v[lead + i] = c.input[i];
      ASSERT_EQ(spInvThreshInPlaceF32(v.data(), int32_t(v.size()), c.threshold), c.status);
      for (int i = 0; i < n; ++i) {
        const float got = v[lead + i];
        const float want = c.expected[i];
        if (std::isinf(want) || want == 0.0f) {
          EXPECT_EQ(Bits(got), Bits(want)) << "element " << i;
        } else {
          EXPECT_LE(UlpDistance(got, want), Ulps()) << "element " << i << " got " << got;
        }
      }
      for (int i = 0; i < int(v.size()); ++i) {
        if (i < lead || i >= lead + n) {
          EXPECT_LE(UlpDistance(v[i], Expected(3.0f, c.threshold)), Ulps()) << i;
        }
      }
    }
  }
}

// A NaN element gives NaN and never a warning, at any threshold.
TEST_P(InvThreshTest, NanElementGivesNanWithoutWarning) {
  for (float threshold : {0.0f, 0.5f, 100.0f}) {
    for (int pos = 0; pos < 11; ++pos) {
      std::vector<float> v(11, 2.0f);
      v[pos] = (pos % 2) ? L::quiet_NaN() : -L::quiet_NaN();
      ASSERT_EQ(spInvThreshInPlaceF32(v.data(), 11, threshold), spOk) << threshold << " pos " << pos;
      EXPECT_TRUE(std::isnan(v[pos])) << threshold << " pos " << pos;
      EXPECT_LE(UlpDistance(v[(pos + 1) % 11], Expected(2.0f, threshold)), Ulps());
    }
  }
}

// Random values with a sprinkling of zeros, infinities, subnormals and huge
// values (whose reciprocals are subnormal), at every alignment.
TEST_P(InvThreshTest, MatchesLongDoubleReference) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> exponent(-40.0f, 38.0f);
  std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
  std::uniform_int_distribution<int> kind(0, 40);
  auto draw = [&] {
    switch (kind(rng)) {
      case 0: return 0.0f;
      case 1: return -L::infinity();
      case 2: return L::denorm_min() * 3000.0f;
      case 3: return -3.0e38f;
      default: {
        const float x = mantissa(rng) * std::pow(10.0f, exponent(rng));
        return (kind(rng) % 2) ? -x : x;
      }
    }
  };
  int64_t worst = 0;
  for (float threshold : {0.0f, 1e-3f, 2.5f}) {
    for (int len = 1; len < 70; len += 3) {
      for (int offset = 0; offset < 4; ++offset) {
        PlacedArray<float> v(len, offset * sizeof(float));
        std::vector<float> x(len);
        bool zero = false;
        for (int i = 0; i < len; ++i) {
          v[i] = x[i] = draw();
          zero |= x[i] == 0.0f;
        }
        const spStatus want = threshold == 0.0f && zero ? spWarnDivByZero : spOk;
        ASSERT_EQ(spInvThreshInPlaceF32(v.data(), len, threshold), want);
        for (int i = 0; i < len; ++i) {
          const float ref = Expected(x[i], threshold);
          const int64_t d = UlpDistance(v[i], ref);
          worst = std::max(worst, d);
          ASSERT_LE(d, Ulps()) << "x = " << x[i] << " threshold " << threshold << " got " << v[i];
        }
      }
    }
  }
  testing::Test::RecordProperty("worst_ulps", static_cast<int>(worst));
}

// The caller's register comes back bit for bit (the zero-divide flag of a
// zero element included), and DAZ does not turn a subnormal into a zero.
TEST_P(InvThreshTest, CallerMxcsrPreservedAndIgnored) {
  const float denorm = L::denorm_min() * 4e6f;  // subnormal, reciprocal finite
  for (unsigned caller :
       {kDefaultMxcsr, kDefaultMxcsr | 0x3Fu, kDefaultMxcsr | kMxcsrDaz | kMxcsrFtz, kDefaultMxcsr | 0x4000u | 0x20u}) {
    float v[9] = {2.0f, 0.0f, denorm, 4.0f, 3e38f, 5.0f, 6.0f, 7.0f, 8.0f};
    spStatus status = 0;
    EXPECT_EQ(MxcsrAfter(caller, [&] { status = spInvThreshInPlaceF32(v, 9, 0.0f); }), caller) << std::hex << caller;
    EXPECT_EQ(status, spWarnDivByZero);
    EXPECT_LE(UlpDistance(v[2], Expected(denorm, 0.0f)), Ulps()) << std::hex << caller;
    EXPECT_LE(UlpDistance(v[4], Expected(3e38f, 0.0f)), Ulps()) << std::hex << caller;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(InvThreshTest);

}  // namespace
