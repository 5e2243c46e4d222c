#include "Vantrel/frontend/BlockTransforms.h"

#include <algorithm>

#include "Mathlib/MathlibCorrelator.h"
#include "Mathlib/MathlibRealFft.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/PowerOfTwo.h"
#include "Vantrel/frontend/RingTail.h"

bool CBlockTransforms::Init(uint32_t block, uint32_t window) {
  Free();
  if (block == 0 || window % block != 0 || (window / block != 2 && window / block != 4) || window < 8) return true;
  m_blockLen = block;
  m_windowLen = window;
  m_blocks = window / block;
  m_order = int32_t(BitCount(window)) - 1;
  m_bins = size_t(window) + 2;
  const size_t values = 2 * m_blocks * m_bins + 2 * size_t(window) + 2 * m_bins + 4 * size_t(window);
  // Pages of their own: from the heap a block this large comes in small
  // pages, each faulted in apart, which on a virtual machine cost far more
  // than the huge ones the page block takes.
  const size_t bytes = values * sizeof(double);
  auto* all = static_cast<double*>(AllocatePages(bytes, "the re-check's block transforms"));
  if (all == nullptr) {
    m_blocks = 0;
    return false;
  }
  m_pageBytes = bytes;
  m_transforms = all;
  m_input[0] = all + 2 * m_blocks * m_bins;
  m_input[1] = m_input[0] + window;
  m_window[0] = m_input[1] + window;
  m_window[1] = m_window[0] + m_bins;
  m_samples[0] = m_window[1] + m_bins;
  m_samples[1] = m_samples[0] + 2 * size_t(window);
  return true;
}

void CBlockTransforms::Free() {
  void* pages = m_transforms;
  FreePages(pages, m_pageBytes);
  m_pageBytes = 0;
  m_transforms = nullptr;
  m_input[0] = m_input[1] = nullptr;
  m_window[0] = m_window[1] = nullptr;
  m_samples[0] = m_samples[1] = nullptr;
  m_blocks = 0;
  m_chain = 0;
  m_taken = false;
}

bool CBlockTransforms::Take(MathlibHandle* handle, const float* refRing, int refEnd, const float* testRing, int testEnd,
                         int ringLength, int64_t streamEnd) {
  m_taken = false;
  if (m_blocks == 0 || refRing == nullptr || testRing == nullptr || ringLength < int(m_windowLen) || streamEnd < 0 ||
      refEnd < 0 || refEnd > ringLength || testEnd < 0 || testEnd > ringLength)
    return false;
  const int ends[2] = {refEnd, testEnd};
  const float* rings[2] = {refRing, testRing};
  // Each block begins where the last one of its signal ended, in its ring
  // and in the count of samples.
  bool follows = m_chain > 0 && ringLength == m_ringLength && streamEnd == m_streamEnd + int64_t(m_blockLen);
  for (int s = 0; s < 2 && follows; ++s)
    follows = rings[s] == m_rings[s] && ends[s] == int((int64_t(m_ends[s]) + m_blockLen) % ringLength);
  for (int s = 0; s < 2; ++s) {
    CopyRingTail(rings[s], ends[s], ringLength, m_blockLen, m_input[s]);
    m_rings[s] = rings[s];
    m_ends[s] = ends[s];
  }
  m_ringLength = ringLength;
  m_streamEnd = streamEnd;
  m_chain = follows ? std::min(m_chain + 1, m_blocks) : 1;
  m_newest = (m_newest + 1) % m_blocks;
  for (int s = 0; s < 2; ++s) {
    double* const slot = m_samples[s] + size_t(m_newest) * m_blockLen;
    std::copy_n(m_input[s], m_blockLen, slot);
    std::copy_n(m_input[s], m_blockLen, slot + m_windowLen);
  }
  // The input beyond the block stays 0 from Init on.
  if (duvuvRealFftFwdPairF64(handle, m_input[0], Slot(0, m_newest), m_input[1], Slot(1, m_newest), m_order) == 0) {
    m_chain = 0;
    return false;
  }
  m_taken = true;
  return m_chain == m_blocks;
}

namespace {

// One bin of block k turned by r quarter turns (times (-i)^r), added to the
// sum so far (the first term starts it).
template <int R>
inline void AddTurned(const double* in, double* re, double* im, bool first) {
  const double a = in[0];
  const double b = in[1];
  const double tr = R == 0 ? a : (R == 1 ? b : (R == 2 ? -a : -b));
  const double ti = R == 0 ? b : (R == 1 ? -a : (R == 2 ? -b : a));
  *re = first ? tr : *re + tr;
  *im = first ? ti : *im + ti;
}

// Blocks K on of the window at a bin of residue J (mod 4): block k turns it
// by J k (4 / Blocks) quarter turns.
template <int Blocks, int J, int K = 1>
inline void AddLaterBlocks(const double* const in[], size_t offset, double* re, double* im) {
  if constexpr (K < Blocks) {
    AddTurned<(J * K * (4 / Blocks)) % 4>(in[K] + offset, re, im, false);
    AddLaterBlocks<Blocks, J, K + 1>(in, offset, re, im);
  }
}

// Bin f (of residue J) of the window of `Blocks` blocks, oldest first.
template <int Blocks, int J>
inline void WindowBin(const double* const in[], size_t f, double* out) {
  double re = 0.0;
  double im = 0.0;
  AddTurned<0>(in[0] + 2 * f, &re, &im, true);
  AddLaterBlocks<Blocks, J>(in, 2 * f, &re, &im);
  out[2 * f] = re;
  out[2 * f + 1] = im;
}

template <int Blocks>
void PutWindowTogether(const double* const in[], size_t bins, double* out) {
  size_t f = 0;
  for (; f + 4 <= bins; f += 4) {
    WindowBin<Blocks, 0>(in, f, out);
    WindowBin<Blocks, 1>(in, f + 1, out);
    WindowBin<Blocks, 2>(in, f + 2, out);
    WindowBin<Blocks, 3>(in, f + 3, out);
  }
  // The last bin, N/2, is a multiple of 4 (N is 8 or more).
  for (; f < bins; ++f) WindowBin<Blocks, 0>(in, f, out);
}

}  // namespace

const double* CBlockTransforms::Window(int signal) {
  // Block k of the window (oldest first) lies k blocks in: bin f turns by
  // e^(-2 pi i f k / blocks), a quarter turn times f k (times 2 for two
  // blocks), so each term is the block's bin with its real and imaginary
  // halves swapped and negated, exactly.
  const double* in[4] = {};
  for (uint32_t k = 0; k < m_blocks; ++k) in[k] = Slot(signal, (m_newest + 1 + k) % m_blocks);
  double* out = m_window[signal];
  if (m_blocks == 4)
    PutWindowTogether<4>(in, m_bins / 2, out);
  else
    PutWindowTogether<2>(in, m_bins / 2, out);
  return out;
}
