// Natural logarithm of every element of a float or double array.
//
// Checks: a null array pointer -8, then len below 1 -6; nothing is written
// on an error. Otherwise every element is written:
//   positive finite (normal or subnormal)  ln(x)
//   +0                                      -inf, warning spWarnLnZero (7)
//   sign bit set (negatives, -0, -inf, -NaN) NaN with the sign bit set
//                                           (0xFFC00000 / 0xFFF8000000000000),
//                                           warning spWarnLnNegative (8)
//   +inf                                    +inf
//   positive NaN                            a positive NaN, no warning
// The status is the warning of the lowest-indexed zero or negative element,
// else spOk. The generic set uses the C library's log in double precision;
// the SIMD sets evaluate in the element's own precision (last-bit
// differences).
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_LN_ENTRIES(X)                                                             \
  X(spStatus, spLnInPlaceF32, (float* srcDst, int32_t len), (srcDst, len))           \
  X(spStatus, spLnF32, (const float* src, float* dst, int32_t len), (src, dst, len)) \
  X(spStatus, spLnInPlaceF64, (double* srcDst, int32_t len), (srcDst, len))          \
  X(spStatus, spLnF64, (const double* src, double* dst, int32_t len), (src, dst, len))
SP_DECLARE_ENTRIES(SP_LN_ENTRIES)
