// Dispatch entries of the natural-logarithm primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_ln.h"

SP_DISPATCH(spStatus, spLnInPlaceF32, (float* srcDst, int32_t len), (srcDst, len))
SP_DISPATCH(spStatus, spLnF32, (const float* src, float* dst, int32_t len), (src, dst, len))
SP_DISPATCH(spStatus, spLnInPlaceF64, (double* srcDst, int32_t len), (srcDst, len))
SP_DISPATCH(spStatus, spLnF64, (const double* src, double* dst, int32_t len), (src, dst, len))
