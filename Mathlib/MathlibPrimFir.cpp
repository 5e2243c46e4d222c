#include "Mathlib/MathlibPrim.h"
#include "primitives/fir/sp_fir.h"

namespace {
// The layer's clients never choose the window or skip the normalisation.
constexpr int32_t kDesignWindow = spFirWindowHann;
constexpr int32_t kDesignNormalised = 1;
}  // namespace

spStatus duvuvFirLowpassTapsF64(double cutoff, double* taps, int32_t n) {
  return spFirLowpassTapsF64(cutoff, taps, n, kDesignWindow, kDesignNormalised);
}
spStatus duvuvFirHighpassTapsF64(double cutoff, double* taps, int32_t n) {
  return spFirHighpassTapsF64(cutoff, taps, n, kDesignWindow, kDesignNormalised);
}
spStatus duvuvFirF32(const float* src, float* dst, int32_t n, const double* taps, int32_t tapsLen, float* delayLine,
                     int32_t* delayIndex) {
  return spFirF32(src, dst, n, taps, tapsLen, delayLine, delayIndex);
}
spStatus duvuvFirF64(const double* src, double* dst, int32_t n, const double* taps, int32_t tapsLen, double* delayLine,
                     int32_t* delayIndex) {
  return spFirF64(src, dst, n, taps, tapsLen, delayLine, delayIndex);
}
