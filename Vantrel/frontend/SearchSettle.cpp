#include "Vantrel/frontend/SearchSettle.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The most samples an echo's bias moves a half second's peak.
constexpr int32_t kEchoBias = 2;
constexpr int kCandidates = 2 * kEchoBias + 1;

// Searches on until the blocks of the correlator that gave `delay` all
// begin at or after `after`; true when the pick there is reliable. A look
// that has not got there within twice the frames it needs (that
// correlator fed no block) gives up, so that it never costs more than a
// few history lengths of the search.
bool LookAgain(CDelayStateMachine& machine, const SearchFrameReader& readFrame, int32_t delay, int64_t after) {
  const DelayMachineSettings& settings = machine.Settings();
  const uint32_t frame = settings.frameLength > 0 ? settings.frameLength : 1;
  const uint64_t needed = CCorrelatorSet::kHistoryBlocks + (uint64_t(settings.searchBlock) + frame - 1) / frame;
  for (uint64_t frames = 0; frames < 2 * needed; ++frames) {
    machine.SearchOn();
    if (!readFrame()) return false;
    if (machine.Estimator().SearchSpan(delay).first < after) continue;
    return machine.State() == DELCOMP_DELAYRELIABLE;
  }
  return false;
}

// Adds the search's blocks' mean correlation at each candidate delay.
void AddStretch(CDelayEstimator& estimator, int32_t delay, double sums[kCandidates]) {
  for (int k = 0; k < kCandidates; ++k) sums[k] += estimator.SearchValueAt(delay - kEchoBias + k);
}

}  // namespace

void SettleSearchDelay(CDelayStateMachine& machine, const SearchFrameReader& readFrame) {
  SearchPick pick = machine.SavePick();
  const int32_t delay = pick.result.delay;
  CDelayEstimator& estimator = machine.Estimator();
  // Correlations count by magnitude where an inverted test may count.
  const double sign = pick.result.quality < 0.0f ? -1.0 : 1.0;
  double sums[kCandidates] = {};
  AddStretch(estimator, delay, sums);
  int stretches = 1;
  for (int look = 0; look < kSettleLooks; ++look) {
    if (!LookAgain(machine, readFrame, delay, estimator.SearchSpan(delay).end)) break;
    // A look that peaks further away sees a delay that moves: no sum over
    // fixed delays holds for it, and the first pick stands as it was.
    if (std::abs(int64_t(estimator.Result()->delay) - int64_t(delay)) > kEchoBias) {
      machine.RestorePick(pick);
      return;
    }
    AddStretch(estimator, delay, sums);
    ++stretches;
  }
  int best = kEchoBias;
  for (int k = 0; k < kCandidates; ++k)
    if (sign * sums[k] > sign * sums[best]) best = k;
  if (best != kEchoBias) {
    pick.result.delay = delay - kEchoBias + best;
    pick.result.quality = float(sums[best] / stretches);
    pick.reading.delay = pick.result.delay;
    pick.reading.quality = QualityPercent(pick.result.quality);
    pick.confirmation.Confirm(pick.result.delay, pick.result.quality, ConfirmedBy::Search,
                              pick.confirmation.Evidence().blocks);
  }
  machine.RestorePick(pick);
}
