// Whole tracked measurements on file pairs whose truth is known: whatever
// path confirms a delay (the search, the re-check, the tracker), no frame is
// called reliable where the search would not call it so: beyond the asked
// range, on a signal that repeats within it, before the blocks that
// confirmed the delay, or after a pause in which the delay stepped. Each
// promise is also asked of a clear twin (the same signal without its hard
// part, or the stretches of it where the truth is plain): there most frames
// must be reliable, so that a rule which never says reliable keeps none.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "frontend/measurement_run.h"
#include "frontend/speech_like.h"
#include "frontend/tracked_truth.h"

namespace {

FilePair PairOf(const std::vector<float>& reference, const Truth& truth, double gain = 1.0) {
  return PairOfTruth(reference, truth, kMeasureRate, gain);
}

std::string WrongReliable(const std::vector<RecordedFrame>& frames, const Truth& truth, int tolerance = 0) {
  return ReliableOffTruth(frames, truth, 0, tolerance);
}

int ReliableCount(const std::vector<RecordedFrame>& frames) {
  int count = 0;
  for (const RecordedFrame& frame : frames) count += IsReliable(frame) ? 1 : 0;
  return count;
}

// Test samples [from, to) where the truth is plain, and the share of the
// frames wholly inside them that each mode must call reliable there: what
// it reached when the floor was set, less about 0.1 (half, where that is
// small). The tracker alone never searches again, so past a step beyond
// its reach its floor is 0; the re-check alone does not follow a drift of
// a sample a frame.
struct Twin {
  const char* what;
  int64_t from = 0;
  int64_t to = std::numeric_limits<int64_t>::max();
  double floors[3] = {};  // by mode, as in kTrackedModes
};

double ReliableShare(const std::vector<RecordedFrame>& frames, const Twin& twin) {
  int inside = 0, reliable = 0;
  for (const RecordedFrame& frame : frames) {
    const int64_t first = FirstTestSample(frame);
    if (first < twin.from || first + int64_t(frame.count) > twin.to) continue;
    ++inside;
    reliable += IsReliable(frame) ? 1 : 0;
  }
  return inside == 0 ? 0.0 : double(reliable) / double(inside);
}

void ExpectShare(const std::vector<RecordedFrame>& frames, size_t mode, const Twin& twin, const std::string& where) {
  EXPECT_GE(ReliableShare(frames, twin), twin.floors[mode]) << kTrackedModes[mode].name << ", " << twin.what << where;
}

std::vector<RecordedFrame> Measure(const FilePair& pair, const TrackingMode& mode, int maxDelayMs = kMeasureMaxDelayMs,
                                   uint32_t frameLength = kMeasureFrame) {
  std::vector<RecordedFrame> frames = MeasureTracked(pair, mode, frameLength, maxDelayMs);
  EXPECT_GT(frames.size(), 100u) << mode.name;
  // The truth is judged at the samples a frame says it holds: it must hold them.
  for (size_t f = 0; f < frames.size(); ++f) {
    const ::testing::AssertionResult holds = HoldsTheFilesAtItsPlace(frames[f], pair);
    if (!holds) {
      ADD_FAILURE() << mode.name << ", frame " << f << ": " << holds.message();
      break;
    }
  }
  return frames;
}

constexpr size_t kModes = std::size(kTrackedModes);
constexpr int64_t kToEnd = std::numeric_limits<int64_t>::max();

TEST(TrackedPromises, NoPathConfirmsADelayBeyondTheAskedRange) {
  // 1000 samples late with a range of 20 ms (960 samples at 48 kHz); the
  // twin lies 900 late, within it.
  const std::vector<float> speech = SpeechLike(6 * kMeasureRate, kMeasureRate, 3);
  const FilePair pair = PairOf(speech, [](int64_t) { return 1000; });
  const FilePair twin = PairOf(speech, [](int64_t) { return 900; });
  const Twin within{"900 late", 0, kToEnd, {0.9, 0.9, 0.9}};
  for (size_t m = 0; m < kModes; ++m) {
    EXPECT_EQ(ReliableCount(Measure(pair, kTrackedModes[m], 20)), 0) << kTrackedModes[m].name;
    ExpectShare(Measure(twin, kTrackedModes[m], 20), m, within, "");
  }
}

TEST(TrackedPromises, ASignalThatRepeatsWithinTheRangeStaysOpen) {
  // A 0.2 s stretch of speech looped, independent noise 40 and 30 dB down,
  // the test 7000 late at 0.7 gain: 7000 and 7000 - 9600 correlate alike.
  // The twin is 5 s of speech that never repeats, under the same noise.
  const std::vector<float> stretch = SpeechLike(kMeasureRate / 5, kMeasureRate, 11);
  std::vector<float> loop;
  for (int k = 0; k < 25; ++k) loop.insert(loop.end(), stretch.begin(), stretch.end());
  const unsigned draw = 21;
  const auto noisyPair = [&](const std::vector<float>& reference) {
    FilePair pair = PairOf(
        reference, [](int64_t) { return 7000; }, 0.7);
    const std::vector<float> refNoise = IntegerNoise(reference.size(), draw, 40.0);
    const std::vector<float> testNoise = IntegerNoise(reference.size(), draw + 1, 130.0);
    for (size_t n = 0; n < reference.size(); ++n) {
      pair.reference[n] += refNoise[n];
      pair.test[n] += testNoise[n];
    }
    return pair;
  };
  const FilePair pair = noisyPair(loop);
  const FilePair twin = noisyPair(SpeechLike(loop.size(), kMeasureRate, 11));
  const Twin unrepeated{"speech that does not repeat", 0, kToEnd, {0.65, 0.65, 0.65}};
  for (size_t m = 0; m < kModes; ++m) {
    EXPECT_EQ(ReliableCount(Measure(pair, kTrackedModes[m])), 0) << kTrackedModes[m].name << ", noise draw " << draw;
    ExpectShare(Measure(twin, kTrackedModes[m]), m, unrepeated, "");
  }
}

TEST(TrackedPromises, AConfirmationVouchesOnlyForFramesFromItsBlocksOn) {
  // 200 late for the first 0.5 s, then 1200: the search over the start
  // confirms 1200 from blocks after the step, and the re-check or the
  // tracker confirms it again from blocks of its own.
  const Truth truth = [](int64_t n) { return n < kMeasureRate / 2 ? 200 : 1200; };
  const FilePair pair = PairOf(SpeechLike(6 * kMeasureRate, kMeasureRate, 5), truth);
  const Twin afterTheStep{"a second past the step", 3 * kMeasureRate / 2, kToEnd, {0.9, 0.9, 0.9}};
  for (size_t m = 0; m < kModes; ++m) {
    const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
    EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name;
    ExpectShare(frames, m, afterTheStep, "");
  }
}

TEST(TrackedPromises, AStepInsideAPauseWaitsForBlocksAfterIt) {
  // 4 s of speech, 1.5 s of digital silence or hiss 80 dB down, 4 s of
  // speech; the delay steps from 320 to 1920 in the middle of the pause.
  const int64_t pauseFrom = 4 * kMeasureRate;
  const int64_t pauseLength = 3 * kMeasureRate / 2;
  const Truth truth = [=](int64_t n) { return n < pauseFrom + pauseLength / 2 ? 320 : 1920; };
  const Twin plain[] = {
      {"the speech before the pause", kMeasureRate, pauseFrom, {0.9, 0.9, 0.9}},
      {"the speech from a second after it", pauseFrom + pauseLength + kMeasureRate, kToEnd, {0.9, 0.9, 0.0}}};
  for (const double hiss : {0.0, 1.0}) {
    std::vector<float> reference = SpeechLike(8 * kMeasureRate, kMeasureRate, 9);
    const std::vector<float> quiet = IntegerNoise(size_t(pauseLength), 31, hiss);
    reference.insert(reference.begin() + pauseFrom, quiet.begin(), quiet.end());
    const FilePair pair = PairOf(reference, truth);
    for (size_t m = 0; m < kModes; ++m) {
      const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
      const std::string where = ", hiss " + std::to_string(int(hiss));
      EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name << where;
      for (const Twin& twin : plain) ExpectShare(frames, m, twin, where);
    }
  }
}

TEST(TrackedPromises, ASmallStepIsNeitherHiddenByTheBroadPeakNorReadAsADrift) {
  // 1440 late, then 1448 from 3 s: the newest block's peak moves 8 samples
  // while the old delay still correlates well; the constant delays either
  // side are exact.
  const int64_t step = 3 * kMeasureRate;
  const Truth truth = [=](int64_t n) { return n < step ? 1440 : 1448; };
  const FilePair pair = PairOf(SpeechLike(7 * kMeasureRate, kMeasureRate, 13), truth);
  const Twin plain[] = {{"the second before the step", 2 * kMeasureRate, step, {0.9, 0.9, 0.9}},
                        {"from a second after the step", step + kMeasureRate, kToEnd, {0.9, 0.9, 0.9}}};
  for (size_t m = 0; m < kModes; ++m) {
    const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
    EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name;
    for (const Twin& twin : plain) ExpectShare(frames, m, twin, "");
  }
}

TEST(TrackedPromises, UnderAnEchoTheReliableFramesCarryExactlyTheDelay) {
  // 1600 late with an echo of gain g 1 ms (48 samples) after the direct
  // path: the peak's lobe is broad and lopsided, and on a stretch of the
  // signal the re-check's peak lies a sample or three off, the tracker
  // stepping after it. The delay placed stays where the blocks put it.
  // The floors: what each mode reached when they were set, less about 0.1
  // (half, where that is small).
  struct Case {
    unsigned seed;
    double gain;
    double floors[kModes];
  };
  constexpr int64_t kDelay = 1600, kEcho = 48;
  for (const Case c : {Case{31, 0.9, {0.07, 0.04, 0.0}}, Case{32, 0.5, {0.78, 0.53, 0.53}},
                       Case{32, 0.9, {0.18, 0.03, 0.0}}, Case{33, 0.9, {0.02, 0.07, 0.06}},
                       Case{34, 0.5, {0.73, 0.45, 0.47}}}) {
    FilePair pair;
    pair.reference = SpeechLike(10 * kMeasureRate, kMeasureRate, c.seed);
    pair.test.assign(pair.reference.size(), 0.0f);
    for (size_t n = size_t(kDelay); n < pair.test.size(); ++n) {
      const double late = n >= size_t(kDelay + kEcho) ? pair.reference[n - size_t(kDelay + kEcho)] : 0.0;
      pair.test[n] = float(std::round((pair.reference[n - size_t(kDelay)] + c.gain * late) / (1.0 + c.gain)));
    }
    const Truth truth = [](int64_t) { return int(kDelay); };
    const Twin whole{"the echo", 0, kToEnd, {c.floors[0], c.floors[1], c.floors[2]}};
    const std::string where = ", seed " + std::to_string(c.seed) + ", gain " + std::to_string(c.gain);
    for (size_t m = 0; m < kModes; ++m) {
      const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
      EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name << where;
      ExpectShare(frames, m, whole, where);
    }
  }
}

// The test falls behind the reference by `ppm` from 300 samples late.
FilePair DriftingPair(int rate, double ppm, unsigned seed, Truth* truth) {
  const double perSample = ppm * 1e-6;
  return PairAlong(
      SpeechLike(size_t(8 * rate), rate, seed), rate, [=](int64_t n) { return 300.0 + perSample * double(n); }, truth);
}

TEST(TrackedPromises, UnderADriftEveryReliableFrameIsWithinThreeSamples) {
  // At 1000 ppm the delay moves a sample a frame: the re-check's peak of
  // the mean of its blocks places it only a few samples either way (at
  // 96 kHz the peak of this low-pass signal is broad), and a run of its
  // confirmations must not carry the delay off the drift's line. The
  // tracker keeps up with a drift of a sample or so a frame by steps the
  // newest block's broad peak only just favours. Seed 20 without the
  // tracker: a search the re-check sent back to averages the drifting delay
  // into a look-alike a pitch period off, which the re-check's first block
  // or two at that delay agree with. At 1000 ppm and 48 kHz the two frames
  // once reliable rested on blocks whose own peaks lay 4 from the delay
  // confirmed: right by chance, not resolved to the 3 asked.
  struct Case {
    int rate;
    double ppm;
    unsigned seed;
    double floors[kModes];  // the reliable share, at least
  };
  // The tracker's floor at 500 ppm and both modes' at 96 kHz, seed 28,
  // leave out frames a re-check would vouch for over blocks fed at delays
  // on no drift's line: the mean of such blocks places no delay.
  for (const Case c : {Case{48000, 500.0, 17, {0.0, 0.3, 0.2}}, Case{48000, 1000.0, 17, {0.0, 0.0, 0.0}},
                       Case{96000, 1000.0, 18, {0.0, 0.28, 0.44}}, Case{96000, 1000.0, 20, {0.0, 0.18, 0.5}},
                       Case{96000, 1000.0, 28, {0.0, 0.23, 0.6}}}) {
    Truth truth;
    const FilePair pair = DriftingPair(c.rate, c.ppm, c.seed, &truth);
    const Twin whole{"the drift", 0, kToEnd, {c.floors[0], c.floors[1], c.floors[2]}};
    for (size_t m = 0; m < kModes; ++m) {
      const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
      const std::string where =
          ", " + std::to_string(int(c.ppm)) + " ppm at " + std::to_string(c.rate) + ", seed " + std::to_string(c.seed);
      EXPECT_EQ(WrongReliable(frames, truth, 3), "") << kTrackedModes[m].name << where;
      ExpectShare(frames, m, whole, where);
    }
  }
}

TEST(TrackedPromises, ADriftThatStopsOrTurnsInAPauseIsNotPredictedOn) {
  // 1000 ppm for 4 s of speech, then 1.5 s of silence; at its start the
  // drift stops, or turns the other way. Frames carried through the pause
  // by the drift measured, and those after it, hold within 3 of the truth.
  const int64_t pauseFrom = 4 * kMeasureRate;
  std::vector<float> reference = SpeechLike(8 * kMeasureRate, kMeasureRate, 19);
  reference.insert(reference.begin() + pauseFrom, size_t(3 * kMeasureRate / 2), 0.0f);
  const Twin before{"the drift before the pause", kMeasureRate, pauseFrom, {0.0, 0.05, 0.05}};
  for (const double after : {0.0, -1e-3}) {
    Truth truth;
    const FilePair pair = PairAlong(
        reference, kMeasureRate,
        [=](int64_t n) {
          const double until = 300.0 + 1e-3 * double(std::min(n, pauseFrom));
          return until + after * double(std::max<int64_t>(n - pauseFrom, 0));
        },
        &truth);
    const std::string where = ", then " + std::to_string(int(after * 1e6)) + " ppm";
    for (size_t m = 0; m < kModes; ++m) {
      const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
      EXPECT_EQ(WrongReliable(frames, truth, 3), "") << kTrackedModes[m].name << where;
      ExpectShare(frames, m, before, where);
    }
  }
}

TEST(TrackedPromises, AfterAStepDownNoFrameIsReliableAtTheDelayLeft) {
  // 120 ms late, then 50 ms from 3 s (5760 -> 2400 at 48 kHz).
  const int64_t step = 3 * kMeasureRate;
  const Truth truth = [=](int64_t n) { return n < step ? 5760 : 2400; };
  const FilePair pair = PairOf(SpeechLike(8 * kMeasureRate, kMeasureRate, 23), truth);
  const Twin plain[] = {{"before the step", kMeasureRate, step, {0.9, 0.9, 0.9}},
                        {"from a second after the step", step + kMeasureRate, kToEnd, {0.9, 0.9, 0.0}}};
  for (size_t m = 0; m < kModes; ++m) {
    const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
    EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name;
    for (const Twin& twin : plain) ExpectShare(frames, m, twin, "");
  }
}

TEST(TrackedPromises, AStepInAGapBetweenWordsIsNotHiddenByTheQuietReference) {
  // 150 ms of silence in the reference (shorter than a pause); the delay
  // steps from 5760 to 600 while the delay left pairs the test with the
  // gap. Once the test holds speech again, the gap it is paired with at
  // the old delay is too quiet to re-check, but the loud test says the
  // delay moved.
  const int64_t gapFrom = 3 * kMeasureRate;
  const int64_t gapLength = 7200;
  std::vector<float> reference = SpeechLike(7 * kMeasureRate, kMeasureRate, 37);
  std::fill(reference.begin() + gapFrom, reference.begin() + gapFrom + gapLength, 0.0f);
  const int64_t step = gapFrom + 1000 + 5760;
  const Truth truth = [=](int64_t n) { return n < step ? 5760 : 600; };
  const FilePair pair = PairOf(reference, truth);
  const Twin plain[] = {{"before the gap", kMeasureRate, gapFrom, {0.9, 0.9, 0.9}},
                        {"from a second after the step", step + kMeasureRate, kToEnd, {0.9, 0.9, 0.0}}};
  for (size_t m = 0; m < kModes; ++m) {
    const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
    EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name;
    for (const Twin& twin : plain) ExpectShare(frames, m, twin, "");
  }
}

TEST(TrackedPromises, ReCheckedWithoutTheTrackerNoFrameAfterAStepIsReliableAtTheDelayLeft) {
  // 16 kHz, the delay stepping every 2 s by 400-1200 samples, at frame
  // lengths from the shortest the library takes: the re-check's newest
  // block, longer than a short frame, holds a step only in part for a
  // few frames while the frames' own samples lie past it.
  constexpr int kRate = 16000;
  static constexpr int kSteps[] = {800, 1600, 400, 1200, 2000, 600, 1400, 1000};
  const Truth truth = [](int64_t n) { return kSteps[std::min<int64_t>(n / (2 * kRate), 7)]; };
  FilePair pair = PairOf(SpeechLike(16 * kRate, kRate, 41), truth);
  pair.rate = kRate;
  // A clear pair between its steps: most of its frames are reliable.
  struct Case {
    uint32_t frameLength;
    double floor;
  };
  for (const Case c : {Case{100, 0.45}, Case{128, 0.55}, Case{512, 0.45}}) {
    SCOPED_TRACE(c.frameLength);
    const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[0], kMeasureMaxDelayMs, c.frameLength);
    EXPECT_EQ(WrongReliable(frames, truth), "");
    ExpectShare(frames, 0, Twin{"the whole pair", 0, kToEnd, {c.floor}}, "");
  }
}

}  // namespace

namespace {

// A steady chord of three notes with their harmonics, at `rms`.
std::vector<float> SteadyChord(size_t length, int rate, double rms) {
  static constexpr double kNotes[] = {220.0, 277.18, 329.63};
  std::vector<double> chord(length, 0.0);
  double energy = 0.0;
  for (size_t n = 0; n < length; ++n) {
    const double t = double(n) / rate;
    for (double note : kNotes)
      for (int h = 1; h <= 6; ++h) chord[n] += std::sin(2.0 * M_PI * note * h * t + h) / h;
    energy += chord[n] * chord[n];
  }
  const double scale = rms / std::sqrt(energy / double(length));
  std::vector<float> out(length);
  for (size_t n = 0; n < length; ++n) out[n] = float(std::round(scale * chord[n]));
  return out;
}

double Rms(const std::vector<float>& x) {
  double energy = 0.0;
  for (float v : x) energy += double(v) * v;
  return std::sqrt(energy / double(x.size()));
}

// A room's tail: reflections 5-80 ms after the direct sound, their
// energy falling by 60 dB over 0.4 s, together half as loud as it.
std::vector<float> Reverberant(const std::vector<float>& dry, int rate) {
  std::mt19937 generator(7);
  std::uniform_int_distribution<int> lagOf(rate / 200, rate * 2 / 25);
  std::normal_distribution<double> sign(0.0, 1.0);
  std::vector<std::pair<int, double>> reflections;
  double energy = 0.0;
  for (int k = 0; k < 60; ++k) {
    const int lag = lagOf(generator);
    const double gain = sign(generator) * std::pow(10.0, -3.0 * lag / (0.4 * rate));
    reflections.emplace_back(lag, gain);
    energy += gain * gain;
  }
  std::vector<float> wet(dry.size());
  for (size_t n = 0; n < dry.size(); ++n) {
    double v = dry[n];
    for (const auto& [lag, gain] : reflections)
      if (n >= size_t(lag)) v += gain / std::sqrt(2.0 * energy) * dry[n - lag];
    wet[n] = float(std::clamp(std::round(v / 2.0), -32768.0, 32767.0));
  }
  return wet;
}

}  // namespace

TEST(TrackedPromises, NoiseOrARoomInTheTestAloneLeavesTheDelayReliable) {
  // Speech 600 late, in the test under a steady chord as loud as it, or
  // with a room's tail half as loud as the direct sound: noise to the
  // correlation that keeps a short block of quiet speech far below a
  // strong peak at the right delay, and lets it peak by chance elsewhere
  // (a reflection, a note). The search places the delay exactly; the
  // re-check's short blocks must not refuse it for being what the noise
  // lets them be, nor the tracker follow a chance peak. One delay
  // throughout: the default mode is reliable on nearly every frame.
  const Truth truth = [](int64_t) { return 600; };
  const std::vector<float> speech = SpeechLike(8 * kMeasureRate, kMeasureRate, 17);
  const FilePair clean = PairOf(speech, truth);
  FilePair chord = clean;
  const std::vector<float> notes = SteadyChord(speech.size(), kMeasureRate, Rms(speech));
  for (size_t n = 0; n < chord.test.size(); ++n)
    chord.test[n] = std::clamp(chord.test[n] + notes[n], -32768.0f, 32767.0f);
  FilePair room = clean;
  room.test = Reverberant(clean.test, kMeasureRate);
  struct Case {
    const char* what;
    const FilePair* pair;
    Twin plain;
  };
  // Past the search's first second; the floors as in Twin, by mode. Under
  // the chord the re-checked modes' floors lie closer to what they reach
  // (0.46, 0.38): without the mean's say, a block whose rival peak (a
  // note) stands a few points above the delay keeps under 0.43 and 0.36.
  const Case cases[] = {{"a chord", &chord, {"past the first second", kMeasureRate, kToEnd, {0.44, 0.37, 0.1}}},
                        {"a room", &room, {"past the first second", kMeasureRate, kToEnd, {0.43, 0.38, 0.35}}}};
  for (const Case& c : cases) {
    for (size_t m = 0; m < kModes; ++m) {
      const std::vector<RecordedFrame> frames = Measure(*c.pair, kTrackedModes[m]);
      EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name << ", " << c.what;
      ExpectShare(frames, m, c.plain, std::string(", ") + c.what);
    }
  }
}

TEST(TrackedPromises, UnderAChordAStepLeavesNoFrameReliableAtTheDelayLeft) {
  // Speech under a chord as loud as it, the delay stepping 600 -> 1400 at
  // 4 s: the chord lends the newest block rival peaks, and a block that
  // still correlates at the delay clear of chance keeps vouching; one
  // past the step correlates there only by chance.
  const int64_t step = 4 * kMeasureRate;
  const Truth truth = [=](int64_t n) { return n < step ? 600 : 1400; };
  const std::vector<float> speech = SpeechLike(8 * kMeasureRate, kMeasureRate, 17);
  FilePair pair = PairOf(speech, truth);
  const std::vector<float> notes = SteadyChord(speech.size(), kMeasureRate, Rms(speech));
  for (size_t n = 0; n < pair.test.size(); ++n) pair.test[n] = std::clamp(pair.test[n] + notes[n], -32768.0f, 32767.0f);
  for (size_t m = 0; m < kModes; ++m) {
    const std::vector<RecordedFrame> frames = Measure(pair, kTrackedModes[m]);
    EXPECT_EQ(WrongReliable(frames, truth), "") << kTrackedModes[m].name;
  }
}
