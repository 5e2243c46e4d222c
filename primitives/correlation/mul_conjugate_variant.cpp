// The product of a conjugated spectrum with another of one variant set: one
// complex value per step in the sets with double vectors.
#include "primitives/correlation/correlator_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

void SP_V(spkMulConjugateC64)(const double* x, const double* y, double* out, int64_t bins) {
  int64_t k = 0;
#if SP_SET_HAS_F64_VECTORS
  const f64x2 conjugate = ImagSignMaskF64();
  for (; k < 2 * bins; k += 2) StoreU(out + k, MulComplex(Xor(LoadUFpDomain(x + k), conjugate), LoadUFpDomain(y + k)));
#endif
  for (; k < 2 * bins; k += 2) {
    const double xRe = Ld(x + k), c = -Ld(x + k + 1), yRe = Ld(y + k), yIm = Ld(y + k + 1);
    St(out + k, xRe * yRe - c * yIm);
    St(out + k + 1, xRe * yIm + c * yRe);
  }
}

}  // namespace SP_SET_NS
