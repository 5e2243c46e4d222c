// The real split and merge steps of the SIMD sets in single precision, four
// bins per step from both ends of the spectrum with the grouped split
// tables of fft_tables_f32.h (same formulas as fft_split_merge.h, each
// operation rounded to float). The lane order of a set's table is the order
// in which its step holds the bins: 1, 2, 3, 4 (SSE) or 2, 1, 4, 3 (SSE2 and
// later, the order the descending half arrives in). M >= 8; any float
// boundary. Include only from *_variant.cpp; SSE sets and later.
#pragma once
#include <cstdint>

#include "primitives/frame/simd.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::fftk {

// Bins k = 4i+1 .. 4i+4 (ascending, at asc) and M - k (descending, the four
// points from desc on) in the table's lane order.
template <bool kPairSwapped>
struct BinQuads {
  simd::f32x4 aRe, aIm, bRe, bIm;
};

template <bool kPairSwapped>
inline BinQuads<kPairSwapped> LoadBins(const float* asc, const float* desc) {
  using namespace simd;
  const f32x4 a0 = LoadU(asc), a1 = LoadU(asc + 4), b0 = LoadU(desc), b1 = LoadU(desc + 4);
  if constexpr (kPairSwapped) {
    return {EvenLanesPairSwapped(a0, a1), OddLanesPairSwapped(a0, a1), EvenLanes(b1, b0), OddLanes(b1, b0)};
  } else {
    return {EvenLanes(a0, a1), OddLanes(a0, a1), Reverse(EvenLanes(b0, b1)), Reverse(OddLanes(b0, b1))};
  }
}

// Stores ascending values (xRe, xIm) and descending ones (yRe, yIm) back;
// the last step of a sweep leaves out lane k = M/2 on both sides (the
// middle bin, done on its own).
template <bool kPairSwapped>
inline void StoreBins(float* asc, float* desc, simd::f32x4 xRe, simd::f32x4 xIm, simd::f32x4 yRe, simd::f32x4 yIm,
                      bool last) {
  using namespace simd;
  if constexpr (kPairSwapped) {
    xRe = SwapPairs(xRe);
    xIm = SwapPairs(xIm);
  } else {
    yRe = Reverse(yRe);
    yIm = Reverse(yIm);
  }
  // Ascending points 4i+1 .. 4i+4 from asc, descending M-4i-4 .. M-4i-1
  // from desc (pair-swapped lanes hold M-4i-2, M-4i-1, M-4i-4, M-4i-3).
  const f32x4 a0 = InterleaveLow(xRe, xIm), a1 = InterleaveHigh(xRe, xIm);
  const f32x4 b0 = kPairSwapped ? InterleaveHigh(yRe, yIm) : InterleaveLow(yRe, yIm);
  const f32x4 b1 = kPairSwapped ? InterleaveLow(yRe, yIm) : InterleaveHigh(yRe, yIm);
  StoreU(asc, a0);
  StoreU(desc + 4, b1);
  if (last) {
    StoreLow2(asc + 4, a1);
    StoreHigh2(desc + 2, b0);
  } else {
    StoreU(asc + 4, a1);
    StoreU(desc, b0);
  }
}

template <bool kPairSwapped>
void RealSplitSimd(float* d, int64_t points, const float* table) {
  using namespace simd;
  const int64_t steps = points / 8;
  for (int64_t i = 0; i < steps; ++i) {
    float* asc = d + 2 * (4 * i + 1);
    float* desc = d + 2 * (points - 4 * i - 4);
    const BinQuads<kPairSwapped> z = LoadBins<kPairSwapped>(asc, desc);
    const f32x4 c = Load(table + 8 * i), s = Load(table + 8 * i + 4);
    const f32x4 dr = Sub(z.aRe, z.bRe), si = Add(z.aIm, z.bIm);
    const f32x4 e = Add(Mul(s, dr), Mul(c, si)), f = Sub(Mul(s, si), Mul(c, dr));
    StoreBins<kPairSwapped>(asc, desc, Add(z.bRe, e), Sub(f, z.bIm), Sub(z.aRe, e), Sub(f, z.aIm), i == steps - 1);
  }
  d[points + 1] = FloatWithBitsFlipped(d[points + 1], kF32SignBit);  // X[N/4] = conj Z[M/2]
}

template <bool kPairSwapped>
void RealMergeSimd(const float* src, float* dst, int64_t points, const float* table) {
  using namespace simd;
  const float middleRe = Ld(src + points), middleIm = Ld(src + points + 1);
  St(dst + points, 2.0f * middleRe);
  St(dst + points + 1, -2.0f * middleIm);
  const int64_t steps = points / 8;
  for (int64_t i = 0; i < steps; ++i) {
    const int64_t ascAt = 2 * (4 * i + 1), descAt = 2 * (points - 4 * i - 4);
    const BinQuads<kPairSwapped> x = LoadBins<kPairSwapped>(src + ascAt, src + descAt);
    const f32x4 w = Load(table + 8 * i), v = Load(table + 8 * i + 4);
    const f32x4 sr = Add(x.aRe, x.bRe), dr = Sub(x.aRe, x.bRe), si = Add(x.aIm, x.bIm), di = Sub(x.aIm, x.bIm);
    const f32x4 u = Sub(Mul(v, dr), Mul(w, si)), h = Add(Mul(w, dr), Mul(v, si));
    StoreBins<kPairSwapped>(dst + ascAt, dst + descAt, Add(sr, u), Add(di, h), Sub(sr, u), Sub(h, di), i == steps - 1);
  }
}

// data[i] *= scale, four at a time; the same products as one at a time.
inline void ScaleQuads(float scale, float* d, int64_t count) {
  const simd::f32x4 s = simd::Splat(scale);
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    simd::StoreU(d + i, simd::Mul(simd::LoadU(d + i), s));
    simd::StoreU(d + i + 4, simd::Mul(simd::LoadU(d + i + 4), s));
  }
  for (; i < count; ++i) d[i] = d[i] * scale;
}

}  // namespace SP_SET_NS::fftk
#endif
