// Complex multiplication of one variant set, dst[k] = a[k] * b[k] on
// interleaved (re, im) arrays. The generic set forms the single-precision
// products and their sum in double and rounds each component once (the x87
// way); the SIMD sets round each product to float first, so the two can
// differ in the last place. In double precision every set rounds each
// product, then the sum, and all agree.
#include "primitives/vector/sp_complex.h"

#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/elementwise_walk.h"
#include "primitives/frame/sp_status.h"

namespace SP_SET_NS {
namespace {

using namespace simd;

// Element loop of the x87-style sets, in ascending order. All four inputs of
// an element are read before its results are stored: rereading them after
// the real part is stored would corrupt the imaginary part when dst is a
// or b.
template <class Wide, class T>
void ScalarLoop(const T* a, const T* b, T* dst, int64_t n) {
  for (int64_t k = 0; k < 2 * n; k += 2) {
    const Wide ar = Ld(a + k), ai = Ld(a + k + 1), br = Ld(b + k), bi = Ld(b + k + 1);
    St(dst + k, static_cast<T>(ar * br - ai * bi));
    St(dst + k + 1, static_cast<T>(ar * bi + ai * br));
  }
}

#if SP_SET_HAS_F32_VECTORS
using walk::LoadAs;
using walk::StoreAs;
using walk::StoreKind;
using walk::WithFlag;

// One element in the element type, as the vector lanes compute it.
template <class T>
inline void MulOne(const T* a, const T* b, T* dst) {
  const T ar = Ld(a), ai = Ld(a + 1), br = Ld(b), bi = Ld(b + 1);
  St(dst, ar * br - ai * bi);
  St(dst + 1, ar * bi + ai * br);
}

// Blocks of 4 complex floats (two vectors).
template <bool AA, bool BA, StoreKind K>
void C32Blocks(const float* a, const float* b, float* dst, int64_t floats) {
  for (int64_t i = 0; i < floats; i += 8) {
    StoreAs<K>(dst + i, MulComplex(LoadAs<AA>(a + i), LoadAs<BA>(b + i)));
    StoreAs<K>(dst + i + 4, MulComplex(LoadAs<AA>(a + i + 4), LoadAs<BA>(b + i + 4)));
  }
}

// Large aligned results may stream past the caches in the SSE and SSE3
// sets (SSE3 only when the sources are aligned too); SSE2 and SSSE3 never
// stream.
constexpr bool kC32MayStream = kSetIndex == SP_SET_SSE || kSetIndex == SP_SET_SSE3;

void C32Kernel(const float* a, const float* b, float* dst, int64_t n) {
  int64_t k = 0;
  if (n >= 5) {
    const bool alignedStores = (AddressOf(dst) & 7) == 0;
    if (alignedStores && !Aligned16(dst)) {
      MulOne(a, b, dst);
      k = 1;
    }
    const int64_t blocks = (n - k) / 4;
    const float* as = a + 2 * k;
    const float* bs = b + 2 * k;
    float* ds = dst + 2 * k;
    bool stream = kC32MayStream && alignedStores && 24 * n > walk::kStreamAboveBytes;
    if constexpr (kSetIndex == SP_SET_SSE3) stream = stream && Aligned16(as) && Aligned16(bs);
    WithFlag(Aligned16(as), [&](auto aa) {
      WithFlag(Aligned16(bs), [&](auto ba) {
        constexpr bool AA = decltype(aa)::value;
        constexpr bool BA = decltype(ba)::value;
        if (stream)
          C32Blocks<AA, BA, StoreKind::Streaming>(as, bs, ds, blocks * 8);
        else if (alignedStores)
          C32Blocks<AA, BA, StoreKind::Aligned>(as, bs, ds, blocks * 8);
        else
          C32Blocks<AA, BA, StoreKind::Unaligned>(as, bs, ds, blocks * 8);
      });
    });
    if (stream) simd::StoreFence();
    k += blocks * 4;
  }
  for (; k < n; ++k) MulOne(a + 2 * k, b + 2 * k, dst + 2 * k);
}
#endif

#if SP_SET_HAS_F64_VECTORS
template <bool AA, bool BA, StoreKind K>
void C64Loop(const double* a, const double* b, double* dst, int64_t doubles) {
  // SSE3 and SSSE3 take two elements per step, SSE2 one.
  constexpr int64_t kStep = kHasSse3 ? 4 : 2;
  for (int64_t i = 0; i < doubles; i += kStep) {
    StoreAs<K>(dst + i, MulComplex(LoadAs<AA>(a + i), LoadAs<BA>(b + i)));
    if constexpr (kStep == 4) StoreAs<K>(dst + i + 2, MulComplex(LoadAs<AA>(a + i + 2), LoadAs<BA>(b + i + 2)));
  }
}

// Large aligned results stream past the caches.
void C64Kernel(const double* a, const double* b, double* dst, int64_t n) {
  constexpr int64_t kPerStep = kHasSse3 ? 2 : 1;
  const int64_t steps = n / kPerStep;
  const bool alignedStores = Aligned16(dst);
  const bool stream = alignedStores && 48 * n > walk::kStreamAboveBytes;
  WithFlag(Aligned16(a), [&](auto aa) {
    WithFlag(Aligned16(b), [&](auto ba) {
      constexpr bool AA = decltype(aa)::value;
      constexpr bool BA = decltype(ba)::value;
      if (stream)
        C64Loop<AA, BA, StoreKind::Streaming>(a, b, dst, steps * kPerStep * 2);
      else if (alignedStores)
        C64Loop<AA, BA, StoreKind::Aligned>(a, b, dst, steps * kPerStep * 2);
      else
        C64Loop<AA, BA, StoreKind::Unaligned>(a, b, dst, steps * kPerStep * 2);
    });
  });
  if (stream) simd::StoreFence();
  for (int64_t k = steps * kPerStep; k < n; ++k) MulOne(a + 2 * k, b + 2 * k, dst + 2 * k);
}
#endif

}  // namespace

spStatus SP_V(spMulC32)(const float* a, const float* b, float* dst, int32_t n) {
  if (const spStatus s = CheckArrays(n, a, b, dst); s != spOk) return s;
#if SP_SET_HAS_F32_VECTORS
  C32Kernel(a, b, dst, n);
#else
  ScalarLoop<double>(a, b, dst, n);
#endif
  return spOk;
}

spStatus SP_V(spMulC64)(const double* a, const double* b, double* dst, int32_t n) {
  if (const spStatus s = CheckArrays(n, a, b, dst); s != spOk) return s;
#if SP_SET_HAS_F64_VECTORS
  C64Kernel(a, b, dst, n);
#else
  ScalarLoop<double>(a, b, dst, n);
#endif
  return spOk;
}

}  // namespace SP_SET_NS

// The complex multiplication dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_COMPLEX_MUL_ENTRIES)
#endif
