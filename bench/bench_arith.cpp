// Elementwise arithmetic per variant set beside plain -O3 loops: the
// three-array sum, the in-place double sum, the in-place constant product
// and the absolute value (the forms the delay search uses).
#include "elementwise_bench.h"
#include "primitives/vector/sp_arith.h"

namespace {
using namespace elementwise_bench;

void AddF32(benchmark::State& state, int set, int64_t n, bool misaligned) {
  const int off = misaligned ? 4 : 0;
  Array<float> a(n, off, 1.0f), b(n, off, 2.0f), dst(n, off, 0.0f);
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

void AddInPlaceF64(benchmark::State& state, int set, int64_t n, bool misaligned) {
  const int off = misaligned ? 8 : 0;
  Array<double> src(n, off, 1e-9), srcDst(n, off, 1.0);
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

void MulConstInPlaceF32(benchmark::State& state, int set, int64_t n, bool misaligned) {
  const int off = misaligned ? 4 : 0;
  Array<float> srcDst(n, off, 1.0f);
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

void AbsF32(benchmark::State& state, int set, int64_t n, bool misaligned) {
  const int off = misaligned ? 4 : 0;
  Array<float> src(n, off, -1.0f), dst(n, off, 0.0f);
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
  RegisterAll("AddF32", AddF32);
  RegisterAll("AddInPlaceF64", AddInPlaceF64);
  RegisterAll("MulConstInPlaceF32", MulConstInPlaceF32);
  RegisterAll("AbsF32", AbsF32);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
