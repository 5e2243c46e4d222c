// The matrix kernels, one member per set under the set's suffix; a set's
// entry variants call only their own members, after every argument check.
//
// Kernels check nothing: pointers are valid, counts at least 1, vecLen equals
// width and aWidth equals bHeight, strides positive multiples of the element
// size. They always return spOk. A unit-stride kernel takes element strides
// of one element; row strides stay in bytes.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

#define SP_MATRIX_KERNELS(X)                                                                                           \
  /* dst(i) = src(i) * val. */                                                                                         \
  X(spStatus, spkMulConstUnitStrideF32, (const float* src, float val, float* dst, int32_t len))                        \
  X(spStatus, spkMulConstByteStrideF32,                                                                                \
    (const float* src, int32_t srcStride, float val, float* dst, int32_t dstStride, int32_t len))                      \
  X(spStatus, spkMulConstUnitStrideF64, (const double* src, double val, double* dst, int32_t len))                     \
  X(spStatus, spkMulConstByteStrideF64,                                                                                \
    (const double* src, int32_t srcStride, double val, double* dst, int32_t dstStride, int32_t len))                   \
  /* dst(i) = sum over j of mat(i, j) * vec(j). */                                                                     \
  X(spStatus, spkMatMulVecUnitStrideF32,                                                                               \
    (const float* mat, int32_t matRowStride, int32_t width, int32_t height, const float* vec, int32_t vecLen,          \
     float* dst))                                                                                                      \
  X(spStatus, spkMatMulVecByteStrideF32,                                                                               \
    (const float* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height, const float* vec,   \
     int32_t vecStride, int32_t vecLen, float* dst, int32_t dstStride))                                                \
  X(spStatus, spkMatMulVecUnitStrideF64,                                                                               \
    (const double* mat, int32_t matRowStride, int32_t width, int32_t height, const double* vec, int32_t vecLen,        \
     double* dst))                                                                                                     \
  X(spStatus, spkMatMulVecByteStrideF64,                                                                               \
    (const double* mat, int32_t matRowStride, int32_t matElemStride, int32_t width, int32_t height, const double* vec, \
     int32_t vecStride, int32_t vecLen, double* dst, int32_t dstStride))                                               \
  /* C(i, k) = sum over j of A(i, j) * B(j, k). */                                                                     \
  X(spStatus, spkMatMulMatUnitStrideF32,                                                                               \
    (const float* A, int32_t aRowStride, int32_t aWidth, int32_t aHeight, const float* B, int32_t bRowStride,          \
     int32_t bWidth, int32_t bHeight, float* C, int32_t cRowStride))                                                   \
  X(spStatus, spkMatMulMatByteStrideF32,                                                                               \
    (const float* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight, const float* B,         \
     int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, float* C, int32_t cRowStride,           \
     int32_t cElemStride))                                                                                             \
  X(spStatus, spkMatMulMatUnitStrideF64,                                                                               \
    (const double* A, int32_t aRowStride, int32_t aWidth, int32_t aHeight, const double* B, int32_t bRowStride,        \
     int32_t bWidth, int32_t bHeight, double* C, int32_t cRowStride))                                                  \
  X(spStatus, spkMatMulMatByteStrideF64,                                                                               \
    (const double* A, int32_t aRowStride, int32_t aElemStride, int32_t aWidth, int32_t aHeight, const double* B,       \
     int32_t bRowStride, int32_t bElemStride, int32_t bWidth, int32_t bHeight, double* C, int32_t cRowStride,          \
     int32_t cElemStride))

SP_DECLARE_KERNELS(SP_MATRIX_KERNELS)
