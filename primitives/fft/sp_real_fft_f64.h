// The double-precision real FFT: the same record, packed format, flags,
// check order and scratch rule as the single-precision one (sp_real_fft.h),
// on double values, with a record of kind kRealFftKindF64.
//
// Each set runs its own engine: the generic and SSE sets bit reversal plus
// radix passes on complex orders up to 9, the SSE2 set one fused
// permute-and-transform kernel up to complex order 13, the SSE3 and SSSE3
// sets up to 14; above that every set runs its large-size path (rows, then
// columns, on a plan built into the spec) up to order 30. A transform's
// scratch is spec->workBytes (0: none); a caller's buffer must hold
// workBytes + 15 bytes.
#pragma once
#include <cstdint>

#include "primitives/fft/sp_real_fft.h"

// spRealFftInitF64: -8 null out pointer, -15 order outside 0..30, -16 flag
// not one of 1, 2, 4, 8, -9 out of memory; *spec only on success. A whole
// spec is one block (record, plan, split and bit-reversal tables), zero-
// filled when it is allocated: about 17 N bytes, 17 GiB at order 30, asked
// for and touched at once, so a machine without that much free memory gets
// -9 (or swaps) before any table is built. spRealFftFreeF64: -8 null, -17
// not a live double-precision spec (nothing changed). spRealFftFwdF64: N doubles ->
// packed half spectrum of N + 2 doubles (2 for N = 1). spRealFftInvF64:
// packed half spectrum -> N doubles; slots 1 and N + 1 are never read.
#define SP_REAL_FFT_F64_ENTRIES(X)                                                                     \
  X(spStatus, spRealFftInitF64, (REALFFTSPEC * *spec, int32_t order, int32_t scaleFlag, int32_t hint), \
    (spec, order, scaleFlag, hint))                                                                    \
  X(spStatus, spRealFftFreeF64, (REALFFTSPEC * spec), (spec))                                          \
  X(spStatus, spRealFftFwdF64, (const double* src, double* dst, REALFFTSPEC* spec, uint8_t* work),     \
    (src, dst, spec, work))                                                                            \
  X(spStatus, spRealFftInvF64, (const double* src, double* dst, REALFFTSPEC* spec, uint8_t* work),     \
    (src, dst, spec, work))
SP_DECLARE_ENTRIES(SP_REAL_FFT_F64_ENTRIES)

// Expands floor(n/2) + 1 complex doubles into all n by X(n-k) = conj(Xk);
// any n >= 1. -8 null pointer, then -6 n below 1.
#define SP_HALF_SPEC_F64_ENTRIES(X) \
  X(spStatus, spHalfSpecToC64, (const double* src, double* dst, int32_t n), (src, dst, n))
SP_DECLARE_ENTRIES(SP_HALF_SPEC_F64_ENTRIES)
