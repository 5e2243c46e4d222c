#include "Vantrel/frontend/DelayEstimator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Mathlib/MathlibCorrelator.h"
#include "Mathlib/MathlibPrim.h"
#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayCheck.h"
#include "Vantrel/frontend/DelayState.h"

namespace {

// The share of the confirmed correlation a delay stepped to must reach.
constexpr float kConfirmingShare = 0.9f;
// The newest block's correlation (percent) from which its peak off the
// delay in force says the delay has moved.
constexpr double kNewestStrongPeak = 80.0;
// How many times its share of its own level one side of a frame must
// hold over the other's to say the delay moved, where the other holds
// nothing to re-check: 6 dB. The two sides of a clean pair hold the same
// share of their levels; the DC filter's tail after a loud word leaves a
// silent side a few dB below its floor, not nothing.
constexpr double kOneSided = 4.0;
// The least (1 - rho^2) a frame's correlation is taken to scatter by.
constexpr double kFrameSpreadFloor = 0.1;
// Points (percent) within which a search's rival peak is a near-tie.
constexpr double kNearTiePoints = 5.0;
// Standard errors of the blocks' mean by which the correlation at the
// delay must fall to count as fallen.
constexpr double kFallErrors = 2.0;
// Points within which peaks a period either way of the delay are its
// look-alikes: a held tone's copies of itself stay within them, while a
// voice's pitch moves within a syllable and drops them further.
constexpr double kLookAlikePoints = 2.0;
// How many times the least significant correlation the newest block must
// reach at the delay for a rival peak of its own to leave it vouching.
constexpr double kRivalClearance = 2.0;

static_assert(CDelayConfirmation::kHoldFrames == CCorrelatorSet::kHistoryBlocks,
              "a confirmation holds as long as the re-check's history");

}  // namespace

int CDelayEstimator::InitSearch(uint32_t block, uint32_t window) {
  const int r = m_searchSet.Init(block, window, 2);
  m_result = nullptr;
  return r;
}

void CDelayEstimator::RestoreResult(int32_t delay, float quality) {
  m_result = &m_searchSet.Result();
  m_result->delay = delay;
  m_result->quality = quality;
}

bool CDelayEstimator::Search(const EstimationBlocks& blocks, bool anySign, int64_t maxDelay) {
  m_searchSet.Feed(blocks.refRing, blocks.refEnd, blocks.refEnergy, blocks.testRing, blocks.testEnd, blocks.testEnergy,
                   blocks.ringLength, blocks.streamEnd);
  int ok = 0;
  m_searchSet.PickBest(&ok, &m_result, anySign ? 1 : 0, 0);
  if ((m_result->flags & CORR_AMBIGUOUS) != 0 && std::fabs(m_result->quality) > 100.0f * CCorrelatorSet::kStrongPeak)
    m_sawRivalPeaks = true;
  VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::DetermineDelay(), results:\n");
  VANTREL_TRACE(TRACE_ORDINARY, "  * R found best   = %3.0f, New delay = %ld\n", double(m_result->quality),
                long(m_result->delay));
  // The search reaches past the asked range so that a delay out there is
  // seen for what it is instead of as a look-alike inside the range.
  if (std::abs(int64_t(m_result->delay)) > maxDelay) {
    m_result->flags = (m_result->flags & ~CORR_STRONG_PEAK) | CORR_BEYOND_RANGE;
    VANTREL_TRACE(TRACE_ORDINARY,
                  "CDelayCompensationImpl::DetermineDelay(), WARNING: delay %ld beyond the range of %lld\n",
                  long(m_result->delay), static_cast<long long>(maxDelay));
  }
  const int32_t wanted = CORR_ENOUGH_DATA | CORR_STRONG_PEAK;
  return (m_result->flags & wanted) == wanted;
}

namespace {

// A peak further than its lobe and a drift's step from `delay` comes
// within the near-tie margin of its quality: a look-alike (a pitch period
// away on a held vowel) that the blocks cannot tell from the delay.
bool NearTieApartFrom(CCorrelatorSet& set, int32_t delay, float quality) {
  const double rival = set.BestApartFrom(delay, int32_t(CDelayConfirmation::kDriftStep));
  return rival >= std::fabs(double(quality)) - kNearTiePoints;
}

}  // namespace

bool CDelayEstimator::LookAlikesEitherSide(const CORRRESULT& pick) {
  // A held vowel correlates as well a period either way of its delay, and
  // a step of one period leaves it looking the same: the blocks cannot
  // place the delay. An echo or a reverberation's rival lies on one side.
  const double margin = std::fabs(double(pick.quality)) - kLookAlikePoints;
  const int32_t apart = int32_t(CDelayConfirmation::kDriftStep);
  return m_recheckSet.BestApartFrom(pick.delay, apart, 1) >= margin &&
         m_recheckSet.BestApartFrom(pick.delay, apart, -1) >= margin;
}

bool CDelayEstimator::SearchPeakNearTie() {
  return m_result != nullptr && NearTieApartFrom(m_searchSet, m_result->delay, m_result->quality);
}

SampleSpan CDelayEstimator::SearchSpan(int delay) const {
  // Correlator 0 holds reference blocks (a test ahead), correlator 1 test
  // blocks, which pair with the reference `delay` samples earlier.
  SampleSpan span;
  const int32_t index = delay >= 0 ? 0 : 1;
  if (!m_searchSet.BlockSpan(index, &span.first, &span.end)) return span;
  const int64_t shift = delay < 0 ? int64_t(delay) : 0;
  span.first += shift;
  span.end += shift;
  return span;
}

namespace {

// Walks two rings' `count` samples that end `backA` and `backB` before
// their ends in pieces that stop where a ring wraps: sum(a, b, n) for each.
template <class PieceSums>
void RingPieces(const float* a, int aEnd, int64_t backA, const float* b, int bEnd, int64_t backB, int length,
                int64_t count, PieceSums sum) {
  if (a == nullptr || b == nullptr || length <= 0) return;
  count = std::min<int64_t>(count, length);
  const auto start = [&](int end, int64_t back) {
    const int64_t at = (int64_t(end) - back - count) % length;
    return at < 0 ? at + length : at;
  };
  int64_t i = start(aEnd, backA);
  int64_t j = start(bEnd, backB);
  for (int64_t done = 0; done < count;) {
    const int64_t piece = std::min({count - done, length - i, length - j});
    sum(a + i, b + j, piece);
    done += piece;
    i = (i + piece) % length;
    j = (j + piece) % length;
  }
}

// The sums of two rings' `count` samples that end `backA` and `backB`
// before their ends, term by term in order.
StretchSums RingStretchSums(const float* a, int aEnd, int64_t backA, const float* b, int bEnd, int64_t backB,
                            int length, int64_t count) {
  double terms[3] = {};
  RingPieces(a, aEnd, backA, b, bEnd, backB, length, count,
             [&](const float* x, const float* y, int64_t n) { MathlibStretchSumsF32(x, y, n, terms); });
  StretchSums sums;
  sums.aa = terms[0];
  sums.bb = terms[1];
  sums.ab = terms[2];
  return sums;
}

// The same sums in single precision, in any order: ample for judging a
// frame, at well under half the cost of the exact ones.
StretchSums RingDotSums(const float* a, int aEnd, int64_t backA, const float* b, int bEnd, int64_t backB, int length,
                        int64_t count) {
  StretchSums sums;
  RingPieces(a, aEnd, backA, b, bEnd, backB, length, count, [&](const float* x, const float* y, int64_t n) {
    const int32_t piece = int32_t(n);
    sums.aa += duvuvDotF32(x, x, piece);
    sums.bb += duvuvDotF32(y, y, piece);
    sums.ab += duvuvDotF32(x, y, piece);
  });
  return sums;
}

// The magnitude of the sums' normalised correlation; 0 without energy.
double MagnitudeCorrelation(const StretchSums& sums) {
  const double energy = sums.aa * sums.bb;
  return energy > 0.0 ? std::fabs(sums.ab) / std::sqrt(energy) : 0.0;
}

// The energy of the `count` samples of a ring that end `back` samples
// before `end`.
double RingEnergy(const float* ring, int end, int length, int64_t back, int64_t count) {
  return RingStretchSums(ring, end, back, ring, end, back, length, count).aa;
}

// How far below a correlation `rho` one over `samples` samples may fall
// by chance: it scatters by about (1 - rho^2) / sqrt(samples). The floor
// allows for a clean pair's short stretches, which differ from a longer
// one a little more than noise would say.
double ShortStretchScatter(double rho, uint32_t samples) {
  const double spread = std::max(1.0 - rho * rho, kFrameSpreadFloor);
  return CDelayEstimator::kSignificance / 2.0 * spread / std::sqrt(double(std::max<uint32_t>(samples, 1)));
}

}  // namespace

StretchSums CDelayEstimator::PairedSums(const EstimationBlocks& blocks, int delay, uint32_t count) {
  const int64_t d = delay;
  return RingStretchSums(blocks.refRing, blocks.refEnd, d < 0 ? -d : 0, blocks.testRing, blocks.testEnd, d > 0 ? d : 0,
                         blocks.ringLength, count);
}

StretchSums CDelayEstimator::FrameSums(const EstimationBlocks& blocks, uint32_t frameLength) const {
  return PairedSums(blocks, m_result->delay, frameLength);
}

bool CDelayEstimator::MaterialOnOneSide(const StretchSums& frame, uint32_t frameLength) const {
  // At the delay a frame pairs each signal with its copy: material on one
  // side against nothing on the other (the test silent where the
  // reference speaks, or the other way round) is another delay's pair,
  // however well the blocks before it correlated. Each side is measured
  // on its own scale, so that the test's gain does not count.
  const bool refHolds = m_refFloor.Holds(frame.aa, frameLength);
  const bool testHolds = m_testFloor.Holds(frame.bb, frameLength);
  if (refHolds == testHolds) return false;
  const double ref = frame.aa / m_refFloor.PerSample();
  const double test = frame.bb / m_testFloor.PerSample();
  return refHolds ? ref > kOneSided * test : test > kOneSided * ref;
}

int CDelayEstimator::Recheck(const EstimationBlocks& blocks, uint32_t frameLength, int state, int* quality,
                             MONITORDATA* monitor) {
  int r = state;
  // Without a search result there is nothing to re-check against.
  if (m_result == nullptr) {
    *quality = 0;
    return DELCOMP_NOCHANGE;
  }
  RecheckTrace trace;
  const double feedLevel = DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE * double(m_recheckSet.GetBlockLen());
  const StretchSums frame = FrameSums(blocks, frameLength);
  m_judgedAt = m_result->delay;
  m_refFloor.Note(frame.aa, frameLength);
  m_testFloor.Note(frame.bb, frameLength);
  const bool oneSided = MaterialOnOneSide(frame, frameLength);
  if (!m_refFloor.Holds(AlignedReferenceEnergy(blocks, frameLength), frameLength)) {
    *quality = QualityPercent(m_result->quality);
    r = DELCOMP_NOCHANGE;
    m_recheckWeak = true;
    if (oneSided) m_newestDisagrees = true;
  } else {
    m_recheckedAny = true;
    FeedRecheck(blocks, &trace);
    int ok = 0;
    CORRRESULT* pick = nullptr;
    m_recheckSet.PickBest(&ok, &pick, 1, 0);
    if (m_recheckSet.HasPeak()) m_seesLookAlikes = LookAlikesEitherSide(*pick);
    m_meanPicked = m_recheckSet.HasPeak() && (pick->flags & CORR_ENOUGH_DATA) != 0;
    m_meanPeak = pick->delay;
    trace.atCurrent = float(m_recheckSet.ValueAtLag(0, 0));
    trace.pickQuality = pick->quality;
    trace.ran = true;
    if ((pick->flags & CORR_ENOUGH_DATA) != 0) {
      r = JudgeRecheckPick(*pick, trace.atCurrent, state);
      *quality = QualityPercent(trace.atCurrent);
    } else if (ReconfirmsDelayInForce(*pick)) {
      // Fewer blocks than a search needs, at the one delay the line
      // already holds (the blocks after a pause): the confirmation is
      // renewed, nothing is rejected and the state stays.
      SampleSpan span;
      m_recheckSet.BlockSpan(0, &span.first, &span.end);
      m_confirmation.Confirm(m_result->delay, pick->quality, ConfirmedBy::Recheck, span, PickPrecision(*pick),
                             m_recheckFeeds.AtOneDelay(span.first));
      *quality = QualityPercent(trace.atCurrent);
    }
    m_recheckWeak = double(blocks.testEnergy) <= feedLevel;
    m_newestDisagrees = oneSided || NewestBlockOffDelay() || FrameOffDelay(frame, frameLength);
  }
  AddRecheckMonitor(monitor, trace);
  return r;
}

bool CDelayEstimator::FrameBelow(const StretchSums& sums, uint32_t frameLength, double reach) const {
  // Two quiet stretches say nothing either way.
  if (!m_refFloor.Holds(sums.aa, frameLength) || !m_testFloor.Holds(sums.bb, frameLength)) return false;
  const double rho = MagnitudeCorrelation(sums);
  // A quiet syllable's tail correlates less than the loud block around it.
  const double bound = std::min(reach, LevelReach(sums, frameLength));
  return rho < bound - ShortStretchScatter(bound, frameLength);
}

void CDelayEstimator::JudgeFrameAt(const EstimationBlocks& blocks, uint32_t frameLength, int32_t delay) {
  if (m_result == nullptr || std::abs(int64_t(delay) - m_judgedAt) <= CDelayConfirmation::kWithin) return;
  m_judgedAt = delay;
  // Just past a step the newest block's peaks wander, and a step back to
  // the delay confirmed before may pair a loud word with a quiet stretch
  // or with samples it does not correlate with.
  const StretchSums frame = PairedSums(blocks, delay, frameLength);
  if (MaterialOnOneSide(frame, frameLength) || FrameBelowConfirmed(frame, frameLength)) m_newestDisagrees = true;
}

FrameAtDelay CDelayEstimator::JudgeUntrackedFrame(const EstimationBlocks& blocks, uint32_t frameLength) {
  if (m_result == nullptr) return FrameAtDelay::Quiet;
  const int64_t d = m_result->delay;
  // A very short frame says little by itself: short frames are judged
  // together, once they hold kLeastJudgedSamples.
  m_unjudgedSamples += frameLength;
  if (m_unjudgedSamples < kLeastJudgedSamples) return FrameAtDelay::Quiet;
  m_unjudgedSamples = 0;
  const uint32_t samples = std::max(frameLength, kLeastJudgedSamples);
  const StretchSums frame = RingDotSums(blocks.refRing, blocks.refEnd, d < 0 ? -d : 0, blocks.testRing, blocks.testEnd,
                                        d > 0 ? d : 0, blocks.ringLength, samples);
  m_refFloor.Note(frame.aa, samples);
  m_testFloor.Note(frame.bb, samples);
  if (!m_refFloor.Holds(frame.aa, samples)) return FrameAtDelay::Quiet;
  const bool testHolds = m_testFloor.Holds(frame.bb, samples);
  // An echo, a room or a background adds to the test; none of them
  // silences it where the reference speaks. A test silent there, holding
  // nothing of the reference, is paired at another delay than its own.
  if (!testHolds && MaterialOnOneSide(frame, samples)) {
    if (!(MagnitudeCorrelation(frame) >= kSignificance / std::sqrt(double(samples)))) return FrameAtDelay::Unpaired;
  }
  // The test holds the reference at the gain its frames so far showed, and
  // correlates with it as far as that share of its energy lets it (a
  // quiet word under a loud background reaches little); a delay that moved
  // leaves it far below that, and below half the search's correlation.
  const double collapse = CDelayCheck::kCollapse * std::fabs(double(m_confirmation.Quality())) / 100.0;
  double reach = collapse;
  if (m_pairedAa > 0.0 && frame.bb > 0.0)
    reach = std::min(reach, std::fabs(m_pairedAb) / m_pairedAa * std::sqrt(frame.aa / frame.bb));
  if (FrameBelow(frame, samples, reach)) return FrameAtDelay::Collapsed;
  if (testHolds) {
    m_pairedAa += frame.aa;
    m_pairedAb += frame.ab;
  }
  return FrameAtDelay::Holds;
}

bool CDelayEstimator::FrameBelowConfirmed(const StretchSums& sums, uint32_t frameLength) const {
  return FrameBelow(sums, frameLength, std::fabs(double(m_confirmation.Quality())) / 100.0);
}

bool CDelayEstimator::FrameOffDelay(const StretchSums& sums, uint32_t frameLength) {
  // The newest block holds the frame's samples only where it was fed in
  // this frame. Its feed goes by the energy of the reference's block read
  // before, not of the one paired at the delay: in a word's tail past a
  // step the newest block is an older one, still at home at the delay
  // left. The frame's own samples then stand for the block it would have
  // been: they keep a strong peak's share of the correlation confirmed
  // (under an echo or a room's tail that is itself lower, and a frame's
  // scatters below it), and stand clear of chance.
  if (!m_recheckSet.Fed(0) && m_refFloor.Holds(sums.aa, frameLength) && m_testFloor.Holds(sums.bb, frameLength)) {
    const double share = double(CCorrelatorSet::kStrongPeak) * std::fabs(double(m_confirmation.Quality()));
    const double bar = std::max(SignificantQuality(), std::min(m_strongAtDelay, share));
    if (100.0 * MagnitudeCorrelation(sums) < bar) return true;
  }
  // A re-check block longer than the frame holds a step only in part and
  // still correlates at the delay left, while the frame's own samples,
  // all past the step, do not.
  if (frameLength >= m_recheckSet.GetBlockLen()) return false;
  if (!m_refFloor.Holds(sums.aa, frameLength) || !m_testFloor.Holds(sums.bb, frameLength)) return false;
  // The frame falls short only well below the block that holds it, or
  // below what its own level over the signals' noise lets it reach.
  const double block = std::fabs(m_recheckSet.ValueAtLag(0, 1)) / 100.0;
  const double level = LevelReach(sums, frameLength);
  if (FrameBelow(sums, frameLength, block)) return true;
  // The same holds for the block against the correlation confirmed: a
  // block mostly past a step may still pass for a strong peak.
  // Its newest samples, the frame's, bound what it may reach.
  const double confirmed = std::min(std::fabs(double(m_confirmation.Quality())) / 100.0, level);
  return block < confirmed - ShortStretchScatter(confirmed, m_recheckSet.GetBlockLen());
}

double CDelayEstimator::LevelReach(const StretchSums& sums, uint32_t samples) const {
  if (!(sums.aa > 0.0) || !(sums.bb > 0.0)) return 0.0;
  const double n = double(samples);
  return std::sqrt(std::max(0.0, 1.0 - m_refFloor.Noise() * n / sums.aa) *
                   std::max(0.0, 1.0 - m_testFloor.Noise() * n / sums.bb));
}

double CDelayEstimator::SignificantQuality() const {
  return 100.0 * kSignificance / std::sqrt(double(std::max<uint32_t>(m_recheckSet.GetBlockLen(), 1)));
}

double CDelayEstimator::AlignedReferenceEnergy(const EstimationBlocks& blocks, uint32_t frameLength) const {
  // A test that lags pairs its newest block with reference samples from
  // the delay before: a quiet stretch of the newest reference says nothing
  // of them (the test there may hold a step).
  const int d = m_result->delay;
  if (d >= 0) return double(blocks.refEnergy);
  return RingEnergy(blocks.refRing, blocks.refEnd, blocks.ringLength, -int64_t(d), frameLength);
}

void CDelayEstimator::FeedRecheck(const EstimationBlocks& blocks, RecheckTrace* trace) {
  const int length = blocks.ringLength;
  int refEnd = blocks.refEnd;
  int testEnd = blocks.testEnd;
  const int d = m_result->delay;
  auto moveBack = [&](int end, int by) {
    int64_t moved = int64_t(end) - by;
    while (moved < 0) moved += length;
    return int(moved);
  };
  if (d < 0)
    refEnd = moveBack(refEnd, -d);
  else
    testEnd = moveBack(testEnd, d);
  trace->refEnd = refEnd;
  trace->testEnd = testEnd;
  // Blocks from before a pause long enough for the drift measured to
  // have moved the delay on would vouch for where it was.
  if (std::fabs(m_confirmation.DriftPerFrame()) * double(m_framesSinceRecheck) > double(CDelayConfirmation::kWithin))
    m_recheckSet.ClearHistory();
  m_framesSinceRecheck = 0;
  // Aligned by the delay, both correlators' blocks pair with the
  // reference's samples ending where the reference is fetched from.
  const int64_t alignedEnd = blocks.streamEnd + (d < 0 ? int64_t(d) : 0);
  m_recheckSet.Feed(blocks.refRing, refEnd, blocks.refEnergy, blocks.testRing, testEnd, blocks.testEnergy, length,
                    alignedEnd);
  m_recheckFeeds.Note(alignedEnd, d);
  m_recheckRan = true;
}

int CDelayEstimator::JudgeRecheckPick(const CORRRESULT& pick, float atCurrent, int state) {
  // A peak a sample or three off the delay in force is the same peak,
  // moved on by a drift (the blocks of the mean were aligned by the
  // delays of their time): it is judged where it lies.
  const bool samePeak = std::abs(pick.delay) <= CDelayConfirmation::kWithin;
  // At the delay the search placed, the mean at the delay has fallen only
  // beyond the scatter of its blocks: under noise of the signals' own the
  // mean of short blocks wanders with the loudness of the material by
  // more than the confirmation's tenth. Blocks whose newer half falls
  // clearly below the older get no such allowance: that is a step.
  const float credit =
      m_confirmation.SearchPlaced(m_result->delay)
          ? float(std::copysign(kFallErrors * m_recheckSet.SteadyMeanErrorAtLagZero(kFallErrors), atCurrent))
          : 0.0f;
  const float atDelay = (samePeak ? pick.quality : atCurrent) + credit;
  const int r = samePeak ? VerifyDelay(pick.quality, m_result->quality, atDelay, 0)
                         : VerifyDelay(pick.quality, m_result->quality, atDelay, pick.delay);
  // The re-check confirms the delay in force when its own peak lies
  // there, where it now lies. A peak further than a drift's step from
  // the last one confirmed it confirms only where it correlates about
  // as well and no peak at another delay comes within the error of the
  // means (not a look-alike a pitch period away), and never where it is
  // the stale mean of blocks from before a pause. A rejection ends the
  // last confirmation; while the search runs, a re-check only confirms.
  const int64_t found = int64_t(m_result->delay) + pick.delay;
  const bool asStrong = std::fabs(atCurrent) >= kConfirmingShare * m_confirmation.Quality() &&
                        (pick.flags & CORR_AMBIGUOUS) == 0;
  // Blocks too short for a meaningful correlation confirm nothing.
  const bool meaningful = m_recheckSet.GetBlockLen() >= kMinConfirmingBlock;
  if (r == DELCOMP_DELAYRELIABLE) {
    SampleSpan span;
    m_recheckSet.BlockSpan(pick.delay >= 0 ? 0 : 1, &span.first, &span.end);
    if (meaningful && samePeak && (m_confirmation.Near(found) || asStrong) && !m_confirmation.StaleMean(found) &&
        !LookAlikeAfterPause(pick) && FedAt(found, span)) {
      m_confirmation.Confirm(m_result->delay + pick.delay, pick.quality, ConfirmedBy::Recheck, span,
                             PickPrecision(pick), m_recheckFeeds.AtOneDelay(span.first));
      // The next re-check judges its mean against the mean confirmed,
      // not against a search over longer blocks or a single block's
      // peak: a drift smears the mean's peak by a few points.
      m_result->quality = pick.quality;
    }
  } else if (state != DELCOMP_CALCDELAY) {
    m_confirmation.Reject(m_result->delay);
  }
  return r;
}

bool CDelayEstimator::FedAt(int64_t found, const SampleSpan& span) const {
  // Renewing the delay confirmed needs no such proof: the frames carry
  // exactly it only where the tracker has not moved off it.
  if (m_confirmation.Confirmed() && found == m_confirmation.Delay()) return true;
  return m_recheckFeeds.Place(int32_t(found), span.first);
}

bool CDelayEstimator::ReconfirmsDelayInForce(const CORRRESULT& pick) {
  // The blocks since a pause: a strong, open-free peak exactly at the
  // delay the confirmation holds, over the fewest blocks a pick takes.
  return m_recheckSet.HasPeak() && pick.delay == 0 && m_confirmation.Rooted() && !m_confirmation.AwaitsWholeRecheck() &&
         m_confirmation.Delay() == m_result->delay && !m_confirmation.StaleMean(m_result->delay) &&
         (pick.flags & (CORR_STRONG_PEAK | CORR_AMBIGUOUS)) == CORR_STRONG_PEAK &&
         m_recheckSet.GetBlockLen() >= kMinConfirmingBlock && !LookAlikeAfterPause(pick);
}

bool CDelayEstimator::LookAlikeAfterPause(const CORRRESULT& pick) {
  // A delay that stepped by a pitch period in a pause peaks a period off
  // on a held vowel, nearly as high as where it was: the first blocks
  // after a pause renew no confirmation from before it where the search
  // would see a near-tie. A confirmation whose blocks began before the
  // pause ended rests on them, also one made in the frame that ended it
  // (the pause is noted after that frame's re-check). Blocks past a
  // confirmation after the pause judge as before: speech's pitch moves,
  // and its look-alikes fall away.
  return m_confirmation.Evidence().blocks.first < m_pauseEnd && NearTieApartFrom(m_recheckSet, pick.delay, pick.quality);
}

int CDelayEstimator::PickPrecision(const CORRRESULT& pick) {
  // Each block's own peak near the pick: a drift the delay in force did
  // not follow spreads them apart, while their mean still peaks high.
  CBlockCorrelator& holder = m_recheckSet.Correlator(pick.delay >= 0 || m_recheckSet.Correlators() < 2 ? 0 : 1);
  const int32_t radius = std::max<int32_t>(holder.PeakLobe(), int32_t(2 * CDelayConfirmation::kDriftStep));
  const CCorrelatorSet::BlockPeaks peaks = m_recheckSet.PeaksOfBlocks(pick.delay, radius, pick.quality);
  int32_t precision = 0;
  if (peaks.blocks > 0) precision = std::max(pick.delay - peaks.lowest, peaks.highest - pick.delay);
  // At the delay the search placed, noise scatters the short blocks' own
  // peaks while their mean still falls off clearly beside the delay: the
  // blocks place it as closely as their mean resolves it. (Where the
  // tracker moved the delay, only the blocks' own peaks may say so.)
  if (m_confirmation.SearchPlaced(m_result->delay + pick.delay))
    precision = std::min(
        precision,
        m_recheckSet.UnresolvedWithin(pick.delay, pick.quality, int32_t(CDelayConfirmation::kDriftStep), kFallErrors));
  return precision;
}

bool CDelayEstimator::NewestBlockOffDelay() {
  // The newest block alone: a step shows there first, while the mean of
  // the blocks still peaks at the delay left. A block that no longer
  // correlates strongly at the delay (half of it past a step) does not
  // vouch for it either.
  if (!m_recheckSet.Fed(0)) return m_newestDisagrees;
  int ok = 0;
  CORRRESULT* newest = nullptr;
  m_recheckSet.PickBest(&ok, &newest, 1, 1);
  if ((newest->flags & CORR_ENOUGH_DATA) == 0) return false;
  const double atDelay = std::fabs(m_recheckSet.ValueAtLag(0, 1));
  const double peak = std::fabs(double(newest->quality));
  // At the delay the search placed, a block that peaks nowhere clearly
  // higher than there (beyond the search's near-tie margin) is a weak
  // block of that delay (a reverberant tail, noise over quiet speech),
  // not one past a step, which correlates there hardly at all or peaks
  // clearly elsewhere: it need only stand clear of chance.
  const bool searchPlaced = m_confirmation.SearchPlaced(m_result->delay);
  // The same holds where the mean of the blocks still peaks exactly there
  // and the newest block peaks elsewhere below a strong peak's height but
  // correlates at the delay well clear of chance: a background of its own
  // (a chord under the test) lends a short block of quiet speech a rival
  // peak, a step takes the correlation at the delay down to chance.
  const bool meanThere = MeanPeaksAt(0) && peak < kNewestStrongPeak && atDelay >= kRivalClearance * SignificantQuality();
  if (searchPlaced && (peak <= atDelay + kNearTiePoints || meanThere))
    m_strongAtDelay = std::min(m_strongAtDelay, SignificantQuality());
  if (atDelay < m_strongAtDelay) return true;
  // At the delay the search placed, a peak elsewhere within the search's
  // near-tie margin is a look-alike (a pitch period away on a voiced
  // stretch, a room's reflection), not a step.
  const double margin = searchPlaced ? kNearTiePoints : 1.0;
  return std::abs(newest->delay) > CDelayConfirmation::kWithin && peak >= kNewestStrongPeak && peak > atDelay + margin;
}

void CDelayEstimator::AddRecheckMonitor(MONITORDATA* monitor, const RecheckTrace& trace) const {
  if (monitor == nullptr) return;
  const bool ran = trace.ran;
  monitor->Add(m_result->quality, -100.0f, 100.0f, "R(default)");
  monitor->Add(ran ? trace.atCurrent : 0.0f, -100.0f, 100.0f, "R(at default)");
  monitor->Add(ran ? trace.pickQuality : 0.0f, -100.0f, 100.0f, "R(Frame)");
  monitor->Add(ran ? float(trace.refEnd / 128) : 0.0f, 0.0f, 32767.0f, "WPosR");
  monitor->Add(ran ? float(trace.testEnd / 128) : 0.0f, 0.0f, 32767.0f, "WPosT");
}

int CDelayEstimator::VerifyDelay(float rNew, float rCurrent, float rAtCurrent, int offset) {
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
