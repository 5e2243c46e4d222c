// The normalisation by energies of one variant set: two lags per step in
// the sets with double vectors, whose root and division are what the
// normalising pass waits on.
#include "primitives/correlation/correlator_kernels.h"

#include <cmath>

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

void SP_V(spkNormaliseByEnergyF64)(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) {
  int64_t k = 0;
#if SP_SET_HAS_F64_VECTORS
  const f64x2 x = Splat(xEnergy);
  for (; k + 2 <= n; k += 2) {
    const f64x2 product = Mul(x, LoadUFpDomain(energy + k));
    const f64x2 quotient = Div(LoadUFpDomain(corr + k), Sqrt(product));
    StoreU(out + k, Select(CmpLt(Zero2(), product), quotient, Zero2()));
  }
#endif
  for (; k < n; ++k) {
    const double product = xEnergy * Ld(energy + k);
    St(out + k, product > 0.0 ? Ld(corr + k) / std::sqrt(product) : 0.0);
  }
}

}  // namespace SP_SET_NS
