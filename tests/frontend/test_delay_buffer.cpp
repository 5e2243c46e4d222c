// The delay buffer on the whole input side (sound files or virtual devices,
// the multiplexer, the rings): counting ramps fetched at every delay across
// the ring's wrap, with input offsets and the channel swap; the fetch codes
// at their edges; zero padding; sizing; and the refusal on out of memory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/RefusalNote.h"
#include "Vantrel/SafeDestroy.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DcBlocker.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/InputMux.h"
#include "frontend/spy_wave_io.h"
#include "platform/debug_output.h"
#include "support/alloc_failure.h"
#include "support/temp_dir.h"
#include "wavio/SoundFile.h"
#include "wavio/VirtualDevice.h"

using ::testing::HasSubstr;

namespace {

constexpr int kRate = 1000;  // one sample per millisecond of input offset
constexpr int kBlock = 100;

// Sample n of a signal channel: reference channel c holds 50000 c + n, test
// channel c holds 100000 (c + 1) + n. Exact in float.
float RampValue(int direction, int channel, int64_t n) {
  return float(direction == 0 ? 50000 * channel + n : 100000 * (channel + 1) + n);
}

std::vector<float> RampFrames(int direction, int frames) {
  std::vector<float> interleaved(2 * frames);
  for (int n = 0; n < frames; ++n)
    for (int c = 0; c < 2; ++c) interleaved[2 * n + c] = RampValue(direction, c, n);
  return interleaved;
}

class DelayBufferTest : public ::testing::Test {
 protected:
  DelayBufferTest() {
    SetTraceMask(TRACE_ORDINARY);
    m_sys.channels = 2;
    m_sys.settings[0] = 2;
    for (int input = 0; input < 2; ++input) {
      INPUTPARAEXT& record = m_sys.inputPara[input];
      record.mode = INPUT_MODE_FILE;
      record.fileName = m_dir.File(input == 0 ? "reference.wav" : "test.wav");
      record.wave = WAVEPARA{1, kRate, 32, 2, 0, 0};
      record.deviceId = input;
      for (int channel = 0; channel < 2; ++channel) m_sys.routingTable[input][channel] = INPUTMUXPARA{input, channel};
    }
    m_mux = CInputMux::Create();
    m_buffer = CDelayBuffer::Create();
    m_buffer->Attach(m_mux);
  }
  ~DelayBufferTest() override {
    SafeDestroy(m_buffer);
    SafeDestroy(m_mux);
    SetTraceMask(TRACE_MASK_BEFORE_LOAD);
  }

  void WriteFiles(int frames) {
    for (int direction = 0; direction < 2; ++direction) {
      const std::vector<float> ramp = RampFrames(direction, frames);
      ASSERT_TRUE(WriteSoundFile(m_sys.inputPara[direction].fileName, {kRate, 2, SoundFileEncoding::Float, "wav"},
                                 ramp.data(), frames));
    }
  }

  void Start(int frames, int ringLength, int offsetMs = 0) {
    WriteFiles(frames);
    m_sys.delayPara.inputOffsetMs = offsetMs;
    ASSERT_EQ(m_buffer->Init(&m_sys, kBlock, ringLength), 1);
    ASSERT_NE(m_buffer->Go(), 0) << m_trace.Text();
  }

  int Ring() {
    int fill = 0;
    int ring = 0;
    m_buffer->GetFill(&fill, &ring);
    return ring;
  }

  int Fill() {
    int fill = 0;
    m_buffer->GetFill(&fill, nullptr);
    return fill;
  }

  TempDir m_dir;
  DebugOutputCapture m_trace;
  SYSPARA m_sys;
  CInputMux* m_mux = nullptr;
  CDelayBuffer* m_buffer = nullptr;
};

struct RampCase {
  int offsetMs;
  int swap;
};

class DelayBufferRamps : public DelayBufferTest, public ::testing::WithParamInterface<RampCase> {};

TEST_P(DelayBufferRamps, EveryFetchedValueIsItsIndexAcrossTheWrap) {
  const auto [offsetMs, swap] = GetParam();
  Start(5000, 450, offsetMs);
  const int ring = Ring();
  int wrapped = 0;
  for (int block = 1; block <= 14; ++block) {
    ASSERT_EQ(m_buffer->ProcessInput(swap), 1);
    const int64_t written = int64_t(block) * kBlock;
    for (int direction = 0; direction < 2; ++direction)
      for (int channel = 0; channel < 2; ++channel)
        for (int delay : {0, 1, 37, 100, 250}) {
          const int extra =
              (direction == 0 && offsetMs > 0) || (direction == 1 && offsetMs < 0) ? std::abs(offsetMs) : 0;
          for (int count : {1, 50, 100, 149}) {
            if (delay + extra + count > std::min<int64_t>(written, ring)) continue;
            std::vector<float> dest(count, -1.0f);
            ASSERT_EQ(m_buffer->CopySamples(direction, channel, delay, count, dest.data(), 0, 0), 1);
            const int source = direction == 1 && swap ? 1 - channel : channel;
            const int64_t first = written - delay - extra - count;
            for (int k = 0; k < count; ++k)
              ASSERT_EQ(dest[k], RampValue(direction, source, first + k))
                  << "block " << block << " signal " << direction << "/" << channel << " delay " << delay << " count "
                  << count << " sample " << k;
            float* piece1 = nullptr;
            float* piece2 = nullptr;
            int len1 = 0;
            int len2 = 0;
            m_buffer->GetSamples(direction, channel, delay, count, &piece1, &len1, &piece2, &len2, 0, 0);
            ASSERT_EQ(len1 + len2, count);
            wrapped += len2 > 0;
          }
        }
  }
  EXPECT_GT(wrapped, 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, DelayBufferRamps,
                         ::testing::Values(RampCase{0, 0}, RampCase{30, 0}, RampCase{-30, 0}, RampCase{0, 1},
                                           RampCase{-45, 1}));

TEST_F(DelayBufferTest, FilteredFetchesFollowTheBlockersClosedFormOnARamp) {
  Start(5000, 450);
  m_sys.levelPara.useFiltered = 1;
  for (int block = 0; block < 6; ++block) ASSERT_EQ(m_buffer->ProcessInput(0), 1);
  std::vector<float> raw(100);
  std::vector<float> filtered(100);
  ASSERT_EQ(m_buffer->CopySamples(0, 0, 0, 100, raw.data(), 0, 0), 1);
  ASSERT_EQ(m_buffer->CopySamples(0, 0, 0, 100, filtered.data(), 1, 0), 1);
  // The ramp's first difference is 0 then 1: w[n] = (1 - p^n) / (1 - p).
  const double pole = 0.9997382;
  for (int k = 0; k < 100; ++k) {
    const int n = 500 + k;
    EXPECT_EQ(raw[k], float(n));
    const double expected = 0.5 * (1 + pole) * (1 - std::pow(pole, n)) / (1 - pole);
    EXPECT_NEAR(filtered[k], expected, 1e-3 * expected) << n;
  }
  // Without the level record's consent the raw ring serves filtered requests too.
  m_sys.levelPara.useFiltered = 0;
  ASSERT_EQ(m_buffer->CopySamples(0, 0, 0, 100, filtered.data(), 1, 0), 1);
  EXPECT_EQ(filtered, raw);
}

// The four signal channels are DC-blocked side by side; every filtered
// ring must hold the bits of one blocker run alone over its raw samples,
// with the test channels swapped and with one channel.
TEST_F(DelayBufferTest, FilteredRingsHoldTheBitsOfOneBlockerPerChannel) {
  for (const auto& [channels, swap] : {std::pair{2, 1}, std::pair{1, 0}}) {
    SCOPED_TRACE(testing::Message() << channels << " channel(s), swap " << swap);
    m_sys.channels = channels;
    Start(5000, 450);
    CDcBlocker blockers[2][2];
    std::vector<float> expected(kBlock);
    for (int block = 0; block < 12; ++block) {
      ASSERT_EQ(m_buffer->ProcessInput(swap), 1);
      for (int direction = 0; direction < 2; ++direction)
        for (int channel = 0; channel < channels; ++channel) {
          float* raw = nullptr;
          float* filtered = nullptr;
          int write = 0;
          int ring = 0;
          m_buffer->GetBufferInfo(direction, channel, 0, &raw, nullptr, &write, &ring, nullptr);
          m_buffer->GetBufferInfo(direction, channel, 1, &filtered, nullptr, nullptr, nullptr, nullptr);
          const int at = (write - kBlock + ring) % ring;
          const int source = direction == 1 && swap ? 1 - channel : channel;
          ASSERT_EQ(raw[at], RampValue(direction, source, int64_t(block) * kBlock));
          blockers[direction][channel].Process(raw + at, expected.data(), 1.0f, 0, kBlock);
          for (int k = 0; k < kBlock; ++k)
            ASSERT_EQ(std::bit_cast<uint32_t>(filtered[at + k]), std::bit_cast<uint32_t>(expected[k]))
                << "block " << block << " signal " << direction << "/" << channel << " sample " << k;
        }
    }
  }
}

// A reset skips clearing rings that nothing has written since they were
// allocated or last cleared; whatever a block wrote, the next reset clears.
TEST_F(DelayBufferTest, EveryResetLeavesBothRingsOfEverySignalZero) {
  Start(5000, 450);
  auto allZero = [&] {
    for (int direction = 0; direction < 2; ++direction)
      for (int channel = 0; channel < 2; ++channel)
        for (int filtered = 0; filtered < 2; ++filtered) {
          float* ring = nullptr;
          int length = 0;
          m_buffer->GetBufferInfo(direction, channel, filtered, &ring, nullptr, nullptr, &length, nullptr);
          for (int k = 0; k < length; ++k)
            if (ring[k] != 0.0f) return false;
        }
    return true;
  };
  EXPECT_TRUE(allZero());
  for (int block = 0; block < 7; ++block) ASSERT_EQ(m_buffer->ProcessInput(0), 1);
  EXPECT_FALSE(allZero());
  m_buffer->Reset();
  EXPECT_TRUE(allZero());
  m_buffer->Reset();
  EXPECT_TRUE(allZero());
  ASSERT_NE(m_buffer->Go(), 0);
  ASSERT_EQ(m_buffer->ProcessInput(1), 1);
  m_buffer->Reset();
  EXPECT_TRUE(allZero());
}

struct FetchCase {
  int delay;
  int count;
  int padding;
  int code;
};

TEST_F(DelayBufferTest, FetchCodesAtTheirEdges) {
  // 1050 frames: the eleventh block comes up short and is padded.
  Start(1050, 450);
  ASSERT_EQ(Ring(), 500);
  for (int block = 0; block < 10; ++block) ASSERT_EQ(m_buffer->ProcessInput(0), 1);
  EXPECT_EQ(m_buffer->ProcessInput(0), 0);
  EXPECT_THAT(m_trace.Text(), HasSubstr("IO Error or EOF\n"));
  const FetchCase cases[] = {
      {100, 100, 0, 1},                                     // the last complete block
      {400, 100, 0, 1},                                     // the oldest samples held
      {0, 50, 0, 2},                                        // the zeros themselves
      {60, 40, 0, 2},                                       // real samples of the padded block
      {50, 100, 0, 2},                                      // unaligned: only the span's last block is padded
      {99, 2, 0, 2},    {101, 99, 0, 1}, {401, 100, 0, 8},  // one beyond the ring: clamped to the oldest
      {-5, 10, 0, 8},                                       // no samples lie ahead of the newest
      {10, 500, 0, 2},                                      // clamped onto the padded block: 2 wins over 8
      {0, 500, 0, 2},   {0, 501, 1, 4},                     // longer than the ring at any delay
  };
  for (const FetchCase& c : cases) {
    std::vector<float> dest(std::max(c.count, 1), -1.0f);
    EXPECT_EQ(m_buffer->CopySamples(1, 1, c.delay, c.count, dest.data(), 0, c.padding), c.code)
        << "delay " << c.delay << " count " << c.count;
    if (c.code == 8) {  // the clamped span: the oldest samples held
      EXPECT_EQ(dest[0], RampValue(1, 1, 1100 - 500));
    }
    if (c.code == 4) {
      EXPECT_EQ(dest[0], -1.0f);
    }
  }
  EXPECT_THAT(m_trace.Text(), HasSubstr("CDelayBufferImpl::GetSamples(), ERROR: Delay too big(Delay=401, "
                                        "Requested=100, InBuffer=500!\n"));
}

TEST_F(DelayBufferTest, PaddingZerosComeFirstSoTheNewestSampleStaysLast) {
  Start(5000, 450);
  std::vector<float> dest(100, -1.0f);
  // Right after the reset: nothing held.
  EXPECT_EQ(m_buffer->CopySamples(0, 0, 0, 100, dest.data(), 0, 0), 4);
  EXPECT_EQ(dest[0], -1.0f);
  float* piece1 = &dest[0];
  int len1 = -1;
  int len2 = -1;
  EXPECT_EQ(m_buffer->GetSamples(0, 0, 0, 100, &piece1, &len1, nullptr, &len2, 0, 1), 1);
  EXPECT_EQ(len1 + len2, 0);
  EXPECT_EQ(m_buffer->CopySamples(0, 0, 0, 100, dest.data(), 0, 1), 1);
  EXPECT_EQ(dest, std::vector<float>(100, 0.0f));

  for (int block = 0; block < 3; ++block) ASSERT_EQ(m_buffer->ProcessInput(0), 1);
  EXPECT_EQ(m_buffer->CopySamples(0, 1, 250, 100, dest.data(), 0, 1), 1);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(dest[k], k < 50 ? 0.0f : RampValue(0, 1, k - 50)) << k;
  EXPECT_THAT(m_trace.Text(), HasSubstr("WARNING: Delay too big(Delay=250, Requested=100, InBuffer=300, using "
                                        "padding.\n"));
}

TEST_F(DelayBufferTest, RingSizesAndTheOffsetWritePositions) {
  WriteFiles(1000);
  struct Sizing {
    int block, ring, offsetMs, expected;
  } sizings[] = {{100, 100, 0, 200},  {100, 101, 0, 200},   {4, 4, 0, 8},     {100, 450, 0, 500},
                 {100, 450, 30, 500}, {100, 450, -60, 600}, {100, -7, 0, 200}};
  for (const Sizing& s : sizings) {
    m_sys.delayPara.inputOffsetMs = s.offsetMs;
    ASSERT_EQ(m_buffer->Init(&m_sys, s.block, s.ring), 1);
    EXPECT_EQ(Ring(), s.expected) << s.block << "/" << s.ring << "/" << s.offsetMs;
    EXPECT_EQ(m_buffer->GetFreeSpace(), s.expected - s.block);
  }
  for (int offsetMs : {30, -30}) {
    m_sys.delayPara.inputOffsetMs = offsetMs;
    ASSERT_EQ(m_buffer->Init(&m_sys, kBlock, 450), 1);
    ASSERT_NE(m_buffer->Go(), 0);
    ASSERT_EQ(m_buffer->ProcessInput(0), 1);
    for (int direction = 0; direction < 2; ++direction) {
      int write = -1;
      int effective = -1;
      m_buffer->GetBufferInfo(direction, 0, 0, nullptr, nullptr, &write, nullptr, &effective);
      EXPECT_EQ(write, 100);
      const bool delayed = (offsetMs > 0) == (direction == 0);
      EXPECT_EQ(effective, delayed ? 70 : 100) << offsetMs << " signal " << direction;
    }
  }
  EXPECT_EQ(m_buffer->OutputsIdle(m_sys.output, 0), 1);
  WAVEPARA format;
  m_buffer->GetWaveFormat(1, 0, &format);
  EXPECT_EQ(format.sampleRate, kRate);
}

TEST_F(DelayBufferTest, WaveBuffersHoldABlockOfTheWidestInputAndAtLeastOneMebibyte) {
  SpyLog log;
  for (SpyScript& script : log.script) script.sampleRate = kRate;
  ScopedSpyWaves spies(log);
  struct BufferCase {
    int block, bits0, bits1, mode1;
    int expected;
  } cases[] = {
      {4096, 16, 16, INPUT_MODE_FILE, 1048576},
      {300000, 16, 24, INPUT_MODE_FILE, 1800000},
      {300000, 16, 32, INPUT_MODE_SYNCHRONOUS, 1200000},  // a synchronous input does not count
  };
  for (const BufferCase& c : cases) {
    m_sys.inputPara[0].wave.bitsPerSample = c.bits0;
    m_sys.inputPara[1].wave.bitsPerSample = c.bits1;
    m_sys.inputPara[1].mode = c.mode1;
    m_sys.inputPara[1].syncOwnDevice = 0;
    ASSERT_EQ(m_buffer->Init(&m_sys, c.block, 0), 1);
    log.calls.clear();
    ASSERT_NE(m_buffer->Go(), 0);
    EXPECT_EQ(log.Count("0:SetupBuffer(" + std::to_string(c.expected) + ")"), 1) << c.block;
  }
  m_buffer->Reset();  // the spies go before their log
}

TEST_F(DelayBufferTest, ChannelSwapNeedsTwoChannels) {
  Start(1000, 450);
  m_sys.channels = 1;
  ASSERT_EQ(m_buffer->ProcessInput(1), 1);
  float value = 0;
  ASSERT_EQ(m_buffer->CopySamples(1, 0, 0, 1, &value, 0, 0), 1);
  EXPECT_EQ(value, RampValue(1, 0, 99));
}

TEST_F(DelayBufferTest, RealTimeVirtualDevicesFeedTheRings) {
  for (int input = 0; input < 2; ++input) {
    m_sys.inputPara[input].mode = INPUT_MODE_SOUND_DEVICE;
    m_sys.inputPara[input].wave = WAVEPARA{1, 8000, 16, 2, 0, 0};
  }
  auto ramp = [](int direction) {
    return [direction](float* out, int64_t frames, int64_t position) {
      for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c) out[2 * i + c] = RampValue(direction, c, position + i);
      return frames;
    };
  };
  VirtualDeviceSpec reference{8000, 2, true, {}, ramp(0)};
  VirtualDeviceSpec test{8000, 2, true, {}, ramp(1)};
  ScopedVirtualDevice device0(0, reference);
  ScopedVirtualDevice device1(1, test);
  ASSERT_EQ(m_buffer->Init(&m_sys, 400, 2000), 1);
  ASSERT_NE(m_buffer->Go(), 0) << m_trace.Text();
  for (int block = 0; block < 4; ++block) ASSERT_EQ(m_buffer->ProcessInput(0), 1);
  std::vector<float> dest(1600);
  for (int direction = 0; direction < 2; ++direction) {
    ASSERT_EQ(m_buffer->CopySamples(direction, 1, 0, 1600, dest.data(), 0, 0), 1);
    for (int k = 0; k < 1600; ++k) ASSERT_EQ(dest[k], RampValue(direction, 1, k)) << direction << " " << k;
  }
  EXPECT_GE(m_buffer->GetUsedInputs()[0], 0);
  EXPECT_LE(m_buffer->GetUsedInputs()[0], 100);
  m_buffer->Reset();  // closes the devices
}

TEST_F(DelayBufferTest, FileProblemsAreTracedAndFailTheStart) {
  WriteFiles(1000);
  m_sys.inputPara[1].wave.sampleRate = 2000;
  ASSERT_EQ(m_buffer->Init(&m_sys, kBlock, 450), 1);
  EXPECT_EQ(m_buffer->Go(), 0);
  EXPECT_THAT(m_trace.Text(), HasSubstr("test.wav' has 1000 Hz and 2 channel(s), its record says 2000 Hz and 2 "
                                        "channel(s)"));
  m_sys.inputPara[1].wave.sampleRate = 1000;
  m_sys.inputPara[0].fileName = m_dir.File("absent.wav");
  ASSERT_EQ(m_buffer->Init(&m_sys, kBlock, 450), 1);
  EXPECT_EQ(m_buffer->Go(), 0);
  EXPECT_THAT(m_trace.Text(), HasSubstr("CInputMuxImpl::Open(), ERROR: input 0: cannot open '"));
  EXPECT_THAT(m_trace.Text(), HasSubstr("absent.wav"));
  EXPECT_EQ(m_buffer->ProcessInput(0), 0);  // nothing open: padded blocks, never a crash
}

using DelayBufferDeathTest = DelayBufferTest;

// Rings that do not fit in the address space: the box is shown and Init
// refuses with a Memory reason instead of ending the process. In a child,
// whose address space can be cut.
TEST_F(DelayBufferDeathTest, OutOfMemoryShowsTheBoxAndRefusesInit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs the address space this test takes away";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto initWithinTwoGibibytes = [this] {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = rlim_t(2) << 30;
    setrlimit(RLIMIT_AS, &limit);
    RefusalReason reason;
    const RefusalScope scope(&reason);
    const int result = m_buffer->Init(&m_sys, 1000, 400000000);  // eight rings of 1.6 GB
    std::exit(result == 0 && reason.code == RefusalCode::Memory ? 0 : 3);
  };
  EXPECT_EXIT(initWithinTwoGibibytes(), ::testing::ExitedWithCode(0),
              "ERROR in CDelayBufferImpl, AllocateBuffers\\(\\):\nOut of memory");
#endif
}

// A refused allocation leaves the buffer without rings, refusing to read
// or fetch; the next Init serves as on a fresh buffer.
TEST_F(DelayBufferTest, ARefusedAllocationLeavesNoRingsAndTheNextInitServes) {
  WriteFiles(1000);
  RefusalReason reason;
  {
    const RefusalScope scope(&reason);
    FailNthAllocation failure(1);
    EXPECT_EQ(m_buffer->Init(&m_sys, kBlock, 450), 0);
    EXPECT_TRUE(failure.Reached());
  }
  EXPECT_EQ(reason.code, RefusalCode::Memory) << reason.Text();
  EXPECT_THAT(reason.why, HasSubstr("the delay buffer's rings"));
  float none = 0.0f;
  float* ring = &none;
  m_buffer->GetBufferInfo(0, 0, 0, &ring, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ring, nullptr);
  float out[kBlock] = {};
  EXPECT_EQ(m_buffer->CopySamples(0, 0, 0, kBlock, out, 0, 1), FETCH_NOT_ENOUGH_DATA);

  ASSERT_EQ(m_buffer->Init(&m_sys, kBlock, 450), 1);
  ASSERT_NE(m_buffer->Go(), 0);
  for (int k = 0; k < 5; ++k) ASSERT_EQ(m_buffer->ProcessInput(0), 1);
  ASSERT_EQ(m_buffer->CopySamples(1, 1, 0, kBlock, out, 0, 0), FETCH_COMPLETE);
  for (int n = 0; n < kBlock; ++n) EXPECT_EQ(out[n], RampValue(1, 1, 4 * kBlock + n)) << n;
}

}  // namespace
