// The correlators against naive normalised correlation in long double, and
// the correlator set's delay sign, flags and picks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/RefusalNote.h"
#include "Vantrel/frontend/BlockCorrelator.h"
#include "Vantrel/frontend/CorrelatorSet.h"
#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/FftCorrelator.h"
#include "frontend/ring_signals.h"
#include "support/alloc_failure.h"

namespace {

// sum_j x[j] y[j + lag] / sqrt(sum x^2 * sum over the same stretch of y^2).
long double NaiveNormalised(const float* x, size_t blockLen, const float* y, size_t lag) {
  long double xy = 0, xx = 0, yy = 0;
  for (size_t j = 0; j < blockLen; ++j) {
    xy += (long double)x[j] * y[j + lag];
    xx += (long double)x[j] * x[j];
    yy += (long double)y[j + lag] * y[j + lag];
  }
  return (xx == 0 || yy == 0) ? 0.0L : xy / std::sqrt(xx * yy);
}

TEST(FftCorrelator, ImpulsesAndZeroEnergy) {
  CFftCorrelator fft;
  fft.SetLength(8);
  std::vector<double> x(8, 0.0), y(8, 0.0);
  std::vector<float> out(8);
  x[0] = 1.0;
  y[0] = 1.0;
  fft.Correlate(x.data(), y.data(), out.data(), 0.0, nullptr, 8);
  for (int k = 0; k < 8; ++k) EXPECT_NEAR(out[k], k == 0 ? 1.0f : 0.0f, 1e-12) << k;
  y[0] = 0.0;
  y[3] = 1.0;
  fft.Correlate(x.data(), y.data(), out.data(), 0.0, nullptr, 8);
  for (int k = 0; k < 8; ++k) EXPECT_NEAR(out[k], k == 3 ? 1.0f : 0.0f, 1e-12) << k;
  // A zero window energy gives 0 at that lag even where the sum is not 0.
  std::vector<double> energy(8, 1.0);
  energy[3] = 0.0;
  fft.Correlate(x.data(), y.data(), out.data(), 1.0, energy.data(), 8);
  EXPECT_EQ(out[3], 0.0f);
}

TEST(FftCorrelator, ALagWhoseSumsLostTheirPrecisionSaysNothing) {
  CFftCorrelator fft;
  fft.SetLength(8);
  std::vector<double> x(8, 0.0), y(8, 0.0);
  std::vector<float> out(8);
  x[0] = 1.0;
  y[2] = 1e20;  // the sum at lag 2; the window energies below pretend 1
  const std::vector<double> energy(8, 1.0);
  fft.Correlate(x.data(), y.data(), out.data(), 1.0, energy.data(), 8);
  for (int k = 0; k < 8; ++k) EXPECT_LE(std::fabs(out[k]), 1.0f) << k;
  EXPECT_EQ(out[2], 0.0f);
  // A correlation of exactly 1 (equal blocks) stays.
  y.assign(8, 0.0);
  y[2] = 1.0;
  fft.Correlate(x.data(), y.data(), out.data(), 1.0, energy.data(), 8);
  EXPECT_NEAR(out[2], 1.0f, 1e-12);
}

TEST(FftCorrelator, CircularCorrelationMatchesTheDirectSum) {
  CFftCorrelator fft;
  for (uint32_t n : {16u, 256u, 4096u}) {
    const std::vector<float> a = Noise(n, n), b = Noise(n, n + 1);
    std::vector<double> x(a.begin(), a.end()), y(b.begin(), b.end());
    std::vector<float> out(n);
    fft.Correlate(x.data(), y.data(), out.data(), 0.0, nullptr, n);
    for (uint32_t k = 0; k < n; k += n / 16 + 1) {
      long double sum = 0;
      for (uint32_t j = 0; j < n; ++j) sum += (long double)x[j] * y[(j + k) % n];
      EXPECT_NEAR(out[k], double(sum), 1e-5 * std::sqrt(double(n)) * 3000.0 * 3000.0) << n << " " << k;
    }
  }
}

TEST(BlockCorrelator, MeanVectorMatchesNaiveNormalisedCorrelationOnEveryValidLag) {
  const uint32_t block = 64, window = 256;
  const int ringLength = 300;
  const std::vector<float> a = Noise(4000, 7), b = Noise(4000, 8);
  CBlockCorrelator correlator;
  correlator.Init(block, window, 16);
  std::vector<long double> expected(window - block + 1, 0.0L);
  const int calls = 3;
  for (int call = 0; call < calls; ++call) {
    const size_t newest = 1000 + 97 * call;
    const int end = (37 * call + 250) % ringLength;
    const Ring ra = RingOf(a, newest, ringLength, end);
    const Ring rb = RingOf(b, newest, ringLength, (end + 11) % ringLength);
    correlator.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, ringLength);
    for (uint32_t lag = 0; lag <= window - block; ++lag)
      expected[lag] += NaiveNormalised(&a[newest - block], block, &b[newest - window], lag);
  }
  const float* vector = nullptr;
  int32_t count = 0;
  correlator.MaxSigned(nullptr, nullptr, nullptr, nullptr, &vector, &count, 1, 0);
  ASSERT_EQ(count, calls);
  for (uint32_t lag = 0; lag <= window - block; ++lag) {
    const uint32_t entry = (lag + block) % window;
    EXPECT_NEAR(vector[entry], double(expected[lag]), 1e-5) << lag;
  }
}

TEST(BlockCorrelator, IdenticalAndDelayedSignalsPeakWhereTheIndexConventionSays) {
  const uint32_t block = 128, window = 512;
  const std::vector<float> s = Noise(5000, 3);
  for (int d : {0, 1, 100, int(window - block)}) {
    CBlockCorrelator correlator;
    correlator.Init(block, window, 16);
    // A is B delayed by d: A's newest block occurs d samples before B's newest.
    const Ring rb = RingOf(s, 3000, 1024, 700);
    const Ring ra = RingOf(s, 3000 - d, 1024, 700);
    correlator.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, 1024);
    int32_t pos = 0;
    float peak = 0.0f;
    correlator.MaxAbs(&pos, &peak, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(pos, d == 0 ? int32_t(window) : int32_t(window) - d) << d;
    EXPECT_NEAR(peak, 1.0f, 1e-5) << d;
  }
}

TEST(BlockCorrelator, PeaksAreZeroBeforeAnyBlockAndSilentBlocksCount) {
  CBlockCorrelator correlator;
  correlator.Init(64, 256, 16);
  float peak = 1.0f;
  int32_t count = -1;
  correlator.MaxAbs(nullptr, &peak, nullptr, nullptr, nullptr, &count, 0);
  EXPECT_EQ(peak, 0.0f);
  EXPECT_EQ(count, 0);
  std::vector<float> silence(512, 0.0f);
  correlator.Process(silence.data(), 100, silence.data(), 100, 512);
  correlator.MaxAbs(nullptr, &peak, nullptr, nullptr, nullptr, &count, 0);
  EXPECT_EQ(peak, 0.0f);
  EXPECT_EQ(count, 1);
  // A loud block against a window whose newest stretch is silent: no
  // energy at that lag (entry 0), hence 0 there, without dividing by zero.
  std::vector<float> loud = Noise(512, 3);
  std::vector<float> window = loud;
  std::fill(window.begin() + 36, window.begin() + 100, 0.0f);
  CBlockCorrelator fresh;
  fresh.Init(64, 256, 16);
  fresh.Process(loud.data(), 100, window.data(), 100, 512);
  const float* vector = nullptr;
  fresh.MaxAbs(nullptr, &peak, nullptr, nullptr, &vector, &count, 0);
  EXPECT_EQ(vector[0], 0.0f);
  EXPECT_GT(peak, 0.0f);
}

// The rings of call k: the newest samples of a, and of b lagging a by 5.
struct BlockFeed {
  static constexpr uint32_t kBlock = 32, kWindow = 128, kHistory = 4;
  static constexpr int kRing = 200;
  std::vector<float> a = Noise(3000, 21), b = Noise(3000, 22);
  size_t Newest(int call) const { return 400 + 53 * size_t(call); }
  int End(int call) const { return (71 * call + 13) % kRing; }
  Ring A(int call) const { return RingOf(a, Newest(call), kRing, End(call)); }
  Ring B(int call) const { return RingOf(b, Newest(call) - 5, kRing, (End(call) + 9) % kRing); }
};

std::vector<float> MeanVector(CBlockCorrelator& correlator) {
  const float* vector = nullptr;
  int32_t count = 0;
  correlator.MaxSigned(nullptr, nullptr, nullptr, nullptr, &vector, &count, 1, 0);
  return std::vector<float>(vector, vector + correlator.WindowLen());
}

// A full-scale click leaving a window of quiet samples: the recurrence must
// take the click's square out before the entering sample's goes in, or the
// entering square (below the rounding of an energy that still holds the
// click) is lost, and with it every later lag's energy. The samples are
// powers of two whose stretch energies are exact in a double, so the only
// error left is the transform's: a few roundings of the products' scale,
// sqrt(sum x^2 sum y^2), over the smallest quotient's divisor.
TEST(BlockCorrelator, AClickLeavingTheWindowLeavesTheQuietStretchesExactEnergies) {
  const uint32_t block = 4, window = 16;
  const float quiet = 1.0f / 2048.0f;  // 2^-11: its square is the energy's last bit beside the click's
  std::vector<float> x(window, 0.0f), y(window, quiet);
  const float blockSamples[block] = {1.0f, -0.5f, 0.75f, 0.25f};
  std::copy(blockSamples, blockSamples + block, x.end() - block);  // the newest block
  y[0] = 32768.0f;
  y[2] = -quiet;
  for (uint32_t i = 4; i < window; i += 3) y[i] = quiet / 2.0f;  // squares below that last bit
  CBlockCorrelator correlator;
  correlator.Init(block, window, 16);
  correlator.Process(x.data(), 0, y.data(), 0, int(window));
  const std::vector<float> vector = MeanVector(correlator);

  long double xx = 0, yy = 0, quietest = 1e30L;
  for (uint32_t j = 0; j < window; ++j) {
    xx += (long double)x[j] * x[j];
    yy += (long double)y[j] * y[j];
  }
  for (uint32_t lag = 1; lag <= window - block; ++lag) {
    long double e = 0;
    for (uint32_t j = lag; j < lag + block; ++j) e += (long double)y[j] * y[j];
    quietest = std::min(quietest, e);
  }
  const double xBlock = 1.0 + 0.25 + 0.5625 + 0.0625;
  const double tolerance =
      64.0 * DBL_EPSILON * double(std::sqrt(xx * yy) / std::sqrt(xBlock * quietest)) + 4.0 * FLT_EPSILON;
  for (uint32_t lag = 0; lag <= window - block; ++lag)
    EXPECT_NEAR(vector[(lag + block) % window],
                double(NaiveNormalised(x.data() + window - block, block, y.data(), lag)), tolerance)
        << lag;
}

TEST(BlockCorrelator, PairedFeedsMatchLoneOnesBitForBitAndTheNaiveMeanOnceTheHistoryWraps) {
  const BlockFeed feed;
  const uint32_t block = BlockFeed::kBlock, window = BlockFeed::kWindow;
  CBlockCorrelator paired[2], lone[2], cleared;
  for (CBlockCorrelator* c : {&paired[0], &paired[1], &lone[0], &lone[1], &cleared})
    c->Init(block, window, BlockFeed::kHistory);
  const int calls = 7;  // the history of 4 wraps: leaving vectors are taken out of the sums
  std::vector<long double> expected(window - block + 1, 0.0L);
  for (int call = 0; call < calls; ++call) {
    const Ring ra = feed.A(call), rb = feed.B(call);
    CBlockCorrelator* const both[2] = {&paired[0], &paired[1]};
    const CBlockCorrelator::Source sources[2] = {{ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing},
                                                 {rb.data.data(), rb.end, ra.data.data(), ra.end, BlockFeed::kRing}};
    CBlockCorrelator::ProcessEach(both, sources, 2);
    lone[0].Process(ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing);
    lone[1].Process(rb.data.data(), rb.end, ra.data.data(), ra.end, BlockFeed::kRing);
    // A cleared history starts over: its first blocks are forgotten.
    cleared.Process(rb.data.data(), rb.end, ra.data.data(), ra.end, BlockFeed::kRing);
    if (call == 4) cleared.Clear();
    if (call >= calls - int(BlockFeed::kHistory))
      for (uint32_t lag = 0; lag <= window - block; ++lag)
        expected[lag] +=
            NaiveNormalised(&feed.a[feed.Newest(call) - block], block, &feed.b[feed.Newest(call) - 5 - window], lag);
  }
  for (int i = 0; i < 2; ++i) {
    const std::vector<float> got = MeanVector(paired[i]), alone = MeanVector(lone[i]);
    EXPECT_EQ(0, std::memcmp(got.data(), alone.data(), got.size() * sizeof(float))) << i;
  }
  const std::vector<float> mean = MeanVector(paired[0]);
  for (uint32_t lag = 0; lag <= window - block; ++lag)
    EXPECT_NEAR(mean[(lag + block) % window], double(expected[lag]), 2e-5) << lag;
  // Two blocks since the Clear: the sums hold those two only.
  CBlockCorrelator fresh;
  fresh.Init(block, window, BlockFeed::kHistory);
  for (int call = 5; call < calls; ++call) {
    const Ring ra = feed.A(call), rb = feed.B(call);
    fresh.Process(rb.data.data(), rb.end, ra.data.data(), ra.end, BlockFeed::kRing);
  }
  EXPECT_EQ(cleared.Blocks(), 2);
  const std::vector<float> afterClear = MeanVector(cleared), fromFresh = MeanVector(fresh);
  EXPECT_EQ(0, std::memcmp(afterClear.data(), fromFresh.data(), afterClear.size() * sizeof(float)));
}

// Init again on the same window keeps the arrays: what the earlier geometry
// left there (a longer block, a full history) must not reach the new one.
TEST(BlockCorrelator, InitAgainOnTheSameWindowStartsAsAFreshCorrelator) {
  const BlockFeed feed;
  const uint32_t window = BlockFeed::kWindow;
  CBlockCorrelator reused;
  reused.Init(2 * BlockFeed::kBlock, window, BlockFeed::kHistory);
  for (int call = 0; call < 6; ++call) {
    const Ring ra = feed.A(call), rb = feed.B(call);
    reused.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing);
  }
  for (uint32_t block : {BlockFeed::kBlock / 2, 2 * BlockFeed::kBlock}) {
    reused.Init(block, window, BlockFeed::kHistory);
    EXPECT_EQ(reused.Blocks(), 0);
    CBlockCorrelator fresh;
    fresh.Init(block, window, BlockFeed::kHistory);
    for (int call = 6; call < 8; ++call) {
      const Ring ra = feed.A(call), rb = feed.B(call);
      reused.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing);
      fresh.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing);
    }
    const std::vector<float> got = MeanVector(reused), expected = MeanVector(fresh);
    EXPECT_EQ(0, std::memcmp(got.data(), expected.data(), got.size() * sizeof(float))) << block;
  }
}

// The second peak is the search repeated with the first peak's entry set
// to 0, written out plainly here: the largest (smallest) entry, then the
// last entry within the tolerance of it. Signals with one sharp peak, with
// peaks at every period (ties), and with every lag at -1 (a 0 beats them),
// in windows whose valid lags end inside a run of the search's scratch and
// where the last (entry W) opens a run of its own.
TEST(BlockCorrelator, TheSecondPeakIsTheSearchRepeatedWithoutTheFirst) {
  for (const auto& [block, window] : {std::pair<uint32_t, uint32_t>{32, 128}, std::pair<uint32_t, uint32_t>{64, 256}}) {
    const int ring = 400;
    auto tone = [](size_t n, double period, float scale) {
      std::vector<float> out(n);
      for (size_t i = 0; i < n; ++i)
        out[i] = std::round(scale * float(std::sin(6.283185307179586 * double(i) / period)));
      return out;
    };
    struct Pair {
      const char* name;
      std::vector<float> a, b;
    };
    const std::vector<Pair> pairs = {
        {"noise", Noise(3000, 31), Noise(3000, 32)},
        {"tone", tone(3000, 16.0, 3000.0f), tone(3000, 16.0, 2000.0f)},
        {"inverted DC", std::vector<float>(3000, 1000.0f), std::vector<float>(3000, -700.0f)}};
    for (const Pair& pair : pairs) {
      CBlockCorrelator correlator;
      correlator.Init(block, window, 16);
      for (int call = 0; call < 5; ++call) {
        const size_t newest = 600 + 97 * size_t(call);
        const Ring ra = RingOf(pair.a, newest, ring, (call * 37) % ring);
        const Ring rb = RingOf(pair.b, newest - 11, ring, (call * 53 + 5) % ring);
        correlator.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, ring);
      }
      const std::vector<float> v = MeanVector(correlator);
      const float tolerance = BLOCK_CORR_EQUAL_PEAK * float(correlator.Blocks());
      for (int mode = 0; mode < 3; ++mode) {
        const bool absolute = mode == 0, largest = mode != 2;
        std::vector<float> s(window + 1);
        for (uint32_t i = block; i <= window; ++i) {
          const float x = v[i % window];
          s[i] = absolute ? std::fabs(x) : x;
        }
        auto search = [&] {
          uint32_t found = block;
          for (uint32_t i = block + 1; i <= window; ++i)
            if (largest ? s[i] > s[found] : s[i] < s[found]) found = i;
          const float bound = largest ? s[found] - tolerance : s[found] + tolerance;
          uint32_t at = found;
          for (uint32_t i = block; i <= window; ++i)
            if (largest ? s[i] >= bound : s[i] <= bound) at = i;
          return int32_t(at);
        };
        const int32_t wantFirst = search();
        s[wantFirst] = 0.0f;
        const int32_t wantSecond = search();
        int32_t pos = -1, secondPos = -1;
        float peak = 0.0f, secondPeak = 0.0f;
        if (absolute)
          correlator.MaxAbs(&pos, &peak, &secondPos, &secondPeak, nullptr, nullptr, 0);
        else
          correlator.MaxSigned(&pos, &peak, &secondPos, &secondPeak, nullptr, nullptr, largest ? 1 : 0, 0);
        SCOPED_TRACE(testing::Message() << pair.name << " mode " << mode << " window " << window);
        EXPECT_EQ(pos, wantFirst);
        EXPECT_EQ(secondPos, wantSecond);
        EXPECT_EQ(secondPeak, (absolute ? v[wantSecond % window] : s[wantSecond]) / float(correlator.Blocks()));
      }
    }
  }
}

// Without normalisation the sums hold the plain correlation sums of the
// last H blocks, leaving blocks taken out, paired or alone.
TEST(BlockCorrelator, UnnormalisedSumsAreThePlainSumsOfTheLastBlocks) {
  const BlockFeed feed;
  const uint32_t block = BlockFeed::kBlock, window = BlockFeed::kWindow;
  CBlockCorrelator paired[2], lone;
  for (CBlockCorrelator* c : {&paired[0], &paired[1], &lone}) c->Init(block, window, BlockFeed::kHistory);
  const int calls = 7;
  std::vector<long double> expected(window - block + 1, 0.0L);
  for (int call = 0; call < calls; ++call) {
    const Ring ra = feed.A(call), rb = feed.B(call);
    CBlockCorrelator* const both[2] = {&paired[0], &paired[1]};
    const CBlockCorrelator::Source sources[2] = {{ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing},
                                                 {rb.data.data(), rb.end, ra.data.data(), ra.end, BlockFeed::kRing}};
    CBlockCorrelator::ProcessEach(both, sources, 2, 0);
    lone.Process(ra.data.data(), ra.end, rb.data.data(), rb.end, BlockFeed::kRing, 0);
    if (call < calls - int(BlockFeed::kHistory)) continue;
    const float* x = &feed.a[feed.Newest(call) - block];
    const float* y = &feed.b[feed.Newest(call) - 5 - window];
    for (uint32_t lag = 0; lag <= window - block; ++lag)
      for (uint32_t j = 0; j < block; ++j) expected[lag] += (long double)x[j] * y[j + lag];
  }
  const std::vector<float> mean = MeanVector(paired[0]), alone = MeanVector(lone);
  EXPECT_EQ(0, std::memcmp(mean.data(), alone.data(), mean.size() * sizeof(float)));
  for (uint32_t lag = 0; lag <= window - block; ++lag)
    EXPECT_NEAR(mean[(lag + block) % window], double(expected[lag]), 1e-5 * 4 * block * 3000.0 * 3000.0) << lag;
}

TEST(BlockCorrelator, RefusesRingEndsOutsideTheRingAndBlocksLongerThanTheWindowWithoutStoppingItsPartner) {
  const BlockFeed feed;
  const Ring ra = feed.A(0), rb = feed.B(0);
  const int ring = BlockFeed::kRing;
  struct Case {
    const char* name;
    uint32_t block;
    int aEnd, bEnd, ringLength;
  } cases[] = {
      {"negative block end", BlockFeed::kBlock, -1, rb.end, ring},
      {"block end past the ring", BlockFeed::kBlock, ring + 1, rb.end, ring},
      {"window end past the ring", BlockFeed::kBlock, ra.end, ring + 40, ring},
      {"ring shorter than the window", BlockFeed::kBlock, 10, 10, int(BlockFeed::kWindow) - 1},
      {"block longer than the window", BlockFeed::kWindow + 8, ra.end, rb.end, ring},
  };
  for (const Case& c : cases) {
    CBlockCorrelator refused, partner;
    refused.Init(c.block, BlockFeed::kWindow, BlockFeed::kHistory);
    partner.Init(c.block > BlockFeed::kWindow ? BlockFeed::kBlock : c.block, BlockFeed::kWindow, BlockFeed::kHistory);
    CBlockCorrelator* const both[2] = {&refused, &partner};
    const CBlockCorrelator::Source sources[2] = {{ra.data.data(), c.aEnd, rb.data.data(), c.bEnd, c.ringLength},
                                                 {ra.data.data(), ra.end, rb.data.data(), rb.end, ring}};
    CBlockCorrelator::ProcessEach(both, sources, 2);
    EXPECT_EQ(refused.Blocks(), 0) << c.name;
    EXPECT_EQ(partner.Blocks(), 1) << c.name;
    float peak = 1.0f;
    refused.MaxAbs(nullptr, &peak, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(peak, 0.0f) << c.name;
  }
}

class CorrelatorSetTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kBlock = 256;
  static constexpr uint32_t kWindow = 1024;
  static constexpr int kRing = 2048;

  // Feeds `blocks` blocks where the test is `lead` samples ahead of the
  // reference (negative: it lags), test = sign * reference.
  void FeedBlocks(CCorrelatorSet& set, int lead, int blocks, float sign = 1.0f) {
    const std::vector<float> s = Noise(40000, 11);
    for (int k = 0; k < blocks; ++k) {
      const size_t newest = 5000 + 300 * k;
      const int end = (newest % kRing);
      Ring ref = RingOf(s, newest, kRing, end);
      Ring test = RingOf(s, newest + lead, kRing, end);
      for (float& v : test.data) v *= sign;
      set.Feed(ref.data.data(), ref.end, 1e9, test.data.data(), test.end, 1e9, kRing);
    }
  }
};

TEST_F(CorrelatorSetTest, DelaySignFollowsWhichSignalIsAhead) {
  for (int lead : {100, -100, 0, 700, -700}) {
    CCorrelatorSet set;
    set.Init(kBlock, kWindow, 2);
    FeedBlocks(set, lead, 16);
    CORRRESULT* result = nullptr;
    int ok = 0;
    set.PickBest(&ok, &result, 0, 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(result->delay, lead);
    EXPECT_NEAR(result->quality, 100.0f, 0.01f);
    EXPECT_EQ(result->flags, CORR_STRONG_PEAK | CORR_ENOUGH_DATA) << lead;
    EXPECT_NEAR(set.ValueAtLag(lead, 0), 100.0, 0.01) << lead;
    // Beyond W - B no block lies wholly inside the window: nothing there.
    const int32_t beyond = int32_t(kWindow - kBlock) + 1;
    EXPECT_EQ(set.ValueAtLag(beyond, 0), 0.0) << lead;
    EXPECT_EQ(set.ValueAtLag(-beyond, 0), 0.0) << lead;
  }
}

TEST_F(CorrelatorSetTest, TheBestPeakApartFromADelayIsAnEchosNotTheDelaysOwnLobe) {
  // White noise with an echo of gain g 60 samples on: the peak correlates
  // 1/sqrt(1+g^2), the echo g/sqrt(1+g^2); past the echo only noise.
  constexpr double kGain = 0.9;
  const std::vector<float> s = Noise(40000, 13);
  std::vector<float> echoed(s.size());
  for (size_t n = 0; n < s.size(); ++n) echoed[n] = float(s[n] + (n >= 60 ? kGain * s[n - 60] : 0.0));
  const double norm = std::sqrt(1.0 + kGain * kGain);
  for (const int lead : {200, -200}) {
    CCorrelatorSet set;
    set.Init(kBlock, kWindow, 2);
    EXPECT_EQ(set.BestApartFrom(lead, 8), 0.0);  // no block yet
    for (int k = 0; k < 16; ++k) {
      const size_t newest = 5000 + 300 * k;
      const int end = int(newest % kRing);
      const Ring ref = RingOf(s, newest, kRing, end);
      const Ring test = RingOf(echoed, newest + lead, kRing, end);
      set.Feed(ref.data.data(), ref.end, 1e9, test.data.data(), test.end, 1e9, kRing);
    }
    CORRRESULT* result = nullptr;
    int ok = 0;
    set.PickBest(&ok, &result, 0, 0);
    ASSERT_EQ(result->delay, lead);
    EXPECT_NEAR(result->quality, 100.0 / norm, 4.0) << lead;
    EXPECT_NEAR(set.BestApartFrom(lead, 8), 100.0 * kGain / norm, 4.0) << lead;
    EXPECT_LT(set.BestApartFrom(lead, 100), 15.0) << lead;
  }
}

TEST_F(CorrelatorSetTest, EachBlocksOwnPeakIsWhereItsLeadWasButForOneInEightAtEitherEnd) {
  // Block k is fed where the test leads by leads(k): a delay the alignment
  // did not follow spreads the blocks' peaks over the leads, on either
  // side of 0, while a lone stray block at either end does not count.
  struct Case {
    const char* what;
    int (*lead)(int k);
    int center, lowest, highest;
  };
  const Case cases[] = {
      {"a drift of a sample a block, the test ahead", [](int k) { return 100 + k; }, 107, 102, 113},
      {"the same, the test behind", [](int k) { return -100 - k; }, -107, -113, -102},
      {"across 0", [](int k) { return k - 8; }, 0, -6, 5},
      {"one stray block at either end", [](int k) { return k == 3 ? 9 : (k == 11 ? -9 : 2); }, 2, 2, 2},
  };
  const std::vector<float> s = Noise(40000, 17);
  for (const Case& c : cases) {
    CCorrelatorSet set;
    set.Init(kBlock, kWindow, 2);
    EXPECT_EQ(set.PeaksOfBlocks(c.center, 16, 1.0f).blocks, 0) << c.what;
    for (int k = 0; k < 16; ++k) {
      const size_t newest = 5000 + 300 * size_t(k);
      const int end = int(newest % kRing);
      const Ring ref = RingOf(s, newest, kRing, end);
      const Ring test = RingOf(s, size_t(int64_t(newest) + c.lead(k)), kRing, end);
      set.Feed(ref.data.data(), ref.end, 1e9, test.data.data(), test.end, 1e9, kRing);
    }
    const CCorrelatorSet::BlockPeaks peaks = set.PeaksOfBlocks(c.center, 16, 1.0f);
    EXPECT_EQ(peaks.blocks, 16) << c.what;
    EXPECT_EQ(peaks.lowest, c.lowest) << c.what;
    EXPECT_EQ(peaks.highest, c.highest) << c.what;
  }
}

TEST_F(CorrelatorSetTest, FlagsNeedFifteenBlocksAndStrongPeaks) {
  CCorrelatorSet set;
  set.Init(kBlock, kWindow, 2);
  CORRRESULT* result = nullptr;
  int ok = 0;
  set.PickBest(&ok, &result, 0, 0);
  EXPECT_EQ(result->delay, 0);  // no pick yet: not the edge of the window
  EXPECT_EQ(result->quality, 0.0f);
  EXPECT_EQ(result->flags, CORR_NOT_RELIABLE);
  EXPECT_EQ(set.ValueAtLag(0, 0), 0.0);  // no block yet: no division by zero
  EXPECT_EQ(set.ValueAtLag(-5, 0), 0.0);
  FeedBlocks(set, 40, 14);
  set.PickBest(&ok, &result, 0, 0);
  EXPECT_EQ(result->flags, CORR_STRONG_PEAK | CORR_NOT_RELIABLE);
  FeedBlocks(set, 40, 1);
  set.PickBest(&ok, &result, 0, 0);
  EXPECT_EQ(result->flags, CORR_STRONG_PEAK | CORR_ENOUGH_DATA);
}

TEST_F(CorrelatorSetTest, BlocksAtTheEnergyThresholdAreNotFed) {
  CCorrelatorSet set;
  set.Init(kBlock, kWindow, 2);
  std::vector<float> ring(kRing, 1000.0f);
  set.Feed(ring.data(), 10, 8.0 * kBlock, ring.data(), 10, 8.0 * kBlock + 1.0, kRing);
  EXPECT_EQ(set.Correlator(0).Blocks(), 0);
  EXPECT_EQ(set.Correlator(1).Blocks(), 1);
}

TEST_F(CorrelatorSetTest, InvertedTestNeedsUseAbsAndGivesANegativeQuality) {
  CCorrelatorSet set;
  set.Init(kBlock, kWindow, 2);
  FeedBlocks(set, -300, 16, -1.0f);
  CORRRESULT* result = nullptr;
  int ok = 0;
  set.PickBest(&ok, &result, 1, 0);
  EXPECT_EQ(result->delay, -300);
  EXPECT_NEAR(result->quality, -100.0f, 0.01f);
  EXPECT_EQ(result->flags, CORR_STRONG_PEAK | CORR_ENOUGH_DATA);
  set.PickBest(&ok, &result, 0, 0);
  EXPECT_GT(result->quality, -100.0f);
  EXPECT_LT(result->quality, 60.0f);
  EXPECT_EQ(result->flags & CORR_STRONG_PEAK, 0);
  // Signed pick towards negative values finds it, with both correlators fed.
  set.PickBestSigned(&ok, &result, -1.0f, 0);
  EXPECT_EQ(result->delay, -300);
  EXPECT_NEAR(result->quality, -100.0f, 0.01f);
  EXPECT_NE(result->flags & CORR_STRONG_PEAK, 0);
}

TEST_F(CorrelatorSetTest, SecondPeakOfTheLaggingCorrelatorIsSignedLikeTheFirst) {
  CCorrelatorSet set;
  set.Init(kBlock, kWindow, 2);
  FeedBlocks(set, -300, 16);
  CORRRESULT* result = nullptr;
  int ok = 0;
  set.PickBestSigned(&ok, &result, 1.0f, 1);
  EXPECT_EQ(result->delay, -300);
  // White noise puts the second peak anywhere, but on the lagging side.
  EXPECT_LT(result->secondDelay, 0);
  EXPECT_GE(result->secondDelay, -int32_t(kWindow - kBlock));
}

// A signal that repeats every 16 samples matches at every repeat equally:
// the pick takes the delay nearest 0 and leaves the delay open. With a
// little noise on top the repeats still tie within the rounding of the
// summed vectors (larger than that of one vector).
TEST_F(CorrelatorSetTest, PeaksOfARepeatingSignalPreferTheDelayNearestZeroAndAreNeverStrong) {
  for (const double noise : {0.0, 8.0}) {
    std::vector<float> tone(40000);
    std::mt19937 generator(5);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (size_t n = 0; n < tone.size(); ++n)
      tone[n] = std::round(10000.0 * std::sin(2.0 * M_PI * double(n) / 16.0) + noise * normal(generator));
    struct Case {
      int lead;          // the test is this far ahead of the reference
      int32_t expected;  // the repeat of the lead nearest 0 (on a tie the test ahead)
    };
    for (const Case& c : {Case{0, 0}, Case{5, 5}, Case{11, -5}, Case{-37, -5}, Case{40, 8}}) {
      for (int useAbs : {0, 1}) {
        CCorrelatorSet set;
        set.Init(kBlock, kWindow, 2);
        for (int k = 0; k < 16; ++k) {
          const size_t newest = 5000 + 300 * k;
          const int end = int(newest % kRing);
          const Ring ref = RingOf(tone, newest, kRing, end);
          const Ring test = RingOf(tone, newest + c.lead, kRing, end);
          set.Feed(ref.data.data(), ref.end, 1e9, test.data.data(), test.end, 1e9, kRing);
        }
        CORRRESULT* result = nullptr;
        int ok = 0;
        set.PickBest(&ok, &result, useAbs, 0);
        // With magnitudes a half period (8) matches as well, inverted.
        const int32_t expected =
            useAbs != 0 && std::abs(c.expected) > 4 ? c.expected - (c.expected > 0 ? 8 : -8) : c.expected;
        EXPECT_EQ(result->delay, expected) << c.lead << " abs " << useAbs << " noise " << noise;
        EXPECT_EQ(result->flags, CORR_AMBIGUOUS | CORR_ENOUGH_DATA)
            << c.lead << " abs " << useAbs << " noise " << noise;
      }
    }
  }
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's arrays come from its own heap
// Pages of the process that are resident, from /proc/self/statm.
long long ResidentPages() {
  long long size = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%lld %lld", &size, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident;
}

// A set that is built but never fed (the re-check's in the default mode)
// costs address space only: none of its pages is faulted in before its
// first block, which then is.
TEST(CorrelatorSetMemory, ASetNeverFedLeavesItsPagesUntouched) {
  constexpr uint32_t kWindow = 1u << 16, kBlock = kWindow / 8;
  constexpr int kSets = 8, kWarm = 2;
  std::vector<CCorrelatorSet> sets(kSets);
  // The first sets built also set up what every later one shares.
  for (int k = 0; k < kWarm; ++k) ASSERT_EQ(sets[k].Init(kBlock, kWindow, 2), 1);
  ResidentPages();  // its own first read sets up the stream it reads with
  const long long before = ResidentPages();
  ASSERT_GT(before, 0);
  for (int k = kWarm; k < kSets; ++k) ASSERT_EQ(sets[k].Init(kBlock, kWindow, 2), 1);
  const long long built = ResidentPages();
  // Each set's two correlators take a block of about 6.5 MB; a page of
  // each, or the huge page that holds it, was once written at Init.
  EXPECT_LT(built - before, kSets - kWarm) << "pages faulted in by " << kSets - kWarm << " sets built";
  const std::vector<float> ring = Noise(kWindow, 3);
  sets[kWarm].Feed(ring.data(), int(kWindow), 1e12, ring.data(), int(kWindow), 1e12, int(kWindow));
  EXPECT_GT(ResidentPages() - built, 64) << "the measure sees a fed set's pages";
}
#endif

TEST(VerifyDelay, CriteriaInOrder) {
  struct Case {
    float rNew, rCurrent, rAt;
    int offset;
    int expected;
  };
  const Case cases[] = {
      {90, 80, 85, 0, DELCOMP_DELAYRELIABLE},
      {90, 80, 85, 12, DELCOMP_DELAYUNCERTAIN},
      {50, 80, 60, 0, DELCOMP_DELAYUNCERTAIN},
      {-50, -80, -60, 0, DELCOMP_DELAYUNCERTAIN},
      {60, -40, -40, 0, DELCOMP_DELAYUNCERTAIN},
      {-30, 60, 55, 0, DELCOMP_DELAYUNCERTAIN},
      // A value that is not a number confirms nothing.
      {NAN, 80, 85, 0, DELCOMP_DELAYUNCERTAIN},
      {90, NAN, 85, 0, DELCOMP_DELAYUNCERTAIN},
      {90, 80, NAN, 0, DELCOMP_DELAYUNCERTAIN},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CDelayEstimator::VerifyDelay(c.rNew, c.rCurrent, c.rAt, c.offset), c.expected)
        << c.rNew << " " << c.rCurrent << " " << c.rAt << " " << c.offset;
}

TEST(QualityPercent, TruncatesWithinTheRangeOfACorrelation) {
  const struct {
    double value;
    int expected;
  } cases[] = {{99.9, 99}, {-99.9, -99}, {100.4, 100}, {1e30, 100}, {-INFINITY, -100}, {NAN, 0}, {-NAN, 0}};
  for (const auto& c : cases) EXPECT_EQ(QualityPercent(c.value), c.expected) << c.value;
}

// Out of memory in the set's Init, at any of its requests (the set's
// array, a correlator's block, the math layer's handle), refuses with a
// Memory reason and leaves the set empty; the next Init builds it and it
// finds the delay as a fresh set does.
TEST_F(CorrelatorSetTest, OutOfMemoryRefusesInitAndTheNextInitMeasures) {
  SetTraceMask(0);
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    SCOPED_TRACE(k);
    CCorrelatorSet set;
    RefusalReason reason;
    int result = 0;
    bool reached = false;
    {
      const RefusalScope scope(&reason);
      FailNthAllocation failure(k);
      result = set.Init(kBlock, kWindow, 2);
      reached = failure.Reached();
    }
    if (!reached) {
      EXPECT_EQ(result, 1);
      return false;
    }
    // The math layer's handle is not the set's memory: without it the
    // set is built and its transforms fail later, as a math failure.
    if (result == 0) {
      EXPECT_EQ(reason.code, RefusalCode::Memory) << reason.Text();
      EXPECT_NE(reason.why.find("out of memory"), std::string::npos) << reason.Text();
      FeedBlocks(set, 100, 16);
      EXPECT_FALSE(set.Fed(0));
      EXPECT_FALSE(set.HasPeak());
    }
    EXPECT_EQ(set.Init(kBlock, kWindow, 2), 1);
    FeedBlocks(set, -100, 16);
    CORRRESULT* picked = nullptr;
    int ok = 0;
    set.PickBest(&ok, &picked, 0, 0);
    EXPECT_EQ(picked->delay, -100);
    EXPECT_EQ(picked->flags, CORR_STRONG_PEAK | CORR_ENOUGH_DATA);
    return true;
  });
  EXPECT_GE(requests, 3);
  SetTraceMask(TRACE_MASK_BEFORE_LOAD);
}

}  // namespace

namespace {

// The search's geometry at 16 kHz: blocks of 16384 in a window of 32768,
// one block a frame of 512 samples.
struct SearchRun {
  static constexpr uint32_t kBlock = 16384;
  static constexpr uint32_t kWindow = 32768;
  static constexpr int kRing = 32768;
  static constexpr size_t kHop = 512;

  // The test is `lead` samples ahead of the reference (negative: it lags);
  // reference[n] = source[n] + refNoise[n], test[n] = source[n + lead] + testNoise[n].
  static CORRRESULT Pick(const std::vector<float>& source, int lead, float noise, int useAbs) {
    const size_t length = 3 * kWindow + 16 * kHop;
    const std::vector<float> refNoise = Noise(length, 21, noise), testNoise = Noise(length, 22, noise);
    std::vector<float> ref(length), test(length);
    const size_t origin = 2000;
    for (size_t n = 0; n < length; ++n) {
      ref[n] = source[origin + n] + refNoise[n];
      test[n] = source[origin + n + lead] + testNoise[n];
    }
    CCorrelatorSet set;
    set.Init(kBlock, kWindow, 2);
    for (int k = 0; k < 16; ++k) {
      const size_t newest = 2 * kWindow + kHop * k;
      const int end = int(newest % kRing);
      const Ring r = RingOf(ref, newest, kRing, end), t = RingOf(test, newest, kRing, end);
      set.Feed(r.data.data(), r.end, 1e12, t.data.data(), t.end, 1e12, kRing);
    }
    CORRRESULT* result = nullptr;
    int ok = 0;
    set.PickBest(&ok, &result, useAbs, 0);
    return *result;
  }
};

// A voice held on one vowel: 25 harmonics of a pitch gliding from f0 to f1
// over the signal, as a 16 kHz signal of about 0.3 full scale.
std::vector<float> HeldVowel(size_t length, double f0, double f1) {
  std::vector<float> out(length);
  double phase = 0.0;
  for (size_t n = 0; n < length; ++n) {
    phase += 2.0 * M_PI * (f0 + (f1 - f0) * double(n) / double(length)) / 16000.0;
    double v = 0.0;
    for (int k = 1; k <= 25; ++k) v += std::sin(k * phase + 0.3 * k * k) / k;
    out[n] = float(std::round(4000.0 * v));
  }
  return out;
}

}  // namespace

// Peaks at other delays that differ from the best by less than the noise
// of the means allows leave the delay open: a tone under noise (every
// period a look-alike in one correlator), and a signal that repeats every
// 16000 samples (its look-alike in the other correlator). A held vowel,
// whose look-alikes one pitch period away come close but not that close,
// stays settled and strong, in both signs.
TEST(CorrelatorSetNearTies, PeaksWithinTheNoiseOfTheMeansLeaveTheDelayOpen) {
  const size_t length = 4 * SearchRun::kWindow + 16 * SearchRun::kHop;
  std::vector<float> tone(length), looped(length);
  const std::vector<float> base = Noise(16000, 5, 6000.0f);
  for (size_t n = 0; n < length; ++n) {
    tone[n] = std::round(10000.0f * float(std::sin(2.0 * M_PI * double(n) / 16.0)));
    looped[n] = base[n % base.size()];
  }
  const std::vector<float> vowel = HeldVowel(length, 118.0, 131.0);
  struct Case {
    const char* name;
    const std::vector<float>& source;
    int lead;
    float noise;  // rms of each signal's own noise
    int useAbs;
    bool open;
  };
  const Case cases[] = {
      {"tone, noise 11 dB below", tone, -300, 2000.0f, 0, true},
      {"tone, noise 17 dB below, magnitudes", tone, -300, 1000.0f, 1, true},
      {"looped noise, noise 12 dB below", looped, 1000, 1500.0f, 0, true},
      {"looped noise, noise 20 dB below, lagging", looped, -1000, 600.0f, 1, true},
      {"held vowel, noise 20 dB below", vowel, -1234, 300.0f, 0, false},
      {"held vowel ahead, noise 20 dB below, magnitudes", vowel, 777, 300.0f, 1, false},
  };
  for (const Case& c : cases) {
    const CORRRESULT result = SearchRun::Pick(c.source, c.lead, c.noise, c.useAbs);
    if (c.open) {
      EXPECT_EQ(result.flags & (CORR_AMBIGUOUS | CORR_STRONG_PEAK), CORR_AMBIGUOUS) << c.name << " " << result.delay;
    } else {
      EXPECT_EQ(result.delay, c.lead) << c.name;
      EXPECT_EQ(result.flags, CORR_STRONG_PEAK | CORR_ENOUGH_DATA) << c.name;
    }
  }
}

namespace {

// A window of 16 blocks fed frame after frame from rings that move on, as
// the delay buffer's do: the test lags the reference by 300 samples under
// noise of its own, and sits 7 places further on in its ring.
struct LongWindowFeed {
  static constexpr uint32_t kBlock = 64;
  static constexpr uint32_t kWindow = 1024;
  static constexpr int kRing = 1300;
  static constexpr int kHop = 40;
  static constexpr int kTestShift = 7;

  explicit LongWindowFeed(unsigned seed) : ref(Noise(4000, 31 + seed)), test(ref.size()) {
    const std::vector<float> noise = Noise(ref.size(), 41 + seed, 1000.0f);
    for (size_t n = 0; n < test.size(); ++n) test[n] = (n >= 300 ? ref[n - 300] : 0.0f) + noise[n];
  }
  // Writes the rings up to frame `frame`'s end and feeds it (with no
  // energy when quiet); returns Feed's result.
  int Feed(CCorrelatorSet& set, std::vector<float>& refRing, std::vector<float>& testRing, int frame, bool quiet) {
    for (const int64_t end = kRing + 60 + int64_t(frame) * kHop; count < end; ++count) {
      refRing[count % kRing] = ref[count];
      testRing[(count + kTestShift) % kRing] = test[count];
    }
    const double energy = quiet ? 0.0 : 1e9;
    return set.Feed(refRing.data(), int(count % kRing), energy, testRing.data(), int((count + kTestShift) % kRing),
                    energy, kRing, count);
  }

  std::vector<float> ref, test;
  int64_t count = 0;  // samples written
};

}  // namespace

// A window of many blocks: each block's correlation is put together from
// transforms of stretches of the other signal kept from feed to feed. Fed
// frame after frame (with frames too quiet to feed between, and a count
// that starts again on other signals), every newest vector of both
// correlators matches the naive normalised correlation of its block and
// its window.
TEST(CorrelatorSetLongWindow, NewestVectorsMatchTheNaiveCorrelationFeedAfterFeed) {
  using F = LongWindowFeed;
  CCorrelatorSet set;
  ASSERT_EQ(set.Init(F::kBlock, F::kWindow, 2), 1);
  std::vector<float> refRing(F::kRing), testRing(F::kRing);
  for (unsigned run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    LongWindowFeed feed(run);
    for (int frame = 0; frame < 40; ++frame) {
      const bool quiet = frame % 7 == 3;
      feed.Feed(set, refRing, testRing, frame, quiet);
      if (quiet) continue;
      const int64_t end = feed.count;
      for (int c = 0; c < 2; ++c) {
        const std::vector<float>& blockSignal = c == 0 ? feed.ref : feed.test;
        const std::vector<float>& windowSignal = c == 0 ? feed.test : feed.ref;
        const float* newest = nullptr;
        int32_t divisor = 0;
        set.Correlator(c).MaxSigned(nullptr, nullptr, nullptr, nullptr, &newest, &divisor, 1, 1);
        ASSERT_NE(newest, nullptr);
        for (uint32_t lag = 0; lag <= F::kWindow - F::kBlock; ++lag) {
          const long double expected =
              NaiveNormalised(&blockSignal[end - F::kBlock], F::kBlock, &windowSignal[end - F::kWindow], lag);
          ASSERT_NEAR(newest[(lag + F::kBlock) % F::kWindow], double(expected), 1e-5)
              << "frame " << frame << " correlator " << c << " lag " << lag;
        }
      }
    }
  }
  EXPECT_FALSE(set.Failed());
}

// Memory refused while such a set is built, or while its transforms are
// first made: the set refuses, or the feed fails and takes no block; the
// next set built and fed finds the delay.
TEST(CorrelatorSetLongWindow, RefusedMemoryTakesNoBlockAndTheNextSetMeasures) {
  using F = LongWindowFeed;
  SetTraceMask(0);
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    SCOPED_TRACE(k);
    CCorrelatorSet set;
    std::vector<float> refRing(F::kRing), testRing(F::kRing);
    LongWindowFeed feed(0);
    int built = 0, fed = 1;
    bool reached = false;
    {
      RefusalReason reason;
      const RefusalScope scope(&reason);
      FailNthAllocation failure(k);
      built = set.Init(F::kBlock, F::kWindow, 2);
      if (built != 0) fed = feed.Feed(set, refRing, testRing, 0, false);
      reached = failure.Reached();
    }
    if (!reached) return false;
    if (built != 0 && fed == 0) {
      EXPECT_TRUE(set.Failed());
      EXPECT_EQ(set.Correlator(0).Blocks(), 0);
      EXPECT_EQ(set.Correlator(1).Blocks(), 0);
    }
    CCorrelatorSet next;
    EXPECT_EQ(next.Init(F::kBlock, F::kWindow, 2), 1);
    LongWindowFeed again(0);
    for (int frame = 0; frame < 16; ++frame) EXPECT_EQ(again.Feed(next, refRing, testRing, frame, false), 1);
    CORRRESULT* picked = nullptr;
    int ok = 0;
    next.PickBest(&ok, &picked, 0, 0);
    EXPECT_EQ(picked->delay, -300);
    return true;
  });
  EXPECT_GE(requests, 2);
  SetTraceMask(TRACE_MASK_BEFORE_LOAD);
}

namespace {

// A window of four blocks fed block after block, as the re-check's set is:
// each block is transformed once, and a window is its last blocks put
// together. The test lags the reference by 100 samples under noise of its
// own and sits 5 places further on in its ring.
struct BlockChainFeed {
  static constexpr uint32_t kBlock = 64;
  static constexpr uint32_t kWindow = 256;
  static constexpr int kRing = 700;
  static constexpr int kTestShift = 5;

  BlockChainFeed() : ref(Noise(6000, 57)), test(ref.size()) {
    const std::vector<float> noise = Noise(ref.size(), 58, 1000.0f);
    for (size_t n = 0; n < test.size(); ++n) test[n] = (n >= 100 ? ref[n - 100] : 0.0f) + noise[n];
  }
  // Writes the rings on by one block and feeds it (with no energy when quiet).
  void Feed(CCorrelatorSet& set, std::vector<float>& refRing, std::vector<float>& testRing, bool quiet) {
    for (const int64_t end = (count == 0 ? kRing : count + kBlock); count < end; ++count) {
      refRing[count % kRing] = ref[count];
      testRing[(count + kTestShift) % kRing] = test[count];
    }
    const double energy = quiet ? 0.0 : 1e9;
    set.Feed(refRing.data(), int(count % kRing), energy, testRing.data(), int((count + kTestShift) % kRing), energy,
             kRing, count);
  }

  std::vector<float> ref, test;
  int64_t count = 0;  // samples written
};

}  // namespace

// Fed block after block, with quiet blocks that break the chain (the
// blocks' transforms then serve beside a transform of each window) and
// rings that wrap: each newest vector of both correlators, and each mean
// over the blocks held, matches the naive normalised correlation.
TEST(CorrelatorSetBlockChain, NewestAndMeanVectorsMatchTheNaiveCorrelationFeedAfterFeed) {
  using F = BlockChainFeed;
  CCorrelatorSet set;
  ASSERT_EQ(set.Init(F::kBlock, F::kWindow, 2), 1);
  std::vector<float> refRing(F::kRing), testRing(F::kRing);
  BlockChainFeed feed;
  std::vector<int64_t> ends;  // the blocks held, newest last
  for (int frame = 0; frame < 60; ++frame) {
    const bool quiet = frame % 11 == 6 || frame == 7;
    feed.Feed(set, refRing, testRing, quiet);
    if (quiet) continue;
    ends.push_back(feed.count);
    if (ends.size() > CCorrelatorSet::kHistoryBlocks) ends.erase(ends.begin());
    for (int c = 0; c < 2; ++c) {
      const std::vector<float>& blockSignal = c == 0 ? feed.ref : feed.test;
      const std::vector<float>& windowSignal = c == 0 ? feed.test : feed.ref;
      for (int relaxed : {1, 0}) {
        const float* v = nullptr;
        int32_t divisor = 0;
        set.Correlator(c).MaxSigned(nullptr, nullptr, nullptr, nullptr, &v, &divisor, 1, relaxed);
        ASSERT_NE(v, nullptr);
        ASSERT_EQ(size_t(divisor), relaxed != 0 ? size_t(1) : ends.size());
        for (uint32_t lag = 0; lag <= F::kWindow - F::kBlock; ++lag) {
          long double expected = 0.0L;
          for (size_t b = relaxed != 0 ? ends.size() - 1 : 0; b < ends.size(); ++b)
            expected += NaiveNormalised(&blockSignal[ends[b] - F::kBlock], F::kBlock,
                                        &windowSignal[ends[b] - F::kWindow], lag);
          ASSERT_NEAR(v[(lag + F::kBlock) % F::kWindow] / divisor, double(expected) / divisor, 1e-5)
              << "frame " << frame << " correlator " << c << " relaxed " << relaxed << " lag " << lag;
        }
      }
    }
  }
  EXPECT_FALSE(set.Failed());
}
