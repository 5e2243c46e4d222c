// Half-spectrum mirror kernels: dst[k] = conj(src[m-1-k]) with the sign bit
// of each imaginary part flipped (so +0 turns -0 and NaN payloads survive).
// SSE2 and later move two float pairs or one double pair per 16-byte step;
// the other sets work on the bit patterns one value at a time.
#include <cstring>

#include "primitives/frame/memory_kernels.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS {
namespace {

using namespace simd;
// One value, moved as bit patterns (Bits: the unsigned integer of T's size).
template <class Bits, class T>
void MirrorOne(const T* s, T* d) {
  static_assert(sizeof(Bits) == sizeof(T));
  Bits re, im;
  std::memcpy(&re, s, sizeof(T));
  std::memcpy(&im, s + 1, sizeof(T));
  im ^= Bits{1} << (8 * sizeof(T) - 1);
  std::memcpy(d, &re, sizeof(T));
  std::memcpy(d + 1, &im, sizeof(T));
}
}  // namespace

void SP_V(spkHalfSpecMirrorC32)(const float* src, float* dst, int32_t m) {
  int64_t k = 0;
#if SP_SET_INDEX >= SP_SET_SSE2
  const f32x4 sign = ImagSignMaskF32();
  for (; k + 2 <= m; k += 2) {
    // Values m-2-k and m-1-k, swapped into order and conjugated.
    StoreU(dst + 2 * k, Xor(SwapHalves(LoadU(src + 2 * (m - 2 - k))), sign));
  }
#endif
  for (; k < m; ++k) MirrorOne<uint32_t>(src + 2 * (m - 1 - k), dst + 2 * k);
}

void SP_V(spkHalfSpecMirrorC64)(const double* src, double* dst, int32_t m) {
#if SP_SET_HAS_F64_VECTORS
  const f64x2 sign = ImagSignMaskF64();
  for (int64_t k = 0; k < m; ++k) StoreU(dst + 2 * k, Xor(LoadU(src + 2 * (m - 1 - k)), sign));
#else
  for (int64_t k = 0; k < m; ++k) MirrorOne<uint64_t>(src + 2 * (m - 1 - k), dst + 2 * k);
#endif
}

}  // namespace SP_SET_NS
