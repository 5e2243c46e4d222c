// Internal kernels of the correlation primitives, one member per variant set
// and no dispatch entry: each set's primitives call the members of their own
// set (SP_V(name) from a *_variant.cpp), and tests reach a set's member as
// sp_sse2::spkDivCheckedF32_Sse2 and the like. Kernels (spk) check nothing
// unless stated and accept arrays at any address.
//
// Direct segment kernels, (x, y, win, out, count), k < count:
//   Full         out[k]     = sum over j < win     of y[j] * x[j + k]
//   FullRev      out[k]     = sum over j < win     of x[j - k] * y[j]
//   PartialUp    out[k]     = sum over j < win - k of y[j] * x[j + k]
//   PartialDown  out[-k]    = the PartialUp value, out pointing at the last output
// win >= 1 (and win >= count for the partial kernels); outputs must not
// overlap the inputs. The generic sets (and the double SSE set) sum in
// double, the vector sets in their element precision.
// spkAutoCorrDirectF32 (src, srcLen, dst, lags): dst[k] = sum over j <
// srcLen - k of src[j] * src[j + k], 1 <= lags <= srcLen.
//
// Compact spectrum: N values R0, Re1, Im1, .., Re(N/2-1), Im(N/2-1), R(N/2)
// of N = 2^order real points. The compact drivers run a spec that their own
// set built (others give -17) through the same engine as the set's real
// FFTs; checks spec -8, kind -17, src -8, dst -8; -9 when scratch is needed,
// none is given and none can be had (nothing written). src may be dst, and a
// distinct src is never changed. spkRealFftWorkSize* reports the scratch
// bytes a caller supplies (the spec's need plus 16 for alignment, or 0).
// spkMulCompactConj* (src, srcDst, n): srcDst = src * conj(srcDst) bin by bin,
// R0 (and R(N/2) for even n) as reals; -8, then -6 for n < 1.
//
// spkCrossCorrByFft* (a, aLen, b, bLen, out, count, start): lags of the whole
// correlation from position `start` (lag l at l + aLen - 1), written only
// when every step succeeded. spkAutoCorrRawF32: the unscaled lag sums of
// spAutoCorr*F32 with their checks, tail zeros and choice of path.
//
// spkDivCheckedF32 (divisor, src, dst, n): dst[i] = src[i] / divisor[i];
// -8 (divisor, src, dst in that order), -6 for n < 1; a zero (or, in the
// generic set, NaN) divisor gives +inf, -inf or NaN and status 6 while the
// loop goes on. The vector sets divide by a refined reciprocal estimate and
// fall back to exact lane-by-lane division for a pass of eight (or a block)
// holding a zero divisor. spkDivInPlaceF32 (divisor, srcDst, n) is the
// in-place form with its own pointer and length checks.
#pragma once
#include <cstdint>

#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

#define SP_CORRELATION_KERNELS(X)                                                                                      \
  X(void, spkCrossCorrDirectFullF64, (const double* x, const double* y, int32_t win, double* out, int32_t count))      \
  X(void, spkCrossCorrDirectFullRevF64, (const double* x, const double* y, int32_t win, double* out, int32_t count))   \
  X(void, spkCrossCorrDirectPartialUpF64, (const double* x, const double* y, int32_t win, double* out, int32_t count)) \
  X(void, spkCrossCorrDirectPartialDownF64,                                                                            \
    (const double* x, const double* y, int32_t win, double* outLast, int32_t count))                                   \
  X(void, spkCrossCorrDirectFullF32, (const float* x, const float* y, int32_t win, float* out, int32_t count))         \
  X(void, spkCrossCorrDirectFullRevF32, (const float* x, const float* y, int32_t win, float* out, int32_t count))      \
  X(void, spkCrossCorrDirectPartialUpF32, (const float* x, const float* y, int32_t win, float* out, int32_t count))    \
  X(void, spkCrossCorrDirectPartialDownF32,                                                                            \
    (const float* x, const float* y, int32_t win, float* outLast, int32_t count))                                      \
  X(void, spkAutoCorrDirectF32, (const float* src, int32_t srcLen, float* dst, int32_t lags))                          \
  X(spStatus, spkRealFftWorkSizeF64, (const REALFFTSPEC* spec, int32_t* bytes))                                        \
  X(spStatus, spkRealFftFwdCompactF64, (const double* src, double* dst, const REALFFTSPEC* spec, uint8_t* work))       \
  X(spStatus, spkMulCompactConjF64, (const double* src, double* srcDst, int32_t n))                                    \
  X(spStatus, spkRealFftInvCompactF64, (const double* src, double* dst, const REALFFTSPEC* spec, uint8_t* work))       \
  X(spStatus, spkRealFftWorkSizeF32, (const REALFFTSPEC* spec, int32_t* bytes))                                        \
  X(spStatus, spkRealFftFwdCompactF32, (const float* src, float* dst, const REALFFTSPEC* spec, uint8_t* work))         \
  X(spStatus, spkMulCompactConjF32, (const float* src, float* srcDst, int32_t n))                                      \
  X(spStatus, spkRealFftInvCompactF32, (const float* src, float* dst, const REALFFTSPEC* spec, uint8_t* work))         \
  X(spStatus, spkCrossCorrByFftF64,                                                                                    \
    (const double* a, int32_t aLen, const double* b, int32_t bLen, double* out, int32_t count, int64_t start))         \
  X(spStatus, spkCrossCorrByFftF32,                                                                                    \
    (const float* a, int32_t aLen, const float* b, int32_t bLen, float* out, int32_t count, int64_t start))            \
  X(spStatus, spkAutoCorrRawF32, (const float* src, int32_t srcLen, float* dst, int32_t dstLen))                       \
  X(spStatus, spkDivCheckedF32, (const float* divisor, const float* src, float* dst, int32_t n))                       \
  X(spStatus, spkDivInPlaceF32, (const float* divisor, float* srcDst, int32_t n))

SP_DECLARE_KERNELS(SP_CORRELATION_KERNELS)

// The direct/FFT limits of the primitives.
inline constexpr int64_t kCrossCorrDirectLimitF64 = 511;  // work above it: FFT
inline constexpr int64_t kCrossCorrDirectLimitF32 = 383;
// Autocorrelation lags from which each set takes the FFT path: the vector
// sets keep the direct sums longer.
inline constexpr SpSetRow<int32_t> kAutoCorrFftLags = {600, 700, 856, 856, 856};
