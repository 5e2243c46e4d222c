// The energies and the cross sum of two stretches of one variant set, term
// by term in order: two terms per step in the sets with double vectors,
// whose products and widenings go side by side while the sums take the
// terms one after another, as the plain loop adds them.
#include "primitives/correlation/correlator_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

void SP_V(spkStretchSumsF32)(const float* a, const float* b, int64_t n, double* sums) {
  int64_t i = 0;
  double cross = Ld(sums + 2);
#if SP_SET_HAS_F64_VECTORS
  // Both energies in one vector: (a a, b b) of each term.
  f64x2 energies = Lanes(Ld(sums), Ld(sums + 1));
  f64x2 crossLane = LowOnly(cross);
  for (; i + 2 <= n; i += 2) {
    const f64x2 x = LoadPairAsF64(a + i);
    const f64x2 y = LoadPairAsF64(b + i);
    const f64x2 first = InterleaveLow(x, y);
    const f64x2 second = InterleaveHigh(x, y);
    energies = Add(Add(energies, Mul(first, first)), Mul(second, second));
    const f64x2 products = Mul(x, y);
    crossLane = AddLow(AddLow(crossLane, products), DupHigh(products));
  }
  St(sums, Lane0(energies));
  St(sums + 1, Lane1(energies));
  cross = Lane0(crossLane);
#endif
  for (; i < n; ++i) {
    const double x = Ld(a + i);
    const double y = Ld(b + i);
    St(sums, Ld(sums) + x * x);
    St(sums + 1, Ld(sums + 1) + y * y);
    cross += x * y;
  }
  St(sums + 2, cross);
}

}  // namespace SP_SET_NS
