// Matrix times vector in one variant set. Square matrices of 3 to 6 take
// straight-line code that sums each row from its first product; every other
// shape runs the general loop (running sum from +0, stored after every term).
// The sets differ in where they sum:
//
//   float            general loop                      square path
//   generic          double, one term per step         double
//   SSE, SSE2        float, one term per step          float
//   SSE3             float, two terms per step         double
//   SSSE3            float, two terms per step         float
//
// Double-precision sums are double in every set; the SSE3 and SSSE3 loops take
// two terms per step, and the unit-stride square path of SSE2, SSE3 and
// SSSE3 computes two rows side by side and adds in pairs,
// ((p0 + p1) + (p2 + p3)) + ..., where every other member adds left to right.
#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/matrix/matrix_kernels.h"
#include "primitives/matrix/product_loops.h"
#include "primitives/matrix/sp_matrix.h"

namespace SP_SET_NS {
namespace {
using namespace matrix;

inline constexpr int kTermsPerPass = kSetIndex >= SP_SET_SSE3 ? 2 : 1;
inline constexpr Sum kFloatGeneralSum = kSetIndex == SP_SET_GENERIC ? Sum::Wide : Sum::InElement;
inline constexpr Sum kFloatSquareSum =
    kSetIndex == SP_SET_GENERIC || kSetIndex == SP_SET_SSE3 ? Sum::Wide : Sum::InElement;

// The vector as a one-column matrix, the destination likewise.
template <Sum kGeneralSum, Sum kSquareSum, class T>
void MatTimesVec(ConstMatrix<T> mat, int32_t width, int32_t height, ConstMatrix<T> vec, Matrix<T> dst) {
  if (const int n = SquareSize(width, height); n != 0) {
    WithSquareSize(n, [&](auto size) { SquareProduct<decltype(size)::value, 1, kSquareSum, false>(mat, vec, dst); });
    return;
  }
  GeneralProduct<kGeneralSum, kTermsPerPass>(mat, vec, dst, height, 1, width);
}

#if SP_SET_HAS_F64_VECTORS
// Pairwise order of the packed double rows: (p0 + p1) + p2,
// (p0 + p1) + (p2 + p3), ((p0 + p1) + (p2 + p3)) + p4,
// ((p0 + p1) + (p2 + p3)) + (p4 + p5).
template <int N, class V, class Add>
V PairwiseSum(const V (&p)[N], Add add) {
  const V first = add(p[0], p[1]);
  if constexpr (N == 3) return add(first, p[2]);
  if constexpr (N == 4) return add(first, add(p[2], p[3]));
  if constexpr (N == 5) return add(add(first, add(p[2], p[3])), p[4]);
  if constexpr (N == 6) return add(add(first, add(p[2], p[3])), add(p[4], p[5]));
}

// Rows 0 and 1, 2 and 3, 4 and 5 side by side in the two lanes; the last row
// of an odd size alone. A pair of outputs is one 16-byte store when dst is
// 16-byte aligned, else two 8-byte stores.
template <int N>
void PairedRowsSquare(const double* mat, int64_t rowStride, const double* vec, double* dst) {
  using namespace simd;
  auto rowAt = [&](int64_t r) { return AtByte(mat, r * rowStride); };
  for (int r = 0; r + 1 < N; r += 2) {
    const double* upper = rowAt(r);
    const double* lower = rowAt(r + 1);
    f64x2 p[N];
    Unrolled<N>([&](auto j) { p[j] = Mul(LoadHigh1(LoadSingle(upper + j), lower + j), Splat(Ld(vec + j))); });
    const f64x2 sums = PairwiseSum<N>(p, [](f64x2 x, f64x2 y) { return Add(x, y); });
    if (Aligned16(dst))
      Store(dst + r, sums);
    else
      StoreSplit(dst + r, sums);
  }
  if constexpr (N % 2 == 1) {
    const double* last = rowAt(N - 1);
    double p[N];
    Unrolled<N>([&](auto j) { p[j] = Ld(last + j) * Ld(vec + j); });
    St(dst + N - 1, PairwiseSum<N>(p, [](double x, double y) { return x + y; }));
  }
}
#endif

template <class T>
ConstMatrix<T> Column(const T* base, int64_t stride) {
  return {base, stride, 0};
}
template <class T>
Matrix<T> Column(T* base, int64_t stride) {
  return {base, stride, 0};
}

template <class T, class UnitKernel, class ByteKernel>
spStatus MatMulVec(const T* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height,
                   const T* vec, int32_t vecStride, int32_t vecLen, T* dst, int32_t dstStride, UnitKernel unitKernel,
                   ByteKernel byteKernel) {
  if (const spStatus s =
          FirstFailure(CheckPointers(mat, vec, dst), CheckLength(vecLen), CheckLength(width), CheckLength(height),
                       CheckThat(width == vecLen, spErrSizeMismatch),
                       CheckThat(AllValidStrides<T>(matRowStride, matElemStride, vecStride, dstStride), spErrStride));
      s != spOk)
    return s;
  constexpr int32_t E = sizeof(T);
  if (matElemStride == E && vecStride == E && dstStride == E)
    return unitKernel(mat, matRowStride, width, height, vec, vecLen, dst);
  return byteKernel(mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride);
}

}  // namespace

spStatus SP_V(spkMatMulVecUnitStrideF32)(const float* mat, int32_t matRowStride, int32_t width, int32_t height,
                                         const float* vec, int32_t, float* dst) {
  MatTimesVec<kFloatGeneralSum, kFloatSquareSum>(ConstMatrix<float>{mat, matRowStride, 4}, width, height,
                                                 Column(vec, 4), Column(dst, 4));
  return spOk;
}

spStatus SP_V(spkMatMulVecByteStrideF32)(const float* mat, int32_t matRowStride, int32_t matElemStride, int32_t width,
                                         int32_t height, const float* vec, int32_t vecStride, int32_t, float* dst,
                                         int32_t dstStride) {
  MatTimesVec<kFloatGeneralSum, kFloatSquareSum>(ConstMatrix<float>{mat, matRowStride, matElemStride}, width, height,
                                                 Column(vec, vecStride), Column(dst, dstStride));
  return spOk;
}

spStatus SP_V(spkMatMulVecUnitStrideF64)(const double* mat, int32_t matRowStride, int32_t width, int32_t height,
                                         const double* vec, int32_t, double* dst) {
#if SP_SET_HAS_F64_VECTORS
  if (const int n = SquareSize(width, height); n != 0) {
    WithSquareSize(n, [&](auto size) { PairedRowsSquare<decltype(size)::value>(mat, matRowStride, vec, dst); });
    return spOk;
  }
#endif
  MatTimesVec<Sum::InElement, Sum::InElement>(ConstMatrix<double>{mat, matRowStride, 8}, width, height, Column(vec, 8),
                                              Column(dst, 8));
  return spOk;
}

spStatus SP_V(spkMatMulVecByteStrideF64)(const double* mat, int32_t matRowStride, int32_t matElemStride, int32_t width,
                                         int32_t height, const double* vec, int32_t vecStride, int32_t, double* dst,
                                         int32_t dstStride) {
  MatTimesVec<Sum::InElement, Sum::InElement>(ConstMatrix<double>{mat, matRowStride, matElemStride}, width, height,
                                              Column(vec, vecStride), Column(dst, dstStride));
  return spOk;
}

spStatus SP_V(spMatMulVecF32)(const float* mat, int32_t matRowStride, int32_t matElemStride, int32_t width,
                              int32_t height, const float* vec, int32_t vecStride, int32_t vecLen, float* dst,
                              int32_t dstStride) {
  return MatMulVec(mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride,
                   SP_V(spkMatMulVecUnitStrideF32), SP_V(spkMatMulVecByteStrideF32));
}

spStatus SP_V(spMatMulVecF64)(const double* mat, int32_t matRowStride, int32_t matElemStride, int32_t width,
                              int32_t height, const double* vec, int32_t vecStride, int32_t vecLen, double* dst,
                              int32_t dstStride) {
  return MatMulVec(mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride,
                   SP_V(spkMatMulVecUnitStrideF64), SP_V(spkMatMulVecByteStrideF64));
}

}  // namespace SP_SET_NS

// The matrix-times-vector dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_MAT_MUL_VEC_ENTRIES)
#endif
