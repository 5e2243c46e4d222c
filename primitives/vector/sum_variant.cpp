// Sum primitives and their kernels, one source for every variant set.
// Generic: two interleaved double partial sums. SIMD sets: float sums in the
// accurate mode (eight rotating double partial sums, identical in the four
// sets) or the fast mode (single-precision blocks of 32768 elements carried
// in double); double sums with eight rotating partial sums (SSE set, which
// has no double vectors) or four 2-lane registers (SSE2 and later).
#include "primitives/vector/sp_sum.h"

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/sum_kernels.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

using simd::Ld;

// Generic layout: x[4k], x[4k+2] into the even sum, x[4k+1], x[4k+3] into the
// odd sum. Floats add the last n mod 4 onto (odd + even) in index order;
// doubles add them to the even sum first and join afterwards.
template <class T>
double SumInterleaved(const T* src, int64_t n) {
  double even = 0.0, odd = 0.0;
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    even += Ld(src + i);
    odd += Ld(src + i + 1);
    even += Ld(src + i + 2);
    odd += Ld(src + i + 3);
  }
  if constexpr (sizeof(T) == 8) {
    for (; i < n; ++i) even += Ld(src + i);
    return even + odd;
  } else {
    double total = odd + even;
    for (; i < n; ++i) total += Ld(src + i);
    return total;
  }
}

#if SP_SET_INDEX >= SP_SET_SSE
// Eight double partial sums; element j of group g goes to sum (j + g) mod 8,
// so every sum takes one element per group and the assignment rotates.
template <int kRotation, class T>
inline void AddGroupRotated(double (&s)[8], const T* p) {
  s[(0 + kRotation) & 7] += Ld(p + 0);
  s[(1 + kRotation) & 7] += Ld(p + 1);
  s[(2 + kRotation) & 7] += Ld(p + 2);
  s[(3 + kRotation) & 7] += Ld(p + 3);
  s[(4 + kRotation) & 7] += Ld(p + 4);
  s[(5 + kRotation) & 7] += Ld(p + 5);
  s[(6 + kRotation) & 7] += Ld(p + 6);
  s[(7 + kRotation) & 7] += Ld(p + 7);
}

template <class T>
double SumRotating(const T* src, int64_t n) {
  double s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  const int64_t groups = n / 8;
  int64_t g = 0;
  for (; g + 8 <= groups; g += 8) {
    const T* p = src + 8 * g;
    AddGroupRotated<0>(s, p);
    AddGroupRotated<1>(s, p + 8);
    AddGroupRotated<2>(s, p + 16);
    AddGroupRotated<3>(s, p + 24);
    AddGroupRotated<4>(s, p + 32);
    AddGroupRotated<5>(s, p + 40);
    AddGroupRotated<6>(s, p + 48);
    AddGroupRotated<7>(s, p + 56);
  }
  for (; g < groups; ++g) {
    const T* p = src + 8 * g;
    switch (g & 7) {
      case 0: AddGroupRotated<0>(s, p); break;
      case 1: AddGroupRotated<1>(s, p); break;
      case 2: AddGroupRotated<2>(s, p); break;
      case 3: AddGroupRotated<3>(s, p); break;
      case 4: AddGroupRotated<4>(s, p); break;
      case 5: AddGroupRotated<5>(s, p); break;
      case 6: AddGroupRotated<6>(s, p); break;
      default: AddGroupRotated<7>(s, p); break;
    }
  }
  // The tail goes to the sum next in the rotation.
  double& next = s[groups & 7];
  for (int64_t i = 8 * groups; i < n; ++i) next += Ld(src + i);
  const double a0 = s[0] + s[4], a1 = s[1] + s[5], a2 = s[2] + s[6], a3 = s[3] + s[7];
  return (a0 + a2) + (a1 + a3);
}

constexpr int64_t kFastBlock = 32768;

// One block of the fast float sum in single precision: sixteen partial sums
// (four registers, 64 bytes a step), tails of 4, 2 and 1 into the first
// register, registers joined as (r0 + r2) + (r1 + r3), lanes folded to
// (l0 + l2, l1 + l3); both halves are added to the double total in turn.
template <bool kAligned>
double AddBlockF32(double total, const float* p, int64_t cnt) {
  using namespace simd;
  f32x4 r0 = Zero4(), r1 = Zero4(), r2 = Zero4(), r3 = Zero4();
  int64_t i = 0;
  for (; i + 16 <= cnt; i += 16) {
    if constexpr (kAligned && kSetIndex != SP_SET_SSE2) {
      simd::Prefetch(p + i + 32);
      simd::Prefetch(p + i + 40);
    }
    r0 = Add(r0, simd::LoadAs<kAligned>(p + i));
    r1 = Add(r1, simd::LoadAs<kAligned>(p + i + 4));
    r2 = Add(r2, simd::LoadAs<kAligned>(p + i + 8));
    r3 = Add(r3, simd::LoadAs<kAligned>(p + i + 12));
  }
  for (; i + 4 <= cnt; i += 4) r0 = Add(r0, simd::LoadAs<kAligned>(p + i));
  if (i + 2 <= cnt) {
    r0 = Add(r0, simd::LoadPair(p + i));
    i += 2;
  }
  if (i < cnt) r0 = Add(r0, simd::LoadSingle(p + i));
  const f32x4 folded = simd::FoldHighOntoLow(Add(Add(r0, r2), Add(r1, r3)));
  total += simd::Lane(folded, 0);
  total += simd::Lane(folded, 1);
  return total;
}

template <bool kAligned>
double SumBlocksF32(double total, const float* p, int64_t n) {
  for (;;) {
    const int64_t cnt = n < kFastBlock ? n : kFastBlock;
    total = AddBlockF32<kAligned>(total, p, cnt);
    if (n <= kFastBlock) return total;  // the remainder block has been added
    p += kFastBlock;
    n -= kFastBlock;
  }
}

double SumFastF32(const float* src, int64_t n) {
  double total = 0.0;
  if (!simd::IsAligned(src, 4)) return SumBlocksF32<false>(total, src, n);
  while (n > 0 && !simd::IsAligned(src, 16)) {
    total += Ld(src);
    ++src;
    --n;
  }
  return SumBlocksF32<true>(total, src, n);
}
#endif

#if SP_SET_INDEX >= SP_SET_SSE2
// Eight partial sums in four 2-lane registers, 64 bytes a step.
template <bool kAligned>
double SumPairsF64(simd::f64x2 r0, const double* p, int64_t n) {
  using namespace simd;
  f64x2 r1 = Zero2(), r2 = Zero2(), r3 = Zero2();
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if constexpr (kSetIndex >= SP_SET_SSE3) simd::Prefetch(p + i + 16);
    r0 = Add(r0, simd::LoadAs<kAligned>(p + i));
    r1 = Add(r1, simd::LoadAs<kAligned>(p + i + 2));
    r2 = Add(r2, simd::LoadAs<kAligned>(p + i + 4));
    r3 = Add(r3, simd::LoadAs<kAligned>(p + i + 6));
  }
  r0 = Add(Add(r0, r1), Add(r2, r3));
  for (; i + 2 <= n; i += 2) r0 = Add(r0, simd::LoadAs<kAligned>(p + i));
  if (i < n) r0 = Add(r0, simd::LoadSingle(p + i));
  return simd::FoldLanes(r0);
}
#endif

}  // namespace

double SP_V(spkSumF32)(const float* src, int64_t n, [[maybe_unused]] int32_t hint) {
#if SP_SET_INDEX == SP_SET_GENERIC
  return SumInterleaved(src, n);
#else
  return hint == 1 ? SumFastF32(src, n) : SumRotating(src, n);
#endif
}

double SP_V(spkSumF64)(const double* src, int64_t n) {
#if SP_SET_INDEX == SP_SET_GENERIC
  return SumInterleaved(src, n);
#elif SP_SET_INDEX == SP_SET_SSE
  return SumRotating(src, n);
#else
  if (simd::IsAligned(src, 16)) return SumPairsF64<true>(simd::Zero2(), src, n);
  if (simd::IsAligned(src, 8)) {
    // The first element goes into lane 0, the rest is 16-byte aligned.
    return SumPairsF64<true>(simd::LoadSingle(src), src + 1, n - 1);
  }
  return SumPairsF64<false>(simd::Zero2(), src, n);
#endif
}

spStatus SP_V(spSumF32)(const float* src, int32_t n, float* sum, int32_t hint) {
  if (const spStatus st = CheckArrays(n, src, sum); st != spOk) return st;
  *sum = static_cast<float>(SP_V(spkSumF32)(src, n, hint));
  return spOk;
}

spStatus SP_V(spSumF64)(const double* src, int32_t n, double* sum) {
  if (const spStatus st = CheckArrays(n, src, sum); st != spOk) return st;
  *sum = SP_V(spkSumF64)(src, n);
  return spOk;
}

}  // namespace SP_SET_NS

// The sum dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_SUM_ENTRIES)
#endif
