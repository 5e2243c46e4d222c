// Helpers of the sum, dot, extreme-search, mean/std-dev and logarithm kernels
// beyond primitives/frame/simd.h (which has the address tests and the element
// access that tolerates any byte alignment): boundary distances, lane folds
// and 32-bit integer compare-and-select. Include only from
// *_variant.cpp; everything lives in the set's own namespace.
#pragma once
#include <bit>
#include <cstdint>

#include "primitives/frame/simd.h"

namespace SP_SET_NS::vstat {

using simd::IsAligned;
using simd::Ld;
using simd::St;

// Elements until p reaches the next 16-byte boundary (p element aligned).
template <class T>
inline int32_t ElementsTo16(const T* p) {
  return static_cast<int32_t>(((16 - (simd::AddressOf(p) & 15)) & 15) / sizeof(T));
}

inline uint32_t Bits(float x) { return std::bit_cast<uint32_t>(x); }
inline uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }
inline float FloatFromBits(uint32_t b) { return std::bit_cast<float>(b); }
inline double DoubleFromBits(uint64_t b) { return std::bit_cast<double>(b); }

#if SP_SET_INDEX >= 1
using simd::f32x4;

template <bool kAligned>
inline f32x4 Load4(const float* p) {
  if constexpr (kAligned) return simd::Load(p);
  else return simd::LoadU(p);
}
// Two floats in lanes 0 and 1, zeros above.
inline f32x4 LoadPair(const float* p) { return _mm_set_ps(0.0f, 0.0f, Ld(p + 1), Ld(p)); }
inline f32x4 LoadSingle(const float* p) { return _mm_set_ss(Ld(p)); }
inline float Lane(f32x4 v, int i) {
  alignas(16) float t[4];
  _mm_store_ps(t, v);
  return t[i];
}
// (l0 + l2, l1 + l3) in lanes 0 and 1.
inline f32x4 FoldHighOntoLow(f32x4 v) { return _mm_add_ps(v, _mm_movehl_ps(v, v)); }
// l0 + l1 of the result of FoldHighOntoLow, in single precision.
inline float FoldPair(f32x4 v) {
  return _mm_cvtss_f32(_mm_add_ss(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1))));
}
inline void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }
#endif

#if SP_SET_INDEX >= 2
using simd::f64x2;
using i32x4 = __m128i;

template <bool kAligned>
inline f64x2 Load2(const double* p) {
  if constexpr (kAligned) return simd::Load(p);
  else return simd::LoadU(p);
}
inline f64x2 LoadSingle(const double* p) { return _mm_set_sd(Ld(p)); }
inline double FoldLanes(f64x2 v) { return _mm_cvtsd_f64(_mm_add_sd(v, _mm_unpackhi_pd(v, v))); }

inline i32x4 LoadI4(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline i32x4 SplatI(int32_t x) { return _mm_set1_epi32(x); }
// Lane-wise a where mask is set, else b.
inline i32x4 Select(i32x4 mask, i32x4 a, i32x4 b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline i32x4 MaxI(i32x4 a, i32x4 b) { return Select(_mm_cmpgt_epi32(a, b), a, b); }
inline i32x4 MinI(i32x4 a, i32x4 b) { return Select(_mm_cmplt_epi32(a, b), a, b); }
#endif

}  // namespace SP_SET_NS::vstat
