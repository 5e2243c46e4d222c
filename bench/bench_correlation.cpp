// Cross-correlation (whole sequence of a x b samples) and autocorrelation
// (every lag of n samples) per variant set, beside a correlation through
// the SSE2-only FFTW yardstick's double real transforms computed here when
// the build has it (bench/fftw_sse2_only.h), else beside a plain -O3
// radix-2 FFT correlation. The
// full sizes (4,096 x 65,536 and 65,536) run transforms of order 17; a
// failing call reports its status instead of a time.
#include <cmath>
#include <complex>
#include <numbers>
#include <string>

#include "bench_support.h"
#include "primitives/correlation/sp_correlation.h"

#ifdef BENCH_FFTW_SSE2_YARDSTICK
#include "fftw_pair.h"
#include "fftw_sse2_only.h"
#endif

namespace {
using namespace bench;

struct CrossSize {
  int32_t aLen, bLen;
};
const CrossSize kCrossSizes[] = {{256, 512}, {4096, 65536}};
const int32_t kAutoSizes[] = {512, 1000, 65536};

int32_t OrderHolding(int64_t points) {
  int32_t order = 1;
  while ((int64_t{1} << order) < points) ++order;
  return order;
}

#ifdef BENCH_FFTW_SSE2_YARDSTICK
// r = IFFT(FFT(b padded after aLen - 1 zeros) * conj(FFT(a padded))) / N.
class Reference {
 public:
  explicit Reference(int64_t n) : m_pair(n, FFTW_MEASURE) {}
  template <class T>
  void Correlate(const T* a, int64_t aLen, const T* b, int64_t bLen, T* out) {
    FftwPair& p = m_pair;
    for (int64_t i = 0; i < p.n; ++i) p.x[i] = i < aLen ? a[i] : 0.0;
    for (int64_t i = 0; i < p.n; ++i) p.y[i] = i >= aLen - 1 && i < aLen - 1 + bLen ? b[i - (aLen - 1)] : 0.0;
    p.Forward();
    for (int64_t k = 0; k <= p.n / 2; ++k) {
      const double xr = p.fx[k][0], xi = p.fx[k][1], yr = p.fy[k][0], yi = p.fy[k][1];
      p.fy[k][0] = yr * xr + yi * xi;
      p.fy[k][1] = yi * xr - yr * xi;
    }
    p.InverseY();
    const double scale = 1.0 / double(p.n);
    for (int64_t i = 0; i < aLen + bLen - 1; ++i) out[i] = static_cast<T>(p.y[i] * scale);
  }
  static const char* Label() { return "FFTW 3.3.10 sse2-only double r2c/c2r"; }

 private:
  FftwPair m_pair;
};
#else
// The same through a plain recursive radix-2 complex FFT at -O3.
class Reference {
 public:
  explicit Reference(int64_t n) : n_(n), twiddles_(n / 2), x_(n), y_(n), fx_(n), fy_(n) {
    for (int64_t k = 0; k < n / 2; ++k) twiddles_[k] = std::polar(1.0, -2 * std::numbers::pi * k / n);
  }
  template <class T>
  void Correlate(const T* a, int64_t aLen, const T* b, int64_t bLen, T* out) {
    for (int64_t i = 0; i < n_; ++i) x_[i] = i < aLen ? a[i] : 0.0;
    for (int64_t i = 0; i < n_; ++i) y_[i] = i >= aLen - 1 && i < aLen - 1 + bLen ? b[i - (aLen - 1)] : 0.0;
    Fft(x_.data(), fx_.data(), n_, 1, 1);
    Fft(y_.data(), fy_.data(), n_, 1, 1);
    for (int64_t k = 0; k < n_; ++k) x_[k] = std::conj(fy_[k] * std::conj(fx_[k]));
    Fft(x_.data(), y_.data(), n_, 1, 1);  // conj(FFT(conj z)) = N IFFT(z)
    const double scale = 1.0 / n_;
    for (int64_t i = 0; i < aLen + bLen - 1; ++i) out[i] = static_cast<T>(y_[i].real() * scale);
  }
  static const char* Label() { return "plain radix-2 -O3"; }

 private:
  void Fft(const std::complex<double>* in, std::complex<double>* out, int64_t n, int64_t stride, int64_t step) {
    if (n == 1) {
      out[0] = in[0];
      return;
    }
    const int64_t half = n / 2;
    Fft(in, out, half, 2 * stride, 2 * step);
    Fft(in + stride, out + half, half, 2 * stride, 2 * step);
    for (int64_t k = 0; k < half; ++k) {
      const std::complex<double> p = out[k], q = out[k + half] * twiddles_[k * step];
      out[k] = p + q;
      out[k + half] = p - q;
    }
  }
  int64_t n_;
  std::vector<std::complex<double>> twiddles_, x_, y_, fx_, fy_;
};
#endif

template <class T>
spStatus CrossCorr(const T* a, int32_t aLen, const T* b, int32_t bLen, T* dst) {
  const int32_t whole = aLen + bLen - 1;
  if constexpr (sizeof(T) == sizeof(double))
    return spCrossCorrF64(a, aLen, b, bLen, dst, whole, 1 - aLen);
  else
    return spCrossCorrF32(a, aLen, b, bLen, dst, whole, 1 - aLen);
}

template <class T>
void Cross(benchmark::State& state, int set, CrossSize size) {
  SetScope scope(state, set, Reference::Label());
  if (!scope.ok()) return;
  const auto a = Uniform<T>(size.aLen, T(-1), T(1), 1);
  const auto b = Uniform<T>(size.bLen, T(-1), T(1), 2);
  std::vector<T> dst(size.aLen + size.bLen - 1);
  if (set == kPlain) {
    Reference reference(int64_t{1} << OrderHolding(dst.size()));
    for (auto _ : state) {
      reference.Correlate(a.data(), size.aLen, b.data(), size.bLen, dst.data());
      benchmark::ClobberMemory();
    }
    return;
  }
  for (auto _ : state) {
    const spStatus status = CrossCorr(a.data(), size.aLen, b.data(), size.bLen, dst.data());
    if (status != spOk) {
      state.SkipWithError(("status " + std::to_string(status)).c_str());
      return;
    }
    benchmark::ClobberMemory();
  }
}

void Auto(benchmark::State& state, int set, int32_t n) {
  SetScope scope(state, set, Reference::Label());
  if (!scope.ok()) return;
  const auto src = Uniform<float>(n, -1.0f, 1.0f, 3);
  std::vector<float> dst(2 * n - 1);
  if (set == kPlain) {
    Reference reference(int64_t{1} << OrderHolding(2 * int64_t{n}));
    for (auto _ : state) {
      reference.Correlate(src.data(), n, src.data(), n, dst.data());
      benchmark::ClobberMemory();
    }
    return;
  }
  for (auto _ : state) {
    const spStatus status = spAutoCorrBiasedF32(src.data(), n, dst.data(), n);
    if (status != spOk) {
      state.SkipWithError(("status " + std::to_string(status)).c_str());
      return;
    }
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef BENCH_FFTW_SSE2_YARDSTICK
  RequireSse2Yardstick(fftw_version);
#endif
  constexpr double kMinTime = 0.05;
  for (const CrossSize& size : kCrossSizes) {
    std::string dims = "/";
    dims += std::to_string(size.aLen);
    dims += 'x';
    dims += std::to_string(size.bLen);
    for (int set = kPlain; set < 5; ++set) {
      const std::string name = (set == kPlain ? std::string("reference") : spVariantSetName(set)) + dims;
      benchmark::RegisterBenchmark(("CrossCorrF64/" + name).c_str(), Cross<double>, set, size)->MinTime(kMinTime);
      benchmark::RegisterBenchmark(("CrossCorrF32/" + name).c_str(), Cross<float>, set, size)->MinTime(kMinTime);
    }
  }
  for (int32_t n : kAutoSizes) {
    for (int set = kPlain; set < 5; ++set) {
      const std::string name =
          (set == kPlain ? std::string("reference") : spVariantSetName(set)) + "/" + std::to_string(n);
      benchmark::RegisterBenchmark(("AutoCorrBiasedF32/" + name).c_str(), Auto, set, n)->MinTime(kMinTime);
    }
  }
  return RunBenchmarks(argc, argv, true);
}
