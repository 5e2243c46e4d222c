// Maximum and minimum primitives, one source for every set. The generic
// set's scalar rules define every result (floats: the maximum moves only on
// an ordered "greater", the minimum on "less or unordered"); the SIMD sets
// search with packed max/min or compare-and-select and recover the index as
// the first element whose bit pattern equals the extreme, which gives the
// generic value and index for data free of NaN and of zeros of both signs.
#include "primitives/vector/sp_minmax.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "primitives/frame/sp_status.h"
#include "primitives/vector/float_bits.h"
#include "primitives/vector/stats_ops.h"

#if SP_SET_INDEX == 1
#include <mmintrin.h>
#endif

namespace SP_SET_NS {
namespace {

using vstat::Ld;

enum class Dir { kMax, kMin };

template <Dir D, class T>
inline bool Replaces(T x, T running) {
  if constexpr (D == Dir::kMax) return x > running;
  else if constexpr (std::is_floating_point_v<T>) return !(x >= running);  // less or unordered
  else return x < running;
}

template <class T>
inline bool SameBits(T a, T b) {
  if constexpr (std::is_integral_v<T>) return a == b;
  else return vstat::Bits(a) == vstat::Bits(b);
}

// The generic rule over positions [from, n) starting from `running`.
template <Dir D, class T>
inline T ScalarScan(const T* src, int32_t from, int32_t n, T running) {
  for (int32_t i = from; i < n; ++i) {
    const T x = Ld(src + i);
    if (Replaces<D>(x, running)) running = x;
  }
  return running;
}

template <Dir D, class T>
inline T ScalarScanIndex(const T* src, int32_t from, int32_t n, T running, int32_t& index) {
  for (int32_t i = from; i < n; ++i) {
    const T x = Ld(src + i);
    if (Replaces<D>(x, running)) {
      running = x;
      index = i;
    }
  }
  return running;
}

// Generic plain forms: integers start from the type's far end, floats from
// element 0 (compared with itself); all positions are visited.
template <Dir D, class T>
T GenericExtreme(const T* src, int32_t n) {
  if constexpr (std::is_integral_v<T>) return ScalarScan<D>(src, 0, n, D == Dir::kMax ? INT32_MIN : INT32_MAX);
  else return ScalarScan<D>(src, 0, n, Ld(src));
}

// Generic index forms: element 0 with index 0, then positions 1 .. n-1.
template <Dir D, class T>
T GenericExtremeIndex(const T* src, int32_t n, int32_t& index) {
  index = 0;
  return ScalarScanIndex<D>(src, 1, n, Ld(src), index);
}

template <class T>
int32_t FindFirstEqual(const T* src, int32_t n, T value) {
  for (int32_t i = 0; i < n; ++i)
    if (SameBits(Ld(src + i), value)) return i;
  return 0;  // not reached: the value is a copy of an element
}

#if SP_SET_INDEX >= 1
using simd::f32x4;

template <Dir D>
inline f32x4 Pick(f32x4 running, f32x4 data) {
  if constexpr (D == Dir::kMax) return simd::Max(running, data);
  else return simd::Min(running, data);
}

template <Dir D>
inline float ReduceLanes(f32x4 v) {
  v = Pick<D>(v, _mm_movehl_ps(v, v));
  v = Pick<D>(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
  return _mm_cvtss_f32(v);
}

// Packed search over [0, n) from `running`, 16 elements a step.
template <Dir D, bool kAligned>
float PackedExtremeF32(const float* p, int32_t n, float running) {
  using namespace simd;
  f32x4 a0 = Splat(running), a1 = a0, a2 = a0, a3 = a0;
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    if constexpr (kAligned) vstat::Prefetch(p + i + 64);
    a0 = Pick<D>(a0, vstat::Load4<kAligned>(p + i));
    a1 = Pick<D>(a1, vstat::Load4<kAligned>(p + i + 4));
    a2 = Pick<D>(a2, vstat::Load4<kAligned>(p + i + 8));
    a3 = Pick<D>(a3, vstat::Load4<kAligned>(p + i + 12));
  }
  for (; i + 4 <= n; i += 4) a0 = Pick<D>(a0, vstat::Load4<kAligned>(p + i));
  running = ReduceLanes<D>(Pick<D>(Pick<D>(a0, a1), Pick<D>(a2, a3)));
  return ScalarScan<D>(p, i, n, running);
}

// Scalar steps to a 16-byte boundary, then the packed search.
template <Dir D>
float VectorExtremeF32(const float* src, int32_t n) {
  float running = Ld(src);
  if (!vstat::IsAligned(src, 4)) return PackedExtremeF32<D, false>(src, n, running);
  const int32_t head = vstat::ElementsTo16(src) < n ? vstat::ElementsTo16(src) : n;
  running = ScalarScan<D>(src, 0, head, running);
  return PackedExtremeF32<D, true>(src + head, n - head, running);
}

// Extreme of an aligned block whose length is a positive multiple of 8.
template <Dir D>
float BlockExtremeF32(const float* p, int32_t len) {
  f32x4 a0 = simd::Load(p), a1 = simd::Load(p + 4);
  for (int32_t i = 8; i < len; i += 8) {
    vstat::Prefetch(p + i + 64);
    a0 = Pick<D>(a0, simd::Load(p + i));
    a1 = Pick<D>(a1, simd::Load(p + i + 4));
  }
  return ReduceLanes<D>(Pick<D>(a0, a1));
}

constexpr int32_t kIndexBlock = 2048;
constexpr int32_t kIndexBlockMinLength = 34;

// Index form: scalar steps to a 16-byte boundary, then blocks of 2048 whose
// extreme replaces the running value only when strictly beyond it (earlier
// blocks win ties); the position comes from the first equal element.
template <Dir D>
float BlockSearchIndexF32(const float* src, int32_t n, int32_t& index) {
  index = 0;
  float running = Ld(src);
  if (n < kIndexBlockMinLength || !vstat::IsAligned(src, 4)) return ScalarScanIndex<D>(src, 1, n, running, index);
  const int32_t i = 1 + vstat::ElementsTo16(src + 1);  // at most 4, below n
  running = ScalarScanIndex<D>(src, 1, i, running, index);
  const int32_t end = i + ((n - i) & ~7);
  for (int32_t b = i; b < end; b += kIndexBlock) {
    const int32_t len = end - b < kIndexBlock ? end - b : kIndexBlock;
    const float e = BlockExtremeF32<D>(src + b, len);
    const bool beyond = D == Dir::kMax ? e > running : e < running;
    if (beyond) {
      running = e;
      index = b + FindFirstEqual(src + b, len, e);
    }
  }
  return ScalarScanIndex<D>(src, end, n, running, index);
}
#endif

#if SP_SET_INDEX >= 2
using simd::f64x2;
using vstat::i32x4;

template <Dir D>
inline f64x2 Pick(f64x2 running, f64x2 data) {
  if constexpr (D == Dir::kMax) return simd::Max(running, data);
  else return simd::Min(running, data);
}

template <Dir D, bool kAligned>
double PackedExtremeF64(const double* p, int32_t n, double running) {
  using namespace simd;
  f64x2 a0 = Splat(running), a1 = a0, a2 = a0, a3 = a0;
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if constexpr (kAligned) vstat::Prefetch(p + i + 32);
    a0 = Pick<D>(a0, vstat::Load2<kAligned>(p + i));
    a1 = Pick<D>(a1, vstat::Load2<kAligned>(p + i + 2));
    a2 = Pick<D>(a2, vstat::Load2<kAligned>(p + i + 4));
    a3 = Pick<D>(a3, vstat::Load2<kAligned>(p + i + 6));
  }
  for (; i + 2 <= n; i += 2) a0 = Pick<D>(a0, vstat::Load2<kAligned>(p + i));
  f64x2 v = Pick<D>(Pick<D>(a0, a1), Pick<D>(a2, a3));
  v = Pick<D>(v, _mm_unpackhi_pd(v, v));
  return ScalarScan<D>(p, i, n, _mm_cvtsd_f64(v));
}

template <Dir D>
double VectorExtremeF64(const double* src, int32_t n) {
  double running = Ld(src);
  if (!vstat::IsAligned(src, 8)) return PackedExtremeF64<D, false>(src, n, running);
  const int32_t head = vstat::IsAligned(src, 16) ? 0 : 1;
  running = ScalarScan<D>(src, 0, head, running);
  return PackedExtremeF64<D, true>(src + head, n - head, running);
}

constexpr int32_t kIndexVectorMinLengthF64 = 32;

template <Dir D>
double VectorExtremeIndexF64(const double* src, int32_t n, int32_t& index) {
  if (n < kIndexVectorMinLengthF64 || !vstat::IsAligned(src, 8)) return GenericExtremeIndex<D>(src, n, index);
  const double e = VectorExtremeF64<D>(src, n);
  index = FindFirstEqual(src, n, e);
  return e;
}

template <Dir D>
inline i32x4 PickI(i32x4 running, i32x4 data) {
  if constexpr (D == Dir::kMax) return vstat::MaxI(running, data);
  else return vstat::MinI(running, data);
}

// Compare-and-select over 4-lane registers, 8 elements a step in two
// accumulators, a four-wide tail and a scalar rest.
template <Dir D>
int32_t VectorExtremeI32(const int32_t* src, int32_t n) {
  const int32_t start = D == Dir::kMax ? INT32_MIN : INT32_MAX;
  i32x4 a0 = vstat::SplatI(start), a1 = a0;
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    a0 = PickI<D>(a0, vstat::LoadI4(src + i));
    a1 = PickI<D>(a1, vstat::LoadI4(src + i + 4));
  }
  for (; i + 4 <= n; i += 4) a0 = PickI<D>(a0, vstat::LoadI4(src + i));
  alignas(16) int32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), PickI<D>(a0, a1));
  int32_t running = start;
  for (int32_t lane : lanes)
    if (Replaces<D>(lane, running)) running = lane;
  return ScalarScan<D>(src, i, n, running);
}

int32_t FindFirstEqualI32(const int32_t* src, int32_t n, int32_t value) {
  const i32x4 v = vstat::SplatI(value);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const int mask = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(vstat::LoadI4(src + i), v)));
    if (mask != 0) return i + __builtin_ctz(static_cast<unsigned>(mask));
  }
  return i + FindFirstEqual(src + i, n - i, value);
}
#endif

#if SP_SET_INDEX == 1
// MMX compare-and-select on two-lane registers, 8 elements a step; element 0
// alone first when the address is 4 modulo 8.
template <Dir D>
int32_t MmxExtremeI32(const int32_t* src, int32_t n) {
  const int32_t start = D == Dir::kMax ? INT32_MIN : INT32_MAX;
  int32_t running = start;
  int32_t i = 0;
  if (!vstat::IsAligned(src, 8)) running = ScalarScan<D>(src, 0, ++i, running);
  const __m64 init = _mm_set1_pi32(start);
  __m64 acc[4] = {init, init, init, init};
  for (; i + 8 <= n; i += 8) {
    for (int k = 0; k < 4; ++k) {
      __m64 x;
      std::memcpy(&x, src + i + 2 * k, 8);
      const __m64 take = D == Dir::kMax ? _mm_cmpgt_pi32(x, acc[k]) : _mm_cmpgt_pi32(acc[k], x);
      acc[k] = _mm_or_si64(_mm_and_si64(take, x), _mm_andnot_si64(take, acc[k]));
    }
  }
  int32_t lanes[8];
  std::memcpy(lanes, acc, sizeof(lanes));
  _mm_empty();
  for (int32_t lane : lanes)
    if (Replaces<D>(lane, running)) running = lane;
  return ScalarScan<D>(src, i, n, running);
}

// Doubles by F64OrderKey: the order of the values, except that -0 counts
// below +0.
template <Dir D>
double KeyedExtremeF64(const double* src, int32_t n) {
  double running = Ld(src);
  int64_t key = F64OrderKey(running);
  for (int32_t i = 1; i < n; ++i) {
    const double x = Ld(src + i);
    const int64_t k = F64OrderKey(x);
    if (D == Dir::kMax ? k > key : k < key) {
      running = x;
      key = k;
    }
  }
  return running;
}
#endif

// ---- per-set choice of kernel ----

template <Dir D>
int32_t PlainI32(const int32_t* src, int32_t n) {
#if SP_SET_INDEX == 0
  return GenericExtreme<D>(src, n);
#elif SP_SET_INDEX == 1
  if (n >= 9 && vstat::IsAligned(src, 4)) return MmxExtremeI32<D>(src, n);
  return GenericExtreme<D>(src, n);
#else
  if (D == Dir::kMin && (n < 7 || !vstat::IsAligned(src, 4))) return GenericExtreme<D>(src, n);
  return VectorExtremeI32<D>(src, n);
#endif
}

template <Dir D>
float PlainF32(const float* src, int32_t n) {
#if SP_SET_INDEX == 0
  return GenericExtreme<D>(src, n);
#else
  return VectorExtremeF32<D>(src, n);
#endif
}

template <Dir D>
double PlainF64(const double* src, int32_t n) {
#if SP_SET_INDEX == 0
  return GenericExtreme<D>(src, n);
#elif SP_SET_INDEX == 1
  return KeyedExtremeF64<D>(src, n);
#else
  return VectorExtremeF64<D>(src, n);
#endif
}

template <Dir D>
int32_t IndexI32(const int32_t* src, int32_t n, int32_t& index) {
#if SP_SET_INDEX <= 1
  return GenericExtremeIndex<D>(src, n, index);
#else
  const int32_t e = VectorExtremeI32<D>(src, n);
  index = FindFirstEqualI32(src, n, e);
  return e;
#endif
}

template <Dir D>
float IndexF32(const float* src, int32_t n, int32_t& index) {
#if SP_SET_INDEX == 0
  return GenericExtremeIndex<D>(src, n, index);
#else
  return BlockSearchIndexF32<D>(src, n, index);
#endif
}

template <Dir D>
double IndexF64(const double* src, int32_t n, int32_t& index) {
#if SP_SET_INDEX <= 1
  return GenericExtremeIndex<D>(src, n, index);
#else
  return VectorExtremeIndexF64<D>(src, n, index);
#endif
}

template <class T, class Fn>
spStatus RunPlain(const T* src, int32_t n, T* out, Fn fn) {
  if (src == nullptr || out == nullptr) return spErrNullPointer;
  if (n < 1) return spErrLength;
  *out = fn(src, n);
  return spOk;
}

}  // namespace

spStatus SP_V(spMaxI32)(const int32_t* src, int32_t n, int32_t* max) { return RunPlain(src, n, max, PlainI32<Dir::kMax>); }
spStatus SP_V(spMinI32)(const int32_t* src, int32_t n, int32_t* min) { return RunPlain(src, n, min, PlainI32<Dir::kMin>); }
spStatus SP_V(spMaxF32)(const float* src, int32_t n, float* max) { return RunPlain(src, n, max, PlainF32<Dir::kMax>); }
spStatus SP_V(spMinF32)(const float* src, int32_t n, float* min) { return RunPlain(src, n, min, PlainF32<Dir::kMin>); }
spStatus SP_V(spMaxF64)(const double* src, int32_t n, double* max) { return RunPlain(src, n, max, PlainF64<Dir::kMax>); }
spStatus SP_V(spMinF64)(const double* src, int32_t n, double* min) { return RunPlain(src, n, min, PlainF64<Dir::kMin>); }

// A null index makes the call the plain primitive of the same set.
#define SP_INDEX_FORM(Name, Plain, T, Kernel)                                    \
  spStatus SP_V(Name)(const T* src, int32_t n, T* out, int32_t* index) {         \
    if (index == nullptr) return SP_V(Plain)(src, n, out);                       \
    if (src == nullptr || out == nullptr) return spErrNullPointer;               \
    if (n < 1) return spErrLength;                                               \
    int32_t position = 0;                                                        \
    *out = Kernel(src, n, position);                                             \
    *index = position;                                                           \
    return spOk;                                                                 \
  }

SP_INDEX_FORM(spMaxIndexI32, spMaxI32, int32_t, IndexI32<Dir::kMax>)
SP_INDEX_FORM(spMinIndexI32, spMinI32, int32_t, IndexI32<Dir::kMin>)
SP_INDEX_FORM(spMaxIndexF32, spMaxF32, float, IndexF32<Dir::kMax>)
SP_INDEX_FORM(spMinIndexF32, spMinF32, float, IndexF32<Dir::kMin>)
SP_INDEX_FORM(spMaxIndexF64, spMaxF64, double, IndexF64<Dir::kMax>)
SP_INDEX_FORM(spMinIndexF64, spMinF64, double, IndexF64<Dir::kMin>)

#undef SP_INDEX_FORM

}  // namespace SP_SET_NS

// The maximum and minimum dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_MINMAX_ENTRIES)
#endif
