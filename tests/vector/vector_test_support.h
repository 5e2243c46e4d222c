// Helpers of the vector-primitive tests: arrays placed at a chosen byte offset
// from a 64-byte boundary (so that heads, aligned and unaligned blocks and
// tails are all reached) with guard bytes around them, bit-level helpers,
// deterministic test values, long-double references, distances in units in
// the last place, and running a call under a chosen MXCSR.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "primitives/frame/mxcsr_scope.h"
#include "support/random_values.h"
#include "support/variant_sets.h"

namespace vector_test {

// ---- placed arrays ---------------------------------------------------------

// n elements at `byteOffset` bytes past a 64-byte boundary, with guard bytes
// before and after that must stay untouched. The offset need not be a
// multiple of the element size: the primitives accept any address (index
// with [] only at element-aligned offsets).
template <class T>
class PlacedArray {
 public:
  static constexpr unsigned char kGuard = 0xA5;

  PlacedArray(int64_t n, int64_t byteOffset) : n_(n), storage_(n * sizeof(T) + byteOffset + 192, kGuard) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    start_ = static_cast<int64_t>((64 - raw % 64) % 64) + byteOffset + 64;
  }
  PlacedArray(const std::vector<T>& v, int64_t byteOffset) : PlacedArray(static_cast<int64_t>(v.size()), byteOffset) {
    Set(v);
  }
  T* data() { return reinterpret_cast<T*>(storage_.data() + start_); }
  T& operator[](int64_t i) { return data()[i]; }
  int32_t size() const { return static_cast<int32_t>(n_); }

  // An empty vector's data() may be null, which memcpy must not be given.
  void Set(const std::vector<T>& v) {
    if (n_ > 0) std::memcpy(storage_.data() + start_, v.data(), n_ * sizeof(T));
  }
  std::vector<T> Get() const {
    std::vector<T> v(n_);
    if (n_ > 0) std::memcpy(v.data(), storage_.data() + start_, n_ * sizeof(T));
    return v;
  }
  // True when no byte outside the n elements was written.
  bool GuardsIntact() const {
    for (int64_t i = 0; i < static_cast<int64_t>(storage_.size()); ++i) {
      const bool inside = i >= start_ && i < start_ + n_ * static_cast<int64_t>(sizeof(T));
      if (!inside && storage_[i] != kGuard) return false;
    }
    return true;
  }

 private:
  int64_t n_;
  std::vector<unsigned char> storage_;
  int64_t start_;
};

// Byte offsets from a 64-byte boundary that cover every 16-byte phase of
// element-aligned arrays.
inline const std::vector<int64_t>& ElementOffsets() {
  static const std::vector<int64_t> offsets = {0, 4, 8, 12};
  return offsets;
}

// Lengths that reach single elements, every head/tail split of 16- and
// 64-byte steps, and several block sizes.
inline std::vector<int32_t> ManyLengths() {
  std::vector<int32_t> n;
  for (int32_t i = 1; i <= 70; ++i) n.push_back(i);
  for (int32_t i : {127, 128, 129, 255, 256, 257, 1000, 1023, 1024, 1025, 4099}) n.push_back(i);
  return n;
}

// ---- bits ------------------------------------------------------------------

inline uint32_t Bits(float x) { return std::bit_cast<uint32_t>(x); }
inline uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }
inline float F32FromBits(uint32_t b) { return std::bit_cast<float>(b); }
inline double F64FromBits(uint64_t b) { return std::bit_cast<double>(b); }

// ---- values ----------------------------------------------------------------

// Finite values spread over many binades, both signs, no zeros.
template <class T>
std::vector<T> RandomValues(int64_t n, uint32_t seed) {
  return SpreadValues<T>(n, -20, 20, seed);
}

// Uniform values in [lo, hi).
template <class T>
std::vector<T> Uniform(int64_t n, double lo, double hi, uint32_t seed) {
  return UniformValues<T>(n, lo, hi, seed);
}

// Positive values spread over binades [2^minExp, 2^maxExp).
template <class T>
std::vector<T> PositiveOverBinades(int64_t n, int minExp, int maxExp, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> mant(1.0, 2.0);
  std::uniform_int_distribution<int> expo(minExp, maxExp - 1);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(std::ldexp(mant(gen), expo(gen)));
  return v;
}

// ---- references and distances ----------------------------------------------

template <class T>
long double SumLd(const std::vector<T>& v) {
  long double s = 0;
  for (T x : v) s += x;
  return s;
}
template <class T>
long double SumAbsLd(const std::vector<T>& v) {
  long double s = 0;
  for (T x : v) s += std::fabs(static_cast<long double>(x));
  return s;
}

// Distance in units in the last place of T between a result and a reference.
template <class T>
long double UlpError(T got, long double ref) {
  const T r = static_cast<T>(ref);
  const long double ulp = std::nextafter(std::fabs(r), std::numeric_limits<T>::infinity()) - std::fabs(r);
  return std::fabs(static_cast<long double>(got) - ref) / ulp;
}

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

// A variant-set test whose results may stand a set-dependent number of ulps
// from the reference: one bound for the generic set, one for the SIMD sets.
template <int64_t kGenericUlps, int64_t kSimdUlps>
class UlpBoundTest : public VariantSetTest {
 protected:
  int64_t Ulps() const { return SetIndex() == SP_SET_GENERIC ? kGenericUlps : kSimdUlps; }
};

// ---- MXCSR -----------------------------------------------------------------

inline constexpr unsigned kDefaultMxcsr = 0x1F80;
inline constexpr unsigned kMxcsrDaz = 0x0040;
inline constexpr unsigned kMxcsrFtz = 0x8000;

// Runs `call` with MXCSR set to `mxcsr` and returns the register as the
// call left it; the test's own environment is restored afterwards.
template <class Call>
unsigned MxcsrAfter(unsigned mxcsr, Call&& call) {
  const unsigned own = ReadMxcsr();
  WriteMxcsr(mxcsr);
  call();
  const unsigned after = ReadMxcsr();
  WriteMxcsr(own);
  return after;
}

}  // namespace vector_test
