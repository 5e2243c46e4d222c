#include "Vantrel/frontend/SearchSettle.h"

#include <cmath>

#include "Vantrel/frontend/DelayState.h"

namespace {

constexpr int kCandidates = 2 * kSettleBias + 1;

// The sums of a stretch at each candidate delay.
struct CandidateSums {
  StretchSums at[kCandidates];

  void Add(const EstimationBlocks& blocks, int32_t pick, uint32_t count) {
    for (int k = 0; k < kCandidates; ++k) {
      const StretchSums frame = CDelayEstimator::PairedSums(blocks, pick - kSettleBias + k, count);
      at[k].aa += frame.aa;
      at[k].bb += frame.bb;
      at[k].ab += frame.ab;
    }
  }
  // Below the share of `quality` (percent) that says the delay has gone,
  // at every candidate.
  // A stretch without energy says nothing.
  bool Collapsed(double sign, double quality) const {
    bool any = false;
    for (const StretchSums& sums : at) {
      const double energy = sums.aa * sums.bb;
      if (energy <= 0.0) continue;
      any = true;
      if (100.0 * sign * sums.ab / std::sqrt(energy) >= CDelayCheck::kCollapse * quality) return false;
    }
    return any;
  }
  // The candidate correlating best, by magnitude where `sign` is negative
  // (an inverted test); -1 where nothing was summed.
  int Best(double sign) const {
    int best = -1;
    double bestValue = 0.0;
    for (int k = 0; k < kCandidates; ++k) {
      const double energy = at[k].aa * at[k].bb;
      if (energy <= 0.0) continue;
      const double value = sign * at[k].ab / std::sqrt(energy);
      if (best < 0 || value > bestValue) {
        best = k;
        bestValue = value;
      }
    }
    return best;
  }
};

}  // namespace

void SettleSearchDelay(CDelayStateMachine& machine, int sampleRate, const SettleFrameReader& readFrame) {
  const CORRRESULT* pick = machine.Estimator().Result();
  const uint32_t frame = machine.Settings().frameLength;
  if (pick == nullptr || frame == 0 || sampleRate <= 0) return;
  const int32_t delay = pick->delay;
  const double sign = pick->quality < 0.0f ? -1.0 : 1.0;
  const uint64_t frames = uint64_t(std::ceil(kSettleSeconds * double(sampleRate) / double(frame)));
  CandidateSums halves[2];
  uint64_t read = 0;
  EstimationBlocks blocks;
  int64_t firstHalfEnd = 0;
  while (read < frames && readFrame(&blocks)) {
    const bool first = 2 * read < frames;
    halves[first ? 0 : 1].Add(blocks, delay, frame);
    if (first) firstHalfEnd = blocks.streamEnd + (delay < 0 ? int64_t(delay) : 0);
    ++read;
  }
  if (4 * read < frames) return;
  const double quality = std::fabs(double(pick->quality));
  const int edge0 = halves[0].Best(sign), edge1 = halves[1].Best(sign);
  const bool atEdge = edge0 == edge1 && (edge0 == 0 || edge0 == kCandidates - 1);
  const bool collapsed = halves[0].Collapsed(sign, quality) && halves[1].Collapsed(sign, quality);
  if (collapsed || atEdge) {
    DelayMove left;
    left.moved = true;
    left.from = delay;
    left.to = delay - kSettleBias + edge0;
    left.beyond = !collapsed;
    left.collapsed = collapsed;
    left.at = firstHalfEnd;
    left.searchCorrelation = QualityPercent(quality);
    if (collapsed) {
      const StretchSums& sums = halves[0].at[kSettleBias];
      const double energy = sums.aa * sums.bb;
      left.correlation = energy > 0.0 ? QualityPercent(100.0 * sign * sums.ab / std::sqrt(energy)) : 0;
    }
    machine.SearchDelayLeft(left);
    return;
  }
  CandidateSums whole = halves[0];
  for (int k = 0; k < kCandidates; ++k) {
    whole.at[k].aa += halves[1].at[k].aa;
    whole.at[k].bb += halves[1].at[k].bb;
    whole.at[k].ab += halves[1].at[k].ab;
  }
  const int best = whole.Best(sign);
  const bool inside = best > 0 && best < kCandidates - 1;
  if (!inside || best == kSettleBias || halves[0].Best(sign) != best || halves[1].Best(sign) != best) return;
  machine.SettleSearchAt(delay - kSettleBias + best);
}
