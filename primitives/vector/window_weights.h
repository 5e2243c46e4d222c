// Weight generators of the windows, w(k) = b - a cos(k theta) for k = 0, 1,
// ... from the outer ends inwards, without a cosine per element:
//   RotationWeights   rotates (cos, sin) by theta (generic set);
//   ThreeTermWeights  a(k+1) = 2c a(k) - a(k-1) on the cosine term (SSE, SSE3);
//   TwoLaneWeights    the same recurrence stepped by 2 theta on two
//                     neighbouring indices at once (SSE2, SSSE3).
// Include only from *_variant.cpp.
#pragma once
#include <cmath>
#include <cstdint>

#include "primitives/frame/simd.h"

namespace SP_SET_NS::window {

inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kFourPi = 12.566370614359172;

struct WindowShape {
  double a;            // cosine amplitude
  double b;            // offset
  double firstWeight;  // w(0) as a constant for the three-term recurrence
};
inline constexpr WindowShape kHamming{0.46, 0.54, 0.08};
inline constexpr WindowShape kHann{0.5, 0.5, 0.0};

// Pairs (k, n-1-k) that get a weight; an odd length leaves its centre.
inline int64_t WeightPairCount(int64_t n) { return n / 2; }

class RotationWeights {
 public:
  RotationWeights(const WindowShape& shape, int64_t n)
      : a_(shape.a), b_(shape.b), c_(std::cos(kTwoPi / (n - 1))), s_(std::sqrt(1.0 - c_ * c_)) {}
  double Next() {
    const double w = b_ - a_ * cos_;
    const double nextCos = cos_ * c_ - sin_ * s_;
    sin_ = cos_ * s_ + sin_ * c_;
    cos_ = nextCos;
    return w;
  }

 private:
  double a_, b_, c_, s_;
  double cos_ = 1.0, sin_ = 0.0;
};

class ThreeTermWeights {
 public:
  ThreeTermWeights(const WindowShape& shape, int64_t n) : b_(shape.b), first_(shape.firstWeight) {
    const double c = std::cos(kTwoPi / (n - 1));
    twoC_ = 2.0 * c;
    previous_ = shape.a * c;  // a cos(-theta)
    current_ = shape.a;
  }
  double Next() {
    const double w = atStart_ ? first_ : b_ - current_;
    atStart_ = false;
    const double next = twoC_ * current_ - previous_;
    previous_ = current_;
    current_ = next;
    return w;
  }

 private:
  double b_, first_, twoC_, previous_, current_;
  bool atStart_ = true;
};

#if SP_SET_HAS_F64_VECTORS
// Pairs k and k+1 of a window over n elements: the front elements (k, k+1)
// times the lanes (w(k), w(k+1)), the back ones (n-2-k, n-1-k) times
// (w(k+1), w(k)). src may be dst; any address.
inline void WeighTwoPairs(const double* src, double* dst, int64_t n, int64_t k, simd::f64x2 w) {
  const int64_t back = n - 2 - k;
  simd::StoreU(dst + k, simd::Mul(simd::LoadU(src + k), w));
  simd::StoreU(dst + back, simd::Mul(simd::LoadU(src + back), simd::SwapHalves(w)));
}
#endif

#if SP_SET_INDEX == SP_SET_SSE2 || SP_SET_INDEX == SP_SET_SSSE3
// Lanes hold the weights of indices (k, k+1); each step advances by two.
class TwoLaneWeights {
 public:
  TwoLaneWeights(const WindowShape& shape, int64_t n) {
    const double c1 = std::cos(kTwoPi / (n - 1));
    const double c2 = std::cos(kFourPi / (n - 1));
    b_ = simd::Splat(shape.b);
    twoC2_ = simd::Splat(2.0 * c2);
    previous_ = simd::Lanes(shape.a * c2, shape.a * c1);  // a(-2), a(-1)
    current_ = simd::Lanes(shape.a, shape.a * c1);        // a(0), a(1)
  }
  simd::f64x2 Next() {
    const simd::f64x2 w = simd::Sub(b_, current_);
    const simd::f64x2 next = simd::Sub(simd::Mul(twoC2_, current_), previous_);
    previous_ = current_;
    current_ = next;
    return w;
  }

 private:
  simd::f64x2 b_, twoC2_, previous_, current_;
};

#endif

}  // namespace SP_SET_NS::window
