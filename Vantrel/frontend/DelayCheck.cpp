#include "Vantrel/frontend/DelayCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/RingTail.h"
#include "Vantrel/frontend/DelayState.h"

namespace {

constexpr int32_t kLags = CDelayCheck::kLags;
constexpr int kLagCount = 2 * kLags + 1;

// The lag of the largest value, the one nearest lag 0 among equal ones.
int32_t PeakLag(const double (&rho)[kLagCount]) {
  int32_t best = 0;
  for (int32_t lag = 1; lag <= kLags; ++lag)
    for (const int32_t at : {lag, -lag})
      if (rho[at + kLags] > rho[best + kLags]) best = at;
  return best;
}

// The normalised correlation at each lag of sums, on the side `sign` gives.
void Normalised(double aa, const double (&ab)[kLagCount], const double (&bb)[kLagCount], float sign,
                double (&rho)[kLagCount]) {
  const double side = sign < 0.0f ? -1.0 : 1.0;
  for (int k = 0; k < kLagCount; ++k) {
    const double energy = aa * bb[k];
    rho[k] = energy > 0.0 ? side * ab[k] / std::sqrt(energy) : 0.0;
  }
}

}  // namespace

CDelayCheck::~CDelayCheck() {
  FreeArray(m_ref);
  FreeArray(m_test);
  FreeArray(m_halves);
}

bool CDelayCheck::Configure(uint32_t block, int sampleRate) {
  FreeArray(m_ref);
  FreeArray(m_test);
  FreeArray(m_halves);
  m_ready = false;
  m_block = block;
  Clear();
  if (block == 0 || sampleRate <= 0) return false;
  const double perLook = std::round(kLookSeconds * double(sampleRate) / double(block));
  m_lookBlocks = int32_t(std::clamp(perLook, 2.0, double(Look::kMaxBlocks)));
  m_maxInterval = int64_t(kMaxIntervalSeconds * double(sampleRate));
  m_collapsedRunLimit = int64_t(kCollapsedRunSeconds * double(sampleRate));
  m_ref = AllocateZeroed<float>(block, "the delay check's reference block");
  m_test = AllocateZeroed<float>(size_t(block) + 2 * kLags, "the delay check's test stretch");
  m_halves = AllocateZeroed<float>(3 * ((size_t(block) + 1) / 2) + 2 * kLags, "the delay check's half samples");
  m_ready = m_ref != nullptr && m_test != nullptr && m_halves != nullptr;
  if (!m_ready) {
    FreeArray(m_ref);
    FreeArray(m_test);
    FreeArray(m_halves);
  }
  return m_ready;
}

void CDelayCheck::Clear() {
  m_planned = false;
  m_judged = false;
  m_suspect = false;
  m_failed = false;
  m_doubted = false;
  m_collapsedRun = 0;
  m_move = DelayMove{};
  m_look = Look{};
  m_interval = 0;
}

void CDelayCheck::StartLook(int32_t blocks) {
  m_look = Look{};
  m_target = std::clamp<int32_t>(blocks, 1, Look::kMaxBlocks);
}

void CDelayCheck::Plan(int64_t alignedEnd, int64_t searchEnd) {
  m_planned = true;
  const int64_t block = int64_t(m_block);
  // The first look's blocks end where the search's did, as many as fit
  // since the inputs began; without such blocks it starts with the frames.
  const int64_t fit = searchEnd / block;
  if (fit >= 1 && searchEnd >= alignedEnd) {
    const int32_t blocks = int32_t(std::min<int64_t>(fit, m_lookBlocks));
    StartLook(blocks);
    m_nextDue = searchEnd - (blocks - 1) * block;
  } else {
    StartLook(m_lookBlocks);
    m_nextDue = alignedEnd + block;
  }
  m_interval = int64_t(m_lookBlocks) * block;
}

void CDelayCheck::Note(const EstimationBlocks& blocks, int delay, float quality, int64_t searchEnd) {
  if (!m_ready || m_failed) return;
  const int64_t alignedEnd = blocks.streamEnd + (delay < 0 ? int64_t(delay) : 0);
  m_searchEnd = searchEnd;
  if (!m_planned) Plan(alignedEnd, searchEnd);
  if (alignedEnd < m_nextDue || !TakeBlock(blocks, delay, quality)) return;
  m_nextDue = alignedEnd + int64_t(m_block);
  if (m_look.taken >= m_target) Judge(delay, alignedEnd, quality);
}

bool CDelayCheck::TakeBlock(const EstimationBlocks& blocks, int delay, float sign) {
  // The reference block ends kLags before the newest sample paired at the
  // delay, so that the test holds kLags more on either side of it.
  const int64_t block = int64_t(m_block);
  const int64_t refBack = kLags + (delay < 0 ? -int64_t(delay) : 0);
  const int64_t testBack = delay > 0 ? int64_t(delay) : 0;
  const int64_t stretch = block + 2 * kLags;
  if (blocks.refRing == nullptr || blocks.testRing == nullptr || blocks.ringLength <= 0) return false;
  if (refBack + block > blocks.streamEnd || testBack + stretch > blocks.streamEnd) return false;
  if (refBack + block > blocks.ringLength || testBack + stretch > blocks.ringLength) return false;
  const auto endBefore = [&](int end, int64_t back) {
    int64_t at = (int64_t(end) - back) % blocks.ringLength;
    return int(at < 0 ? at + blocks.ringLength : at);
  };
  const float* ref = RingTailRun(blocks.refRing, endBefore(blocks.refEnd, refBack), blocks.ringLength, m_block, m_ref);
  const float* test =
      RingTailRun(blocks.testRing, endBefore(blocks.testEnd, testBack), blocks.ringLength, uint32_t(stretch), m_test);
  ++m_look.taken;
  // The sums run over the block's even samples only: every other product
  // estimates a lag's sum as well where the signals hold little above a
  // quarter of the rate (speech, music), at half the cost. Even lags pair
  // them with the stretch's even samples, odd lags with its odd ones.
  const int32_t half = int32_t((block + 1) / 2);
  const int32_t halfStretch = half + kLags;
  float* refEven = m_halves;
  float* testEven = refEven + half;
  float* testOdd = testEven + halfStretch;
  // Samples taken in pairs split as the parts of complex values; the
  // reference's odd ones land where the test's will.
  const int32_t refPairs = int32_t(block / 2), testPairs = int32_t(stretch / 2);
  if (refPairs > 0) duvuvSplitComplexC32(ref, refEven, testOdd, refPairs);
  if (refPairs < half) refEven[refPairs] = ref[2 * refPairs];
  duvuvSplitComplexC32(test, testEven, testOdd, testPairs);
  // An odd block leaves the stretch without its last odd sample.
  if (testPairs < halfStretch) {
    testEven[testPairs] = test[2 * testPairs];
    testOdd[testPairs] = 0.0f;
  }
  // Single precision is ample for where a peak lies: the sums of a block
  // carry a relative error far below the differences between lags.
  const double aa = duvuvDotF32(refEven, refEven, half);
  // Test sample j + kLags - lag pairs with reference sample j at lag `lag`:
  // entry k of the sums holds lag kLags - k, over test samples k, k + 2, ...
  double bbByEntry[kLagCount];
  for (int k = 0; k < 2; ++k) {
    const float* side = k == 0 ? testEven : testOdd;
    bbByEntry[k] = duvuvDotF32(side, side, half);
    for (int e = k + 2, m = 1; e < kLagCount; e += 2, ++m) {
      const double leaving = side[m - 1], entering = side[m - 1 + half];
      bbByEntry[e] = std::max(0.0, bbByEntry[e - 2] - leaving * leaving + entering * entering);
    }
  }
  // As the search, a block counts only with energy in both signals.
  const double least = DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE * double(half);
  if (aa <= least || bbByEntry[kLags] <= least) return true;
  // The correlation's vector passes take lags four at a time; the lags
  // left over cost less as dot products than as its one-lag sums.
  constexpr int kInPasses = kLags / 4 * 4;
  float evenSums[kInPasses], oddSums[kInPasses];
  if (duvuvCrossCorrF32(0, refEven, half, testEven, halfStretch, evenSums, kInPasses, 0) != 0 ||
      duvuvCrossCorrF32(0, refEven, half, testOdd, halfStretch, oddSums, kInPasses, 0) != 0)
    return true;
  double cross[kLagCount], energies[kLagCount];
  for (int m = 0; m <= kLags; ++m) {
    const bool inPasses = m < kInPasses;
    cross[kLagCount - 1 - 2 * m] = inPasses ? evenSums[m] : duvuvDotF32(refEven, testEven + m, half);
    if (m < kLags) cross[kLagCount - 2 - 2 * m] = inPasses ? oddSums[m] : duvuvDotF32(refEven, testOdd + m, half);
  }
  for (int k = 0; k < kLagCount; ++k) energies[kLagCount - 1 - k] = bbByEntry[k];
  m_look.Add(aa, cross, energies, sign);
  return true;
}

void CDelayCheck::Look::Add(double blockEnergy, const double (&cross)[kLagCount], const double (&energies)[kLagCount],
                            float sign) {
  double rho[kLagCount];
  Normalised(blockEnergy, cross, energies, sign, rho);
  if (blocks < kMaxBlocks) peaks[blocks] = PeakLag(rho);
  blocks = std::min(blocks + 1, kMaxBlocks);
  aa += blockEnergy;
  for (int k = 0; k < kLagCount; ++k) {
    ab[k] += cross[k];
    bb[k] += energies[k];
  }
}

CDelayCheck::Placement CDelayCheck::Place(const Look& look, float quality) {
  double rho[kLagCount];
  Normalised(look.aa, look.ab, look.bb, quality, rho);
  Placement placement;
  placement.atDelay = rho[kLags];
  const double best = *std::max_element(rho, rho + kLagCount);
  placement.collapsed = best < kCollapse * std::fabs(double(quality)) / 100.0;
  const int32_t peak = PeakLag(rho);
  placement.offset = peak;
  placement.atEdge = std::abs(peak) == kLags;
  if (!placement.atEdge) {
    // The vertex of the parabola through the peak and its neighbours.
    const double before = rho[peak + kLags - 1], at = rho[peak + kLags], after = rho[peak + kLags + 1];
    const double curve = before - 2.0 * at + after;
    if (curve < 0.0) placement.offset += std::clamp(0.5 * (before - after) / curve, -0.5, 0.5);
  }
  for (int32_t b = 0; b < look.blocks; ++b)
    placement.precision = std::max(placement.precision, std::fabs(double(look.peaks[b]) - placement.offset));
  return placement;
}

bool CDelayCheck::Off(const Placement& placement) {
  return placement.collapsed || std::fabs(placement.offset) > std::max(placement.precision, kLeastOffset);
}

bool CDelayCheck::Confirms(const Placement& first, const Placement& second) {
  if (first.collapsed || second.collapsed) return first.collapsed && second.collapsed;
  const bool sameWay = (first.offset > 0.0) == (second.offset > 0.0);
  return Off(first) && Off(second) && sameWay && std::fabs(second.offset) >= std::fabs(first.offset) - 0.25;
}

void CDelayCheck::Judge(int delay, int64_t alignedEnd, float quality) {
  const Look look = m_look;
  const int64_t block = int64_t(m_block);
  // A look without loud blocks says nothing: the next one starts at once.
  if (look.blocks == 0) {
    StartLook(m_lookBlocks);
    return;
  }
  const Placement placement = Place(look, quality);
  m_judged = true;
  if (m_suspect) {
    m_suspect = false;
    if (Confirms(m_suspectPlacement, placement)) {
      m_failed = true;
      m_move.moved = true;
      m_move.from = delay;
      m_move.to = delay + int(std::lround(placement.offset));
      m_move.beyond = placement.atEdge;
      m_move.collapsed = placement.collapsed;
      m_move.correlation = QualityPercent(100.0 * placement.atDelay);
      m_move.searchCorrelation = QualityPercent(std::fabs(double(quality)));
      m_move.at = alignedEnd;
      return;
    }
  } else if (Off(placement)) {
    // A second look, right after: one block where the correlation at the
    // delay collapsed, else two, whose peaks tell its precision.
    m_suspect = true;
    m_suspectPlacement = placement;
    StartLook(placement.collapsed ? 1 : std::min<int32_t>(m_lookBlocks, 2));
    return;
  }
  if (!Off(placement)) m_doubted = false;
  StartLook(m_lookBlocks);
  if (std::fabs(placement.offset) > kLean) {
    m_interval = int64_t(m_lookBlocks) * block;
    return;
  }
  m_interval = std::min(m_maxInterval, 2 * m_interval);
  const int64_t gap = m_interval - int64_t(m_lookBlocks) * block;
  if (gap > 0) m_nextDue += gap;
}

void CDelayCheck::NoteFrame(FrameAtDelay frame, uint32_t samples, int64_t frameEnd) {
  switch (frame) {
    case FrameAtDelay::Quiet: return;  // a run goes on through a quiet reference
    // One frame correlating by chance past a step does not end the run.
    case FrameAtDelay::Holds: m_collapsedRun /= 2; return;
    case FrameAtDelay::Collapsed:
      m_collapsedRun += samples;
      if (m_collapsedRun >= m_collapsedRunLimit) Doubt(frameEnd);
      return;
    case FrameAtDelay::Unpaired: Doubt(frameEnd); return;
  }
}

void CDelayCheck::Doubt(int64_t frameEnd) {
  if (!m_ready || m_failed || m_doubted || !m_planned) return;
  m_doubted = true;
  // Blocks taken before the doubt may hold the delay's old samples only.
  if (!m_suspect) StartLook(m_lookBlocks);
  m_nextDue = frameEnd + int64_t(m_block);
}

bool CDelayCheck::Holds(int64_t frameEnd) const {
  // A check never set up (a machine run without a stage's Init) looks at nothing.
  if (!m_ready) return true;
  if (m_failed || m_doubted) return false;
  return m_judged || frameEnd <= m_searchEnd;
}
