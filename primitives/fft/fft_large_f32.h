// The large-size single-precision complex FFT: 2^m complex floats in
// bit-reversed order become their unnormalised DFT in natural order, in
// place, scaled by the spec's scale when the direction asks for it (each
// value once, where a leaf of the plan runs the plain radix passes). One
// template serves both directions. The plan is fft_large_plan_f32.h's.
//
// A level of order M splits into R = 2^k1 rows of C = 2^d points; on
// bit-reversed input row j holds the sub-transform of the inputs congruent
// to rev(j) mod R, so transforming the rows and then joining the columns
// finishes one decimation-in-time FFT.
//   generic set: the generic layout's form (fft_large_generic.h),
//     1024-point blocks for blocked orders.
//   SSE set: the same split, rows by the SSE radix kernel and left in the
//     quad-split layout; a group of four columns is one 32-byte group of
//     every row, gathered with its factors and transformed as four lanes
//     at once, then written back in place. That column transform is the
//     SSE set's own code (ColumnsFft below: plain radix-2 decimation in
//     time over the four lanes, twiddles from the level's order-k1 table),
//     shared neither with the generic passes nor with the later sets'
//     column step, so it needs its own tests at every split it takes.
//     Blocked orders halve down to 1024-point blocks and join the halves
//     with radix-2 combines.
//   SSE2, SSE3, SSSE3 sets: the levels shared with the double path
//     (fft_column_step.h), rows by the set's radix kernel.
// Include only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_large_generic.h"
#include "primitives/fft/fft_large_plan_f32.h"
#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/real_fft_f32_kernels.h"

#if SP_SET_HAS_F32_VECTORS
#include "primitives/fft/fft_column_step.h"
#endif

namespace SP_SET_NS::fft32 {

#if SP_SET_INDEX == SP_SET_SSE

using fftk::SplitCx;

// Four points of a quad-split run at any float boundary of the data.
inline SplitCx<float> LoadQuad(const float* p) { return {simd::LoadU(p), simd::LoadU(p + 4)}; }
inline void StoreQuad(float* p, SplitCx<float> v, bool interleaved) {
  if (interleaved) {
    simd::StoreU(p, simd::InterleaveLow(v.re, v.im));
    simd::StoreU(p + 4, simd::InterleaveHigh(v.re, v.im));
  } else {
    simd::StoreU(p, v.re);
    simd::StoreU(p + 4, v.im);
  }
}

template <bool kInverse>
void RadixSse(float* data, int64_t points, const float* table, float* work) {
  if constexpr (kInverse)
    SP_V(spkFftRadixInvC32)(data, points, table, work, 0);
  else
    SP_V(spkFftRadixFwdC32)(data, points, table, work, 0);
}

template <bool kInverse>
void ScaledLeafSse(const spkRealFftView<float>& spec, float* data, int64_t points, const float* table, float* work) {
  RadixSse<kInverse>(data, points, table, work);
  if (fftk::ScalesDirection(spec, kInverse)) SP_V(spkFftScaleF32)(spec.scale, data, 2 * points);
}

// Radix-2 join in place of the two halves of data (count points, split
// layout): point k of the second half times W(k, log2 count), from the
// level's run of count/4 split values and, for the upper quarter, those
// times J (-j forward, +j inverse).
template <bool kInverse>
void CombineSse(float* data, int64_t count, const float* run, bool interleaved) {
  const int64_t half = count / 2, quarter = count / 4;
  for (int64_t k = 0; k < half; k += 4) {
    const SplitCx<float> a = LoadQuad(data + 2 * k), b = LoadQuad(data + 2 * (half + k));
    const bool upper = k >= quarter;
    SplitCx<float> t = fftk::columns::Twiddle<kInverse>(b, run + 2 * (upper ? k - quarter : k));
    if (upper) t = fftk::TimesJ<kInverse>(t);
    StoreQuad(data + 2 * k, a + t, interleaved);
    StoreQuad(data + 2 * (half + k), a - t, interleaved);
  }
}

// Blocked form on count points: halves down to 1024-point blocks, then the
// combines back up; run is the subsampled table's run of this count, the
// next run (count/4 values on) that of the halves.
template <bool kInverse>
void BlockedSse(const spkRealFftView<float>& spec, float* data, int64_t count, const float* run, float* work,
                bool interleaved) {
  const int64_t half = count / 2;
  for (float* part : {data, data + 2 * half}) {
    if (half == kBlockLength)
      ScaledLeafSse<kInverse>(spec, part, half, spec.twiddles, work);
    else
      BlockedSse<kInverse>(spec, part, half, run + 2 * (count / 4), work, false);
  }
  CombineSse<kInverse>(data, count, run, interleaved);
}

// W(e, k1) for e < 2^k1/2 from the SSE plain table of order k1, whose last
// section (butterfly positions k < 2^k1/4, factors r = 1, 2, 3, four
// positions per 96-byte block) holds W(r k, k1): e below a quarter is
// r = 1, above it W(e - quarter) times -j, both exact.
class ColumnTwiddles {
 public:
  ColumnTwiddles(const float* table, int32_t k1) : quarter_(Pow2(k1) / 4) {
    int64_t before = 0;
    for (int32_t level = k1 % 2 == 0 ? 4 : 5; level < k1; level += 2) before += 6 * (Pow2(level) / 4);
    section_ = table + before;
  }
  void At(int64_t e, float& re, float& im) const {
    const int64_t k = e < quarter_ ? e : e - quarter_;
    const float* at = section_ + 24 * (k / 4) + k % 4;
    if (e < quarter_) {
      re = at[0];
      im = at[4];
    } else {
      re = at[4];
      im = -at[0];
    }
  }

 private:
  int64_t quarter_;
  const float* section_;
};

// Four columns side by side, one quad-split run per row: the 2^k1-point FFT of
// every lane at once, radix-2 decimation in time from bit-reversed rows to
// natural order.
template <bool kInverse>
void ColumnsFft(float* runs, int32_t k1, const ColumnTwiddles& twiddles) {
  const int64_t rows = Pow2(k1);
  for (int64_t half = 1; half < rows; half *= 2) {
    const int64_t step = rows / (2 * half);
    for (int64_t k = 0; k < half; ++k) {
      float wr, wi;
      twiddles.At(k * step, wr, wi);
      const simd::f32x4 re = simd::Splat(wr), im = simd::Splat(kInverse ? -wi : wi);
      for (int64_t b = 0; b < rows; b += 2 * half) {
        const SplitCx<float> u = fftk::LoadSplit(runs, 4 * (b + k)), x = fftk::LoadSplit(runs, 4 * (b + k + half));
        const SplitCx<float> t = k == 0 ? x
                                        : SplitCx<float>{simd::Sub(simd::Mul(re, x.re), simd::Mul(im, x.im)),
                                                         simd::Add(simd::Mul(re, x.im), simd::Mul(im, x.re))};
        fftk::StoreSplit(runs, 4 * (b + k), u + t);
        fftk::StoreSplit(runs, 4 * (b + k + half), u - t);
      }
    }
  }
}

// One level of order M; work holds the four columns as 2^k1 runs (or one
// staged row of the radix kernel).
template <bool kInverse>
void LargeSse(const spkRealFftView<float>& spec, float* data, int32_t M, int32_t level, float* work) {
  const LargeSplitTables& tables = kLargeSplitGeneric;
  const float* sub = spec.subsampledTwiddles;
  const int32_t k1 = tables.split[M];
  if (k1 == 0) {
    BlockedSse<kInverse>(spec, data, Pow2(M), sub, work, level == 0);
    return;
  }
  const int32_t d = M - k1;
  const int64_t rows = Pow2(k1), cols = Pow2(d);
  for (int64_t j = 0; j < rows; ++j) {
    float* row = data + 2 * j * cols;
    if (d < kSmallestBlockedOrder)
      ScaledLeafSse<kInverse>(spec, row, cols, spec.twiddles, work);
    else if (tables.split[d] != 0)
      LargeSse<kInverse>(spec, row, d, level + 1, work);
    else
      BlockedSse<kInverse>(spec, row, cols, sub, work, false);
  }
  const ColumnTwiddles columnTwiddles(spec.rowTwiddles[level], k1);
  const float* factor = spec.multiplyTables[level];
  const bool top = level == 0;
  for (int64_t c0 = 0; c0 < cols; c0 += 4) {
    for (int64_t j = 0; j < rows; ++j, factor += 8)
      fftk::StoreSplit(work, 4 * j, fftk::columns::Twiddle<kInverse>(LoadQuad(data + 2 * (j * cols + c0)), factor));
    ColumnsFft<kInverse>(work, k1, columnTwiddles);
    for (int64_t j = 0; j < rows; ++j) StoreQuad(data + 2 * (j * cols + c0), fftk::LoadSplit(work, 4 * j), top);
  }
}

#endif

}  // namespace SP_SET_NS::fft32
