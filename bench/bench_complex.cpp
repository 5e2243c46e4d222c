// Complex multiplication and conjugation per variant set beside plain -O3
// loops (the spectrum products of the correlations by FFT).
#include "bench_support.h"
#include "primitives/vector/sp_complex.h"

namespace {
using namespace bench;

constexpr double kMinTime = 0.02;

template <class T>
void MulComplex(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<T> a(2 * n, off, T(0.5)), b(2 * n, off, T(0.25)), dst(2 * n, off, T(0));
  for (auto _ : state) {
    if (set == kPlain) {
      const T* x = a.data();
      const T* y = b.data();
      T* d = dst.data();
      for (int64_t k = 0; k < 2 * n; k += 2) {
        const T re = x[k] * y[k] - x[k + 1] * y[k + 1];
        const T im = x[k] * y[k + 1] + x[k + 1] * y[k];
        d[k] = re;
        d[k + 1] = im;
      }
    } else if constexpr (sizeof(T) == sizeof(float)) {
      spMulC32(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
    } else {
      spMulC64(a.data(), b.data(), dst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

template <class T>
void ConjInPlace(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<T> data(2 * n, off, T(1));
  for (auto _ : state) {
    if (set == kPlain) {
      T* d = data.data();
      for (int64_t k = 1; k < 2 * n; k += 2) d[k] = -d[k];
    } else if constexpr (sizeof(T) == sizeof(float)) {
      spConjInPlaceC32(data.data(), static_cast<int32_t>(n));
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
  RegisterGrid("MulC32", kMinTime, 8, MulComplex<float>);  // 8 past a 16-byte boundary: one single step first
  RegisterGrid("MulC64", kMinTime, 8, MulComplex<double>);
  RegisterGrid("ConjInPlaceC32", kMinTime, 8, ConjInPlace<float>);
  RegisterGrid("ConjInPlaceC64", kMinTime, 8, ConjInPlace<double>);
  RegisterGrid("SplitComplexC32", kMinTime, 4, SplitC32);
  return RunBenchmarks(argc, argv, false);
}
