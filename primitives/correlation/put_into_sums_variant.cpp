// A block correlator's new values into its history slot, its running sum
// and its newest copy, in one variant set: four per step in the sets with
// float vectors, each sum rounded as the plain loop rounds it.
#include "primitives/correlation/correlator_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

void SP_V(spkPutIntoSumsF32)(const float* values, int64_t n, float* slot, float* sum, float* latest, bool replacing) {
  int64_t i = 0;
#if SP_SET_HAS_F32_VECTORS
  for (; i + 4 <= n; i += 4) {
    const f32x4 value = LoadU(values + i);
    const f32x4 kept = replacing ? Sub(LoadU(sum + i), LoadU(slot + i)) : LoadU(sum + i);
    StoreU(sum + i, Add(kept, value));
    StoreU(latest + i, value);
    StoreU(slot + i, value);
  }
#endif
  for (; i < n; ++i) {
    const float value = Ld(values + i);
    const float kept = replacing ? Ld(sum + i) - Ld(slot + i) : Ld(sum + i);
    St(sum + i, kept + value);
    St(latest + i, value);
    St(slot + i, value);
  }
}

}  // namespace SP_SET_NS
