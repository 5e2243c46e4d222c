// Finds the delay and verifies it: the search over long blocks of the whole
// window, and the re-check, which correlates the newest shorter blocks of
// both signals aligned by the delay in force and judges whether that delay
// still holds. It owns both correlator sets and the search's result, and
// tells the confirmation which delays it confirmed or rejected.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/CorrelatorSet.h"
#include "Vantrel/frontend/DelayConfirmation.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/RecheckFeeds.h"
#include "Vantrel/frontend/RecheckFloor.h"

struct MONITORDATA;

// The estimation channel's filtered rings, where each signal's newest block
// ends, and the energies of the block before.
struct EstimationBlocks {
  float* refRing = nullptr;
  int refEnd = 0;
  float* testRing = nullptr;
  int testEnd = 0;
  int ringLength = 0;
  float refEnergy = 0.0f;
  float testEnergy = 0.0f;
  // The reference's samples read since the inputs started: where its
  // newest block ends in that count.
  int64_t streamEnd = 0;
};

// The sums of squares and of products of a stretch of both signals.
struct StretchSums {
  double aa = 0.0;
  double bb = 0.0;
  double ab = 0.0;
};

// A frame's own samples at the delay found, where nothing re-checks it:
// too quiet a reference to say (Quiet); correlating as the pair does
// (Holds); correlating far below what its level and the test's gain let
// it reach (Collapsed: one such frame may be a quiet word under a
// background, a run of them a delay that moved); or the reference's
// material against a silent test that holds nothing of it (Unpaired).
enum class FrameAtDelay { Quiet, Holds, Collapsed, Unpaired };

class FRONT_END_INTERNAL CDelayEstimator {
 public:
  explicit CDelayEstimator(CDelayConfirmation& confirmation) : m_confirmation(confirmation) {}
  CDelayEstimator(const CDelayEstimator&) = delete;
  CDelayEstimator& operator=(const CDelayEstimator&) = delete;

  // The correlator sets' blocks and windows; each returns 0 when its set
  // cannot be built. The search's result is gone.
  int InitSearch(uint32_t block, uint32_t window);
  int InitRecheck(uint32_t block, uint32_t window) { return m_recheckSet.Init(block, window, 2); }

  // A new run owes nothing to the last one: no blocks, no result.
  void NewRun() {
    m_searchSet.ClearHistory();
    ClearRecheckHistory();
    m_result = nullptr;
    m_sawRivalPeaks = false;
    m_pauseEnd = -1;
    m_refFloor.Clear();
    m_testFloor.Clear();
    m_pairedAa = 0.0;
    m_pairedAb = 0.0;
    m_unjudgedSamples = 0;
    m_recheckedAny = false;
  }
  // The search starts again from nothing, the re-check's blocks kept.
  void RestartSearch() {
    m_searchSet.ClearHistory();
    m_result = nullptr;
  }
  // The search's blocks so far hold another time's delay.
  void ClearSearchHistory() { m_searchSet.ClearHistory(); }
  // A pause of the signal ended where the reference paired at the delay
  // reached `at`: the re-check's blocks from before it vouch for nothing
  // after it, and until a confirmation from blocks after it, a peak with
  // a near-tie elsewhere confirms nothing.
  void PauseEnded(int64_t at) {
    ClearRecheckHistory();
    m_pauseEnd = at;
  }
  // The re-check's blocks so far were aligned by a delay no longer in force.
  void ClearRecheckHistory() {
    m_recheckSet.ClearHistory();
    m_recheckFeeds.Clear();
    m_newestDisagrees = false;
    m_seesLookAlikes = false;
  }
  // One more frame: the re-check has not run in it yet.
  void NextFrame() {
    m_recheckRan = false;
    m_recheckWeak = false;
    m_meanPicked = false;
    m_strongAtDelay = CReliableGate::kStrongQuality;
    if (m_framesSinceRecheck < UINT32_MAX) ++m_framesSinceRecheck;
  }

  // The search over the newest blocks: true when its result is a strong
  // peak with enough data inside `maxDelay`; `anySign` lets an inverted
  // test count.
  bool Search(const EstimationBlocks& blocks, bool anySign, int64_t maxDelay);
  // Re-checks the delay in force (the result's): DELCOMP_DELAYRELIABLE or
  // DELCOMP_DELAYUNCERTAIN by VerifyDelay, `state` when the re-check has
  // not enough data yet, DELCOMP_NOCHANGE when the reference's stretch is
  // below the re-check's floor (CRecheckFloor: on the signal's own level
  // and noise) or no search has given a result. Writes the quality at
  // the delay in force and the re-check's five monitor entries. While the
  // search runs (`state` DELCOMP_CALCDELAY) a re-check only confirms.
  int Recheck(const EstimationBlocks& blocks, uint32_t frameLength, int state, int* quality, MONITORDATA* monitor);
  // The shortest re-check block whose correlation means something: over
  // B samples of unrelated signals a correlation scatters by about
  // 1 / sqrt(B), and a strong peak must stand kSignificance such errors
  // clear of that scatter.
  static constexpr double kSignificance = 6.0;
  static constexpr uint32_t kMinConfirmingBlock =
      uint32_t((kSignificance / CCorrelatorSet::kStrongPeak) * (kSignificance / CCorrelatorSet::kStrongPeak) + 0.999);
  // What the search's blocks at `delay` correlated, in the count of
  // EstimationBlocks::streamEnd.
  SampleSpan SearchSpan(int delay) const;
  // The search's peak has a near-tie further than its lobe away: under a
  // drift its long blocks smear the true peak below a look-alike's.
  bool SearchPeakNearTie();
  // The last re-check found the blocks too weak to correlate.
  bool RecheckWeak() const { return m_recheckWeak; }
  // Some stretch of this run held enough of the reference to re-check.
  bool RecheckedAny() const { return m_recheckedAny; }
  // The newest re-check block fed does not vouch for the delay in force
  // (a frame too weak to feed one keeps the verdict of the last): the
  // frame holds material on one side only, or the block's strong peak
  // lies clearly off it (a step the mean of the blocks does not show
  // yet), or it correlates there below a strong peak, or the frame's own
  // samples, shorter than the block, do not correlate there.
  bool NewestBlockDisagrees() const { return m_newestDisagrees; }
  // The frame leaves at `delay`, further than a drift's step from the one
  // the re-check judged it at (the tracker stepped, or a search's result
  // was taken): its own samples are judged again there. Material on one
  // side only, or samples that correlate there well below the correlation
  // confirmed (as far as their level over the noise lets them reach), and
  // the newest block does not vouch for it.
  void JudgeFrameAt(const EstimationBlocks& blocks, uint32_t frameLength, int32_t delay);
  // Without a re-check, the newest frame at the delay found, on its own
  // samples (see FrameAtDelay). The frame feeds each signal's floor.
  static constexpr uint32_t kLeastJudgedSamples = 512;
  FrameAtDelay JudgeUntrackedFrame(const EstimationBlocks& blocks, uint32_t frameLength);
  // The re-check's blocks, at their last pick, peak within the search's
  // near-tie margin on both sides of it further than a drift's step away:
  // a signal repeating at a pitch period, on which they cannot tell the
  // delay from one a period off (a step of one period looks the same).
  bool SeesLookAlikes() const { return m_seesLookAlikes; }
  // The mean of the re-check's blocks, at its pick in this frame, peaks
  // `offset` samples from the delay in force.
  bool MeanPeaksAt(int32_t offset) const { return m_meanPicked && m_meanPeak == offset; }
  // 2 (reliable) or 3 (uncertain): does a re-check confirm the current delay?
  static int VerifyDelay(float rNew, float rCurrent, float rAtCurrent, int offset);
  // The correlation (percent) at the delay in force below which the
  // newest re-check block, and the frame that carries its quality, say
  // the delay does not hold: a strong peak's, but at the delay the search
  // placed, where the block peaks nowhere clearly higher than there (or,
  // where the mean of the blocks peaks there, nowhere as high as a strong
  // peak while it correlates there twice that), what stands clear of
  // chance. A strong peak's when the re-check has not
  // correlated in this frame.
  double StrongAtDelay() const { return m_strongAtDelay; }

  // The search's result once it has picked one, else null: the delay in
  // force and the quality the re-check judges by.
  const CORRRESULT* Result() const { return m_result; }
  // The delay in force moved on (the tracker's step, or the re-check going
  // on at the delay a restarted search shows): the result follows it,
  // with the quality the re-check judges by where one is given. Nothing
  // before a search has given a result.
  void FollowDelay(int32_t delay) {
    if (m_result != nullptr) m_result->delay = delay;
  }
  void FollowDelay(int32_t delay, float quality) {
    if (m_result == nullptr) return;
    m_result->delay = delay;
    m_result->quality = quality;
  }
  // Puts back the result of an earlier search run.
  void RestoreResult(int32_t delay, float quality);
  // The sums of the newest `count` samples of both signals paired at `delay`.
  static StretchSums PairedSums(const EstimationBlocks& blocks, int delay, uint32_t count);
  bool SearchHasPeak() const { return m_searchSet.HasPeak(); }

  // A search pick of this run had a strong peak with a rival as strong at
  // another delay (a repeating signal): such a pick never confirms.
  bool SawRivalPeaks() const { return m_sawRivalPeaks; }
  bool RecheckRan() const { return m_recheckRan; }
  // A correlator set's transform failed since the run began: no delay it
  // gives stands.
  bool Failed() const { return m_searchSet.Failed() || m_recheckSet.Failed(); }
  // The re-check's blocks, which the tracker reads for its steps.
  CCorrelatorSet& RecheckSet() { return m_recheckSet; }
  const CCorrelatorSet& RecheckSet() const { return m_recheckSet; }

 private:
  // What one re-check saw, for the monitor.
  struct RecheckTrace {
    bool ran = false;
    float atCurrent = 0.0f;
    float pickQuality = 0.0f;
    int refEnd = 0;
    int testEnd = 0;
  };
  // The energy of the reference's last frame of samples the re-check
  // pairs with the test's newest block.
  double AlignedReferenceEnergy(const EstimationBlocks& blocks, uint32_t frameLength) const;
  // The correlation a stretch of `samples` samples at the delay can reach
  // at most, given its level over the noise each signal shows in its
  // quietest stretches.
  double LevelReach(const StretchSums& sums, uint32_t samples) const;
  // The least correlation (percent) of a re-check block that stands clear
  // of the chance correlation over its samples.
  double SignificantQuality() const;
  // The last frame of samples of both signals at the delay in force.
  StretchSums FrameSums(const EstimationBlocks& blocks, uint32_t frameLength) const;
  // One side of that frame holds material to re-check, the other, on its
  // own scale, far less and nothing to re-check.
  bool MaterialOnOneSide(const StretchSums& frame, uint32_t frameLength) const;
  void FeedRecheck(const EstimationBlocks& blocks, RecheckTrace* trace);
  int JudgeRecheckPick(const CORRRESULT& pick, float atCurrent, int state);
  bool NewestBlockOffDelay();
  // How far from the re-check's pick its blocks place the delay (see
  // ConfirmationEvidence::precision).
  int PickPrecision(const CORRRESULT& pick);
  // The frame's own samples at the delay in force, loud enough to judge,
  // correlate well below the newest block that holds them, or, where the
  // newest block went unfed in this frame, below the strong peak (see
  // StrongAtDelay) that block would have had to reach.
  bool FrameOffDelay(const StretchSums& frame, uint32_t frameLength);
  // Both sides of the frame hold material and it correlates at the delay
  // clearly below `reach`, or below what its level lets it reach.
  bool FrameBelow(const StretchSums& frame, uint32_t frameLength, double reach) const;
  // The same against the correlation confirmed.
  bool FrameBelowConfirmed(const StretchSums& frame, uint32_t frameLength) const;
  bool ReconfirmsDelayInForce(const CORRRESULT& pick);
  // The blocks of the pick's correlator place `found`: it is the delay
  // confirmed, or they were fed at one delay or along a drift's line. A
  // delay the tracker stepped to on a block or two is not confirmed by
  // blocks fed at the delay before.
  bool FedAt(int64_t found, const SampleSpan& span) const;
  // The confirmation in force rests on blocks from before the last pause's
  // end and the pick has a near-tie further than a drift's step from it.
  bool LookAlikeAfterPause(const CORRRESULT& pick);
  bool LookAlikesEitherSide(const CORRRESULT& pick);
  void AddRecheckMonitor(MONITORDATA* monitor, const RecheckTrace& trace) const;

  CDelayConfirmation& m_confirmation;
  CCorrelatorSet m_searchSet;
  CCorrelatorSet m_recheckSet;
  CORRRESULT* m_result = nullptr;
  bool m_recheckRan = false;
  bool m_sawRivalPeaks = false;
  bool m_recheckWeak = false;
  bool m_newestDisagrees = false;
  // The delay the frame's own samples were judged at last.
  int32_t m_judgedAt = 0;
  // The frames judged paired so far at the delay found, summed: the
  // test's gain against the reference.
  double m_pairedAa = 0.0;
  double m_pairedAb = 0.0;
  int64_t m_unjudgedSamples = 0;  // frames' samples since the last judged
  bool m_seesLookAlikes = false;
  // The re-check's pick over its blocks in this frame: where it peaked.
  bool m_meanPicked = false;
  int32_t m_meanPeak = 0;
  bool m_recheckedAny = false;
  CRecheckFeeds m_recheckFeeds;
  CRecheckFloor m_refFloor;
  CRecheckFloor m_testFloor;
  uint32_t m_framesSinceRecheck = 0;
  double m_strongAtDelay = CReliableGate::kStrongQuality;
  int64_t m_pauseEnd = -1;  // where the last pause ended (-1: none this run)
};
