// The sparse check at the one delay of a run without tracking: its rule on
// looks of known shape, the check over rings of a constructed pair, and
// whole file runs whose delay drifts or stays under an echo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "Vantrel/frontend/DelayCheck.h"
#include "Vantrel/frontend/SearchSettle.h"
#include "measurement_run.h"
#include "ring_signals.h"
#include "speech_like.h"

namespace {

constexpr int kLags = CDelayCheck::kLags;
constexpr int kLagCount = 2 * kLags + 1;

// One block whose correlation at lag l is 1 - curve (l - peak)^2 (a
// parabola, whose vertex the placement must find exactly), scaled by `top`.
void AddParabola(CDelayCheck::Look* look, double peak, double curve, double top = 0.9) {
  double cross[kLagCount], energies[kLagCount];
  for (int k = 0; k < kLagCount; ++k) {
    const double lag = k - kLags;
    cross[k] = top * (1.0 - curve * (lag - peak) * (lag - peak));
    energies[k] = 1.0;
  }
  look->Add(1.0, cross, energies, 1.0f);
}

CDelayCheck::Look LookOf(const std::vector<double>& peaks, double curve = 0.01, double top = 0.9) {
  CDelayCheck::Look look;
  for (double peak : peaks) AddParabola(&look, peak, curve, top);
  return look;
}

TEST(DelayCheckRule, PlacesALookAtItsBlocksPeakAndKnowsItAsWellAsTheyAgree) {
  struct Case {
    const char* what;
    std::vector<double> blocks;  // where each block's parabola peaks
    double offset;               // where the sum's vertex lies
    double precision;            // farthest block peak (integer lag) from there, at least 1
    bool off;
  } cases[] = {
      {"at the delay", {0.0, 0.0, 0.0}, 0.0, 1.0, false},
      {"a lean within the least offset", {1.4, 1.4}, 1.4, 1.0, false},
      {"blocks agreeing two lags off", {2.25, 2.25, 2.25}, 2.25, 1.0, true},
      {"the other side", {-3.0, -3.0}, -3.0, 1.0, true},
      // An echo's blocks lean either way by the local pitch: their sum's
      // peak lies no further off than they lie from it.
      {"blocks that disagree", {-1.0, 4.0, 3.0, 2.0}, 2.0, 3.0, false},
  };
  for (const Case& c : cases) {
    const CDelayCheck::Placement placement = CDelayCheck::Place(LookOf(c.blocks), 90.0f);
    EXPECT_NEAR(placement.offset, c.offset, 1e-9) << c.what;
    // The blocks' own peaks are whole lags: the nearest to each vertex.
    double precision = 1.0;
    for (double b : c.blocks) precision = std::max(precision, std::fabs(std::round(b) - c.offset));
    EXPECT_NEAR(placement.precision, precision, 1e-9) << c.what;
    EXPECT_EQ(CDelayCheck::Off(placement), c.off) << c.what;
    EXPECT_FALSE(placement.collapsed) << c.what;
  }
}

TEST(DelayCheckRule, OnlyASecondLookOffTheSameWayAndAsFarConfirms) {
  const CDelayCheck::Placement first = CDelayCheck::Place(LookOf({2.0, 2.0}), 90.0f);
  struct Case {
    const char* what;
    CDelayCheck::Look second;
    bool confirms;
  } cases[] = {
      {"further the same way (a drift)", LookOf({2.5, 2.5}), true},
      {"as far", LookOf({2.0, 2.0}), true},
      {"back toward the delay", LookOf({1.2, 1.2}), false},
      {"the other way", LookOf({-2.5, -2.5}), false},
      {"its blocks disagreeing", LookOf({-1.0, 5.0}), false},
      {"collapsed", LookOf({0.0, 0.0}, 0.01, 0.1), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CDelayCheck::Confirms(first, CDelayCheck::Place(c.second, 90.0f)), c.confirms) << c.what;
}

TEST(DelayCheckRule, ALookCollapsesOnlyWhereNoLagLookedAtCorrelates) {
  struct Case {
    const char* what;
    double top;
    float quality;
    bool collapsed;
  } cases[] = {
      {"below half the search's", 0.40, 90.0f, true},
      {"at half of it", 0.46, 90.0f, false},
      // An inverted test: the search's correlation is negative, and so are the looks'.
      {"inverted, well below", -0.2, -90.0f, true},
      {"inverted, strong", -0.9, -90.0f, false},
  };
  for (const Case& c : cases) {
    // The parabola peaks at the delay, so its top is the best lag's.
    const CDelayCheck::Placement placement = CDelayCheck::Place(LookOf({0.0, 0.0}, 0.001, c.top), c.quality);
    EXPECT_EQ(placement.collapsed, c.collapsed) << c.what;
    EXPECT_EQ(CDelayCheck::Off(placement), c.collapsed) << c.what;
  }
  const CDelayCheck::Placement collapsed = CDelayCheck::Place(LookOf({0.0}, 0.001, 0.1), 90.0f);
  EXPECT_TRUE(CDelayCheck::Confirms(collapsed, collapsed));
  EXPECT_FALSE(CDelayCheck::Confirms(collapsed, CDelayCheck::Place(LookOf({3.0, 3.0}), 90.0f)));
}

// A pair whose test holds the reference `delayAt(m)` samples later (the
// test lagging; the check's delay is then negative), run frame by frame
// through a check as the state machine feeds it.
struct RingRun {
  uint32_t block = 4096;
  int rate = 16000;
  uint32_t frame = 512;
  int ringLength = 32768;
  int ringEnd = 100;  // where the rings' newest sample ends
  int64_t searchEnd = 3 * 4096;
  float quality = 95.0f;
};

struct RunResult {
  bool failed = false;
  DelayMove move;
  int64_t firstUnvouched = -1;  // aligned end of the first frame not vouched for
};

// As RingOf, with zeros before the signal's start.
Ring RingFrom(const std::vector<float>& signal, size_t newest, int ringLength, int end = 100) {
  Ring ring{std::vector<float>(size_t(ringLength), 0.0f), end};
  for (int i = 0; i < ringLength && size_t(i) < newest; ++i)
    ring.data[size_t(((ring.end - 1 - i) % ringLength + ringLength) % ringLength)] = signal[newest - 1 - size_t(i)];
  return ring;
}

template <typename DelayAt>
RunResult RunCheck(const RingRun& run, const std::vector<float>& ref, DelayAt delayAt, int checkDelay, float sign) {
  // test[n] = sign * ref[n - delayAt(n)]
  std::vector<float> test(ref.size(), 0.0f);
  for (size_t n = 0; n < ref.size(); ++n) {
    const int64_t m = int64_t(n) - delayAt(int64_t(n));
    if (m >= 0 && m < int64_t(ref.size())) test[n] = sign * ref[size_t(m)];
  }
  CDelayCheck check;
  EXPECT_TRUE(check.Configure(run.block, run.rate));
  RunResult result;
  for (size_t newest = run.frame; newest + run.frame <= ref.size(); newest += run.frame) {
    const Ring r = RingFrom(ref, newest, run.ringLength, run.ringEnd);
    const Ring t = RingFrom(test, newest, run.ringLength, run.ringEnd);
    EstimationBlocks blocks;
    blocks.refRing = const_cast<float*>(r.data.data());
    blocks.testRing = const_cast<float*>(t.data.data());
    blocks.refEnd = blocks.testEnd = run.ringEnd;
    blocks.ringLength = run.ringLength;
    blocks.streamEnd = int64_t(newest);
    check.Note(blocks, checkDelay, sign * run.quality, run.searchEnd);
    const int64_t aligned = int64_t(newest) + std::min(checkDelay, 0);
    if (!check.Holds(aligned) && result.firstUnvouched < 0) result.firstUnvouched = aligned;
  }
  result.move = check.Move();
  result.failed = result.move.moved;
  return result;
}

TEST(DelayCheck, HoldsAtAConstantDelayAndFailsWhereTheDelayMoves) {
  const RingRun run;
  const std::vector<float> noise = Noise(size_t(run.rate) * 12, 7);
  // Noise through an 8-sample moving sum: its correlation falls off over 8 lags.
  std::vector<float> smooth(noise.size(), 0.0f);
  for (size_t n = 8; n < noise.size(); ++n)
    for (size_t k = 0; k < 8; ++k) smooth[n] += noise[n - k] / 8.0f;
  const int64_t change = int64_t(run.rate) * 6;
  struct Case {
    const char* what;
    bool smooth;
    int before, after;  // the test's lag before and after `change`
    float sign;
    bool fails;
    int to;  // where the blocks place it (the check's sign: -lag)
    bool beyond, collapsed;
  } cases[] = {
      {"constant", false, 300, 300, 1.0f, false, 0, false, false},
      {"constant, smooth", true, 300, 300, 1.0f, false, 0, false, false},
      {"constant, test inverted", false, 300, 300, -1.0f, false, 0, false, false},
      {"constant, test ahead", false, -300, -300, 1.0f, false, 0, false, false},
      {"a step of 3", false, 300, 303, 1.0f, true, -303, false, false},
      {"a step of -4, test ahead", false, -300, -304, 1.0f, true, 304, false, false},
      {"a step of 2, smooth", true, 300, 302, 1.0f, true, -302, false, false},
      {"a step beyond the lags, smooth", true, 300, 308, 1.0f, true, -306, true, false},
      // White noise correlates nowhere off its delay.
      {"a step beyond the lags", false, 300, 310, 1.0f, true, 0, false, true},
      {"a jump far away", true, 300, 2000, 1.0f, true, 0, false, true},
  };
  for (const Case& c : cases) {
    const RunResult r = RunCheck(run, c.smooth ? smooth : noise,
                                 [&](int64_t n) { return n - c.before < change ? c.before : c.after; }, -c.before, c.sign);
    EXPECT_EQ(r.failed, c.fails) << c.what;
    if (!c.fails) {
      EXPECT_LT(r.firstUnvouched, 0) << c.what;
      continue;
    }
    EXPECT_EQ(r.move.from, -c.before) << c.what;
    EXPECT_EQ(r.move.beyond, c.beyond) << c.what;
    EXPECT_EQ(r.move.collapsed, c.collapsed) << c.what;
    if (!c.collapsed) {
      EXPECT_EQ(r.move.to, c.to) << c.what;
    }
    // Found after the change, within two looks (a second second) of it.
    EXPECT_GE(r.move.at, change) << c.what;
    EXPECT_LE(r.move.at, change + 3 * int64_t(run.rate)) << c.what;
    EXPECT_GE(r.firstUnvouched, change) << c.what;
  }
}

TEST(DelayCheck, JudgesAlikeWhereverTheRingsWrapAndForAnOddBlock) {
  // A look reads its samples in place where they lie in one run of a ring
  // and splits them into even and odd ones: neither may move a verdict.
  const std::vector<float> noise = Noise(16000 * 12, 7);
  std::vector<float> smooth(noise.size(), 0.0f);
  for (size_t n = 8; n < noise.size(); ++n)
    for (size_t k = 0; k < 8; ++k) smooth[n] += noise[n - k] / 8.0f;
  const int64_t change = 16000 * 6;
  struct Case {
    const char* what;
    uint32_t block;
    int ringEnd;
  } cases[] = {
      {"every tail wrapping", 4096, 100},
      {"no tail wrapping", 4096, 32768},
      {"odd block, wrapping", 4095, 100},
      {"odd block, in place", 4095, 32768},
  };
  for (const Case& c : cases) {
    RingRun run;
    run.block = c.block;
    run.ringEnd = c.ringEnd;
    const RunResult steady = RunCheck(run, smooth, [](int64_t) { return 300; }, -300, 1.0f);
    EXPECT_FALSE(steady.failed) << c.what;
    EXPECT_LT(steady.firstUnvouched, 0) << c.what;
    const RunResult step =
        RunCheck(run, smooth, [&](int64_t n) { return n - 300 < change ? 300 : 303; }, -300, 1.0f);
    EXPECT_TRUE(step.failed) << c.what;
    EXPECT_EQ(step.move.to, -303) << c.what;
    EXPECT_FALSE(step.move.collapsed) << c.what;
    EXPECT_GE(step.move.at, change) << c.what;
  }
}

TEST(DelayCheck, VouchesBeyondTheSearchOnlyOnceALookIsJudged) {
  // Silence: no look is judged, so nothing beyond the search is vouched for:
  // the first frame not vouched for is the first whose samples, paired at
  // the lag of 300, end past the search's 12288.
  const RingRun run;
  const RunResult silent = RunCheck(run, std::vector<float>(16000 * 4, 0.0f), [](int64_t) { return 300; }, -300, 1.0f);
  EXPECT_FALSE(silent.failed);
  EXPECT_EQ(silent.firstUnvouched, 12800 - 300);
}

// A file pair whose test lags the reference by lag(m) = lag0 + rate * m at
// reference sample m, by linear interpolation.
FilePair DriftingPair(const std::vector<float>& ref, double lag0, double perSample) {
  FilePair pair;
  pair.rate = 16000;
  pair.reference = ref;
  pair.test.assign(ref.size(), 0.0f);
  // Test sample n holds reference sample m with m + lag(m) = n.
  for (size_t n = 0; n < ref.size(); ++n) {
    const double m = (double(n) - lag0) / (1.0 + perSample);
    const double whole = std::floor(m);
    if (whole < 0.0 || whole + 1.0 >= double(ref.size())) continue;
    const double part = m - whole;
    pair.test[n] = float(std::round((1.0 - part) * ref[size_t(whole)] + part * ref[size_t(whole) + 1]));
  }
  return pair;
}

void DefaultMode(SYSPARA& sys) { sys.delayPara.maxDelayFileMs = 100; }

TEST(DelayCheckFiles, ADriftingDelayIsNeverReliableMoreThanThreeSamplesOff) {
  const int rate = 16000;
  const std::vector<float> ref = SpeechLike(size_t(rate) * 20, rate, 11);
  const double lag0 = 400.0, perSample = 60e-6;  // 19 samples over the file
  const MeasurementOutcome outcome = MeasureFiles(DriftingPair(ref, lag0, perSample), DefaultMode, false, 512);
  ASSERT_NE(outcome.goResult, 0);
  ASSERT_GT(outcome.frames.size(), 600u);
  size_t reliable = 0, off = 0;
  for (size_t f = 0; f < outcome.frames.size(); ++f) {
    const RecordedFrame& frame = outcome.frames[f];
    if ((frame.status & 0xFFFF) != DELAY_STATUS_RELIABLE) continue;
    ++reliable;
    const double middle = (double(f) + 0.5) * 512.0;
    if (std::fabs(double(frame.delay) - (lag0 + perSample * middle)) > 3.0) ++off;
  }
  EXPECT_EQ(off, 0u);
  // The start, where the delay found holds, stays reliable.
  EXPECT_GT(reliable, 30u);
  ASSERT_TRUE(outcome.delayMoved);
  EXPECT_EQ(outcome.move.fromDelay, outcome.frames[1].delay);
  // Where it moved the blocks placed the truth of that moment within a sample or two.
  const double there = lag0 + perSample * double(outcome.move.atSample);
  EXPECT_FALSE(outcome.move.collapsed);
  EXPECT_LE(std::fabs(double(outcome.move.toDelay) - there), 2.0);
}

TEST(DelayCheckFiles, AStepBetweenLooksIsCaughtByTheFramesThemselves) {
  // The looks come seconds apart; a step between two of them shows first
  // in the frames' own samples, which no longer correlate at the delay or
  // pair a word with the other side's silence. They doubt the delay within
  // a run of a tenth of a second (a frame that correlates by chance breaks
  // a run), where the next look would come seconds later.
  struct Case {
    int from, to;
  } cases[] = {{400, 700}, {400, 1200}, {700, 400}};
  const int rate = 16000;
  const uint32_t frameLength = 512;
  const std::vector<float> x = SpeechLike(size_t(rate) * 20, rate, 3);
  const int64_t stepAt = int64_t(rate) * 10;  // in the test's count
  for (const Case& c : cases) {
    FilePair pair;
    pair.rate = rate;
    pair.reference = x;
    pair.test.assign(x.size(), 0.0f);
    auto truth = [&](int64_t n) { return n < stepAt ? c.from : c.to; };
    for (int64_t n = 0; n < int64_t(x.size()); ++n) {
      const int64_t m = n - truth(n);
      if (m >= 0 && m < int64_t(x.size())) pair.test[size_t(n)] = x[size_t(m)];
    }
    const MeasurementOutcome outcome = MeasureFiles(pair, DefaultMode, false, frameLength);
    ASSERT_NE(outcome.goResult, 0);
    size_t reliableBefore = 0, framesBefore = 0;
    int64_t lastWrongEnd = stepAt;
    for (const RecordedFrame& frame : outcome.frames) {
      const int64_t end = int64_t(frame.samplePosition), first = end - int64_t(frame.count);
      const bool reliable = (frame.status & 0xFFFF) == DELAY_STATUS_RELIABLE;
      if (end <= stepAt && first >= int64_t(rate) * 3) {
        ++framesBefore;
        if (reliable) ++reliableBefore;
      }
      // A frame across the step holds samples of both delays: either is right.
      if (reliable && truth(first) != frame.delay && truth(end - 1) != frame.delay)
        lastWrongEnd = std::max(lastWrongEnd, end);
    }
    EXPECT_LE(lastWrongEnd - stepAt, int64_t(rate) / 4) << c.from << " -> " << c.to;
    // Before the step, where the looks hold, the frames stay reliable.
    EXPECT_GT(double(reliableBefore), 0.9 * double(framesBefore)) << c.from << " -> " << c.to;
  }
}

TEST(DelayCheckFiles, ATestDropoutIsUncertainAndTheDelayHoldsAgainOnceALookAfterItDoes) {
  // Packet loss silences the test for 0.3 s at an unchanged delay: the
  // frames there pair words with silence; a look after it finds the delay.
  const int rate = 16000, lag = 400;
  const uint32_t frameLength = 512;
  const std::vector<float> x = SpeechLike(size_t(rate) * 20, rate, 3);
  const int64_t lostFrom = int64_t(rate) * 10, lostTo = lostFrom + int64_t(rate) * 3 / 10;  // test's count
  FilePair pair;
  pair.rate = rate;
  pair.reference = x;
  pair.test.assign(x.size(), 0.0f);
  for (int64_t n = lag; n < int64_t(x.size()); ++n)
    if (n < lostFrom || n >= lostTo) pair.test[size_t(n)] = x[size_t(n - lag)];
  const MeasurementOutcome outcome = MeasureFiles(pair, DefaultMode, false, frameLength);
  ASSERT_NE(outcome.goResult, 0);
  EXPECT_FALSE(outcome.delayMoved);
  size_t reliableInLoss = 0, framesAfter = 0, reliableAfter = 0;
  for (const RecordedFrame& frame : outcome.frames) {
    const int64_t end = int64_t(frame.samplePosition), first = end - int64_t(frame.count);
    const bool reliable = (frame.status & 0xFFFF) == DELAY_STATUS_RELIABLE;
    EXPECT_TRUE(!reliable || frame.delay == lag);
    if (first >= lostFrom && end <= lostTo && reliable) ++reliableInLoss;
    if (first >= lostTo + 2 * rate && end <= int64_t(x.size()) - rate) {
      ++framesAfter;
      if (reliable) ++reliableAfter;
    }
  }
  EXPECT_EQ(reliableInLoss, 0u);
  EXPECT_GT(double(reliableAfter), 0.9 * double(framesAfter));
}


TEST(DelayCheckFiles, AFastDriftLeavesNoFrameReliableWhileItsConstantTwinStaysReliable) {
  // At 1000 ppm the delay moves 16 samples a second (200 ppm: 3.2): the
  // search's blocks span more than 3 samples of it, or the frames from the
  // start up to them are off by more than that. Their twin,
  // the same speech at a constant delay under a strong echo, must keep
  // every frame that both files hold reliable.
  const int rate = 16000;
  const uint32_t frameLength = 512;
  const std::vector<float> ref = SpeechLike(size_t(rate) * 8, rate, 11);
  struct Case {
    const char* what;
    double lag0, perSample;
    float echoGain;
    bool drifts;
  } cases[] = {
      {"drifting, test behind", 400.0, 1000e-6, 0.0f, true},
      {"drifting, test ahead", -400.0, -1000e-6, 0.0f, true},
      // Slower: the seconds right after the search still correlate near
      // the delay found, leaning toward where it goes, before they too lose it.
      {"drifting slower", 400.0, 200e-6, 0.0f, true},
      {"constant under an echo", 400.0, 0.0, 0.9f, false},
  };
  for (const Case& c : cases) {
    FilePair pair = DriftingPair(ref, c.lag0, c.perSample);
    if (c.echoGain != 0.0f) {
      // An echo 1 ms late, scaled back into range.
      std::vector<float> echoed(pair.test.size(), 0.0f);
      for (size_t n = 0; n < echoed.size(); ++n)
        echoed[n] = std::round((pair.test[n] + (n >= 16 ? c.echoGain * pair.test[n - 16] : 0.0f)) / (1.0f + c.echoGain));
      pair.test = echoed;
    }
    const MeasurementOutcome outcome = MeasureFiles(pair, DefaultMode, false, frameLength);
    ASSERT_NE(outcome.goResult, 0) << c.what;
    ASSERT_GT(outcome.frames.size(), 200u) << c.what;
    size_t reliable = 0, off = 0, bothHold = 0;
    for (size_t f = 0; f < outcome.frames.size(); ++f) {
      const RecordedFrame& frame = outcome.frames[f];
      const int lag = int(std::lround(c.lag0));
      if (ReliableWhereBothFilesHold(f, frameLength, lag, pair) == DELAY_STATUS_RELIABLE) ++bothHold;
      if ((frame.status & 0xFFFF) != DELAY_STATUS_RELIABLE) continue;
      ++reliable;
      const double middle = (double(f) + 0.5) * double(frameLength);
      if (std::fabs(double(frame.delay) - (c.lag0 + c.perSample * middle)) > (c.drifts ? 3.0 : 0.0)) ++off;
    }
    EXPECT_EQ(off, 0u) << c.what;
    EXPECT_EQ(outcome.delayMoved, c.drifts) << c.what;
    if (!c.drifts) {
      EXPECT_EQ(reliable, bothHold) << c.what;
      continue;
    }
    // Said of the seconds right after the search (which ends within the
    // file's first second): by the end of the half of them where the
    // correlation at the delay found had gone.
    EXPECT_EQ(outcome.move.fromDelay, outcome.frames[1].delay) << c.what;
    EXPECT_GT(outcome.move.atSample, int64_t(kSettleSeconds / 2.0 * rate)) << c.what;
    EXPECT_LE(outcome.move.atSample, int64_t((1.0 + kSettleSeconds) * rate)) << c.what;
    EXPECT_TRUE(outcome.move.collapsed) << c.what;
    EXPECT_LT(std::abs(outcome.move.correlation), 30) << c.what;
  }
}

TEST(DelayCheckFiles, AConstantDelayUnderAnEchoStaysReliableOnEveryFrameBothFilesHold) {
  // Under an echo a look's blocks lean toward it by the local pitch, some
  // of them a few samples, while the whole signal peaks at the delay.
  struct Case {
    int rate, lag, echo;
    float gain;
    uint32_t frame;
  } cases[] = {{16000, 400, 16, 0.9f, 512}, {48000, 1600, 48, 0.9f, 1024}, {48000, -900, 12, 0.8f, 1024},
               {44100, 1470, 44, 0.7f, 1024}};
  for (const Case& c : cases) {
    const std::vector<float> x = SpeechLike(size_t(c.rate) * 20, c.rate, 5);
    FilePair pair;
    pair.rate = c.rate;
    pair.reference = x;
    pair.test.assign(x.size(), 0.0f);
    for (size_t n = 0; n < x.size(); ++n) {
      const int64_t direct = int64_t(n) - c.lag, late = direct - c.echo;
      double v = 0.0;
      if (direct >= 0 && direct < int64_t(x.size())) v += x[size_t(direct)];
      if (late >= 0 && late < int64_t(x.size())) v += c.gain * x[size_t(late)];
      pair.test[n] = float(std::round(v / (1.0 + c.gain)));
    }
    const MeasurementOutcome outcome = MeasureFiles(pair, DefaultMode, false, c.frame);
    ASSERT_NE(outcome.goResult, 0);
    EXPECT_FALSE(outcome.delayMoved) << c.rate << " " << c.lag << " " << c.echo;
    size_t wrong = 0;
    for (size_t f = 0; f < outcome.frames.size(); ++f) {
      const int32_t expected = ReliableWhereBothFilesHold(f, c.frame, c.lag, int64_t(x.size()), int64_t(x.size()));
      if ((outcome.frames[f].status & 0xFFFF) != expected || outcome.frames[f].delay != c.lag) ++wrong;
    }
    EXPECT_EQ(wrong, 0u) << c.rate << " " << c.lag << " " << c.echo;
  }
}

}  // namespace
