// The large-size complex FFT of the generic layout (the generic set, and
// the SSE set in double precision), written once for both precisions: 2^M
// points in bit-reversed order become their unnormalised DFT in natural
// order, in place, scaled by the spec's scale when the direction asks for
// it (each value once, where a leaf runs the plain radix passes). A level
// splits into 2^k1 rows of 2^d points: rows by the plain passes (d up to
// the row limit) or one level deeper, then columns four at a time, the
// level's factors multiplied in on the way into the work buffer, each
// column by the plain passes of order k1. A blocked order runs blocks of
// the base order, last block first, then radix-2 joins of adjacent blocks
// strip by strip. The precisions differ in their shape row (limits,
// exponents) and strip length. Include only from *_variant.cpp.
#pragma once
#include <cstdint>

#include "primitives/fft/fft_radix_generic.h"
#include "primitives/fft/fft_split_merge.h"
#include "primitives/fft/fft_tables.h"
#include "primitives/fft/sp_real_fft.h"

namespace SP_SET_NS::fftk {

// True when the direction's transform carries the spec's scale.
template <class T>
inline bool ScalesDirection(const spkRealFftView<T>& spec, bool inverse) {
  return inverse ? spec.inverseScaled : spec.forwardScaled;
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
void BlockedGeneric(const spkRealFftView<T>& spec, T* data, int64_t count, int64_t blockLength, int64_t strip) {
  const T* base = spec.twiddles;
  for (int64_t at = count - blockLength; at >= 0; at -= blockLength) {
    T* block = data + 2 * at;
    RadixPassesGeneric<kInverse>(block, blockLength, base);
    if (ScalesDirection(spec, kInverse)) ScaleInPlace(spec.scale, block, 2 * blockLength);
  }
  BlockJoinPasses<kInverse>(data, count, blockLength, spec.subsampledTwiddles, strip);
}

// One level of order M; work holds four columns of 2^k1 points. strip:
// butterflies per block pair and strip of the blocked form.
template <bool kInverse, class T, class Shape>
void LargeGeneric(const spkRealFftView<T>& spec, const Shape& shape, T* data, int32_t M, int32_t level, T* work,
                  int64_t strip) {
  const int32_t k1 = shape.tables.split[M];
  if (k1 == 0) {
    BlockedGeneric<kInverse>(spec, data, Pow2(M), Pow2(shape.blockedBaseOrder), strip);
    return;
  }
  const int32_t d = M - k1;
  const int64_t rows = Pow2(k1), cols = Pow2(d);
  for (int64_t j = 0; j < rows; ++j) {
    T* row = data + 2 * j * cols;
    if (d <= shape.rowLimit) {
      RadixPassesGeneric<kInverse>(row, cols, spec.twiddles);
      if (ScalesDirection(spec, kInverse)) ScaleInPlace(spec.scale, row, 2 * cols);
    } else {
      LargeGeneric<kInverse>(spec, shape, row, d, level + 1, work, strip);
    }
  }
  const T* columnTable = spec.rowTwiddles[level];
  const T* factor = spec.multiplyTables[level];
  for (int64_t c0 = 0; c0 < cols; c0 += 4) {
    for (int64_t j = 0; j < rows; ++j)
      for (int64_t r = 0; r < 4; ++r, factor += 2)
        StoreCx(work, r * rows + j, LoadCx(data, j * cols + c0 + r) * Tw<kInverse>(Cx{factor[0], factor[1]}));
    for (int64_t r = 0; r < 4; ++r) RadixPassesGeneric<kInverse>(work + 2 * r * rows, rows, columnTable);
    for (int64_t j = 0; j < rows; ++j)
      for (int64_t r = 0; r < 4; ++r) StoreCx(data, j * cols + c0 + r, LoadCx(work, r * rows + j));
  }
}

}  // namespace SP_SET_NS::fftk
