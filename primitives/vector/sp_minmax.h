// Largest and smallest element of an int32, float or double array, and in
// the index forms its first position.
//
// Checks: src or the result pointer null -8, n below 1 -6; nothing is
// written on an error. A null index pointer makes an index form behave as
// the plain form (the index is not touched). The result is always a copy of
// one element. The generic set defines NaN handling: the maximum replaces
// the running value only on an ordered "greater", the minimum on "less or
// unordered"; the SIMD sets agree with it for data free of NaN and of zeros
// of both signs.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_MINMAX_ENTRIES(X)                                                                                      \
  X(spStatus, spMaxI32, (const int32_t* src, int32_t n, int32_t* max), (src, n, max))                             \
  X(spStatus, spMaxF32, (const float* src, int32_t n, float* max), (src, n, max))                                 \
  X(spStatus, spMaxF64, (const double* src, int32_t n, double* max), (src, n, max))                               \
  X(spStatus, spMaxIndexI32, (const int32_t* src, int32_t n, int32_t* max, int32_t* index), (src, n, max, index)) \
  X(spStatus, spMaxIndexF32, (const float* src, int32_t n, float* max, int32_t* index), (src, n, max, index))     \
  X(spStatus, spMaxIndexF64, (const double* src, int32_t n, double* max, int32_t* index), (src, n, max, index))   \
  X(spStatus, spMinI32, (const int32_t* src, int32_t n, int32_t* min), (src, n, min))                             \
  X(spStatus, spMinF32, (const float* src, int32_t n, float* min), (src, n, min))                                 \
  X(spStatus, spMinF64, (const double* src, int32_t n, double* min), (src, n, min))                               \
  X(spStatus, spMinIndexI32, (const int32_t* src, int32_t n, int32_t* min, int32_t* index), (src, n, min, index)) \
  X(spStatus, spMinIndexF32, (const float* src, int32_t n, float* min, int32_t* index), (src, n, min, index))     \
  X(spStatus, spMinIndexF64, (const double* src, int32_t n, double* min, int32_t* index), (src, n, min, index))
SP_DECLARE_ENTRIES(SP_MINMAX_ENTRIES)
