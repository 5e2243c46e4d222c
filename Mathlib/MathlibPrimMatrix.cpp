#include <cstdint>
#include <limits>

#include "Mathlib/MathlibPrim.h"
#include "primitives/matrix/sp_matrix.h"

namespace {

// Rows of a product lie back to back, bCols elements apart. A distance that
// does not fit the primitive's 32-bit stride is passed as 0, which the
// primitive rejects (-182) after its other checks; a single row never steps
// by its row stride, so one element serves there.
template <class T>
int32_t ProductRowStride(int32_t bCols, int32_t aRows) {
  const int64_t bytes = int64_t{bCols} * static_cast<int64_t>(sizeof(T));
  if (bytes <= std::numeric_limits<int32_t>::max()) return static_cast<int32_t>(bytes);
  return aRows == 1 ? static_cast<int32_t>(sizeof(T)) : 0;
}

}  // namespace

spStatus duvuvMulConstStridedF32(const float* src, float val, float* dst, int32_t n) {
  return spMulConstStridedF32(src, 4, val, dst, 4, n);
}
spStatus duvuvMulConstStridedF64(const double* src, double val, double* dst, int32_t n) {
  return spMulConstStridedF64(src, 8, val, dst, 8, n);
}

spStatus duvuvMatMulVecF32(const float* mat, int32_t matRowStride, int32_t cols, int32_t rows, const float* vec,
                           int32_t vecLen, float* dst) {
  return spMatMulVecF32(mat, matRowStride, 4, cols, rows, vec, 4, vecLen, dst, 4);
}
spStatus duvuvMatMulVecF64(const double* mat, int32_t matRowStride, int32_t cols, int32_t rows, const double* vec,
                           int32_t vecLen, double* dst) {
  return spMatMulVecF64(mat, matRowStride, 8, cols, rows, vec, 8, vecLen, dst, 8);
}

spStatus duvuvMatMulMatF32(const float* a, int32_t aRowStride, int32_t aCols, int32_t aRows, const float* b,
                           int32_t bRowStride, int32_t bCols, int32_t bRows, float* dst) {
  return spMatMulMatF32(a, aRowStride, 4, aCols, aRows, b, bRowStride, 4, bCols, bRows, dst,
                        ProductRowStride<float>(bCols, aRows), 4);
}
spStatus duvuvMatMulMatF64(const double* a, int32_t aRowStride, int32_t aCols, int32_t aRows, const double* b,
                           int32_t bRowStride, int32_t bCols, int32_t bRows, double* dst) {
  return spMatMulMatF64(a, aRowStride, 8, aCols, aRows, b, bRowStride, 8, bCols, bRows, dst,
                        ProductRowStride<double>(bCols, aRows), 8);
}

spStatus duvuvCopy2DStridedF32(const float* src, int32_t srcRowStride, int32_t srcElemStride, float* dst,
                               int32_t dstRowStride, int32_t dstElemStride, int32_t width, int32_t height) {
  return spCopy2DStridedF32(src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height);
}
spStatus duvuvCopy2DStridedF64(const double* src, int32_t srcRowStride, int32_t srcElemStride, double* dst,
                               int32_t dstRowStride, int32_t dstElemStride, int32_t width, int32_t height) {
  return spCopy2DStridedF64(src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height);
}
