// Cross-correlation over a window of lags and autocorrelation of real
// sequences, by direct sums or by FFT, whichever the size makes cheaper.
//
// spCrossCorrF64 / spCrossCorrF32: dst[k] = sum over n of a[n] * b[n + l]
// with l = lowLag + k, k < dstLen, over every n with both indices inside
// their arrays; a lag without overlap (l <= -aLen or l >= bLen) gives 0. The
// whole sequence is lowLag = 1 - aLen, dstLen = aLen + bLen - 1. The overlap
// lags are summed directly while trunc(lags * min(aLen, bLen) / max(aLen,
// bLen)) stays at 511 (double) or 383 (float), else through one real FFT of
// the zero-padded pair. dst must not overlap a or b.
//
// spAutoCorrBiasedF32 / spAutoCorrUnbiasedF32: with lags = min(srcLen,
// dstLen), dst[k] = r[k] / srcLen (biased, the factor rounded to float once)
// or r[k] / (srcLen - k) (unbiased) for k < lags, r[k] = sum over n of
// src[n] * src[n + k]; dst[lags ..] = 0. Directly below 600 lags (generic
// set), 700 (SSE) or 856 (SSE2 and later), else by FFT of 2 * srcLen points
// or more.
//
// Statuses in this order: a null pointer -8; a length below 1 -6; on the FFT
// path -15 when the transform would need an order above 30, the transform
// set-up's status, and -9 when memory runs out. On every error nothing at
// all is written to dst. Direct sums cannot fail.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

#define SP_CROSSCORR_ENTRIES(X)                                                                                  \
  X(spStatus, spCrossCorrF64,                                                                                    \
    (const double* a, int32_t aLen, const double* b, int32_t bLen, double* dst, int32_t dstLen, int32_t lowLag), \
    (a, aLen, b, bLen, dst, dstLen, lowLag))                                                                     \
  X(spStatus, spCrossCorrF32,                                                                                    \
    (const float* a, int32_t aLen, const float* b, int32_t bLen, float* dst, int32_t dstLen, int32_t lowLag),    \
    (a, aLen, b, bLen, dst, dstLen, lowLag))
SP_DECLARE_ENTRIES(SP_CROSSCORR_ENTRIES)

#define SP_AUTOCORR_ENTRIES(X)                                                                       \
  X(spStatus, spAutoCorrBiasedF32, (const float* src, int32_t srcLen, float* dst, int32_t dstLen),   \
    (src, srcLen, dst, dstLen))                                                                      \
  X(spStatus, spAutoCorrUnbiasedF32, (const float* src, int32_t srcLen, float* dst, int32_t dstLen), \
    (src, srcLen, dst, dstLen))
SP_DECLARE_ENTRIES(SP_AUTOCORR_ENTRIES)
