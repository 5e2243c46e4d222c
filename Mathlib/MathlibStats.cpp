#include "Mathlib/MathlibStats.h"

#include <cmath>
#include <type_traits>

#include "Mathlib/MathlibPrim.h"

spStatus MathlibRemoveMeanF32(float* srcDst, int32_t n) {
  const float mean = duvuvMeanF32(srcDst, n);
  return duvuvAddConstInPlaceF32(-mean, srcDst, n);
}

spStatus MathlibRemoveMeanF64(double* srcDst, int32_t n) {
  const double mean = duvuvMeanF64(srcDst, n);
  return duvuvAddConstInPlaceF64(-mean, srcDst, n);
}

namespace {

// Pearson's r in two passes with double sums. The float form rounds the sum
// of x, the count and both means to float, and the cross sum before the
// division, as it always has.
template <typename T>
T CorrCoef(const T* x, const T* y, int32_t n) {
  constexpr bool kSingle = std::is_same_v<T, float>;
  if (n < 1 || !x || !y) return T(0);
  double sx = 0.0, sy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    sx += x[i];
    sy += y[i];
  }
  double mx, my;
  if constexpr (kSingle) {
    const float count = static_cast<float>(n);
    mx = static_cast<float>(sx) / count;
    my = static_cast<float>(sy / count);
  } else {
    mx = sx / n;
    my = sy / n;
  }
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const double dx = static_cast<double>(x[i]) - mx;
    const double dy = static_cast<double>(y[i]) - my;
    syy += dy * dy;
    sxx += dx * dx;
    sxy += dx * dy;
  }
  if (!(syy > 0.0 && sxx > 0.0)) return T(0);
  const double numerator = kSingle ? static_cast<double>(static_cast<float>(sxy)) : sxy;
  return static_cast<T>(numerator / std::sqrt(sxx * syy));
}

}  // namespace

float MathlibCorrCoefF32(const float* x, const float* y, int32_t n) { return CorrCoef(x, y, n); }
double MathlibCorrCoefF64(const double* x, const double* y, int32_t n) { return CorrCoef(x, y, n); }
