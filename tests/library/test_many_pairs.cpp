// One CMsystem measuring pair after pair, as a program that measures many
// pairs keeps it: Init once, then UpdateSysPara and Go for each pair. Pairs
// of other rates, channel counts and lengths must be measured as a fresh
// object measures them, or refused with a reason.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "frontend/measurement_run.h"

namespace {

struct PairCase {
  int rate;
  int channels;
  double seconds;
  int delay;  // the test lags the reference by this many samples
};

// Writes the pair: white noise, the test the reference `delay` samples
// later at half its level.
void WritePair(const TempDir& dir, const std::string& name, const PairCase& c, std::string* reference,
               std::string* test) {
  const size_t frames = size_t(c.seconds * c.rate);
  const std::vector<float> source = IntegerNoise((frames + size_t(c.delay)) * size_t(c.channels), 7u + unsigned(c.rate), 3000.0);
  std::vector<float> ref(frames * size_t(c.channels)), lagging(frames * size_t(c.channels));
  for (size_t n = 0; n < ref.size(); ++n) {
    ref[n] = source[n + size_t(c.delay) * size_t(c.channels)];
    lagging[n] = std::round(0.5f * source[n]);
  }
  *reference = dir.File(name + "_ref.wav");
  *test = dir.File(name + "_test.wav");
  const SoundFileSpec spec{c.rate, c.channels, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(*reference, spec, ref.data(), int64_t(frames)));
  ASSERT_TRUE(WriteSoundFile(*test, spec, lagging.data(), int64_t(frames)));
}

struct PairResult {
  int delay = 0;
  int reliable = 0;
  int frames = 0;
  int32_t searchedMs = 0;  // SysPara()'s range before Go
};

PairResult MeasureOn(FrameRecorder& system, bool initialise, const std::string& reference, const std::string& test,
                     const PairCase& c) {
  PairResult result;
  SYSPARA* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  FileMeasurementSettings(*sys, reference, test, c.channels, c.rate);
  CAlgorithmPara alg{512, 512};
  const int ready = initialise ? system.Init(*sys, alg) : system.UpdateSysPara(sys);
  sys->Destroy();
  EXPECT_EQ(ready, 1) << system.LastRefusal().Text();
  result.searchedMs = system.SysPara().delayPara.maxDelayFileMs;
  EXPECT_EQ(system.Go(), 1) << system.LastRefusal().Text();
  system.frames.clear();
  auto frame = std::make_unique<FRAMEDATA>();
  for (int guard = 0; guard < 100000; ++guard) {
    frame->monitor.count = 0;
    if (system.ProcessFrame(frame.get(), nullptr) == 0) break;
  }
  system.Stop();
  for (const RecordedFrame& f : system.frames) {
    result.reliable += (f.status & 0xFFFF) == DELAY_STATUS_RELIABLE ? 1 : 0;
    result.delay = f.delay;
  }
  result.frames = int(system.frames.size());
  return result;
}

// The range asked for (the defaults' 1000 ms, narrowed where a short pair cannot fill it).
void AskTheDefaultRange(SYSPARA& sys) { sys.delayPara.maxDelayFileMs = 1000; }

TEST(ManyPairsInOneObject, EveryPairIsMeasuredAsAFreshObjectMeasuresIt) {
  SetTraceMask(0);
  // Short then long, low rate then high, mono then stereo and back: each
  // pair needs other buffers, windows or ranges than the one before.
  const std::vector<PairCase> pairs = {
      {16000, 1, 1.5, 100},   {16000, 1, 4.0, 11200}, {96000, 1, 2.5, 67200},
      {48000, 2, 2.0, 480},   {16000, 1, 1.5, 100},   {48000, 2, 2.0, 480},
  };
  TempDir dir;
  FrameRecorder reused(AskTheDefaultRange);
  for (size_t i = 0; i < pairs.size(); ++i) {
    SCOPED_TRACE("pair " + std::to_string(i));
    std::string reference, test;
    WritePair(dir, "p" + std::to_string(i), pairs[i], &reference, &test);
    const PairResult later = MeasureOn(reused, i == 0, reference, test, pairs[i]);
    FrameRecorder freshObject(AskTheDefaultRange);
    const PairResult fresh = MeasureOn(freshObject, true, reference, test, pairs[i]);
    EXPECT_EQ(later.delay, pairs[i].delay);
    EXPECT_EQ(later.frames, fresh.frames);
    EXPECT_EQ(later.reliable, fresh.reliable);
    EXPECT_GE(later.reliable, later.frames - 2);
    EXPECT_EQ(later.searchedMs, fresh.searchedMs) << "the range SysPara() names";
  }
}

TEST(ManyPairsInOneObject, APairTheFrontEndCannotBeSetUpForIsRefusedWithItsReason) {
  SetTraceMask(0);
  TempDir dir;
  const PairCase first{16000, 1, 4.0, 160}, second{48000, 1, 1.5, 480};
  std::string reference[2], test[2];
  WritePair(dir, "a", first, &reference[0], &test[0]);
  WritePair(dir, "b", second, &reference[1], &test[1]);
  FrameRecorder system([](SYSPARA& sys) { sys.delayPara.inputOffsetMs = 2000; });
  SYSPARA* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  FileMeasurementSettings(*sys, reference[0], test[0], 1, first.rate);
  CAlgorithmPara alg{512, 512};
  ASSERT_EQ(system.Init(*sys, alg), 1) << system.LastRefusal().Text();
  // The second pair is shorter than the offset skips, at another rate.
  FileMeasurementSettings(*sys, reference[1], test[1], 1, second.rate);
  EXPECT_EQ(system.UpdateSysPara(sys), 0);
  EXPECT_EQ(system.LastRefusalCode(), RefusalCode::Offset) << system.LastRefusal().Text();
  EXPECT_EQ(system.Go(), 0);
  // The first pair again sets it up once more.
  FileMeasurementSettings(*sys, reference[0], test[0], 1, first.rate);
  EXPECT_EQ(system.UpdateSysPara(sys), 1) << system.LastRefusal().Text();
  EXPECT_EQ(system.Go(), 1) << system.LastRefusal().Text();
  sys->Destroy();
}

}  // namespace
