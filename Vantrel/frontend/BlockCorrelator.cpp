#include "Vantrel/frontend/BlockCorrelator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/frontend/FrontEndAlloc.h"

namespace {

// Four lanes at a time, for the passes over whole vectors.
using FloatQuad = float __attribute__((vector_size(16)));
using DoubleQuad = double __attribute__((vector_size(32)));
using IntQuad = int32_t __attribute__((vector_size(16)));

FloatQuad LoadQuad(const float* p) {
  FloatQuad x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// dest[i] = src[i] for i < n, four at a time.
void Widen(const float* src, double* dest, int64_t n) {
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const DoubleQuad wide = __builtin_convertvector(LoadQuad(src + i), DoubleQuad);
    std::memcpy(dest + i, &wide, sizeof wide);
  }
  for (; i < n; ++i) dest[i] = src[i];
}

// The `count` samples of a ring that end before `end`, widened to double.
void CopyRingTail(const float* ring, int end, int ringLength, uint32_t count, double* dest) {
  int64_t start = int64_t(end) - int64_t(count);
  while (start < 0) start += ringLength;
  uint32_t done = 0;
  while (done < count) {
    const uint32_t run = uint32_t(std::min<int64_t>(count - done, ringLength - start));
    Widen(ring + start, dest + done, run);
    done += run;
    start = 0;
  }
}

struct PeakTies {
  int32_t last;  // the highest index among them
  int32_t count;
};

// The entries in [from, to) at or above the bound (AtLeast) or at or below
// it, four at a time; a NaN is neither.
template <bool AtLeast>
PeakTies FindTies(const float* v, uint32_t from, uint32_t to, float bound) {
  const FloatQuad limit = {bound, bound, bound, bound};
  IntQuad index = {0, 1, 2, 3};
  index += int32_t(from);
  IntQuad last = {-1, -1, -1, -1};
  IntQuad count = {};
  uint32_t i = from;
  for (; i + 4 <= to; i += 4) {
    const FloatQuad x = LoadQuad(v + i);
    const IntQuad hit = AtLeast ? (x >= limit) : (x <= limit);
    count -= hit;
    last = hit ? index : last;
    index += 4;
  }
  PeakTies ties{std::max(std::max(last[0], last[1]), std::max(last[2], last[3])),
                count[0] + count[1] + count[2] + count[3]};
  for (; i < to; ++i)
    if (AtLeast ? v[i] >= bound : v[i] <= bound) {
      ties.last = int32_t(i);
      ++ties.count;
    }
  return ties;
}

}  // namespace

int CBlockCorrelator::Init(uint32_t blockLen, uint32_t window, uint32_t historySize) {
  m_blockLen = blockLen;
  m_windowLen = window;
  m_historySize = historySize == 0 ? 1 : historySize;
  m_slot = 0;
  Allocate();  // the cleared state
  m_blocks = 0;
  return m_fft.SetLength(window);
}

void CBlockCorrelator::Allocate() {
  Free();
  const size_t w = m_windowLen;
  // A history vector is read only after its slot was written since the
  // last Clear (blocks reaching H); the window is written whole by each
  // Process, the peak scratch by each search.
  m_corrVec = AllocateZeroedOrExit<float*>(m_historySize);
  for (uint32_t s = 0; s < m_historySize; ++s) m_corrVec[s] = AllocateOrExit<float>(w);
  m_latest = AllocateZeroedOrExit<float>(w);
  m_corrSum = AllocateZeroedOrExit<float>(w);
  m_x = AllocateZeroedOrExit<double>(w);  // the block: zero beyond B for good
  m_y = AllocateOrExit<double>(w);
  m_peakScratch = AllocateOrExit<float>(w + 1);
  m_sumsWritten = false;
}

void CBlockCorrelator::Clear() {
  if (m_corrVec == nullptr) return;
  // The history vectors stay: none is read again before its slot is
  // rewritten. Only the sums are read before the next Process.
  if (m_sumsWritten) {
    std::fill_n(m_latest, m_windowLen, 0.0f);
    std::fill_n(m_corrSum, m_windowLen, 0.0f);
    m_sumsWritten = false;
  }
  m_blocks = 0;
}

void CBlockCorrelator::Free() {
  if (m_corrVec != nullptr)
    for (uint32_t s = 0; s < m_historySize; ++s) FreeArray(m_corrVec[s]);
  FreeArray(m_corrVec);
  FreeArray(m_latest);
  FreeArray(m_corrSum);
  FreeArray(m_x);
  FreeArray(m_y);
  FreeArray(m_peakScratch);
  m_blocks = 0;
  m_sumsWritten = false;
}

bool CBlockCorrelator::Process(const float* aRing, int aEnd, const float* bRing, int bEnd, int ringLength,
                               int normalise) {
  CBlockCorrelator* const self = this;
  const Source source{aRing, aEnd, bRing, bEnd, ringLength};
  return ProcessEach(&self, &source, 1, normalise);
}

bool CBlockCorrelator::Begin(const Source& source) {
  const int64_t ring = source.ringLength;
  if (m_corrVec == nullptr || m_windowLen == 0 || source.aRing == nullptr || source.bRing == nullptr ||
      ring < int64_t(m_windowLen) || m_blockLen > m_windowLen || source.aEnd < 0 || source.aEnd > ring ||
      source.bEnd < 0 || source.bEnd > ring)
    return false;
  CopyRingTail(source.aRing, source.aEnd, source.ringLength, m_blockLen, m_x);
  CopyRingTail(source.bRing, source.bEnd, source.ringLength, m_windowLen, m_y);
  return true;
}

double CBlockCorrelator::BlockEnergy() const { return duvuvDotF64(m_x, m_x, int32_t(m_blockLen)); }

double CBlockCorrelator::FirstStretchEnergy() const { return duvuvDotF64(m_y, m_y, int32_t(m_blockLen)); }

bool CBlockCorrelator::Transform(bool normalise, CFftCorrelator::Lane* out) {
  if (!m_fft.Transform(m_x, m_y, m_windowLen)) return false;
  CFftCorrelator::Lane& lane = *out;
  lane = CFftCorrelator::Lane{};
  lane.correlation = m_fft.Correlation();
  lane.window = m_y;
  lane.xEnergy = normalise ? BlockEnergy() : 0.0;
  lane.firstEnergy = normalise ? FirstStretchEnergy() : 0.0;
  lane.vector = m_corrVec[m_slot];
  lane.sum = m_corrSum;
  lane.latest = m_latest;
  // The slot's vector leaves the sums as the new one enters.
  lane.replacing = uint32_t(m_blocks) == m_historySize;
  return true;
}

void CBlockCorrelator::Advance() {
  m_sumsWritten = true;
  m_blocks = std::min<int32_t>(m_blocks + 1, int32_t(m_historySize));
  m_slot = (m_slot + 1) % m_historySize;
}

bool CBlockCorrelator::ProcessEach(CBlockCorrelator* const correlators[], const Source sources[], int count,
                                   int normalise) {
  bool transformed = true;
  for (int i = 0; i < count;) {
    CBlockCorrelator* const first = correlators[i];
    if (!first->Begin(sources[i])) {
      ++i;
      continue;
    }
    const bool paired = i + 1 < count && correlators[i + 1]->m_windowLen == first->m_windowLen &&
                        correlators[i + 1]->m_blockLen == first->m_blockLen;
    // A partner that cannot begin does nothing, as alone.
    CBlockCorrelator* const second = paired && correlators[i + 1]->Begin(sources[i + 1]) ? correlators[i + 1] : nullptr;
    i += paired ? 2 : 1;
    // A member whose transform failed takes no block.
    CBlockCorrelator* group[2] = {};
    CFftCorrelator::Lane lanes[2];
    int members = 0;
    for (CBlockCorrelator* member : {first, second}) {
      if (member == nullptr) continue;
      if (member->Transform(normalise != 0, &lanes[members]))
        group[members++] = member;
      else
        transformed = false;
    }
    CFftCorrelator::NormaliseIntoSums(lanes, members, first->m_windowLen, first->m_blockLen, normalise != 0);
    for (int m = 0; m < members; ++m) group[m]->Advance();
  }
  return transformed;
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
    const PeakTies ties = largest ? FindTies<true>(scratch, b, w + 1, extreme - tolerance)
                                  : FindTies<false>(scratch, b, w + 1, extreme + tolerance);
    const int32_t at = ties.count > 0 ? ties.last : int32_t(b) + index;
    const int32_t others = ties.count - 1;
    float signedValue = absolute ? (uint32_t(at) == w ? v[0] : v[at]) : scratch[at];
    if (divisor != 0) signedValue /= float(divisor);
    if (where != nullptr) *where = at;
    if (value != nullptr) *value = signedValue;
    if (equal != nullptr) *equal = others > 0 ? others : 0;
    return at;
  };
  const int32_t first = search(pos, peak, equalPeaks);
  if (secondPos == nullptr && secondPeak == nullptr) return 1;
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
