// Square root and exponential per variant set beside plain -O3 loops and the
// C library's sqrt and exp. Items per second count elements.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>

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

// Registers sp<name> per set, plainLoop<name> (the loop a caller would
// write, with `plain` inlined) and libc<name> (the C library through `lib`)
// on the same values in [low, high).
template <class T, class Plain>
void RegisterFunction(const std::string& name, T low, T high, spStatus (*primitive)(const T*, T*, int32_t), Plain plain,
                      T (*volatile* lib)(T)) {
  RegisterPerSet("sp" + name, [=](benchmark::State& s) {
    WithArrays<T>(s, low, high, [primitive](const T* a, T* b, int32_t n) { primitive(a, b, n); });
  });
  Register("plainLoop" + name, [=](benchmark::State& s) {
    WithArrays<T>(s, low, high, [plain](const T* a, T* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = plain(a[i]);
    });
  });
  Register("libc" + name, [=](benchmark::State& s) {
    WithArrays<T>(s, low, high, [lib](const T* a, T* b, int32_t n) {
      for (int32_t i = 0; i < n; ++i) b[i] = (*lib)(a[i]);
    });
  });
}

void RegisterAll() {
  RegisterFunction<float>(
      "SqrtF32", 0.0f, 1e6f, spSqrtF32, [](float x) { return std::sqrt(x); }, &libSqrtF);
  RegisterFunction<double>(
      "SqrtF64", 0.0, 1e12, spSqrtF64, [](double x) { return std::sqrt(x); }, &libSqrt);
  RegisterFunction<float>(
      "ExpF32", -80.0f, 80.0f, spExpF32, [](float x) { return std::exp(x); }, &libExpF);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return RunBenchmarks(argc, argv, false);
}
