// Biased and unbiased autocorrelation in every variant set against a naive
// long-double autocorrelation: fewer and more lags than samples, the
// direct/FFT switch at each set's threshold, statuses in their order, and
// allocation failure on every path leaving dst as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "primitives/correlation/sp_correlation.h"
#include "support/variant_sets.h"

namespace {

using corr_test::CrossAbsRef;
using corr_test::CrossRef;
using corr_test::Path;
using corr_test::PathTaken;

enum class Estimate { kBiased, kUnbiased };

spStatus AutoCorr(Estimate e, const float* src, int32_t srcLen, float* dst, int32_t dstLen) {
  return e == Estimate::kBiased ? spAutoCorrBiasedF32(src, srcLen, dst, dstLen)
                                : spAutoCorrUnbiasedF32(src, srcLen, dst, dstLen);
}

class AutoCorrTest : public VariantSetTest {
 protected:
  int32_t FftLags() const {
    switch (SetIndex()) {
      case corr_test::kGeneric: return 600;
      case corr_test::kSse: return 700;
      default: return 856;
    }
  }
  // Every lag (or every stride-th and the last) against the reference
  // scaled as the estimate scales it, and exact zeros after the lags.
  void Check(Estimate e, const std::vector<float>& src, int32_t dstLen, int32_t stride = 1) {
    const int32_t srcLen = static_cast<int32_t>(src.size());
    SCOPED_TRACE(testing::Message() << "srcLen " << srcLen << " dstLen " << dstLen << " unbiased "
                                    << (e == Estimate::kUnbiased));
    std::vector<float> dst(dstLen + 1, 7.0f);
    ASSERT_EQ(AutoCorr(e, src.data(), srcLen, dst.data(), dstLen), spOk);
    EXPECT_EQ(dst[dstLen], 7.0f);
    long double energy = 0;
    for (float v : src) energy += static_cast<long double>(v) * v;
    const int32_t lags = std::min(srcLen, dstLen);
    std::vector<int32_t> checked;
    for (int32_t k = 0; k < dstLen; k += stride) checked.push_back(k);
    if (checked.back() != dstLen - 1) checked.push_back(dstLen - 1);
    for (int32_t k : checked) {
      if (k >= lags) {
        EXPECT_EQ(dst[k], 0.0f) << "k " << k;
        continue;
      }
      const long double divisor = e == Estimate::kBiased ? srcLen : srcLen - k;
      const long double tol =
          32 * std::numeric_limits<float>::epsilon() * (CrossAbsRef(src, src, k) + energy * std::log2(2.0 * srcLen));
      EXPECT_NEAR(dst[k], CrossRef(src, src, k) / divisor, tol / divisor) << "k " << k;
    }
  }
};

TEST_P(AutoCorrTest, LagsAgainstReference) {
  const struct {
    int32_t srcLen, dstLen;
  } cases[] = {{1, 1},     {1, 4},     {5, 3},     {7, 6},      {11, 11},   {40, 100},   {100, 40},
               {300, 300}, {599, 599}, {600, 600}, {700, 1000}, {900, 900}, {1000, 870}, {1024, 2000}};
  for (const auto& c : cases) {
    const auto src = corr_test::Signal<float>(c.srcLen, c.srcLen);
    Check(Estimate::kBiased, src, c.dstLen);
    Check(Estimate::kUnbiased, src, c.dstLen);
  }
}

// Transforms of orders 13 to 19 (2 srcLen points), a spread of lags; order
// 19 runs the compact drivers through the large paths of the SSE3 and
// SSSE3 sets and the SSSE3 radix rows.
TEST_P(AutoCorrTest, LongSignalsAgainstReference) {
  const struct { int32_t srcLen, dstLen; } cases[] = {{4097, 4200}, {20000, 1500}, {65536, 65536}, {200000, 1000}};
  for (const auto& c : cases) {
    const auto src = corr_test::Signal<float>(c.srcLen, c.srcLen);
    Check(Estimate::kBiased, src, c.dstLen, 97);
    Check(Estimate::kUnbiased, src, c.dstLen, 97);
  }
}

// srcLen 1: both estimates give src[0]^2. The last unbiased lag of small
// integers is exactly src[0] * src[n-1], divided by 1.
TEST_P(AutoCorrTest, SingleSampleAndLastUnbiasedLag) {
  const float one[1] = {-3.0f};
  float dst[2] = {5.0f, 5.0f};
  ASSERT_EQ(spAutoCorrBiasedF32(one, 1, dst, 2), spOk);
  EXPECT_EQ(dst[0], 9.0f);
  EXPECT_EQ(dst[1], 0.0f);
  ASSERT_EQ(spAutoCorrUnbiasedF32(one, 1, dst, 1), spOk);
  EXPECT_EQ(dst[0], 9.0f);
  for (int32_t n : {9, 300, FftLags() + 3}) {
    const auto src = corr_test::SmallIntegers<float>(n, n);
    std::vector<float> out(n + 5);
    ASSERT_EQ(spAutoCorrUnbiasedF32(src.data(), n, out.data(), n + 5), spOk);
    EXPECT_NEAR(out[n - 1], src[0] * src[n - 1], 1e-3) << "n " << n;
  }
}

// lags = T - 1 sums directly, lags = T runs the FFT, whichever limits lags
// (the signal or dst); both agree with the reference.
TEST_P(AutoCorrTest, DirectOrFftAtTheSetsThreshold) {
  const int32_t t = FftLags();
  const struct {
    int32_t srcLen, dstLen;
    Path want;
  } cases[] = {{t - 1, t - 1, Path::kDirect},  {t, t, Path::kFft},
               {t + 50, t - 1, Path::kDirect}, {t + 50, t, Path::kFft},
               {t - 1, t + 9, Path::kDirect},  {t, t + 9, Path::kFft}};
  for (const auto& c : cases) {
    const auto src = corr_test::Signal<float>(c.srcLen, 77);
    std::vector<float> dst(c.dstLen);
    for (Estimate e : {Estimate::kBiased, Estimate::kUnbiased}) {
      // The unbiased estimate first takes its divisors on either path.
      const int64_t fftRequest = e == Estimate::kUnbiased ? 2 : 1;
      EXPECT_EQ(PathTaken([&] { return AutoCorr(e, src.data(), c.srcLen, dst.data(), c.dstLen); }, fftRequest), c.want)
          << "srcLen " << c.srcLen << " dstLen " << c.dstLen;
      Check(e, src, c.dstLen);
    }
  }
}

TEST_P(AutoCorrTest, StatusesInOrderWriteNothing) {
  const std::vector<float> src(4, 1.0f);
  for (Estimate e : {Estimate::kBiased, Estimate::kUnbiased}) {
    std::vector<float> dst(4, 7.0f);
    EXPECT_EQ(AutoCorr(e, nullptr, 4, dst.data(), 4), spErrNullPointer);
    EXPECT_EQ(AutoCorr(e, src.data(), 4, nullptr, 0), spErrNullPointer);
    EXPECT_EQ(AutoCorr(e, nullptr, 0, nullptr, -1), spErrNullPointer);
    EXPECT_EQ(AutoCorr(e, src.data(), 0, dst.data(), 4), spErrLength);
    EXPECT_EQ(AutoCorr(e, src.data(), 4, dst.data(), 0), spErrLength);
    EXPECT_EQ(AutoCorr(e, src.data(), INT32_MIN, dst.data(), 4), spErrLength);
    EXPECT_EQ(dst, std::vector<float>(4, 7.0f));
  }
}

// Every allocation of either estimate failing in turn, on both paths: -9,
// dst as it was (the unbiased divisors are taken before any sum is
// written), or, for an optional work block, the full result; nothing left
// allocated either way.
TEST_P(AutoCorrTest, AllocationFailureLeavesDstUntouched) {
  for (int32_t srcLen : {50, FftLags() + 10}) {
    const auto src = corr_test::Signal<float>(srcLen, 3);
    for (Estimate e : {Estimate::kBiased, Estimate::kUnbiased}) {
      std::vector<float> reference(srcLen + 3);
      ASSERT_EQ(AutoCorr(e, src.data(), srcLen, reference.data(), srcLen + 3), spOk);
      const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
        std::vector<float> dst(srcLen + 3, 5.0f);
        const int64_t live = spLiveAllocations();
        FailNthAllocation failure(k);
        const spStatus status = AutoCorr(e, src.data(), srcLen, dst.data(), srcLen + 3);
        EXPECT_EQ(spLiveAllocations(), live);
        if (status == spOk) {
          EXPECT_EQ(dst, reference) << "request " << k << " srcLen " << srcLen;
          return failure.Reached();
        }
        EXPECT_EQ(status, spErrNoMemory) << "request " << k << " srcLen " << srcLen;
        EXPECT_EQ(dst, std::vector<float>(srcLen + 3, 5.0f)) << "request " << k << " srcLen " << srcLen;
        return true;
      });
      const bool fft = srcLen >= FftLags();
      EXPECT_EQ(requests > 0, fft || e == Estimate::kUnbiased) << "srcLen " << srcLen;
    }
  }
}

// Two million samples at 100 lags still sum directly. Adding every product
// straight into one float running sum drifts by about 1e-3 of the power
// there; combining a few products before they meet the running sum keeps
// every lag within 1e-5 of it. The cross-correlation of the first two
// million samples with all of them runs the fixed-window kernel that way.
TEST_P(AutoCorrTest, LongSignalDirectSumsStayAccurate) {
  constexpr int32_t kLen = 2'000'000, kLags = 100, kExtra = 200;
  static const auto src = corr_test::Signal<float>(kLen + kExtra, 2024);
  // Lag k over the first kLen samples alone (auto) or reaching into the
  // extra ones (cross).
  static const auto reference = [](bool cross) {
    std::vector<double> r(kLags);
    for (int32_t k = 0; k < kLags; ++k) {
      long double s = 0;
      for (int32_t n = 0; n < kLen && (cross || n + k < kLen); ++n) s += static_cast<long double>(src[n]) * src[n + k];
      r[k] = static_cast<double>(s);
    }
    return r;
  };
  static const std::vector<double> autoRef = reference(false), crossRef = reference(true);
  const double power = autoRef[0];
  const auto worstError = [&](const std::vector<float>& got, double scale, const std::vector<double>& want) {
    double worst = 0;
    for (int32_t k = 0; k < kLags; ++k) worst = std::max(worst, std::fabs(got[k] * scale - want[k]) / power);
    return worst;
  };
  std::vector<float> dst(kLags);
  ASSERT_EQ(spAutoCorrBiasedF32(src.data(), kLen, dst.data(), kLags), spOk);
  EXPECT_LT(worstError(dst, kLen, autoRef), 1e-5) << "autocorrelation";
  ASSERT_EQ(spCrossCorrF32(src.data(), kLen, src.data(), kLen + kExtra, dst.data(), kLags, 0), spOk);
  EXPECT_LT(worstError(dst, 1.0, crossRef), 1e-5) << "cross-correlation";
}

// 2 srcLen above 2^30 needs a transform above order 30: -15, no transform
// built, dst untouched; the signal is never read on that path.
TEST_P(AutoCorrTest, SignalBeyondLargestOrder) {
  const float src[1] = {1.0f};
  std::vector<float> dst(1000, 3.0f);
  EXPECT_EQ(spAutoCorrBiasedF32(src, (1 << 30) + 1, dst.data(), 1000), spErrFftOrder);
  EXPECT_EQ(spAutoCorrUnbiasedF32(src, (1 << 30) + 1, dst.data(), 1000), spErrFftOrder);
  EXPECT_EQ(dst, std::vector<float>(1000, 3.0f));
}

SP_INSTANTIATE_FOR_ALL_SETS(AutoCorrTest);

}  // namespace
