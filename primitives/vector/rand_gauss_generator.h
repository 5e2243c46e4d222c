// The uniform pair generator and polar acceptance behind the Gaussian
// primitives: a subtract-with-borrow generator on three words plus a linear
// congruential one, both in wrapping 32-bit arithmetic, rebuilt from the
// seed word on every call. Include only from *_variant.cpp.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::gauss {

inline constexpr uint32_t kLcgMultiplier = 69069;
inline constexpr uint32_t kLcgIncrement = 1013904243;
inline constexpr uint32_t kLcgStart = 1131199209;
inline constexpr uint32_t kBorrowCorrection = 18;
// 4.656612873077e-10, just below 2^-31, as its exact double.
inline const double kUniformScale = std::bit_cast<double>(uint64_t{0x3DFFFFFFFFFFFD09});

// One accepted pair: the normal values are u2 * factor and u1 * factor.
struct PolarPair {
  double u1, u2, factor;
};

class UniformPairs {
 public:
  explicit UniformPairs(uint32_t seed)
      : s0_(seed), s1_(seed * kLcgMultiplier + kLcgIncrement), s2_(s1_ * kLcgMultiplier + kLcgIncrement) {}

  // The next accepted pair (0 < u1^2 + u2^2 < 1); rejected rounds advance the state too.
  PolarPair NextAccepted() {
    for (;;) {
      double u1, u2;
      NextRound(u1, u2);
      const double w = u1 * u1 + u2 * u2;
      if (w < 1.0 && w != 0.0) return {u1, u2, std::sqrt(-2.0 * std::log(w) / w)};
    }
  }

  // The seed word that continues the sequence.
  uint32_t Seed() const { return s0_; }

 private:
  void NextRound(double& u1, double& u2) {
    const uint32_t x1 = lcg_ * kLcgMultiplier + kLcgIncrement;
    const uint32_t x2 = x1 * kLcgMultiplier + kLcgIncrement;
    lcg_ = x2;
    const uint32_t t1 = s1_ - s2_ + borrow_;
    const uint32_t b1 = t1 >> 31;
    const uint32_t y1 = t1 - kBorrowCorrection * b1;
    const uint32_t t2 = s0_ - s1_ - b1;
    const uint32_t b2 = t2 >> 31;
    const uint32_t y2 = t2 - kBorrowCorrection * b2;
    s2_ = s0_;
    s1_ = y1;
    s0_ = y2;
    borrow_ = 0u - b2;
    u1 = static_cast<double>(static_cast<int32_t>(y1 + x1)) * kUniformScale;
    u2 = static_cast<double>(static_cast<int32_t>(y2 + x2)) * kUniformScale;
  }

  uint32_t s0_, s1_, s2_;
  uint32_t borrow_ = 0xFFFFFFFFu;  // a borrow of 1 to start with
  uint32_t lcg_ = kLcgStart;
};

}  // namespace SP_SET_NS::gauss
