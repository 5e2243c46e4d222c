#include "Vantrel/frontend/FftCorrelator.h"

#include <cmath>
#include <cstring>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibPrim.h"
#include "Mathlib/MathlibRealFft.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/PowerOfTwo.h"

CFftCorrelator::CFftCorrelator() : m_mathlib(MathlibInit()) {}

CFftCorrelator::~CFftCorrelator() {
  FreeBuffers();
  if (m_mathlib != nullptr) MathlibFree(&m_mathlib);
}

void CFftCorrelator::FreeBuffers() {
  FreeArray(m_specX);
  FreeArray(m_specY);
}

int CFftCorrelator::SetLength(uint32_t length) {
  m_order = int32_t(BitCount(length)) - 1;
  m_length = length;
  FreeBuffers();
  const size_t spectrum = size_t(length) + 2;
  m_specX = AllocateZeroedOrExit<double>(spectrum);
  m_specY = AllocateZeroedOrExit<double>(spectrum);
  return 1;
}

namespace {

constexpr double kMaxNormalisedCorrelation = 1.001;

using DoublePair = double __attribute__((vector_size(16)));

DoublePair LoadPair(const double* p) {
  DoublePair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// product = conj(x) * y over `bins` interleaved complex values, in one pass
// that leaves the product in the cache for the inverse. Rounded as the
// complex multiply rounds the conjugate (c = -x.im): each product, then
// re = x.re y.re - c y.im and im = x.re y.im + c y.re; negating a rounded
// product and adding it is subtracting it, exactly.
void MulConjugate(const double* x, const double* y, double* product, int32_t bins) {
  const DoublePair signs = {-1.0, 1.0};
  for (int32_t k = 0; k < 2 * bins; k += 2) {
    const DoublePair xv = LoadPair(x + k), yv = LoadPair(y + k);
    const double c = -xv[1];
    const DoublePair direct = DoublePair{xv[0], xv[0]} * yv;                 // x.re y.re, x.re y.im
    const DoublePair crossed = DoublePair{c, c} * DoublePair{yv[1], yv[0]};  // c y.im, c y.re
    const DoublePair sum = direct + crossed * signs;
    std::memcpy(product + k, &sum, sizeof sum);
  }
}

}  // namespace

void CFftCorrelator::Correlate(const double* x, const double* y, float* out, double xEnergy, const double* yEnergy,
                               uint32_t length) {
  if (length != m_length || m_specY == nullptr) SetLength(length);
  double* const product = m_specX;
  double* const corr = m_specY;
  const int32_t bins = int32_t(length / 2 + 1);
  duvuvRealFftFwdPairF64(m_mathlib, x, m_specX, y, m_specY, m_order);
  MulConjugate(m_specX, m_specY, product, bins);
  // The product is not read again, so the inverse needs no copy of it.
  duvuvRealFftInvF64(m_mathlib, product, corr, m_order, 2);
  if (yEnergy == nullptr) {
    for (uint32_t k = 0; k < length; ++k) out[k] = float(corr[k]);
    return;
  }
  // A zero energy makes the quotient infinite or NaN, which the bound
  // turns into 0 like any other lag without a meaning. A normalised
  // correlation lies within +-1; beyond it (with room for rounding) the
  // sums lost their precision to a sample far beyond full scale.
  auto bounded = [](double r) { return std::fabs(r) <= kMaxNormalisedCorrelation ? float(r) : 0.0f; };
  // Two lags per division: the divider is what the pass waits on.
  uint32_t k = 0;
  for (; k + 2 <= length; k += 2) {
    const DoublePair root = {std::sqrt(xEnergy * yEnergy[k]), std::sqrt(xEnergy * yEnergy[k + 1])};
    const DoublePair r = LoadPair(corr + k) / root;
    out[k] = bounded(r[0]);
    out[k + 1] = bounded(r[1]);
  }
  for (; k < length; ++k) out[k] = bounded(corr[k] / std::sqrt(xEnergy * yEnergy[k]));
}
