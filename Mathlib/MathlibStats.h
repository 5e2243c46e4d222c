// Mean removal in place and Pearson's correlation coefficient.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

// Subtracts the mean; returns the add-constant step's status (-8 null, -6 n < 1).
spStatus MathlibRemoveMeanF32(float* srcDst, int32_t n);
spStatus MathlibRemoveMeanF64(double* srcDst, int32_t n);

// r in [-1, 1]; 0 for n < 1, a constant vector or a NaN among the values.
float MathlibCorrCoefF32(const float* x, const float* y, int32_t n);
double MathlibCorrCoefF64(const double* x, const double* y, int32_t n);
