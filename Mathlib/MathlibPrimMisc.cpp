#include <cstdio>

#include "Mathlib/MathlibPrim.h"
#include "Mathlib/MathlibTrace.h"
#include "primitives/frame/sp_memory.h"
#include "primitives/vector/sp_complex.h"
#include "primitives/vector/sp_elementary.h"
#include "primitives/vector/sp_ln.h"
#include "primitives/vector/sp_random.h"
#include "primitives/vector/sp_square.h"
#include "primitives/vector/sp_threshold.h"
#include "primitives/vector/sp_window.h"

spStatus duvuvCopyF32(const float* src, float* dst, int32_t n) { return spCopyF32(src, dst, n); }
spStatus duvuvCopyF64(const double* src, double* dst, int32_t n) { return spCopyF64(src, dst, n); }
spStatus duvuvSetF32(float val, float* dst, int32_t n) { return spSetF32(val, dst, n); }
spStatus duvuvSetF64(double val, double* dst, int32_t n) { return spSetF64(val, dst, n); }
spStatus duvuvZeroF32(float* dst, int32_t n) { return spZeroF32(dst, n); }
spStatus duvuvZeroF64(double* dst, int32_t n) { return spZeroF64(dst, n); }

spStatus duvuvExpInPlaceF32(float* srcDst, int32_t n) { return spExpInPlaceF32(srcDst, n); }
spStatus duvuvExpF32(const float* src, float* dst, int32_t n) { return spExpF32(src, dst, n); }
spStatus duvuvLnInPlaceF32(float* srcDst, int32_t n) { return spLnInPlaceF32(srcDst, n); }
spStatus duvuvLnF32(const float* src, float* dst, int32_t n) { return spLnF32(src, dst, n); }
spStatus duvuvLnInPlaceF64(double* srcDst, int32_t n) { return spLnInPlaceF64(srcDst, n); }
spStatus duvuvLnF64(const double* src, double* dst, int32_t n) { return spLnF64(src, dst, n); }
spStatus duvuvSqrF32(const float* src, float* dst, int32_t n) { return spSqrF32(src, dst, n); }
spStatus duvuvSqrF64(const double* src, double* dst, int32_t n) { return spSqrF64(src, dst, n); }
spStatus duvuvSqrInPlaceF32(float* srcDst, int32_t n) { return spSqrInPlaceF32(srcDst, n); }
spStatus duvuvSqrInPlaceF64(double* srcDst, int32_t n) { return spSqrInPlaceF64(srcDst, n); }

spStatus duvuvSqrt2(const float* src, float* dst, int32_t n) {
  const spStatus status = spSqrtF32(src, dst, n);
  if (status == spWarnSqrtNegative)
    MathlibTrace(stderr, "Error: Square root of negative elements, when calling duvuvSqrt2\n");
  return status;
}

spStatus duvuvSqrt2F64(const double* src, double* dst, int32_t n) {
  const spStatus status = spSqrtF64(src, dst, n);
  if (status == spWarnSqrtNegative)
    MathlibTrace(stderr, "Error: Square root of negative elements, when calling duvuvSqrt2\n");
  return status;
}

spStatus duvuvInvThresh(float* srcDst, int32_t n, float threshold) {
  const spStatus status = spInvThreshInPlaceF32(srcDst, n, threshold);
  if (status == spWarnDivByZero)
    MathlibTrace(stderr, "Error: Division by zero, caused by zero value and zero threshold in duvuvInvThresh\n");
  return status;
}

spStatus duvuvThresholdF32(float* srcDst, int32_t n, float level, int32_t mode) {
  return spThresholdInPlaceF32(srcDst, n, level, mode == 1 ? 4 : 0);
}
spStatus duvuvThresholdF64(double* srcDst, int32_t n, double level, int32_t mode) {
  return spThresholdInPlaceF64(srcDst, n, level, mode == 1 ? 4 : 0);
}

spStatus duvuvRandGaussF32(float* dst, int32_t n, float mean, float stdDev, int32_t* seed) {
  return spRandGaussF32(dst, n, mean, stdDev, reinterpret_cast<uint32_t*>(seed));
}
spStatus duvuvRandGaussF64(double* dst, int32_t n, double mean, double stdDev, int32_t* seed) {
  return spRandGaussF64(dst, n, mean, stdDev, reinterpret_cast<uint32_t*>(seed));
}
spStatus duvuvWinHammingF32(const float* src, float* dst, int32_t n) { return spWinHammingF32(src, dst, n); }
spStatus duvuvWinHammingF64(const double* src, double* dst, int32_t n) { return spWinHammingF64(src, dst, n); }
spStatus duvuvWinHannF32(const float* src, float* dst, int32_t n) { return spWinHannF32(src, dst, n); }
spStatus duvuvWinHannF64(const double* src, double* dst, int32_t n) { return spWinHannF64(src, dst, n); }

spStatus duvuvConjInPlaceC32(float* srcDst, int32_t n) { return spConjInPlaceC32(srcDst, n); }
spStatus duvuvConjInPlaceC64(double* srcDst, int32_t n) { return spConjInPlaceC64(srcDst, n); }
spStatus duvuvSplitComplexC32(const float* src, float* dstRe, float* dstIm, int32_t n) {
  return spSplitComplexC32(src, dstRe, dstIm, n);
}
