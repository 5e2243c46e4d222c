// The vector loops of the front end's correlators, which the math layer runs
// in the running set. No checks; arrays at any address; every set gives the
// same results.
//
// spkNormaliseByEnergyF64 (corr, xEnergy, energy, out, n): out may be corr.
//   out[k] = corr[k] / sqrt(xEnergy * energy[k]), k < n
// each step rounded once as written (the product, the root, the quotient);
// 0 where the product is not above 0 (a lag without energy, or one that
// underflows), without dividing by zero.
//
// spkNormaliseSlidingF64 (lanes, count, from, n, b, bound): the same quotients for
// 1 or 2 lanes, lags k in [from, from + n), with each lane's energy of the
// b-long stretch of its window at lag k by the sliding recurrence
//   e = max((e - w[k - 1]^2) + w[k - 1 + b]^2, 0)   (k > 0; a NaN stays)
// from lane.energy (the energy at lag from - 1, or lag 0's when from is 0),
// which ends as the last lag's; lane.out[k - from] takes the quotient as a
// float, or 0 where its magnitude is not within the bound (a NaN too). The
// lanes' recurrences and the roots and divisions run side by side, as the
// recurrence's latency is what the pass would otherwise wait on.
//
// spkMulConjugateC64 (x, y, out, bins): out[k] = conj(x[k]) * y[k] over
// interleaved complex values, rounded as the complex multiply rounds the
// conjugate (c = -x.im): each product, then re = x.re y.re - c y.im and
// im = x.re y.im + c y.re. out may be x or y.
//
// spkWidenF32ToF64 (src, dst, n): dst[i] = src[i], exact; no overlap.
//
// spkCountTiesF32 (v, n, bound, atLeast, last): how many of v[0, n) are at
// or above the bound (atLeast) or at or below it, a NaN being neither;
// *last is the highest such index, -1 for none.
//
// spkPeakScratchF32 (src, dst, n, magnitudes, largest, runs): dst[i] =
// |src[i]| (the sign bit cleared) with magnitudes, else src[i]; no overlap.
// In the same pass, runs[j] = the largest (largest) or smallest of
// dst[j * kSpPeakRun, min((j + 1) * kSpPeakRun, n)) by ordered comparisons
// (NaNs left out; -inf, or +inf, when the run holds none), for every run
// that begins below n: a search then visits only the runs that reach its
// bound.
//
// spkTiesAndRunnerF32 (v, n, bound, equalBound, atLeast, skip, out): in
// one pass, what spkCountTiesF32 gives for the bound (out->count,
// out->last) and for equalBound (out->equalCount, out->equalLast), and the
// runner-up: the largest (atLeast) or smallest entry other than v[skip]
// (skip outside [0, n): none is left out), by ordered comparisons, the
// first of equal ones (out->runner, out->runnerIndex); -1 when no entry is
// above -inf (below +inf), NaNs never being taken.
//
// spkStretchSumsF32 (a, b, n, sums): for i < n in order, with x = a[i] and
// y = b[i] widened to double, sums[0] += x x, sums[1] += y y and sums[2] +=
// x y, each product and sum rounded once: what the plain loop gives, bit
// for bit, as a stretch taken in pieces does.
//
// spkPutIntoSumsF32 (values, n, slot, sum, latest, replacing): for i < n
// sum[i] = (sum[i] - slot[i]) + values[i] when replacing (the slot's old
// vector leaves the sum), else sum[i] + values[i], each step rounded once;
// then latest[i] = slot[i] = values[i]. No overlap.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

// One lane of spkNormaliseSlidingF64.
struct SpkSlidingLane {
  const double* corr;    // by lag
  const double* window;  // w: at least from + n - 1 + b values
  double xEnergy;
  double energy;  // in and out, as above
  float* out;     // n values
};

// Entries per run of spkPeakScratchF32's extremes.
constexpr int64_t kSpPeakRun = 64;

// What spkTiesAndRunnerF32 finds.
struct SpkTiesRunner {
  int64_t count;
  int64_t last;
  int64_t equalCount;
  int64_t equalLast;
  float runner;
  int64_t runnerIndex;
};

#define SP_CORRELATOR_KERNELS(X)                                                                                       \
  X(void, spkNormaliseByEnergyF64, (const double* corr, double xEnergy, const double* energy, double* out, int64_t n)) \
  X(void, spkNormaliseSlidingF64,                                                                                      \
    (SpkSlidingLane * lanes, int32_t count, int64_t from, int64_t n, int64_t b, double bound))                         \
  X(void, spkMulConjugateC64, (const double* x, const double* y, double* out, int64_t bins))                           \
  X(void, spkWidenF32ToF64, (const float* src, double* dst, int64_t n))                                                \
  X(void, spkStretchSumsF32, (const float* a, const float* b, int64_t n, double* sums))                                \
  X(int64_t, spkCountTiesF32, (const float* v, int64_t n, float bound, bool atLeast, int64_t* last))                   \
  X(void, spkPutIntoSumsF32, (const float* values, int64_t n, float* slot, float* sum, float* latest, bool replacing)) \
  X(void, spkPeakScratchF32, (const float* src, float* dst, int64_t n, bool magnitudes, bool largest, float* runs))    \
  X(void, spkTiesAndRunnerF32,                                                                                         \
    (const float* v, int64_t n, float bound, float equalBound, bool atLeast, int64_t skip, SpkTiesRunner* out))

SP_DECLARE_KERNELS(SP_CORRELATOR_KERNELS)
