#include "Vantrel/frontend/SearchSettle.h"

#include <cmath>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/frontend/DelayState.h"

namespace {

constexpr int kCandidates = 2 * kSettleBias + 1;

// The sums of a stretch at each candidate delay.
struct CandidateSums {
  StretchSums at[kCandidates];
  uint64_t frames = 0;

  // Adds a frame of `count` samples; to `loud` as well where both signals
  // hold energy at the pick, as a search block must.
  void Add(const EstimationBlocks& blocks, int32_t pick, uint32_t count, CandidateSums* loud) {
    StretchSums frame[kCandidates];
    for (int k = 0; k < kCandidates; ++k) frame[k] = CDelayEstimator::PairedSums(blocks, pick - kSettleBias + k, count);
    const double least = DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE * double(count);
    const bool isLoud = frame[kSettleBias].aa > least && frame[kSettleBias].bb > least;
    for (CandidateSums* sums : {this, isLoud ? loud : nullptr}) {
      if (sums == nullptr) continue;
      ++sums->frames;
      for (int k = 0; k < kCandidates; ++k) {
        sums->at[k].aa += frame[k].aa;
        sums->at[k].bb += frame[k].bb;
        sums->at[k].ab += frame[k].ab;
      }
    }
  }
  // The normalised correlation at candidate k on the side `sign` gives; 0
  // without energy.
  double At(int k, double sign) const {
    const double energy = at[k].aa * at[k].bb;
    return energy > 0.0 ? sign * at[k].ab / std::sqrt(energy) : 0.0;
  }
  // Below the share of `quality` (percent) that says the delay has gone,
  // at every candidate; a stretch without energy says nothing.
  bool Collapsed(double sign, double quality) const {
    bool any = false;
    for (int k = 0; k < kCandidates; ++k) {
      if (at[k].aa * at[k].bb <= 0.0) continue;
      any = true;
      if (100.0 * At(k, sign) >= CDelayCheck::kCollapse * quality) return false;
    }
    return any;
  }
  // The candidate correlating best, by magnitude where `sign` is negative
  // (an inverted test); -1 where nothing was summed.
  int Best(double sign) const {
    int best = -1;
    double bestValue = 0.0;
    for (int k = 0; k < kCandidates; ++k) {
      if (at[k].aa * at[k].bb <= 0.0) continue;
      const double value = At(k, sign);
      if (best < 0 || value > bestValue) {
        best = k;
        bestValue = value;
      }
    }
    return best;
  }
};

// Both signals of `later` hold per frame at least kAsLoud of the energy
// they held in `earlier`, at the pick.
bool AsLoud(const CandidateSums& later, const CandidateSums& earlier) {
  constexpr double kAsLoud = 0.1;  // -10 dB
  const StretchSums& a = later.at[kSettleBias];
  const StretchSums& b = earlier.at[kSettleBias];
  const double n = double(later.frames), m = double(earlier.frames);
  return n > 0.0 && m > 0.0 && a.aa / n >= kAsLoud * b.aa / m && a.bb / n >= kAsLoud * b.bb / m;
}

}  // namespace

void SettleSearchDelay(CDelayStateMachine& machine, int sampleRate, const SettleFrameReader& readFrame) {
  const CORRRESULT* pick = machine.Estimator().Result();
  const uint32_t frame = machine.Settings().frameLength;
  if (pick == nullptr || frame == 0 || sampleRate <= 0) return;
  const int32_t delay = pick->delay;
  const double sign = pick->quality < 0.0f ? -1.0 : 1.0;
  const uint64_t frames = uint64_t(std::ceil(kSettleSeconds * double(sampleRate) / double(frame)));
  CandidateSums halves[2], loud[2];
  uint64_t read = 0;
  EstimationBlocks blocks;
  int64_t halfEnd[2] = {};
  while (read < frames && readFrame(&blocks)) {
    const int half = 2 * read < frames ? 0 : 1;
    halves[half].Add(blocks, delay, frame, &loud[half]);
    halfEnd[half] = blocks.streamEnd + (delay < 0 ? int64_t(delay) : 0);
    ++read;
  }
  if (4 * read < frames) return;
  const double quality = std::fabs(double(pick->quality));
  // The later half collapsed, and the earlier one too, or it already
  // peaked at an edge, leaning the way the delay went, while the later
  // one holds material as it did (a pause with a noise floor correlates
  // nowhere).
  const int lean = loud[0].Best(sign);
  const bool leaning = (lean == 0 || lean == kCandidates - 1) && AsLoud(loud[1], loud[0]);
  const bool firstGone = loud[0].Collapsed(sign, quality);
  if (loud[1].Collapsed(sign, quality) && (firstGone || leaning)) {
    const int gone = firstGone ? 0 : 1;
    DelayMove left;
    left.moved = true;
    left.from = left.to = delay;
    left.collapsed = true;
    left.correlation = QualityPercent(100.0 * loud[gone].At(kSettleBias, sign));
    left.searchCorrelation = QualityPercent(quality);
    left.at = halfEnd[gone];
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
