// FIR design and filtering in double-precision taps.
//
// spFirLowpassTapsF64 / spFirHighpassTapsF64 design a linear-phase filter of
// len taps (len >= 5, odd or even) by the windowed-sinc method for a cut-off
// relFreq in (0, 0.5] of the sample rate. windowKind 0 Bartlett, 1 Blackman,
// 2 Hamming, 3 Hann, anything else none. With normalize non-zero the taps are
// scaled to unit gain at 0 (low-pass) or at half the sample rate (high-pass).
// The taps are symmetric, except the even-length high-pass, whose taps are
// antisymmetric. Statuses in this order: taps null -8; len < 5 -6; relFreq
// not above 0, NaN or above 0.5 -6; a high-pass with relFreq 0.5 (it passes
// nothing) -6; scratch memory unavailable -8. Nothing is written on an error.
//
// spFirF32 / spFirF64 run a direct-form FIR filter over len samples:
// dst[n] = sum over k < tapsLen of taps[k] * x[n - k], accumulated in double
// in a fixed order (so every variant set gives the same bits). The caller
// owns the filter's history: a delay line of 2 * tapsLen samples (zeroed for
// a fresh filter) and its index in 0 .. tapsLen-1 (0 for a fresh filter),
// which the call advances; a signal filtered in blocks of any size gives the
// same output as in one call. src and dst may be the same array. Statuses in
// this order: src or dst null -8; len < 1 -6; taps null -8; tapsLen < 1 -26;
// delayLine or delayIndex null -8; *delayIndex outside 0 .. tapsLen-1 -26.
// Nothing is written on an error.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

#define SP_FIR_DESIGN_ENTRIES(X)                                                                                       \
  X(spStatus, spFirLowpassTapsF64, (double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize), \
    (relFreq, taps, len, windowKind, normalize))                                                                       \
  X(spStatus, spFirHighpassTapsF64,                                                                                    \
    (double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize),                                \
    (relFreq, taps, len, windowKind, normalize))
SP_DECLARE_ENTRIES(SP_FIR_DESIGN_ENTRIES)

#define SP_FIR_FILTER_ENTRIES(X)                                                                          \
  X(spStatus, spFirF32,                                                                                   \
    (const float* src, float* dst, int32_t len, const double* taps, int32_t tapsLen, float* delayLine,    \
     int32_t* delayIndex),                                                                                \
    (src, dst, len, taps, tapsLen, delayLine, delayIndex))                                                \
  X(spStatus, spFirF64,                                                                                   \
    (const double* src, double* dst, int32_t len, const double* taps, int32_t tapsLen, double* delayLine, \
     int32_t* delayIndex),                                                                                \
    (src, dst, len, taps, tapsLen, delayLine, delayIndex))
SP_DECLARE_ENTRIES(SP_FIR_FILTER_ENTRIES)

// Window kinds of the design primitives.
enum : int32_t {
  spFirWindowBartlett = 0,
  spFirWindowBlackman = 1,
  spFirWindowHamming = 2,
  spFirWindowHann = 3,
};
