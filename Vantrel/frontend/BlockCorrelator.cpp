#include "Vantrel/frontend/BlockCorrelator.h"

#include <algorithm>
#include <cmath>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/frontend/FrontEndAlloc.h"

namespace {

// The `count` samples of a ring that end before `end`, widened to double.
void CopyRingTail(const float* ring, int end, int ringLength, uint32_t count, double* dest) {
  int64_t start = int64_t(end) - int64_t(count);
  while (start < 0) start += ringLength;
  uint32_t done = 0;
  while (done < count) {
    const uint32_t run = uint32_t(std::min<int64_t>(count - done, ringLength - start));
    std::copy_n(ring + start, run, dest + done);
    done += run;
    start = 0;
  }
}

// Calls f(i, j) for i = 0..w-1 with j = (i + rotation) mod w, without a
// division per element.
template <typename F>
void ForRotated(uint32_t w, uint32_t rotation, F f) {
  const uint32_t split = w - rotation;
  for (uint32_t i = 0; i < split; ++i) f(i, i + rotation);
  for (uint32_t i = split; i < w; ++i) f(i, i - split);
}

}  // namespace

int CBlockCorrelator::Init(uint32_t blockLen, uint32_t window, uint32_t historySize) {
  m_blockLen = blockLen;
  m_windowLen = window;
  m_historySize = historySize == 0 ? 1 : historySize;
  m_slot = 0;
  Allocate();  // zeroed blocks: the cleared state without touching every page
  m_blocks = 0;
  return m_fft.SetLength(window);
}

void CBlockCorrelator::Allocate() {
  Free();
  const size_t w = m_windowLen;
  m_corrVec = AllocateZeroedOrExit<float*>(m_historySize);
  for (uint32_t s = 0; s < m_historySize; ++s) m_corrVec[s] = AllocateZeroedOrExit<float>(w);
  m_ySlidingEnergy = AllocateZeroedOrExit<double>(w);
  m_latest = AllocateZeroedOrExit<float>(w);
  m_corrSum = AllocateZeroedOrExit<float>(w);
  m_x = AllocateZeroedOrExit<double>(w);
  m_y = AllocateZeroedOrExit<double>(w);
  m_peakScratch = AllocateZeroedOrExit<float>(w + 1);
}

void CBlockCorrelator::Clear() {
  if (m_corrVec == nullptr) return;
  const size_t w = m_windowLen;
  for (uint32_t s = 0; s < m_historySize; ++s) std::fill_n(m_corrVec[s], w, 0.0f);
  std::fill_n(m_ySlidingEnergy, w, 0.0);
  std::fill_n(m_latest, w, 0.0f);
  std::fill_n(m_corrSum, w, 0.0f);
  std::fill_n(m_x, w, 0.0);
  std::fill_n(m_y, w, 0.0);
  std::fill_n(m_peakScratch, w + 1, 0.0f);
  m_blocks = 0;
}

void CBlockCorrelator::Free() {
  if (m_corrVec != nullptr)
    for (uint32_t s = 0; s < m_historySize; ++s) FreeArray(m_corrVec[s]);
  FreeArray(m_corrVec);
  FreeArray(m_ySlidingEnergy);
  FreeArray(m_latest);
  FreeArray(m_corrSum);
  FreeArray(m_x);
  FreeArray(m_y);
  FreeArray(m_peakScratch);
  m_blocks = 0;
}

void CBlockCorrelator::Process(const float* aRing, int aEnd, const float* bRing, int bEnd, int ringLength,
                               int normalise) {
  if (m_corrVec == nullptr || aRing == nullptr || bRing == nullptr || ringLength < int64_t(m_windowLen)) return;
  const uint32_t w = m_windowLen;
  const uint32_t b = m_blockLen;
  float* slot = m_corrVec[m_slot];
  // Entry i of the sums takes vector element (i + W - B) mod W.
  const uint32_t rotation = (w - b % w) % w;
  if (uint32_t(m_blocks) == m_historySize)
    ForRotated(w, rotation, [&](uint32_t i, uint32_t j) { m_corrSum[i] -= slot[j]; });

  CopyRingTail(aRing, aEnd, ringLength, b, m_x);
  CopyRingTail(bRing, bEnd, ringLength, w, m_y);

  double xEnergy = 0.0;
  if (normalise != 0) {
    xEnergy = duvuvDotF64(m_x, m_x, int32_t(b));
    double energy = duvuvDotF64(m_y, m_y, int32_t(b));
    m_ySlidingEnergy[0] = energy;
    // The stretch at lag k runs from k to k + b - 1, wrapping round the window.
    for (uint32_t k = 1; k < w; ++k) {
      const uint32_t in = k - 1 + b;
      const double entering = m_y[in < w ? in : in - w];
      const double leaving = m_y[k - 1];
      energy = energy + entering * entering - leaving * leaving;
      if (energy < 0.0) energy = 0.0;
      m_ySlidingEnergy[k] = energy;
    }
  }
  m_fft.Correlate(m_x, m_y, slot, xEnergy, normalise != 0 ? m_ySlidingEnergy : nullptr, w);

  ForRotated(w, rotation, [&](uint32_t i, uint32_t j) {
    const float value = slot[j];
    m_corrSum[i] += value;
    m_latest[i] = value;
  });
  m_blocks = std::min<int32_t>(m_blocks + 1, int32_t(m_historySize));
  m_slot = (m_slot + 1) % m_historySize;
}

int CBlockCorrelator::FindPeaks(bool absolute, bool wantMax, int32_t* pos, float* peak, int32_t* secondPos,
                                float* secondPeak, const float** vector, int32_t* count, int relaxed,
                                int32_t* equalPeaks) {
  const float* v = relaxed != 0 ? m_latest : m_corrSum;
  const int32_t divisor = relaxed != 0 ? 1 : m_blocks;
  if (vector != nullptr) *vector = v;
  if (count != nullptr) *count = divisor;
  if (equalPeaks != nullptr) *equalPeaks = 0;
  if (v == nullptr || m_windowLen == 0 || m_blockLen > m_windowLen) {
    if (pos != nullptr) *pos = int32_t(m_blockLen);
    if (peak != nullptr) *peak = 0.0f;
    if (secondPos != nullptr) *secondPos = int32_t(m_blockLen);
    if (secondPeak != nullptr) *secondPeak = 0.0f;
    return 1;
  }
  const uint32_t w = m_windowLen;
  const uint32_t b = m_blockLen;
  float* scratch = m_peakScratch;
  for (uint32_t i = b; i < w; ++i) scratch[i] = absolute ? std::fabs(v[i]) : v[i];
  scratch[w] = absolute ? std::fabs(v[0]) : v[0];
  const int32_t valid = int32_t(w - b + 1);
  const bool largest = absolute || wantMax;
  // The scratch holds sums of `divisor` vectors: the tolerance scales with them.
  const float tolerance = BLOCK_CORR_EQUAL_PEAK * float(divisor > 1 ? divisor : 1);
  auto search = [&](int32_t* where, float* value, int32_t* equal) {
    int32_t index = 0;
    if (largest)
      duvuvMaxIndexF32(scratch + b, valid, &index);
    else
      duvuvMinIndexF32(scratch + b, valid, &index);
    const float extreme = scratch[b + uint32_t(index)];
    // Equal peaks: the one nearest lag 0 wins, the others are counted.
    int32_t at = int32_t(b) + index;
    int32_t others = -1;
    for (uint32_t i = b; i <= w; ++i)
      if (largest ? scratch[i] >= extreme - tolerance : scratch[i] <= extreme + tolerance) {
        at = int32_t(i);
        ++others;
      }
    float signedValue = absolute ? (uint32_t(at) == w ? v[0] : v[at]) : scratch[at];
    if (divisor != 0) signedValue /= float(divisor);
    if (where != nullptr) *where = at;
    if (value != nullptr) *value = signedValue;
    if (equal != nullptr) *equal = others > 0 ? others : 0;
    return at;
  };
  const int32_t first = search(pos, peak, equalPeaks);
  scratch[first] = 0.0f;
  search(secondPos, secondPeak, nullptr);
  return 1;
}

int CBlockCorrelator::MaxAbs(int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak, const float** vector,
                             int32_t* count, int relaxed, int32_t* equalPeaks) {
  return FindPeaks(true, true, pos, peak, secondPos, secondPeak, vector, count, relaxed, equalPeaks);
}

int CBlockCorrelator::MaxSigned(int32_t* pos, float* peak, int32_t* secondPos, float* secondPeak, const float** vector,
                                int32_t* count, int wantMax, int relaxed, int32_t* equalPeaks) {
  return FindPeaks(false, wantMax != 0, pos, peak, secondPos, secondPeak, vector, count, relaxed, equalPeaks);
}
