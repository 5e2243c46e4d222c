// Dot product sum(a[i] * b[i]) of two float or double arrays.
//
// Checks: a null -8, b null -8, result null -8, n below 1 -6 (*result
// untouched). The generic set (and the SSE set for doubles) adds the exact
// products in index order in double precision and rounds once; the SIMD
// float variants multiply and add in single precision in several partial
// sums, so their results differ from the generic one in the last bits.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_DOT_ENTRIES(X)                                                                              \
  X(spStatus, spDotF32, (const float* a, const float* b, int32_t n, float* result), (a, b, n, result)) \
  X(spStatus, spDotF64, (const double* a, const double* b, int32_t n, double* result), (a, b, n, result))
SP_DECLARE_ENTRIES(SP_DOT_ENTRIES)
