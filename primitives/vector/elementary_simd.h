// Vector operations of the square-root, exponential and inverse kernels
// beyond primitives/frame/simd.h: hardware estimates, exact roots, compares
// to lane masks, lane selection and the integer steps that build powers of
// two. The SSE set has no packed integers: its powers of two are built lane
// by lane. Include only from *_variant.cpp.
#pragma once
#include <bit>
#include <cstdint>

#include "primitives/frame/simd.h"

namespace SP_SET_NS::simd {

#if SP_SET_INDEX >= 1
// Estimates with relative error at most 1.5 * 2^-12.
inline f32x4 RsqrtEstimate(f32x4 x) { return _mm_rsqrt_ps(x); }
inline f32x4 RcpEstimate(f32x4 x) { return _mm_rcp_ps(x); }
inline f32x4 Sqrt(f32x4 x) { return _mm_sqrt_ps(x); }
// Correctly rounded root of one value.
inline float SqrtScalar(float x) { return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set_ss(x))); }

// All-ones lanes where the relation holds (ordered: false for NaN lanes).
inline f32x4 CmpLt(f32x4 a, f32x4 b) { return _mm_cmplt_ps(a, b); }
inline f32x4 CmpLe(f32x4 a, f32x4 b) { return _mm_cmple_ps(a, b); }
inline f32x4 CmpGt(f32x4 a, f32x4 b) { return _mm_cmpgt_ps(a, b); }
inline f32x4 CmpGe(f32x4 a, f32x4 b) { return _mm_cmpge_ps(a, b); }
inline f32x4 CmpEq(f32x4 a, f32x4 b) { return _mm_cmpeq_ps(a, b); }
// True where either lane is a NaN.
inline f32x4 CmpUnord(f32x4 a, f32x4 b) { return _mm_cmpunord_ps(a, b); }
// Bit i = sign bit of lane i.
inline int MoveMask(f32x4 v) { return _mm_movemask_ps(v); }
// Lanes of `yes` where the mask is set, of `no` elsewhere.
inline f32x4 Select(f32x4 mask, f32x4 yes, f32x4 no) { return Or(And(mask, yes), AndNot(mask, no)); }
#endif

#if SP_SET_INDEX >= 2
using i64x2 = __m128i;
inline f64x2 Sqrt(f64x2 x) { return _mm_sqrt_pd(x); }
inline double SqrtScalar(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }
inline f64x2 CmpLt(f64x2 a, f64x2 b) { return _mm_cmplt_pd(a, b); }
inline f64x2 CmpEq(f64x2 a, f64x2 b) { return _mm_cmpeq_pd(a, b); }
// Not (a >= b): true for a < b and for NaN lanes.
inline f64x2 CmpNge(f64x2 a, f64x2 b) { return _mm_cmpnge_pd(a, b); }
inline int MoveMask(f64x2 v) { return _mm_movemask_pd(v); }

inline i64x2 Bits(f64x2 v) { return _mm_castpd_si128(v); }
inline f64x2 FromBits(i64x2 v) { return _mm_castsi128_pd(v); }
inline i64x2 SplatI64(uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }
inline i64x2 AndI(i64x2 a, i64x2 b) { return _mm_and_si128(a, b); }
inline i64x2 OrI(i64x2 a, i64x2 b) { return _mm_or_si128(a, b); }
inline i64x2 AddI64(i64x2 a, i64x2 b) { return _mm_add_epi64(a, b); }
inline i64x2 SubI64(i64x2 a, i64x2 b) { return _mm_sub_epi64(a, b); }
// Arithmetic shift right by one of each 32-bit half.
inline i64x2 HalveI32Lanes(i64x2 v) { return _mm_srai_epi32(v, 1); }
// Single-precision reciprocal-square-root estimate of two doubles, widened.
inline f64x2 RsqrtEstimateViaF32(f64x2 x) { return _mm_cvtps_pd(_mm_rsqrt_ps(_mm_cvtpd_ps(x))); }
#endif

#if SP_SET_INDEX >= 1
// 2^a and 2^b with a + b = n and each half within the normal range, for
// integral lanes n in [-252, 254]: scaling by both applies 2^n even where
// 2^n alone is no float (2^128) or no normal float (2^-127 and below).
inline void PowerOfTwoHalves(f32x4 n, f32x4& lowHalf, f32x4& highHalf) {
#if SP_SET_INDEX >= 2
  const __m128i k = _mm_cvtps_epi32(n);
  const __m128i a = _mm_srai_epi32(k, 1);
  const __m128i b = _mm_sub_epi32(k, a);
  const __m128i bias = _mm_set1_epi32(127);
  lowHalf = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(a, bias), 23));
  highHalf = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(b, bias), 23));
#else
  alignas(16) float lanes[4];
  float lo[4];
  float hi[4];
  Store(lanes, n);
  for (int j = 0; j < 4; ++j) {
    const int32_t k = static_cast<int32_t>(lanes[j]);
    const int32_t a = k >> 1;
    lo[j] = std::bit_cast<float>(static_cast<uint32_t>(a + 127) << 23);
    hi[j] = std::bit_cast<float>(static_cast<uint32_t>(k - a + 127) << 23);
  }
  // Assembled in registers: a reload of four scalar stores would stall.
  lowHalf = _mm_setr_ps(lo[0], lo[1], lo[2], lo[3]);
  highHalf = _mm_setr_ps(hi[0], hi[1], hi[2], hi[3]);
#endif
}
#endif

}  // namespace SP_SET_NS::simd
