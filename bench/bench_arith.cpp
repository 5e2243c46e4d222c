// Elementwise arithmetic per variant set beside plain -O3 loops: the
// three-array sum, the in-place double sum, the in-place constant product
// and the absolute value (the forms the delay search uses).
#include "bench_support.h"
#include "primitives/vector/sp_arith.h"

namespace {
using namespace bench;

constexpr double kMinTime = 0.02;

void AddF32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> a(n, off, 1.0f), b(n, off, 2.0f), dst(n, off, 0.0f);
  for (auto _ : state) {
    if (set == kPlain) {
      float* d = dst.data();
      const float* x = a.data();
      const float* y = b.data();
      for (int64_t i = 0; i < n; ++i) d[i] = x[i] + y[i];
    } else {
      spAddF32(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void AddInPlaceF64(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<double> src(n, off, 1e-9), srcDst(n, off, 1.0);
  for (auto _ : state) {
    if (set == kPlain) {
      double* d = srcDst.data();
      const double* s = src.data();
      for (int64_t i = 0; i < n; ++i) d[i] += s[i];
    } else {
      spAddInPlaceF64(src.data(), srcDst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void MulConstInPlaceF32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> srcDst(n, off, 1.0f);
  const float c = -1.0f;  // keeps magnitudes steady over the iterations
  for (auto _ : state) {
    if (set == kPlain) {
      float* d = srcDst.data();
      for (int64_t i = 0; i < n; ++i) d[i] *= c;
    } else {
      spMulConstInPlaceF32(c, srcDst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void AbsF32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> src(n, off, -1.0f), dst(n, off, 0.0f);
  for (auto _ : state) {
    if (set == kPlain) {
      float* d = dst.data();
      const float* s = src.data();
      for (int64_t i = 0; i < n; ++i) d[i] = __builtin_fabsf(s[i]);
    } else {
      spAbsF32(src.data(), dst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterGrid("AddF32", kMinTime, 4, AddF32);
  RegisterGrid("AddInPlaceF64", kMinTime, 8, AddInPlaceF64);
  RegisterGrid("MulConstInPlaceF32", kMinTime, 4, MulConstInPlaceF32);
  RegisterGrid("AbsF32", kMinTime, 4, AbsF32);
  return RunBenchmarks(argc, argv, false);
}
