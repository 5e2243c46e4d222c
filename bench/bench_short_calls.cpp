// Short calls: the sum (accurate mode), the float dot product, the int16 to
// float conversion, the float add and multiply, the split of interleaved
// complex floats and the float zero fill of the running set beside
// the same loops compiled -O3 -mssse3 and -O2 -mssse3 (plain_short_loops.cpp),
// at n = 16 to 16384 on 64-byte aligned arrays at fixed places. Every
// implementation is called through a function pointer in a local, from the
// program into a shared library (the plain loops are built as one of their
// own), so each pays the same call.
//
// With VANTREL_BASELINE_LIB naming another build's libvantrel_all_symbols.so
// (libvantrel.so exports the primitives, but not spForceVariantSet and
// spVariantSetSupported, which force the baseline's set), its primitives join
// as "baseline" (loaded privately, its set forced the same), so that two
// builds compare in one run. A short call's time moves by whole
// cycles with where the objects were loaded, so for steady figures fix the
// addresses, pin the core, interleave repetitions and read the minimum:
//   setarch -R taskset -c 3 bench_short_calls --benchmark_enable_random_interleaving=true
//     --benchmark_repetitions=60 --benchmark_min_time=0.005
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "plain_short_loops.h"
#include "primitives/frame/sp_memory.h"
#include "primitives/vector/sp_arith.h"
#include "primitives/vector/sp_complex.h"
#include "primitives/vector/sp_convert.h"
#include "primitives/vector/sp_dot.h"
#include "primitives/vector/sp_sum.h"

namespace {

// Every case reads and writes the same fixed places: arrays k = 0, 1, 2 of
// one static arena, 64-byte aligned and 1 KiB apart modulo 4 KiB, so no
// implementation is favoured by where its arrays happened to be allocated
// (a load that shares its address bits below 4 KiB with an earlier store
// can wait for it).
constexpr int64_t kArenaStride = (int64_t{1} << 18) + 1024;
alignas(4096) unsigned char gArena[3 * kArenaStride];

template <class T>
T* Place(int k) {
  return reinterpret_cast<T*>(gArena + k * kArenaStride);
}
// Values in [-1, 1) from a fixed generator, the same for every case.
float* RandomFloats(int k, int64_t n) {
  float* p = Place<float>(k);
  uint32_t state = 2463534242u + static_cast<uint32_t>(k);
  for (int64_t i = 0; i < n; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    p[i] = static_cast<float>(-1.0 + 2.0 * (state * 0x1p-32));
  }
  return p;
}

using SumFn = float (*)(const float*, int32_t);
using DotFn = float (*)(const float*, const float*, int32_t);
using ConvFn = void (*)(const int16_t*, float*, int32_t);
using BinaryFn = void (*)(const float*, const float*, float*, int32_t);
using SplitFn = void (*)(const float*, float*, float*, int32_t);
using ZeroFn = void (*)(float*, int32_t);

// The primitives' signatures, as a loaded library exports them.
using SpSumF32 = spStatus (*)(const float*, int32_t, float*, int32_t);
using SpDotF32 = spStatus (*)(const float*, const float*, int32_t, float*);
using SpConvI16ToF32 = spStatus (*)(const int16_t*, float*, int32_t);
using SpBinaryF32 = spStatus (*)(const float*, const float*, float*, int32_t);
using SpSplitC32 = spStatus (*)(const float*, float*, float*, int32_t);
using SpZeroF32 = spStatus (*)(float*, int32_t);

struct Primitives {
  SpSumF32 sum;
  SpDotF32 dot;
  SpConvI16ToF32 conv;
  SpBinaryF32 add;
  SpBinaryF32 mul;
  SpSplitC32 split;
  SpZeroF32 zero;
};

struct PlainLoops {
  SumFn sum;
  DotFn dot;
  ConvFn conv;
  BinaryFn add;
  BinaryFn mul;
  SplitFn split;
  ZeroFn zero;
};

// One implementation: a library's primitives or a set of plain loops. Either
// way one indirect call per timed call.
struct Implementation {
  std::string name;
  const Primitives* library;  // null for plain loops
  PlainLoops plain;
};

Primitives gBaseline;

// The highest set the processor runs, by a library's own test.
int32_t BestSet(bool (*supported)(int32_t)) {
  int32_t best = 0;
  while (best + 1 < kSpVariantSetCount && supported(best + 1)) ++best;
  return best;
}

// The baseline library under its own symbol scope, its best set forced.
bool LoadBaseline(const char* path) {
  void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  if (lib == nullptr) {
    std::fprintf(stderr, "baseline: %s\n", dlerror());
    return false;
  }
  const auto find = [lib](const char* mangled) { return dlsym(lib, mangled); };
  auto* force = reinterpret_cast<int32_t (*)(int32_t)>(find("_Z17spForceVariantSeti"));
  auto* supported = reinterpret_cast<bool (*)(int32_t)>(find("_Z21spVariantSetSupportedi"));
  gBaseline = {reinterpret_cast<SpSumF32>(find("_Z8spSumF32PKfiPfi")),
               reinterpret_cast<SpDotF32>(find("_Z8spDotF32PKfS0_iPf")),
               reinterpret_cast<SpConvI16ToF32>(find("_Z14spConvI16ToF32PKsPfi")),
               reinterpret_cast<SpBinaryF32>(find("_Z8spAddF32PKfS0_Pfi")),
               reinterpret_cast<SpBinaryF32>(find("_Z8spMulF32PKfS0_Pfi")),
               reinterpret_cast<SpSplitC32>(find("_Z17spSplitComplexC32PKfPfS1_i")),
               reinterpret_cast<SpZeroF32>(find("_Z9spZeroF32Pfi"))};
  const Primitives& p = gBaseline;
  if (!force || !supported || !p.sum || !p.dot || !p.conv || !p.add || !p.mul || !p.split || !p.zero) {
    std::fprintf(stderr, "baseline: a primitive is missing from %s\n", path);
    return false;
  }
  force(BestSet(supported));
  return true;
}

const std::vector<int64_t> kSizes = {16, 64, 256, 1024, 16384};

// One implementation at one size.
struct Case {
  const Primitives* library;  // null for plain loops
  PlainLoops plain;
  int64_t n;
  int32_t len;
};

void TimeSum(benchmark::State& state, const Case& c) {
  const float* x = RandomFloats(0, c.n);
  float s;
  if (c.library != nullptr) {
    const SpSumF32 f = c.library->sum;
    for (auto _ : state) {
      f(x, c.len, &s, 0);
      benchmark::DoNotOptimize(s);
    }
  } else {
    for (auto _ : state) benchmark::DoNotOptimize(c.plain.sum(x, c.len));
  }
}

void TimeDot(benchmark::State& state, const Case& c) {
  const float* a = RandomFloats(0, c.n);
  const float* b = RandomFloats(1, c.n);
  float s;
  if (c.library != nullptr) {
    const SpDotF32 f = c.library->dot;
    for (auto _ : state) {
      f(a, b, c.len, &s);
      benchmark::DoNotOptimize(s);
    }
  } else {
    for (auto _ : state) benchmark::DoNotOptimize(c.plain.dot(a, b, c.len));
  }
}

void TimeConv(benchmark::State& state, const Case& c) {
  int16_t* src = Place<int16_t>(0);
  float* dst = Place<float>(1);
  for (int64_t i = 0; i < c.n; ++i) src[i] = static_cast<int16_t>(i * 7919);
  if (c.library != nullptr) {
    const SpConvI16ToF32 f = c.library->conv;
    for (auto _ : state) {
      f(src, dst, c.len);
      benchmark::ClobberMemory();
    }
  } else {
    for (auto _ : state) {
      c.plain.conv(src, dst, c.len);
      benchmark::ClobberMemory();
    }
  }
}

// The float add, or the multiply.
void TimeBinary(benchmark::State& state, const Case& c, bool multiply) {
  const float* a = RandomFloats(0, c.n);
  const float* b = RandomFloats(1, c.n);
  float* dst = Place<float>(2);
  if (c.library != nullptr) {
    const SpBinaryF32 f = multiply ? c.library->mul : c.library->add;
    for (auto _ : state) {
      f(a, b, dst, c.len);
      benchmark::ClobberMemory();
    }
  } else {
    const BinaryFn f = multiply ? c.plain.mul : c.plain.add;
    for (auto _ : state) {
      f(a, b, dst, c.len);
      benchmark::ClobberMemory();
    }
  }
}

// The split into two arrays, one place each.
void TimeSplit(benchmark::State& state, const Case& c) {
  const float* src = RandomFloats(0, 2 * c.n);
  float* re = Place<float>(1);
  float* im = Place<float>(2);
  if (c.library != nullptr) {
    const SpSplitC32 f = c.library->split;
    for (auto _ : state) {
      f(src, re, im, c.len);
      benchmark::ClobberMemory();
    }
  } else {
    for (auto _ : state) {
      c.plain.split(src, re, im, c.len);
      benchmark::ClobberMemory();
    }
  }
}

void TimeZero(benchmark::State& state, const Case& c) {
  float* dst = Place<float>(2);
  if (c.library != nullptr) {
    const SpZeroF32 f = c.library->zero;
    for (auto _ : state) {
      f(dst, c.len);
      benchmark::ClobberMemory();
    }
  } else {
    for (auto _ : state) {
      c.plain.zero(dst, c.len);
      benchmark::ClobberMemory();
    }
  }
}

// Registers one timed case of n items under `name`.
template <class Body>
void AddCase(const std::string& name, int64_t n, Body body) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [=](benchmark::State& state) {
                                 body(state);
                                 state.SetItemsProcessed(state.iterations() * n);
                               })
      // Other work on the machine only ever adds time.
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// Every primitive at every size, as "<primitive>/<implementation>/<n>".
void Register(const Implementation& impl) {
  for (int64_t n : kSizes) {
    const Case c{impl.library, impl.plain, n, static_cast<int32_t>(n)};
    const std::string where = "/" + impl.name + "/" + std::to_string(n);
    AddCase("SumF32" + where, n, [c](benchmark::State& state) { TimeSum(state, c); });
    AddCase("DotF32" + where, n, [c](benchmark::State& state) { TimeDot(state, c); });
    AddCase("ConvI16ToF32" + where, n, [c](benchmark::State& state) { TimeConv(state, c); });
    AddCase("SplitComplexC32" + where, n, [c](benchmark::State& state) { TimeSplit(state, c); });
    AddCase("ZeroF32" + where, n, [c](benchmark::State& state) { TimeZero(state, c); });
    for (const bool multiply : {false, true})
      AddCase((multiply ? "MulF32" : "AddF32") + where, n,
              [c, multiply](benchmark::State& state) { TimeBinary(state, c, multiply); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  spForceVariantSet(BestSet(spVariantSetSupported));
  static const Primitives library = {&spSumF32, &spDotF32, &spConvI16ToF32, &spAddF32, &spMulF32, &spSplitComplexC32, &spZeroF32};
  Register({"plain-O3",
            nullptr,
            {plain_o3::SumF32, plain_o3::DotF32, plain_o3::ConvI16ToF32, plain_o3::AddF32, plain_o3::MulF32,
        plain_o3::SplitComplexC32, plain_o3::ZeroF32}});
  Register({"plain-O2",
            nullptr,
            {plain_o2::SumF32, plain_o2::DotF32, plain_o2::ConvI16ToF32, plain_o2::AddF32, plain_o2::MulF32,
        plain_o2::SplitComplexC32, plain_o2::ZeroF32}});
  Register({spVariantSetName(BestSet(spVariantSetSupported)), &library, {}});
  if (const char* baseline = std::getenv("VANTREL_BASELINE_LIB"); baseline != nullptr && *baseline != '\0') {
    if (!LoadBaseline(baseline)) return 1;
    Register({"baseline", &gBaseline, {}});
  }
  return bench::RunBenchmarks(argc, argv, true);
}
