#include "Mathlib/MathlibPrim.h"
#include "primitives/vector/sp_arith.h"
#include "primitives/vector/sp_complex.h"

spStatus duvuvAbsF32(const float* src, float* dst, int32_t n) { return spAbsF32(src, dst, n); }
spStatus duvuvAbsF64(const double* src, double* dst, int32_t n) { return spAbsF64(src, dst, n); }
spStatus duvuvAddConstInPlaceF32(float val, float* srcDst, int32_t n) { return spAddConstInPlaceF32(val, srcDst, n); }
spStatus duvuvAddConstInPlaceF64(double val, double* srcDst, int32_t n) { return spAddConstInPlaceF64(val, srcDst, n); }
spStatus duvuvAddInPlaceF32(const float* src, float* srcDst, int32_t n) { return spAddInPlaceF32(src, srcDst, n); }
spStatus duvuvAddInPlaceF64(const double* src, double* srcDst, int32_t n) { return spAddInPlaceF64(src, srcDst, n); }
spStatus duvuvAddF32(const float* a, const float* b, float* dst, int32_t n) { return spAddF32(a, b, dst, n); }
spStatus duvuvAddF64(const double* a, const double* b, double* dst, int32_t n) { return spAddF64(a, b, dst, n); }
spStatus duvuvSubInPlaceF32(const float* src, float* srcDst, int32_t n) { return spSubInPlaceF32(src, srcDst, n); }
spStatus duvuvSubInPlaceF64(const double* src, double* srcDst, int32_t n) { return spSubInPlaceF64(src, srcDst, n); }
// The primitive gives its second array minus its first: swap for dst = a - b.
spStatus duvuvSubF32(const float* a, const float* b, float* dst, int32_t n) { return spSubF32(b, a, dst, n); }
spStatus duvuvSubF64(const double* a, const double* b, double* dst, int32_t n) { return spSubF64(b, a, dst, n); }
spStatus duvuvMulConstInPlaceF32(float val, float* srcDst, int32_t n) { return spMulConstInPlaceF32(val, srcDst, n); }
spStatus duvuvMulConstInPlaceF64(double val, double* srcDst, int32_t n) { return spMulConstInPlaceF64(val, srcDst, n); }
spStatus duvuvMulInPlaceF32(const float* src, float* srcDst, int32_t n) { return spMulInPlaceF32(src, srcDst, n); }
spStatus duvuvMulInPlaceF64(const double* src, double* srcDst, int32_t n) { return spMulInPlaceF64(src, srcDst, n); }
spStatus duvuvMulF32(const float* a, const float* b, float* dst, int32_t n) { return spMulF32(a, b, dst, n); }
spStatus duvuvMulF64(const double* a, const double* b, double* dst, int32_t n) { return spMulF64(a, b, dst, n); }
spStatus duvuvMulC32(const float* a, const float* b, float* dst, int32_t n) { return spMulC32(a, b, dst, n); }
spStatus duvuvMulC64(const double* a, const double* b, double* dst, int32_t n) { return spMulC64(a, b, dst, n); }
