// The correlations of a correlator set whose window is many blocks long (a
// long search range): each signal is cut into stretches of four blocks that
// overlap by one, at fixed places in its count of samples, and the transform
// of a whole stretch is kept from feed to feed. A feed then transforms only
// the newest block (and the newest stretch, still filling) and puts the
// correlation over the window together from one inverse of four blocks per
// stretch, instead of three transforms of the whole window: smaller
// transforms that stay in the cache, and no transform of a window that
// moved on by one frame only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"

struct MathlibHandle;

class FRONT_END_INTERNAL CWindowSegments {
 public:
  // Windows of fewer blocks keep the whole-window transforms.
  static constexpr uint32_t kMinBlocksPerWindow = 16;
  // A stretch is this many blocks; its last block overlaps the next one.
  static constexpr uint32_t kBlocksPerStretch = 4;

  CWindowSegments() = default;
  ~CWindowSegments() { Free(); }
  CWindowSegments(const CWindowSegments&) = delete;
  CWindowSegments& operator=(const CWindowSegments&) = delete;

  // Blocks of `block` samples in windows of `window` (powers of two): usable
  // when the window holds kMinBlocksPerWindow blocks or more. False when
  // memory ran out (noted as FrontEndAlloc.h says); other sizes are simply
  // not usable.
  bool Init(uint32_t block, uint32_t window);
  void Free();
  // The transforms kept so far are forgotten (a new run, other rings).
  void Clear();
  bool Usable() const { return m_slots != 0; }

  // The rings of the reference (0) and the test (1), where their newest
  // samples end, and where that is in the reference's count of samples.
  // Transforms kept from earlier feeds stay when the rings moved on by what
  // that count did. False when these rings cannot serve (no count, a ring
  // shorter than the window). The transforms run through `handle`.
  bool Begin(MathlibHandle* handle, const float* refRing, int refEnd, const float* testRing, int testEnd,
             int ringLength, int64_t streamEnd);
  // out[k] = sum_j x[j] y[j + k] for the lags k = 0 .. W - B, x the newest
  // block of signal `blockSignal` and y the window of the other signal, as
  // the whole-window transform gives them (within rounding). False when a
  // transform failed: out then means nothing.
  bool Correlate(int blockSignal, double* out);

 private:
  // The input of a transform from place `origin` of the count on: the
  // samples of `signal`'s ring within [from, to), zeros for the others.
  void FillInput(int signal, int64_t origin, int64_t from, int64_t to);
  // The transform of `stretch` of `signal`: kept, made and kept when the
  // ring holds all of it, else made with zeros outside the window (which
  // the lags worked out never reach). Null when the transform failed.
  const double* StretchTransform(int signal, int64_t stretch, int64_t windowStart);
  double* Kept(int signal, uint32_t slot) const { return m_kept + (size_t(signal) * m_slots + slot) * m_bins; }

  uint32_t m_blockLen = 0;
  uint32_t m_windowLen = 0;
  uint32_t m_length = 0;  // points of a stretch and of its transforms
  uint32_t m_hop = 0;     // from one stretch to the next: the lags one inverse gives
  int32_t m_order = 0;
  size_t m_bins = 0;      // doubles per transform
  uint32_t m_slots = 0;   // transforms kept per signal; 0 when not usable
  MathlibHandle* m_handle = nullptr;  // of the last Begin
  void* m_pages = nullptr;
  size_t m_pageBytes = 0;
  double* m_kept = nullptr;           // per signal, m_slots transforms
  int64_t* m_keptStretch = nullptr;   // per signal and slot: the stretch held, or kNone
  double* m_input = nullptr;          // m_length samples
  double* m_blockTransform = nullptr;  // m_bins
  double* m_madeTransform = nullptr;   // m_bins: a stretch's not kept
  double* m_product = nullptr;        // m_bins
  double* m_sums = nullptr;           // m_length: one inverse
  const float* m_rings[2] = {};
  int m_ends[2] = {};
  int m_ringLength = 0;
  int64_t m_streamEnd = -1;  // -1: no Begin since the last Clear
};
