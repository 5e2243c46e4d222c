// Elementwise arithmetic of one variant set. The generic set, and the SSE
// set in double precision (SSE has no double arithmetic), run plain element
// loops in ascending order; the other cases walk 32-byte blocks of vectors
// (arith_blocks.h). Every case performs the one IEEE operation per element,
// so the sets differ only in how they walk memory.
#include <cstdint>
#include <limits>
#include <type_traits>

#include "primitives/frame/sp_kernels.h"
#include "primitives/vector/arith_blocks.h"

namespace SP_SET_NS {
namespace {

struct OpAdd {
  template <class T> static T Scalar(T x, T y) { return x + y; }
#if SP_SET_INDEX >= 1
  template <class V> static V Vector(V x, V y) { return simd::Add(x, y); }
#endif
};
struct OpSub {
  template <class T> static T Scalar(T x, T y) { return x - y; }
#if SP_SET_INDEX >= 1
  template <class V> static V Vector(V x, V y) { return simd::Sub(x, y); }
#endif
};
struct OpMul {
  template <class T> static T Scalar(T x, T y) { return x * y; }
#if SP_SET_INDEX >= 1
  template <class V> static V Vector(V x, V y) { return simd::Mul(x, y); }
#endif
};

// Single precision runs in blocks from the SSE set on, double from SSE2 on.
template <class T>
inline constexpr bool kUsesBlocks = std::is_same_v<T, float> ? kHasSse : kHasSse2;

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
// Whole blocks from which large three-array results are streamed past the
// caches (about 1 MiB across three arrays on SSE3 processors, 512 KiB below).
constexpr int64_t kStreamBlocks = kHasSse3 ? 10922 : 5461;
// Constant forms prefetch non-temporally above this many elements in blocks.
template <class T>
inline constexpr int64_t kConstPrefetchAbove = (kHasSse3 ? (int64_t{1} << 20) : (int64_t{1} << 19)) / sizeof(T);

template <class Op, class T>
void ScalarLoop(const T* x, const T* y, T* dst, int64_t n) {
  for (int64_t i = 0; i < n; ++i) St(dst + i, Op::Scalar(Ld(x + i), Ld(y + i)));
}
template <class Op, class T>
void ScalarConstLoop(T val, T* srcDst, int64_t n) {
  for (int64_t i = 0; i < n; ++i) St(srcDst + i, Op::Scalar(Ld(srcDst + i), val));
}

#if SP_SET_INDEX >= 1
using blocks::Prefetch;
using blocks::StoreKind;

// dst[i] = Op(x[i], y[i]). Blocks are streamed when the stores are aligned
// and there are at least streamFromBlocks of them (StreamPf prefetching while
// streaming); otherwise PlainPf applies.
template <class Op, Prefetch StreamPf, Prefetch PlainPf, class T>
void BinaryKernel(const T* x, const T* y, T* dst, int64_t n, int64_t streamFromBlocks) {
  using namespace blocks;
  auto scalarAt = [&](int64_t i) { St(dst + i, Op::Scalar(Ld(x + i), Ld(y + i))); };
  const Layout lay = AlignHead(dst, n, scalarAt);
  const bool stream = lay.alignedStores && lay.count / kBlock<T> >= streamFromBlocks;
  if (lay.count > 0) {
    const T* xs = x + lay.start;
    const T* ys = y + lay.start;
    T* ds = dst + lay.start;
    WithFlag(Aligned16(xs), [&](auto xa) {
      WithFlag(Aligned16(ys), [&](auto ya) {
        constexpr bool XA = decltype(xa)::value;
        constexpr bool YA = decltype(ya)::value;
        if (stream) {
          if constexpr (StreamPf != Prefetch::SrcT0)  // in-place forms never stream
            BinaryBlockLoop<Op, StoreKind::Streaming, StreamPf, XA, YA>(xs, ys, ds, lay.count);
        } else if (lay.alignedStores) {
          BinaryBlockLoop<Op, StoreKind::Aligned, PlainPf, XA, YA>(xs, ys, ds, lay.count);
        } else {
          BinaryBlockLoop<Op, StoreKind::Unaligned, PlainPf, XA, YA>(xs, ys, ds, lay.count);
        }
      });
    });
    if (stream) simd::StoreFence();
  }
  for (int64_t i = lay.start + lay.count; i < n; ++i) scalarAt(i);
}

template <class Op, class T>
void ConstKernel(T val, T* srcDst, int64_t n) {
  using namespace blocks;
  auto scalarAt = [&](int64_t i) { St(srcDst + i, Op::Scalar(Ld(srcDst + i), val)); };
  const Layout lay = AlignHead(srcDst, n, scalarAt);
  if (lay.count > 0) {
    T* ds = srcDst + lay.start;
    const Vec<T> c = simd::Splat(val);
    const bool prefetch = lay.count > kConstPrefetchAbove<T>;
    if (lay.alignedStores) {
      if (prefetch) ConstBlockLoop<Op, StoreKind::Aligned, Prefetch::DstNta, true>(ds, c, ds, lay.count);
      else ConstBlockLoop<Op, StoreKind::Aligned, Prefetch::None, true>(ds, c, ds, lay.count);
    } else {
      if (prefetch) ConstBlockLoop<Op, StoreKind::Unaligned, Prefetch::DstNta, false>(ds, c, ds, lay.count);
      else ConstBlockLoop<Op, StoreKind::Unaligned, Prefetch::None, false>(ds, c, ds, lay.count);
    }
  }
  for (int64_t i = lay.start + lay.count; i < n; ++i) scalarAt(i);
}
#endif

// Three-array form: dst = Op(x, y); a caller passes (b, a) for b - a.
template <class Op, class T>
void ThreeArray(const T* x, const T* y, T* dst, int64_t n, int64_t streamFromBlocks, bool prefetchWhileStreaming) {
#if SP_SET_INDEX >= 1
  if constexpr (kUsesBlocks<T>) {
    if (prefetchWhileStreaming)
      BinaryKernel<Op, blocks::Prefetch::BothSrcT0, blocks::Prefetch::None>(x, y, dst, n, streamFromBlocks);
    else
      BinaryKernel<Op, blocks::Prefetch::None, blocks::Prefetch::None>(x, y, dst, n, streamFromBlocks);
    return;
  }
#endif
  (void)streamFromBlocks;
  (void)prefetchWhileStreaming;
  ScalarLoop<Op>(x, y, dst, n);
}

// In-place form: srcDst = Op(srcDst, src), the source prefetched ahead.
template <class Op, class T>
void InPlace(const T* src, T* srcDst, int64_t n) {
#if SP_SET_INDEX >= 1
  if constexpr (kUsesBlocks<T>) {
    BinaryKernel<Op, blocks::Prefetch::SrcT0, blocks::Prefetch::SrcT0>(srcDst, src, srcDst, n, kNever);
    return;
  }
#endif
  ScalarLoop<Op>(srcDst, src, srcDst, n);
}

template <class Op, class T>
void ConstInPlace(T val, T* srcDst, int64_t n) {
#if SP_SET_INDEX >= 1
  if constexpr (kUsesBlocks<T>) {
    ConstKernel<Op>(val, srcDst, n);
    return;
  }
#endif
  ScalarConstLoop<Op>(val, srcDst, n);
}

// Absolute value. The generic set goes through the x87 unit, whose load
// quiets a signalling NaN; the other sets only clear the sign bit.
template <class T>
T AbsScalar(T x) {
  if constexpr (std::is_same_v<T, float>) {
    const float r = FloatWithBitsCleared(x, kF32SignBit);
    return (kSetIndex == 0 && r != r) ? FloatWithBitsSet(r, kF32QuietBit) : r;
  } else {
    const double r = DoubleWithBitsCleared(x, kF64SignBit);
    return (kSetIndex == 0 && r != r) ? DoubleWithBitsSet(r, kF64QuietBit) : r;
  }
}

#if SP_SET_INDEX >= 1
template <bool SrcAligned, blocks::StoreKind K, class T>
void AbsBlocks(const T* src, T* dst, int64_t count, blocks::Vec<T> mask) {
  using namespace blocks;
  constexpr int64_t L = kLanes<T>;
  for (int64_t i = 0; i < count; i += 4 * L) {
    const Vec<T> v0 = LoadAs<SrcAligned>(src + i);
    const Vec<T> v1 = LoadAs<SrcAligned>(src + i + L);
    const Vec<T> v2 = LoadAs<SrcAligned>(src + i + 2 * L);
    const Vec<T> v3 = LoadAs<SrcAligned>(src + i + 3 * L);
    StoreAs<K>(dst + i, simd::And(v0, mask));
    StoreAs<K>(dst + i + L, simd::And(v1, mask));
    StoreAs<K>(dst + i + 2 * L, simd::And(v2, mask));
    StoreAs<K>(dst + i + 3 * L, simd::And(v3, mask));
  }
}

// Head singles until dst is 16-byte aligned (while it is element-aligned),
// blocks of four vectors, then one vector at a time and single elements.
template <class T>
void AbsKernel(const T* src, T* dst, int64_t n) {
  using namespace blocks;
  constexpr int64_t L = kLanes<T>;
  blocks::Vec<T> mask;
  if constexpr (std::is_same_v<T, float>) mask = simd::SplatBits(~kF32SignBit);
  else mask = simd::SplatBits(~kF64SignBit);
  int64_t i = 0;
  while (i < n && ElementAligned(dst + i) && !Aligned16(dst + i)) {
    St(dst + i, AbsScalar(Ld(src + i)));
    ++i;
  }
  const int64_t count = (n - i) / (4 * L) * (4 * L);
  if (count > 0) {
    if (!Aligned16(dst + i)) AbsBlocks<false, StoreKind::Unaligned>(src + i, dst + i, count, mask);
    else if (Aligned16(src + i)) AbsBlocks<true, StoreKind::Aligned>(src + i, dst + i, count, mask);
    else AbsBlocks<false, StoreKind::Aligned>(src + i, dst + i, count, mask);
    i += count;
  }
  for (; i + L <= n; i += L) simd::StoreU(dst + i, simd::And(simd::LoadU(src + i), mask));
  for (; i < n; ++i) St(dst + i, AbsScalar(Ld(src + i)));
}
#endif

template <class T>
void Abs(const T* src, T* dst, int64_t n) {
#if SP_SET_INDEX >= 1
  if constexpr (kUsesBlocks<T>) {
    AbsKernel(src, dst, n);
    return;
  }
#endif
  for (int64_t i = 0; i < n; ++i) St(dst + i, AbsScalar(Ld(src + i)));
}

// Argument checks shared by every primitive: null pointers first, then n.
template <class... P>
spStatus Check(int32_t n, const P*... p) {
  if (((p == nullptr) || ...)) return spErrNullPointer;
  return n < 1 ? spErrLength : spOk;
}

}  // namespace

spStatus SP_V(spAbsF32)(const float* src, float* dst, int32_t n) {
  if (spStatus s = Check(n, src, dst); s != spOk) return s;
  Abs(src, dst, n);
  return spOk;
}
spStatus SP_V(spAbsF64)(const double* src, double* dst, int32_t n) {
  if (spStatus s = Check(n, src, dst); s != spOk) return s;
  Abs(src, dst, n);
  return spOk;
}

// Adding +-0 or a NaN leaves the array as it is, bit for bit.
spStatus SP_V(spAddConstInPlaceF32)(float val, float* srcDst, int32_t n) {
  if (spStatus s = Check(n, srcDst); s != spOk) return s;
  if (val == 0.0f || val != val) return spOk;
  ConstInPlace<OpAdd>(val, srcDst, n);
  return spOk;
}
spStatus SP_V(spAddConstInPlaceF64)(double val, double* srcDst, int32_t n) {
  if (spStatus s = Check(n, srcDst); s != spOk) return s;
  if (val == 0.0 || val != val) return spOk;
  ConstInPlace<OpAdd>(val, srcDst, n);
  return spOk;
}

// Multiplying by 1 or a NaN leaves the array as it is; by +-0 it writes +0.0
// everywhere (also over negative, infinite and NaN elements).
spStatus SP_V(spMulConstInPlaceF32)(float val, float* srcDst, int32_t n) {
  if (spStatus s = Check(n, srcDst); s != spOk) return s;
  if (val == 1.0f || val != val) return spOk;
  if (val == 0.0f) return SP_V(spZeroF32)(srcDst, n);
  ConstInPlace<OpMul>(val, srcDst, n);
  return spOk;
}
spStatus SP_V(spMulConstInPlaceF64)(double val, double* srcDst, int32_t n) {
  if (spStatus s = Check(n, srcDst); s != spOk) return s;
  if (val == 1.0 || val != val) return spOk;
  if (val == 0.0) return SP_V(spZeroF64)(srcDst, n);
  ConstInPlace<OpMul>(val, srcDst, n);
  return spOk;
}

spStatus SP_V(spAddInPlaceF32)(const float* src, float* srcDst, int32_t n) {
  if (spStatus s = Check(n, src, srcDst); s != spOk) return s;
  InPlace<OpAdd>(src, srcDst, n);
  return spOk;
}
spStatus SP_V(spAddInPlaceF64)(const double* src, double* srcDst, int32_t n) {
  if (spStatus s = Check(n, src, srcDst); s != spOk) return s;
  InPlace<OpAdd>(src, srcDst, n);
  return spOk;
}
spStatus SP_V(spSubInPlaceF32)(const float* src, float* srcDst, int32_t n) {
  if (spStatus s = Check(n, src, srcDst); s != spOk) return s;
  InPlace<OpSub>(src, srcDst, n);
  return spOk;
}
spStatus SP_V(spSubInPlaceF64)(const double* src, double* srcDst, int32_t n) {
  if (spStatus s = Check(n, src, srcDst); s != spOk) return s;
  InPlace<OpSub>(src, srcDst, n);
  return spOk;
}
spStatus SP_V(spMulInPlaceF32)(const float* src, float* srcDst, int32_t n) {
  if (spStatus s = Check(n, src, srcDst); s != spOk) return s;
  InPlace<OpMul>(src, srcDst, n);
  return spOk;
}
spStatus SP_V(spMulInPlaceF64)(const double* src, double* srcDst, int32_t n) {
  if (spStatus s = Check(n, src, srcDst); s != spOk) return s;
  InPlace<OpMul>(src, srcDst, n);
  return spOk;
}

// Addition and subtraction stream above the threshold, the double product
// from it on (prefetching both sources while it streams); the float product
// never streams.
spStatus SP_V(spAddF32)(const float* a, const float* b, float* dst, int32_t n) {
  if (spStatus s = Check(n, a, b, dst); s != spOk) return s;
  ThreeArray<OpAdd>(a, b, dst, n, kStreamBlocks + 1, false);
  return spOk;
}
spStatus SP_V(spAddF64)(const double* a, const double* b, double* dst, int32_t n) {
  if (spStatus s = Check(n, a, b, dst); s != spOk) return s;
  ThreeArray<OpAdd>(a, b, dst, n, kStreamBlocks + 1, false);
  return spOk;
}
spStatus SP_V(spSubF32)(const float* a, const float* b, float* dst, int32_t n) {
  if (spStatus s = Check(n, a, b, dst); s != spOk) return s;
  ThreeArray<OpSub>(b, a, dst, n, kStreamBlocks + 1, false);
  return spOk;
}
spStatus SP_V(spSubF64)(const double* a, const double* b, double* dst, int32_t n) {
  if (spStatus s = Check(n, a, b, dst); s != spOk) return s;
  ThreeArray<OpSub>(b, a, dst, n, kStreamBlocks + 1, false);
  return spOk;
}
spStatus SP_V(spMulF32)(const float* a, const float* b, float* dst, int32_t n) {
  if (spStatus s = Check(n, a, b, dst); s != spOk) return s;
  ThreeArray<OpMul>(a, b, dst, n, kNever, false);
  return spOk;
}
spStatus SP_V(spMulF64)(const double* a, const double* b, double* dst, int32_t n) {
  if (spStatus s = Check(n, a, b, dst); s != spOk) return s;
  ThreeArray<OpMul>(a, b, dst, n, kStreamBlocks, true);
  return spOk;
}

}  // namespace SP_SET_NS
