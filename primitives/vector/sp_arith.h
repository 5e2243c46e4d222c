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

#include "primitives/frame/sp_status.h"

// dst[i] = |src[i]| (sign bit cleared).
spStatus spAbsF32(const float* src, float* dst, int32_t n);
spStatus spAbsF64(const double* src, double* dst, int32_t n);

// srcDst[i] += val.
spStatus spAddConstInPlaceF32(float val, float* srcDst, int32_t n);
spStatus spAddConstInPlaceF64(double val, double* srcDst, int32_t n);
// srcDst[i] += src[i].
spStatus spAddInPlaceF32(const float* src, float* srcDst, int32_t n);
spStatus spAddInPlaceF64(const double* src, double* srcDst, int32_t n);
// dst[i] = a[i] + b[i].
spStatus spAddF32(const float* a, const float* b, float* dst, int32_t n);
spStatus spAddF64(const double* a, const double* b, double* dst, int32_t n);

// srcDst[i] -= src[i].
spStatus spSubInPlaceF32(const float* src, float* srcDst, int32_t n);
spStatus spSubInPlaceF64(const double* src, double* srcDst, int32_t n);
// dst[i] = b[i] - a[i]: the second array minus the first.
spStatus spSubF32(const float* a, const float* b, float* dst, int32_t n);
spStatus spSubF64(const double* a, const double* b, double* dst, int32_t n);

// srcDst[i] *= val.
spStatus spMulConstInPlaceF32(float val, float* srcDst, int32_t n);
spStatus spMulConstInPlaceF64(double val, double* srcDst, int32_t n);
// srcDst[i] *= src[i].
spStatus spMulInPlaceF32(const float* src, float* srcDst, int32_t n);
spStatus spMulInPlaceF64(const double* src, double* srcDst, int32_t n);
// dst[i] = a[i] * b[i].
spStatus spMulF32(const float* a, const float* b, float* dst, int32_t n);
spStatus spMulF64(const double* a, const double* b, double* dst, int32_t n);
