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
  float* const out0 = l0.out;
  float* const out1 = l1.out;
  const f64x2 x = Lanes(l0.xEnergy, l1.xEnergy);
  const f64x2 limit = Splat(bound);
  const f64x2 signs = Splat(-0.0);
  f64x2 e = Lanes(l0.energy, l1.energy);
  // Both lanes' quotients at one lag.
  auto quotient = [&](f64x2 energy, f64x2 corr) {
    const f64x2 product = Mul(x, energy);
    const f64x2 q = Select(CmpLt(Zero2(), product), Div(corr, Sqrt(product)), Zero2());
    return Select(CmpNge(limit, AndNot(signs, q)), Zero2(), q);
  };
  // max(0, next) returns its second operand for a NaN and for zeros of
  // either sign: next < 0 ? 0 : next in one step of the recurrence's chain.
  auto slide = [&](f64x2 energy, f64x2 leaving, f64x2 entering) {
    return Max(Zero2(), Add(Sub(energy, Mul(leaving, leaving)), Mul(entering, entering)));
  };
  auto put = [&](int64_t k) {
    const f32x4 value = NarrowToF32(quotient(e, Lanes(Ld(c0 + k), Ld(c1 + k))), Zero2());
    St(out0 + (k - from), Lane0(value));
    St(out1 + (k - from), Lane(value, 1));
  };
  int64_t k = from;
  const int64_t end = from + n;
  if (k == 0 && k < end) put(k++);
  // Two lags a step: each lane's two window values, sums and results move
  // as pairs, and only the recurrence and the quotients go lag by lag.
  for (; k + 2 <= end; k += 2) {
    const f64x2 enter0 = LoadU(w0 + k - 1 + b), enter1 = LoadU(w1 + k - 1 + b);
    const f64x2 leave0 = LoadU(w0 + k - 1), leave1 = LoadU(w1 + k - 1);
    const f64x2 corr0 = LoadU(c0 + k), corr1 = LoadU(c1 + k);
    const f64x2 first = slide(e, InterleaveLow(leave0, leave1), InterleaveLow(enter0, enter1));
    e = slide(first, InterleaveHigh(leave0, leave1), InterleaveHigh(enter0, enter1));
    const f64x2 q = quotient(first, InterleaveLow(corr0, corr1));
    const f64x2 next = quotient(e, InterleaveHigh(corr0, corr1));
    // Lane 0's two values below, lane 1's above.
    const f32x4 values = NarrowToF32(InterleaveLow(q, next), InterleaveHigh(q, next));
    StoreLow2(out0 + (k - from), values);
    StoreHigh2(out1 + (k - from), values);
  }
  if (k < end) {
    e = slide(e, Lanes(Ld(w0 + k - 1), Ld(w1 + k - 1)), Lanes(Ld(w0 + k - 1 + b), Ld(w1 + k - 1 + b)));
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
