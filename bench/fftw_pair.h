// Two real signals of n points, their half spectra, and the plans that take
// both forward and the second spectrum back into the second signal: the
// FFTW side of the benchmarks' reference correlations.
#pragma once

#include <fftw3.h>

#include <cstddef>
#include <cstdint>

class FftwPair {
 public:
  FftwPair(int64_t n, unsigned planFlags)
      : n(n),
        x(fftw_alloc_real(size_t(n))),
        y(fftw_alloc_real(size_t(n))),
        fx(fftw_alloc_complex(size_t(n / 2 + 1))),
        fy(fftw_alloc_complex(size_t(n / 2 + 1))),
        m_forwardX(fftw_plan_dft_r2c_1d(int(n), x, fx, planFlags)),
        m_forwardY(fftw_plan_dft_r2c_1d(int(n), y, fy, planFlags)),
        m_inverseY(fftw_plan_dft_c2r_1d(int(n), fy, y, planFlags)) {}
  ~FftwPair() {
    fftw_destroy_plan(m_forwardX);
    fftw_destroy_plan(m_forwardY);
    fftw_destroy_plan(m_inverseY);
    fftw_free(x);
    fftw_free(y);
    fftw_free(fx);
    fftw_free(fy);
  }
  FftwPair(const FftwPair&) = delete;
  FftwPair& operator=(const FftwPair&) = delete;

  void Forward() {
    fftw_execute(m_forwardX);
    fftw_execute(m_forwardY);
  }
  // fy (as the caller left it) back into y, unscaled.
  void InverseY() { fftw_execute(m_inverseY); }

  const int64_t n;
  double* const x;
  double* const y;
  fftw_complex* const fx;
  fftw_complex* const fy;

 private:
  fftw_plan m_forwardX, m_forwardY, m_inverseY;
};
