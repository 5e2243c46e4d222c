#include "Vantrel/DelaySearchRange.h"

#include <algorithm>

#include "Vantrel/frontend/PowerOfTwo.h"
#include "primitives/fft/sp_real_fft_f64.h"

bool ComputeDelaySearchRange(int sampleRate, uint32_t maxDelayMs, uint32_t frameLength, DelaySearchRange* range) {
  const int r = sampleRate <= 8001 ? 16000 : sampleRate;
  const uint32_t maxMs = std::min(maxDelayMs, DELAY_SEARCH_MAX_MS);
  const double x = (double(r) - 1.0) * double(maxMs) * double(0.001f);
  // The window is the power of two above x: from 2^31 on it needs more than 32 bits.
  if (x >= 2147483648.0) return false;
  const uint32_t samples = uint32_t(x);
  uint64_t window = uint64_t(1) << BitCount(samples);
  const uint64_t block = sampleRate > 16000 ? window / 8 : window / 2;
  // The asked range at the true rate; low rates keep the larger geometry of 16 kHz.
  const int64_t rate = sampleRate > 0 ? sampleRate : r;
  const int64_t asked = (rate * int64_t(maxMs) + 999) / 1000;
  const int64_t margin = std::max<int64_t>(int64_t(block), (rate * DELAY_SEARCH_MARGIN_MS + 999) / 1000);
  // Growing the window keeps the block, so each doubling adds a whole window of reach.
  while (int64_t(window - block) < asked + margin && window <= 0x80000000u) window <<= 1;
  // The correlators transform the whole window: it must stay a power of two.
  window = std::max<uint64_t>(window, PowerOfTwoAtLeast(frameLength));
  if (window > 0x80000000u) return false;
  range->window = uint32_t(window);
  range->block = uint32_t(block);
  range->reachSamples = int64_t(window) - int64_t(block);
  range->maxDelaySamples = asked;
  return true;
}

bool DelaySearchTransformAvailable(uint32_t window) {
  int32_t order = 0;
  while (order < 31 && (uint64_t(1) << order) < window) ++order;
  REALFFTSPEC* spec = nullptr;
  if (spRealFftInitF64(&spec, order, 2, 2) != 0) return false;
  spRealFftFreeF64(spec);
  return true;
}
