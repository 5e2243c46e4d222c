// Test arrays placed at a chosen byte offset from a 64-byte boundary (so that
// heads, aligned and unaligned blocks and tails are all reached), with guard
// bytes around them that must stay untouched, and bit-level helpers.
#pragma once
#include <bit>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

template <class T>
class OffsetArray {
 public:
  static constexpr unsigned char kGuard = 0xA5;

  OffsetArray(int64_t n, int64_t byteOffset) : n_(n), storage_(n * sizeof(T) + byteOffset + 192, kGuard) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    start_ = (64 - raw % 64) % 64 + byteOffset + 64;
  }
  T* data() { return reinterpret_cast<T*>(storage_.data() + start_); }
  int64_t size() const { return n_; }

  void Set(const std::vector<T>& v) { std::memcpy(storage_.data() + start_, v.data(), n_ * sizeof(T)); }
  std::vector<T> Get() const {
    std::vector<T> v(n_);
    std::memcpy(v.data(), storage_.data() + start_, n_ * sizeof(T));
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

inline uint32_t Bits(float x) { return std::bit_cast<uint32_t>(x); }
inline uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }
inline float F32FromBits(uint32_t b) { return std::bit_cast<float>(b); }
inline double F64FromBits(uint64_t b) { return std::bit_cast<double>(b); }

// Finite values spread over many binades, both signs, no zeros.
template <class T>
std::vector<T> RandomValues(int64_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> mant(0.5, 1.0);
  std::uniform_int_distribution<int> expo(-20, 20);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>((gen() & 1 ? -1.0 : 1.0) * std::ldexp(mant(gen), expo(gen)));
  return v;
}
