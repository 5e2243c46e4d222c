// Shared frame of the benchmark programs: a case runs one primitive under one
// variant set (forced for the case, restored afterwards) or a plain loop
// compiled at -O3 (set kPlain), on arrays that start on a 64-byte boundary or
// a few bytes past it. Cases run briefly so the default run stays short; pass
// --benchmark_min_time for steadier figures.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "primitives/frame/set_list.h"
#include "primitives/frame/variant_seams.h"

namespace bench {

inline constexpr int kPlain = -1;  // the set argument of the reference loops

// Forces the set for one case and restores the previous one afterwards; a
// set the processor lacks skips the case (ok() false). With `plainLabel`, the
// case is labelled with the set's name, or that text for the plain loop.
class SetScope {
 public:
  SetScope(benchmark::State& state, int set, const char* plainLabel = nullptr) {
    if (set >= 0 && !spVariantSetSupported(set)) {
      state.SkipWithError("processor lacks the set");
      ok_ = false;
      return;
    }
    if (set >= 0) previous_ = spForceVariantSet(set);
    if (plainLabel != nullptr) state.SetLabel(set >= 0 ? spVariantSetName(set) : plainLabel);
  }
  ~SetScope() {
    if (previous_ >= 0) spForceVariantSet(previous_);
  }
  SetScope(const SetScope&) = delete;
  SetScope& operator=(const SetScope&) = delete;
  bool ok() const { return ok_; }

 private:
  int32_t previous_ = -1;
  bool ok_ = true;
};

// n elements of T at `byteOffset` bytes past a 64-byte boundary; the
// storage starts zeroed.
template <class T>
class PlacedArray {
 public:
  PlacedArray(int64_t n, int byteOffset) : storage_(n * sizeof(T) + 128) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(storage_.data());
    p_ = reinterpret_cast<T*>(storage_.data() + (64 - raw % 64) % 64 + byteOffset);
  }
  T* data() { return p_; }

 private:
  std::vector<unsigned char> storage_;
  T* p_;
};

// Filled with fill + 0.01 * (i % 17): steady magnitudes for elementwise cases.
template <class T>
class RampArray : public PlacedArray<T> {
 public:
  RampArray(int64_t n, int byteOffset, T fill) : PlacedArray<T>(n, byteOffset) {
    T* p = this->data();
    for (int64_t i = 0; i < n; ++i) p[i] = static_cast<T>(fill + static_cast<T>(i % 17) * static_cast<T>(0.01));
  }
};

// Filled with values in [lo, hi) from a cheap generator, which keeps the
// set-up of the 1M cases short.
template <class T>
class RandomArray : public PlacedArray<T> {
 public:
  RandomArray(int64_t n, int byteOffset, double lo, double hi) : PlacedArray<T>(n, byteOffset) {
    T* p = this->data();
    uint32_t state = 2463534242u + static_cast<uint32_t>(n);
    for (int64_t i = 0; i < n; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      p[i] = static_cast<T>(lo + (hi - lo) * (state * 0x1p-32));
    }
  }
};

// Sizes of the set-by-size grid: in L1, in L2, beyond the caches.
inline const std::vector<int64_t> kGridSizes = {16, 1024, 65536, 1 << 20};

// Registers name/<set>/<n>/<aligned|misaligned> for the plain loop, every set
// and every grid size. body(state, set, n, byteOffset) runs the timing loop on
// arrays placed at byteOffset: 0, or misalignedBytes for the misaligned case.
template <class Body>
void RegisterGrid(const std::string& name, double minTime, int misalignedBytes, Body body) {
  for (int set = kPlain; set < kSpVariantSetCount; ++set)
    for (int misaligned = 0; misaligned <= 1; ++misaligned)
      for (int64_t n : kGridSizes) {
        const std::string setName = set < 0 ? "plain-O3" : spVariantSetName(set);
        const std::string full =
            name + "/" + setName + "/" + std::to_string(n) + (misaligned ? "/misaligned" : "/aligned");
        benchmark::RegisterBenchmark(full.c_str(), [=](benchmark::State& state) {
          SetScope scope(state, set);
          if (!scope.ok()) return;
          body(state, set, n, misaligned ? misalignedBytes : 0);
          state.SetItemsProcessed(state.iterations() * n);
        })->MinTime(minTime);
      }
}

// The grid of the reduction and logarithm programs: misaligned arrays start
// one float (4 bytes) past the boundary.
template <class Body>
void RegisterReductionGrid(const std::string& name, Body body) {
  RegisterGrid(name, 0.01, 4, body);
}

// L1-resident and L2-resident lengths; a short minimum time keeps the
// default run to a few seconds.
inline void ShortRun(benchmark::internal::Benchmark* b) { b->Arg(1024)->Arg(65536)->MinTime(0.05); }

// Registers `body` once per variant set the processor supports, as
// "<name>/<set>", with ShortRun's lengths; the set is forced while it runs.
inline void RegisterPerSet(const std::string& name, std::function<void(benchmark::State&)> body) {
  for (int set = 0; set < kSpVariantSetCount; ++set) {
    if (!spVariantSetSupported(set)) continue;
    auto* b = benchmark::RegisterBenchmark((name + "/" + spVariantSetName(set)).c_str(),
                                           [set, body](benchmark::State& state) {
                                             SetScope scope(state, set);
                                             body(state);
                                           });
    ShortRun(b);
  }
}

// Registers one case with ShortRun's lengths (the plain and C library loops).
inline void Register(const std::string& name, std::function<void(benchmark::State&)> body) {
  ShortRun(benchmark::RegisterBenchmark(name.c_str(), body));
}

inline void CountItems(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * state.range(0)); }

template <class T>
std::vector<T> Uniform(size_t n, T low, T high, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<T> u(low, high);
  std::vector<T> v(n);
  for (auto& x : v) x = u(rng);
  return v;
}

// Runs the registered cases. The programs that check their command line
// refuse flags Google Benchmark does not know (exit status 1); the others
// pass over them.
inline int RunBenchmarks(int argc, char** argv, bool refuseUnknownFlags) {
  benchmark::Initialize(&argc, argv);
  if (refuseUnknownFlags && benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
