// The inverse double real FFT of the SSE2, SSE3 and SSSE3 sets with the
// real merge folded into the fused kernel's first stage: the mirror of a
// first-stage group {t + r n/4} (radix 4) or {t + r n/8} (radix 8) is the
// group of n/4 - t or n/8 - t, so the merges of both groups are made in
// registers and go straight into their two butterflies; the merged
// spectrum is never stored and read back. Each value has the operations of
// RealMergeSimd then the first stage of FusedKernel on the same
// operands, so the results are those of the two passes bit for bit.
// Include only from *_variant.cpp of those sets.
#pragma once
#include <bit>
#include <cstdint>

#include "primitives/fft/fft_passes_f64.h"
#include "primitives/fft/fft_split_complex_f64.h"
#include "primitives/fft/fft_split_merge_f64.h"

#if SP_SET_HAS_F64_VECTORS

namespace SP_SET_NS::fftk {

// Butterfly4OneSplit on values in registers, d given conjugated: the sum
// and difference of a and b are made whole and their lanes regrouped,
// which gives the same (ar + br, ar - br) and (ai + bi, ai - bi).
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly4ValuesSplit(pair::f64x2 a, pair::f64x2 b, pair::f64x2 c, pair::f64x2 dConj,
                                                         SplitCx<double>& y01, SplitCx<double>& y23) {
  using namespace simd;
  const pair::f64x2 sumAB = Add(a, b), diffAB = Sub(a, b);
  Butterfly4SplitTail<kInverse>(InterleaveLow(sumAB, diffAB), InterleaveHigh(sumAB, diffAB), c, dConj, y01, y23);
}

// Butterfly8OneToSplit on values in registers: x0 .. x3 (x3 conjugated)
// and u0 .. u3 in its input order, stored pair-split at out.
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly8ValuesSplit(pair::f64x2 x0, pair::f64x2 x1, pair::f64x2 x2,
                                                         pair::f64x2 x3Conj, pair::f64x2 u0, pair::f64x2 u1,
                                                         pair::f64x2 u2, pair::f64x2 u3, double* out) {
  SplitCx<double> s01, s23;
  Butterfly4ValuesSplit<kInverse>(x0, x1, x2, x3Conj, s01, s23);
  Butterfly8JoinSplit<kInverse>(s01, s23, u0, u1, u2, u3, out);
}

// 2 Z[0] and 2 Z[n/2], made by the caller from the first, last and middle
// values.
struct EdgeValues {
  pair::f64x2 zero, middle;
};

// The radix-4 first stage of n points from the packed spectrum into buf.
// Group t (t < n/4) lands at position rev(t) = 2 index[t].
inline void MergedFirstStage4(const double* src, double* buf, int64_t n, const int32_t* index, const double* split,
                              const EdgeValues& edge) {
  const int64_t half = n / 2, quarter = n / 4, eighth = n / 8;
  {
    // Positions 0, n/2 (from the caller) and n/4, 3n/4.
    const MergedPair m = MergeAt(src, n, split, quarter);
    SplitCx<double> y01, y23;
    Butterfly4ValuesSplit<true>(edge.zero, edge.middle, m.lo, m.hi, y01, y23);
    StoreSplit(buf, 0, y01);
    StoreSplit(buf, 2, y23);
  }
  const auto store = [buf, index](int64_t t, const SplitCx<double>& y01, const SplitCx<double>& y23) {
    double* const at = buf + 4 * static_cast<int64_t>(index[t]);
    StoreSplit(at, 0, y01);
    StoreSplit(at, 2, y23);
  };
  for (int64_t t = 1; t < eighth; ++t) {
    // Group t: t, t + n/2, t + n/4, t + 3n/4; group n/4 - t: the mirrors.
    const MergedPair m1 = MergeAt(src, n, split, t), m2 = MergeAt(src, n, split, t + quarter);
    const MergedPair m3 = MergeAt(src, n, split, half - t), m4 = MergeAt(src, n, split, quarter - t);
    SplitCx<double> y01, y23;
    Butterfly4ValuesSplit<true>(m1.lo, Conj(m3.hi), m2.lo, m4.hi, y01, y23);
    store(t, y01, y23);
    Butterfly4ValuesSplit<true>(m4.lo, Conj(m2.hi), m3.lo, m1.hi, y01, y23);
    store(quarter - t, y01, y23);
  }
  // Group n/8 is its own mirror.
  const MergedPair m1 = MergeAt(src, n, split, eighth), m2 = MergeAt(src, n, split, 3 * eighth);
  SplitCx<double> y01, y23;
  Butterfly4ValuesSplit<true>(m1.lo, Conj(m2.hi), m2.lo, m1.hi, y01, y23);
  store(eighth, y01, y23);
}

// The radix-8 first stage: group t (t < n/8) is t + r n/8 in the order
// r = 0, 4, 2, 6, 1, 5, 3, 7 and lands at position rev(t) = 2 index[t].
// With l_r the merge at t + r n/8 and h_s the merge at s n/8 - t, group t
// takes l_0..l_3 low and h_1..h_4 high, group n/8 - t the other halves.
inline void MergedFirstStage8(const double* src, double* buf, int64_t n, const int32_t* index, const double* split,
                              const EdgeValues& edge) {
  const int64_t eighth = n / 8, sixteenth = n / 16;
  {
    // Positions r n/8: 0 and n/2 from the caller, the others merged.
    const MergedPair m1 = MergeAt(src, n, split, eighth), m2 = MergeAt(src, n, split, 2 * eighth);
    const MergedPair m3 = MergeAt(src, n, split, 3 * eighth);
    Butterfly8ValuesSplit<true>(edge.zero, edge.middle, m2.lo, m2.hi, m1.lo, Conj(m3.hi), m3.lo, Conj(m1.hi), buf);
  }
  double* const out = buf;
  for (int64_t t = 1; t < sixteenth; ++t) {
    const MergedPair l0 = MergeAt(src, n, split, t), l1 = MergeAt(src, n, split, t + eighth);
    const MergedPair l2 = MergeAt(src, n, split, t + 2 * eighth), l3 = MergeAt(src, n, split, t + 3 * eighth);
    const MergedPair h1 = MergeAt(src, n, split, eighth - t), h2 = MergeAt(src, n, split, 2 * eighth - t);
    const MergedPair h3 = MergeAt(src, n, split, 3 * eighth - t), h4 = MergeAt(src, n, split, 4 * eighth - t);
    Butterfly8ValuesSplit<true>(l0.lo, Conj(h4.hi), l2.lo, h2.hi, l1.lo, Conj(h3.hi), l3.lo, Conj(h1.hi),
                                out + 4 * static_cast<int64_t>(index[t]));
    Butterfly8ValuesSplit<true>(h1.lo, Conj(l3.hi), h3.lo, l1.hi, h2.lo, Conj(l2.hi), h4.lo, Conj(l0.hi),
                                out + 4 * static_cast<int64_t>(index[eighth - t]));
  }
  // Group n/16 is its own mirror (h_s = l_(s-1)).
  const MergedPair l0 = MergeAt(src, n, split, sixteenth), l1 = MergeAt(src, n, split, sixteenth + eighth);
  const MergedPair l2 = MergeAt(src, n, split, sixteenth + 2 * eighth);
  const MergedPair l3 = MergeAt(src, n, split, sixteenth + 3 * eighth);
  Butterfly8ValuesSplit<true>(l0.lo, Conj(l3.hi), l2.lo, l1.hi, l1.lo, Conj(l2.hi), l3.lo, Conj(l0.hi),
                              out + 4 * static_cast<int64_t>(index[sixteenth]));
}

// The inverse real transform's complex stage of n = 2^m points
// (16 <= n <= 2^14) straight from the packed spectrum src (N/2 + 1
// complex values, N = 2n; src may be dst): the merge, then the fused
// kernel as FusedKernel<true> runs it in place on the merged values,
// each result times *scale when scale is given. Work area as for the
// fused kernel.
inline void FusedInverseFromSpectrum(const double* src, double* dst, int64_t n, const double* table,
                                     const int32_t* index, const double* split, double* work, const double* scale) {
  double* const buf = (src != dst && simd::Aligned16(dst)) ? dst : work;
  // 2 Z[0] and 2 Z[n/2] from the first, last and middle values.
  const double first = src[0], last = src[2 * n], re = src[n], im = src[n + 1];
  const EdgeValues edge{simd::Lanes(first + last, first - last), simd::Lanes(2.0 * re, -2.0 * im)};
  int64_t q;
  if (std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0) {
    MergedFirstStage4(src, buf, n, index, split, edge);
    q = 4;
  } else {
    MergedFirstStage8(src, buf, n, index, split, edge);
    q = 8;
  }
  StagesAfterFirst<true>(buf, dst, n, q, table, scale);
}

}  // namespace SP_SET_NS::fftk

#endif
