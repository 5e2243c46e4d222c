// Single-precision real FFT per variant set, forward and inverse, beside a
// plain recursive radix-2 complex FFT of the same N real values compiled at
// -O3 (what a user's own transform would be) and the SSE2-only FFTW
// yardstick's single-precision real-to-complex and complex-to-real
// transforms planned with FFTW_MEASURE (bench/fftw_sse2_only.h), in ns per
// transform. Orders 4
// to 24 in every set (above complex order 10, 10, 15, 16, 17 the large-size
// path), the math layer's calls on a handle (default set, what the front
// end's correlators run), and the spec build at orders 20 and 24.
#include <cmath>
#include <complex>
#include <numbers>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFft.h"
#include "bench_support.h"
#include "primitives/fft/sp_real_fft.h"

#include "fftw_sse2_only.h"
#ifdef BENCH_FFTW_SSE2_YARDSTICK
#include <fftw3.h>
#endif

namespace {
using namespace bench;

constexpr int kFirstOrder = 4, kLastOrder = 24;

// Decimation in time with one precomputed twiddle table; out is the N-point
// spectrum of in (stride apart).
void PlainFft(const std::complex<float>* in, std::complex<float>* out, int64_t n, int64_t stride,
              const std::complex<float>* twiddles, int64_t tableStride) {
  if (n == 1) {
    out[0] = in[0];
    return;
  }
  const int64_t half = n / 2;
  PlainFft(in, out, half, 2 * stride, twiddles, 2 * tableStride);
  PlainFft(in + stride, out + half, half, 2 * stride, twiddles, 2 * tableStride);
  for (int64_t k = 0; k < half; ++k) {
    const std::complex<float> a = out[k], b = out[k + half] * twiddles[k * tableStride];
    out[k] = a + b;
    out[k + half] = a - b;
  }
}

void PlainForward(benchmark::State& state, int order) {
  const int64_t n = int64_t{1} << order;
  std::vector<std::complex<float>> twiddles(n / 2), in(n), out(n);
  for (int64_t k = 0; k < n / 2; ++k) twiddles[k] = std::polar(1.0f, static_cast<float>(-2 * std::numbers::pi * k / n));
  const auto x = Uniform<float>(n, -1.0f, 1.0f);
  for (int64_t t = 0; t < n; ++t) in[t] = x[t];
  for (auto _ : state) {
    PlainFft(in.data(), out.data(), n, 1, twiddles.data(), 1);
    benchmark::ClobberMemory();
  }
  state.SetLabel("plain radix-2 -O3");
}

void RealFft(benchmark::State& state, int set, int order, bool inverse) {
  SetScope scope(state, set, "");
  if (!scope.ok()) return;
  const int64_t n = int64_t{1} << order;
  REALFFTSPEC* spec = nullptr;
  if (spRealFftInitF32(&spec, order, REALFFT_DIV_INV_BY_N, 0) != spOk) {
    state.SkipWithError("spec build failed");
    return;
  }
  const auto x = Uniform<float>(n + 2, -1.0f, 1.0f);
  std::vector<float> dst(n + 2);
  std::vector<uint8_t> work(spec->workBytes + 16);
  for (auto _ : state) {
    if (inverse)
      spRealFftInvF32(x.data(), dst.data(), spec, work.data());
    else
      spRealFftFwdF32(x.data(), dst.data(), spec, work.data());
    benchmark::ClobberMemory();
  }
  spRealFftFreeF32(spec);
}

// Through a handle's cached spec, flags as the correlators use them.
void MathLayer(benchmark::State& state, int order, bool inverse) {
  MathlibHandle* handle = MathlibInit();
  const int64_t n = int64_t{1} << order;
  const auto x = Uniform<float>(n + 2, -1.0f, 1.0f);
  std::vector<float> dst(n + 2);
  for (auto _ : state) {
    if (inverse)
      duvuvRealFftInvF32(handle, x.data(), dst.data(), order, 2);
    else
      duvuvRealFftFwdF32(handle, x.data(), dst.data(), order, 1);
    benchmark::ClobberMemory();
  }
  MathlibFree(&handle);
}

void SpecBuild(benchmark::State& state, int set, int order) {
  SetScope scope(state, set, "");
  if (!scope.ok()) return;
  for (auto _ : state) {
    REALFFTSPEC* spec = nullptr;
    if (spRealFftInitF32(&spec, order, REALFFT_DIV_INV_BY_N, 0) != spOk) {
      state.SkipWithError("spec build failed");
      return;
    }
    spRealFftFreeF32(spec);
  }
}

#ifdef BENCH_FFTW_SSE2_YARDSTICK
void Fftwf(benchmark::State& state, int order, bool inverse) {
  const int n = 1 << order;
  float* real = fftwf_alloc_real(n);
  fftwf_complex* spectrum = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = inverse ? fftwf_plan_dft_c2r_1d(n, spectrum, real, FFTW_MEASURE)
                            : fftwf_plan_dft_r2c_1d(n, real, spectrum, FFTW_MEASURE);
  const auto x = Uniform<float>(n + 2, -1.0f, 1.0f);
  for (auto _ : state) {
    // c2r overwrites its input: refill it each time, as r2c's input is kept.
    if (inverse)
      std::copy(x.begin(), x.end(), &spectrum[0][0]);
    else if (state.iterations() == 0)
      std::copy(x.begin(), x.begin() + n, real);
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  state.SetLabel(kYardstickLabel);
  fftwf_destroy_plan(plan);
  fftwf_free(spectrum);
  fftwf_free(real);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef BENCH_FFTW_SSE2_YARDSTICK
  RequireSse2Yardstick(fftwf_version);
#endif
  for (int order = kFirstOrder; order <= kLastOrder; ++order) {
    // Appended, not "/" + ...: g++ 12 at -O3 warns falsely of an overlapping copy.
    const std::string size = std::string("/").append(std::to_string(order));
    benchmark::RegisterBenchmark(("RealFftFwdF32/plain-O3" + size).c_str(), PlainForward, order)->MinTime(0.02);
#ifdef BENCH_FFTW_SSE2_YARDSTICK
    benchmark::RegisterBenchmark(("RealFftFwdF32/fftw" + size).c_str(), Fftwf, order, false)->MinTime(0.02);
    benchmark::RegisterBenchmark(("RealFftInvF32/fftw" + size).c_str(), Fftwf, order, true)->MinTime(0.02);
#endif
    benchmark::RegisterBenchmark(("RealFftFwdF32/mathlib" + size).c_str(), MathLayer, order, false)->MinTime(0.02);
    benchmark::RegisterBenchmark(("RealFftInvF32/mathlib" + size).c_str(), MathLayer, order, true)->MinTime(0.02);
    for (int set = 0; set < 5; ++set) {
      const std::string name = std::string("/") + spVariantSetName(set) + size;
      benchmark::RegisterBenchmark(("RealFftFwdF32" + name).c_str(), RealFft, set, order, false)->MinTime(0.02);
      benchmark::RegisterBenchmark(("RealFftInvF32" + name).c_str(), RealFft, set, order, true)->MinTime(0.02);
    }
  }
  for (int order : {20, 24})
    for (int set = 0; set < 5; ++set)
      benchmark::RegisterBenchmark(
          ("RealFftInitF32/" + std::string(spVariantSetName(set)) + "/" + std::to_string(order)).c_str(), SpecBuild,
          set, order)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.02);
  return YardstickStatus(RunBenchmarks(argc, argv, true));
}
