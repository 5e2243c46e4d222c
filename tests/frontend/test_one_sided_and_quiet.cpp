// Tracked measurements where the level of the signals decides: a delay that
// steps inside a gap of the reference, so that one side of the first frame
// after it holds speech and the other silence, and pairs far below full
// scale, which the re-check must judge on their own level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/measurement_run.h"
#include "frontend/speech_like.h"
#include "frontend/tracked_truth.h"

namespace {

std::vector<RecordedFrame> Measure(const FilePair& pair, const TrackingMode& mode, uint32_t frameLength) {
  return MeasureTracked(pair, mode, frameLength);
}

double ReliableShare(const std::vector<RecordedFrame>& frames) {
  const auto reliable = std::count_if(frames.begin(), frames.end(), IsReliable);
  return frames.empty() ? 0.0 : double(reliable) / double(frames.size());
}

// Where a frame's samples of each file begin (its delay positive: the test lags).
int64_t ReferenceStart(const RecordedFrame& f) {
  return int64_t(f.samplePosition) - int64_t(f.count) - std::max(f.delay, 0);
}

bool AllZero(const std::vector<float>& file, int64_t first, uint32_t count) {
  for (int64_t n = std::max<int64_t>(first, 0); n < first + int64_t(count) && n < int64_t(file.size()); ++n)
    if (file[size_t(n)] != 0.0f) return false;
  return true;
}

// Reliable frames off the truth at every test sample they hold. A frame of
// silence against silence shows no delay, and none is asked of it.
std::string WrongReliable(const std::vector<RecordedFrame>& frames, const FilePair& pair, const Truth& truth) {
  std::string wrong;
  for (size_t i = 0; i < frames.size(); ++i) {
    const RecordedFrame& f = frames[i];
    if (!IsReliable(f)) continue;
    const int64_t test = FirstTestSample(f);
    if (truth(test) == f.delay || truth(test + f.count - 1) == f.delay) continue;
    if (AllZero(pair.reference, ReferenceStart(f), f.count) && AllZero(pair.test, test, f.count)) continue;
    wrong += " " + std::to_string(i) + "@" + std::to_string(f.delay);
  }
  return wrong;
}

TEST(OneSidedFrames, AStepInAGapOfTheReferenceIsNotVouchedForOnceTheNextWordComes) {
  // 8 kHz, a 0.26 s gap in the reference, shorter than a pause; the delay
  // steps inside it, up from 320 to 800 or down again. The reference's next word comes 480
  // samples before the test's: at 320 that frame pairs speech with silence,
  // however well the blocks before the gap correlated there.
  constexpr int kRate = 8000;
  constexpr uint32_t kFrame = 512;
  const int64_t gapFrom = 4 * kRate;
  const int64_t gapLength = 2080;
  std::vector<float> reference = SpeechLike(10 * kRate, kRate, 53);
  std::fill(reference.begin() + gapFrom, reference.begin() + gapFrom + gapLength, 0.0f);
  // Down again, 800 to 320, in the same kind of gap: the test speaks
  // 480 samples before the reference does.
  for (const auto& [before, after] : {std::pair{320, 800}, std::pair{800, 320}}) {
    SCOPED_TRACE(std::to_string(before) + " to " + std::to_string(after));
    const int64_t step = gapFrom + 1200;
    const Truth stepped = [=, b = before, a = after](int64_t n) { return n < step ? b : a; };
    const Truth constant = [b = before](int64_t) { return b; };
    const FilePair pair = PairOfTruth(reference, stepped, kRate);
    const FilePair twin = PairOfTruth(reference, constant, kRate);
    const double twinDefault = ReliableShare(Measure(twin, kDefaultMode, kFrame));
    for (const TrackingMode& mode : kTrackedModes) {
      SCOPED_TRACE(mode.name);
      EXPECT_EQ(WrongReliable(Measure(pair, mode, kFrame), pair, stepped), "");
      // The gap alone costs the clear twin little.
      EXPECT_GT(ReliableShare(Measure(twin, mode, kFrame)), twinDefault - 0.1);
    }
  }
}

TEST(OneSidedFrames, AFrameJustPastAStepIsJudgedOnItsOwnSamplesAtTheDelayItCarries) {
  // 16 kHz, frames of 128 samples, as long as the tracker's re-check
  // block: the delay steps by 1600 samples (0.1 s). Just past the step the
  // blocks' peaks wander and the delay may come back to the one confirmed
  // before, where the frame pairs a word with samples of another stretch
  // that do not correlate with it, or a quiet stretch with a loud one.
  constexpr int kRate = 16000;
  struct Case {
    unsigned seed;
    int before;
    int after;
    int64_t step;
    // The reference falls silent over [step - quietBefore, step + 256):
    // the re-check's newest block is fed by the reference's newest
    // samples, and goes unfed while the frame, paired 1600 earlier, still
    // holds a word on both sides.
    int64_t quietBefore = 0;
  };
  for (const Case& c : {Case{75, 0, 1600, 5 * kRate + 3001}, Case{76, 800, 2400, 3 * kRate + 517},
                        Case{77, 1600, 3200, 4 * kRate + 1234, 640}}) {
    SCOPED_TRACE("seed " + std::to_string(c.seed) + ", " + std::to_string(c.before) + " to " +
                 std::to_string(c.after));
    std::vector<float> reference = SpeechLike(8 * kRate, kRate, c.seed);
    if (c.quietBefore > 0) {
      std::fill(reference.begin() + (c.step - c.quietBefore), reference.begin() + (c.step + 256), 0.0f);
      // The first frame past the step holds a word at the delay left on both sides.
      const auto loud = [&](int64_t first) {
        double sum = 0.0;
        for (int64_t n = first; n < first + 128; ++n) sum += double(reference[size_t(n)]) * reference[size_t(n)];
        return std::sqrt(sum / 128.0) > 300.0;
      };
      ASSERT_TRUE(loud(c.step - c.before) && loud(c.step - c.after));
    }
    const Truth stepped = [c](int64_t n) { return n < c.step ? c.before : c.after; };
    const Truth constant = [c](int64_t) { return c.before; };
    const FilePair pair = PairOfTruth(reference, stepped, kRate);
    const FilePair twin = PairOfTruth(reference, constant, kRate);
    for (const TrackingMode& mode : kTrackedModes) {
      SCOPED_TRACE(mode.name);
      EXPECT_EQ(WrongReliable(Measure(pair, mode, 128), pair, stepped), "");
      // The clear twin's frames still correlate at their delay: at this
      // frame length the re-check alone vouches for two frames in three,
      // with the tracker for more than four in five.
      EXPECT_GT(ReliableShare(Measure(twin, mode, 128)), mode.trackVariableDelay != 0 ? 0.8 : 0.6);
    }
  }
}

// Speech whose peak lies `peakDbfs` below full scale, the test 1000 samples
// late, each with its own noise `noiseDbfs` (RMS) below full scale.
FilePair QuietPair(double peakDbfs, double noiseDbfs) {
  constexpr int kRate = 16000;
  std::vector<float> speech = SpeechLike(12 * kRate, kRate, 61);
  const double scale = 32768.0 * std::pow(10.0, peakDbfs / 20.0) / 12000.0;
  for (float& v : speech) v = float(v * scale);
  FilePair pair = PairOfTruth(
      speech, [](int64_t) { return 1000; }, kRate);
  const double noiseRms = 32768.0 * std::pow(10.0, noiseDbfs / 20.0);
  const std::vector<float> refNoise = IntegerNoise(speech.size(), 3, noiseRms);
  const std::vector<float> testNoise = IntegerNoise(speech.size(), 4, noiseRms);
  for (size_t n = 0; n < speech.size(); ++n) {
    pair.reference[n] = std::round(pair.reference[n] + refNoise[n]);
    pair.test[n] = std::round(pair.test[n] + testNoise[n]);
  }
  return pair;
}

TEST(QuietSignals, AQuietCleanPairIsReCheckedOnItsOwnLevel) {
  // Far below full scale but far above its noise: the re-check has as much
  // to go on as at full scale, and the tracked modes come near the default.
  const Truth truth = [](int64_t) { return 1000; };
  for (const double peakDbfs : {-40.0, -34.0, -3.0}) {
    SCOPED_TRACE(peakDbfs);
    const FilePair pair = QuietPair(peakDbfs, -87.0);
    const double byDefault = ReliableShare(Measure(pair, kDefaultMode, 512));
    EXPECT_GT(byDefault, 0.9);
    for (const TrackingMode& mode : kTrackedModes) {
      SCOPED_TRACE(mode.name);
      const std::vector<RecordedFrame> frames = Measure(pair, mode, 512);
      EXPECT_EQ(WrongReliable(frames, pair, truth), "");
      // Without the tracker the frames' own samples are judged against the
      // re-check's longer block, and a quiet syllable's tail costs a few
      // points more.
      const double shortfall = mode.trackVariableDelay != 0 ? 0.1 : 0.15;
      EXPECT_GT(ReliableShare(frames), byDefault - shortfall);
    }
  }
}

TEST(QuietSignals, DitherIsNeverReliable) {
  // Speech 90 dB down is a sample or two of dither: nothing to re-check or
  // to search in, whatever the mode.
  const FilePair pair = QuietPair(-90.0, -96.0);
  for (const TrackingMode& mode : kTrackedModes) EXPECT_EQ(ReliableShare(Measure(pair, mode, 512)), 0.0) << mode.name;
}

}  // namespace
