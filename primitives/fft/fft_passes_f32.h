// Complex FFT passes of the SIMD sets in single precision: M = 2^m points
// become their unnormalised DFT in natural order (forward kernel
// e^(-2 pi j / M), inverse e^(+2 pi j / M)). Between the first pass and the
// last stage the data sit in the quad-split layout (each 32-byte group:
// four real parts, then the four imaginary parts of four adjacent points),
// so every butterfly step is four-wide without shuffles; the twiddle rows
// of fft_tables_f32.h share that layout.
//
// The first pass reads interleaved pairs - bit-reversed input for the radix
// kernels, or natural input gathered through the index table for the fused
// kernels, which so need no separate permutation - and does the first
// radix-4 level of every 4-point quad, then either a radix-4 stage on
// 16-point blocks with the n = 16 twiddles, or (SSE and SSE2 sets, odd m) a
// radix-2 join into 8-point blocks with the constant eighth-circle rows.
// Radix-4 stages follow; the last stage (SSE3 and SSSE3, odd m: a radix-2
// stage over the two halves) writes the destination, as interleaved pairs
// or quad-split. The stages run in a 16-byte-aligned target: the
// data itself when it allows, else the caller's work buffer of 8M bytes.
//
// Every intermediate result is one single-precision operation, so the
// order in which independent butterflies run - chunk by chunk or stage by
// stage - never changes a bit of the result. Include only from
// *_variant.cpp; SSE sets and later.
#pragma once
#include <bit>
#include <cstdint>
#include <type_traits>

#include "primitives/fft/fft_split_complex.h"
#include "primitives/fft/fft_split_merge_f32.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/frame/simd.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::fftk {

// x times the direction's twiddle: w as stored forward, conjugated inverse.
template <bool kInv>
inline SplitCx<float> Twiddled(SplitCx<float> x, simd::f32x4 wRe, simd::f32x4 wIm) {
  SplitCx<float> r;
  if constexpr (kInv)
    simd::MulConjComplexSplit(x.re, x.im, wRe, wIm, r.re, r.im);
  else
    simd::MulComplexSplit(x.re, x.im, wRe, wIm, r.re, r.im);
  return r;
}
// Twiddle row pair at w: the four real parts, then the four imaginary parts.
template <bool kInv>
inline SplitCx<float> Twiddled(SplitCx<float> x, const float* w) {
  return Twiddled<kInv>(x, simd::Load(w), simd::Load(w + 4));
}

// Radix-4 butterfly on already twiddled quarters a, b, c, d:
// (a + b) + (c + d), (a - b) + J (c - d), (a + b) - (c + d), (a - b) - J (c - d)
// with J = -j forward and +j inverse; J is a swap of rows and a sign.
template <bool kInv>
inline void Butterfly4(SplitCx<float>& a, SplitCx<float>& b, SplitCx<float>& c, SplitCx<float>& d) {
  using simd::Add, simd::Sub;
  const SplitCx<float> s0 = a + b, d0 = a - b, s1 = c + d, d1 = c - d;
  a = s0 + s1;
  c = s0 - s1;
  const SplitCx<float> plusJ{Sub(d0.re, d1.im), Add(d0.im, d1.re)}, minusJ{Add(d0.re, d1.im), Sub(d0.im, d1.re)};
  b = kInv ? plusJ : minusJ;
  d = kInv ? minusJ : plusJ;
}

// Where a stage's results go: quad-split runs or interleaved pairs, to a
// 16-byte-aligned address or to any float boundary.
enum OutMode : int { kSplitAligned, kSplitUnaligned, kPairsAligned, kPairsUnaligned };

template <int kOut>
inline void PutQuad(float* p, SplitCx<float> v) {
  using namespace simd;
  if constexpr (kOut == kSplitAligned) {
    Store(p, v.re);
    Store(p + 4, v.im);
  } else if constexpr (kOut == kSplitUnaligned) {
    StoreU(p, v.re);
    StoreU(p + 4, v.im);
  } else if constexpr (kOut == kPairsAligned) {
    Store(p, InterleaveLow(v.re, v.im));
    Store(p + 4, InterleaveHigh(v.re, v.im));
  } else {
    StoreU(p, InterleaveLow(v.re, v.im));
    StoreU(p + 4, InterleaveHigh(v.re, v.im));
  }
}

// v times the scale, as a scaling pass after the transform would give.
inline SplitCx<float> Scaled(SplitCx<float> v, simd::f32x4 scale) {
  return {simd::Mul(v.re, scale), simd::Mul(v.im, scale)};
}

// Runs f with the out mode as a compile-time constant.
template <class F>
inline void WithOutMode(int mode, F f) {
  switch (mode) {
    case kSplitAligned: f(std::integral_constant<int, kSplitAligned>{}); break;
    case kSplitUnaligned: f(std::integral_constant<int, kSplitUnaligned>{}); break;
    case kPairsAligned: f(std::integral_constant<int, kPairsAligned>{}); break;
    default: f(std::integral_constant<int, kPairsUnaligned>{}); break;
  }
}
inline int OutModeFor(const float* dst, bool pairs) {
  return (pairs ? kPairsAligned : kSplitAligned) + !simd::Aligned16(dst);
}

// One radix-4 butterfly step on the four points k, k + span, k + 2 span,
// k + 3 span (four positions each) with the 96-byte twiddle block w. The
// second quarter holds the inputs = 2 mod 4 (row r = 2), the third those
// = 1 (row 1).
template <bool kInv, int kOut, bool kScaled = false>
[[gnu::always_inline]] inline void Radix4Step(const float* in, float* out, int64_t k, int64_t span, const float* w,
                                              simd::f32x4 scale = simd::f32x4{}) {
  SplitCx<float> q0 = LoadSplit(in, k);
  SplitCx<float> q1 = Twiddled<kInv>(LoadSplit(in, k + span), w + 8);
  SplitCx<float> q2 = Twiddled<kInv>(LoadSplit(in, k + 2 * span), w);
  SplitCx<float> q3 = Twiddled<kInv>(LoadSplit(in, k + 3 * span), w + 16);
  Butterfly4<kInv>(q0, q1, q2, q3);
  if constexpr (kScaled) {
    q0 = Scaled(q0, scale);
    q1 = Scaled(q1, scale);
    q2 = Scaled(q2, scale);
    q3 = Scaled(q3, scale);
  }
  PutQuad<kOut>(out + 2 * k, q0);
  PutQuad<kOut>(out + 2 * (k + span), q1);
  PutQuad<kOut>(out + 2 * (k + 2 * span), q2);
  PutQuad<kOut>(out + 2 * (k + 3 * span), q3);
}

// Points [begin, end) of `in` in blocks of 4 span (span a multiple of 8):
// one radix-4 stage, eight positions per step, the twiddle section read
// from its start for every block.
template <bool kInv, int kOut, bool kScaled = false>
void Radix4Stage(const float* in, float* out, int64_t begin, int64_t end, int64_t span, const float* section,
                 simd::f32x4 scale = simd::f32x4{}) {
  for (int64_t b = begin; b < end; b += 4 * span) {
    const float* w = section;
    for (int64_t k = b; k < b + span; k += 8, w += 48) {
      Radix4Step<kInv, kOut, kScaled>(in, out, k, span, w, scale);
      Radix4Step<kInv, kOut, kScaled>(in, out, k + 4, span, w + 24, scale);
    }
  }
}

// The radix-2 join of the two halves, twiddles 2 pi k / M from `level`.
template <bool kInv, int kOut, bool kScaled = false>
void Radix2Stage(const float* in, float* out, int64_t points, const float* level, simd::f32x4 scale = simd::f32x4{}) {
  const int64_t half = points / 2;
  for (int64_t k = 0; k < half; k += 4) {
    const SplitCx<float> a = LoadSplit(in, k), b = Twiddled<kInv>(LoadSplit(in, k + half), level + 2 * k);
    if constexpr (kScaled) {
      PutQuad<kOut>(out + 2 * k, Scaled(a + b, scale));
      PutQuad<kOut>(out + 2 * (k + half), Scaled(a - b, scale));
    } else {
      PutQuad<kOut>(out + 2 * k, a + b);
      PutQuad<kOut>(out + 2 * (k + half), a - b);
    }
  }
}

// ---- First pass: 16 points at a time, as p[j] = point j of each of the
// block's four quads (lane = quad) ----

// Bit-reversed input, read in place.
template <bool kAligned>
struct BitReversedInput {
  const float* x;
  [[gnu::always_inline]] void operator()(int64_t block, SplitCx<float> (&p)[4]) const {
    using namespace simd;
    f32x4 re[4], im[4];
#pragma GCC unroll 4
    for (int g = 0; g < 4; ++g) {
      const float* at = x + 32 * block + 8 * g;
      const f32x4 v0 = LoadAs<kAligned>(at), v1 = LoadAs<kAligned>(at + 4);
      re[g] = EvenLanes(v0, v1);
      im[g] = OddLanes(v0, v1);
    }
    Transpose4x4(re[0], re[1], re[2], re[3]);
    Transpose4x4(im[0], im[1], im[2], im[3]);
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) p[j] = {re[j], im[j]};
  }
};

// Natural-order input gathered through the index table: quad i holds the
// points r, r + M/2, r + M/4, r + 3M/4 with 2r = slot i, so the bit
// reversal costs no pass of its own. Quad i + M/8 holds the points r + 1,
// ..., so one 16-byte load of each point pair fills block t and block
// t + M/32 at once (M >= 32).
struct GatheredInput {
  const float* x;
  int64_t points;
  const int32_t* index;
  [[gnu::always_inline]] void operator()(int64_t block, SplitCx<float> (&p)[4]) const {
    const int64_t offset[4] = {0, points, points / 2, 3 * points / 2};  // floats
    const float* base[4];
#pragma GCC unroll 4
    for (int g = 0; g < 4; ++g) base[g] = x + index[4 * block + g];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
      const simd::f32x4 lo = simd::LoadPairs(base[0] + offset[j], base[1] + offset[j]);
      const simd::f32x4 hi = simd::LoadPairs(base[2] + offset[j], base[3] + offset[j]);
      p[j] = {simd::EvenLanes(lo, hi), simd::OddLanes(lo, hi)};
    }
  }
  // Blocks t and t + M/32 at once, their quads already through the 4-point
  // transform, p[g] = q[g] = quad g: each 16-byte load holds the points r
  // and r + 1 of one quarter, so the quads run on interleaved pairs and one
  // transpose per quad pair puts them into runs.
  template <bool kInv>
  [[gnu::always_inline]] void Pair(int64_t block, SplitCx<float> (&p)[4], SplitCx<float> (&q)[4]) const {
    using namespace simd;
    const int64_t quarter = points / 2, half = points;  // floats
    const f32x4 jSign = kInv ? RealSignMaskF32() : ImagSignMaskF32();
#pragma GCC unroll 4
    for (int g = 0; g < 4; ++g) {
      const float* at = x + index[4 * block + g];
      const f32x4 a = LoadU(at), b = LoadU(at + half), c = LoadU(at + quarter), d = LoadU(at + half + quarter);
      const f32x4 s0 = Add(a, b), d0 = Sub(a, b), s1 = Add(c, d), d1 = Sub(c, d);
      const f32x4 jd1 = Xor(SwapPairs(d1), jSign);  // J (c - d), pair by pair
      f32x4 y0 = Add(s0, s1), y1 = Add(d0, jd1), y2 = Sub(s0, s1), y3 = Sub(d0, jd1);
      Transpose4x4(y0, y1, y2, y3);
      p[g] = {y0, y1};
      q[g] = {y2, y3};
    }
  }
};

// cos and -sin of 2 pi k / 8, k = 0..3, with the SIMD passes' own
// eighth-circle constant: the float one unit above the nearest to sqrt(1/2).
inline constexpr uint32_t kRadix8Const = 0x3F3504F4u;

enum class FirstJoin { Radix16, Radix8 };

// One block of 16 points after its 4-point quads, p[g] = quad g: the
// 16-point radix-4 stage (twiddles: `level4`) or the 8-point joins.
template <bool kInv, FirstJoin kJoin, int kOut>
[[gnu::always_inline]] inline void JoinQuads(SplitCx<float> (&p)[4], float* out, const float* level4) {
  using namespace simd;
  if constexpr (kJoin == FirstJoin::Radix16) {
    p[1] = Twiddled<kInv>(p[1], level4 + 8);
    p[2] = Twiddled<kInv>(p[2], level4);
    p[3] = Twiddled<kInv>(p[3], level4 + 16);
    Butterfly4<kInv>(p[0], p[1], p[2], p[3]);
  } else {
    const float c = FloatFromBits(kRadix8Const);
    const f32x4 eighthRe = Lanes(1.0f, c, 0.0f, -c), eighthIm = Lanes(0.0f, -c, -1.0f, -c);
#pragma GCC unroll 4
    for (int g = 0; g < 4; g += 2) {
      const SplitCx<float> t = Twiddled<kInv>(p[g + 1], eighthRe, eighthIm);
      p[g + 1] = p[g] - t;
      p[g] = p[g] + t;
    }
  }
#pragma GCC unroll 4
  for (int g = 0; g < 4; ++g) PutQuad<kOut>(out + 8 * g, p[g]);
}

// One block of 16 points, p[j] = point j of each quad: the 4-point quads
// with the quads in the lanes, then the joins.
template <bool kInv, FirstJoin kJoin, int kOut>
[[gnu::always_inline]] inline void FirstPassBlock(SplitCx<float> (&p)[4], float* out, const float* level4) {
  using namespace simd;
  Butterfly4<kInv>(p[0], p[1], p[2], p[3]);
  Transpose4x4(p[0].re, p[1].re, p[2].re, p[3].re);  // now p[g] = quad g
  Transpose4x4(p[0].im, p[1].im, p[2].im, p[3].im);
  JoinQuads<kInv, kJoin, kOut>(p, out, level4);
}

// Blocks [firstBlock, endBlock) of bit-reversed input. Gathered input
// runs every block, t and t + M/32 together: block t reads the points
// rev(t) + k M/16 (and the points after them), so taking t in the order
// that makes rev(t) = u ascend reads the source in 16 sequential streams;
// rev(t) is slot u / 8 of the index table for u < M/16.
template <bool kInv, FirstJoin kJoin, int kOut, class Input>
void FirstPass(const Input& input, float* out, int64_t firstBlock, int64_t endBlock, const float* level4) {
  if constexpr (std::is_same_v<Input, GatheredInput>) {
    if (input.points >= 32) {
      const int64_t half = input.points / 32;
      for (int64_t u = 0; u < 2 * half; u += 2) {
        const int64_t block = input.index[u] / 8;
        SplitCx<float> p[4], q[4];
        input.template Pair<kInv>(block, p, q);
        JoinQuads<kInv, kJoin, kOut>(p, out + 32 * block, level4);
        JoinQuads<kInv, kJoin, kOut>(q, out + 32 * (block + half), level4);
      }
      return;
    }
  }
  for (int64_t block = firstBlock; block < endBlock; ++block) {
    SplitCx<float> p[4];
    input(block, p);
    FirstPassBlock<kInv, kJoin, kOut>(p, out + 32 * block, level4);
  }
}

// The 8-point transform of natural-order input, all reads before the first
// write (so src may be dst): two 4-point transforms of the even and the odd
// points joined with the eighth-circle constant.
template <bool kInv>
void Direct8(const float* src, float* dst) {
  using simd::Ld, simd::St;
  float re[8], im[8];
  for (int p = 0; p < 8; ++p) {
    re[p] = Ld(src + 2 * p);
    im[p] = Ld(src + 2 * p + 1);
  }
  const float c = simd::FloatFromBits(kRadix8Const);
  const float wRe[4] = {1.0f, c, 0.0f, -c}, wIm[4] = {0.0f, -c, -1.0f, -c};
  float eRe[2][4], eIm[2][4];  // the even and the odd points' transforms
  for (int h = 0; h < 2; ++h) {
    const float aRe = re[h] + re[h + 4], aIm = im[h] + im[h + 4], bRe = re[h] - re[h + 4], bIm = im[h] - im[h + 4];
    const float cRe = re[h + 2] + re[h + 6], cIm = im[h + 2] + im[h + 6];
    const float dRe = re[h + 2] - re[h + 6], dIm = im[h + 2] - im[h + 6];
    // J d: (d.im, -d.re) forward, (-d.im, d.re) inverse.
    const float jdRe = kInv ? -dIm : dIm, jdIm = kInv ? dRe : -dRe;
    eRe[h][0] = aRe + cRe, eIm[h][0] = aIm + cIm;
    eRe[h][1] = bRe + jdRe, eIm[h][1] = bIm + jdIm;
    eRe[h][2] = aRe - cRe, eIm[h][2] = aIm - cIm;
    eRe[h][3] = bRe - jdRe, eIm[h][3] = bIm - jdIm;
  }
  for (int k = 0; k < 4; ++k) {
    const float oRe = eRe[1][k], oIm = eIm[1][k];
    const float tRe = kInv ? oRe * wRe[k] + oIm * wIm[k] : oRe * wRe[k] - oIm * wIm[k];
    const float tIm = kInv ? oIm * wRe[k] - oRe * wIm[k] : oIm * wRe[k] + oRe * wIm[k];
    St(dst + 2 * k, eRe[0][k] + tRe);
    St(dst + 2 * k + 1, eIm[0][k] + tIm);
    St(dst + 2 * k + 8, eRe[0][k] - tRe);
    St(dst + 2 * k + 9, eIm[0][k] - tIm);
  }
}

// The stage plan of a set family.
struct PassFamily {
  // SSE and SSE2: stage-major table, odd m starting with the 8-point joins.
  // SSE3 and SSSE3: every m starts with 16-point blocks, odd m ends with the
  // radix-2 stage.
  bool stageMajor;
  // Points per cache chunk of the stages up to 1024-point blocks (0: none).
  int64_t chunk;
};

// In floats: the n = 16 section and the three sections after it.
inline constexpr int64_t kLevel4Floats = 24, kLevels4To10Floats = 24 + 96 + 384 + 1536;

// The whole transform of M >= 16 points from `input` (bit-reversed data or
// gathered natural-order points) through the target buffer into dst, as
// pairs or quad-split runs; with kScaled, every result times `scale` (in the
// last stage, or after the 16-point pass).
template <bool kInv, class Input, bool kScaled = false>
void RunPasses(const Input& input, float* dst, float* target, int64_t points, const float* table, bool pairs,
               PassFamily family, float scale = 1.0f) {
  const bool odd = std::countr_zero(static_cast<uint64_t>(points)) % 2 == 1;
  const bool radix8 = family.stageMajor && odd, radix2Last = !family.stageMajor && odd;
  const int outMode = OutModeFor(dst, pairs);
  const float* section = radix8 ? table : table + kLevel4Floats;
  int64_t span = radix8 ? 8 : 16;
  auto firstPass = [&](float* out, int64_t begin, int64_t end, auto mode) {
    if (radix8)
      FirstPass<kInv, FirstJoin::Radix8, decltype(mode)::value>(input, out, begin / 16, end / 16, table);
    else
      FirstPass<kInv, FirstJoin::Radix16, decltype(mode)::value>(input, out, begin / 16, end / 16, table);
  };
  if (points == 16) {
    WithOutMode(outMode, [&](auto mode) { firstPass(dst, 0, points, mode); });
    if constexpr (kScaled) ScaleQuads(scale, dst, 2 * points);
    return;
  }
  const std::integral_constant<int, kSplitAligned> inTarget;
  // Gathered input reads the whole source in its first pass, so the pass
  // runs whole before any chunk (it pairs blocks from both halves).
  constexpr bool kWholeFirstPass = std::is_same_v<Input, GatheredInput>;
  if (kWholeFirstPass) firstPass(target, 0, points, inTarget);
  if (family.chunk > 0 && points > family.chunk) {
    for (int64_t begin = 0; begin < points; begin += family.chunk) {
      const int64_t end = begin + family.chunk;
      if (!kWholeFirstPass) firstPass(target, begin, end, inTarget);
      const float* chunkSection = table + kLevel4Floats;
      for (int64_t s = 16; s <= 256; chunkSection += 6 * s, s *= 4)
        Radix4Stage<kInv, kSplitAligned>(target, target, begin, end, s, chunkSection);
    }
    span = 1024;
    section = table + kLevels4To10Floats;
  } else if (!kWholeFirstPass) {
    firstPass(target, 0, points, inTarget);
  }
  // Stages in the target while they leave at least two blocks; the last
  // one writes dst.
  for (; radix2Last ? 8 * span <= points : 4 * span < points; section += 6 * span, span *= 4)
    Radix4Stage<kInv, kSplitAligned>(target, target, 0, points, span, section);
  if constexpr (kScaled) {
    const simd::f32x4 factor = simd::Splat(scale);
    WithOutMode(outMode, [&](auto mode) {
      if (radix2Last)
        Radix2Stage<kInv, decltype(mode)::value, true>(target, dst, points, section, factor);
      else
        Radix4Stage<kInv, decltype(mode)::value, true>(target, dst, 0, points, span, section, factor);
    });
    return;
  }
  WithOutMode(outMode, [&](auto mode) {
    if (radix2Last)
      Radix2Stage<kInv, decltype(mode)::value>(target, dst, points, section);
    else
      Radix4Stage<kInv, decltype(mode)::value>(target, dst, 0, points, span, section);
  });
}

// The radix kernels: data (bit-reversed, interleaved, any float boundary)
// becomes the transform in natural order, as pairs (layout 1) or split
// groups. work (8M bytes, 16-byte aligned) is touched only when data is not
// on a 16-byte boundary. M >= 8.
template <bool kInv>
void RadixKernel(float* data, int64_t points, const float* table, float* work, int32_t layout, PassFamily family) {
  if (points == 8) {  // the 8-point transform of the points put back in natural order
    static constexpr int kReversed3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    float natural[16], out[16];
    for (int p = 0; p < 8; ++p) {
      natural[2 * p] = simd::Ld(data + 2 * kReversed3[p]);
      natural[2 * p + 1] = simd::Ld(data + 2 * kReversed3[p] + 1);
    }
    Direct8<kInv>(natural, out);
    for (int p = 0; p < 8; ++p) {
      const int64_t re = layout == 1 ? 2 * p : 8 * (p / 4) + p % 4, im = layout == 1 ? re + 1 : re + 4;
      simd::St(data + re, out[2 * p]);
      simd::St(data + im, out[2 * p + 1]);
    }
    return;
  }
  float* target = simd::Aligned16(data) ? data : work;
  auto run = [&](const auto& input) { RunPasses<kInv>(input, data, target, points, table, layout == 1, family); };
  if (simd::Aligned16(data))
    run(BitReversedInput<true>{data});
  else
    run(BitReversedInput<false>{data});
}

// The fused kernels: src (natural order) to dst, which may be src; the
// stages run in dst when it is a separate 16-byte-aligned array, else in
// work. M >= 8; the result is interleaved, times *scale when scale is
// given.
template <bool kInv>
void FusedKernel(const float* src, float* dst, int64_t points, const float* table, const int32_t* index, float* work,
                 PassFamily family, const float* scale = nullptr) {
  if (points == 8) {
    Direct8<kInv>(src, dst);
    if (scale != nullptr) ScaleQuads(*scale, dst, 2 * points);
    return;
  }
  float* target = (src != dst && simd::Aligned16(dst)) ? dst : work;
  if (scale != nullptr)
    RunPasses<kInv, GatheredInput, true>(GatheredInput{src, points, index}, dst, target, points, table, true, family,
                                         *scale);
  else
    RunPasses<kInv>(GatheredInput{src, points, index}, dst, target, points, table, true, family);
}

}  // namespace SP_SET_NS::fftk
#endif
