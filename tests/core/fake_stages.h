// Scripted stand-ins for the front end's three stages. They record what
// CMsystem asks of them in a StageLog that outlives them, and answer with the
// codes a test chooses. Install them with ScopedStageMakers(MakersFor(log)).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Vantrel/FrameData.h"
#include "Vantrel/MSystem.h"
#include "Vantrel/frontend/StageMakers.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/DelayCompensation.h"
#include "Vantrel/stages/InputMux.h"

struct StageLog {
  // What happened, in order: "create mux", "attach buffer", "destroy compensation", ...
  std::vector<std::string> events;

  // Answers.
  int attachBufferResult = 1;
  int attachCompensationResult = 1;
  int initResult = 1;
  int prepareResult = 1;
  int updateResult = 1;
  int startResult = 1;
  int resetResult = 1;
  int waitResult = 1;
  std::deque<int> frameCodes;  // consumed one per ProcessFrame call
  int defaultFrameCode = FETCH_COMPLETE;
  int32_t usedInputs[2] = {0, 0};
  // Runs inside the compensation's ProcessFrame (write samples, monitor ...).
  std::function<void(FRAMEDATA*, FRAMEBUFFERDESC*, float* (*)[2][2], MONITORDATA*)> onFrame;

  // Calls seen by the delay compensation.
  SYSPARA* initRecord = nullptr;
  uint32_t initOutputLength = 0;
  uint32_t initFrameLength = 0;
  int initCalls = 0;
  int prepareCalls = 0;
  int updateCalls = 0;
  SYSPARA* updateRecord = nullptr;
  int startCalls = 0;
  HANDLE startEvent = nullptr;
  int frameCalls = 0;
  int lastMode = -1;
  FRAMEBUFFERDESC* lastDesc = nullptr;
  MONITORDATA* lastMonitor = nullptr;
  float* lastTable[2][2] = {};
  std::vector<int> resetAverageSeen;  // frame's resetAverage at each call
  uint32_t lastWaitArgument = 0;
};

// A stage that logs its creation, destruction and attachment under its name.
template <class Stage>
class LoggedStage : public Stage {
 protected:
  LoggedStage(StageLog& log, const char* name) : m_log(log), m_name(name) {
    m_log.events.push_back("create " + m_name);
  }
  ~LoggedStage() override { m_log.events.push_back("destroy " + m_name); }
  int LogAttach(const void* target, int result) {
    m_log.events.push_back("attach " + m_name + (target != nullptr ? "" : " null"));
    return result;
  }

  StageLog& m_log;

 private:
  std::string m_name;
};

class FakeInputMux : public LoggedStage<CInputMux> {
 public:
  explicit FakeInputMux(StageLog& log) : LoggedStage(log, "mux") {}
  int Init(SYSPARA*) override { return 1; }
  void Free() override {}
  int Stop() override { return 1; }
  int GetSamples(int, int, int, float*, int*) override { return 4; }
  int GetSamplesPhys(int, float*, int, int*) override { return 4; }
  int SkipSamples(int, int) override { return 4; }
  void ConsumeSamples(int, int) override {}
  void ConsumeAll() override {}
  int32_t* GetUsedBufferPercent() override { return m_log.usedInputs; }
  int32_t* GetUsedBufferPercent2() override { return m_log.usedInputs; }
  int Go(int) override { return 1; }
};

class FakeDelayBuffer : public LoggedStage<CDelayBuffer> {
 public:
  explicit FakeDelayBuffer(StageLog& log) : LoggedStage(log, "buffer") {}
  int Attach(CInputMux* mux) override { return LogAttach(mux, m_log.attachBufferResult); }
  int Init(SYSPARA*, int, int) override { return 1; }
  void Free() override {}
  int Prepare(int) override { return 1; }
  void GetWaveFormat(int, int, WAVEPARA*) override {}
  int CopySamples(int, int, int, int, float*, int, int) override { return 1; }
  int GetSamples(int, int, int, int, float**, int*, float**, int*, int, int) override { return 1; }
  void GetBufferInfo(int, int, int, float**, int*, int*, int*, int*) override {}
  int OutputsIdle(OUTPUTPARA*, int) override { return 1; }
  int ProcessInput(int) override { return 1; }
  int Reset() override { return 1; }
  int GetFreeSpace() override { return 0; }
  void GetFill(int*, int*) override {}
  int32_t* GetUsedInputs() override { return m_log.usedInputs; }
  int Go() override { return 1; }
};

class FakeDelayCompensation : public LoggedStage<CDelayCompensation> {
 public:
  explicit FakeDelayCompensation(StageLog& log) : LoggedStage(log, "compensation") {}
  int Attach(CDelayBuffer* buffer) override { return LogAttach(buffer, m_log.attachCompensationResult); }
  int Init(SYSPARA* sys, uint32_t outputLength, uint32_t frameLength) override {
    ++m_log.initCalls;
    m_log.initRecord = sys;
    m_log.initOutputLength = outputLength;
    m_log.initFrameLength = frameLength;
    return m_log.initResult;
  }
  void Free() override { m_log.events.push_back("free"); }
  int Reset() override {
    m_log.events.push_back("reset");
    return m_log.resetResult;
  }
  int ProcessFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], MONITORDATA* monitor,
                   int mode) override {
    ++m_log.frameCalls;
    m_log.lastMode = mode;
    m_log.lastDesc = desc;
    m_log.lastMonitor = monitor;
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < 2; ++c) m_log.lastTable[d][c] = samples != nullptr ? (*samples)[d][c] : nullptr;
    if (frame != nullptr) m_log.resetAverageSeen.push_back(frame->header.resetAverage);
    if (m_log.onFrame) m_log.onFrame(frame, desc, samples, monitor);
    if (m_log.frameCodes.empty()) return m_log.defaultFrameCode;
    const int code = m_log.frameCodes.front();
    m_log.frameCodes.pop_front();
    return code;
  }
  int Prepare(SYSPARA*) override {
    ++m_log.prepareCalls;
    return m_log.prepareResult;
  }
  int UpdateSysPara(SYSPARA* sys) override {
    ++m_log.updateCalls;
    m_log.updateRecord = sys;
    return m_log.updateResult;
  }
  int Start(HANDLE stopEvent) override {
    ++m_log.startCalls;
    m_log.startEvent = stopEvent;
    return m_log.startResult;
  }
  int WaitForOutputs(int argument) override {
    m_log.lastWaitArgument = static_cast<uint32_t>(argument);
    return m_log.waitResult;
  }
  int32_t* GetUsedInputs() override { return m_log.usedInputs; }
};

inline StageMakers MakersFor(StageLog& log) {
  StageMakers makers;
  makers.inputMux = [&log]() -> CInputMux* { return new FakeInputMux(log); };
  makers.delayBuffer = [&log]() -> CDelayBuffer* { return new FakeDelayBuffer(log); };
  makers.delayCompensation = [&log]() -> CDelayCompensation* { return new FakeDelayCompensation(log); };
  return makers;
}

// Base of a test fixture: the fakes are installed for its lifetime, so
// systems the fixture declares as members are built with them, and `log`
// outlives their stages.
class WithFakeStages {
 protected:
  WithFakeStages() : m_makers(MakersFor(log)) {}

  StageLog log;

 private:
  ScopedStageMakers m_makers;
};

// The smallest algorithm: answers no query.
class MinimalAlgorithm : public CMsystem {
 public:
  using CMsystem::CMsystem;
  using CMsystem::Query;
  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }
};

// A record CMsystem::Init accepts: one channel per signal, two file inputs.
inline void MakeUsable(SYSPARA& sys, int channels = 1) {
  sys.channels = channels;
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) sys.routingTable[d][c] = INPUTMUXPARA{d, c};
  for (INPUTPARAEXT& input : sys.inputPara) {
    input.mode = INPUT_MODE_FILE;
    input.wave.sampleRate = 48000;
    input.wave.bitsPerSample = 16;
    input.wave.channels = channels;
  }
}
