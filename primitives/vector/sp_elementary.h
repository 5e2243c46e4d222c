// Elementary functions over caller-owned arrays: square root (float and
// double), exponential (float) and inverse with a threshold (float).
//
// Checks run before any work: null pointers -8, a length below 1 -6, then
// the primitive's own condition; nothing is written on an error. Warnings
// (3 negative root, 4 division by zero) come after every element is written.
// The generic set rounds a double-precision result once (the root exactly,
// the others within one unit in the last place); the SIMD sets refine
// hardware estimates and may differ in the last bits (see each line). Every
// variant runs under its own float environment and hands the caller's MXCSR
// back bit for bit, sticky flags and denormal modes included.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_SQRT_ENTRIES(X)                                                             \
  /* dst[i] = sqrt(src[i]); src and dst are the same array or apart.                   \
     -0.0 gives -0.0 and +inf gives +inf without a warning; a negative element         \
     or -inf gives the default NaN and status 3. A NaN element gives NaN with          \
     status 3 in the generic set, without a warning in the SIMD sets (but for          \
     the SSE set's double root, which flags a NaN with the sign bit set).              \
     SIMD relative error: float about 3.1e-7, double about 6.1e-14. */                 \
  X(spStatus, spSqrtF32, (const float* src, float* dst, int32_t len), (src, dst, len)) \
  X(spStatus, spSqrtF64, (const double* src, double* dst, int32_t len), (src, dst, len))
SP_DECLARE_ENTRIES(SP_SQRT_ENTRIES)

#define SP_EXP_ENTRIES(X)                                                             \
  /* dst[i] = e^src[i], always spOk after the checks. From 88.72283935546875          \
     (the first float whose exponential overflows) up: +inf. Zero from                \
     -87.3365478515625 down (generic, four or more elements) or from                  \
     -87.3365021 down (SIMD sets); the generic set computes fewer than four           \
     elements with the C library (subnormal results included). A NaN element          \
     gives a NaN of its sign. SIMD results lie within a few units in the last         \
     place. */                                                                        \
  X(spStatus, spExpF32, (const float* src, float* dst, int32_t len), (src, dst, len)) \
  X(spStatus, spExpInPlaceF32, (float* srcDst, int32_t len), (srcDst, len))
SP_DECLARE_ENTRIES(SP_EXP_ENTRIES)

#define SP_INV_THRESH_ENTRIES(X)                                              \
  /* x = 1/x with the divisor's magnitude held at or above the threshold.     \
     A negative or NaN threshold gives -19; -0.0 counts as 0.                 \
     Threshold 0: an element equal to zero (either sign) becomes +inf and the \
     status is 4. Threshold above 0: |x| <= threshold gives -1/threshold for  \
     x < 0 and +1/threshold otherwise (both zeros give +1/threshold); no      \
     warning. A NaN element gives NaN without a warning. */                   \
  X(spStatus, spInvThreshInPlaceF32, (float* srcDst, int32_t len, float threshold), (srcDst, len, threshold))
SP_DECLARE_ENTRIES(SP_INV_THRESH_ENTRIES)
