// Inverse with threshold per variant set beside a plain -O3 loop of the same
// rule, at threshold 0 and at a positive threshold. Items per second count
// elements; the array is refreshed from a copy each round (counted in).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "bench_support.h"
#include "primitives/vector/sp_elementary.h"

namespace {

using namespace bench;

template <class Body>
void WithArray(benchmark::State& state, Body&& body) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::vector<float> src = Uniform<float>(n, 0.01f, 100.0f);
  std::vector<float> work(n);
  for (auto _ : state) {
    std::memcpy(work.data(), src.data(), n * sizeof(float));
    body(work.data(), static_cast<int32_t>(n));
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  CountItems(state);
}

void PlainLoop(float* p, int32_t n, float threshold) {
  const float r = 1.0f / threshold;
  for (int32_t i = 0; i < n; ++i) {
    const float x = p[i];
    p[i] = std::fabs(x) <= threshold ? (x < 0.0f ? -r : r) : 1.0f / x;
  }
}

void RegisterAll() {
  for (float threshold : {0.0f, 0.5f}) {
    const std::string suffix = threshold == 0.0f ? "Zero" : "Positive";
    RegisterPerSet("spInvThreshInPlaceF32" + suffix, [threshold](benchmark::State& s) {
      WithArray(s, [threshold](float* p, int32_t n) { spInvThreshInPlaceF32(p, n, threshold); });
    });
    Register("plainLoopInvThresh" + suffix, [threshold](benchmark::State& s) {
      WithArray(s, [threshold](float* p, int32_t n) {
        if (threshold == 0.0f) {
          for (int32_t i = 0; i < n; ++i) p[i] = 1.0f / p[i];
        } else {
          PlainLoop(p, n, threshold);
        }
      });
    });
  }
  Register("copyOnly", [](benchmark::State& s) { WithArray(s, [](float*, int32_t) {}); });
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return RunBenchmarks(argc, argv, false);
}
