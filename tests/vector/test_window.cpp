// Windows under every variant set against direct long-double cosine
// evaluation, with their exact symmetry, copied centre and short Hann case.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "primitives/vector/sp_window.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

class WindowTest : public VariantSetTest {};

constexpr long double kPi = 3.141592653589793238462643383279502884L;

struct Kind {
  const char* name;
  long double a, b;  // w = b - a cos
  spStatus (*f64)(const double*, double*, int32_t);
  spStatus (*f32)(const float*, float*, int32_t);
};
const Kind kKinds[] = {{"Hamming", 0.46L, 0.54L, spWinHammingF64, spWinHammingF32},
                       {"Hann", 0.5L, 0.5L, spWinHannF64, spWinHannF32}};

const int32_t kLengths[] = {3, 4, 5, 6, 7, 8, 9, 31, 32, 33, 1024, 1025, 1026, 1027, 1028, 4097};

long double DirectWeight(const Kind& kind, int32_t n, int32_t k) {
  return kind.b - kind.a * std::cos(2 * kPi * k / (n - 1));
}

// The recurrences drift with the rounding of cos(theta), about n^2 * 1e-18.
double WeightTolerance(int32_t n) { return 4e-16 + 2e-17 * static_cast<double>(n) * n; }

std::vector<double> RandomSamples(int32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-32768.0, 32768.0);
  std::vector<double> v(n);
  for (double& x : v) x = dist(rng);
  return v;
}

TEST_P(WindowTest, RefusesNullPointersThenLengthsBelowThree) {
  double s64[3] = {1, 2, 3}, d64[3] = {9, 9, 9};
  float s32[3] = {1, 2, 3}, d32[3] = {9, 9, 9};
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    EXPECT_EQ(kind.f64(nullptr, d64, 3), spErrNullPointer);
    EXPECT_EQ(kind.f64(s64, nullptr, 2), spErrNullPointer);
    EXPECT_EQ(kind.f32(nullptr, d32, 0), spErrNullPointer);
    EXPECT_EQ(kind.f32(s32, nullptr, 3), spErrNullPointer);
    for (int32_t n : {2, 1, 0, -1, INT32_MIN}) {
      EXPECT_EQ(kind.f64(s64, d64, n), spErrLength);
      EXPECT_EQ(kind.f32(s32, d32, n), spErrLength);
    }
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(d64[i], 9.0);
    EXPECT_EQ(d32[i], 9.0f);
  }
}

TEST_P(WindowTest, MatchesDirectCosineEvaluation) {
  for (const Kind& kind : kKinds) {
    for (int32_t n : kLengths) {
      SCOPED_TRACE(testing::Message() << kind.name << " n " << n);
      const std::vector<double> src = RandomSamples(n, static_cast<uint32_t>(n));
      // One element in front, so no array starts on a 16-byte boundary.
      std::vector<double> s64(n + 1), d64(n + 1);
      std::vector<float> s32(n + 1), d32(n + 1);
      for (int32_t k = 0; k < n; ++k) {
        s64[k + 1] = src[k];
        s32[k + 1] = static_cast<float>(src[k]);
      }
      ASSERT_EQ(kind.f64(s64.data() + 1, d64.data() + 1, n), spOk);
      ASSERT_EQ(kind.f32(s32.data() + 1, d32.data() + 1, n), spOk);
      const double tol = WeightTolerance(n);
      for (int32_t k = 0; k < n; ++k) {
        const long double w = DirectWeight(kind, n, k);
        const long double x64 = s64[k + 1], x32 = s32[k + 1];
        ASSERT_NEAR(d64[k + 1], x64 * w, std::fabs(x64) * tol) << k;
        // Weight and product each rounded to float once.
        ASSERT_NEAR(d32[k + 1], x32 * w, std::fabs(x32) * (tol + 1.2e-7 * std::fabs(w))) << k;
      }
    }
  }
}

TEST_P(WindowTest, SymmetricInputGivesExactlySymmetricOutputAndCopiedCentre) {
  for (const Kind& kind : kKinds) {
    for (int32_t n : kLengths) {
      SCOPED_TRACE(testing::Message() << kind.name << " n " << n);
      std::vector<double> s64 = RandomSamples(n, 99);
      for (int32_t k = 0; k < n / 2; ++k) s64[n - 1 - k] = s64[k];
      if (n % 2 == 1) s64[n / 2] = std::nextafter(1234.5, 2000.0);
      std::vector<float> s32(s64.begin(), s64.end());
      std::vector<double> d64(n);
      std::vector<float> d32(n);
      ASSERT_EQ(kind.f64(s64.data(), d64.data(), n), spOk);
      ASSERT_EQ(kind.f32(s32.data(), d32.data(), n), spOk);
      for (int32_t k = 0; k < n / 2; ++k) {
        ASSERT_EQ(d64[k], d64[n - 1 - k]) << k;
        ASSERT_EQ(d32[k], d32[n - 1 - k]) << k;
      }
      if (n % 2 == 1) {
        EXPECT_EQ(d64[n / 2], s64[n / 2]);
        EXPECT_EQ(d32[n / 2], s32[n / 2]);
      }
      // In place gives the same bits.
      ASSERT_EQ(kind.f64(s64.data(), s64.data(), n), spOk);
      ASSERT_EQ(kind.f32(s32.data(), s32.data(), n), spOk);
      EXPECT_EQ(s64, d64);
      EXPECT_EQ(s32, d32);
    }
  }
}

TEST_P(WindowTest, ShortHannInSinglePrecisionWritesZeroEnds) {
  constexpr float kInfF = std::numeric_limits<float>::infinity();
  const float s32[3] = {kInfF, 7.0f, std::numeric_limits<float>::quiet_NaN()};
  float d32[3] = {1, 1, 1};
  ASSERT_EQ(spWinHannF32(s32, d32, 3), spOk);
  EXPECT_EQ(d32[0], 0.0f);
  EXPECT_FALSE(std::signbit(d32[0]));
  EXPECT_EQ(d32[1], 7.0f);
  EXPECT_EQ(d32[2], 0.0f);
  EXPECT_FALSE(std::signbit(d32[2]));

  // The double window multiplies: infinity times the zero weight is NaN.
  const double s64[3] = {std::numeric_limits<double>::infinity(), 7.0, std::numeric_limits<double>::quiet_NaN()};
  double d64[3];
  ASSERT_EQ(spWinHannF64(s64, d64, 3), spOk);
  EXPECT_TRUE(std::isnan(d64[0]));
  EXPECT_EQ(d64[1], 7.0);
  EXPECT_TRUE(std::isnan(d64[2]));
}

// Arrays at any byte address, also off the element size, give the same bits
// as element-aligned ones, out of place and in place, and write nothing
// outside the array.
TEST_P(WindowTest, ArraysAtAnyByteAddressGiveTheSameBits) {
  using vector_test::PlacedArray;
  for (const Kind& kind : kKinds) {
    for (int32_t n : {3, 4, 5, 6, 9, 33, 1026, 1027}) {
      const std::vector<double> v64 = RandomSamples(n, 7u + static_cast<uint32_t>(n));
      const std::vector<float> v32(v64.begin(), v64.end());
      std::vector<double> want64(n);
      std::vector<float> want32(n);
      ASSERT_EQ(kind.f64(v64.data(), want64.data(), n), spOk);
      ASSERT_EQ(kind.f32(v32.data(), want32.data(), n), spOk);
      for (int64_t offset : {1, 2, 3, 5, 6, 7, 9, 13}) {
        SCOPED_TRACE(testing::Message() << kind.name << " n " << n << " offset " << offset);
        PlacedArray<double> s64(v64, offset), d64(n, offset + 3);
        PlacedArray<float> s32(v32, offset), d32(n, offset + 5);
        ASSERT_EQ(kind.f64(s64.data(), d64.data(), n), spOk);
        ASSERT_EQ(kind.f32(s32.data(), d32.data(), n), spOk);
        EXPECT_EQ(d64.Get(), want64);
        EXPECT_EQ(d32.Get(), want32);
        EXPECT_TRUE(d64.GuardsIntact());
        EXPECT_TRUE(d32.GuardsIntact());
        ASSERT_EQ(kind.f64(s64.data(), s64.data(), n), spOk);
        ASSERT_EQ(kind.f32(s32.data(), s32.data(), n), spOk);
        EXPECT_EQ(s64.Get(), want64);
        EXPECT_EQ(s32.Get(), want32);
        EXPECT_TRUE(s64.GuardsIntact());
        EXPECT_TRUE(s32.GuardsIntact());
      }
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(WindowTest);

}  // namespace
