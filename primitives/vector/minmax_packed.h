// The packed search the SSE set (floats) and the SSE2+ sets (floats and
// doubles) share: four accumulators of max/min over 64 bytes a step, and the
// float index form in blocks of 2048 whose position comes from the first
// element equal to the block's extreme. Include only from the minmax
// set-group files.
#pragma once
#include "primitives/vector/minmax_rules.h"

#if SP_SET_HAS_F32_VECTORS
namespace SP_SET_NS::vminmax {
namespace {

// The running extreme of each lane (packed max/min, or compare-and-select
// for integer lanes).
template <Dir D, class V>
inline V Pick(V running, V data) {
  if constexpr (D == Dir::kMax)
    return Max(running, data);
  else
    return Min(running, data);
}

template <Dir D>
inline float ReduceLanes(f32x4 v) {
  v = Pick<D>(v, SwapHalves(v));
  v = Pick<D>(v, DupOdd(v));
  return Lane0(v);
}
#if SP_SET_HAS_F64_VECTORS
template <Dir D>
inline double ReduceLanes(f64x2 v) {
  return Lane0(Pick<D>(v, DupHigh(v)));
}
#endif

// Packed search over [0, n) from `running`, four vectors a step, then one
// vector at a time, then singly.
template <Dir D, bool kAligned, class T>
T PackedExtreme(const T* p, int64_t n, T running) {
  constexpr int64_t L = 16 / sizeof(T);
  auto a0 = Splat(running), a1 = a0, a2 = a0, a3 = a0;
  int64_t i = 0;
  for (; i + 4 * L <= n; i += 4 * L) {
    if constexpr (kAligned) Prefetch(p + i + 16 * L);
    a0 = Pick<D>(a0, LoadAs<kAligned>(p + i));
    a1 = Pick<D>(a1, LoadAs<kAligned>(p + i + L));
    a2 = Pick<D>(a2, LoadAs<kAligned>(p + i + 2 * L));
    a3 = Pick<D>(a3, LoadAs<kAligned>(p + i + 3 * L));
  }
  for (; i + L <= n; i += L) a0 = Pick<D>(a0, LoadAs<kAligned>(p + i));
  running = ReduceLanes<D>(Pick<D>(Pick<D>(a0, a1), Pick<D>(a2, a3)));
  return ScalarScan<D>(p, i, n, running);
}

// Scalar steps to a 16-byte boundary, then the packed search.
template <Dir D>
float VectorExtremeF32(const float* src, int64_t n) {
  float running = Ld(src);
  if (!IsAligned(src, 4)) return PackedExtreme<D, false>(src, n, running);
  const int64_t head = ElementsTo16(src) < n ? ElementsTo16(src) : n;
  running = ScalarScan<D>(src, 0, head, running);
  return PackedExtreme<D, true>(src + head, n - head, running);
}

// Extreme of an aligned block whose length is a positive multiple of 8.
template <Dir D>
float BlockExtremeF32(const float* p, int64_t len) {
  f32x4 a0 = Load(p), a1 = Load(p + 4);
  for (int64_t i = 8; i < len; i += 8) {
    Prefetch(p + i + 64);
    a0 = Pick<D>(a0, Load(p + i));
    a1 = Pick<D>(a1, Load(p + i + 4));
  }
  return ReduceLanes<D>(Pick<D>(a0, a1));
}

constexpr int64_t kIndexBlock = 2048;
constexpr int64_t kIndexBlockMinLength = 34;

// Index form: scalar steps to a 16-byte boundary, then blocks of 2048 whose
// extreme replaces the running value only when strictly beyond it (earlier
// blocks win ties); the position comes from the first equal element.
template <Dir D>
float BlockSearchIndexF32(const float* src, int64_t n, int64_t& index) {
  index = 0;
  float running = Ld(src);
  if (n < kIndexBlockMinLength || !IsAligned(src, 4)) return ScalarScanIndex<D>(src, 1, n, running, index);
  const int64_t i = 1 + ElementsTo16(src + 1);  // at most 4, below n
  running = ScalarScanIndex<D>(src, 1, i, running, index);
  const int64_t end = i + ((n - i) & ~7);
  for (int64_t b = i; b < end; b += kIndexBlock) {
    const int64_t len = end - b < kIndexBlock ? end - b : kIndexBlock;
    const float e = BlockExtremeF32<D>(src + b, len);
    const bool beyond = D == Dir::kMax ? e > running : e < running;
    if (beyond) {
      running = e;
      index = b + FindFirstEqual(src + b, len, e);
    }
  }
  return ScalarScanIndex<D>(src, end, n, running, index);
}

}  // namespace
}  // namespace SP_SET_NS::vminmax
#endif
