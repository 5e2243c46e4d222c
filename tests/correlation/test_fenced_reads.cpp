// Every array a correlation kernel touches, placed against an inaccessible
// page on either side (support/fenced_array.h), at the tail lengths where
// vector code ends: a load or store one element outside its range crashes
// the test. The direct segment kernels of both precisions, the direct
// autocorrelation, the compact drivers and the compact conjugate product,
// in every set, each result also held
// against a long-double reference so that a fenced run cannot pass by
// computing nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "support/fenced_array.h"
#include "support/variant_sets.h"

namespace {

using corr_test::SetKernels;

template <class T>
double Eps() {
  return std::numeric_limits<T>::epsilon();
}

// The fence itself: one element past either end is a crash, the elements
// inside are not.
TEST(FencedArrayDeathTest, OneElementOutsideCrashes) {
  FencedArray<float> after(std::vector<float>(5, 1.0f), Fence::kAfter);
  FencedArray<float> before(std::vector<float>(5, 2.0f), Fence::kBefore);
  const volatile float* a = after.data();
  const volatile float* b = before.data();
  EXPECT_EQ(a[0] + a[4] + b[0] + b[4], 6.0f);
  EXPECT_DEATH((void)a[5], "");
  EXPECT_DEATH((void)b[-1], "");
}

class FencedCorrelationTest : public VariantSetTest {
 protected:
  // The four segment kernels over x[xFirst .. xFirst + xCount) and y[0 ..
  // win), every array fenced on one side, windows and counts around the
  // vector widths and the plain-loop limits.
  template <class T>
  void SegmentKernels() {
    using Fn = corr_test::SegmentFn<T>;
    const Fn kernels[] = {SetKernels<T>::full[SetIndex()], SetKernels<T>::fullRev[SetIndex()],
                          SetKernels<T>::partialUp[SetIndex()], SetKernels<T>::partialDown[SetIndex()]};
    for (int kind = 0; kind < 4; ++kind) {
      const bool partial = kind >= 2;
      for (int32_t win = 1; win <= 21; ++win) {
        for (int32_t count = 1; count <= 21; ++count) {
          if (partial && count > win) continue;
          const int64_t xCount = partial ? win : int64_t{count} + win - 1;
          const int64_t xFirst = kind == 1 ? -(int64_t{count} - 1) : 0;  // FullRev reads below x
          const auto xv = corr_test::Signal<T>(xCount, win * 31 + count);
          const auto yv = corr_test::Signal<T>(win, win + 7 * count);
          for (Fence fence : kBothFences) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << kind << " win " << win << " count " << count << FenceName(fence));
            FencedArray<T> x(xv, fence), y(yv, fence), out(count, fence);
            T* outArg = kind == 3 ? out.data() + (count - 1) : out.data();
            kernels[kind](x.data() - xFirst, y.data(), win, outArg, count);
            for (int32_t k = 0; k < count; ++k) {
              // Output k in memory order: value k, or value count-1-k of
              // the downward-writing kernels.
              const int32_t value = kind == 3 ? count - 1 - k : k;
              long double want = 0, scale = 0;
              const int32_t terms = partial ? win - value : win;
              for (int32_t j = 0; j < terms; ++j) {
                const long double p = kind == 1 ? static_cast<long double>(xv[j - value - xFirst]) * yv[j]
                                                : static_cast<long double>(yv[j]) * xv[j + value];
                want += p;
                scale += std::fabs(p);
              }
              ASSERT_NEAR(out.data()[k], want, 4 * Eps<T>() * (scale + 1e-30L)) << "output " << k;
            }
          }
        }
      }
    }
  }
};

TEST_P(FencedCorrelationTest, SegmentKernelsReadOnlyTheirRanges) {
  SegmentKernels<float>();
  SegmentKernels<double>();
}

TEST_P(FencedCorrelationTest, DirectAutoCorrelationReadsOnlyTheSignal) {
  for (int32_t srcLen = 1; srcLen <= 40; ++srcLen) {
    const auto src = corr_test::Signal<float>(srcLen, 300 + srcLen);
    for (int32_t lags : {1, 5, 6, 7, (srcLen + 1) / 2, srcLen - 1, srcLen}) {
      if (lags < 1 || lags > srcLen) continue;
      for (Fence fence : kBothFences) {
        SCOPED_TRACE(testing::Message() << "srcLen " << srcLen << " lags " << lags << FenceName(fence));
        FencedArray<float> s(src, fence), dst(lags, fence);
        corr_test::kAutoCorrDirect[SetIndex()](s.data(), srcLen, dst.data(), lags);
        for (int32_t k = 0; k < lags; ++k)
          ASSERT_NEAR(dst.data()[k], corr_test::CrossRef(src, src, k), 8 * Eps<float>() * srcLen) << "k " << k;
      }
    }
  }
}

// Orders 0 to 10 of the compact drivers, out of place and in place, then
// back: the scaled inverse returns the input.
template <class T>
void CompactDrivers(int set) {
  for (int32_t order = 0; order <= 10; ++order) {
    const int64_t n = int64_t{1} << order;
    REALFFTSPEC* spec = nullptr;
    ASSERT_EQ(corr_test::SpecBuild<T>::init[set](&spec, order, REALFFT_DIV_INV_BY_N, 0), spOk);
    const auto xv = corr_test::Signal<T>(n, 500 + order);
    for (Fence fence : kBothFences) {
      SCOPED_TRACE(testing::Message() << "order " << order << FenceName(fence));
      FencedArray<T> x(xv, fence), spectrum(n, fence), back(n, fence);
      ASSERT_EQ(SetKernels<T>::forward[set](x.data(), spectrum.data(), spec, nullptr), spOk);
      EXPECT_EQ(x.Get(), xv) << "a separate source stays as it was";
      ASSERT_EQ(SetKernels<T>::inverse[set](spectrum.data(), back.data(), spec, nullptr), spOk);
      ASSERT_EQ(SetKernels<T>::forward[set](back.data(), back.data(), spec, nullptr), spOk);
      ASSERT_EQ(SetKernels<T>::inverse[set](back.data(), back.data(), spec, nullptr), spOk);
      for (int64_t i = 0; i < n; ++i) ASSERT_NEAR(back.data()[i], xv[i], 8 * Eps<T>() * (order + 1)) << "i " << i;
    }
    corr_test::SpecBuild<T>::free[set](spec);
  }
}

TEST_P(FencedCorrelationTest, CompactDriversReadOnlyTheirArrays) {
  CompactDrivers<float>(SetIndex());
  CompactDrivers<double>(SetIndex());
}

// srcDst = src * conj(srcDst) over 1 .. 24 values (bins R0, pairs, and
// R(N/2) for even n).
template <class T>
void ConjugateProduct(int set) {
  for (int32_t n = 1; n <= 24; ++n) {
    const auto a = corr_test::Signal<T>(n, 70 + n), b = corr_test::Signal<T>(n, 90 + n);
    for (Fence fence : kBothFences) {
      SCOPED_TRACE(testing::Message() << "n " << n << FenceName(fence));
      FencedArray<T> src(a, fence), srcDst(b, fence);
      ASSERT_EQ(SetKernels<T>::mulConj[set](src.data(), srcDst.data(), n), spOk);
      const T* got = srcDst.data();
      ASSERT_NEAR(got[0], static_cast<long double>(a[0]) * b[0], Eps<T>());
      if (n % 2 == 0) {
        ASSERT_NEAR(got[n - 1], static_cast<long double>(a[n - 1]) * b[n - 1], Eps<T>());
      }
      for (int32_t p = 1; p + 1 < n; p += 2) {
        const long double re = static_cast<long double>(a[p]) * b[p] + static_cast<long double>(a[p + 1]) * b[p + 1];
        const long double im = static_cast<long double>(a[p + 1]) * b[p] - static_cast<long double>(a[p]) * b[p + 1];
        ASSERT_NEAR(got[p], re, 4 * Eps<T>()) << "slot " << p;
        ASSERT_NEAR(got[p + 1], im, 4 * Eps<T>()) << "slot " << p + 1;
      }
    }
  }
}

TEST_P(FencedCorrelationTest, ConjugateProductReadsOnlyItsArrays) {
  ConjugateProduct<float>(SetIndex());
  ConjugateProduct<double>(SetIndex());
}

SP_INSTANTIATE_FOR_ALL_SETS(FencedCorrelationTest);

}  // namespace
