// Conjugation in place and splitting of complex arrays, one variant set.
//
// Conjugation: the generic set (and the SSE set in double precision) negates
// on the x87 unit, whose load quiets a signalling NaN; the SSE set computes
// 0 - im in single precision (so +0 stays +0 and a NaN keeps its sign); the
// SSE2 set on flips the sign bit and keeps every other bit.
// Split: bit copies in every set; the generic and SSE sets make a pass for
// the real parts, then one for the imaginary parts (the SSE2 set on chunk by
// chunk, short arrays in one pass for both).
#include "primitives/vector/sp_complex.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/elementwise_walk.h"
#include "primitives/frame/sp_status.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

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

#if SP_SET_HAS_F32_VECTORS
using walk::LoadAs;
using walk::StoreAs;
using walk::StoreKind;
#endif

#if SP_SET_INDEX == SP_SET_SSE
// The SSE set: im = 0 - im in single precision, real lanes kept as they are.
// Not -x: 0 - (+0) is +0, and a NaN operand keeps its sign.
inline float ZeroMinus(float x) { return 0.0f - x; }

template <bool Aligned>
void ConjZeroMinusBlocks(float* p, int64_t floats) {
  const float ones = FloatFromBits(0xFFFFFFFFu);
  const f32x4 realLanes = Lanes(ones, 0.0f, ones, 0.0f);
  auto one = [&](float* q) {
    const f32x4 v = LoadAs<Aligned>(q);
    StoreAs<Aligned ? StoreKind::Aligned : StoreKind::Unaligned>(q, Select(realLanes, v, Sub(Zero4(), v)));
  };
  for (int64_t i = 0; i < floats; i += 8) {
    one(p + i);
    one(p + i + 4);
  }
}

void ConjC32Sse(float* srcDst, int64_t n) {
  const int64_t blocks = n / 4;  // 4 elements, two vectors, per step
  if (Aligned16(srcDst))
    ConjZeroMinusBlocks<true>(srcDst, blocks * 8);
  else
    ConjZeroMinusBlocks<false>(srcDst, blocks * 8);
  for (int64_t k = blocks * 4; k < n; ++k) St(srcDst + 2 * k + 1, ZeroMinus(Ld(srcDst + 2 * k + 1)));
}
#endif

#if SP_SET_HAS_F64_VECTORS
// Flips the sign bit of every imaginary part (odd scalar index). The vectors
// start at the first 16-byte boundary, even inside an element, with the mask
// on the lanes that hold imaginary parts there; the scalars before and after
// them are flipped singly.
template <class T>
struct FlipOp {
  walk::Vec<T> mask;
  walk::Vec<T> Vector(walk::Vec<T> v) const { return Xor(v, mask); }
};
template <class T>
void ConjXor(T* p, int64_t n) {
  const int64_t total = 2 * n;
  auto flipFrom = [&](int64_t from, int64_t to) {
    for (int64_t j = from | 1; j < to; j += 2) {
      if constexpr (sizeof(T) == 4)
        St(p + j, FloatWithBitsFlipped(Ld(p + j), kF32SignBit));
      else
        St(p + j, DoubleWithBitsFlipped(Ld(p + j), kF64SignBit));
    }
  };
  int64_t start = 0;
  if (ElementAligned(p))
    while (start < total && !Aligned16(p + start)) ++start;
  flipFrom(0, start);
  constexpr int64_t kStep = 4 * walk::kLanes<T>;
  const int64_t count = (total - start) / kStep * kStep;
  walk::Vec<T> mask;
  if constexpr (sizeof(T) == 4)
    mask = start % 2 == 0 ? simd::ImagSignMaskF32() : simd::RealSignMaskF32();
  else
    mask = start % 2 == 0 ? simd::ImagSignMaskF64() : simd::RealSignMaskF64();
  T* const q = p + start;
  const FlipOp<T> flip{mask};
  if (Aligned16(q))
    walk::UnaryBlockLoop<4, true, StoreKind::Aligned>(q, q, count, flip);
  else
    walk::UnaryBlockLoop<4, false, StoreKind::Unaligned>(q, q, count, flip);
  flipFrom(start + count, total);
}

// One part (0 real, 1 imaginary) of elements [from, to) into dst, four per
// vector by lane shuffles; the caller has aligned dst + from when it could.
template <int Part, bool SrcAligned, StoreKind K>
void PartBlocks(const float* src, float* dst, int64_t from, int64_t to) {
  for (int64_t i = from; i < to; i += 8) {
    const simd::f32x4 v0 = LoadAs<SrcAligned>(src + 2 * i);
    const simd::f32x4 v1 = LoadAs<SrcAligned>(src + 2 * i + 4);
    const simd::f32x4 v2 = LoadAs<SrcAligned>(src + 2 * i + 8);
    const simd::f32x4 v3 = LoadAs<SrcAligned>(src + 2 * i + 12);
    if constexpr (Part == 0) {
      StoreAs<K>(dst + i, simd::EvenLanes(v0, v1));
      StoreAs<K>(dst + i + 4, simd::EvenLanes(v2, v3));
    } else {
      StoreAs<K>(dst + i, simd::OddLanes(v0, v1));
      StoreAs<K>(dst + i + 4, simd::OddLanes(v2, v3));
    }
  }
}

// Up to this many elements the split is one pass of unaligned vectors: a
// short call is then mostly its fixed cost, which the alignment head and
// the two passes would only add to.
constexpr int64_t kShortSplitMax = 64;

// Element k's real and imaginary parts to their arrays, as bits.
inline void SplitOne(const float* src, float* dstRe, float* dstIm, int64_t k) {
  std::memcpy(dstRe + k, src + 2 * k, sizeof(float));
  std::memcpy(dstIm + k, src + 2 * k + 1, sizeof(float));
}

// Whether the two outputs share elements: arrays beyond the short walk then
// keep the two passes (chunk by chunk) they always took, as that is what
// such outputs were left holding.
inline bool OutputsOverlap(const float* dstRe, const float* dstIm, int64_t n) {
  const uintptr_t bytes = static_cast<uintptr_t>(n) * sizeof(float);
  return AddressOf(dstRe) < AddressOf(dstIm) + bytes && AddressOf(dstIm) < AddressOf(dstRe) + bytes;
}

// Four elements per step, both parts at once; a tail of one to three
// elements copies the last four again (the same bits to the same places).
void SplitShort(const float* src, float* dstRe, float* dstIm, int64_t n) {
  if (n < 4) {
    for (int64_t k = 0; k < n; ++k) SplitOne(src, dstRe, dstIm, k);
    return;
  }
  auto four = [&](int64_t k) {
    const simd::f32x4 v0 = simd::LoadU(src + 2 * k), v1 = simd::LoadU(src + 2 * k + 4);
    simd::StoreU(dstRe + k, simd::EvenLanes(v0, v1));
    simd::StoreU(dstIm + k, simd::OddLanes(v0, v1));
  };
  int64_t k = 0;
  for (; k + 4 <= n; k += 4) four(k);
  if (k < n) four(n - 4);
}

// Longer arrays whose outputs do not share elements: both parts in one
// pass, eight elements a step by movups loads (lddqu issues slower in a
// loop bound by its loads and stores), which reads the source once where
// the two passes read it twice; the last one to seven elements as the
// short walk takes them (n is above 64).
[[gnu::noinline]] void SplitOnePass(const float* src, float* dstRe, float* dstIm, int64_t n) {
  auto four = [&](int64_t k) {
    const simd::f32x4 v0 = simd::LoadUByMovups(src + 2 * k), v1 = simd::LoadUByMovups(src + 2 * k + 4);
    simd::StoreU(dstRe + k, simd::EvenLanes(v0, v1));
    simd::StoreU(dstIm + k, simd::OddLanes(v0, v1));
  };
  const int64_t eights = n & ~int64_t{7};
  for (int64_t k = 0; k < eights; k += 8) {
    four(k);
    four(k + 4);
  }
  if (n - eights >= 4) four(eights);
  if (n & 3) four(n - 4);
}

// A pass for the real parts, then one for the imaginary parts, taken chunk
// by chunk so that the second pass finds the source in the first-level
// cache: singles until dstRe is 16-byte aligned, then eight elements per
// step by lane shuffles, then singles. Out of line, so that the short path
// inlined in the entry leaves its loops' placement alone (measured).
[[gnu::noinline]] void spkSplitComplexC32(const float* src, float* dstRe, float* dstIm, int64_t n) {
  auto single = [&](int64_t k) { SplitOne(src, dstRe, dstIm, k); };
  int64_t k = 0;
  if (ElementAligned(dstRe))
    for (; k < n && !Aligned16(dstRe + k); ++k) single(k);
  const int64_t end = k + (n - k) / 8 * 8;
  constexpr int64_t kChunk = 2048;  // 16 KiB of source
  walk::WithFlag(Aligned16(src + 2 * k), [&](auto sa) {
    walk::WithFlag(Aligned16(dstRe + k), [&](auto ra) {
      walk::WithFlag(Aligned16(dstIm + k), [&](auto ia) {
        constexpr bool SA = decltype(sa)::value;
        constexpr StoreKind KR = decltype(ra)::value ? StoreKind::Aligned : StoreKind::Unaligned;
        constexpr StoreKind KI = decltype(ia)::value ? StoreKind::Aligned : StoreKind::Unaligned;
        for (int64_t from = k; from < end; from += kChunk) {
          const int64_t to = std::min(from + kChunk, end);
          PartBlocks<0, SA, KR>(src, dstRe, from, to);
          PartBlocks<1, SA, KI>(src, dstIm, from, to);
        }
      });
    });
  });
  for (k = end; k < n; ++k) single(k);
}
#endif

#if SP_SET_INDEX < SP_SET_SSE2
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
  if (const spStatus st = CheckArrays(n, srcDst); st != spOk) return st;
#if SP_SET_INDEX == SP_SET_GENERIC
  ConjX87(srcDst, n);
#elif SP_SET_INDEX == SP_SET_SSE
  ConjC32Sse(srcDst, n);
#else
  ConjXor(srcDst, n);
#endif
  return spOk;
}

spStatus SP_V(spConjInPlaceC64)(double* srcDst, int32_t n) {
  if (const spStatus st = CheckArrays(n, srcDst); st != spOk) return st;
#if SP_SET_HAS_F64_VECTORS
  ConjXor(srcDst, n);
#else
  ConjX87(srcDst, n);
#endif
  return spOk;
}

spStatus SP_V(spSplitComplexC32)(const float* src, float* dstRe, float* dstIm, int32_t n) {
  if (const spStatus st = CheckArrays(n, src, dstRe, dstIm); st != spOk) return st;
#if SP_SET_INDEX >= SP_SET_SSE2
  if (n <= kShortSplitMax)
    SplitShort(src, dstRe, dstIm, n);
  else if (!OutputsOverlap(dstRe, dstIm, n))
    SplitOnePass(src, dstRe, dstIm, n);
  else
    spkSplitComplexC32(src, dstRe, dstIm, n);
#else
  SplitCopies(src, dstRe, dstIm, n);
#endif
  return spOk;
}

}  // namespace SP_SET_NS

// The conjugation and split dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_CONJ_SPLIT_ENTRIES)
#endif
