// Exponential of float arrays under every variant set: argument checks,
// accuracy against a long-double reference for both entries, the range
// bounds (the SIMD sets stay finite up to the float overflow bound), special
// values at every position and the caller's MXCSR.
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

// The generic set rounds a double-precision result once; the SIMD sets
// work in single precision with a refined reciprocal.
class ExpTest : public UlpBoundTest</*generic*/ 1, /*SIMD*/ 4> {};

float ExpRef(float x) { return Nearest(std::exp(static_cast<long double>(x))); }

TEST_P(ExpTest, ArgumentErrorsWriteNothing) {
  float src[2] = {1.0f, 2.0f};
  float dst[2] = {-7.0f, -7.0f};
  EXPECT_EQ(spExpF32(nullptr, dst, 0), spErrNullPointer);
  EXPECT_EQ(spExpF32(src, nullptr, 2), spErrNullPointer);
  EXPECT_EQ(spExpF32(src, dst, 0), spErrLength);
  EXPECT_EQ(spExpInPlaceF32(nullptr, -1), spErrNullPointer);
  EXPECT_EQ(spExpInPlaceF32(src, -1), spErrLength);
  EXPECT_EQ(dst[0], -7.0f);
  EXPECT_EQ(src[0], 1.0f);
}

// Values over the whole finite range, every length up to a few blocks and
// every alignment, out of place and in place.
TEST_P(ExpTest, MatchesLongDoubleReference) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> wide(-87.3f, 88.72f);
  std::uniform_real_distribution<float> narrow(-2.0f, 2.0f);
  int64_t worst = 0;
  for (int len = 1; len <= 40; ++len) {
    for (int offset = 0; offset < 4; ++offset) {
      PlacedArray<float> src(len, offset * sizeof(float));
      PlacedArray<float> dst(len, (3 - offset) * sizeof(float));
      PlacedArray<float> inPlace(len, offset * sizeof(float));
      for (int i = 0; i < len; ++i) src[i] = inPlace[i] = (i % 2) ? wide(rng) : narrow(rng);
      ASSERT_EQ(spExpF32(src.data(), dst.data(), len), spOk);
      ASSERT_EQ(spExpInPlaceF32(inPlace.data(), len), spOk);
      for (int i = 0; i < len; ++i) {
        const float ref = ExpRef(src[i]);
        worst = std::max(worst, UlpDistance(dst[i], ref));
        ASSERT_LE(UlpDistance(dst[i], ref), Ulps()) << "x = " << src[i] << " len " << len;
        ASSERT_EQ(Bits(inPlace[i]), Bits(dst[i])) << "in place, x = " << src[i];
      }
    }
  }
  testing::Test::RecordProperty("worst_ulps", static_cast<int>(worst));
}

// Large arrays: the main loop's blocks, all results finite or in range.
TEST_P(ExpTest, LongArrayWithinTolerance) {
  const int n = 100003;
  std::vector<float> src(n), dst(n);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> u(-87.3f, 88.72f);
  for (auto& x : src) x = u(rng);
  ASSERT_EQ(spExpF32(src.data(), dst.data(), n), spOk);
  for (int i = 0; i < n; ++i) ASSERT_LE(UlpDistance(dst[i], ExpRef(src[i])), Ulps()) << src[i];
}

enum class Expect { kRef, kInf, kZero, kOne, kNan, kRefOrSubnormal };

struct BoundCase {
  const char* name;
  float x;
  Expect generic4;  // generic set, four or more elements
  Expect genericShort;
  Expect simd;
};

const BoundCase kBoundCases[] = {
    {"first overflowing float", std::bit_cast<float>(0x42B17218u), Expect::kInf, Expect::kInf, Expect::kInf},
    {"largest finite result", std::bit_cast<float>(0x42B17217u), Expect::kRef, Expect::kRef, Expect::kRef},
    {"88.0", 88.0f, Expect::kRef, Expect::kRef, Expect::kRef},
    {"87.5", 87.5f, Expect::kRef, Expect::kRef, Expect::kRef},
    {"87.0", 87.0f, Expect::kRef, Expect::kRef, Expect::kRef},
    {"100", 100.0f, Expect::kInf, Expect::kInf, Expect::kInf},
    {"+inf", L::infinity(), Expect::kInf, Expect::kInf, Expect::kInf},
    {"-87.3", -87.3f, Expect::kRef, Expect::kRef, Expect::kRef},
    {"-87.34", -87.34f, Expect::kZero, Expect::kRefOrSubnormal, Expect::kZero},
    {"-87.3365478515625", std::bit_cast<float>(0xC2AEAC50u), Expect::kZero, Expect::kRefOrSubnormal, Expect::kZero},
    {"-100", -100.0f, Expect::kZero, Expect::kRefOrSubnormal, Expect::kZero},
    {"-inf", -L::infinity(), Expect::kZero, Expect::kZero, Expect::kZero},
    // Exactly 1 only where the generic set classifies the element.
    {"+0", 0.0f, Expect::kOne, Expect::kRef, Expect::kRef},
    {"-0", -0.0f, Expect::kOne, Expect::kRef, Expect::kRef},
    {"subnormal", -L::denorm_min() * 77.0f, Expect::kOne, Expect::kRef, Expect::kRef},
    {"+NaN", L::quiet_NaN(), Expect::kNan, Expect::kNan, Expect::kNan},
    {"-NaN", -L::quiet_NaN(), Expect::kNan, Expect::kNan, Expect::kNan},
};

void CheckOne(Expect e, float x, float got, int64_t ulps) {
  switch (e) {
    case Expect::kRef:
      EXPECT_TRUE(std::isfinite(got)) << got;
      EXPECT_LE(UlpDistance(got, ExpRef(x)), ulps) << got;
      break;
    case Expect::kRefOrSubnormal:  // the C library below the normal range
      EXPECT_LE(UlpDistance(got, ExpRef(x)), 1) << got;
      break;
    case Expect::kInf: EXPECT_EQ(Bits(got), Bits(L::infinity())); break;
    case Expect::kZero: EXPECT_EQ(Bits(got), 0u); break;
    case Expect::kOne: EXPECT_EQ(got, 1.0f); break;
    case Expect::kNan: EXPECT_TRUE(std::isnan(got)) << got; break;
  }
}

TEST_P(ExpTest, RangeBoundsAndSpecialValuesAtEveryPosition) {
  for (const BoundCase& c : kBoundCases) {
    for (int len : {1, 3, 4, 9, 13}) {
      for (int pos = 0; pos < len; ++pos) {
        SCOPED_TRACE(testing::Message() << c.name << " len " << len << " pos " << pos);
        std::vector<float> v(len, 0.5f);
        v[pos] = c.x;
        ASSERT_EQ(spExpInPlaceF32(v.data(), len), spOk);
        const Expect e = SetIndex() != SP_SET_GENERIC ? c.simd : (len < 4 ? c.genericShort : c.generic4);
        CheckOne(e, c.x, v[pos], Ulps());
        for (int i = 0; i < len; ++i) {
          if (i != pos) {
            EXPECT_LE(UlpDistance(v[i], ExpRef(0.5f)), Ulps());
          }
        }
      }
    }
  }
}

// A quiet NaN keeps its sign through the generic set's bit classification.
TEST_P(ExpTest, NanKeepsItsSign) {
  float v[5] = {-L::quiet_NaN(), L::quiet_NaN(), 1.0f, 2.0f, 3.0f};
  ASSERT_EQ(spExpInPlaceF32(v, 5), spOk);
  EXPECT_TRUE(std::isnan(v[0]) && std::signbit(v[0]));
  EXPECT_TRUE(std::isnan(v[1]) && !std::signbit(v[1]));
}

// Flags the caller had set survive, flags raised inside (overflow,
// underflow, inexact) do not leak, and DAZ/FTZ or a directed rounding mode
// of the caller change neither the register nor the results.
TEST_P(ExpTest, CallerMxcsrPreservedAndIgnored) {
  const float inputs[11] = {1.0f, 88.5f, -87.0f, -100.0f, 100.0f, 0.3f, -0.7f, 10.0f, 20.0f, -3.0f, 1e-40f};
  float reference[11];
  ASSERT_EQ(spExpF32(inputs, reference, 11), spOk);
  for (unsigned caller : {kDefaultMxcsr, kDefaultMxcsr | 0x3Fu, kDefaultMxcsr | kMxcsrDaz | kMxcsrFtz | 0x01u,
                          kDefaultMxcsr | 0x6000u, kDefaultMxcsr | 0x2000u | 0x10u}) {
    float out[11];
    EXPECT_EQ(MxcsrAfter(caller, [&] { (void)spExpF32(inputs, out, 11); }), caller) << std::hex << caller;
    for (int i = 0; i < 11; ++i) EXPECT_EQ(Bits(out[i]), Bits(reference[i])) << i << " mxcsr " << std::hex << caller;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(ExpTest);

}  // namespace
