// Conversion primitives: the entries every set shares. The vector steps and
// the double-to-int32 conversion differ by group of sets, one set-group file
// each (convert_scalar_group.h for the generic and SSE sets,
// convert_sse2_group.h for SSE2 and later), both defining
//   int64_t <Kind>Steps(src, dst, n[, ...]): whole vector steps from element
//     0, returning how many elements they converted (none in the scalar group);
//   void F64ToI32(src, dst, n, nearest, scale): the whole conversion.
// Every element the steps leave goes through the per-element rules of
// convert_rules.h, so the sets give the same values.
#include "primitives/vector/sp_convert.h"

#include "primitives/frame/arg_checks.h"
#include "primitives/vector/convert_kernels.h"
#include "primitives/vector/convert_rules.h"
#include "primitives/vector/convert_scalar_group.h"
#include "primitives/vector/convert_sse2_group.h"

namespace SP_SET_NS {
namespace {

using namespace convert;

#if SP_SET_INDEX == SP_SET_GENERIC
// Entry j holds j - 128; indexed from the entry for 0 by the signed byte.
constexpr auto kI8Values = [] {
  struct Table {
    float v[256];
  } t{};
  for (int j = 0; j < 256; ++j) t.v[j] = static_cast<float>(j - 128);
  return t;
}();
const float* const kI8ValueOfZero = kI8Values.v + 128;
#endif

// Whether the group converts in vector steps, leaving a few elements at most
// to the element loop. Then a whole number of steps takes a short path,
// which a short call feels: one branch for the checks and the rest out of
// its way. The scalar group keeps the plain form: its element loop is the
// whole conversion (marked as the rare path it ran 1.3x slower).
constexpr bool kVectorSteps = kSetIndex >= SP_SET_SSE2;

// The arguments' checks; with vector steps, arguments that pass take one
// branch (the comparisons joined by a plain or; CheckArrays then tells which
// failed).
template <class S, class D>
inline spStatus CheckConversion(const S* src, const D* dst, int32_t n) {
  if constexpr (kVectorSteps) {
    if (ArraysPass(n, src, dst)) [[likely]]
      return spOk;
  }
  return CheckArrays(n, src, dst);
}

// The group's vector steps, then the rest element by element.
template <class S, class D, class Steps, class One>
spStatus Convert(const S* src, D* dst, int32_t n, Steps steps, One one) {
  if (const spStatus st = CheckConversion(src, dst, n); st != spOk) return st;
  int64_t i = steps(src, dst, int64_t{n});
  if (kVectorSteps && i == n) [[likely]]
    return spOk;
  for (; i < n; ++i) dst[i] = one(src[i]);
  return spOk;
}

inline float I8ToF32One(int8_t x) {
#if SP_SET_INDEX == SP_SET_GENERIC
  return kI8ValueOfZero[x];
#else
  return static_cast<float>(x);
#endif
}

}  // namespace

spStatus SP_V(spConvI8ToF32)(const int8_t* src, float* dst, int32_t n) {
  return Convert(src, dst, n, I8ToF32Steps, I8ToF32One);
}
spStatus SP_V(spConvI16ToF32)(const int16_t* src, float* dst, int32_t n) {
  // Through a lambda, so that the always-inlined steps are a direct call at every optimisation level.
  const auto steps = [](const int16_t* s, float* d, int64_t count) { return I16ToF32Steps(s, d, count); };
  return Convert(src, dst, n, steps, [](int16_t x) { return static_cast<float>(x); });
}
// Both paths round under the caller's MXCSR, as the scalar conversion does.
spStatus SP_V(spConvI32ToF32)(const int32_t* src, float* dst, int32_t n) {
  return Convert(src, dst, n, I32ToF32Steps, [](int32_t x) { return static_cast<float>(x); });
}
spStatus SP_V(spConvI8ToI16)(const int8_t* src, int16_t* dst, int32_t n) {
  return Convert(src, dst, n, I8ToI16Steps, [](int8_t x) { return static_cast<int16_t>(x); });
}
spStatus SP_V(spConvI32ToF64)(const int32_t* src, double* dst, int32_t n) {
  return Convert(src, dst, n, I32ToF64Steps, [](int32_t x) { return static_cast<double>(x); });
}
spStatus SP_V(spConvI32ToI16Sat)(const int32_t* src, int16_t* dst, int32_t n, int32_t scaleFactor) {
  const auto steps = [scaleFactor](const int32_t* s, int16_t* d, int64_t count) {
    return I32ToI16SatSteps(s, d, count, scaleFactor);
  };
  return Convert(src, dst, n, steps, [scaleFactor](int32_t x) { return I32ToI16Scaled(x, scaleFactor); });
}

spStatus SP_V(spConvI16ToF64Scaled)(const int16_t* src, double* dst, int32_t n, int32_t scaleFactor) {
  const bool scaled = scaleFactor != 0;
  const double scale = I16ToF64Scale(scaleFactor);
  const auto steps = [scaled, scale](const int16_t* s, double* d, int64_t count) {
    return I16ToF64Steps(s, d, count, scaled, scale);
  };
  return Convert(src, dst, n, steps, [scaled, scale](int16_t x) { return I16ToF64One(x, scaled, scale); });
}

spStatus SP_V(spConvF64ToI32)(const double* src, int32_t* dst, int32_t n, int32_t roundMode, int32_t scaleFactor) {
  if (const spStatus st = CheckArrays(n, src, dst); st != spOk) return st;
  F64ToI32(src, dst, n, roundMode == 1, MakeF64Scale(scaleFactor));
  return spOk;
}

// Stereo channels by the group's pair-lane steps, one channel by the
// int16-to-float steps; the rest element by element.
void SP_V(spkChannelI16ToF32)(const int16_t* frames, int64_t channels, int64_t channel, float* dst, int64_t n) {
  if (n <= 0) return;
  int64_t i = channels == 1   ? I16ToF32Steps(frames, dst, n)
              : channels == 2 ? I16PairLaneToF32Steps(frames, channel, dst, n)
                              : 0;
  for (; i < n; ++i) dst[i] = static_cast<float>(frames[i * channels + channel]);
}

void SP_V(spkChannelF32)(const float* frames, int64_t channels, int64_t channel, float* dst, int64_t n) {
  if (n <= 0) return;
  for (int64_t i = channels == 2 ? F32PairLaneSteps(frames, channel, dst, n) : 0; i < n; ++i)
    dst[i] = frames[i * channels + channel];
}

}  // namespace SP_SET_NS

// The conversion dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_CONVERT_ENTRIES)
#endif
