// Double-precision real FFT per variant set, forward and inverse, in ns per
// transform, orders 4 to 24 (the large-size path from order 11, 15 or 16
// by set), beside the SSE2-only FFTW yardstick's double real-to-complex and
// complex-to-real transforms planned with FFTW_MEASURE (bench/fftw_sse2_only.h).
#include <string>

#include "bench_support.h"
#include "primitives/fft/sp_real_fft_f64.h"

#include "fftw_sse2_only.h"
#ifdef BENCH_FFTW_SSE2_YARDSTICK
#include <fftw3.h>
#endif

namespace {
using namespace bench;

constexpr int kFirstOrder = 4, kLastOrder = 24;

void RealFft(benchmark::State& state, int set, int order, bool inverse) {
  SetScope scope(state, set, "");
  if (!scope.ok()) return;
  const int64_t n = int64_t{1} << order;
  REALFFTSPEC* spec = nullptr;
  if (spRealFftInitF64(&spec, order, REALFFT_DIV_INV_BY_N, 0) != spOk) {
    state.SkipWithError("spec build failed");
    return;
  }
  const auto x = Uniform<double>(n + 2, -1.0, 1.0);
  std::vector<double> dst(n + 2);
  std::vector<uint8_t> work(spec->workBytes + 16);
  for (auto _ : state) {
    if (inverse)
      spRealFftInvF64(x.data(), dst.data(), spec, work.data());
    else
      spRealFftFwdF64(x.data(), dst.data(), spec, work.data());
    benchmark::ClobberMemory();
  }
  spRealFftFreeF64(spec);
}

#ifdef BENCH_FFTW_SSE2_YARDSTICK
void Fftw(benchmark::State& state, int order, bool inverse) {
  const int n = 1 << order;
  double* real = fftw_alloc_real(n);
  fftw_complex* spectrum = fftw_alloc_complex(n / 2 + 1);
  fftw_plan plan = inverse ? fftw_plan_dft_c2r_1d(n, spectrum, real, FFTW_MEASURE)
                           : fftw_plan_dft_r2c_1d(n, real, spectrum, FFTW_MEASURE);
  const auto x = Uniform<double>(n + 2, -1.0, 1.0);
  for (auto _ : state) {
    // c2r overwrites its input: refill it each time, as r2c's input is kept.
    if (inverse)
      std::copy(x.begin(), x.end(), &spectrum[0][0]);
    else if (state.iterations() == 0)
      std::copy(x.begin(), x.begin() + n, real);
    fftw_execute(plan);
    benchmark::ClobberMemory();
  }
  state.SetLabel(kYardstickLabel);
  fftw_destroy_plan(plan);
  fftw_free(spectrum);
  fftw_free(real);
}
#endif

std::string CaseName(const char* transform, const char* who, int order) {
  std::string name = transform;
  name += '/';
  name += who;
  name += '/';
  name += std::to_string(order);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef BENCH_FFTW_SSE2_YARDSTICK
  RequireSse2Yardstick(fftw_version);
#endif
  for (int order = kFirstOrder; order <= kLastOrder; ++order) {
#ifdef BENCH_FFTW_SSE2_YARDSTICK
    benchmark::RegisterBenchmark(CaseName("RealFftFwdF64", "fftw", order).c_str(), Fftw, order, false)->MinTime(0.02);
    benchmark::RegisterBenchmark(CaseName("RealFftInvF64", "fftw", order).c_str(), Fftw, order, true)->MinTime(0.02);
#endif
    for (int set = 0; set < 5; ++set) {
      const char* who = spVariantSetName(set);
      benchmark::RegisterBenchmark(CaseName("RealFftFwdF64", who, order).c_str(), RealFft, set, order, false)
          ->MinTime(0.02);
      benchmark::RegisterBenchmark(CaseName("RealFftInvF64", who, order).c_str(), RealFft, set, order, true)
          ->MinTime(0.02);
    }
  }
  return YardstickStatus(RunBenchmarks(argc, argv, true));
}
