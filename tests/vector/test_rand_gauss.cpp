// Gaussian random numbers under every variant set: bit-exact against a
// separate model of the generator written here, the seed hand-over, and the
// mean and spread of a million samples.
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "primitives/vector/sp_random.h"
#include "support/variant_sets.h"

namespace {

class RandGaussTest : public VariantSetTest {};

// Model of one call: subtract-with-borrow words (x, y, z) with borrow c and
// a congruential word w restarted on every call; pairs drawn until
// 0 < s < 1; values from u2 first.
struct GaussModel {
  // Output i is mean + us[i] * (factors[i] * stdDev).
  std::vector<double> us;
  std::vector<double> factors;
  uint32_t seedOut = 0;
};

GaussModel ModelCall(uint32_t seed, int32_t len) {
  uint32_t x = seed;
  uint32_t y = x * 69069u + 1013904243u;
  uint32_t z = y * 69069u + 1013904243u;
  int32_t c = -1;
  uint32_t w = 1131199209u;
  const double scale = 4.656612873077e-10;
  auto drawPair = [&](double& u1, double& u2, double& f) {
    for (;;) {
      int32_t d = static_cast<int32_t>(y - z + static_cast<uint32_t>(c));
      c = d < 0 ? -1 : 0;
      if (d < 0) d = static_cast<int32_t>(static_cast<uint32_t>(d) - 18u);
      int32_t e = static_cast<int32_t>(x - y + static_cast<uint32_t>(c));
      c = e < 0 ? -1 : 0;
      if (e < 0) e = static_cast<int32_t>(static_cast<uint32_t>(e) - 18u);
      w = w * 69069u + 1013904243u;
      const uint32_t w1 = w;
      w = w * 69069u + 1013904243u;
      const uint32_t w2 = w;
      u1 = static_cast<int32_t>(static_cast<uint32_t>(d) + w1) * scale;
      u2 = static_cast<int32_t>(static_cast<uint32_t>(e) + w2) * scale;
      z = x;
      y = static_cast<uint32_t>(d);
      x = static_cast<uint32_t>(e);
      const double s = u1 * u1 + u2 * u2;
      if (s > 0.0 && s < 1.0) {
        f = std::sqrt(-2.0 * std::log(s) / s);
        return;
      }
    }
  };
  GaussModel m;
  double u1, u2, f;
  drawPair(u1, u2, f);
  for (int32_t i = 0; i < len; i += 2) {
    m.us.push_back(u2);
    m.factors.push_back(f);
    if (i + 1 < len) {
      m.us.push_back(u1);
      m.factors.push_back(f);
      drawPair(u1, u2, f);
    }
  }
  m.seedOut = x;
  return m;
}

const uint32_t kSeeds[] = {0u, 1u, 12345u, 0x80000000u, 0xFFFFFFFFu, 0x9E3779B9u};
const int32_t kLengths[] = {1, 2, 3, 4, 5, 16, 17, 1001};

TEST_P(RandGaussTest, RefusesBadArgumentsAndKeepsTheSeed) {
  uint32_t seed = 77;
  double d[2] = {5, 5};
  float f[2] = {5, 5};
  EXPECT_EQ(spRandGaussF64(nullptr, 2, 0, 1, &seed), spErrNullPointer);
  EXPECT_EQ(spRandGaussF64(d, 2, 0, 1, nullptr), spErrNullPointer);
  EXPECT_EQ(spRandGaussF32(nullptr, 0, 0, 1, &seed), spErrNullPointer);
  EXPECT_EQ(spRandGaussF32(f, 2, 0, 1, nullptr), spErrNullPointer);
  for (int32_t len : {0, -1, INT32_MIN}) {
    EXPECT_EQ(spRandGaussF64(d, len, 0, 1, &seed), spErrLength);
    EXPECT_EQ(spRandGaussF32(f, len, 0, 1, &seed), spErrLength);
  }
  EXPECT_EQ(seed, 77u);
  EXPECT_EQ(d[0], 5.0);
  EXPECT_EQ(f[0], 5.0f);
}

TEST_P(RandGaussTest, MatchesTheModelBitForBitInBothPrecisions) {
  for (uint32_t seed : kSeeds) {
    for (int32_t len : kLengths) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " len " << len);
      const GaussModel m = ModelCall(seed, len);
      const double mean64 = -3.25, sd64 = 1234.5;
      const float mean32 = 0.75f, sd32 = 2.5f;
      std::vector<double> d(len);
      std::vector<float> f(len);
      uint32_t s64 = seed, s32 = seed;
      ASSERT_EQ(spRandGaussF64(d.data(), len, mean64, sd64, &s64), spOk);
      ASSERT_EQ(spRandGaussF32(f.data(), len, mean32, sd32, &s32), spOk);
      EXPECT_EQ(s64, m.seedOut);
      EXPECT_EQ(s32, m.seedOut);
      for (int32_t i = 0; i < len; ++i) {
        const double expected64 = mean64 + m.us[i] * (m.factors[i] * sd64);
        const float expected32 = static_cast<float>(double{mean32} + m.us[i] * (m.factors[i] * double{sd32}));
        ASSERT_EQ(std::bit_cast<uint64_t>(d[i]), std::bit_cast<uint64_t>(expected64)) << i;
        ASSERT_EQ(std::bit_cast<uint32_t>(f[i]), std::bit_cast<uint32_t>(expected32)) << i;
      }
    }
  }
}

TEST_P(RandGaussTest, OddLengthUsesTheNextPairAndTheSeedCountsAcceptedPairs) {
  // len 2 and 3 both consume two accepted pairs.
  double two[2], three[3], one[1];
  uint32_t s2 = 4242, s3 = 4242, s1 = 4242;
  ASSERT_EQ(spRandGaussF64(two, 2, 0.0, 1.0, &s2), spOk);
  ASSERT_EQ(spRandGaussF64(three, 3, 0.0, 1.0, &s3), spOk);
  ASSERT_EQ(spRandGaussF64(one, 1, 0.0, 1.0, &s1), spOk);
  EXPECT_EQ(s2, s3);
  EXPECT_NE(s1, s2);
  EXPECT_EQ(two[0], three[0]);
  EXPECT_EQ(two[1], three[1]);
  EXPECT_EQ(one[0], two[0]);
  // Two calls restart the congruential part: not one sequence of four.
  double four[4], firstHalf[2], secondHalf[2];
  uint32_t s4 = 99, sHalf = 99;
  ASSERT_EQ(spRandGaussF64(four, 4, 0.0, 1.0, &s4), spOk);
  ASSERT_EQ(spRandGaussF64(firstHalf, 2, 0.0, 1.0, &sHalf), spOk);
  ASSERT_EQ(spRandGaussF64(secondHalf, 2, 0.0, 1.0, &sHalf), spOk);
  EXPECT_EQ(firstHalf[0], four[0]);
  EXPECT_NE(secondHalf[0], four[2]);
}

TEST_P(RandGaussTest, ZeroSpreadGivesTheMeanAndNegativeSpreadMirrors) {
  std::vector<double> flat(9), up(9), down(9);
  uint32_t s0 = 5, s1 = 5, s2 = 5;
  ASSERT_EQ(spRandGaussF64(flat.data(), 9, 2.5, 0.0, &s0), spOk);
  ASSERT_EQ(spRandGaussF64(up.data(), 9, 10.0, 3.0, &s1), spOk);
  ASSERT_EQ(spRandGaussF64(down.data(), 9, 10.0, -3.0, &s2), spOk);
  EXPECT_NE(s0, 5u);
  EXPECT_EQ(s0, s1);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(flat[i], 2.5);
    EXPECT_DOUBLE_EQ(up[i] - 10.0, 10.0 - down[i]);
  }
}

TEST_P(RandGaussTest, MillionSamplesHaveTheRequestedMeanAndSpread) {
  constexpr int32_t kCount = 1000000;
  std::vector<double> d(kCount);
  std::vector<float> f(kCount);
  uint32_t seed = 2024;
  ASSERT_EQ(spRandGaussF64(d.data(), kCount, 3.0, 2.0, &seed), spOk);
  ASSERT_EQ(spRandGaussF32(f.data(), kCount, -1.0f, 0.5f, &seed), spOk);
  auto moments = [](const auto& v, double& mean, double& sd) {
    long double sum = 0, sq = 0;
    for (auto x : v) sum += x;
    mean = static_cast<double>(sum / v.size());
    for (auto x : v) sq += (x - mean) * (x - mean);
    sd = static_cast<double>(std::sqrt(sq / (v.size() - 1)));
  };
  double mean, sd;
  // Five standard errors: 2/1000 for the mean, 2/1414 for the spread.
  moments(d, mean, sd);
  EXPECT_NEAR(mean, 3.0, 0.01);
  EXPECT_NEAR(sd, 2.0, 0.007);
  moments(f, mean, sd);
  EXPECT_NEAR(mean, -1.0, 0.0025);
  EXPECT_NEAR(sd, 0.5, 0.0018);
}

SP_INSTANTIATE_FOR_ALL_SETS(RandGaussTest);

}  // namespace
