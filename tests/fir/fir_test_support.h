// Helpers of the FIR tests: each set's tone and window kernels by set index,
// and long-double references for the design windows and the windowed sinc.
#pragma once
#include <cmath>
#include <cstdint>

#include "primitives/fir/fir_kernels.h"
#include "primitives/fir/sp_fir.h"
#include "primitives/frame/dispatch.h"

namespace fir_test {

using ToneFn = spStatus (*)(double*, int32_t, double, double, double*, int32_t);
using WindowFn = spStatus (*)(double*, int32_t);
inline constexpr ToneFn kTone[] = SP_VARIANT_TABLE(spkToneCosF64);
inline constexpr WindowFn kBartlett[] = SP_VARIANT_TABLE(spkFirWinBartlettF64);
inline constexpr WindowFn kBlackman[] = SP_VARIANT_TABLE(spkFirWinBlackmanF64);
inline constexpr WindowFn kHamming[] = SP_VARIANT_TABLE(spkFirWinHammingF64);
inline constexpr WindowFn kHann[] = SP_VARIANT_TABLE(spkFirWinHannF64);
inline constexpr spStatus (*kBlackmanAlpha[])(double*, int32_t, double) = SP_VARIANT_TABLE(spkFirWinBlackmanAlphaF64);

inline constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Weight of tap n of a len-tap window of the design kind (any other kind: 1).
inline long double WindowWeight(int32_t kind, int32_t len, int32_t n) {
  const long double x = 2 * kPi * n / (len - 1);
  switch (kind) {
    case spFirWindowBartlett: return 1 - std::fabs(2.0L * n / (len - 1) - 1);
    case spFirWindowBlackman: {
      const long double q = 0.5L / std::cos(kPi / (len - 1));
      const long double alpha = -q * q;
      return (alpha + 1) / 2 - 0.5L * std::cos(x) - alpha / 2 * std::cos(2 * x);
    }
    case spFirWindowHamming: return 0.54L - 0.46L * std::cos(x);
    case spFirWindowHann: return 0.5L - 0.5L * std::cos(x);
    default: return 1;
  }
}

// Tap n of the unwindowed, unnormalised sinc of a len-tap design; u is the
// distance from the centre (len - 1) / 2.
inline long double SincTap(bool highpass, long double f, int32_t len, int32_t n) {
  const long double u = n - (len - 1) / 2.0L;
  if (u == 0) return highpass ? 1 - 2 * f : 2 * f;
  if (!highpass) return std::sin(2 * kPi * f * u) / (kPi * u);
  if (len % 2 == 1) return -std::sin(2 * kPi * f * u) / (kPi * u);
  return -std::cos(2 * kPi * f * u) / (kPi * u);
}

}  // namespace fir_test
