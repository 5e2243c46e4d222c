// Vector operations of the elementwise, complex, square and threshold
// families beyond primitives/frame/simd.h: store fence, sign masks, lane
// shuffles of interleaved complex data, and the element-alignment test.
// Include only from *_variant.cpp.
#pragma once
#include <bit>
#include <cstdint>

#include "primitives/frame/simd.h"
#include "primitives/vector/float_bits.h"

namespace SP_SET_NS {

using simd::AddressOf;
using simd::Aligned16;
using simd::Ld;
using simd::St;

template <class T>
inline bool ElementAligned(const T* p) { return (AddressOf(p) % sizeof(T)) == 0; }

// Bit-level helpers shared by the scalar paths of every set.
inline float FloatWithBitsCleared(float x, uint32_t mask) {
  return std::bit_cast<float>(std::bit_cast<uint32_t>(x) & ~mask);
}
inline double DoubleWithBitsCleared(double x, uint64_t mask) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(x) & ~mask);
}
inline float FloatWithBitsFlipped(float x, uint32_t mask) {
  return std::bit_cast<float>(std::bit_cast<uint32_t>(x) ^ mask);
}
inline double DoubleWithBitsFlipped(double x, uint64_t mask) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(x) ^ mask);
}
inline float FloatWithBitsSet(float x, uint32_t mask) {
  return std::bit_cast<float>(std::bit_cast<uint32_t>(x) | mask);
}
inline double DoubleWithBitsSet(double x, uint64_t mask) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(x) | mask);
}

}  // namespace SP_SET_NS

namespace SP_SET_NS::simd {

#if SP_SET_INDEX >= 1
// Orders streaming stores before anything the caller does next.
inline void StoreFence() { _mm_sfence(); }

// Sign bit of the imaginary lanes (1 and 3) of two interleaved complex floats.
inline f32x4 ImagSignMaskF32() {
  const float s = std::bit_cast<float>(kF32SignBit);
  return _mm_set_ps(s, 0.0f, s, 0.0f);
}
// Sign bit of the real lanes (0 and 2).
inline f32x4 RealSignMaskF32() {
  const float s = std::bit_cast<float>(kF32SignBit);
  return _mm_set_ps(0.0f, s, 0.0f, s);
}
// (re, im, re, im) -> (im, re, im, re)
inline f32x4 SwapPairs(f32x4 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }
// (x0, x1, x2, x3) -> (x0, x0, x2, x2) and (x1, x1, x3, x3)
inline f32x4 DupEven(f32x4 v) {
#if SP_SET_INDEX >= 3
  return _mm_moveldup_ps(v);
#else
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 0, 0));
#endif
}
inline f32x4 DupOdd(f32x4 v) {
#if SP_SET_INDEX >= 3
  return _mm_movehdup_ps(v);
#else
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 1, 1));
#endif
}
// Even lanes of two vectors (x0, x2, y0, y2) and odd lanes (x1, x3, y1, y3):
// bit moves only, no arithmetic.
inline f32x4 EvenLanes(f32x4 x, f32x4 y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0)); }
inline f32x4 OddLanes(f32x4 x, f32x4 y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(3, 1, 3, 1)); }
#endif

#if SP_SET_INDEX >= 2
// Sign bit of the imaginary lane of one complex double.
inline f64x2 ImagSignMaskF64() { return _mm_set_pd(std::bit_cast<double>(kF64SignBit), 0.0); }
inline f64x2 RealSignMaskF64() { return _mm_set_pd(0.0, std::bit_cast<double>(kF64SignBit)); }
inline f64x2 SwapPair(f64x2 v) { return _mm_shuffle_pd(v, v, 1); }
inline f64x2 DupLow(f64x2 v) {
#if SP_SET_INDEX >= 3
  return _mm_movedup_pd(v);
#else
  return _mm_unpacklo_pd(v, v);
#endif
}
inline f64x2 DupHigh(f64x2 v) { return _mm_unpackhi_pd(v, v); }
#endif

#if SP_SET_INDEX >= 3
// Subtract in the even lanes, add in the odd lanes.
inline f32x4 AddSub(f32x4 a, f32x4 b) { return _mm_addsub_ps(a, b); }
inline f64x2 AddSub(f64x2 a, f64x2 b) { return _mm_addsub_pd(a, b); }
#endif

}  // namespace SP_SET_NS::simd
