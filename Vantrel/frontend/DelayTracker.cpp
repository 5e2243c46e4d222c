#include "Vantrel/frontend/DelayTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/frontend/CorrelatorSet.h"

namespace {

// The correlation of the newest block above which a drift's step is taken.
constexpr double kDriftPeak = 80.0;

}  // namespace

void CDelayTracker::NameMonitorEntry(MONITORDATA* monitor) {
  if (monitor == nullptr) return;
  const int32_t entry = monitor->count;
  monitor->Add(0.0f, -100.0f, 100.0f, "R(VarDel)");
  monitor->count = entry;
}

bool CDelayTracker::TooWeak(const CORRRESULT& pick, double atDelay, double refEnergy, double testEnergy,
                            uint32_t blockLen) {
  // The blocks' correlated energy, the share of their energy the best
  // correlation explains; the rest is the noise they show.
  const double rho = std::max(std::fabs(double(pick.quality)), std::fabs(atDelay)) / 100.0;
  const double correlated = std::min(refEnergy, testEnergy) * rho * rho;
  return (pick.flags & CORR_ENOUGH_DATA) == 0 || correlated <= DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE * double(blockLen);
}

TrackReport CDelayTracker::Track(float refEnergy, float testEnergy, const TrackingLimits& limits, DelayReading* reading,
                                 MONITORDATA* monitor) {
  TrackReport report;
  CCorrelatorSet& recheck = m_estimator.RecheckSet();
  int ok = 0;
  CORRRESULT* pick = nullptr;
  recheck.PickBestSigned(&ok, &pick, float(reading->quality), 1);
  const double v = recheck.ValueAtLag(0, 1);
  if (TooWeak(*pick, v, refEnergy, testEnergy, recheck.GetBlockLen())) {
    if (v > -5.0 && v < 5.0) reading->quality = 0;
    FollowDriftThroughPause(limits, reading);
    report.predicted = true;
    return report;
  }
  float q = pick->quality;
  int32_t o = pick->delay;
  // Two peaks alike: the one nearer the delay kept.
  if (std::fabs(pick->quality - pick->secondQuality) < 5.0f &&
      std::abs(int64_t(reading->delay) - pick->secondDelay) < std::abs(int64_t(reading->delay) - pick->delay)) {
    q = pick->secondQuality;
    o = pick->secondDelay;
  }
  const bool placed = m_confirmation.SearchPlaced(reading->delay);
  const bool stepped = TakesStep(o, q, v, limits.maxStep, placed) && ApplyStep(o, q, limits, reading, &report);
  if (!stepped) reading->quality = QualityPercent(v);
  m_mean.Add(float(reading->quality));
  if (monitor != nullptr) monitor->Add(q, -100.0f, 100.0f, "R(VarDel)");
  return report;
}

bool CDelayTracker::TakesStep(int32_t o, float q, double v, int64_t maxStep, bool placed) const {
  const int64_t step = std::abs(int64_t(o));
  if (o == 0 || step >= maxStep) return false;
  // Off a delay the search's long blocks placed, a jump further than a
  // drift's step follows only a strong peak: under noise of its own (a
  // chord under the test) a short block correlates by chance nearly as
  // well somewhere as at the delay, and a step there would follow it.
  if (placed && step > CDelayConfirmation::kDriftStep && std::fabs(q) < float(CReliableGate::kStrongQuality))
    return false;
  return (step <= 512 && q > v + 50.0) || (v < 40.0 && q > v + 20.0) || (step <= 256 && q > v + 25.0) ||
         (step <= 32 && q > v + 12.0) || (step <= 4 && q > v + 6.0) ||
         // A drift's step: the newest block's strong peak a sample or
         // three on, however broad the peak (a low-pass signal at a high
         // rate loses little correlation a few samples off). The way the
         // confirmed delay has been drifting, any gain will do.
         (step <= CDelayConfirmation::kWithin && std::fabs(q) >= kDriftPeak &&
          q > v + (m_confirmation.AlongDrift(o) ? 0.0 : 1.0));
}

bool CDelayTracker::ApplyStep(int32_t o, float q, const TrackingLimits& limits, DelayReading* reading,
                              TrackReport* report) {
  const int64_t step = std::abs(int64_t(o));
  const int64_t target = int64_t(reading->delay) + o;
  if (limits.ringRoom < std::abs(target)) {
    reading->status = WithStatusWord(reading->status, DELAY_STATUS_CLAMPED);
    return false;
  }
  // Steps stay within the asked range, as the search does.
  if (std::abs(target) > limits.maxDelay) return false;
  reading->quality = QualityPercent(q);
  reading->delay += o;
  // The re-check's blocks so far were aligned by the delay left: beyond
  // a drift's few samples they would vouch for the new one.
  if (step > CDelayConfirmation::kDriftStep) m_estimator.ClearRecheckHistory();
  // A drift's step keeps the quality the re-check judges by: the
  // newest block's peak is not comparable to the mean of its blocks.
  if (step > CDelayConfirmation::kWithin)
    m_estimator.FollowDelay(reading->delay, float(reading->quality));
  else
    m_estimator.FollowDelay(reading->delay);
  // A step well below the running mean: the gate hears of it.
  if (!m_mean.Empty()) {
    const float mean = m_mean.Mean();
    const bool beyond = mean > 0.0f ? float(reading->quality) > 0.95f * mean : float(reading->quality) < 0.95f * mean;
    report->belowMean = !beyond;
  }
  return true;
}

bool CDelayTracker::FollowDriftThroughPause(const TrackingLimits& limits, DelayReading* reading) {
  int64_t predicted = 0;
  if (!m_confirmation.PredictThroughPause(&predicted)) return false;
  // Never further than the gate lets a prediction go from the delay confirmed.
  if (std::abs(predicted - m_confirmation.Delay()) > CDelayConfirmation::kWithin) return false;
  if (predicted == reading->delay || std::abs(predicted - reading->delay) > CDelayConfirmation::kWithin) return false;
  if (std::abs(predicted) > limits.maxDelay || limits.ringRoom < std::abs(predicted)) return false;
  reading->delay = int(predicted);
  m_estimator.FollowDelay(reading->delay);
  return true;
}
