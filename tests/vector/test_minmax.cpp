// Maximum and minimum primitives under every variant set: argument checks
// and the optional index, closed fixtures (ties, integer extremes), the
// generic NaN and signed-zero rules, and agreement with a plain first-
// extreme search over many lengths, alignments and positions of the
// extreme (block boundaries of the index search included).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "primitives/vector/sp_minmax.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;

class MinMaxTest : public VariantSetTest {};

// The four primitives of one element type.
template <class T>
struct Family {
  spStatus (*max)(const T*, int32_t, T*);
  spStatus (*min)(const T*, int32_t, T*);
  spStatus (*maxIndex)(const T*, int32_t, T*, int32_t*);
  spStatus (*minIndex)(const T*, int32_t, T*, int32_t*);
};
const Family<int32_t> kI32{spMaxI32, spMinI32, spMaxIndexI32, spMinIndexI32};
const Family<float> kF32{spMaxF32, spMinF32, spMaxIndexF32, spMinIndexF32};
const Family<double> kF64{spMaxF64, spMinF64, spMaxIndexF64, spMinIndexF64};

template <class T>
bool Same(T a, T b) {
  if constexpr (std::is_integral_v<T>)
    return a == b;
  else
    return Bits(a) == Bits(b);
}

// Every primitive of the family on v at the byte offset, against the first
// position of the largest and of the smallest element.
template <class T>
void ExpectFirstExtremes(const Family<T>& f, const std::vector<T>& v, int64_t offset) {
  PlacedArray<T> a(v, offset);
  const int32_t n = a.size();
  const auto maxAt = static_cast<int32_t>(std::max_element(v.begin(), v.end()) - v.begin());
  const auto minAt = static_cast<int32_t>(std::min_element(v.begin(), v.end()) - v.begin());
  T r{};
  int32_t index = -1;
  ASSERT_EQ(f.max(a.data(), n, &r), spOk);
  EXPECT_TRUE(Same(r, v[maxAt])) << "max n=" << n << " offset=" << offset;
  ASSERT_EQ(f.min(a.data(), n, &r), spOk);
  EXPECT_TRUE(Same(r, v[minAt])) << "min n=" << n << " offset=" << offset;
  ASSERT_EQ(f.maxIndex(a.data(), n, &r, &index), spOk);
  EXPECT_TRUE(Same(r, v[maxAt]));
  EXPECT_EQ(index, maxAt) << "max index n=" << n << " offset=" << offset;
  ASSERT_EQ(f.minIndex(a.data(), n, &r, &index), spOk);
  EXPECT_TRUE(Same(r, v[minAt]));
  EXPECT_EQ(index, minAt) << "min index n=" << n << " offset=" << offset;
}

template <class T>
void ExpectChecks(const Family<T>& f) {
  const T x[2] = {1, 2};
  struct Case {
    bool nullSrc, nullOut;
    int32_t n;
    spStatus expected;
  };
  for (const Case& c : {Case{true, false, 2, spErrNullPointer}, Case{false, true, 2, spErrNullPointer},
                        Case{true, false, 0, spErrNullPointer}, Case{false, true, -1, spErrNullPointer},
                        Case{false, false, 0, spErrLength}, Case{false, false, -3, spErrLength}}) {
    T out = 42;
    int32_t index = 42;
    const T* src = c.nullSrc ? nullptr : x;
    T* dst = c.nullOut ? nullptr : &out;
    EXPECT_EQ(f.max(src, c.n, dst), c.expected);
    EXPECT_EQ(f.min(src, c.n, dst), c.expected);
    EXPECT_EQ(f.maxIndex(src, c.n, dst, &index), c.expected);
    EXPECT_EQ(f.minIndex(src, c.n, dst, &index), c.expected);
    EXPECT_EQ(f.maxIndex(src, c.n, dst, nullptr), c.expected);
    EXPECT_EQ(out, T(42));
    EXPECT_EQ(index, 42);
  }
  // A null index gives the plain result and leaves the index alone.
  const T v[5] = {3, 9, 1, 9, 0};
  T out = 0;
  EXPECT_EQ(f.maxIndex(v, 5, &out, nullptr), spOk);
  EXPECT_EQ(out, T(9));
  EXPECT_EQ(f.minIndex(v, 5, &out, nullptr), spOk);
  EXPECT_EQ(out, T(0));
}

TEST_P(MinMaxTest, ArgumentChecksWriteNothing) {
  ExpectChecks(kI32);
  ExpectChecks(kF32);
  ExpectChecks(kF64);
}

TEST_P(MinMaxTest, ClosedFixtures) {
  const int32_t kLo = std::numeric_limits<int32_t>::min(), kHi = std::numeric_limits<int32_t>::max();
  const std::vector<std::vector<int32_t>> ints = {{5},
                                                  {-7},
                                                  {kLo},
                                                  {kHi, kHi},
                                                  {4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
                                                  {0, 1, 2, 8, 3, 4, 5, 8, 6},
                                                  {kLo, kLo, kLo, kLo, kLo, kLo, kLo, kLo, kLo, kLo, kLo},
                                                  {kHi, 0, kLo, kHi, kLo, 1, 2, 3, 4, 5, 6, 7}};
  for (const auto& v : ints) ExpectFirstExtremes(kI32, v, 0);
  const std::vector<std::vector<float>> floats = {
      {5}, {-0.5f}, {2, 2, 2, 2, 2, 2, 2, 2, 2}, {0, 1, 2, 8, 3, 4, 5, 8, 6}, {-1e30f, 1e30f, 3e-40f, -3e-40f}};
  for (const auto& v : floats) {
    ExpectFirstExtremes(kF32, v, 0);
    ExpectFirstExtremes(kF64, std::vector<double>(v.begin(), v.end()), 0);
  }
  int32_t index = -1;
  int32_t m = 0;
  const int32_t tied[9] = {0, 1, 2, 8, 3, 4, 5, 8, 6};
  ASSERT_EQ(spMaxIndexI32(tied, 9, &m, &index), spOk);
  EXPECT_EQ(index, 3);
}

// The generic set defines results for NaN and signed zeros.
TEST_P(MinMaxTest, GenericNaNAndSignedZeroRules) {
  if (SetIndex() != SP_SET_GENERIC) GTEST_SKIP() << "the SIMD sets give what their instructions give";
  const float nan = std::nanf("");
  struct Case {
    std::vector<float> v;
    bool max;
    bool resultNaN;
    float result;
    int32_t index;
  };
  for (const Case& c : {Case{{nan, 5}, true, true, 0, 0}, Case{{1, nan, 0.5f}, true, false, 1, 0},
                        Case{{1, nan, 3}, false, false, 3, 2}, Case{{1, 0.5f, nan}, false, true, 0, 2},
                        Case{{-0.0f, 0.0f}, true, false, -0.0f, 0}, Case{{0.0f, -0.0f}, false, false, 0.0f, 0}}) {
    const int32_t n = static_cast<int32_t>(c.v.size());
    const std::vector<double> d(c.v.begin(), c.v.end());
    float r = 0, ri = 0;
    double rd = 0, rdi = 0;
    int32_t index = -1, indexD = -1;
    if (c.max) {
      spMaxF32(c.v.data(), n, &r);
      spMaxIndexF32(c.v.data(), n, &ri, &index);
      spMaxF64(d.data(), n, &rd);
      spMaxIndexF64(d.data(), n, &rdi, &indexD);
    } else {
      spMinF32(c.v.data(), n, &r);
      spMinIndexF32(c.v.data(), n, &ri, &index);
      spMinF64(d.data(), n, &rd);
      spMinIndexF64(d.data(), n, &rdi, &indexD);
    }
    for (double got : {double(r), double(ri), rd, rdi}) {
      if (c.resultNaN) {
        EXPECT_TRUE(std::isnan(got));
      } else {
        EXPECT_EQ(got, c.result);
        EXPECT_EQ(std::signbit(got), std::signbit(c.result));
      }
    }
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(indexD, c.index);
  }
}

// NaN-free data: every set gives the generic value and first index, over
// many lengths and alignments, with the extreme placed at heads, around the
// 33/34 switch and the 2048-element blocks of the index search, and tied
// in two blocks.
TEST_P(MinMaxTest, FirstExtremeOverLengthsAlignmentsAndPositions) {
  std::mt19937 gen(99);
  std::vector<int32_t> lengths = ManyLengths();
  for (int32_t n : {2048 + 40, 2 * 2048 + 77, 10000}) lengths.push_back(n);
  for (int32_t n : lengths) {
    std::vector<float> f = Uniform<float>(n, -100.0, 100.0, 31u * n);
    std::vector<double> d = Uniform<double>(n, -100.0, 100.0, 37u * n);
    std::vector<int32_t> k(n);
    for (auto& x : k) x = static_cast<int32_t>(gen()) / 4;  // many distinct values
    // Extremes at a position that moves with n; a tie with a later copy.
    const int32_t at = static_cast<int32_t>((n * 7919LL) % n);
    f[at] = 500.0f;
    d[at] = 500.0;
    k[at] = std::numeric_limits<int32_t>::max();
    if (n > 2048 + at) {
      f[at + 2048] = 500.0f;
      d[at + 2048] = 500.0;
      k[at + 2048] = std::numeric_limits<int32_t>::max();
    }
    f[n - 1 - at] = std::min(f[n - 1 - at], -300.0f);
    for (int64_t offset : ElementOffsets()) {
      ExpectFirstExtremes(kF32, f, offset);
      ExpectFirstExtremes(kF64, d, offset * 2);
      ExpectFirstExtremes(kI32, k, offset);
    }
  }
  // Single extreme around the index-search switch and block boundaries.
  for (int32_t n : {33, 34, 35, 4200}) {
    for (int32_t at : {0, 1, 2, 3, 4, 5, 31, 32, 33, 2047, 2048, 2049, 2052, 4095, 4100, 4199}) {
      if (at >= n) continue;
      std::vector<float> f(n, 1.0f);
      f[at] = 2.0f;
      std::vector<float> g(n, 1.0f);
      g[at] = 0.5f;
      for (int64_t offset : ElementOffsets()) {
        ExpectFirstExtremes(kF32, f, offset);
        ExpectFirstExtremes(kF32, g, offset);
      }
    }
  }
}

// Arrays that are not element aligned are searched all the same.
TEST_P(MinMaxTest, ByteMisalignedSources) {
  for (int32_t n : {5, 40, 3000}) {
    auto f = Uniform<float>(n, -1.0, 1.0, 5u * n);
    auto d = Uniform<double>(n, -1.0, 1.0, 6u * n);
    std::vector<int32_t> k(n);
    for (int32_t i = 0; i < n; ++i) k[i] = (i * 7919) % 1000 - 500;
    for (int64_t offset : {1, 2, 3}) {
      ExpectFirstExtremes(kF32, f, offset);
      ExpectFirstExtremes(kF64, d, offset);
      ExpectFirstExtremes(kI32, k, offset);
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(MinMaxTest);

}  // namespace
