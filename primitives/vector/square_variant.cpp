// Square of one variant set. The generic set (and the SSE set in double
// precision) squares in groups of four, then singly; the SIMD kernels align
// the destination to 16 bytes, square 8 floats or 4 doubles per pass and
// finish with smaller groups. x * x is one IEEE product in every case.
#include "primitives/vector/sp_square.h"

#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/elementwise_walk.h"
#include "primitives/frame/sp_status.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

template <class T>
inline T Sq(T x) {
  return x * x;
}

template <class T>
void ScalarSquares(const T* src, T* dst, int64_t n) {
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (int64_t j = i; j < i + 4; ++j) St(dst + j, Sq(Ld(src + j)));
  }
  for (; i < n; ++i) St(dst + i, Sq(Ld(src + i)));
}

#if SP_SET_HAS_F32_VECTORS
// x * x; blocks of two vectors.
template <class T>
struct SquareOp {
  T Scalar(T x) const { return Sq(x); }
  walk::Vec<T> Vector(walk::Vec<T> v) const { return simd::Mul(v, v); }
};
#endif

template <class T>
void Squares(const T* src, T* dst, int64_t n) {
#if SP_SET_HAS_F32_VECTORS
  if constexpr (sizeof(T) == 4 || kHasSse2) {
    walk::UnaryWalk<2>(src, dst, n, SquareOp<T>{});
    return;
  }
#endif
  ScalarSquares(src, dst, n);
}

}  // namespace

spStatus SP_V(spSqrF32)(const float* src, float* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  Squares(src, dst, n);
  return spOk;
}
spStatus SP_V(spSqrF64)(const double* src, double* dst, int32_t n) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  Squares(src, dst, n);
  return spOk;
}
spStatus SP_V(spSqrInPlaceF32)(float* srcDst, int32_t n) {
  if (const spStatus st = CheckArrays(n, srcDst); st != spOk) return st;
  Squares<float>(srcDst, srcDst, n);
  return spOk;
}
spStatus SP_V(spSqrInPlaceF64)(double* srcDst, int32_t n) {
  if (const spStatus st = CheckArrays(n, srcDst); st != spOk) return st;
  Squares<double>(srcDst, srcDst, n);
  return spOk;
}

}  // namespace SP_SET_NS

// The square dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_SQUARE_ENTRIES)
#endif
