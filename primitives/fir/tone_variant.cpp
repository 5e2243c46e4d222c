// Tone generator of one variant set. The plain method seeds a recurrence with
// three library cosines and then needs one multiply and one subtract per
// sample; it is the same double arithmetic in every set, so its samples are
// the same bits everywhere. The SSE2, SSE3 and SSSE3 sets add the block
// method, which restarts the recurrence every 2048 samples so that its
// rounding does not grow over long tones.
#include <cmath>
#include <cstdint>

#include "primitives/fir/fir_kernels.h"
#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS {
namespace {

using simd::Ld;
using simd::St;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInvTwoPi = 0.15915494309189535;  // stored, not 1 / kTwoPi
constexpr double kMaxRelFreq = 0.5;

spStatus CheckTone(const double* dst, int32_t len, double magnitude, double relFreq, const double* phase) {
  if (const spStatus s = CheckPointers(phase); s != spOk) return s;
  if (!(magnitude > 0.0)) return spErrToneMagnitude;
  // Written so that a NaN frequency fails too.
  if (!(relFreq >= 0.0) || relFreq >= kMaxRelFreq) return spErrToneFrequency;
  const double phi0 = *phase;
  if (!(phi0 >= 0.0) || phi0 >= kTwoPi) return spErrTonePhase;
  return CheckArrays(len, dst);
}

// Phase of sample len in [0, 2 pi); 0 when the reduction lands on 2 pi or
// just below 0.
double PhaseAfter(double phi0, double w, int32_t len) {
  const double t = w * static_cast<double>(len) + phi0;
  const double r = t - kTwoPi * std::floor(t * kInvTwoPi);
  return (r >= 0.0 && r < kTwoPi) ? r : 0.0;
}

// Even and odd samples from index 4 on are two recurrences of step 2w.
void PlainTone(double* y, int64_t len, double magnitude, double w, double phi0) {
  const double y0 = magnitude * std::cos(phi0);
  St(y, y0);
  if (len == 1) return;
  const double y1 = magnitude * std::cos(phi0 + w);
  St(y + 1, y1);
  if (len == 2) return;
  const double twoC = 2.0 * std::cos(w);
  const double y2 = twoC * y1 - y0;
  St(y + 2, y2);
  if (len == 3) return;
  const double y3 = twoC * y2 - y1;
  St(y + 3, y3);
  const double a = twoC * twoC - 2.0;         // 2 cos 2w
  double e2 = y0, e1 = y2, o2 = y1, o1 = y3;  // y[n-4], y[n-2], y[n-3], y[n-1]
  const int64_t evenEnd = len & ~int64_t{1};
  for (int64_t n = 4; n < evenEnd; n += 2) {
    const double e = a * e1 - e2;
    const double o = a * o1 - o2;
    St(y + n, e);
    St(y + n + 1, o);
    e2 = e1, e1 = e;
    o2 = o1, o1 = o;
  }
  if (len % 2 == 1 && len >= 5) St(y + len - 1, a * e1 - e2);
}

#if SP_SET_HAS_F64_VECTORS
using simd::f64x2;

constexpr int64_t kToneBlock = 2048;

// p[k] = a4 * p[k-4] - p[k-8] for k < count, the eight samples before p
// already written; two lanes, each step rounded to double as the scalar
// recurrence is. Stores bypass the cache when p is 8-byte aligned.
void ToneBody(double* p, int64_t count, double a4) {
  if (!simd::Aligned16(p)) {
    St(p, a4 * Ld(p - 4) - Ld(p - 8));
    ++p;
    --count;
  }
  const bool stream = simd::Aligned16(p);
  const f64x2 a = simd::Splat(a4);
  f64x2 r0 = simd::LoadU(p - 8), r1 = simd::LoadU(p - 6), r2 = simd::LoadU(p - 4), r3 = simd::LoadU(p - 2);
  for (; count >= 4; count -= 4, p += 4) {
    const f64x2 n0 = simd::Sub(simd::Mul(a, r2), r0);
    const f64x2 n1 = simd::Sub(simd::Mul(a, r3), r1);
    if (stream) {
      simd::Stream(p, n0);
      simd::Stream(p + 2, n1);
    } else {
      simd::StoreU(p, n0);
      simd::StoreU(p + 2, n1);
    }
    r0 = r2, r1 = r3, r2 = n0, r3 = n1;
  }
  if (stream) simd::StoreFence();
  if (count >= 2) {
    const f64x2 n0 = simd::Sub(simd::Mul(a, r2), r0);
    simd::StoreU(p, n0);
    r0 = r1, r1 = r2, r2 = r3, r3 = n0;
    p += 2;
    count -= 2;
  }
  if (count == 1) St(p, a4 * simd::Lane0(r2) - simd::Lane0(r0));
}

// Samples j .. j+count-1 of the tone, started from two fresh cosines.
void ToneFill(double* y, int64_t j, int64_t count, double magnitude, double w, double phi0) {
  const double yj0 = magnitude * std::cos(static_cast<double>(j) * w + phi0);
  St(y + j, yj0);
  if (count == 1) return;
  const double yj1 = magnitude * std::cos(static_cast<double>(j + 1) * w + phi0);
  St(y + j + 1, yj1);
  if (count == 2) return;
  const double twoC = 2.0 * std::cos(w);
  double prev = yj0, cur = yj1;
  const int64_t seeded = count < 8 ? count : 8;
  for (int64_t k = 2; k < seeded; ++k) {
    const double next = twoC * cur - prev;
    St(y + j + k, next);
    prev = cur, cur = next;
  }
  if (count > 8) {
    const double fourC2 = twoC * twoC;
    ToneBody(y + j + 8, count - 8, fourC2 * (fourC2 - 4.0) + 2.0);  // 2 cos 4w
  }
}

void BlockTone(double* y, int64_t len, double magnitude, double w, double phi0) {
  int64_t j = 0;
  for (; j + kToneBlock <= len; j += kToneBlock) ToneFill(y, j, kToneBlock, magnitude, w, phi0);
  if (len > j) ToneFill(y, j, len - j, magnitude, w, phi0);
}
#endif

}  // namespace

spStatus SP_V(spkToneCosF64)(double* dst, int32_t len, double magnitude, double relFreq, double* phase, int32_t hint) {
  if (const spStatus st = CheckTone(dst, len, magnitude, relFreq, phase); st != spOk) return st;
  const double phi0 = *phase;
  const double w = relFreq * kTwoPi;
  *phase = PhaseAfter(phi0, w, len);
#if SP_SET_HAS_F64_VECTORS
  if (hint == kToneHintBlocks) {
    BlockTone(dst, len, magnitude, w, phi0);
    return spOk;
  }
#else
  (void)hint;
#endif
  PlainTone(dst, len, magnitude, w, phi0);
  return spOk;
}

}  // namespace SP_SET_NS
