#include "Mathlib/MathlibCorrelator.h"

#include "primitives/correlation/correlator_kernels.h"
#include "primitives/frame/running_kernel.h"

void MathlibNormaliseByEnergyF64(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) {
  SP_RUNNING_KERNEL(spkNormaliseByEnergyF64)(corr, xEnergy, energy, out, n);
}

void MathlibNormaliseSlidingF64(SpkSlidingLane* lanes, int32_t count, int64_t from, int64_t n, int64_t b,
                                double bound) {
  SP_RUNNING_KERNEL(spkNormaliseSlidingF64)(lanes, count, from, n, b, bound);
}

void MathlibMulConjugateC64(const double* x, const double* y, double* out, int64_t bins) {
  SP_RUNNING_KERNEL(spkMulConjugateC64)(x, y, out, bins);
}

void MathlibWidenF32ToF64(const float* src, double* dst, int64_t n) {
  SP_RUNNING_KERNEL(spkWidenF32ToF64)(src, dst, n);
}

void MathlibStretchSumsF32(const float* a, const float* b, int64_t n, double* sums) {
  SP_RUNNING_KERNEL(spkStretchSumsF32)(a, b, n, sums);
}

int64_t MathlibCountTiesF32(const float* v, int64_t n, float bound, bool atLeast, int64_t* last) {
  return SP_RUNNING_KERNEL(spkCountTiesF32)(v, n, bound, atLeast, last);
}

void MathlibPeakScratchF32(const float* src, float* dst, int64_t n, bool magnitudes, bool largest, float* runs) {
  SP_RUNNING_KERNEL(spkPeakScratchF32)(src, dst, n, magnitudes, largest, runs);
}

void MathlibTiesAndRunnerF32(const float* v, int64_t n, float bound, float equalBound, bool atLeast, int64_t skip,
                             SpkTiesRunner* out) {
  SP_RUNNING_KERNEL(spkTiesAndRunnerF32)(v, n, bound, equalBound, atLeast, skip, out);
}

void MathlibPutIntoSumsF32(const float* values, int64_t n, float* slot, float* sum, float* latest, bool replacing) {
  SP_RUNNING_KERNEL(spkPutIntoSumsF32)(values, n, slot, sum, latest, replacing);
}
