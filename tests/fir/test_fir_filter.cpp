// FIR filter under every variant set against a direct long-double
// convolution that takes the samples before the call from the delay line,
// with the checks in order (the delay index included), impulse response,
// block splitting, in-place use, any alignment and the same bits in every set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fir_test_support.h"
#include "primitives/frame/dispatch.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

SP_DECLARE_VARIANTS(spStatus, spFirF32,
                    (const float* src, float* dst, int32_t len, const double* taps, int32_t tapsLen, float* delayLine,
                     int32_t* delayIndex))
SP_DECLARE_VARIANTS(spStatus, spFirF64,
                    (const double* src, double* dst, int32_t len, const double* taps, int32_t tapsLen,
                     double* delayLine, int32_t* delayIndex))

namespace {

using vector_test::Bits;
using vector_test::PlacedArray;

template <class T>
using FirFn = spStatus (*)(const T*, T*, int32_t, const double*, int32_t, T*, int32_t*);
constexpr FirFn<float> kFirF32[] = SP_VARIANT_TABLE(spFirF32);
constexpr FirFn<double> kFirF64[] = SP_VARIANT_TABLE(spFirF64);

template <class T>
FirFn<T> Entry() {
  if constexpr (sizeof(T) == sizeof(float))
    return spFirF32;
  else
    return spFirF64;
}

class FirFilterTest : public VariantSetTest {};

// A filter's state as the caller keeps it: history h (oldest first) written
// twice into the doubled delay line around index `index`.
template <class T>
struct FilterState {
  std::vector<T> line;
  int32_t index;
  FilterState(const std::vector<T>& history, int32_t index) : line(2 * history.size()), index(index) {
    const int32_t taps = static_cast<int32_t>(history.size());
    for (int32_t j = 0; j < taps; ++j) line[(index + j) % taps] = line[(index + j) % taps + taps] = history[j];
  }
};

// y[n] = sum over k of taps[k] x[n - k], x[-T + j] = history[j].
template <class T>
std::vector<long double> Convolve(const std::vector<double>& taps, const std::vector<T>& history,
                                  const std::vector<T>& x) {
  const int64_t t = static_cast<int64_t>(taps.size());
  std::vector<long double> y(x.size());
  for (int64_t n = 0; n < static_cast<int64_t>(x.size()); ++n)
    for (int64_t k = 0; k < t; ++k) {
      const int64_t at = n - k;
      const long double v = at >= 0 ? x[at] : history[t + at];
      y[n] += static_cast<long double>(taps[k]) * v;
    }
  return y;
}

template <class T>
void CheckStatusesInOrder() {
  const FirFn<T> fir = Entry<T>();
  T src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9}, line[4] = {5, 5, 5, 5};
  const double taps[2] = {0.5, 0.25};
  int32_t index = 1;
  struct Case {
    const T* src;
    T* dst;
    int32_t len;
    const double* taps;
    int32_t tapsLen;
    T* line;
    int32_t* index;
    spStatus want;
  };
  const Case cases[] = {
      {nullptr, dst, 0, taps, 2, line, &index, spErrNullPointer},  // pointers before len
      {src, nullptr, 4, taps, 2, line, &index, spErrNullPointer},
      {src, dst, 0, nullptr, 0, nullptr, nullptr, spErrLength},  // len before taps
      {src, dst, -3, taps, 2, line, &index, spErrLength},
      {src, dst, 4, nullptr, 0, line, &index, spErrNullPointer},  // taps before tapsLen
      {src, dst, 4, taps, 0, nullptr, nullptr, spErrTapCount},    // tapsLen before the delay line
      {src, dst, 4, taps, -1, line, &index, spErrTapCount},
      {src, dst, 4, taps, 2, nullptr, &index, spErrNullPointer},
      {src, dst, 4, taps, 2, line, nullptr, spErrNullPointer},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fir(c.src, c.dst, c.len, c.taps, c.tapsLen, c.line, c.index), c.want);
  }
  // An index outside 0 .. tapsLen-1 is refused before anything is written.
  for (int32_t bad : {-1, 2, 3, INT32_MIN, INT32_MAX}) {
    index = bad;
    EXPECT_EQ(fir(src, dst, 4, taps, 2, line, &index), spErrTapCount) << "index " << bad;
    EXPECT_EQ(index, bad);
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dst[i], T(9));
    EXPECT_EQ(line[i], T(5));
  }
}

TEST_P(FirFilterTest, ChecksRunInOrderAndWriteNothing) {
  CheckStatusesInOrder<float>();
  CheckStatusesInOrder<double>();
}

template <class T>
void CheckAgainstConvolution() {
  const FirFn<T> fir = Entry<T>();
  for (int32_t tapsLen : {1, 2, 3, 7, 16, 33})
    for (int32_t start : {0, tapsLen / 2, tapsLen - 1}) {
      SCOPED_TRACE(testing::Message() << "taps " << tapsLen << " index " << start << " bytes " << sizeof(T));
      const std::vector<double> taps = vector_test::Uniform<double>(tapsLen, -1.0, 1.0, 11u + tapsLen);
      const std::vector<T> history = vector_test::Uniform<T>(tapsLen, -30000.0, 30000.0, 5u + start);
      const std::vector<T> x = vector_test::Uniform<T>(200, -30000.0, 30000.0, 3u);
      FilterState<T> state(history, start);
      std::vector<T> y(x.size());
      ASSERT_EQ(fir(x.data(), y.data(), 200, taps.data(), tapsLen, state.line.data(), &state.index), spOk);
      EXPECT_EQ(state.index, (start + 200) % tapsLen);
      const std::vector<long double> want = Convolve(taps, history, x);
      for (size_t n = 0; n < x.size(); ++n) {
        // Rounding of the double sum, plus the float result's own rounding.
        long double bound = 0;
        for (int32_t k = 0; k < tapsLen; ++k) bound += 30000.0L;
        const long double tol = bound * tapsLen * 2.3e-16L + std::fabs(want[n]) * std::numeric_limits<T>::epsilon();
        ASSERT_NEAR(y[n], want[n], tol) << "n " << n;
      }
    }
}

TEST_P(FirFilterTest, MatchesDirectConvolutionWithHistory) {
  CheckAgainstConvolution<float>();
  CheckAgainstConvolution<double>();
}

template <class T>
void CheckImpulseAndIdentity() {
  const FirFn<T> fir = Entry<T>();
  const std::vector<double> taps = {0.3, -1.25, 0.0625, 2.5, -0.1};
  std::vector<T> line(10, T(0)), x(8, T(0)), y(8);
  x[0] = T(1);
  int32_t index = 0;
  ASSERT_EQ(fir(x.data(), y.data(), 8, taps.data(), 5, line.data(), &index), spOk);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(y[n], n < 5 ? static_cast<T>(taps[n]) : T(0)) << "n " << n;
  // One tap of 1 copies the input and leaves the index at 0.
  const double one = 1.0;
  std::vector<T> line1(2, T(0)), src = {T(3.5), T(-2), T(1e-3), T(7)}, out(4);
  index = 0;
  ASSERT_EQ(fir(src.data(), out.data(), 4, &one, 1, line1.data(), &index), spOk);
  EXPECT_EQ(index, 0);
  for (int n = 0; n < 4; ++n) EXPECT_EQ(out[n], src[n]);
}

TEST_P(FirFilterTest, ImpulseGivesTheTapsAndOneTapCopies) {
  CheckImpulseAndIdentity<float>();
  CheckImpulseAndIdentity<double>();
}

template <class T>
void CheckBlocksAndInPlace() {
  const FirFn<T> fir = Entry<T>();
  const std::vector<double> taps = vector_test::Uniform<double>(13, -1.0, 1.0, 99u);
  const std::vector<T> x = vector_test::Uniform<T>(64, -1000.0, 1000.0, 42u);
  std::vector<T> whole(64), whole_line(26, T(0));
  int32_t whole_index = 0;
  ASSERT_EQ(fir(x.data(), whole.data(), 64, taps.data(), 13, whole_line.data(), &whole_index), spOk);
  const std::vector<std::vector<int32_t>> splits = {{3, 5, 56}, {1, 1, 1, 61}, {13, 13, 13, 25}, {63, 1}};
  for (const auto& split : splits) {
    std::vector<T> y = x, line(26, T(0));  // filtered in place
    int32_t index = 0, at = 0;
    for (int32_t len : split) {
      ASSERT_EQ(fir(y.data() + at, y.data() + at, len, taps.data(), 13, line.data(), &index), spOk);
      at += len;
    }
    EXPECT_EQ(index, whole_index);
    for (int n = 0; n < 64; ++n) ASSERT_EQ(Bits(y[n]), Bits(whole[n])) << "n " << n;
    for (int n = 0; n < 26; ++n) ASSERT_EQ(Bits(line[n]), Bits(whole_line[n])) << "line " << n;
  }
}

TEST_P(FirFilterTest, BlocksOfAnySizeAndInPlaceGiveTheSameOutput) {
  CheckBlocksAndInPlace<float>();
  CheckBlocksAndInPlace<double>();
}

template <class T>
void CheckAlignment() {
  const FirFn<T> fir = Entry<T>();
  const std::vector<double> taps = vector_test::Uniform<double>(9, -1.0, 1.0, 5u);
  const std::vector<T> x = vector_test::Uniform<T>(40, -1.0, 1.0, 6u);
  std::vector<T> want(40), wantLine(18, T(0));
  int32_t index = 4;
  ASSERT_EQ(fir(x.data(), want.data(), 40, taps.data(), 9, wantLine.data(), &index), spOk);
  for (int64_t offset : {1, 4, 8, 12}) {
    PlacedArray<T> src(x, offset), dst(40, offset + 4), line(std::vector<T>(18, T(0)), offset + 8);
    PlacedArray<double> placedTaps(taps, offset);
    PlacedArray<int32_t> placedIndex(std::vector<int32_t>{4}, offset);
    ASSERT_EQ(fir(src.data(), dst.data(), 40, placedTaps.data(), 9, line.data(), placedIndex.data()), spOk);
    const std::vector<T> got = dst.Get();
    for (int n = 0; n < 40; ++n) ASSERT_EQ(Bits(got[n]), Bits(want[n])) << "offset " << offset << " n " << n;
    EXPECT_TRUE(dst.GuardsIntact());
    EXPECT_TRUE(line.GuardsIntact());
    EXPECT_EQ(placedIndex.Get()[0], index);
  }
}

TEST_P(FirFilterTest, AnyAlignment) {
  CheckAlignment<float>();
  CheckAlignment<double>();
}

SP_INSTANTIATE_FOR_ALL_SETS(FirFilterTest);

// The products are added in one order in every set: the same bits.
template <class T>
void CheckSetsAgree(const FirFn<T> (&table)[kSpVariantSetCount]) {
  const std::vector<double> taps = vector_test::Uniform<double>(31, -1.0, 1.0, 8u);
  const std::vector<T> x = vector_test::Uniform<T>(500, -32768.0, 32768.0, 9u);
  std::vector<T> want(500), line(62, T(0));
  int32_t index = 0;
  ASSERT_EQ(table[SP_SET_GENERIC](x.data(), want.data(), 500, taps.data(), 31, line.data(), &index), spOk);
  for (int set = SP_SET_SSE; set < kSpVariantSetCount; ++set) {
    if (!spVariantSetSupported(set)) continue;
    std::vector<T> got(500), setLine(62, T(0));
    int32_t setIndex = 0;
    ASSERT_EQ(table[set](x.data(), got.data(), 500, taps.data(), 31, setLine.data(), &setIndex), spOk);
    for (int n = 0; n < 500; ++n) ASSERT_EQ(Bits(got[n]), Bits(want[n])) << spVariantSetName(set) << " n " << n;
  }
}

TEST(FirFilterAcrossSets, EverySetGivesTheSameBits) {
  CheckSetsAgree(kFirF32);
  CheckSetsAgree(kFirF64);
}

}  // namespace
