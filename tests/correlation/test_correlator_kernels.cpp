// The correlators' kernels in every variant set. The normalisation rounds
// each quotient as written (product, root, quotient), so every set gives
// the bits of the plain scalar expression, at every length and placement
// and in place; a lag without energy (or whose product underflows) gives
// 0. The spectrum product is exact on small integers and rounds as the
// complex multiply elsewhere; the widening copy and the tie count are
// exact. The sliding normalisation slides exact integer energies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "primitives/correlation/correlator_kernels.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using vector_test::Bits;
using vector_test::PlacedArray;

using NormaliseFn = void (*)(const double*, double, const double*, double*, int64_t);
const NormaliseFn kNormalise[] = SP_VARIANT_TABLE(spkNormaliseByEnergyF64);

class NormaliseByEnergyTest : public VariantSetTest {
 protected:
  void Run(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) const {
    kNormalise[SetIndex()](corr, xEnergy, energy, out, n);
  }
};

TEST_P(NormaliseByEnergyTest, ClosedFormsAndZeroEnergies) {
  // Pairs and a single tail: zero energies, an underflowing product, a NaN.
  const double corr[] = {3.0, -3.0, 2.0, 0.0, 1.0, 5.0, 1.0};
  const double energy[] = {9.0, 9.0, 0.0, 0.0, 0.25, 1e-320, std::nan("")};
  double out[7];
  Run(corr, 4.0, energy, out, 7);
  EXPECT_EQ(out[0], 0.5);
  EXPECT_EQ(out[1], -0.5);
  EXPECT_EQ(Bits(out[2]), 0u);
  EXPECT_EQ(Bits(out[3]), 0u);
  EXPECT_EQ(out[4], 1.0);
  EXPECT_EQ(out[5], 5.0 / std::sqrt(4.0 * 1e-320));  // subnormal product: still a quotient
  EXPECT_EQ(Bits(out[6]), 0u);
  double tail[1] = {7.0};
  Run(corr, 4.0, energy, tail, 0);
  EXPECT_EQ(tail[0], 7.0) << "nothing written for n = 0";
  Run(corr + 2, 4.0, energy + 2, tail, 1);
  EXPECT_EQ(Bits(tail[0]), 0u);
}

TEST_P(NormaliseByEnergyTest, EverySetGivesTheScalarBits) {
  const double xEnergy = 3.7e9;
  for (int64_t n : {1, 2, 3, 4, 5, 8, 9, 101}) {
    const std::vector<double> corr = corr_test::Signal<double>(n, 7);
    std::vector<double> energy = corr_test::Signal<double>(n, 8);
    for (double& e : energy) e = std::fabs(e) * 1e6;
    if (n > 3) energy[3] = 0.0;
    std::vector<uint64_t> want;
    for (int64_t k = 0; k < n; ++k) {
      const double product = xEnergy * energy[k];
      want.push_back(product > 0.0 ? Bits(corr[k] / std::sqrt(product)) : 0u);
    }
    for (int64_t offset : {0, 8, 4}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
      PlacedArray<double> c(corr, offset), e(energy, offset), out(n, offset);
      Run(c.data(), xEnergy, e.data(), out.data(), n);
      std::vector<uint64_t> got;
      for (double v : out.Get()) got.push_back(Bits(v));
      EXPECT_EQ(got, want);
      EXPECT_TRUE(out.GuardsIntact());
      Run(c.data(), xEnergy, e.data(), c.data(), n);  // in place
      got.clear();
      for (double v : c.Get()) got.push_back(Bits(v));
      EXPECT_EQ(got, want) << "in place";
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(NormaliseByEnergyTest);

using SlidingFn = void (*)(SpkSlidingLane*, int32_t, int64_t, int64_t, int64_t, double);
const SlidingFn kSliding[] = SP_VARIANT_TABLE(spkNormaliseSlidingF64);

using MulConjugateFn = void (*)(const double*, const double*, double*, int64_t);
const MulConjugateFn kMulConjugate[] = SP_VARIANT_TABLE(spkMulConjugateC64);
using WidenFn = void (*)(const float*, double*, int64_t);
const WidenFn kWiden[] = SP_VARIANT_TABLE(spkWidenF32ToF64);
using CountTiesFn = int64_t (*)(const float*, int64_t, float, bool, int64_t*);
const CountTiesFn kCountTies[] = SP_VARIANT_TABLE(spkCountTiesF32);
using PeakScratchFn = void (*)(const float*, float*, int64_t, bool, bool, float*);
const PeakScratchFn kPeakScratch[] = SP_VARIANT_TABLE(spkPeakScratchF32);
using TiesAndRunnerFn = void (*)(const float*, int64_t, float, float, bool, int64_t, SpkTiesRunner*);
using PutIntoSumsFn = void (*)(const float*, int64_t, float*, float*, float*, bool);
const PutIntoSumsFn kPutIntoSums[] = SP_VARIANT_TABLE(spkPutIntoSumsF32);
const TiesAndRunnerFn kTiesAndRunner[] = SP_VARIANT_TABLE(spkTiesAndRunnerF32);
using StretchSumsFn = void (*)(const float*, const float*, int64_t, double*);
const StretchSumsFn kStretchSums[] = SP_VARIANT_TABLE(spkStretchSumsF32);

using CorrelatorKernelsTest = VariantSetTest;

// The sliding normalisation: a window of integers whose stretch energies are
// exact, and lane by lane the bits of the plain recurrence and quotient,
// for one and two lanes, from lag 0 and from a later lag, with a stretch
// that drops to zero energy (value 0), a NaN (0) and, with a bound of 0.5,
// the values beyond it (0).
TEST_P(CorrelatorKernelsTest, SlidingNormaliseMatchesTheRecurrenceLaneByLane) {
  const int64_t b = 4, lags = 23;
  std::vector<double> window[2], corr[2];
  for (int lane = 0; lane < 2; ++lane) {
    window[lane].resize(lags + b);
    for (int64_t i = 0; i < lags + b; ++i) window[lane][i] = double((i * (5 + lane) + 3) % 9) - 4.0;
    corr[lane] = corr_test::Signal<double>(lags, 10 + lane);
  }
  for (int64_t i = 8; i < 8 + b + 2; ++i) window[0][i] = 0.0;  // lags 8 to 10 of lane 0 without energy
  corr[1][17] = std::nan("");
  const double xEnergy[2] = {30.0, 0.7};
  // The energies as sums over each stretch (small integers: exact), the
  // quotients as the plain expression.
  auto want = [&](int lane, int64_t k) {
    double e = 0.0;
    for (int64_t j = k; j < k + b; ++j) e += window[lane][j] * window[lane][j];
    const double product = xEnergy[lane] * e;
    return product > 0.0 ? corr[lane][k] / std::sqrt(product) : 0.0;
  };
  auto bounded = [](double q, double bound) { return std::fabs(q) <= bound ? float(q) : 0.0f; };
  for (int32_t count : {1, 2})
    for (double bound : {1e300, 0.5})
      for (int64_t from : {int64_t{0}, int64_t{5}}) {
        SCOPED_TRACE(testing::Message() << "lanes " << count << " bound " << bound << " from " << from);
        std::vector<float> out[2] = {std::vector<float>(lags - from, -9.0f), std::vector<float>(lags - from, -9.0f)};
        SpkSlidingLane lanes[2];
        for (int lane = 0; lane < count; ++lane) {
          double start = 0.0;
          for (int64_t j = std::max<int64_t>(from - 1, 0); j < std::max<int64_t>(from - 1, 0) + b; ++j)
            start += window[lane][j] * window[lane][j];
          lanes[lane] = {corr[lane].data(), window[lane].data(), xEnergy[lane], start, out[lane].data()};
        }
        kSliding[SetIndex()](lanes, count, from, lags - from, b, bound);
        for (int lane = 0; lane < count; ++lane) {
          for (int64_t k = from; k < lags; ++k)
            EXPECT_EQ(Bits(out[lane][k - from]), Bits(bounded(want(lane, k), bound)))
                << "lane " << lane << " lag " << k;
          double last = 0.0;
          for (int64_t j = lags - 1; j < lags - 1 + b; ++j) last += window[lane][j] * window[lane][j];
          EXPECT_EQ(lanes[lane].energy, last) << "the last lag's energy carried out";
        }
      }
}

// The recurrence's edges at lag 1 (b = 2), for one lane and for two.
TEST_P(CorrelatorKernelsTest, SlidingEnergyEdges) {
  struct Case {
    const char* what;
    double window[3], corr[2], xEnergy, start, energy;
    float out;
  };
  const Case cases[] = {
      // 3^2 out of an energy of 0 and nothing in: -9 becomes 0.
      {"below zero is zero", {3.0, 0.0, 0.0}, {1.0, 1.0}, 1.0, 0.0, 0.0, 0.0f},
      // Lag 0's energy 1e16 (1e8 and 1: the 1 is below its last bit).
      // (1e16 - 1e8^2) + 1^2 = 1; adding first would lose the 1 and give 0.
      {"the leaving square out first", {1e8, 1.0, 1.0}, {0.0, 3.0}, 4.0, 1e16, 1.0, 1.5f},
  };
  for (const Case& c : cases)
    for (int32_t count : {1, 2}) {
      SCOPED_TRACE(testing::Message() << c.what << ", lanes " << count);
      float out[2][1] = {{-1.0f}, {-1.0f}};
      SpkSlidingLane lanes[2] = {{c.corr, c.window, c.xEnergy, c.start, out[0]},
                                 {c.corr, c.window, c.xEnergy, c.start, out[1]}};
      kSliding[SetIndex()](lanes, count, 1, 1, 2, 2.0);
      for (int lane = 0; lane < count; ++lane) {
        EXPECT_EQ(Bits(lanes[lane].energy), Bits(c.energy)) << "lane " << lane;
        EXPECT_EQ(Bits(out[lane][0]), Bits(c.out)) << "lane " << lane;
      }
    }
}

TEST_P(CorrelatorKernelsTest, MulConjugateExactOnIntegersAndAlikeInEverySet) {
  // Small integers: every product and sum is exact, so conj(x) * y in
  // std::complex is the answer to the bit.
  for (int64_t bins : {1, 2, 3, 5, 8}) {
    std::vector<double> x(2 * bins), y(2 * bins);
    for (int64_t i = 0; i < 2 * bins; ++i) {
      x[i] = double((i * 7 + 3) % 11) - 5.0;
      y[i] = double((i * 5 + 1) % 13) - 6.0;
    }
    std::vector<double> want(2 * bins);
    for (int64_t k = 0; k < bins; ++k) {
      const std::complex<double> p =
          std::conj(std::complex<double>(x[2 * k], x[2 * k + 1])) * std::complex<double>(y[2 * k], y[2 * k + 1]);
      want[2 * k] = p.real();
      want[2 * k + 1] = p.imag();
    }
    for (int64_t offset : {0, 8}) {
      SCOPED_TRACE(testing::Message() << "bins " << bins << " offset " << offset);
      PlacedArray<double> a(x, offset), b(y, offset), out(2 * bins, offset);
      kMulConjugate[SetIndex()](a.data(), b.data(), out.data(), bins);
      EXPECT_EQ(out.Get(), want);
      EXPECT_TRUE(out.GuardsIntact());
      kMulConjugate[SetIndex()](a.data(), b.data(), a.data(), bins);  // in place over x
      EXPECT_EQ(a.Get(), want) << "in place";
    }
  }
  // Values that round: the bits of the complex multiply's rounding, each
  // product, then re = x.re y.re - c y.im and im = x.re y.im + c y.re with
  // c = -x.im.
  const int64_t bins = 37;
  const std::vector<double> x = corr_test::Signal<double>(2 * bins, 3);
  const std::vector<double> y = corr_test::Signal<double>(2 * bins, 4);
  std::vector<double> got(2 * bins);
  kMulConjugate[SetIndex()](x.data(), y.data(), got.data(), bins);
  for (int64_t k = 0; k < bins; ++k) {
    const double xRe = x[2 * k], c = -x[2 * k + 1], yRe = y[2 * k], yIm = y[2 * k + 1];
    const double re = xRe * yRe - c * yIm, im = xRe * yIm + c * yRe;
    EXPECT_EQ(Bits(got[2 * k]), Bits(re)) << "bin " << k;
    EXPECT_EQ(Bits(got[2 * k + 1]), Bits(im)) << "bin " << k;
  }
}

// The stretch sums against the plain loop, bit for bit: sums that round at
// every term (so that an order of adding other than term by term shows),
// sums carried in, odd and even lengths, unaligned arrays, and a stretch
// taken in two pieces giving what it gives whole.
TEST_P(CorrelatorKernelsTest, StretchSumsAreThePlainLoopsTermByTerm) {
  std::vector<float> a = corr_test::Signal<float>(37, 3);
  std::vector<float> b = corr_test::Signal<float>(37, 4);
  for (size_t i = 0; i < b.size(); ++i) {
    a[i] *= 3000.0f;
    b[i] = b[i] * 30000.0f + float(i) * 1e-3f;
  }
  const double carried[3] = {3.0e9, 7.0e12, -1.0e11};
  for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{9}, int64_t{36}, int64_t{37}})
    for (int64_t offset : {0, 4}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
      double want[3] = {carried[0], carried[1], carried[2]};
      for (int64_t i = 0; i < n; ++i) {
        const double x = a[size_t(i)], y = b[size_t(i)];
        want[0] += x * x;
        want[1] += y * y;
        want[2] += x * y;
      }
      PlacedArray<float> pa(std::vector<float>(a.begin(), a.begin() + n), offset);
      PlacedArray<float> pb(std::vector<float>(b.begin(), b.begin() + n), offset + 8);
      double whole[3] = {carried[0], carried[1], carried[2]};
      kStretchSums[SetIndex()](pa.data(), pb.data(), n, whole);
      double pieces[3] = {carried[0], carried[1], carried[2]};
      kStretchSums[SetIndex()](pa.data(), pb.data(), n / 3, pieces);
      kStretchSums[SetIndex()](pa.data() + n / 3, pb.data() + n / 3, n - n / 3, pieces);
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(std::memcmp(&whole[k], &want[k], sizeof(double)), 0) << "sum " << k;
        EXPECT_EQ(std::memcmp(&pieces[k], &want[k], sizeof(double)), 0) << "sum " << k << " in pieces";
      }
    }
}

TEST_P(CorrelatorKernelsTest, WidenIsExact) {
  const float specials[] = {0.0f,
                            -0.0f,
                            1.5f,
                            -32768.0f,
                            std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::infinity(),
                            -3.0e38f,
                            16777215.0f,
                            0.1f};
  for (int64_t n = 1; n <= 9; ++n) {
    const std::vector<float> src(specials, specials + n);
    for (int64_t offset : {0, 4}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
      PlacedArray<float> s(src, offset);
      PlacedArray<double> out(n, offset);
      kWiden[SetIndex()](s.data(), out.data(), n);
      const std::vector<double> got = out.Get();
      for (int64_t i = 0; i < n; ++i) EXPECT_EQ(Bits(got[i]), Bits(double(src[i]))) << i;
      EXPECT_TRUE(out.GuardsIntact());
    }
  }
}

TEST_P(CorrelatorKernelsTest, CountTiesCountsAndFindsTheLast) {
  const float nan = std::nanf("");
  // Ties at the bound, one above and below, a NaN, across whole steps and a tail.
  const std::vector<float> v = {2.0f, 1.0f, 3.0f, nan, 2.0f, -1.0f, 2.0f, 0.0f, 1.0f, 2.5f, nan};
  struct Case {
    int64_t n;
    float bound;
    bool atLeast;
  };
  for (const Case c :
       {Case{11, 2.0f, true}, Case{11, 2.0f, false}, Case{8, 2.0f, true}, Case{4, 2.0f, false}, Case{11, 5.0f, true},
        Case{11, -5.0f, false}, Case{3, 1.0f, false}, Case{0, 0.0f, true}, Case{11, nan, true}}) {
    int64_t wantCount = 0, wantLast = -1;
    for (int64_t i = 0; i < c.n; ++i)
      if (c.atLeast ? v[i] >= c.bound : v[i] <= c.bound) {
        ++wantCount;
        wantLast = i;
      }
    SCOPED_TRACE(testing::Message() << "n " << c.n << " bound " << c.bound << " atLeast " << c.atLeast);
    PlacedArray<float> placed(v, 4);  // entries past n are not read
    int64_t last = 99;
    EXPECT_EQ(kCountTies[SetIndex()](placed.data(), c.n, c.bound, c.atLeast, &last), wantCount);
    EXPECT_EQ(last, wantLast);
  }
}

TEST_P(CorrelatorKernelsTest, PeakScratchCopiesOrClearsTheSignBits) {
  const float nan = std::nanf("");
  const std::vector<float> v = {-2.0f, 1.0f, -0.0f, -nan, 3.5f, -1e-40f, 0.0f, -7.0f, 2.0f};
  for (bool magnitudes : {false, true})
    for (int64_t n : {int64_t{9}, int64_t{3}}) {
      PlacedArray<float> placed(v, 4);
      std::vector<float> out(v.size(), 99.0f);
      float runs[1] = {};
      kPeakScratch[SetIndex()](placed.data(), out.data(), n, magnitudes, true, runs);
      for (int64_t i = 0; i < int64_t(v.size()); ++i) {
        uint32_t want = 0x42c60000u;  // 99, past n
        if (i < n) std::memcpy(&want, &v[i], 4);
        if (i < n && magnitudes) want &= 0x7fffffffu;
        uint32_t got = 0;
        std::memcpy(&got, &out[i], 4);
        EXPECT_EQ(got, want) << "magnitudes " << magnitudes << " n " << n << " entry " << i;
      }
    }
}

// The extremes of the scratch copy's runs, against a plain loop of ordered
// comparisons over each run: runs whole and cut short (the extreme in the
// tail of the last), a NaN that is never taken (and a run of NaNs only:
// -inf, or +inf), magnitudes that make a negative entry the largest, the
// copy beside them, and nothing written past the last run.
TEST_P(CorrelatorKernelsTest, PeakScratchGivesEachRunsExtreme) {
  const float nan = std::nanf("");
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<float> v(3 * kSpPeakRun + 7);
  for (size_t i = 0; i < v.size(); ++i) v[i] = float((i * 37) % 101) - 50.0f;
  v[v.size() - 2] = 60.0f;  // the largest, in the tail of the last run
  v[17] = -75.0f;           // the smallest, and the largest magnitude
  v[5] = nan;
  for (int64_t i = kSpPeakRun; i < 2 * kSpPeakRun; ++i) v[size_t(i)] = nan;
  for (int64_t n : {int64_t(v.size()), 2 * kSpPeakRun, int64_t{3}})
    for (bool magnitudes : {false, true})
      for (bool largest : {false, true}) {
        PlacedArray<float> placed(v, 4);
        std::vector<float> out(v.size());
        std::vector<float> runs(5, 99.0f);
        kPeakScratch[SetIndex()](placed.data(), out.data(), n, magnitudes, largest, runs.data());
        const int64_t count = (n + kSpPeakRun - 1) / kSpPeakRun;
        for (int64_t r = 0; r < int64_t(runs.size()); ++r) {
          float want = 99.0f;  // past the last run
          if (r < count) {
            want = largest ? -inf : inf;
            for (int64_t i = r * kSpPeakRun; i < std::min(n, (r + 1) * kSpPeakRun); ++i) {
              const float x = magnitudes ? std::fabs(v[size_t(i)]) : v[size_t(i)];
              if (largest ? x > want : x < want) want = x;
            }
          }
          EXPECT_EQ(runs[size_t(r)], want) << "n " << n << " run " << r << " magnitudes " << magnitudes;
        }
        for (int64_t i = 0; i < n; ++i) {
          if (std::isnan(v[size_t(i)])) continue;
          EXPECT_EQ(out[size_t(i)], magnitudes ? std::fabs(v[size_t(i)]) : v[size_t(i)]) << "entry " << i;
        }
      }
}

// Against the plain loop: ties at both bounds as spkCountTiesF32 counts
// them and the first of the best entries other than the skipped one, on vectors with
// equal bests in different lanes and blocks, a NaN, infinities, the best
// at the skipped entry, and lengths with and without a tail.
TEST_P(CorrelatorKernelsTest, TiesAndRunnerMatchThePlainLoop) {
  const float nan = std::nanf("");
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<float> v(45);
  for (size_t i = 0; i < v.size(); ++i) v[i] = float(int((i * 7 + 3) % 11) - 5);
  v[4] = nan;
  v[30] = 9.0f;
  v[12] = -9.0f;
  v[17] = 5.0f;  // equal to the other bests (5) in other lanes and blocks
  std::vector<float> low(v.size(), -inf);
  low[9] = nan;
  for (const std::vector<float>* data : {&v, &low}) {
    for (int64_t n : {int64_t{45}, int64_t{40}, int64_t{7}, int64_t{0}}) {
      for (bool atLeast : {true, false}) {
        for (int64_t skip : {int64_t{-1}, int64_t{30}, int64_t{12}, int64_t{0}, int64_t{17}}) {
          for (float bound : {4.0f, -3.0f, nan}) {
            const float equalBound = bound == 4.0f ? 5.0f : 0.0f;
            const std::vector<float>& x = *data;
            SpkTiesRunner want{0, -1, 0, -1, atLeast ? -inf : inf, -1};
            for (int64_t i = 0; i < n; ++i) {
              if (atLeast ? x[i] >= bound : x[i] <= bound) {
                ++want.count;
                want.last = i;
              }
              if (atLeast ? x[i] >= equalBound : x[i] <= equalBound) {
                ++want.equalCount;
                want.equalLast = i;
              }
              if (i != skip && (atLeast ? x[i] > want.runner : x[i] < want.runner)) {
                want.runner = x[i];
                want.runnerIndex = i;
              }
            }
            SCOPED_TRACE(testing::Message() << "n " << n << " atLeast " << atLeast << " skip " << skip << " bound "
                                            << bound << (data == &low ? " all -inf" : ""));
            PlacedArray<float> placed(x, 4);
            SpkTiesRunner got{99, 99, 99, 99, 99.0f, 99};
            kTiesAndRunner[SetIndex()](placed.data(), n, bound, equalBound, atLeast, skip, &got);
            EXPECT_EQ(got.count, want.count);
            EXPECT_EQ(got.last, want.last);
            EXPECT_EQ(got.equalCount, want.equalCount);
            EXPECT_EQ(got.equalLast, want.equalLast);
            EXPECT_EQ(got.runnerIndex, want.runnerIndex);
            if (want.runnerIndex >= 0) {
              EXPECT_EQ(got.runner, want.runner);
            }
          }
        }
      }
    }
  }
  // A vector long enough for the steps of four, with the best in every lane.
  std::vector<float> wide(1003, 1.0f);
  for (int64_t at : {int64_t{998}, int64_t{401}, int64_t{402}, int64_t{403}, int64_t{1002}}) wide[at] = 2.0f;
  SpkTiesRunner got{};
  kTiesAndRunner[SetIndex()](wide.data(), 1003, 2.0f, 1.0f, true, 401, &got);
  EXPECT_EQ(got.count, 5);
  EXPECT_EQ(got.last, 1002);
  EXPECT_EQ(got.equalCount, 1003);
  EXPECT_EQ(got.runnerIndex, 402);
  EXPECT_EQ(got.runner, 2.0f);
}

// Each sum rounded once per step as written: values whose sums round
// (1 + 2^-24 is not a float), with and without a leaving vector.
TEST_P(CorrelatorKernelsTest, PutIntoSumsRoundsAsThePlainLoop) {
  const int64_t n = 11;
  std::vector<float> values(n), slot(n), sum(n);
  for (int64_t i = 0; i < n; ++i) {
    values[i] = (i % 3 == 0 ? 1.0f : -3.0f) * std::ldexp(1.0f, -24 - int(i % 2));
    slot[i] = float(i) * 0.3f - 1.0f;
    sum[i] = 1.0f + float(i % 4);
  }
  for (bool replacing : {false, true}) {
    std::vector<float> gotSlot = slot, gotSum = sum, latest(n, 7.0f);
    kPutIntoSums[SetIndex()](values.data(), n, gotSlot.data(), gotSum.data(), latest.data(), replacing);
    for (int64_t i = 0; i < n; ++i) {
      volatile float kept = replacing ? sum[i] - slot[i] : sum[i];
      volatile float want = kept + values[i];
      EXPECT_EQ(gotSum[i], want) << replacing << " " << i;
      EXPECT_EQ(gotSlot[i], values[i]);
      EXPECT_EQ(latest[i], values[i]);
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(CorrelatorKernelsTest);

}  // namespace
