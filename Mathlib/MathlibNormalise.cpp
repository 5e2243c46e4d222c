#include "Mathlib/MathlibNormalise.h"

#include "primitives/correlation/normalise_kernels.h"
#include "primitives/frame/dispatch.h"

namespace {

// The running set's member, chosen as the primitives' entries choose theirs.
using NormaliseKernel = void (*)(const double*, double, const double*, double*, int64_t);
constexpr NormaliseKernel kNormalise[kSpVariantSetCount] = SP_VARIANT_TABLE(spkNormaliseByEnergyF64);

}  // namespace

void MathlibNormaliseByEnergyF64(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) {
  kNormalise[spDispatchIndex.load(std::memory_order_relaxed)](corr, xEnergy, energy, out, n);
}
