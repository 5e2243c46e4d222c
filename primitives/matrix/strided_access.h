// Strided element access shared by the matrix kernels and entry checks of one
// variant set. Byte offsets are formed in pointer width, so a large row
// stride times a row index never wraps; elements are moved with unaligned
// loads and stores, since callers promise no alignment. Include only from
// *_variant.cpp.
#pragma once
#include <cstdint>
#include <cstring>

#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::matrix {

template <class T>
inline T LoadAt(const T* base, int64_t byteOffset) {
  T v;
  std::memcpy(&v, reinterpret_cast<const unsigned char*>(base) + byteOffset, sizeof(T));
  return v;
}
template <class T>
inline void StoreAt(T* base, int64_t byteOffset, T v) {
  std::memcpy(reinterpret_cast<unsigned char*>(base) + byteOffset, &v, sizeof(T));
}
template <class T>
inline T* AtByte(T* base, int64_t byteOffset) {
  return reinterpret_cast<T*>(reinterpret_cast<uintptr_t>(base) + byteOffset);
}

// A read-only matrix: element (r, c) at base + r * rowStride + c * elemStride.
// A vector is a matrix of one column whose row stride is the vector's stride.
template <class T>
struct ConstMatrix {
  const T* base;
  int64_t rowStride;
  int64_t elemStride;
  T operator()(int64_t r, int64_t c) const { return LoadAt(base, r * rowStride + c * elemStride); }
};
template <class T>
struct Matrix {
  T* base;
  int64_t rowStride;
  int64_t elemStride;
  void Put(int64_t r, int64_t c, T v) const { StoreAt(base, r * rowStride + c * elemStride, v); }
};

// f(0) .. f(count - 1) in order, by single elements or (kPerStep 2) in
// pairs and then the last element of an odd count: the step the SSE3 and
// SSSE3 members of the strided loops take.
template <int kPerStep, class F>
inline void InSteps(int64_t count, F&& f) {
  static_assert(kPerStep == 1 || kPerStep == 2);
  int64_t i = 0;
  if constexpr (kPerStep == 2) {
    for (; i + 1 < count; i += 2) {
      f(i);
      f(i + 1);
    }
  }
  for (; i < count; ++i) f(i);
}

// A valid stride is a positive multiple of the element size.
template <class T>
inline bool ValidStride(int32_t bytes) {
  return bytes > 0 && bytes % static_cast<int32_t>(sizeof(T)) == 0;
}
template <class T, class... S>
inline bool AllValidStrides(S... bytes) {
  return (ValidStride<T>(bytes) && ...);
}

}  // namespace SP_SET_NS::matrix
