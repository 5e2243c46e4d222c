// Sum, dot product, maximum/minimum search and standard deviation per
// variant set, beside the plain loops a caller would write (compiled -O3).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "bench_support.h"
#include "primitives/vector/sp_dot.h"
#include "primitives/vector/sp_mean_stddev.h"
#include "primitives/vector/sp_minmax.h"
#include "primitives/vector/sp_sum.h"

namespace {

using bench::kPlain;
using bench::PlacedArray;
using bench::RandomArray;
using bench::RegisterReductionGrid;

template <class T, class Plain, class Primitive>
void Reduce(benchmark::State& state, int set, int64_t n, int offset, Plain plain, Primitive primitive) {
  RandomArray<T> a(n, offset, -1.0, 1.0);
  const int32_t len = static_cast<int32_t>(n);
  for (auto _ : state) {
    if (set == kPlain)
      benchmark::DoNotOptimize(plain(a.data(), len));
    else
      benchmark::DoNotOptimize(primitive(a.data(), len));
    benchmark::ClobberMemory();
  }
}

template <class T, class Plain, class Primitive>
void Reduce2(benchmark::State& state, int set, int64_t n, int offset, Plain plain, Primitive primitive) {
  RandomArray<T> a(n, offset, -1.0, 1.0), b(n, offset, -1.0, 1.0);
  const int32_t len = static_cast<int32_t>(n);
  for (auto _ : state) {
    if (set == kPlain)
      benchmark::DoNotOptimize(plain(a.data(), b.data(), len));
    else
      benchmark::DoNotOptimize(primitive(a.data(), b.data(), len));
    benchmark::ClobberMemory();
  }
}

template <class T>
T PlainSum(const T* x, int32_t n) {
  T s = 0;
  for (int32_t i = 0; i < n; ++i) s += x[i];
  return s;
}
template <class T>
T PlainDot(const T* a, const T* b, int32_t n) {
  T s = 0;
  for (int32_t i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}
template <class T>
T PlainMax(const T* x, int32_t n) {
  T m = x[0];
  for (int32_t i = 1; i < n; ++i) m = x[i] > m ? x[i] : m;
  return m;
}
template <class T>
int32_t PlainMaxIndex(const T* x, int32_t n) {
  int32_t k = 0;
  for (int32_t i = 1; i < n; ++i)
    if (x[i] > x[k]) k = i;
  return k;
}
template <class T>
int32_t PlainMinIndex(const T* x, int32_t n) {
  int32_t k = 0;
  for (int32_t i = 1; i < n; ++i)
    if (x[i] < x[k]) k = i;
  return k;
}
template <class T>
double PlainStdDev(const T* x, int32_t n) {
  double s = 0, q = 0;
  for (int32_t i = 0; i < n; ++i) {
    s += x[i];
    q += static_cast<double>(x[i]) * x[i];
  }
  return std::sqrt((n * q - s * s) / (static_cast<double>(n) * (n - 1)));
}

// "<name>/accurate" or "<name>/fast" for the float reductions' two modes.
std::string ModeName(const char* name, int32_t hint) { return std::string(name) + (hint == 1 ? "/fast" : "/accurate"); }

void RegisterSums() {
  for (int32_t hint : {0, 1}) {
    RegisterReductionGrid(ModeName("SumF32", hint), [hint](benchmark::State& st, int set, int64_t n, int off) {
      Reduce<float>(st, set, n, off, PlainSum<float>, [hint](const float* x, int32_t len) {
        float s;
        spSumF32(x, len, &s, hint);
        return s;
      });
    });
  }
  RegisterReductionGrid("SumF64", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce<double>(st, set, n, off, PlainSum<double>, [](const double* x, int32_t len) {
      double s;
      spSumF64(x, len, &s);
      return s;
    });
  });
}

void RegisterDots() {
  RegisterReductionGrid("DotF32", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce2<float>(st, set, n, off, PlainDot<float>, [](const float* a, const float* b, int32_t len) {
      float s;
      spDotF32(a, b, len, &s);
      return s;
    });
  });
  RegisterReductionGrid("DotF64", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce2<double>(st, set, n, off, PlainDot<double>, [](const double* a, const double* b, int32_t len) {
      double s;
      spDotF64(a, b, len, &s);
      return s;
    });
  });
}

// The int32 maximum on integers spread over +-1e6.
void MaxI32(benchmark::State& st, int set, int64_t n, int off) {
  RandomArray<float> f(n, off, -1e6, 1e6);
  PlacedArray<int32_t> a(n, off);
  for (int64_t i = 0; i < n; ++i) a.data()[i] = static_cast<int32_t>(f.data()[i]);
  const int32_t len = static_cast<int32_t>(n);
  for (auto _ : st) {
    if (set == kPlain) {
      benchmark::DoNotOptimize(PlainMax<int32_t>(a.data(), len));
    } else {
      int32_t m;
      spMaxI32(a.data(), len, &m);
      benchmark::DoNotOptimize(m);
    }
  }
}

// The maximum and minimum searches, with and without the index.
void RegisterExtremes() {
  RegisterReductionGrid("MaxF32", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce<float>(st, set, n, off, PlainMax<float>, [](const float* x, int32_t len) {
      float m;
      spMaxF32(x, len, &m);
      return m;
    });
  });
  RegisterReductionGrid("MaxIndexF32", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce<float>(st, set, n, off, PlainMaxIndex<float>, [](const float* x, int32_t len) {
      float m;
      int32_t k;
      spMaxIndexF32(x, len, &m, &k);
      return k;
    });
  });
  RegisterReductionGrid("MinIndexF64", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce<double>(st, set, n, off, PlainMinIndex<double>, [](const double* x, int32_t len) {
      double m;
      int32_t k;
      spMinIndexF64(x, len, &m, &k);
      return k;
    });
  });
  RegisterReductionGrid("MaxI32", MaxI32);
}

void RegisterStdDevs() {
  for (int32_t hint : {0, 1}) {
    RegisterReductionGrid(ModeName("StdDevF32", hint), [hint](benchmark::State& st, int set, int64_t n, int off) {
      Reduce<float>(st, set, n, off, PlainStdDev<float>, [hint](const float* x, int32_t len) {
        float s;
        spStdDevF32(x, len, &s, hint);
        return s;
      });
    });
  }
  RegisterReductionGrid("StdDevF64", [](benchmark::State& st, int set, int64_t n, int off) {
    Reduce<double>(st, set, n, off, PlainStdDev<double>, [](const double* x, int32_t len) {
      double s;
      spStdDevF64(x, len, &s);
      return s;
    });
  });
}

void RegisterStats() {
  RegisterSums();
  RegisterDots();
  RegisterExtremes();
  RegisterStdDevs();
}

}  // namespace

int main(int argc, char** argv) {
  RegisterStats();
  return bench::RunBenchmarks(argc, argv, true);
}
