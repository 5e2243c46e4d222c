// The direct correlation kernels of one variant set: the four segment
// kernels in both precisions and the direct autocorrelation, which is the
// upward partial kernel of the signal against itself.
#include "primitives/correlation/correlation_kernels.h"
#include "primitives/correlation/crosscorr_direct.h"

namespace SP_SET_NS {

void SP_V(spkCrossCorrDirectFullF64)(const double* x, const double* y, int32_t win, double* out, int32_t count) {
  corr::Full<double>(x, y, win, out, count);
}
void SP_V(spkCrossCorrDirectFullRevF64)(const double* x, const double* y, int32_t win, double* out, int32_t count) {
  corr::FullRev<double>(x, y, win, out, count);
}
void SP_V(spkCrossCorrDirectPartialUpF64)(const double* x, const double* y, int32_t win, double* out, int32_t count) {
  corr::PartialUp<double>(x, y, win, out, count);
}
void SP_V(spkCrossCorrDirectPartialDownF64)(const double* x, const double* y, int32_t win, double* outLast,
                                            int32_t count) {
  corr::PartialDown<double>(x, y, win, outLast, count);
}

void SP_V(spkCrossCorrDirectFullF32)(const float* x, const float* y, int32_t win, float* out, int32_t count) {
  corr::Full<float>(x, y, win, out, count);
}
void SP_V(spkCrossCorrDirectFullRevF32)(const float* x, const float* y, int32_t win, float* out, int32_t count) {
  corr::FullRev<float>(x, y, win, out, count);
}
void SP_V(spkCrossCorrDirectPartialUpF32)(const float* x, const float* y, int32_t win, float* out, int32_t count) {
  corr::PartialUp<float>(x, y, win, out, count);
}
void SP_V(spkCrossCorrDirectPartialDownF32)(const float* x, const float* y, int32_t win, float* outLast,
                                            int32_t count) {
  corr::PartialDown<float>(x, y, win, outLast, count);
}

void SP_V(spkAutoCorrDirectF32)(const float* src, int32_t srcLen, float* dst, int32_t lags) {
  corr::PartialUp<float>(src, src, srcLen, dst, lags);
}

}  // namespace SP_SET_NS
