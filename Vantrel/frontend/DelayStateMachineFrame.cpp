// The delay state machine's frame: the hold, the end of the input, one step
// of the state, the tracking of a varying delay, the pauses, and the gate's
// decision; then, once the stage has fetched, the frame's second half.
#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/DelayStateMachine.h"

FrameStep CDelayStateMachine::Step(const FrameFacts& facts) {
  const DelayAsks& asks = facts.asks;
  BeginFrame(Tracked(asks));
  FrameStep step;
  const bool held = asks.hold && m_state != DELCOMP_FILLINGBUFFERS;
  // The first search, before any delay was found (a search the re-check
  // restarted goes on from one).
  const bool searching = m_state == DELCOMP_FILLINGBUFFERS || (m_state == DELCOMP_CALCDELAY && !m_searchRestarted);
  // The block in which the input ends is partly padding: it decides
  // nothing about a delay a frame already carries.
  const bool lastBlock = facts.inputEnded && !searching && StatusWord(m_reading.status) != 0;
  if (held) {
    HoldDelay();
  } else if (facts.inputEnded && searching) {
    EndInputBeforeDelay();
  } else if (!lastBlock) {
    const bool filling = m_state == DELCOMP_FILLINGBUFFERS;
    StepDelayState(facts, &step);
    // Nothing can be fetched before the ring has filled.
    step.fetches = !filling;
  }
  step.failed = m_estimator.Failed();
  if (step.fetches && !step.failed) {
    // A held or fixed delay stays where it is; before a search has found
    // a delay, the tracker has none to follow.
    const bool delayFound = m_state != DELCOMP_CALCDELAY || m_searchRestarted;
    TrackReport track;
    if (asks.tracker && m_estimator.Result() != nullptr && facts.handsOut && !held && !facts.inputEnded &&
        m_state != DELCOMP_FIXED && delayFound)
      track = TrackVariableDelay(facts);
    if (!lastBlock) {
      NotePause(facts);
      DecideReliable(facts, track);
    }
  }
  step.reading = m_reading;
  return step;
}

void CDelayStateMachine::BeginFrame(bool tracked) {
  m_marks = m_reading.status & kStatusMarks;
  m_reading.status = StatusWord(m_reading.status);
  m_estimator.NextFrame();
  m_confirmation.NextFrame(tracked);
  m_gate.BeginFrame();
}

void CDelayStateMachine::StepDelayState(const FrameFacts& facts, FrameStep* step) {
  switch (m_state) {
    case DELCOMP_FILLINGBUFFERS: StepFillingBuffers(facts.ringFull); break;
    case DELCOMP_CALCDELAY: StepCalcDelay(facts); break;
    case DELCOMP_DELAYRELIABLE: StepDelayReliable(facts); break;
    case DELCOMP_DELAYUNCERTAIN: StepDelayUncertain(facts); break;
    case DELCOMP_SNAP: StepSnap(facts.asks, step); break;
    default: StepFixed(facts.asks.fixedDelay); break;
  }
}

TrackReport CDelayStateMachine::TrackVariableDelay(const FrameFacts& facts) {
  CDelayTracker::NameMonitorEntry(facts.monitor);
  // The tracker reads the re-check's newest block: the re-check is fed in
  // this frame, whatever it answers.
  if (!m_estimator.RecheckRan()) Recheck(facts);
  TrackingLimits limits;
  limits.maxStep = facts.asks.maxTrackingStep;
  limits.maxDelay = m_settings.maxDelay;
  limits.ringRoom = facts.ringRoom;
  return m_tracker.Track(facts.blocks.refEnergy, facts.blocks.testEnergy, limits, &m_reading, facts.monitor);
}

void CDelayStateMachine::NotePause(const FrameFacts& facts) {
  if (!Tracked(facts.asks) || !(m_estimator.RecheckRan() || m_estimator.RecheckWeak())) return;
  // A pause as long as half the re-check's history may hide a step that
  // the mean of its blocks would not show: the blocks before it vouch for
  // nothing after it. Gaps between words are shorter.
  const int64_t frame = int64_t(m_settings.frameLength);
  const int64_t pauseSamples = int64_t(CCorrelatorSet::kHistoryBlocks / 2) * frame;
  const int64_t blockFirst = AlignedEnd(facts) - frame;
  if (m_gate.NoteBlocks(m_estimator.RecheckWeak(), blockFirst, pauseSamples)) m_estimator.PauseEnded(m_gate.PauseEnd());
}

void CDelayStateMachine::DecideReliable(const FrameFacts& facts, const TrackReport& track) {
  ReliableEvidence evidence;
  evidence.tracked = Tracked(facts.asks);
  evidence.confirmation = m_confirmation.Evidence();
  evidence.drift = m_confirmation.DriftNow(m_settings.frameLength);
  evidence.maxDelay = m_settings.maxDelay;
  evidence.pauseEnd = m_gate.PauseEnd();
  evidence.inPause = evidence.tracked && m_gate.InPause(AlignedEnd(facts));
  if (evidence.tracked) m_estimator.JudgeFrameAt(facts.blocks, m_settings.frameLength, m_reading.delay);
  evidence.blocksSayOtherwise = m_estimator.NewestBlockDisagrees() || m_estimator.SeesLookAlikes() || track.belowMean;
  FrameEvidence& frame = evidence.frame;
  frame.delay = m_reading.delay;
  frame.quality = m_reading.quality;
  const int64_t end = AlignedEnd(facts);
  frame.samples = {end - int64_t(m_settings.outputLength), end};
  frame.realSamples =
      facts.realSamples ? int64_t(facts.realSamples(m_reading.delay)) : frame.samples.end - frame.samples.first;
  if (!evidence.tracked) {
    // The sparse check's looks come seconds apart; a step shows at once in
    // the frames' own samples, which then doubt the delay. Padding before
    // an input's start or past its end is no silence of the signal.
    FrameAtDelay own = m_estimator.JudgeUntrackedFrame(facts.blocks, m_settings.frameLength);
    if (frame.realSamples < frame.samples.end - frame.samples.first) own = FrameAtDelay::Quiet;
    if (!CheckHolds(facts, end, own) || own == FrameAtDelay::Unpaired) evidence.blocksSayOtherwise = true;
  }
  frame.predicted = track.predicted;
  if (evidence.tracked) frame.strongQuality = m_estimator.StrongAtDelay();
  m_reading.status = m_gate.Decide(evidence, m_reading.status);
}

bool CDelayStateMachine::CheckHolds(const FrameFacts& facts, int64_t frameEnd, FrameAtDelay own) {
  // Only a delay a search confirmed is looked at; the frames of any other
  // say uncertain anyway.
  const CORRRESULT* result = m_estimator.Result();
  if (m_state != DELCOMP_DELAYRELIABLE || result == nullptr || !m_confirmation.Confirmed() || !facts.handsOut)
    return true;
  if (m_searchLeft.moved && m_searchLeft.from == m_reading.delay) m_check.FailFromStart(m_searchLeft);
  m_check.Note(facts.blocks, m_reading.delay, result->quality, m_confirmation.Evidence().blocks.end);
  m_check.NoteFrame(own, m_settings.frameLength, frameEnd);
  return m_check.Holds(frameEnd);
}

int32_t CDelayStateMachine::FinishFrame(bool clamped, int64_t realSamples) {
  if (clamped && m_reading.status != DELAY_STATUS_CALCULATING) m_reading.status = DELAY_STATUS_CLAMPED;
  m_reading.status |= m_marks;
  return CReliableGate::WithoutPadding(m_reading.status, realSamples, m_settings.outputLength);
}
