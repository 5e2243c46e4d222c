// Shared frame of the elementwise benchmarks (arithmetic, complex, square,
// threshold): each case runs one primitive under one variant set, or a plain
// loop compiled at -O3 (set -1), on n elements whose arrays start on a 64-byte
// boundary or a few bytes past it. Cases run briefly so the default run stays
// short; pass --benchmark_min_time for steadier figures.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "primitives/frame/variant_seams.h"

namespace elementwise_bench {

inline constexpr double kMinTime = 0.02;
inline constexpr int kPlain = -1;
inline const std::vector<int64_t> kSizes = {16, 1024, 65536, 1 << 20};

// Elements of T at a byte offset from a 64-byte boundary.
template <class T>
class Array {
 public:
  Array(int64_t n, int byteOffset, T fill) : storage_(n * sizeof(T) + 128) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    p_ = reinterpret_cast<T*>(storage_.data() + (64 - raw % 64) % 64 + byteOffset);
    for (int64_t i = 0; i < n; ++i) p_[i] = static_cast<T>(fill + static_cast<T>(i % 17) * static_cast<T>(0.01));
  }
  T* data() { return p_; }

 private:
  std::vector<unsigned char> storage_;
  T* p_;
};

// Forces the set for one case and restores the previous one afterwards.
class SetScope {
 public:
  SetScope(benchmark::State& state, int set) {
    if (set >= 0 && !spVariantSetSupported(set)) {
      state.SkipWithError("processor lacks the set");
      ok_ = false;
      return;
    }
    if (set >= 0) previous_ = spForceVariantSet(set);
  }
  ~SetScope() {
    if (previous_ >= 0) spForceVariantSet(previous_);
  }
  bool ok() const { return ok_; }

 private:
  int32_t previous_ = -1;
  bool ok_ = true;
};

// Registers name/<set>/n/<aligned|misaligned> for every set, the plain loop
// and every size. body(state, set, n, misaligned) runs the timing loop.
template <class Body>
void RegisterAll(const std::string& name, Body body) {
  for (int set = kPlain; set <= 4; ++set)
    for (int misaligned = 0; misaligned <= 1; ++misaligned)
      for (int64_t n : kSizes) {
        const std::string setName = set < 0 ? "plain-O3" : spVariantSetName(set);
        const std::string full =
            name + "/" + setName + "/" + std::to_string(n) + (misaligned ? "/misaligned" : "/aligned");
        benchmark::RegisterBenchmark(full.c_str(), [=](benchmark::State& state) {
          SetScope scope(state, set);
          if (!scope.ok()) return;
          body(state, set, n, misaligned != 0);
          state.SetItemsProcessed(state.iterations() * n);
        })->MinTime(kMinTime);
      }
}

}  // namespace elementwise_bench
