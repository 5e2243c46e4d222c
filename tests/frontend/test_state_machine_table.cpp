// The delay state machine on virtual sound devices, one row per rule: the
// search pauses while a real-time input is busy, an unsnap request frees a
// snapped delay, the tracker's step limits and its refused step, the choice
// after the channel-swap retry (negative qualities included), the monitor
// entries with the real "UsedDelay", and the frame's average reset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/SafeDestroy.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/InputMux.h"
#include "support/position_noise.h"
#include "wavio/VirtualDevice.h"

namespace {

constexpr int kRate = 16000;
constexpr uint32_t kFrame = 512;
constexpr int64_t kEndless = int64_t(1) << 40;

constexpr double kNoiseVariance = 8000.0 * 8001.0 / 3.0;  // of the integers -8000..8000

// Sample n of signal direction d, channel c.
using Signal = std::function<float(int direction, int channel, int64_t n)>;

struct Recorded {
  int32_t delay = 0;
  int32_t status = 0;
  int32_t quality = 0;
  double refEnergy = 0.0;
  MONITORDATA monitor{};
};

// The front end's three stages on devices 0 (reference) and 1 (test),
// driven frame by frame.
class Rig {
 public:
  Rig(int channels, bool realtime, const Signal& signal, int64_t length) {
    for (int d = 0; d < 2; ++d) {
      VirtualDeviceSpec spec;
      spec.sampleRate = kRate;
      spec.channels = channels;
      spec.realTime = false;
      spec.generator = [=](float* out, int64_t frames, int64_t position) -> int64_t {
        const int64_t count = std::max<int64_t>(std::min(frames, length - position), 0);
        for (int64_t i = 0; i < count; ++i)
          for (int c = 0; c < channels; ++c) out[i * channels + c] = signal(d, c, position + i);
        return count;
      };
      m_devices.push_back(std::make_unique<ScopedVirtualDevice>(d, spec));
      SetVirtualDeviceFreeSpace(d, int64_t(1) << 30, int64_t(1) << 30);
    }
    sys.channels = channels;
    sys.settings[0] = 2;
    sys.realtime = realtime ? 1 : 0;
    for (int d = 0; d < 2; ++d) {
      sys.inputPara[d].mode = INPUT_MODE_SOUND_DEVICE;
      sys.inputPara[d].deviceId = d;
      sys.inputPara[d].wave = WAVEPARA{1, kRate, 16, channels, 0, 0};
      for (int c = 0; c < 2; ++c) sys.routingTable[d][c] = INPUTMUXPARA{d, c < channels ? c : 0};
    }
    sys.delayPara.compensationOn = 1;
    sys.delayPara.snapTimeMs = 500;
    sys.delayPara.maxDelayRealtimeMs = 500;
    sys.delayPara.maxDelayFileMs = 500;
    sys.delayPara.maxTrackingStep = 512;
    m_mux = CInputMux::Create();
    m_buffer = CDelayBuffer::Create();
    m_buffer->Attach(m_mux);
    compensation = std::make_unique<CDelayCompensationImpl>();
    compensation->Attach(m_buffer);
  }
  ~Rig() {
    compensation.reset();
    SafeDestroy(m_buffer);
    SafeDestroy(m_mux);
  }

  bool Start(uint32_t frameLen = kFrame) {
    if (compensation->Init(&sys, frameLen, frameLen) == 0) return false;
    m_frameLen = frameLen;
    for (auto& direction : m_samples)
      for (auto& channel : direction) channel.assign(frameLen + FRAME_FRONT_END_SPARE, 0.0f);
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c) m_table[d][c] = m_samples[d][c].data();
    return compensation->Start(nullptr) == 1;
  }

  // Up to `frames` frames; `before` may change the record or the frame.
  std::vector<Recorded> Run(int frames, const std::function<void(int, FRAMEDATA&)>& before = nullptr) {
    std::vector<Recorded> out;
    auto frame = std::make_unique<FRAMEDATA>();
    for (int f = 0; f < frames; ++f) {
      std::memset(&frame->header, 0, sizeof frame->header);
      frame->monitor = MONITORDATA{};
      if (before) before(f, *frame);
      const int code = compensation->ProcessFrame(frame.get(), &frame->desc, &m_table, &frame->monitor, 1);
      out.push_back({frame->header.delay, frame->header.delayStatus, frame->header.quality, frame->header.refEnergy,
                     frame->monitor});
      if (code == FETCH_PADDED) break;
    }
    return out;
  }

  // The position after the newest sample of frame f in real-time mode: the
  // ring was filled by Start (one block past it), then one block a frame.
  int64_t Newest(int f) const { return int64_t(compensation->SearchWindow()) + int64_t(m_frameLen) * (f + 2); }

  SYSPARA sys;
  std::unique_ptr<CDelayCompensationImpl> compensation;

 private:
  std::vector<std::unique_ptr<ScopedVirtualDevice>> m_devices;
  CInputMux* m_mux = nullptr;
  CDelayBuffer* m_buffer = nullptr;
  uint32_t m_frameLen = kFrame;
  std::vector<float> m_samples[2][2];
  float* m_table[2][2] = {};
};

// The test lags the reference by lag(n) samples: mono devices.
Signal Lagging(std::function<int64_t(int64_t)> lag) {
  return [lag](int d, int, int64_t n) { return d == 0 ? NoiseAt(n) : NoiseAt(n - lag(n)); };
}

int FirstWith(const std::vector<Recorded>& frames, int from, const std::function<bool(const Recorded&)>& test) {
  for (int f = from; f < int(frames.size()); ++f)
    if (test(frames[f])) return f;
  return -1;
}

class StateMachineTable : public ::testing::Test {
 protected:
  StateMachineTable() { SetTraceMask(0); }
};

TEST_F(StateMachineTable, TheSearchWaitsWhileARealTimeInputIsBusy) {
  Rig rig(1, true, Lagging([](int64_t) { return 700; }), kEndless);
  ASSERT_TRUE(rig.Start());
  constexpr int kBusyUntil = 40;
  SetVirtualDeviceFreeSpace(1, 0, 0);  // used 100 %
  const std::vector<Recorded> frames = rig.Run(100, [](int f, FRAMEDATA&) {
    if (f == kBusyUntil) SetVirtualDeviceFreeSpace(1, int64_t(1) << 30, int64_t(1) << 30);
  });
  // The percentages are refreshed as each block is released: the frame after
  // the change still sees the busy figure.
  for (int f = 0; f <= kBusyUntil; ++f) ASSERT_EQ(frames[f].status, DELAY_STATUS_CALCULATING) << f;
  const int found = FirstWith(frames, 0, [](const Recorded& r) { return r.status == DELAY_STATUS_RELIABLE; });
  ASSERT_GT(found, kBusyUntil);
  EXPECT_LE(found, kBusyUntil + 20) << "the search needs 15 blocks once it runs";
  EXPECT_EQ(frames[found].delay, 700);
}

TEST_F(StateMachineTable, AnUnsnapRequestFreesASnappedDelayOnce) {
  Rig rig(1, true, Lagging([](int64_t) { return 250; }), kEndless);
  rig.sys.delayPara.snapEnable = 1;
  rig.sys.delayPara.snapTimeMs = 100;  // 3 frames
  ASSERT_TRUE(rig.Start());
  int unsnapAt = -1;
  const std::vector<Recorded> frames = rig.Run(80, [&](int f, FRAMEDATA&) {
    if (unsnapAt < 0 && rig.compensation->Machine().State() == DELCOMP_SNAP && f > 30) {
      unsnapAt = f;
      rig.sys.delayPara.unsnapRequest = 1;
    }
  });
  ASSERT_GT(unsnapAt, 0) << "never snapped";
  EXPECT_EQ(frames[unsnapAt - 1].status, DELAY_STATUS_SNAPPED);
  EXPECT_EQ(frames[unsnapAt].status, DELAY_STATUS_UNCERTAIN);
  EXPECT_EQ(frames[unsnapAt].delay, 250);
  EXPECT_EQ(rig.sys.delayPara.unsnapRequest, 0) << "the request is taken once";
  // The re-check confirms the delay again, and it snaps again after 3 frames.
  const int again =
      FirstWith(frames, unsnapAt + 1, [](const Recorded& r) { return r.status == DELAY_STATUS_RELIABLE; });
  ASSERT_GT(again, unsnapAt);
  const int snapped =
      FirstWith(frames, unsnapAt + 1, [](const Recorded& r) { return r.status == DELAY_STATUS_SNAPPED; });
  EXPECT_EQ(snapped, again + 3);
  for (int f = unsnapAt + 1; f < int(frames.size()); ++f) ASSERT_EQ(frames[f].delay, 250) << f;
}

struct StepCase {
  int step;
  int maxTrackingStep;
  bool trackerTakesIt;
};

// A step the tracker may take is followed without a new search (and is not
// reliable before a re-check confirms it); one at or beyond
// maxTrackingStep waits for the re-check to send the state back to the
// search.
TEST_F(StateMachineTable, TheTrackerTakesOnlyStepsBelowItsLimit) {
  const StepCase cases[] = {{600, 1000, true}, {600, 600, false}, {600, 512, false}, {3, 512, true}, {-40, 512, true}};
  for (const StepCase& c : cases) {
    constexpr int64_t kStepAt = 4 * kRate;
    Rig rig(1, true, Lagging([&](int64_t n) { return n < kStepAt ? 1000 : 1000 + c.step; }), kEndless);
    rig.sys.delayPara.trackVariableDelay = 1;
    rig.sys.delayPara.maxTrackingStep = c.maxTrackingStep;
    ASSERT_TRUE(rig.Start());
    const std::vector<Recorded> frames = rig.Run(260);
    int first = -1;  // the first frame whose newest sample is past the step
    for (int f = 0; f < int(frames.size()) && first < 0; ++f)
      if (rig.Newest(f) > kStepAt) first = f;
    ASSERT_GT(first, 0);
    ASSERT_EQ(frames[first - 1].delay, 1000) << c.step;
    ASSERT_EQ(frames[first - 1].status, DELAY_STATUS_RELIABLE) << c.step;
    const int moved = FirstWith(frames, first, [&](const Recorded& r) { return r.delay == 1000 + c.step; });
    ASSERT_GE(moved, first) << "step " << c.step << " never followed";
    const int searched =
        FirstWith(frames, first, [](const Recorded& r) { return r.status == DELAY_STATUS_CALCULATING; });
    if (c.trackerTakesIt) {
      EXPECT_LE(moved, first + 2) << "step " << c.step << " limit " << c.maxTrackingStep;
      // Beyond a drift's few samples the new delay waits for a re-check to
      // confirm it there.
      if (std::abs(c.step) > 3) {
        EXPECT_NE(frames[moved].status, DELAY_STATUS_RELIABLE) << "step " << c.step;
      }
      EXPECT_TRUE(searched < 0 || searched > moved) << "step " << c.step << " limit " << c.maxTrackingStep;
    } else {
      EXPECT_GE(searched, first) << "step " << c.step << " limit " << c.maxTrackingStep;
      EXPECT_LT(searched, moved) << "step " << c.step << " limit " << c.maxTrackingStep;
    }
  }
}

// Tracking steps stay within the asked range: a step across its end is not
// taken (the search, sent back by the re-check, then shows it as its
// estimate, never reliable), and frames as short as 7 samples (whose re-check blocks say little)
// never walk the delay out of it. No frame is called reliable at another
// delay than the true one.
TEST_F(StateMachineTable, TrackingStepsStayWithinTheAskedRange) {
  struct RangeCase {
    uint32_t frameLen;
    int maxDelayMs;
    int64_t fromEnd;  // the delay lies this far inside the range's end
    int64_t step;     // at 3 s
  };
  const RangeCase cases[] = {{kFrame, 500, 100, 300}, {7, 60, 660, 0}};
  for (const RangeCase& c : cases) {
    constexpr int64_t kStepAt = 3 * kRate;
    int64_t delay = 0;
    Rig rig(1, true, Lagging([&](int64_t n) { return n < kStepAt ? delay : delay + c.step; }), kEndless);
    rig.sys.delayPara.trackVariableDelay = 1;
    rig.sys.delayPara.maxTrackingStep = 4000;
    rig.sys.delayPara.maxDelayRealtimeMs = c.maxDelayMs;
    ASSERT_NE(rig.compensation->Init(&rig.sys, c.frameLen, c.frameLen), 0);
    const int64_t range = rig.compensation->Machine().Settings().maxDelay;
    delay = range - c.fromEnd;
    ASSERT_TRUE(rig.Start(c.frameLen));
    const std::vector<Recorded> frames = rig.Run(int(6 * kRate / c.frameLen));
    int reliable = 0;
    for (size_t f = 0; f < frames.size(); ++f) {
      // Only the search's estimate may lie beyond the range.
      if (frames[f].status != DELAY_STATUS_CALCULATING) {
        ASSERT_LE(std::abs(frames[f].delay), range) << "frame " << f << " of " << c.frameLen;
      }
      const int64_t truth = rig.Newest(int(f)) - int64_t(c.frameLen) > kStepAt ? delay + c.step : delay;
      if (frames[f].status != DELAY_STATUS_RELIABLE) continue;
      ++reliable;
      ASSERT_EQ(frames[f].delay, truth) << "frame " << f << " of " << c.frameLen;
    }
    EXPECT_GT(reliable, 0) << c.frameLen;
  }
}

struct SwapCase {
  double first, swapped;  // correlation of test channels 0 and 1 with reference channel 0
  int expectedSwap;
};

// The retry's mark stays on the status only when the run in force found a
// reliable delay; otherwise the start-up's "uncertain" replaces the word.
bool RetryMarkKept(const SwapCase& c) { return std::fabs(c.expectedSwap == 0 ? c.first : c.swapped) > 0.6; }

// Start's retry with the test channels swapped, and which run stays in
// force: the first when its quality is positive and above the other's, or
// when both are negative and it is the more negative.
TEST_F(StateMachineTable, TheSwapRetryKeepsTheBetterRunWhateverTheSign) {
  const SwapCase cases[] = {{-0.7, -0.5, 0}, {0.3, -0.8, 0}, {-0.3, 0.2, 1}, {0.4, 0.8, 1}, {-0.5, -0.8, 1}};
  for (const SwapCase& c : cases) {
    // Test channel c is r x reference + noise, scaled so the correlation is r.
    const double r[2] = {c.first, c.swapped};
    const Signal signal = [r](int d, int ch, int64_t n) -> float {
      if (d == 0) return ch == 0 ? NoiseAt(n) : NoiseAt(n, 9);
      const double noise = std::sqrt(1.0 - r[ch] * r[ch]);
      return float(std::round(r[ch] * NoiseAt(n - 300) + noise * NoiseAt(n, 3 + ch)));
    };
    Rig rig(2, false, signal, 40 * kRate);
    rig.sys.delayPara.channelSwapAllowed = 1;
    rig.sys.levelPara.invertOnNegative = 1;  // negative peaks count by their size
    ASSERT_TRUE(rig.Start()) << c.first << " " << c.swapped;
    EXPECT_EQ((rig.compensation->Machine().Reading().status & DELAY_STATUS_SWAP_RETRIED) != 0, RetryMarkKept(c))
        << c.first << " " << c.swapped;
    EXPECT_EQ(rig.compensation->SwapTestChannels(), c.expectedSwap) << c.first << " " << c.swapped;
  }
}

TEST_F(StateMachineTable, MonitorEntriesFollowTheRecheckAndTrackingAndEndWithTheUsedDelay) {
  // The reference falls silent from 6 s: the re-check is then skipped and
  // the tracker finds too little energy.
  constexpr int64_t kSilentFrom = 6 * kRate;
  const Signal signal = [](int d, int, int64_t n) -> float {
    if (n >= kSilentFrom) return d == 0 ? 0.0f : NoiseAt(n - 400);
    return d == 0 ? NoiseAt(n) : NoiseAt(n - 400);
  };
  Rig rig(1, true, signal, kEndless);
  rig.sys.delayPara.trackVariableDelay = 1;
  ASSERT_TRUE(rig.Start());
  const std::vector<Recorded> frames = rig.Run(260);
  const char* const loud[] = {"R(default)", "R(at default)", "R(Frame)", "WPosR", "WPosT", "R(VarDel)", "UsedDelay"};
  // Too weak to re-check: the tracker runs the re-check once more, over
  // the entry it had named, and writes no value of its own.
  const char* const quiet[] = {"R(default)", "R(at default)", "R(Frame)", "WPosR", "WPosT",
                               "R(default)", "R(at default)", "R(Frame)", "WPosR", "UsedDelay"};
  int loudFrames = 0, quietFrames = 0, firstReliable = -1;
  for (int f = 0; f < int(frames.size()); ++f) {
    const Recorded& r = frames[f];
    if (r.status != DELAY_STATUS_RELIABLE && r.status != DELAY_STATUS_UNCERTAIN) continue;
    const MONITORDATA& m = r.monitor;
    const bool isLoud = rig.Newest(f) < kSilentFrom - int64_t(rig.compensation->SearchWindow());
    const bool isQuiet = rig.Newest(f) > kSilentFrom + 4 * int64_t(kFrame);
    if (!isLoud && !isQuiet) continue;
    const char* const* names = isLoud ? loud : quiet;
    const int entries = isLoud ? 7 : 10;
    ASSERT_EQ(m.count, std::min(entries, MONITOR_LAST_ENTRY)) << f;
    for (int i = 0; i < entries; ++i) ASSERT_STREQ(m.name[i], names[i]) << f << " entry " << i;
    // The delay in force, not negated: the test lags, so it is negative.
    EXPECT_EQ(m.value[entries - 1], -400.0f) << f;
    EXPECT_EQ(r.delay, 400) << f;
    // The re-check's correlations mean something once its window has filled
    // after the search confirmed the delay.
    if (firstReliable < 0 && r.status == DELAY_STATUS_RELIABLE) firstReliable = f;
    const bool recheckFilled =
        firstReliable >= 0 && int64_t(f - firstReliable) * kFrame >=
                                  int64_t(rig.compensation->Machine().Estimator().RecheckSet().GetWindowLen());
    if (isLoud && recheckFilled) {
      EXPECT_GT(m.value[1], 60.0f) << "correlation at the delay, frame " << f;
      EXPECT_GT(m.value[5], 60.0f) << "the tracker's pick, frame " << f;
      ++loudFrames;
    } else if (isQuiet) {
      for (int i : {1, 2, 3, 4, 6, 7, 8})
        EXPECT_EQ(m.value[i], 0.0f) << "not re-checked, frame " << f << " entry " << i;
      ++quietFrames;
    }
  }
  EXPECT_GT(loudFrames, 20);
  EXPECT_GT(quietFrames, 20);
}

TEST_F(StateMachineTable, AFrameAskingToResetTheAverageRestartsTheLevels) {
  // The reference level doubles from 4 s on.
  constexpr int64_t kLouderFrom = 4 * kRate;
  const Signal signal = [](int d, int, int64_t n) -> float {
    const float v = d == 0 ? NoiseAt(n) : NoiseAt(n - 100);
    return d == 0 && n >= kLouderFrom ? 2.0f * v : v;
  };
  std::vector<Recorded> runs[2];
  int resetAt = -1;
  for (int reset = 0; reset < 2; ++reset) {
    Rig rig(1, true, signal, kEndless);
    ASSERT_TRUE(rig.Start());
    runs[reset] = rig.Run(250, [&](int f, FRAMEDATA& frame) {
      if (reset == 0 || resetAt >= 0 || rig.Newest(f) <= kLouderFrom + int64_t(kFrame)) return;
      resetAt = f;
      frame.header.resetAverage = 1;
    });
  }
  ASSERT_GT(resetAt, 0);
  // Four block reads a frame (two directions, two channels) share the
  // totals: the frame's energy is a quarter of a reference block's.
  const double louder = 4.0 * kNoiseVariance * kFrame / 4.0;
  const Recorded& last = runs[1].back();
  EXPECT_NEAR(last.refEnergy / louder, 1.0, 0.05);
  EXPECT_LT(runs[0].back().refEnergy / louder, 0.9) << "without the reset the quieter start still counts";
}

}  // namespace

namespace {

class TrackingRules : public StateMachineTable {};

// Before the search has confirmed a delay the tracker has none to follow:
// no frame is reliable (or uncertain) before the search's first reliable
// frame, however well the newest blocks match.
TEST_F(TrackingRules, NothingIsReliableBeforeTheSearchConfirmsADelay) {
  Rig rig(1, true, Lagging([](int64_t) { return 300; }), kEndless);
  rig.sys.delayPara.trackVariableDelay = 1;
  ASSERT_TRUE(rig.Start());
  const std::vector<Recorded> frames = rig.Run(60);
  const int first = FirstWith(frames, 0, [](const Recorded& r) { return r.status != DELAY_STATUS_CALCULATING; });
  ASSERT_GE(first, 0);
  EXPECT_EQ(frames[first].status, DELAY_STATUS_RELIABLE);
  EXPECT_GE(first, int(CCorrelatorSet::kHistoryBlocks) - 2) << "the search needs 15 blocks";
  for (int f = first; f < int(frames.size()); ++f) ASSERT_EQ(frames[f].delay, 300) << f;
}

// The frame in which the input ends reads a block that is partly padding:
// its delay, status and quality are those of the frame before (but for
// "reliable": zeros that stand in for the input are never reliable).
TEST_F(TrackingRules, TheFrameWhereTheInputEndsChangesNothing) {
  for (const int64_t length : {int64_t(4 * kRate + 100), int64_t(4 * kRate + 500)}) {
    // Constant for 2 s, then drifting by 8 samples a second.
    Rig rig(1, true, Lagging([](int64_t n) { return 200 + std::max<int64_t>(n - 2 * kRate, 0) / 2000; }), length);
    rig.sys.delayPara.trackVariableDelay = 1;
    ASSERT_TRUE(rig.Start());
    const std::vector<Recorded> frames = rig.Run(1000);
    ASSERT_GT(frames.size(), 2u);
    const Recorded& last = frames.back();
    const Recorded& before = frames[frames.size() - 2];
    EXPECT_EQ(last.delay, before.delay) << length;
    EXPECT_EQ(last.status, before.status == DELAY_STATUS_RELIABLE ? DELAY_STATUS_UNCERTAIN : before.status) << length;
    EXPECT_EQ(last.quality, before.quality) << length;
  }
}

}  // namespace

namespace {

// The run with the test channels swapped goes on searching only while it
// improves on the best of the first run: a swapped channel that starts
// weaker than the first run's result ends its search there, even though
// it would correlate better later in the files.
TEST_F(StateMachineTable, TheSwappedRunMustBeatTheFirstRunsBest) {
  const Signal signal = [](int d, int ch, int64_t n) -> float {
    if (d == 0) return ch == 0 ? NoiseAt(n) : NoiseAt(n, 9);
    // Channel 1 grows from 0.65 to 0.99 over the first 4 s.
    const double r = ch == 0 ? 0.8 : 0.65 + 0.34 * double(std::min<int64_t>(n, 4 * kRate)) / (4 * kRate);
    return float(std::round(r * NoiseAt(n - 300) + std::sqrt(1.0 - r * r) * NoiseAt(n, 3 + ch)));
  };
  Rig rig(2, false, signal, 40 * kRate);
  rig.sys.delayPara.channelSwapAllowed = 1;
  ASSERT_TRUE(rig.Start());
  EXPECT_NE(rig.compensation->Machine().Reading().status & DELAY_STATUS_SWAP_RETRIED, 0);
  EXPECT_EQ(rig.compensation->SwapTestChannels(), 0);
  EXPECT_EQ(rig.compensation->Machine().Reading().delay, -300);
}

}  // namespace

namespace {

// When the search the re-check restarted confirms a new delay, the
// re-check starts afresh too: its blocks aligned by the rejected delay
// would reject the new one. Once found, the new delay stays reliable.
TEST_F(StateMachineTable, ADelayFoundAfterARestartStaysReliable) {
  for (const int tracking : {0, 1}) {
    constexpr int64_t kStepAt = 3 * kRate;
    Rig rig(1, true, Lagging([](int64_t n) { return n < kStepAt ? 1000 : 2600; }), kEndless);
    rig.sys.delayPara.trackVariableDelay = tracking;
    ASSERT_TRUE(rig.Start());
    const std::vector<Recorded> frames = rig.Run(int(8 * kRate / kFrame));
    const int found =
        FirstWith(frames, 0, [](const Recorded& r) { return r.delay == 2600 && r.status != DELAY_STATUS_CALCULATING; });
    ASSERT_GT(found, 0) << tracking;
    // The search's long blocks average a delay that may be moving: its
    // frames wait for the re-check to agree, then stay reliable.
    const int agreed = FirstWith(frames, found, [](const Recorded& r) { return r.status == DELAY_STATUS_RELIABLE; });
    ASSERT_GE(agreed, found) << tracking;
    EXPECT_LE(agreed, found + 4) << tracking;
    for (int f = agreed; f < int(frames.size()); ++f)
      ASSERT_EQ(frames[f].status, DELAY_STATUS_RELIABLE) << "frame " << f << " tracking " << tracking;
  }
}

}  // namespace

namespace {

// Noise band-limited to 2 kHz, at any real position: a test ahead of the
// reference by 300.4 samples peaks between two lags.
float SmoothNoiseAt(double t) {
  double v = 0.0;
  // Frequencies spread without a common period.
  for (int k = 1; k <= 200; ++k)
    v += std::sin(2.0 * M_PI * (100.0 + 1900.0 * std::fmod(k * 0.6180339887, 1.0)) * t / kRate + 0.7 * k * k);
  return float(std::round(400.0 * v));
}

// The tracker's pick may give way to its second peak, one lag nearer the
// delay in force, when the two come within 5: "R(VarDel)" then shows the
// second peak's correlation, the one taken, below the correlation at the
// delay in force.
TEST_F(StateMachineTable, TheTrackersMonitorShowsThePeakTaken) {
  const Signal signal = [](int d, int, int64_t n) {
    return d == 0 ? SmoothNoiseAt(double(n)) : SmoothNoiseAt(n + 300.4);
  };
  Rig rig(1, true, signal, kEndless);
  rig.sys.delayPara.trackVariableDelay = 1;
  ASSERT_TRUE(rig.Start());
  const std::vector<Recorded> frames = rig.Run(150);
  int compared = 0;
  for (int f = 100; f < int(frames.size()); ++f) {
    const MONITORDATA& m = frames[f].monitor;
    if (frames[f].status != DELAY_STATUS_RELIABLE || std::strcmp(m.name[5], "R(VarDel)") != 0) continue;
    EXPECT_EQ(frames[f].delay, -300) << f;
    EXPECT_LT(m.value[5], m.value[1] - 1.0f) << "frame " << f;
    ++compared;
  }
  EXPECT_GT(compared, 20);
}

}  // namespace
