// The component's delay compensation. Once per frame it reads one block per
// signal channel into the delay buffer, keeps the block energies, runs the
// delay state machine (search, re-check, tracking, snap), copies the delayed
// samples of both signals into the frame, aligns the test level on request
// and writes the frame's delay header and the "UsedDelay" monitor entry.
// Its sources: DelayCompensationFrame.cpp (the frame), DelayStateMachine.cpp
// (the states), DelayCompensationOutput.cpp (the frame's output),
// DelayCompensationSearch.cpp (search, re-check, tracking) and
// DelayCompensationImpl.cpp (set-up and start-up); the block energies are
// kept by a CEnergyHistory (EnergyHistory.h), the drift of the confirmed
// delay by a CDriftMeasure (DriftMeasure.h), the tracked qualities' mean
// by a CTrackMean (TrackMean.h).
// On file inputs Start runs the delay search over the start of the files
// and measures the levels before the measurement begins, also when the
// delay is re-checked and tracked; tracked live inputs start with the search.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/CorrelatorSet.h"
#include "Vantrel/frontend/DriftMeasure.h"
#include "Vantrel/frontend/EnergyHistory.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/TrackMean.h"
#include "Vantrel/stages/DelayCompensation.h"

struct MathlibHandle;

// Delay compensation states.
constexpr int DELCOMP_FILLINGBUFFERS = 0;
constexpr int DELCOMP_CALCDELAY = 1;
constexpr int DELCOMP_DELAYRELIABLE = 2;
constexpr int DELCOMP_DELAYUNCERTAIN = 3;
constexpr int DELCOMP_FIXED = 4;
constexpr int DELCOMP_SNAP = 6;
constexpr int DELCOMP_NOCHANGE = 7;  // the re-check's "signal too weak" answer

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

  // Search geometry for an input rate: window (a power of two), block and,
  // when asked for, the range in samples beyond which a delay found is not
  // reliable. false when the window would not fit 32 bits
  bool ComputeSearchWindow(int rate, uint32_t* window, uint32_t* block, int64_t* maxDelaySamples = nullptr) const;
  // 2 (reliable) or 3 (uncertain): does a re-check confirm the current delay?
  static int VerifyDelay(float rNew, float rCurrent, float rAtCurrent, int offset);

  // A correlation in percent as the frame's integer quality: truncated
  // toward zero, held within -100..100, 0 when it is not a number.
  static int QualityPercent(double quality);

  // Read access for tests and hosts.
  int ActiveBlocks() const { return m_activeBlocks; }
  uint32_t StateFrames() const { return m_stateFrames; }
  // Test seam: runs of any length, without running them.
  void SetCountersForTesting(int activeBlocks, uint32_t stateFrames) {
    m_activeBlocks = activeBlocks;
    m_stateFrames = stateFrames;
  }
  int State() const { return m_state; }
  int Delay() const { return m_delay; }
  int32_t Status() const { return m_status; }
  int Quality() const { return m_quality; }
  uint32_t SearchWindow() const { return m_searchWindow; }
  uint32_t SearchBlock() const { return m_searchBlock; }
  int64_t MaxDelaySamples() const { return m_maxDelaySamples; }
  uint32_t RecheckWindow() const { return m_recheckSet.GetWindowLen(); }
  uint32_t RecheckBlock() const { return m_recheckSet.GetBlockLen(); }
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
  void Confirm(int delay, float quality) {
    MeasureDrift(delay);
    m_confirmed = true;
    m_framesSinceConfirmed = 0;
    m_confirmedDelay = delay;
    m_confirmedQuality = std::fabs(quality);
    m_rejected = false;
  }
  void Unconfirm() { m_confirmed = false; }
  // Follows how fast the confirmed delay moves, from one confirmation to
  // the next; a confirmation off the drift so far starts the measure anew.
  void MeasureDrift(int delay);
  // Where the confirmed delay has drifted to by now. The tracker steps
  // once a whole sample shows, so under a drift the delay confirmed lies
  // half a sample behind it on average.
  double DriftedConfirmedDelay() const {
    const double perFrame = DriftPerFrame();
    const double behind = std::fabs(perFrame) >= CDriftMeasure::kNoticeable ? std::copysign(0.5, perFrame) : 0.0;
    return double(m_confirmedDelay) + behind + perFrame * double(m_framesSinceConfirmed);
  }
  double DriftPerFrame() const { return m_drift.PerFrame(); }
  // An offset the way the confirmed delay drifts noticeably.
  bool AlongDrift(int offset) const { return m_drift.Along(offset); }
  // While the signal is too weak to track, a delay confirmed to drift
  // moves on with the drift measured, as far as a confirmation reaches.
  void FollowDriftThroughPause();
  // "reliable" only at the confirmed delay: any other status is kept.
  void HoldStatusToConfirmation();
  // Where the re-check runs, the confirmed delay moves on at the drift
  // measured: a delay left behind while the signal pauses is not it.
  bool ConfirmedAt(int delay) const {
    if (!m_confirmed) return false;
    if (!m_rechecking) return std::abs(delay - m_confirmedDelay) <= kConfirmedWithin;
    return m_framesSinceConfirmed <= kConfirmationFrames &&
           std::fabs(double(delay) - DriftedConfirmedDelay()) <= double(kConfirmedWithin);
  }

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
  // Frames in the reliable state after which a tracked delay snaps.
  uint64_t SnapFrames() const;

  // The frame's output: samples, header and level alignment; returns the fetch code.
  int WriteFrameOutput(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], MONITORDATA* monitor,
                       int32_t highBits);
  int FetchOutputSamples(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], int allowPadding);
  void ApplyLevelAlignment(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2], int fetchCode);
  void WriteUnwrittenFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc);

  // A correlator set's transform failed since the run began: no delay
  // it gives stands.
  bool CorrelatorsFailed() const { return m_searchSet.Failed() || m_recheckSet.Failed(); }

  // Search, re-check and tracking.
  void PreviousBlockEnergies(float* refEnergy, float* testEnergy) const;
  int DetermineDelay();
  int RecheckDelay(int* quality, MONITORDATA* monitor);
  int TrackVariableDelay(FRAMEDATA* frame, MONITORDATA* monitor);

  // The steps of a re-check: feed the newest blocks aligned by the delay
  // in force, judge the peak found, show what was seen.
  struct RecheckTrace {
    bool ran = false;
    float atCurrent = 0.0f;
    float pickQuality = 0.0f;
    int refEnd = 0;
    int testEnd = 0;
  };
  void FeedRecheck(float refEnergy, float testEnergy, int* refEnd, int* testEnd);
  int JudgeRecheckPick(const CORRRESULT& pick, float atCurrent);
  void AddRecheckMonitor(MONITORDATA* monitor, const RecheckTrace& trace) const;

  // The steps of tracking: whether the newest block's peak at offset o
  // (quality q, against v at the delay kept) is a step to take, and taking it.
  bool TakesTrackingStep(int32_t o, float q, double v) const;
  bool ApplyTrackingStep(int32_t o, float q);

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

  MathlibHandle* m_mathlib = nullptr;
  CDelayBuffer* m_delayBuffer = nullptr;
  uint32_t m_outputLen = 0;
  uint32_t m_frameLen = 0;
  int m_state = DELCOMP_FILLINGBUFFERS;
  uint32_t m_stateFrames = 0;
  int m_recheckRan = 0;
  int m_trackingMode = 0;
  int m_swapTestChannels = 0;
  int m_delay = 0;
  int32_t m_status = 0;
  int m_quality = 0;
  int m_refDelay = 0;
  int m_testDelay = 0;
  int m_delayValid = 0;
  SYSPARA* m_sys = nullptr;
  uint32_t m_searchBlock = 0;
  uint32_t m_searchWindow = 0;
  int64_t m_maxDelaySamples = 0;  // the asked range: a delay found beyond it is not reliable
  CEnergyHistory m_energy;
  int m_activeBlocks = 0;
  float m_gain = 1.0f;
  CCorrelatorSet m_searchSet;
  CCorrelatorSet m_recheckSet;
  CORRRESULT* m_result = nullptr;
  CTrackMean m_trackMean;
  // Samples a delay may lie off the one confirmed and still count as it: a
  // drifting delay moves on between re-checks, a look-alike lies a pitch
  // period (tens of samples) away.
  static constexpr int kConfirmedWithin = 3;
  // The delay a reliable search confirmed, or the peak a re-check found
  // where it confirmed the delay in force, if one did and no re-check has
  // rejected it since: only a frame at this delay is called reliable.
  bool m_confirmed = false;
  int m_confirmedDelay = 0;
  // The correlation it was confirmed at: a delay the tracker reached by a
  // larger step is confirmed only where it correlates about as well.
  float m_confirmedQuality = 0.0f;
  // Where the re-check runs, a confirmation holds for a few frames only: a
  // drifting delay moves on while the signal pauses too long to re-check.
  static constexpr uint32_t kConfirmationFrames = CCorrelatorSet::kHistoryBlocks;
  bool m_rechecking = false;
  uint32_t m_framesSinceConfirmed = 0;
  uint32_t m_framesSinceRecheck = 0;
  // The confirmed delay's movement and the frames it took: the drift per frame.
  CDriftMeasure m_drift;
  // The re-check sent the state back to the search, which has not
  // confirmed a delay since.
  bool m_searchRestarted = false;
  // A re-check rejected this delay, and nothing has confirmed a delay since.
  bool m_rejected = false;
  int m_rejectedDelay = 0;
  // The estimation channel of the last record taken, checked.
  int m_estimationChannel = 0;
  int32_t m_fill = 0;
  int32_t m_ringLen = 1;
};
