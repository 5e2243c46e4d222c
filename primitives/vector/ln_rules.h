// What every set's natural-logarithm kernels share: the special results, the
// first-warning rule, the C library fallback and the single-precision series
// of the SIMD sets. Each set-group file (ln_generic_group.h, ln_sse_group.h,
// ln_sse2_group.h) defines the group's kernels on top of it:
//   spStatus LnArrayF32(const float* src, float* dst, int64_t n);
//   spStatus LnArrayF64(const double* src, double* dst, int64_t n);
// (n at least 1; the status is the first warning). Include only from
// ln_variant.cpp: everything has internal linkage in that one translation
// unit, so the kernels inline into the entries.
#pragma once
#include <cmath>
#include <cstdint>

#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"

namespace SP_SET_NS::vln {
namespace {

using namespace simd;

// Keeps the first warning raised.
struct FirstWarning {
  spStatus status = spOk;
  void Raise(spStatus s) {
    if (status == spOk) status = s;
  }
};

// The special results shared by every set; false for positive finite,
// non-zero values, which the caller evaluates.
inline bool SpecialLn(float x, float& out, FirstWarning& w) {
  const uint32_t b = Bits(x);
  if (b & kF32SignBit) {
    out = FloatFromBits(kF32DefaultNan);
    w.Raise(spWarnLnNegative);
  } else if (b == 0) {
    out = FloatFromBits(kF32MinusInf);
    w.Raise(spWarnLnZero);
  } else if ((b & kF32PlusInf) == kF32PlusInf) {
    out = FloatFromBits((b & 0x007FFFFFu) ? kF32QuietNan : kF32PlusInf);
  } else {
    return false;
  }
  return true;
}

inline bool SpecialLn(double x, double& out, FirstWarning& w) {
  const uint64_t b = Bits(x);
  if (b >> 63) {
    out = DoubleFromBits(kF64DefaultNan);
    w.Raise(spWarnLnNegative);
  } else if (b == 0) {
    out = DoubleFromBits(kF64MinusInf);
    w.Raise(spWarnLnZero);
  } else if ((b & kF64PlusInf) == kF64PlusInf) {
    out = DoubleFromBits((b & 0x000FFFFFFFFFFFFFull) ? kF64QuietNan : kF64PlusInf);
  } else {
    return false;
  }
  return true;
}

// Generic rule: specials, else the C library's log in double precision.
template <class T>
inline T LibraryLn(T x, FirstWarning& w) {
  T out;
  if (SpecialLn(x, out, w)) return out;
  return static_cast<T>(std::log(static_cast<double>(x)));
}

template <class T>
void LibraryLnArray(const T* src, T* dst, int64_t n, FirstWarning& w) {
  for (int64_t i = 0; i < n; ++i) St(dst + i, LibraryLn(Ld(src + i), w));
}

inline constexpr float kTwoPow24 = 16777216.0f;
inline constexpr double kTwoPow52 = 4503599627370496.0;

// Single-precision series shared by the SSE and SSE2+ float kernels:
// ln x = k L + s (2 + z (c1 + z (c2 + z (c3 + z c4)))), s = (f-1)/(f+1), z = s^2,
// with f in [sqrt(2)/2, sqrt(2)) and x = 2^k f.
inline constexpr uint32_t kLn2F32 = 0x3F317218u;
inline constexpr uint32_t kC1 = 0x3F2AAAAAu, kC2 = 0x3ECCCD95u, kC3 = 0x3E920CCAu, kC4 = 0x3E7353DAu;
inline constexpr uint32_t kHalfFractionBound = 0x3504F2u;  // fraction of sqrt(2)

#if SP_SET_HAS_F32_VECTORS
inline f32x4 SeriesF32(f32x4 k, f32x4 s) {
  const f32x4 z = Mul(s, s);
  f32x4 p = Add(Splat(FloatFromBits(kC3)), Mul(z, Splat(FloatFromBits(kC4))));
  p = Add(Splat(FloatFromBits(kC2)), Mul(z, p));
  p = Add(Splat(FloatFromBits(kC1)), Mul(z, p));
  p = Add(Splat(2.0f), Mul(z, p));
  return Add(Mul(k, Splat(FloatFromBits(kLn2F32))), Mul(s, p));
}
#endif

}  // namespace
}  // namespace SP_SET_NS::vln
