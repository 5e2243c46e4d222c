// The direct correlation kernels of one variant set: the four segment
// kernels in both precisions and the direct autocorrelation, which is the
// upward partial kernel of the signal against itself.
#include "primitives/correlation/correlation_kernels.h"
#include "primitives/correlation/crosscorr_direct.h"

namespace SP_SET_NS {

#define SP_CORR_SEGMENT_MEMBERS(T, Suffix)                                                                           \
  void SP_V(spkCrossCorrDirectFull##Suffix)(const T* x, const T* y, int32_t win, T* out, int32_t count) {            \
    corr::Full<T>(x, y, win, out, count);                                                                            \
  }                                                                                                                  \
  void SP_V(spkCrossCorrDirectFullRev##Suffix)(const T* x, const T* y, int32_t win, T* out, int32_t count) {         \
    corr::FullRev<T>(x, y, win, out, count);                                                                         \
  }                                                                                                                  \
  void SP_V(spkCrossCorrDirectPartialUp##Suffix)(const T* x, const T* y, int32_t win, T* out, int32_t count) {       \
    corr::PartialUp<T>(x, y, win, out, count);                                                                       \
  }                                                                                                                  \
  void SP_V(spkCrossCorrDirectPartialDown##Suffix)(const T* x, const T* y, int32_t win, T* outLast, int32_t count) { \
    corr::PartialDown<T>(x, y, win, outLast, count);                                                                 \
  }
SP_CORR_SEGMENT_MEMBERS(double, F64)
SP_CORR_SEGMENT_MEMBERS(float, F32)
#undef SP_CORR_SEGMENT_MEMBERS

void SP_V(spkAutoCorrDirectF32)(const float* src, int32_t srcLen, float* dst, int32_t lags) {
  corr::PartialUp<float>(src, src, srcLen, dst, lags);
}

}  // namespace SP_SET_NS
