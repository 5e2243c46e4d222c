// Square root and exponential per variant set beside plain -O3 loops and the
// C library's sqrt and exp. Items per second count elements.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench_support.h"
#include "primitives/vector/sp_elementary.h"

namespace {

using namespace bench;

// Called through pointers so that the C library, not an inlined
// instruction, does the work.
float (*volatile libSqrtF)(float) = ::sqrtf;
double (*volatile libSqrt)(double) = ::sqrt;
float (*volatile libExpF)(float) = ::expf;

template <class T, class Fill>
void WithArrays(benchmark::State& state, T low, T high, Fill&& body) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::vector<T> src = Uniform<T>(n, low, high);
  std::vector<T> dst(n);
  for (auto _ : state) {
    body(src.data(), dst.data(), static_cast<int32_t>(n));
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  CountItems(state);
}

void RegisterAll() {
  RegisterPerSet("spSqrtF32", [](benchmark::State& s) {
    WithArrays<float>(s, 0.0f, 1e6f, [](const float* a, float* b, int32_t n) { spSqrtF32(a, b, n); });
  });
  Register("plainLoopSqrtF32", [](benchmark::State& s) {
    WithArrays<float>(s, 0.0f, 1e6f, [](const float* a, float* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = std::sqrt(a[i]);
    });
  });
  Register("libcSqrtF32", [](benchmark::State& s) {
    WithArrays<float>(s, 0.0f, 1e6f, [](const float* a, float* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = libSqrtF(a[i]);
    });
  });

  RegisterPerSet("spSqrtF64", [](benchmark::State& s) {
    WithArrays<double>(s, 0.0, 1e12, [](const double* a, double* b, int32_t n) { spSqrtF64(a, b, n); });
  });
  Register("plainLoopSqrtF64", [](benchmark::State& s) {
    WithArrays<double>(s, 0.0, 1e12, [](const double* a, double* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = std::sqrt(a[i]);
    });
  });
  Register("libcSqrtF64", [](benchmark::State& s) {
    WithArrays<double>(s, 0.0, 1e12, [](const double* a, double* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = libSqrt(a[i]);
    });
  });

  RegisterPerSet("spExpF32", [](benchmark::State& s) {
    WithArrays<float>(s, -80.0f, 80.0f, [](const float* a, float* b, int32_t n) { spExpF32(a, b, n); });
  });
  Register("plainLoopExpF32", [](benchmark::State& s) {
    WithArrays<float>(s, -80.0f, 80.0f, [](const float* a, float* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = std::exp(a[i]);
    });
  });
  Register("libcExpF32", [](benchmark::State& s) {
    WithArrays<float>(s, -80.0f, 80.0f, [](const float* a, float* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = libExpF(a[i]);
    });
  });
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return RunBenchmarks(argc, argv, false);
}
