// Whole measurements on sound-file pairs at 48 kHz: the delay found, its
// status and quality, the aligned frames and levels, and the cases where no
// reliable delay may be claimed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
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
  const FilePair pair = DelayedPair(c.lag, c.gain, c.snrDb);
  const MeasurementOutcome run =
      MeasureFiles(pair, [&](SYSPARA& sys) { sys.levelPara.levelAlign = c.levelAlign ? 1 : 0; });
  ASSERT_EQ(run.goResult, 1);
  ASSERT_GE(run.frames.size(), (kSignalLength - std::abs(c.lag)) / kMeasureFrame);
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_EQ(frame.delay, c.lag) << "frame " << f;
    ASSERT_EQ(frame.status, ReliableWhereBothFilesHold(f, kMeasureFrame, c.lag, pair)) << "frame " << f;
    ASSERT_NEAR(frame.quality, ExpectedQuality(c.snrDb), 3) << "frame " << f;
    // Zeros where a signal has not begun are no delayed samples (padding
    // is not allowed); the last frame's are the input's end.
    const bool beforeAStart =
        ReliableWhereBothFilesHold(f, kMeasureFrame, c.lag, pair) != DELAY_STATUS_RELIABLE && f + 1 < run.frames.size();
    ASSERT_EQ(frame.delayValid, beforeAStart ? 0 : 1) << "frame " << f;
    ASSERT_EQ(frame.count, kMeasureFrame);
    if (!c.levelAlign) {
      ASSERT_TRUE(HoldsTheFilesAtItsPlace(frame, pair)) << "frame " << f;
    }
  }
  // The first and the last frames hold zeros where a file has no samples.
  std::vector<RecordedFrame> complete;
  for (const RecordedFrame& frame : run.frames)
    if (uint32_t(frame.realSamples) == frame.count) complete.push_back(frame);
  if (std::isinf(c.snrDb) && c.gain == 1.0 && !c.levelAlign) {
    for (size_t f = 0; f < complete.size(); ++f)
      ASSERT_EQ(complete[f].samples[1][0], complete[f].samples[0][0]) << "frame " << f;
  }
  if (c.levelAlign) {
    EXPECT_NEAR(Rms(complete, 1, complete.size()) / Rms(complete, 0, complete.size()), 1.0, 0.01);
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
    ASSERT_EQ(frame.status, DELAY_STATUS_RELIABLE | DELAY_STATUS_SWAP_RETRIED | DELAY_STATUS_TEST_SWAPPED) << f;
    ASSERT_EQ(frame.delay, lag);
    ASSERT_EQ(frame.samples[1][0], frame.samples[0][0]) << f;
    ASSERT_EQ(frame.samples[1][1], frame.samples[0][1]) << f;
  }
}

TEST_F(FileMeasurementTest, EveryReferenceFrameOfTheFilesIsHandedOutAtItsPlaceTrackedOrNot) {
  // Frame k holds reference samples k x 1024 on, from the first sample of
  // the files, whatever the delay; the run ends with the last frame that
  // still holds test samples (frames that reach past a file's end carry
  // zeros there and say so).
  // (With a lag of 640 the test ends with a whole frame.)
  for (const int lag : {0, 640, 700, 1024, -450, -3000}) {
    const FilePair pair = DelayedPair(lag, 1.0, INFINITY);
    const int64_t covered = std::min<int64_t>(kSignalLength, int64_t(kSignalLength) - lag);
    const size_t expectedFrames = size_t((covered + kMeasureFrame - 1) / kMeasureFrame);
    for (const bool tracked : {false, true}) {
      SCOPED_TRACE(testing::Message() << "lag " << lag << (tracked ? ", tracked" : ""));
      const MeasurementOutcome run = MeasureFiles(pair, [&](SYSPARA& sys) {
        sys.delayPara.tracking = tracked ? 1 : 0;
        sys.delayPara.trackVariableDelay = tracked ? 1 : 0;
      });
      ASSERT_EQ(run.frames.size(), expectedFrames);
      for (size_t f = 0; f < run.frames.size(); ++f) {
        const RecordedFrame& frame = run.frames[f];
        ASSERT_EQ(frame.delay, lag) << f;
        const int64_t referenceStart = int64_t(frame.samplePosition) - std::max(frame.delay, 0) - int64_t(frame.count);
        ASSERT_EQ(referenceStart, int64_t(f) * kMeasureFrame) << f;
        ASSERT_TRUE(HoldsTheFilesAtItsPlace(frame, pair)) << "frame " << f;
        // (A tracked run's first re-check may doubt a complete frame too.)
        if (!tracked || uint32_t(frame.realSamples) < frame.count) {
          ASSERT_EQ(frame.status, ReliableWhereBothFilesHold(f, kMeasureFrame, lag, pair)) << f;
        }
      }
      EXPECT_GT(run.frames.back().realSamples, 0);
    }
  }
}

TEST_F(FileMeasurementTest, AfterFreeNoFrameComesUntilTheNextInit) {
  const FilePair pair = DelayedPair(1000, 1.0, INFINITY);
  TempDir dir;
  const std::string reference = dir.File("r.wav"), test = dir.File("t.wav");
  const SoundFileSpec spec{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(reference, spec, pair.reference.data(), int64_t(pair.reference.size())));
  ASSERT_TRUE(WriteSoundFile(test, spec, pair.test.data(), int64_t(pair.test.size())));
  FrameRecorder recorder([&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, test, 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder.CreateSysPara());
  CAlgorithmPara alg{kMeasureFrame, kMeasureFrame};
  ASSERT_NE(recorder.Init(*sys, alg), 0);
  ASSERT_EQ(recorder.Go(), 1);
  auto frame = std::make_unique<FRAMEDATA>();
  for (int f = 0; f < 3; ++f) ASSERT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 1);
  ASSERT_EQ(recorder.frames.back().delay, 1000);

  recorder.Free();
  for (int f = 0; f < 3; ++f) EXPECT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 0) << f;
  EXPECT_EQ(recorder.Go(), 0);
  EXPECT_EQ(recorder.frames.size(), 3u);

  ASSERT_NE(recorder.Init(*sys, alg), 0);
  sys->Destroy();
  ASSERT_EQ(recorder.Go(), 1);
  EXPECT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 1);
  EXPECT_EQ(recorder.frames.back().delay, 1000);
  EXPECT_EQ(recorder.frames.back().status, DELAY_STATUS_RELIABLE);
}

TEST_F(FileMeasurementTest, AnInvertedTestIsFoundAndTurnedBackOnRequest) {
  FilePair pair = DelayedPair(-250, 1.0, INFINITY);
  for (float& v : pair.test) v = -v;
  const MeasurementOutcome run = MeasureFiles(pair, [](SYSPARA& sys) { sys.levelPara.invertOnNegative = 1; });
  ASSERT_FALSE(run.frames.empty());
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_EQ(frame.status, ReliableWhereBothFilesHold(f, kMeasureFrame, -250, pair)) << f;
    ASSERT_EQ(frame.delay, -250);
    ASSERT_LE(frame.quality, -99);
    if (uint32_t(frame.realSamples) == frame.count) {
      ASSERT_EQ(frame.samples[1][0], frame.samples[0][0]) << f;
    }
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

// Two measurements on one object: the second pair, named through
// UpdateSysPara, is measured on its own and not on what the first left.
class RepeatedMeasurementTest : public FileMeasurementTest {
 protected:
  std::string Write(const std::string& name, const std::vector<float>& samples,
                    SoundFileEncoding encoding = SoundFileEncoding::Pcm16) {
    const std::string path = m_dir.File(name);
    EXPECT_TRUE(WriteSoundFile(path, {kMeasureRate, 1, encoding, "wav"}, samples.data(), int64_t(samples.size())));
    return path;
  }

  // Frames of one Go until the input ends.
  std::vector<RecordedFrame> Run(FrameRecorder& recorder) {
    recorder.frames.clear();
    EXPECT_EQ(recorder.Go(), 1);
    auto frame = std::make_unique<FRAMEDATA>();
    for (int guard = 0; guard < 100000; ++guard) {
      frame->monitor.count = 0;
      if (recorder.ProcessFrame(frame.get(), nullptr) == 0) break;
    }
    recorder.Stop();
    return recorder.frames;
  }

  TempDir m_dir;
};

TEST_F(RepeatedMeasurementTest, ASecondGoOnOtherFilesFindsTheirOwnDelay) {
  const FilePair first = DelayedPair(1000, 1.0, INFINITY, 1);
  const FilePair second = DelayedPair(-37, 1.0, INFINITY, 2);
  const std::string files[2][2] = {{Write("r1.wav", first.reference), Write("t1.wav", first.test)},
                                   {Write("r2.wav", second.reference), Write("t2.wav", second.test)}};
  int current = 0;  // the recorder's defaults name the files
  FrameRecorder recorder([&](SYSPARA& sys) { FileMeasurementSettings(sys, files[current][0], files[current][1], 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder.CreateSysPara());
  CAlgorithmPara alg{kMeasureFrame, kMeasureFrame};
  ASSERT_NE(recorder.Init(*sys, alg), 0);
  sys->Destroy();
  const int lags[2] = {1000, -37};
  for (int pair = 0; pair < 2; ++pair) {
    if (pair == 1) {
      current = 1;
      SYSPARA next(recorder.SysPara());
      ASSERT_EQ(recorder.UpdateSysPara(&next), 1);
      ASSERT_EQ(recorder.SysPara().inputPara[1].fileName, files[1][1]);
    }
    const std::vector<RecordedFrame> frames = Run(recorder);
    ASSERT_GT(frames.size(), size_t(100)) << pair;
    for (size_t f = 0; f < frames.size(); ++f) {
      ASSERT_EQ(frames[f].status, ReliableWhereBothFilesHold(f, kMeasureFrame, lags[pair], pair == 0 ? first : second))
          << "pair " << pair << " frame " << f;
      ASSERT_EQ(frames[f].delay, lags[pair]) << "pair " << pair << " frame " << f;
      ASSERT_TRUE(HoldsTheFilesAtItsPlace(frames[f], pair == 0 ? first : second)) << "pair " << pair << " frame " << f;
    }
  }
}

TEST_F(RepeatedMeasurementTest, AnEstimationChannelTheFramesLackIsRefusedOnUpdate) {
  const FilePair pair = DelayedPair(300, 1.0, INFINITY);
  const std::string reference = Write("r.wav", pair.reference), test = Write("t.wav", pair.test);
  FrameRecorder recorder([&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, test, 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder.CreateSysPara());
  CAlgorithmPara alg{kMeasureFrame, kMeasureFrame};
  ASSERT_NE(recorder.Init(*sys, alg), 0);
  sys->Destroy();
  for (const int channel : {1, 2, -1, 1 << 20}) {
    SYSPARA next(recorder.SysPara());
    next.delayPara.estimationChannel = channel;
    EXPECT_EQ(recorder.UpdateSysPara(&next), 0) << channel;
    EXPECT_EQ(recorder.SysPara().delayPara.estimationChannel, 0) << channel;
  }
  const std::vector<RecordedFrame> frames = Run(recorder);
  ASSERT_GT(frames.size(), size_t(100));
  EXPECT_EQ(frames.front().delay, 300);
  EXPECT_EQ(frames.front().status, DELAY_STATUS_RELIABLE);
}

TEST_F(RepeatedMeasurementTest, TheHostLearnsHowManySamplesWereNotFinite) {
  FilePair pair = DelayedPair(196, 1.0, INFINITY);
  for (const size_t n : {1000, 70000, 70001}) pair.test[n] = std::nanf("");
  pair.reference[5] = INFINITY;
  const std::string reference = Write("r.wav", pair.reference, SoundFileEncoding::Float);
  const std::string test = Write("t.wav", pair.test, SoundFileEncoding::Float);
  FrameRecorder recorder([&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, test, 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder.CreateSysPara());
  CAlgorithmPara alg{kMeasureFrame, kMeasureFrame};
  ASSERT_NE(recorder.Init(*sys, alg), 0);
  sys->Destroy();
  EXPECT_EQ(recorder.NonFiniteInputSamples(1), 0);
  const std::vector<RecordedFrame> frames = Run(recorder);
  ASSERT_GT(frames.size(), size_t(100));
  EXPECT_EQ(recorder.NonFiniteInputSamples(0), 1);
  EXPECT_EQ(recorder.NonFiniteInputSamples(1), 3);
  for (size_t f = 0; f + 1 < frames.size(); ++f) {
    ASSERT_EQ(frames[f].status, DELAY_STATUS_RELIABLE) << f;
    ASSERT_EQ(frames[f].delay, 196) << f;
  }
}

}  // namespace

namespace {

// The gain a frame's test samples carry over the file's: the least-squares
// fit of the frame's test onto the file's at the frame's place.
double GainOverTheFile(const RecordedFrame& frame, const FilePair& pair) {
  const int64_t start = int64_t(frame.samplePosition) - std::max<int64_t>(-int64_t(frame.delay), 0) - frame.count;
  long double cross = 0, power = 0;
  for (uint32_t i = 0; i < frame.count; ++i) {
    const long double file = pair.test[size_t(start + i)];
    cross += file * frame.samples[1][0][i];
    power += file * file;
  }
  return double(cross / power);
}

long double Power(const std::vector<float>& signal) {
  long double sum = 0;
  for (float v : signal) sum += (long double)v * v;
  return sum;
}

TEST_F(RepeatedMeasurementTest, ASecondGoMeasuresTheLevelsOfItsOwnFilesOnly) {
  // Equal levels first, then a test at a quarter of the level: the second
  // run's gain is the second pair's level ratio, about 4, as a fresh
  // object finds it.
  const FilePair pairs[2] = {DelayedPair(300, 1.0, INFINITY, 1), DelayedPair(-200, 0.25, INFINITY, 2)};
  const std::string files[2][2] = {{Write("r1.wav", pairs[0].reference), Write("t1.wav", pairs[0].test)},
                                   {Write("r2.wav", pairs[1].reference), Write("t2.wav", pairs[1].test)}};
  int current = 0;
  FrameRecorder recorder([&](SYSPARA& sys) {
    FileMeasurementSettings(sys, files[current][0], files[current][1], 1);
    sys.levelPara.levelAlign = 1;
  });
  ASSERT_NE(InitWithNewRecord(recorder), 0);
  for (current = 0; current < 2; ++current) {
    if (current == 1) {
      SYSPARA next(recorder.SysPara());
      ASSERT_EQ(recorder.UpdateSysPara(&next), 1);
    }
    const std::vector<RecordedFrame> frames = Run(recorder);
    ASSERT_GT(frames.size(), 100u);
    const FilePair& pair = pairs[current];
    const double levelRatio = double(std::sqrt(Power(pair.reference) / Power(pair.test)));
    const RecordedFrame& middle = frames[frames.size() / 2];
    EXPECT_NEAR(GainOverTheFile(middle, pair), levelRatio, 0.02) << "run " << current;
    EXPECT_NEAR(std::sqrt(middle.refEnergy / middle.testEnergy), levelRatio, 0.02) << "run " << current;
  }
}

TEST_F(RepeatedMeasurementTest, NoFrameComesWithoutASuccessfulGo) {
  const FilePair pair = DelayedPair(300, 1.0, INFINITY);
  const std::string reference = Write("r.wav", pair.reference), test = Write("t.wav", pair.test);
  std::string testFile = test;
  FrameRecorder recorder([&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, testFile, 1); });
  auto frame = std::make_unique<FRAMEDATA>();
  ASSERT_NE(InitWithNewRecord(recorder), 0);
  EXPECT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 0) << "before any Go";
  ASSERT_EQ(recorder.Go(), 1);
  EXPECT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 1);
  // A Go that cannot open its test file is refused: the frames stop too.
  testFile = m_dir.File("missing.wav");
  SYSPARA next(recorder.SysPara());
  ASSERT_EQ(recorder.UpdateSysPara(&next), 1);
  ASSERT_EQ(recorder.Go(), 0);
  for (int f = 0; f < 3; ++f) EXPECT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 0) << "after a refused Go";
  EXPECT_NE(recorder.LastRefusal().Text().find("Go"), std::string::npos) << recorder.LastRefusal().Text();
  testFile = test;
  SYSPARA again(recorder.SysPara());
  ASSERT_EQ(recorder.UpdateSysPara(&again), 1);
  ASSERT_EQ(recorder.Go(), 1);
  EXPECT_EQ(recorder.ProcessFrame(frame.get(), nullptr), 1);
  EXPECT_EQ(recorder.frames.size(), 2u);
}

}  // namespace

// Records what Go tells of its start-up work, run by run.
class ProgressRecorder : public FrameRecorder {
 public:
  using FrameRecorder::FrameRecorder;
  void StartProgress(int64_t samplesRead) override { reads.push_back(samplesRead); }
  std::vector<int64_t> reads;
};

// How often the samples read went back: each time the inputs started again.
int Restarts(const std::vector<int64_t>& reads) {
  int restarts = 0;
  for (size_t k = 1; k < reads.size(); ++k) restarts += reads[k] < reads[k - 1] ? 1 : 0;
  return restarts;
}

TEST_F(FileMeasurementTest, GoTellsHowMuchOfTheFilesItsSearchHasRead) {
  const FilePair mono = DelayedPair(300, 0.5, INFINITY);
  const FilePair other = DelayedPair(300, 0.5, INFINITY, 2);
  FilePair crossed;
  crossed.channels = 2;
  for (size_t n = 0; n < kSignalLength; ++n) {
    crossed.reference.insert(crossed.reference.end(), {mono.reference[n], other.reference[n]});
    crossed.test.insert(crossed.test.end(), {other.test[n], mono.test[n]});
  }
  struct Case {
    const FilePair* pair;
    int restarts;  // the crossed channels' retry starts the inputs again once
  };
  for (const Case& c : {Case{&mono, 0}, Case{&crossed, 1}}) {
    SCOPED_TRACE(c.pair->channels);
    TempDir dir;
    const SoundFileSpec spec{kMeasureRate, c.pair->channels, SoundFileEncoding::Pcm16, "wav"};
    for (const auto& [name, samples] : {std::pair{"ref.wav", &c.pair->reference}, std::pair{"test.wav", &c.pair->test}})
      ASSERT_TRUE(WriteSoundFile(dir.File(name), spec, samples->data(), int64_t(kSignalLength)));
    ProgressRecorder system([&](SYSPARA& sys) {
      FileMeasurementSettings(sys, dir.File("ref.wav"), dir.File("test.wav"), c.pair->channels);
    });
    ASSERT_NE(InitWithNewRecord(system), 0);
    for (int run = 0; run < 2; ++run) {
      system.reads.clear();
      ASSERT_NE(system.Go(), 0);
      ASSERT_FALSE(system.reads.empty());
      // From the files' start, a frame at a time, never beyond the frame in which they end.
      EXPECT_EQ(system.reads.front(), int64_t(kMeasureFrame)) << run;
      EXPECT_EQ(Restarts(system.reads), c.restarts) << run;
      const int64_t frames = (int64_t(kSignalLength) + kMeasureFrame - 1) / kMeasureFrame;
      EXPECT_LE(*std::max_element(system.reads.begin(), system.reads.end()), frames * kMeasureFrame) << run;
      // It told of the blocks the search needed to find the delay: a window of 32768 and more.
      EXPECT_GT(system.reads.back(), 32768) << run;
      system.Reset();
    }
  }
}
