// The SSE2, SSE3 and SSSE3 sets' double kernels, one source for the three:
// the fused complex FFT (bit reversal folded into the first butterfly
// stage, middle stages on pair-split data, the last stage back to
// interleaved), and the real split and merge steps two positions at a time.
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

#include "primitives/fft/fft_f64_simd.h"
#include "primitives/fft/fft_tables.h"

#if SP_SET_INDEX >= SP_SET_SSE2

namespace SP_SET_NS::fftk {

// Single complex values, one per register, at any 8-byte alignment.
inline pair::f64x2 LoadOne(const double* d, int64_t p) { return simd::LoadU(d + 2 * p); }

// The 4-point butterfly on single values a (position 0) .. d (position 3)
// of bit-reversed data, all factors 1.
template <bool kInverse>
inline void Butterfly4One(pair::f64x2 a, pair::f64x2 b, pair::f64x2 c, pair::f64x2 d, pair::f64x2 y[4]) {
  using namespace simd;
  const pair::f64x2 sumAB = Add(a, b), diffAB = Sub(a, b), sumCD = Add(c, d);
  const pair::f64x2 jDiffCD = pair::TimesJ<kInverse>(Sub(c, d));
  y[0] = Add(sumAB, sumCD);
  y[1] = Add(diffAB, jDiffCD);
  y[2] = Sub(sumAB, sumCD);
  y[3] = Sub(diffAB, jDiffCD);
}

// The radix-8 butterfly on eight single values of bit-reversed data:
// two 4-point butterflies joined with the factors of e^(-+2 pi j k / 8).
template <bool kInverse>
inline void Butterfly8One(const pair::f64x2 x[8], pair::f64x2 y[8]) {
  using namespace simd;
  // cos(pi/4) one unit in the last place low, as the set's kernels have it.
  const pair::f64x2 c = SplatBits(uint64_t{0x3FE6A09E667F3BCC}),
                    minusC = SplatBits(uint64_t{0xBFE6A09E667F3BCC});
  pair::f64x2 s[4], t[4];
  Butterfly4One<kInverse>(x[0], x[1], x[2], x[3], s);
  Butterfly4One<kInverse>(x[4], x[5], x[6], x[7], t);
  const pair::f64x2 v[4] = {t[0], Mul(c, Add(t[1], pair::TimesJ<kInverse>(t[1]))), pair::TimesJ<kInverse>(t[2]),
                            Mul(minusC, Sub(t[3], pair::TimesJ<kInverse>(t[3])))};
  for (int k = 0; k < 4; ++k) {
    y[k] = Add(s[k], v[k]);
    y[k + 4] = Sub(s[k], v[k]);
  }
}

// The radix-4 butterfly on the pairs at p, p + q, p + 2q, p + 3q of a group
// with the stage record of p: factor 1 on the third quarter, 2 on the
// second, 3 on the fourth (the quarters hold the inputs = 0, 2, 1, 3 mod 4).
template <bool kInverse>
inline void Butterfly4Pairs(pair::Pair x0, pair::Pair x1, pair::Pair x2, pair::Pair x3, const double* record,
                            pair::Pair y[4]) {
  using namespace simd;
  const pair::Pair a1 = pair::Twiddle<kInverse>(x1, Load(record + 4), Load(record + 6));
  const pair::Pair a2 = pair::Twiddle<kInverse>(x2, Load(record + 0), Load(record + 2));
  const pair::Pair a3 = pair::Twiddle<kInverse>(x3, Load(record + 8), Load(record + 10));
  const pair::Pair sum01 = x0 + a1, diff01 = x0 - a1, sum23 = a2 + a3;
  const pair::Pair jDiff23 = pair::TimesJ<kInverse>(a2 - a3);
  y[0] = sum01 + sum23;
  y[1] = diff01 + jDiff23;
  y[2] = sum01 - sum23;
  y[3] = diff01 - jDiff23;
}

// One radix-4 stage of quarter q over every group of 4q values of buf,
// pair-split in and out, in place; records of 12 doubles per pair.
template <bool kInverse>
void StagePairs(double* buf, int64_t n, int64_t q, const double* table) {
  for (int64_t g = 0; g < n; g += 4 * q) {
    double* x = buf + 2 * g;
    const double* record = table;
    for (int64_t p = 0; p < q; p += 2, record += 12) {
      pair::Pair y[4];
      Butterfly4Pairs<kInverse>(pair::LoadSplit(x, p), pair::LoadSplit(x, p + q), pair::LoadSplit(x, p + 2 * q),
                                pair::LoadSplit(x, p + 3 * q), record, y);
      for (int64_t i = 0; i < 4; ++i) pair::StoreSplit(x, p + i * q, y[i]);
    }
  }
}

// The last stage, q = n/4: pair-split buf to interleaved dst (dst may be
// buf: each pair keeps its 32 bytes).
template <bool kInverse>
void LastStagePairs(const double* buf, double* dst, int64_t n, const double* table) {
  const int64_t q = n / 4;
  const double* record = table;
  for (int64_t p = 0; p < q; p += 2, record += 12) {
    pair::Pair y[4];
    Butterfly4Pairs<kInverse>(pair::LoadSplit(buf, p), pair::LoadSplit(buf, p + q), pair::LoadSplit(buf, p + 2 * q),
                              pair::LoadSplit(buf, p + 3 * q), record, y);
    for (int64_t i = 0; i < 4; ++i) pair::StoreInterleaved(dst, p + i * q, y[i]);
  }
}

template <bool kInverse>
void FusedComplexFft(const double* src, double* dst, int64_t n, const double* table, const int32_t* index,
                     double* work) {
  using pair::f64x2;
  if (n == 8) {
    static constexpr int64_t kFrom[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    f64x2 x[8], y[8];
    for (int k = 0; k < 8; ++k) x[k] = LoadOne(src, kFrom[k]);
    Butterfly8One<kInverse>(x, y);
    for (int k = 0; k < 8; ++k) simd::StoreU(dst + 2 * k, y[k]);
    return;
  }
  double* const buf = (src != dst && simd::Aligned16(dst)) ? dst : work;
  const int64_t half = n / 2, quarter = n / 4;
  int64_t q;
  // First stage: positions 4j .. 4j+3 of the bit-reversed order hold the
  // elements rev(4j) + 0, n/2, n/4, 3n/4; rev(4j) is index slot j / 2.
  if (std::countr_zero(static_cast<uint64_t>(n)) % 2 == 0) {
    for (int64_t j = 0; j < quarter; ++j) {
      const int64_t t = index[j] / 2;
      f64x2 y[4];
      Butterfly4One<kInverse>(LoadOne(src, t), LoadOne(src, t + half), LoadOne(src, t + quarter),
                              LoadOne(src, t + half + quarter), y);
      pair::StoreSplit(buf, 4 * j, pair::Join(y[0], y[1]));
      pair::StoreSplit(buf, 4 * j + 2, pair::Join(y[2], y[3]));
    }
    q = 4;
  } else {
    for (int64_t j = 0; j < quarter; j += 2) {
      const int64_t t0 = index[j] / 2, t1 = index[j + 1] / 2;
      const f64x2 x[8] = {LoadOne(src, t0),           LoadOne(src, t0 + half),
                          LoadOne(src, t0 + quarter), LoadOne(src, t0 + half + quarter),
                          LoadOne(src, t1),           LoadOne(src, t1 + half),
                          LoadOne(src, t1 + quarter), LoadOne(src, t1 + half + quarter)};
      f64x2 y[8];
      Butterfly8One<kInverse>(x, y);
      for (int k = 0; k < 8; k += 2) pair::StoreSplit(buf, 4 * j + k, pair::Join(y[k], y[k + 1]));
    }
    q = 8;
  }
  const double* stage = table;
  for (; 4 * q < n; q *= 4) {
    StagePairs<kInverse>(buf, n, q, stage);
    stage += 6 * q;
  }
  LastStagePairs<kInverse>(buf, dst, n, stage);
}

// Real split, forward: as RealSplitGeneric (the same operations in the same
// order per position) for k and k + 1 at once, k = 1, 3, .., points/2 - 1,
// with the pair-split forward split table; the lane that reaches the middle
// position is not stored. points >= 4.
inline void RealSplitPairs(double* d, int64_t points, const double* table) {
  using namespace simd;
  const int64_t middle = points / 2;
  for (int64_t k = 1; k < middle; k += 2, table += 4) {
    const f64x2 wr = Load(table), wi = Load(table + 2);
    const pair::Pair a = pair::Join(LoadOne(d, k), LoadOne(d, k + 1));
    const pair::Pair b = pair::Join(LoadOne(d, points - k), LoadOne(d, points - k - 1));
    const f64x2 dr = Sub(a.re, b.re), si = Add(a.im, b.im);
    const f64x2 e = Add(Mul(wi, dr), Mul(wr, si)), f = Sub(Mul(wi, si), Mul(wr, dr));
    const pair::Pair lo{Add(b.re, e), Sub(f, b.im)}, hi{Sub(a.re, e), Sub(f, a.im)};
    StoreU(d + 2 * k, pair::First(lo));
    StoreU(d + 2 * (points - k), pair::First(hi));
    if (k + 1 < middle) {
      StoreU(d + 2 * (k + 1), pair::Second(lo));
      StoreU(d + 2 * (points - k - 1), pair::Second(hi));
    }
  }
  d[points + 1] = -d[points + 1];  // X[N/4] = conj Z[M/2]
}

// Real merge: as RealMergeGeneric, two positions at a time, the middle
// position written first (src may be dst: the lane that reads it again is
// not stored).
inline void RealMergePairs(const double* src, double* dst, int64_t points, const double* table) {
  using namespace simd;
  const int64_t middle = points / 2;
  const double re = src[points], im = src[points + 1];
  dst[points] = 2.0 * re;
  dst[points + 1] = -2.0 * im;
  for (int64_t k = 1; k < middle; k += 2, table += 4) {
    const f64x2 wr = Load(table), wi = Load(table + 2);
    const pair::Pair a = pair::Join(LoadOne(src, k), LoadOne(src, k + 1));
    const pair::Pair b = pair::Join(LoadOne(src, points - k), LoadOne(src, points - k - 1));
    const f64x2 sr = Add(a.re, b.re), dr = Sub(a.re, b.re), si = Add(a.im, b.im), di = Sub(a.im, b.im);
    const f64x2 u = Sub(Mul(wi, dr), Mul(wr, si)), h = Add(Mul(wr, dr), Mul(wi, si));
    const pair::Pair lo{Add(sr, u), Add(di, h)}, hi{Sub(sr, u), Sub(h, di)};
    StoreU(dst + 2 * k, pair::First(lo));
    StoreU(dst + 2 * (points - k), pair::First(hi));
    if (k + 1 < middle) {
      StoreU(dst + 2 * (k + 1), pair::Second(lo));
      StoreU(dst + 2 * (points - k - 1), pair::Second(hi));
    }
  }
}

// data[i] *= scale, two at a time; the same products as one at a time.
inline void ScalePairs(double scale, double* d, int64_t count) {
  const simd::f64x2 s = simd::Splat(scale);
  int64_t i = 0;
  for (; i + 2 <= count; i += 2) simd::StoreU(d + i, simd::Mul(simd::LoadU(d + i), s));
  for (; i < count; ++i) d[i] = d[i] * scale;
}

}  // namespace SP_SET_NS::fftk

#endif
