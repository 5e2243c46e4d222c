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
[[gnu::always_inline]] inline double SumInterleaved(const T* src, int64_t n) {
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

#if SP_SET_HAS_F32_VECTORS
// The accurate layout: eight double partial sums; element j of group g goes
// to sum (j + g) mod 8, so every sum takes one element per group and the
// assignment rotates. The last n mod 8 elements go, in index order, to the
// sum next in the rotation; the join is (s0 + s4 + s2 + s6) + (s1 + s5 +
// s3 + s7) as ((s0 + s4) + (s2 + s6)) + ((s1 + s5) + (s3 + s7)).
//
// Two holders of the same sums: EightSums, eight scalars (the SSE set, and
// its doubles), and PairSums, the pairs (s0, s1), (s2, s3), (s4, s5),
// (s6, s7) of the SSE2-and-later float sum. Each adds group p under rotation
// r (AddGroup<r>), adds the tail into sum r (AddTail<r>) and joins.
template <class T>
struct EightSums {
  double s[8] = {0, 0, 0, 0, 0, 0, 0, 0};

  template <int kRotation>
  void AddGroup(const T* p) {
    s[(0 + kRotation) & 7] += Ld(p + 0);
    s[(1 + kRotation) & 7] += Ld(p + 1);
    s[(2 + kRotation) & 7] += Ld(p + 2);
    s[(3 + kRotation) & 7] += Ld(p + 3);
    s[(4 + kRotation) & 7] += Ld(p + 4);
    s[(5 + kRotation) & 7] += Ld(p + 5);
    s[(6 + kRotation) & 7] += Ld(p + 6);
    s[(7 + kRotation) & 7] += Ld(p + 7);
  }
  template <int kRotation>
  void AddTail(const T* p, const T* end) {
    for (; p < end; ++p) s[kRotation] += Ld(p);
  }
  double Join() const {
    const double a0 = s[0] + s[4], a1 = s[1] + s[5], a2 = s[2] + s[6], a3 = s[3] + s[7];
    return (a0 + a2) + (a1 + a3);
  }
};

#if SP_SET_HAS_F64_VECTORS
// With rotation r, pair i takes elements 2i - r and 2i + 1 - r (mod 8): a
// consecutive pair for even r and, for odd r, one too except (x7, x0).
struct PairSums {
  f64x2 s[4] = {Zero2(), Zero2(), Zero2(), Zero2()};

  template <int kRotation>
  void AddGroup(const float* p) {
    constexpr int kShift = kRotation / 2;
    const auto pairFor = [p](int i) {
      const int j = (i - kShift) & 3;
      if constexpr (kRotation % 2 == 0) return LoadPairAsF64(p + 2 * j);
      return j == 0 ? LoadTwoAsF64(p + 7, p) : LoadPairAsF64(p + 2 * j - 1);
    };
    s[0] = Add(s[0], pairFor(0));
    s[1] = Add(s[1], pairFor(1));
    s[2] = Add(s[2], pairFor(2));
    s[3] = Add(s[3], pairFor(3));
  }
  // Scalar additions on lane 0 (the pair swapped for lane 1).
  template <int kRotation>
  void AddTail(const float* p, const float* end) {
    f64x2 pair = s[kRotation / 2];
    if constexpr (kRotation % 2 == 1) pair = SwapHalves(pair);
    for (; p < end; ++p) pair = AddLow(pair, LowOnly(static_cast<double>(Ld(p))));
    if constexpr (kRotation % 2 == 1) pair = SwapHalves(pair);
    s[kRotation / 2] = pair;
  }
  // (s0 + s4, s1 + s5) + (s2 + s6, s3 + s7), then lane 0 + lane 1.
  double Join() const { return FoldLanes(Add(Add(s[0], s[2]), Add(s[1], s[3]))); }
};
#endif

// Whole turns of eight groups (64 elements) from zero sums, out of line: the
// short path below then keeps its sums in registers, with no stack frame.
template <class Sums, class T>
[[gnu::noinline]] Sums AddWholeTurns(const T* p, int64_t turns) {
  Sums s;
  for (; turns > 0; --turns, p += 64) {
    s.template AddGroup<0>(p);
    s.template AddGroup<1>(p + 8);
    s.template AddGroup<2>(p + 16);
    s.template AddGroup<3>(p + 24);
    s.template AddGroup<4>(p + 32);
    s.template AddGroup<5>(p + 40);
    s.template AddGroup<6>(p + 48);
    s.template AddGroup<7>(p + 56);
  }
  return s;
}

// Group p under rotation kRotation when a whole group is left (false);
// otherwise the tail into sum kRotation (true: the walk is done).
template <int kRotation, class Sums, class T>
inline bool GroupOrTail(Sums& s, const T*& p, const T* end) {
  if (end - p < 8) {
    s.template AddTail<kRotation>(p, end);
    return true;
  }
  s.template AddGroup<kRotation>(p);
  p += 8;
  return false;
}

// After the whole turns fewer than eight groups are left, so one pass of
// tests ends by <7> at the latest; every index into the sums is a constant
// (no jump table, no stack round trip per group).
template <class Sums, class T>
[[gnu::always_inline]] inline double SumRotating(const T* src, int64_t n) {
  const int64_t turns = n / 64;
  Sums s = turns > 0 ? AddWholeTurns<Sums>(src, turns) : Sums{};
  const T* p = src + 64 * turns;
  const T* const end = src + n;
  (void)(GroupOrTail<0>(s, p, end) || GroupOrTail<1>(s, p, end) || GroupOrTail<2>(s, p, end) ||
         GroupOrTail<3>(s, p, end) || GroupOrTail<4>(s, p, end) || GroupOrTail<5>(s, p, end) ||
         GroupOrTail<6>(s, p, end) || GroupOrTail<7>(s, p, end));
  return s.Join();
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

#if SP_SET_HAS_F64_VECTORS
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

// The set's float sum, inlined into both the kernel and the entry (a call
// more is a good part of a 16-element sum).
[[gnu::always_inline]] inline double SumF32(const float* src, int64_t n, [[maybe_unused]] int32_t hint) {
#if SP_SET_INDEX == SP_SET_GENERIC
  return SumInterleaved(src, n);
#else
  if (hint == 1) return SumFastF32(src, n);
#if SP_SET_HAS_F64_VECTORS
  return SumRotating<PairSums>(src, n);
#else
  return SumRotating<EightSums<float>>(src, n);
#endif
#endif
}

}  // namespace

double SP_V(spkSumF32)(const float* src, int64_t n, int32_t hint) { return SumF32(src, n, hint); }

double SP_V(spkSumF64)(const double* src, int64_t n) {
#if SP_SET_INDEX == SP_SET_GENERIC
  return SumInterleaved(src, n);
#elif SP_SET_INDEX == SP_SET_SSE
  return SumRotating<EightSums<double>>(src, n);
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
  *sum = static_cast<float>(SumF32(src, n, hint));
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
