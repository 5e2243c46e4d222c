// Direct-form FIR filter of one variant set over the caller's doubled delay
// line: each sample is stored at i and i + tapsLen, so the last tapsLen
// samples always lie contiguous, oldest first, at i .. i + tapsLen - 1. The
// products are added in one fixed order in double precision, which keeps
// every set's output the same bits; the sets share this one kernel.
#include <cstdint>

#include "primitives/fir/sp_fir.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"

namespace SP_SET_NS {
namespace {

using simd::Ld;
using simd::St;

template <class T>
spStatus Filter(const T* src, T* dst, int32_t len, const double* taps, int32_t tapsLen, T* delayLine,
                int32_t* delayIndex) {
  if (const spStatus s = FirstFailure(CheckArrays(len, src, dst), CheckPointers(taps),
                                      CheckThat(tapsLen >= 1, spErrTapCount), CheckPointers(delayLine, delayIndex));
      s != spOk)
    return s;
  // An index that does not belong to this tap count would write outside the
  // delay line.
  int32_t i = Ld(delayIndex);
  if (i < 0 || i >= tapsLen) return spErrTapCount;

  const int64_t count = tapsLen;
  const double* reversedTaps = taps + count - 1;
  for (int64_t n = 0; n < len; ++n) {
    const T x = Ld(src + n);  // read before dst[n] is written: src may be dst
    St(delayLine + i, x);
    St(delayLine + i + count, x);
    i = (i + 1 == tapsLen) ? 0 : i + 1;
    St(delayIndex, i);
    const T* window = delayLine + i;
    double y = 0.0;
    for (int64_t j = 0; j < count; ++j) y += Ld(reversedTaps - j) * static_cast<double>(Ld(window + j));
    St(dst + n, static_cast<T>(y));
  }
  return spOk;
}

}  // namespace

spStatus SP_V(spFirF32)(const float* src, float* dst, int32_t len, const double* taps, int32_t tapsLen,
                        float* delayLine, int32_t* delayIndex) {
  return Filter(src, dst, len, taps, tapsLen, delayLine, delayIndex);
}

spStatus SP_V(spFirF64)(const double* src, double* dst, int32_t len, const double* taps, int32_t tapsLen,
                        double* delayLine, int32_t* delayIndex) {
  return Filter(src, dst, len, taps, tapsLen, delayLine, delayIndex);
}

}  // namespace SP_SET_NS

// The FIR filter dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_FIR_FILTER_ENTRIES)
#endif
