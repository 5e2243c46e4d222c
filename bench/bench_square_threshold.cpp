// Square and threshold per variant set beside plain -O3 loops.
#include <algorithm>

#include "bench_support.h"
#include "primitives/vector/sp_square.h"
#include "primitives/vector/sp_threshold.h"

namespace {
using namespace bench;

constexpr double kMinTime = 0.02;

void SqrF32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> src(n, off, 1.5f), dst(n, off, 0.0f);
  for (auto _ : state) {
    if (set == kPlain) {
      const float* s = src.data();
      float* d = dst.data();
      for (int64_t i = 0; i < n; ++i) d[i] = s[i] * s[i];
    } else {
      spSqrF32(src.data(), dst.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void SqrInPlaceF64(benchmark::State& state, int set, int64_t n, int off) {
  PlacedArray<double> data(n, off);  // ones stay ones, so no subnormals appear
  std::fill_n(data.data(), n, 1.0);
  for (auto _ : state) {
    if (set == kPlain) {
      double* d = data.data();
      for (int64_t i = 0; i < n; ++i) d[i] = d[i] * d[i];
    } else {
      spSqrInPlaceF64(data.data(), static_cast<int32_t>(n));
    }
    benchmark::ClobberMemory();
  }
}

void ThresholdF32(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<float> data(n, off, 0.0f);
  const float level = 0.08f;
  for (auto _ : state) {
    if (set == kPlain) {
      float* d = data.data();
      for (int64_t i = 0; i < n; ++i) d[i] = d[i] > level ? level : d[i];
    } else {
      spThresholdInPlaceF32(data.data(), static_cast<int32_t>(n), level, kSpThresholdClipAbove);
    }
    benchmark::ClobberMemory();
  }
}

void ThresholdF64(benchmark::State& state, int set, int64_t n, int off) {
  RampArray<double> data(n, off, 0.0);
  const double level = 0.08;
  for (auto _ : state) {
    if (set == kPlain) {
      double* d = data.data();
      for (int64_t i = 0; i < n; ++i) d[i] = d[i] < level ? level : d[i];
    } else {
      spThresholdInPlaceF64(data.data(), static_cast<int32_t>(n), level, 0);
    }
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterGrid("SqrF32", kMinTime, 4, SqrF32);
  RegisterGrid("SqrInPlaceF64", kMinTime, 8, SqrInPlaceF64);
  RegisterGrid("ThresholdInPlaceF32", kMinTime, 4, ThresholdF32);
  RegisterGrid("ThresholdInPlaceF64", kMinTime, 8, ThresholdF64);
  return RunBenchmarks(argc, argv, false);
}
