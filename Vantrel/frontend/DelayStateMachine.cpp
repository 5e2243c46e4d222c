// The delay state machine: one step per frame, one function per state. Each
// step traces its state, moves to the next one and sets the delay, quality
// and status that the frame reports.
#include <algorithm>
#include <cmath>

#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"

namespace {

constexpr int32_t kBusyPercent = 9;
// Uncertain re-checks in a row before the search starts over.
constexpr uint32_t kUncertainFramesBeforeSearch = 3;

#define STATE_TRACE(name) VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::ProcessFrame, state = " name "\n")

}  // namespace

bool CDelayCompensationImpl::RealtimeInputBusy() {
  const int32_t* used = GetUsedInputs();
  if (used == nullptr) return false;
  for (int input = 0; input < 2; ++input) {
    const int mode = m_sys->inputPara[input].mode;
    if (IsRealtimeInput(mode) && used[input] > kBusyPercent) return true;
  }
  return false;
}

void CDelayCompensationImpl::TakeResult(bool withQuality) {
  const CORRRESULT* result = m_estimator.Result();
  if (result == nullptr) return;
  if (withQuality) m_reading.quality = QualityPercent(result->quality);
  m_reading.delay = result->delay;
}

void CDelayCompensationImpl::HoldDelay() {
  TakeResult(true);
  m_reading.status = DELAY_STATUS_HELD;
}

void CDelayCompensationImpl::EndInputBeforeDelay() {
  VANTREL_TRACE(TRACE_ORDINARY,
                "CDelayCompensationImpl::ProcessFrame, WARNING!!! EOF encountered before delay was found!\n");
  m_reading.status = DELAY_STATUS_UNCERTAIN;
  m_state = DELCOMP_DELAYRELIABLE;
  m_confirmation.LeaveOpen();
  if (m_estimator.Result() == nullptr) m_reading.quality = 0;
}

void CDelayCompensationImpl::StepDelayState(bool busy, MONITORDATA* monitor) {
  switch (m_state) {
    case DELCOMP_FILLINGBUFFERS: StepFillingBuffers(); break;
    case DELCOMP_CALCDELAY: StepCalcDelay(busy, monitor); break;
    case DELCOMP_DELAYRELIABLE: StepDelayReliable(busy, monitor); break;
    case DELCOMP_DELAYUNCERTAIN: StepDelayUncertain(monitor); break;
    case DELCOMP_SNAP: StepSnap(); break;
    default: StepFixed(); break;
  }
}

void CDelayCompensationImpl::StepFillingBuffers() {
  STATE_TRACE("DELCOMP_FILLINGBUFFERS");
  int fill = 0;
  int ring = 0;
  m_delayBuffer->GetFill(&fill, &ring);
  if (fill >= ring) m_state = DELCOMP_CALCDELAY;
  m_stateFrames = 0;
  m_reading.quality = 0;
  m_reading.delay = 0;
  m_reading.status = DELAY_STATUS_CALCULATING;
}

void CDelayCompensationImpl::StepCalcDelay(bool busy, MONITORDATA* monitor) {
  STATE_TRACE("DELCOMP_CALCDELAY");
  // A search the re-check sent back to shows, until it confirms a delay,
  // the delay the tracker goes on following.
  const bool restarted = m_searchRestarted;
  if (!busy) {
    CountUp(m_stateFrames);
    int next = DetermineDelay();
    CORRRESULT& result = *m_estimator.Result();
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
      m_confirmation.Confirm(result.delay, result.quality, ConfirmedBy::Search, m_estimator.SearchSpan(result.delay));
      // A search the re-check sent back to that jumps off the delay in
      // force with a near-tie elsewhere may have averaged a drifting delay
      // into a look-alike a pitch period off.
      if (restarted)
        m_confirmation.AwaitRecheck(std::abs(result.delay - m_reading.delay) > CDelayConfirmation::kDriftStep &&
                                    m_estimator.SearchPeakNearTie());
    } else if (restarted) {
      // A search that judged the delay and left it open (a near-tie,
      // beyond the range) leaves it to a search to confirm.
      const int32_t open = CORR_AMBIGUOUS | CORR_BEYOND_RANGE;
      if ((result.flags & CORR_ENOUGH_DATA) != 0 && (result.flags & open) != 0) m_confirmation.LeaveOpen();
      // The re-check goes on at the delay the tracker follows (a search
      // over long blocks cannot settle a fast drift); where it confirms
      // that delay, the search ends as with a delay of its own.
      result.delay = m_reading.delay;
      result.quality = float(m_reading.quality);
      // A delay the search left open stays with the search.
      if (RecheckDelay(&m_reading.quality, monitor) == DELCOMP_DELAYRELIABLE && m_confirmation.Rooted() &&
          m_confirmation.At(m_reading.delay)) {
        next = DELCOMP_DELAYRELIABLE;
        m_searchRestarted = false;
        m_stateFrames = 0;
      }
    }
    m_state = next;
  }
  if (restarted && m_state == DELCOMP_CALCDELAY) {
    if (m_estimator.Result() != nullptr) m_estimator.Result()->delay = m_reading.delay;
  } else if (m_estimator.SearchHasPeak()) {
    TakeResult(true);
  }
  m_reading.status = DELAY_STATUS_CALCULATING;
}

bool CDelayCompensationImpl::StillRejected(int delay) const {
  // The delay the re-check rejected counts only once every block in the
  // search's history, and the stretch it matched at that delay, came
  // after the search started again.
  const int rejected = m_confirmation.RejectedDelay();
  if (!m_confirmation.Rejected() || std::abs(delay - rejected) > CDelayConfirmation::kWithin) return false;
  const uint64_t reach = uint64_t(m_searchBlock) + uint64_t(std::abs(int64_t(rejected)));
  const uint64_t renewed = CCorrelatorSet::kHistoryBlocks + (reach + m_frameLen - 1) / m_frameLen;
  return m_stateFrames < renewed;
}

void CDelayCompensationImpl::StepDelayReliable(bool busy, MONITORDATA* monitor) {
  STATE_TRACE("DELCOMP_DELAYRELIABLE");
  CountUp(m_stateFrames);
  if (m_trackingMode != 0) {
    const int next = busy ? m_state : RecheckDelay(&m_reading.quality, monitor);
    if (next != DELCOMP_NOCHANGE) {
      m_state = next;
      if (next != DELCOMP_DELAYRELIABLE) m_stateFrames = 0;
      if (m_stateFrames >= SnapFrames() && m_sys->delayPara.snapEnable != 0) m_state = DELCOMP_SNAP;
    }
  } else {
    const CORRRESULT* result = m_estimator.Result();
    m_reading.quality = result != nullptr ? QualityPercent(result->quality) : 0;
  }
  TakeResult(false);
  m_gate.Vouch();
}

void CDelayCompensationImpl::StepDelayUncertain(MONITORDATA* monitor) {
  STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
  CountUp(m_stateFrames);
  if (m_trackingMode == 0) {
    // The second line is intended: a file-mode frame in this state has
    // always traced it twice, and existing trace logs read so.
    STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
    m_reading.status = DELAY_STATUS_UNCERTAIN;
    TakeResult(true);
    return;
  }
  const int next = RecheckDelay(&m_reading.quality, monitor);
  TakeResult(false);
  if (next == DELCOMP_NOCHANGE) {
    m_reading.status = DELAY_STATUS_UNCERTAIN;
  } else if (next != DELCOMP_DELAYUNCERTAIN) {
    m_state = next;
    m_stateFrames = 0;
    m_gate.Vouch();
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

void CDelayCompensationImpl::StepSnap() {
  STATE_TRACE("DELCOMP_SNAP");
  TakeResult(true);
  m_reading.status = DELAY_STATUS_SNAPPED;
  DELAYPARAEXT& delayPara = m_sys->delayPara;
  if (delayPara.unsnapRequest != 0) {
    m_reading.status = DELAY_STATUS_UNCERTAIN;
    m_state = DELCOMP_DELAYUNCERTAIN;
    m_stateFrames = 0;
    delayPara.unsnapRequest = 0;
  }
}

void CDelayCompensationImpl::StepFixed() {
  STATE_TRACE("default");
  m_reading.quality = FIXED_DELAY_QUALITY;
  m_reading.status = DELAY_STATUS_FIXED;
  m_reading.delay = m_sys->delayPara.fixedDelay;
}

uint64_t CDelayCompensationImpl::SnapFrames() const {
  const SYSPARA& sys = *m_sys;
  return uint64_t(uint32_t(sys.inputPara[0].wave.sampleRate)) * uint32_t(sys.delayPara.snapTimeMs) /
         (uint64_t(m_frameLen) * 1000u);
}
