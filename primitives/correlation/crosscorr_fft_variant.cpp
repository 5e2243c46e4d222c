// The cross-correlation by FFT of one variant set, in both precisions.
#include "primitives/correlation/correlation_fft.h"
#include "primitives/correlation/correlation_kernels.h"

namespace SP_SET_NS {

spStatus SP_V(spkCrossCorrByFftF64)(const double* a, int32_t aLen, const double* b, int32_t bLen, double* out,
                                    int32_t count, int64_t start) {
  return corr::CrossCorrByFft<double>(a, aLen, b, bLen, out, count, start);
}
spStatus SP_V(spkCrossCorrByFftF32)(const float* a, int32_t aLen, const float* b, int32_t bLen, float* out,
                                    int32_t count, int64_t start) {
  return corr::CrossCorrByFft<float>(a, aLen, b, bLen, out, count, start);
}

}  // namespace SP_SET_NS
