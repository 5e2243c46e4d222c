// Conversions of the generic and SSE sets, which have no packed integers:
// no vector steps (the shared entries convert every element by the rules),
// and the double-to-int32 conversion element by element under the default
// environment.
#pragma once
#include <cfenv>

#include "primitives/vector/convert_rules.h"

#if SP_SET_INDEX < SP_SET_SSE2
namespace SP_SET_NS::convert {
namespace {

int64_t I8ToF32Steps(const int8_t*, float*, int64_t) { return 0; }
int64_t I16ToF32Steps(const int16_t*, float*, int64_t) { return 0; }
int64_t I32ToF32Steps(const int32_t*, float*, int64_t) { return 0; }
int64_t I8ToI16Steps(const int8_t*, int16_t*, int64_t) { return 0; }
int64_t I32ToF64Steps(const int32_t*, double*, int64_t) { return 0; }
int64_t I32ToI16SatSteps(const int32_t*, int16_t*, int64_t, int32_t) { return 0; }
int64_t I16ToF64Steps(const int16_t*, double*, int64_t, bool, double) { return 0; }
int64_t I16PairLaneToF32Steps(const int16_t*, int64_t, float*, int64_t) { return 0; }
int64_t F32PairLaneSteps(const float*, int64_t, float*, int64_t) { return 0; }

void F64ToI32(const double* src, int32_t* dst, int64_t n, bool nearest, const Pow2Scale& sc) {
  // Default environment (nearest, denormals kept) for the scaling; the flags
  // the compares and truncations raise go, and the caller's environment
  // comes back exactly as it was.
  std::fenv_t callerEnvironment;
  std::fegetenv(&callerEnvironment);
  std::fesetenv(FE_DFL_ENV);
  for (int64_t i = 0; i < n; ++i) dst[i] = F64ToI32Saturated(ApplyScale(src[i], sc), nearest);
  std::fesetenv(&callerEnvironment);
}

}  // namespace
}  // namespace SP_SET_NS::convert
#endif
