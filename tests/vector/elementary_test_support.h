// Helpers of the square-root, exponential and inverse tests: distances in
// units in the last place, arrays placed at chosen offsets from a 16-byte
// boundary, and running a call under a chosen MXCSR.
#pragma once
#include <xmmintrin.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace elementary_test {

inline uint32_t Bits(float x) { return std::bit_cast<uint32_t>(x); }
inline uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }

// Distance of two finite floats (or equal infinities) in representable
// steps; -0 and +0 are one value.
inline int64_t UlpDistance(float a, float b) {
  auto ordered = [](float x) {
    const int32_t i = std::bit_cast<int32_t>(x);
    return i < 0 ? -static_cast<int64_t>(i & 0x7FFFFFFF) : static_cast<int64_t>(i);
  };
  return std::llabs(ordered(a) - ordered(b));
}

// A float nearest to a long-double reference, for ulp comparisons.
inline float Nearest(long double ref) { return static_cast<float>(ref); }

// Storage for n elements starting `offset` elements past a 16-byte
// boundary, so tests reach every alignment case of the kernels.
template <class T>
class OffsetArray {
 public:
  OffsetArray(size_t n, size_t offset) : storage_(n + offset + 16 / sizeof(T) + 1), n_(n) {
    auto base = reinterpret_cast<uintptr_t>(storage_.data());
    const size_t skip = ((16 - base % 16) % 16) / sizeof(T);
    data_ = storage_.data() + skip + offset;
  }
  T* data() { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  size_t size() const { return n_; }

 private:
  std::vector<T> storage_;
  T* data_;
  size_t n_;
};

inline constexpr unsigned kDefaultMxcsr = 0x1F80;
inline constexpr unsigned kMxcsrDaz = 0x0040;
inline constexpr unsigned kMxcsrFtz = 0x8000;
inline constexpr unsigned kMxcsrFlags = 0x003F;

// Runs `call` with MXCSR set to `mxcsr` and returns the register as the
// call left it; the test's own environment is restored afterwards.
template <class Call>
unsigned MxcsrAfter(unsigned mxcsr, Call&& call) {
  const unsigned own = _mm_getcsr();
  _mm_setcsr(mxcsr);
  call();
  const unsigned after = _mm_getcsr();
  _mm_setcsr(own);
  return after;
}

}  // namespace elementary_test
