// The large-size double complex FFT: 2^m complex doubles in bit-reversed
// order become their unnormalised DFT in natural order, in place, scaled
// by the spec's scale when the direction asks for it (each value once, on
// the rows of the deepest level). One template serves both directions.
//
// A level of order M splits into R = 2^k1 rows of 2^L points (L = M - k1,
// k1 from the set's split table); every row is transformed on its own,
// then the columns are combined:
//   generic and SSE sets: the generic layout's form (fft_large_generic.h),
//     512-point blocks for blocked orders.
//   SSE2, SSE3, SSSE3 sets: the levels shared with the single-precision
//     path (fft_column_step.h), rows by the column kernel below.
// Include only from *_variant.cpp.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

#include "primitives/fft/fft_large_generic.h"
#include "primitives/fft/fft_large_plan_f64.h"
#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/real_fft_f64_kernels.h"

#if SP_SET_INDEX >= SP_SET_SSE2
#include "primitives/fft/fft_column_step.h"
#include "primitives/fft/fft_passes_f64.h"
#endif

namespace SP_SET_NS::fftk {

#if SP_SET_INDEX >= SP_SET_SSE2

// n-point FFT of bit-reversed interleaved data (n a power of two >= 8), in
// place, natural order out, pair-split unless outInterleaved is 1. table:
// the stage twiddles of order log2 n. work (16 n bytes, 16-byte aligned)
// is used only when data is not 16-byte aligned.
template <bool kInverse>
void ColumnKernel(double* data, int64_t n, const double* table, double* work, int32_t outInterleaved) {
  const bool split = outInterleaved != 1;
  if (n == 8) {
    // Eight values in registers: pair-split output goes through an aligned
    // local so that data needs only 8-byte alignment.
    alignas(16) double local[16];
    double* out = split ? local : data;
    if (split)
      Butterfly8One<kInverse, true>(LoadOne(data, 0), LoadOne(data, 1), LoadOne(data, 2), LoadOne(data, 3),
                                    LoadOne(data, 4), LoadOne(data, 5), LoadOne(data, 6), LoadOne(data, 7), out);
    else
      Butterfly8One<kInverse, false>(LoadOne(data, 0), LoadOne(data, 1), LoadOne(data, 2), LoadOne(data, 3),
                                     LoadOne(data, 4), LoadOne(data, 5), LoadOne(data, 6), LoadOne(data, 7), out);
    if (split) std::memcpy(data, local, sizeof local);
    return;
  }
  double* const buf = simd::Aligned16(data) ? data : work;
  int64_t q;
  if (std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0) {
    for (int64_t g = 0; g < n; g += 4) {
      pair::f64x2 y0, y1, y2, y3;
      Butterfly4One<kInverse>(LoadOne(data, g), LoadOne(data, g + 1), LoadOne(data, g + 2), LoadOne(data, g + 3), y0,
                              y1, y2, y3);
      pair::StoreSplit(buf, g, pair::Join(y0, y1));
      pair::StoreSplit(buf, g + 2, pair::Join(y2, y3));
    }
    q = 4;
  } else {
    for (int64_t g = 0; g < n; g += 8)
      Butterfly8One<kInverse, true>(LoadOne(data, g), LoadOne(data, g + 1), LoadOne(data, g + 2), LoadOne(data, g + 3),
                                    LoadOne(data, g + 4), LoadOne(data, g + 5), LoadOne(data, g + 6),
                                    LoadOne(data, g + 7), buf + 2 * g);
    q = 8;
  }
  const double* stage = table;
  for (; 4 * q < n; q *= 4) {
    StagePairs<kInverse>(buf, n, q, stage);
    stage += 6 * q;
  }
  if (!split) {
    LastStagePairs<kInverse>(buf, data, n, stage);
    return;
  }
  StagePairs<kInverse>(buf, n, q, stage);
  if (buf != data) std::memcpy(data, buf, static_cast<size_t>(16 * n));
}

#endif

}  // namespace SP_SET_NS::fftk
