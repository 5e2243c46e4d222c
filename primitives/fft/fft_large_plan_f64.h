// The double-precision large-size plan's rows (fft_large_plan.h builds and
// sizes it): each set's shape over its exponent tables (fft_tables_f64.h),
// and the builders of the double layouts of its tables.
//
//   generic and SSE sets: blocked orders on 512-point blocks (the order-9
//     plain table and the subsampled list); per level the generic table of
//     the column transforms (order k1) and the twiddle-multiply table (2^M
//     values, in reading order: column groups of four, rows, four columns).
//   SSE2, SSE3, SSSE3 sets: per level the twiddle-multiply table of the
//     column step (pair-split entries, read on across the column blocks).
#pragma once
#include <cstdint>

#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_plan.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/fft_tables_f64.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fftk {

using LargePlanShapeF64 = LargePlanShape<spkFftLargePlanExponents>;

// The sets' plans, by set index.
inline constexpr LargePlanShapeF64 kLargeShapes[] = {
    {kLargePlanGeneric, 9, 9, false, false},  // generic
    {kLargePlanGeneric, 9, 9, false, false},  // SSE
    {kLargePlanSse2, 13, 9, true, false},     // SSE2
    {kLargePlanSse3, 14, 9, true, false},     // SSE3
    {kLargePlanSse3, 14, 9, true, false},     // SSSE3
};

// Pair-split entry for positions e and e + 1 of e^(-2 pi j f e / 2^r).
inline double* PairEntry(int64_t e, int64_t factor, int32_t r, const double* sine, int32_t sineOrder, double* out) {
  double w0[2], w1[2];
  TwiddleFromSine(factor * e, r, sine, sineOrder, w0);
  TwiddleFromSine(factor * (e + 1), r, sine, sineOrder, w1);
  out[0] = w0[0];
  out[1] = w1[0];
  out[2] = w0[1];
  out[3] = w1[1];
  return out + 4;
}

// Generic twiddle-multiply table of a level of order M split 2^k1 ways.
inline double* MultiplyTableGeneric(int32_t M, int32_t k1, const double* sine, int32_t sineOrder, double* out) {
  const int64_t rows = Pow2(k1), cols = Pow2(M - k1);
  for (int64_t c0 = 0; c0 < cols; c0 += 4)
    for (int64_t r = 0; r < rows; ++r) {
      const int64_t reversed = ReverseBits(r, k1);
      for (int64_t t = 0; t < 4; ++t, out += 2) FullCircleTwiddle((c0 + t) * reversed, M, sine, sineOrder, out);
    }
  return Next16(out);
}

// SIMD twiddle-multiply table of a level: per column block, the records of
// each radix-4 pass, then the radix-2 entries when k1 is odd.
inline double* MultiplyTablePairs(int32_t M, int32_t k1, int32_t blockExponent, const double* sine, int32_t sineOrder,
                                  double* out) {
  const int32_t L = M - k1;
  const int64_t rowLength = Pow2(L), cols = Pow2(blockExponent - k1);
  for (int64_t c0 = 0; c0 < rowLength; c0 += cols) {
    int64_t span = 1;
    int32_t r = L + 2;
    for (int32_t s = 2; s <= k1; s += 2, span *= 4, r += 2)
      for (int64_t g = 0; g < span; ++g)
        for (int64_t c = 0; c < cols; c += 2)
          for (int64_t f = 1; f <= 3; ++f) out = PairEntry(g * rowLength + c0 + c, f, r, sine, sineOrder, out);
    if (k1 % 2 == 1)
      for (int64_t g = 0; g < span; ++g)
        for (int64_t c = 0; c < cols; c += 2) out = PairEntry(g * rowLength + c0 + c, 1, M, sine, sineOrder, out);
  }
  return out;
}

// The large-plan table builders of the double layouts (see BuildLargePlan)
// other than the plain twiddles; every set's Plan derives from it.
struct LargeTableBuildersF64 {
  static double* BuildSubsampled(int32_t D, const double* sine, int32_t order, double* at) {
    return SubsampledTwiddles(D, sine, order, at);
  }
  static double* BuildMultiply(int32_t M, int32_t k1, const double* sine, int32_t order, double* at) {
    return MultiplyTableGeneric(M, k1, sine, order, at);
  }
  static double* BuildPassTwiddles(int32_t M, int32_t k1, int32_t b, const double* sine, int32_t order, double* at) {
    MultiplyTablePairs(M, k1, b, sine, order, at);
    return at + 2 * Pow2(M);
  }
};

}  // namespace SP_SET_NS::fftk
