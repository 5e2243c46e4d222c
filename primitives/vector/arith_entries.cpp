// Dispatch entries of the elementwise arithmetic primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_arith.h"

SP_DISPATCH(spStatus, spAbsF32, (const float* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spAbsF64, (const double* src, double* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spAddConstInPlaceF32, (float val, float* srcDst, int32_t n), (val, srcDst, n))
SP_DISPATCH(spStatus, spAddConstInPlaceF64, (double val, double* srcDst, int32_t n), (val, srcDst, n))
SP_DISPATCH(spStatus, spAddInPlaceF32, (const float* src, float* srcDst, int32_t n), (src, srcDst, n))
SP_DISPATCH(spStatus, spAddInPlaceF64, (const double* src, double* srcDst, int32_t n), (src, srcDst, n))
SP_DISPATCH(spStatus, spAddF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spAddF64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spSubInPlaceF32, (const float* src, float* srcDst, int32_t n), (src, srcDst, n))
SP_DISPATCH(spStatus, spSubInPlaceF64, (const double* src, double* srcDst, int32_t n), (src, srcDst, n))
SP_DISPATCH(spStatus, spSubF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spSubF64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spMulConstInPlaceF32, (float val, float* srcDst, int32_t n), (val, srcDst, n))
SP_DISPATCH(spStatus, spMulConstInPlaceF64, (double val, double* srcDst, int32_t n), (val, srcDst, n))
SP_DISPATCH(spStatus, spMulInPlaceF32, (const float* src, float* srcDst, int32_t n), (src, srcDst, n))
SP_DISPATCH(spStatus, spMulInPlaceF64, (const double* src, double* srcDst, int32_t n), (src, srcDst, n))
SP_DISPATCH(spStatus, spMulF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spMulF64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n))
