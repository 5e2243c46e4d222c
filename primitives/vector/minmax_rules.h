// What every set's maximum and minimum kernels share: the generic set's
// scalar rules, which define every result (floats: the maximum moves only on
// an ordered "greater", the minimum on "less or unordered"), and the search
// for the first element equal to an extreme. Each set-group file
// (minmax_generic_group.h, minmax_sse_group.h, minmax_sse2_group.h) defines
// the group's six kernels on top of it, for both directions D (n at least 1):
//   PlainI32, PlainF32, PlainF64 (src, n) -> the extreme;
//   IndexI32, IndexF32, IndexF64 (src, n, index&) -> the extreme and its index.
// Include only from minmax_variant.cpp: everything has internal linkage in
// that one translation unit, so the kernels inline into the entries.
#pragma once
#include <cstdint>
#include <type_traits>

#include "primitives/frame/simd.h"

namespace SP_SET_NS::vminmax {
namespace {

using namespace simd;

enum class Dir { kMax, kMin };

template <Dir D, class T>
inline bool Replaces(T x, T running) {
  if constexpr (D == Dir::kMax)
    return x > running;
  else if constexpr (std::is_floating_point_v<T>)
    return !(x >= running);  // less or unordered
  else
    return x < running;
}

template <class T>
inline bool SameBits(T a, T b) {
  if constexpr (std::is_integral_v<T>)
    return a == b;
  else
    return Bits(a) == Bits(b);
}

// The generic rule over positions [from, n) starting from `running`.
template <Dir D, class T>
inline T ScalarScan(const T* src, int64_t from, int64_t n, T running) {
  for (int64_t i = from; i < n; ++i) {
    const T x = Ld(src + i);
    if (Replaces<D>(x, running)) running = x;
  }
  return running;
}

template <Dir D, class T>
inline T ScalarScanIndex(const T* src, int64_t from, int64_t n, T running, int64_t& index) {
  for (int64_t i = from; i < n; ++i) {
    const T x = Ld(src + i);
    if (Replaces<D>(x, running)) {
      running = x;
      index = i;
    }
  }
  return running;
}

// Generic plain forms: integers start from the type's far end, floats from
// element 0 (compared with itself); all positions are visited.
template <Dir D, class T>
T GenericExtreme(const T* src, int64_t n) {
  if constexpr (std::is_integral_v<T>)
    return ScalarScan<D>(src, 0, n, D == Dir::kMax ? INT32_MIN : INT32_MAX);
  else
    return ScalarScan<D>(src, 0, n, Ld(src));
}

// Generic index forms: element 0 with index 0, then positions 1 .. n-1.
template <Dir D, class T>
T GenericExtremeIndex(const T* src, int64_t n, int64_t& index) {
  index = 0;
  return ScalarScanIndex<D>(src, 1, n, Ld(src), index);
}

template <class T>
int64_t FindFirstEqual(const T* src, int64_t n, T value) {
  for (int64_t i = 0; i < n; ++i)
    if (SameBits(Ld(src + i), value)) return i;
  return 0;  // not reached: the value is a copy of an element
}

}  // namespace
}  // namespace SP_SET_NS::vminmax
