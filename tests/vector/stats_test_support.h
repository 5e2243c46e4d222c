// Test data for the reduction and logarithm tests: arrays placed at a chosen
// byte offset from a 64-byte boundary (heads, aligned blocks and tails all
// reached), deterministic random values, long-double references and ulp
// distances.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace stats_test {

// n elements at `byteOffset` bytes past a 64-byte boundary. The offset need
// not be a multiple of the element size: the primitives accept any address.
template <class T>
class PlacedArray {
 public:
  PlacedArray(int64_t n, int64_t byteOffset) : n_(n), storage_(n * sizeof(T) + byteOffset + 128) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    start_ = static_cast<int64_t>((64 - raw % 64) % 64) + byteOffset;
  }
  PlacedArray(const std::vector<T>& v, int64_t byteOffset) : PlacedArray(static_cast<int64_t>(v.size()), byteOffset) {
    Set(v);
  }
  T* data() { return reinterpret_cast<T*>(storage_.data() + start_); }
  int32_t size() const { return static_cast<int32_t>(n_); }
  void Set(const std::vector<T>& v) { std::memcpy(storage_.data() + start_, v.data(), n_ * sizeof(T)); }
  std::vector<T> Get() const {
    std::vector<T> v(n_);
    std::memcpy(v.data(), storage_.data() + start_, n_ * sizeof(T));
    return v;
  }

 private:
  int64_t n_;
  std::vector<unsigned char> storage_;
  int64_t start_;
};

inline uint32_t Bits(float x) { return std::bit_cast<uint32_t>(x); }
inline uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }
inline float F32(uint32_t b) { return std::bit_cast<float>(b); }
inline double F64(uint64_t b) { return std::bit_cast<double>(b); }

// Uniform values in [lo, hi).
template <class T>
std::vector<T> Uniform(int64_t n, double lo, double hi, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(lo, hi);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(gen));
  return v;
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

}  // namespace stats_test
