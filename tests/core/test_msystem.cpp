// CMsystem: construction and the stages, set-up, start and stop, copying,
// and the process exit when a stage cannot be made.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/RegistryTransfer.h"
#include "Vantrel/frontend/BuiltInStages.h"
#include "fake_stages.h"
#include "pattern_memory.h"
#include "platform/app.h"
#include "platform/debug_output.h"
#include "platform/dialog.h"
#include "platform/events.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class MsystemTest : public ::testing::Test, public WithFakeStages {
 protected:
  MsystemTest() { SetTraceMask(TRACE_ORDINARY); }
  ~MsystemTest() override { SetTraceMask(0); }
};

TEST_F(MsystemTest, BuildsLinksAndDestroysStagesInOrder) {
  log.usedInputs[0] = 17;
  {
    MinimalAlgorithm system;
    EXPECT_EQ(system.GetUsedBufferSpaceInPercent(), log.usedInputs);
    EXPECT_NE(system.StopEvent(), nullptr);
    EXPECT_EQ(WaitForSingleObject(system.StopEvent(), 0), WAIT_TIMEOUT);
  }
  EXPECT_THAT(log.events, ElementsAre("create mux", "create buffer", "create compensation", "attach buffer",
                                      "attach compensation", "destroy compensation", "destroy buffer", "destroy mux"));
}

// The members the constructor does not set are zero, whatever the memory
// held; the two it sets are 1.
TEST_F(MsystemTest, ConstructionLeavesCountersAtZeroAndTheFrameZeroed) {
  struct Inspected : MinimalAlgorithm {
    using MinimalAlgorithm::MinimalAlgorithm;
    std::vector<int64_t> Counters() const {
      return {m_algorithmPara.outputLength,
              m_algorithmPara.frameLength,
              m_frameCounter,
              m_samplePosition,
              m_stopped,
              m_resetAverageRequest,
              m_realtimeInputs[0],
              m_realtimeInputs[1],
              m_realtimeInputCount,
              m_endReached,
              m_verbosity,
              m_reserved,
              m_deliveredLength,
              m_frontEnd.ready};
    }
    const FRAMEDATA& OwnFrame() const { return m_frame; }
    int32_t FileEndHandling() const { return m_fileEndHandling; }
    int32_t FrameFlag() const { return m_frameFlag; }
  };
  OnPattern<Inspected> system(7);
  EXPECT_EQ(system->Counters(), std::vector<int64_t>(14, 0));
  EXPECT_EQ(system->FileEndHandling(), 1);
  EXPECT_EQ(system->FrameFlag(), 1);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&system->OwnFrame());
  EXPECT_EQ(std::count(bytes, bytes + sizeof(FRAMEDATA), 0), static_cast<std::ptrdiff_t>(sizeof(FRAMEDATA)));
  EXPECT_EQ(system->SysPara().channels, 0);
}

TEST_F(MsystemTest, DestroyReleasesThroughTheVirtualDestructor) {
  CMsystem* system = new MinimalAlgorithm;
  system->Destroy();
  EXPECT_EQ(log.events.back(), "destroy mux");
}

struct InitCase {
  const char* what;
  int realtime, compensationOn, trackVariableDelay, flag;
  uint32_t outputLength, frameLength;
  int expectedResult;
  uint32_t expectedDelivered;  // 0: the delay compensation is not initialised
};

TEST_F(MsystemTest, InitChoosesTheDeliveredLength) {
  const InitCase cases[] = {
      {"plain: frame length", 0, 1, 0, 0, 256, 1024, 1, 1024},
      {"tracking: output length even off real time", 0, 0, 1, 0, 256, 1024, 1, 256},
      {"real time with compensation", 1, 1, 0, 0, 256, 1024, 1, 256},
      {"real time without compensation", 1, 0, 0, 0, 256, 1024, 1, 1024},
      {"flag", 0, 1, 0, 1, 256, 1024, 1, 256},
      {"frame length 0", 0, 0, 0, 0, 256, 0, 0, 0},
      {"largest length a frame holds", 0, 0, 0, 0, 0, 2048, 1, 2048},
      // Longer ones need the host's sample buffers, which only ProcessFrame sees.
      {"one more than a frame holds", 0, 0, 0, 0, 0, 2049, 1, 2049},
      {"long frame, short output", 0, 0, 1, 0, 2048, 8192, 1, 2048},
      {"long frame delivered whole", 0, 0, 0, 0, 2048, 8192, 1, 8192},
  };
  for (const InitCase& c : cases) {
    SCOPED_TRACE(c.what);
    StageLog fresh;
    ScopedStageMakers makers(MakersFor(fresh));
    // The base defaults clear `realtime`; an algorithm that allows real
    // time sets it again in its own defaults.
    struct KeepRealtime : MinimalAlgorithm {
      int realtime = 0;
      void SetDefaultPara(SYSPARA* s, uint32_t flags) override {
        CMsystem::SetDefaultPara(s, flags);
        s->realtime = realtime;
      }
    } keeping;
    keeping.realtime = c.realtime;
    SYSPARA sys;
    MakeUsable(sys);
    sys.delayPara.compensationOn = c.compensationOn;
    sys.delayPara.trackVariableDelay = c.trackVariableDelay;
    CAlgorithmPara alg{c.outputLength, c.frameLength};
    fresh.initCalls = 0;
    EXPECT_EQ(keeping.Init(sys, alg, c.flag), c.expectedResult);
    if (c.expectedDelivered == 0) {
      EXPECT_EQ(fresh.initCalls, 0);
    } else {
      EXPECT_EQ(fresh.initCalls, 1);
      EXPECT_EQ(fresh.initOutputLength, c.expectedDelivered);
      EXPECT_EQ(fresh.initFrameLength, c.frameLength);
      EXPECT_EQ(fresh.initRecord, &keeping.SysPara());
      EXPECT_EQ(fresh.prepareCalls, 1);
    }
  }
}

TEST_F(MsystemTest, InitCopiesAppliesDefaultsAndPreparesOnlyAfterSuccess) {
  MinimalAlgorithm system;
  SYSPARA sys;
  MakeUsable(sys);
  sys.inputPara[1].fileName = "test.wav";
  sys.delayPara.maxTrackingStep = 7;  // a default overrides it
  CAlgorithmPara alg{480, 480};
  log.prepareResult = 5;
  EXPECT_EQ(system.Init(sys, alg), 5);
  EXPECT_EQ(system.SysPara().inputPara[1].fileName, "test.wav");
  EXPECT_EQ(system.SysPara().delayPara.maxTrackingStep, 512);
  EXPECT_EQ(system.AlgorithmPara().frameLength, 480u);

  log.initResult = 0;
  log.prepareCalls = 0;
  EXPECT_EQ(system.Init(sys, alg), 0);
  EXPECT_EQ(log.prepareCalls, 0);
}

TEST_F(MsystemTest, InitAndUpdateRefuseRecordsTheFrontEndCannotIndex) {
  MinimalAlgorithm system;
  SYSPARA good;
  MakeUsable(good, 2);
  CAlgorithmPara alg{480, 480};
  ASSERT_EQ(system.Init(good, alg), 1);

  struct Bad {
    const char* what;
    int channels, routedInput;
    const char* trace;
  } bads[] = {
      {"no channels", 0, 0, "channel count 0 outside 1..2"},
      {"three channels", 3, 0, "channel count 3 outside 1..2"},
      {"routing input 2", 2, 2, "routing input 2 of signal 1 channel 1 outside 0..1"},
      {"routing input -1", 1, -1, "routing input -1 of signal 1 channel 0 outside 0..1"},
  };
  for (const Bad& bad : bads) {
    SCOPED_TRACE(bad.what);
    SYSPARA sys;
    MakeUsable(sys, 2);
    sys.channels = bad.channels;
    sys.routingTable[1][std::clamp(bad.channels - 1, 0, 1)].input = bad.routedInput;
    sys.inputPara[0].fileName = "not taken";
    DebugOutputCapture capture;
    log.initCalls = 0;
    log.updateCalls = 0;
    EXPECT_EQ(system.Init(sys, alg), 0);
    EXPECT_EQ(system.UpdateSysPara(&sys), 0);
    EXPECT_EQ(log.initCalls + log.updateCalls, 0);
    EXPECT_THAT(capture.Text(), HasSubstr(std::string("CMsystem::Init(), ERROR: ") + bad.trace));
    EXPECT_THAT(capture.Text(), HasSubstr(std::string("CMsystem::UpdateSysPara(), ERROR: ") + bad.trace));
    EXPECT_EQ(system.SysPara().channels, 2);
    EXPECT_EQ(system.SysPara().inputPara[0].fileName, "");
  }
  // A routing entry of an unused channel is not looked at.
  SYSPARA mono;
  MakeUsable(mono, 1);
  mono.routingTable[0][1].input = 9;
  EXPECT_EQ(system.Init(mono, alg), 1);
  EXPECT_EQ(system.UpdateSysPara(nullptr), 0);
}

TEST_F(MsystemTest, RecordIsJudgedAfterTheAlgorithmsOwnDefaults) {
  // A mono algorithm sets channels and routing in its defaults.
  struct OwnChannels : MinimalAlgorithm {
    int channels = 1;
    void SetDefaultPara(SYSPARA* s, uint32_t flags) override {
      CMsystem::SetDefaultPara(s, flags);
      s->channels = channels;
      s->routingTable[0][0] = INPUTMUXPARA{0, 0};
      s->routingTable[1][0] = INPUTMUXPARA{1, 0};
    }
  } system;
  SYSPARA bare;  // channels and routing left to the algorithm
  bare.channels = 0;
  bare.routingTable[1][0].input = 5;
  bare.inputPara[0].fileName = "ref.wav";
  CAlgorithmPara alg{480, 480};
  EXPECT_EQ(system.Init(bare, alg), 1);
  EXPECT_EQ(system.SysPara().channels, 1);
  EXPECT_EQ(system.UpdateSysPara(&bare), 1);

  // Defaults that make a good record unusable refuse it; nothing is taken.
  system.channels = 3;
  SYSPARA good;
  MakeUsable(good, 2);
  good.inputPara[0].fileName = "other.wav";
  CAlgorithmPara otherAlg{256, 256};
  log.initCalls = log.updateCalls = 0;
  EXPECT_EQ(system.Init(good, otherAlg), 0);
  EXPECT_EQ(system.UpdateSysPara(&good), 0);
  EXPECT_EQ(log.initCalls + log.updateCalls, 0);
  EXPECT_EQ(system.SysPara().channels, 1);
  EXPECT_EQ(system.SysPara().inputPara[0].fileName, "ref.wav");
  EXPECT_EQ(system.AlgorithmPara().frameLength, 480u);
  EXPECT_EQ(system.Go(), 1);  // still set up for the records it kept
}

TEST_F(MsystemTest, UpdateSysParaCopiesAppliesDefaultsAndForwards) {
  MinimalAlgorithm system;
  SYSPARA sys;
  MakeUsable(sys);
  sys.inputPara[1].mode = INPUT_MODE_SOUND_DEVICE;  // the defaults make it a file again
  sys.levelPara.levelAlign = 1;
  log.updateResult = 3;
  EXPECT_EQ(system.UpdateSysPara(&sys), 3);
  EXPECT_EQ(log.updateRecord, &system.SysPara());
  EXPECT_EQ(system.SysPara().levelPara.levelAlign, 1);
  EXPECT_EQ(system.SysPara().inputPara[1].mode, INPUT_MODE_FILE);
  EXPECT_EQ(system.IsRealtime(), 0);
}

// A record the front end is sized for alike is forwarded; one that needs
// other sizes sets the front end up again with Init's lengths and flag.
TEST_F(MsystemTest, UpdateSysParaSetsTheFrontEndUpAgainForARecordOfOtherSizes) {
  MinimalAlgorithm system;
  SYSPARA sys;
  MakeUsable(sys);
  CAlgorithmPara alg{480, 960};
  ASSERT_EQ(system.Init(sys, alg, 1), 1);  // the flag: the output length is delivered
  log.initCalls = log.updateCalls = 0;
  sys.inputPara[0].fileName = "other.wav";
  sys.levelPara.levelAlign = 1;
  EXPECT_EQ(system.UpdateSysPara(&sys), 1);
  EXPECT_EQ(log.initCalls, 0);
  EXPECT_EQ(log.updateCalls, 1);

  const struct {
    const char* what;
    void (*change)(SYSPARA&);
  } cases[] = {
      {"rate", [](SYSPARA& s) { s.inputPara[0].wave.sampleRate = 96000; }},
      {"test rate", [](SYSPARA& s) { s.inputPara[1].wave.sampleRate = 16000; }},
      {"channels", [](SYSPARA& s) { MakeUsable(s, 2); }},
      {"compensation", [](SYSPARA& s) { s.delayPara.compensationOn = 1; }},
      {"tracking", [](SYSPARA& s) { s.delayPara.trackVariableDelay = 1; }},
  };
  for (const auto& c : cases) {
    SYSPARA other;
    MakeUsable(other);
    c.change(other);
    log.initCalls = log.updateCalls = 0;
    log.initRecord = nullptr;
    EXPECT_EQ(system.UpdateSysPara(&other), 1) << c.what;
    EXPECT_EQ(log.initCalls, 1) << c.what;
    EXPECT_EQ(log.initRecord, &system.SysPara()) << c.what;
    EXPECT_EQ(log.initOutputLength, 480u) << c.what;
    EXPECT_EQ(log.initFrameLength, 960u) << c.what;
    // Set up for it now: the same record again is forwarded.
    log.initCalls = 0;
    EXPECT_EQ(system.UpdateSysPara(&other), 1) << c.what;
    EXPECT_EQ(log.initCalls, 0) << c.what;
  }

  // A set-up that fails refuses the record, and Go with it, until one succeeds.
  log.initResult = 0;
  sys.inputPara[0].wave.sampleRate = 44100;
  EXPECT_EQ(system.UpdateSysPara(&sys), 0);
  EXPECT_EQ(system.Go(), 0);
  log.initResult = 1;
  log.initCalls = 0;
  EXPECT_EQ(system.UpdateSysPara(&sys), 1);
  EXPECT_EQ(log.initCalls, 1);
  EXPECT_EQ(system.Go(), 1);
}

TEST_F(MsystemTest, RealtimeInputListFollowsTheInputModes) {
  struct DeviceInputs : MinimalAlgorithm {
    int modes[2] = {INPUT_MODE_FILE, INPUT_MODE_FILE};
    void SetDefaultPara(SYSPARA* s, uint32_t flags) override {
      CMsystem::SetDefaultPara(s, flags);
      s->inputPara[0].mode = modes[0];
      s->inputPara[1].mode = modes[1];
    }
  } system;
  SYSPARA sys;
  MakeUsable(sys);
  CAlgorithmPara alg{480, 480};
  int* list = nullptr;

  system.modes[1] = INPUT_MODE_SOUND_DEVICE;
  log.initResult = 0;  // rebuilt even when the set-up fails
  system.Init(sys, alg);
  EXPECT_EQ(system.RealtimeInputs(&list), 1);
  EXPECT_EQ(list[0], 1);
  EXPECT_EQ(system.IsRealtime(), 1);
  EXPECT_EQ(system.SysPara().delayPara.tracking, 1);

  system.modes[0] = INPUT_MODE_TELEPHONE;
  system.Init(sys, alg);
  EXPECT_EQ(system.RealtimeInputs(&list), 2);
  EXPECT_EQ(list[0], 0);
  EXPECT_EQ(list[1], 1);

  system.modes[0] = system.modes[1] = INPUT_MODE_SYNCHRONOUS;
  system.Init(sys, alg);
  EXPECT_EQ(system.RealtimeInputs(&list), 0);
  EXPECT_EQ(system.IsRealtime(), 0);
  EXPECT_EQ(system.SysPara().delayPara.tracking, 0);
}

TEST_F(MsystemTest, GoArmsEventsOnlyAfterASuccessfulStartAndStopSignals) {
  MinimalAlgorithm system;
  SYSPARA sys;
  MakeUsable(sys);
  sys.triggers.head->state = TRIGGER_DONE;
  CAlgorithmPara alg{480, 480};
  ASSERT_EQ(system.Init(sys, alg), 1);

  log.startResult = 0;
  EXPECT_EQ(system.Go(), 0);
  EXPECT_EQ(system.SysPara().triggers.head->state, TRIGGER_DONE);

  log.startResult = 1;
  EXPECT_EQ(system.Stop(), 1);
  EXPECT_EQ(WaitForSingleObject(system.StopEvent(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(system.StopEvent(), 0), WAIT_OBJECT_0);  // manual reset
  EXPECT_EQ(system.Go(), 1);
  EXPECT_EQ(log.startEvent, system.StopEvent());
  EXPECT_EQ(WaitForSingleObject(system.StopEvent(), 0), WAIT_TIMEOUT);
  EXPECT_EQ(system.SysPara().triggers.head->state, TRIGGER_ARMED);

  sys.triggers.head->state = TRIGGER_OFF;
  ASSERT_EQ(system.Init(sys, alg), 1);
  EXPECT_EQ(system.Go(), 1);
  EXPECT_EQ(system.SysPara().triggers.head->state, TRIGGER_OFF);
}

TEST_F(MsystemTest, GoAndFramesNeedASuccessfulInit) {
  MinimalAlgorithm system;
  auto frame = std::make_unique<FRAMEDATA>();
  EXPECT_EQ(system.Go(), 0);
  EXPECT_EQ(system.ProcessFrame(frame.get(), nullptr), 0);
  SYSPARA sys;
  MakeUsable(sys);
  CAlgorithmPara alg{480, 480};
  log.initResult = 0;
  EXPECT_EQ(system.Init(sys, alg), 0);
  EXPECT_EQ(system.Go(), 0);
  EXPECT_EQ(log.startCalls + log.frameCalls, 0);
  log.initResult = 1;
  ASSERT_EQ(system.Init(sys, alg), 1);
  EXPECT_EQ(system.Go(), 1);
  EXPECT_EQ(system.ProcessFrame(frame.get(), nullptr), 1);

  MinimalAlgorithm copy(system);  // stages of its own, not set up yet
  EXPECT_EQ(copy.Go(), 0);
}

TEST_F(MsystemTest, ForwardsResetFreeAndWaitForOutputs) {
  MinimalAlgorithm system;
  log.resetResult = 7;
  log.waitResult = 0;
  EXPECT_EQ(system.Reset(), 7);
  system.Free();
  EXPECT_EQ(system.WaitForOutputs(0x1234u), 0);
  EXPECT_EQ(log.lastWaitArgument, 0x1234u);
  EXPECT_EQ(system.ResetAverage(), 1);
  EXPECT_EQ(system.SetParameters("x"), 0);
  EXPECT_EQ(system.ResultsAreValid(), 1);
  EXPECT_EQ(system.GetExtendedResultsStatus(), 0);
  EXPECT_EQ(system.ExtendedResults(CString("x"), 0), 1);
  EXPECT_EQ(system.SetVerbousity(3), 3);
  EXPECT_EQ(system.GetVerbousity(), 3);
}

TEST_F(MsystemTest, CreateObjectsMakesUnattachedStagesOfTheKnownTypes) {
  MinimalAlgorithm system;
  log.events.clear();
  auto* buffer = static_cast<CDelayBuffer*>(system.CreateObjects(MSYSTEM_OBJECT_DELAY_BUFFER));
  auto* compensation = static_cast<CDelayCompensation*>(system.CreateObjects(MSYSTEM_OBJECT_DELAY_COMPENSATION));
  auto* mux = static_cast<CInputMux*>(system.CreateObjects(MSYSTEM_OBJECT_INPUT_MUX));
  EXPECT_THAT(log.events, ElementsAre("create buffer", "create compensation", "create mux"));
  buffer->Destroy();
  compensation->Destroy();
  mux->Destroy();

  DebugOutputCapture capture;
  EXPECT_EQ(system.CreateObjects(3), nullptr);
  EXPECT_EQ(system.CreateObjects(-1), nullptr);
  EXPECT_THAT(capture.Text(), HasSubstr("CMsystem::CreateObjects, unknown object type (3)\n"));
  EXPECT_THAT(capture.Text(), HasSubstr("CMsystem::CreateObjects, unknown object type (-1)\n"));
}

TEST_F(MsystemTest, CopiesOwnTheirStagesAndEvent) {
  MinimalAlgorithm original;
  SYSPARA sys;
  MakeUsable(sys);
  sys.inputPara[0].fileName = "ref.wav";
  CAlgorithmPara alg{256, 512};
  original.Init(sys, alg);
  original.SetVerbousity(4);
  {
    MinimalAlgorithm copy(original);
    EXPECT_NE(copy.StopEvent(), original.StopEvent());
    EXPECT_EQ(copy.SysPara().inputPara[0].fileName, "ref.wav");
    EXPECT_EQ(copy.SysPara().input[0], &copy.SysPara().inputPara[0]);
    EXPECT_EQ(copy.AlgorithmPara().outputLength, 256u);
    EXPECT_EQ(copy.GetVerbousity(), 4);

    MinimalAlgorithm assigned;
    HANDLE ownEvent = assigned.StopEvent();
    assigned = original;
    EXPECT_EQ(assigned.StopEvent(), ownEvent);
    EXPECT_EQ(assigned.SysPara().inputPara[0].fileName, "ref.wav");
    EXPECT_EQ(assigned.Go(), 0);  // its own front end is not set up for these records
  }
  // Three objects, each destroyed its own three stages once; the original's still live.
  EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "destroy compensation"), 2);
  EXPECT_EQ(original.Reset(), 1);
}

TEST_F(MsystemTest, TakesTheParentWindowFromTheApplicationsMainWindow) {
  CWinApp app("VantrelCoreTest");
  CWnd mainWindow(reinterpret_cast<HWND>(0x5150));
  app.m_pMainWnd = &mainWindow;
  MinimalAlgorithm withWindow;
  EXPECT_EQ(withWindow.ParentWindow(), mainWindow.GetSafeHwnd());
  auto* record = static_cast<SYSPARA*>(withWindow.CreateSysPara());
  EXPECT_EQ(record->triggers.head->parent, mainWindow.GetSafeHwnd());
  record->Destroy();
  app.m_pMainWnd = nullptr;
  MinimalAlgorithm withoutWindow;
  EXPECT_EQ(withoutWindow.ParentWindow(), nullptr);
}

TEST_F(MsystemTest, RegistryTransferMovesATableThroughTheProfile) {
  CWinApp app("VantrelCoreTest");
  int level = 41;
  CString device("Line In");
  REGPARA table[] = {
      {"Level", REGPARA_INT, &level, nullptr, 0, nullptr},
      {"Bad", 9, nullptr, nullptr, 0, nullptr},
      {"Device", REGPARA_STRING, nullptr, &device, 0, "none"},
      {nullptr, 0, nullptr, nullptr, 0, nullptr},
  };
  MinimalAlgorithm system;
  DebugOutputCapture capture;
  system.RegistryTransfer(0, "Settings", table);
  level = 0;
  device = "";
  system.RegistryTransfer(1, "Settings", table);
  EXPECT_EQ(level, 41);
  EXPECT_EQ(device, "Line In");
  EXPECT_THAT(capture.Text(), HasSubstr("Illegal registry parameter type (9)"));
}

using MsystemDeathTest = MsystemTest;

TEST_F(MsystemDeathTest, NoStageImplementationEndsTheProcessWithCode1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (CInputMux* builtIn = NewBuiltInInputMux()) {
    builtIn->Destroy();
    GTEST_SKIP() << "the front end's own stages are built in";
  }
  EXPECT_EXIT(
      {
        SetStageMakers(StageMakers{});  // the built-in stages: none yet
        SetTraceMask(TRACE_ORDINARY);
        MinimalAlgorithm system;
      },
      ::testing::ExitedWithCode(1), "CMsystem::CMsystem\\(\\), ERROR: out of memory");
}

TEST_F(MsystemDeathTest, FailingMultiplexerEndsBeforeTheBufferIsMadeAndTracesOnlyWhenAsked) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto failMux = [] {
    StageMakers makers;
    makers.inputMux = []() -> CInputMux* { return nullptr; };
    makers.delayBuffer = []() -> CDelayBuffer* { std::_Exit(3); };  // must not be reached
    makers.delayCompensation = []() -> CDelayCompensation* { std::_Exit(3); };
    SetStageMakers(makers);
  };
  EXPECT_EXIT(
      {
        failMux();
        SetTraceMask(0);
        MinimalAlgorithm system;
      },
      ::testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(
      {
        failMux();
        SetTraceMask(TRACE_ORDINARY);
        MinimalAlgorithm system;
      },
      ::testing::ExitedWithCode(1), "ERROR: out of memory");
}

TEST_F(MsystemDeathTest, StageThatRefusesToBeAttachedEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  log.attachCompensationResult = 0;
  EXPECT_EXIT({ MinimalAlgorithm system; }, ::testing::ExitedWithCode(1), "refused to be attached");
}

}  // namespace
