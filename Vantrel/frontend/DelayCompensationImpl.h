// The component's delay compensation. Once per frame it reads one block per
// signal channel into the delay buffer, keeps the block energies, hands what
// it read to the delay state machine (CDelayStateMachine, which runs the
// search, the re-check, the tracking, the snap and the one rule that calls a
// frame reliable, and returns the frame's reading), copies the delayed
// samples of both signals into the frame, aligns the test level on request
// and writes the frame's delay header and the "UsedDelay" monitor entry.
// Its sources: DelayCompensationFrame.cpp (the frame),
// DelayCompensationOutput.cpp (the frame's output),
// DelayCompensationSearch.cpp (what the machine reads from the buffer),
// DelayCompensationStart.cpp (the start and its pre-run) and
// DelayCompensationImpl.cpp (set-up and small operations). Besides the
// machine it composes the block energies (CEnergyHistory) and the level
// alignment's gain (CLevelGain).
// On file inputs Start runs the delay search over the start of the files
// and measures the levels before the measurement begins, also when the
// delay is re-checked and tracked; tracked live inputs start with the search.
#pragma once

#include <cstdint>

#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/DelayStateMachine.h"
#include "Vantrel/frontend/EnergyHistory.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/LevelGain.h"
#include "Vantrel/stages/DelayCompensation.h"

struct MathlibHandle;

class FRONT_END_INTERNAL CDelayCompensationImpl : public CDelayCompensation {
 public:
  explicit CDelayCompensationImpl(int unused = 0);
  ~CDelayCompensationImpl() override;
  CDelayCompensationImpl(const CDelayCompensationImpl&) = delete;
  CDelayCompensationImpl& operator=(const CDelayCompensationImpl&) = delete;

  int Attach(CDelayBuffer* delayBuffer) override;
  int Init(SYSPARA* sysPara, uint32_t outputLength, uint32_t frameLength) override;
  void Free() override;
  int Reset() override;
  int ProcessFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], MONITORDATA* monitor,
                   int mode) override;
  int Prepare(SYSPARA* sysPara) override;
  int UpdateSysPara(SYSPARA* sysPara) override;
  int Start(HANDLE stopEvent) override;
  int WaitForOutputs(int argument) override;
  int32_t* GetUsedInputs() override;
  bool SearchSawRivalPeaks() const override { return m_machine.Estimator().SawRivalPeaks(); }
  bool DelayMoved(DelayMoveSeen* move) const override;
  void SetStartProgress(StartProgressHook hook, void* context) override {
    m_startProgress = hook;
    m_startProgressContext = context;
  }

  // Search geometry for an input rate: window (a power of two), block and,
  // when asked for, the range in samples beyond which a delay found is not
  // reliable. false when the window would not fit 32 bits
  bool ComputeSearchWindow(int rate, uint32_t* window, uint32_t* block, int64_t* maxDelaySamples = nullptr) const;
  // Read access for tests and hosts: the state machine, its settings and
  // its evidence sources.
  const CDelayStateMachine& Machine() const { return m_machine; }
  int ActiveBlocks() const { return m_activeBlocks; }
  // Test seam: runs of any length, without running them.
  void SetCountersForTesting(int activeBlocks, uint32_t stateFrames) {
    m_activeBlocks = activeBlocks;
    m_machine.SetStateFramesForTesting(stateFrames);
  }
  uint32_t SearchWindow() const { return m_searchWindow; }
  int SwapTestChannels() const { return m_swapTestChannels; }

 private:
  // What a start-up search run found, kept while a run with the test
  // channels swapped tries to do better.
  struct SearchOutcome {
    SearchRecord search;
    int activeBlocks = 0;
    double refEnergyTotal = 0.0;
    double testEnergyTotal = 0.0;
    uint32_t energyReads = 0;
  };

  // Narrows the search range of the record in use (its maxDelay field of
  // the tracking mode) to what the memory and the file inputs allow, as
  // PlanDelaySearch does; false, with the reason noted, when not even the
  // smallest search fits or the inter-input offset exceeds the buffers.
  bool SettleSearchRange();
  // The re-check's correlators: blocks of a quarter of the search's, in a
  // window the ring and a live input's rate allow.
  int InitRecheckSet(uint32_t frameLength);

  // Devices and telephone lines deliver in real time; files and host samples do not.
  static bool IsRealtimeInput(int mode) { return mode == INPUT_MODE_SOUND_DEVICE || mode == INPUT_MODE_TELEPHONE; }

  // Frame processing.
  int UpdateEnergyHistory();
  bool RealtimeInputBusy();

  // What of a frame's samples is input, over every signal it fetches.
  struct FrameInput {
    uint32_t realSamples = 0;         // samples that hold input of every signal
    bool referenceBegun = false;      // the reference's input has begun within the frame
    bool pastEnd = false;             // some signal reaches past its input's end
    bool wholeSignalPastEnd = false;  // some signal lies wholly past its input's end
  };

  // The frame's output: samples, header and level alignment; returns the fetch code.
  int WriteFrameOutput(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], MONITORDATA* monitor,
                       const FrameInput& input);
  // How far each signal is fetched back at a delay: the one ahead by the delay.
  static void SignalDelays(int delay, int (&signalDelay)[2]);
  FrameInput InputOfFrame(int delay) const;
  // The frame's fetch code from what of it is input, before anything is
  // copied: FRAME_NONE past an input's end, 4 before the reference began
  // (unless the record allows padded frames), else 0 (fetch).
  int CodeBeforeFetch(const FrameInput& input) const;
  int FetchOutputSamples(FRAMEDATA* frame, float* (*samples)[2][2], const int (&signalDelay)[2],
                         const FrameInput& input);
  void ApplyLevelAlignment(FRAMEDATA* frame, float* (*samples)[2][2], int fetchCode);
  void WriteUnwrittenFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc);

  // What the state machine reads of this frame: the record's asks, the
  // inputs' business, the newest blocks of the estimation channel.
  EstimationBlocks NewestBlocks() const;
  FrameFacts ReadFrameFacts(bool inputEnded, bool handsOut, MONITORDATA* monitor);

  // The record's estimation channel names a channel of the frame (traced when not).
  static bool EstimationChannelIsValid(const SYSPARA& sys, const char* operation);

  // Start of a tracked measurement on inputs that are not both files: fills the ring.
  bool BothInputsAreFiles() const;
  void FillRing();
  // Start on inputs that can start again: the delay search and the level
  // measurement over the start of the inputs, which then start again from
  // their beginning. 0 when the search could not run.
  int RunPreRun(HANDLE stopEvent);
  void RunSearch(HANDLE stopEvent, float* best);
  // Runs the search again with the test channels swapped; keeps the first
  // run's outcome when the swapped run does no better.
  void RetrySearchSwapped(HANDLE stopEvent, float* best);
  SearchOutcome SaveSearchOutcome() const;
  void RestoreSearchOutcome(const SearchOutcome& outcome);
  // Tells the start-progress hook, when there is one, how far the inputs are read.
  void NoteStartProgress() const;

  MathlibHandle* m_mathlib = nullptr;
  CDelayBuffer* m_delayBuffer = nullptr;
  uint32_t m_outputLen = 0;
  uint32_t m_frameLen = 0;
  CDelayStateMachine m_machine;
  int m_swapTestChannels = 0;
  SYSPARA* m_sys = nullptr;
  uint32_t m_searchWindow = 0;
  CEnergyHistory m_energy;
  int m_activeBlocks = 0;
  // Samples read of each input since the inputs started: the frames'
  // and the blocks' positions.
  int64_t m_samplesRead = 0;
  StartProgressHook m_startProgress = nullptr;
  void* m_startProgressContext = nullptr;
  CLevelGain m_levelGain;
  // The estimation channel of the last record taken, checked.
  int m_estimationChannel = 0;
  // The ring's length, as the last Init made it.
  int32_t m_ringLen = 1;
};
