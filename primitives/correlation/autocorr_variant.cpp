// Autocorrelation of one variant set: the raw lag sums (direct below the
// set's lag threshold, else by FFT), and the biased and unbiased estimates
// scaled from them.
#include "primitives/correlation/sp_correlation.h"

#include <algorithm>
#include <cstdint>

#include "primitives/correlation/correlation_fft.h"
#include "primitives/correlation/correlation_kernels.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/memory_kernels.h"
#include "primitives/vector/sp_arith.h"

namespace SP_SET_NS {
namespace {

constexpr int32_t kFftLags = kAutoCorrFftLags[kSetIndex];

spStatus CheckArguments(const float* src, int32_t srcLen, const float* dst, int32_t dstLen) {
  return FirstFailure(CheckPointers(src, dst), CheckLength(srcLen), CheckLength(dstLen));
}

// 1/srcLen rounded to float once: divided in double in the generic set, in
// single precision in the others.
float BiasFactor(int32_t srcLen) {
  if constexpr (kSetIndex == SP_SET_GENERIC)
    return static_cast<float>(1.0 / srcLen);
  else
    return 1.0f / static_cast<float>(srcLen);
}

}  // namespace

spStatus SP_V(spkAutoCorrRawF32)(const float* src, int32_t srcLen, float* dst, int32_t dstLen) {
  if (const spStatus status = CheckArguments(src, srcLen, dst, dstLen); status != spOk) return status;
  const int32_t lags = std::min(srcLen, dstLen);
  spStatus status = spOk;
  if (lags < kFftLags) {
    SP_V(spkAutoCorrDirectF32)(src, srcLen, dst, lags);
  } else {
    status = corr::AutoCorrByFft(src, srcLen, dst, lags);
    if (status < 0) return status;
  }
  if (lags < dstLen) SP_V(spZeroF32)(dst + lags, dstLen - lags);
  return status;
}

spStatus SP_V(spAutoCorrBiasedF32)(const float* src, int32_t srcLen, float* dst, int32_t dstLen) {
  const spStatus status = SP_V(spkAutoCorrRawF32)(src, srcLen, dst, dstLen);
  if (status < 0) return status;
  SP_V(spMulConstInPlaceF32)(BiasFactor(srcLen), dst, std::min(srcLen, dstLen));
  return status;
}

// The divisors are taken before the raw sums are written, so that running
// out of memory leaves dst as it was.
spStatus SP_V(spAutoCorrUnbiasedF32)(const float* src, int32_t srcLen, float* dst, int32_t dstLen) {
  if (const spStatus status = CheckArguments(src, srcLen, dst, dstLen); status != spOk) return status;
  const int32_t lags = std::min(srcLen, dstLen);
  float* divisor = SP_V(spAlignedAllocF32)(lags);
  if (divisor == nullptr) return spErrNoMemory;
  const spStatus status = SP_V(spkAutoCorrRawF32)(src, srcLen, dst, dstLen);
  if (status >= 0) {
    for (int32_t k = 0; k < lags; ++k) divisor[k] = static_cast<float>(srcLen - k);
    SP_V(spkDivInPlaceF32)(divisor, dst, lags);
  }
  SP_V(spAlignedFree)(divisor);
  return status;
}

}  // namespace SP_SET_NS

// The autocorrelation dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_AUTOCORR_ENTRIES)
#endif
