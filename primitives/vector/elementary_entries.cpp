// Dispatch entries of the square root, exponential and inverse-with-threshold
// primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_elementary.h"

SP_DISPATCH(spStatus, spSqrtF32, (const float* src, float* dst, int32_t len), (src, dst, len))
SP_DISPATCH(spStatus, spSqrtF64, (const double* src, double* dst, int32_t len), (src, dst, len))
SP_DISPATCH(spStatus, spExpF32, (const float* src, float* dst, int32_t len), (src, dst, len))
SP_DISPATCH(spStatus, spExpInPlaceF32, (float* srcDst, int32_t len), (srcDst, len))
SP_DISPATCH(spStatus, spInvThreshInPlaceF32, (float* srcDst, int32_t len, float threshold), (srcDst, len, threshold))
