// Per-element rules of the conversions, shared by the entries, the scalar
// group and the tails of the vector group so that every set gives the same
// value. Include only from convert_variant.cpp and its set-group files.
#pragma once
#include <algorithm>
#include <bit>
#include <cstdint>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::convert {

inline constexpr double kInt32MaxAsF64 = 2147483647.0;
inline constexpr double kInt32MinAsF64 = -2147483648.0;

// Beyond this many counts every double is scaled out of reach either way:
// 2^-1074 * 2^1105 = 2^31 saturates and DBL_MAX * 2^-1105 < 2^-81 rounds to
// 0, so clamping keeps each result and avoids overflowing the negation.
inline constexpr int32_t kF64ScaleLimit = 1105;

// 2^e as a double for e in -1022..1023 (normal, exact).
inline double PowerOfTwo(int32_t e) { return std::bit_cast<double>(static_cast<uint64_t>(1023 + e) << 52); }

// 2^-scaleFactor as one or two normal factors; applied in this order the
// product rounds once wherever the result can matter for an integer.
struct Pow2Scale {
  int32_t steps = 0;  // 0: no multiplication
  double first = 1.0;
  double second = 1.0;
};

inline Pow2Scale MakeF64Scale(int32_t scaleFactor) {
  Pow2Scale s;
  if (scaleFactor == 0) return s;
  const int32_t e = -std::clamp(scaleFactor, -kF64ScaleLimit, kF64ScaleLimit);
  const int32_t e1 = std::clamp(e, -1022, 1023);
  s.steps = (e1 == e) ? 1 : 2;
  s.first = PowerOfTwo(e1);
  s.second = PowerOfTwo(e - e1);
  return s;
}

inline double ApplyScale(double x, const Pow2Scale& s) {
  if (s.steps == 0) return x;
  const double y = x * s.first;
  return s.steps == 1 ? y : y * s.second;
}

// y strictly inside (-2^31, 2^31 - 1): nearest, ties to even, from the exact
// fraction left by truncation (no dependence on the rounding mode).
inline int32_t RoundHalfEven(double y) {
  int64_t r = static_cast<int64_t>(y);
  const double frac = y - static_cast<double>(r);
  if (frac > 0.5 || (frac == 0.5 && (r & 1)))
    ++r;
  else if (frac < -0.5 || (frac == -0.5 && (r & 1)))
    --r;
  return static_cast<int32_t>(r);
}

// Saturating double-to-int32 of an already scaled value; NaN takes the lower
// bound, as the compare falls through to it.
inline int32_t F64ToI32Saturated(double y, bool nearest) {
  if (y >= kInt32MaxAsF64) return INT32_MAX;
  if (!(y > kInt32MinAsF64)) return INT32_MIN;
  return nearest ? RoundHalfEven(y) : static_cast<int32_t>(y);
}

inline int16_t SaturateToI16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

// x / 2^s, s in 1..31, rounded to nearest with ties to even (also for
// negative values), formed in 64 bits so the sum cannot overflow.
inline int64_t RoundingShiftRight(int32_t x, int32_t s) {
  const int64_t v = x;
  const int64_t bias = (int64_t{1} << (s - 1)) - 1;
  return (v + bias + ((v >> s) & 1)) >> s;
}

// Positive factors count down to a division, negative ones up to a
// saturating multiplication; beyond 31 and -15 nothing more changes.
inline int32_t ClampDivisionShift(int32_t scaleFactor) { return std::min(scaleFactor, 31); }
inline int32_t ClampMultiplyShift(int32_t scaleFactor) { return scaleFactor < -15 ? 15 : -scaleFactor; }

inline int16_t I32ToI16Scaled(int32_t x, int32_t scaleFactor) {
  if (scaleFactor == 0) return SaturateToI16(x);
  if (scaleFactor > 0) return SaturateToI16(RoundingShiftRight(x, ClampDivisionShift(scaleFactor)));
  return SaturateToI16(int64_t{x} * (int64_t{1} << ClampMultiplyShift(scaleFactor)));
}

// 2^-s for the int16-to-double conversion, s clamped so the scale stays
// normal (1022) and 32768 * 2^1008 = 2^1023 stays finite (-1008).
inline double I16ToF64Scale(int32_t scaleFactor) { return PowerOfTwo(-std::clamp(scaleFactor, -1008, 1022)); }
inline double I16ToF64One(int16_t x, bool scaled, double scale) {
  return scaled ? static_cast<double>(x) * scale : static_cast<double>(x);
}

}  // namespace SP_SET_NS::convert
