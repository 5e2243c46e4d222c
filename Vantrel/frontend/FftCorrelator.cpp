#include "Vantrel/frontend/FftCorrelator.h"

#include <algorithm>
#include <cmath>

#include "Mathlib/MathlibCorrelator.h"
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
  FreePages(m_buffers, m_buffersBytes);
  m_buffersBytes = 0;
  m_specX = nullptr;
  m_specY = nullptr;
}

size_t CFftCorrelator::CarveSpectra(void* block, uint32_t length, double** specX, double** specY) {
  // Without a block the carver hands out null pointers and only counts.
  const size_t spectrum = size_t(length) + 2;
  ArrayCarver carve(block);
  *specX = carve.Take<double>(spectrum);
  *specY = carve.Take<double>(spectrum);
  return carve.Used();
}

void CFftCorrelator::DropSpectra() {
  FreeBuffers();
  m_length = 0;
  m_order = 0;
}

size_t CFftCorrelator::SpectraBytes(uint32_t length) {
  double* unused[2];
  return CarveSpectra(nullptr, length, &unused[0], &unused[1]);
}

int CFftCorrelator::SetLength(uint32_t length, void* spectra) {
  // Every call writes both spectra before reading them: the same length
  // in the same place keeps them as they are.
  const bool sameSpectra = spectra != nullptr ? spectra == m_specX : m_buffers != nullptr;
  if (m_specX != nullptr && length == m_length && sameSpectra) return 1;
  DropSpectra();
  void* block = spectra;
  if (block == nullptr) {
    m_buffersBytes = SpectraBytes(length);
    m_buffers = AllocatePages(m_buffersBytes, "the correlation spectra");
    if (m_buffers == nullptr) {
      m_buffersBytes = 0;
      return 0;
    }
    block = m_buffers;
  }
  CarveSpectra(block, length, &m_specX, &m_specY);
  m_length = length;
  m_order = int32_t(BitCount(length)) - 1;
  return 1;
}

namespace {

constexpr double kMaxNormalisedCorrelation = 1.001;

// A normalised correlation lies within +-1 (with room for rounding); beyond
// it the sums lost their precision to a sample far beyond full scale, and
// the lag is 0 like one without energy.
float Bounded(double r) { return std::fabs(r) <= kMaxNormalisedCorrelation ? float(r) : 0.0f; }

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
// stretch's), and the value into the vector, the sum (after the leaving
// vector's value came out) and the newest copy, bounded as Bounded does. A
// chunk of lags at a time, so that the values never leave the first-level
// cache.
template <int Lanes>
void NormaliseStretch(const CFftCorrelator::Lane lanes[], double energy[], uint32_t from, uint32_t n, int64_t shift,
                      uint32_t b) {
  constexpr uint32_t kChunk = 256;
  float values[Lanes][kChunk];
  SpkSlidingLane sliding[Lanes];
  for (int lane = 0; lane < Lanes; ++lane)
    sliding[lane] = {lanes[lane].correlation, lanes[lane].window, lanes[lane].xEnergy, energy[lane], values[lane]};
  const uint32_t end = from + n;
  for (uint32_t start = from; start < end; start += kChunk) {
    const uint32_t count = std::min(kChunk, end - start);
    MathlibNormaliseSlidingF64(sliding, Lanes, start, count, b, kMaxNormalisedCorrelation);
    for (int lane = 0; lane < Lanes; ++lane) {
      const CFftCorrelator::Lane& l = lanes[lane];
      MathlibPutIntoSumsF32(values[lane], count, l.vector + start, l.sum + shift + start, l.latest + shift + start,
                            l.replacing);
    }
  }
  for (int lane = 0; lane < Lanes; ++lane) energy[lane] = sliding[lane].energy;
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
  if ((length != m_length || m_specY == nullptr) && SetLength(length) == 0) return false;
  double* const product = m_specX;
  double* const corr = m_specY;
  const int32_t bins = int32_t(length / 2 + 1);
  if (duvuvRealFftFwdPairF64(m_transformHandle, x, m_specX, y, m_specY, m_order) == 0) return false;
  // product = conj(x) * y in one pass, in place over the block's spectrum,
  // which leaves the product in the cache for the inverse.
  MathlibMulConjugateC64(m_specX, m_specY, product, bins);
  // The product is not read again, so the inverse needs no copy of it.
  return duvuvRealFftInvF64(m_transformHandle, product, corr, m_order, 2) != 0;
}

bool CFftCorrelator::TransformSpectra(const double* xSpectrum, const double* ySpectrum) {
  if (m_specY == nullptr) return false;
  MathlibMulConjugateC64(xSpectrum, ySpectrum, m_specX, int32_t(m_length / 2 + 1));
  return duvuvRealFftInvF64(m_transformHandle, m_specX, m_specY, m_order, 2) != 0;
}

bool CFftCorrelator::TransformWindow(const double* xSpectrum, const double* y) {
  if (m_specY == nullptr) return false;
  if (duvuvRealFftFwdF64(m_transformHandle, y, m_specY, m_order, 1) == 0) return false;
  MathlibMulConjugateC64(xSpectrum, m_specY, m_specX, int32_t(m_length / 2 + 1));
  return duvuvRealFftInvF64(m_transformHandle, m_specX, m_specY, m_order, 2) != 0;
}

bool CFftCorrelator::Correlate(const double* x, const double* y, float* out, double xEnergy, const double* yEnergy,
                               uint32_t length) {
  if (!Transform(x, y, length)) return false;
  double* const corr = m_specY;
  if (yEnergy == nullptr) {
    for (uint32_t k = 0; k < length; ++k) out[k] = float(corr[k]);
    return true;
  }
  MathlibNormaliseByEnergyF64(corr, xEnergy, yEnergy, corr, length);
  for (uint32_t k = 0; k < length; ++k) out[k] = Bounded(corr[k]);
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
