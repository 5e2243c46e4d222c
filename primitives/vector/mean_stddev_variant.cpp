// Mean and standard-deviation primitives, one source for every set. The
// means of the SIMD sets take their sum from this set's sum kernels; the
// standard deviations accumulate S and Q in one pass: four-way in double
// precision (generic, and the SSE set and the accurate float mode), in
// single-precision blocks of 1024 (float fast mode) or in 2-lane double
// registers (double, SSE2 and later).
#include "primitives/vector/sp_mean_stddev.h"

#include <cmath>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/sum_kernels.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

using simd::Ld;

// sqrt(D / (n (n - 1))) for D = n Q - S^2 above 0; 0 otherwise, NaN included.
double StdDevFromSums(double s, double q, int64_t n) {
  const double dn = static_cast<double>(n);
  const double d = dn * q - s * s;
  if (!(d > 0.0)) return 0.0;
  return std::sqrt(d / (dn * (dn - 1.0)));
}

// Values and squares at even and at odd positions over groups of four. The
// float form joins before the tail, the double form adds the tail to the
// even sums first (the generic layouts).
template <class T>
double StdDevFourWay(const T* src, int64_t n) {
  double se = 0.0, so = 0.0, qe = 0.0, qo = 0.0;
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double x0 = Ld(src + i), x1 = Ld(src + i + 1), x2 = Ld(src + i + 2), x3 = Ld(src + i + 3);
    se += x0;
    qe += x0 * x0;
    so += x1;
    qo += x1 * x1;
    se += x2;
    qe += x2 * x2;
    so += x3;
    qo += x3 * x3;
  }
  if constexpr (sizeof(T) == 4) {
    double s = se + so, q = qe + qo;
    for (; i < n; ++i) {
      const double x = Ld(src + i);
      s += x;
      q += x * x;
    }
    return StdDevFromSums(s, q, n);
  } else {
    for (; i < n; ++i) {
      const double x = Ld(src + i);
      se += x;
      qe += x * x;
    }
    return StdDevFromSums(se + so, qe + qo, n);
  }
}

#if SP_SET_HAS_F32_VECTORS
constexpr int64_t kStdDevBlock = 1024;

// Float fast mode: values and squares in single-precision registers within
// a block of 1024, every block's lanes carried into the double totals.
template <bool kAligned>
void AddBlocksF32(const float* p, int64_t n, double& s, double& q) {
  using namespace simd;
  while (n >= 4) {
    const int64_t cnt = (n < kStdDevBlock ? n : kStdDevBlock) & ~3;
    f32x4 v0 = Zero4(), v1 = Zero4(), q0 = Zero4(), q1 = Zero4();
    int64_t i = 0;
    for (; i + 8 <= cnt; i += 8) {
      if constexpr (kAligned) simd::Prefetch(p + i + 64);
      const f32x4 x0 = simd::LoadAs<kAligned>(p + i);
      const f32x4 x1 = simd::LoadAs<kAligned>(p + i + 4);
      v0 = Add(v0, x0);
      q0 = Add(q0, Mul(x0, x0));
      v1 = Add(v1, x1);
      q1 = Add(q1, Mul(x1, x1));
    }
    if (i < cnt) {
      const f32x4 x0 = simd::LoadAs<kAligned>(p + i);
      v0 = Add(v0, x0);
      q0 = Add(q0, Mul(x0, x0));
    }
    alignas(16) float vs[4], qs[4];
    Store(vs, Add(v0, v1));
    Store(qs, Add(q0, q1));
    s += (static_cast<double>(vs[0]) + vs[1]) + (static_cast<double>(vs[2]) + vs[3]);
    q += (static_cast<double>(qs[0]) + qs[1]) + (static_cast<double>(qs[2]) + qs[3]);
    p += cnt;
    n -= cnt;
  }
  for (int64_t i = 0; i < n; ++i) {
    const double x = Ld(p + i);
    s += x;
    q += x * x;
  }
}

double StdDevFastF32(const float* src, int64_t n) {
  double s = 0.0, q = 0.0;
  int64_t head = n;
  if (n >= 9) head = simd::IsAligned(src, 4) ? simd::ElementsTo16(src) : 0;
  for (int64_t i = 0; i < head; ++i) {
    const double x = Ld(src + i);
    s += x;
    q += x * x;
  }
  if (head < n) {
    if (simd::IsAligned(src + head, 16))
      AddBlocksF32<true>(src + head, n - head, s, q);
    else
      AddBlocksF32<false>(src + head, n - head, s, q);
  }
  return StdDevFromSums(s, q, n);
}
#endif

#if SP_SET_HAS_F64_VECTORS
// Doubles: values and squares in two pairs of 2-lane sums each, eight
// elements a step, then tails of four, two and one; D clamped to at least 0.
template <bool kAligned>
double StdDevWideF64(simd::f64x2 v0, simd::f64x2 q0, const double* p, int64_t m, int64_t n) {
  using namespace simd;
  f64x2 v1 = Zero2(), q1 = Zero2();
  int64_t i = 0;
  for (; i + 8 <= m; i += 8) {
    const f64x2 x0 = simd::LoadAs<kAligned>(p + i), x1 = simd::LoadAs<kAligned>(p + i + 2);
    const f64x2 x2 = simd::LoadAs<kAligned>(p + i + 4), x3 = simd::LoadAs<kAligned>(p + i + 6);
    v0 = Add(v0, x0);
    q0 = Add(q0, Mul(x0, x0));
    v1 = Add(v1, x1);
    q1 = Add(q1, Mul(x1, x1));
    v0 = Add(v0, x2);
    q0 = Add(q0, Mul(x2, x2));
    v1 = Add(v1, x3);
    q1 = Add(q1, Mul(x3, x3));
  }
  for (; i + 2 <= m; i += 2) {
    const f64x2 x = simd::LoadAs<kAligned>(p + i);
    v0 = Add(v0, x);
    q0 = Add(q0, Mul(x, x));
  }
  if (i < m) {
    const f64x2 x = simd::LoadSingle(p + i);
    v0 = Add(v0, x);
    q0 = Add(q0, Mul(x, x));
  }
  const double s = simd::FoldLanes(Add(v0, v1));
  const double q = simd::FoldLanes(Add(q0, q1));
  const double dn = static_cast<double>(n);
  // maxsd returns its second operand (0) when D is a NaN.
  const double d = Lane0(MaxLow(LowOnly(dn * q - s * s), Zero2()));
  return std::sqrt(d / (dn * (dn - 1.0)));
}

double StdDevF64Sse2(const double* src, int64_t n) {
  using namespace simd;
  if (simd::IsAligned(src, 16)) return StdDevWideF64<true>(Zero2(), Zero2(), src, n, n);
  if (!simd::IsAligned(src, 8)) return StdDevWideF64<false>(Zero2(), Zero2(), src, n, n);
  const f64x2 x = simd::LoadSingle(src);
  return StdDevWideF64<true>(x, Mul(x, x), src + 1, n - 1, n);
}
#endif

}  // namespace

spStatus SP_V(spMeanF32)(const float* src, int32_t n, float* mean, int32_t hint) {
  if (const spStatus st = CheckArrays(n, src, mean); st != spOk) return st;
  *mean = static_cast<float>(SP_V(spkSumF32)(src, n, hint) / static_cast<double>(n));
  return spOk;
}

spStatus SP_V(spMeanF64)(const double* src, int32_t n, double* mean) {
  if (const spStatus st = CheckArrays(n, src, mean); st != spOk) return st;
  *mean = SP_V(spkSumF64)(src, n) / static_cast<double>(n);
  return spOk;
}

spStatus SP_V(spStdDevF32)(const float* src, int32_t n, float* stdDev, [[maybe_unused]] int32_t hint) {
  if (const spStatus st = CheckArraysMin(n, 2, src, stdDev); st != spOk) return st;
#if SP_SET_HAS_F32_VECTORS
  if (hint == 1) {
    *stdDev = static_cast<float>(StdDevFastF32(src, n));
    return spOk;
  }
#endif
  *stdDev = static_cast<float>(StdDevFourWay(src, n));
  return spOk;
}

spStatus SP_V(spStdDevF64)(const double* src, int32_t n, double* stdDev) {
  if (const spStatus st = CheckArraysMin(n, 2, src, stdDev); st != spOk) return st;
#if SP_SET_HAS_F64_VECTORS
  *stdDev = StdDevF64Sse2(src, n);
#else
  *stdDev = StdDevFourWay(src, n);
#endif
  return spOk;
}

}  // namespace SP_SET_NS

// The mean and standard-deviation dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_MEAN_STDDEV_ENTRIES)
#endif
