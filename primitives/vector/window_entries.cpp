// Dispatch entries of the window primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_window.h"

SP_DISPATCH(spStatus, spWinHammingF64, (const double* src, double* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spWinHammingF32, (const float* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spWinHannF64, (const double* src, double* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spWinHannF32, (const float* src, float* dst, int32_t n), (src, dst, n))
