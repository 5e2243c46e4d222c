// The four direct segment kernels and the direct autocorrelation of every
// variant set, called directly: each value against its long-double sum, the
// shrinking windows down to one term, the plain-loop limits of the vector
// sets, outputs at every byte address with guards around them, exact small
// integers, and the double kernels of the generic and SSE sets, which are
// the same code, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using corr_test::SetKernels;
using vector_test::PlacedArray;

enum class Kind { kFull, kFullRev, kPartialUp, kPartialDown };
const Kind kKinds[] = {Kind::kFull, Kind::kFullRev, Kind::kPartialUp, Kind::kPartialDown};

// The x elements a kernel reads: x[xFirst .. xFirst + xCount).
struct Reads {
  int64_t xFirst, xCount;
};
Reads ReadsOf(Kind kind, int32_t win, int32_t count) {
  switch (kind) {
    case Kind::kFull: return {0, int64_t{count} + win - 1};
    case Kind::kFullRev: return {-(int64_t{count} - 1), int64_t{count} + win - 1};
    default: return {0, win};
  }
}

// Value k of the kernel's contract, in memory order of the outputs.
template <class T>
long double Expected(Kind kind, const T* x, const std::vector<T>& y, int32_t win, int32_t k) {
  long double s = 0;
  switch (kind) {
    case Kind::kFull:
      for (int32_t j = 0; j < win; ++j) s += static_cast<long double>(y[j]) * x[j + k];
      break;
    case Kind::kFullRev:
      for (int32_t j = 0; j < win; ++j) s += static_cast<long double>(x[j - k]) * y[j];
      break;
    case Kind::kPartialUp:
    case Kind::kPartialDown:
      for (int32_t j = 0; j < win - k; ++j) s += static_cast<long double>(y[j]) * x[j + k];
      break;
  }
  return s;
}

template <class T>
corr_test::SegmentFn<T> KernelOf(Kind kind, int set) {
  switch (kind) {
    case Kind::kFull: return SetKernels<T>::full[set];
    case Kind::kFullRev: return SetKernels<T>::fullRev[set];
    case Kind::kPartialUp: return SetKernels<T>::partialUp[set];
    default: return SetKernels<T>::partialDown[set];
  }
}

// Runs one kernel with x, y and the outputs at the given byte offsets and
// returns the outputs in memory order (k = 0 first, also for the kernel
// that writes downwards); guards around the outputs must hold.
template <class T>
std::vector<T> RunKernel(Kind kind, int set, const std::vector<T>& xv, const std::vector<T>& y, int32_t win,
                         int32_t count, int64_t offset) {
  const Reads reads = ReadsOf(kind, win, count);
  PlacedArray<T> x(xv, (offset * 3) % 16), yy(y, (offset * 7) % 16), out(count, offset);
  T* xStart = x.data() - reads.xFirst;
  T* outArg = kind == Kind::kPartialDown ? out.data() + (count - 1) : out.data();
  KernelOf<T>(kind, set)(xStart, yy.data(), win, outArg, count);
  EXPECT_TRUE(out.GuardsIntact());
  std::vector<T> got = out.Get();
  if (kind == Kind::kPartialDown) std::reverse(got.begin(), got.end());
  return got;
}

struct Shape {
  int32_t win, count;
};
// Plain-loop limits of the vector sets (window 6/7, count 3/4 double, 5/6
// float), one output, count = window (down to a one-term value), a window
// shrinking below the block, wide passes and their leftovers.
const Shape kShapes[] = {{1, 1},  {2, 1},   {3, 3},   {6, 6},   {7, 7},    {7, 4},    {7, 3},   {6, 20},
                         {7, 5},  {7, 6},   {8, 8},   {9, 4},   {11, 11},  {12, 12},  {13, 13}, {14, 14},
                         {14, 9}, {40, 17}, {40, 33}, {64, 64}, {100, 37}, {300, 299}};

template <class T>
class SegmentKernelTest : public VariantSetTest {
 protected:
  void CheckShapes() {
    for (Kind kind : kKinds) {
      for (const Shape& s : kShapes) {
        const bool partial = kind == Kind::kPartialUp || kind == Kind::kPartialDown;
        const int32_t count = partial ? std::min(s.count, s.win) : s.count;
        const Reads reads = ReadsOf(kind, s.win, count);
        const auto x = corr_test::Signal<T>(reads.xCount, 3 + s.win);
        const auto y = corr_test::Signal<T>(s.win, 5 + count);
        const auto xi = corr_test::SmallIntegers<T>(reads.xCount, 7 + s.win);
        const auto yi = corr_test::SmallIntegers<T>(s.win, 9 + count);
        for (int64_t offset : {0, 1, 4, 8, 12}) {
          SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " win " << s.win << " count " << count
                                          << " offset " << offset);
          const std::vector<T> got = RunKernel(kind, SetIndex(), x, y, s.win, count, offset);
          const std::vector<T> exact = RunKernel(kind, SetIndex(), xi, yi, s.win, count, offset);
          for (int32_t k = 0; k < count; ++k) {
            const T* xAt = x.data() - reads.xFirst;
            long double scale = 0;
            for (T v : y) scale += std::fabs(static_cast<long double>(v));
            EXPECT_NEAR(got[k], Expected(kind, xAt, y, s.win, k), 4 * std::numeric_limits<T>::epsilon() * scale)
                << "k " << k;
            EXPECT_EQ(exact[k], static_cast<T>(Expected(kind, xi.data() - reads.xFirst, yi, s.win, k))) << "k " << k;
          }
        }
      }
    }
  }
};
using SegmentKernelF64Test = SegmentKernelTest<double>;
using SegmentKernelF32Test = SegmentKernelTest<float>;

TEST_P(SegmentKernelF64Test, EveryShapeAgainstReference) { CheckShapes(); }
TEST_P(SegmentKernelF32Test, EveryShapeAgainstReference) { CheckShapes(); }

// The double kernels of the SSE set are the generic code, bit for bit.
TEST(SegmentKernelSets, DoubleSseIsTheGenericCode) {
  for (Kind kind : kKinds) {
    for (const Shape& s : kShapes) {
      const int32_t count = kind == Kind::kFull || kind == Kind::kFullRev ? s.count : std::min(s.count, s.win);
      const Reads reads = ReadsOf(kind, s.win, count);
      const auto x = corr_test::Signal<double>(reads.xCount, 1);
      const auto y = corr_test::Signal<double>(s.win, 2);
      EXPECT_EQ(RunKernel(kind, corr_test::kGeneric, x, y, s.win, count, 0),
                RunKernel(kind, corr_test::kSse, x, y, s.win, count, 0));
    }
  }
}

// The SSE3 and SSSE3 sets run one direct autocorrelation, bit for bit.
TEST(AutoCorrDirectSets, Sse3IsTheSsse3Code) {
  if (!spVariantSetSupported(corr_test::kSsse3)) GTEST_SKIP() << "processor lacks SSSE3";
  for (int32_t srcLen : {7, 64, 301}) {
    for (int64_t offset : {0, 4, 6}) {
      const auto src = corr_test::Signal<float>(srcLen, 9);
      PlacedArray<float> s(src, offset), d3(srcLen, 0), d4(srcLen, 0);
      corr_test::kAutoCorrDirect[corr_test::kSse3](s.data(), srcLen, d3.data(), srcLen);
      corr_test::kAutoCorrDirect[corr_test::kSsse3](s.data(), srcLen, d4.data(), srcLen);
      EXPECT_EQ(d3.Get(), d4.Get()) << "srcLen " << srcLen << " offset " << offset;
    }
  }
}

class AutoCorrDirectTest : public VariantSetTest {};

// dst[k] = sum of src[j] src[j + k]; lags = srcLen ends with src[0] src[n-1];
// fewer lags leave the rest of dst alone.
TEST_P(AutoCorrDirectTest, LagSumsAgainstReference) {
  for (int32_t srcLen : {1, 5, 6, 7, 8, 9, 10, 11, 12, 31, 100, 257}) {
    for (int32_t lags : {1, 5, 6, 7, srcLen / 2 + 1, srcLen}) {
      if (lags > srcLen) continue;
      const auto src = corr_test::Signal<float>(srcLen, srcLen);
      const auto srcInt = corr_test::SmallIntegers<float>(srcLen, srcLen + 1);
      for (int64_t offset : {0, 2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "srcLen " << srcLen << " lags " << lags << " offset " << offset);
        PlacedArray<float> s(src, offset), si(srcInt, offset), dst(lags, (offset * 5) % 16), dsti(lags, offset);
        corr_test::kAutoCorrDirect[SetIndex()](s.data(), srcLen, dst.data(), lags);
        corr_test::kAutoCorrDirect[SetIndex()](si.data(), srcLen, dsti.data(), lags);
        EXPECT_TRUE(dst.GuardsIntact());
        const auto got = dst.Get(), gotInt = dsti.Get();
        for (int32_t k = 0; k < lags; ++k) {
          EXPECT_NEAR(got[k], corr_test::CrossRef(src, src, k), 8 * std::numeric_limits<float>::epsilon() * srcLen)
              << "k " << k;
          EXPECT_EQ(gotInt[k], static_cast<float>(corr_test::CrossRef(srcInt, srcInt, k))) << "k " << k;
        }
        if (lags == srcLen) {
          EXPECT_EQ(gotInt[srcLen - 1], srcInt[0] * srcInt[srcLen - 1]);
        }
      }
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(SegmentKernelF64Test);
SP_INSTANTIATE_FOR_ALL_SETS(SegmentKernelF32Test);
SP_INSTANTIATE_FOR_ALL_SETS(AutoCorrDirectTest);

}  // namespace
