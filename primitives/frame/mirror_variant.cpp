// Half-spectrum mirror kernels: dst[k] = conj(src[m-1-k]) with the sign bit
// of each imaginary part flipped (so +0 turns -0 and NaN payloads survive).
// SSE2 and later move two float pairs or one double pair per 16-byte step;
// the other sets work on the bit patterns one value at a time.
#include <cstring>

#include "primitives/frame/simd.h"
#include "primitives/frame/sp_kernels.h"

namespace SP_SET_NS {
namespace {
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
  int32_t k = 0;
#if SP_SET_INDEX >= 2
  const __m128 sign = _mm_castsi128_ps(_mm_set_epi32(INT32_MIN, 0, INT32_MIN, 0));
  for (; k + 2 <= m; k += 2) {
    // Values m-2-k and m-1-k, swapped into order and conjugated.
    const __m128 pair = simd::LoadU(src + 2 * (m - 2 - k));
    const __m128 swapped = _mm_shuffle_ps(pair, pair, _MM_SHUFFLE(1, 0, 3, 2));
    simd::StoreU(dst + 2 * k, simd::Xor(swapped, sign));
  }
#endif
  for (; k < m; ++k) MirrorOne<uint32_t>(src + 2 * (m - 1 - k), dst + 2 * k);
}

void SP_V(spkHalfSpecMirrorC64)(const double* src, double* dst, int32_t m) {
#if SP_SET_INDEX >= 2
  const __m128d sign = _mm_castsi128_pd(_mm_set_epi64x(INT64_MIN, 0));
  for (int32_t k = 0; k < m; ++k) simd::StoreU(dst + 2 * k, simd::Xor(simd::LoadU(src + 2 * (m - 1 - k)), sign));
#else
  for (int32_t k = 0; k < m; ++k) MirrorOne<uint64_t>(src + 2 * (m - 1 - k), dst + 2 * k);
#endif
}

}  // namespace SP_SET_NS
