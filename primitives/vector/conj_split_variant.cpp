// Conjugation in place and splitting of complex arrays, one variant set.
//
// Conjugation: the generic set (and the SSE set in double precision) negates
// on the x87 unit, whose load quiets a signalling NaN; the SSE set computes
// 0 - im in single precision (so +0 stays +0 and a NaN keeps its sign); the
// SSE2 set on flips the sign bit and keeps every other bit.
// Split: bit copies in every set, a pass for the real parts, then one for the
// imaginary parts.
#include <bit>
#include <cstdint>
#include <cstring>

#include "primitives/frame/sp_status.h"
#include "primitives/vector/arith_blocks.h"

namespace SP_SET_NS {
namespace {

// x87-style negation: sign flipped, a NaN comes back quiet.
inline float NegateX87(float x) {
  const float r = FloatWithBitsFlipped(x, kF32SignBit);
  return r != r ? FloatWithBitsSet(r, kF32QuietBit) : r;
}
inline double NegateX87(double x) {
  const double r = DoubleWithBitsFlipped(x, kF64SignBit);
  return r != r ? DoubleWithBitsSet(r, kF64QuietBit) : r;
}

template <class T>
void ConjX87(T* srcDst, int64_t n) {
  int64_t k = 0;
  for (; k + 4 <= n; k += 4) {
    for (int64_t j = k; j < k + 4; ++j) St(srcDst + 2 * j + 1, NegateX87(Ld(srcDst + 2 * j + 1)));
  }
  for (; k < n; ++k) St(srcDst + 2 * k + 1, NegateX87(Ld(srcDst + 2 * k + 1)));
}

#if SP_SET_INDEX >= 1
using blocks::LoadAs;
using blocks::StoreAs;
using blocks::StoreKind;
#endif

#if SP_SET_INDEX == 1
// The SSE set: im = 0 - im in single precision, real lanes kept as they are.
// Not -x: 0 - (+0) is +0, and a NaN operand keeps its sign.
inline float ZeroMinus(float x) { return 0.0f - x; }

template <bool Aligned>
void ConjZeroMinusBlocks(float* p, int64_t floats) {
  const float ones = std::bit_cast<float>(0xFFFFFFFFu);
  const simd::f32x4 realLanes = _mm_set_ps(0.0f, ones, 0.0f, ones);
  for (int64_t i = 0; i < floats; i += 4) {
    const simd::f32x4 v = LoadAs<Aligned>(p + i);
    const simd::f32x4 negated = simd::Sub(simd::Zero4(), v);
    const simd::f32x4 r = simd::Or(simd::And(v, realLanes), simd::AndNot(realLanes, negated));
    if constexpr (Aligned) simd::Store(p + i, r);
    else simd::StoreU(p + i, r);
  }
}

void ConjC32Sse(float* srcDst, int64_t n) {
  const int64_t blocks = n / 4;  // 4 elements, two vectors, per step
  if (Aligned16(srcDst)) ConjZeroMinusBlocks<true>(srcDst, blocks * 8);
  else ConjZeroMinusBlocks<false>(srcDst, blocks * 8);
  for (int64_t k = blocks * 4; k < n; ++k) St(srcDst + 2 * k + 1, ZeroMinus(Ld(srcDst + 2 * k + 1)));
}
#endif

#if SP_SET_INDEX >= 2
// Sign-mask exclusive-or over whole vectors of interleaved data.
template <bool Aligned, class T>
void XorBlocks(T* p, int64_t count, blocks::Vec<T> mask) {
  constexpr int64_t L = blocks::kLanes<T>;
  for (int64_t i = 0; i < count; i += 4 * L) {
    if constexpr (sizeof(T) == 8) simd::PrefetchT0(p + i + 32);
    const blocks::Vec<T> v0 = LoadAs<Aligned>(p + i);
    const blocks::Vec<T> v1 = LoadAs<Aligned>(p + i + L);
    const blocks::Vec<T> v2 = LoadAs<Aligned>(p + i + 2 * L);
    const blocks::Vec<T> v3 = LoadAs<Aligned>(p + i + 3 * L);
    constexpr StoreKind K = Aligned ? StoreKind::Aligned : StoreKind::Unaligned;
    StoreAs<K>(p + i, simd::Xor(v0, mask));
    StoreAs<K>(p + i + L, simd::Xor(v1, mask));
    StoreAs<K>(p + i + 2 * L, simd::Xor(v2, mask));
    StoreAs<K>(p + i + 3 * L, simd::Xor(v3, mask));
  }
}

void ConjC32Xor(float* srcDst, int64_t n) {
  int64_t k = 0;
  if ((AddressOf(srcDst) & 15) == 8) {  // one element to reach a 16-byte boundary
    St(srcDst + 1, FloatWithBitsFlipped(Ld(srcDst + 1), kF32SignBit));
    k = 1;
  }
  float* p = srcDst + 2 * k;
  const int64_t count = (n - k) / 8 * 16;  // 8 elements per step
  if (Aligned16(p)) XorBlocks<true>(p, count, simd::ImagSignMaskF32());
  else XorBlocks<false>(p, count, simd::ImagSignMaskF32());
  for (k += count / 2; k < n; ++k) St(srcDst + 2 * k + 1, FloatWithBitsFlipped(Ld(srcDst + 2 * k + 1), kF32SignBit));
}

void ConjC64Xor(double* srcDst, int64_t n) {
  const int64_t count = n / 4 * 8;  // 4 elements per step
  if (Aligned16(srcDst)) XorBlocks<true>(srcDst, count, simd::ImagSignMaskF64());
  else XorBlocks<false>(srcDst, count, simd::ImagSignMaskF64());
  for (int64_t k = count / 2; k < n; ++k)
    St(srcDst + 2 * k + 1, DoubleWithBitsFlipped(Ld(srcDst + 2 * k + 1), kF64SignBit));
}

// One part (0 real, 1 imaginary) of every element into dst: singles until
// dst is 16-byte aligned (all singles when it is not 4-byte aligned), then
// 16 elements per step by lane shuffles, then singles.
template <int Part>
void spkComplexPartC32(const float* src, float* dst, int64_t n) {
  int64_t k = 0;
  auto single = [&](int64_t i) { std::memcpy(dst + i, src + 2 * i + Part, sizeof(float)); };
  if (!ElementAligned(dst)) {
    for (; k < n; ++k) single(k);
    return;
  }
  for (; k < n && !Aligned16(dst + k); ++k) single(k);
  const int64_t count = (n - k) / 16 * 16;
  auto run = [&](auto aligned) {
    constexpr bool A = decltype(aligned)::value;
    for (int64_t i = k; i < k + count; i += 4) {
      const simd::f32x4 lo = LoadAs<A>(src + 2 * i);
      const simd::f32x4 hi = LoadAs<A>(src + 2 * i + 4);
      simd::Store(dst + i, Part == 0 ? simd::EvenLanes(lo, hi) : simd::OddLanes(lo, hi));
    }
  };
  blocks::WithFlag(Aligned16(src + 2 * k), run);
  for (k += count; k < n; ++k) single(k);
}
#endif

#if SP_SET_INDEX < 2
// Generic split: both passes over whole groups of four, then both over the
// rest.
void SplitCopies(const float* src, float* dstRe, float* dstIm, int64_t n) {
  const int64_t whole = n / 4 * 4;
  auto pass = [&](float* dst, int part, int64_t from, int64_t to) {
    for (int64_t i = from; i < to; ++i) std::memcpy(dst + i, src + 2 * i + part, sizeof(float));
  };
  pass(dstRe, 0, 0, whole);
  pass(dstIm, 1, 0, whole);
  pass(dstRe, 0, whole, n);
  pass(dstIm, 1, whole, n);
}
#endif

}  // namespace

spStatus SP_V(spConjInPlaceC32)(float* srcDst, int32_t n) {
  if (srcDst == nullptr) return spErrNullPointer;
  if (n < 1) return spErrLength;
#if SP_SET_INDEX == 0
  ConjX87(srcDst, n);
#elif SP_SET_INDEX == 1
  ConjC32Sse(srcDst, n);
#else
  ConjC32Xor(srcDst, n);
#endif
  return spOk;
}

spStatus SP_V(spConjInPlaceC64)(double* srcDst, int32_t n) {
  if (srcDst == nullptr) return spErrNullPointer;
  if (n < 1) return spErrLength;
#if SP_SET_INDEX >= 2
  ConjC64Xor(srcDst, n);
#else
  ConjX87(srcDst, n);
#endif
  return spOk;
}

spStatus SP_V(spSplitComplexC32)(const float* src, float* dstRe, float* dstIm, int32_t n) {
  if (src == nullptr || dstRe == nullptr || dstIm == nullptr) return spErrNullPointer;
  if (n < 1) return spErrLength;
#if SP_SET_INDEX >= 2
  spkComplexPartC32<0>(src, dstRe, n);
  spkComplexPartC32<1>(src, dstIm, n);
#else
  SplitCopies(src, dstRe, dstIm, n);
#endif
  return spOk;
}

}  // namespace SP_SET_NS
