// Natural-logarithm primitives, one source for every set.
//   generic  C library log in double precision, element by element;
//   SSE      floats: blocks of 256, the first 0..3 elements of a block by the
//            C library, the rest four at a time with a reciprocal estimate
//            refined by one Newton step; doubles: one pass in double
//            precision with s = (f - 1) / (f + 1) and a degree-7 series;
//   SSE2+    floats: four at a time, s by division, single precision;
//            doubles: two at a time through a 65-row table, no division.
// Every set gives -inf (7) for +0, the negative default NaN (8) for anything
// with the sign bit set, +inf for +inf, a positive NaN without warning for
// a positive NaN (the generic set the default one, the SSE2+ float kernels
// a quiet one unchanged), and the logarithm of positive subnormals
// (normalised first). The status is the warning of the lowest-indexed zero
// or negative.
#include "primitives/vector/sp_ln.h"

#include <cmath>
#include <cstdint>

#include "primitives/frame/sp_status.h"
#include "primitives/vector/ln_table.h"
#include "primitives/vector/float_bits.h"
#include "primitives/vector/stats_ops.h"

namespace SP_SET_NS {
namespace {

using vstat::Bits;
using vstat::DoubleFromBits;
using vstat::FloatFromBits;
using vstat::Ld;
using vstat::St;

// Keeps the first warning raised.
struct FirstWarning {
  spStatus status = spOk;
  void Raise(spStatus s) {
    if (status == spOk) status = s;
  }
};

// The special results shared by every set; false for positive finite,
// non-zero values, which the caller evaluates.
inline bool SpecialLn(float x, float& out, FirstWarning& w) {
  const uint32_t b = Bits(x);
  if (b & 0x80000000u) {
    out = FloatFromBits(kF32DefaultNan);
    w.Raise(spWarnLnNegative);
  } else if (b == 0) {
    out = FloatFromBits(kF32MinusInf);
    w.Raise(spWarnLnZero);
  } else if ((b & kF32PlusInf) == kF32PlusInf) {
    out = FloatFromBits((b & 0x007FFFFFu) ? kF32QuietNan : kF32PlusInf);
  } else {
    return false;
  }
  return true;
}

inline bool SpecialLn(double x, double& out, FirstWarning& w) {
  const uint64_t b = Bits(x);
  if (b >> 63) {
    out = DoubleFromBits(kF64DefaultNan);
    w.Raise(spWarnLnNegative);
  } else if (b == 0) {
    out = DoubleFromBits(kF64MinusInf);
    w.Raise(spWarnLnZero);
  } else if ((b & kF64PlusInf) == kF64PlusInf) {
    out = DoubleFromBits((b & 0x000FFFFFFFFFFFFFull) ? kF64QuietNan : kF64PlusInf);
  } else {
    return false;
  }
  return true;
}

// Generic rule: specials, else the C library's log in double precision.
template <class T>
inline T LibraryLn(T x, FirstWarning& w) {
  T out;
  if (SpecialLn(x, out, w)) return out;
  return static_cast<T>(std::log(static_cast<double>(x)));
}

template <class T>
void LibraryLnArray(const T* src, T* dst, int32_t n, FirstWarning& w) {
  for (int32_t i = 0; i < n; ++i) St(dst + i, LibraryLn(Ld(src + i), w));
}

// Single-precision series shared by the SSE and SSE2+ float kernels:
// ln x = k L + s (2 + z (c1 + z (c2 + z (c3 + z c4)))), s = (f-1)/(f+1), z = s^2,
// with f in [sqrt(2)/2, sqrt(2)) and x = 2^k f.
constexpr uint32_t kLn2F32 = 0x3F317218u;
constexpr uint32_t kC1 = 0x3F2AAAAAu, kC2 = 0x3ECCCD95u, kC3 = 0x3E920CCAu, kC4 = 0x3E7353DAu;
constexpr uint32_t kHalfFractionBound = 0x3504F2u;  // fraction of sqrt(2)
constexpr float kTwoPow24 = 16777216.0f;
constexpr double kTwoPow52 = 4503599627370496.0;

#if SP_SET_INDEX >= 1
using simd::f32x4;

inline f32x4 SeriesF32(f32x4 k, f32x4 s) {
  using namespace simd;
  const f32x4 z = Mul(s, s);
  f32x4 p = Add(Splat(FloatFromBits(kC3)), Mul(z, Splat(FloatFromBits(kC4))));
  p = Add(Splat(FloatFromBits(kC2)), Mul(z, p));
  p = Add(Splat(FloatFromBits(kC1)), Mul(z, p));
  p = Add(Splat(2.0f), Mul(z, p));
  return Add(Mul(k, Splat(FloatFromBits(kLn2F32))), Mul(s, p));
}

// Reduction of a positive normal float's bits: f and k (without branches:
// the halves of the fraction range come in random order).
inline void ReduceF32(uint32_t b, int32_t kOffset, float& f, float& k) {
  const uint32_t fraction = b & 0x007FFFFFu;
  const uint32_t upper = fraction >= kHalfFractionBound ? 1u : 0u;
  f = FloatFromBits(fraction | (0x3F800000u - (upper << 23)));
  k = static_cast<float>(static_cast<int32_t>(b >> 23) - 127 + static_cast<int32_t>(upper) + kOffset);
}
#endif

#if SP_SET_INDEX == 1
// ---- SSE set, floats ----
constexpr int32_t kSseBlock = 256;

// Four elements: specials by their bits, the rest by the series with
// s = (f - 1) r, r the reciprocal estimate of f + 1 refined once.
// f and k are passed in registers: a vector load of four scalars just
// stored would stall on store forwarding.
inline f32x4 SeriesWithReciprocal(const float* f, const float* k) {
  using namespace simd;
  const f32x4 fv = _mm_set_ps(f[3], f[2], f[1], f[0]);
  const f32x4 kv = _mm_set_ps(k[3], k[2], k[1], k[0]);
  const f32x4 fp1 = Add(fv, Splat(1.0f));
  f32x4 r = _mm_rcp_ps(fp1);
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

void LnBlockSse(const float* src, float* dst, int32_t n, FirstWarning& w) {
  const int32_t head = n & 3;
  LibraryLnArray(src, dst, head, w);
  for (int32_t i = head; i < n; i += 4) LnGroupSse(src + i, dst + i, w);
}

spStatus LnArrayF32(const float* src, float* dst, int32_t n) {
  FirstWarning w;
  for (int32_t i = 0; i < n; i += kSseBlock) LnBlockSse(src + i, dst + i, n - i < kSseBlock ? n - i : kSseBlock, w);
  return w.status;
}

// ---- SSE set, doubles (no double vectors: plain double arithmetic) ----
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

spStatus LnArrayF64(const double* src, double* dst, int32_t n) {
  FirstWarning w;
  const int32_t head = n & 3;
  LibraryLnArray(src, dst, head, w);
  for (int32_t i = head; i < n; ++i) {
    const double x = Ld(src + i);
    double out;
    St(dst + i, SpecialLn(x, out, w) ? out : SeriesLnF64(x));
  }
  return w.status;
}
#endif

#if SP_SET_INDEX >= 2
using vstat::i32x4;

// ---- SSE2, SSE3, SSSE3 sets, floats ----

// The series on four lanes of bits; kOffset is added to k per lane.
inline f32x4 LnLanesF32(i32x4 bits, i32x4 kOffset) {
  const i32x4 e = _mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF));
  const i32x4 fraction = _mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF));
  const i32x4 upper = _mm_cmpgt_epi32(fraction, _mm_set1_epi32(static_cast<int32_t>(kHalfFractionBound) - 1));
  const i32x4 one = _mm_set1_epi32(0x3F800000), half = _mm_set1_epi32(0x3F000000);
  const f32x4 f = _mm_castsi128_ps(_mm_or_si128(fraction, vstat::Select(upper, half, one)));
  // k = e - 127, plus one for the upper half (the mask is -1 there).
  const i32x4 k = _mm_add_epi32(_mm_sub_epi32(_mm_sub_epi32(e, _mm_set1_epi32(127)), upper), kOffset);
  using namespace simd;
  const f32x4 s = Div(Sub(f, Splat(1.0f)), Add(f, Splat(1.0f)));
  return SeriesF32(_mm_cvtepi32_ps(k), s);
}

// Lanes outside the safe range (exponent field, sign bit included, below 65
// or above 189): zeros, anything signed, infinities, NaNs, subnormals and
// extreme magnitudes. Only these are looked at one by one.
f32x4 FixCheckedLanesF32(f32x4 x, f32x4 computed, int mask, FirstWarning& w) {
  alignas(16) float in[4], res[4];
  simd::Store(in, x);
  simd::Store(res, computed);
  bool subnormal = false;
  for (int i = 0; i < 4; ++i)
    if ((mask >> i) & 1) subnormal |= (Bits(in[i]) >> 23) == 0 && Bits(in[i]) != 0;
  alignas(16) float normalised[4];
  if (subnormal) {
    const f32x4 scaled = simd::Mul(x, simd::Splat(kTwoPow24));
    simd::Store(normalised, LnLanesF32(_mm_castps_si128(scaled), _mm_set1_epi32(-24)));
  }
  for (int i = 0; i < 4; ++i) {
    if (!((mask >> i) & 1)) continue;
    float out;
    if ((Bits(in[i]) & 0xFFC00000u) == 0x7FC00000u) res[i] = in[i];  // a positive quiet NaN passes unchanged
    else if (SpecialLn(in[i], out, w)) res[i] = out;
    else if ((Bits(in[i]) >> 23) == 0) res[i] = normalised[i];
  }
  return simd::Load(res);
}

inline f32x4 LnGroupF32(f32x4 x, FirstWarning& w) {
  const i32x4 bits = _mm_castps_si128(x);
  const i32x4 signedExponent = _mm_srai_epi32(bits, 23);
  const i32x4 outside = _mm_or_si128(_mm_cmplt_epi32(signedExponent, _mm_set1_epi32(65)),
                                     _mm_cmpgt_epi32(signedExponent, _mm_set1_epi32(189)));
  const f32x4 computed = LnLanesF32(bits, _mm_setzero_si128());
  const int mask = _mm_movemask_ps(_mm_castsi128_ps(outside));
  return mask ? FixCheckedLanesF32(x, computed, mask, w) : computed;
}

spStatus LnArrayF32(const float* src, float* dst, int32_t n) {
  FirstWarning w;
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) simd::StoreU(dst + i, LnGroupF32(simd::LoadU(src + i), w));
  if (i < n) {
    // Last 1..3 elements; the unused lanes hold 1.0 (ln 1 = 0, no warning).
    alignas(16) float t[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    for (int32_t j = i; j < n; ++j) t[j - i] = Ld(src + j);
    simd::Store(t, LnGroupF32(simd::Load(t), w));
    for (int32_t j = i; j < n; ++j) St(dst + j, t[j - i]);
  }
  return w.status;
}

// ---- SSE2, SSE3, SSSE3 sets, doubles ----
// x = 2^k m, m in [1, 2); j = round(64 (m - 1)) from the top 11 fraction
// bits; m = m_hi + m_lo with m_hi keeping the top 31 fraction bits, so that
// m_hi r_j - 1 is exact; u = (m_hi r_j - 1) + m_lo r_j and
// ln x = (k ln2_hi + T_hi) + ((m_hi r_j - 1) + ((k ln2_lo + T_lo) + m_lo r_j + u^2 P(u))).
// ln2_hi keeps 11 trailing zero bits so that k ln2_hi is exact.
constexpr uint64_t kLn2High = 0x3FE62E42FEFA3800ull, kLn2Low = 0x3D2EF35793C7672Eull;
constexpr uint64_t kP0 = 0xBFE000000000001Bull, kP1 = 0x3FD55555555555A9ull, kP2 = 0xBFCFFFFFFF201E11ull;
constexpr uint64_t kP3 = 0x3FC9999998867A5Eull, kP4 = 0xBFC555C54DD57D7Cull, kP5 = 0x3FC24998090DC54Aull;

// Both lanes positive, finite and normal; kOffset (an integer per lane) is
// added to k, for subnormals that were scaled by 2^52 beforehand.
inline simd::f64x2 LnNormalPairF64(simd::f64x2 x, simd::f64x2 kOffset) {
  using namespace simd;
  const i32x4 bits = _mm_castpd_si128(x);
  const i32x4 exponent = _mm_srli_epi64(bits, 52);
  const f64x2 k = Add(Sub(_mm_cvtepi32_pd(_mm_shuffle_epi32(exponent, _MM_SHUFFLE(3, 3, 2, 0))), Splat(1023.0)), kOffset);
  // j = (top 11 fraction bits + 16) / 32, 0 .. 64.
  const i32x4 rows = _mm_srli_epi64(
      _mm_add_epi64(_mm_and_si128(_mm_srli_epi64(bits, 41), _mm_set1_epi64x(0x7FF)), _mm_set1_epi64x(16)), 5);
  const vln::LnTableRow& row0 = vln::kLnTable[_mm_cvtsi128_si32(rows)];
  const vln::LnTableRow& row1 = vln::kLnTable[_mm_cvtsi128_si32(_mm_unpackhi_epi64(rows, rows))];
  const f64x2 m = _mm_castsi128_pd(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi64x(0x000FFFFFFFFFFFFFll)),
                                                _mm_set1_epi64x(0x3FF0000000000000ll)));
  const f64x2 mHigh = _mm_and_pd(m, _mm_castsi128_pd(_mm_set1_epi64x(~((int64_t{1} << 21) - 1))));
  const f64x2 mLow = Sub(m, mHigh);
  const f64x2 r = _mm_set_pd(row1.reciprocal, row0.reciprocal);
  const f64x2 tHigh = _mm_set_pd(row1.minusLnHigh, row0.minusLnHigh);
  const f64x2 tLow = _mm_set_pd(row1.minusLnLow, row0.minusLnLow);
  const f64x2 t = Sub(Mul(mHigh, r), Splat(1.0));  // exact
  const f64x2 mLowR = Mul(mLow, r);
  const f64x2 u = Add(t, mLowR);
  f64x2 p = Add(Splat(DoubleFromBits(kP4)), Mul(u, Splat(DoubleFromBits(kP5))));
  p = Add(Splat(DoubleFromBits(kP3)), Mul(u, p));
  p = Add(Splat(DoubleFromBits(kP2)), Mul(u, p));
  p = Add(Splat(DoubleFromBits(kP1)), Mul(u, p));
  p = Add(Splat(DoubleFromBits(kP0)), Mul(u, p));
  const f64x2 high = Add(Mul(k, Splat(DoubleFromBits(kLn2High))), tHigh);
  const f64x2 low = Add(Add(Add(Mul(k, Splat(DoubleFromBits(kLn2Low))), tLow), mLowR), Mul(Mul(u, u), p));
  return Add(high, Add(t, low));
}

inline bool PositiveNormal(double x) { return Bits(x) - 0x0010000000000000ull < 0x7FE0000000000000ull; }

// A pair holding a special or a subnormal: specials are evaluated as 1.0
// and replaced afterwards (lowest index first), subnormals are normalised.
inline simd::f64x2 LnCheckedPairF64(double x0, double x1, FirstWarning& w) {
  double in[2] = {x0, x1}, special[2] = {0.0, 0.0}, offset[2] = {0.0, 0.0};
  bool isSpecial[2];
  for (int i = 0; i < 2; ++i) {
    isSpecial[i] = SpecialLn(in[i], special[i], w);
    if (isSpecial[i]) {
      in[i] = 1.0;
    } else if (!PositiveNormal(in[i])) {
      in[i] *= kTwoPow52;
      offset[i] = -52.0;
    }
  }
  alignas(16) double lanes[2];
  simd::Store(lanes, LnNormalPairF64(_mm_set_pd(in[1], in[0]), _mm_set_pd(offset[1], offset[0])));
  for (int i = 0; i < 2; ++i)
    if (isSpecial[i]) lanes[i] = special[i];
  return simd::Load(lanes);
}

spStatus LnArrayF64(const double* src, double* dst, int32_t n) {
  FirstWarning w;
  const bool alignedDst = vstat::IsAligned(dst, 16);
  int32_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const double x0 = Ld(src + i), x1 = Ld(src + i + 1);
    const simd::f64x2 v = PositiveNormal(x0) && PositiveNormal(x1)
                              ? LnNormalPairF64(_mm_set_pd(x1, x0), simd::Zero2())
                              : LnCheckedPairF64(x0, x1, w);
    if (alignedDst) simd::Store(dst + i, v);
    else simd::StoreU(dst + i, v);
  }
  if (i < n) St(dst + i, simd::Lane0(LnCheckedPairF64(Ld(src + i), 1.0, w)));  // a lone last element pairs with 1.0
  return w.status;
}
#endif

#if SP_SET_INDEX == 0
spStatus LnArrayF32(const float* src, float* dst, int32_t n) {
  FirstWarning w;
  LibraryLnArray(src, dst, n, w);
  return w.status;
}
spStatus LnArrayF64(const double* src, double* dst, int32_t n) {
  FirstWarning w;
  LibraryLnArray(src, dst, n, w);
  return w.status;
}
#endif

}  // namespace

spStatus SP_V(spLnInPlaceF32)(float* srcDst, int32_t len) {
  if (srcDst == nullptr) return spErrNullPointer;
  if (len < 1) return spErrLength;
  return LnArrayF32(srcDst, srcDst, len);
}

spStatus SP_V(spLnF32)(const float* src, float* dst, int32_t len) {
  if (src == nullptr || dst == nullptr) return spErrNullPointer;
  if (len < 1) return spErrLength;
  return LnArrayF32(src, dst, len);
}

spStatus SP_V(spLnInPlaceF64)(double* srcDst, int32_t len) {
  if (srcDst == nullptr) return spErrNullPointer;
  if (len < 1) return spErrLength;
  return LnArrayF64(srcDst, srcDst, len);
}

spStatus SP_V(spLnF64)(const double* src, double* dst, int32_t len) {
  if (src == nullptr || dst == nullptr) return spErrNullPointer;
  if (len < 1) return spErrLength;
  return LnArrayF64(src, dst, len);
}

}  // namespace SP_SET_NS

// The natural-logarithm dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_LN_ENTRIES)
#endif
