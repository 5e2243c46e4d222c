// Copy, zero and fill of every variant set against memcpy and memset, from
// 64 B to 64 MiB, with the destination aligned or 4 bytes off. Each case runs
// briefly so the default run stays short; pass --benchmark_min_time for more.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_support.h"
#include "primitives/frame/sp_memory.h"

namespace {
constexpr int64_t kMaxBytes = int64_t{64} << 20;
constexpr double kMinTime = 0.02;

// Two aligned buffers large enough for the biggest case plus an offset.
struct Buffers {
  float* src = spAlignedAllocF32(static_cast<int32_t>(kMaxBytes / 4 + 16));
  float* dst = spAlignedAllocF32(static_cast<int32_t>(kMaxBytes / 4 + 16));
  Buffers() {
    std::memset(src, 1, kMaxBytes + 64);
    std::memset(dst, 0, kMaxBytes + 64);
  }
  ~Buffers() {
    spAlignedFree(src);
    spAlignedFree(dst);
  }
};
Buffers& Shared() {
  static Buffers buffers;
  return buffers;
}

enum class Op { kCopy, kZero, kFill };

// set bench::kPlain is the C library (memcpy / memset) or a plain loop.
void Run(benchmark::State& state, Op op, int set, bool misaligned) {
  bench::SetScope scope(state, set);
  if (!scope.ok()) return;
  const int64_t bytes = state.range(0);
  const int32_t n = static_cast<int32_t>(bytes / 4);
  float* src = Shared().src + (misaligned ? 1 : 0);
  float* dst = Shared().dst + (misaligned ? 1 : 0);
  for (auto _ : state) {
    switch (op) {
      case Op::kCopy:
        if (set == bench::kPlain)
          std::memcpy(dst, src, bytes);
        else
          spCopyF32(src, dst, n);
        break;
      case Op::kZero:
        if (set == bench::kPlain)
          std::memset(dst, 0, bytes);
        else
          spZeroF32(dst, n);
        break;
      case Op::kFill:
        if (set == bench::kPlain) {
          for (int32_t i = 0; i < n; ++i) dst[i] = 1.5f;  // plain -O3 loop
        } else {
          spSetF32(1.5f, dst, n);
        }
        break;
    }
    benchmark::DoNotOptimize(dst);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void Register() {
  const char* const ops[] = {"copy", "zero", "fill"};
  for (int o = 0; o < 3; ++o)
    for (int s = bench::kPlain; s < 5; ++s)
      for (bool misaligned : {false, true}) {
        const char* const setName = s == bench::kPlain ? "libc" : spVariantSetName(s);
        const std::string name = std::string(ops[o]) + "/" + setName + (misaligned ? "/dst+4" : "/aligned");
        benchmark::RegisterBenchmark(
            name.c_str(), [o, s, misaligned](benchmark::State& st) { Run(st, static_cast<Op>(o), s, misaligned); })
            ->RangeMultiplier(16)
            ->Range(64, kMaxBytes)
            ->MinTime(kMinTime);
      }
}
}  // namespace

int main(int argc, char** argv) {
  Register();
  return bench::RunBenchmarks(argc, argv, false);
}
