#include "Vantrel/CorrelatorSet.h"

#include <cmath>
#include <cstdlib>
#include <new>

#include "Vantrel/FrontEndAlloc.h"

namespace {

constexpr uint32_t kHistory = 16;
constexpr int32_t kMinBlocks = 4;
constexpr int32_t kReliableBlocks = 15;

}  // namespace

int CCorrelatorSet::Init(uint32_t blockLen, uint32_t window, int32_t count) {
  Free();
  m_count = count < 1 ? 1 : (count > 2 ? 2 : count);
  m_blockLen = blockLen;
  m_windowLen = window;
  m_energyThreshold = 800.0 * double(blockLen);
  m_correlators = spkAllocationRefused() ? nullptr : new (std::nothrow) CBlockCorrelator[m_count];
  if (m_correlators == nullptr)
    ExitOutOfMemory(nullptr, "CCorrelatorSet::Init()", size_t(m_count), sizeof(CBlockCorrelator));
  m_result = CORRRESULT{};
  int result = 1;
  for (int32_t i = 0; i < m_count; ++i) {
    m_energy[i] = 0.0;
    m_fed[i] = 0;
    m_peak[i] = m_secondPeak[i] = 0.0f;
    m_peakPos[i] = m_secondPos[i] = 0;
    result = m_correlators[i].Init(blockLen, window, kHistory);
    if (result == 0) break;
  }
  return result;
}

void CCorrelatorSet::ClearHistory() {
  for (int32_t i = 0; i < m_count; ++i) {
    m_correlators[i].Clear();
    m_energy[i] = 0.0;
    m_fed[i] = 0;
    m_peak[i] = m_secondPeak[i] = 0.0f;
    m_peakPos[i] = m_secondPos[i] = 0;
  }
  m_result = CORRRESULT{};
}

void CCorrelatorSet::Free() {
  delete[] m_correlators;
  m_correlators = nullptr;
  m_count = 0;
}

int CCorrelatorSet::Feed(const float* refRing, int refEnd, double refEnergy, const float* testRing, int testEnd,
                         double testEnergy, int ringLength) {
  if (m_count == 0) return 1;
  const double threshold = 8.0 * double(m_blockLen);
  m_fed[0] = refEnergy > threshold ? 1 : 0;
  if (m_fed[0] != 0) {
    m_correlators[0].Process(refRing, refEnd, testRing, testEnd, ringLength);
    m_energy[0] += refEnergy;
  }
  if (m_count >= 2) {
    m_fed[1] = testEnergy > threshold ? 1 : 0;
    if (m_fed[1] != 0) {
      m_correlators[1].Process(testRing, testEnd, refRing, refEnd, ringLength);
      m_energy[1] += testEnergy;
    }
  }
  return 1;
}

int CCorrelatorSet::Pick(bool absolute, float sign, bool withSecond, int relaxed) {
  const int32_t minCount = relaxed != 0 ? 1 : kMinBlocks;
  const int32_t reliableCount = relaxed != 0 ? 1 : kReliableBlocks;
  float best = 0.0f;
  int32_t bestIndex = 0;
  int32_t bestPos = 0;
  int32_t bestCount = 0;
  bool allFed = true;
  for (int32_t i = 0; i < m_count; ++i) {
    int32_t count = 0;
    if (absolute)
      m_correlators[i].MaxAbs(&m_peakPos[i], &m_peak[i], &m_secondPos[i], &m_secondPeak[i], nullptr, &count, relaxed);
    else
      m_correlators[i].MaxSigned(&m_peakPos[i], &m_peak[i], &m_secondPos[i], &m_secondPeak[i], nullptr, &count,
                                 sign >= 0.0f ? 1 : 0, relaxed);
    allFed = allFed && m_fed[i] != 0;
    if (count >= minCount && std::fabs(m_peak[i]) > best) {
      best = std::fabs(m_peak[i]);
      bestIndex = i;
      bestPos = m_peakPos[i];
      bestCount = count;
    }
  }
  const int32_t w = int32_t(m_windowLen);
  const bool found = bestCount != 0;
  m_result.delay = w - bestPos;
  if (bestIndex == 1) m_result.delay = -m_result.delay;
  m_result.quality = (m_count > 0 ? m_peak[bestIndex] : 0.0f) * 100.0f;
  if (withSecond) {
    // Signed like the first peak, so that both compare with a delay.
    m_result.secondDelay = w - (found ? m_secondPos[bestIndex] : 0);
    if (bestIndex == 1) m_result.secondDelay = -m_result.secondDelay;
    m_result.secondQuality = (m_count > 0 ? m_secondPeak[bestIndex] : 0.0f) * 100.0f;
  }
  m_result.flags = (best > 0.6f && (!withSecond || allFed)) ? CORR_STRONG_PEAK : 0;
  if (bestCount >= reliableCount && m_energy[bestIndex] >= m_energyThreshold)
    m_result.flags |= CORR_ENOUGH_DATA;
  else
    m_result.flags |= CORR_NOT_RELIABLE;
  return 1;
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
