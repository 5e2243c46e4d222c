#include "Vantrel/frontend/WindowSegments.h"

#include <algorithm>
#include <cstring>

#include "Mathlib/MathlibCorrelator.h"
#include "Mathlib/MathlibRealFft.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/PowerOfTwo.h"

namespace {

constexpr int64_t kNone = INT64_MIN;

// Floor division: stretches before the count's origin have negative numbers.
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

bool CWindowSegments::Init(uint32_t block, uint32_t window) {
  Free();
  if (block == 0 || window % block != 0 || window / block < kMinBlocksPerWindow) return true;
  m_blockLen = block;
  m_windowLen = window;
  m_length = block * kBlocksPerStretch;
  m_hop = m_length - block;
  m_order = int32_t(BitCount(m_length)) - 1;
  m_bins = size_t(m_length) + 2;
  // The stretches a window's lags reach, one before and one after it.
  const uint32_t slots = (window + m_hop - 1) / m_hop + 2;
  const auto carve = [&](void* pages) {
    ArrayCarver carver(pages);
    m_kept = carver.Take<double>(2 * size_t(slots) * m_bins);
    m_keptStretch = carver.Take<int64_t>(2 * size_t(slots));
    m_input = carver.Take<double>(m_length);
    m_blockTransform = carver.Take<double>(m_bins);
    m_madeTransform = carver.Take<double>(m_bins);
    m_product = carver.Take<double>(m_bins);
    m_sums = carver.Take<double>(m_length);
    return carver.Used();
  };
  m_pageBytes = carve(nullptr);
  m_pages = AllocatePages(m_pageBytes, "the long search's stretch transforms");
  if (m_pages == nullptr) {
    m_pageBytes = 0;
    carve(nullptr);
    return false;
  }
  carve(m_pages);
  m_slots = slots;
  Clear();
  return true;
}

void CWindowSegments::Free() {
  FreePages(m_pages, m_pageBytes);
  m_pageBytes = 0;
  m_slots = 0;
  m_kept = nullptr;
  m_keptStretch = nullptr;
  m_input = m_blockTransform = m_madeTransform = m_product = m_sums = nullptr;
  m_streamEnd = -1;
}

void CWindowSegments::Clear() {
  for (size_t i = 0; i < 2 * size_t(m_slots); ++i) m_keptStretch[i] = kNone;
  m_streamEnd = -1;
}

bool CWindowSegments::Begin(MathlibHandle* handle, const float* refRing, int refEnd, const float* testRing,
                            int testEnd, int ringLength, int64_t streamEnd) {
  if (m_slots == 0 || handle == nullptr || refRing == nullptr || testRing == nullptr || streamEnd < 0 ||
      ringLength < int(m_windowLen) || refEnd < 0 || refEnd > ringLength || testEnd < 0 || testEnd > ringLength)
    return false;
  const float* rings[2] = {refRing, testRing};
  const int ends[2] = {refEnd, testEnd};
  // Kept transforms hold samples by their place in the count: they stay valid
  // while both rings moved on with it.
  bool follows = m_streamEnd >= 0 && streamEnd >= m_streamEnd && ringLength == m_ringLength;
  const int64_t moved = streamEnd - m_streamEnd;
  for (int s = 0; s < 2 && follows; ++s)
    follows = rings[s] == m_rings[s] && (int64_t(m_ends[s]) + moved) % ringLength == ends[s];
  if (!follows) Clear();
  for (int s = 0; s < 2; ++s) {
    m_rings[s] = rings[s];
    m_ends[s] = ends[s];
  }
  m_ringLength = ringLength;
  m_streamEnd = streamEnd;
  m_handle = handle;
  return true;
}

void CWindowSegments::FillInput(int signal, int64_t origin, int64_t from, int64_t to) {
  const int64_t begin = std::min(std::max(from, origin), origin + int64_t(m_length));
  const int64_t end = std::max(std::min(to, origin + int64_t(m_length)), begin);
  std::fill(m_input, m_input + (begin - origin), 0.0);
  std::fill(m_input + (end - origin), m_input + m_length, 0.0);
  const int64_t ring = m_ringLength;
  // The count's place p lies in the ring `m_streamEnd - p` samples before the end.
  int64_t at = (int64_t(m_ends[signal]) - (m_streamEnd - begin)) % ring;
  if (at < 0) at += ring;
  for (int64_t p = begin; p < end;) {
    const int64_t run = std::min(end - p, ring - at);
    MathlibWidenF32ToF64(m_rings[signal] + at, m_input + (p - origin), run);
    p += run;
    at = 0;
  }
}

const double* CWindowSegments::StretchTransform(int signal, int64_t stretch, int64_t windowStart) {
  int64_t* held = m_keptStretch + size_t(signal) * m_slots;
  for (uint32_t slot = 0; slot < m_slots; ++slot)
    if (held[slot] == stretch) return Kept(signal, slot);
  const int64_t first = stretch * m_hop;
  const int64_t oldest = m_streamEnd - m_ringLength;
  const bool whole = first >= oldest && first + int64_t(m_length) <= m_streamEnd;
  double* transform = m_madeTransform;
  int32_t slotTaken = -1;
  if (whole) {
    // A slot that is free, or whose stretch's lags lie all before the window.
    for (uint32_t slot = 0; slot < m_slots && slotTaken < 0; ++slot)
      if (held[slot] == kNone || (held[slot] + 1) * int64_t(m_hop) <= windowStart) slotTaken = int32_t(slot);
    if (slotTaken >= 0) transform = Kept(signal, uint32_t(slotTaken));
  }
  FillInput(signal, first, whole ? first : windowStart, m_streamEnd);
  if (slotTaken >= 0) held[slotTaken] = kNone;
  if (duvuvRealFftFwdF64(m_handle, m_input, transform, m_order, 1) == 0) return nullptr;
  if (slotTaken >= 0) held[slotTaken] = stretch;
  return transform;
}

bool CWindowSegments::Correlate(int blockSignal, double* out) {
  if (m_slots == 0 || m_streamEnd < 0 || out == nullptr) return false;
  const int windowSignal = 1 - blockSignal;
  const int64_t windowStart = m_streamEnd - int64_t(m_windowLen);
  const int64_t lastLag = int64_t(m_windowLen) - int64_t(m_blockLen);
  // The block, zero beyond it, as the whole-window transform has it.
  FillInput(blockSignal, m_streamEnd - int64_t(m_blockLen), m_streamEnd - int64_t(m_blockLen), m_streamEnd);
  if (duvuvRealFftFwdF64(m_handle, m_input, m_blockTransform, m_order, 1) == 0) return false;
  const int64_t bins = int64_t(m_length / 2 + 1);
  // Lag k pairs the block with the window from windowStart + k on: stretch
  // m's inverse gives the lags whose start lies in [m hop, (m + 1) hop).
  for (int64_t stretch = FloorDiv(windowStart, m_hop); stretch <= FloorDiv(windowStart + lastLag, m_hop); ++stretch) {
    const double* transform = StretchTransform(windowSignal, stretch, windowStart);
    if (transform == nullptr) return false;
    MathlibMulConjugateC64(m_blockTransform, transform, m_product, bins);
    if (duvuvRealFftInvF64(m_handle, m_product, m_sums, m_order, 2) == 0) return false;
    const int64_t first = stretch * m_hop;
    const int64_t fromLag = std::max<int64_t>(0, first - windowStart);
    const int64_t toLag = std::min<int64_t>(lastLag, first + m_hop - 1 - windowStart);
    std::memcpy(out + fromLag, m_sums + (windowStart + fromLag - first), size_t(toLag - fromLag + 1) * sizeof(double));
  }
  return true;
}
