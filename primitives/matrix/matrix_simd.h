// Partial-register moves and lane shuffles the packed matrix kernels need
// beyond primitives/frame/simd.h: loads and stores of one or two lanes (so a
// kernel never touches an element beyond the last column) and pair
// duplication. The float shuffles use first-level SSE instructions in every
// set, since the packed float kernels of all four SIMD sets run the same
// instructions. Include only from *_variant.cpp.
#pragma once
#include "primitives/frame/simd.h"

namespace SP_SET_NS::simd {

#if SP_SET_INDEX >= 1
// (p[0], 0, 0, 0)
inline f32x4 Load1(const float* p) { return _mm_set_ss(Ld(p)); }
// Lanes 0 and 1 (or 2 and 3) from p[0], p[1]; the other two lanes kept.
inline f32x4 LoadLow2(f32x4 keep, const float* p) { return _mm_loadl_pi(keep, reinterpret_cast<const __m64*>(p)); }
inline f32x4 LoadHigh2(f32x4 keep, const float* p) { return _mm_loadh_pi(keep, reinterpret_cast<const __m64*>(p)); }
inline void Store1(float* p, f32x4 v) { St(p, Lane0(v)); }
inline void StoreLow2(float* p, f32x4 v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), v); }
inline void StoreHigh2(float* p, f32x4 v) { _mm_storeh_pi(reinterpret_cast<__m64*>(p), v); }
// (x0, x1, x2, x3) -> (x0, x1, x0, x1) and (x2, x3, x2, x3)
inline f32x4 DupLowPair(f32x4 v) { return _mm_movelh_ps(v, v); }
inline f32x4 DupHighPair(f32x4 v) { return _mm_movehl_ps(v, v); }
// Three floats as (p[0], p[1], p[2], 0), and lanes 0 to 2 back.
inline f32x4 Load3(const float* p) { return _mm_movelh_ps(LoadLow2(Zero4(), p), Load1(p + 2)); }
inline void Store3(float* p, f32x4 v) {
  StoreLow2(p, v);
  Store1(p + 2, DupHighPair(v));
}
// (x0, x1, x2, x3) -> (x0, x0, x2, x2) and (x1, x1, x3, x3)
inline f32x4 DupEvenLanes(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 0, 0)); }
inline f32x4 DupOddLanes(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 1, 1)); }
#endif

#if SP_SET_INDEX >= 2
// (p[0], 0)
inline f64x2 Load1(const double* p) { return _mm_set_sd(Ld(p)); }
// Lane 1 from p[0], lane 0 kept.
inline f64x2 LoadHigh1(f64x2 keep, const double* p) { return _mm_loadh_pd(keep, p); }
// A pair as two 8-byte halves (any address).
inline f64x2 LoadSplit(const double* p) { return LoadHigh1(Load1(p), p + 1); }
inline void Store1(double* p, f64x2 v) { St(p, Lane0(v)); }
inline void StoreHigh1(double* p, f64x2 v) { St(p, Lane0(_mm_unpackhi_pd(v, v))); }
inline void StoreSplit(double* p, f64x2 v) {
  Store1(p, v);
  StoreHigh1(p + 1, v);
}
#endif

}  // namespace SP_SET_NS::simd
