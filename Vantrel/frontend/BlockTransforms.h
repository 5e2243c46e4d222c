// The transforms of the last blocks of both signals of a correlator set whose
// window is two or four of its blocks and whose feeds follow one another
// block by block (the re-check's): each block is transformed once, as the
// block of one correlator, and the other correlator's window is its last
// blocks' transforms shifted into place and added, not a transform of its own.
// A shift by a quarter or a half of the window turns a bin by a multiple of
// 90 degrees, which is exact.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"

struct MathlibHandle;

class FRONT_END_INTERNAL CBlockTransforms {
 public:
  CBlockTransforms() = default;
  ~CBlockTransforms() { Free(); }
  CBlockTransforms(const CBlockTransforms&) = delete;
  CBlockTransforms& operator=(const CBlockTransforms&) = delete;

  // Blocks of `block` samples in windows of `window` (a power of two):
  // usable when the window is two or four blocks. False when memory ran
  // out (noted as FrontEndAlloc.h says); other sizes are simply not usable.
  bool Init(uint32_t block, uint32_t window);
  void Free();
  // The blocks so far do not lead on to the next.
  void Clear() {
    m_chain = 0;
    m_taken = false;
  }
  bool Usable() const { return m_blocks != 0; }

  // Transforms the newest block of each signal (ending at refEnd and
  // testEnd of rings of ringLength samples, at streamEnd in the
  // reference's count of samples) and keeps its transform. True when both
  // signals' last blocks followed one another, so that their windows can
  // be put together; false also when the transform failed (the chain then
  // starts again).
  bool Take(MathlibHandle* handle, const float* refRing, int refEnd, const float* testRing, int testEnd, int ringLength,
            int64_t streamEnd);
  // The transform of signal 0 (reference) or 1 (test)'s newest block,
  // zero-padded to the window (the packed half of its transform, window + 2 values).
  // Valid after a Take whose transform succeeded (Taken), the chain
  // complete or not.
  const double* Block(int signal) const { return Slot(signal, m_newest); }
  bool Taken() const { return m_taken; }
  // The transform of the window of signal 0 or 1 that ends with its newest
  // block; valid until the next Take.
  const double* Window(int signal);
  // The samples, widened, of signal 0 or 1's newest block (block values)
  // and of the window that ends with it (window values, valid once Take
  // said the windows can be put together); valid until the next Take.
  const double* BlockSamples(int signal) const { return m_input[signal]; }
  const double* WindowSamples(int signal) const {
    return m_samples[signal] + size_t((m_newest + 1) % m_blocks) * m_blockLen;
  }

 private:
  double* Slot(int signal, uint32_t slot) const { return m_transforms + (size_t(signal) * m_blocks + slot) * m_bins; }

  uint32_t m_blockLen = 0;
  uint32_t m_windowLen = 0;
  uint32_t m_blocks = 0;  // per window: 2 or 4; 0 when not usable
  int32_t m_order = 0;
  size_t m_bins = 0;            // doubles per transform
  double* m_transforms = nullptr;  // per signal, m_blocks transforms in a ring; the block of all below
  size_t m_pageBytes = 0;
  double* m_input[2] = {};      // the newest blocks, zero-padded
  double* m_window[2] = {};     // the windows put together
  // Per signal, the samples of the last blocks twice over (slot k at block
  // k and at block k + m_blocks), so that a window is one run of them.
  double* m_samples[2] = {};
  uint32_t m_newest = 0;
  uint32_t m_chain = 0;  // consecutive blocks held, up to m_blocks
  bool m_taken = false;  // the last Take transformed its blocks
  const float* m_rings[2] = {};
  int m_ends[2] = {};
  int m_ringLength = 0;
  int64_t m_streamEnd = 0;
};
