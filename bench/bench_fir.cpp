// FIR filtering, FIR design and the tone generator of every variant set beside
// plain -O3 loops: a filter that sums over a doubled delay line, a design that
// calls sin and cos per tap, and a tone that calls cos per sample. Each case
// runs briefly so the default run stays short.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "primitives/fir/fir_kernels.h"
#include "primitives/fir/sp_fir.h"

namespace {
constexpr double kMinTime = 0.02;
constexpr double kPi = 3.141592653589793;
using bench::kPlain;

constexpr int32_t kBlock = 1024;

template <class T>
void PlainFir(const T* src, T* dst, int32_t len, const double* taps, int32_t tapsLen, T* line, int32_t* index) {
  int32_t i = *index;
  for (int32_t n = 0; n < len; ++n) {
    line[i] = line[i + tapsLen] = src[n];
    i = i + 1 == tapsLen ? 0 : i + 1;
    double y = 0.0;
    for (int32_t j = 0; j < tapsLen; ++j) y += taps[tapsLen - 1 - j] * line[i + j];
    dst[n] = static_cast<T>(y);
  }
  *index = i;
}

template <class T>
void Filter(benchmark::State& state, spStatus (*fir)(const T*, T*, int32_t, const double*, int32_t, T*, int32_t*)) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, "plain -O3 loop");
  if (!scope.ok()) return;
  const int32_t tapsLen = static_cast<int32_t>(state.range(1));
  const std::vector<double> taps = bench::Uniform<double>(tapsLen, -1.0, 1.0);
  const std::vector<T> src = bench::Uniform<T>(kBlock, T(-1000), T(1000));
  std::vector<T> dst(kBlock), line(2 * tapsLen, T(0));
  int32_t index = 0;
  for (auto _ : state) {
    if (set < 0)
      PlainFir(src.data(), dst.data(), kBlock, taps.data(), tapsLen, line.data(), &index);
    else
      fir(src.data(), dst.data(), kBlock, taps.data(), tapsLen, line.data(), &index);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_FirF32(benchmark::State& s) { Filter<float>(s, spFirF32); }
void BM_FirF64(benchmark::State& s) { Filter<double>(s, spFirF64); }

// Low-pass with a Hann window, normalised, the math layer's design.
void PlainLowpass(double f, double* taps, int32_t len) {
  double sum = 0.0;
  for (int32_t n = 0; n < len; ++n) {
    const double u = n - (len - 1) / 2.0;
    const double sinc = u == 0 ? 2 * f : std::sin(2 * kPi * f * u) / (kPi * u);
    taps[n] = sinc * (0.5 - 0.5 * std::cos(2 * kPi * n / (len - 1)));
    sum += taps[n];
  }
  for (int32_t n = 0; n < len; ++n) taps[n] /= sum;
}

void BM_FirLowpassTapsF64(benchmark::State& state) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, "plain -O3 loop, sin and cos per tap");
  if (!scope.ok()) return;
  const int32_t len = static_cast<int32_t>(state.range(1));
  std::vector<double> taps(len);
  for (auto _ : state) {
    if (set < 0)
      PlainLowpass(0.2, taps.data(), len);
    else
      spFirLowpassTapsF64(0.2, taps.data(), len, spFirWindowHann, 1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * len);
}

using ToneFn = spStatus (*)(double*, int32_t, double, double, double*, int32_t);
constexpr ToneFn kTone[] = SP_VARIANT_TABLE(spkToneCosF64);

// range(2): the hint, 1 for the block method of the SSE2, SSE3 and SSSE3 sets.
void BM_ToneCosF64(benchmark::State& state) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, "plain -O3 loop, cos per sample");
  if (!scope.ok()) return;
  const int32_t len = static_cast<int32_t>(state.range(1));
  const int32_t hint = static_cast<int32_t>(state.range(2));
  std::vector<double> dst(len);
  double phase = 0.0;
  const double w = 0.0123 * 2 * kPi;
  for (auto _ : state) {
    if (set < 0) {
      for (int32_t n = 0; n < len; ++n) dst[n] = std::cos(n * w + phase);
    } else {
      kTone[set](dst.data(), len, 1.0, 0.0123, &phase, hint);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * len);
}

void FilterCases(benchmark::internal::Benchmark* bm) {
  bm->ArgNames({"set", "taps"})->MinTime(kMinTime);
  for (int64_t taps : {31, 255})
    for (int set = kPlain; set <= SP_SET_SSSE3; ++set) bm->Args({set, taps});
}

void DesignCases(benchmark::internal::Benchmark* bm) {
  bm->ArgNames({"set", "taps"})->MinTime(kMinTime);
  for (int64_t taps : {63, 1023})
    for (int set = kPlain; set <= SP_SET_SSSE3; ++set) bm->Args({set, taps});
}

void ToneCases(benchmark::internal::Benchmark* bm) {
  bm->ArgNames({"set", "n", "hint"})->MinTime(kMinTime);
  for (int64_t n : {1024, 65536}) {
    bm->Args({kPlain, n, 0});
    for (int set = SP_SET_GENERIC; set <= SP_SET_SSSE3; ++set) bm->Args({set, n, 2});
    for (int set = SP_SET_SSE2; set <= SP_SET_SSSE3; ++set) bm->Args({set, n, 1});
  }
}

BENCHMARK(BM_FirF32)->Apply(FilterCases);
BENCHMARK(BM_FirF64)->Apply(FilterCases);
BENCHMARK(BM_FirLowpassTapsF64)->Apply(DesignCases);
BENCHMARK(BM_ToneCosF64)->Apply(ToneCases);

}  // namespace

BENCHMARK_MAIN();
