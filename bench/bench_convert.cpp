// Conversions of every variant set beside plain -O3 loops of the same
// conversion, on 4096 elements (in cache) and 1 Mi elements. Each case runs
// briefly so the default run stays short; pass --benchmark_min_time for more.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "primitives/vector/sp_convert.h"

namespace {
constexpr double kMinTime = 0.02;
using bench::kPlain;

struct Buffers {
  explicit Buffers(int32_t n) : i8(n), i16(n), i32(n), f32(n), f64(n), o16(n), o32(n), d64(n) {
    for (int32_t i = 0; i < n; ++i) {
      i8[i] = static_cast<int8_t>(i * 37);
      i16[i] = static_cast<int16_t>(i * 7919);
      i32[i] = static_cast<int32_t>(i * 2654435761u);
      f64[i] = (i % 1000) * 3.75e6 - 1.9e9;
    }
  }
  std::vector<int8_t> i8;
  std::vector<int16_t> i16;
  std::vector<int32_t> i32;
  std::vector<float> f32;
  std::vector<double> f64;
  std::vector<int16_t> o16;
  std::vector<int32_t> o32;
  std::vector<double> d64;
};

template <class Body>
void Run(benchmark::State& state, Body body) {
  const int set = static_cast<int>(state.range(0));
  bench::SetScope scope(state, set, "plain -O3 loop");
  if (!scope.ok()) return;
  const int32_t n = static_cast<int32_t>(state.range(1));
  Buffers b(n);
  for (auto _ : state) {
    body(set == kPlain, b, n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_ConvI8ToF32(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain)
      for (int32_t i = 0; i < n; ++i) b.f32[i] = b.i8[i];
    else
      spConvI8ToF32(b.i8.data(), b.f32.data(), n);
  });
}
void BM_ConvI16ToF32(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain)
      for (int32_t i = 0; i < n; ++i) b.f32[i] = b.i16[i];
    else
      spConvI16ToF32(b.i16.data(), b.f32.data(), n);
  });
}
void BM_ConvI32ToF32(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain)
      for (int32_t i = 0; i < n; ++i) b.f32[i] = static_cast<float>(b.i32[i]);
    else
      spConvI32ToF32(b.i32.data(), b.f32.data(), n);
  });
}
void BM_ConvI16ToF64Scaled(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain)
      for (int32_t i = 0; i < n; ++i) b.d64[i] = b.i16[i] * 0.125;
    else
      spConvI16ToF64Scaled(b.i16.data(), b.d64.data(), n, 3);
  });
}
void BM_ConvI32ToI16Sat(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain) {
      // Rounding shift by 2, ties to even, then saturation.
      for (int32_t i = 0; i < n; ++i) {
        const int64_t x = b.i32[i];
        b.o16[i] = static_cast<int16_t>(std::clamp<int64_t>((x + 1 + ((x >> 2) & 1)) >> 2, -32768, 32767));
      }
    } else {
      spConvI32ToI16Sat(b.i32.data(), b.o16.data(), n, 2);
    }
  });
}
void BM_ConvF64ToI32Nearest(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain) {
      for (int32_t i = 0; i < n; ++i) {
        const double y = std::min(std::max(b.f64[i], -2147483648.0), 2147483647.0);
        b.o32[i] = static_cast<int32_t>(std::nearbyint(y));
      }
    } else {
      spConvF64ToI32(b.f64.data(), b.o32.data(), n, 1, 0);
    }
  });
}
void BM_ConvF64ToI32Trunc(benchmark::State& state) {
  Run(state, [](bool plain, Buffers& b, int32_t n) {
    if (plain) {
      for (int32_t i = 0; i < n; ++i)
        b.o32[i] = static_cast<int32_t>(std::min(std::max(b.f64[i], -2147483648.0), 2147483647.0));
    } else {
      spConvF64ToI32(b.f64.data(), b.o32.data(), n, 0, 0);
    }
  });
}

void Cases(benchmark::internal::Benchmark* bm) {
  bm->ArgNames({"set", "n"})->MinTime(kMinTime);
  for (int64_t n : {4096, 1 << 20})
    for (int set = kPlain; set < kSpVariantSetCount; ++set) bm->Args({set, n});
}

BENCHMARK(BM_ConvI8ToF32)->Apply(Cases);
BENCHMARK(BM_ConvI16ToF32)->Apply(Cases);
BENCHMARK(BM_ConvI32ToF32)->Apply(Cases);
BENCHMARK(BM_ConvI16ToF64Scaled)->Apply(Cases);
BENCHMARK(BM_ConvI32ToI16Sat)->Apply(Cases);
BENCHMARK(BM_ConvF64ToI32Nearest)->Apply(Cases);
BENCHMARK(BM_ConvF64ToI32Trunc)->Apply(Cases);

}  // namespace

BENCHMARK_MAIN();
