// Conversions of the SSE2, SSE3 and SSSE3 sets: packed-integer widening,
// saturating packs and lane conversions a vector step at a time; the double
// to int32 conversion under nearest rounding, its last elements through a
// padded block so they get this group's special values too.
#pragma once
#include <cstring>
#include <type_traits>
#include <utility>

#include "primitives/frame/mxcsr_scope.h"
#include "primitives/frame/simd.h"
#include "primitives/vector/convert_rules.h"

#if SP_SET_INDEX >= SP_SET_SSE2
namespace SP_SET_NS::convert {
namespace {

using namespace simd;

// Elements left after the destination is aligned, beyond which the
// int16-to-double blocks bypass the cache (the sets below SSE2 do not come
// here).
constexpr SpSetRow<int64_t> kI16ToF64StreamAboveBySet = {0, 0, 0xCCCC, 0x33333, 0x66666};
constexpr int64_t kI16ToF64StreamAbove = kI16ToF64StreamAboveBySet[kSetIndex];

// Four doubles to four int32: scale, bound above by a minimum (which also
// maps NaN to the bound), convert; below -2^31 the processor's indefinite
// value 0x80000000 is the lower bound itself.
inline i32x4 F64ToI32Four(const double* src, bool nearest, const Pow2Scale& sc) {
  f64x2 a = LoadU(src), b = LoadU(src + 2);
  if (sc.steps >= 1) {
    a = Mul(a, Splat(sc.first));
    b = Mul(b, Splat(sc.first));
  }
  if (sc.steps == 2) {
    a = Mul(a, Splat(sc.second));
    b = Mul(b, Splat(sc.second));
  }
  a = Min(a, Splat(kInt32MaxAsF64));
  b = Min(b, Splat(kInt32MaxAsF64));
  return nearest ? JoinLow64(F64ToI32Round(a), F64ToI32Round(b)) : JoinLow64(F64ToI32Trunc(a), F64ToI32Trunc(b));
}

enum class StoreKind { kUnaligned, kAligned, kStream };

template <StoreKind kStore>
inline void StoreF64(double* p, f64x2 v) {
  if constexpr (kStore == StoreKind::kStream)
    Stream(p, v);
  else if constexpr (kStore == StoreKind::kAligned)
    Store(p, v);
  else
    StoreU(p, v);
}

// Eight elements per step from index i; returns where the tail starts.
template <StoreKind kStore>
int64_t I16ToF64Blocks(const int16_t* src, double* dst, int64_t i, int64_t n, bool scaled, double scale) {
  const auto block = [&](auto applyScale) {
    const f64x2 s = Splat(scale);
    for (; i + 8 <= n; i += 8) {
      const i16x8 v = LoadU(src + i);
      const i32x4 lo = WidenLowI16ToI32(v), hi = WidenHighI16ToI32(v);
      f64x2 d0 = LowI32ToF64(lo), d1 = HighI32ToF64(lo), d2 = LowI32ToF64(hi), d3 = HighI32ToF64(hi);
      if constexpr (decltype(applyScale)::value) {
        d0 = Mul(d0, s);
        d1 = Mul(d1, s);
        d2 = Mul(d2, s);
        d3 = Mul(d3, s);
      }
      StoreF64<kStore>(dst + i, d0);
      StoreF64<kStore>(dst + i + 2, d1);
      StoreF64<kStore>(dst + i + 4, d2);
      StoreF64<kStore>(dst + i + 6, d3);
    }
  };
  if (scaled)
    block(std::true_type{});
  else
    block(std::false_type{});
  return i;
}

inline void I32ToI16Eight(const int32_t* src, int16_t* dst, int32_t scaleFactor) {
  i32x4 a = LoadU(src), b = LoadU(src + 4);
  if (scaleFactor > 0) {
    const int32_t s = ClampDivisionShift(scaleFactor);
    a = RoundingShiftRightI32(a, s);
    b = RoundingShiftRightI32(b, s);
  } else if (scaleFactor < 0) {
    // Saturate first so the shift cannot overflow, then saturate again.
    const int32_t k = ClampMultiplyShift(scaleFactor);
    const i16x8 narrow = PackSatI32ToI16(a, b);
    a = ShiftLeft(WidenLowI16ToI32(narrow), k);
    b = ShiftLeft(WidenHighI16ToI32(narrow), k);
  }
  StoreU(dst, PackSatI32ToI16(a, b));
}
// Calls step(i) for i = 0, kStep, 2 kStep, ... while a whole step remains;
// returns the elements converted.
template <int64_t kStep, class Step>
inline int64_t WholeSteps(int64_t n, Step step) {
  static_assert((kStep & (kStep - 1)) == 0, "a power of two");
  // n is not negative, so the mask is the whole steps' count.
  const int64_t whole = n & ~(kStep - 1);
  for (int64_t i = 0; i < whole; i += kStep) step(i);
  return whole;
}

int64_t I8ToF32Steps(const int8_t* src, float* dst, int64_t n) {
  return WholeSteps<16>(n, [&](int64_t i) {
    const i8x16 v = LoadU(src + i);
    StoreU(dst + i, I32ToF32(WidenQuarterI8ToI32(v, 0)));
    StoreU(dst + i + 4, I32ToF32(WidenQuarterI8ToI32(v, 1)));
    StoreU(dst + i + 8, I32ToF32(WidenQuarterI8ToI32(v, 2)));
    StoreU(dst + i + 12, I32ToF32(WidenQuarterI8ToI32(v, 3)));
  });
}

// Eight elements from src + i. The SSE3 set keeps its own unaligned load;
// SSSE3 takes movdqu, which keeps pace with the stores where lddqu does not
// everywhere.
inline void I16ToF32Eight(const int16_t* src, float* dst) {
  const i16x8 v = kSetIndex == SP_SET_SSE3 ? LoadU(src) : LoadUByMovdqu(src);
  StoreU(dst, I32ToF32(WidenLowI16ToI32(v)));
  StoreU(dst + 4, I32ToF32(WidenHighI16ToI32(v)));
}

// Sixteen a step (half the loop's own instructions per element), then eight.
// Inlined into both callers (the entry and the channel kernel): a call more
// is a good part of a 16-element conversion.
[[gnu::always_inline]] inline int64_t I16ToF32Steps(const int16_t* src, float* dst, int64_t n) {
  int64_t i = WholeSteps<16>(n, [&](int64_t k) {
    I16ToF32Eight(src + k, dst + k);
    I16ToF32Eight(src + k + 8, dst + k + 8);
  });
  // Out of the way of a whole number of sixteens, as the caller's rest is.
  if (i < n) [[unlikely]] {
    if (n - i >= 8) {
      I16ToF32Eight(src + i, dst + i);
      i += 8;
    }
  }
  return i;
}

// Channel 0 or 1 of stereo int16 frames, four frames a vector: each frame
// is one 32-bit lane, and its dot product with the weights (1, 0) or
// (0, 1) is the wanted sample, sign-extended, in one instruction. 128
// frames a step, so that the loop's own count and branch are a small part
// of the four instructions a vector costs (load, dot, convert, store; the
// dot product is destructive, so folding the load into it would only trade
// the load for a copy of the weights). A block of 1024 frames costs 1.04
// instructions a frame, against 1.08 at 64 a step.
int64_t I16PairLaneToF32Steps(const int16_t* frames, int64_t channel, float* dst, int64_t n) {
  const i16x8 weights = channel == 0 ? SplatPairI16(1, 0) : SplatPairI16(0, 1);
  const auto four = [&](int64_t i) { StoreU(dst + i, I32ToF32(PairDotI16(LoadUByMovdqu(frames + 2 * i), weights))); };
  const int64_t whole = WholeSteps<128>(n, [&](int64_t i) {
    [&]<size_t... k>(std::index_sequence<k...>) { (four(i + 4 * int64_t{k}), ...); }(std::make_index_sequence<32>{});
  });
  return whole + WholeSteps<4>(n - whole, [&](int64_t i) { four(whole + i); });
}

// Channel 0 or 1 of stereo float frames, four frames a step.
int64_t F32PairLaneSteps(const float* frames, int64_t channel, float* dst, int64_t n) {
  return WholeSteps<4>(n, [&](int64_t i) {
    const f32x4 a = LoadU(frames + 2 * i), b = LoadU(frames + 2 * i + 4);
    StoreU(dst + i, channel == 0 ? EvenLanes(a, b) : OddLanes(a, b));
  });
}

// Rounds under the caller's MXCSR, as the scalar conversion does.
int64_t I32ToF32Steps(const int32_t* src, float* dst, int64_t n) {
  return WholeSteps<8>(n, [&](int64_t i) {
    StoreU(dst + i, I32ToF32(LoadU(src + i)));
    StoreU(dst + i + 4, I32ToF32(LoadU(src + i + 4)));
  });
}

int64_t I8ToI16Steps(const int8_t* src, int16_t* dst, int64_t n) {
  return WholeSteps<16>(n, [&](int64_t i) {
    const i8x16 v = LoadU(src + i);
    StoreU(dst + i, WidenLowI8ToI16(v));
    StoreU(dst + i + 8, WidenHighI8ToI16(v));
  });
}

int64_t I32ToF64Steps(const int32_t* src, double* dst, int64_t n) {
  return WholeSteps<4>(n, [&](int64_t i) {
    const i32x4 v = LoadU(src + i);
    StoreU(dst + i, LowI32ToF64(v));
    StoreU(dst + i + 2, HighI32ToF64(v));
  });
}

int64_t I32ToI16SatSteps(const int32_t* src, int16_t* dst, int64_t n, int32_t scaleFactor) {
  return WholeSteps<8>(n, [&](int64_t i) { I32ToI16Eight(src + i, dst + i, scaleFactor); });
}

int64_t I16ToF64Steps(const int16_t* src, double* dst, int64_t n, bool scaled, double scale) {
  int64_t i = 0;
  // Step to a 16-byte boundary of dst (when its address allows one).
  if (IsAligned(dst, 8)) {
    for (; i < n && !Aligned16(dst + i); ++i) dst[i] = I16ToF64One(src[i], scaled, scale);
  }
  const bool aligned = Aligned16(dst + i);
  if (aligned && (n - i) - 8 > kI16ToF64StreamAbove) {
    i = I16ToF64Blocks<StoreKind::kStream>(src, dst, i, n, scaled, scale);
    StoreFence();
  } else if (aligned) {
    i = I16ToF64Blocks<StoreKind::kAligned>(src, dst, i, n, scaled, scale);
  } else {
    i = I16ToF64Blocks<StoreKind::kUnaligned>(src, dst, i, n, scaled, scale);
  }
  return i;
}

void F64ToI32(const double* src, int32_t* dst, int64_t n, bool nearest, const Pow2Scale& sc) {
  // Nearest rounding, denormals kept, exceptions masked; the caller's word
  // (flags included) comes back exactly.
  const MxcsrScope rounding(~(MxcsrScope::kRoundingField | MxcsrScope::kFlushToZero | MxcsrScope::kDenormalsAreZero),
                            MxcsrScope::kAllExceptionsMasked);
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) StoreU(dst + i, F64ToI32Four(src + i, nearest, sc));
  if (i < n) {
    // The last one to three elements through a padded block.
    double in[4] = {0.0, 0.0, 0.0, 0.0};
    int32_t out[4];
    std::memcpy(in, src + i, static_cast<size_t>(n - i) * sizeof(double));
    StoreU(out, F64ToI32Four(in, nearest, sc));
    std::memcpy(dst + i, out, static_cast<size_t>(n - i) * sizeof(int32_t));
  }
}

}  // namespace
}  // namespace SP_SET_NS::convert
#endif
