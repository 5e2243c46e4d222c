// Dispatch entries of the sum primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_sum.h"

SP_DISPATCH(spStatus, spSumF32, (const float* src, int32_t n, float* sum, int32_t hint), (src, n, sum, hint))
SP_DISPATCH(spStatus, spSumF64, (const double* src, int32_t n, double* sum), (src, n, sum))
