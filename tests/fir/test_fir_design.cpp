// FIR design under every variant set: taps against the windowed sinc in long
// double for every window and both parities, exact (anti)symmetry, gain after
// normalisation from the long-double frequency response, the checks in
// order, allocation failure, the cut-off at half the sample rate and
// cut-offs whose start phase rounds onto a full turn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fir_test_support.h"
#include "support/alloc_failure.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using namespace fir_test;
using vector_test::Bits;
using vector_test::PlacedArray;

class FirDesignTest : public VariantSetTest {};

using DesignFn = spStatus (*)(double, double*, int32_t, int32_t, int32_t);
struct Band {
  const char* name;
  bool highpass;
  DesignFn design;
};
const Band kBands[] = {{"low-pass", false, spFirLowpassTapsF64}, {"high-pass", true, spFirHighpassTapsF64}};
const int32_t kWindowKinds[] = {spFirWindowBartlett, spFirWindowBlackman, spFirWindowHamming, spFirWindowHann, 4, -1};

// Windowed sinc of the design, unnormalised.
std::vector<long double> Reference(bool highpass, long double f, int32_t len, int32_t kind) {
  std::vector<long double> h(len);
  for (int32_t n = 0; n < len; ++n) h[n] = SincTap(highpass, f, len, n) * WindowWeight(kind, len, n);
  return h;
}

// |H| at 0 (low-pass) or at half the sample rate (high-pass), in long double.
template <class T>
long double PassbandGain(bool highpass, const std::vector<T>& h) {
  long double sum = 0;
  for (size_t n = 0; n < h.size(); ++n) sum += (highpass && n % 2 == 1) ? -h[n] : h[n];
  return std::fabs(sum);
}

TEST_P(FirDesignTest, ChecksRunInOrderAndWriteNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Band& band : kBands) {
    SCOPED_TRACE(band.name);
    EXPECT_EQ(band.design(0.0, nullptr, 4, 3, 1), spErrNullPointer);
    std::vector<double> taps(9, 7.0);
    for (int32_t len : {4, 0, -5, INT32_MIN}) EXPECT_EQ(band.design(0.2, taps.data(), len, 3, 1), spErrLength);
    for (double f : {0.0, -0.1, 0.6, nan, std::nextafter(0.5, 1.0), std::numeric_limits<double>::infinity()})
      EXPECT_EQ(band.design(f, taps.data(), 9, 3, 1), spErrLength) << "f " << f;
    for (double v : taps) EXPECT_EQ(v, 7.0);
  }
  // A high-pass from half the sample rate up passes nothing.
  std::vector<double> taps(9, 7.0);
  EXPECT_EQ(spFirHighpassTapsF64(0.5, taps.data(), 9, 3, 0), spErrLength);
  for (double v : taps) EXPECT_EQ(v, 7.0);
}

// Every allocation of a design failing in turn: -8 (the design's own status
// for missing scratch), taps as they were, nothing kept; designs of both
// parities, at half the sample rate too.
TEST_P(FirDesignTest, AllocationFailureLeavesTapsUntouched) {
  for (const Band& band : kBands)
    for (int32_t len : {5, 8, 31})
      for (double f : {0.2, 0.5}) {
        if (band.highpass && f == 0.5) continue;
        SCOPED_TRACE(testing::Message() << band.name << " len " << len << " f " << f);
        const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
          std::vector<double> taps(len, 7.0);
          const int64_t live = spLiveAllocations();
          FailNthAllocation failure(k);
          const spStatus status = band.design(f, taps.data(), len, spFirWindowHamming, 1);
          EXPECT_EQ(spLiveAllocations(), live);
          if (!failure.Reached()) {
            EXPECT_EQ(status, spOk);
            return false;
          }
          EXPECT_EQ(status, spErrNullPointer);
          EXPECT_EQ(taps, std::vector<double>(len, 7.0));
          return true;
        });
        EXPECT_EQ(requests, 1);
      }
}

TEST_P(FirDesignTest, TapsAreTheWindowedSinc) {
  const double freqs[] = {0.01, 0.1, 0.2, 0.25, 0.3, 0.45, 0.499};
  for (const Band& band : kBands)
    for (int32_t len : {5, 6, 7, 8, 31, 32, 101, 128})
      for (int32_t kind : kWindowKinds)
        for (double f : freqs) {
          SCOPED_TRACE(testing::Message() << band.name << " len " << len << " window " << kind << " f " << f);
          std::vector<double> taps(len);
          ASSERT_EQ(band.design(f, taps.data(), len, kind, 0), spOk);
          const std::vector<long double> want = Reference(band.highpass, f, len, kind);
          for (int32_t n = 0; n < len; ++n) ASSERT_NEAR(taps[n], want[n], 1e-13) << "n " << n;
          const bool antisymmetric = band.highpass && len % 2 == 0;
          for (int32_t n = 0; n < len; ++n)
            ASSERT_EQ(Bits(taps[len - 1 - n]), Bits(antisymmetric ? -taps[n] : taps[n])) << "n " << n;
        }
}

TEST_P(FirDesignTest, NormalisedDesignsHaveUnitGainInTheirPassband) {
  for (const Band& band : kBands)
    for (int32_t len : {5, 6, 7, 8, 63, 64})
      for (int32_t kind : kWindowKinds)
        for (double f : {0.05, 0.2, 0.25, 0.4}) {
          SCOPED_TRACE(testing::Message() << band.name << " len " << len << " window " << kind << " f " << f);
          std::vector<double> taps(len);
          ASSERT_EQ(band.design(f, taps.data(), len, kind, 1), spOk);
          EXPECT_NEAR(PassbandGain(band.highpass, taps), 1.0L, 1e-14);
          // The same shape as the unnormalised design.
          const std::vector<long double> want = Reference(band.highpass, f, len, kind);
          const long double g = 1 / PassbandGain(band.highpass, want);
          for (int32_t n = 0; n < len; ++n) ASSERT_NEAR(taps[n], want[n] * g, 1e-13) << "n " << n;
        }
}

TEST_P(FirDesignTest, HalfBandLowpassHasZeroEvenTaps) {
  std::vector<double> taps(41);
  ASSERT_EQ(spFirLowpassTapsF64(0.25, taps.data(), 41, 4, 0), spOk);
  EXPECT_EQ(taps[20], 0.5);
  for (int32_t d = 2; d <= 20; d += 2) {
    EXPECT_NEAR(taps[20 - d], 0.0, 1e-16) << "distance " << d;
    EXPECT_NEAR(taps[20 + d], 0.0, 1e-16) << "distance " << d;
  }
  // Window kinds outside 0..3 give the same plain truncated sinc.
  std::vector<double> other(41);
  ASSERT_EQ(spFirLowpassTapsF64(0.25, other.data(), 41, -1, 0), spOk);
  for (int32_t n = 0; n < 41; ++n) EXPECT_EQ(Bits(other[n]), Bits(taps[n]));
}

TEST_P(FirDesignTest, LowpassAtHalfTheSampleRatePassesEverything) {
  for (int32_t len : {5, 6, 9, 32})
    for (int32_t kind : kWindowKinds) {
      SCOPED_TRACE(testing::Message() << "len " << len << " window " << kind);
      std::vector<double> taps(len, 7.0);
      ASSERT_EQ(spFirLowpassTapsF64(0.5, taps.data(), len, kind, 0), spOk);
      const std::vector<long double> want = Reference(false, 0.5L, len, kind);
      for (int32_t n = 0; n < len; ++n) ASSERT_NEAR(taps[n], want[n], 1e-15) << "n " << n;
      if (len % 2 == 1) {
        for (int32_t n = 0; n < len; ++n) EXPECT_EQ(taps[n], n == len / 2 ? 1.0 : 0.0) << "n " << n;
      }
      ASSERT_EQ(spFirLowpassTapsF64(0.5, taps.data(), len, kind, 1), spOk);
      EXPECT_NEAR(PassbandGain(false, taps), 1.0L, 1e-14);
    }
}

TEST_P(FirDesignTest, CutoffsWhoseStartPhaseRoundsToAFullTurn) {
  // f + 0.75 (odd low-pass) and 1.5 + f (even low-pass) round up to 1 and 2
  // for cut-offs just below 0.25 and 0.5; the taps must still be the sinc.
  const struct {
    double f;
    int32_t len;
  } cases[] = {{std::nextafter(0.25, 0.0), 31}, {std::nextafter(0.5, 0.0), 32}, {std::nextafter(0.5, 0.0), 33}};
  for (const auto& c : cases)
    for (const Band& band : kBands) {
      SCOPED_TRACE(testing::Message() << band.name << " len " << c.len << " f " << c.f);
      std::vector<double> taps(c.len, 7.0);
      ASSERT_EQ(band.design(c.f, taps.data(), c.len, spFirWindowHann, 0), spOk);
      const std::vector<long double> want = Reference(band.highpass, c.f, c.len, spFirWindowHann);
      for (int32_t n = 0; n < c.len; ++n) ASSERT_NEAR(taps[n], want[n], 1e-13) << "n " << n;
    }
}

TEST_P(FirDesignTest, WritesExactlyTheTapsWhereverTheyStart) {
  for (const Band& band : kBands)
    for (int32_t kind : kWindowKinds)
      for (int32_t len : {5, 8, 33}) {
        std::vector<double> want(len);
        ASSERT_EQ(band.design(0.17, want.data(), len, kind, 1), spOk);
        for (int64_t offset : {0, 1, 4, 8, 12, 13}) {
          PlacedArray<double> taps(len, offset);
          ASSERT_EQ(band.design(0.17, taps.data(), len, kind, 1), spOk);
          const std::vector<double> got = taps.Get();
          for (int32_t n = 0; n < len; ++n) ASSERT_EQ(Bits(got[n]), Bits(want[n])) << band.name << " offset " << offset;
          EXPECT_TRUE(taps.GuardsIntact());
        }
      }
}

SP_INSTANTIATE_FOR_ALL_SETS(FirDesignTest);

}  // namespace
