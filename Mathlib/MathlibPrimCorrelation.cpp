#include "Mathlib/MathlibPrim.h"
#include "primitives/correlation/sp_correlation.h"

namespace {
constexpr int32_t kAutoCorrBiased = 1;
constexpr int32_t kAutoCorrUnbiased = 2;
}  // namespace

spStatus duvuvCrossCorrF64(int32_t, const double* a, int32_t aLen, const double* b, int32_t bLen, double* dst,
                           int32_t dstLen, int32_t lowLag) {
  return spCrossCorrF64(a, aLen, b, bLen, dst, dstLen, lowLag);
}
spStatus duvuvCrossCorrF32(int32_t, const float* a, int32_t aLen, const float* b, int32_t bLen, float* dst,
                           int32_t dstLen, int32_t lowLag) {
  return spCrossCorrF32(a, aLen, b, bLen, dst, dstLen, lowLag);
}
spStatus duvuvAutoCorrF32(int32_t, const float* src, int32_t srcLen, float* dst, int32_t dstLen, int32_t flags) {
  if (flags & kAutoCorrBiased) return spAutoCorrBiasedF32(src, srcLen, dst, dstLen);
  if (flags & kAutoCorrUnbiased) return spAutoCorrUnbiasedF32(src, srcLen, dst, dstLen);
  return spErrFftScaleFlag;
}
