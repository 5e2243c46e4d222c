// Multiplication of an array by a symmetric Hamming or Hann window of its own
// length: dst[k] = src[k] * w(k), k = 0 .. n-1, with theta = 2 pi / (n - 1)
//   Hamming w(k) = 0.54 - 0.46 cos(k theta)   (0.08 at both ends)
//   Hann    w(k) = 0.5 - 0.5 cos(k theta)     (0 at both ends)
// The weights come from one or two library cosines and a recurrence walked
// from both ends at once, so dst[k] and dst[n-1-k] always get the same
// weight; the centre element of an odd length is copied unchanged. The
// variant sets differ only in the rounding of the weights: each recurrence
// drifts from the direct cosine by about 1e-18 * n^2.
//
// Every call checks null pointers (-8) then n below 3 (-6) and writes nothing
// on an error. dst may be src itself.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_WINDOW_ENTRIES(X)                                                               \
  X(spStatus, spWinHammingF64, (const double* src, double* dst, int32_t n), (src, dst, n)) \
  X(spStatus, spWinHammingF32, (const float* src, float* dst, int32_t n), (src, dst, n))   \
  X(spStatus, spWinHannF64, (const double* src, double* dst, int32_t n), (src, dst, n))    \
  /* n = 3 writes +0.0, src[1], +0.0 without any multiplication. */                        \
  X(spStatus, spWinHannF32, (const float* src, float* dst, int32_t n), (src, dst, n))
SP_DECLARE_ENTRIES(SP_WINDOW_ENTRIES)
