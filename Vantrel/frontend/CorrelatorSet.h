// Two block correlators turned into a signed delay estimate. Correlator 0
// correlates the newest reference block against the test window and finds
// delays where the test is ahead; correlator 1 correlates the newest test
// block against the reference window and finds delays where the test lags.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/BlockCorrelator.h"
#include "Vantrel/frontend/BlockTransforms.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/WindowSegments.h"

// CORRRESULT flags.
constexpr int32_t CORR_STRONG_PEAK = 1;   // best |peak| above CCorrelatorSet::kStrongPeak
constexpr int32_t CORR_NOT_RELIABLE = 2;  // not CORR_ENOUGH_DATA
constexpr int32_t CORR_ENOUGH_DATA = 4;   // enough blocks and energy
// Another delay correlates as well within rounding (a signal that repeats
// within the window), or within the error of the two means (such a signal
// with noise on top): the delay is open, and the peak never counts as strong.
constexpr int32_t CORR_AMBIGUOUS = 8;
// Set by the delay search: the delay lies beyond the asked range and is
// not taken as reliable.
constexpr int32_t CORR_BEYOND_RANGE = 16;

struct CORRRESULT {
  int32_t delay = 0;           // samples; positive when the test is ahead of the reference
  float quality = 0.0f;        // signed correlation x 100
  int32_t secondDelay = 0;     // PickBestSigned only
  float secondQuality = 0.0f;  // PickBestSigned only
  int32_t flags = 0;
};

class FRONT_END_INTERNAL CCorrelatorSet {
 public:
  // Blocks each correlator keeps in its running sum.
  static constexpr uint32_t kHistoryBlocks = 16;
  // The mean correlation above which a peak is strong.
  static constexpr float kStrongPeak = 0.6f;

  CCorrelatorSet() = default;
  ~CCorrelatorSet() { Free(); }
  CCorrelatorSet(const CCorrelatorSet&) = delete;
  CCorrelatorSet& operator=(const CCorrelatorSet&) = delete;

  // Builds `count` correlators (1 or 2) of the geometry with a history of
  // kHistoryBlocks and clears all energy; returns 1, or 0 when memory runs
  // out (noted as a Memory refusal): the set then has no correlators, feeds
  // nothing and picks no peak until an Init succeeds.
  int Init(uint32_t blockLen, uint32_t window, int32_t count);
  void Free();
  // Forgets every block and the energy fed so far, keeping the geometry:
  // the next pick starts from an empty history.
  void ClearHistory();
  uint32_t GetBlockLen() const { return m_blockLen; }
  uint32_t GetWindowLen() const { return m_windowLen; }

  // Feeds each correlator whose block energy exceeds 8 per block sample.
  // 0, with the reason noted, when a transform of the math layer failed:
  // that block is not taken, and Failed() holds until the next Init or
  // ClearHistory.
  // `streamEnd` is where the blocks end in the signal's own count of
  // samples, for BlockSpan; -1 when the caller does not keep one.
  int Feed(const float* refRing, int refEnd, double refEnergy, const float* testRing, int testEnd, double testEnergy,
           int ringLength, int64_t streamEnd = -1);
  // The samples the blocks in a correlator's history cover, in the
  // count of Feed's streamEnd: [*first, *end). false before any block.
  bool BlockSpan(int32_t index, int64_t* first, int64_t* end) const;
  // Best peak over both correlators (by magnitude with useAbs, else the
  // largest positive value); relaxed looks at the newest vectors only.
  // Among peaks equal within rounding the delay nearest 0 wins, and the
  // pick is CORR_AMBIGUOUS when one of them, or a peak within the error of
  // the two means, gives another delay. Before any
  // correlator has blocks enough the delay and quality are 0.
  int PickBest(int* ok, CORRRESULT** result, int useAbs, int relaxed);
  // The most positive correlation for sign >= 0, the most negative
  // otherwise, with the second peak.
  int PickBestSigned(int* ok, CORRRESULT** result, float sign, int relaxed);
  // The mean correlation (percent) at one delay; 0 before any block and
  // for a delay beyond W - B, where no block lies wholly inside the window.
  double ValueAtLag(int32_t lag, int relaxed);
  // The largest mean correlation's magnitude (percent) of either
  // correlator's full history at a delay more than `apart` samples, and
  // more than the lobe of the last pick's peak, from `delay`; 0 before
  // any block. `side` > 0 looks only above `delay`, < 0 only below it.
  double BestApartFrom(int32_t delay, int32_t apart, int side = 0);

  // Where the blocks in the history peak on their own, each within
  // `radius` of `delay` (the side of the correlation `sign` gives): the
  // lowest and the highest such delay but for one block in eight at
  // either end, over `blocks` blocks (0 before any).
  struct BlockPeaks {
    int32_t lowest = 0;
    int32_t highest = 0;
    int32_t blocks = 0;
  };
  BlockPeaks PeaksOfBlocks(int32_t delay, int32_t radius, float sign) const;
  // The farthest offset j (1 .. radius) from `delay` (the side of the
  // correlation `sign` gives) at which the blocks' mean does not stand
  // above its value at delay + j by `errors` standard errors of their
  // differences: the delay lies unresolved within it. 0 when every such
  // offset is resolved or before two blocks.
  int32_t UnresolvedWithin(int32_t delay, float sign, int32_t radius, double errors) const;
  // The standard error (percent) of the mean correlation at lag 0 of the
  // blocks in correlator 0's history, from their scatter about it, while
  // they hold steady: 0 where the newer half of them correlates there
  // below the older half by `errors` standard errors of that difference
  // (a step, not scatter), and before four blocks.
  double SteadyMeanErrorAtLagZero(double errors) const;

  const CORRRESULT& Result() const { return m_result; }
  CORRRESULT& Result() { return m_result; }
  // A Feed failed since the last Init or ClearHistory: the picks do not
  // stand for the blocks fed.
  bool Failed() const { return m_failed; }
  // Whether correlator `index` took a block in the last Feed.
  bool Fed(int32_t index) const { return index >= 0 && index < m_count && m_fed[index] != 0; }
  // Whether the last pick found a peak (a correlator had blocks enough).
  bool HasPeak() const { return m_hasPeak; }
  CBlockCorrelator& Correlator(int index) { return m_correlators[index]; }
  int32_t Correlators() const { return m_count; }

 private:
  int Pick(bool absolute, float sign, bool withSecond, int relaxed);
  // The best peak over the correlators with enough blocks.
  struct PeakChoice {
    float magnitude = 0.0f;
    int32_t index = -1;  // -1: no correlator has enough blocks
    int32_t count = 0;
    bool allFed = true;
    int32_t equalPeaks[2] = {};
    bool qualifies[2] = {};
  };
  void FindBestPeak(bool absolute, float sign, bool withSecond, int relaxed, PeakChoice* choice);
  // Another correlator's peak leaves the best one's delay open.
  bool PeakIsAmbiguous(const PeakChoice& choice) const;
  // Hands the fed correlators their blocks' and windows' spectra when the
  // blocks so far allow it.
  void UseBlockTransforms(const float* refRing, int refEnd, const float* testRing, int testEnd, int ringLength,
                       int64_t streamEnd, CBlockCorrelator* const fed[], CBlockCorrelator::Source sources[],
                       int feeding);
  // Hands the fed correlators their correlations put together from the
  // kept transforms of stretches, where the window is many blocks long; false
  // when a transform failed (no block is then taken).
  bool UseWindowSegments(const float* refRing, int refEnd, const float* testRing, int testEnd, int ringLength,
                         int64_t streamEnd, CBlockCorrelator* const fed[], CBlockCorrelator::Source sources[],
                         int feeding);
  // The signed delay of entry `pos` of correlator `index`.
  int32_t DelayAt(int32_t index, int32_t pos) const;

  int32_t m_count = 0;
  uint32_t m_blockLen = 0;
  uint32_t m_windowLen = 0;
  CBlockCorrelator* m_correlators = nullptr;
  // Where a window is a few blocks fed one after another: each block's
  // spectrum, transformed once for both correlators.
  CBlockTransforms m_blockTransforms;
  // Where the window is many blocks: the transforms of stretches of each signal.
  CWindowSegments m_segments;
  int32_t m_fed[2] = {};
  float m_peak[2] = {};
  float m_secondPeak[2] = {};
  int32_t m_peakPos[2] = {};
  int32_t m_secondPos[2] = {};
  double m_energy[2] = {};
  double m_energyThreshold = 0.0;
  CORRRESULT m_result;
  // Where each correlator's blocks in the history ended, oldest first
  // from m_fedNext once kHistoryBlocks have been fed.
  int64_t m_fedEnd[2][kHistoryBlocks] = {};
  uint32_t m_fedCount[2] = {};
  uint32_t m_fedNext[2] = {};
  bool m_failed = false;
  bool m_hasPeak = false;
};
