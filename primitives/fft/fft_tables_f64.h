// Table builders of the double real FFT that the single-precision one does
// not share: the SIMD sets' layout of the complex twiddles (one table per
// radix-4 stage), the subsampled twiddle list and the split and block
// exponents of the large-size plan.
// All read the quarter-wave sine table of fft_tables.h. Include only from
// *_variant.cpp.
//
// Pair-split records: two neighbouring factors w(p), w(p+1) of the forward
// direction as the four doubles Re w(p), Re w(p+1), Im w(p), Im w(p+1).
#pragma once
#include <cstdint>

#include "primitives/fft/fft_tables.h"
#include "primitives/fft/real_fft_f64_kernels.h"

namespace SP_SET_NS::fftk {

// Stage twiddles of the fused kernels for complex order m (nothing for
// m <= 3): for each radix-4 stage after the first, of group length
// G = 2^r with r = 4 + (m mod 2), 6 + (m mod 2), .., m, one 96-byte record
// per position pair k = 0, 2, .. below G/4 holding the factors
// W^(p k), W^(p (k+1)) for p = 1, 2, 3 (W = e^(-2 pi j / G)).
// 3 * G/4 complex values per stage, at most 16 * 2^m bytes in all.
inline double* StageTwiddleTable(int32_t m, const double* sine, int32_t sineOrder, double* out) {
  if (m <= 3) return out;
  for (int32_t r = 4 + m % 2; r <= m; r += 2) {
    const int64_t quarter = Pow2(r) / 4;
    for (int64_t k = 0; k < quarter; k += 2)
      for (int64_t p = 1; p <= 3; ++p) {
        double w0[2], w1[2];
        TwiddleFromSine(p * k, r, sine, sineOrder, w0);
        TwiddleFromSine(p * (k + 1), r, sine, sineOrder, w1);
        out[0] = w0[0];
        out[1] = w1[0];
        out[2] = w0[1];
        out[3] = w1[1];
        out += 4;
      }
  }
  return Next16(out);
}

// The large-size plan by complex order m (0..30): the split exponent k1
// (rows of 2^(m - k1) points, 2^k1 of them; 0 = the blocked plan) and, in
// the SIMD sets, the block exponent B (a column block holds 2^B points).
// Only orders above a set's plain limit are read.
inline constexpr spkFftLargePlanExponents kLargePlanGeneric = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 7, 7, 8, 9, 9, 9, 8, 8, 9, 9, 9, 9, 9, 9, 9, 9}, {}};
inline constexpr spkFftLargePlanExponents kLargePlanSse2 = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 10, 10, 12, 13, 13, 13, 10, 12, 13, 13, 13, 13, 13, 13, 13}};
inline constexpr spkFftLargePlanExponents kLargePlanSse3 = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 6, 4, 4, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 10, 10, 10, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14}};

}  // namespace SP_SET_NS::fftk
