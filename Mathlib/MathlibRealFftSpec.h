// Building and releasing a handle's cached real FFT in either precision
// (element bits 32 or 64), so that the cache code names no precision's
// primitives itself.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

// The double-precision real FFT joins the library separately; until its
// header is there, the math layer offers the single-precision functions only.
#if __has_include("primitives/fft/sp_real_fft_f64.h")
#define MATHLIB_HAVE_REAL_FFT_F64 1
#endif

struct REALFFTSPEC;

// The primitive's spec build with its statuses; -15 for bits the library
// has no transform of.
spStatus MathlibBuildRealFft(REALFFTSPEC** prepared, int32_t order, int32_t scaleFlag, int32_t hint,
                             int32_t elementBits);
void MathlibReleaseRealFft(REALFFTSPEC* prepared, int32_t elementBits);
