// Shared frame of the reduction and logarithm benchmarks: each case runs one
// primitive under one variant set (through its dispatch entry), or a plain
// loop compiled at -O3 (set -1), on n elements that start on a 64-byte
// boundary or 4 bytes past it. Cases run briefly so the default run stays
// short; pass --benchmark_min_time for steadier figures.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "primitives/frame/variant_seams.h"

namespace stats_bench {

inline constexpr double kMinTime = 0.01;
inline constexpr int kPlain = -1;
inline const std::vector<int64_t> kSizes = {16, 1024, 65536, 1 << 20};

// n elements of T, 64-byte aligned or `byteOffset` bytes past it, filled
// with values in [lo, hi).
template <class T>
class Array {
 public:
  Array(int64_t n, int byteOffset, double lo, double hi) : storage_(n * sizeof(T) + 128) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    p_ = reinterpret_cast<T*>(storage_.data() + (64 - raw % 64) % 64 + byteOffset);
    // A cheap generator keeps the set-up of the 1M cases short.
    uint32_t state = 2463534242u + static_cast<uint32_t>(n);
    for (int64_t i = 0; i < n; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      p_[i] = static_cast<T>(lo + (hi - lo) * (state * 0x1p-32));
    }
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

// Registers name/<set>/<n>/<aligned|misaligned> for the plain loop, every
// set and every size. body(state, set, n, byteOffset) runs the timing loop.
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
          body(state, set, n, misaligned ? 4 : 0);
          state.SetItemsProcessed(state.iterations() * n);
        })->MinTime(kMinTime);
      }
}

}  // namespace stats_bench
