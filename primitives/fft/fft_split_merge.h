// The real split and merge steps of the generic layout, shared by both
// precisions. A real FFT of N = 2M points runs as a complex FFT of the M
// pairs z[t] = x[2t] + j x[2t+1]; these passes convert between that
// spectrum Z and the real spectrum X in one sweep from both ends. Evaluated
// in double, rounded to T at the stores. Include only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::fftk {

// In place. data holds Z[k] except that floats 0 and 1 already hold X[0]
// and X[N/2] (left alone); afterwards floats 2.. hold X[1] .. X[M-1].
// table: entry k = (cos theta_k / 2, (1 - sin theta_k) / 2).
template <class T>
void RealSplitGeneric(T* d, int64_t points, const T* table) {
  for (int64_t k = 1, r = points - 1; k < r; ++k, --r) {
    const double ar = d[2 * k], ai = d[2 * k + 1], br = d[2 * r], bi = d[2 * r + 1];
    const double c = table[2 * k], s = table[2 * k + 1];
    const double dr = ar - br, si = ai + bi;
    const double e = s * dr + c * si, f = s * si - c * dr;
    d[2 * k] = static_cast<T>(br + e);
    d[2 * k + 1] = static_cast<T>(f - bi);
    d[2 * r] = static_cast<T>(ar - e);
    d[2 * r + 1] = static_cast<T>(f - ai);
  }
  if (points >= 2) d[points + 1] = -d[points + 1];  // X[N/4] = conj Z[M/2]
}

// src: the packed half spectrum (floats 2 .. 2M-1 read); writes complex
// values 1 .. M-1 of dst as 2 Z[k]. dst may be src.
// table: entry k = (cos theta_k, -sin theta_k).
template <class T>
void RealMergeGeneric(const T* src, T* dst, int64_t points, const T* table) {
  for (int64_t k = 1, r = points - 1; k < r; ++k, --r) {
    const double ar = src[2 * k], ai = src[2 * k + 1], br = src[2 * r], bi = src[2 * r + 1];
    const double w = table[2 * k], v = table[2 * k + 1];
    const double sr = ar + br, dr = ar - br, si = ai + bi, di = ai - bi;
    const double u = v * dr - w * si, h = w * dr + v * si;
    dst[2 * k] = static_cast<T>(sr + u);
    dst[2 * k + 1] = static_cast<T>(di + h);
    dst[2 * r] = static_cast<T>(sr - u);
    dst[2 * r + 1] = static_cast<T>(h - di);
  }
  if (points >= 2) {
    const double re = src[points], im = src[points + 1];
    dst[points] = static_cast<T>(2.0 * re);
    dst[points + 1] = static_cast<T>(-2.0 * im);
  }
}

// data[i] *= scale, one multiplication in T each.
template <class T>
void ScaleInPlace(T scale, T* d, int64_t count) {
  for (int64_t i = 0; i < count; ++i) d[i] = d[i] * scale;
}

}  // namespace SP_SET_NS::fftk
