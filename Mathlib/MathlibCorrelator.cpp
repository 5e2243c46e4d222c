#include "Mathlib/MathlibCorrelator.h"

#include "primitives/correlation/correlator_kernels.h"
#include "primitives/frame/dispatch.h"

namespace {

// The running set's members, chosen as the primitives' entries choose theirs.
using NormaliseKernel = void (*)(const double*, double, const double*, double*, int64_t);
using SlidingKernel = void (*)(SpkSlidingLane*, int32_t, int64_t, int64_t, int64_t, double);
using MulConjugateKernel = void (*)(const double*, const double*, double*, int64_t);
using WidenKernel = void (*)(const float*, double*, int64_t);
using CountTiesKernel = int64_t (*)(const float*, int64_t, float, bool, int64_t*);
constexpr NormaliseKernel kNormalise[kSpVariantSetCount] = SP_VARIANT_TABLE(spkNormaliseByEnergyF64);
constexpr SlidingKernel kSliding[kSpVariantSetCount] = SP_VARIANT_TABLE(spkNormaliseSlidingF64);
constexpr MulConjugateKernel kMulConjugate[kSpVariantSetCount] = SP_VARIANT_TABLE(spkMulConjugateC64);
constexpr WidenKernel kWiden[kSpVariantSetCount] = SP_VARIANT_TABLE(spkWidenF32ToF64);
constexpr CountTiesKernel kCountTies[kSpVariantSetCount] = SP_VARIANT_TABLE(spkCountTiesF32);

int RunningSet() { return spDispatchIndex.load(std::memory_order_relaxed); }

}  // namespace

void MathlibNormaliseByEnergyF64(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) {
  kNormalise[RunningSet()](corr, xEnergy, energy, out, n);
}

void MathlibNormaliseSlidingF64(SpkSlidingLane* lanes, int32_t count, int64_t from, int64_t n, int64_t b,
                                double bound) {
  kSliding[RunningSet()](lanes, count, from, n, b, bound);
}

void MathlibMulConjugateC64(const double* x, const double* y, double* out, int64_t bins) {
  kMulConjugate[RunningSet()](x, y, out, bins);
}

void MathlibWidenF32ToF64(const float* src, double* dst, int64_t n) { kWiden[RunningSet()](src, dst, n); }

int64_t MathlibCountTiesF32(const float* v, int64_t n, float bound, bool atLeast, int64_t* last) {
  return kCountTies[RunningSet()](v, n, bound, atLeast, last);
}
