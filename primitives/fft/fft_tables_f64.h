// Table builders of the double real FFT that the single-precision one does
// not share: the SIMD sets' layout of the complex twiddles (one table per
// radix-4 stage).
// All read the quarter-wave sine table of fft_tables.h. Include only from
// *_variant.cpp.
//
// Pair-split records: two neighbouring factors w(p), w(p+1) of the forward
// direction as the four doubles Re w(p), Re w(p+1), Im w(p), Im w(p+1).
#pragma once
#include <cstdint>

#include "primitives/fft/fft_tables.h"

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

}  // namespace SP_SET_NS::fftk
