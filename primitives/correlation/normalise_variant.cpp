// The normalisation by energies of one variant set: two lags per step in
// the sets with double vectors, whose root and division are what the
// normalising pass waits on.
#include "primitives/correlation/normalise_kernels.h"

#include <cmath>

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

void SP_V(spkNormaliseByEnergyF64)(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) {
  int64_t k = 0;
#if SP_SET_INDEX >= SP_SET_SSE2
  const f64x2 x = Splat(xEnergy);
  for (; k + 2 <= n; k += 2) StoreU(out + k, Div(LoadUFpDomain(corr + k), Sqrt(Mul(x, LoadUFpDomain(energy + k)))));
#endif
  for (; k < n; ++k) St(out + k, Ld(corr + k) / std::sqrt(xEnergy * Ld(energy + k)));
}

}  // namespace SP_SET_NS
