#include "Vantrel/frontend/FftCorrelator.h"

#include <cmath>
#include <cstring>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibPrim.h"
#include "Mathlib/MathlibRealFft.h"
#include "Vantrel/frontend/FrontEndAlloc.h"
#include "Vantrel/frontend/PowerOfTwo.h"

CFftCorrelator::CFftCorrelator() : m_mathlib(MathlibInit()), m_transformHandle(m_mathlib) {}

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

// A normalised correlation lies within +-1 (with room for rounding); beyond
// it the sums lost their precision to a sample far beyond full scale. A
// zero energy makes the quotient infinite or NaN, which the bound turns
// into 0 like any other lag without a meaning.
float Bounded(double r) { return std::fabs(r) <= kMaxNormalisedCorrelation ? float(r) : 0.0f; }

// The normalised correlations of two neighbouring lags, corr[0] and
// corr[1], with the window energies e0 and e1: two lags per division, as
// the divider is what a normalising pass waits on.
inline DoublePair NormalisedPair(const double* corr, double xEnergy, double e0, double e1) {
  const DoublePair product = DoublePair{xEnergy, xEnergy} * DoublePair{e0, e1};
  const DoublePair root = {std::sqrt(product[0]), std::sqrt(product[1])};
  return LoadPair(corr) / root;
}
// A lag without energy (or with a product that underflows) has no meaning:
// 0, without dividing by zero.
inline float NormalisedOne(double corr, double xEnergy, double e) {
  const double product = xEnergy * e;
  return product > 0.0 ? Bounded(corr / std::sqrt(product)) : 0.0f;
}

// The value of lag k into the vector, the sum at entry shift + k (after
// the leaving vector's value came out) and the newest copy.
inline void PutValue(const CFftCorrelator::Lane& l, uint32_t k, int64_t shift, float value) {
  const int64_t entry = shift + k;
  if (l.replacing) {
    const float kept = l.sum[entry] - l.vector[k];
    l.sum[entry] = kept + value;
  } else {
    l.sum[entry] += value;
  }
  l.latest[entry] = value;
  l.vector[k] = value;
}

// For each lane, lags [from, from + n) of one stretch of the sums (no
// wrap inside: lag k goes to sum entry k + shift): Correlate's quotient
// with the energy of the b-long stretch at the lag of the window y, by the
// sliding recurrence carried in energy[] (lag 0 keeps the first
// stretch's), into the vector, the sum (after the leaving vector's value
// came out) and the newest copy. The energies of the next lags are worked
// out while the divider is busy with these, and the lanes' recurrences
// hide each other's latency.
template <int Lanes>
void NormaliseStretch(const CFftCorrelator::Lane lanes[], double energy[], uint32_t from, uint32_t n, int64_t shift,
                      uint32_t b) {
  const double* y[Lanes];
  double e[Lanes], xEnergy[Lanes];
  for (int lane = 0; lane < Lanes; ++lane) {
    y[lane] = lanes[lane].window;
    xEnergy[lane] = lanes[lane].xEnergy;
    e[lane] = energy[lane];
  }
  auto advance = [&](int lane, uint32_t k) {
    if (k == 0) return e[lane];
    const double entering = y[lane][k - 1 + b];  // within the window: k <= w - b
    const double leaving = y[lane][k - 1];
    // The leaving square out before the entering one goes in: when a loud
    // sample leaves quiet ones, what remains is then exact as far as the
    // energy was, and an entering square below the loud one's last bit is
    // not lost.
    double next = e[lane] - leaving * leaving + entering * entering;
    if (next < 0.0) next = 0.0;
    e[lane] = next;
    return next;
  };
  auto put = [shift](const CFftCorrelator::Lane& l, uint32_t k, float value) { PutValue(l, k, shift, value); };
  const uint32_t end = from + n;
  uint32_t k = from;
  for (; k + 2 <= end; k += 2)
#pragma GCC unroll 2
    for (int lane = 0; lane < Lanes; ++lane) {
      const double first = advance(lane, k);
      const double second = advance(lane, k + 1);
      const DoublePair r = NormalisedPair(lanes[lane].correlation + k, xEnergy[lane], first, second);
      put(lanes[lane], k, Bounded(r[0]));
      put(lanes[lane], k + 1, Bounded(r[1]));
    }
  if (k < end)
    for (int lane = 0; lane < Lanes; ++lane)
      put(lanes[lane], k, NormalisedOne(lanes[lane].correlation[k], xEnergy[lane], advance(lane, k)));
  for (int lane = 0; lane < Lanes; ++lane) energy[lane] = e[lane];
}

// n plain values from lag `from` on into the vector, the sum and the newest copy.
void PutPlain(const CFftCorrelator::Lane& l, uint32_t from, uint32_t n, int64_t shift) {
  for (uint32_t k = from; k < from + n; ++k) PutValue(l, k, shift, float(l.correlation[k]));
}

template <int Lanes, bool Normalise>
void NormaliseLanes(const CFftCorrelator::Lane lanes[], uint32_t w, uint32_t b) {
  double energy[Lanes];
  for (int lane = 0; lane < Lanes; ++lane) energy[lane] = lanes[lane].firstEnergy;
  // Lag k goes to sum entry (k + b) mod w: lags below w - b do not wrap.
  // Only lags up to w - b (entry 0) have the block wholly inside the
  // window; the others are never read and not worked out.
  const uint32_t straight = w - b;
  const uint32_t lags = b > 0 ? straight + 1 : w;
  auto stretch = [&](uint32_t from, uint32_t n, int64_t shift) {
    if constexpr (Normalise)
      NormaliseStretch<Lanes>(lanes, energy, from, n, shift, b);
    else
      for (int lane = 0; lane < Lanes; ++lane) PutPlain(lanes[lane], from, n, shift);
  };
  stretch(0, straight, int64_t(b));
  stretch(straight, lags - straight, int64_t(b) - int64_t(w));
}

}  // namespace

bool CFftCorrelator::Transform(const double* x, const double* y, uint32_t length) {
  if (length != m_length || m_specY == nullptr) SetLength(length);
  double* const product = m_specX;
  double* const corr = m_specY;
  const int32_t bins = int32_t(length / 2 + 1);
  if (duvuvRealFftFwdPairF64(m_transformHandle, x, m_specX, y, m_specY, m_order) == 0) return false;
  MulConjugate(m_specX, m_specY, product, bins);
  // The product is not read again, so the inverse needs no copy of it.
  return duvuvRealFftInvF64(m_transformHandle, product, corr, m_order, 2) != 0;
}

bool CFftCorrelator::Correlate(const double* x, const double* y, float* out, double xEnergy, const double* yEnergy,
                               uint32_t length) {
  if (!Transform(x, y, length)) return false;
  const double* const corr = m_specY;
  if (yEnergy == nullptr) {
    for (uint32_t k = 0; k < length; ++k) out[k] = float(corr[k]);
    return true;
  }
  uint32_t k = 0;
  for (; k + 2 <= length; k += 2) {
    const DoublePair r = NormalisedPair(corr + k, xEnergy, yEnergy[k], yEnergy[k + 1]);
    out[k] = Bounded(r[0]);
    out[k + 1] = Bounded(r[1]);
  }
  for (; k < length; ++k) out[k] = NormalisedOne(corr[k], xEnergy, yEnergy[k]);
  return true;
}

void CFftCorrelator::NormaliseIntoSums(const Lane lanes[], int count, uint32_t length, uint32_t blockLen,
                                       bool normalise) {
  if (count <= 0 || length == 0) return;
  if (count >= 2) {
    if (normalise)
      NormaliseLanes<2, true>(lanes, length, blockLen);
    else
      NormaliseLanes<2, false>(lanes, length, blockLen);
  } else if (normalise) {
    NormaliseLanes<1, true>(lanes, length, blockLen);
  } else {
    NormaliseLanes<1, false>(lanes, length, blockLen);
  }
}
