// A whole measurement as a host runs one, with the level-meter algorithm
// module against scripted front-end stages: construct, CreateSysPara, edit,
// Init, Go, ProcessFrame until 0, Stop, destroy.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "Vantrel/DebugTrace.h"
#include "fake_stages.h"
#include "level_meter_algorithm.h"

namespace {

constexpr int kRate = 48000;
constexpr uint32_t kFrameLength = 480;  // 10 ms, ten periods of 1 kHz
constexpr float kReferenceAmplitude = 8000.0f;
constexpr float kTestAmplitude = 2000.0f;

// The front end as a file pair of `frames` frames would deliver it: a
// 1 kHz tone of each amplitude, then the end of the input.
void ScriptFileInputs(StageLog& log, int frames) {
  log.frameCodes.assign(static_cast<size_t>(frames), FETCH_COMPLETE);
  log.frameCodes.push_front(FETCH_NOT_ENOUGH_DATA);  // still filling at first
  log.defaultFrameCode = FETCH_PADDED;
  log.onFrame = [](FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float*(*samples)[2][2], MONITORDATA* monitor) {
    const float amplitude[2] = {kReferenceAmplitude, kTestAmplitude};
    for (int d = 0; d < 2; ++d)
      for (uint32_t i = 0; i < kFrameLength; ++i)
        (*samples)[d][0][i] = amplitude[d] * static_cast<float>(std::sin(2.0 * std::numbers::pi * 1000.0 * i / kRate));
    *desc = FRAMEBUFFERDESC{kFrameLength, 0, 0};
    frame->header.channels = 1;
    frame->header.delayValid = 1;
    monitor->Add(0.0f, -32767.0f, 32767.0f, "UsedDelay");
  };
}

struct RunResult {
  int frames = 0;  // ProcessFrame calls that returned 1
  uint32_t measuredFrames = 0;
  float referenceDb = 0.0f, testDb = 0.0f;
};

// The host's side of a measurement.
RunResult RunMeasurement(const std::function<void(SYSPARA&)>& edit) {
  RunResult run;
  CMsystem* system = new CLevelMeter;
  auto* sys = static_cast<SYSPARA*>(system->CreateSysPara());
  EXPECT_NE(sys, nullptr);
  sys->inputPara[0].fileName = "reference.wav";
  sys->inputPara[1].fileName = "test.wav";
  for (INPUTPARAEXT& input : sys->inputPara) input.wave = WAVEPARA{1, kRate, 16, 1, 0, 0};
  edit(*sys);
  CAlgorithmPara alg{kFrameLength, kFrameLength};
  EXPECT_EQ(system->Init(*sys, alg), 1);
  sys->Destroy();
  EXPECT_EQ(system->GetWorkBufferSize(), kFrameLength * 4);
  EXPECT_EQ(system->Go(), 1);

  auto frame = std::make_unique<FRAMEDATA>();
  for (int guard = 0; guard < 1000; ++guard) {
    frame->monitor.count = 0;  // the host clears its per-frame fields
    if (system->ProcessFrame(frame.get(), nullptr) == 0) break;
    ++run.frames;
  }
  EXPECT_EQ(system->Stop(), 1);
  system->Query(QUERY_MEASURED_FRAMES, run.measuredFrames);
  system->Query(QUERY_REFERENCE_LEVEL_DB, run.referenceDb);
  system->Query(QUERY_TEST_LEVEL_DB, run.testDb);
  CString* name = nullptr;
  EXPECT_EQ(system->Query(QUERY_ALGORITHM_NAME, &name), 1);
  EXPECT_STREQ(name->GetString(), "Level meter");
  system->Destroy();
  return run;
}

// Mean power of a sine over whole periods: A^2 / 2.
double SineLevelDb(double amplitude) { return 10.0 * std::log10(amplitude * amplitude / 2.0); }

class MeasurementRunTest : public ::testing::Test, public WithFakeStages {
 protected:
  MeasurementRunTest() { SetTraceMask(0); }
};

TEST_F(MeasurementRunTest, WholeFilesAreMeasuredUpToTheEndOfTheInput) {
  ScriptFileInputs(log, 5);
  const RunResult run = RunMeasurement([](SYSPARA&) {});
  EXPECT_EQ(run.frames, 6);  // five frames, then the frame that reports the end
  EXPECT_EQ(run.measuredFrames, 6u);
  EXPECT_EQ(log.frameCalls, 7);  // one more while filling, none after the end
  EXPECT_NEAR(run.referenceDb, SineLevelDb(kReferenceAmplitude), 1e-3);
  EXPECT_NEAR(run.testDb, SineLevelDb(kTestAmplitude), 1e-3);
  EXPECT_EQ(log.events.back(), "destroy mux");
}

TEST_F(MeasurementRunTest, TimeTriggerGatesTheMeasuredFrames) {
  ScriptFileInputs(log, 50);
  const RunResult run = RunMeasurement([](SYSPARA& sys) {
    auto& event = static_cast<CTimeEvent&>(*sys.triggers.head);
    // The read while filling counts: frame k ends at position 480 (k + 1).
    event.startMs = 20.0f;  // position 960: the first frame
    event.endMs = 60.0f;    // 1920 samples later: 2880, the fifth frame
    event.state = TRIGGER_ARMED;
  });
  EXPECT_EQ(run.frames, 4);          // the fifth frame ends the measurement
  EXPECT_EQ(run.measuredFrames, 4);  // frames 1 to 4
  EXPECT_EQ(log.frameCalls, 1 + 5);
  EXPECT_EQ(log.resetAverageSeen.size(), 6u);
  EXPECT_NEAR(run.referenceDb, SineLevelDb(kReferenceAmplitude), 1e-3);
}

}  // namespace
