// The normalisation by sliding energies of one variant set: with two lanes,
// the sets with double vectors carry both lanes' recurrences in one vector
// and take both lanes' root and division in one instruction each.
#include <cmath>

#include "primitives/correlation/correlator_kernels.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

namespace {

// The energy at lag k (> 0) from the one at lag k - 1.
inline double Slide(double e, const double* w, int64_t k, int64_t b) {
  const double entering = Ld(w + k - 1 + b);
  const double leaving = Ld(w + k - 1);
  // The leaving square out before the entering one goes in: when a loud
  // sample leaves quiet ones, an entering square below the loud one's last
  // bit is not lost.
  const double next = e - leaving * leaving + entering * entering;
  return next < 0.0 ? 0.0 : next;
}

// The quotient as a float, 0 where it has no meaning: no energy, or beyond
// the bound (a NaN too).
inline float Quotient(double corr, double xEnergy, double e, double bound) {
  const double product = xEnergy * e;
  const double q = product > 0.0 ? corr / std::sqrt(product) : 0.0;
  return std::fabs(q) <= bound ? float(q) : 0.0f;
}

void OneLane(SpkSlidingLane& l, int64_t from, int64_t n, int64_t b, double bound) {
  double e = l.energy;
  for (int64_t k = from; k < from + n; ++k) {
    if (k > 0) e = Slide(e, l.window, k, b);
    St(l.out + (k - from), Quotient(Ld(l.corr + k), l.xEnergy, e, bound));
  }
  l.energy = e;
}

#if SP_SET_HAS_F64_VECTORS
void TwoLanes(SpkSlidingLane& l0, SpkSlidingLane& l1, int64_t from, int64_t n, int64_t b, double bound) {
  const double* const w0 = l0.window;
  const double* const w1 = l1.window;
  const double* const c0 = l0.corr;
  const double* const c1 = l1.corr;
  const f64x2 x = Lanes(l0.xEnergy, l1.xEnergy);
  const f64x2 limit = Splat(bound);
  const f64x2 signs = Splat(-0.0);
  f64x2 e = Lanes(l0.energy, l1.energy);
  auto put = [&](int64_t k) {
    const f64x2 product = Mul(x, e);
    const f64x2 quotient = Div(Lanes(Ld(c0 + k), Ld(c1 + k)), Sqrt(product));
    const f64x2 q = Select(CmpLt(Zero2(), product), quotient, Zero2());
    const f64x2 bounded = Select(CmpNge(limit, AndNot(signs, q)), Zero2(), q);
    const f32x4 value = NarrowToF32(bounded, bounded);
    St(l0.out + (k - from), Lane0(value));
    St(l1.out + (k - from), Lane(value, 1));
  };
  int64_t k = from;
  const int64_t end = from + n;
  if (k == 0 && k < end) put(k++);
  for (; k < end; ++k) {
    const f64x2 entering = Lanes(Ld(w0 + k - 1 + b), Ld(w1 + k - 1 + b));
    const f64x2 leaving = Lanes(Ld(w0 + k - 1), Ld(w1 + k - 1));
    const f64x2 next = Add(Sub(e, Mul(leaving, leaving)), Mul(entering, entering));
    // max(0, next) returns its second operand for a NaN and for zeros of
    // either sign: next < 0 ? 0 : next in one step of the recurrence's chain.
    e = Max(Zero2(), next);
    put(k);
  }
  l0.energy = Lane0(e);
  l1.energy = Lane1(e);
}
#endif

}  // namespace

void SP_V(spkNormaliseSlidingF64)(SpkSlidingLane* lanes, int32_t count, int64_t from, int64_t n, int64_t b,
                                  double bound) {
#if SP_SET_HAS_F64_VECTORS
  if (count == 2) {
    TwoLanes(lanes[0], lanes[1], from, n, b, bound);
    return;
  }
#endif
  for (int32_t lane = 0; lane < count; ++lane) OneLane(lanes[lane], from, n, b, bound);
}

}  // namespace SP_SET_NS
