// Strided vectors and matrices in single and double precision: multiply by a
// constant, matrix times vector, matrix times matrix, and a two-dimensional
// copy.
//
// Every stride is a signed 32-bit byte count and must be a positive multiple
// of the element size E (4 for F32, 8 for F64). Element (r, c) of a matrix
// lies at base + r * rowStride + c * elemStride, element i of a vector at
// base + i * stride; rows may be padded, overlap, or be read column by column
// (an element stride larger than the row stride). No pointer needs any
// alignment. Outputs must not overlap inputs, except that the multiplication
// by a constant may run in place with equal strides.
//
// Checks, in this order, before anything is written: null pointers (-8),
// counts below 1 (-6), size mismatch (-204), strides (-182). The 2-D copy
// reports a height below 1 as -203 and ignores its row strides for one row.
//
// Sums add their terms in increasing index. Single precision: the generic set
// sums exact products in double and rounds each output once, the SIMD sets
// mostly round every product and partial sum to float, so the sets agree up
// to the last bits (the kernels' sources say which set sums where). Square
// shapes of 3 to 6 sum from the first product, so a sum of negative zeros is
// -0 there and +0 in the general loops, which start from +0. The general
// loops store every partial sum in the output while they run.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// dst(i) = src(i) * val for i < len.
#define SP_MUL_CONST_STRIDED_ENTRIES(X)                                                              \
  X(spStatus, spMulConstStridedF32,                                                                  \
    (const float* src, int32_t srcStride, float val, float* dst, int32_t dstStride, int32_t len),    \
    (src, srcStride, val, dst, dstStride, len))                                                      \
  X(spStatus, spMulConstStridedF64,                                                                  \
    (const double* src, int32_t srcStride, double val, double* dst, int32_t dstStride, int32_t len), \
    (src, srcStride, val, dst, dstStride, len))
SP_DECLARE_ENTRIES(SP_MUL_CONST_STRIDED_ENTRIES)

// dst(i) = sum over j < width of mat(i, j) * vec(j), for i < height; vecLen
// must equal width.
#define SP_MAT_MUL_VEC_ENTRIES(X)                                                                                      \
  X(spStatus, spMatMulVecF32,                                                                                          \
    (const float* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height, const float* vec,   \
     int32_t vecStride, int32_t vecLen, float* dst, int32_t dstStride),                                                \
    (mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride))                         \
  X(spStatus, spMatMulVecF64,                                                                                          \
    (const double* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height, const double* vec, \
     int32_t vecStride, int32_t vecLen, double* dst, int32_t dstStride),                                               \
    (mat, matRowStride, matElemStride, width, height, vec, vecStride, vecLen, dst, dstStride))
SP_DECLARE_ENTRIES(SP_MAT_MUL_VEC_ENTRIES)

// C(i, k) = sum over j < aWidth of A(i, j) * B(j, k), for i < aHeight and
// k < bWidth; bHeight must equal aWidth. Rows of C overlap unless cRowStride
// is at least bWidth * cElemStride.
#define SP_MAT_MUL_MAT_ENTRIES(X)                                                                                \
  X(spStatus, spMatMulMatF32,                                                                                    \
    (const float* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight, const float* B,   \
     int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, float* C, int32_t cRowStride,     \
     int32_t cElemStride),                                                                                       \
    (A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C, cRowStride,    \
     cElemStride))                                                                                               \
  X(spStatus, spMatMulMatF64,                                                                                    \
    (const double* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight, const double* B, \
     int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, double* C, int32_t cRowStride,    \
     int32_t cElemStride),                                                                                       \
    (A, aRowStride, aElemStride, aWidth, aHeight, B, bRowStride, bElemStride, bWidth, bHeight, C, cRowStride,    \
     cElemStride))
SP_DECLARE_ENTRIES(SP_MAT_MUL_MAT_ENTRIES)

// dst(r, c) = src(r, c), row by row, bit for bit (the element is moved as an
// E-byte word, so any data of that size survives, signalling NaNs included).
#define SP_COPY_2D_STRIDED_ENTRIES(X)                                                                   \
  X(spStatus, spCopy2DStridedF32,                                                                       \
    (const float* src, int32_t srcRowStride, int32_t srcElemStride, float* dst, int32_t dstRowStride,   \
     int32_t dstElemStride, int32_t width, int32_t height),                                             \
    (src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height))                \
  X(spStatus, spCopy2DStridedF64,                                                                       \
    (const double* src, int32_t srcRowStride, int32_t srcElemStride, double* dst, int32_t dstRowStride, \
     int32_t dstElemStride, int32_t width, int32_t height),                                             \
    (src, srcRowStride, srcElemStride, dst, dstRowStride, dstElemStride, width, height))
SP_DECLARE_ENTRIES(SP_COPY_2D_STRIDED_ENTRIES)
