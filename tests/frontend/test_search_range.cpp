// The delay search's geometry (its reach covers the asked range and a
// margin for both signs, with the smallest window that does) and the
// pre-run on a window that takes more blocks to fill than the search may
// see.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/DelaySearchRange.h"
#include "measurement_run.h"
#include "speech_like.h"

namespace {

struct RangeCase {
  int rate;
  uint32_t maxDelayMs;
  uint32_t frameLength;
  uint32_t window, block;
  int64_t maxDelaySamples;
};

TEST(DelaySearchRange, WindowBlockAndReachOfCommonRates) {
  const RangeCase cases[] = {
      // Rates up to 16 kHz: the block is half the first window, so the window doubles to reach past it.
      {8000, 1000, 256, 32768, 8192, 8000},
      {11025, 1000, 512, 32768, 8192, 11025},
      {16000, 1000, 512, 32768, 8192, 16000},
      // Above: where window - block already covers the range and the margin, nothing changes.
      {22050, 1000, 1024, 32768, 4096, 22050},
      {44100, 1000, 1024, 65536, 8192, 44100},
      {48000, 1000, 1024, 65536, 8192, 48000},
      {32000, 1000, 1024, 65536, 4096, 32000},
      {48000, 300, 1024, 32768, 2048, 14400},
      // A frame longer than the window sets the window.
      {48000, 10, 3000, 4096, 64, 480},
      // Ranges beyond 240 s are cut to it.
      {48000, 240000, 1024, 16777216, 2097152, 11520000},
      {48000, 999999, 1024, 16777216, 2097152, 11520000},
      {16000, 240000, 512, 8388608, 2097152, 3840000},
  };
  for (const RangeCase& c : cases) {
    DelaySearchRange range;
    ASSERT_TRUE(ComputeDelaySearchRange(c.rate, c.maxDelayMs, c.frameLength, &range)) << c.rate;
    EXPECT_EQ(range.window, c.window) << c.rate << " Hz " << c.maxDelayMs << " ms";
    EXPECT_EQ(range.block, c.block) << c.rate << " Hz " << c.maxDelayMs << " ms";
    EXPECT_EQ(range.reachSamples, int64_t(c.window) - int64_t(c.block)) << c.rate << " Hz " << c.maxDelayMs << " ms";
    EXPECT_EQ(range.maxDelaySamples, c.maxDelaySamples) << c.rate << " Hz " << c.maxDelayMs << " ms";
  }
}

TEST(DelaySearchRange, TheReachCoversRangeAndMarginWithTheSmallestWindowThatDoes) {
  for (int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000, 192000})
    for (uint32_t ms : {1u, 10u, 100u, 300u, 1000u, 5000u, 60000u}) {
      DelaySearchRange range;
      ASSERT_TRUE(ComputeDelaySearchRange(rate, ms, 512, &range)) << rate << " " << ms;
      const int64_t asked = (int64_t(rate) * ms + 999) / 1000;
      const int64_t margin = std::max<int64_t>(range.block, (int64_t(rate) * 25 + 999) / 1000);
      EXPECT_EQ(range.maxDelaySamples, asked);
      EXPECT_EQ(range.window & (range.window - 1), 0u) << "not a power of two";
      EXPECT_GE(range.reachSamples, asked + margin) << rate << " Hz " << ms << " ms";
      // The first window above the samples of the range (16 kHz below 8001 Hz) is kept when it reaches; a
      // grown window reaches only because it grew.
      const long double samples = (rate <= 8001 ? 16000.0L : rate - 1.0L) * ms * (long double)0.001f;
      const uint64_t first = uint64_t(1) << (int(std::floor(std::log2(std::floor(samples)))) + 1);
      if (range.window > std::max<uint64_t>(first, 512)) {
        EXPECT_LT(int64_t(range.window / 2) - int64_t(range.block), asked + margin) << rate << " Hz " << ms << " ms";
      }
    }
}

TEST(DelaySearchRange, WindowsBeyondThirtyOneBitsAreRefused) {
  DelaySearchRange range;
  EXPECT_FALSE(ComputeDelaySearchRange(2147483647, 240000, 1024, &range));
  // The first window is 2^31, but reaching past its block needs 2^32.
  EXPECT_FALSE(ComputeDelaySearchRange(8000000, 240000, 1024, &range));
}

// 48 kHz over 300 ms is a window of 32768 samples: frames of 32 take 1024
// blocks to fill it, more than the 500 active blocks the search may see.
TEST(DelaySearchPreRun, AWindowLongerThanTheBlockLimitIsFilledAndSearched) {
  SetTraceMask(0);
  constexpr uint32_t kSmallFrame = 32;
  constexpr int kLag = 1234;
  const size_t length = size_t(2.5 * kMeasureRate);
  const std::vector<float> source = SpeechLike(length + kLag, kMeasureRate, 3);
  TempDir dir;
  const std::string referenceFile = dir.File("reference.wav");
  const std::string testFile = dir.File("test.wav");
  const SoundFileSpec spec{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(referenceFile, spec, source.data() + kLag, int64_t(length)));
  ASSERT_TRUE(WriteSoundFile(testFile, spec, source.data(), int64_t(length)));

  auto recorder =
      std::make_unique<FrameRecorder>([&](SYSPARA& sys) { FileMeasurementSettings(sys, referenceFile, testFile, 1); });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder->CreateSysPara());
  CAlgorithmPara alg{kSmallFrame, kSmallFrame};
  const int initialised = recorder->Init(*sys, alg);
  sys->Destroy();
  ASSERT_NE(initialised, 0);
  ASSERT_EQ(recorder->Go(), 1);
  auto frame = std::make_unique<FRAMEDATA>();
  for (int guard = 0; guard < 10000; ++guard) {
    frame->monitor.count = 0;
    if (recorder->ProcessFrame(frame.get(), nullptr) == 0) break;
  }
  recorder->Stop();
  ASSERT_GT(recorder->frames.size(), length / kSmallFrame / 2);
  for (size_t f = 0; f < recorder->frames.size(); ++f) {
    const RecordedFrame& recorded = recorder->frames[f];
    ASSERT_EQ(recorded.status, DELAY_STATUS_RELIABLE) << "frame " << f;
    ASSERT_EQ(recorded.delay, kLag) << "frame " << f;
  }
}

}  // namespace
