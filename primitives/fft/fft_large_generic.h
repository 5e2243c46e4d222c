// The blocked form of the large-size complex FFT in the generic layout,
// written once for both precisions: transforms of `blockLength` points,
// last block first, then radix-2 joins of adjacent blocks strip by strip
// until one transform of count points remains. The precisions differ only
// in the block and strip length. Include only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fftk {

// True when the direction's transform carries the spec's scale.
inline bool ScalesDirection(const REALFFTSPEC& spec, bool inverse) {
  return (inverse ? spec.inverseScaled : spec.forwardScaled) == 1;
}

// Radix-2 passes that join the transforms of length `length` in data
// (count points) into one of length count, strip by strip across all block
// pairs. sub: W(k, log2 count), k < count/4, interleaved.
template <bool kInverse, class T>
void BlockJoinPasses(T* data, int64_t count, int64_t length, const T* sub, int64_t strip) {
  const int64_t halfStrip = strip / 2;
  for (int64_t L = length; L < count; L *= 2) {
    const int64_t blocks = count / L, step = blocks / 2;
    for (int64_t j0 = 0; j0 < L / 2; j0 += halfStrip)
      for (int64_t pair = 0; pair < blocks; pair += 2) {
        T* a = data + 2 * pair * L;
        T* b = a + 2 * L;
        for (int64_t j = j0; j < j0 + halfStrip; ++j) {
          const Cx t = Tw<kInverse>({sub[2 * j * step], sub[2 * j * step + 1]});
          const Cx v = LoadCx(b, j) * t, u = LoadCx(a, j);
          StoreCx(a, j, u + v);
          StoreCx(b, j, u - v);
          const int64_t k = j + L / 2;  // W(k) = J W(j), J = -j forward, +j inverse
          const Cx w = TimesJ<kInverse>(LoadCx(b, k) * t), x = LoadCx(a, k);
          StoreCx(a, k, x + w);
          StoreCx(b, k, x - w);
        }
      }
  }
}

// The blocked form on count points: the blocks by the plain passes on the
// spec's base table (scaled here when the direction asks for it), then the
// joins on its subsampled table.
template <bool kInverse, class T>
void BlockedGeneric(const REALFFTSPEC& spec, T* data, int64_t count, int64_t blockLength, int64_t strip) {
  const auto* base = static_cast<const T*>(spec.twiddles);
  for (int64_t at = count - blockLength; at >= 0; at -= blockLength) {
    T* block = data + 2 * at;
    RadixPassesGeneric<kInverse>(block, blockLength, base);
    if (ScalesDirection(spec, kInverse)) ScaleInPlace(static_cast<T>(spec.scale), block, 2 * blockLength);
  }
  BlockJoinPasses<kInverse>(data, count, blockLength, static_cast<const T*>(spec.subsampledTwiddles), strip);
}

}  // namespace SP_SET_NS::fftk
