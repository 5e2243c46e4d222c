// Integer vector operations the conversion kernels need beyond
// primitives/frame/simd.h: loads and stores of packed integers, widening,
// saturating packs and lane conversions. SSE2 and later sets only; include
// only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/frame/simd.h"

#if SP_SET_INDEX >= 2
namespace SP_SET_NS::simd {

using i32x4 = __m128i;  // also eight int16 or sixteen int8 lanes

inline i32x4 LoadI(const void* p) {
#if SP_SET_INDEX >= 3
  return _mm_lddqu_si128(static_cast<const __m128i*>(p));
#else
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
#endif
}
inline void StoreI(void* p, i32x4 v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// Sign extension by unpacking a lane onto itself and shifting it back down.
inline i32x4 WidenLowI8ToI16(i32x4 v) { return _mm_srai_epi16(_mm_unpacklo_epi8(v, v), 8); }
inline i32x4 WidenHighI8ToI16(i32x4 v) { return _mm_srai_epi16(_mm_unpackhi_epi8(v, v), 8); }
inline i32x4 WidenLowI16ToI32(i32x4 v) { return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16); }
inline i32x4 WidenHighI16ToI32(i32x4 v) { return _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16); }

// Bytes 4q..4q+3 of v to four int32 lanes.
inline i32x4 WidenQuarterI8ToI32(i32x4 v, int q) {
#if SP_SET_INDEX >= 4
  // Each byte lands in the top byte of its lane (-1 zeroes the others);
  // the shift then sign-extends it.
  const char b = static_cast<char>(4 * q);
  const __m128i index = _mm_setr_epi8(-1, -1, -1, b, -1, -1, -1, static_cast<char>(b + 1), -1, -1, -1,
                                      static_cast<char>(b + 2), -1, -1, -1, static_cast<char>(b + 3));
  return _mm_srai_epi32(_mm_shuffle_epi8(v, index), 24);
#else
  const i32x4 half = (q < 2) ? WidenLowI8ToI16(v) : WidenHighI8ToI16(v);
  return (q % 2 == 0) ? WidenLowI16ToI32(half) : WidenHighI16ToI32(half);
#endif
}

inline f32x4 I32ToF32(i32x4 v) { return _mm_cvtepi32_ps(v); }
inline f64x2 LowI32ToF64(i32x4 v) { return _mm_cvtepi32_pd(v); }
inline f64x2 HighI32ToF64(i32x4 v) { return _mm_cvtepi32_pd(_mm_unpackhi_epi64(v, v)); }

// Eight int32 lanes of a and b to int16 with saturation.
inline i32x4 PackSatI32ToI16(i32x4 a, i32x4 b) { return _mm_packs_epi32(a, b); }

// Two doubles to the low two int32 lanes: nearest under the MXCSR rounding,
// or truncation; out-of-range and NaN give 0x80000000.
inline i32x4 F64ToI32Round(f64x2 v) { return _mm_cvtpd_epi32(v); }
inline i32x4 F64ToI32Trunc(f64x2 v) { return _mm_cvttpd_epi32(v); }
inline i32x4 JoinLow64(i32x4 lo, i32x4 hi) { return _mm_unpacklo_epi64(lo, hi); }

// x / 2^s (s in 1..31) rounded to nearest, ties to even, in 32-bit lanes.
// The sum can wrap only for x >= 0, where its unsigned value is still exact,
// so those lanes shift logically and negative lanes arithmetically.
inline i32x4 RoundingShiftRightI32(i32x4 x, int32_t s) {
  const __m128i count = _mm_cvtsi32_si128(s);
  const __m128i bias = _mm_set1_epi32(static_cast<int32_t>((uint32_t{1} << (s - 1)) - 1));
  const __m128i odd = _mm_and_si128(_mm_sra_epi32(x, count), _mm_set1_epi32(1));
  const __m128i sum = _mm_add_epi32(_mm_add_epi32(x, bias), odd);
  const __m128i negative = _mm_srai_epi32(x, 31);
  return _mm_or_si128(_mm_and_si128(negative, _mm_sra_epi32(sum, count)),
                      _mm_andnot_si128(negative, _mm_srl_epi32(sum, count)));
}
inline i32x4 ShiftLeftI32(i32x4 x, int32_t k) { return _mm_sll_epi32(x, _mm_cvtsi32_si128(k)); }

}  // namespace SP_SET_NS::simd
#endif
