// Circular cross-correlation of a block against a window of the same
// power-of-two length N with real FFTs through the math layer, optionally
// normalised into correlation coefficients. Each block correlator owns one.
#pragma once

#include <cstdint>
#include "Vantrel/frontend/FrontEndInternal.h"

struct MathlibHandle;

class FRONT_END_INTERNAL CFftCorrelator {
 public:
  CFftCorrelator();
  ~CFftCorrelator();
  CFftCorrelator(const CFftCorrelator&) = delete;
  CFftCorrelator& operator=(const CFftCorrelator&) = delete;

  // N a power of two; the buffers are sized for it. Returns 1.
  int SetLength(uint32_t length);
  // out[k] = sum_j x[j] y[(j + k) mod N], divided by sqrt(xEnergy * yEnergy[k])
  // when yEnergy is given (0 where either energy is 0).
  void Correlate(const double* x, const double* y, float* out, double xEnergy, const double* yEnergy, uint32_t length);

 private:
  void FreeBuffers();

  // Packed half spectra, N + 2 doubles. Each is read once: the product
  // takes the block's place and the correlation the window's, which halves
  // what a call touches.
  double* m_specX = nullptr;
  double* m_specY = nullptr;
  int32_t m_order = 0;
  uint32_t m_length = 0;
  MathlibHandle* m_mathlib = nullptr;
};
