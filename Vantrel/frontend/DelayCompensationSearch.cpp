// The delay compensation's decisions about the delay: the search, the
// re-check of the current delay with its verification, and the tracking of
// a slowly varying delay.
#include <cmath>
#include <cstdlib>

#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"

namespace {

constexpr double kRecheckEnergyPerSample = 4096.0;
// The largest step of a drift: the re-check's blocks aligned by the delay
// before it still see the same peak. A look-alike lies a pitch period,
// tens of samples, away.
constexpr int64_t kDriftStep = 8;
// The correlation of the newest block above which a drift's step is taken.
constexpr double kDriftPeak = 80.0;
// The share of the confirmed correlation a delay stepped to must reach.
constexpr float kConfirmingShare = 0.9f;

struct RingView {
  float* ring = nullptr;
  int end = 0;
  int length = 0;
};

RingView FilteredRing(CDelayBuffer* buffer, int direction, int channel) {
  RingView view;
  int fill = 0;
  int write = 0;
  buffer->GetBufferInfo(direction, channel, 1, &view.ring, &fill, &write, &view.length, &view.end);
  return view;
}

}  // namespace

void CDelayCompensationImpl::FollowDriftThroughPause() {
  // Only for as long as a confirmation holds: beyond it the drift may
  // have ended or turned.
  if (!(AlongDrift(1) || AlongDrift(-1)) || !m_confirmed || m_framesSinceConfirmed > kConfirmationFrames) return;
  const int64_t predicted = std::llround(DriftedConfirmedDelay());
  if (predicted == m_delay || std::abs(predicted - m_delay) > kConfirmedWithin) return;
  if (std::abs(predicted) > m_maxDelaySamples || int64_t(m_delayBuffer->GetFreeSpace()) < std::abs(predicted)) return;
  m_delay = int(predicted);
  m_result->delay = m_delay;
}

void CDelayCompensationImpl::PreviousBlockEnergies(float* refEnergy, float* testEnergy) const {
  const int channel = m_estimationChannel;
  *refEnergy = float(m_energy.Previous(0, channel));
  *testEnergy = float(m_energy.Previous(1, channel));
}

void CDelayCompensationImpl::MeasureDrift(int delay) {
  m_drift.Confirmation(double(delay) - double(m_confirmedDelay), double(m_framesSinceConfirmed), double(kDriftStep));
}

int CDelayCompensationImpl::DetermineDelay() {
  float refEnergy = 0.0f;
  float testEnergy = 0.0f;
  PreviousBlockEnergies(&refEnergy, &testEnergy);
  const int channel = m_estimationChannel;
  const RingView ref = FilteredRing(m_delayBuffer, 0, channel);
  const RingView test = FilteredRing(m_delayBuffer, 1, channel);
  m_searchSet.Feed(ref.ring, ref.end, refEnergy, test.ring, test.end, testEnergy, ref.length);
  const LEVELPARA& level = m_sys->levelPara;
  int ok = 0;
  m_searchSet.PickBest(&ok, &m_result, (level.invertOnNegative != 0 || level.invertTest != 0) ? 1 : 0, 0);
  VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::DetermineDelay(), results:\n");
  VANTREL_TRACE(TRACE_ORDINARY, "  * R found best   = %3.0f, New delay = %ld\n", double(m_result->quality),
                long(m_result->delay));
  // The search reaches past the asked range so that a delay out there is
  // seen for what it is instead of as a look-alike inside the range.
  if (std::abs(int64_t(m_result->delay)) > m_maxDelaySamples) {
    m_result->flags = (m_result->flags & ~CORR_STRONG_PEAK) | CORR_BEYOND_RANGE;
    VANTREL_TRACE(TRACE_ORDINARY,
                  "CDelayCompensationImpl::DetermineDelay(), WARNING: delay %ld beyond the range of %lld\n",
                  long(m_result->delay), static_cast<long long>(m_maxDelaySamples));
  }
  const int32_t wanted = CORR_ENOUGH_DATA | CORR_STRONG_PEAK;
  return (m_result->flags & wanted) == wanted ? DELCOMP_DELAYRELIABLE : m_state;
}

int CDelayCompensationImpl::RecheckDelay(int* quality, MONITORDATA* monitor) {
  int r = m_state;
  // Without a search result there is nothing to re-check against.
  if (m_result == nullptr) {
    *quality = 0;
    return DELCOMP_NOCHANGE;
  }
  float refEnergy = 0.0f;
  float testEnergy = 0.0f;
  PreviousBlockEnergies(&refEnergy, &testEnergy);
  RecheckTrace trace;
  if (double(refEnergy) / double(m_frameLen) <= kRecheckEnergyPerSample) {
    *quality = QualityPercent(m_result->quality);
    r = DELCOMP_NOCHANGE;
  } else {
    FeedRecheck(refEnergy, testEnergy, &trace.refEnd, &trace.testEnd);
    int ok = 0;
    CORRRESULT* pick = nullptr;
    m_recheckSet.PickBest(&ok, &pick, 1, 0);
    trace.atCurrent = float(m_recheckSet.ValueAtLag(0, 0));
    trace.pickQuality = pick->quality;
    trace.ran = true;
    if ((pick->flags & CORR_ENOUGH_DATA) != 0) {
      r = JudgeRecheckPick(*pick, trace.atCurrent);
      *quality = QualityPercent(trace.atCurrent);
    }
  }
  AddRecheckMonitor(monitor, trace);
  return r;
}

void CDelayCompensationImpl::FeedRecheck(float refEnergy, float testEnergy, int* refEnd, int* testEnd) {
  const int channel = m_estimationChannel;
  const RingView ref = FilteredRing(m_delayBuffer, 0, channel);
  const RingView test = FilteredRing(m_delayBuffer, 1, channel);
  *refEnd = ref.end;
  *testEnd = test.end;
  const int d = m_result->delay;
  auto moveBack = [&](int end, int by) {
    int64_t moved = int64_t(end) - by;
    while (moved < 0) moved += ref.length;
    return int(moved);
  };
  if (d < 0)
    *refEnd = moveBack(*refEnd, -d);
  else
    *testEnd = moveBack(*testEnd, d);
  // Blocks from before a pause long enough for the drift measured to
  // have moved the delay on would vouch for where it was.
  if (std::fabs(DriftPerFrame()) * double(m_framesSinceRecheck) > double(kConfirmedWithin)) m_recheckSet.ClearHistory();
  m_framesSinceRecheck = 0;
  m_recheckSet.Feed(ref.ring, *refEnd, refEnergy, test.ring, *testEnd, testEnergy, ref.length);
  m_recheckRan = 1;
}

int CDelayCompensationImpl::JudgeRecheckPick(const CORRRESULT& pick, float atCurrent) {
  // A peak a sample or three off the delay in force is the same peak,
  // moved on by a drift (the blocks of the mean were aligned by the
  // delays of their time): it is judged where it lies.
  const bool samePeak = std::abs(pick.delay) <= kConfirmedWithin;
  const int r = samePeak ? VerifyDelay(pick.quality, m_result->quality, pick.quality, 0)
                         : VerifyDelay(pick.quality, m_result->quality, atCurrent, pick.delay);
  // The re-check confirms the delay in force when its own peak lies
  // there, where it now lies. A peak further than a drift's step from
  // the last one confirmed it confirms only where it correlates about
  // as well and no peak at another delay comes within the error of the
  // means (not a look-alike a pitch period away). A rejection ends the
  // last confirmation; while the search runs, a re-check only confirms.
  // The peak found lies where the last confirmed one has drifted to.
  const int64_t found = int64_t(m_result->delay) + pick.delay;
  const bool near = m_confirmed && std::abs(found - m_confirmedDelay) <= kDriftStep;
  const bool asStrong =
      std::fabs(atCurrent) >= kConfirmingShare * m_confirmedQuality && (pick.flags & CORR_AMBIGUOUS) == 0;
  // Under a measured drift, a peak a few samples off where the last
  // confirmation has drifted to is the mean of blocks from before a
  // pause: it lags the delay and confirms nothing.
  const double offDrift = std::fabs(double(found) - DriftedConfirmedDelay());
  const bool drifting = AlongDrift(1) || AlongDrift(-1);
  const bool stale = drifting && m_framesSinceConfirmed <= kConfirmationFrames && offDrift > double(kConfirmedWithin) &&
                     offDrift <= double(kDriftStep);
  if (r == DELCOMP_DELAYRELIABLE) {
    if (samePeak && (near || asStrong) && !stale) {
      Confirm(m_result->delay + pick.delay, pick.quality);
      // The next re-check judges its mean against the mean confirmed,
      // not against a search over longer blocks or a single block's
      // peak: a drift smears the mean's peak by a few points.
      m_result->quality = pick.quality;
    }
  } else if (m_state != DELCOMP_CALCDELAY) {
    Unconfirm();
    m_rejected = true;
    m_rejectedDelay = m_result->delay;
  }
  return r;
}

void CDelayCompensationImpl::AddRecheckMonitor(MONITORDATA* monitor, const RecheckTrace& trace) const {
  if (monitor == nullptr) return;
  const bool ran = trace.ran;
  monitor->Add(m_result->quality, -100.0f, 100.0f, "R(default)");
  monitor->Add(ran ? trace.atCurrent : 0.0f, -100.0f, 100.0f, "R(at default)");
  monitor->Add(ran ? trace.pickQuality : 0.0f, -100.0f, 100.0f, "R(Frame)");
  monitor->Add(ran ? float(trace.refEnd / 128) : 0.0f, 0.0f, 32767.0f, "WPosR");
  monitor->Add(ran ? float(trace.testEnd / 128) : 0.0f, 0.0f, 32767.0f, "WPosT");
}

int CDelayCompensationImpl::VerifyDelay(float rNew, float rCurrent, float rAtCurrent, int offset) {
  // No comparison holds for a value that is not a number: it confirms nothing.
  if (std::isnan(rNew) || std::isnan(rCurrent) || std::isnan(rAtCurrent)) return DELCOMP_DELAYUNCERTAIN;
  int criterion = 0;
  if (rNew > 0.95f * rCurrent && offset != 0)
    criterion = 1;
  else if (rCurrent >= 0.0f && 1.1 * double(rAtCurrent) < double(rCurrent))
    criterion = 2;
  else if (rCurrent < 0.0f && -1.3 * double(rAtCurrent) < -double(rCurrent))
    criterion = 3;
  else if (rNew > 0.0f && rCurrent < 0.0f && -rCurrent < rNew)
    criterion = 4;
  else if (rNew < 0.0f && rCurrent > 0.0f && -rNew < rCurrent)
    criterion = 5;
  if (criterion == 0) return DELCOMP_DELAYRELIABLE;
  VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::VerifyDelay(), criterion %d\n", criterion);
  return DELCOMP_DELAYUNCERTAIN;
}

int CDelayCompensationImpl::TrackVariableDelay(FRAMEDATA*, MONITORDATA* monitor) {
  float refEnergy = 0.0f;
  float testEnergy = 0.0f;
  PreviousBlockEnergies(&refEnergy, &testEnergy);
  const int32_t highBits = m_status & int32_t(0xFFFF0000u);
  // The entry is named now and filled at the end; a re-check run from
  // here writes its own entries over it.
  if (monitor != nullptr) {
    const int32_t entry = monitor->count;
    monitor->Add(0.0f, -100.0f, 100.0f, "R(VarDel)");
    monitor->count = entry;
  }
  if (m_recheckRan == 0) RecheckDelay(&m_quality, monitor);

  int ok = 0;
  CORRRESULT* pick = nullptr;
  m_recheckSet.PickBestSigned(&ok, &pick, float(m_quality), 1);
  const double threshold = double(m_recheckSet.GetBlockLen()) * 4096.0;
  if ((pick->flags & CORR_ENOUGH_DATA) == 0 || testEnergy <= threshold || refEnergy <= threshold) {
    const double v = m_recheckSet.ValueAtLag(0, 1);
    if (v > -5.0 && v < 5.0) {
      m_status = DELAY_STATUS_UNCERTAIN;
      m_quality = 0;
    }
    FollowDriftThroughPause();
    m_status |= highBits;
    return 1;
  }
  const double v = m_recheckSet.ValueAtLag(0, 1);
  float q = pick->quality;
  int32_t o = pick->delay;
  if (std::fabs(pick->quality - pick->secondQuality) < 5.0f &&
      std::abs(int64_t(m_delay) - pick->secondDelay) < std::abs(int64_t(m_delay) - pick->delay)) {
    q = pick->secondQuality;
    o = pick->secondDelay;
  }
  const int64_t step = std::abs(int64_t(o));
  const bool stepped = TakesTrackingStep(o, q, v) && ApplyTrackingStep(o, q);
  // The newest block's strong peak lies clearly off the delay kept: that
  // delay is no longer the one confirmed.
  if (!stepped && step > kConfirmedWithin && std::fabs(q) >= kDriftPeak && q > v + 1.0 &&
      m_status == DELAY_STATUS_RELIABLE) {
    m_status = DELAY_STATUS_UNCERTAIN;
  }
  if (!stepped) m_quality = QualityPercent(v);
  m_trackMean.Add(float(m_quality));
  if (monitor != nullptr) monitor->Add(q, -100.0f, 100.0f, "R(VarDel)");
  m_status |= highBits;
  return 1;
}

bool CDelayCompensationImpl::TakesTrackingStep(int32_t o, float q, double v) const {
  const int64_t step = std::abs(int64_t(o));
  if (o == 0 || step >= int64_t(m_sys->delayPara.maxTrackingStep)) return false;
  return (step <= 512 && q > v + 50.0) || (v < 40.0 && q > v + 20.0) || (step <= 256 && q > v + 25.0) ||
         (step <= 32 && q > v + 12.0) || (step <= 4 && q > v + 6.0) ||
         // A drift's step: the newest block's strong peak a sample or
         // three on, however broad the peak (a low-pass signal at a high
         // rate loses little correlation a few samples off). The way the
         // confirmed delay has been drifting, any gain will do.
         (step <= kConfirmedWithin && std::fabs(q) >= kDriftPeak && q > v + (AlongDrift(o) ? 0.0 : 1.0));
}

bool CDelayCompensationImpl::ApplyTrackingStep(int32_t o, float q) {
  const int64_t step = std::abs(int64_t(o));
  if (int64_t(m_delayBuffer->GetFreeSpace()) < std::abs(int64_t(m_delay) + o)) {
    m_status = (m_status & int32_t(0xFFFF0000u)) | DELAY_STATUS_CLAMPED;
    return false;
  }
  // Steps stay within the asked range, as the search does.
  if (std::abs(int64_t(m_delay) + o) > m_maxDelaySamples) return false;
  m_quality = QualityPercent(q);
  m_delay += o;
  // The re-check's blocks so far were aligned by the delay left: beyond
  // a drift's few samples they would vouch for the new one.
  if (step > kDriftStep) m_recheckSet.ClearHistory();
  m_result->delay = m_delay;
  // A drift's step keeps the quality the re-check judges by: the
  // newest block's peak is not comparable to the mean of its blocks.
  if (step > kConfirmedWithin) m_result->quality = float(m_quality);
  // A step well below the running mean is uncertain. Above it the
  // status stays: only a search or a re-check at the new delay makes
  // it reliable.
  if (!m_trackMean.Empty()) {
    const float mean = m_trackMean.Mean();
    const bool beyond = mean > 0.0f ? float(m_quality) > 0.95f * mean : float(m_quality) < 0.95f * mean;
    if (!beyond && m_status == DELAY_STATUS_RELIABLE) m_status = DELAY_STATUS_UNCERTAIN;
  }
  return true;
}
