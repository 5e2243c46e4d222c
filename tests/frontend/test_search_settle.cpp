// The start-up search's delay on voiced speech under a strong echo: half a
// second of blocks can peak a sample or two off the delay the whole signal
// peaks at, and the search's first pick that does not improve carries that
// stretch's bias unless a longer stretch settles it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "frontend/speech_like.h"
#include "frontend/tracked_truth.h"

namespace {

constexpr int kRate = 44100;
constexpr int kDirect = 1470;  // the direct path's lag
constexpr int kEcho = 176;     // 4 ms later, at 0.7 of it

// test = (shift(x, 1470) + 0.7 shift(x, 1646)) / 1.7, rounded.
FilePair EchoPair(unsigned seed) {
  FilePair pair;
  pair.rate = kRate;
  pair.reference = SpeechLike(size_t(kRate) * 6, kRate, seed);
  const std::vector<float>& x = pair.reference;
  pair.test.assign(x.size(), 0.0f);
  for (size_t n = kDirect; n < x.size(); ++n) {
    double v = x[n - kDirect];
    if (n >= size_t(kDirect + kEcho)) v += 0.7 * x[n - kDirect - kEcho];
    pair.test[n] = float(std::round(v / 1.7));
  }
  return pair;
}

// The lag within a few samples of the direct path where the whole signals'
// normalised correlation peaks, in long double.
int WholeSignalPeak(const FilePair& pair) {
  int best = 0;
  long double bestValue = -2.0L;
  for (int d = kDirect - 4; d <= kDirect + 4; ++d) {
    long double ab = 0.0L, aa = 0.0L, bb = 0.0L;
    for (size_t n = size_t(d); n < pair.test.size(); ++n) {
      const long double a = pair.reference[n - size_t(d)];
      const long double b = pair.test[n];
      ab += a * b;
      aa += a * a;
      bb += b * b;
    }
    const long double value = ab / std::sqrt(aa * bb);
    if (value > bestValue) {
      bestValue = value;
      best = d;
    }
  }
  return best;
}

}  // namespace

// Seeds on which the pick that stopped the search lay at 1471, 1468 and
// 1469 while the whole signal peaks at the direct path.
TEST(SearchSettle, EchoOnVoicedSpeechGivesTheDelayTheWholeSignalPeaksAt) {
  const Truth truth = [](int64_t) { return kDirect; };
  for (unsigned seed : {2u, 18u, 30u}) {
    SCOPED_TRACE(seed);
    const FilePair pair = EchoPair(seed);
    ASSERT_EQ(WholeSignalPeak(pair), kDirect);
    const std::vector<RecordedFrame> frames = MeasureTracked(pair, kDefaultMode, 1024, 1000);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(ReliableOffTruth(frames, truth), "");
    EXPECT_GT(ReliableShareAtTruth(frames, truth, 0, int64_t(pair.test.size())), 0.95);
  }
}
