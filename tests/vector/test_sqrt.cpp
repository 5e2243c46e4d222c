// Square root of float and double arrays under every variant set: the
// argument checks, special values at every position and alignment, accuracy
// against std::sqrt (exact in the generic set, within the estimate bound in
// the SIMD sets), in-place use and the caller's MXCSR.
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

// Relative error of the SIMD estimate paths: one Newton step on a
// 1.5 * 2^-12 estimate (float), two steps (double), plus the rounding of
// the few operations around them.
constexpr double kF32EstimateError = 3.2e-7;
constexpr double kF64EstimateError = 6.2e-14;

class SqrtTest : public VariantSetTest {};

spStatus Sqrt(const float* s, float* d, int32_t n) { return spSqrtF32(s, d, n); }
spStatus Sqrt(const double* s, double* d, int32_t n) { return spSqrtF64(s, d, n); }

TEST_P(SqrtTest, ArgumentErrorsWriteNothing) {
  float f[2] = {4.0f, 9.0f};
  float fo[2] = {-7.0f, -7.0f};
  EXPECT_EQ(spSqrtF32(nullptr, fo, 0), spErrNullPointer);
  EXPECT_EQ(spSqrtF32(f, nullptr, 2), spErrNullPointer);
  EXPECT_EQ(spSqrtF32(f, fo, 0), spErrLength);
  EXPECT_EQ(spSqrtF32(f, fo, -3), spErrLength);
  double d[2] = {4.0, 9.0};
  double dout[2] = {-7.0, -7.0};
  EXPECT_EQ(spSqrtF64(nullptr, dout, 2), spErrNullPointer);
  EXPECT_EQ(spSqrtF64(d, nullptr, 0), spErrNullPointer);
  EXPECT_EQ(spSqrtF64(d, dout, 0), spErrLength);
  EXPECT_EQ(fo[0], -7.0f);
  EXPECT_EQ(dout[1], -7.0);
}

TEST_P(SqrtTest, NegativeElementGivesDefaultNanAndWarning) {
  const float f[3] = {4.0f, -1.0f, 9.0f};
  float fo[3];
  EXPECT_EQ(spSqrtF32(f, fo, 3), spWarnSqrtNegative);
  EXPECT_EQ(fo[0], 2.0f);
  EXPECT_EQ(Bits(fo[1]), 0xFFC00000u);
  EXPECT_EQ(fo[2], 3.0f);
  const double d[3] = {4.0, -1.0, 9.0};
  double dout[3];
  EXPECT_EQ(spSqrtF64(d, dout, 3), spWarnSqrtNegative);
  EXPECT_EQ(dout[0], 2.0);
  EXPECT_EQ(Bits(dout[1]), 0xFFF8000000000000ull);
  EXPECT_EQ(dout[2], 3.0);
}

// One value among ordinary ones, at every position of arrays of several
// lengths and alignments, so it meets the head, block and tail paths.
template <class T>
struct SpecialCase {
  const char* name;
  T input;
  // Expected result (compared bit for bit unless it is a NaN).
  T expected;
  // An ordinary value: the SIMD sets may answer by the estimate.
  bool ordinary;
  bool flaggedGeneric;
  bool flaggedSimd;
};

template <class T>
std::vector<SpecialCase<T>> SpecialCases(bool sseDoubles) {
  using L = std::numeric_limits<T>;
  const T nan = L::quiet_NaN();
  const T denorm = L::denorm_min() * T(12345);
  return {
      {"+0", T(0), T(0), false, false, false},
      {"-0", -T(0), -T(0), false, false, false},
      {"+inf", L::infinity(), L::infinity(), false, false, false},
      {"-inf", -L::infinity(), nan, false, true, true},
      {"-1", T(-1), nan, false, true, true},
      {"negative subnormal", -denorm, nan, false, true, true},
      {"positive subnormal", denorm, static_cast<T>(std::sqrt(static_cast<long double>(denorm))), false, false, false},
      {"smallest normal", L::min(), std::sqrt(L::min()), true, false, false},
      {"largest", L::max(), std::sqrt(L::max()), true, false, false},
      {"+NaN", nan, nan, false, true, false},
      // The SSE set's double kernel classifies by the sign bit.
      {"-NaN", -nan, nan, false, true, sseDoubles},
  };
}

template <class T>
void CheckSpecialValuesEverywhere(int set) {
  const bool sseDoubles = set == SP_SET_SSE && sizeof(T) == 8;
  for (const auto& c : SpecialCases<T>(sseDoubles)) {
    for (int len : {1, 3, 8, 11, 20}) {
      for (int offset = 0; offset < 4; ++offset) {
        for (int pos = 0; pos < len; ++pos) {
          PlacedArray<T> src(len, offset * sizeof(T));
          PlacedArray<T> dst(len, ((offset + pos) % 4) * sizeof(T));
          for (int i = 0; i < len; ++i) src[i] = T(i + 1) * T(i + 1);
          src[pos] = c.input;
          const spStatus status = Sqrt(src.data(), dst.data(), len);
          SCOPED_TRACE(testing::Message() << c.name << " len " << len << " offset " << offset << " pos " << pos);
          const bool flagged = set == SP_SET_GENERIC ? c.flaggedGeneric : c.flaggedSimd;
          EXPECT_EQ(status, flagged ? spWarnSqrtNegative : spOk);
          const double bound = sizeof(T) == 4 ? kF32EstimateError : kF64EstimateError;
          if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(dst[pos]));
          } else if (c.ordinary && set != SP_SET_GENERIC) {
            EXPECT_NEAR(dst[pos], c.expected, c.expected * bound);
          } else {
            EXPECT_EQ(Bits(dst[pos]), Bits(c.expected));
          }
          for (int i = 0; i < len; ++i) {
            if (i != pos) {
              EXPECT_NEAR(dst[i], T(i + 1), T(i + 1) * T(1e-6)) << "element " << i;
            }
          }
        }
      }
    }
  }
}

TEST_P(SqrtTest, SpecialValuesAtEveryPositionF32) { CheckSpecialValuesEverywhere<float>(SetIndex()); }
TEST_P(SqrtTest, SpecialValuesAtEveryPositionF64) { CheckSpecialValuesEverywhere<double>(SetIndex()); }

// Perfect squares in a block that holds a negative element take the exact
// path: the other roots of the block come out exact in every set (a float
// block is eight elements; a double group is a pair, four in the SSE set).
TEST_P(SqrtTest, BlockWithNegativeTakesExactRoots) {
  PlacedArray<float> f(8, 0);
  PlacedArray<double> d(8, 0);
  for (int i = 0; i < 8; ++i) {
    f[i] = float((i + 2) * (i + 2));
    d[i] = double((i + 2) * (i + 2));
  }
  f[1] = -1.0f;
  d[1] = -1.0;
  EXPECT_EQ(spSqrtF32(f.data(), f.data(), 8), spWarnSqrtNegative);
  EXPECT_EQ(spSqrtF64(d.data(), d.data(), 8), spWarnSqrtNegative);
  for (int i = 0; i < 8; ++i) {
    if (i == 1) {
      EXPECT_TRUE(std::isnan(f[i]) && std::isnan(d[i]));
      continue;
    }
    EXPECT_EQ(f[i], float(i + 2));
    if (i == 0) {
      EXPECT_EQ(d[i], 2.0);
    } else {
      EXPECT_NEAR(d[i], double(i + 2), double(i + 2) * kF64EstimateError);
    }
  }
}

template <class T>
std::vector<T> LogUniform(size_t n, T lowExp10, T highExp10, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> e(lowExp10, highExp10);
  std::uniform_real_distribution<double> m(1.0, 10.0);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(m(rng) * std::pow(10.0, e(rng)));
  return v;
}

template <class T>
void CheckAccuracy(int set, T lowExp10, T highExp10, double bound) {
  const std::vector<T> values = LogUniform<T>(4099, lowExp10, highExp10, 17);
  double worst = 0.0;
  for (int srcOffset = 0; srcOffset < 4; ++srcOffset) {
    for (int dstOffset = 0; dstOffset < 4; ++dstOffset) {
      const int n = 4093 + srcOffset;  // odd and even tails
      PlacedArray<T> src(n, srcOffset * sizeof(T));
      PlacedArray<T> dst(n, dstOffset * sizeof(T));
      for (int i = 0; i < n; ++i) src[i] = values[i];
      ASSERT_EQ(Sqrt(src.data(), dst.data(), n), spOk);
      for (int i = 0; i < n; ++i) {
        const T exact = std::sqrt(src[i]);
        if (set == SP_SET_GENERIC) {
          ASSERT_EQ(Bits(dst[i]), Bits(exact)) << "x = " << src[i];
        } else {
          const long double ref = std::sqrt(static_cast<long double>(src[i]));
          const double rel = static_cast<double>(std::fabs((dst[i] - ref) / ref));
          worst = std::max(worst, rel);
        }
      }
    }
  }
  EXPECT_LE(worst, bound);
  testing::Test::RecordProperty("worst_relative_error", testing::PrintToString(worst));
}

TEST_P(SqrtTest, AccuracyF32) { CheckAccuracy<float>(SetIndex(), -37.0f, 38.0f, kF32EstimateError); }
TEST_P(SqrtTest, AccuracyF64) { CheckAccuracy<double>(SetIndex(), -307.0, 307.0, kF64EstimateError); }

// Which elements take the estimate depends only on the alignment, so an
// in-place call matches a separate destination at the same offset.
TEST_P(SqrtTest, InPlaceMatchesSeparateArrays) {
  const std::vector<float> fv = LogUniform<float>(1003, -5.0f, 5.0f, 3);
  const std::vector<double> dv = LogUniform<double>(1003, -50.0, 50.0, 4);
  for (int offset = 0; offset < 4; ++offset) {
    const int64_t nf = static_cast<int64_t>(fv.size()), nd = static_cast<int64_t>(dv.size());
    PlacedArray<float> fs(nf, 4 * offset), fd(nf, 4 * (offset + 4)), fi(nf, 4 * offset);
    PlacedArray<double> ds(nd, 8 * (offset % 2)), dd(nd, 8 * (offset % 2 + 2)), di(nd, 8 * (offset % 2));
    for (size_t i = 0; i < fv.size(); ++i) fs[i] = fi[i] = fv[i];
    for (size_t i = 0; i < dv.size(); ++i) ds[i] = di[i] = dv[i];
    ASSERT_EQ(spSqrtF32(fs.data(), fd.data(), int32_t(fv.size())), spOk);
    ASSERT_EQ(spSqrtF32(fi.data(), fi.data(), int32_t(fv.size())), spOk);
    ASSERT_EQ(spSqrtF64(ds.data(), dd.data(), int32_t(dv.size())), spOk);
    ASSERT_EQ(spSqrtF64(di.data(), di.data(), int32_t(dv.size())), spOk);
    for (size_t i = 0; i < fv.size(); ++i) ASSERT_EQ(Bits(fd[i]), Bits(fi[i])) << i;
    for (size_t i = 0; i < dv.size(); ++i) ASSERT_EQ(Bits(dd[i]), Bits(di[i])) << i;
  }
}

// The caller's register comes back bit for bit: its sticky flags, DAZ and
// FTZ survive, flags raised inside (invalid from -1, inexact) do not leak,
// and a caller's DAZ does not turn a subnormal root into 0.
TEST_P(SqrtTest, CallerMxcsrPreservedAndIgnored) {
  const float denorm = std::numeric_limits<float>::denorm_min() * 1000.0f;
  const double ddenorm = std::numeric_limits<double>::denorm_min() * 1000.0;
  for (unsigned caller : {kDefaultMxcsr, kDefaultMxcsr | kMxcsrDaz | kMxcsrFtz | 0x21u, 0x1F80u | 0x3Fu,
                          kDefaultMxcsr | 0x6000u | kMxcsrDaz}) {
    PlacedArray<float> f(19, sizeof(float));
    PlacedArray<double> d(19, sizeof(double));
    for (int i = 0; i < 19; ++i) {
      f[i] = i == 5 ? -1.0f : (i % 3 == 0 ? denorm : float(i) + 0.5f);
      d[i] = i == 5 ? -1.0 : (i % 3 == 0 ? ddenorm : double(i) + 0.5);
    }
    PlacedArray<float> fo(19, 0);
    PlacedArray<double> dout(19, 0);
    spStatus sf = 0, sd = 0;
    EXPECT_EQ(MxcsrAfter(caller, [&] { sf = spSqrtF32(f.data(), fo.data(), 19); }), caller);
    EXPECT_EQ(MxcsrAfter(caller, [&] { sd = spSqrtF64(d.data(), dout.data(), 19); }), caller);
    EXPECT_EQ(sf, spWarnSqrtNegative);
    EXPECT_EQ(sd, spWarnSqrtNegative);
    EXPECT_EQ(fo[0], static_cast<float>(std::sqrt(static_cast<double>(denorm)))) << std::hex << caller;
    EXPECT_EQ(dout[0], std::sqrt(ddenorm)) << std::hex << caller;
    EXPECT_NEAR(fo[7], std::sqrt(7.5f), 1e-5f);
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(SqrtTest);

}  // namespace
