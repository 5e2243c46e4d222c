// Complex multiplication and conjugation per variant set beside plain -O3
// loops (the spectrum products of the correlations by FFT).
#include "bench_support.h"
#include "primitives/vector/sp_complex.h"

namespace {
using namespace bench;

constexpr double kMinTime = 0.02;

void MulC32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> a(2 * n, off, 0.5f), b(2 * n, off, 0.25f), dst(2 * n, off, 0.0f);
  for (auto _ : state) {
    if (set == kPlain) {
      const float* x = a.data();
      const float* y = b.data();
      float* d = dst.data();
      for (int64_t k = 0; k < 2 * n; k += 2) {
        const float re = x[k] * y[k] - x[k + 1] * y[k + 1];
        const float im = x[k] * y[k + 1] + x[k + 1] * y[k];
        d[k] = re;
        d[k + 1] = im;
      }
    } else {
      spMulC32(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void MulC64(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<double> a(2 * n, off, 0.5), b(2 * n, off, 0.25), dst(2 * n, off, 0.0);
  for (auto _ : state) {
    if (set == kPlain) {
      const double* x = a.data();
      const double* y = b.data();
      double* d = dst.data();
      for (int64_t k = 0; k < 2 * n; k += 2) {
        const double re = x[k] * y[k] - x[k + 1] * y[k + 1];
        const double im = x[k] * y[k + 1] + x[k + 1] * y[k];
        d[k] = re;
        d[k + 1] = im;
      }
    } else {
      spMulC64(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void ConjC32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> data(2 * n, off, 1.0f);
  for (auto _ : state) {
    if (set == kPlain) {
      float* d = data.data();
      for (int64_t k = 1; k < 2 * n; k += 2) d[k] = -d[k];
    } else {
      spConjInPlaceC32(data.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void ConjC64(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<double> data(2 * n, off, 1.0);
  for (auto _ : state) {
    if (set == kPlain) {
      double* d = data.data();
      for (int64_t k = 1; k < 2 * n; k += 2) d[k] = -d[k];
    } else {
      spConjInPlaceC64(data.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void SplitC32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> src(2 * n, off, 1.0f), re(n, off, 0.0f), im(n, off, 0.0f);
  for (auto _ : state) {
    if (set == kPlain) {
      const float* s = src.data();
      float* r = re.data();
      float* i = im.data();
      for (int64_t k = 0; k < n; ++k) {
        r[k] = s[2 * k];
        i[k] = s[2 * k + 1];
      }
    } else {
      spSplitComplexC32(src.data(), re.data(), im.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterGrid("MulC32", kMinTime, 8, MulC32);  // 8 past a 16-byte boundary: one single step first
  RegisterGrid("MulC64", kMinTime, 8, MulC64);
  RegisterGrid("ConjInPlaceC32", kMinTime, 8, ConjC32);
  RegisterGrid("ConjInPlaceC64", kMinTime, 8, ConjC64);
  RegisterGrid("SplitComplexC32", kMinTime, 4, SplitC32);
  return RunBenchmarks(argc, argv, false);
}
