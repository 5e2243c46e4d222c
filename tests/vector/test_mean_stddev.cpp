// Mean and standard-deviation primitives under every variant set: argument
// checks, closed forms, the "0 unless n*Q - S^2 is above 0" rule (constant
// data, NaN and infinities), agreement with long-double two-pass references
// over many lengths, alignments and both float modes, and bit-identity
// between the sets the layouts name.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/frame/variant_seams.h"
#include "primitives/vector/sp_mean_stddev.h"
#include "primitives/vector/sp_sum.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

SP_DECLARE_EVERY_SET(SP_MEAN_STDDEV_ENTRIES)

namespace {

using namespace vector_test;

class MeanStdDevTest : public VariantSetTest {};

// All four primitives on the same data (float results widened).
struct Results {
  double meanF32[2], meanF64, stdF32[2], stdF64;
};
Results RunAll(const float* f, const double* d, int32_t n) {
  Results r{};
  for (int32_t hint : {0, 1}) {
    float m = 0, s = 0;
    EXPECT_EQ(spMeanF32(f, n, &m, hint), spOk);
    EXPECT_EQ(spStdDevF32(f, n, &s, hint), spOk);
    r.meanF32[hint] = m;
    r.stdF32[hint] = s;
  }
  EXPECT_EQ(spMeanF64(d, n, &r.meanF64), spOk);
  EXPECT_EQ(spStdDevF64(d, n, &r.stdF64), spOk);
  return r;
}

TEST_P(MeanStdDevTest, ArgumentChecksWriteNothing) {
  const float f[3] = {1, 2, 3};
  const double d[3] = {1, 2, 3};
  struct Case {
    bool nullSrc, nullOut;
    int32_t n;
    spStatus mean, stdDev;
  };
  for (const Case& c :
       {Case{true, false, 3, spErrNullPointer, spErrNullPointer},
        Case{false, true, 3, spErrNullPointer, spErrNullPointer},
        Case{true, false, 0, spErrNullPointer, spErrNullPointer}, Case{false, false, 0, spErrLength, spErrLength},
        Case{false, false, -2, spErrLength, spErrLength}, Case{false, false, 1, spOk, spErrLength}}) {
    for (int32_t hint : {0, 1}) {
      float out = 42.0f;
      EXPECT_EQ(spStdDevF32(c.nullSrc ? nullptr : f, c.n, c.nullOut ? nullptr : &out, hint), c.stdDev);
      EXPECT_EQ(out, 42.0f);
      const spStatus meanStatus = spMeanF32(c.nullSrc ? nullptr : f, c.n, c.nullOut ? nullptr : &out, hint);
      EXPECT_EQ(meanStatus, c.mean);
      EXPECT_EQ(out, meanStatus == spOk ? 1.0f : 42.0f);
    }
    double out = 42.0;
    EXPECT_EQ(spStdDevF64(c.nullSrc ? nullptr : d, c.n, c.nullOut ? nullptr : &out), c.stdDev);
    EXPECT_EQ(out, 42.0);
    const spStatus meanStatus = spMeanF64(c.nullSrc ? nullptr : d, c.n, c.nullOut ? nullptr : &out);
    EXPECT_EQ(meanStatus, c.mean);
    EXPECT_EQ(out, meanStatus == spOk ? 1.0 : 42.0);
  }
}

// Where the last elements go decides the rounding (2^53 + 1 rounds back to
// 2^53): the generic double sum adds the last n mod 4 to the even partial
// sum before joining, the SSE set's eight sums take them into one partial
// sum in index order, and the two-lane sums of SSE2 and later (16-byte
// aligned data) add the last one to lane 0, beside 2^53. Every set's mean
// divides that set's own sum; the float means (generic: onto the joined
// sums; SIMD accurate mode: eight double sums) all see 1.
TEST_P(MeanStdDevTest, MeanTakesTheSetsSumLayout) {
  alignas(16) const double d[5] = {0x1p53, -0x1p53, 0, 0, 1};
  const float f[5] = {0x1p60f, -0x1p60f, 0, 0, 1};
  const double setSum = SetIndex() == SP_SET_SSE ? 1.0 : 0.0;
  double meanD = -1, sumD = -1;
  float meanF = -1;
  ASSERT_EQ(spMeanF64(d, 5, &meanD), spOk);
  ASSERT_EQ(spMeanF32(f, 5, &meanF, 0), spOk);
  ASSERT_EQ(spSumF64(d, 5, &sumD), spOk);
  EXPECT_EQ(sumD, setSum);
  EXPECT_EQ(meanD, setSum / 5);
  EXPECT_EQ(meanF, 0.2f);
}

TEST_P(MeanStdDevTest, ClosedForms) {
  // {1, 3}: mean 2, std dev sqrt(2).
  const float f2[2] = {1, 3};
  const double d2[2] = {1, 3};
  Results r = RunAll(f2, d2, 2);
  for (int h : {0, 1}) {
    EXPECT_EQ(r.meanF32[h], 2.0);
    EXPECT_EQ(r.stdF32[h], static_cast<float>(std::sqrt(2.0)));
  }
  EXPECT_EQ(r.meanF64, 2.0);
  EXPECT_EQ(r.stdF64, std::sqrt(2.0));
  // 1 .. n: mean (n + 1) / 2, std dev sqrt(n (n + 1) / 12), every split.
  for (int32_t n : {2, 3, 4, 5, 8, 9, 10, 17, 33, 100, 1024, 1025, 5000}) {
    std::vector<float> f(n);
    std::vector<double> d(n);
    for (int32_t i = 0; i < n; ++i) f[i] = d[i] = i + 1;
    const double mean = 0.5 * (n + 1), sd = std::sqrt(n * (n + 1.0) / 12.0);
    for (int64_t offset : ElementOffsets()) {
      PlacedArray<float> pf(f, offset);
      PlacedArray<double> pd(d, offset * 2);
      r = RunAll(pf.data(), pd.data(), n);
      for (int h : {0, 1}) {
        EXPECT_EQ(r.meanF32[h], static_cast<float>(mean)) << "n=" << n;
        // Fast-mode squares are summed in single precision: exact only
        // while the block sums of squares stay below 2^24.
        if (h == 0 || n <= 100) {
          EXPECT_EQ(r.stdF32[h], static_cast<float>(sd)) << "n=" << n << " hint=" << h;
        } else {
          EXPECT_NEAR(r.stdF32[h], sd, 1e-5 * sd) << "n=" << n << " hint=" << h;
        }
      }
      EXPECT_EQ(r.meanF64, mean) << "n=" << n;
      EXPECT_NEAR(r.stdF64, sd, 2e-15 * sd) << "n=" << n;
    }
  }
}

// n*Q - S^2 not above 0 gives exactly 0: constant data (exact and with
// rounding), and data holding NaN or infinities, in every set and mode.
TEST_P(MeanStdDevTest, StdDevIsZeroUnlessTheSpreadIsPositive) {
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<std::vector<float>> cases = {std::vector<float>(40, 7.0f), std::vector<float>(1001, 0.1f),
                                           std::vector<float>(3, 1.0e-3f), std::vector<float>(999, 3.3f)};
  for (int32_t n : {3, 20}) {
    std::vector<float> v = Uniform<float>(n, 0.0, 1.0, 5u * n);
    v[n / 2] = std::nanf("");
    cases.push_back(v);
    v[n / 2] = inf;
    cases.push_back(v);
    v[0] = -inf;
    cases.push_back(v);
  }
  for (const auto& v : cases) {
    const std::vector<double> d(v.begin(), v.end());
    const Results r = RunAll(v.data(), d.data(), static_cast<int32_t>(v.size()));
    // Constant data may leave a rounding residue of the one-pass sums: about
    // sqrt(n eps) of the value, with eps of single precision in fast mode.
    const double residue[3] = {1e-6, 3e-3, 1e-6};
    const double got[3] = {r.stdF32[0], r.stdF32[1], r.stdF64};
    for (int k = 0; k < 3; ++k) {
      EXPECT_FALSE(std::isnan(got[k])) << "n=" << v.size();
      if (!std::isfinite(v[v.size() / 2]) || std::isinf(v[0]) || v[0] == 7.0f) {
        EXPECT_EQ(got[k], 0.0) << "n=" << v.size() << " form " << k;
      } else {
        EXPECT_LE(got[k], residue[k] * v[0]) << "n=" << v.size() << " form " << k;
      }
    }
  }
}

TEST_P(MeanStdDevTest, MeanPropagatesNaNAndInfinities) {
  const float inf = std::numeric_limits<float>::infinity();
  for (int32_t n : {3, 40}) {
    std::vector<float> v(n, 1.0f);
    v[1] = inf;
    std::vector<double> d(v.begin(), v.end());
    Results r = RunAll(v.data(), d.data(), n);
    EXPECT_EQ(r.meanF32[0], inf);
    EXPECT_EQ(r.meanF32[1], inf);
    EXPECT_EQ(r.meanF64, inf);
    v[2] = -inf;
    d[2] = -inf;
    r = RunAll(v.data(), d.data(), n);
    EXPECT_TRUE(std::isnan(r.meanF32[0]) && std::isnan(r.meanF32[1]) && std::isnan(r.meanF64));
  }
}

// Random data against long-double two-pass references.
TEST_P(MeanStdDevTest, AgreesWithLongDoubleReferences) {
  std::vector<int32_t> lengths = ManyLengths();
  lengths.erase(lengths.begin());  // std dev needs two elements
  for (int32_t n : {32769, 70001}) lengths.push_back(n);
  for (int32_t n : lengths) {
    const auto f = Uniform<float>(n, 1.0, 5.0, 41u * n);
    const auto d = Uniform<double>(n, 1.0, 5.0, 43u * n);
    const long double meanF = SumLd(f) / n, meanD = SumLd(d) / n;
    long double ssF = 0, ssD = 0;
    for (int32_t i = 0; i < n; ++i) {
      ssF += (f[i] - meanF) * (f[i] - meanF);
      ssD += (d[i] - meanD) * (d[i] - meanD);
    }
    const long double sdF = std::sqrt(ssF / (n - 1)), sdD = std::sqrt(ssD / (n - 1));
    for (int64_t offset : {0, 4, 8, 12, 1}) {
      PlacedArray<float> pf(f, offset);
      PlacedArray<double> pd(d, offset * 2);
      const Results r = RunAll(pf.data(), pd.data(), n);
      EXPECT_LE(UlpError<float>(r.meanF32[0], meanF), 1.0L) << "n=" << n << " off=" << offset;
      EXPECT_LE(std::fabs(r.meanF32[1] - meanF), 8 * std::sqrt(n) * 0x1p-24L * meanF) << "n=" << n;
      EXPECT_LE(std::fabs(r.meanF64 - meanD), n * 0x1p-52L * meanD) << "n=" << n;
      // One-pass cancellation: error ~ eps * mean^2 / sd^2 relative.
      EXPECT_LE(std::fabs(r.stdF32[0] - sdF), 2e-6L * sdF) << "n=" << n << " off=" << offset;
      EXPECT_LE(std::fabs(r.stdF32[1] - sdF), 1e-4L * sdF) << "n=" << n << " off=" << offset;
      EXPECT_LE(std::fabs(r.stdF64 - sdD), 1e-12L * sdD) << "n=" << n << " off=" << offset;
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(MeanStdDevTest);

using MeanF32Fn = spStatus (*)(const float*, int32_t, float*, int32_t);
using MeanF64Fn = spStatus (*)(const double*, int32_t, double*);
const MeanF32Fn kMeanF32[] = SP_VARIANT_TABLE(spMeanF32);
const MeanF32Fn kStdF32[] = SP_VARIANT_TABLE(spStdDevF32);
const MeanF64Fn kStdF64[] = SP_VARIANT_TABLE(spStdDevF64);

// The accurate float std dev is the generic four-way double accumulation in
// every set; the SSE double std dev is the generic one; SSE2, SSE3 and SSSE3
// share their double kernel; the four SIMD sets share the float mean (both
// modes); the generic mean ignores the hint.
TEST(MeanStdDevLayouts, BitIdenticalWhereTheSetsShareALayout) {
  for (int32_t n : {2, 3, 9, 64, 1001, 40000}) {
    const auto f = Uniform<float>(n, -2.0, 5.0, 47u * n);
    const auto d = Uniform<double>(n, -2.0, 5.0, 53u * n);
    for (int64_t offset : {0, 4, 8, 12}) {
      PlacedArray<float> pf(f, offset);
      PlacedArray<double> pd(d, offset * 2);
      float m[kSpVariantSetCount][2], s[kSpVariantSetCount];
      double sd[kSpVariantSetCount];
      for (int set = SP_SET_GENERIC; set < kSpVariantSetCount; ++set) {
        if (!spVariantSetSupported(set)) continue;
        kMeanF32[set](pf.data(), n, &m[set][0], 0);
        kMeanF32[set](pf.data(), n, &m[set][1], 1);
        kStdF32[set](pf.data(), n, &s[set], 0);
        kStdF64[set](pd.data(), n, &sd[set]);
      }
      EXPECT_EQ(Bits(m[SP_SET_GENERIC][0]), Bits(m[SP_SET_GENERIC][1]));
      for (int set = SP_SET_SSE; set < kSpVariantSetCount; ++set) {
        if (!spVariantSetSupported(set)) continue;
        EXPECT_EQ(Bits(s[set]), Bits(s[SP_SET_GENERIC])) << "set " << set << " n=" << n;
        EXPECT_EQ(Bits(m[set][0]), Bits(m[SP_SET_SSE][0])) << "set " << set << " n=" << n;
        EXPECT_EQ(Bits(m[set][1]), Bits(m[SP_SET_SSE][1])) << "set " << set << " n=" << n;
        if (set == SP_SET_SSE) {
          EXPECT_EQ(Bits(sd[SP_SET_SSE]), Bits(sd[SP_SET_GENERIC])) << "n=" << n;
        } else {
          EXPECT_EQ(Bits(sd[set]), Bits(sd[SP_SET_SSE2])) << "set " << set << " n=" << n;
        }
      }
    }
  }
}

}  // namespace
