// Dispatch entries of the mean and standard-deviation primitives.
#include "primitives/frame/dispatch.h"
#include "primitives/vector/sp_mean_stddev.h"

SP_DISPATCH(spStatus, spMeanF32, (const float* src, int32_t n, float* mean, int32_t hint), (src, n, mean, hint))
SP_DISPATCH(spStatus, spMeanF64, (const double* src, int32_t n, double* mean), (src, n, mean))
SP_DISPATCH(spStatus, spStdDevF32, (const float* src, int32_t n, float* stdDev, int32_t hint), (src, n, stdDev, hint))
SP_DISPATCH(spStatus, spStdDevF64, (const double* src, int32_t n, double* stdDev), (src, n, stdDev))
