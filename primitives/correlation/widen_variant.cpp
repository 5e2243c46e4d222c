// Floats widened to doubles in one variant set: four per step in the sets
// with double vectors.
#include "primitives/correlation/correlator_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

void SP_V(spkWidenF32ToF64)(const float* src, double* dst, int64_t n) {
  int64_t i = 0;
#if SP_SET_HAS_F64_VECTORS
  for (; i + 4 <= n; i += 4) {
    StoreU(dst + i, LoadPairAsF64(src + i));
    StoreU(dst + i + 2, LoadPairAsF64(src + i + 2));
  }
#endif
  for (; i < n; ++i) St(dst + i, double(Ld(src + i)));
}

}  // namespace SP_SET_NS
