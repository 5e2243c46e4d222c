// The SSE2, SSE3 and SSSE3 sets' double kernels, one source for the three:
// the fused complex FFT (bit reversal folded into the first butterfly
// stage, middle stages on pair-split data, the last stage back to
// interleaved).
// Include only from *_variant.cpp of those sets.
//
// The fused kernel transforms n = 2^m complex doubles, 8 <= n <= 2^14, src
// in natural order, dst in natural order, unnormalised (forward kernel
// e^(-2 pi j / n), inverse e^(+2 pi j / n)). It needs the index table and
// the stage twiddles of complex order m, and a 16-byte aligned work area of
// 16 n bytes whenever src is dst or dst is not 16-byte aligned. src and
// dst need only 8-byte alignment.
#pragma once
#include <bit>
#include <cstdint>

#include "primitives/fft/fft_split_complex_f64.h"
#include "primitives/fft/fft_tables.h"

#if SP_SET_HAS_F64_VECTORS

namespace SP_SET_NS::fftk {

// The butterflies are forced inline: called out of line (through the
// shared library's symbol table) they cost as much as their arithmetic.

// The 4-point butterfly on single values a (position 0) .. d (position 3)
// of bit-reversed data, all factors 1. Results go to named registers, not
// an array, which the compiler would keep on the stack.
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly4One(pair::f64x2 a, pair::f64x2 b, pair::f64x2 c, pair::f64x2 d,
                                                 pair::f64x2& y0, pair::f64x2& y1, pair::f64x2& y2, pair::f64x2& y3) {
  using namespace simd;
  const pair::f64x2 sumAB = Add(a, b), diffAB = Sub(a, b), sumCD = Add(c, d);
  const pair::f64x2 jDiffCD = pair::TimesJ<kInverse>(Sub(c, d));
  y0 = Add(sumAB, sumCD);
  y1 = Add(diffAB, jDiffCD);
  y2 = Sub(sumAB, sumCD);
  y3 = Sub(diffAB, jDiffCD);
}

// The pair-split 4-point butterfly from re = (sumAB.re, diffAB.re),
// im = (sumAB.im, diffAB.im), c and conj d: with c + conj d = (cr + dr,
// ci - di) and c - conj d = (cr - dr, ci + di), the product by J becomes
// one swap and one sign flip.
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly4SplitTail(pair::f64x2 re, pair::f64x2 im, pair::f64x2 c, pair::f64x2 dConj,
                                                       SplitCx<double>& y01, SplitCx<double>& y23) {
  using namespace simd;
  const pair::f64x2 lowPlus = ImagSignMaskF64();  // (+, -) on the two lanes
  const pair::f64x2 sum = Add(c, dConj), cross = SwapHalves(Sub(c, dConj));
  // (sumCD.re, (J diffCD).re) and (sumCD.im, (J diffCD).im).
  const pair::f64x2 p = kInverse ? Xor(sum, lowPlus) : sum, q = kInverse ? cross : Xor(cross, lowPlus);
  y01 = {Add(re, p), Add(im, q)};
  y23 = {Sub(re, p), Sub(im, q)};
}

// The 4-point butterfly of Butterfly4One on the points at a .. d, its
// results pair-split (positions 0, 1 and 2, 3), with the same operations on
// the same operands: the real and imaginary parts of a and b are read into
// both lanes, so (ar + br, ar - br) = (sum, difference) needs no shuffle.
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly4OneSplit(const double* a, const double* b, const double* c,
                                                      const double* d, SplitCx<double>& y01, SplitCx<double>& y23) {
  using namespace simd;
  const pair::f64x2 lowPlus = ImagSignMaskF64();                             // (+, -) on the two lanes
  const pair::f64x2 re = Add(LoadDup(a), Xor(LoadDup(b), lowPlus));          // (sumAB.re, diffAB.re)
  const pair::f64x2 im = Add(LoadDup(a + 1), Xor(LoadDup(b + 1), lowPlus));  // (sumAB.im, diffAB.im)
  Butterfly4SplitTail<kInverse>(re, im, LoadUFpDomain(c), Xor(LoadUFpDomain(d), lowPlus), y01, y23);
}

// cos(pi/4) one unit in the last place low, as the set's kernels have it.
inline constexpr uint64_t kCosQuarterPiBits = 0x3FE6A09E667F3BCC, kMinusCosQuarterPiBits = 0xBFE6A09E667F3BCC;

// The radix-8 butterfly joins two 4-point butterflies s and t:
// y(k) = s(k) + v(k), y(k + 4) = s(k) - v(k), v(k) = t(k) times
// e^(-+2 pi j k / 8). These are v(1) .. v(3) (v(0) = t(0)).
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly8Factors(pair::f64x2 t1, pair::f64x2 t2, pair::f64x2 t3, pair::f64x2& v1,
                                                     pair::f64x2& v2, pair::f64x2& v3) {
  using namespace simd;
  const pair::f64x2 c = SplatBits(kCosQuarterPiBits), minusC = SplatBits(kMinusCosQuarterPiBits);
  v1 = Mul(c, Add(t1, pair::TimesJ<kInverse>(t1)));
  v2 = pair::TimesJ<kInverse>(t2);
  v3 = Mul(minusC, Sub(t3, pair::TimesJ<kInverse>(t3)));
}

// The radix-8 butterfly on eight single values x0 .. x7 of bit-reversed
// data, stored as four pairs at out + 2 * (0, 2, 4, 6) (pair-split) or
// interleaved.
template <bool kInverse, bool kSplitOut>
[[gnu::always_inline]] inline void Butterfly8One(pair::f64x2 x0, pair::f64x2 x1, pair::f64x2 x2, pair::f64x2 x3,
                                                 pair::f64x2 x4, pair::f64x2 x5, pair::f64x2 x6, pair::f64x2 x7,
                                                 double* out) {
  using namespace simd;
  pair::f64x2 s0, s1, s2, s3, t0, t1, t2, t3, v1, v2, v3;
  Butterfly4One<kInverse>(x0, x1, x2, x3, s0, s1, s2, s3);
  Butterfly4One<kInverse>(x4, x5, x6, x7, t0, t1, t2, t3);
  Butterfly8Factors<kInverse>(t1, t2, t3, v1, v2, v3);
  const pair::f64x2 y0 = Add(s0, t0), y1 = Add(s1, v1), y2 = Add(s2, v2), y3 = Add(s3, v3);
  const pair::f64x2 y4 = Sub(s0, t0), y5 = Sub(s1, v1), y6 = Sub(s2, v2), y7 = Sub(s3, v3);
  if constexpr (kSplitOut) {
    StoreSplit(out, 0, pair::Join(y0, y1));
    StoreSplit(out, 2, pair::Join(y2, y3));
    StoreSplit(out, 4, pair::Join(y4, y5));
    StoreSplit(out, 6, pair::Join(y6, y7));
  } else {
    StoreU(out, y0);
    StoreU(out + 2, y1);
    StoreU(out + 4, y2);
    StoreU(out + 6, y3);
    StoreU(out + 8, y4);
    StoreU(out + 10, y5);
    StoreU(out + 12, y6);
    StoreU(out + 14, y7);
  }
}

// The radix-8 butterfly's second half: the 4-point butterfly s (pair-split)
// joined with t, the 4-point butterfly of u0 .. u3, times its factors;
// only v(0) .. v(3) are joined. Stored pair-split at out.
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly8JoinSplit(SplitCx<double> s01, SplitCx<double> s23, pair::f64x2 u0,
                                                       pair::f64x2 u1, pair::f64x2 u2, pair::f64x2 u3, double* out) {
  pair::f64x2 t0, t1, t2, t3, v1, v2, v3;
  Butterfly4One<kInverse>(u0, u1, u2, u3, t0, t1, t2, t3);
  Butterfly8Factors<kInverse>(t1, t2, t3, v1, v2, v3);
  const SplitCx<double> v01 = pair::Join(t0, v1), v23 = pair::Join(v2, v3);
  StoreSplit(out, 0, s01 + v01);
  StoreSplit(out, 2, s23 + v23);
  StoreSplit(out, 4, s01 - v01);
  StoreSplit(out, 6, s23 - v23);
}

// The same on the points at x + 2 * (0, half, quarter, half + quarter)
// (x4 .. x7 from u), stored pair-split at out: the s half comes pair-split
// from Butterfly4OneSplit, only v(0) .. v(3) are joined.
template <bool kInverse>
[[gnu::always_inline]] inline void Butterfly8OneToSplit(const double* x, const double* u, int64_t half, int64_t quarter,
                                                        double* out) {
  using namespace simd;
  const int64_t h = 2 * half, r = 2 * quarter;
  SplitCx<double> s01, s23;
  Butterfly4OneSplit<kInverse>(x, x + h, x + r, x + h + r, s01, s23);
  Butterfly8JoinSplit<kInverse>(s01, s23, LoadUFpDomain(u), LoadUFpDomain(u + h), LoadUFpDomain(u + r),
                                LoadUFpDomain(u + h + r), out);
}

// The radix-4 butterfly on the pairs at in, in + s, in + 2s, in + 3s (s
// doubles apart) with the stage record `record`: factor 1 on the third
// quarter, 2 on the second, 3 on the fourth (the quarters hold the inputs
// = 0, 2, 1, 3 mod 4). Reads pair-split, writes to out at the same offsets,
// pair-split or interleaved; with kScaled each result times `scale` as it
// is stored (the products a separate scaling pass would make); with
// kHalves the second and fourth interleaved results go out as 8-byte
// halves.
template <bool kInverse, bool kSplitOut, bool kScaled = false, bool kHalves = false>
[[gnu::always_inline]] inline void Butterfly4Pairs(const double* in, double* out, int64_t s, const double* record,
                                                   simd::f64x2 scale = simd::f64x2{}) {
  using namespace simd;
  const SplitCx<double> x0 = LoadSplit(in, 0);
  const SplitCx<double> a1 = pair::Twiddle<kInverse>(LoadSplit(in + s, 0), Load(record + 4), Load(record + 6));
  const SplitCx<double> a2 = pair::Twiddle<kInverse>(LoadSplit(in + 2 * s, 0), Load(record + 0), Load(record + 2));
  const SplitCx<double> a3 = pair::Twiddle<kInverse>(LoadSplit(in + 3 * s, 0), Load(record + 8), Load(record + 10));
  const SplitCx<double> sum01 = x0 + a1, diff01 = x0 - a1, sum23 = a2 + a3, diff23 = a2 - a3;
  // diff01 -+ J diff23 with J's sign folded into the sums: adding a
  // negated value and subtracting it are the same operation.
  const SplitCx<double> plusJ = pair::PlusTimesJ<kInverse>(diff01, diff23);
  const SplitCx<double> minusJ = pair::PlusTimesJ<!kInverse>(diff01, diff23);
  if constexpr (kSplitOut) {
    StoreSplit(out, 0, sum01 + sum23);
    StoreSplit(out + s, 0, plusJ);
    StoreSplit(out + 2 * s, 0, sum01 - sum23);
    StoreSplit(out + 3 * s, 0, minusJ);
  } else {
    const auto scaled = [scale](SplitCx<double> v) {
      if constexpr (kScaled) return SplitCx<double>{simd::Mul(v.re, scale), simd::Mul(v.im, scale)};
      return v;
    };
    const auto storeOdd = [](double* at, SplitCx<double> v) {
      if constexpr (kHalves)
        pair::StoreInterleavedByHalves(at, 0, v);
      else
        pair::StoreInterleaved(at, 0, v);
    };
    pair::StoreInterleaved(out, 0, scaled(sum01 + sum23));
    storeOdd(out + s, scaled(plusJ));
    pair::StoreInterleaved(out + 2 * s, 0, scaled(sum01 - sum23));
    storeOdd(out + 3 * s, scaled(minusJ));
  }
}

// One radix-4 stage of quarter q over every group of 4q values of buf,
// pair-split in and out, in place; records of 12 doubles per pair.
template <bool kInverse>
void StagePairs(double* buf, int64_t n, int64_t q, const double* table) {
  const int64_t s = 2 * q;
  if (q == 4) {
    // Groups of 16 values, two records: no inner loop.
    for (double* x = buf; x < buf + 2 * n; x += 4 * s) {
      Butterfly4Pairs<kInverse, true>(x, x, s, table);
      Butterfly4Pairs<kInverse, true>(x + 4, x + 4, s, table + 12);
    }
    return;
  }
  const double* const tableEnd = table + 3 * s;
  for (double* group = buf; group < buf + 2 * n; group += 4 * s) {
    double* x = group;
    for (const double* record = table; record < tableEnd; record += 12, x += 4)
      Butterfly4Pairs<kInverse, true>(x, x, s, record);
  }
}

// The last stage's loop (see LastStagePairs); kHalves stores two of every
// four results as 8-byte halves.
template <bool kInverse, bool kScaled, bool kHalves>
void LastStageLoop(const double* buf, double* dst, int64_t s, const double* table, simd::f64x2 factor) {
  const double* const tableEnd = table + 3 * s;
  for (const double* record = table; record < tableEnd; record += 12, buf += 4, dst += 4)
    Butterfly4Pairs<kInverse, false, kScaled, kHalves>(buf, dst, s, record, factor);
}

// The last stage, q = n/4: pair-split buf to interleaved dst (dst may be
// buf: each pair keeps its 32 bytes), each value times *scale when scale
// is given.
template <bool kInverse>
void LastStagePairs(const double* buf, double* dst, int64_t n, const double* table, const double* scale = nullptr) {
  const int64_t s = n / 2;
  // The interleaving shuffles share ports with the sums; 8-byte stores do
  // not, but cost more than the shuffles once dst is not in L1 already.
  const bool halves = buf == dst || n <= 1024;
  if (scale != nullptr) {
    const simd::f64x2 factor = simd::Splat(*scale);
    if (halves)
      LastStageLoop<kInverse, true, true>(buf, dst, s, table, factor);
    else
      LastStageLoop<kInverse, true, false>(buf, dst, s, table, factor);
  } else if (halves) {
    LastStageLoop<kInverse, false, true>(buf, dst, s, table, simd::f64x2{});
  } else {
    LastStageLoop<kInverse, false, false>(buf, dst, s, table, simd::f64x2{});
  }
}

// The fused kernel after its first stage (radix 4: q = 4, radix 8: q = 8)
// in buf: the middle stages in place, the last into dst, scaled when
// scale is given.
template <bool kInverse>
[[gnu::always_inline]] inline void StagesAfterFirst(double* buf, double* dst, int64_t n, int64_t q, const double* table,
                                                    const double* scale) {
  const double* stage = table;
  for (; 4 * q < n; q *= 4) {
    StagePairs<kInverse>(buf, n, q, stage);
    stage += 6 * q;
  }
  LastStagePairs<kInverse>(buf, dst, n, stage, scale);
}

// With `scale`, every result times *scale, as a scaling pass after it
// would give.
template <bool kInverse>
void FusedKernel(const double* src, double* dst, int64_t n, const double* table, const int32_t* index, double* work,
                     const double* scale = nullptr) {
  using pair::f64x2;
  if (n == 8) {
    Butterfly8One<kInverse, false>(LoadOne(src, 0), LoadOne(src, 4), LoadOne(src, 2), LoadOne(src, 6), LoadOne(src, 1),
                                   LoadOne(src, 5), LoadOne(src, 3), LoadOne(src, 7), dst);
    if (scale != nullptr) {
      const f64x2 factor = simd::Splat(*scale);
      for (int64_t i = 0; i < 16; i += 2) simd::StoreU(dst + i, simd::Mul(simd::LoadU(dst + i), factor));
    }
    return;
  }
  double* const buf = (src != dst && simd::Aligned16(dst)) ? dst : work;
  const int64_t half = n / 2, quarter = n / 4;
  int64_t q;
  // First stage. Positions 4j .. 4j+3 of the bit-reversed order hold the
  // elements rev(4j) + 0, n/2, n/4, 3n/4, and rev(4j) is index slot j / 2.
  // For j < n/16, rev(4j) = t is a multiple of 4, and t + c (c = 1, 2, 3)
  // serves positions 4j + rev(c) (n/2, n/4, 3n/4): one slot reads four
  // whole runs of four elements.
  const int64_t spread[4] = {0, half, quarter, half + quarter};
  if (std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0) {
    for (int64_t j = 0; j < n / 16; ++j) {
      const int64_t t = index[j] / 2;
#pragma GCC unroll 4
      for (int64_t c = 0; c < 4; ++c) {
        const double* const from = src + 2 * (t + c);
        SplitCx<double> y01, y23;
        Butterfly4OneSplit<kInverse>(from, from + 2 * half, from + 2 * quarter, from + 2 * (half + quarter), y01, y23);
        StoreSplit(buf, 4 * j + spread[c], y01);
        StoreSplit(buf, 4 * j + spread[c] + 2, y23);
      }
    }
    q = 4;
  } else {
    // Radix 8: slots j and j + 1 (j even) give positions 4j .. 4j+7, the
    // second slot being the first plus n/8.
    for (int64_t j = 0; j < n / 16; j += 2) {
      const int64_t t0 = index[j] / 2, t1 = index[j + 1] / 2;
#pragma GCC unroll 4
      for (int64_t c = 0; c < 4; ++c) {
        Butterfly8OneToSplit<kInverse>(src + 2 * (t0 + c), src + 2 * (t1 + c), half, quarter,
                                       buf + 2 * (4 * j + spread[c]));
      }
    }
    q = 8;
  }
  StagesAfterFirst<kInverse>(buf, dst, n, q, table, scale);
}

}  // namespace SP_SET_NS::fftk

#endif
