// Matrix primitives per variant set beside plain -O3 loops: dense 4 x 4, 6 x 6
// and 64 x 64 products (unit element strides) and a 1,024 x 1,024 matrix
// times a vector, in single and double precision.
#include <string>

#include "bench_support.h"
#include "primitives/matrix/sp_matrix.h"

namespace {
using namespace bench;

constexpr double kMinTime = 0.05;

template <class T>
spStatus MatMul(const T* a, const T* b, T* c, int n) {
  const int32_t row = n * static_cast<int32_t>(sizeof(T)), e = sizeof(T);
  if constexpr (sizeof(T) == 4)
    return spMatMulMatF32(a, row, e, n, n, b, row, e, n, n, c, row, e);
  else
    return spMatMulMatF64(a, row, e, n, n, b, row, e, n, n, c, row, e);
}

template <class T>
spStatus MatVec(const T* m, const T* v, T* d, int n) {
  const int32_t row = n * static_cast<int32_t>(sizeof(T)), e = sizeof(T);
  if constexpr (sizeof(T) == 4)
    return spMatMulVecF32(m, row, e, n, n, v, e, n, d, e);
  else
    return spMatMulVecF64(m, row, e, n, n, v, e, n, d, e);
}

// n x n times n x n; items are multiply-adds.
template <class T>
void Product(benchmark::State& state, int set, int n) {
  RandomArray<T> a(n * n, 0, -1.0, 1.0), b(n * n, 0, -1.0, 1.0);
  PlacedArray<T> c(n * n, 0);
  for (auto _ : state) {
    if (set == kPlain) {
      const T* x = a.data();
      const T* y = b.data();
      T* z = c.data();
      for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) {
          T s = 0;
          for (int j = 0; j < n; ++j) s += x[i * n + j] * y[j * n + k];
          z[i * n + k] = s;
        }
    } else {
      MatMul(a.data(), b.data(), c.data(), n);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n * n * n);
}

template <class T>
void MatrixTimesVector(benchmark::State& state, int set, int n) {
  RandomArray<T> m(int64_t{n} * n, 0, -1.0, 1.0), v(n, 0, -1.0, 1.0);
  PlacedArray<T> d(n, 0);
  for (auto _ : state) {
    if (set == kPlain) {
      const T* x = m.data();
      const T* y = v.data();
      T* z = d.data();
      for (int i = 0; i < n; ++i) {
        T s = 0;
        for (int j = 0; j < n; ++j) s += x[int64_t{i} * n + j] * y[j];
        z[i] = s;
      }
    } else {
      MatVec(m.data(), v.data(), d.data(), n);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{n} * n);
}

// name/<set>/<n> for the plain loop and every set.
template <class Body>
void RegisterSizes(const std::string& name, std::initializer_list<int> sizes, Body body) {
  for (int n : sizes)
    for (int set = kPlain; set <= SP_SET_SSSE3; ++set) {
      const std::string setName = set < 0 ? "plain-O3" : spVariantSetName(set);
      benchmark::RegisterBenchmark((name + "/" + setName + "/" + std::to_string(n)).c_str(),
                                   [=](benchmark::State& state) {
                                     SetScope scope(state, set);
                                     if (scope.ok()) body(state, set, n);
                                   })
          ->MinTime(kMinTime);
    }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterSizes("MatMulMatF32", {4, 6, 64}, Product<float>);
  RegisterSizes("MatMulMatF64", {4, 6, 64}, Product<double>);
  RegisterSizes("MatMulVecF32", {1024}, MatrixTimesVector<float>);
  RegisterSizes("MatMulVecF64", {1024}, MatrixTimesVector<double>);
  return RunBenchmarks(argc, argv, false);
}
