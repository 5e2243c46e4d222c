// The elementwise walks of the SIMD sets' kernels, each with its tail policy:
//
//   Short walks (ShortBinary, ShortConst, and UnaryWalk below kShortBelow):
//     arrays under kShortBelow elements go straight through unaligned pairs
//     of vectors, then one vector, then single elements. The call is then
//     mostly its fixed cost, which an alignment head would only add to;
//     every element still gets the same one operation, so only the walk
//     differs, never a result.
//   BinaryBlockLoop / ConstBlockLoop after AlignHead (from kShortBelow
//     elements on): the written array is aligned to 16 bytes by single
//     elements (or, when it is not element-aligned, left as it is with
//     unaligned stores), then 32-byte blocks of two vectors, then the rest
//     singly.
//   UnaryWalk (from kShortBelow elements on): single elements until the
//     written array is 16-byte aligned (while it is element-aligned), blocks
//     of a fixed number of vectors, then one vector at a time, then single
//     elements.
//   FourWideFrom: float blocks of two vectors (both computed, then both
//     stored), one vector, then the last one to three elements in a padded
//     vector.
//
// Each source is read with aligned loads when its own address is 16-byte
// aligned where the blocks start. Each vector is stored before the next is
// loaded (the compiler may not reorder them, as a destination may be a
// source): loading a pair first was measured slower when the pair straddles
// a cache line. Software prefetch is left out: on current processors the
// hardware prefetchers keep up with these linear walks and explicit
// prefetches only cost issue slots (measured with bench/bench_arith).
// Use a walk only where a primitive's own order of elements and tail
// handling are the walk's. Include only from *_variant.cpp.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "primitives/frame/simd.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::walk {

enum class StoreKind { Aligned, Unaligned, Streaming };

template <class T>
struct VecOf;
template <>
struct VecOf<float> {
  using type = simd::f32x4;
};
#if SP_SET_HAS_F64_VECTORS
template <>
struct VecOf<double> {
  using type = simd::f64x2;
};
#endif
template <class T>
using Vec = typename VecOf<T>::type;
template <class T>
inline constexpr int64_t kLanes = 16 / sizeof(T);
template <class T>
inline constexpr int64_t kBlock = 32 / sizeof(T);
// Below this many elements (256 bytes) an array takes the short walk.
template <class T>
inline constexpr int64_t kShortBelow = 256 / sizeof(T);

using simd::LoadAs;
template <StoreKind K, class T>
inline void StoreAs(T* p, Vec<T> v) {
  if constexpr (K == StoreKind::Aligned)
    simd::Store(p, v);
  else if constexpr (K == StoreKind::Unaligned)
    simd::StoreU(p, v);
  else
    simd::Stream(p, v);
}

// Calls f(std::bool_constant<flag>{}) so that a run-time alignment test picks
// a loop specialised for it.
template <class F>
inline void WithFlag(bool flag, F&& f) {
  if (flag)
    f(std::true_type{});
  else
    f(std::false_type{});
}

// dst[i] = Op(x[i], y[i]) over whole blocks; x or y may be dst itself.
template <class Op, StoreKind K, bool XA, bool YA, class T>
void BinaryBlockLoop(const T* x, const T* y, T* dst, int64_t count) {
  constexpr int64_t L = kLanes<T>;
  for (int64_t i = 0; i < count; i += kBlock<T>) {
    StoreAs<K>(dst + i, Op::Vector(LoadAs<XA>(x + i), LoadAs<YA>(y + i)));
    StoreAs<K>(dst + i + L, Op::Vector(LoadAs<XA>(x + i + L), LoadAs<YA>(y + i + L)));
  }
}

// dst[i] = Op(x[i], c) over whole blocks.
template <class Op, StoreKind K, bool XA, class T>
void ConstBlockLoop(const T* x, Vec<T> c, T* dst, int64_t count) {
  constexpr int64_t L = kLanes<T>;
  for (int64_t i = 0; i < count; i += kBlock<T>) {
    StoreAs<K>(dst + i, Op::Vector(LoadAs<XA>(x + i), c));
    StoreAs<K>(dst + i + L, Op::Vector(LoadAs<XA>(x + i + L), c));
  }
}

// dst[i] = op.Vector(src[i..]) over whole blocks of kVectors vectors; src
// may be dst.
template <int64_t kVectors, bool SrcAligned, StoreKind K, class T, class Op, size_t... k>
inline void UnaryBlock(const T* src, T* dst, const Op& op, std::index_sequence<k...>) {
  constexpr int64_t L = kLanes<T>;
  (StoreAs<K>(dst + int64_t{k} * L, op.Vector(LoadAs<SrcAligned>(src + int64_t{k} * L))), ...);
}
template <int64_t kVectors, bool SrcAligned, StoreKind K, class T, class Op>
void UnaryBlockLoop(const T* src, T* dst, int64_t count, const Op& op) {
  for (int64_t i = 0; i < count; i += kVectors * kLanes<T>)
    UnaryBlock<kVectors, SrcAligned, K>(src + i, dst + i, op, std::make_index_sequence<kVectors>{});
}

// dst[i] = op(src[i]) with op.Scalar(T) and op.Vector(Vec<T>) giving the
// same bits; src and dst are the same array or apart.
template <int64_t kVectors, class T, class Op>
void UnaryWalk(const T* src, T* dst, int64_t n, const Op& op) {
  constexpr int64_t L = kLanes<T>;
  int64_t i = 0;
  if (n < kShortBelow<T>) {
    for (; i + 2 * L <= n; i += 2 * L) {
      simd::StoreU(dst + i, op.Vector(simd::LoadU(src + i)));
      simd::StoreU(dst + i + L, op.Vector(simd::LoadU(src + i + L)));
    }
    for (; i + L <= n; i += L) simd::StoreU(dst + i, op.Vector(simd::LoadU(src + i)));
    for (; i < n; ++i) simd::St(dst + i, op.Scalar(simd::Ld(src + i)));
    return;
  }
  while (i < n && simd::ElementAligned(dst + i) && !simd::Aligned16(dst + i)) {
    simd::St(dst + i, op.Scalar(simd::Ld(src + i)));
    ++i;
  }
  const int64_t count = (n - i) / (kVectors * L) * (kVectors * L);
  if (count > 0) {
    if (!simd::Aligned16(dst + i))
      UnaryBlockLoop<kVectors, false, StoreKind::Unaligned>(src + i, dst + i, count, op);
    else if (simd::Aligned16(src + i))
      UnaryBlockLoop<kVectors, true, StoreKind::Aligned>(src + i, dst + i, count, op);
    else
      UnaryBlockLoop<kVectors, false, StoreKind::Aligned>(src + i, dst + i, count, op);
    i += count;
  }
  for (; i + L <= n; i += L) simd::StoreU(dst + i, op.Vector(simd::LoadU(src + i)));
  for (; i < n; ++i) simd::St(dst + i, op.Scalar(simd::Ld(src + i)));
}

// dst[0 .. count) = four(src[0 .. count)) for 1 to 3 floats, through a
// vector whose other lanes hold `pad`, so nothing past the arrays is touched.
template <class Four>
inline void FourPadded(const float* src, float* dst, int64_t count, float pad, const Four& four) {
  alignas(16) float lanes[4] = {pad, pad, pad, pad};
  const size_t bytes = static_cast<size_t>(count) * sizeof(float);
  std::memcpy(lanes, src, bytes);
  simd::Store(lanes, four(simd::Load(lanes)));
  std::memcpy(dst, lanes, bytes);
}

// dst[i] = four(src[i]) for i from `from` to n; with kAligned the blocks use
// aligned loads and stores (src + from and dst + from 16-byte aligned).
template <bool kAligned, class Four>
void FourWideFrom(const float* src, float* dst, int64_t from, int64_t n, float pad, const Four& four) {
  constexpr StoreKind kStore = kAligned ? StoreKind::Aligned : StoreKind::Unaligned;
  int64_t i = from;
  for (; i + 8 <= n; i += 8) {
    const simd::f32x4 a = four(LoadAs<kAligned>(src + i));
    const simd::f32x4 b = four(LoadAs<kAligned>(src + i + 4));
    StoreAs<kStore>(dst + i, a);
    StoreAs<kStore>(dst + i + 4, b);
  }
  if (n - i >= 4) {
    simd::StoreU(dst + i, four(simd::LoadU(src + i)));
    i += 4;
  }
  if (i < n) FourPadded(src + i, dst + i, n - i, pad, four);
}

// Results are streamed past the caches only when the arrays of one call
// together exceed this many bytes, far beyond a core's cache: below it,
// streaming stores only slow the call down, since the caller reads the
// result again soon.
inline constexpr int64_t kStreamAboveBytes = int64_t{8} << 20;

// The short walks' unaligned loads stay in the floating-point domain
// (movups, movupd): the SSE3 sets' lddqu loads into the integer domain, and
// the operation after it waits a bypass, which a call of a few vectors feels.
inline simd::f32x4 LoadUFp(const float* p) { return simd::LoadUByMovups(p); }
#if SP_SET_HAS_F64_VECTORS
inline simd::f64x2 LoadUFp(const double* p) { return simd::LoadUFpDomain(p); }
#endif

// dst[i] = Op(x[i], y[i]) for n below kShortBelow<T>; x or y may be dst.
template <class Op, class T>
inline void ShortBinary(const T* x, const T* y, T* dst, int64_t n) {
  constexpr int64_t L = kLanes<T>;
  int64_t i = 0;
  for (; i + 2 * L <= n; i += 2 * L) {
    simd::StoreU(dst + i, Op::Vector(LoadUFp(x + i), LoadUFp(y + i)));
    simd::StoreU(dst + i + L, Op::Vector(LoadUFp(x + i + L), LoadUFp(y + i + L)));
  }
  if (i + L <= n) {
    simd::StoreU(dst + i, Op::Vector(LoadUFp(x + i), LoadUFp(y + i)));
    i += L;
  }
  for (; i < n; ++i) simd::St(dst + i, Op::Scalar(simd::Ld(x + i), simd::Ld(y + i)));
}

// dst[i] = Op(x[i], c) for n below kShortBelow<T>; x may be dst.
template <class Op, class T>
inline void ShortConst(const T* x, T c, T* dst, int64_t n) {
  constexpr int64_t L = kLanes<T>;
  const Vec<T> cv = simd::Splat(c);
  int64_t i = 0;
  for (; i + 2 * L <= n; i += 2 * L) {
    simd::StoreU(dst + i, Op::Vector(LoadUFp(x + i), cv));
    simd::StoreU(dst + i + L, Op::Vector(LoadUFp(x + i + L), cv));
  }
  if (i + L <= n) {
    simd::StoreU(dst + i, Op::Vector(LoadUFp(x + i), cv));
    i += L;
  }
  for (; i < n; ++i) simd::St(dst + i, Op::Scalar(simd::Ld(x + i), c));
}

// Where the blocks start and whether their stores may be aligned; the single
// elements before `start` are done by the caller's scalar op.
struct Layout {
  int64_t start;
  int64_t count;  // elements in whole blocks
  bool alignedStores;
};
// Arrays shorter than kShortBelow<T> take the short walks instead.
template <class T, class Scalar>
Layout AlignHead(T* dst, int64_t n, Scalar scalarAt) {
  int64_t i = 0;
  const bool aligned = simd::ElementAligned(dst);
  if (aligned)
    while (!simd::Aligned16(dst + i)) scalarAt(i++);
  return {i, (n - i) / kBlock<T> * kBlock<T>, aligned};
}

}  // namespace SP_SET_NS::walk
#endif
