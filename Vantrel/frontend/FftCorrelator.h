// Circular cross-correlation of a block against a window of the same
// power-of-two length N with real FFTs through the math layer, optionally
// normalised into correlation coefficients. Each block correlator owns one.
#pragma once

#include <cstddef>
#include <cstdint>
#include "Vantrel/frontend/FrontEndInternal.h"

struct MathlibHandle;

class FRONT_END_INTERNAL CFftCorrelator {
 public:
  CFftCorrelator();
  ~CFftCorrelator();
  CFftCorrelator(const CFftCorrelator&) = delete;
  CFftCorrelator& operator=(const CFftCorrelator&) = delete;

  // The bytes the spectra of `length` points take.
  static size_t SpectraBytes(uint32_t length);
  // N a power of two; the spectra are sized for it: laid out in `spectra`
  // when given (SpectraBytes(length) bytes on a cache-line boundary, which
  // the caller keeps while this object transforms), else in pages of its
  // own. Returns 1; 0 when its own pages cannot be had (traced and noted
  // as a Memory refusal): it then has no length and transforms nothing
  // until a SetLength succeeds.
  int SetLength(uint32_t length, void* spectra = nullptr);
  // Lets go of the spectra (its own pages freed, a caller's left to it):
  // no length until the next SetLength.
  void DropSpectra();
  // Transforms through `owner`'s math-layer handle from now on, so that
  // correlators of one length build one FFT spec between them. The owner
  // must outlive this object's transforms.
  void ShareHandleOf(const CFftCorrelator& owner) { m_transformHandle = owner.m_mathlib; }
  // out[k] = sum_j x[j] y[(j + k) mod N], divided by sqrt(xEnergy * yEnergy[k])
  // when yEnergy is given (0 where either energy is 0). false, with out
  // untouched, when the transform failed.
  bool Correlate(const double* x, const double* y, float* out, double xEnergy, const double* yEnergy, uint32_t length);

  // The unnormalised sums of Correlate into Correlation(), N values, valid
  // until the next call. false when the math layer could not transform
  // (no spec, no memory; traced there): Correlation() then means nothing.
  bool Transform(const double* x, const double* y, uint32_t length);
  // The same sums from the spectra of x and y (packed half spectra of the
  // length set): the product and the inverse only.
  bool TransformSpectra(const double* xSpectrum, const double* ySpectrum);
  // The same sums from the spectrum of x and y itself: y's transform, the
  // product and the inverse.
  bool TransformWindow(const double* xSpectrum, const double* y);
  // The math-layer handle the transforms run through.
  MathlibHandle* Handle() const { return m_transformHandle; }
  const double* Correlation() const { return m_specY; }
  // Where Correlation() lies, for sums put together elsewhere.
  double* CorrelationRoom() { return m_specY; }

  // One block correlator's share of NormaliseIntoSums.
  struct Lane {
    const double* correlation;  // Correlation() of its transform
    const double* window;       // y of its transform
    double xEnergy;             // the block's energy
    double firstEnergy;         // the energy of window[0, B)
    float* vector;              // N: the normalised correlation
    float* sum;                 // N: running sum, entry (k + B) mod N takes lag k
    float* latest;              // N: the newest vector, placed as in the sum
    bool replacing;             // vector holds an older one, to be taken out of the sum first
  };
  // Correlate's normalisation (or, with normalise false, its plain values)
  // of the lags 0 .. N - B, where the block lies wholly inside the window
  // (the other entries of the vector and the sums are left as they are),
  // for 1 or 2 lanes of one geometry, with the window energies by the
  // sliding recurrence from the first stretch's, and the vectors put into
  // the sums: per lane and lag the same operations, in the same order, as
  // the energies, Correlate and the sums' updates done one after another.
  // In one pass, the divisions of one lag hide the energy recurrence of
  // the next, and nothing of N is stored only to be read back.
  static void NormaliseIntoSums(const Lane lanes[], int count, uint32_t length, uint32_t blockLen, bool normalise);

 private:
  void FreeBuffers();
  // Lays both spectra of `length` points out in `block` (with a null block
  // only counts); returns the bytes they take.
  static size_t CarveSpectra(void* block, uint32_t length, double** specX, double** specY);

  // Packed half spectra, N + 2 doubles. Each is read once: the product
  // takes the block's place and the correlation the window's, which halves
  // what a call touches.
  void* m_buffers = nullptr;  // both spectra, when they are in pages of its own
  size_t m_buffersBytes = 0;
  double* m_specX = nullptr;
  double* m_specY = nullptr;
  int32_t m_order = 0;
  uint32_t m_length = 0;
  MathlibHandle* m_mathlib = nullptr;
  MathlibHandle* m_transformHandle = nullptr;  // m_mathlib unless shared
};
