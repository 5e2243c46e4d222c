// Sum of the elements of a float or double array.
//
// Checks: src null -8, sum null -8, n below 1 -6 (*sum untouched); else the
// sum is written and spOk returned. Partial sums are kept in double
// precision; spSumF32 rounds once to float. hint 1 selects the fast mode of
// the SIMD sets (blocks of 32768 floats summed in single precision, block
// sums carried in double); any other value, and the generic set, sum in
// double throughout. Infinities and NaNs propagate.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_SUM_ENTRIES(X)                                                                             \
  X(spStatus, spSumF32, (const float* src, int32_t n, float* sum, int32_t hint), (src, n, sum, hint)) \
  X(spStatus, spSumF64, (const double* src, int32_t n, double* sum), (src, n, sum))
SP_DECLARE_ENTRIES(SP_SUM_ENTRIES)
