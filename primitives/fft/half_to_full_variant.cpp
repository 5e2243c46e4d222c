// Expansion of a packed half spectrum into the full complex spectrum by
// X(n-k) = conj(Xk). The generic and SSE sets walk both halves in one loop;
// from SSE2 on the first half is one block copy and the mirrored half the
// frame's mirror kernel. The generic set (and the kernel) flip the sign bit
// of the imaginary part; the SSE set subtracts a float's from 0, so +0 and
// -0 both become +0 there and a NaN keeps its sign.
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/sp_kernels.h"

namespace SP_SET_NS {
namespace {

template <class T>
inline T Conjugated(T im) {
  if constexpr (SP_SET_INDEX == SP_SET_SSE && sizeof(T) == sizeof(float))
    return T(0) - im;
  else
    return -im;
}

// dst[0], for even n dst[n/2], then k from c down to 1: dst[k] and its
// mirror dst[n-k].
template <class T>
void ExpandByPairs(const T* src, T* dst, int64_t n, int64_t half, int64_t mirrored) {
  dst[0] = src[0];
  dst[1] = src[1];
  if (n % 2 == 0 && half > 0) {
    dst[2 * half] = src[2 * half];
    dst[2 * half + 1] = src[2 * half + 1];
  }
  for (int64_t k = mirrored; k >= 1; --k) {
    const T re = src[2 * k], im = src[2 * k + 1];
    dst[2 * k] = re;
    dst[2 * k + 1] = im;
    dst[2 * (n - k)] = re;
    dst[2 * (n - k) + 1] = Conjugated(im);
  }
}

// The checks and the expansion both precisions share; the SIMD sets copy
// the first half whole and mirror the rest with the set's mirror kernel.
template <class T, class MirrorKernel>
spStatus ExpandHalfSpectrum(const T* src, T* dst, int32_t n, MirrorKernel mirror) {
  if (const spStatus s = CheckArrays(n, src, dst); s != spOk) return s;
  const int64_t half = n / 2, mirrored = (n - 1) / 2;
  if constexpr (SP_SET_INDEX <= SP_SET_SSE) {
    ExpandByPairs(src, dst, n, half, mirrored);
  } else {
    SP_V(spkCopyBytes)(src, dst, (half + 1) * 2 * static_cast<int64_t>(sizeof(T)));
    if (mirrored > 0) mirror(src + 2, dst + 2 * (half + 1), static_cast<int32_t>(mirrored));
  }
  return spOk;
}

}  // namespace

spStatus SP_V(spHalfSpecToC32)(const float* src, float* dst, int32_t n) {
  return ExpandHalfSpectrum(src, dst, n, SP_V(spkHalfSpecMirrorC32));
}

spStatus SP_V(spHalfSpecToC64)(const double* src, double* dst, int32_t n) {
  return ExpandHalfSpectrum(src, dst, n, SP_V(spkHalfSpecMirrorC64));
}

}  // namespace SP_SET_NS

// The half-spectrum expansion dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_HALF_SPEC_F32_ENTRIES)
SP_DISPATCH_ENTRIES(SP_HALF_SPEC_F64_ENTRIES)
#endif
