#include "Vantrel/DelaySearchRange.h"

#include <algorithm>

#include "primitives/fft/sp_real_fft_f64.h"

namespace {

uint32_t BitCount(uint32_t x) {
  uint32_t bits = 0;
  while (x != 0) {
    ++bits;
    x >>= 1;
  }
  return bits;
}

uint32_t PowerOfTwoAtLeast(uint32_t n) {
  uint32_t p = 1;
  while (p < n && p < 0x80000000u) p <<= 1;
  return p;
}

}  // namespace

bool ComputeDelaySearchRange(int sampleRate, uint32_t maxDelayMs, uint32_t frameLength, DelaySearchRange* range) {
  const int r = sampleRate <= 8001 ? 16000 : sampleRate;
  const uint32_t maxMs = std::min(maxDelayMs, DELAY_SEARCH_MAX_MS);
  const double x = (double(r) - 1.0) * double(maxMs) * double(0.001f);
  // The window is the power of two above x: from 2^31 on it needs more than 32 bits.
  if (x >= 2147483648.0) return false;
  const uint32_t samples = uint32_t(x);
  const uint32_t w = 1u << BitCount(samples);
  range->window = w;
  range->block = sampleRate > 16000 ? w / 8 : w / 2;
  // The correlators transform the whole window: it must stay a power of two.
  if (range->window < frameLength) range->window = PowerOfTwoAtLeast(frameLength);
  range->reachSamples = int64_t(range->window) - int64_t(range->block);
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
