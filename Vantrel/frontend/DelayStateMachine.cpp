// The delay state machine's states: one function per state. Each step traces
// its state, moves to the next one and sets the delay, quality and status
// that the frame reports.
#include "Vantrel/frontend/DelayStateMachine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Vantrel/FrameData.h"
#include "Vantrel/VantrelTrace.h"

namespace {

// Uncertain re-checks in a row before the search starts over.
constexpr uint32_t kUncertainFramesBeforeSearch = 3;

// The trace lines keep the stage's name: existing trace logs read so.
#define STATE_TRACE(name) VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::ProcessFrame, state = " name "\n")

}  // namespace

void CDelayStateMachine::TakeResult(bool withQuality) {
  const CORRRESULT* result = m_estimator.Result();
  if (result == nullptr) return;
  if (withQuality) m_reading.quality = QualityPercent(result->quality);
  m_reading.delay = result->delay;
}

void CDelayStateMachine::HoldDelay() {
  TakeResult(true);
  m_reading.status = DELAY_STATUS_HELD;
}

void CDelayStateMachine::EndInputBeforeDelay() {
  VANTREL_TRACE(TRACE_ORDINARY,
                "CDelayCompensationImpl::ProcessFrame, WARNING!!! EOF encountered before delay was found!\n");
  m_reading.status = DELAY_STATUS_UNCERTAIN;
  m_state = DELCOMP_DELAYRELIABLE;
  m_confirmation.LeaveOpen();
  if (m_estimator.Result() == nullptr) m_reading.quality = 0;
}

int CDelayStateMachine::Recheck(const FrameFacts& facts) {
  return m_estimator.Recheck(facts.blocks, m_settings.frameLength, m_state, &m_reading.quality, facts.monitor);
}

void CDelayStateMachine::StepFillingBuffers(bool ringFull) {
  STATE_TRACE("DELCOMP_FILLINGBUFFERS");
  if (ringFull) m_state = DELCOMP_CALCDELAY;
  m_stateFrames = 0;
  m_reading.quality = 0;
  m_reading.delay = 0;
  m_reading.status = DELAY_STATUS_CALCULATING;
}

void CDelayStateMachine::StepCalcDelay(const FrameFacts& facts) {
  STATE_TRACE("DELCOMP_CALCDELAY");
  // A search the re-check sent back to shows, until it confirms a delay,
  // the delay the tracker goes on following.
  const bool restarted = m_searchRestarted;
  if (!facts.busy) {
    CountUp(m_stateFrames);
    int next =
        m_estimator.Search(facts.blocks, facts.asks.anySign, m_settings.maxDelay) ? DELCOMP_DELAYRELIABLE : m_state;
    const CORRRESULT& result = *m_estimator.Result();
    if (next == DELCOMP_DELAYRELIABLE && StillRejected(result.delay)) next = m_state;
    if (next != m_state) {
      if (m_searchRestarted) {
        // The re-check's history is aligned by the rejected delay.
        m_estimator.ClearRecheckHistory();
        m_searchRestarted = false;
      }
      m_stateFrames = 0;
      // The drift's measure goes on: a search confirmation off the line
      // restarts it, one on it (a search the re-check sent back to during
      // a drift) keeps the rate the gate allows for.
      const SampleSpan span = m_estimator.SearchSpan(result.delay);
      m_confirmation.Confirm(result.delay, result.quality, ConfirmedBy::Search, span);
      // The search's long blocks average a drifting delay.
      m_confirmation.ConfirmedAsMeanOver(double(span.end - span.first) / double(m_settings.frameLength));
      // A search the re-check sent back to whose pick has a near-tie
      // elsewhere may have averaged a drifting delay into a look-alike a
      // pitch period off, whether or not it moved the delay in force.
      if (restarted) m_confirmation.AwaitRecheck(m_estimator.SearchPeakNearTie());
    } else if (restarted) {
      next = RecheckWhileRestarted(facts, next);
    }
    m_state = next;
  }
  if (restarted && m_state == DELCOMP_CALCDELAY) {
    m_estimator.FollowDelay(m_reading.delay);
  } else if (m_estimator.SearchHasPeak()) {
    TakeResult(true);
  }
  m_reading.status = DELAY_STATUS_CALCULATING;
}

int CDelayStateMachine::RecheckWhileRestarted(const FrameFacts& facts, int next) {
  // A search that judged the delay and left it open (a near-tie, beyond
  // the range) leaves it to a search to confirm.
  const int32_t open = CORR_AMBIGUOUS | CORR_BEYOND_RANGE;
  const int32_t flags = m_estimator.Result()->flags;
  if ((flags & CORR_ENOUGH_DATA) != 0 && (flags & open) != 0) m_confirmation.LeaveOpen();
  // The re-check goes on at the delay the tracker follows (a search over
  // long blocks cannot settle a fast drift); where it confirms that delay,
  // the search ends as with a delay of its own.
  m_estimator.FollowDelay(m_reading.delay, float(m_reading.quality));
  // A delay the search left open stays with the search.
  if (Recheck(facts) == DELCOMP_DELAYRELIABLE && m_confirmation.Rooted() && m_confirmation.At(m_reading.delay)) {
    m_searchRestarted = false;
    m_stateFrames = 0;
    return DELCOMP_DELAYRELIABLE;
  }
  return next;
}

bool CDelayStateMachine::StillRejected(int delay) const {
  // The delay the re-check rejected counts only once every block in the
  // search's history, and the stretch it matched at that delay, came
  // after the search started again.
  const int rejected = m_confirmation.RejectedDelay();
  if (!m_confirmation.Rejected() || std::abs(delay - rejected) > CDelayConfirmation::kWithin) return false;
  const uint32_t frame = m_settings.frameLength;
  const uint64_t reach = uint64_t(m_settings.searchBlock) + uint64_t(std::abs(int64_t(rejected)));
  const uint64_t renewed = CCorrelatorSet::kHistoryBlocks + (reach + frame - 1) / frame;
  return m_stateFrames < renewed;
}

void CDelayStateMachine::StepDelayReliable(const FrameFacts& facts) {
  STATE_TRACE("DELCOMP_DELAYRELIABLE");
  CountUp(m_stateFrames);
  if (m_settings.trackingMode != 0) {
    const int next = facts.busy ? m_state : Recheck(facts);
    if (next != DELCOMP_NOCHANGE) {
      m_state = next;
      if (next != DELCOMP_DELAYRELIABLE) m_stateFrames = 0;
      if (m_stateFrames >= facts.asks.snapFrames && facts.asks.snap) m_state = DELCOMP_SNAP;
    }
  } else {
    const CORRRESULT* result = m_estimator.Result();
    m_reading.quality = result != nullptr ? QualityPercent(result->quality) : 0;
  }
  TakeResult(false);
  m_reading.status = m_gate.Vouch(m_reading.status);
}

void CDelayStateMachine::StepDelayUncertain(const FrameFacts& facts) {
  STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
  CountUp(m_stateFrames);
  if (m_settings.trackingMode == 0) {
    // The second line is intended: a file-mode frame in this state has
    // always traced it twice, and existing trace logs read so.
    STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
    m_reading.status = DELAY_STATUS_UNCERTAIN;
    TakeResult(true);
    return;
  }
  const int next = Recheck(facts);
  TakeResult(false);
  if (next == DELCOMP_NOCHANGE) {
    m_reading.status = DELAY_STATUS_UNCERTAIN;
  } else if (next != DELCOMP_DELAYUNCERTAIN) {
    m_state = next;
    m_stateFrames = 0;
    m_reading.status = m_gate.Vouch(m_reading.status);
  } else if (m_stateFrames > kUncertainFramesBeforeSearch) {
    // The search starts afresh: its history holds blocks of the time it
    // last ran, at whatever delay held then.
    m_estimator.ClearSearchHistory();
    m_searchRestarted = true;
    m_confirmation.Unconfirm();
    m_state = DELCOMP_CALCDELAY;
    m_stateFrames = 0;
    m_reading.status = DELAY_STATUS_CALCULATING;
  } else {
    m_reading.status = DELAY_STATUS_UNCERTAIN;
  }
}

void CDelayStateMachine::StepSnap(const DelayAsks& asks, FrameStep* step) {
  STATE_TRACE("DELCOMP_SNAP");
  TakeResult(true);
  m_reading.status = DELAY_STATUS_SNAPPED;
  if (asks.unsnap) {
    m_reading.status = DELAY_STATUS_UNCERTAIN;
    m_state = DELCOMP_DELAYUNCERTAIN;
    m_stateFrames = 0;
    step->unsnapTaken = true;
  }
}

void CDelayStateMachine::StepFixed(int fixedDelay) {
  STATE_TRACE("default");
  m_reading.quality = FIXED_DELAY_QUALITY;
  m_reading.status = DELAY_STATUS_FIXED;
  m_reading.delay = fixedDelay;
}
