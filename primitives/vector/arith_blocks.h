// The block walk shared by the two-operand elementwise kernels of a SIMD
// variant set: small arrays singly; otherwise the written array is aligned to
// 16 bytes by single elements (or, when it is not element-aligned, left as it
// is with unaligned stores), then 32-byte blocks of two vectors, then the
// rest singly. Each source is read with aligned loads when its own address
// is 16-byte aligned where the blocks start. Include only from
// *_variant.cpp; everything lives in the set's namespace.
//
// Each vector is stored before the next is loaded (the compiler may not
// reorder them, as a destination may be a source): loading a pair first was
// measured slower when the pair straddles a cache line. Software prefetch is
// left out: on current processors the hardware
// prefetchers keep up with these linear walks and explicit prefetches only
// cost issue slots (measured with bench/bench_arith).
#pragma once
#include <cstdint>
#include <type_traits>

#include "primitives/frame/simd.h"

#if SP_SET_INDEX >= SP_SET_SSE
namespace SP_SET_NS::blocks {

enum class StoreKind { Aligned, Unaligned, Streaming };

template <class T> struct VecOf;
template <> struct VecOf<float> { using type = simd::f32x4; };
#if SP_SET_INDEX >= SP_SET_SSE2
template <> struct VecOf<double> { using type = simd::f64x2; };
#endif
template <class T> using Vec = typename VecOf<T>::type;
template <class T> inline constexpr int64_t kLanes = 16 / sizeof(T);
template <class T> inline constexpr int64_t kBlock = 32 / sizeof(T);

using simd::LoadAs;
template <StoreKind K, class T>
inline void StoreAs(T* p, Vec<T> v) {
  if constexpr (K == StoreKind::Aligned) simd::Store(p, v);
  else if constexpr (K == StoreKind::Unaligned) simd::StoreU(p, v);
  else simd::Stream(p, v);
}

// Calls f(std::bool_constant<flag>{}) so that a run-time alignment test picks
// a loop specialised for it.
template <class F>
inline void WithFlag(bool flag, F&& f) {
  if (flag) f(std::true_type{});
  else f(std::false_type{});
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

// Lane-mask bit operations: clearing bits (And with the complement) and
// flipping them.
struct MaskAnd {
  template <class V> static V Vector(V x, V mask) { return simd::And(x, mask); }
};
struct MaskXor {
  template <class V> static V Vector(V x, V mask) { return simd::Xor(x, mask); }
};

// dst[i] = Op(src[i], mask) over whole steps of four vectors; src may be dst.
template <class Op, bool SrcAligned, StoreKind K, class T>
void MaskBlockLoop(const T* src, T* dst, int64_t count, Vec<T> mask) {
  constexpr int64_t L = kLanes<T>;
  for (int64_t i = 0; i < count; i += 4 * L) {
    StoreAs<K>(dst + i, Op::Vector(LoadAs<SrcAligned>(src + i), mask));
    StoreAs<K>(dst + i + L, Op::Vector(LoadAs<SrcAligned>(src + i + L), mask));
    StoreAs<K>(dst + i + 2 * L, Op::Vector(LoadAs<SrcAligned>(src + i + 2 * L), mask));
    StoreAs<K>(dst + i + 3 * L, Op::Vector(LoadAs<SrcAligned>(src + i + 3 * L), mask));
  }
}

// Results are streamed past the caches only when the arrays of one call
// together exceed this many bytes, far beyond a core's cache: below it,
// streaming stores only slow the call down, since the caller reads the
// result again soon.
inline constexpr int64_t kStreamAboveBytes = int64_t{8} << 20;

// Below this many elements every element is processed singly.
template <class T> inline constexpr int64_t kSingleBelow = sizeof(T) == 4 ? 11 : 5;

// Where the blocks start and whether their stores may be aligned; the single
// elements before `start` are done by the caller's scalar op.
struct Layout {
  int64_t start;
  int64_t count;  // elements in whole blocks
  bool alignedStores;
};
template <class T, class Scalar>
Layout AlignHead(T* dst, int64_t n, Scalar scalarAt) {
  if (n < kSingleBelow<T>) {
    for (int64_t i = 0; i < n; ++i) scalarAt(i);
    return {n, 0, false};
  }
  int64_t i = 0;
  const bool aligned = simd::ElementAligned(dst);
  if (aligned)
    while (!simd::Aligned16(dst + i)) scalarAt(i++);
  return {i, (n - i) / kBlock<T> * kBlock<T>, aligned};
}

}  // namespace SP_SET_NS::blocks
#endif
