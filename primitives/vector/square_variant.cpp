// Square of one variant set. The generic set (and the SSE set in double
// precision) squares in groups of four, then singly; the SIMD kernels align
// the destination to 16 bytes, square 8 floats or 4 doubles per pass and
// finish with smaller groups. x * x is one IEEE product in every case.
#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/arith_blocks.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

template <class T>
inline T Sq(T x) { return x * x; }

template <class T>
void ScalarSquares(const T* src, T* dst, int64_t n) {
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (int64_t j = i; j < i + 4; ++j) St(dst + j, Sq(Ld(src + j)));
  }
  for (; i < n; ++i) St(dst + i, Sq(Ld(src + i)));
}

#if SP_SET_INDEX >= SP_SET_SSE
using blocks::LoadAs;
using blocks::StoreAs;
using blocks::StoreKind;
using blocks::Vec;
using blocks::kLanes;

template <bool SrcAligned, StoreKind K, class T>
void SquareBlocks(const T* src, T* dst, int64_t count) {
  constexpr int64_t L = kLanes<T>;
  // Each vector is stored before the next is loaded: measured faster than
  // loading a pair first when the pair straddles a cache line.
  for (int64_t i = 0; i < count; i += 2 * L) {
    const Vec<T> v0 = LoadAs<SrcAligned>(src + i);
    StoreAs<K>(dst + i, simd::Mul(v0, v0));
    const Vec<T> v1 = LoadAs<SrcAligned>(src + i + L);
    StoreAs<K>(dst + i + L, simd::Mul(v1, v1));
  }
}

// src and dst are the same array or apart.
template <class T>
void spkSquare(const T* src, T* dst, int64_t n) {
  constexpr int64_t L = kLanes<T>;
  int64_t i = 0;
  while (i < n && ElementAligned(dst + i) && !Aligned16(dst + i)) {
    St(dst + i, Sq(Ld(src + i)));
    ++i;
  }
  const int64_t count = (n - i) / (2 * L) * (2 * L);
  if (count > 0) {
    if (!Aligned16(dst + i)) SquareBlocks<false, StoreKind::Unaligned>(src + i, dst + i, count);
    else if (Aligned16(src + i)) SquareBlocks<true, StoreKind::Aligned>(src + i, dst + i, count);
    else SquareBlocks<false, StoreKind::Aligned>(src + i, dst + i, count);
    i += count;
  }
  if (i + L <= n) {
    const Vec<T> v = simd::LoadU(src + i);
    simd::StoreU(dst + i, simd::Mul(v, v));
    i += L;
  }
  for (; i < n; ++i) St(dst + i, Sq(Ld(src + i)));
}
#endif

template <class T>
void Squares(const T* src, T* dst, int64_t n) {
#if SP_SET_INDEX >= SP_SET_SSE
  if constexpr (sizeof(T) == 4 || kHasSse2) {
    spkSquare(src, dst, n);
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
