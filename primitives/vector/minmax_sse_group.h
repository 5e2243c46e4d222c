// Maximum and minimum of the SSE set: packed max/min for floats, MMX
// compare-and-select for int32 plain forms, doubles (no double vectors) by
// their order keys, and the generic rules for the int32 and double index
// forms.
#pragma once
#include "primitives/vector/minmax_packed.h"

#if SP_SET_INDEX == SP_SET_SSE
namespace SP_SET_NS::vminmax {
namespace {

// MMX compare-and-select on two-lane registers, 8 elements a step; element 0
// alone first when the address is 4 modulo 8.
template <Dir D>
int32_t MmxExtremeI32(const int32_t* src, int64_t n) {
  const int32_t start = D == Dir::kMax ? INT32_MIN : INT32_MAX;
  int32_t running = start;
  int64_t i = 0;
  if (!IsAligned(src, 8)) running = ScalarScan<D>(src, 0, ++i, running);
  const i32x2 init = SplatI32x2(start);
  i32x2 acc[4] = {init, init, init, init};
  for (; i + 8 <= n; i += 8) {
    for (int k = 0; k < 4; ++k) {
      const i32x2 x = LoadU(src + i + 2 * k);
      const i32x2 take = D == Dir::kMax ? CmpGt(x, acc[k]) : CmpGt(acc[k], x);
      acc[k] = Select(take, x, acc[k]);
    }
  }
  int32_t lanes[8];
  for (int k = 0; k < 4; ++k) StoreU(lanes + 2 * k, acc[k]);
  EndMmx();
  for (int32_t lane : lanes)
    if (Replaces<D>(lane, running)) running = lane;
  return ScalarScan<D>(src, i, n, running);
}

// Doubles by F64OrderKey: the order of the values, except that -0 counts
// below +0.
template <Dir D>
double KeyedExtremeF64(const double* src, int64_t n) {
  double running = Ld(src);
  int64_t key = F64OrderKey(running);
  for (int64_t i = 1; i < n; ++i) {
    const double x = Ld(src + i);
    const int64_t k = F64OrderKey(x);
    if (D == Dir::kMax ? k > key : k < key) {
      running = x;
      key = k;
    }
  }
  return running;
}

// The group's kernels.
template <Dir D>
int32_t PlainI32(const int32_t* src, int64_t n) {
  if (n >= 9 && IsAligned(src, 4)) return MmxExtremeI32<D>(src, n);
  return GenericExtreme<D>(src, n);
}
template <Dir D>
float PlainF32(const float* src, int64_t n) {
  return VectorExtremeF32<D>(src, n);
}
template <Dir D>
double PlainF64(const double* src, int64_t n) {
  return KeyedExtremeF64<D>(src, n);
}
template <Dir D>
int32_t IndexI32(const int32_t* src, int64_t n, int64_t& index) {
  return GenericExtremeIndex<D>(src, n, index);
}
template <Dir D>
float IndexF32(const float* src, int64_t n, int64_t& index) {
  return BlockSearchIndexF32<D>(src, n, index);
}
template <Dir D>
double IndexF64(const double* src, int64_t n, int64_t& index) {
  return GenericExtremeIndex<D>(src, n, index);
}

}  // namespace
}  // namespace SP_SET_NS::vminmax
#endif
