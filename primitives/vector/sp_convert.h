// Array conversions between integer and floating-point element types, some
// with a power-of-two scale (the result is the source times 2^-scaleFactor),
// rounding and saturation.
//
// Every call checks null pointers (-8) then n below 1 (-6) and writes nothing
// on an error; otherwise it writes all n results and returns spOk. Scale
// factors and rounding modes are never rejected; out-of-range values
// saturate silently.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_CONVERT_ENTRIES(X)                                                                                       \
  /* Exact widening conversions. */                                                                                 \
  X(spStatus, spConvI8ToF32, (const int8_t* src, float* dst, int32_t n), (src, dst, n))                             \
  X(spStatus, spConvI16ToF32, (const int16_t* src, float* dst, int32_t n), (src, dst, n))                           \
  X(spStatus, spConvI32ToF64, (const int32_t* src, double* dst, int32_t n), (src, dst, n))                          \
  X(spStatus, spConvI8ToI16, (const int8_t* src, int16_t* dst, int32_t n), (src, dst, n))                           \
  /* Rounds to single precision under the caller's rounding mode (nearest by                                        \
     default: 16777217 gives 16777216). */                                                                          \
  X(spStatus, spConvI32ToF32, (const int32_t* src, float* dst, int32_t n), (src, dst, n))                           \
  /* dst[i] = src[i] * 2^-s with s = scaleFactor clamped to -1008..1022, so                                         \
     every product is exact and finite. */                                                                          \
  X(spStatus, spConvI16ToF64Scaled, (const int16_t* src, double* dst, int32_t n, int32_t scaleFactor),              \
    (src, dst, n, scaleFactor))                                                                                     \
  /* dst[i] = saturate16(round(src[i] * 2^-scaleFactor)): a positive factor                                         \
     (at most 31 counts) divides with rounding to nearest, ties to even; a                                          \
     negative one (at most 15 counts) multiplies with saturation. */                                                \
  X(spStatus, spConvI32ToI16Sat, (const int32_t* src, int16_t* dst, int32_t n, int32_t scaleFactor),                \
    (src, dst, n, scaleFactor))                                                                                     \
  /* dst[i] = saturate32(round(src[i] * 2^-scaleFactor)), rounding to nearest                                       \
     with ties to even for roundMode 1 and toward zero for any other mode. The                                      \
     scale is an exact power of two for every factor; +-inf saturate; NaN gives                                     \
     -2147483648 in the generic and SSE sets and 2147483647 in the SSE2 and                                         \
     later sets. Results do not depend on the caller's rounding mode, and the                                       \
     caller's floating-point control word and flags are unchanged on return. */                                     \
  X(spStatus, spConvF64ToI32, (const double* src, int32_t* dst, int32_t n, int32_t roundMode, int32_t scaleFactor), \
    (src, dst, n, roundMode, scaleFactor))
SP_DECLARE_ENTRIES(SP_CONVERT_ENTRIES)
