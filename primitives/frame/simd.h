// A handful of inline vector operations over the running variant set's
// registers, so that one kernel source serves several sets, and the address
// tests and unaligned scalar access every set's kernels share. Include only from
// *_variant.cpp (after variant_set.h). The generic set has no vector type:
// kernels branch on kHasSse / kHasSse2 with `if constexpr`.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

#include "primitives/frame/variant_set.h"

#if SP_SET_INDEX >= 1
#include <xmmintrin.h>
#endif
#if SP_SET_INDEX >= 2
#include <emmintrin.h>
#endif
#if SP_SET_INDEX >= 3
#include <pmmintrin.h>
#endif
#if SP_SET_INDEX >= 4
#include <tmmintrin.h>
#endif

namespace SP_SET_NS::simd {

// Address tests the kernels use to choose aligned loads and stores.
inline uintptr_t AddressOf(const void* p) { return reinterpret_cast<uintptr_t>(p); }
inline bool IsAligned(const void* p, uintptr_t bytes) { return (AddressOf(p) & (bytes - 1)) == 0; }
inline bool Aligned16(const void* p) { return (AddressOf(p) & 15) == 0; }

// Scalar element access that tolerates arrays that are not element-aligned
// (the primitives accept any address; plain loads compile to the same moves).
template <class T>
inline T Ld(const T* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}
template <class T>
inline void St(T* p, T v) {
  std::memcpy(p, &v, sizeof(T));
}

#if SP_SET_INDEX >= 1
// Four floats.
using f32x4 = __m128;
inline f32x4 Load(const float* p) { return _mm_load_ps(p); }  // 16-byte aligned
inline f32x4 LoadU(const float* p) {
#if SP_SET_INDEX >= 3
  return _mm_castsi128_ps(_mm_lddqu_si128(reinterpret_cast<const __m128i*>(p)));
#else
  return _mm_loadu_ps(p);
#endif
}
inline void Store(float* p, f32x4 v) { _mm_store_ps(p, v); }
inline void StoreU(float* p, f32x4 v) { _mm_storeu_ps(p, v); }
inline void Stream(float* p, f32x4 v) { _mm_stream_ps(p, v); }
inline f32x4 Splat(float x) { return _mm_set1_ps(x); }
inline f32x4 Zero4() { return _mm_setzero_ps(); }
inline f32x4 Add(f32x4 a, f32x4 b) { return _mm_add_ps(a, b); }
inline f32x4 Sub(f32x4 a, f32x4 b) { return _mm_sub_ps(a, b); }
inline f32x4 Mul(f32x4 a, f32x4 b) { return _mm_mul_ps(a, b); }
inline f32x4 Div(f32x4 a, f32x4 b) { return _mm_div_ps(a, b); }
inline f32x4 Min(f32x4 a, f32x4 b) { return _mm_min_ps(a, b); }
inline f32x4 Max(f32x4 a, f32x4 b) { return _mm_max_ps(a, b); }
inline f32x4 And(f32x4 a, f32x4 b) { return _mm_and_ps(a, b); }
inline f32x4 AndNot(f32x4 a, f32x4 b) { return _mm_andnot_ps(a, b); }
inline f32x4 Or(f32x4 a, f32x4 b) { return _mm_or_ps(a, b); }
inline f32x4 Xor(f32x4 a, f32x4 b) { return _mm_xor_ps(a, b); }
inline float Lane0(f32x4 v) { return _mm_cvtss_f32(v); }
// Four lanes of one bit pattern.
inline f32x4 SplatBits(uint32_t bits) { return _mm_set1_ps(std::bit_cast<float>(bits)); }
#endif

#if SP_SET_INDEX >= 2
// Two doubles.
using f64x2 = __m128d;
inline f64x2 Load(const double* p) { return _mm_load_pd(p); }
inline f64x2 LoadU(const double* p) {
#if SP_SET_INDEX >= 3
  return _mm_castsi128_pd(_mm_lddqu_si128(reinterpret_cast<const __m128i*>(p)));
#else
  return _mm_loadu_pd(p);
#endif
}
inline void Store(double* p, f64x2 v) { _mm_store_pd(p, v); }
inline void StoreU(double* p, f64x2 v) { _mm_storeu_pd(p, v); }
inline void Stream(double* p, f64x2 v) { _mm_stream_pd(p, v); }
inline f64x2 Splat(double x) { return _mm_set1_pd(x); }
inline f64x2 Zero2() { return _mm_setzero_pd(); }
inline f64x2 Add(f64x2 a, f64x2 b) { return _mm_add_pd(a, b); }
inline f64x2 Sub(f64x2 a, f64x2 b) { return _mm_sub_pd(a, b); }
inline f64x2 Mul(f64x2 a, f64x2 b) { return _mm_mul_pd(a, b); }
inline f64x2 Div(f64x2 a, f64x2 b) { return _mm_div_pd(a, b); }
inline f64x2 Min(f64x2 a, f64x2 b) { return _mm_min_pd(a, b); }
inline f64x2 Max(f64x2 a, f64x2 b) { return _mm_max_pd(a, b); }
inline f64x2 And(f64x2 a, f64x2 b) { return _mm_and_pd(a, b); }
inline f64x2 AndNot(f64x2 a, f64x2 b) { return _mm_andnot_pd(a, b); }
inline f64x2 Or(f64x2 a, f64x2 b) { return _mm_or_pd(a, b); }
inline f64x2 Xor(f64x2 a, f64x2 b) { return _mm_xor_pd(a, b); }
inline double Lane0(f64x2 v) { return _mm_cvtsd_f64(v); }
// Two lanes of one bit pattern.
inline f64x2 SplatBits(uint64_t bits) { return _mm_set1_pd(std::bit_cast<double>(bits)); }
#endif

}  // namespace SP_SET_NS::simd
