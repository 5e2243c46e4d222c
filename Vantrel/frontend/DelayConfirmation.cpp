#include "Vantrel/frontend/DelayConfirmation.h"

void CDelayConfirmation::Confirm(int delay, float quality, ConfirmedBy by, SampleSpan blocks, int precision,
                                 bool atOneDelay) {
  m_by = by;
  m_precision = precision;
  m_awaitsRecheck = false;
  m_blocks = blocks;
  if (by == ConfirmedBy::Search) {
    m_rooted = true;
    m_bySearch = true;
    m_searchDelay = delay;
  }
  // A re-check's peak of a drifting delay places it a sample or three
  // either way (a broad peak, a mean of blocks aligned by the delays of
  // their time): the line of the drift moves on at the rate measured and
  // leans toward each such confirmation, so that a run of confirmations
  // of a delay the tracker left behind, or ran ahead of, does not walk it.
  const double onLine = m_line + DriftPerFrame() * double(m_framesSince);
  const bool alongLine = by == ConfirmedBy::Recheck && LineHolds() &&
                         std::fabs(double(delay) - onLine) <= double(kDriftStep);
  m_line = alongLine ? onLine + kLineLean * (double(delay) - onLine) : double(delay);
  // With no drift measured, a confirmation further than a peak's wander
  // from the delay placed exactly, over blocks all fed at it, is a step;
  // and a step is not a drift: the measure starts again from it.
  const bool step = !Drifting() && std::abs(delay - m_exact) > kWithin && atOneDelay;
  if (step) m_drift.Forget();
  m_drift.Confirmation(double(delay) - double(m_delay), double(m_framesSince), double(kDriftStep));
  const bool wander = by == ConfirmedBy::Recheck && m_rooted && !Drifting() && !step;
  if (!wander) m_exact = delay;
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

double CDelayConfirmation::LineAtConfirmation() const {
  const double perFrame = DriftPerFrame();
  const double behind = std::fabs(perFrame) >= CDriftMeasure::kNoticeable ? std::copysign(0.5, perFrame) : 0.0;
  return m_line + behind;
}

double CDelayConfirmation::Drifted() const { return LineAtConfirmation() + DriftPerFrame() * double(m_framesSince); }

bool CDelayConfirmation::StaleMean(int64_t found) const {
  const double offDrift = std::fabs(double(found) - Drifted());
  // Also the delay last confirmed, which the line has left behind.
  const bool nearLine = offDrift <= double(kDriftStep) || std::llabs(found - int64_t(m_delay)) <= kWithin;
  return LineHolds() && offDrift > double(kWithin) && nearLine;
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
  // The newest confirmation wandered off the delay placed exactly (or the
  // search placed it where the re-check's blocks do not): neither is
  // exact until they agree again.
  if (!Drifting() && m_delay != m_exact) return evidence;
  evidence.by = m_by;
  evidence.delay = m_delay;
  evidence.line = Drifting() ? LineAtConfirmation() : double(m_delay);
  evidence.rootedInSearch = m_rooted;
  evidence.awaitsRecheck = m_awaitsRecheck;
  evidence.blocks = m_blocks;
  evidence.precision = m_precision;
  return evidence;
}
