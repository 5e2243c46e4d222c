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

#include "primitives/fft/fft_bitrev.h"
#include "primitives/fft/fft_large_generic.h"
#include "primitives/fft/fft_large_plan_f64.h"
#include "primitives/fft/fft_radix_generic.h"

#if SP_SET_HAS_F64_VECTORS
#include "primitives/fft/fft_column_step.h"
#include "primitives/fft/fft_passes_f64.h"
#endif

namespace SP_SET_NS::fftk {

#if SP_SET_HAS_F64_VECTORS

// The radix-4 stages after the first of ColumnKernel, from quarter q on,
// in buf; the result goes to data, pair-split or (split false) interleaved.
template <bool kInverse>
void ColumnKernelStages(double* buf, double* data, int64_t n, int64_t q, const double* table, bool split) {
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
      StoreSplit(buf, g, pair::Join(y0, y1));
      StoreSplit(buf, g + 2, pair::Join(y2, y3));
    }
    q = 4;
  } else {
    for (int64_t g = 0; g < n; g += 8)
      Butterfly8One<kInverse, true>(LoadOne(data, g), LoadOne(data, g + 1), LoadOne(data, g + 2), LoadOne(data, g + 3),
                                    LoadOne(data, g + 4), LoadOne(data, g + 5), LoadOne(data, g + 6),
                                    LoadOne(data, g + 7), buf + 2 * g);
    q = 8;
  }
  ColumnKernelStages<kInverse>(buf, data, n, q, table, split);
}

// The first butterflies of every row of the top level of the large-size
// path (2^k1 rows of n points, data 16-byte aligned) straight from the
// natural-order input src of the whole transform, so the bit-reversed copy
// is never made. Row j's position p holds input point rev_m(j n + p) =
// 2^k1 rev(p) + rev_k1(j), and for a multiple g of 4 below n, rev_m(g) =
// 2^k1 rev(g) is index slot g / 4 / 2. One call makes the four rows whose
// offsets rev_k1(j) are t .. t + 3 (t a multiple of 4), so that every 64
// bytes read from src serve them all. Same operations in the same order
// as ColumnKernel's first butterflies on the copied rows, so the same
// bits. n >= 16, k1 >= 2.
inline constexpr int64_t kFirstStageRows = 4;  // the rows one FirstStageFromSource call makes
template <bool kInverse>
void FirstStageFromSource(const double* src, double* data, int64_t n, int32_t k1, const int32_t* index, int64_t t) {
  const int64_t rows = int64_t{1} << k1;
  const int64_t half = rows * (n / 2), quarter = rows * (n / 4), eighth = rows * (n / 8);
  const bool radix4 = std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0;
  const int64_t rowOf[kFirstStageRows] = {ReverseBits(t, k1), ReverseBits(t + 1, k1), ReverseBits(t + 2, k1),
                                          ReverseBits(t + 3, k1)};
  if (radix4) {
    for (int64_t g = 0; g < n; g += 4) {
      const int64_t base = index[g / 4] / 2 + t;
      for (int64_t c = 0; c < kFirstStageRows; ++c) {
        const double* const from = src + 2 * (base + c);
        double* buf = data + 2 * rowOf[c] * n;
        SplitCx<double> y01, y23;
        Butterfly4OneSplit<kInverse>(from, from + 2 * half, from + 2 * quarter, from + 2 * (half + quarter), y01, y23);
        StoreSplit(buf, g, y01);
        StoreSplit(buf, g + 2, y23);
      }
    }
  } else {
    for (int64_t g = 0; g < n; g += 8) {
      const int64_t base = index[g / 4] / 2 + t;
      for (int64_t c = 0; c < kFirstStageRows; ++c) {
        const int64_t a = base + c;
        Butterfly8OneToSplit<kInverse>(src + 2 * a, src + 2 * (a + eighth), half, quarter,
                                       data + 2 * (rowOf[c] * n + g));
      }
    }
  }
}

// FirstStageFromSource with the natural-order input in data itself (the
// whole transform's 2^k1 rows of n points, 16-byte aligned): the bit
// reversal and the rows' first butterflies in one pass, no copy. Block i
// of 64 points, e E + 8 i + r (E = all points / 8; e, r < 8), holds eight
// runs of 8 consecutive points (two radix-4 groups or one radix-8 group)
// whose first-stage outputs read exactly the points of the reversed
// partner block, so a block pair is loaded in full before either is
// written. Same operations in the same order as FirstStageFromSource, so
// the same bits. n >= 16, k1 >= 2.
template <bool kInverse>
void FirstStageInPlace(double* data, int64_t n, int32_t k1, const int32_t* index) {
  const int64_t points = n << k1, eighth = points / 8;
  static constexpr int64_t kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const bool radix4 = std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0;
  // Block i's eight output runs of 8 points from the 64 points of block
  // `from`, to out (stride: values between runs; a run is two radix-4
  // groups or one radix-8 group).
  auto outputs = [&](int64_t from, double* out, int64_t stride) {
    for (int64_t e = 0; e < 8; ++e) {
      const int64_t a = 8 * from + kRev3[e];
      double* to = out + e * stride;
      if (radix4) {
        for (int64_t h = 0; h < 2; ++h) {
          const double* const b = data + 2 * (a + h * eighth);
          SplitCx<double> y01, y23;
          Butterfly4OneSplit<kInverse>(b, b + 8 * eighth, b + 4 * eighth, b + 12 * eighth, y01, y23);
          StoreSplit(to, 4 * h, y01);
          StoreSplit(to, 4 * h + 2, y23);
        }
      } else {
        Butterfly8OneToSplit<kInverse>(data + 2 * a, data + 2 * (a + eighth), 4 * eighth, 2 * eighth, to);
      }
    }
  };
  alignas(16) double held[8 * 16];
  for (int64_t i = 0; i < points / 64; ++i) {
    const int64_t j = index[4 * i] / 8;
    if (j < i) continue;  // done with its partner
    outputs(j, held, 16);
    if (j != i) outputs(i, data + 2 * 8 * j, 2 * eighth);
    for (int64_t e = 0; e < 8; ++e) std::memcpy(data + 2 * (e * eighth + 8 * i), held + 16 * e, 128);
  }
}

// ColumnKernel on a 16-byte aligned row whose first butterflies
// FirstStageFromSource made; split output.
template <bool kInverse>
void ColumnKernelAfterFirstStage(double* data, int64_t n, const double* table) {
  const int64_t q = std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0 ? 4 : 8;
  ColumnKernelStages<kInverse>(data, data, n, q, table, true);
}

#endif

}  // namespace SP_SET_NS::fftk
