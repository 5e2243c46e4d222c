// Natural logarithm per variant set, beside plain loops over the C
// library's logf / log (compiled -O3), out of place and in place.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "bench_support.h"
#include "primitives/vector/sp_ln.h"

namespace {

using bench::kPlain;
using bench::PlacedArray;
using bench::RandomArray;
using bench::RegisterReductionGrid;

template <class T, class Plain, class Primitive>
void Ln(benchmark::State& state, int set, int64_t n, int offset, Plain plain, Primitive primitive) {
  RandomArray<T> src(n, offset, 1e-3, 1e3);
  PlacedArray<T> dst(n, offset);
  const int32_t len = static_cast<int32_t>(n);
  for (auto _ : state) {
    if (set == kPlain)
      plain(src.data(), dst.data(), len);
    else
      benchmark::DoNotOptimize(primitive(src.data(), dst.data(), len));
    benchmark::ClobberMemory();
  }
}

void RegisterLn() {
  RegisterReductionGrid("LnF32", [](benchmark::State& st, int set, int64_t n, int off) {
    Ln<float>(
        st, set, n, off,
        [](const float* s, float* d, int32_t len) {
          for (int32_t i = 0; i < len; ++i) d[i] = std::log(s[i]);
        },
        spLnF32);
  });
  RegisterReductionGrid("LnF64", [](benchmark::State& st, int set, int64_t n, int off) {
    Ln<double>(
        st, set, n, off,
        [](const double* s, double* d, int32_t len) {
          for (int32_t i = 0; i < len; ++i) d[i] = std::log(s[i]);
        },
        spLnF64);
  });
  // In place: the source is rewritten by each call, so refill it from a
  // copy first (its cost is in the plain loop's figure too).
  RegisterReductionGrid("LnInPlaceF64", [](benchmark::State& st, int set, int64_t n, int off) {
    RandomArray<double> keep(n, off, 1e-3, 1e3);
    PlacedArray<double> work(n, off);
    const int32_t len = static_cast<int32_t>(n);
    for (auto _ : st) {
      for (int32_t i = 0; i < len; ++i) work.data()[i] = keep.data()[i];
      if (set == kPlain) {
        for (int32_t i = 0; i < len; ++i) work.data()[i] = std::log(work.data()[i]);
      } else {
        benchmark::DoNotOptimize(spLnInPlaceF64(work.data(), len));
      }
      benchmark::ClobberMemory();
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  RegisterLn();
  return bench::RunBenchmarks(argc, argv, true);
}
