// The delay state machine at the start of a run, and the hand-overs of the
// start-up search over the start of file inputs.
#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/DelayStateMachine.h"

void CDelayStateMachine::NewRun() {
  m_estimator.NewRun();
  m_reading = DelayReading{};
  m_searchRestarted = false;
  m_gate.ClearPauses();
  m_confirmation.Clear();
  m_check.Clear();
  m_searchLeft = DelayMove{};
}

void CDelayStateMachine::EnterFirstState(bool compensationOn) {
  m_state = compensationOn ? DELCOMP_FILLINGBUFFERS : DELCOMP_FIXED;
  m_stateFrames = 0;
  m_tracker.Clear();
}

void CDelayStateMachine::RestartSearch() {
  m_state = DELCOMP_FILLINGBUFFERS;
  m_estimator.RestartSearch();
  m_confirmation.Unconfirm();
  m_searchLeft = DelayMove{};
}

SearchRecord CDelayStateMachine::SaveSearch() const {
  SearchRecord record;
  const CORRRESULT& result = *m_estimator.Result();
  record.delay = result.delay;
  record.quality = result.quality;
  record.state = m_state;
  record.confirmed = m_confirmation.Confirmed() && m_confirmation.Delay() == result.delay;
  record.blocks = m_confirmation.Evidence().blocks;
  record.left = m_searchLeft;
  return record;
}

void CDelayStateMachine::RestoreSearch(const SearchRecord& record) {
  m_state = record.state;
  m_estimator.RestoreResult(record.delay, record.quality);
  m_searchLeft = record.left;
  if (record.confirmed)
    m_confirmation.Confirm(record.delay, record.quality, ConfirmedBy::Search, record.blocks);
  else
    m_confirmation.Unconfirm();
}

void CDelayStateMachine::SettleSearchAt(int32_t delay) {
  m_estimator.FollowDelay(delay);
  TakeResult(true);
  const SampleSpan blocks = m_confirmation.Evidence().blocks;
  // The search's confirmations before share their blocks: they measured
  // no drift from which to judge the step to this delay.
  m_confirmation.Clear();
  m_confirmation.Confirm(delay, m_estimator.Result()->quality, ConfirmedBy::Search, blocks);
}

void CDelayStateMachine::EndSearchUnconfirmed() {
  TakeResult(true);
  m_reading.status = DELAY_STATUS_UNCERTAIN;
  m_state = DELCOMP_DELAYRELIABLE;
  m_confirmation.LeaveOpen();
}

int CDelayStateMachine::FirstFrameDelay(int fixedDelay) const {
  if (m_state == DELCOMP_FIXED) return fixedDelay;
  const CORRRESULT* result = m_estimator.Result();
  return result != nullptr && m_state != DELCOMP_FILLINGBUFFERS ? result->delay : m_reading.delay;
}
