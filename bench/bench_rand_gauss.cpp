// Gaussian random numbers of every variant set beside a plain -O3 polar
// method over a xorshift generator, 4096 values per call. Each case runs
// briefly so the default run stays short.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "primitives/vector/sp_random.h"

namespace {
constexpr double kMinTime = 0.02;
using bench::kPlain;
constexpr const char* kPlainLabel = "plain -O3 polar loop";

void PlainPolar(double* dst, int32_t n, double mean, double sd, uint32_t* seed) {
  uint32_t x = *seed | 1u;
  auto uniform = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return static_cast<int32_t>(x) * 4.656612873077e-10;
  };
  for (int32_t i = 0; i < n; i += 2) {
    double u1, u2, w;
    do {
      u1 = uniform();
      u2 = uniform();
      w = u1 * u1 + u2 * u2;
    } while (w >= 1.0 || w == 0.0);
    const double f = std::sqrt(-2.0 * std::log(w) / w) * sd;
    dst[i] = mean + u2 * f;
    if (i + 1 < n) dst[i + 1] = mean + u1 * f;
  }
  *seed = x;
}

void BM_RandGaussF64(benchmark::State& state) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, kPlainLabel);
  if (!scope.ok()) return;
  const int32_t n = static_cast<int32_t>(state.range(1));
  std::vector<double> dst(n);
  uint32_t seed = 12345;
  for (auto _ : state) {
    if (set < 0)
      PlainPolar(dst.data(), n, 0.0, 1.0, &seed);
    else
      spRandGaussF64(dst.data(), n, 0.0, 1.0, &seed);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_RandGaussF32(benchmark::State& state) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, kPlainLabel);  // the sets only: no plain loop here
  if (!scope.ok()) return;
  const int32_t n = static_cast<int32_t>(state.range(1));
  std::vector<float> dst(n);
  uint32_t seed = 12345;
  for (auto _ : state) {
    spRandGaussF32(dst.data(), n, 0.0f, 1.0f, &seed);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_RandGaussF64)->ArgNames({"set", "n"})->MinTime(kMinTime)->ArgsProduct({{kPlain, 0, 1, 2, 3, 4}, {4096}});
BENCHMARK(BM_RandGaussF32)->ArgNames({"set", "n"})->MinTime(kMinTime)->ArgsProduct({{0, 4}, {4096}});

}  // namespace

BENCHMARK_MAIN();
