// Multiplication of a strided vector by a constant, in one variant set. Every
// member gives each element the product rounded once to the element type (the
// generic set forms a float product exactly in double first), so the five
// sets agree bit for bit. They differ in how they walk memory: the float
// unit-stride members of the SIMD sets use straight-line code for 3 to 6
// elements and eight elements per step for 11 or more, the others one or two
// elements per step. Each element (each block of four in the packed loop) is
// read, multiplied and written before the next is read, and the short
// straight-line cases read everything first, so src == dst works in place.
#include <cstdint>
#include <type_traits>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/simd.h"
#include "primitives/matrix/matrix_kernels.h"
#include "primitives/matrix/sp_matrix.h"
#include "primitives/matrix/strided_access.h"

namespace SP_SET_NS {
namespace {
using namespace matrix;

template <class T>
T Product(T x, T val) {
  if constexpr (std::is_same_v<T, float> && kSetIndex == SP_SET_GENERIC)
    return static_cast<float>(double{x} * double{val});
  else
    return x * val;
}

// Elements per step of the plain loops: the SSE3 and SSSE3 members take
// pairs (2p, then 2p + 1) and then the last element of an odd length.
inline constexpr int kPairedSteps = kSetIndex >= SP_SET_SSE3 ? 2 : 1;

template <int kPerStep, class T>
void StridedLoop(const T* src, int64_t srcStride, T val, T* dst, int64_t dstStride, int64_t len) {
  auto one = [&](int64_t i) { StoreAt(dst, i * dstStride, Product(LoadAt(src, i * srcStride), val)); };
  InSteps<kPerStep>(len, one);
}

#if SP_SET_HAS_F32_VECTORS
// 3 to 6 floats: every element read before the first is written; four in one
// multiply and the rest (one or two) in a second, three in one.
void ShortFloats(const float* src, float val, float* dst, int64_t len) {
  using namespace simd;
  const f32x4 v = Splat(val);
  if (len == 3) {
    Store3(dst, Mul(Load3(src), v));
    return;
  }
  const f32x4 head = LoadU(src);
  if (len == 4) {  // no rest: nothing past src[3] may be read
    StoreU(dst, Mul(head, v));
    return;
  }
  const f32x4 rest = len == 5 ? LoadSingle(src + 4) : LoadLow2(Zero4(), src + 4);
  const f32x4 x = Mul(head, v);
  const f32x4 y = Mul(rest, v);
  StoreU(dst, x);
  if (len == 5) StoreSingle(dst + 4, y);
  if (len == 6) StoreLow2(dst + 4, y);
}

bool RangesOverlap(const void* a, const void* b, int64_t bytes) {
  const uintptr_t x = simd::AddressOf(a), y = simd::AddressOf(b);
  return x < y + static_cast<uintptr_t>(bytes) && y < x + static_cast<uintptr_t>(bytes);
}

// Eight floats per step with aligned stores, after single elements that align
// the destination to 16 bytes; the SSE member prefetches the source 64 bytes
// ahead past the caches. Short, overlapping and not float-aligned vectors
// run one element per step.
void UnitStrideFloats(const float* src, float val, float* dst, int64_t len) {
  using namespace simd;
  if (len >= 3 && len <= 6) return ShortFloats(src, val, dst, len);
  if (len < 11 || RangesOverlap(src, dst, 4 * len) || !IsAligned(dst, 4))
    return StridedLoop<1>(src, 4, val, dst, 4, len);
  int64_t i = 0;
  for (; !Aligned16(dst + i); ++i) St(dst + i, Ld(src + i) * val);
  const int64_t blocksEnd = i + (len - i) / 8 * 8;
  const f32x4 v = Splat(val);
  auto blocks = [&](auto loadAs) {
    for (; i < blocksEnd; i += 8) {
      if constexpr (kSetIndex == SP_SET_SSE) PrefetchNonTemporal(src + i + 16);
      Store(dst + i, Mul(loadAs(src + i), v));
      Store(dst + i + 4, Mul(loadAs(src + i + 4), v));
    }
  };
  if (Aligned16(src + i))
    blocks([](const float* p) { return Load(p); });
  else
    blocks([](const float* p) { return LoadU(p); });
  for (; i < len; ++i) St(dst + i, Ld(src + i) * val);
}
#endif

#if SP_SET_HAS_F64_VECTORS
// Doubles: 3 to 5 one at a time, 6 read whole and multiplied as three pairs,
// other lengths by the set's plain loop.
void UnitStrideDoubles(const double* src, double val, double* dst, int64_t len) {
  using namespace simd;
  if (len >= 3 && len <= 5) return StridedLoop<1>(src, 8, val, dst, 8, len);
  if (len == 6) {
    const f64x2 v = Splat(val);
    const f64x2 x0 = Mul(LoadU(src), v), x1 = Mul(LoadU(src + 2), v), x2 = Mul(LoadU(src + 4), v);
    StoreU(dst, x0);
    StoreU(dst + 2, x1);
    StoreU(dst + 4, x2);
    return;
  }
  StridedLoop<kPairedSteps>(src, 8, val, dst, 8, len);
}
#endif

template <class T, class UnitKernel, class ByteKernel>
spStatus MulConstStrided(const T* src, int32_t srcStride, T val, T* dst, int32_t dstStride, int32_t len,
                         UnitKernel unitKernel, ByteKernel byteKernel) {
  if (const spStatus s =
          FirstFailure(CheckArrays(len, src, dst), CheckThat(AllValidStrides<T>(srcStride, dstStride), spErrStride));
      s != spOk)
    return s;
  constexpr int32_t E = sizeof(T);
  if (srcStride == E && dstStride == E) return unitKernel(src, val, dst, len);
  return byteKernel(src, srcStride, val, dst, dstStride, len);
}

}  // namespace

spStatus SP_V(spkMulConstUnitStrideF32)(const float* src, float val, float* dst, int32_t len) {
#if SP_SET_HAS_F32_VECTORS
  UnitStrideFloats(src, val, dst, len);
#else
  StridedLoop<1>(src, 4, val, dst, 4, len);
#endif
  return spOk;
}

spStatus SP_V(spkMulConstByteStrideF32)(const float* src, int32_t srcStride, float val, float* dst, int32_t dstStride,
                                        int32_t len) {
  StridedLoop<kPairedSteps>(src, srcStride, val, dst, dstStride, len);
  return spOk;
}

spStatus SP_V(spkMulConstUnitStrideF64)(const double* src, double val, double* dst, int32_t len) {
#if SP_SET_HAS_F64_VECTORS
  UnitStrideDoubles(src, val, dst, len);
#else
  StridedLoop<1>(src, 8, val, dst, 8, len);
#endif
  return spOk;
}

spStatus SP_V(spkMulConstByteStrideF64)(const double* src, int32_t srcStride, double val, double* dst,
                                        int32_t dstStride, int32_t len) {
  StridedLoop<kPairedSteps>(src, srcStride, val, dst, dstStride, len);
  return spOk;
}

spStatus SP_V(spMulConstStridedF32)(const float* src, int32_t srcStride, float val, float* dst, int32_t dstStride,
                                    int32_t len) {
  return MulConstStrided(src, srcStride, val, dst, dstStride, len, SP_V(spkMulConstUnitStrideF32),
                         SP_V(spkMulConstByteStrideF32));
}

spStatus SP_V(spMulConstStridedF64)(const double* src, int32_t srcStride, double val, double* dst, int32_t dstStride,
                                    int32_t len) {
  return MulConstStrided(src, srcStride, val, dst, dstStride, len, SP_V(spkMulConstUnitStrideF64),
                         SP_V(spkMulConstByteStrideF64));
}

}  // namespace SP_SET_NS

// The multiply-by-constant dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_MUL_CONST_STRIDED_ENTRIES)
#endif
