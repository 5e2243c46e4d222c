#include "Vantrel/frontend/DelayConfirmation.h"

void CDelayConfirmation::Confirm(int delay, float quality, ConfirmedBy by, SampleSpan blocks) {
  m_by = by;
  m_awaitsRecheck = false;
  m_blocks = blocks;
  if (by == ConfirmedBy::Search) m_rooted = true;
  m_drift.Confirmation(double(delay) - double(m_delay), double(m_framesSince), double(kDriftStep));
  m_confirmed = true;
  m_framesSince = 0;
  m_delay = delay;
  m_quality = std::fabs(quality);
  m_rejected = false;
}

void CDelayConfirmation::Reject(int delay) {
  Unconfirm();
  m_rejected = true;
  m_rejectedDelay = delay;
}

bool CDelayConfirmation::At(int delay) const {
  if (!m_confirmed) return false;
  if (!m_rechecking) return std::abs(delay - m_delay) <= kWithin;
  return Fresh() && std::fabs(double(delay) - Drifted()) <= double(kWithin);
}

double CDelayConfirmation::Drifted() const {
  const double perFrame = DriftPerFrame();
  const double behind = std::fabs(perFrame) >= CDriftMeasure::kNoticeable ? std::copysign(0.5, perFrame) : 0.0;
  return double(m_delay) + behind + perFrame * double(m_framesSince);
}

bool CDelayConfirmation::StaleMean(int64_t found) const {
  const double offDrift = std::fabs(double(found) - Drifted());
  return Drifting() && Fresh() && offDrift > double(kWithin) && offDrift <= double(kDriftStep);
}

bool CDelayConfirmation::PredictThroughPause(int64_t* predicted) const {
  // Only for as long as a confirmation holds: beyond it the drift may
  // have ended or turned.
  if (!Drifting() || !m_confirmed || !Fresh()) return false;
  *predicted = std::llround(Drifted());
  return true;
}

ConfirmationEvidence CDelayConfirmation::Evidence() const {
  ConfirmationEvidence evidence;
  if (!m_confirmed) return evidence;
  evidence.by = m_by;
  evidence.delay = m_delay;
  evidence.rootedInSearch = m_rooted;
  evidence.awaitsRecheck = m_awaitsRecheck;
  evidence.blocks = m_blocks;
  return evidence;
}
