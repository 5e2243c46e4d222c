// The one vocabulary of vector operations the kernels of every family are
// written in, over the running variant set's registers, so that one kernel
// source serves several sets; plus the address tests, unaligned element
// access and IEEE-754 bit patterns every set's kernels share. Include only
// from *_variant.cpp and the family headers they include (everything lives
// in SP_SET_NS::simd).
//
// Types: f32x4 (SSE on), f64x2 and the integer vectors i8x16, i16x8, i32x4,
// i64x2 (SSE2 on; one type per lane width, so an operation on 32-bit lanes
// cannot be handed 16-bit ones), and i32x2, the SSE set's MMX pairs. The
// generic set has no vector type: kernels choose with `if constexpr
// (kHasSse)` or a set-group file.
//
// One name, one meaning: Bits(x) is x's bit pattern (an unsigned integer for
// a scalar, the integer vector of the same lane width for a vector) and
// FromBits its inverse; Select(mask, yes, no) takes `yes` where the mask
// lanes are all ones. Operations that only some sets have are defined from
// the set that first has an instruction for them; a later set may redefine
// the body with a faster instruction, never the result.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

#include "primitives/frame/variant_set.h"

#if SP_SET_HAS_F32_VECTORS
#include <mmintrin.h>
#include <xmmintrin.h>
#endif
#if SP_SET_INDEX >= SP_SET_SSE2
#include <emmintrin.h>
#endif
#if SP_SET_INDEX >= SP_SET_SSE3
#include <pmmintrin.h>
#endif
#if SP_SET_INDEX >= SP_SET_SSSE3
#include <tmmintrin.h>
#endif

namespace SP_SET_NS::simd {

// ---- Addresses and element access (every set) ----

inline uintptr_t AddressOf(const void* p) { return reinterpret_cast<uintptr_t>(p); }
inline bool IsAligned(const void* p, uintptr_t bytes) { return (AddressOf(p) & (bytes - 1)) == 0; }
inline bool Aligned16(const void* p) { return (AddressOf(p) & 15) == 0; }
template <class T>
inline bool ElementAligned(const T* p) {
  return (AddressOf(p) % sizeof(T)) == 0;
}
// Bytes from p to the next 16-byte boundary (0 when p is on one).
inline int64_t BytesTo16(const void* p) { return static_cast<int64_t>((16 - (AddressOf(p) & 15)) & 15); }
// Elements until p reaches the next 16-byte boundary (p element aligned).
template <class T>
inline int64_t ElementsTo16(const T* p) {
  return BytesTo16(p) / static_cast<int64_t>(sizeof(T));
}

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

// ---- IEEE-754 bit patterns (every set) ----

inline constexpr uint32_t kF32SignBit = 0x80000000u;
inline constexpr uint64_t kF64SignBit = 0x8000000000000000ull;
// The bit that makes a NaN quiet.
inline constexpr uint32_t kF32QuietBit = 0x00400000u;
inline constexpr uint64_t kF64QuietBit = 0x0008000000000000ull;
inline constexpr uint32_t kF32PlusInf = 0x7F800000u;
inline constexpr uint32_t kF32MinusInf = 0xFF800000u;
inline constexpr uint64_t kF64PlusInf = 0x7FF0000000000000ull;
inline constexpr uint64_t kF64MinusInf = 0xFFF0000000000000ull;
// Positive quiet NaN, and the negative one SSE arithmetic writes for an
// invalid operation (the default NaN).
inline constexpr uint32_t kF32QuietNan = 0x7FC00000u;
inline constexpr uint64_t kF64QuietNan = 0x7FF8000000000000ull;
inline constexpr uint32_t kF32DefaultNan = 0xFFC00000u;
inline constexpr uint64_t kF64DefaultNan = 0xFFF8000000000000ull;
inline constexpr uint32_t kF32SmallestNormal = 0x00800000u;
inline constexpr uint64_t kF64SmallestNormal = 0x0010000000000000ull;

inline constexpr uint32_t Bits(float x) { return std::bit_cast<uint32_t>(x); }
inline constexpr uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }
inline constexpr float FloatFromBits(uint32_t b) { return std::bit_cast<float>(b); }
inline constexpr double DoubleFromBits(uint64_t b) { return std::bit_cast<double>(b); }

// x with the bits of `mask` cleared, flipped or set.
inline float FloatWithBitsCleared(float x, uint32_t mask) { return FloatFromBits(Bits(x) & ~mask); }
inline double DoubleWithBitsCleared(double x, uint64_t mask) { return DoubleFromBits(Bits(x) & ~mask); }
inline float FloatWithBitsFlipped(float x, uint32_t mask) { return FloatFromBits(Bits(x) ^ mask); }
inline double DoubleWithBitsFlipped(double x, uint64_t mask) { return DoubleFromBits(Bits(x) ^ mask); }
inline float FloatWithBitsSet(float x, uint32_t mask) { return FloatFromBits(Bits(x) | mask); }
inline double DoubleWithBitsSet(double x, uint64_t mask) { return DoubleFromBits(Bits(x) | mask); }

// A double's bit pattern as an integer that orders as the values do (NaNs
// beyond the infinities of their sign, -0 just below +0): negative patterns
// have their magnitude bits inverted. The SSE set, which has no double
// compares, orders doubles by it.
inline int64_t F64OrderKey(double x) {
  const int64_t bits = std::bit_cast<int64_t>(x);
  return bits < 0 ? bits ^ INT64_MAX : bits;
}

#if SP_SET_HAS_F32_VECTORS
// ---- Four floats (SSE on) ----
using f32x4 = __m128;

inline f32x4 Load(const float* p) { return _mm_load_ps(p); }  // 16-byte aligned
inline f32x4 LoadU(const float* p) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_castsi128_ps(_mm_lddqu_si128(reinterpret_cast<const __m128i*>(p)));
#else
  return _mm_loadu_ps(p);
#endif
}
// movups in every set: a short loop bound by its loads and stores (a
// split of complex values) runs slower on lddqu on some processors.
inline f32x4 LoadUByMovups(const float* p) { return _mm_loadu_ps(p); }
// An aligned or unaligned load, chosen at compile time.
template <bool kAligned>
inline f32x4 LoadAs(const float* p) {
  if constexpr (kAligned)
    return Load(p);
  else
    return LoadU(p);
}
// Two floats in lanes 0 and 1, zeros above; one float in lane 0.
inline f32x4 LoadPair(const float* p) { return _mm_set_ps(0.0f, 0.0f, Ld(p + 1), Ld(p)); }
// x in lane 0, zeros above.
inline f32x4 LowOnly(float x) { return _mm_set_ss(x); }
inline f32x4 LoadSingle(const float* p) { return LowOnly(Ld(p)); }
inline void Store(float* p, f32x4 v) { _mm_store_ps(p, v); }
inline void StoreU(float* p, f32x4 v) { _mm_storeu_ps(p, v); }
inline void Stream(float* p, f32x4 v) { _mm_stream_ps(p, v); }
// Orders streaming stores before anything the caller does next.
inline void StoreFence() { _mm_sfence(); }
inline void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }
// Prefetch that bypasses the outer caches, for data read once.
inline void PrefetchNonTemporal(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_NTA); }

inline f32x4 Splat(float x) { return _mm_set1_ps(x); }
// Four lanes of one bit pattern.
inline f32x4 SplatBits(uint32_t bits) { return _mm_set1_ps(FloatFromBits(bits)); }
inline f32x4 Zero4() { return _mm_setzero_ps(); }
// Lanes (x0, x1, x2, x3) from lane 0 up.
inline f32x4 Lanes(float x0, float x1, float x2, float x3) { return _mm_setr_ps(x0, x1, x2, x3); }
inline float Lane0(f32x4 v) { return _mm_cvtss_f32(v); }
inline float Lane(f32x4 v, int i) {
  alignas(16) float t[4];
  _mm_store_ps(t, v);
  return t[i];
}

inline f32x4 Add(f32x4 a, f32x4 b) { return _mm_add_ps(a, b); }
inline f32x4 Sub(f32x4 a, f32x4 b) { return _mm_sub_ps(a, b); }
inline f32x4 Mul(f32x4 a, f32x4 b) { return _mm_mul_ps(a, b); }
inline f32x4 Div(f32x4 a, f32x4 b) { return _mm_div_ps(a, b); }
inline f32x4 Min(f32x4 a, f32x4 b) { return _mm_min_ps(a, b); }
inline f32x4 Max(f32x4 a, f32x4 b) { return _mm_max_ps(a, b); }
inline f32x4 Sqrt(f32x4 x) { return _mm_sqrt_ps(x); }
// Estimates with relative error at most 1.5 * 2^-12.
inline f32x4 RsqrtEstimate(f32x4 x) { return _mm_rsqrt_ps(x); }
inline f32x4 RcpEstimate(f32x4 x) { return _mm_rcp_ps(x); }
// Correctly rounded root of one value.
inline float SqrtScalar(float x) { return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set_ss(x))); }
// Lane 0 only; lanes 1..3 from a.
inline f32x4 AddLow(f32x4 a, f32x4 b) { return _mm_add_ss(a, b); }
inline f32x4 MulLow(f32x4 a, f32x4 b) { return _mm_mul_ss(a, b); }

inline f32x4 And(f32x4 a, f32x4 b) { return _mm_and_ps(a, b); }
inline f32x4 AndNot(f32x4 a, f32x4 b) { return _mm_andnot_ps(a, b); }  // ~a & b
inline f32x4 Or(f32x4 a, f32x4 b) { return _mm_or_ps(a, b); }
inline f32x4 Xor(f32x4 a, f32x4 b) { return _mm_xor_ps(a, b); }

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
inline f32x4 Select(f32x4 mask, f32x4 yes, f32x4 no) { return Or(And(mask, yes), AndNot(mask, no)); }

// Sign bit of the imaginary lanes (1 and 3) of two interleaved complex
// floats, and of the real lanes (0 and 2).
inline f32x4 ImagSignMaskF32() { return _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0)); }
inline f32x4 RealSignMaskF32() { return _mm_castsi128_ps(_mm_set_epi32(0, INT32_MIN, 0, INT32_MIN)); }

// Lane moves (bits only, no arithmetic).
// (x0, x1, x2, x3) -> (x1, x0, x3, x2): re and im of each complex swapped.
inline f32x4 SwapPairs(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }
// (x0, x1, x2, x3) -> (x2, x3, x0, x1).
inline f32x4 SwapHalves(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)); }
// (x0, x1, x2, x3) -> (x3, x2, x1, x0).
inline f32x4 Reverse(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
// (x0, x0, x2, x2) and (x1, x1, x3, x3).
inline f32x4 DupEven(f32x4 v) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_moveldup_ps(v);
#else
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 0, 0));
#endif
}
inline f32x4 DupOdd(f32x4 v) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_movehdup_ps(v);
#else
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 1, 1));
#endif
}
// De-interleave: even lanes of two vectors (x0, x2, y0, y2), odd lanes
// (x1, x3, y1, y3) — the real and imaginary parts of four interleaved
// complex values.
inline f32x4 EvenLanes(f32x4 x, f32x4 y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0)); }
inline f32x4 OddLanes(f32x4 x, f32x4 y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(3, 1, 3, 1)); }
// The same with each pair of lanes swapped: x2, x0, y2, y0 and x3, x1, y3, y1.
inline f32x4 EvenLanesPairSwapped(f32x4 x, f32x4 y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(0, 2, 0, 2)); }
inline f32x4 OddLanesPairSwapped(f32x4 x, f32x4 y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(1, 3, 1, 3)); }
// Interleave: (x0, y0, x1, y1) and (x2, y2, x3, y3) — split real and
// imaginary parts back into complex pairs.
inline f32x4 InterleaveLow(f32x4 x, f32x4 y) { return _mm_unpacklo_ps(x, y); }
inline f32x4 InterleaveHigh(f32x4 x, f32x4 y) { return _mm_unpackhi_ps(x, y); }
// Low halves (x0, x1, y0, y1) and high halves (x2, x3, y2, y3).
inline f32x4 JoinLowHalves(f32x4 x, f32x4 y) { return _mm_movelh_ps(x, y); }
inline f32x4 JoinHighHalves(f32x4 x, f32x4 y) { return _mm_movehl_ps(y, x); }
// Rows r0..r3 become the columns.
inline void Transpose4x4(f32x4& r0, f32x4& r1, f32x4& r2, f32x4& r3) {
  const f32x4 t0 = InterleaveLow(r0, r1), t1 = InterleaveLow(r2, r3);
  const f32x4 t2 = InterleaveHigh(r0, r1), t3 = InterleaveHigh(r2, r3);
  r0 = JoinLowHalves(t0, t1);
  r1 = JoinHighHalves(t0, t1);
  r2 = JoinLowHalves(t2, t3);
  r3 = JoinHighHalves(t2, t3);
}

// Folds: (l0 + l2, l1 + l3) in lanes 0 and 1, and l0 + l1 of that.
inline f32x4 FoldHighOntoLow(f32x4 v) { return _mm_add_ps(v, _mm_movehl_ps(v, v)); }
inline float FoldPair(f32x4 v) { return _mm_cvtss_f32(_mm_add_ss(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)))); }

#if SP_SET_INDEX >= SP_SET_SSE3
// Subtract in the even lanes, add in the odd lanes.
inline f32x4 AddSub(f32x4 a, f32x4 b) { return _mm_addsub_ps(a, b); }
#endif

// Two interleaved complex products (re, im, re, im): re = ar br - ai bi,
// im = ai br + ar bi, each product rounded, then the sum.
inline f32x4 MulComplex(f32x4 a, f32x4 b) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return AddSub(Mul(a, DupEven(b)), Mul(SwapPairs(a), DupOdd(b)));
#else
  // a.re * (b.re, b.im) + (-a.im, a.im) * (b.im, b.re).
  const f32x4 imNeg = Xor(DupOdd(a), RealSignMaskF32());
  return Add(Mul(DupEven(a), b), Mul(imNeg, SwapPairs(b)));
#endif
}
// Four complex products in split layout (real parts in one vector,
// imaginary parts in another), with the same roundings as MulComplex.
inline void MulComplexSplit(f32x4 aRe, f32x4 aIm, f32x4 bRe, f32x4 bIm, f32x4& re, f32x4& im) {
  re = Sub(Mul(aRe, bRe), Mul(aIm, bIm));
  im = Add(Mul(aIm, bRe), Mul(aRe, bIm));
}

// Partial loads and stores, so that a kernel never touches an element past
// the last one of a short row, and pair duplication.
inline void StoreSingle(float* p, f32x4 v) { St(p, Lane0(v)); }
// Lanes 0 and 1 (or 2 and 3) from p[0], p[1]; the other two lanes kept.
inline f32x4 LoadLow2(f32x4 keep, const float* p) { return _mm_loadl_pi(keep, reinterpret_cast<const __m64*>(p)); }
inline f32x4 LoadHigh2(f32x4 keep, const float* p) { return _mm_loadh_pi(keep, reinterpret_cast<const __m64*>(p)); }
inline void StoreLow2(float* p, f32x4 v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), v); }
inline void StoreHigh2(float* p, f32x4 v) { _mm_storeh_pi(reinterpret_cast<__m64*>(p), v); }
// (x0, x1, x2, x3) -> (x0, x1, x0, x1) and (x2, x3, x2, x3).
inline f32x4 DupLowPair(f32x4 v) { return JoinLowHalves(v, v); }
inline f32x4 DupHighPair(f32x4 v) { return JoinHighHalves(v, v); }
// Three floats as (p[0], p[1], p[2], 0), and lanes 0 to 2 back.
inline f32x4 Load3(const float* p) { return JoinLowHalves(LoadLow2(Zero4(), p), LoadSingle(p + 2)); }
inline void Store3(float* p, f32x4 v) {
  StoreLow2(p, v);
  StoreSingle(p + 2, DupHighPair(v));
}
// DupEven and DupOdd by a first-level SSE shuffle in every set, never by
// the SSE3 moves: kernels whose sets must all run the same instructions use
// these.
inline f32x4 DupEvenByShuffle(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 0, 0)); }
inline f32x4 DupOddByShuffle(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 1, 1)); }
// Four products a * conj(b) in split layout: re = ar br + ai bi,
// im = ai br - ar bi (the inverse FFTs' twiddle product).
inline void MulConjComplexSplit(f32x4 aRe, f32x4 aIm, f32x4 bRe, f32x4 bIm, f32x4& re, f32x4& im) {
  re = Add(Mul(aRe, bRe), Mul(aIm, bIm));
  im = Sub(Mul(aIm, bRe), Mul(aRe, bIm));
}
// Two float pairs (one complex value each) from two addresses on any float
// boundary: (lo[0], lo[1], hi[0], hi[1]).
inline f32x4 LoadPairs(const float* lo, const float* hi) { return LoadHigh2(LoadLow2(Zero4(), lo), hi); }
#endif  // SSE

#if SP_SET_INDEX == SP_SET_SSE
// ---- Two int32 lanes in an MMX register: the SSE set's only packed
// integers. EndMmx() after the last use, before any x87 code. ----
struct i32x2 {
  __m64 raw;
};
inline i32x2 SplatI32x2(int32_t x) { return {_mm_set1_pi32(x)}; }
inline i32x2 LoadU(const int32_t* p) {
  i32x2 v;
  std::memcpy(&v.raw, p, 8);
  return v;
}
inline void StoreU(int32_t* p, i32x2 v) { std::memcpy(p, &v.raw, 8); }
inline i32x2 CmpGt(i32x2 a, i32x2 b) { return {_mm_cmpgt_pi32(a.raw, b.raw)}; }
inline i32x2 Select(i32x2 mask, i32x2 yes, i32x2 no) {
  return {_mm_or_si64(_mm_and_si64(mask.raw, yes.raw), _mm_andnot_si64(mask.raw, no.raw))};
}
inline void EndMmx() { _mm_empty(); }
#endif

#if SP_SET_HAS_F64_VECTORS
// ---- Two doubles (SSE2 on) ----
using f64x2 = __m128d;

inline f64x2 Load(const double* p) { return _mm_load_pd(p); }
inline f64x2 LoadU(const double* p) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_castsi128_pd(_mm_lddqu_si128(reinterpret_cast<const __m128i*>(p)));
#else
  return _mm_loadu_pd(p);
#endif
}
// movupd in every set: lddqu loads into the integer domain, and a value
// bound for floating-point arithmetic then pays a bypass delay.
inline f64x2 LoadUFpDomain(const double* p) { return _mm_loadu_pd(p); }
template <bool kAligned>
inline f64x2 LoadAs(const double* p) {
  if constexpr (kAligned)
    return Load(p);
  else
    return LoadU(p);
}
inline f64x2 LowOnly(double x) { return _mm_set_sd(x); }
inline f64x2 LoadSingle(const double* p) { return LowOnly(Ld(p)); }
inline void Store(double* p, f64x2 v) { _mm_store_pd(p, v); }
inline void StoreU(double* p, f64x2 v) { _mm_storeu_pd(p, v); }
inline void Stream(double* p, f64x2 v) { _mm_stream_pd(p, v); }

inline f64x2 Splat(double x) { return _mm_set1_pd(x); }
inline f64x2 SplatBits(uint64_t bits) { return _mm_set1_pd(DoubleFromBits(bits)); }
inline f64x2 Zero2() { return _mm_setzero_pd(); }
inline f64x2 Lanes(double x0, double x1) { return _mm_setr_pd(x0, x1); }
inline double Lane0(f64x2 v) { return _mm_cvtsd_f64(v); }
inline double Lane1(f64x2 v) { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }

inline f64x2 Add(f64x2 a, f64x2 b) { return _mm_add_pd(a, b); }
inline f64x2 Sub(f64x2 a, f64x2 b) { return _mm_sub_pd(a, b); }
inline f64x2 Mul(f64x2 a, f64x2 b) { return _mm_mul_pd(a, b); }
inline f64x2 Div(f64x2 a, f64x2 b) { return _mm_div_pd(a, b); }
inline f64x2 Min(f64x2 a, f64x2 b) { return _mm_min_pd(a, b); }
inline f64x2 Max(f64x2 a, f64x2 b) { return _mm_max_pd(a, b); }
inline f64x2 Sqrt(f64x2 x) { return _mm_sqrt_pd(x); }
inline double SqrtScalar(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }
// Lane 0 only; lane 1 from a.
inline f64x2 AddLow(f64x2 a, f64x2 b) { return _mm_add_sd(a, b); }
inline f64x2 MulLow(f64x2 a, f64x2 b) { return _mm_mul_sd(a, b); }
inline f64x2 MaxLow(f64x2 a, f64x2 b) { return _mm_max_sd(a, b); }
// Single-precision reciprocal-square-root estimate of two doubles, widened.
inline f64x2 RsqrtEstimateViaF32(f64x2 x) { return _mm_cvtps_pd(_mm_rsqrt_ps(_mm_cvtpd_ps(x))); }
// Floats widened to doubles: (p[0], p[1]) from one 8-byte load, and
// (lo[0], hi[0]) from two addresses.
inline f64x2 LoadPairAsF64(const float* p) {
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
inline f64x2 LoadTwoAsF64(const float* lo, const float* hi) {
  return _mm_cvtps_pd(_mm_unpacklo_ps(LoadSingle(lo), LoadSingle(hi)));
}
// Two doubles rounded to floats: lo in lanes 0-1, hi in lanes 2-3.
inline f32x4 NarrowToF32(f64x2 lo, f64x2 hi) { return _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)); }

inline f64x2 And(f64x2 a, f64x2 b) { return _mm_and_pd(a, b); }
inline f64x2 AndNot(f64x2 a, f64x2 b) { return _mm_andnot_pd(a, b); }
inline f64x2 Or(f64x2 a, f64x2 b) { return _mm_or_pd(a, b); }
inline f64x2 Xor(f64x2 a, f64x2 b) { return _mm_xor_pd(a, b); }

inline f64x2 CmpLt(f64x2 a, f64x2 b) { return _mm_cmplt_pd(a, b); }
inline f64x2 CmpEq(f64x2 a, f64x2 b) { return _mm_cmpeq_pd(a, b); }
// Not (a >= b): true for a < b and for NaN lanes.
inline f64x2 CmpNge(f64x2 a, f64x2 b) { return _mm_cmpnge_pd(a, b); }
inline int MoveMask(f64x2 v) { return _mm_movemask_pd(v); }
inline f64x2 Select(f64x2 mask, f64x2 yes, f64x2 no) { return Or(And(mask, yes), AndNot(mask, no)); }

// Sign bit of the imaginary lane (1) of one complex double, of the real lane (0).
inline f64x2 ImagSignMaskF64() { return _mm_castsi128_pd(_mm_set_epi64x(INT64_MIN, 0)); }
inline f64x2 RealSignMaskF64() { return _mm_castsi128_pd(_mm_set_epi64x(0, INT64_MIN)); }

// Lane moves. With two lanes, the half swap, the pair swap and the lane
// reversal are one move.
inline f64x2 SwapHalves(f64x2 v) { return _mm_shuffle_pd(v, v, 1); }
inline f64x2 Reverse(f64x2 v) { return SwapHalves(v); }
inline f64x2 DupLow(f64x2 v) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_movedup_pd(v);
#else
  return _mm_unpacklo_pd(v, v);
#endif
}
inline f64x2 DupHigh(f64x2 v) { return _mm_unpackhi_pd(v, v); }
// p[0] in both lanes (SSE3 on: one load, no shuffle).
inline f64x2 LoadDup(const double* p) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_loaddup_pd(p);
#else
  return _mm_load1_pd(p);
#endif
}
// (x0, y0) and (x1, y1): with two lanes, interleaving and de-interleaving
// pairs are the same moves.
inline f64x2 InterleaveLow(f64x2 x, f64x2 y) { return _mm_unpacklo_pd(x, y); }
inline f64x2 InterleaveHigh(f64x2 x, f64x2 y) { return _mm_unpackhi_pd(x, y); }
inline f64x2 EvenLanes(f64x2 x, f64x2 y) { return InterleaveLow(x, y); }
inline f64x2 OddLanes(f64x2 x, f64x2 y) { return InterleaveHigh(x, y); }
// Rows r0, r1 become the columns.
inline void Transpose2x2(f64x2& r0, f64x2& r1) {
  const f64x2 t = InterleaveLow(r0, r1);
  r1 = InterleaveHigh(r0, r1);
  r0 = t;
}
// l0 + l1.
inline double FoldLanes(f64x2 v) { return _mm_cvtsd_f64(_mm_add_sd(v, _mm_unpackhi_pd(v, v))); }

#if SP_SET_INDEX >= SP_SET_SSE3
inline f64x2 AddSub(f64x2 a, f64x2 b) { return _mm_addsub_pd(a, b); }
#endif

// One interleaved complex product (re, im), roundings as the float form.
inline f64x2 MulComplex(f64x2 a, f64x2 b) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return AddSub(Mul(a, DupLow(b)), Mul(SwapHalves(a), DupHigh(b)));
#else
  const f64x2 imNeg = Xor(DupHigh(a), RealSignMaskF64());
  return Add(Mul(DupLow(a), b), Mul(imNeg, SwapHalves(b)));
#endif
}
inline void MulComplexSplit(f64x2 aRe, f64x2 aIm, f64x2 bRe, f64x2 bIm, f64x2& re, f64x2& im) {
  re = Sub(Mul(aRe, bRe), Mul(aIm, bIm));
  im = Add(Mul(aIm, bRe), Mul(aRe, bIm));
}

// Single lanes and pairs moved as two 8-byte halves (any address, so a
// kernel never touches an element past the last one).
inline void StoreSingle(double* p, f64x2 v) { St(p, Lane0(v)); }
// Lane 1 from p[0], lane 0 kept.
inline f64x2 LoadHigh1(f64x2 keep, const double* p) { return _mm_loadh_pd(keep, p); }
inline void StoreHigh1(double* p, f64x2 v) { St(p, Lane1(v)); }
// One lane as its own 8-byte store that the compiler keeps as such (it
// would merge the plain forms above into shuffles and 16-byte stores).
inline void StoreLane0Kept(double* p, f64x2 v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_castpd_ps(v)); }
inline void StoreLane1Kept(double* p, f64x2 v) { _mm_storeh_pi(reinterpret_cast<__m64*>(p), _mm_castpd_ps(v)); }
inline f64x2 LoadSplit(const double* p) { return LoadHigh1(LoadSingle(p), p + 1); }
inline void StoreSplit(double* p, f64x2 v) {
  StoreSingle(p, v);
  StoreHigh1(p + 1, v);
}

// ---- Integer vectors (SSE2 on), one type per lane width ----
struct i8x16 {
  __m128i raw;
};
struct i16x8 {
  __m128i raw;
};
struct i32x4 {
  __m128i raw;
};
struct i64x2 {
  __m128i raw;
};

// The same 128 bits seen with another lane width.
template <class To, class From>
inline To Reinterpret(From v) {
  return To{v.raw};
}

inline __m128i LoadBits128(const void* p) {
#if SP_SET_INDEX >= SP_SET_SSE3
  return _mm_lddqu_si128(static_cast<const __m128i*>(p));
#else
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
#endif
}
// movdqu in every set: on some processors lddqu issues slower, which a
// loop bound by its loads and stores (a widening conversion) shows.
inline i16x8 LoadUByMovdqu(const int16_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
inline i8x16 LoadU(const int8_t* p) { return {LoadBits128(p)}; }
inline i16x8 LoadU(const int16_t* p) { return {LoadBits128(p)}; }
inline i32x4 LoadU(const int32_t* p) { return {LoadBits128(p)}; }
inline void StoreU(int16_t* p, i16x8 v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v.raw); }
inline void StoreU(int32_t* p, i32x4 v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v.raw); }

inline i32x4 SplatI32(int32_t x) { return {_mm_set1_epi32(x)}; }
inline i64x2 SplatI64(uint64_t x) { return {_mm_set1_epi64x(static_cast<long long>(x))}; }
inline i32x4 ZeroI32() { return {_mm_setzero_si128()}; }
inline i32x4 LanesI32(int32_t x0, int32_t x1, int32_t x2, int32_t x3) { return {_mm_setr_epi32(x0, x1, x2, x3)}; }
inline int32_t Lane0(i32x4 v) { return _mm_cvtsi128_si32(v.raw); }
inline int64_t Lane0(i64x2 v) { return _mm_cvtsi128_si64(v.raw); }
inline int64_t Lane1(i64x2 v) { return _mm_cvtsi128_si64(_mm_unpackhi_epi64(v.raw, v.raw)); }

inline i32x4 Bits(f32x4 v) { return {_mm_castps_si128(v)}; }
inline i64x2 Bits(f64x2 v) { return {_mm_castpd_si128(v)}; }
inline f32x4 FromBits(i32x4 v) { return _mm_castsi128_ps(v.raw); }
inline f64x2 FromBits(i64x2 v) { return _mm_castsi128_pd(v.raw); }

// Bitwise operations, for every lane width.
template <class V>
inline V And(V a, V b) {
  return {_mm_and_si128(a.raw, b.raw)};
}
template <class V>
inline V AndNot(V a, V b) {
  return {_mm_andnot_si128(a.raw, b.raw)};
}  // ~a & b
template <class V>
inline V Or(V a, V b) {
  return {_mm_or_si128(a.raw, b.raw)};
}
template <class V>
inline V Select(V mask, V yes, V no) {
  return Or(And(mask, yes), AndNot(mask, no));
}

inline i32x4 Add(i32x4 a, i32x4 b) { return {_mm_add_epi32(a.raw, b.raw)}; }
inline i32x4 Sub(i32x4 a, i32x4 b) { return {_mm_sub_epi32(a.raw, b.raw)}; }
inline i64x2 Add(i64x2 a, i64x2 b) { return {_mm_add_epi64(a.raw, b.raw)}; }
inline i64x2 Sub(i64x2 a, i64x2 b) { return {_mm_sub_epi64(a.raw, b.raw)}; }
inline i32x4 CmpGt(i32x4 a, i32x4 b) { return {_mm_cmpgt_epi32(a.raw, b.raw)}; }
inline i32x4 CmpLt(i32x4 a, i32x4 b) { return {_mm_cmplt_epi32(a.raw, b.raw)}; }
inline i32x4 CmpEq(i32x4 a, i32x4 b) { return {_mm_cmpeq_epi32(a.raw, b.raw)}; }
inline i32x4 Max(i32x4 a, i32x4 b) { return Select(CmpGt(a, b), a, b); }
inline i32x4 Min(i32x4 a, i32x4 b) { return Select(CmpLt(a, b), a, b); }
// Bit i = sign bit of 32-bit lane i.
inline int MoveMask(i32x4 v) { return _mm_movemask_ps(_mm_castsi128_ps(v.raw)); }

// Shifts by a constant; arithmetic ones copy the sign bit in.
template <int kCount>
inline i32x4 ShiftLeft(i32x4 v) {
  return {_mm_slli_epi32(v.raw, kCount)};
}
template <int kCount>
inline i32x4 ShiftRightLogical(i32x4 v) {
  return {_mm_srli_epi32(v.raw, kCount)};
}
template <int kCount>
inline i32x4 ShiftRightArith(i32x4 v) {
  return {_mm_srai_epi32(v.raw, kCount)};
}
template <int kCount>
inline i64x2 ShiftRightLogical(i64x2 v) {
  return {_mm_srli_epi64(v.raw, kCount)};
}
// Shifts by a run-time count (0..31).
inline i32x4 ShiftLeft(i32x4 v, int32_t count) { return {_mm_sll_epi32(v.raw, _mm_cvtsi32_si128(count))}; }

// Low 32-bit halves of the two 64-bit lanes as lanes 0 and 1 (2 and 3: copies).
inline i32x4 LowHalvesOfI64(i64x2 v) { return {_mm_shuffle_epi32(v.raw, _MM_SHUFFLE(3, 3, 2, 0))}; }
// Lanes 0, 1 of lo and 0, 1 of hi (each taken as one 64-bit half).
inline i32x4 JoinLow64(i32x4 lo, i32x4 hi) { return {_mm_unpacklo_epi64(lo.raw, hi.raw)}; }

// Sign extension by unpacking a lane onto itself and shifting it back down.
inline i16x8 WidenLowI8ToI16(i8x16 v) { return {_mm_srai_epi16(_mm_unpacklo_epi8(v.raw, v.raw), 8)}; }
inline i16x8 WidenHighI8ToI16(i8x16 v) { return {_mm_srai_epi16(_mm_unpackhi_epi8(v.raw, v.raw), 8)}; }
// 16 to 32 bits by unpacking against the sign mask instead: one compare
// serves both halves (the compiler merges the two), three operations per
// eight lanes instead of four, the same values.
inline i16x8 SignMaskI16(i16x8 v) { return {_mm_cmplt_epi16(v.raw, _mm_setzero_si128())}; }
inline i32x4 WidenLowI16ToI32(i16x8 v) { return {_mm_unpacklo_epi16(v.raw, SignMaskI16(v).raw)}; }
inline i32x4 WidenHighI16ToI32(i16x8 v) { return {_mm_unpackhi_epi16(v.raw, SignMaskI16(v).raw)}; }
// Bytes 4q..4q+3 of v to four int32 lanes.
inline i32x4 WidenQuarterI8ToI32(i8x16 v, int q) {
#if SP_SET_INDEX >= SP_SET_SSSE3
  // Each byte lands in the top byte of its lane (-1 zeroes the others);
  // the shift then sign-extends it.
  const char b = static_cast<char>(4 * q);
  const __m128i index = _mm_setr_epi8(-1, -1, -1, b, -1, -1, -1, static_cast<char>(b + 1), -1, -1, -1,
                                      static_cast<char>(b + 2), -1, -1, -1, static_cast<char>(b + 3));
  return {_mm_srai_epi32(_mm_shuffle_epi8(v.raw, index), 24)};
#else
  const i16x8 half = (q < 2) ? WidenLowI8ToI16(v) : WidenHighI8ToI16(v);
  return (q % 2 == 0) ? WidenLowI16ToI32(half) : WidenHighI16ToI32(half);
#endif
}
// Lane i: a[2i] * b[2i] + a[2i+1] * b[2i+1], exact in 32 bits.
inline i32x4 PairDotI16(i16x8 a, i16x8 b) { return {_mm_madd_epi16(a.raw, b.raw)}; }
// The same pair of int16 in every 32-bit lane, the first in the low half.
inline i16x8 SplatPairI16(int16_t first, int16_t second) {
  return {_mm_set1_epi32(static_cast<int32_t>(static_cast<uint16_t>(first) | (uint32_t{static_cast<uint16_t>(second)} << 16)))};
}
// Eight int32 lanes of a and b to int16 with saturation.
inline i16x8 PackSatI32ToI16(i32x4 a, i32x4 b) { return {_mm_packs_epi32(a.raw, b.raw)}; }

// x / 2^s (s in 1..31) rounded to nearest, ties to even, in 32-bit lanes.
// The sum can wrap only for x >= 0, where its unsigned value is still exact,
// so those lanes shift logically and negative lanes arithmetically.
inline i32x4 RoundingShiftRightI32(i32x4 x, int32_t s) {
  const __m128i count = _mm_cvtsi32_si128(s);
  const __m128i bias = _mm_set1_epi32(static_cast<int32_t>((uint32_t{1} << (s - 1)) - 1));
  const __m128i odd = _mm_and_si128(_mm_sra_epi32(x.raw, count), _mm_set1_epi32(1));
  const __m128i sum = _mm_add_epi32(_mm_add_epi32(x.raw, bias), odd);
  const __m128i negative = _mm_srai_epi32(x.raw, 31);
  return {_mm_or_si128(_mm_and_si128(negative, _mm_sra_epi32(sum, count)),
                       _mm_andnot_si128(negative, _mm_srl_epi32(sum, count)))};
}

// Conversions between integer and float lanes.
inline f32x4 I32ToF32(i32x4 v) { return _mm_cvtepi32_ps(v.raw); }
inline f64x2 LowI32ToF64(i32x4 v) { return _mm_cvtepi32_pd(v.raw); }
inline f64x2 HighI32ToF64(i32x4 v) { return _mm_cvtepi32_pd(_mm_unpackhi_epi64(v.raw, v.raw)); }
// Nearest under the MXCSR rounding (out-of-range and NaN give 0x80000000).
inline i32x4 F32ToI32Round(f32x4 v) { return {_mm_cvtps_epi32(v)}; }
// Two doubles to the low two int32 lanes: nearest under the MXCSR rounding,
// or truncation; out-of-range and NaN give 0x80000000.
inline i32x4 F64ToI32Round(f64x2 v) { return {_mm_cvtpd_epi32(v)}; }
inline i32x4 F64ToI32Trunc(f64x2 v) { return {_mm_cvttpd_epi32(v)}; }
#endif  // SSE2

#if SP_SET_HAS_F32_VECTORS
// 2^a and 2^b with a + b = n and each half within the normal range, for
// integral lanes n in [-252, 254]: scaling by both applies 2^n even where
// 2^n alone is no float (2^128) or no normal float (2^-127 and below). The
// SSE set has no packed integers: it builds them lane by lane.
inline void PowerOfTwoHalves(f32x4 n, f32x4& lowHalf, f32x4& highHalf) {
#if SP_SET_INDEX >= SP_SET_SSE2
  const i32x4 k = F32ToI32Round(n);
  const i32x4 a = ShiftRightArith<1>(k);
  const i32x4 b = Sub(k, a);
  const i32x4 bias = SplatI32(127);
  lowHalf = FromBits(ShiftLeft<23>(Add(a, bias)));
  highHalf = FromBits(ShiftLeft<23>(Add(b, bias)));
#else
  alignas(16) float lanes[4];
  float lo[4];
  float hi[4];
  Store(lanes, n);
  for (int j = 0; j < 4; ++j) {
    const int32_t k = static_cast<int32_t>(lanes[j]);
    const int32_t a = k >> 1;
    lo[j] = FloatFromBits(static_cast<uint32_t>(a + 127) << 23);
    hi[j] = FloatFromBits(static_cast<uint32_t>(k - a + 127) << 23);
  }
  // Assembled in registers: a reload of four scalar stores would stall.
  lowHalf = Lanes(lo[0], lo[1], lo[2], lo[3]);
  highHalf = Lanes(hi[0], hi[1], hi[2], hi[3]);
#endif
}
#endif

}  // namespace SP_SET_NS::simd
