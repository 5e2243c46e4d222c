// The input multiplexer over spy wave objects: the order in which inputs
// open, start and close, the polling read, one release per block with the
// used percentages, synchronous inputs, and the records it refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/SafeDestroy.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/stages/InputMux.h"
#include "frontend/spy_wave_io.h"
#include "platform/debug_output.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

constexpr int kBufferBytes = 1 << 20;

class InputMuxTest : public ::testing::Test {
 protected:
  InputMuxTest() : m_spies(m_log) {
    SetTraceMask(TRACE_ORDINARY);
    m_sys.channels = 2;
    m_sys.settings[0] = 2;  // sound devices
    for (int input = 0; input < 2; ++input) {
      INPUTPARAEXT& record = m_sys.inputPara[input];
      record.mode = INPUT_MODE_FILE;
      record.fileName = input == 0 ? "reference.wav" : "test.wav";
      record.fileOption = 1;
      record.wave = WAVEPARA{1, 48000, 16, 2, 0, 0};
      record.deviceId = input;
      for (int channel = 0; channel < 2; ++channel) m_sys.routingTable[input][channel] = INPUTMUXPARA{input, channel};
    }
    m_mux = CInputMux::Create();
    m_mux->Init(&m_sys);
  }
  ~InputMuxTest() override {
    SafeDestroy(m_mux);
    SetTraceMask(TRACE_MASK_BEFORE_LOAD);
  }

  int Go() {
    const int result = m_mux->Go(kBufferBytes);
    m_opening = m_log.calls;
    m_log.calls.clear();
    return result;
  }

  SpyLog m_log;
  ScopedSpyWaves m_spies;
  DebugOutputCapture m_trace;
  SYSPARA m_sys;
  CInputMux* m_mux = nullptr;
  std::vector<std::string> m_opening;
};

TEST_F(InputMuxTest, FilesOpenBeforeDevicesAndEverythingClosesInInputOrder) {
  m_sys.inputPara[0].mode = INPUT_MODE_SOUND_DEVICE;
  m_sys.inputPara[0].deviceId = 1;
  ASSERT_NE(Go(), 0) << m_trace.Text();
  EXPECT_THAT(m_opening, ElementsAre("1:SetupBuffer(1048576)", "1:OpenInputFile(test.wav,1)", "0:SetupBuffer(1048576)",
                                     "0:PresetWaveStruct(48000,16,2)", "0:StartInput(1)", "1:WaitForData(-1)",
                                     "0:WaitForData(-1)"));
  EXPECT_THAT(m_trace.Text(), HasSubstr("CInputMuxImpl::Go()\n"));
  m_mux->Stop();
  EXPECT_THAT(m_log.calls, ElementsAre("0:Close", "0:delete", "1:Close", "1:delete"));

  // A second Go starts from a clean slate.
  ASSERT_NE(Go(), 0);
  EXPECT_EQ(m_log.created, 4);
}

TEST_F(InputMuxTest, NonFiniteSamplesAreCountedPerInputAndSaidWhenItCloses) {
  SetTraceMask(0x02);  // error lines only
  m_log.script[1].nonFinite = 3;
  ASSERT_NE(Go(), 0);
  EXPECT_EQ(m_mux->NonFiniteSamples(0), 0);
  EXPECT_EQ(m_mux->NonFiniteSamples(1), 3);
  EXPECT_EQ(m_mux->NonFiniteSamples(2), 0);
  EXPECT_EQ(m_mux->NonFiniteSamples(-1), 0);
  m_trace.Clear();
  m_mux->Stop();
  EXPECT_EQ(m_mux->NonFiniteSamples(1), 3) << "the count outlives the input";
  EXPECT_THAT(m_trace.Text(),
              HasSubstr("CInputMuxImpl::Close(), WARNING: input 1 delivered 3 non-finite samples as 0\n"));
  EXPECT_EQ(m_trace.Lines(), 1) << m_trace.Text();

  // Each Go counts afresh.
  m_log.script[1].nonFinite = 0;
  ASSERT_NE(Go(), 0);
  EXPECT_EQ(m_mux->NonFiniteSamples(1), 0);
}

TEST_F(InputMuxTest, APollThatFindsNothingWaitsAndTriesAgain) {
  m_log.script[0].emptyPolls = 3;
  m_log.script[0].waitResult = WAVEIO_WAIT_TIMEOUT;
  ASSERT_NE(Go(), 0);
  float block[64];
  int got = 0;
  EXPECT_EQ(m_mux->GetSamples(64, 0, 1, block, &got), 4);
  EXPECT_EQ(got, 64);
  EXPECT_EQ(block[63], 1063.0f);
  EXPECT_THAT(m_log.calls, ElementsAre("0:Poll(1,64)", "0:WaitForData(200)", "0:Poll(1,64)", "0:WaitForData(200)",
                                       "0:Poll(1,64)", "0:WaitForData(200)", "0:Poll(1,64)"));
  EXPECT_THAT(m_trace.Text(), HasSubstr("return from wait for data: WaitRc=6, Cnt=2"));
}

TEST_F(InputMuxTest, AnEndedInputStopsPollingAndAShortInputReadsBlockingOnce) {
  m_log.script[0].emptyPolls = 5;
  m_log.script[0].waitResult = WAVEIO_WAIT_ENDED;
  m_log.script[1].frames = 40;
  ASSERT_NE(Go(), 0);
  float block[64];
  int got = -1;
  EXPECT_EQ(m_mux->GetSamples(64, 0, 0, block, &got), 4);
  EXPECT_THAT(m_log.calls, ElementsAre("0:Poll(0,64)", "0:WaitForData(200)", "0:Read(0,64)"));
  m_log.calls.clear();
  EXPECT_EQ(m_mux->GetSamples(64, 1, 0, block, &got), 2);
  EXPECT_EQ(got, 40);
  EXPECT_THAT(m_log.calls, ElementsAre("1:Poll(0,64)", "1:Read(0,64)"));
}

TEST_F(InputMuxTest, OneReleasePerBlockWithTheUsedPercentages) {
  // Both test channels from input 1: they read the same stretch.
  m_log.script[0].freeSpace = kBufferBytes;
  m_log.script[0].freeSpace2 = 0;
  m_log.script[1].freeSpace = kBufferBytes / 4;
  m_log.script[1].freeSpace2 = kBufferBytes / 3;
  ASSERT_NE(Go(), 0);
  float left[32];
  float right[32];
  int got = 0;
  m_mux->GetSamples(32, 1, 0, left, &got);
  m_mux->GetSamples(32, 1, 1, right, &got);
  EXPECT_EQ(left[5], 5.0f);
  EXPECT_EQ(right[5], 1005.0f);
  m_mux->GetSamples(32, 0, 0, left, &got);
  m_mux->ConsumeAll();
  m_mux->ConsumeAll();  // nothing read since: nothing released
  m_mux->ConsumeSamples(1, 0);
  EXPECT_EQ(m_log.Count("0:ReleaseSamples(32)"), 1);
  EXPECT_EQ(m_log.Count("1:ReleaseSamples(32)"), 1);
  EXPECT_EQ(m_mux->GetUsedBufferPercent()[0], 0);
  EXPECT_EQ(m_mux->GetUsedBufferPercent2()[0], 100);
  EXPECT_EQ(m_mux->GetUsedBufferPercent()[1], 75);
  EXPECT_EQ(m_mux->GetUsedBufferPercent2()[1], 67);  // 100 - trunc(33.3)
  m_mux->GetSamples(32, 1, 0, left, &got);
  EXPECT_EQ(left[0], 32.0f);
}

TEST_F(InputMuxTest, ASynchronousInputReportsEverySampleAndTouchesNothing) {
  m_sys.inputPara[1].mode = INPUT_MODE_SYNCHRONOUS;
  ASSERT_NE(Go(), 0);
  EXPECT_EQ(m_log.Count("1:SetupBuffer(1048576)"), 0);
  float block[16] = {-7.0f};
  int got = 0;
  EXPECT_EQ(m_mux->GetSamples(16, 1, 1, block, &got), 4);
  EXPECT_EQ(got, 16);
  EXPECT_EQ(block[0], -7.0f);
  EXPECT_EQ(m_mux->GetSamplesPhys(16, block, 1, &got), 4);
  m_mux->ConsumeAll();
  EXPECT_EQ(m_log.Count("1:ReleaseSamples(16)"), 0);
  m_mux->Stop();
  EXPECT_EQ(m_log.Count("1:Close"), 0);  // it had no device of its own
}

TEST_F(InputMuxTest, RawReadsServeAPhysicalInputAndSkipDiscards) {
  ASSERT_NE(Go(), 0);
  float frames[8];
  int got = 0;
  EXPECT_EQ(m_mux->GetSamplesPhys(4, frames, 1, &got), 4);
  EXPECT_EQ(frames[7], 1003.0f);
  EXPECT_EQ(m_mux->SkipSamples(0, 4), 4);
  EXPECT_EQ(m_mux->GetSamplesPhys(4, frames, 2, &got), 2);  // no input 2
}

struct RefusedRecord {
  const char* name;
  void (*edit)(SYSPARA&);
  const char* trace;
};

class InputMuxRefusal : public InputMuxTest, public ::testing::WithParamInterface<RefusedRecord> {};

TEST_P(InputMuxRefusal, FailsTheOpenWithATraceLine) {
  GetParam().edit(m_sys);
  EXPECT_EQ(Go(), 0);
  EXPECT_THAT(m_trace.Text(), HasSubstr(GetParam().trace));
  m_mux->Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Records, InputMuxRefusal,
    ::testing::Values(RefusedRecord{"Telephone", [](SYSPARA& s) { s.inputPara[1].mode = INPUT_MODE_TELEPHONE; },
                                    "input 1 is a telephone input, which is not supported"},
                      RefusedRecord{"IllegalMode", [](SYSPARA& s) { s.inputPara[0].mode = 4; },
                                    "CInputMux::Open(), illegal input mode!\n"},
                      // The device id names the device, whatever input it serves.
                      RefusedRecord{"DeviceIdBeyondTheCount",
                                    [](SYSPARA& s) {
                                      s.settings[0] = 1;
                                      s.inputPara[0].mode = INPUT_MODE_SOUND_DEVICE;
                                      s.inputPara[0].deviceId = 1;
                                    },
                                    "CInputMuxImpl::Open(), ERROR: DevceID out of range\n"},
                      RefusedRecord{"SyncDeviceIdBeyondTheCount",
                                    [](SYSPARA& s) {
                                      s.inputPara[1].mode = INPUT_MODE_SYNCHRONOUS;
                                      s.inputPara[1].syncOwnDevice = 1;
                                      s.inputPara[1].deviceId = -1;
                                    },
                                    "DevceID out of range (synch input)"},
                      RefusedRecord{"RoutedToNoInput", [](SYSPARA& s) { s.routingTable[1][1].input = 2; },
                                    "signal 1 channel 1 routed to input 2 channel 1"},
                      RefusedRecord{"RoutedBeyondTheChannels", [](SYSPARA& s) { s.routingTable[0][1].channel = 2; },
                                    "routed to channel 2 of input 0, which has 2"},
                      RefusedRecord{"ChannelCount", [](SYSPARA& s) { s.channels = 3; },
                                    "channel count 3 outside 1..2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputMuxTest, ASoundDeviceOnInputOneNeedsOnlyItsOwnIdBelowTheCount) {
  m_sys.settings[0] = 1;
  m_sys.inputPara[1].mode = INPUT_MODE_SOUND_DEVICE;
  m_sys.inputPara[1].deviceId = 0;
  EXPECT_NE(Go(), 0) << m_trace.Text();
  EXPECT_THAT(m_opening, ::testing::Contains("1:StartInput(0)"));
}

TEST_F(InputMuxTest, AFailedOpenLeavesTheOpenInputsForTheNextStop) {
  m_log.script[1].openResult = 0;
  EXPECT_EQ(Go(), 0);
  EXPECT_EQ(m_log.Count("0:WaitForData(-1)"), 0);
  m_sys.inputPara[1].mode = 4;  // closing an input of an unknown mode is traced
  m_mux->Free();
  EXPECT_THAT(m_log.calls, ElementsAre("0:Close", "0:delete", "1:delete"));
  EXPECT_THAT(m_trace.Text(), HasSubstr("CInputMux::Close(), illegal input mode!\n"));
  float block[4];
  int got = 7;
  EXPECT_EQ(m_mux->GetSamples(4, 0, 0, block, &got), 2);  // no record any more
  EXPECT_EQ(got, 0);
}

}  // namespace
