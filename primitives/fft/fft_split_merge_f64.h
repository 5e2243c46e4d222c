// The real split and merge steps and the scale of the SSE2, SSE3 and SSSE3
// sets in double precision, one complex value per register on the generic
// split tables (same operations on the same operands per position as
// fft_split_merge.h: only sign flips and a lane swap stand in for the
// scalar code's separate sums and differences). Include only from
// *_variant.cpp of those sets.
#pragma once
#include <cstdint>

#include "primitives/frame/simd.h"

#if SP_SET_HAS_F64_VECTORS

namespace SP_SET_NS::fftk {

// Real split, forward: as RealSplitGeneric for k = 1 .. points/2 - 1, on
// the generic forward split table (c, s). With a = Z[k], b = Z[points - k]:
// conj b = (br, -bi), t = a - conj b = (ar - br, ai + bi), and
// (e, f) = s t + (c, -c) swap(t); then conj b + (e, f) = (br + e, f - bi)
// and conj(a - (e, f)) = (ar - e, f - ai). points >= 4.
inline void RealSplitSimd(double* d, int64_t points, const double* table) {
  using namespace simd;
  const f64x2 imagSign = ImagSignMaskF64();
  const auto one = [&](int64_t k) {
    double* const low = d + 2 * k;
    double* const high = d + 2 * (points - k);
    const f64x2 s = LoadDup(table + 2 * k + 1), c = Xor(LoadDup(table + 2 * k), imagSign);
    const f64x2 a = LoadUFpDomain(low), bConj = Xor(LoadUFpDomain(high), imagSign);
    const f64x2 t = Sub(a, bConj);
    const f64x2 ef = Add(Mul(s, t), Mul(c, SwapHalves(t)));
    StoreU(low, Add(bConj, ef));
    StoreU(high, Xor(Sub(a, ef), imagSign));
  };
  // points/2 - 1 positions, an odd count.
  one(1);
  for (int64_t k = 2; k < points / 2; k += 2) {
    one(k);
    one(k + 1);
  }
  d[points + 1] = -d[points + 1];  // X[N/4] = conj Z[M/2]
}

// The merge of position k (1 <= k < points/2) from the packed spectrum:
// lo = 2 Z[k] and hi = conj(2 Z[points - k]), before the sign flip that
// RealMergeSimd stores.
struct MergedPair {
  simd::f64x2 lo, hi;
};
[[gnu::always_inline]] inline MergedPair MergeAt(const double* src, int64_t points, const double* table, int64_t k) {
  using namespace simd;
  const f64x2 v = LoadDup(table + 2 * k + 1), w = Xor(LoadDup(table + 2 * k), RealSignMaskF64());
  const f64x2 a = LoadUFpDomain(src + 2 * k), n = Xor(LoadUFpDomain(src + 2 * (points - k)), RealSignMaskF64());
  const f64x2 t = Add(a, n), g = Sub(a, n);
  const f64x2 uh = Add(Mul(v, t), Mul(w, SwapHalves(t)));
  return {Add(g, uh), Sub(g, uh)};
}

[[gnu::always_inline]] inline simd::f64x2 Conj(simd::f64x2 v) { return simd::Xor(v, simd::ImagSignMaskF64()); }

// Real merge: as RealMergeGeneric, on the generic inverse split table
// (w, v), the middle position written first (src may be dst: each position
// is read before it is written). With n = (-br, bi): t = a + n = (dr, si),
// g = a - n = (sr, di), (u, h) = v t + (-w, w) swap(t); then g + (u, h) and
// conj(g - (u, h)) = (sr - u, h - di).
inline void RealMergeSimd(const double* src, double* dst, int64_t points, const double* table) {
  using namespace simd;
  const double re = src[points], im = src[points + 1];
  dst[points] = 2.0 * re;
  dst[points + 1] = -2.0 * im;
  const auto one = [&](int64_t k) {
    const MergedPair merged = MergeAt(src, points, table, k);
    StoreU(dst + 2 * k, merged.lo);
    StoreU(dst + 2 * (points - k), Conj(merged.hi));
  };
  // points/2 - 1 positions, an odd count.
  one(1);
  for (int64_t k = 2; k < points / 2; k += 2) {
    one(k);
    one(k + 1);
  }
}

// data[i] *= scale, two at a time; the same products as one at a time.
inline void ScalePairs(double scale, double* d, int64_t count) {
  const simd::f64x2 s = simd::Splat(scale);
  int64_t i = 0;
  for (; i + 2 <= count; i += 2) simd::StoreU(d + i, simd::Mul(simd::LoadUFpDomain(d + i), s));
  for (; i < count; ++i) d[i] = d[i] * scale;
}

}  // namespace SP_SET_NS::fftk

#endif
