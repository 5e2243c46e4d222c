// Real FFTs of N = 2^order points (order 0..30), prepared once in a
// REALFFTSPEC and run many times, between N real values and the packed half
// spectrum of N + 2 values
//   Re X0, 0, Re X1, Im X1, ..., Re X(N/2-1), Im X(N/2-1), Re X(N/2), 0
// with X_k = sum x_n e^(-2 pi j n k / N); the inverse gives N times the
// input unless the spec scales it. The forward transform always writes +0.0
// into the two zero slots; the inverse never reads them.
//
// A spec is valid only for the variant set that built it: a transform of
// another set refuses it with spErrSpecKind (-17), as it refuses a spec of
// the other precision. Checks run in the order spec pointer, spec kind,
// data pointers. src may be dst (the array then holds N + 2 values); no
// other overlap. `work` is an optional scratch buffer used from its first
// 16-byte boundary when the spec needs scratch (otherwise ignored); without
// one a transform that needs scratch allocates it per call.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/plan_record.h"
#include "primitives/frame/sp_status.h"

// Scaling flags of the spec build.
enum : int32_t {
  REALFFT_DIV_FWD_BY_N = 1,
  REALFFT_DIV_INV_BY_N = 2,
  REALFFT_DIV_BY_SQRT_N = 4,
  REALFFT_NO_DIV = 8,
};

// The record's leading kind, shared by both precisions.
enum : int32_t {
  kRealFftKindReleased = 0,
  kRealFftKindF32 = 6,
  kRealFftKindF64 = 9,
};

// A prepared real FFT. The record and all its tables are one aligned block
// owned by the spec; table pointers point into it and are null where the
// building set needs no such table (every table for orders 0 to 3).
struct REALFFTSPEC {
  int32_t kind;              // kRealFftKindF32 / F64 while live, 0 after release
  int32_t order;             // N = 2^order
  int32_t forwardScaled;     // 1: the forward result is multiplied by scale
  int32_t inverseScaled;     // 1: the inverse result is multiplied by scale
  double scale;              // 1/N, 1/sqrt(N) or 0; a float value in a float spec
  int32_t hint;              // the caller's hint, stored and never read
  int32_t owned;             // 1: release frees the block
  int64_t workBytes;         // scratch a transform needs (0: none)
  int32_t* bitReversal;      // swap list or index table of the complex order
  void* twiddles;            // plain twiddles, or the large-size plan's tables
  void* subsampledTwiddles;  // large-size plan
  void* reserved;
  void* splitForward;    // N/4 complex values
  void* splitInverse;    // N/4 complex values
  void* rowTwiddles[3];  // large-size plan, per level
  void* multiplyTables[3];
  spPlanOwner owner;  // the building set and its engine
};

// Builds a spec; *spec receives it only on success. -8 null out pointer,
// -15 order outside 0..30, -9 out of memory (also where the largest orders'
// tables cannot be had), -16 a flag other than 1, 2, 4, 8.
// spRealFftFreeF32: -8 null, -17 not a live single-precision spec (nothing
// changed).
#define SP_REAL_FFT_F32_ENTRIES(X)                                                                     \
  X(spStatus, spRealFftInitF32, (REALFFTSPEC * *spec, int32_t order, int32_t scaleFlag, int32_t hint), \
    (spec, order, scaleFlag, hint))                                                                    \
  X(spStatus, spRealFftFreeF32, (REALFFTSPEC * spec), (spec))                                          \
  X(spStatus, spRealFftFwdF32, (const float* src, float* dst, REALFFTSPEC* spec, uint8_t* work),       \
    (src, dst, spec, work))                                                                            \
  X(spStatus, spRealFftInvF32, (const float* src, float* dst, REALFFTSPEC* spec, uint8_t* work), (src, dst, spec, work))
SP_DECLARE_ENTRIES(SP_REAL_FFT_F32_ENTRIES)

// Expands floor(n/2) + 1 complex values X0 .. X(n/2) (a packed half spectrum
// for even n) into all n complex values by X(n-k) = conj(Xk); any n >= 1.
// -8 null pointer, then -6 n below 1. src may be dst when it has room for n.
#define SP_HALF_SPEC_F32_ENTRIES(X) \
  X(spStatus, spHalfSpecToC32, (const float* src, float* dst, int32_t n), (src, dst, n))
SP_DECLARE_ENTRIES(SP_HALF_SPEC_F32_ENTRIES)
