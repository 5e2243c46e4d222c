// Whole measurements on sound-file pairs at 48 kHz: the delay found, its
// status and quality, the aligned frames and levels, and the cases where no
// reliable delay may be claimed.
#include <gtest/gtest.h>

#include <cmath>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/DelayCompensationImpl.h"
#include "measurement_run.h"

namespace {

constexpr size_t kSignalLength = 3 * kMeasureRate;
constexpr size_t kLead = 8000;  // the source starts this far before the files
constexpr double kSignalRms = 3000.0;

// Mono pair: the test is the reference delayed by `lag` samples (negative:
// ahead), scaled by `gain`, with white noise `snrDb` below it (none: +inf).
FilePair DelayedPair(int lag, double gain, double snrDb, unsigned seed = 1) {
  const std::vector<float> source = IntegerNoise(kSignalLength + 2 * kLead, seed, kSignalRms);
  const std::vector<float> noise =
      std::isinf(snrDb) ? std::vector<float>()
                        : IntegerNoise(kSignalLength, seed + 100, gain * kSignalRms * std::pow(10.0, -snrDb / 20.0));
  FilePair pair;
  pair.reference.assign(source.begin() + kLead, source.begin() + kLead + kSignalLength);
  pair.test.resize(kSignalLength);
  for (size_t n = 0; n < kSignalLength; ++n) {
    double v = gain * source[kLead + n - lag];
    if (!noise.empty()) v += noise[n];
    pair.test[n] = float(std::clamp(std::round(v), -32768.0, 32767.0));
  }
  return pair;
}

double Rms(const std::vector<RecordedFrame>& frames, int direction, size_t last) {
  long double sum = 0;
  size_t count = 0;
  for (size_t f = 0; f < last; ++f)
    for (float v : frames[f].samples[direction][0]) {
      sum += (long double)v * v;
      ++count;
    }
  return count == 0 ? 0.0 : std::sqrt(double(sum / count));
}

class FileMeasurementTest : public ::testing::Test {
 protected:
  FileMeasurementTest() { SetTraceMask(0); }
};

struct DelayCase {
  int lag;
  double gain;
  double snrDb;
  bool levelAlign;
};

class DelayTable : public FileMeasurementTest, public ::testing::WithParamInterface<DelayCase> {};

// Correlation of the test with the reference when white noise sits snrDb below it.
int ExpectedQuality(double snrDb) {
  return std::isinf(snrDb) ? 100 : int(100.0 / std::sqrt(1.0 + std::pow(10.0, -snrDb / 10.0)));
}

TEST_P(DelayTable, FramesCarryTheTrueDelayAsReliableAndAlignTheSignals) {
  const DelayCase c = GetParam();
  const MeasurementOutcome run = MeasureFiles(DelayedPair(c.lag, c.gain, c.snrDb),
                                              [&](SYSPARA& sys) { sys.levelPara.levelAlign = c.levelAlign ? 1 : 0; });
  ASSERT_EQ(run.goResult, 1);
  // Every block of the files but those the delay and the first frame take.
  ASSERT_GE(run.frames.size(), (kSignalLength - std::abs(c.lag)) / kMeasureFrame - 2);
  const size_t complete = run.frames.size() - 1;  // the last frame reaches the padded end
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_EQ(frame.delay, c.lag) << "frame " << f;
    ASSERT_EQ(frame.status, DELAY_STATUS_RELIABLE) << "frame " << f;
    ASSERT_NEAR(frame.quality, ExpectedQuality(c.snrDb), 3) << "frame " << f;
    ASSERT_EQ(frame.delayValid, 1);
    ASSERT_EQ(frame.count, kMeasureFrame);
  }
  if (std::isinf(c.snrDb) && c.gain == 1.0 && !c.levelAlign) {
    for (size_t f = 0; f < complete; ++f)
      ASSERT_EQ(run.frames[f].samples[1][0], run.frames[f].samples[0][0]) << "frame " << f;
  }
  if (c.levelAlign) {
    EXPECT_NEAR(Rms(run.frames, 1, complete) / Rms(run.frames, 0, complete), 1.0, 0.01);
  }
}

INSTANTIATE_TEST_SUITE_P(DelaysGainsNoise, DelayTable,
                         ::testing::Values(DelayCase{0, 1.0, INFINITY, false}, DelayCase{37, 1.0, INFINITY, false},
                                           DelayCase{-37, 1.0, INFINITY, false}, DelayCase{1000, 1.0, INFINITY, false},
                                           DelayCase{-1000, 1.0, INFINITY, false},
                                           DelayCase{7000, 1.0, INFINITY, false},
                                           DelayCase{-7000, 1.0, INFINITY, false}, DelayCase{0, 0.25, 20.0, true},
                                           DelayCase{37, 0.25, INFINITY, true}, DelayCase{-37, 1.0, 20.0, false},
                                           DelayCase{1000, 0.25, 6.0, true}, DelayCase{-1000, 1.0, 6.0, false},
                                           DelayCase{7000, 0.25, 20.0, true}, DelayCase{-7000, 0.25, 6.0, true},
                                           DelayCase{37, 1.0, 6.0, false}, DelayCase{-1000, 0.25, INFINITY, true}));

TEST_F(FileMeasurementTest, NoiseFarAboveTheSignalIsNeverCalledReliable) {
  const MeasurementOutcome run = MeasureFiles(DelayedPair(500, 1.0, -20.0), nullptr);
  ASSERT_EQ(run.goResult, 1);
  ASSERT_FALSE(run.frames.empty());
  for (const RecordedFrame& frame : run.frames) {
    ASSERT_EQ(frame.status & 0xFFFF, DELAY_STATUS_UNCERTAIN);
    ASSERT_LT(std::abs(frame.quality), 60);
  }
}

TEST_F(FileMeasurementTest, CompensationOffUsesTheFixedDelay) {
  const MeasurementOutcome run = MeasureFiles(DelayedPair(1000, 1.0, INFINITY), [](SYSPARA& sys) {
    sys.delayPara.compensationOn = 0;
    sys.delayPara.fixedDelay = -1000;
  });
  ASSERT_FALSE(run.frames.empty());
  for (size_t f = 0; f + 1 < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_EQ(frame.status, DELAY_STATUS_FIXED);
    ASSERT_EQ(frame.quality, FIXED_DELAY_QUALITY);
    ASSERT_EQ(frame.delay, 1000);
    ASSERT_EQ(frame.samples[1][0], frame.samples[0][0]) << f;
  }
}

TEST_F(FileMeasurementTest, AHeldDelayStaysWhateverTheSignals) {
  const MeasurementOutcome run =
      MeasureFiles(DelayedPair(1000, 1.0, INFINITY), [](SYSPARA& sys) { sys.delayPara.hold = 1; });
  ASSERT_FALSE(run.frames.empty());
  for (const RecordedFrame& frame : run.frames) {
    ASSERT_EQ(frame.status, DELAY_STATUS_HELD);
    ASSERT_EQ(frame.delay, 0);
  }
}

TEST_F(FileMeasurementTest, CrossedTestChannelsAreFoundBySwappingThem) {
  const std::vector<float> first = IntegerNoise(kSignalLength + kLead, 5, kSignalRms);
  const std::vector<float> second = IntegerNoise(kSignalLength + kLead, 6, kSignalRms);
  const int lag = 500;
  FilePair pair;
  pair.channels = 2;
  for (size_t n = 0; n < kSignalLength; ++n) {
    pair.reference.push_back(first[kLead + n]);
    pair.reference.push_back(second[kLead + n]);
    pair.test.push_back(second[kLead + n - lag]);
    pair.test.push_back(first[kLead + n - lag]);
  }
  const MeasurementOutcome run = MeasureFiles(pair, nullptr);
  ASSERT_FALSE(run.frames.empty());
  for (size_t f = 0; f + 1 < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_EQ(frame.status, DELAY_STATUS_RELIABLE | DELAY_STATUS_SWAP_RETRIED) << f;
    ASSERT_EQ(frame.delay, lag);
    ASSERT_EQ(frame.samples[1][0], frame.samples[0][0]) << f;
    ASSERT_EQ(frame.samples[1][1], frame.samples[0][1]) << f;
  }
}

TEST_F(FileMeasurementTest, AnInvertedTestIsFoundAndTurnedBackOnRequest) {
  FilePair pair = DelayedPair(-250, 1.0, INFINITY);
  for (float& v : pair.test) v = -v;
  const MeasurementOutcome run = MeasureFiles(pair, [](SYSPARA& sys) { sys.levelPara.invertOnNegative = 1; });
  ASSERT_FALSE(run.frames.empty());
  for (size_t f = 0; f + 1 < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_EQ(frame.status, DELAY_STATUS_RELIABLE);
    ASSERT_EQ(frame.delay, -250);
    ASSERT_LE(frame.quality, -99);
    ASSERT_EQ(frame.samples[1][0], frame.samples[0][0]) << f;
  }
}

TEST_F(FileMeasurementTest, AClampedDelayStillCopiesTheClampedSpan) {
  const MeasurementOutcome run = MeasureFiles(
      DelayedPair(0, 1.0, INFINITY),
      [](SYSPARA& sys) {
        sys.delayPara.compensationOn = 0;
        sys.delayPara.fixedDelay = 100000;  // far beyond the ring
      },
      true);
  ASSERT_FALSE(run.frames.empty());
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    if (f + 1 < run.frames.size()) {  // the last one reports the padded end
      ASSERT_EQ(frame.status, DELAY_STATUS_CLAMPED);
      ASSERT_EQ(frame.delayValid, 0);
    }
    for (int d = 0; d < 2; ++d)
      for (float v : frame.samples[d][0]) ASSERT_FALSE(std::isnan(v)) << "direction " << d << " left unwritten";
  }
}

}  // namespace
