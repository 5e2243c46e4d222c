// Sum primitives under every variant set: argument checks, exact sums of
// small fixtures, agreement with long-double sums over many lengths,
// alignments and both float modes (fast-mode block boundaries included),
// bit-identity where the sets share a summation layout, and each set's
// summation order against an element-by-element model of it.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/frame/variant_seams.h"
#include "primitives/vector/sp_sum.h"
#include "primitives/vector/sum_kernels.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

SP_DECLARE_EVERY_SET(SP_SUM_ENTRIES)

namespace {

using namespace vector_test;

class SumTest : public VariantSetTest {};

TEST_P(SumTest, ArgumentChecksWriteNothing) {
  const float xf[2] = {1, 2};
  const double xd[2] = {1, 2};
  struct Case {
    bool nullSrc, nullSum;
    int32_t n;
    spStatus expected;
  };
  for (const Case& c : {Case{true, false, 2, spErrNullPointer}, Case{false, true, 2, spErrNullPointer},
                        Case{true, false, 0, spErrNullPointer}, Case{false, false, 0, spErrLength},
                        Case{false, false, -5, spErrLength}}) {
    for (int32_t hint : {0, 1}) {
      float sf = 42.0f;
      EXPECT_EQ(spSumF32(c.nullSrc ? nullptr : xf, c.n, c.nullSum ? nullptr : &sf, hint), c.expected);
      EXPECT_EQ(sf, 42.0f);
    }
    double sd = 42.0;
    EXPECT_EQ(spSumF64(c.nullSrc ? nullptr : xd, c.n, c.nullSum ? nullptr : &sd), c.expected);
    EXPECT_EQ(sd, 42.0);
  }
}

TEST_P(SumTest, SmallFixturesAreExact) {
  // 1 + 2 + ... + n is exact in every layout for these n.
  for (int32_t n = 1; n <= 200; ++n) {
    std::vector<float> vf(n);
    std::vector<double> vd(n);
    for (int32_t i = 0; i < n; ++i) vf[i] = vd[i] = i + 1;
    const double expected = 0.5 * n * (n + 1);
    for (int64_t offset : ElementOffsets()) {
      PlacedArray<float> af(vf, offset);
      PlacedArray<double> ad(vd, offset * 2);
      for (int32_t hint : {0, 1}) {
        float s = 0;
        ASSERT_EQ(spSumF32(af.data(), n, &s, hint), spOk);
        EXPECT_EQ(s, expected) << "n=" << n << " hint=" << hint << " offset=" << offset;
      }
      double s = 0;
      ASSERT_EQ(spSumF64(ad.data(), n, &s), spOk);
      EXPECT_EQ(s, expected) << "n=" << n;
    }
  }
  // Small integers keep every partial sum exact, so any element lost or
  // counted twice at a block boundary, head or tail shows.
  for (int32_t n : {32767, 32768, 32769, 65536 + 37, 100003}) {
    std::vector<float> vf(n);
    std::vector<double> vd(n);
    int64_t exact = 0;
    for (int32_t i = 0; i < n; ++i) {
      vf[i] = vd[i] = static_cast<float>((i * 7 + i / 3) % 4);
      exact += (i * 7 + i / 3) % 4;
    }
    for (int64_t offset : {0, 4, 8, 12, 1}) {
      PlacedArray<float> af(vf, offset);
      PlacedArray<double> ad(vd, offset * 2);
      for (int32_t hint : {0, 1}) {
        float s = 0;
        ASSERT_EQ(spSumF32(af.data(), n, &s, hint), spOk);
        EXPECT_EQ(s, static_cast<float>(exact)) << "n=" << n << " hint=" << hint << " offset=" << offset;
      }
      double s = 0;
      ASSERT_EQ(spSumF64(ad.data(), n, &s), spOk);
      EXPECT_EQ(s, static_cast<double>(exact)) << "n=" << n << " offset=" << offset;
    }
  }
  // One element comes back as itself.
  float s = 0;
  const float tenth = 0.1f;
  EXPECT_EQ(spSumF32(&tenth, 1, &s, 1), spOk);
  EXPECT_EQ(s, tenth);
}

// Where the last elements go decides the rounding: the generic float sum
// adds the last n mod 4 onto the joined partial sums, the generic double sum
// to the even sum before joining (2^53 + 1 rounds back to 2^53); the
// eight-sum layouts (accurate floats, SSE doubles) take the last n mod 8
// into one partial sum in index order.
TEST_P(SumTest, TailOrderOfEachLayout) {
  const double big = 0x1p53;
  const double d[5] = {big, -big, 0, 0, 1};
  const float f[5] = {0x1p60f, -0x1p60f, 0, 0, 1};
  double sd = -1;
  float sf = -1;
  ASSERT_EQ(spSumF64(d, 5, &sd), spOk);
  ASSERT_EQ(spSumF32(f, 5, &sf, 0), spOk);
  EXPECT_EQ(sf, 1.0f);
  if (SetIndex() == SP_SET_GENERIC) {
    EXPECT_EQ(sd, 0.0);
  } else if (SetIndex() == SP_SET_SSE) {
    EXPECT_EQ(sd, 1.0);
  }
}

TEST_P(SumTest, InfinitiesAndNaNsPropagate) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    std::vector<float> v;
    bool nan;
    float value;
  };
  for (const Case& c : {Case{{1, inf, 2, 3, 4}, false, inf}, Case{{-inf, 1, 2}, false, -inf},
                        Case{{inf, 1, -inf, 2, 5, 6, 7, 8, 9}, true, 0}, Case{{1, std::nanf(""), 2}, true, 0},
                        Case{{3.0e38f, 3.0e38f, -1.0f}, false, inf}}) {
    for (int32_t hint : {0, 1}) {
      float s = 0;
      ASSERT_EQ(spSumF32(c.v.data(), static_cast<int32_t>(c.v.size()), &s, hint), spOk);
      if (c.nan) {
        EXPECT_TRUE(std::isnan(s));
      } else {
        EXPECT_EQ(s, c.value);
      }
    }
    std::vector<double> vd(c.v.begin(), c.v.end());
    double s = 0;
    ASSERT_EQ(spSumF64(vd.data(), static_cast<int32_t>(vd.size()), &s), spOk);
    if (c.nan) {
      EXPECT_TRUE(std::isnan(s));
    } else if (std::isinf(c.v[0]) || std::isinf(c.v[1])) {
      EXPECT_EQ(s, static_cast<double>(c.value));
    }
  }
}

// Random data of many lengths and alignments against a long-double sum. The
// accurate mode keeps double partial sums (the float result is within one
// float rounding); the fast mode rounds in single precision inside blocks.
TEST_P(SumTest, AgreesWithLongDoubleSum) {
  std::vector<int32_t> lengths = ManyLengths();
  for (int32_t n : {32767, 32768, 32769, 65536 + 37, 100003}) lengths.push_back(n);
  for (int32_t n : lengths) {
    const auto vf = Uniform<float>(n, -1.0, 3.0, 1000u + n);
    const auto vd = Uniform<double>(n, -1.0, 3.0, 2000u + n);
    const long double refF = SumLd(vf), absF = SumAbsLd(vf);
    const long double refD = SumLd(vd), absD = SumAbsLd(vd);
    for (int64_t offset : {0, 4, 8, 12, 1}) {
      PlacedArray<float> af(vf, offset);
      PlacedArray<double> ad(vd, offset * 2);
      float accurate = 0, fast = 0;
      ASSERT_EQ(spSumF32(af.data(), n, &accurate, 0), spOk);
      ASSERT_EQ(spSumF32(af.data(), n, &fast, 1), spOk);
      const long double floatUlp = std::fabs(refF) * 0x1p-23L + 0x1p-40L;
      EXPECT_LE(std::fabs(accurate - refF), 0.5L * floatUlp + n * 0x1p-52L * absF) << "n=" << n << " off=" << offset;
      EXPECT_LE(std::fabs(fast - refF), 0.5L * floatUlp + 4 * std::sqrt(n) * 0x1p-24L * absF)
          << "n=" << n << " off=" << offset;
      double sd = 0;
      ASSERT_EQ(spSumF64(ad.data(), n, &sd), spOk);
      EXPECT_LE(std::fabs(sd - refD), 2 * n * 0x1p-53L * absD + 0x1p-60L) << "n=" << n << " off=" << offset;
    }
  }
}

// The orders callers see, modelled element by element in plain scalar code.
// Eight-sum rotation (accurate floats in the SIMD sets, SSE doubles): element
// j of group g into sum (j + g) mod 8, the last n mod 8 in index order into
// sum (n / 8) mod 8, joined ((s0 + s4) + (s2 + s6)) + ((s1 + s5) + (s3 + s7)).
template <class T>
double RotationOrder(const T* x, int64_t n) {
  double s[8] = {};
  const int64_t groups = n / 8;
  for (int64_t g = 0; g < groups; ++g)
    for (int64_t j = 0; j < 8; ++j) s[(j + g) % 8] += x[8 * g + j];
  for (int64_t i = 8 * groups; i < n; ++i) s[groups % 8] += x[i];
  return ((s[0] + s[4]) + (s[2] + s[6])) + ((s[1] + s[5]) + (s[3] + s[7]));
}
// Generic: x[4k], x[4k+2] into the even sum, x[4k+1], x[4k+3] into the odd
// sum; floats add the rest onto odd + even, doubles onto the even sum.
template <class T>
double InterleavedOrder(const T* x, int64_t n) {
  double even = 0, odd = 0;
  const int64_t whole = n - n % 4;
  for (int64_t i = 0; i < whole; i += 4) {
    even += x[i];
    odd += x[i + 1];
    even += x[i + 2];
    odd += x[i + 3];
  }
  if constexpr (sizeof(T) == 4) {
    double total = odd + even;
    for (int64_t i = whole; i < n; ++i) total += x[i];
    return total;
  } else {
    for (int64_t i = whole; i < n; ++i) even += x[i];
    return even + odd;
  }
}

using SumKernelF32 = double (*)(const float*, int64_t, int32_t);
const SumKernelF32 kSumKernelF32[] = SP_VARIANT_TABLE(spkSumF32);

// Values over forty binades make every partial sum round, so any change of
// which sum an element joins, or of the join, changes the double result: the
// kernel (which the means share) and the entries keep the order bit for bit
// at every length to 100, at long ones and at every alignment.
TEST_P(SumTest, KeepsItsSummationOrderBitForBit) {
  std::vector<int32_t> lengths;
  for (int32_t n = 0; n <= 100; ++n) lengths.push_back(n);
  for (int32_t n : {1000, 4099, 32768 + 5, 70001}) lengths.push_back(n);
  const bool generic = SetIndex() == SP_SET_GENERIC;
  for (int32_t n : lengths) {
    if (n == 0) {  // no sum at all: the length error, nothing written
      const float x = 1.0f;
      float sf = 42.0f;
      EXPECT_EQ(spSumF32(&x, 0, &sf, 0), spErrLength);
      EXPECT_EQ(sf, 42.0f);
      continue;
    }
    const auto vf = RandomValues<float>(n, 31u * n + 1);
    const auto vd = RandomValues<double>(n, 37u * n + 5);
    const double expectedF = generic ? InterleavedOrder(vf.data(), n) : RotationOrder(vf.data(), n);
    for (int64_t offset : {0, 4, 8, 12, 2}) {
      PlacedArray<float> af(vf, offset);
      for (int32_t hint : {0, 7}) {
        EXPECT_EQ(Bits(kSumKernelF32[SetIndex()](af.data(), n, hint)), Bits(expectedF))
            << "n=" << n << " offset=" << offset << " hint=" << hint;
      }
      float sf = 0;
      ASSERT_EQ(spSumF32(af.data(), n, &sf, 0), spOk);
      EXPECT_EQ(Bits(sf), Bits(static_cast<float>(expectedF))) << "n=" << n << " offset=" << offset;
      // The SSE2-and-later double sum has a layout of its own.
      if (SetIndex() <= SP_SET_SSE) {
        PlacedArray<double> ad(vd, offset * 2);
        const double expectedD = generic ? InterleavedOrder(vd.data(), n) : RotationOrder(vd.data(), n);
        double sd = 0;
        ASSERT_EQ(spSumF64(ad.data(), n, &sd), spOk);
        EXPECT_EQ(Bits(sd), Bits(expectedD)) << "n=" << n << " offset=" << offset;
      }
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(SumTest);

using SumF32Fn = spStatus (*)(const float*, int32_t, float*, int32_t);
using SumF64Fn = spStatus (*)(const double*, int32_t, double*);
const SumF32Fn kSumF32[] = SP_VARIANT_TABLE(spSumF32);
const SumF64Fn kSumF64[] = SP_VARIANT_TABLE(spSumF64);

// Same data at the same address: both float modes are one layout in the
// four SIMD sets, the double sum one layout in SSE2, SSE3 and SSSE3, and the
// generic float sum ignores the hint.
TEST(SumLayouts, BitIdenticalWhereTheSetsShareALayout) {
  for (int32_t n : {1, 7, 8, 9, 63, 64, 65, 1000, 32769, 70001}) {
    const auto vf = Uniform<float>(n, -1.0, 3.0, 7u * n);
    const auto vd = Uniform<double>(n, -1.0, 3.0, 11u * n);
    for (int64_t offset : {0, 4, 8, 12, 2}) {
      PlacedArray<float> af(vf, offset);
      PlacedArray<double> ad(vd, offset * 2);
      float g0 = 0, g1 = 0;
      kSumF32[0](af.data(), n, &g0, 0);
      kSumF32[0](af.data(), n, &g1, 1);
      EXPECT_EQ(Bits(g0), Bits(g1));
      float f0[5], f1[5];
      double d[5];
      for (int set = SP_SET_SSE; set <= SP_SET_SSSE3; ++set) {
        if (!spVariantSetSupported(set)) continue;
        kSumF32[set](af.data(), n, &f0[set], 0);
        kSumF32[set](af.data(), n, &f1[set], 1);
        kSumF64[set](ad.data(), n, &d[set]);
        EXPECT_EQ(Bits(f0[set]), Bits(f0[1])) << "accurate, set " << set << " n=" << n;
        EXPECT_EQ(Bits(f1[set]), Bits(f1[1])) << "fast, set " << set << " n=" << n;
        if (set >= SP_SET_SSE3) {
          EXPECT_EQ(Bits(d[set]), Bits(d[2])) << "double, set " << set << " n=" << n;
        }
      }
    }
  }
}

}  // namespace
