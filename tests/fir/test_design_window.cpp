// Design windows of every variant set against their long-double closed forms,
// with their checks, exact symmetry, kept centre, set-specific end values and
// independence from where the taps start.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fir_test_support.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using namespace fir_test;
using vector_test::Bits;
using vector_test::PlacedArray;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class DesignWindowTest : public VariantSetTest {
 protected:
  WindowFn Window(int32_t kind) const {
    switch (kind) {
      case spFirWindowBartlett: return kBartlett[SetIndex()];
      case spFirWindowBlackman: return kBlackman[SetIndex()];
      case spFirWindowHamming: return kHamming[SetIndex()];
      default: return kHann[SetIndex()];
    }
  }
};

const int32_t kKinds[] = {spFirWindowBartlett, spFirWindowBlackman, spFirWindowHamming, spFirWindowHann};
const char* const kKindNames[] = {"Bartlett", "Blackman", "Hamming", "Hann"};

std::vector<double> Taps(int32_t len, uint32_t seed) { return vector_test::Uniform<double>(len, -2.0, 2.0, seed); }

TEST_P(DesignWindowTest, ChecksPointerThenLength) {
  double taps[4] = {1, 2, 3, 4};
  for (int32_t kind : {spFirWindowBartlett, spFirWindowHamming, spFirWindowHann}) {
    SCOPED_TRACE(kKindNames[kind]);
    EXPECT_EQ(Window(kind)(nullptr, 2), spErrNullPointer);
    EXPECT_EQ(Window(kind)(taps, 2), spErrLength);
    EXPECT_EQ(Window(kind)(taps, INT32_MIN), spErrLength);
  }
  // Blackman tests its length first.
  EXPECT_EQ(Window(spFirWindowBlackman)(nullptr, 3), spErrLength);
  EXPECT_EQ(Window(spFirWindowBlackman)(taps, 3), spErrLength);
  EXPECT_EQ(Window(spFirWindowBlackman)(nullptr, 4), spErrNullPointer);
  EXPECT_EQ(kBlackmanAlpha[SetIndex()](nullptr, 4, -0.3), spErrNullPointer);
  EXPECT_EQ(kBlackmanAlpha[SetIndex()](nullptr, 3, -0.3), spErrNullPointer);
  EXPECT_EQ(kBlackmanAlpha[SetIndex()](taps, 2, -0.3), spErrLength);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(taps[i], i + 1.0);
}

// The three-term form takes any length from 3 on, like the other windows;
// only the Blackman window needs 4. At length 3 its end weight is
// (alpha + 1)/2 - 1/2 - alpha/2 = 0 for every alpha.
TEST_P(DesignWindowTest, ThreeTermFormAcceptsLengthThree) {
  for (double alpha : {-0.3, -1.0, 0.25}) {
    double taps[3] = {2.0, 5.0, -2.0};
    ASSERT_EQ(kBlackmanAlpha[SetIndex()](taps, 3, alpha), spOk) << alpha;
    EXPECT_NEAR(taps[0], 0.0, 1e-15) << alpha;
    EXPECT_EQ(taps[1], 5.0);
    EXPECT_NEAR(taps[2], 0.0, 1e-15) << alpha;
  }
}

TEST_P(DesignWindowTest, MatchesTheClosedFormAndIsSymmetric) {
  const int32_t lengths[] = {3, 4, 5, 6, 7, 8, 9, 31, 32, 64, 1025, 1026, 1027, 2000};
  for (int32_t kind : kKinds)
    for (int32_t len : lengths) {
      if (kind == spFirWindowBlackman && len < 4) continue;
      SCOPED_TRACE(testing::Message() << kKindNames[kind] << " len " << len);
      const std::vector<double> in = Taps(len, static_cast<uint32_t>(len));
      std::vector<double> out = in, ones(len, 1.0);
      ASSERT_EQ(Window(kind)(out.data(), len), spOk);
      ASSERT_EQ(Window(kind)(ones.data(), len), spOk);
      // The recurrences drift by about len^2 * 1e-18; Bartlett adds its step.
      const double tol = 4e-16 + 4e-17 * static_cast<double>(len) * len;
      for (int32_t n = 0; n < len; ++n) {
        const long double w = WindowWeight(kind, len, n);
        ASSERT_NEAR(ones[n], w, tol) << "n " << n;
        ASSERT_NEAR(out[n], in[n] * w, 2 * tol) << "n " << n;
        ASSERT_EQ(Bits(ones[n]), Bits(ones[len - 1 - n])) << "n " << n;
      }
      if (len % 2 == 1) {
        EXPECT_EQ(Bits(out[len / 2]), Bits(in[len / 2]));
      }
    }
}

TEST_P(DesignWindowTest, ShortWindowsEndValues) {
  // len 3: only the ends are weighted; SSE and SSE3 store Hamming's 0.08,
  // the others compute 0.54 - 0.46.
  const double hammingEnd = (SetIndex() == SP_SET_SSE || SetIndex() == SP_SET_SSE3) ? 0.08 : 0.54 - 0.46;
  const struct {
    int32_t kind;
    double end;
  } cases[] = {{spFirWindowHamming, hammingEnd}, {spFirWindowHann, 0.0}, {spFirWindowBartlett, 0.0}};
  for (const auto& c : cases) {
    double taps[3] = {1.0, 5.0, 1.0};
    ASSERT_EQ(Window(c.kind)(taps, 3), spOk);
    EXPECT_EQ(taps[0], c.end) << kKindNames[c.kind];
    EXPECT_EQ(taps[1], 5.0);
    EXPECT_EQ(taps[2], c.end);
  }
  // Blackman: len 4 weighs every tap by 0, len 5 gives 0, 0, 1, 0, 0.
  double four[4] = {1, 1, 1, 1};
  ASSERT_EQ(Window(spFirWindowBlackman)(four, 4), spOk);
  for (double v : four) EXPECT_NEAR(v, 0.0, 1e-15);
  double five[5] = {1, 1, 1, 1, 1};
  ASSERT_EQ(Window(spFirWindowBlackman)(five, 5), spOk);
  const double want[5] = {0, 0, 1, 0, 0};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(five[i], want[i], 1e-15) << i;
  EXPECT_EQ(five[2], 1.0);
}

TEST_P(DesignWindowTest, CentreKeepsAnyValueAndBartlettEndsFollowTheSet) {
  for (int32_t kind : kKinds) {
    for (double centre : {kNaN, kInf, -kInf}) {
      double taps[7] = {1, 1, 1, centre, 1, 1, 1};
      ASSERT_EQ(Window(kind)(taps, 7), spOk);
      EXPECT_EQ(Bits(taps[3]), Bits(centre)) << kKindNames[kind];
    }
  }
  // The generic and SSE sets set the Bartlett ends to 0; the SIMD sets
  // multiply them by 0, so an infinite end becomes NaN.
  double taps[6] = {kInf, 1, 1, 1, 1, -kInf};
  ASSERT_EQ(Window(spFirWindowBartlett)(taps, 6), spOk);
  if (SetIndex() >= SP_SET_SSE2) {
    EXPECT_TRUE(std::isnan(taps[0]));
    EXPECT_TRUE(std::isnan(taps[5]));
  } else {
    EXPECT_EQ(Bits(taps[0]), Bits(0.0));
    EXPECT_EQ(Bits(taps[5]), Bits(0.0));
  }
}

TEST_P(DesignWindowTest, ResultsDoNotDependOnWhereTheTapsStart) {
  for (int32_t kind : kKinds)
    for (int32_t len : {4, 5, 6, 7, 8, 9, 10, 11, 33, 1100}) {
      const std::vector<double> in = Taps(len, 7u + static_cast<uint32_t>(len));
      std::vector<double> want = in;
      ASSERT_EQ(Window(kind)(want.data(), len), spOk);
      for (int64_t offset : {0, 1, 4, 8, 12, 13}) {
        PlacedArray<double> taps(in, offset);
        ASSERT_EQ(Window(kind)(taps.data(), len), spOk);
        const std::vector<double> got = taps.Get();
        for (int32_t n = 0; n < len; ++n)
          ASSERT_EQ(Bits(got[n]), Bits(want[n])) << kKindNames[kind] << " len " << len << " offset " << offset;
        EXPECT_TRUE(taps.GuardsIntact());
      }
    }
}

SP_INSTANTIATE_FOR_ALL_SETS(DesignWindowTest);

}  // namespace
