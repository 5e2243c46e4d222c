// Elementwise arithmetic on float and double arrays: absolute value, add,
// subtract and multiply of two arrays (into a third or in place), and add or
// multiply by a constant in place.
//
// Every call checks null pointers (-8) then n below 1 (-6) and writes nothing
// on an error; otherwise it writes all n results and returns spOk. A
// destination may be the very same array as a source (not an offset one).
// Constant fast paths: adding +-0 or NaN, or multiplying by 1 or NaN, leaves
// the array untouched; multiplying by +-0 writes +0.0 into every element.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_ARITH_ENTRIES(X)                                                                         \
  /* dst[i] = |src[i]| (sign bit cleared). */                                                       \
  X(spStatus, spAbsF32, (const float* src, float* dst, int32_t n), (src, dst, n))                   \
  X(spStatus, spAbsF64, (const double* src, double* dst, int32_t n), (src, dst, n))                 \
  /* srcDst[i] += val. */                                                                           \
  X(spStatus, spAddConstInPlaceF32, (float val, float* srcDst, int32_t n), (val, srcDst, n))        \
  X(spStatus, spAddConstInPlaceF64, (double val, double* srcDst, int32_t n), (val, srcDst, n))      \
  /* srcDst[i] += src[i]. */                                                                        \
  X(spStatus, spAddInPlaceF32, (const float* src, float* srcDst, int32_t n), (src, srcDst, n))      \
  X(spStatus, spAddInPlaceF64, (const double* src, double* srcDst, int32_t n), (src, srcDst, n))    \
  /* dst[i] = a[i] + b[i]. */                                                                       \
  X(spStatus, spAddF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))    \
  X(spStatus, spAddF64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n)) \
  /* srcDst[i] -= src[i]. */                                                                        \
  X(spStatus, spSubInPlaceF32, (const float* src, float* srcDst, int32_t n), (src, srcDst, n))      \
  X(spStatus, spSubInPlaceF64, (const double* src, double* srcDst, int32_t n), (src, srcDst, n))    \
  /* dst[i] = b[i] - a[i]: the second array minus the first. */                                     \
  X(spStatus, spSubF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))    \
  X(spStatus, spSubF64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n)) \
  /* srcDst[i] *= val. */                                                                           \
  X(spStatus, spMulConstInPlaceF32, (float val, float* srcDst, int32_t n), (val, srcDst, n))        \
  X(spStatus, spMulConstInPlaceF64, (double val, double* srcDst, int32_t n), (val, srcDst, n))      \
  /* srcDst[i] *= src[i]. */                                                                        \
  X(spStatus, spMulInPlaceF32, (const float* src, float* srcDst, int32_t n), (src, srcDst, n))      \
  X(spStatus, spMulInPlaceF64, (const double* src, double* srcDst, int32_t n), (src, srcDst, n))    \
  /* dst[i] = a[i] * b[i]. */                                                                       \
  X(spStatus, spMulF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))    \
  X(spStatus, spMulF64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n))
SP_DECLARE_ENTRIES(SP_ARITH_ENTRIES)
