// The delay search's geometry (its reach covers the asked range and a
// margin for both signs, with the smallest window that does) and the
// pre-run on a window that takes more blocks to fill than the search may
// see.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFft.h"
#include "Mathlib/MathlibRealFftPool.h"
#include "Vantrel/DebugTrace.h"
#include "Vantrel/DelaySearchRange.h"
#include "measurement_run.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/set_list.h"
#include "primitives/frame/variant_seams.h"
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

TEST(DelaySearchRange, WindowsOfThirtyOneBitsAndMoreAreRefused) {
  DelaySearchRange range;
  EXPECT_FALSE(ComputeDelaySearchRange(2147483647, 240000, 1024, &range));
  // The first window is 2^31, but reaching past its block needs 2^32.
  EXPECT_FALSE(ComputeDelaySearchRange(8000000, 240000, 1024, &range));
  // 4 MHz over 240 s: 9.6e8 samples, whose reach needs a window of 2^31,
  // which no transform or signed ring position covers.
  EXPECT_FALSE(ComputeDelaySearchRange(4000000, 240000, 1024, &range));
  // The largest that remains: 2^30 points.
  ASSERT_TRUE(ComputeDelaySearchRange(3000000, 240000, 1024, &range));
  EXPECT_EQ(range.window, DELAY_SEARCH_MAX_WINDOW);
}

// The plan's range is the largest (in whole ms) whose buffers fit the
// budget and whose window the inputs can fill, checked against the
// geometry itself one ms further.
TEST(DelaySearchPlan, NarrowsToTheLargestRangeTheInputsAndTheMemoryAllow) {
  struct Case {
    const char* what;
    int rate;
    uint32_t askedMs;
    int64_t inputFrames;
    uint64_t budget;
    DelaySearchNarrowing narrowing;
  } cases[] = {
      {"fits", 48000, 1000, 48000 * 10, uint64_t(1) << 40, DelaySearchNarrowing::None},
      {"live input, no length", 48000, 10000, -1, uint64_t(1) << 40, DelaySearchNarrowing::None},
      {"20 s of files for 240 s", 48000, 240000, 48000 * 20, uint64_t(1) << 40, DelaySearchNarrowing::InputLength},
      {"100 MB for 60 s", 16000, 60000, -1, 100'000'000, DelaySearchNarrowing::Memory},
      {"memory before length", 16000, 60000, 16000 * 30, 100'000'000, DelaySearchNarrowing::Memory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DelaySearchPlan plan;
    ASSERT_TRUE(PlanDelaySearch(c.rate, c.askedMs, 1024, c.inputFrames, c.budget, &plan));
    EXPECT_EQ(plan.narrowing, c.narrowing);
    EXPECT_EQ(plan.askedMs, c.askedMs);
    DelaySearchRange asked, used, next;
    ASSERT_TRUE(ComputeDelaySearchRange(c.rate, c.askedMs, 1024, &asked));
    ASSERT_TRUE(ComputeDelaySearchRange(c.rate, plan.usedMs, 1024, &used));
    EXPECT_EQ(plan.askedBytes, uint64_t(asked.window) * 240);
    EXPECT_EQ(plan.range.window, used.window);
    EXPECT_EQ(plan.samplesNeeded, int64_t(used.window) + 16 * 1024);
    const auto fits = [&](const DelaySearchRange& r) {
      return uint64_t(r.window) * 240 <= c.budget && (c.inputFrames < 0 || r.window + 16 * 1024 <= c.inputFrames);
    };
    EXPECT_TRUE(fits(used));
    if (c.narrowing == DelaySearchNarrowing::None) {
      EXPECT_EQ(plan.usedMs, c.askedMs);
    } else {
      EXPECT_LT(plan.usedMs, c.askedMs);
      ASSERT_TRUE(ComputeDelaySearchRange(c.rate, plan.usedMs + 1, 1024, &next));
      EXPECT_FALSE(fits(next)) << plan.usedMs + 1 << " ms would fit too";
    }
  }
}

TEST(DelaySearchPlan, RefusesWithAReasonWhatNoNarrowingMends) {
  DelaySearchPlan plan;
  std::string why;
  EXPECT_FALSE(PlanDelaySearch(4000000, 240000, 1024, -1, uint64_t(1) << 50, &plan, &why));
  EXPECT_NE(why.find("window above 1073741824 points"), std::string::npos) << why;
  // The smallest search at 48 kHz (a margin of 1200 samples) takes a window of 2048 points.
  EXPECT_FALSE(PlanDelaySearch(48000, 1000, 1024, -1, 2048 * 240 - 1, &plan, &why));
  EXPECT_NE(why.find("needs at least 491520 bytes"), std::string::npos) << why;
  EXPECT_TRUE(PlanDelaySearch(48000, 1000, 1024, -1, 2048 * 240, &plan, &why));
  EXPECT_EQ(plan.range.window, 2048u);
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
    ASSERT_EQ(recorded.status, ReliableWhereBothFilesHold(f, kSmallFrame, kLag, int64_t(length), int64_t(length)))
        << "frame " << f;
    ASSERT_EQ(recorded.delay, kLag) << "frame " << f;
  }
}

}  // namespace

// Planning before any math-layer handle exists (a host sizing its
// measurement) builds the search's transform once, for the set the
// correlators run, and the correlators then build none of their own.
TEST(DelaySearchPlan, ThePlansTransformIsBuiltOnceForTheSetTheSearchRuns) {
  ASSERT_EQ(MathlibInstanceCount(), 0);
  MathlibReleaseParkedRealFfts();
  const int32_t before = spForceVariantSet(SP_SET_GENERIC);  // the set until the first handle
  ASSERT_TRUE(DelaySearchTransformAvailable(1024));
  const int32_t chosen = spDispatchIndex.load(std::memory_order_relaxed);
  MathlibHandle* h = MathlibInit();
  std::vector<double> x(1024, 1.0), y(1026);
  int64_t requests = spAllocationRequests();
  EXPECT_EQ(duvuvRealFftFwdF64(h, x.data(), y.data(), 10, 1), 1);
  const int64_t first = spAllocationRequests() - requests;
  requests = spAllocationRequests();
  EXPECT_EQ(duvuvRealFftFwdF64(h, x.data(), y.data(), 10, 1), 1);
  // The cache record alone: the spec and its scratch were there; a call on
  // the cached spec takes nothing.
  EXPECT_EQ(first, 1);
  EXPECT_EQ(spAllocationRequests(), requests);
  EXPECT_EQ(h->cache->variantSet, chosen);
  EXPECT_EQ(y[0], 1024.0);
  MathlibFree(&h);
  MathlibReleaseParkedRealFfts();
  spForceVariantSet(before);
}
