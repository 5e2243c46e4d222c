// The count of entries at a bound of one variant set: four compared per step
// in the sets with float vectors; ties are rare, so a step without one
// costs a compare and a branch.
#include "primitives/correlation/correlator_kernels.h"

#include <bit>

#include "primitives/frame/simd.h"

namespace SP_SET_NS {

using namespace simd;

namespace {

template <bool AtLeast>
int64_t CountTies(const float* v, int64_t n, float bound, int64_t* last) {
  int64_t count = 0;
  int64_t highest = -1;
  int64_t i = 0;
#if SP_SET_INDEX >= SP_SET_SSE
  const f32x4 limit = Splat(bound);
  for (; i + 4 <= n; i += 4) {
    const f32x4 x = LoadU(v + i);
    const unsigned hits = unsigned(MoveMask(AtLeast ? CmpGe(x, limit) : CmpLe(x, limit)));
    if (hits != 0) {
      count += std::popcount(hits);
      highest = i + 31 - std::countl_zero(hits);
    }
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
