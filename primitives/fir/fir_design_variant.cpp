// Windowed-sinc FIR design of one variant set. The lower half of the sinc
// comes from one tone of this set's generator (the sine numerators, or the
// cosines of the even high-pass, as a cosine with a shifted start phase)
// divided by pi k; the window, normalisation and mirror follow. A cut-off of
// exactly half the sample rate is outside the generator's range; its sinc
// samples are exact (0, or +-1 for the even low-pass) and are written
// directly.
#include <cstdint>

#include "primitives/fir/fir_kernels.h"
#include "primitives/fir/sp_fir.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/memory_kernels.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS {
namespace {

using simd::Ld;
using simd::St;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kNyquist = 0.5;
// Design tones use the plain method: the same samples in every set.
constexpr int32_t kToneHintPlain = 2;

enum class Band { kLow, kHigh };

spStatus CheckDesign(Band band, double relFreq, const double* taps, int32_t len) {
  if (const spStatus s = CheckArraysMin(len, 5, taps); s != spOk) return s;
  // Written so that a NaN cut-off fails too.
  if (!(relFreq > 0.0) || relFreq > kNyquist) return spErrLength;
  // A high-pass from half the sample rate up passes nothing and has no gain
  // to normalise.
  if (band == Band::kHigh && relFreq == kNyquist) return spErrLength;
  return spOk;
}

// Start phase that turns cos(2 pi f j + phase) into the numerator of tap
// m - (j + 1); kept below 2 pi where rounding would reach it.
double StartPhase(Band band, bool oddLen, double f) {
  double phase;
  if (band == Band::kLow)
    phase = oddLen ? (f < 0.25 ? kTwoPi * (f + 0.75) : kTwoPi * (f - 0.25)) : kPi * (1.5 + f);
  else
    phase = oddLen ? kTwoPi * (0.25 + f) : kPi * f;
  return phase >= kTwoPi ? phase - kTwoPi : phase;
}

// The numerators at half the sample rate: cos(pi j) = (-1)^j for the even
// low-pass, sin(pi k) = 0 for the odd one.
void NyquistNumerators(double* scratch, int64_t count, bool oddLen) {
  for (int64_t j = 0; j < count; ++j) scratch[j] = oddLen ? 0.0 : (j % 2 == 0 ? 1.0 : -1.0);
}

void ApplyWindow(double* taps, int32_t len, int32_t windowKind) {
  // The design's own checks leave every window valid arguments.
  switch (windowKind) {
    case spFirWindowBartlett: SP_V(spkFirWinBartlettF64)(taps, len); break;
    case spFirWindowBlackman: SP_V(spkFirWinBlackmanF64)(taps, len); break;
    case spFirWindowHamming: SP_V(spkFirWinHammingF64)(taps, len); break;
    case spFirWindowHann: SP_V(spkFirWinHannF64)(taps, len); break;
    default: break;
  }
}

// Unit gain at 0 (low-pass) or at half the sample rate (high-pass) over the
// whole symmetric or antisymmetric filter, from its lower half and centre.
void Normalise(Band band, double* taps, int64_t m, bool oddLen) {
  double sum = 0.0;
  for (int64_t n = 0; n < m; ++n) {
    const double t = Ld(taps + n);
    sum += (band == Band::kHigh && n % 2 == 0) ? -t : t;
  }
  sum *= 2.0;
  if (oddLen) {
    const double centre = Ld(taps + m);
    sum += (band == Band::kHigh && m % 2 == 0) ? -centre : centre;
  }
  const double g = 1.0 / (sum < 0.0 ? -sum : sum);
  if (oddLen) St(taps + m, Ld(taps + m) * g);
  for (int64_t n = 0; n < m; ++n) St(taps + n, Ld(taps + n) * g);
}

spStatus Design(Band band, double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize) {
  if (const spStatus st = CheckDesign(band, relFreq, taps, len); st != spOk) return st;
  const int64_t m = len / 2;
  const bool oddLen = len % 2 == 1;
  double* scratch = SP_V(spAlignedAllocF64)(static_cast<int32_t>(m + 1));
  if (scratch == nullptr) return spErrNullPointer;

  // The numerators first, so that taps stay untouched should they fail.
  if (relFreq == kNyquist) {
    NyquistNumerators(scratch, m + 1, oddLen);
  } else {
    double phase = StartPhase(band, oddLen, relFreq);
    if (SP_V(spkToneCosF64)(scratch, static_cast<int32_t>(m + 1), 1.0, relFreq, &phase, kToneHintPlain) != spOk) {
      SP_V(spAlignedFree)(scratch);
      return spErrLength;
    }
  }

  if (oddLen) St(taps + m, band == Band::kLow ? 2.0 * relFreq : 1.0 - 2.0 * relFreq);
  double t = oddLen ? kPi : kPi / 2.0;
  for (int64_t k = 1; k <= m; ++k) {
    St(taps + m - k, scratch[k - 1] / t);
    t += kPi;
  }
  SP_V(spZeroF64)(taps + (len + 1) / 2, static_cast<int32_t>(m));
  ApplyWindow(taps, len, windowKind);
  if (normalize != 0) Normalise(band, taps, m, oddLen);

  const bool antisymmetric = band == Band::kHigh && !oddLen;
  for (int64_t n = 0; n < m; ++n) {
    const double v = Ld(taps + n);
    St(taps + len - 1 - n, antisymmetric ? -v : v);
  }
  SP_V(spAlignedFree)(scratch);
  return spOk;
}

}  // namespace

spStatus SP_V(spFirLowpassTapsF64)(double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize) {
  return Design(Band::kLow, relFreq, taps, len, windowKind, normalize);
}

spStatus SP_V(spFirHighpassTapsF64)(double relFreq, double* taps, int32_t len, int32_t windowKind, int32_t normalize) {
  return Design(Band::kHigh, relFreq, taps, len, windowKind, normalize);
}

}  // namespace SP_SET_NS

// The FIR design dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_FIR_DESIGN_ENTRIES)
#endif
