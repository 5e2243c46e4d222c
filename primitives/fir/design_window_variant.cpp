// FIR design windows of one variant set, applied in place from both ends
// inward so that taps[k] and taps[len-1-k] get one weight; taps may start at
// any address. Hamming and Hann take their weights from the vector library's
// window generators of this set. For the three-term (Blackman) form and
// Bartlett, the generic and SSE sets rotate (cos, sin) and add up the
// Bartlett weight; the SSE2, SSE3 and SSSE3 sets step two pairs at a time in
// two lanes, and their three-term form of long windows (more than 512 pairs)
// runs a scalar recurrence instead.
#include <cmath>
#include <cstdint>

#include "primitives/fir/fir_kernels.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/vector/window_weights.h"

namespace SP_SET_NS {
namespace {

using simd::Ld;
using simd::St;

constexpr double kPi = 3.141592653589793;
using window::kFourPi;
using window::kTwoPi;

inline void WeighPair(double* taps, int64_t len, int64_t k, double w) {
  St(taps + k, Ld(taps + k) * w);
  St(taps + len - 1 - k, Ld(taps + len - 1 - k) * w);
}

#if SP_SET_HAS_F64_VECTORS
using simd::f64x2;

// Pairs k and k+1 in place: the front taps (k, k+1) by (w0, w1), the back
// taps (len-2-k, len-1-k) by (w1, w0).
inline void WeighTwoPairs(double* taps, int64_t len, int64_t k, f64x2 w) {
  window::WeighTwoPairs(taps, taps, len, k, w);
}

constexpr int64_t kTwoLaneThreeTermMaxPairs = 512;

// h(k) = 0.5 cos(k theta) in lanes (h(k), h(k+1)), stepped by 2 theta;
// w = ((alpha + 0.5) - h) + h^2 (-4 alpha).
void ThreeTermTwoLanes(double* taps, int32_t len, double alpha) {
  const int64_t pairs = len / 2;
  const double c = std::cos(kTwoPi / (len - 1));
  const double twoC = 2.0 * c;
  const double h1 = twoC * 0.5 - 0.5 * c;
  const double h2 = twoC * h1 - 0.5;
  const double h3 = twoC * h2 - h1;
  const f64x2 a2 = simd::Splat(2.0 * std::cos(kFourPi / (len - 1)));
  const f64x2 offset = simd::Splat(alpha + 0.5);
  const f64x2 minusFourAlpha = simd::Splat(-(alpha * 4.0));
  f64x2 cur = simd::Lanes(0.5, h1), next = simd::Lanes(h2, h3);
  auto weights = [&](f64x2 h) { return simd::Add(simd::Sub(offset, h), simd::Mul(simd::Mul(h, h), minusFourAlpha)); };
  int64_t k = 0;
  for (; k + 2 <= pairs; k += 2) {
    WeighTwoPairs(taps, len, k, weights(cur));
    const f64x2 after = simd::Sub(simd::Mul(a2, next), cur);
    cur = next, next = after;
  }
  if (k < pairs) WeighPair(taps, len, k, simd::Lane0(weights(cur)));
}

// Long windows: h(k+1) = 2c h(k) - h(k-1) from h(-1) = 0.5 c, h(0) = 0.5.
void ThreeTermScalar(double* taps, int32_t len, double alpha) {
  const int64_t pairs = len / 2;
  const double c = std::cos(kTwoPi / (len - 1));
  const double twoC = 2.0 * c, offset = alpha + 0.5, fourAlpha = alpha * 4.0;
  double previous = 0.5 * c, h = 0.5;
  for (int64_t k = 0; k < pairs; ++k) {
    WeighPair(taps, len, k, (offset - h) - (h * h) * fourAlpha);
    const double after = twoC * h - previous;
    previous = h, h = after;
  }
}
#endif

// Hamming and Hann: w = b - a cos(k theta) from this set's generator.
void CosineWindow(double* taps, int32_t len, const window::WindowShape& shape) {
  const int64_t pairs = window::WeightPairCount(len);
  int64_t k = 0;
#if SP_SET_INDEX == SP_SET_SSE2 || SP_SET_INDEX == SP_SET_SSSE3
  window::TwoLaneWeights weights(shape, len);
  for (; k + 2 <= pairs; k += 2) WeighTwoPairs(taps, len, k, weights.Next());
  if (k < pairs) WeighPair(taps, len, k, simd::Lane0(weights.Next()));
#else
#if SP_SET_INDEX == SP_SET_GENERIC
  window::RotationWeights weights(shape, len);
#else
  window::ThreeTermWeights weights(shape, len);
#endif
  for (; k < pairs; ++k) WeighPair(taps, len, k, weights.Next());
#endif
}

#if !SP_SET_HAS_F64_VECTORS
// X = cos(k theta) by rotating (X, S) by theta; w = a0 - 0.5 X - a2 (2X^2 - 1).
void ThreeTermRotation(double* taps, int32_t len, double alpha) {
  const int64_t pairs = len / 2;
  const double c = std::cos(kTwoPi / (len - 1));
  const double s = std::sqrt(1.0 - c * c);
  const double a0 = (alpha + 1.0) * 0.5, a2 = 0.5 * alpha;
  double x = 1.0, y = 0.0;
  for (int64_t k = 0; k < pairs; ++k) {
    const double cos2 = 2.0 * x * x - 1.0;
    WeighPair(taps, len, k, a0 - 0.5 * x - a2 * cos2);
    const double nextX = x * c - y * s;
    y = y * c + x * s;
    x = nextX;
  }
}
#endif

}  // namespace

spStatus SP_V(spkFirWinHammingF64)(double* taps, int32_t len) {
  if (const spStatus st = CheckArraysMin(len, 3, taps); st != spOk) return st;
  CosineWindow(taps, len, window::kHamming);
  return spOk;
}

spStatus SP_V(spkFirWinHannF64)(double* taps, int32_t len) {
  if (const spStatus st = CheckArraysMin(len, 3, taps); st != spOk) return st;
  CosineWindow(taps, len, window::kHann);
  return spOk;
}

spStatus SP_V(spkFirWinBlackmanAlphaF64)(double* taps, int32_t len, double alpha) {
  // Any length from 3 on, as the other windows; the Blackman window itself
  // needs 4 for its alpha.
  if (const spStatus st = CheckArraysMin(len, 3, taps); st != spOk) return st;
#if SP_SET_HAS_F64_VECTORS
  if (len / 2 <= kTwoLaneThreeTermMaxPairs)
    ThreeTermTwoLanes(taps, len, alpha);
  else
    ThreeTermScalar(taps, len, alpha);
#else
  ThreeTermRotation(taps, len, alpha);
#endif
  return spOk;
}

spStatus SP_V(spkFirWinBlackmanF64)(double* taps, int32_t len) {
  if (len < 4) return spErrLength;
  // Puts the zeros of the three-term form on the two outer pairs.
  const double q = 0.5 / std::cos(kPi / (len - 1));
  return SP_V(spkFirWinBlackmanAlphaF64)(taps, len, -q * q);
}

spStatus SP_V(spkFirWinBartlettF64)(double* taps, int32_t len) {
  if (const spStatus st = CheckArraysMin(len, 3, taps); st != spOk) return st;
  const int64_t pairs = len / 2;
  const double step = 2.0 / (len - 1);
#if SP_SET_HAS_F64_VECTORS
  if (len == 3) {
    St(taps, 0.0);
    St(taps + 2, 0.0);
    return spOk;
  }
  // Lanes (k step, (k+1) step) built by adding 2 step; the ends are
  // multiplied by 0 like every other tap.
  const f64x2 twoSteps = simd::Splat(2.0 * step);
  f64x2 front = simd::Lanes(0.0, step);
  int64_t k = 0;
  for (; k + 2 <= pairs; k += 2) {
    WeighTwoPairs(taps, len, k, front);
    front = simd::Add(front, twoSteps);
  }
  if (k < pairs) WeighPair(taps, len, k, simd::Lane0(front));
#else
  // The ends are set to 0 rather than multiplied; the weight grows by adding.
  St(taps, 0.0);
  St(taps + len - 1, 0.0);
  double v = 0.0;
  for (int64_t k = 1; k < pairs; ++k) {
    v += step;
    WeighPair(taps, len, k, v);
  }
#endif
  return spOk;
}

}  // namespace SP_SET_NS
