// Hamming and Hann windows of every variant set beside a plain -O3 loop that
// evaluates the cosine per element, for a short and a long window. Each case
// runs briefly so the default run stays short.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "primitives/vector/sp_window.h"

namespace {
constexpr double kMinTime = 0.02;
using bench::kPlain;

template <class T>
void Run(benchmark::State& state, spStatus (*window)(const T*, T*, int32_t), double a, double b) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, "plain -O3 loop, cos per element");
  if (!scope.ok()) return;
  const int32_t n = static_cast<int32_t>(state.range(1));
  std::vector<T> src(n, T(1000)), dst(n);
  for (auto _ : state) {
    if (set < 0) {
      const double step = 6.283185307179586 / (n - 1);
      for (int32_t k = 0; k < n; ++k) dst[k] = static_cast<T>(src[k] * (b - a * std::cos(k * step)));
    } else {
      window(src.data(), dst.data(), n);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_WinHammingF64(benchmark::State& s) { Run<double>(s, spWinHammingF64, 0.46, 0.54); }
void BM_WinHammingF32(benchmark::State& s) { Run<float>(s, spWinHammingF32, 0.46, 0.54); }
void BM_WinHannF64(benchmark::State& s) { Run<double>(s, spWinHannF64, 0.5, 0.5); }
void BM_WinHannF32(benchmark::State& s) { Run<float>(s, spWinHannF32, 0.5, 0.5); }

void Cases(benchmark::internal::Benchmark* bm) {
  bm->ArgNames({"set", "n"})->MinTime(kMinTime);
  for (int64_t n : {1024, 65536})
    for (int set = kPlain; set < kSpVariantSetCount; ++set) bm->Args({set, n});
}

BENCHMARK(BM_WinHammingF64)->Apply(Cases);
BENCHMARK(BM_WinHammingF32)->Apply(Cases);
BENCHMARK(BM_WinHannF64)->Apply(Cases);
BENCHMARK(BM_WinHannF32)->Apply(Cases);

}  // namespace

BENCHMARK_MAIN();
