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

int CDelayCompensationImpl::QualityPercent(double quality) {
  if (std::isnan(quality)) return 0;
  return int(std::clamp(quality, -100.0, 100.0));
}

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
  if (m_result == nullptr) return;
  if (withQuality) m_quality = QualityPercent(m_result->quality);
  m_delay = m_result->delay;
}

void CDelayCompensationImpl::HoldStatusToConfirmation() {
  if ((m_status & 0xFFFF) == DELAY_STATUS_RELIABLE && !ConfirmedAt(m_delay))
    m_status = (m_status & int32_t(0xFFFF0000u)) | DELAY_STATUS_UNCERTAIN;
}

void CDelayCompensationImpl::HoldDelay() {
  TakeResult(true);
  m_status = DELAY_STATUS_HELD;
}

void CDelayCompensationImpl::EndInputBeforeDelay() {
  VANTREL_TRACE(TRACE_ORDINARY,
                "CDelayCompensationImpl::ProcessFrame, WARNING!!! EOF encountered before delay was found!\n");
  m_status = DELAY_STATUS_UNCERTAIN;
  m_state = DELCOMP_DELAYRELIABLE;
  Unconfirm();
  if (m_result == nullptr) m_quality = 0;
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
  m_quality = 0;
  m_delay = 0;
  m_status = DELAY_STATUS_CALCULATING;
}

void CDelayCompensationImpl::StepCalcDelay(bool busy, MONITORDATA* monitor) {
  STATE_TRACE("DELCOMP_CALCDELAY");
  // A search the re-check sent back to shows, until it confirms a delay,
  // the delay the tracker goes on following.
  const bool restarted = m_searchRestarted;
  if (!busy) {
    CountUp(m_stateFrames);
    int next = DetermineDelay();
    // The delay the re-check rejected counts only once every block in the
    // search's history, and the stretch it matched at that delay, came
    // after the search started again.
    const uint64_t reach = uint64_t(m_searchBlock) + uint64_t(std::abs(int64_t(m_rejectedDelay)));
    const uint64_t renewed = CCorrelatorSet::kHistoryBlocks + (reach + m_frameLen - 1) / m_frameLen;
    if (next == DELCOMP_DELAYRELIABLE && m_rejected &&
        std::abs(m_result->delay - m_rejectedDelay) <= kConfirmedWithin && m_stateFrames < renewed)
      next = m_state;
    if (next != m_state) {
      if (m_searchRestarted) {
        // The re-check's history is aligned by the rejected delay.
        m_recheckSet.ClearHistory();
        m_searchRestarted = false;
      }
      m_stateFrames = 0;
      // A delay the search found starts the drift's measure afresh.
      m_drift.Forget();
      Confirm(m_result->delay, m_result->quality);
    } else if (restarted) {
      // The re-check goes on at the delay the tracker follows (a search
      // over long blocks cannot settle a fast drift); where it confirms
      // that delay, the search ends as with a delay of its own.
      m_result->delay = m_delay;
      m_result->quality = float(m_quality);
      if (RecheckDelay(&m_quality, monitor) == DELCOMP_DELAYRELIABLE && ConfirmedAt(m_delay)) {
        next = DELCOMP_DELAYRELIABLE;
        m_searchRestarted = false;
        m_stateFrames = 0;
      }
    }
    m_state = next;
  }
  if (restarted && m_state == DELCOMP_CALCDELAY) {
    if (m_result != nullptr) m_result->delay = m_delay;
  } else if (m_searchSet.HasPeak()) {
    TakeResult(true);
  }
  m_status = DELAY_STATUS_CALCULATING;
}

void CDelayCompensationImpl::StepDelayReliable(bool busy, MONITORDATA* monitor) {
  STATE_TRACE("DELCOMP_DELAYRELIABLE");
  CountUp(m_stateFrames);
  if (m_trackingMode != 0) {
    const int next = busy ? m_state : RecheckDelay(&m_quality, monitor);
    if (next != DELCOMP_NOCHANGE) {
      m_state = next;
      if (next != DELCOMP_DELAYRELIABLE) m_stateFrames = 0;
      if (m_stateFrames >= SnapFrames() && m_sys->delayPara.snapEnable != 0) m_state = DELCOMP_SNAP;
    }
  } else {
    m_quality = m_result != nullptr ? QualityPercent(m_result->quality) : 0;
  }
  TakeResult(false);
  m_status = DELAY_STATUS_RELIABLE;
  HoldStatusToConfirmation();
}

void CDelayCompensationImpl::StepDelayUncertain(MONITORDATA* monitor) {
  STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
  CountUp(m_stateFrames);
  if (m_trackingMode == 0) {
    // The second line is intended: a file-mode frame in this state has
    // always traced it twice, and existing trace logs read so.
    STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
    m_status = DELAY_STATUS_UNCERTAIN;
    TakeResult(true);
    return;
  }
  const int next = RecheckDelay(&m_quality, monitor);
  TakeResult(false);
  if (next == DELCOMP_NOCHANGE) {
    m_status = DELAY_STATUS_UNCERTAIN;
  } else if (next != DELCOMP_DELAYUNCERTAIN) {
    m_state = next;
    m_stateFrames = 0;
    m_status = DELAY_STATUS_RELIABLE;
    HoldStatusToConfirmation();
  } else if (m_stateFrames > kUncertainFramesBeforeSearch) {
    // The search starts afresh: its history holds blocks of the time it
    // last ran, at whatever delay held then.
    m_searchSet.ClearHistory();
    m_searchRestarted = true;
    Unconfirm();
    m_state = DELCOMP_CALCDELAY;
    m_stateFrames = 0;
    m_status = DELAY_STATUS_CALCULATING;
  } else {
    m_status = DELAY_STATUS_UNCERTAIN;
  }
}

void CDelayCompensationImpl::StepSnap() {
  STATE_TRACE("DELCOMP_SNAP");
  TakeResult(true);
  m_status = DELAY_STATUS_SNAPPED;
  DELAYPARAEXT& delayPara = m_sys->delayPara;
  if (delayPara.unsnapRequest != 0) {
    m_status = DELAY_STATUS_UNCERTAIN;
    m_state = DELCOMP_DELAYUNCERTAIN;
    m_stateFrames = 0;
    delayPara.unsnapRequest = 0;
  }
}

void CDelayCompensationImpl::StepFixed() {
  STATE_TRACE("default");
  m_quality = FIXED_DELAY_QUALITY;
  m_status = DELAY_STATUS_FIXED;
  m_delay = m_sys->delayPara.fixedDelay;
}

uint64_t CDelayCompensationImpl::SnapFrames() const {
  const SYSPARA& sys = *m_sys;
  return uint64_t(uint32_t(sys.inputPara[0].wave.sampleRate)) * uint32_t(sys.delayPara.snapTimeMs) /
         (uint64_t(m_frameLen) * 1000u);
}
