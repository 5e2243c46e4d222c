// CMsystem::ProcessFrame against a scripted delay compensation: header,
// repeat while not enough data, file end, sample position, trigger events,
// average reset and the framework's monitor entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "fake_stages.h"
#include "platform/debug_output.h"

namespace {

class FrameAlgorithm : public MinimalAlgorithm {
 public:
  void SetSamplePosition(uint32_t position) { m_samplePosition = position; }
  void ClearFrameFlag() { m_frameFlag = 0; }
};

class ProcessFrameTest : public ::testing::Test, public WithFakeStages {
 protected:
  ProcessFrameTest() : frame(std::make_unique<FRAMEDATA>()) {
    SetTraceMask(0);
    ClearFrame();
  }

  void ClearFrame() { std::memset(frame.get(), 0, sizeof(FRAMEDATA)); }

  // Init and Go with a usable record; tracking hands the output length on.
  void Start(uint32_t frameLength, uint32_t outputLength = 0, int trackVariableDelay = 0) {
    MakeUsable(sys);
    sys.inputPara[0].wave.sampleRate = 44100;
    sys.inputPara[1].wave.sampleRate = 8000;
    sys.delayPara.trackVariableDelay = trackVariableDelay;
    CAlgorithmPara alg{outputLength, frameLength};
    ASSERT_NE(system.Init(sys, alg), 0);
    ASSERT_EQ(system.Go(), 1);
  }

  int Frame() { return system.ProcessFrame(frame.get(), nullptr); }

  FrameAlgorithm system;
  SYSPARA sys;
  std::unique_ptr<FRAMEDATA> frame;
};

TEST_F(ProcessFrameTest, WritesTheHeaderAndHandsTheFrameToTheCompensation) {
  Start(480);
  frame->header.refEnergy = 5.0;
  frame->header.endOfMeasurement = 1;
  EXPECT_EQ(Frame(), 1);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) EXPECT_EQ(frame->header.sampleRate[d][c], 44100);
  EXPECT_EQ(frame->header.frameNumber, 0);
  EXPECT_EQ(frame->header.refEnergy, 0.0);
  EXPECT_EQ(frame->header.endOfMeasurement, 0);
  EXPECT_EQ(frame->header.samplePosition, 480u);
  EXPECT_EQ(log.lastDesc, &frame->desc);
  EXPECT_EQ(log.lastMonitor, &frame->monitor);
  EXPECT_EQ(log.lastMode, 1);
  EXPECT_EQ(log.lastTable[1][1], frame->samples[1][1]);  // no table: the frame's own buffers
  EXPECT_EQ(log.lastTable[0][1], frame->samples[0][1]);

  float buffers[2][2][4];
  float* table[2][2] = {{buffers[0][0], buffers[0][1]}, {buffers[1][0], buffers[1][1]}};
  EXPECT_EQ(system.ProcessFrame(frame.get(), &table), 1);
  EXPECT_EQ(log.lastTable[1][0], buffers[1][0]);
  EXPECT_EQ(frame->header.frameNumber, 1);
  EXPECT_EQ(frame->header.samplePosition, 960u);

  // Go starts the count and the position again, with the inputs.
  ASSERT_EQ(system.Go(), 1);
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(frame->header.frameNumber, 0);
  EXPECT_EQ(frame->header.samplePosition, 480u);
}

TEST_F(ProcessFrameTest, NullFrameEndsWithoutTouchingTheFrontEnd) {
  Start(480);
  EXPECT_EQ(system.ProcessFrame(nullptr, nullptr), 0);
  EXPECT_EQ(log.frameCalls, 0);
}

// Stands in for the front end's writes: the delivered length plus its spare
// into every buffer of the table, and the count of valid samples.
void WriteDeliveredSamples(StageLog& log) {
  log.onFrame = [&log](FRAMEDATA*, FRAMEBUFFERDESC* desc, float*(*table)[2][2], MONITORDATA*) {
    const uint32_t written = log.initOutputLength + FRAME_FRONT_END_SPARE;
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < written; ++i) (*table)[d][c][i] = static_cast<float>(1 + 2 * d + c);
    desc->count = log.initOutputLength;
  };
}

TEST_F(ProcessFrameTest, LongFramesDeliveredWholeNeedTheHostsBuffers) {
  WriteDeliveredSamples(log);
  Start(8192, 256);  // no tracking: the whole frame is delivered
  ASSERT_EQ(log.initOutputLength, 8192u);

  const size_t perBuffer = 8192 + FRAME_FRONT_END_SPARE;
  std::vector<float> buffers(4 * perBuffer, 0.0f);
  float* table[2][2] = {{&buffers[0], &buffers[perBuffer]}, {&buffers[2 * perBuffer], &buffers[3 * perBuffer]}};
  EXPECT_EQ(system.ProcessFrame(frame.get(), &table), 1);
  EXPECT_EQ(log.frameCalls, 1);
  EXPECT_EQ(frame->header.longFrame, 1);
  EXPECT_EQ(frame->header.samplePosition, 8192u);
  EXPECT_EQ(frame->desc.count, 8192u);
  for (int b = 0; b < 4; ++b)
    EXPECT_EQ(std::count(buffers.begin() + b * perBuffer, buffers.begin() + (b + 1) * perBuffer, 1.0f + b),
              static_cast<std::ptrdiff_t>(perBuffer));

  // Without a table the frame's own buffers would be overrun: refused,
  // nothing written, traced.
  SetTraceMask(TRACE_ORDINARY);
  DebugOutputCapture capture;
  const auto before = std::make_unique<FRAMEDATA>(*frame);
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(log.frameCalls, 1);
  EXPECT_EQ(std::memcmp(before.get(), frame.get(), sizeof(FRAMEDATA)), 0);
  EXPECT_NE(capture.Text().find("CMsystem::ProcessFrame(), ERROR: 8192 samples per frame need the host's sample "
                                "buffers (a frame holds 2048)\n"),
            std::string::npos)
      << capture.Text();
}

TEST_F(ProcessFrameTest, LongFramesWithAShortOutputUseTheFramesOwnBuffers) {
  WriteDeliveredSamples(log);
  Start(8192, FRAME_MAX_OUTPUT_LENGTH, 1);  // tracking delivers the output length
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(frame->header.longFrame, 1);
  EXPECT_EQ(frame->desc.count, FRAME_MAX_OUTPUT_LENGTH);
  EXPECT_EQ(frame->samples[1][1][FRAME_SAMPLES_PER_CHANNEL - 1], 4.0f);  // the spare reaches the buffer's end
}

TEST_F(ProcessFrameTest, ResultCodesOfTheCompensation) {
  struct Case {
    const char* what;
    std::deque<int> codes;
    int calls, result, endOfMeasurement;
  } cases[] = {
      {"complete", {1}, 1, 1, 0},
      {"clamped counts as delivered", {8}, 1, 1, 0},
      {"repeats while not enough data", {4, 4, 1}, 3, 1, 0},
      {"repeat ends on file end", {4, 2}, 2, 1, 0},
      {"unknown code ends the measurement", {3}, 1, 0, 1},
      {"zero ends the measurement", {0}, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start(480);
    ClearFrame();
    log.frameCalls = 0;
    log.frameCodes = c.codes;
    EXPECT_EQ(Frame(), c.result);
    EXPECT_EQ(log.frameCalls, c.calls);
    EXPECT_EQ(frame->header.endOfMeasurement, c.endOfMeasurement);
    // Every call read a frame of the inputs.
    EXPECT_EQ(frame->header.samplePosition, 480u * uint32_t(c.calls));
  }
}

TEST_F(ProcessFrameTest, FileEndModeOneKeepsTheFirstEndFrame) {
  Start(480);
  log.frameCodes = {1, 2};
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(frame->header.endOfMeasurement, 0);
  EXPECT_EQ(log.frameCalls, 2);

  // From now on the front end is not asked; the frame is still written.
  frame->monitor.count = 0;
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(frame->header.endOfMeasurement, 1);
  EXPECT_EQ(frame->header.frameNumber, 2);
  EXPECT_EQ(frame->header.samplePosition, 1440u);
  EXPECT_EQ(frame->monitor.count, 2);
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(log.frameCalls, 2);

  // Go clears the end.
  ASSERT_EQ(system.Go(), 1);
  EXPECT_EQ(Frame(), 1);
  EXPECT_EQ(log.frameCalls, 3);
}

TEST_F(ProcessFrameTest, OtherFileEndModesEndWithTheFirstEndFrame) {
  Start(480);
  system.SetFileEndHandling(0);
  log.frameCodes = {2};
  EXPECT_EQ(Frame(), 0);
  EXPECT_EQ(frame->header.endOfMeasurement, 1);
}

TEST_F(ProcessFrameTest, LongFrameFlagAboveFourThousandNinetySixSamples) {
  Start(4096, 2048, 1);
  frame->header.longFrame = 0;
  Frame();
  EXPECT_EQ(frame->header.longFrame, 0);
  EXPECT_EQ(log.initFrameLength, 4096u);

  Start(4097, 2048, 1);
  Frame();
  EXPECT_EQ(frame->header.longFrame, 1);
}

TEST_F(ProcessFrameTest, SamplePositionWrapsAtTwoToThe32MinusOne) {
  struct Case {
    uint32_t start, frameLength, expected;
  } cases[] = {
      {4294967040u, 255, 0},
      {4294967040u, 254, 4294967294u},
      {4294967294u, 2048, 2047},  // the sum does not wrap in 32 bits first
      {4294967295u, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frameLength);
    Start(c.frameLength);
    system.SetSamplePosition(c.start);
    Frame();
    EXPECT_EQ(frame->header.samplePosition, c.expected);
    EXPECT_EQ(system.SamplePosition(), c.expected);
  }
}

TEST_F(ProcessFrameTest, AverageResetMarksExactlyTheNextFrame) {
  Start(480);
  EXPECT_EQ(system.ResetAverage(), 1);
  Frame();
  EXPECT_EQ(frame->header.resetAverage, 1);
  Frame();
  EXPECT_EQ(frame->header.resetAverage, 0);
  EXPECT_EQ(log.resetAverageSeen, (std::vector<int>{1, 0}));
}

TEST_F(ProcessFrameTest, ClearedFrameFlagAffectsOneFrame) {
  Start(480);
  system.ClearFrameFlag();
  Frame();
  EXPECT_EQ(log.lastMode, 0);
  Frame();
  EXPECT_EQ(log.lastMode, 1);
}

TEST_F(ProcessFrameTest, MonitorEntriesFollowTheCompensationsOwn) {
  Start(480);
  log.usedInputs[0] = 37;
  log.usedInputs[1] = 81;
  log.onFrame = [](FRAMEDATA*, FRAMEBUFFERDESC*, float*(*)[2][2], MONITORDATA* monitor) {
    monitor->Add(-12.0f, -32767.0f, 32767.0f, "UsedDelay");
  };
  Frame();
  const MONITORDATA& monitor = frame->monitor;
  ASSERT_EQ(monitor.count, 3);
  EXPECT_STREQ(monitor.name[0], "UsedDelay");
  EXPECT_STREQ(monitor.name[1], "UsedInp0");
  EXPECT_EQ(monitor.value[1], 37.0f);
  EXPECT_EQ(monitor.minimum[1], 0.0f);
  EXPECT_EQ(monitor.maximum[1], 100.0f);
  EXPECT_STREQ(monitor.name[2], "UsedInp1");
  EXPECT_EQ(monitor.value[2], 81.0f);

  log.onFrame = nullptr;
  frame->monitor.count = 9;
  Frame();
  EXPECT_EQ(monitor.count, 9);
  EXPECT_STREQ(monitor.name[9], "UsedInp1");
  EXPECT_EQ(monitor.value[9], 81.0f);
}

TEST_F(ProcessFrameTest, TimeTriggerEndsTheMeasurementAfterTheSamples) {
  MakeUsable(sys);
  sys.inputPara[0].wave.sampleRate = 48000;
  CTimeEvent& event = static_cast<CTimeEvent&>(*sys.triggers.head);
  event.startMs = 0.0f;
  event.endMs = 10.0f;  // 480 samples
  event.state = TRIGGER_ARMED;
  CAlgorithmPara alg{480, 480};
  ASSERT_EQ(system.Init(sys, alg), 1);
  ASSERT_EQ(system.Go(), 1);
  // The header's test rate comes from input 0 too (the fake writes none).
  EXPECT_EQ(Frame(), 1);  // started at 480 >= 0
  EXPECT_EQ(frame->header.delayValid, 1);
  EXPECT_EQ(Frame(), 1);  // running
  EXPECT_EQ(Frame(), 0);  // 1440 >= 480: ended although the front end delivered
  EXPECT_EQ(frame->header.endOfMeasurement, 1);
  EXPECT_EQ(system.SysPara().triggers.head->state, TRIGGER_ENDED);
  EXPECT_EQ(log.frameCalls, 3);
}

// Counts its calls; runs at the moments of its mask.
class CountingEvent : public CTriggerEvent {
 public:
  int checks = 0, actions = 0;
  int CheckNewEvent(void*) override { return ++checks; }
  int StandardAction(void*) override { return ++actions; }
};

TEST_F(ProcessFrameTest, CheckTriggerRunsOnlyEventsOfTheMoment) {
  SYSPARA record;
  auto* before = new CountingEvent;
  before->mask = TRIGGER_BEFORE_SAMPLES;
  auto* after = new CountingEvent;
  after->mask = TRIGGER_AFTER_SAMPLES;
  before->next = after;
  delete record.triggers.head;
  record.triggers.head = before;

  EXPECT_EQ(system.CheckTrigger(&record, TRIGGER_BEFORE_SAMPLES, frame.get()), 0);
  EXPECT_EQ(before->checks, 1);
  EXPECT_EQ(before->actions, 1);
  EXPECT_EQ(after->checks, 0);
  EXPECT_EQ(system.CheckTrigger(&record, 3, frame.get()), 0);
  EXPECT_EQ(before->checks, 2);
  EXPECT_EQ(after->actions, 1);

  delete record.triggers.head;
  record.triggers.head = nullptr;
  EXPECT_EQ(system.CheckTrigger(&record, 3, frame.get()), 0);
  EXPECT_EQ(system.CheckTrigger(nullptr, 3, frame.get()), 0);
}

}  // namespace
