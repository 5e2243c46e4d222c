// Conversion primitives of one variant set. The generic and SSE sets run the
// scalar rules; the SSE2 and later sets run vector blocks and finish with
// the same rules (or, where their special values differ, a padded block).
#include <cfenv>
#include <cstring>
#include <type_traits>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/convert_rules.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

using namespace convert;

#if SP_SET_INDEX == SP_SET_GENERIC
// Entry j holds j - 128; indexed from the entry for 0 by the signed byte.
constexpr auto kI8Values = [] {
  struct Table { float v[256]; } t{};
  for (int j = 0; j < 256; ++j) t.v[j] = static_cast<float>(j - 128);
  return t;
}();
const float* const kI8ValueOfZero = kI8Values.v + 128;
#endif

#if SP_SET_INDEX >= SP_SET_SSE2
using namespace simd;

// Elements left after the destination is aligned, beyond which the
// int16-to-double blocks bypass the cache.
constexpr int64_t kI16ToF64StreamAbove = SP_SET_INDEX == SP_SET_SSE2 ? 0xCCCC : SP_SET_INDEX == SP_SET_SSE3 ? 0x33333 : 0x66666;

// Rounds to nearest, with denormals kept and exceptions masked, for the
// duration of a conversion; the caller's word (flags included) comes back
// exactly.
class NearestRoundingScope {
 public:
  NearestRoundingScope() : saved_(_mm_getcsr()) {
    constexpr unsigned kRoundingField = 0x6000, kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
    constexpr unsigned kAllExceptionsMasked = 0x1F80;
    _mm_setcsr((saved_ & ~(kRoundingField | kFlushToZero | kDenormalsAreZero)) | kAllExceptionsMasked);
  }
  ~NearestRoundingScope() { _mm_setcsr(saved_); }
  NearestRoundingScope(const NearestRoundingScope&) = delete;
  NearestRoundingScope& operator=(const NearestRoundingScope&) = delete;

 private:
  unsigned saved_;
};

// Four doubles to four int32: scale, bound above by a minimum (which also
// maps NaN to the bound), convert; below -2^31 the processor's indefinite
// value 0x80000000 is the lower bound itself.
inline i32x4 F64ToI32Four(const double* src, bool nearest, const Pow2Scale& sc) {
  f64x2 a = LoadU(src), b = LoadU(src + 2);
  if (sc.steps >= 1) {
    a = Mul(a, Splat(sc.first));
    b = Mul(b, Splat(sc.first));
  }
  if (sc.steps == 2) {
    a = Mul(a, Splat(sc.second));
    b = Mul(b, Splat(sc.second));
  }
  a = Min(a, Splat(kInt32MaxAsF64));
  b = Min(b, Splat(kInt32MaxAsF64));
  return nearest ? JoinLow64(F64ToI32Round(a), F64ToI32Round(b))
                 : JoinLow64(F64ToI32Trunc(a), F64ToI32Trunc(b));
}

enum class StoreKind { kUnaligned, kAligned, kStream };

template <StoreKind kStore>
inline void StoreF64(double* p, f64x2 v) {
  if constexpr (kStore == StoreKind::kStream) Stream(p, v);
  else if constexpr (kStore == StoreKind::kAligned) Store(p, v);
  else StoreU(p, v);
}

// Eight elements per step from index i; returns where the tail starts.
template <StoreKind kStore>
int64_t I16ToF64Blocks(const int16_t* src, double* dst, int64_t i, int64_t n, bool scaled, double scale) {
  const auto block = [&](auto applyScale) {
    const f64x2 s = Splat(scale);
    for (; i + 8 <= n; i += 8) {
      const i16x8 v = LoadU(src + i);
      const i32x4 lo = WidenLowI16ToI32(v), hi = WidenHighI16ToI32(v);
      f64x2 d0 = LowI32ToF64(lo), d1 = HighI32ToF64(lo), d2 = LowI32ToF64(hi), d3 = HighI32ToF64(hi);
      if constexpr (decltype(applyScale)::value) {
        d0 = Mul(d0, s);
        d1 = Mul(d1, s);
        d2 = Mul(d2, s);
        d3 = Mul(d3, s);
      }
      StoreF64<kStore>(dst + i, d0);
      StoreF64<kStore>(dst + i + 2, d1);
      StoreF64<kStore>(dst + i + 4, d2);
      StoreF64<kStore>(dst + i + 6, d3);
    }
  };
  if (scaled) block(std::true_type{});
  else block(std::false_type{});
  return i;
}

inline void I32ToI16Eight(const int32_t* src, int16_t* dst, int32_t scaleFactor) {
  i32x4 a = LoadU(src), b = LoadU(src + 4);
  if (scaleFactor > 0) {
    const int32_t s = ClampDivisionShift(scaleFactor);
    a = RoundingShiftRightI32(a, s);
    b = RoundingShiftRightI32(b, s);
  } else if (scaleFactor < 0) {
    // Saturate first so the shift cannot overflow, then saturate again.
    const int32_t k = ClampMultiplyShift(scaleFactor);
    const i16x8 narrow = PackSatI32ToI16(a, b);
    a = ShiftLeft(WidenLowI16ToI32(narrow), k);
    b = ShiftLeft(WidenHighI16ToI32(narrow), k);
  }
  StoreU(dst, PackSatI32ToI16(a, b));
}
#endif

// The conversions whose sets differ only in speed: from SSE2 on, Step
// converts kStep elements at a time while whole steps remain; One converts
// the rest (every element before SSE2).
template <class Rule, class S, class D>
spStatus ConvertInSteps(const S* src, D* dst, int64_t n, const Rule& rule) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  int64_t i = 0;
#if SP_SET_INDEX >= SP_SET_SSE2
  for (; i + Rule::kStep <= n; i += Rule::kStep) rule.Step(src + i, dst + i);
#endif
  for (; i < n; ++i) dst[i] = rule.One(src[i]);
  return spOk;
}

struct I8ToF32Rule {
  static constexpr int64_t kStep = 16;
#if SP_SET_INDEX >= SP_SET_SSE2
  static void Step(const int8_t* s, float* d) {
    const i8x16 v = LoadU(s);
    StoreU(d, I32ToF32(WidenQuarterI8ToI32(v, 0)));
    StoreU(d + 4, I32ToF32(WidenQuarterI8ToI32(v, 1)));
    StoreU(d + 8, I32ToF32(WidenQuarterI8ToI32(v, 2)));
    StoreU(d + 12, I32ToF32(WidenQuarterI8ToI32(v, 3)));
  }
#endif
  static float One(int8_t x) {
#if SP_SET_INDEX == SP_SET_GENERIC
    return kI8ValueOfZero[x];
#else
    return static_cast<float>(x);
#endif
  }
};

struct I16ToF32Rule {
  static constexpr int64_t kStep = 8;
#if SP_SET_INDEX >= SP_SET_SSE2
  static void Step(const int16_t* s, float* d) {
    const i16x8 v = LoadU(s);
    StoreU(d, I32ToF32(WidenLowI16ToI32(v)));
    StoreU(d + 4, I32ToF32(WidenHighI16ToI32(v)));
  }
#endif
  static float One(int16_t x) { return static_cast<float>(x); }
};

// Both paths round under the caller's MXCSR, as the scalar conversion does.
struct I32ToF32Rule {
  static constexpr int64_t kStep = 8;
#if SP_SET_INDEX >= SP_SET_SSE2
  static void Step(const int32_t* s, float* d) {
    StoreU(d, I32ToF32(LoadU(s)));
    StoreU(d + 4, I32ToF32(LoadU(s + 4)));
  }
#endif
  static float One(int32_t x) { return static_cast<float>(x); }
};

struct I8ToI16Rule {
  static constexpr int64_t kStep = 16;
#if SP_SET_INDEX >= SP_SET_SSE2
  static void Step(const int8_t* s, int16_t* d) {
    const i8x16 v = LoadU(s);
    StoreU(d, WidenLowI8ToI16(v));
    StoreU(d + 8, WidenHighI8ToI16(v));
  }
#endif
  static int16_t One(int8_t x) { return x; }
};

struct I32ToF64Rule {
  static constexpr int64_t kStep = 4;
#if SP_SET_INDEX >= SP_SET_SSE2
  static void Step(const int32_t* s, double* d) {
    const i32x4 v = LoadU(s);
    StoreU(d, LowI32ToF64(v));
    StoreU(d + 2, HighI32ToF64(v));
  }
#endif
  static double One(int32_t x) { return static_cast<double>(x); }
};

struct I32ToI16SatRule {
  int32_t scaleFactor;
  static constexpr int64_t kStep = 8;
#if SP_SET_INDEX >= SP_SET_SSE2
  void Step(const int32_t* s, int16_t* d) const { I32ToI16Eight(s, d, scaleFactor); }
#endif
  int16_t One(int32_t x) const { return I32ToI16Scaled(x, scaleFactor); }
};

}  // namespace

spStatus SP_V(spConvI8ToF32)(const int8_t* src, float* dst, int32_t n) {
  return ConvertInSteps(src, dst, n, I8ToF32Rule{});
}
spStatus SP_V(spConvI16ToF32)(const int16_t* src, float* dst, int32_t n) {
  return ConvertInSteps(src, dst, n, I16ToF32Rule{});
}
spStatus SP_V(spConvI32ToF32)(const int32_t* src, float* dst, int32_t n) {
  return ConvertInSteps(src, dst, n, I32ToF32Rule{});
}
spStatus SP_V(spConvI8ToI16)(const int8_t* src, int16_t* dst, int32_t n) {
  return ConvertInSteps(src, dst, n, I8ToI16Rule{});
}
spStatus SP_V(spConvI32ToF64)(const int32_t* src, double* dst, int32_t n) {
  return ConvertInSteps(src, dst, n, I32ToF64Rule{});
}
spStatus SP_V(spConvI32ToI16Sat)(const int32_t* src, int16_t* dst, int32_t n, int32_t scaleFactor) {
  return ConvertInSteps(src, dst, n, I32ToI16SatRule{scaleFactor});
}

spStatus SP_V(spConvI16ToF64Scaled)(const int16_t* src, double* dst, int32_t n, int32_t scaleFactor) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  const bool scaled = scaleFactor != 0;
  const double scale = I16ToF64Scale(scaleFactor);
  const auto one = [scaled, scale](int16_t x) {
    return scaled ? static_cast<double>(x) * scale : static_cast<double>(x);
  };
  int64_t i = 0;
#if SP_SET_INDEX >= SP_SET_SSE2
  // Step to a 16-byte boundary of dst (when its address allows one).
  if (IsAligned(dst, 8)) {
    for (; i < n && !Aligned16(dst + i); ++i) dst[i] = one(src[i]);
  }
  const bool aligned = Aligned16(dst + i);
  if (aligned && (n - i) - 8 > kI16ToF64StreamAbove) {
    i = I16ToF64Blocks<StoreKind::kStream>(src, dst, i, n, scaled, scale);
    StoreFence();
  } else if (aligned) {
    i = I16ToF64Blocks<StoreKind::kAligned>(src, dst, i, n, scaled, scale);
  } else {
    i = I16ToF64Blocks<StoreKind::kUnaligned>(src, dst, i, n, scaled, scale);
  }
#endif
  for (; i < n; ++i) dst[i] = one(src[i]);
  return spOk;
}

spStatus SP_V(spConvF64ToI32)(const double* src, int32_t* dst, int32_t n, int32_t roundMode,
                              int32_t scaleFactor) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  const bool nearest = roundMode == 1;
  const Pow2Scale sc = MakeF64Scale(scaleFactor);
#if SP_SET_INDEX >= SP_SET_SSE2
  const NearestRoundingScope rounding;
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) StoreU(dst + i, F64ToI32Four(src + i, nearest, sc));
  if (i < n) {
    // The last one to three elements through a padded block, so they get
    // this set's special values too.
    double in[4] = {0.0, 0.0, 0.0, 0.0};
    int32_t out[4];
    std::memcpy(in, src + i, static_cast<size_t>(n - i) * sizeof(double));
    StoreU(out, F64ToI32Four(in, nearest, sc));
    std::memcpy(dst + i, out, static_cast<size_t>(n - i) * sizeof(int32_t));
  }
#else
  // Default environment (nearest, denormals kept) for the scaling; the flags
  // the compares and truncations raise go, and the caller's environment
  // comes back exactly as it was.
  std::fenv_t callerEnvironment;
  std::fegetenv(&callerEnvironment);
  std::fesetenv(FE_DFL_ENV);
  for (int64_t i = 0; i < n; ++i) dst[i] = F64ToI32Saturated(ApplyScale(src[i], sc), nearest);
  std::fesetenv(&callerEnvironment);
#endif
  return spOk;
}

}  // namespace SP_SET_NS
