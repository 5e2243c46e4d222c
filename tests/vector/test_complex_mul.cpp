// Complex multiplication under every variant set: closed-form products, the
// rounding each set is defined to use (generic single precision: products
// and sum in double, one rounding; SIMD sets: each product rounded to float
// first), closeness to long-double products, lengths and alignments that
// reach heads, blocks and tails, and argument errors.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/vector/sp_complex.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;

class ComplexMulTest : public VariantSetTest {};

struct Cx {
  double re, im;
};

// The defined result of one product in the set under test.
Cx ExpectedC32(bool generic, float ar, float ai, float br, float bi) {
  if (generic) {
    const double re = double{ar} * br - double{ai} * bi;
    const double im = double{ar} * bi + double{ai} * br;
    return {static_cast<float>(re), static_cast<float>(im)};
  }
  const float p1 = ar * br, p2 = ai * bi, q1 = ar * bi, q2 = ai * br;
  return {p1 - p2, q1 + q2};
}
Cx ExpectedC64(double ar, double ai, double br, double bi) {
  const double p1 = ar * br, p2 = ai * bi, q1 = ar * bi, q2 = ai * br;
  return {p1 - p2, q1 + q2};
}

template <class T>
void CheckMul(bool generic, int64_t n, int aOffset, int bOffset, int dstOffset, const std::vector<T>& as,
              const std::vector<T>& bs) {
  PlacedArray<T> a(2 * n, aOffset), b(2 * n, bOffset), dst(2 * n, dstOffset);
  a.Set(as);
  b.Set(bs);
  spStatus status;
  if constexpr (sizeof(T) == 4) {
    status = spMulC32(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
  } else {
    status = spMulC64(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
  }
  ASSERT_EQ(status, spOk);
  const std::vector<T> got = dst.Get();
  const long double eps = sizeof(T) == 4 ? 0x1p-22L : 0x1p-51L;
  for (int64_t k = 0; k < n; ++k) {
    const T ar = as[2 * k], ai = as[2 * k + 1], br = bs[2 * k], bi = bs[2 * k + 1];
    const Cx want = sizeof(T) == 4 ? ExpectedC32(generic, ar, ai, br, bi) : ExpectedC64(ar, ai, br, bi);
    ASSERT_EQ(Bits(got[2 * k]), Bits(static_cast<T>(want.re)))
        << "n=" << n << " k=" << k << " offsets " << aOffset << "/" << bOffset << "/" << dstOffset;
    ASSERT_EQ(Bits(got[2 * k + 1]), Bits(static_cast<T>(want.im))) << "n=" << n << " k=" << k;
    // Independent of the formulas above: within a few ulps of the exact product.
    const long double re = static_cast<long double>(ar) * br - static_cast<long double>(ai) * bi;
    const long double im = static_cast<long double>(ar) * bi + static_cast<long double>(ai) * br;
    const long double scaleRe =
        std::fabs(static_cast<long double>(ar) * br) + std::fabs(static_cast<long double>(ai) * bi);
    const long double scaleIm =
        std::fabs(static_cast<long double>(ar) * bi) + std::fabs(static_cast<long double>(ai) * br);
    ASSERT_LE(std::fabs(got[2 * k] - re), eps * scaleRe);
    ASSERT_LE(std::fabs(got[2 * k + 1] - im), eps * scaleIm);
  }
  ASSERT_TRUE(dst.GuardsIntact()) << "n=" << n;
}

TEST_P(ComplexMulTest, ClosedFormProducts) {
  const float inf = std::numeric_limits<float>::infinity();
  // Repeated so that every fixture lands in singles, blocks and tails.
  const float fixA[][2] = {{0, 1}, {1, 0}, {3, 4}, {inf, 0}, {-2, 0.5f}};
  const float fixB[][2] = {{0, 1}, {-1.5f, 2.25f}, {3, -4}, {0, 1}, {0.25f, 8}};
  const float wantRe[] = {-1, -1.5f, 25, NAN, -4.5f};
  const float wantIm[] = {0, 2.25f, 0, inf, -15.875f};
  for (int n : {5, 13, 23}) {
    std::vector<float> a(2 * n), b(2 * n), dst(2 * n);
    for (int k = 0; k < n; ++k) {
      a[2 * k] = fixA[k % 5][0], a[2 * k + 1] = fixA[k % 5][1];
      b[2 * k] = fixB[k % 5][0], b[2 * k + 1] = fixB[k % 5][1];
    }
    ASSERT_EQ(spMulC32(a.data(), b.data(), dst.data(), n), spOk);
    std::vector<double> a64(a.begin(), a.end()), b64(b.begin(), b.end()), d64(2 * n);
    ASSERT_EQ(spMulC64(a64.data(), b64.data(), d64.data(), n), spOk);
    for (int k = 0; k < n; ++k) {
      const int f = k % 5;
      if (std::isnan(wantRe[f])) {
        EXPECT_TRUE(std::isnan(dst[2 * k])) << k;
        EXPECT_TRUE(std::isnan(d64[2 * k])) << k;
      } else {
        EXPECT_EQ(dst[2 * k], wantRe[f]) << k;
        EXPECT_EQ(d64[2 * k], wantRe[f]) << k;
      }
      EXPECT_EQ(dst[2 * k + 1], wantIm[f]) << k;
      EXPECT_EQ(d64[2 * k + 1], wantIm[f]) << k;
    }
  }
}

TEST_P(ComplexMulTest, EachSetsRoundingOverLengthsAndAlignments) {
  const bool generic = SetIndex() == SP_SET_GENERIC;
  // Byte offsets of (a, b, dst): aligned; dst 8 past a 16-byte boundary;
  // dst and sources only 4-byte aligned.
  const int offsets[][3] = {{0, 0, 0}, {0, 0, 8}, {8, 8, 8}, {8, 0, 0}, {4, 0, 0}, {0, 8, 4}, {4, 4, 12}};
  for (int64_t n = 1; n <= 24; ++n) {
    const std::vector<float> a = RandomValues<float>(2 * n, 1 + n), b = RandomValues<float>(2 * n, 100 + n);
    const std::vector<double> a64 = RandomValues<double>(2 * n, 1 + n), b64 = RandomValues<double>(2 * n, 100 + n);
    for (const auto& o : offsets) {
      CheckMul<float>(generic, n, o[0], o[1], o[2], a, b);
      CheckMul<double>(generic, n, o[0], o[1], o[2], a64, b64);
    }
  }
  // Large enough for the results to stream past the caches.
  const int64_t big = 350001;
  const std::vector<float> a = RandomValues<float>(2 * big, 5), b = RandomValues<float>(2 * big, 6);
  const std::vector<double> a64 = RandomValues<double>(2 * big, 5), b64 = RandomValues<double>(2 * big, 6);
  for (const auto& o : {offsets[0], offsets[1]}) {
    CheckMul<float>(generic, big, o[0], o[1], o[2], a, b);
    CheckMul<double>(generic, big, o[0], o[1], o[2], a64, b64);
  }
}

// A destination equal to a source gets the same product as a separate one
// (the generic loop used to store the real part before rereading it).
TEST_P(ComplexMulTest, DestinationMayBeASource) {
  for (int n : {3, 13}) {
    const std::vector<float> a = RandomValues<float>(2 * n, 3), b = RandomValues<float>(2 * n, 4);
    std::vector<float> separate(2 * n), intoA = a, intoB = b;
    ASSERT_EQ(spMulC32(a.data(), b.data(), separate.data(), n), spOk);
    ASSERT_EQ(spMulC32(intoA.data(), b.data(), intoA.data(), n), spOk);
    ASSERT_EQ(spMulC32(a.data(), intoB.data(), intoB.data(), n), spOk);
    EXPECT_EQ(intoA, separate);
    EXPECT_EQ(intoB, separate);
    const std::vector<double> a64 = RandomValues<double>(2 * n, 3), b64 = RandomValues<double>(2 * n, 4);
    std::vector<double> separate64(2 * n), into64 = a64;
    ASSERT_EQ(spMulC64(a64.data(), b64.data(), separate64.data(), n), spOk);
    ASSERT_EQ(spMulC64(into64.data(), b64.data(), into64.data(), n), spOk);
    EXPECT_EQ(into64, separate64);
  }
}

TEST_P(ComplexMulTest, RejectsNullPointersThenBadLengthsWithoutWriting) {
  const float a[2] = {1, 2}, b[2] = {3, 4};
  float dst[2] = {7, 7};
  EXPECT_EQ(spMulC32(nullptr, b, dst, 1), spErrNullPointer);
  EXPECT_EQ(spMulC32(a, nullptr, dst, 0), spErrNullPointer);
  EXPECT_EQ(spMulC32(a, b, nullptr, -1), spErrNullPointer);
  EXPECT_EQ(spMulC32(a, b, dst, 0), spErrLength);
  EXPECT_EQ(spMulC32(a, b, dst, -5), spErrLength);
  EXPECT_EQ(dst[0], 7.0f);
  const double a64[2] = {1, 2}, b64[2] = {3, 4};
  double d64[2] = {7, 7};
  EXPECT_EQ(spMulC64(nullptr, b64, d64, 1), spErrNullPointer);
  EXPECT_EQ(spMulC64(a64, nullptr, d64, 0), spErrNullPointer);
  EXPECT_EQ(spMulC64(a64, b64, nullptr, 1), spErrNullPointer);
  EXPECT_EQ(spMulC64(a64, b64, d64, 0), spErrLength);
  EXPECT_EQ(d64[1], 7.0);
}

}  // namespace

SP_INSTANTIATE_FOR_ALL_SETS(ComplexMulTest);
