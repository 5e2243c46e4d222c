// The compact-spectrum drivers of one variant set, in both precisions: the
// forward and inverse transforms, their scratch size and the conjugate
// product.
#include "primitives/correlation/compact_transform.h"
#include "primitives/correlation/correlation_fft.h"  // the set's conjugate product
#include "primitives/correlation/correlation_kernels.h"

namespace SP_SET_NS {

spStatus SP_V(spkRealFftWorkSizeF64)(const REALFFTSPEC* spec, int32_t* bytes) {
  return corr::WorkSize<double>(spec, bytes);
}
spStatus SP_V(spkRealFftFwdCompactF64)(const double* src, double* dst, const REALFFTSPEC* spec, uint8_t* work) {
  return corr::ForwardCompact<double>(src, dst, spec, work);
}
spStatus SP_V(spkMulCompactConjF64)(const double* src, double* srcDst, int32_t n) {
  return corr::MulCompactConj<double, corr::ProductOf<double>>(src, srcDst, n);
}
spStatus SP_V(spkRealFftInvCompactF64)(const double* src, double* dst, const REALFFTSPEC* spec, uint8_t* work) {
  return corr::InverseCompact<double>(src, dst, spec, work);
}

spStatus SP_V(spkRealFftWorkSizeF32)(const REALFFTSPEC* spec, int32_t* bytes) {
  return corr::WorkSize<float>(spec, bytes);
}
spStatus SP_V(spkRealFftFwdCompactF32)(const float* src, float* dst, const REALFFTSPEC* spec, uint8_t* work) {
  return corr::ForwardCompact<float>(src, dst, spec, work);
}
spStatus SP_V(spkMulCompactConjF32)(const float* src, float* srcDst, int32_t n) {
  return corr::MulCompactConj<float, corr::ProductOf<float>>(src, srcDst, n);
}
spStatus SP_V(spkRealFftInvCompactF32)(const float* src, float* dst, const REALFFTSPEC* spec, uint8_t* work) {
  return corr::InverseCompact<float>(src, dst, spec, work);
}

}  // namespace SP_SET_NS
