// Arithmetic mean and sample standard deviation (divisor n - 1) of a float
// or double array.
//
// Checks: src or the result pointer null -8; n below 1 (mean) or 2 (std
// dev) -6; nothing is written on an error. The mean is sum / n in double
// precision with the sum formed as by spSumF32 / spSumF64 (same hint). The
// standard deviation takes S and Q (sum and sum of squares) in one pass:
// sqrt((n*Q - S^2) / (n*(n-1))), and 0 whenever n*Q - S^2 is not above 0,
// including data holding NaN or infinities. hint 1 makes the SIMD float
// variants form block sums in single precision.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_MEAN_STDDEV_ENTRIES(X)                                                                              \
  X(spStatus, spMeanF32, (const float* src, int32_t n, float* mean, int32_t hint), (src, n, mean, hint))       \
  X(spStatus, spMeanF64, (const double* src, int32_t n, double* mean), (src, n, mean))                         \
  X(spStatus, spStdDevF32, (const float* src, int32_t n, float* stdDev, int32_t hint), (src, n, stdDev, hint)) \
  X(spStatus, spStdDevF64, (const double* src, int32_t n, double* stdDev), (src, n, stdDev))
SP_DECLARE_ENTRIES(SP_MEAN_STDDEV_ENTRIES)
