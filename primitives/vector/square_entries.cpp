// Dispatch entries of the square primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_square.h"

SP_DISPATCH(spStatus, spSqrF32, (const float* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spSqrF64, (const double* src, double* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spSqrInPlaceF32, (float* srcDst, int32_t n), (srcDst, n))
SP_DISPATCH(spStatus, spSqrInPlaceF64, (double* srcDst, int32_t n), (srcDst, n))
