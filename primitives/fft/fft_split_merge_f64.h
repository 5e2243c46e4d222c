// The real split and merge steps and the scale of the SSE2, SSE3 and SSSE3
// sets in double precision, two positions at a time on the pair-split
// split tables of fft_tables_f64.h (same operations in the same order per
// position as fft_split_merge.h). Include only from *_variant.cpp of those
// sets.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_lanes_f64.h"

#if SP_SET_INDEX >= SP_SET_SSE2

namespace SP_SET_NS::fftk {

// Real split, forward: as RealSplitGeneric (the same operations in the same
// order per position) for k and k + 1 at once, k = 1, 3, .., points/2 - 1,
// with the pair-split forward split table; the lane that reaches the middle
// position is not stored. points >= 4.
inline void RealSplitPairs(double* d, int64_t points, const double* table) {
  using namespace simd;
  const int64_t middle = points / 2;
  for (int64_t k = 1; k < middle; k += 2, table += 4) {
    const f64x2 wr = Load(table), wi = Load(table + 2);
    const pair::Pair a = pair::Join(LoadOne(d, k), LoadOne(d, k + 1));
    const pair::Pair b = pair::Join(LoadOne(d, points - k), LoadOne(d, points - k - 1));
    const f64x2 dr = Sub(a.re, b.re), si = Add(a.im, b.im);
    const f64x2 e = Add(Mul(wi, dr), Mul(wr, si)), f = Sub(Mul(wi, si), Mul(wr, dr));
    const pair::Pair lo{Add(b.re, e), Sub(f, b.im)}, hi{Sub(a.re, e), Sub(f, a.im)};
    StoreU(d + 2 * k, pair::First(lo));
    StoreU(d + 2 * (points - k), pair::First(hi));
    if (k + 1 < middle) {
      StoreU(d + 2 * (k + 1), pair::Second(lo));
      StoreU(d + 2 * (points - k - 1), pair::Second(hi));
    }
  }
  d[points + 1] = -d[points + 1];  // X[N/4] = conj Z[M/2]
}

// Real merge: as RealMergeGeneric, two positions at a time, the middle
// position written first (src may be dst: the lane that reads it again is
// not stored).
inline void RealMergePairs(const double* src, double* dst, int64_t points, const double* table) {
  using namespace simd;
  const int64_t middle = points / 2;
  const double re = src[points], im = src[points + 1];
  dst[points] = 2.0 * re;
  dst[points + 1] = -2.0 * im;
  for (int64_t k = 1; k < middle; k += 2, table += 4) {
    const f64x2 wr = Load(table), wi = Load(table + 2);
    const pair::Pair a = pair::Join(LoadOne(src, k), LoadOne(src, k + 1));
    const pair::Pair b = pair::Join(LoadOne(src, points - k), LoadOne(src, points - k - 1));
    const f64x2 sr = Add(a.re, b.re), dr = Sub(a.re, b.re), si = Add(a.im, b.im), di = Sub(a.im, b.im);
    const f64x2 u = Sub(Mul(wi, dr), Mul(wr, si)), h = Add(Mul(wr, dr), Mul(wi, si));
    const pair::Pair lo{Add(sr, u), Add(di, h)}, hi{Sub(sr, u), Sub(h, di)};
    StoreU(dst + 2 * k, pair::First(lo));
    StoreU(dst + 2 * (points - k), pair::First(hi));
    if (k + 1 < middle) {
      StoreU(dst + 2 * (k + 1), pair::Second(lo));
      StoreU(dst + 2 * (points - k - 1), pair::Second(hi));
    }
  }
}

// data[i] *= scale, two at a time; the same products as one at a time.
inline void ScalePairs(double scale, double* d, int64_t count) {
  const simd::f64x2 s = simd::Splat(scale);
  int64_t i = 0;
  for (; i + 2 <= count; i += 2) simd::StoreU(d + i, simd::Mul(simd::LoadU(d + i), s));
  for (; i < count; ++i) d[i] = d[i] * scale;
}

}  // namespace SP_SET_NS::fftk

#endif
