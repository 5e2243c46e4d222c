#include "Vantrel/frontend/CorrelatorSet.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/RefusalNote.h"
#include "Vantrel/frontend/FrontEndAlloc.h"

namespace {

constexpr int32_t kMinBlocks = 4;
constexpr int32_t kReliableBlocks = DELAY_SEARCH_RELIABLE_BLOCKS;

}  // namespace

int CCorrelatorSet::Init(uint32_t blockLen, uint32_t window, int32_t count) {
  Free();
  m_count = count < 1 ? 1 : (count > 2 ? 2 : count);
  m_blockLen = blockLen;
  m_windowLen = window;
  m_energyThreshold = 800.0 * double(blockLen);
  m_correlators = spkAllocationRefused() ? nullptr : new (std::nothrow) CBlockCorrelator[m_count];
  if (m_correlators == nullptr) {
    NoteOutOfMemory("CCorrelatorSet::Init()", size_t(m_count) * sizeof(CBlockCorrelator),
                    "the delay search's correlators");
    m_count = 0;
    return 0;
  }
  m_result = CORRRESULT{};
  m_failed = false;
  m_hasPeak = false;
  int result = 1;
  for (int32_t i = 0; i < m_count; ++i) {
    m_energy[i] = 0.0;
    m_fed[i] = 0;
    m_peak[i] = m_secondPeak[i] = 0.0f;
    m_peakPos[i] = m_secondPos[i] = 0;
    m_fedCount[i] = m_fedNext[i] = 0;
    result = m_correlators[i].Init(blockLen, window, kHistoryBlocks);
    // One FFT spec serves the set: every correlator has its length.
    if (i > 0) m_correlators[i].ShareTransformsOf(m_correlators[0]);
    if (result == 0) break;
  }
  if (result != 0 && !m_blockTransforms.Init(blockLen, window)) result = 0;
  if (result != 0 && !m_segments.Init(blockLen, window)) result = 0;
  // Refused: no correlators, as before the first Init.
  if (result == 0) Free();
  return result;
}

void CCorrelatorSet::ClearHistory() {
  for (int32_t i = 0; i < m_count; ++i) {
    m_correlators[i].Clear();
    m_energy[i] = 0.0;
    m_fed[i] = 0;
    m_peak[i] = m_secondPeak[i] = 0.0f;
    m_peakPos[i] = m_secondPos[i] = 0;
    m_fedCount[i] = m_fedNext[i] = 0;
  }
  m_blockTransforms.Clear();
  m_segments.Clear();
  m_result = CORRRESULT{};
  m_failed = false;
  m_hasPeak = false;
}

void CCorrelatorSet::Free() {
  delete[] m_correlators;
  m_correlators = nullptr;
  m_count = 0;
  m_blockTransforms.Free();
  m_segments.Free();
}

int CCorrelatorSet::Feed(const float* refRing, int refEnd, double refEnergy, const float* testRing, int testEnd,
                         double testEnergy, int ringLength, int64_t streamEnd) {
  if (m_count == 0) return 1;
  const auto noteFed = [&](int32_t index) {
    m_fedEnd[index][m_fedNext[index]] = streamEnd;
    m_fedNext[index] = (m_fedNext[index] + 1) % kHistoryBlocks;
    if (m_fedCount[index] < kHistoryBlocks) ++m_fedCount[index];
  };
  const double threshold = DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE * double(m_blockLen);
  CBlockCorrelator* fed[2] = {};
  CBlockCorrelator::Source sources[2] = {};
  int feeding = 0;
  m_fed[0] = refEnergy > threshold ? 1 : 0;
  if (m_fed[0] != 0) {
    fed[feeding] = &m_correlators[0];
    sources[feeding++] = {refRing, refEnd, testRing, testEnd, ringLength};
    m_energy[0] += refEnergy;
    noteFed(0);
  }
  if (m_count >= 2) {
    m_fed[1] = testEnergy > threshold ? 1 : 0;
    if (m_fed[1] != 0) {
      fed[feeding] = &m_correlators[1];
      sources[feeding++] = {testRing, testEnd, refRing, refEnd, ringLength};
      m_energy[1] += testEnergy;
      noteFed(1);
    }
  }
  UseBlockTransforms(refRing, refEnd, testRing, testEnd, ringLength, streamEnd, fed, sources, feeding);
  if (UseWindowSegments(refRing, refEnd, testRing, testEnd, ringLength, streamEnd, fed, sources, feeding) &&
      CBlockCorrelator::ProcessEach(fed, sources, feeding))
    return 1;
  m_failed = true;
  TraceRefusal(RefusalCode::MathFailure, "CCorrelatorSet::Feed", -1,
               "the delay search's transform of %u points failed (out of memory)", m_windowLen);
  return 0;
}

void CCorrelatorSet::UseBlockTransforms(const float* refRing, int refEnd, const float* testRing, int testEnd,
                                     int ringLength, int64_t streamEnd, CBlockCorrelator* const fed[],
                                     CBlockCorrelator::Source sources[], int feeding) {
  if (!m_blockTransforms.Usable() || m_count < 2) return;
  // A feed that takes no block breaks the run of blocks.
  if (feeding == 0) {
    m_blockTransforms.Clear();
    return;
  }
  const bool windows =
      m_blockTransforms.Take(m_correlators[0].TransformHandle(), refRing, refEnd, testRing, testEnd, ringLength, streamEnd);
  // Before the chain holds a window, the blocks' transforms still serve:
  // only the windows need one.
  if (!m_blockTransforms.Taken()) return;
  // Correlator 0 takes a reference block against the test's window, 1 the other way round.
  for (int f = 0; f < feeding; ++f) {
    const int signal = fed[f] == &m_correlators[0] ? 0 : 1;
    sources[f].blockSpectrum = m_blockTransforms.Block(signal);
    sources[f].windowSpectrum = windows ? m_blockTransforms.Window(1 - signal) : nullptr;
    if (!windows) continue;
    sources[f].blockSamples = m_blockTransforms.BlockSamples(signal);
    sources[f].windowSamples = m_blockTransforms.WindowSamples(1 - signal);
  }
}

bool CCorrelatorSet::UseWindowSegments(const float* refRing, int refEnd, const float* testRing, int testEnd,
                                       int ringLength, int64_t streamEnd, CBlockCorrelator* const fed[],
                                       CBlockCorrelator::Source sources[], int feeding) {
  if (!m_segments.Usable() || m_count < 2 || feeding == 0) return true;
  if (!m_segments.Begin(m_correlators[0].TransformHandle(), refRing, refEnd, testRing, testEnd, ringLength, streamEnd))
    return true;
  // Correlator 0 takes a reference block against the test's window, 1 the
  // other way round.
  for (int f = 0; f < feeding; ++f) {
    const int signal = fed[f] == &m_correlators[0] ? 0 : 1;
    double* room = fed[f]->CorrelationRoom();
    if (room == nullptr || !m_segments.Correlate(signal, room)) return false;
    sources[f].correlation = room;
  }
  return true;
}

bool CCorrelatorSet::BlockSpan(int32_t index, int64_t* first, int64_t* end) const {
  if (index < 0 || index >= m_count || m_fedCount[index] == 0) return false;
  const uint32_t newest = (m_fedNext[index] + kHistoryBlocks - 1) % kHistoryBlocks;
  const uint32_t oldest = m_fedCount[index] < kHistoryBlocks ? 0 : m_fedNext[index];
  *first = m_fedEnd[index][oldest] - int64_t(m_blockLen);
  *end = m_fedEnd[index][newest];
  return true;
}

int32_t CCorrelatorSet::DelayAt(int32_t index, int32_t pos) const {
  const int32_t delay = int32_t(m_windowLen) - pos;
  return index == 1 ? -delay : delay;
}

int CCorrelatorSet::Pick(bool absolute, float sign, bool withSecond, int relaxed) {
  const int32_t reliableCount = relaxed != 0 ? 1 : kReliableBlocks;
  PeakChoice choice;
  FindBestPeak(absolute, sign, withSecond, relaxed, &choice);
  const int32_t bestIndex = choice.index;
  m_hasPeak = bestIndex >= 0;
  if (bestIndex < 0) {
    // Nothing to pick yet: no delay rather than the edge of the window.
    m_result.delay = 0;
    m_result.quality = 0.0f;
    if (withSecond) {
      m_result.secondDelay = 0;
      m_result.secondQuality = 0.0f;
    }
    m_result.flags = CORR_NOT_RELIABLE;
    return 1;
  }
  m_result.delay = DelayAt(bestIndex, m_peakPos[bestIndex]);
  m_result.quality = m_peak[bestIndex] * 100.0f;
  if (withSecond) {
    // Signed like the first peak, so that both compare with a delay.
    m_result.secondDelay = DelayAt(bestIndex, m_secondPos[bestIndex]);
    m_result.secondQuality = m_secondPeak[bestIndex] * 100.0f;
  }
  const bool ambiguous = PeakIsAmbiguous(choice);
  m_result.flags = ambiguous ? CORR_AMBIGUOUS : 0;
  if (choice.magnitude > kStrongPeak && (!withSecond || choice.allFed) && !ambiguous)
    m_result.flags |= CORR_STRONG_PEAK;
  if (choice.count >= reliableCount && m_energy[bestIndex] >= m_energyThreshold)
    m_result.flags |= CORR_ENOUGH_DATA;
  else
    m_result.flags |= CORR_NOT_RELIABLE;
  return 1;
}

void CCorrelatorSet::FindBestPeak(bool absolute, float sign, bool withSecond, int relaxed, PeakChoice* choice) {
  const int32_t minCount = relaxed != 0 ? 1 : kMinBlocks;
  for (int32_t i = 0; i < m_count; ++i) {
    int32_t count = 0;
    // A pick without the second peak skips its search.
    int32_t* const secondPos = withSecond ? &m_secondPos[i] : nullptr;
    float* const secondPeak = withSecond ? &m_secondPeak[i] : nullptr;
    if (absolute)
      m_correlators[i].MaxAbs(&m_peakPos[i], &m_peak[i], secondPos, secondPeak, nullptr, &count, relaxed,
                              &choice->equalPeaks[i]);
    else
      m_correlators[i].MaxSigned(&m_peakPos[i], &m_peak[i], secondPos, secondPeak, nullptr, &count,
                                 sign >= 0.0f ? 1 : 0, relaxed, &choice->equalPeaks[i]);
    choice->allFed = choice->allFed && m_fed[i] != 0;
    choice->qualifies[i] = count >= minCount;
    if (!choice->qualifies[i]) continue;
    const float magnitude = std::fabs(m_peak[i]);
    const int32_t bestIndex = choice->index;
    const float best = choice->magnitude;
    // Peaks equal within rounding: the delay nearest 0 wins (the first correlator on a full tie).
    const bool better = bestIndex < 0 || magnitude > best + BLOCK_CORR_EQUAL_PEAK ||
                        (magnitude >= best - BLOCK_CORR_EQUAL_PEAK &&
                         std::abs(DelayAt(i, m_peakPos[i])) < std::abs(DelayAt(bestIndex, m_peakPos[bestIndex])));
    if (better) {
      choice->magnitude = magnitude;
      choice->index = i;
      choice->count = count;
    }
  }
}

bool CCorrelatorSet::PeakIsAmbiguous(const PeakChoice& choice) const {
  // Another peak at another delay as high, or closer than the errors of
  // the two means allow, leaves the delay open; the other correlator's
  // peak within the lobe of the best (a delay near 0 seen from both sides)
  // is the same peak.
  const int32_t bestIndex = choice.index;
  const float best = choice.magnitude;
  bool ambiguous = choice.equalPeaks[bestIndex] > 0;
  const double bestError = m_correlators[bestIndex].PeakError();
  for (int32_t i = 0; i < m_count; ++i) {
    const int32_t lobe = std::max(m_correlators[bestIndex].PeakLobe(), m_correlators[i].PeakLobe());
    const int64_t apart = std::abs(int64_t(DelayAt(i, m_peakPos[i])) - int64_t(m_result.delay));
    if (i == bestIndex || !choice.qualifies[i] || apart == 0) continue;
    if (apart <= lobe && double(std::fabs(m_peak[i])) < double(best) + double(BLOCK_CORR_EQUAL_PEAK)) continue;
    const double error = bestError + m_correlators[i].PeakError();
    const double margin = std::max(double(BLOCK_CORR_EQUAL_PEAK), BLOCK_CORR_SETTLING_ERRORS * error);
    if (double(std::fabs(m_peak[i])) >= double(best) - margin) ambiguous = true;
  }
  return ambiguous;
}

int CCorrelatorSet::PickBest(int* ok, CORRRESULT** result, int useAbs, int relaxed) {
  Pick(useAbs != 0, 1.0f, false, relaxed);
  if (ok != nullptr) *ok = 1;
  if (result != nullptr) *result = &m_result;
  return 1;
}

int CCorrelatorSet::PickBestSigned(int* ok, CORRRESULT** result, float sign, int relaxed) {
  Pick(false, sign, true, relaxed);
  if (ok != nullptr) *ok = 1;
  if (result != nullptr) *result = &m_result;
  return 1;
}

double CCorrelatorSet::BestApartFrom(int32_t delay, int32_t apart, int side) {
  double best = 0.0;
  for (int32_t i = 0; i < m_count; ++i) apart = std::max(apart, m_correlators[i].PeakLobe());
  // Largest magnitude over entries [lo, hi) of a vector, clipped to the
  // entries [B, W) that hold the delays whole blocks reach.
  const auto largestIn = [this](const float* vector, int64_t lo, int64_t hi) {
    lo = std::max<int64_t>(lo, m_blockLen);
    hi = std::min<int64_t>(hi, m_windowLen);
    float largest = 0.0f;
    for (int64_t pos = lo; pos < hi; ++pos) largest = std::max(largest, std::fabs(vector[pos]));
    return largest;
  };
  const int64_t w = m_windowLen;
  for (int32_t i = 0; i < m_count; ++i) {
    const float* vector = nullptr;
    int32_t divisor = 0;
    m_correlators[i].MaxSigned(nullptr, nullptr, nullptr, nullptr, &vector, &divisor, 1, 0);
    if (vector == nullptr || divisor == 0 || m_blockLen > m_windowLen) continue;
    // Entry pos holds the delay W - pos (correlator 0) or pos - W (1): the
    // delays more than `apart` above `delay` and those more than `apart`
    // below it are each one run of entries.
    const int64_t above = i == 1 ? w + delay + apart + 1 : 0;
    const int64_t aboveEnd = i == 1 ? w : w - delay - apart;
    const int64_t below = i == 1 ? 0 : w - delay + apart + 1;
    const int64_t belowEnd = i == 1 ? w + delay - apart : w;
    float largest = 0.0f;
    if (side >= 0) largest = std::max(largest, largestIn(vector, above, aboveEnd));
    if (side <= 0) largest = std::max(largest, largestIn(vector, below, belowEnd));
    best = std::max(best, double(largest) * 100.0 / double(divisor));
  }
  return best;
}

CCorrelatorSet::BlockPeaks CCorrelatorSet::PeaksOfBlocks(int32_t delay, int32_t radius, float sign) const {
  BlockPeaks peaks;
  if (m_count == 0 || m_blockLen > m_windowLen) return peaks;
  const int64_t reach = int64_t(m_windowLen) - int64_t(m_blockLen);
  const float side = sign < 0.0f ? -1.0f : 1.0f;
  int32_t each[kHistoryBlocks] = {};
  int32_t held = 0;
  for (int32_t i = 0; i < m_count; ++i) held = std::max(held, m_correlators[i].Blocks());
  for (int32_t age = 0; age < held; ++age) {
    // Correlator 0 holds the delays from 0 up, correlator 1 those below 0,
    // both at lag W - B - |delay|; each block is judged on its own vector.
    const float* ahead = m_correlators[0].BlockVector(age);
    const float* behind = m_count > 1 ? m_correlators[1].BlockVector(age) : nullptr;
    bool found = false;
    float best = 0.0f;
    int32_t at = 0;
    for (int64_t d = int64_t(delay) - radius; d <= int64_t(delay) + radius; ++d) {
      const float* vector = d >= 0 ? ahead : behind;
      const int64_t lag = reach - (d >= 0 ? d : -d);
      if (vector == nullptr || lag < 0) continue;
      const float value = side * vector[lag];
      if (!found || value > best) {
        found = true;
        best = value;
        at = int32_t(d);
      }
    }
    if (found && peaks.blocks < int32_t(kHistoryBlocks)) each[peaks.blocks++] = at;
  }
  if (peaks.blocks == 0) return peaks;
  // One block in eight at either end is left out: a quiet block's own
  // peak wanders over its lobe whatever the delay does.
  std::sort(each, each + peaks.blocks);
  const int32_t trimmed = peaks.blocks / 8;
  peaks.lowest = each[trimmed];
  peaks.highest = each[peaks.blocks - 1 - trimmed];
  return peaks;
}

int32_t CCorrelatorSet::UnresolvedWithin(int32_t delay, float sign, int32_t radius, double errors) const {
  if (m_count == 0 || m_blockLen > m_windowLen) return 0;
  const int64_t reach = int64_t(m_windowLen) - int64_t(m_blockLen);
  const float side = sign < 0.0f ? -1.0f : 1.0f;
  int32_t held = 0;
  for (int32_t i = 0; i < m_count; ++i) held = std::max(held, m_correlators[i].Blocks());
  // A block's value at a delay, from the correlator that holds it.
  const auto value = [&](int32_t age, int64_t d, float* out) {
    const float* vector =
        d >= 0 ? m_correlators[0].BlockVector(age) : (m_count > 1 ? m_correlators[1].BlockVector(age) : nullptr);
    const int64_t lag = reach - (d >= 0 ? d : -d);
    if (vector == nullptr || lag < 0) return false;
    *out = side * vector[lag];
    return true;
  };
  int32_t unresolved = 0;
  for (int32_t j = -radius; j <= radius; ++j) {
    if (j == 0) continue;
    double sum = 0.0, squares = 0.0;
    int32_t count = 0;
    for (int32_t age = 0; age < held; ++age) {
      float at = 0.0f, off = 0.0f;
      if (!value(age, delay, &at) || !value(age, int64_t(delay) + j, &off)) continue;
      const double difference = double(at) - double(off);
      sum += difference;
      squares += difference * difference;
      ++count;
    }
    if (count < 2) return 0;
    const double mean = sum / count;
    const double variance = std::max(0.0, squares / count - mean * mean) * count / (count - 1);
    if (mean <= errors * std::sqrt(variance / count)) unresolved = std::max(unresolved, std::abs(j));
  }
  return unresolved;
}

double CCorrelatorSet::SteadyMeanErrorAtLagZero(double errors) const {
  if (m_count == 0 || m_blockLen > m_windowLen) return 0.0;
  const CBlockCorrelator& correlator = m_correlators[0];
  const int32_t blocks = correlator.Blocks();
  if (blocks < 4) return 0.0;
  const uint32_t lag = m_windowLen - m_blockLen;
  // Sums over the newer half (ages below blocks / 2) and the older.
  double sum[2] = {}, squares[2] = {};
  int32_t count[2] = {};
  for (int32_t age = 0; age < blocks; ++age) {
    const double value = double(correlator.BlockVector(age)[lag]);
    const int half = age < blocks / 2 ? 0 : 1;
    sum[half] += value;
    squares[half] += value * value;
    ++count[half];
  }
  const auto variance = [](double s, double q, int32_t n) {
    return std::max(0.0, q / n - (s / n) * (s / n)) * n / std::max(n - 1, 1);
  };
  const double all = variance(sum[0] + sum[1], squares[0] + squares[1], blocks);
  const double newer = sum[0] / count[0], older = sum[1] / count[1];
  const double differenceError =
      std::sqrt(variance(sum[0], squares[0], count[0]) / count[0] + variance(sum[1], squares[1], count[1]) / count[1]);
  // The magnitude fell from the older blocks to the newer ones: a step,
  // not scatter.
  const double side = newer + older < 0.0 ? -1.0 : 1.0;
  if (side * (older - newer) > errors * differenceError) return 0.0;
  return 100.0 * std::sqrt(all / blocks);
}

double CCorrelatorSet::ValueAtLag(int32_t lag, int relaxed) {
  const int index = lag < 0 ? 1 : 0;
  if (index >= m_count) return 0.0;
  const int64_t d = lag < 0 ? -int64_t(lag) : int64_t(lag);
  if (d > int64_t(m_windowLen)) return 0.0;
  const int64_t entry = d != 0 ? int64_t(m_windowLen) - d : 0;
  const float* vector = nullptr;
  int32_t divisor = 0;
  m_correlators[index].MaxSigned(nullptr, nullptr, nullptr, nullptr, &vector, &divisor, 1, relaxed);
  if (vector == nullptr || divisor == 0 || entry >= int64_t(m_windowLen)) return 0.0;
  return double(vector[entry]) * 100.0 / double(divisor);
}
