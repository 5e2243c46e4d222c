// The compact-spectrum drivers and the cross-correlation FFT paths of one
// variant set, in both precisions.
#include "primitives/correlation/compact_transform.h"
#include "primitives/correlation/correlation_fft.h"
#include "primitives/correlation/correlation_kernels.h"

namespace SP_SET_NS {

#define SP_CORR_COMPACT_MEMBERS(T, Suffix)                                                                            \
  spStatus SP_V(spkRealFftWorkSize##Suffix)(const REALFFTSPEC* spec, int32_t* bytes) {                                \
    return corr::WorkSize<T>(spec, bytes);                                                                            \
  }                                                                                                                   \
  spStatus SP_V(spkRealFftFwdCompact##Suffix)(const T* src, T* dst, const REALFFTSPEC* spec, uint8_t* work) {         \
    return corr::ForwardCompact<T>(src, dst, spec, work);                                                             \
  }                                                                                                                   \
  spStatus SP_V(spkMulCompactConj##Suffix)(const T* src, T* srcDst, int32_t n) {                                      \
    return corr::MulCompactConj<T, corr::ProductOf<T>>(src, srcDst, n);                                               \
  }                                                                                                                   \
  spStatus SP_V(spkRealFftInvCompact##Suffix)(const T* src, T* dst, const REALFFTSPEC* spec, uint8_t* work) {         \
    return corr::InverseCompact<T>(src, dst, spec, work);                                                             \
  }                                                                                                                   \
  spStatus SP_V(spkCrossCorrByFft##Suffix)(const T* a, int32_t aLen, const T* b, int32_t bLen, T* out, int32_t count, \
                                           int64_t start) {                                                           \
    return corr::CrossCorrByFft<T>(a, aLen, b, bLen, out, count, start);                                              \
  }
SP_CORR_COMPACT_MEMBERS(double, F64)
SP_CORR_COMPACT_MEMBERS(float, F32)
#undef SP_CORR_COMPACT_MEMBERS

}  // namespace SP_SET_NS
