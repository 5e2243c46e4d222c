#include "Mathlib/MathlibStats.h"

#include <cmath>

#include "Mathlib/MathlibPrim.h"

spStatus MathlibRemoveMeanF32(float* srcDst, int32_t n) {
  const float mean = duvuvMeanF32(srcDst, n);
  return duvuvAddConstInPlaceF32(-mean, srcDst, n);
}

spStatus MathlibRemoveMeanF64(double* srcDst, int32_t n) {
  const double mean = duvuvMeanF64(srcDst, n);
  return duvuvAddConstInPlaceF64(-mean, srcDst, n);
}

float MathlibCorrCoefF32(const float* x, const float* y, int32_t n) {
  if (n < 1 || !x || !y) return 0.0f;
  double sx = 0.0, sy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    sx += x[i];
    sy += y[i];
  }
  // Single-precision means, as the float variant has always formed them.
  const float count = static_cast<float>(n);
  const float mx = static_cast<float>(sx) / count;
  const float my = static_cast<float>(sy / count);
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const double dx = static_cast<double>(x[i]) - mx;
    const double dy = static_cast<double>(y[i]) - my;
    syy += dy * dy;
    sxx += dx * dx;
    sxy += dx * dy;
  }
  if (syy > 0.0 && sxx > 0.0) return static_cast<float>(static_cast<float>(sxy) / std::sqrt(sxx * syy));
  return 0.0f;
}

double MathlibCorrCoefF64(const double* x, const double* y, int32_t n) {
  if (n < 1 || !x || !y) return 0.0;
  double sx = 0.0, sy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    sx += x[i];
    sy += y[i];
  }
  const double mx = sx / n;
  const double my = sy / n;
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const double dx = x[i] - mx;
    const double dy = y[i] - my;
    syy += dy * dy;
    sxx += dx * dx;
    sxy += dx * dy;
  }
  if (syy > 0.0 && sxx > 0.0) return sxy / std::sqrt(sxx * syy);
  return 0.0;
}
