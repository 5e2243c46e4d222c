// Elementwise arithmetic of one variant set. The generic set, and the SSE
// set in double precision (SSE has no double arithmetic), run plain element
// loops in ascending order; the other cases walk blocks of vectors
// (primitives/frame/elementwise_walk.h). Every case performs the one IEEE
// operation per element, so the sets differ only in how they walk memory.
#include "primitives/vector/sp_arith.h"

#include <cstdint>
#include <type_traits>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/elementwise_walk.h"
#include "primitives/frame/memory_kernels.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

struct OpAdd {
  template <class T>
  static T Scalar(T x, T y) {
    return x + y;
  }
#if SP_SET_HAS_F32_VECTORS
  template <class V>
  static V Vector(V x, V y) {
    return simd::Add(x, y);
  }
#endif
};
struct OpSub {
  template <class T>
  static T Scalar(T x, T y) {
    return x - y;
  }
#if SP_SET_HAS_F32_VECTORS
  template <class V>
  static V Vector(V x, V y) {
    return simd::Sub(x, y);
  }
#endif
};
struct OpMul {
  template <class T>
  static T Scalar(T x, T y) {
    return x * y;
  }
#if SP_SET_HAS_F32_VECTORS
  template <class V>
  static V Vector(V x, V y) {
    return simd::Mul(x, y);
  }
#endif
};

// Single precision runs in blocks from the SSE set on, double from SSE2 on.
template <class T>
inline constexpr bool kUsesBlocks = std::is_same_v<T, float> ? kHasSse : kHasSse2;

template <class Op, class T>
void ScalarLoop(const T* x, const T* y, T* dst, int64_t n) {
  for (int64_t i = 0; i < n; ++i) St(dst + i, Op::Scalar(Ld(x + i), Ld(y + i)));
}
template <class Op, class T>
void ScalarConstLoop(T val, T* srcDst, int64_t n) {
  for (int64_t i = 0; i < n; ++i) St(srcDst + i, Op::Scalar(Ld(srcDst + i), val));
}

#if SP_SET_HAS_F32_VECTORS
using walk::StoreKind;

// dst[i] = Op(x[i], y[i]) from kShortBelow elements on; with `mayStream`,
// large results go past the caches (three-array forms only: in-place results
// are read again anyway).
template <class Op, class T>
void BinaryKernel(const T* x, const T* y, T* dst, int64_t n, bool mayStream) {
  using namespace walk;
  auto scalarAt = [&](int64_t i) { St(dst + i, Op::Scalar(Ld(x + i), Ld(y + i))); };
  const Layout lay = AlignHead(dst, n, scalarAt);
  const bool stream = mayStream && lay.alignedStores && 3 * n * static_cast<int64_t>(sizeof(T)) > kStreamAboveBytes;
  if (lay.count > 0) {
    const T* xs = x + lay.start;
    const T* ys = y + lay.start;
    T* ds = dst + lay.start;
    WithFlag(Aligned16(xs), [&](auto xa) {
      WithFlag(Aligned16(ys), [&](auto ya) {
        constexpr bool XA = decltype(xa)::value;
        constexpr bool YA = decltype(ya)::value;
        if (stream)
          BinaryBlockLoop<Op, StoreKind::Streaming, XA, YA>(xs, ys, ds, lay.count);
        else if (lay.alignedStores)
          BinaryBlockLoop<Op, StoreKind::Aligned, XA, YA>(xs, ys, ds, lay.count);
        else
          BinaryBlockLoop<Op, StoreKind::Unaligned, XA, YA>(xs, ys, ds, lay.count);
      });
    });
    if (stream) simd::StoreFence();
  }
  for (int64_t i = lay.start + lay.count; i < n; ++i) scalarAt(i);
}

template <class Op, class T>
void ConstKernel(T val, T* srcDst, int64_t n) {
  using namespace walk;
  auto scalarAt = [&](int64_t i) { St(srcDst + i, Op::Scalar(Ld(srcDst + i), val)); };
  const Layout lay = AlignHead(srcDst, n, scalarAt);
  if (lay.count > 0) {
    T* ds = srcDst + lay.start;
    const Vec<T> c = simd::Splat(val);
    if (lay.alignedStores)
      ConstBlockLoop<Op, StoreKind::Aligned, true>(ds, c, ds, lay.count);
    else
      ConstBlockLoop<Op, StoreKind::Unaligned, false>(ds, c, ds, lay.count);
  }
  for (int64_t i = lay.start + lay.count; i < n; ++i) scalarAt(i);
}
#endif

// Three-array form: dst = Op(x, y); a caller passes (b, a) for b - a.
template <class Op, class T>
void ThreeArray(const T* x, const T* y, T* dst, int64_t n, bool mayStream) {
#if SP_SET_HAS_F32_VECTORS
  if constexpr (kUsesBlocks<T>) {
    // 256 bytes still take the short walk: the alignment head and the
    // specialised loops cost more than they save there.
    if (n <= walk::kShortBelow<T>)
      walk::ShortBinary<Op>(x, y, dst, n);
    else
      BinaryKernel<Op>(x, y, dst, n, mayStream);
    return;
  }
#endif
  (void)mayStream;
  ScalarLoop<Op>(x, y, dst, n);
}

// The checked entry forms; arguments that pass take one branch.
template <class Op, class T>
spStatus CheckedThreeArray(const T* x, const T* y, T* dst, int64_t n, bool mayStream) {
  if (!ArraysPass(n, x, y, dst)) [[unlikely]]
    return CheckArrays(n, x, y, dst);
  ThreeArray<Op>(x, y, dst, n, mayStream);
  return spOk;
}
template <class Op, class T>
spStatus CheckedInPlace(const T* src, T* srcDst, int64_t n) {
  if (!ArraysPass(n, src, srcDst)) [[unlikely]]
    return CheckArrays(n, src, srcDst);
  ThreeArray<Op>(srcDst, src, srcDst, n, false);  // srcDst = Op(srcDst, src), never streamed
  return spOk;
}

template <class Op, class T>
void ConstInPlace(T val, T* srcDst, int64_t n) {
#if SP_SET_HAS_F32_VECTORS
  if constexpr (kUsesBlocks<T>) {
    if (n < walk::kShortBelow<T>)
      walk::ShortConst<Op>(srcDst, val, srcDst, n);
    else
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
    return (kSetIndex == SP_SET_GENERIC && r != r) ? FloatWithBitsSet(r, kF32QuietBit) : r;
  } else {
    const double r = DoubleWithBitsCleared(x, kF64SignBit);
    return (kSetIndex == SP_SET_GENERIC && r != r) ? DoubleWithBitsSet(r, kF64QuietBit) : r;
  }
}

#if SP_SET_HAS_F32_VECTORS
// Clears the sign bit; blocks of four vectors.
template <class T>
struct AbsOp {
  walk::Vec<T> mask;
  T Scalar(T x) const { return AbsScalar(x); }
  walk::Vec<T> Vector(walk::Vec<T> v) const { return simd::And(v, mask); }
};
template <class T>
void AbsKernel(const T* src, T* dst, int64_t n) {
  if constexpr (std::is_same_v<T, float>)
    walk::UnaryWalk<4>(src, dst, n, AbsOp<T>{SplatBits(~kF32SignBit)});
  else
    walk::UnaryWalk<4>(src, dst, n, AbsOp<T>{SplatBits(~kF64SignBit)});
}
#endif

template <class T>
spStatus CheckedAbs(const T* src, T* dst, int64_t n) {
  if (const spStatus s = CheckArrays(n, src, dst); s != spOk) return s;
#if SP_SET_HAS_F32_VECTORS
  if constexpr (kUsesBlocks<T>) {
    AbsKernel(src, dst, int64_t{n});
    return spOk;
  }
#endif
  for (int64_t i = 0; i < n; ++i) St(dst + i, AbsScalar(Ld(src + i)));
  return spOk;
}

}  // namespace

spStatus SP_V(spAbsF32)(const float* src, float* dst, int32_t n) { return CheckedAbs(src, dst, n); }
spStatus SP_V(spAbsF64)(const double* src, double* dst, int32_t n) { return CheckedAbs(src, dst, n); }

// Adding +-0 or a NaN leaves the array as it is, bit for bit.
spStatus SP_V(spAddConstInPlaceF32)(float val, float* srcDst, int32_t n) {
  if (const spStatus s = CheckArrays(n, srcDst); s != spOk) return s;
  if (val == 0.0f || val != val) return spOk;
  ConstInPlace<OpAdd>(val, srcDst, n);
  return spOk;
}
spStatus SP_V(spAddConstInPlaceF64)(double val, double* srcDst, int32_t n) {
  if (const spStatus s = CheckArrays(n, srcDst); s != spOk) return s;
  if (val == 0.0 || val != val) return spOk;
  ConstInPlace<OpAdd>(val, srcDst, n);
  return spOk;
}

// Multiplying by 1 or a NaN leaves the array as it is; by +-0 it writes +0.0
// everywhere (also over negative, infinite and NaN elements).
spStatus SP_V(spMulConstInPlaceF32)(float val, float* srcDst, int32_t n) {
  if (const spStatus s = CheckArrays(n, srcDst); s != spOk) return s;
  if (val == 1.0f || val != val) return spOk;
  if (val == 0.0f) return SP_V(spZeroF32)(srcDst, n);
  ConstInPlace<OpMul>(val, srcDst, n);
  return spOk;
}
spStatus SP_V(spMulConstInPlaceF64)(double val, double* srcDst, int32_t n) {
  if (const spStatus s = CheckArrays(n, srcDst); s != spOk) return s;
  if (val == 1.0 || val != val) return spOk;
  if (val == 0.0) return SP_V(spZeroF64)(srcDst, n);
  ConstInPlace<OpMul>(val, srcDst, n);
  return spOk;
}

spStatus SP_V(spAddInPlaceF32)(const float* src, float* srcDst, int32_t n) {
  return CheckedInPlace<OpAdd>(src, srcDst, n);
}
spStatus SP_V(spAddInPlaceF64)(const double* src, double* srcDst, int32_t n) {
  return CheckedInPlace<OpAdd>(src, srcDst, n);
}
spStatus SP_V(spSubInPlaceF32)(const float* src, float* srcDst, int32_t n) {
  return CheckedInPlace<OpSub>(src, srcDst, n);
}
spStatus SP_V(spSubInPlaceF64)(const double* src, double* srcDst, int32_t n) {
  return CheckedInPlace<OpSub>(src, srcDst, n);
}
spStatus SP_V(spMulInPlaceF32)(const float* src, float* srcDst, int32_t n) {
  return CheckedInPlace<OpMul>(src, srcDst, n);
}
spStatus SP_V(spMulInPlaceF64)(const double* src, double* srcDst, int32_t n) {
  return CheckedInPlace<OpMul>(src, srcDst, n);
}

// Large results stream past the caches; the float product never streams.
spStatus SP_V(spAddF32)(const float* a, const float* b, float* dst, int32_t n) {
  return CheckedThreeArray<OpAdd>(a, b, dst, n, true);
}
spStatus SP_V(spAddF64)(const double* a, const double* b, double* dst, int32_t n) {
  return CheckedThreeArray<OpAdd>(a, b, dst, n, true);
}
spStatus SP_V(spSubF32)(const float* a, const float* b, float* dst, int32_t n) {
  return CheckedThreeArray<OpSub>(b, a, dst, n, true);
}
spStatus SP_V(spSubF64)(const double* a, const double* b, double* dst, int32_t n) {
  return CheckedThreeArray<OpSub>(b, a, dst, n, true);
}
spStatus SP_V(spMulF32)(const float* a, const float* b, float* dst, int32_t n) {
  return CheckedThreeArray<OpMul>(a, b, dst, n, false);
}
spStatus SP_V(spMulF64)(const double* a, const double* b, double* dst, int32_t n) {
  return CheckedThreeArray<OpMul>(a, b, dst, n, true);
}

}  // namespace SP_SET_NS

// The elementwise arithmetic dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_ARITH_ENTRIES)
#endif
