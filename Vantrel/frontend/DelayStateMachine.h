// The delay state machine: one Step per frame, from the facts the stage read
// (busy, input ended, hold asked, the newest blocks, the frame's span and
// its real samples) to the frame's reading (delay, status, quality). It owns
// the state, its frame count, the restart mark and the reading; its evidence
// sources (the search and re-check with their result, the confirmation, the
// tracker, and the gate with the one rule that calls a frame reliable); and
// its settings (range, search block, tracking mode). The states' steps are in
// DelayStateMachine.cpp, the frame's step, hold, tracking and decision in
// DelayStateMachineFrame.cpp, the start-up search's hand-overs in
// DelayStateMachineStart.cpp.
//
// Every status word is final when Step returns but for one second half,
// FinishFrame, which the stage calls once it has fetched the samples: a
// fetch that clamped the delay says "clamped", the status marks come back,
// and a frame holding padding is never reliable.
#pragma once

#include <cstdint>
#include <functional>

#include "Vantrel/frontend/DelayCheck.h"
#include "Vantrel/frontend/DelayConfirmation.h"
#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/DelayTracker.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/ReliableGate.h"

struct MONITORDATA;

// What the machine is set up with at Init.
struct DelayMachineSettings {
  // 1: the delay is re-checked as the inputs go on (live inputs, or tracking asked).
  int trackingMode = 0;
  int64_t maxDelay = 0;  // the asked range, in samples: a delay beyond it is not reliable
  uint32_t searchBlock = 0;
  uint32_t frameLength = 0;   // samples the stage reads per frame
  uint32_t outputLength = 0;  // samples of each signal a frame hands out
  int sampleRate = 0;         // of the inputs, for the delay check's intervals
};

// What the record asks in this frame.
struct DelayAsks {
  bool hold = false;     // keep the delay where it is
  bool unsnap = false;   // free a snapped delay
  bool tracker = false;  // follow a varying delay in small steps
  bool snap = false;     // snap a delay reliable for snapFrames
  uint64_t snapFrames = 0;
  bool anySign = false;  // an inverted test counts for the search
  int fixedDelay = 0;
  int64_t maxTrackingStep = 0;
};

// What the stage read in this frame.
struct FrameFacts {
  DelayAsks asks;
  bool busy = false;        // a real-time input is busy: the search waits
  bool inputEnded = false;  // an input ended within this frame's block
  bool ringFull = false;    // the ring has filled: the search may start
  bool handsOut = true;     // a frame is handed out (the tracker steps only then)
  EstimationBlocks blocks;  // the newest blocks; blocks.streamEnd places the frame
  int64_t ringRoom = 0;     // the largest delay the ring holds
  // The frame's samples that hold input of every signal, at a delay.
  std::function<uint32_t(int delay)> realSamples;
  MONITORDATA* monitor = nullptr;
};

// What a Step gives the stage.
struct FrameStep {
  DelayReading reading;
  bool fetches = true;       // false while the ring fills: nothing to fetch yet
  bool failed = false;       // a transform failed: no delay stands in this run
  bool unsnapTaken = false;  // the unsnap request was served
};

// A start-up search run's result, kept while another run tries to do better.
struct SearchRecord {
  int32_t delay = 0;
  float quality = 0.0f;
  int state = DELCOMP_FILLINGBUFFERS;
  bool confirmed = false;
  SampleSpan blocks;
  DelayMove left;  // see CDelayStateMachine::SearchDelayLeft
};

class FRONT_END_INTERNAL CDelayStateMachine {
 public:
  CDelayStateMachine() = default;
  CDelayStateMachine(const CDelayStateMachine&) = delete;
  CDelayStateMachine& operator=(const CDelayStateMachine&) = delete;

  void Configure(const DelayMachineSettings& settings) { m_settings = settings; }
  // Sets the delay check up for the settings: false when memory runs out
  // (noted). Without the tracker it says where the one delay stops holding.
  bool PrepareCheck() { return m_check.Configure(m_settings.searchBlock, m_settings.sampleRate); }
  // Where the check found the one delay moved, without the tracker.
  const DelayMove& CheckedMove() const { return m_check.Move(); }
  // The stretch after the search found the delay gone from its pick
  // (SearchSettle.h): without the tracker no frame is reliable at it, and
  // the check has failed from the start with `move`.
  void SearchDelayLeft(const DelayMove& move) { m_searchLeft = move; }
  const DelayMachineSettings& Settings() const { return m_settings; }
  // The search and re-check, for their set-up and read access.
  CDelayEstimator& Estimator() { return m_estimator; }
  const CDelayEstimator& Estimator() const { return m_estimator; }

  // One frame.
  FrameStep Step(const FrameFacts& facts);
  // The second half of a frame's status, once its samples are fetched:
  // the status the frame is handed out with.
  int32_t FinishFrame(bool clamped, int64_t realSamples);

  // A new run owes nothing to the last one: no delay, result, confirmation,
  // pause nor qualities tracked.
  void NewRun();
  // The run's first state: the search, or the fixed delay.
  void EnterFirstState(bool compensationOn);

  // The start-up search over the start of file inputs.
  // A search that confirmed a delay looks on for a better one.
  void SearchOn() { m_state = DELCOMP_CALCDELAY; }
  // The search starts again from nothing (the test's channels swapped).
  void RestartSearch();
  SearchRecord SaveSearch() const;
  void RestoreSearch(const SearchRecord& record);
  // The search's pick moves to a delay a longer stretch of the signals
  // peaks at, with the pick's quality; the search confirmed that delay.
  void SettleSearchAt(int32_t delay);
  // The search ended without confirming a delay: the best it found stands, uncertain.
  void EndSearchUnconfirmed();
  // Marks above the status word, which every frame carries.
  void SetMarks(int32_t marks) { m_reading.status |= marks; }
  void ClearMarks(int32_t marks) { m_reading.status &= ~marks; }
  // The delay of the run's first frame.
  int FirstFrameDelay(int fixedDelay) const;

  int State() const { return m_state; }
  uint32_t StateFrames() const { return m_stateFrames; }
  bool SearchRestarted() const { return m_searchRestarted; }
  const DelayReading& Reading() const { return m_reading; }
  // Test seam: a state held for any number of frames, without running them.
  void SetStateFramesForTesting(uint32_t frames) { m_stateFrames = frames; }

 private:
  bool Tracked(const DelayAsks& asks) const { return m_settings.trackingMode != 0 || asks.tracker; }
  // Where the reference samples paired at the delay end, now.
  int64_t AlignedEnd(const FrameFacts& facts) const {
    return facts.blocks.streamEnd + (m_reading.delay < 0 ? int64_t(m_reading.delay) : 0);
  }
  void BeginFrame(bool tracked);

  // The states' steps.
  void TakeResult(bool withQuality);
  void HoldDelay();
  void EndInputBeforeDelay();
  void StepDelayState(const FrameFacts& facts, FrameStep* step);
  void StepFillingBuffers(bool ringFull);
  void StepCalcDelay(const FrameFacts& facts);
  // A search the re-check sent back to, confirming nothing new yet: the
  // re-check goes on at the delay the tracker follows.
  int RecheckWhileRestarted(const FrameFacts& facts, int next);
  void StepDelayReliable(const FrameFacts& facts);
  void StepDelayUncertain(const FrameFacts& facts);
  void StepSnap(const DelayAsks& asks, FrameStep* step);
  void StepFixed(int fixedDelay);
  // A delay the search found near the one the re-check rejected, before
  // the search's blocks have all come after that rejection.
  bool StillRejected(int delay) const;
  int Recheck(const FrameFacts& facts);

  // The frame's tracking and decision.
  TrackReport TrackVariableDelay(const FrameFacts& facts);
  // Notes a pause of the signal after the re-check; at its end the
  // re-check's blocks from before it are dropped.
  void NotePause(const FrameFacts& facts);
  void DecideReliable(const FrameFacts& facts, const TrackReport& track);
  // Without the tracker: the check at the one delay, told how the frame's
  // own samples stand there (`own`), still holds for the frame whose
  // aligned samples end at `frameEnd`.
  bool CheckHolds(const FrameFacts& facts, int64_t frameEnd, FrameAtDelay own);

  DelayMachineSettings m_settings;
  int m_state = DELCOMP_FILLINGBUFFERS;
  uint32_t m_stateFrames = 0;
  // The re-check sent the state back to the search, which has not
  // confirmed a delay since.
  bool m_searchRestarted = false;
  DelayReading m_reading;
  // The marks the status carried into this frame, back in FinishFrame.
  int32_t m_marks = 0;
  // Declared in this order: the estimator and the tracker tell the
  // confirmation what they confirm, the tracker steps the estimator's result.
  CDelayConfirmation m_confirmation;
  CDelayEstimator m_estimator{m_confirmation};
  CDelayTracker m_tracker{m_estimator, m_confirmation};
  CReliableGate m_gate;
  CDelayCheck m_check;
  DelayMove m_searchLeft;
};
