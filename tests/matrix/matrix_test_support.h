// Helpers of the matrix-primitive tests: strided matrices placed in
// guard-filled memory at any byte offset (so padding, overlapping rows,
// column-major layouts and misaligned elements are all reachable), long-double
// references, and running one call under every variant set the processor has.
#pragma once
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "primitives/frame/variant_seams.h"
#include "support/random_values.h"
#include "support/variant_sets.h"

namespace matrix_test {

// rows x cols elements, element (r, c) at base + r * rowStride + c *
// elemStride bytes; base lies `offset` bytes past a 64-byte boundary, with
// guard bytes before, after and between the elements. Strides may be any
// positive byte counts (also smaller than a row, so that rows overlap).
template <class T>
class StridedBlock {
 public:
  static constexpr unsigned char kGuard = 0xA5;

  StridedBlock(int rows, int cols, int64_t rowStride, int64_t elemStride, int64_t offset = 0)
      : rows_(rows), cols_(cols), rowStride_(rowStride), elemStride_(elemStride) {
    const int64_t span = (rows - 1) * rowStride + (cols - 1) * elemStride + static_cast<int64_t>(sizeof(T));
    storage_.assign(span + offset + 192, kGuard);
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    start_ = static_cast<int64_t>((64 - raw % 64) % 64) + 64 + offset;
  }
  // A dense row-major block: rows of cols elements, no padding.
  static StridedBlock Dense(int rows, int cols, int64_t offset = 0) {
    return StridedBlock(rows, cols, cols * static_cast<int64_t>(sizeof(T)), sizeof(T), offset);
  }

  T* base() { return reinterpret_cast<T*>(storage_.data() + start_); }
  int32_t rowStride() const { return static_cast<int32_t>(rowStride_); }
  int32_t elemStride() const { return static_cast<int32_t>(elemStride_); }
  int rows() const { return rows_; }
  int cols() const { return cols_; }

  T Get(int r, int c) const {
    T v;
    std::memcpy(&v, storage_.data() + Offset(r, c), sizeof(T));
    return v;
  }
  void Put(int r, int c, T v) { std::memcpy(storage_.data() + Offset(r, c), &v, sizeof(T)); }
  // Writes values in row-major order (a later element wins where rows overlap).
  void Fill(const std::vector<T>& rowMajor) {
    for (int r = 0; r < rows_; ++r)
      for (int c = 0; c < cols_; ++c) Put(r, c, rowMajor[static_cast<size_t>(r) * cols_ + c]);
  }
  std::vector<T> Read() const {
    std::vector<T> v;
    for (int r = 0; r < rows_; ++r)
      for (int c = 0; c < cols_; ++c) v.push_back(Get(r, c));
    return v;
  }
  // True when no byte outside the elements was written.
  bool GuardsIntact() const {
    std::vector<bool> inside(storage_.size(), false);
    for (int r = 0; r < rows_; ++r)
      for (int c = 0; c < cols_; ++c)
        for (size_t b = 0; b < sizeof(T); ++b) inside[Offset(r, c) + b] = true;
    for (size_t i = 0; i < storage_.size(); ++i)
      if (!inside[i] && storage_[i] != kGuard) return false;
    return true;
  }
  // Every byte (elements and guards), for comparing results bit for bit.
  const std::vector<unsigned char>& Bytes() const { return storage_; }
  bool Untouched() const {
    for (unsigned char b : storage_)
      if (b != kGuard) return false;
    return true;
  }

 private:
  size_t Offset(int r, int c) const { return static_cast<size_t>(start_ + r * rowStride_ + c * elemStride_); }

  int rows_, cols_;
  int64_t rowStride_, elemStride_;
  std::vector<unsigned char> storage_;
  int64_t start_;
};

// Finite values of both signs over a few binades, no zeros: products and sums
// that round differently in float and in double.
template <class T>
std::vector<T> RandomValues(size_t n, uint32_t seed) {
  return SpreadValues<T>(static_cast<int64_t>(n), -6, 6, seed);
}

// C = A * B in long double, read through the blocks, with the sum of the
// terms' magnitudes for an error bound.
struct Reference {
  std::vector<long double> value, magnitude;  // row-major, rows x cols
};
template <class T>
Reference ProductLd(const StridedBlock<T>& a, const StridedBlock<T>& b) {
  Reference ref;
  for (int i = 0; i < a.rows(); ++i)
    for (int k = 0; k < b.cols(); ++k) {
      long double s = 0, m = 0;
      for (int j = 0; j < a.cols(); ++j) {
        const long double p = static_cast<long double>(a.Get(i, j)) * b.Get(j, k);
        s += p;
        m += std::fabs(p);
      }
      ref.value.push_back(s);
      ref.magnitude.push_back(m);
    }
  return ref;
}

// A sum of n terms rounded to T after every operation stays within about
// (n + 1) units of T's epsilon times the sum of magnitudes.
template <class T>
long double ErrorBound(int terms, long double magnitude) {
  const long double eps = std::ldexp(1.0L, std::is_same_v<T, float> ? -24 : -53);
  return (terms + 2) * eps * magnitude + std::numeric_limits<T>::denorm_min();
}

template <class T>
auto Bits(T x) {
  if constexpr (sizeof(T) == 4)
    return std::bit_cast<uint32_t>(x);
  else
    return std::bit_cast<uint64_t>(x);
}

// Runs call() under each variant set the processor supports (restoring the
// set in force afterwards); slot i holds set i's result.
template <class Call>
auto UnderEverySet(Call&& call) {
  std::array<std::optional<decltype(call())>, kSpVariantSetCount> results;
  for (int set = 0; set < kSpVariantSetCount; ++set) {
    if (!spVariantSetSupported(set)) continue;
    const int32_t previous = spForceVariantSet(set);
    results[set] = call();
    spForceVariantSet(previous);
  }
  return results;
}

}  // namespace matrix_test
