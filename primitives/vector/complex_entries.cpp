// Dispatch entries of complex multiplication, conjugation and split.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_complex.h"

SP_DISPATCH(spStatus, spMulC32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spMulC64, (const double* a, const double* b, double* dst, int32_t n), (a, b, dst, n))
SP_DISPATCH(spStatus, spConjInPlaceC32, (float* srcDst, int32_t n), (srcDst, n))
SP_DISPATCH(spStatus, spConjInPlaceC64, (double* srcDst, int32_t n), (srcDst, n))
SP_DISPATCH(spStatus, spSplitComplexC32, (const float* src, float* dstRe, float* dstIm, int32_t n),
            (src, dstRe, dstIm, n))
