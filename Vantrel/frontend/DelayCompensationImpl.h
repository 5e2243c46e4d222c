// The component's delay compensation. Once per frame it reads one block per
// signal channel into the delay buffer, keeps the block energies, runs the
// delay state machine (search, re-check, tracking, snap), copies the delayed
// samples of both signals into the frame, aligns the test level on request
// and writes the frame's delay header and the "UsedDelay" monitor entry.
// Its sources: DelayCompensationFrame.cpp (the frame), DelayStateMachine.cpp
// (the states), DelayCompensationOutput.cpp (the frame's output),
// DelayCompensationSearch.cpp (what search, re-check and tracker read from
// the buffer), DelayCompensationStart.cpp (the start and its pre-run) and
// DelayCompensationImpl.cpp (set-up and small operations). It
// composes the objects that own the state: the block energies
// (CEnergyHistory), the delay confirmed or rejected (CDelayConfirmation),
// the search and the re-check (CDelayEstimator), the tracker
// (CDelayTracker), the level alignment's gain (CLevelGain) and the state
// with the one rule that calls a frame reliable (CReliableGate): the
// others report evidence to it, none sets the reliable status.
// On file inputs Start runs the delay search over the start of the files
// and measures the levels before the measurement begins, also when the
// delay is re-checked and tracked; tracked live inputs start with the search.
#pragma once

#include <cstdint>
#include <limits>

#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayConfirmation.h"
#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/DelayTracker.h"
#include "Vantrel/frontend/EnergyHistory.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/LevelGain.h"
#include "Vantrel/frontend/ReliableGate.h"
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
  bool SearchSawRivalPeaks() const override { return m_estimator.SawRivalPeaks(); }
  void SetStartProgress(StartProgressHook hook, void* context) override {
    m_startProgress = hook;
    m_startProgressContext = context;
  }

  // Search geometry for an input rate: window (a power of two), block and,
  // when asked for, the range in samples beyond which a delay found is not
  // reliable. false when the window would not fit 32 bits
  bool ComputeSearchWindow(int rate, uint32_t* window, uint32_t* block, int64_t* maxDelaySamples = nullptr) const;
  // Read access for tests and hosts.
  int ActiveBlocks() const { return m_activeBlocks; }
  uint32_t StateFrames() const { return m_stateFrames; }
  // Test seam: runs of any length, without running them.
  void SetCountersForTesting(int activeBlocks, uint32_t stateFrames) {
    m_activeBlocks = activeBlocks;
    m_stateFrames = stateFrames;
  }
  int State() const { return m_state; }
  int Delay() const { return m_reading.delay; }
  int32_t Status() const { return m_reading.status; }
  int Quality() const { return m_reading.quality; }
  uint32_t SearchWindow() const { return m_searchWindow; }
  uint32_t SearchBlock() const { return m_searchBlock; }
  int64_t MaxDelaySamples() const { return m_maxDelaySamples; }
  uint32_t RecheckWindow() const { return m_estimator.RecheckSet().GetWindowLen(); }
  uint32_t RecheckBlock() const { return m_estimator.RecheckSet().GetBlockLen(); }
  int SwapTestChannels() const { return m_swapTestChannels; }
  int TrackingMode() const { return m_trackingMode; }

 private:
  // What a start-up search run found, kept while a run with the test
  // channels swapped tries to do better.
  struct SearchOutcome {
    int32_t delay = 0;
    float quality = 0.0f;
    int state = DELCOMP_FILLINGBUFFERS;
    int activeBlocks = 0;
    double refEnergyTotal = 0.0;
    double testEnergyTotal = 0.0;
    uint32_t energyReads = 0;
    bool confirmed = false;
    SampleSpan blocks;
  };

  // Narrows the search range of the record in use (its maxDelay field of
  // the tracking mode) to what the memory and the file inputs allow, as
  // PlanDelaySearch does; false, with the reason noted, when not even the
  // smallest search fits or the inter-input offset exceeds the buffers.
  bool SettleSearchRange();
  // The re-check's correlators: blocks of a quarter of the search's, in a
  // window the ring and a live input's rate allow.
  int InitRecheckSet(uint32_t frameLength);

  // Counts one more block or frame; a count stops at its largest value, so
  // that a run of any length never wraps it.
  template <typename T>
  static void CountUp(T& counter) {
    if (counter < std::numeric_limits<T>::max()) ++counter;
  }

  // Devices and telephone lines deliver in real time; files and host samples do not.
  static bool IsRealtimeInput(int mode) { return mode == INPUT_MODE_SOUND_DEVICE || mode == INPUT_MODE_TELEPHONE; }

  // Frame processing.
  // The mean block energy of channel 0 of a direction so far; 0 before any read.
  double MeanBlockEnergy(int direction) const { return m_energy.Mean(direction); }
  int UpdateEnergyHistory();
  bool RealtimeInputBusy();
  void TakeResult(bool withQuality);
  // The frame's evidence, handed to the gate; `realSamples` of the frame
  // hold input of every signal.
  void DecideReliable(const TrackReport& track, uint32_t realSamples);
  // Notes a pause of the signal after the re-check; at its end the
  // re-check's blocks from before it are dropped.
  void NotePause();

  // The delay is re-checked or tracked as the inputs go on (live inputs, or
  // the tracker asked for).
  bool Tracked() const { return m_trackingMode != 0 || m_sys->delayPara.trackVariableDelay != 0; }
  // Where the reference samples paired at the delay end, now.
  int64_t AlignedEnd() const { return m_samplesRead + (m_reading.delay < 0 ? int64_t(m_reading.delay) : 0); }

  // The delay state machine: one step per frame, and each state's step.
  void HoldDelay();
  void EndInputBeforeDelay();
  void StepDelayState(bool busy, MONITORDATA* monitor);
  void StepFillingBuffers();
  void StepCalcDelay(bool busy, MONITORDATA* monitor);
  void StepDelayReliable(bool busy, MONITORDATA* monitor);
  void StepDelayUncertain(MONITORDATA* monitor);
  void StepSnap();
  void StepFixed();
  // A delay the search found near the one the re-check rejected, before
  // the search's blocks have all come after that rejection.
  bool StillRejected(int delay) const;
  // Frames in the reliable state after which a tracked delay snaps.
  uint64_t SnapFrames() const;

  // What of a frame's samples is input, over every signal it fetches.
  struct FrameInput {
    uint32_t realSamples = 0;         // samples that hold input of every signal
    bool referenceBegun = false;      // the reference's input has begun within the frame
    bool pastEnd = false;             // some signal reaches past its input's end
    bool wholeSignalPastEnd = false;  // some signal lies wholly past its input's end
  };

  // The frame's output: samples, header and level alignment; returns the fetch code.
  int WriteFrameOutput(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], MONITORDATA* monitor,
                       int32_t marks, const int (&signalDelay)[2], const FrameInput& input);
  // How far each signal is fetched back: the one ahead by the delay.
  void SignalDelays(int (&signalDelay)[2]) const;
  FrameInput InputOfFrame(const int (&signalDelay)[2]) const;
  // The frame's fetch code from what of it is input, before anything is
  // copied: FRAME_NONE past an input's end, 4 before the reference began
  // (unless the record allows padded frames), else 0 (fetch).
  int CodeBeforeFetch(const FrameInput& input) const;
  int FetchOutputSamples(FRAMEDATA* frame, float* (*samples)[2][2], const int (&signalDelay)[2],
                         const FrameInput& input);
  // The delay of the measurement's first frame, to which Start aligns the inputs.
  int FirstFrameDelay() const;
  void ApplyLevelAlignment(FRAMEDATA* frame, float* (*samples)[2][2], int fetchCode);
  void WriteUnwrittenFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc);

  // Search, re-check and tracking, on the blocks of the estimation channel.
  EstimationBlocks NewestBlocks() const;
  int DetermineDelay();
  int RecheckDelay(int* quality, MONITORDATA* monitor);
  TrackReport TrackVariableDelay(FRAMEDATA* frame, MONITORDATA* monitor);

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
  // The gate owns the state machine's state; these name its parts.
  CReliableGate m_gate;
  int& m_state = m_gate.state;
  uint32_t& m_stateFrames = m_gate.stateFrames;
  bool& m_searchRestarted = m_gate.searchRestarted;
  DelayReading& m_reading = m_gate.reading;
  int m_trackingMode = 0;
  int m_swapTestChannels = 0;
  SYSPARA* m_sys = nullptr;
  uint32_t m_searchBlock = 0;
  uint32_t m_searchWindow = 0;
  int64_t m_maxDelaySamples = 0;  // the asked range: a delay found beyond it is not reliable
  CEnergyHistory m_energy;
  int m_activeBlocks = 0;
  // Samples read of each input since the inputs started: the frames'
  // and the blocks' positions.
  int64_t m_samplesRead = 0;
  StartProgressHook m_startProgress = nullptr;
  void* m_startProgressContext = nullptr;
  CLevelGain m_levelGain;
  // Declared in this order: the estimator and the tracker tell the
  // confirmation what they confirm, the tracker steps the estimator's result.
  CDelayConfirmation m_confirmation;
  CDelayEstimator m_estimator{m_confirmation};
  CDelayTracker m_tracker{m_estimator, m_confirmation};
  // The estimation channel of the last record taken, checked.
  int m_estimationChannel = 0;
  // The ring's length, as the last Init made it.
  int32_t m_ringLen = 1;
};
