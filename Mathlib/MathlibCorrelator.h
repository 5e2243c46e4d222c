// The front end's correlators' vector loops, in the running variant set
// (not entries of the installed math layer). What each computes, and that
// every set gives the same results: primitives/correlation/correlator_kernels.h.
#pragma once
#include <cstdint>

#include "primitives/correlation/correlator_kernels.h"

// out[k] = corr[k] / sqrt(xEnergy * energy[k]), k < n; 0 where the product
// is not above 0. out may be corr itself.
void MathlibNormaliseByEnergyF64(const double* corr, double xEnergy, const double* energy, double* out, int64_t n);
// The same quotients of 1 or 2 lanes, the energies slid along each lane's
// window (spkNormaliseSlidingF64 in the kernels' header).
void MathlibNormaliseSlidingF64(SpkSlidingLane* lanes, int32_t count, int64_t from, int64_t n, int64_t b, double bound);
// out[k] = conj(x[k]) * y[k] over `bins` interleaved complex values; out may
// be x or y.
void MathlibMulConjugateC64(const double* x, const double* y, double* out, int64_t bins);
// dst[i] = src[i], exact.
void MathlibWidenF32ToF64(const float* src, double* dst, int64_t n);
// sums[0..2] += the sums of a[i]^2, b[i]^2 and a[i] b[i] over i < n in
// double, term by term in order (spkStretchSumsF32 in the kernels' header).
void MathlibStretchSumsF32(const float* a, const float* b, int64_t n, double* sums);
// The entries of v[0, n) at or above the bound (atLeast) or at or below it
// (a NaN is neither): their count, and in *last the highest index (-1).
int64_t MathlibCountTiesF32(const float* v, int64_t n, float bound, bool atLeast, int64_t* last);
// dst[i] = |src[i]| with magnitudes, else src[i]; runs[j] the largest
// (largest) or smallest dst value of each run of kSpPeakRun entries
// (spkPeakScratchF32 in the kernels' header).
void MathlibPeakScratchF32(const float* src, float* dst, int64_t n, bool magnitudes, bool largest, float* runs);
// In one pass, MathlibCountTiesF32's count and last at two bounds, and the
// largest (atLeast) or smallest entry other than v[skip] with its first
// index (spkTiesAndRunnerF32 in the kernels' header).
void MathlibTiesAndRunnerF32(const float* v, int64_t n, float bound, float equalBound, bool atLeast, int64_t skip,
                             SpkTiesRunner* out);
// New values into a history slot, its running sum and the newest copy:
// sum[i] = (sum[i] - slot[i]) + values[i] when replacing, else
// sum[i] + values[i]; latest[i] = slot[i] = values[i].
void MathlibPutIntoSumsF32(const float* values, int64_t n, float* slot, float* sum, float* latest, bool replacing);
