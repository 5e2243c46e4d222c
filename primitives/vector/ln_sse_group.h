// Natural logarithm of the SSE set. Floats: blocks of 256, the first 0..3
// elements of a block by the C library, the rest four at a time with a
// reciprocal estimate refined by one Newton step. Doubles (the set has no
// double vectors): one pass in double precision with s = (f - 1) / (f + 1)
// and a degree-7 series.
#pragma once
#include "primitives/vector/ln_rules.h"

#if SP_SET_INDEX == SP_SET_SSE
namespace SP_SET_NS::vln {
namespace {

// Reduction of a positive normal float's bits: f and k (without branches:
// the halves of the fraction range come in random order).
inline void ReduceF32(uint32_t b, int32_t kOffset, float& f, float& k) {
  const uint32_t fraction = b & 0x007FFFFFu;
  const uint32_t upper = fraction >= kHalfFractionBound ? 1u : 0u;
  f = FloatFromBits(fraction | (0x3F800000u - (upper << 23)));
  k = static_cast<float>(static_cast<int32_t>(b >> 23) - 127 + static_cast<int32_t>(upper) + kOffset);
}

// ---- floats ----
constexpr int64_t kSseBlock = 256;

// Four elements: specials by their bits, the rest by the series with
// s = (f - 1) r, r the reciprocal estimate of f + 1 refined once.
// f and k are passed in registers: a vector load of four scalars just
// stored would stall on store forwarding.
inline f32x4 SeriesWithReciprocal(const float* f, const float* k) {
  const f32x4 fv = Lanes(f[0], f[1], f[2], f[3]);
  const f32x4 kv = Lanes(k[0], k[1], k[2], k[3]);
  const f32x4 fp1 = Add(fv, Splat(1.0f));
  f32x4 r = RcpEstimate(fp1);
  r = Mul(r, Sub(Splat(2.0f), Mul(fp1, r)));
  return SeriesF32(kv, Mul(Sub(fv, Splat(1.0f)), r));
}

void LnGroupSse(const float* src, float* dst, FirstWarning& w) {
  float f[4], k[4];
  alignas(16) float out[4];
  bool allNormal = true;
  for (int i = 0; i < 4; ++i) allNormal &= Bits(Ld(src + i)) - 0x00800000u < 0x7F000000u;  // positive, normal, finite
  if (allNormal) {
    for (int i = 0; i < 4; ++i) ReduceF32(Bits(Ld(src + i)), 0, f[i], k[i]);
    simd::Store(out, SeriesWithReciprocal(f, k));
    for (int i = 0; i < 4; ++i) St(dst + i, out[i]);
    return;
  }
  bool special[4];
  for (int i = 0; i < 4; ++i) {
    const float x = Ld(src + i);
    special[i] = SpecialLn(x, out[i], w);
    if (special[i]) {
      f[i] = 1.0f;
      k[i] = 0.0f;
    } else if ((Bits(x) >> 23) == 0) {
      ReduceF32(Bits(x * kTwoPow24), -24, f[i], k[i]);  // subnormal: normalise
    } else {
      ReduceF32(Bits(x), 0, f[i], k[i]);
    }
  }
  alignas(16) float res[4];
  simd::Store(res, SeriesWithReciprocal(f, k));
  for (int i = 0; i < 4; ++i) St(dst + i, special[i] ? out[i] : res[i]);
}

void LnBlockSse(const float* src, float* dst, int64_t n, FirstWarning& w) {
  const int64_t head = n & 3;
  LibraryLnArray(src, dst, head, w);
  for (int64_t i = head; i < n; i += 4) LnGroupSse(src + i, dst + i, w);
}

// ---- doubles (no double vectors: plain double arithmetic) ----
constexpr uint64_t kLn2HighSse = 0x3FE62E42FEE00000ull, kLn2LowSse = 0x3DEA39EF35793C76ull;
constexpr double kA1 = 0.6666666666666734, kA2 = 0.399999999994167, kA3 = 0.28571428742008753;
constexpr double kA4 = 0.22222198607186278, kA5 = 0.18183562745289936, kA6 = 0.15314087275331442;
constexpr double kA7 = 0.14795612545334175;
constexpr uint64_t kHalfFractionBoundF64 = 0x6A09Eu;  // top 20 fraction bits of sqrt(2)

double SeriesLnF64(double x) {
  int32_t kOffset = 0;
  if ((Bits(x) >> 52) == 0) {  // subnormal: normalise
    x *= kTwoPow52;
    kOffset = -52;
  }
  const uint64_t b = Bits(x);
  const uint64_t fraction = b & 0x000FFFFFFFFFFFFFull;
  // f in [sqrt(2)/2, sqrt(2)), chosen without a branch.
  const uint64_t upper = (fraction >> 32) >= kHalfFractionBoundF64 ? 1u : 0u;
  const int32_t k = static_cast<int32_t>(b >> 52) - 1023 + kOffset + static_cast<int32_t>(upper);
  const double f = DoubleFromBits(fraction | (0x3FF0000000000000ull - (upper << 52)));
  const double s = (f - 1.0) / (f + 1.0);
  const double z = s * s;
  const double p = 2.0 + z * (kA1 + z * (kA2 + z * (kA3 + z * (kA4 + z * (kA5 + z * (kA6 + z * kA7))))));
  const double dk = k;
  return dk * DoubleFromBits(kLn2HighSse) + (s * p + dk * DoubleFromBits(kLn2LowSse));
}

spStatus LnArrayF32(const float* src, float* dst, int64_t n) {
  FirstWarning w;
  for (int64_t i = 0; i < n; i += kSseBlock) LnBlockSse(src + i, dst + i, n - i < kSseBlock ? n - i : kSseBlock, w);
  return w.status;
}

spStatus LnArrayF64(const double* src, double* dst, int64_t n) {
  FirstWarning w;
  const int64_t head = n & 3;
  LibraryLnArray(src, dst, head, w);
  for (int64_t i = head; i < n; ++i) {
    const double x = Ld(src + i);
    double out;
    St(dst + i, SpecialLn(x, out, w) ? out : SeriesLnF64(x));
  }
  return w.status;
}

}  // namespace
}  // namespace SP_SET_NS::vln
#endif
