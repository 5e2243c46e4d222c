// Conjugation and complex split under every variant set: the sign rule
// each set has for zeros and NaNs, bit-exact results over lengths
// and alignments, and argument errors.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/vector/sp_complex.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;

class ConjSplitTest : public VariantSetTest {};

TEST_P(ConjSplitTest, ConjugatesZerosAndNaNsByEachSetsRule) {
  const bool sse = SetIndex() == SP_SET_SSE;
  const uint32_t sNaN = 0x7F800123u;  // positive signalling NaN with payload
  // Each fixture pair repeated so that it meets singles, blocks and tails.
  const float re[] = {1, 3, 5, 6, 7};
  const float im[] = {2, -4, -0.0f, 0.0f, F32FromBits(sNaN)};
  const int n = 25;
  std::vector<float> data(2 * n);
  for (int k = 0; k < n; ++k) data[2 * k] = re[k % 5], data[2 * k + 1] = im[k % 5];
  ASSERT_EQ(spConjInPlaceC32(data.data(), n), spOk);
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(Bits(data[2 * k]), Bits(re[k % 5]));
    const float got = data[2 * k + 1];
    switch (k % 5) {
      case 0: EXPECT_EQ(got, -2.0f); break;
      case 1: EXPECT_EQ(got, 4.0f); break;
      case 2: EXPECT_EQ(Bits(got), 0u) << k; break;  // -0 -> +0 in every set
      case 3: EXPECT_EQ(Bits(got), sse ? 0u : 0x80000000u) << k; break;
      case 4: {
        // x87 sets quiet it; the SSE set's 0 - NaN quiets and keeps the sign;
        // the sign-mask sets flip the sign and keep every other bit.
        const uint32_t want = SetIndex() == SP_SET_GENERIC ? (sNaN | 0x80400000u)
                              : sse                        ? (sNaN | 0x00400000u)
                                                           : (sNaN | 0x80000000u);
        EXPECT_EQ(Bits(got), want) << k;
        break;
      }
    }
  }

  const uint64_t sNaN64 = 0x7FF0000000000123ull;
  std::vector<double> d64(2 * n);
  const double im64[] = {2, -4, -0.0, 0.0, F64FromBits(sNaN64)};
  for (int k = 0; k < n; ++k) d64[2 * k] = re[k % 5], d64[2 * k + 1] = im64[k % 5];
  ASSERT_EQ(spConjInPlaceC64(d64.data(), n), spOk);
  const bool x87 = SetIndex() <= SP_SET_SSE;
  for (int k = 0; k < n; ++k) {
    const uint64_t want[] = {Bits(-2.0), Bits(4.0), 0u, Bits(-0.0),
                             x87 ? (sNaN64 | 0x8008000000000000ull) : (sNaN64 | 0x8000000000000000ull)};
    EXPECT_EQ(Bits(d64[2 * k]), Bits(static_cast<double>(re[k % 5])));
    EXPECT_EQ(Bits(d64[2 * k + 1]), want[k % 5]) << k;
  }
}

// Finite nonzero imaginary parts come back negated exactly; real parts keep
// their bits.
template <class T>
void CheckConj(int64_t n, int offset) {
  const std::vector<T> xs = RandomValues<T>(2 * n, static_cast<uint32_t>(n));
  PlacedArray<T> data(2 * n, offset);
  data.Set(xs);
  if constexpr (sizeof(T) == 4) {
    ASSERT_EQ(spConjInPlaceC32(data.data(), static_cast<int32_t>(n)), spOk);
  } else {
    ASSERT_EQ(spConjInPlaceC64(data.data(), static_cast<int32_t>(n)), spOk);
  }
  const std::vector<T> got = data.Get();
  for (int64_t k = 0; k < n; ++k) {
    ASSERT_EQ(Bits(got[2 * k]), Bits(xs[2 * k])) << "n=" << n << " offset " << offset;
    ASSERT_EQ(Bits(got[2 * k + 1]), Bits(static_cast<T>(-xs[2 * k + 1]))) << "n=" << n << " offset " << offset;
  }
  ASSERT_TRUE(data.GuardsIntact());
}

TEST_P(ConjSplitTest, ConjugationOverLengthsAndAlignments) {
  for (int64_t n = 1; n <= 40; ++n) {
    for (int off : {0, 4, 8, 12, 2}) CheckConj<float>(n, off);
    for (int off : {0, 8, 4, 3}) CheckConj<double>(n, off);
  }
  CheckConj<float>(4099, 8);
  CheckConj<double>(4099, 0);
}

TEST_P(ConjSplitTest, SplitCopiesEveryPartBitForBit) {
  // Byte offsets of (src, dstRe, dstIm), including destinations that are not
  // 4-byte aligned.
  const int offsets[][3] = {{0, 0, 0}, {8, 4, 12}, {4, 8, 0}, {0, 12, 4}, {0, 1, 2}, {3, 0, 8}};
  for (int64_t n : {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 31, 33, 40, 63, 64, 65, 100, 1027}) {
    std::vector<float> xs = RandomValues<float>(2 * n, static_cast<uint32_t>(n));
    xs[0] = F32FromBits(0xFF800001u);  // signalling NaNs must come through untouched
    xs[2 * n - 1] = F32FromBits(0x7F800002u);
    for (const auto& o : offsets) {
      PlacedArray<float> src(2 * n, o[0]), re(n, o[1]), im(n, o[2]);
      src.Set(xs);
      ASSERT_EQ(spSplitComplexC32(src.data(), re.data(), im.data(), static_cast<int32_t>(n)), spOk);
      const std::vector<float> gotRe = re.Get(), gotIm = im.Get();
      for (int64_t k = 0; k < n; ++k) {
        ASSERT_EQ(Bits(gotRe[k]), Bits(xs[2 * k])) << "n=" << n << " k=" << k;
        ASSERT_EQ(Bits(gotIm[k]), Bits(xs[2 * k + 1])) << "n=" << n << " k=" << k;
      }
      ASSERT_TRUE(re.GuardsIntact() && im.GuardsIntact()) << "n=" << n;
    }
  }
}

TEST_P(ConjSplitTest, RejectsNullPointersThenBadLengthsWithoutWriting) {
  float c[4] = {1, 2, 3, 4}, re[2] = {9, 9}, im[2] = {9, 9};
  double d[2] = {1, 2};
  EXPECT_EQ(spConjInPlaceC32(nullptr, 1), spErrNullPointer);
  EXPECT_EQ(spConjInPlaceC64(nullptr, 0), spErrNullPointer);
  EXPECT_EQ(spConjInPlaceC32(c, 0), spErrLength);
  EXPECT_EQ(spConjInPlaceC64(d, -1), spErrLength);
  EXPECT_EQ(spSplitComplexC32(nullptr, re, im, 2), spErrNullPointer);
  EXPECT_EQ(spSplitComplexC32(c, nullptr, im, 0), spErrNullPointer);
  EXPECT_EQ(spSplitComplexC32(c, re, nullptr, -1), spErrNullPointer);
  EXPECT_EQ(spSplitComplexC32(c, re, im, 0), spErrLength);
  EXPECT_EQ(c[1], 2.0f);
  EXPECT_EQ(d[1], 2.0);
  EXPECT_EQ(re[0], 9.0f);
  EXPECT_EQ(im[1], 9.0f);
}

}  // namespace

SP_INSTANTIATE_FOR_ALL_SETS(ConjSplitTest);
