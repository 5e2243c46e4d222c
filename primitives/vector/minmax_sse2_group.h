// Maximum and minimum of the SSE2, SSE3 and SSSE3 sets: packed max/min for
// floats and doubles, compare-and-select for int32, each index recovered as
// the first element whose bit pattern equals the extreme (which gives the
// generic value and index for data free of NaN and of zeros of both signs).
#pragma once
#include "primitives/vector/minmax_packed.h"

#if SP_SET_INDEX >= SP_SET_SSE2
namespace SP_SET_NS::vminmax {
namespace {

template <Dir D>
double VectorExtremeF64(const double* src, int64_t n) {
  double running = Ld(src);
  if (!IsAligned(src, 8)) return PackedExtreme<D, false>(src, n, running);
  const int64_t head = IsAligned(src, 16) ? 0 : 1;
  running = ScalarScan<D>(src, 0, head, running);
  return PackedExtreme<D, true>(src + head, n - head, running);
}

constexpr int64_t kIndexVectorMinLengthF64 = 32;

// First element with the bit pattern of `value`, four at a time: a double
// matches where both of its 32-bit halves do (bits 2j and 2j + 1 of the
// mask of 32-bit lanes).
int64_t FindFirstEqualF64(const double* src, int64_t n, double value) {
  const i32x4 v = Reinterpret<i32x4>(Bits(Splat(value)));
  const auto halvesEqual = [&](const double* p) { return MoveMask(CmpEq(Reinterpret<i32x4>(Bits(LoadU(p))), v)); };
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const unsigned mask = static_cast<unsigned>(halvesEqual(src + i) | (halvesEqual(src + i + 2) << 4));
    const unsigned both = mask & (mask >> 1) & 0x55u;
    if (both != 0) return i + __builtin_ctz(both) / 2;
  }
  return i + FindFirstEqual(src + i, n - i, value);
}

template <Dir D>
double VectorExtremeIndexF64(const double* src, int64_t n, int64_t& index) {
  if (n < kIndexVectorMinLengthF64 || !IsAligned(src, 8)) return GenericExtremeIndex<D>(src, n, index);
  const double e = VectorExtremeF64<D>(src, n);
  index = FindFirstEqualF64(src, n, e);
  return e;
}

// Compare-and-select over 4-lane registers, 8 elements a step in two
// accumulators, a four-wide tail and a scalar rest.
template <Dir D>
int32_t VectorExtremeI32(const int32_t* src, int64_t n) {
  const int32_t start = D == Dir::kMax ? INT32_MIN : INT32_MAX;
  i32x4 a0 = SplatI32(start), a1 = a0;
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    a0 = Pick<D>(a0, LoadU(src + i));
    a1 = Pick<D>(a1, LoadU(src + i + 4));
  }
  for (; i + 4 <= n; i += 4) a0 = Pick<D>(a0, LoadU(src + i));
  alignas(16) int32_t lanes[4];
  StoreU(lanes, Pick<D>(a0, a1));
  int32_t running = start;
  for (int32_t lane : lanes)
    if (Replaces<D>(lane, running)) running = lane;
  return ScalarScan<D>(src, i, n, running);
}

int64_t FindFirstEqualI32(const int32_t* src, int64_t n, int32_t value) {
  const i32x4 v = SplatI32(value);
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const int mask = MoveMask(CmpEq(LoadU(src + i), v));
    if (mask != 0) return i + __builtin_ctz(static_cast<unsigned>(mask));
  }
  return i + FindFirstEqual(src + i, n - i, value);
}

// The group's kernels.
template <Dir D>
int32_t PlainI32(const int32_t* src, int64_t n) {
  if (D == Dir::kMin && (n < 7 || !IsAligned(src, 4))) return GenericExtreme<D>(src, n);
  return VectorExtremeI32<D>(src, n);
}
template <Dir D>
float PlainF32(const float* src, int64_t n) {
  return VectorExtremeF32<D>(src, n);
}
template <Dir D>
double PlainF64(const double* src, int64_t n) {
  return VectorExtremeF64<D>(src, n);
}
template <Dir D>
int32_t IndexI32(const int32_t* src, int64_t n, int64_t& index) {
  const int32_t e = VectorExtremeI32<D>(src, n);
  index = FindFirstEqualI32(src, n, e);
  return e;
}
template <Dir D>
float IndexF32(const float* src, int64_t n, int64_t& index) {
  return BlockSearchIndexF32<D>(src, n, index);
}
template <Dir D>
double IndexF64(const double* src, int64_t n, int64_t& index) {
  return VectorExtremeIndexF64<D>(src, n, index);
}

}  // namespace
}  // namespace SP_SET_NS::vminmax
#endif
