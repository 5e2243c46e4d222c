// Cross-correlation of one variant set over a window of lags: the checks,
// the lags without overlap, the work estimate that chooses direct sums or
// the FFT, and the split of the overlap lags into the segments of the four
// direct kernels.
//
// The window is measured before anything is written, so that a failing FFT
// path (no memory, no transform of that size) leaves dst untouched; the
// zeros outside the overlap follow once the overlap lags are done.
#include "primitives/correlation/sp_correlation.h"

#include <algorithm>
#include <cstdint>

#include "primitives/correlation/correlation_kernels.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/memory_kernels.h"

namespace SP_SET_NS {
namespace {

// The window of lags lowLag .. lowLag + dstLen - 1 against the overlap
// 1 - aLen .. bLen - 1: `leading` zeros, then `lags` overlap lags from lag
// `first` at output `at`, then zeros to the end.
struct LagWindow {
  int64_t leading = 0;
  int64_t first = 0;
  int64_t lags = 0;
  int64_t at = 0;
  int64_t start = 0;  // position of lag `first` in the whole correlation
};

LagWindow Measure(int32_t aLen, int32_t bLen, int32_t dstLen, int32_t lowLag) {
  LagWindow w;
  const int64_t below = 1 - static_cast<int64_t>(aLen) - lowLag;
  w.leading = std::clamp<int64_t>(below, 0, dstLen);
  w.at = w.leading;
  w.first = below > 0 ? 1 - static_cast<int64_t>(aLen) : lowLag;
  const int64_t remaining = dstLen - w.leading;
  const int64_t overlapping = std::max<int64_t>(0, bLen - w.first);
  w.lags = std::min(remaining, overlapping);
  w.start = w.first + aLen - 1;
  return w;
}

// trunc(lags * min / max): in double in the generic set, in single
// precision in the others, which may round one unit across the limit.
int64_t WorkEstimate(int64_t lags, int32_t aLen, int32_t bLen) {
  const int32_t shorter = std::min(aLen, bLen), longer = std::max(aLen, bLen);
  if constexpr (kSetIndex == SP_SET_GENERIC) {
    return static_cast<int64_t>(static_cast<double>(lags) * shorter / longer);
  } else {
    const float product = static_cast<float>(lags) * static_cast<float>(shorter);
    return static_cast<int64_t>(product / static_cast<float>(longer));
  }
}

template <class T>
struct Kernels;
template <>
struct Kernels<double> {
  static constexpr int64_t kDirectLimit = kCrossCorrDirectLimitF64;
  static constexpr auto full = &SP_V(spkCrossCorrDirectFullF64);
  static constexpr auto fullRev = &SP_V(spkCrossCorrDirectFullRevF64);
  static constexpr auto partialUp = &SP_V(spkCrossCorrDirectPartialUpF64);
  static constexpr auto partialDown = &SP_V(spkCrossCorrDirectPartialDownF64);
  static constexpr auto byFft = &SP_V(spkCrossCorrByFftF64);
  static spStatus Zero(double* dst, int64_t n) { return SP_V(spZeroF64)(dst, static_cast<int32_t>(n)); }
};
template <>
struct Kernels<float> {
  static constexpr int64_t kDirectLimit = kCrossCorrDirectLimitF32;
  static constexpr auto full = &SP_V(spkCrossCorrDirectFullF32);
  static constexpr auto fullRev = &SP_V(spkCrossCorrDirectFullRevF32);
  static constexpr auto partialUp = &SP_V(spkCrossCorrDirectPartialUpF32);
  static constexpr auto partialDown = &SP_V(spkCrossCorrDirectPartialDownF32);
  static constexpr auto byFft = &SP_V(spkCrossCorrByFftF32);
  static spStatus Zero(float* dst, int64_t n) { return SP_V(spZeroF32)(dst, static_cast<int32_t>(n)); }
};

// The overlap lags lag .. lag + left - 1 into out, segment by segment:
// partial overlap below, full overlap (the shorter sequence wholly inside
// the longer), partial overlap above.
template <class T>
void DirectSums(const T* a, int32_t aLen, const T* b, int32_t bLen, T* out, int64_t lag, int64_t left) {
  using K = Kernels<T>;
  // The lags below which the shorter sequence is no longer wholly inside.
  const int64_t fullFrom = std::min<int64_t>(0, static_cast<int64_t>(bLen) - aLen);
  const int64_t fullTo = std::max<int64_t>(0, static_cast<int64_t>(bLen) - aLen);
  auto advance = [&](int64_t c) {
    out += c;
    lag += c;
    left -= c;
  };
  if (left > 0 && lag < fullFrom) {
    const int64_t c = std::min(fullFrom - lag, left);
    const int64_t highest = lag + c - 1;
    K::partialDown(a - highest, b, static_cast<int32_t>(aLen + highest), out + c - 1, static_cast<int32_t>(c));
    advance(c);
  }
  if (left > 0 && aLen <= bLen && lag < fullTo) {
    const int64_t c = std::min(fullTo - lag, left);
    K::full(b + lag, a, aLen, out, static_cast<int32_t>(c));
    advance(c);
  }
  if (left > 0 && aLen > bLen && lag < 0) {
    const int64_t c = std::min(-lag, left);
    K::fullRev(a - lag, b, bLen, out, static_cast<int32_t>(c));
    advance(c);
  }
  if (left > 0) K::partialUp(b + lag, a, static_cast<int32_t>(bLen - lag), out, static_cast<int32_t>(left));
}

template <class T>
spStatus CrossCorr(const T* a, int32_t aLen, const T* b, int32_t bLen, T* dst, int32_t dstLen, int32_t lowLag) {
  using K = Kernels<T>;
  if (const spStatus s =
          FirstFailure(CheckPointers(a, b, dst), CheckLength(aLen), CheckLength(bLen), CheckLength(dstLen));
      s != spOk)
    return s;

  const LagWindow w = Measure(aLen, bLen, dstLen, lowLag);
  if (w.lags > 0) {
    if (WorkEstimate(w.lags, aLen, bLen) > K::kDirectLimit) {
      const spStatus status = K::byFft(a, aLen, b, bLen, dst + w.at, static_cast<int32_t>(w.lags), w.start);
      if (status < 0) return status;
    } else {
      DirectSums(a, aLen, b, bLen, dst + w.at, w.first, w.lags);
    }
  }
  if (w.leading > 0) K::Zero(dst, w.leading);
  const int64_t trailing = dstLen - w.at - w.lags;
  if (trailing > 0) K::Zero(dst + w.at + w.lags, trailing);
  return spOk;
}

}  // namespace

spStatus SP_V(spCrossCorrF64)(const double* a, int32_t aLen, const double* b, int32_t bLen, double* dst, int32_t dstLen,
                              int32_t lowLag) {
  return CrossCorr(a, aLen, b, bLen, dst, dstLen, lowLag);
}
spStatus SP_V(spCrossCorrF32)(const float* a, int32_t aLen, const float* b, int32_t bLen, float* dst, int32_t dstLen,
                              int32_t lowLag) {
  return CrossCorr(a, aLen, b, bLen, dst, dstLen, lowLag);
}

}  // namespace SP_SET_NS

// The cross-correlation dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_CROSSCORR_ENTRIES)
#endif
