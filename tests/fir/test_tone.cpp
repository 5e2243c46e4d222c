// Tone generator of every variant set against mag cos(phi0 + 2 pi f n) in long
// double, its checks in order, the phase it hands on, the bit-identical plain
// method across the sets and the restart of the block method.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fir_test_support.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using fir_test::kPi;
using fir_test::kTone;
using vector_test::Bits;
using vector_test::PlacedArray;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEps = std::numeric_limits<double>::epsilon();

class ToneTest : public VariantSetTest {
 protected:
  spStatus Tone(double* dst, int32_t len, double mag, double f, double* phase, int32_t hint) const {
    return kTone[SetIndex()](dst, len, mag, f, phase, hint);
  }
  bool HasBlockMethod() const { return SetIndex() >= SP_SET_SSE2; }
};

// Rounding of a recurrence of step s over k steps grows with k and with
// 1/|sin s| (the recurrence's amplification); the rounded step w moves
// sample n by about n w eps.
double Tolerance(double mag, double f, int64_t n, bool blocks) {
  const int64_t k = blocks ? n % 2048 : n;
  const double s = std::fabs(std::sin(4 * M_PI * f));
  const double gain = s > 0 ? std::min<double>(k + 1, 1 / s) : k + 1;
  return 32 * kEps * mag * (4 + (k + 1) * gain + (n + 1) * 2 * M_PI * f);
}

long double Reference(double mag, double f, double phi0, int64_t n) {
  return mag * std::cos(static_cast<long double>(phi0) + 2 * kPi * f * n);
}

TEST_P(ToneTest, ChecksRunInOrderAndWriteNothing) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  struct Case {
    double* phase;
    double mag, f, phi0;
    bool nullDst;
    int32_t len;
    spStatus want;
  };
  double phase = 1.0;
  const Case cases[] = {
      {nullptr, 0.0, kNaN, kNaN, true, 0, spErrNullPointer},  // the phase pointer comes first
      {&phase, 0.0, 1.0, kNaN, true, 0, spErrToneMagnitude},  // values before dst
      {&phase, -1.0, 0.1, 1.0, false, 4, spErrToneMagnitude},  {&phase, kNaN, 0.1, 1.0, false, 4, spErrToneMagnitude},
      {&phase, 1.0, -tiny, 1.0, false, 4, spErrToneFrequency}, {&phase, 1.0, 0.5, 1.0, false, 4, spErrToneFrequency},
      {&phase, 1.0, kNaN, 1.0, false, 4, spErrToneFrequency},  // a NaN frequency is refused
      {&phase, 1.0, 0.6, kNaN, true, 0, spErrToneFrequency},   {&phase, 1.0, 0.1, -tiny, false, 4, spErrTonePhase},
      {&phase, 1.0, 0.1, kTwoPi, false, 4, spErrTonePhase},    {&phase, 1.0, 0.1, kNaN, true, 0, spErrTonePhase},
      {&phase, 1.0, 0.1, 1.0, true, 4, spErrNullPointer},      {&phase, 1.0, 0.1, 1.0, false, 0, spErrLength},
      {&phase, 1.0, 0.1, 1.0, false, INT32_MIN, spErrLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mag " << c.mag << " f " << c.f << " phi0 " << c.phi0 << " len " << c.len);
    for (int32_t hint : {0, 1, 2}) {
      std::vector<double> dst(4, 7.0);
      phase = c.phi0;
      EXPECT_EQ(Tone(c.nullDst ? nullptr : dst.data(), c.len, c.mag, c.f, c.phase, hint), c.want);
      EXPECT_EQ(Bits(phase), Bits(c.phi0));
      for (double v : dst) EXPECT_EQ(v, 7.0);
    }
  }
}

TEST_P(ToneTest, AcceptsTheEdgesOfItsRanges) {
  double dst[3];
  double phase = 0.0;
  EXPECT_EQ(Tone(dst, 3, 1.0, std::nextafter(0.5, 0.0), &phase, 0), spOk);
  phase = std::nextafter(kTwoPi, 0.0);
  EXPECT_EQ(Tone(dst, 3, std::numeric_limits<double>::denorm_min(), 0.0, &phase, 0), spOk);
}

TEST_P(ToneTest, MatchesTheClosedForm) {
  const double freqs[] = {0.0, 1e-4, 0.01, 0.1, 0.123456, 0.25, 0.3, 0.49};
  const double phases[] = {0.0, 1.0, 3.0, 6.2};
  const int32_t lengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 1000, 2047, 2048, 2049, 4096, 5000};
  for (int32_t hint : {0, 1, 2}) {
    for (double f : freqs)
      for (double phi0 : phases)
        for (int32_t len : lengths) {
          if (len > 2049 && hint != 1) continue;  // the plain method's drift is checked up to 2049
          const double mag = 1.5;
          std::vector<double> y(len);
          double phase = phi0;
          ASSERT_EQ(Tone(y.data(), len, mag, f, &phase, hint), spOk);
          const bool blocks = hint == 1 && HasBlockMethod();
          for (int32_t n = 0; n < len; ++n)
            ASSERT_NEAR(y[n], Reference(mag, f, phi0, n), Tolerance(mag, f, n, blocks))
                << "f " << f << " phi0 " << phi0 << " len " << len << " hint " << hint << " n " << n;
          // The phase handed on is that of sample len, in [0, 2 pi).
          EXPECT_GE(phase, 0.0);
          EXPECT_LT(phase, kTwoPi);
          const long double want = std::fmod(phi0 + 2 * kPi * f * len, 2 * kPi);
          const long double diff = std::fabs(phase - want);
          EXPECT_LT(std::min(diff, 2 * kPi - diff), 1e-15L * (len + 8));  // w rounded, times len
        }
  }
}

TEST_P(ToneTest, ShortAndFlatTones) {
  // len 1 writes one sample and advances the phase by one step.
  double y[3] = {9, 9, 9};
  double phase = 6.0;
  ASSERT_EQ(Tone(y, 1, 2.0, 0.2, &phase, 0), spOk);
  EXPECT_EQ(y[0], 2.0 * std::cos(6.0));
  EXPECT_EQ(y[1], 9.0);
  EXPECT_NEAR(phase, 6.0 + 0.2 * kTwoPi - kTwoPi, 1e-15);
  // Frequency 0: every sample is mag cos(phi0) and the phase stays.
  std::vector<double> flat(37);
  phase = 2.5;
  ASSERT_EQ(Tone(flat.data(), 37, 3.0, 0.0, &phase, 1), spOk);
  for (double v : flat) EXPECT_EQ(v, 3.0 * std::cos(2.5));
  EXPECT_EQ(phase, 2.5);
  // A whole number of turns reduces to 0, never to 2 pi.
  for (int32_t len : {4, 8, 400}) {
    phase = 0.0;
    std::vector<double> turn(len);
    ASSERT_EQ(Tone(turn.data(), len, 1.0, 0.25, &phase, 0), spOk);
    EXPECT_GE(phase, 0.0);
    EXPECT_LT(phase, 1e-12);
  }
}

TEST_P(ToneTest, SplitCallsContinueTheTone) {
  const double f = 0.0371, phi0 = 0.7;
  for (int32_t hint : {0, 1}) {
    std::vector<double> whole(3000), parts(3000);
    double phase = phi0;
    ASSERT_EQ(Tone(whole.data(), 3000, 1.0, f, &phase, hint), spOk);
    const double wholePhase = phase;
    phase = phi0;
    int32_t at = 0;
    for (int32_t len : {1, 2, 997, 1000, 1000}) {
      ASSERT_EQ(Tone(parts.data() + at, len, 1.0, f, &phase, hint), spOk);
      at += len;
    }
    EXPECT_NEAR(phase, wholePhase, 1e-12);
    for (int32_t n = 0; n < 3000; ++n) ASSERT_NEAR(parts[n], whole[n], 1e-11) << "n " << n;
  }
}

TEST_P(ToneTest, BlockMethodRestartsEvery2048Samples) {
  if (!HasBlockMethod()) GTEST_SKIP() << "the block method belongs to the SSE2, SSE3 and SSSE3 sets";
  const double mag = 0.75, f = 0.1234567, phi0 = 2.0;
  const double w = f * kTwoPi;
  const double restart = mag * std::cos(2048.0 * w + phi0);
  std::vector<double> y(4096);
  double phase = phi0;
  ASSERT_EQ(Tone(y.data(), 4096, mag, f, &phase, 1), spOk);
  EXPECT_EQ(Bits(y[2048]), Bits(restart));
  EXPECT_EQ(Bits(y[2049]), Bits(mag * std::cos(2049.0 * w + phi0)));
  phase = phi0;
  ASSERT_EQ(Tone(y.data(), 2049, mag, f, &phase, 1), spOk);
  EXPECT_EQ(Bits(y[2048]), Bits(restart));
}

TEST_P(ToneTest, BlockMethodIgnoresWhereTheArrayStarts) {
  if (!HasBlockMethod()) GTEST_SKIP() << "the block method belongs to the SSE2, SSE3 and SSSE3 sets";
  for (int32_t len : {9, 10, 11, 12, 13, 2058, 4100, 5001}) {
    std::vector<double> want(len);
    double phase = 1.0;
    ASSERT_EQ(Tone(want.data(), len, 1.0, 0.2, &phase, 1), spOk);
    for (int64_t offset : {0, 1, 4, 8, 12, 13}) {
      PlacedArray<double> y(len, offset);
      phase = 1.0;
      ASSERT_EQ(Tone(y.data(), len, 1.0, 0.2, &phase, 1), spOk);
      const std::vector<double> got = y.Get();
      for (int32_t n = 0; n < len; ++n) ASSERT_EQ(Bits(got[n]), Bits(want[n])) << "offset " << offset << " n " << n;
      EXPECT_TRUE(y.GuardsIntact());
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(ToneTest);

// The plain method is the same arithmetic in every set: generic, SSE and the
// SIMD sets with any hint but 1 give the same bits.
TEST(ToneAcrossSets, PlainMethodIsBitIdentical) {
  for (int32_t len : {1, 2, 3, 4, 5, 6, 7, 100, 2049, 5000})
    for (double f : {0.0, 0.01, 0.2, 0.4999}) {
      std::vector<double> want(len);
      double wantPhase = 4.0;
      ASSERT_EQ(kTone[SP_SET_GENERIC](want.data(), len, 1.25, f, &wantPhase, 1), spOk);
      for (int set = SP_SET_SSE; set <= SP_SET_SSSE3; ++set) {
        if (!spVariantSetSupported(set)) continue;
        for (int32_t hint : {0, 2, -7}) {
          std::vector<double> got(len);
          double phase = 4.0;
          ASSERT_EQ(kTone[set](got.data(), len, 1.25, f, &phase, hint), spOk);
          EXPECT_EQ(Bits(phase), Bits(wantPhase));
          for (int32_t n = 0; n < len; ++n)
            ASSERT_EQ(Bits(got[n]), Bits(want[n])) << spVariantSetName(set) << " hint " << hint << " n " << n;
        }
      }
    }
}

}  // namespace
