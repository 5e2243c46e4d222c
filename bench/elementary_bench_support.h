// Shared set-up of the elementary-function benchmarks: one registration per
// supported variant set (the set is forced for the run), short default runs,
// and input arrays of a chosen range.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "primitives/frame/variant_seams.h"

namespace elementary_bench {

// L1-resident and L2-resident lengths; a short minimum time keeps the
// default run to a few seconds.
inline void ShortRun(benchmark::internal::Benchmark* b) { b->Arg(1024)->Arg(65536)->MinTime(0.05); }

template <class T>
std::vector<T> Uniform(size_t n, T low, T high, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<T> u(low, high);
  std::vector<T> v(n);
  for (auto& x : v) x = u(rng);
  return v;
}

// Registers `body` once per variant set the processor supports, as
// "<name>/<set>"; the set is forced while the benchmark runs.
inline void RegisterPerSet(const std::string& name, std::function<void(benchmark::State&)> body) {
  for (int set = 0; set < 5; ++set) {
    if (!spVariantSetSupported(set)) continue;
    auto* b = benchmark::RegisterBenchmark((name + "/" + spVariantSetName(set)).c_str(),
                                           [set, body](benchmark::State& state) {
                                             const int32_t previous = spForceVariantSet(set);
                                             body(state);
                                             spForceVariantSet(previous);
                                           });
    ShortRun(b);
  }
}

inline void Register(const std::string& name, std::function<void(benchmark::State&)> body) {
  ShortRun(benchmark::RegisterBenchmark(name.c_str(), body));
}

inline void CountItems(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace elementary_bench
