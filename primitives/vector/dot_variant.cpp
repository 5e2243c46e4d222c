// Dot-product primitives and their kernels, one source for every set.
// Generic (and SSE for doubles): exact products added in index order in
// double precision. SIMD floats: products rounded to float and added in
// single precision into 8 (SSE) or 16 (SSE2 and later) partial sums; SIMD
// doubles: eight partial sums in four 2-lane registers.
#include "primitives/vector/sp_dot.h"

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/dot_kernels.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

using simd::Ld;

template <class T>
double DotInOrder(const T* a, const T* b, int64_t n) {
  double s = 0.0;
  for (int64_t i = 0; i < n; ++i) s += static_cast<double>(Ld(a + i)) * static_cast<double>(Ld(b + i));
  return s;
}

#if SP_SET_HAS_F32_VECTORS
using simd::f32x4;

// Products of a pair (lanes 0, 1) or a single element (lane 0).
inline f32x4 PairProduct(const float* a, const float* b) { return simd::Mul(simd::LoadPair(a), simd::LoadPair(b)); }
inline f32x4 SingleProduct(const float* a, const float* b) { return MulLow(simd::LoadSingle(a), simd::LoadSingle(b)); }

// Lanes of r0 (and r1 .. r3 joined as (r0 + r1) + (r2 + r3)), upper two lanes
// onto the lower two, then lane 0 + lane 1.
inline float FoldDot(f32x4 r) { return simd::FoldPair(simd::FoldHighOntoLow(r)); }

// Sixteen elements a step; `kAlignedA` / `kAlignedB` choose aligned loads.
// kRegisters 2: r0 and r1 take two groups of four each; 4: one each.
template <int kRegisters, bool kAlignedA, bool kAlignedB>
[[gnu::always_inline]] inline float DotBlocksF32(f32x4 r0, const float* a, const float* b, int64_t n) {
  using namespace simd;
  f32x4 r1 = Zero4(), r2 = Zero4(), r3 = Zero4();
  int64_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const f32x4 p0 = Mul(simd::LoadAs<kAlignedA>(a + i), simd::LoadAs<kAlignedB>(b + i));
    const f32x4 p1 = Mul(simd::LoadAs<kAlignedA>(a + i + 4), simd::LoadAs<kAlignedB>(b + i + 4));
    const f32x4 p2 = Mul(simd::LoadAs<kAlignedA>(a + i + 8), simd::LoadAs<kAlignedB>(b + i + 8));
    const f32x4 p3 = Mul(simd::LoadAs<kAlignedA>(a + i + 12), simd::LoadAs<kAlignedB>(b + i + 12));
    if constexpr (kRegisters == 2) {
      r0 = Add(r0, p0);
      r1 = Add(r1, p1);
      r0 = Add(r0, p2);
      r1 = Add(r1, p3);
    } else {
      r0 = Add(r0, p0);
      r1 = Add(r1, p1);
      r2 = Add(r2, p2);
      r3 = Add(r3, p3);
    }
  }
  // Tails below 16 as pairs and a last single, into the first register.
  for (; i + 2 <= n; i += 2) r0 = Add(r0, PairProduct(a + i, b + i));
  if (i < n) r0 = Add(r0, SingleProduct(a + i, b + i));
  if constexpr (kRegisters == 2)
    return FoldDot(Add(r0, r1));
  else
    return FoldDot(Add(Add(r0, r1), Add(r2, r3)));
}

#if SP_SET_INDEX == SP_SET_SSE
// SSE: short arrays one element at a time into lane 0; otherwise single
// products until a is 16-byte aligned (all single when a is not 4-byte
// aligned), then aligned loads of a.
float DotSse(const float* a, const float* b, int64_t n) {
  f32x4 r0 = simd::Zero4();
  int64_t head = n;
  if (n >= 16 && simd::IsAligned(a, 4)) head = simd::ElementsTo16(a) < n ? simd::ElementsTo16(a) : n;
  for (int64_t i = 0; i < head; ++i) r0 = AddLow(r0, SingleProduct(a + i, b + i));
  if (head == n) return FoldDot(r0);
  a += head;
  b += head;
  n -= head;
  if (simd::IsAligned(b, 16)) return DotBlocksF32<2, true, true>(r0, a, b, n);
  return DotBlocksF32<2, true, false>(r0, a, b, n);
}
#else

// SSE2 and later, n of 16 and more: single products until a 4-byte aligned
// operand (b first, else a) reaches a 16-byte boundary, then aligned loads of
// that operand.
[[gnu::noinline]] float DotWideAnyAlignment(const float* a, const float* b, int64_t n) {
  f32x4 r0 = simd::Zero4();
  const bool alignB = simd::IsAligned(b, 4);
  const bool alignA = !alignB && simd::IsAligned(a, 4);
  if (!alignA && !alignB) return DotBlocksF32<4, false, false>(r0, a, b, n);
  const int64_t head = alignB ? simd::ElementsTo16(b) : simd::ElementsTo16(a);
  for (int64_t i = 0; i < head; ++i) r0 = AddLow(r0, SingleProduct(a + i, b + i));
  a += head;
  b += head;
  n -= head;
  const bool otherAligned = alignB ? simd::IsAligned(a, 16) : simd::IsAligned(b, 16);
  if (otherAligned) return DotBlocksF32<4, true, true>(r0, a, b, n);
  if (alignB) return DotBlocksF32<4, false, true>(r0, a, b, n);
  return DotBlocksF32<4, true, false>(r0, a, b, n);
}

// Up to 15 elements as pairs into two lanes and a last single; both operands
// on 16 bytes (the usual case) straight into the aligned blocks, as the
// general path would choose, without its tests; the rest out of line.
[[gnu::always_inline]] inline float DotWide(const float* a, const float* b, int64_t n) {
  f32x4 r0 = simd::Zero4();
  if (n <= 15) {
    int64_t i = 0;
    for (; i + 2 <= n; i += 2) r0 = simd::Add(r0, PairProduct(a + i, b + i));
    if (i < n) r0 = simd::Add(r0, SingleProduct(a + i, b + i));
    return FoldDot(r0);
  }
  if (simd::Aligned16(a) && simd::Aligned16(b)) return DotBlocksF32<4, true, true>(r0, a, b, n);
  return DotWideAnyAlignment(a, b, n);
}
#endif  // SP_SET_INDEX == SP_SET_SSE
#endif

#if SP_SET_HAS_F64_VECTORS
using simd::f64x2;

// Eight partial sums (four registers), eight elements a step; remaining
// pairs and a last single into the first register.
template <bool kAlignedA, bool kAlignedB>
double DotBlocksF64(f64x2 r0, const double* a, const double* b, int64_t n) {
  using namespace simd;
  f64x2 r1 = Zero2(), r2 = Zero2(), r3 = Zero2();
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    r0 = Add(r0, Mul(simd::LoadAs<kAlignedA>(a + i), simd::LoadAs<kAlignedB>(b + i)));
    r1 = Add(r1, Mul(simd::LoadAs<kAlignedA>(a + i + 2), simd::LoadAs<kAlignedB>(b + i + 2)));
    r2 = Add(r2, Mul(simd::LoadAs<kAlignedA>(a + i + 4), simd::LoadAs<kAlignedB>(b + i + 4)));
    r3 = Add(r3, Mul(simd::LoadAs<kAlignedA>(a + i + 6), simd::LoadAs<kAlignedB>(b + i + 6)));
  }
  for (; i + 2 <= n; i += 2) r0 = Add(r0, Mul(simd::LoadAs<kAlignedA>(a + i), simd::LoadAs<kAlignedB>(b + i)));
  if (i < n) r0 = Add(r0, MulLow(simd::LoadSingle(a + i), simd::LoadSingle(b + i)));
  return simd::FoldLanes(Add(Add(r0, r1), Add(r2, r3)));
}

// Aligned loads for whichever operands are 16-byte aligned.
double DotBlocksF64ByAlignment(f64x2 r0, const double* a, const double* b, int64_t n) {
  const bool a16 = simd::IsAligned(a, 16), b16 = simd::IsAligned(b, 16);
  if (a16 && b16) return DotBlocksF64<true, true>(r0, a, b, n);
  if (a16) return DotBlocksF64<true, false>(r0, a, b, n);
  if (b16) return DotBlocksF64<false, true>(r0, a, b, n);
  return DotBlocksF64<false, false>(r0, a, b, n);
}

double DotWideF64(const double* a, const double* b, int64_t n) {
  f64x2 r0 = simd::Zero2();
  const bool either16 = simd::IsAligned(a, 16) || simd::IsAligned(b, 16);
  if (!either16 && (simd::IsAligned(a, 8) || simd::IsAligned(b, 8))) {
    // One single product brings an 8-byte aligned operand to 16 bytes.
    r0 = MulLow(simd::LoadSingle(a), simd::LoadSingle(b));
    if (n == 1) return simd::FoldLanes(r0);
    ++a;
    ++b;
    --n;
  }
  return DotBlocksF64ByAlignment(r0, a, b, n);
}
#endif

// The set's float dot product, inlined into both the kernel and the entry
// (a call more is a good part of a 16-element dot product).
[[gnu::always_inline]] inline float DotF32(const float* a, const float* b, int64_t n) {
#if SP_SET_INDEX == SP_SET_GENERIC
  return static_cast<float>(DotInOrder(a, b, n));
#elif SP_SET_INDEX == SP_SET_SSE
  return DotSse(a, b, n);
#else
  return DotWide(a, b, n);
#endif
}

}  // namespace

void SP_V(spkDotF32)(const float* a, const float* b, int64_t n, float* result) { *result = DotF32(a, b, n); }

void SP_V(spkDotF64)(const double* a, const double* b, int64_t n, double* result) {
#if !SP_SET_HAS_F64_VECTORS
  *result = DotInOrder(a, b, n);
#else
  *result = DotWideF64(a, b, n);
#endif
}

spStatus SP_V(spDotF32)(const float* a, const float* b, int32_t n, float* result) {
  if (const spStatus st = CheckArrays(n, a, b, result); st != spOk) return st;
  *result = DotF32(a, b, n);
  return spOk;
}

spStatus SP_V(spDotF64)(const double* a, const double* b, int32_t n, double* result) {
  if (const spStatus st = CheckArrays(n, a, b, result); st != spOk) return st;
  SP_V(spkDotF64)(a, b, n, result);
  return spOk;
}

}  // namespace SP_SET_NS

// The dot-product dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_DOT_ENTRIES)
#endif
