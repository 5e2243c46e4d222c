// The count of entries at a bound of one variant set: four compared per step
// in the sets with float vectors, without a branch on the outcome (a bound
// near the peak of a tone is met all along).
#include "primitives/correlation/correlator_kernels.h"

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

namespace {

// By the four lanes' hit bits: how many hit, and the highest that did.
constexpr int8_t kHitCount[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
constexpr int8_t kHighestHit[16] = {-1, 0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3};

template <bool AtLeast>
int64_t CountTies(const float* v, int64_t n, float bound, int64_t* last) {
  int64_t count = 0;
  int64_t highest = -1;
  int64_t i = 0;
#if SP_SET_HAS_F32_VECTORS
  const f32x4 limit = Splat(bound);
  for (; i + 4 <= n; i += 4) {
    const f32x4 x = LoadU(v + i);
    const int hits = MoveMask(AtLeast ? CmpGe(x, limit) : CmpLe(x, limit));
    count += kHitCount[hits];
    highest = hits != 0 ? i + kHighestHit[hits] : highest;
  }
#endif
  for (; i < n; ++i) {
    const float x = Ld(v + i);
    if (AtLeast ? x >= bound : x <= bound) {
      highest = i;
      ++count;
    }
  }
  *last = highest;
  return count;
}

}  // namespace

int64_t SP_V(spkCountTiesF32)(const float* v, int64_t n, float bound, bool atLeast, int64_t* last) {
  return atLeast ? CountTies<true>(v, n, bound, last) : CountTies<false>(v, n, bound, last);
}

}  // namespace SP_SET_NS
