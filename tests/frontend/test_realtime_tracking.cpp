// Real-time measurements on virtual sound devices: the search on live
// input, the re-check that notices a delay step and searches again, the
// tracker that follows a slow drift, the snap, and the end of input before
// any delay was found.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "measurement_run.h"
#include "support/position_noise.h"
#include "wavio/VirtualDevice.h"

namespace {

constexpr int kRate = 16000;
constexpr uint32_t kFrame = 512;

using LagAt = std::function<int64_t(int64_t)>;

// Reference device 0 and test device 1 (the reference delayed by lag(n)),
// delivering at once; `frames` samples, then the input ends.
class DevicePair {
 public:
  // Paced: the devices deliver in real time and report their own buffer
  // use; otherwise at once, never busy, so the search and re-check run on
  // every frame.
  DevicePair(
      LagAt lag, int64_t frames, bool paced = false,
      std::function<float(int64_t)> source = [](int64_t n) { return NoiseAt(n); })
      : m_reference(0, Spec(source, frames, paced)),
        m_test(1, Spec([lag, source](int64_t n) { return source(n - lag(n)); }, frames, paced)) {
    if (paced) return;
    SetVirtualDeviceFreeSpace(0, int64_t(1) << 30, int64_t(1) << 30);
    SetVirtualDeviceFreeSpace(1, int64_t(1) << 30, int64_t(1) << 30);
  }

 private:
  static VirtualDeviceSpec Spec(std::function<float(int64_t)> signal, int64_t total, bool paced) {
    VirtualDeviceSpec spec;
    spec.sampleRate = kRate;
    spec.channels = 1;
    spec.realTime = paced;
    spec.generator = [signal, total](float* out, int64_t frames, int64_t position) -> int64_t {
      const int64_t count = std::max<int64_t>(std::min(frames, total - position), 0);
      for (int64_t i = 0; i < count; ++i) out[i] = signal(position + i);
      return count;
    };
    return spec;
  }

  ScopedVirtualDevice m_reference;
  ScopedVirtualDevice m_test;
};

struct RealtimeRun {
  std::vector<RecordedFrame> frames;
  int goResult = 0;
};

// `between` runs before each frame with the frame's index.
RealtimeRun RunDevices(int maxFrames, const std::function<void(SYSPARA&)>& edit,
                       const std::function<void(CMsystem&, int)>& between = nullptr) {
  RealtimeRun run;
  auto recorder = std::make_unique<FrameRecorder>([&](SYSPARA& sys) {
    DeviceMeasurementSettings(sys, kRate);
    if (edit) edit(sys);
  });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder->CreateSysPara());
  CAlgorithmPara alg{kFrame, kFrame};
  const int initResult = recorder->Init(*sys, alg);
  sys->Destroy();
  if (initResult == 0) return run;
  run.goResult = recorder->Go();
  auto frame = std::make_unique<FRAMEDATA>();
  for (int f = 0; f < maxFrames && run.goResult != 0; ++f) {
    frame->monitor.count = 0;
    if (between) between(*recorder, f);
    if (recorder->ProcessFrame(frame.get(), nullptr) == 0) break;
  }
  recorder->Stop();
  recorder->Reset();
  run.frames = std::move(recorder->frames);
  return run;
}

class RealtimeTest : public ::testing::Test {
 protected:
  RealtimeTest() { SetTraceMask(0); }
};

// Samples Go read until the ring was full, before the first frame.
int64_t RingFill() {
  DelaySearchRange range;
  EXPECT_TRUE(ComputeDelaySearchRange(kRate, 500, kFrame, &range));
  return int64_t(range.window) + kFrame;
}

TEST_F(RealtimeTest, ADelayStepIsNoticedAndFoundAgainThenADriftIsTracked) {
  // 200 samples, a step to 1100 at 4 s, from 8 s a drift of one sample
  // every 50 ms up to 1180 at 12 s.
  const int64_t step = 4 * kRate, driftStart = 8 * kRate, driftEnd = 12 * kRate;
  const LagAt lag = [=](int64_t n) -> int64_t {
    if (n < step) return 200;
    if (n < driftStart) return 1100;
    return 1100 + (std::min(n, driftEnd) - driftStart) / 800;
  };
  DevicePair devices(lag, 14 * kRate);
  const RealtimeRun run = RunDevices(100000, [](SYSPARA& sys) { sys.delayPara.trackVariableDelay = 1; });
  ASSERT_EQ(run.goResult, 1);
  ASSERT_GT(run.frames.size(), size_t(12 * kRate / kFrame));

  // The newest sample of frame f, counted from the start of the input.
  const int64_t ringFill = RingFill();
  auto newest = [&](size_t f) { return ringFill + int64_t(f + 1) * kFrame; };
  size_t firstReliable = run.frames.size();
  int stepFound = -1;
  int trackedWithinOne = 0, driftFrames = 0;
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    const int64_t n = newest(f);
    if (frame.status == DELAY_STATUS_RELIABLE && firstReliable == run.frames.size()) firstReliable = f;
    if (n < step - 4 * int64_t(kFrame) && f >= firstReliable) {
      ASSERT_EQ(frame.delay, 200) << "frame " << f;
    }
    if (n > step && n < driftStart && stepFound < 0 && frame.delay == 1100 && frame.status == DELAY_STATUS_RELIABLE)
      stepFound = int(f);
    if (n > driftStart + kRate && n < driftEnd) {
      ++driftFrames;
      // The test's newest sample is aligned with the reference D back.
      trackedWithinOne += std::abs(frame.delay - lag(n)) <= 1 ? 1 : 0;
    }
  }
  EXPECT_LT(firstReliable, size_t(2 * kRate / kFrame)) << "no reliable delay within 2 s";
  ASSERT_GE(stepFound, 0) << "the step to 1100 was not found";
  EXPECT_LT(newest(size_t(stepFound)) - step, 3 * kRate) << "the step took more than 3 s to find";
  EXPECT_GE(trackedWithinOne, driftFrames * 9 / 10) << trackedWithinOne << " of " << driftFrames;
  EXPECT_NEAR(run.frames.back().delay, 1180, 1);
}

// A drift of 1000 ppm through pauses of the signal longer than a drift of
// 3 samples: the delay left behind during a pause, and the re-check's
// blocks from before it, must not make a frame reliable; the drift is
// still followed on most of the frames.
TEST_F(RealtimeTest, ADriftThroughPausesIsReliableOnlyWhereItIs) {
  const int64_t ringFill = RingFill();
  // Constant until the search has found the delay, then the drift, from
  // 0.2 s into a stretch of signal.
  const int64_t cycle = 17 * kRate / 10;
  const int64_t driftStart = (ringFill + 2 * kRate) / cycle * cycle + kRate / 5, end = driftStart + 12 * kRate;
  const LagAt lag = [=](int64_t n) -> int64_t { return 300 + std::max<int64_t>(n - driftStart, 0) / 1000; };
  // 1.2 s of noise low-passed below about 1 kHz, as speech carries most
  // of its power there (white noise would lose its correlation to a drift
  // of a sample within a re-check block), then 0.5 s of silence (a drift
  // of 8 samples).
  const auto source = [=](int64_t n) {
    if (((n % cycle) + cycle) % cycle >= 12 * kRate / 10) return 0.0f;
    float sum = 0.0f;
    for (int k = 0; k < 16; ++k) sum += NoiseAt(n - k);
    return std::round(sum / 4.0f);
  };
  DevicePair devices(lag, end, false, source);
  const RealtimeRun run = RunDevices(100000, [](SYSPARA& sys) { sys.delayPara.trackVariableDelay = 1; });
  ASSERT_GT(run.frames.size(), size_t((end - ringFill) / kFrame - 4));
  int reliable = 0, wrong = 0, drifting = 0;
  for (size_t f = 0; f < run.frames.size(); ++f) {
    // The middle of the frame's test samples.
    const int64_t n = ringFill + int64_t(f) * kFrame + kFrame / 2;
    if (n < driftStart) continue;
    ++drifting;
    if (run.frames[f].status != DELAY_STATUS_RELIABLE) continue;
    ++reliable;
    if (std::abs(run.frames[f].delay - lag(n)) > 3) {
      ++wrong;
      ADD_FAILURE() << "frame " << f << " reliable at " << run.frames[f].delay << ", truth " << lag(n);
      if (wrong > 5) break;
    }
  }
  EXPECT_GE(reliable, drifting / 3);
}

// A 100 ms step in the delay, with and without the tracker: once the
// re-check has rejected the old delay it never comes back as reliable, the
// new one is reliable soon after the step, and no frame is called reliable
// at a quality below the search's threshold.
TEST_F(RealtimeTest, AStepIsFoundAfreshOnceTheOldDelayIsRejected) {
  const int64_t step = 3 * kRate;
  const LagAt lag = [=](int64_t n) -> int64_t { return n < step ? 1000 : 2600; };
  for (const int tracking : {0, 1}) {
    DevicePair devices(lag, 6 * kRate);
    const RealtimeRun run = RunDevices(100000, [&](SYSPARA& sys) { sys.delayPara.trackVariableDelay = tracking; });
    const int64_t ringFill = RingFill();
    ASSERT_GE(run.frames.size(), size_t((6 * kRate - ringFill) / kFrame - 2)) << tracking;
    auto newest = [&](size_t f) { return ringFill + int64_t(f + 1) * kFrame; };
    bool rejected = false;
    int foundAfter = -1;
    for (size_t f = 0; f < run.frames.size(); ++f) {
      const RecordedFrame& frame = run.frames[f];
      const bool reliable = (frame.status & 0xFFFF) == DELAY_STATUS_RELIABLE;
      if (reliable) {
        EXPECT_GE(std::abs(frame.quality), 60) << "tracking " << tracking << " frame " << f;
      }
      if (newest(f) <= step) continue;
      if (!reliable) rejected = true;
      if (reliable && rejected) {
        EXPECT_EQ(frame.delay, 2600) << "tracking " << tracking << " frame " << f;
      }
      if (reliable && frame.delay == 2600 && foundAfter < 0) foundAfter = int((newest(f) - step) / kFrame);
    }
    EXPECT_TRUE(rejected) << tracking;
    EXPECT_GE(foundAfter, 0) << tracking;
    EXPECT_LE(foundAfter, 30) << "frames from the step to the new delay, tracking " << tracking;
  }
}

// A step of 400 samples, which the re-check's window sees: with or without
// the tracker, a frame whose samples all lie past the step is never called
// reliable at the delay before it (its newest block says otherwise).
TEST_F(RealtimeTest, AFramePastAStepIsNeverReliableAtTheOldDelayWhateverTheTracker) {
  const int64_t step = 3 * kRate;
  const LagAt lag = [=](int64_t n) -> int64_t { return n < step ? 800 : 1200; };
  for (const int tracking : {0, 1}) {
    DevicePair devices(lag, 5 * kRate);
    const RealtimeRun run = RunDevices(100000, [&](SYSPARA& sys) { sys.delayPara.trackVariableDelay = tracking; });
    const int64_t ringFill = RingFill();
    int reliableBefore = 0;
    for (size_t f = 0; f < run.frames.size(); ++f) {
      const RecordedFrame& frame = run.frames[f];
      const bool reliable = (frame.status & 0xFFFF) == DELAY_STATUS_RELIABLE;
      const int64_t testFirst = ringFill + int64_t(f + 1) * kFrame - int64_t(frame.count);
      if (testFirst + int64_t(frame.count) <= step) reliableBefore += reliable && frame.delay == 800 ? 1 : 0;
      if (testFirst >= step && reliable) {
        EXPECT_EQ(frame.delay, 1200) << "tracking " << tracking << " frame " << f;
      }
    }
    EXPECT_GT(reliableBefore, 20) << tracking;
  }
}

TEST_F(RealtimeTest, DevicesPacedInRealTimeGiveAReliableDelay) {
  DevicePair devices([](int64_t) -> int64_t { return 200; }, 4 * kRate, true);
  const RealtimeRun run = RunDevices(100000, nullptr);
  ASSERT_EQ(run.goResult, 1);
  ASSERT_FALSE(run.frames.empty());
  EXPECT_EQ(run.frames.back().status, DELAY_STATUS_RELIABLE);
  EXPECT_EQ(run.frames.back().delay, 200);
}

TEST_F(RealtimeTest, AHeldDelayIsNotTracked) {
  const LagAt lag = [](int64_t n) -> int64_t { return 300 + n / 800; };
  DevicePair devices(lag, 8 * kRate);
  bool hold = false;
  constexpr int kHoldFrom = 3 * kRate / kFrame;
  const RealtimeRun run = RunDevices(
      100000,
      [&](SYSPARA& sys) {
        sys.delayPara.trackVariableDelay = 1;
        sys.delayPara.hold = hold ? 1 : 0;
      },
      [&](CMsystem& system, int frame) {
        if (frame != kHoldFrom) return;
        hold = true;
        SYSPARA copy(system.SysPara());
        system.UpdateSysPara(&copy);
      });
  ASSERT_GT(run.frames.size(), size_t(kHoldFrom + 10));
  const int32_t held = run.frames[kHoldFrom - 1].delay;
  EXPECT_GT(held, 300 + 2 * kRate / 800) << "the drift was tracked before the hold";
  for (size_t f = kHoldFrom; f < run.frames.size(); ++f) {
    ASSERT_EQ(run.frames[f].delay, held) << f;
    ASSERT_EQ(run.frames[f].status, DELAY_STATUS_HELD) << f;
  }
}

struct SnapCase {
  int snapTimeMs;
  bool snaps;
};

class SnapTest : public RealtimeTest, public ::testing::WithParamInterface<SnapCase> {};

// 16000 Hz x 268436 ms passes 2^32: the threshold must not wrap to 0 frames.
TEST_P(SnapTest, SnapsAfterTheSnapTimeOnly) {
  DevicePair devices([](int64_t) -> int64_t { return 120; }, 6 * kRate);
  const RealtimeRun run = RunDevices(100000, [](SYSPARA& sys) {
    sys.delayPara.snapEnable = 1;
    sys.delayPara.snapTimeMs = GetParam().snapTimeMs;
  });
  ASSERT_FALSE(run.frames.empty());
  size_t firstReliable = run.frames.size();
  size_t firstSnapped = run.frames.size();
  for (size_t f = 0; f < run.frames.size(); ++f) {
    if (run.frames[f].status == DELAY_STATUS_RELIABLE && firstReliable == run.frames.size()) firstReliable = f;
    if (run.frames[f].status == DELAY_STATUS_SNAPPED && firstSnapped == run.frames.size()) firstSnapped = f;
  }
  ASSERT_LT(firstReliable, run.frames.size());
  if (!GetParam().snaps) {
    EXPECT_EQ(firstSnapped, run.frames.size());
    return;
  }
  // 100 ms is 3 frames of 512 at 16 kHz (16000 x 100 / 512000, truncated):
  // the third reliable frame snaps, and the frame after it says so.
  EXPECT_EQ(firstSnapped, firstReliable + 3);
  for (size_t f = firstSnapped; f < run.frames.size(); ++f) {
    ASSERT_EQ(run.frames[f].status, DELAY_STATUS_SNAPPED) << f;
    ASSERT_EQ(run.frames[f].delay, 120) << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Times, SnapTest, ::testing::Values(SnapCase{100, true}, SnapCase{268436, false}));

TEST_F(RealtimeTest, FramesOfLiveInputsLieAtTheInputsPositionUpToTheirEnd) {
  // The position counts the samples Go read to fill the ring; at the end
  // the frames stop before one lies wholly past it, and the last, partly
  // zeros, says how much of it is input and is not reliable.
  const int64_t total = 3 * kRate + 300;
  const int lag = 200;
  DevicePair devices([](int64_t) -> int64_t { return lag; }, total);
  FilePair inputs;
  for (int64_t n = 0; n < total; ++n) {
    inputs.reference.push_back(NoiseAt(n));
    inputs.test.push_back(NoiseAt(n - lag));
  }
  const RealtimeRun run = RunDevices(100000, nullptr);
  ASSERT_EQ(run.goResult, 1);
  ASSERT_GT(run.frames.size(), 20u);
  for (size_t f = 0; f < run.frames.size(); ++f) {
    const RecordedFrame& frame = run.frames[f];
    ASSERT_TRUE(HoldsTheFilesAtItsPlace(frame, inputs)) << "frame " << f << " at " << frame.samplePosition;
    if (uint32_t(frame.realSamples) < frame.count) {
      ASSERT_NE(StatusWord(frame.status), DELAY_STATUS_RELIABLE) << "frame " << f;
    }
  }
  EXPECT_EQ(run.frames.back().delay, lag);
  EXPECT_GT(run.frames.back().realSamples, 0);
  EXPECT_LT(uint32_t(run.frames.back().realSamples), kFrame);
}

}  // namespace
