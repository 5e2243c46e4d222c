// Natural-logarithm primitives under every variant set: argument checks,
// the special values and their warnings at every lane position (signed
// zeros, negatives of normal range, infinities, quiet and signalling NaNs),
// the first-warning rule across blocks, subnormals, accuracy against the
// long-double logarithm over the whole range, in-place equal to
// out-of-place, and bit-identity of the SSE2, SSE3 and SSSE3 kernels.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "primitives/frame/variant_seams.h"
#include "primitives/vector/sp_ln.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

SP_DECLARE_EVERY_SET(SP_LN_ENTRIES)

namespace {

using namespace vector_test;

class LnTest : public VariantSetTest {};

// Out-of-place and in-place forms of one type, both checked to agree.
template <class T>
struct LnForms;
template <>
struct LnForms<float> {
  static spStatus Out(const float* s, float* d, int32_t n) { return spLnF32(s, d, n); }
  static spStatus In(float* sd, int32_t n) { return spLnInPlaceF32(sd, n); }
  static constexpr uint64_t kNegNaN = 0xFFC00000u;
};
template <>
struct LnForms<double> {
  static spStatus Out(const double* s, double* d, int32_t n) { return spLnF64(s, d, n); }
  static spStatus In(double* sd, int32_t n) { return spLnInPlaceF64(sd, n); }
  static constexpr uint64_t kNegNaN = 0xFFF8000000000000ull;
};

// Runs both forms on v at the byte offset; returns the out-of-place result
// and expects the in-place one to be bit-identical with the same status.
template <class T>
std::vector<T> RunLn(const std::vector<T>& v, int64_t offset, spStatus& status) {
  PlacedArray<T> src(v, offset), dst(static_cast<int64_t>(v.size()), offset);
  const int32_t n = src.size();
  status = LnForms<T>::Out(src.data(), dst.data(), n);
  PlacedArray<T> inPlace(v, offset);
  EXPECT_EQ(LnForms<T>::In(inPlace.data(), n), status);
  const std::vector<T> out = dst.Get(), in = inPlace.Get();
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(Bits(in[i]), Bits(out[i])) << "element " << i << " of " << n;
  const std::vector<T> source = src.Get();  // the out-of-place source is untouched
  EXPECT_EQ(std::memcmp(source.data(), v.data(), v.size() * sizeof(T)), 0);
  return out;
}

template <class T>
void ExpectChecks() {
  T x[2] = {2, 3};
  T out[2] = {42, 42};
  EXPECT_EQ(LnForms<T>::Out(nullptr, out, 2), spErrNullPointer);
  EXPECT_EQ(LnForms<T>::Out(x, nullptr, 2), spErrNullPointer);
  EXPECT_EQ(LnForms<T>::Out(nullptr, out, 0), spErrNullPointer);
  EXPECT_EQ(LnForms<T>::In(nullptr, 0), spErrNullPointer);
  EXPECT_EQ(LnForms<T>::Out(x, out, 0), spErrLength);
  EXPECT_EQ(LnForms<T>::Out(x, out, -4), spErrLength);
  EXPECT_EQ(LnForms<T>::In(x, 0), spErrLength);
  EXPECT_EQ(out[0], T(42));
  EXPECT_EQ(x[0], T(2));
}

TEST_P(LnTest, ArgumentChecksWriteNothing) {
  ExpectChecks<float>();
  ExpectChecks<double>();
}

// What one special input must give.
enum class Want { NegInf, NegNaN, PosInf, PosNaN, Zero };

template <class T>
void ExpectWant(T got, Want want, const std::string& where) {
  const T inf = std::numeric_limits<T>::infinity();
  switch (want) {
    case Want::NegInf: EXPECT_EQ(got, -inf) << where; break;
    case Want::PosInf: EXPECT_EQ(got, inf) << where; break;
    case Want::NegNaN: EXPECT_EQ(Bits(got), LnForms<T>::kNegNaN) << where; break;
    case Want::PosNaN: EXPECT_TRUE(std::isnan(got) && !std::signbit(got)) << where; break;
    case Want::Zero: EXPECT_EQ(Bits(got), Bits(T(0))) << where; break;
  }
}

// Each special fixture, alone and behind 1 .. 7 and 257 ordinary elements
// (so every value passes through every lane, head and tail position), with
// ordinary elements after it as well.
template <class T>
void ExpectSpecials() {
  const T inf = std::numeric_limits<T>::infinity();
  const T qnan = std::numeric_limits<T>::quiet_NaN();
  const T snan = std::numeric_limits<T>::signaling_NaN();
  struct Case {
    std::vector<T> v;
    std::vector<Want> want;
    spStatus status;
  };
  const std::vector<Case> cases = {
      {{0, -1, 1}, {Want::NegInf, Want::NegNaN, Want::Zero}, spWarnLnZero},
      {{-1, 0}, {Want::NegNaN, Want::NegInf}, spWarnLnNegative},
      {{-0.0}, {Want::NegNaN}, spWarnLnNegative},
      {{qnan}, {Want::PosNaN}, spOk},
      {{snan}, {Want::PosNaN}, spOk},
      {{inf}, {Want::PosInf}, spOk},
      {{-inf}, {Want::NegNaN}, spWarnLnNegative},
      {{-qnan}, {Want::NegNaN}, spWarnLnNegative},
      {{1}, {Want::Zero}, spOk},
      {{-2.5, -1e-3, -1e30}, {Want::NegNaN, Want::NegNaN, Want::NegNaN}, spWarnLnNegative},
      {{snan, inf, qnan, 1, 0, -1},
       {Want::PosNaN, Want::PosInf, Want::PosNaN, Want::Zero, Want::NegInf, Want::NegNaN},
       spWarnLnZero},
  };
  for (const Case& c : cases) {
    for (int32_t before : {0, 1, 2, 3, 4, 5, 6, 7, 257}) {
      for (int32_t after : {0, 1, 3, 9}) {
        std::vector<T> v(before, T(2));
        v.insert(v.end(), c.v.begin(), c.v.end());
        v.insert(v.end(), after, T(2));
        for (int64_t offset : {0, 4, 8, 12}) {
          spStatus status;
          const std::vector<T> out = RunLn(v, offset * sizeof(T) / 4, status);
          const std::string where = "before=" + std::to_string(before) + " after=" + std::to_string(after);
          EXPECT_EQ(status, c.status) << where;
          for (size_t k = 0; k < c.want.size(); ++k) ExpectWant(out[before + k], c.want[k], where);
          if (before) {
            EXPECT_NEAR(out[0], std::log(2.0), 1e-6) << where;
          }
          if (after) {
            EXPECT_NEAR(out.back(), std::log(2.0), 1e-6) << where;
          }
        }
      }
    }
  }
}

TEST_P(LnTest, SpecialValuesAtEveryPosition) {
  ExpectSpecials<float>();
  ExpectSpecials<double>();
}

// A positive quiet NaN with a payload: the generic set writes the positive
// default NaN, the SSE2, SSE3 and SSSE3 float kernels pass it unchanged.
TEST_P(LnTest, PositiveQuietNaNPayload) {
  const float nanF = std::bit_cast<float>(0x7FC01234u);
  const double nanD = std::bit_cast<double>(0x7FF8000000001234ull);
  for (int32_t before = 0; before < 8; ++before) {
    std::vector<float> f(before + 5, 2.0f);
    std::vector<double> d(before + 5, 2.0);
    f[before] = nanF;
    d[before] = nanD;
    spStatus status;
    const uint32_t gotF = Bits(RunLn(f, 0, status)[before]);
    EXPECT_EQ(status, spOk);
    const uint64_t gotD = Bits(RunLn(d, 0, status)[before]);
    EXPECT_EQ(status, spOk);
    if (SetIndex() == SP_SET_GENERIC) {
      EXPECT_EQ(gotF, 0x7FC00000u) << before;
      EXPECT_EQ(gotD, 0x7FF8000000000000ull) << before;
    } else if (SetIndex() >= SP_SET_SSE2) {
      EXPECT_EQ(gotF, 0x7FC01234u) << before;
    }
  }
}

// The lowest-indexed zero or negative decides, across the 256-element
// blocks as well.
TEST_P(LnTest, FirstWarningDecides) {
  struct Case {
    int32_t zeroAt, negativeAt;
    spStatus status;
  };
  for (const Case& c : {Case{300, 10, spWarnLnNegative}, Case{10, 300, spWarnLnZero}, Case{255, 256, spWarnLnZero},
                        Case{513, 256, spWarnLnNegative}, Case{3, 2, spWarnLnNegative}}) {
    std::vector<float> f(600, 3.0f);
    f[c.zeroAt] = 0.0f;
    f[c.negativeAt] = -4.0f;
    std::vector<double> d(f.begin(), f.end());
    spStatus status;
    const auto outF = RunLn(f, 0, status);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(outF[c.zeroAt], -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(outF[c.negativeAt]));
    RunLn(d, 0, status);
    EXPECT_EQ(status, c.status);
  }
}

// Accuracy bound in ulps per set: the generic set rounds the double log.
long double UlpBound(int set, bool isDouble) {
  if (set == SP_SET_GENERIC) return isDouble ? 1.0L : 0.51L;
  return isDouble ? 1.5L : 2.0L;
}

template <class T>
void ExpectAccurate(const std::vector<T>& v, int set, int64_t offset, long double& worst) {
  spStatus status;
  const std::vector<T> out = RunLn(v, offset, status);
  EXPECT_EQ(status, spOk);
  for (size_t i = 0; i < v.size(); ++i) {
    const long double ref = std::log(static_cast<long double>(v[i]));
    long double err = UlpError<T>(out[i], ref);
    // Near 1 the result is tiny; an absolute error of an ulp of the input
    // scale is the most a reduction around 1 can promise.
    if (ref != 0) err = std::min(err, std::fabs(out[i] - ref) / (std::numeric_limits<T>::epsilon() / 2));
    worst = std::max(worst, err);
    EXPECT_LE(err, UlpBound(set, sizeof(T) == 8)) << "x=" << v[i] << " got " << out[i];
    if (err > UlpBound(set, sizeof(T) == 8)) return;
  }
}

TEST_P(LnTest, AgreesWithLongDoubleLogarithm) {
  long double worstF = 0, worstD = 0;
  for (int32_t n : ManyLengths()) {
    const auto f = PositiveOverBinades<float>(n, -126, 128, 61u * n);
    const auto d = PositiveOverBinades<double>(n, -1022, 1024, 67u * n);
    for (int64_t offset : ElementOffsets()) {
      ExpectAccurate(f, SetIndex(), offset, worstF);
      ExpectAccurate(d, SetIndex(), offset * 2, worstD);
    }
  }
  // Around 1, where the result is small, and around sqrt(2) where the
  // reductions switch halves.
  std::vector<float> f;
  std::vector<double> d;
  for (int i = -2000; i <= 2000; ++i) {
    f.push_back(1.0f + i * 0x1p-14f);
    d.push_back(1.0 + i * 0x1p-14);
    f.push_back(1.41421356f + i * 0x1p-20f);
    d.push_back(1.4142135623730951 + i * 0x1p-40);
    d.push_back(1.0 + i * 0x1p-45);
  }
  ExpectAccurate(f, SetIndex(), 0, worstF);
  ExpectAccurate(d, SetIndex(), 0, worstD);
  // Subnormals are normalised first; the smallest normals beside them.
  const std::vector<float> subF = {0x1p-149f, 0x1.8p-140f, 0x1.fffffcp-127f, 0x1p-126f, 0x1.234p-130f};
  const std::vector<double> subD = {0x1p-1074, 0x1.3p-1060,   0x0.fffffffffffffp-1022,
                                    0x1p-1022, 0x1.234p-1050, 0x1p-1050};
  ExpectAccurate(subF, SetIndex(), 0, worstF);
  ExpectAccurate(subD, SetIndex(), 0, worstD);
  RecordProperty("worst_ulp_f32", std::to_string(static_cast<double>(worstF)));
  RecordProperty("worst_ulp_f64", std::to_string(static_cast<double>(worstD)));
}

SP_INSTANTIATE_FOR_ALL_SETS(LnTest);

// The SSE2, SSE3 and SSSE3 kernels are one code: bit-identical results.
TEST(LnKernels, Sse2Sse3Ssse3BitIdentical) {
  if (!spVariantSetSupported(SP_SET_SSSE3)) GTEST_SKIP() << "needs SSSE3";
  auto f = PositiveOverBinades<float>(3001, -149, 128, 71u);
  auto d = PositiveOverBinades<double>(3001, -1074, 1024, 73u);
  f[5] = 0;
  d[7] = -1;
  std::vector<float> f2(f.size()), f3(f.size()), f4(f.size());
  std::vector<double> d2(d.size()), d3(d.size()), d4(d.size());
  const int32_t n = static_cast<int32_t>(f.size());
  EXPECT_EQ(sp_sse2::spLnF32_Sse2(f.data(), f2.data(), n), spWarnLnZero);
  EXPECT_EQ(sp_sse3::spLnF32_Sse3(f.data(), f3.data(), n), spWarnLnZero);
  EXPECT_EQ(sp_ssse3::spLnF32_Ssse3(f.data(), f4.data(), n), spWarnLnZero);
  EXPECT_EQ(sp_sse2::spLnF64_Sse2(d.data(), d2.data(), n), spWarnLnNegative);
  EXPECT_EQ(sp_sse3::spLnF64_Sse3(d.data(), d3.data(), n), spWarnLnNegative);
  EXPECT_EQ(sp_ssse3::spLnF64_Ssse3(d.data(), d4.data(), n), spWarnLnNegative);
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(Bits(f3[i]), Bits(f2[i])) << i;
    ASSERT_EQ(Bits(f4[i]), Bits(f2[i])) << i;
    ASSERT_EQ(Bits(d3[i]), Bits(d2[i])) << i;
    ASSERT_EQ(Bits(d4[i]), Bits(d2[i])) << i;
  }
}

}  // namespace
