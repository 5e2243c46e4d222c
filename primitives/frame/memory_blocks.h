// Building blocks of the frame's memory kernels (copy, zero, fill) for the
// running variant set. Include only from the frame's *_variant.cpp files.
#pragma once
#include <cstdint>
#include <cstring>

#include "primitives/frame/cache_size.h"
#include "primitives/frame/memory_kernels.h"
#include "primitives/frame/simd.h"
#include "primitives/frame/streaming_seam.h"

namespace SP_SET_NS::memk {

using simd::AddressOf;
using simd::Aligned16;
using simd::BytesTo16;
using simd::IsAligned;

// Fixed-size moves; memcpy of a constant size compiles to one load/store.
template <int N>
inline void Move(const uint8_t* s, uint8_t* d) {
  uint8_t tmp[N];
  std::memcpy(tmp, s, N);
  std::memcpy(d, tmp, N);
}

// True for ranges that share bytes without being the same range; the
// kernels then copy in a safe direction instead of corrupting the data.
inline bool PartlyOverlapping(const uint8_t* s, const uint8_t* d, int64_t n) {
  const uintptr_t bytes = static_cast<uintptr_t>(n);
  return s != d && AddressOf(s) < AddressOf(d) + bytes && AddressOf(d) < AddressOf(s) + bytes;
}

inline void MoveOverlapping(const uint8_t* s, uint8_t* d, int64_t n) {
  if (d < s) {
    for (int64_t i = 0; i < n; ++i) d[i] = s[i];
  } else {
    for (int64_t i = n - 1; i >= 0; --i) d[i] = s[i];
  }
}

// What every copy kernel settles before its own walk: nothing to copy, or
// ranges that partly overlap (copied in a safe direction). True when the
// copy is done.
inline bool CopySettledUpFront(const uint8_t* s, uint8_t* d, int64_t bytes) {
  if (bytes <= 0) return true;
  if (PartlyOverlapping(s, d, bytes)) {
    MoveOverlapping(s, d, bytes);
    return true;
  }
  return false;
}

// Copies n bytes, n below 64 or any rest: 32, 16, 8, 4-byte chunks
// ascending, then the last bytes.
inline void CopyPieces(const uint8_t* s, uint8_t* d, int64_t n) {
  while (n >= 32) {
    Move<32>(s, d);
    s += 32;
    d += 32;
    n -= 32;
  }
  if (n & 16) {
    Move<16>(s, d);
    s += 16;
    d += 16;
  }
  if (n & 8) {
    Move<8>(s, d);
    s += 8;
    d += 8;
  }
  if (n & 4) {
    Move<4>(s, d);
    s += 4;
    d += 4;
  }
  if (n & 2) {
    Move<2>(s, d);
    s += 2;
    d += 2;
  }
  if (n & 1) *d = *s;
}

#if SP_SET_HAS_F32_VECTORS
using simd::f32x4;

inline f32x4 LoadBytesU(const uint8_t* p) { return simd::LoadU(reinterpret_cast<const float*>(p)); }
inline f32x4 LoadBytes(const uint8_t* p) { return simd::Load(reinterpret_cast<const float*>(p)); }
inline void StoreBytesU(uint8_t* p, f32x4 v) { simd::StoreU(reinterpret_cast<float*>(p), v); }
inline void StoreBytes(uint8_t* p, f32x4 v) { simd::Store(reinterpret_cast<float*>(p), v); }
inline void StreamBytes(uint8_t* p, f32x4 v) { simd::Stream(reinterpret_cast<float*>(p), v); }

// One 64-byte step: four loads, then four stores.
template <f32x4 (*Load)(const uint8_t*), void (*Put)(uint8_t*, f32x4)>
inline void Move64(const uint8_t* s, uint8_t* d) {
  const f32x4 a = Load(s), b = Load(s + 16), c = Load(s + 32), e = Load(s + 48);
  Put(d, a);
  Put(d + 16, b);
  Put(d + 32, c);
  Put(d + 48, e);
}

// Writes `bytes` bytes of a pattern with period 1, 4 or 8 whose byte 0 lands
// on d[0]: single bytes up to the next 16-byte boundary, aligned 16-byte
// stores (non-temporal ones, then a store fence, when `streamWanted` says so
// for the aligned part's size), then the last bytes.
template <class StreamRule>
inline void FillPattern(uint8_t* d, int64_t bytes, const uint8_t* pattern, int period, StreamRule streamWanted) {
  const int64_t toBoundary = BytesTo16(d);
  const int64_t head = bytes < toBoundary ? bytes : toBoundary;
  for (int64_t i = 0; i < head; ++i) d[i] = pattern[i % period];
  const int phase = static_cast<int>(head % period);
  d += head;
  bytes -= head;
  if (bytes >= 16) {
    alignas(16) uint8_t lane[16];
    for (int j = 0; j < 16; ++j) lane[j] = pattern[(phase + j) % period];
    const f32x4 v = LoadBytes(lane);
    int64_t blocks = bytes / 16;
    if (streamWanted(blocks * 16)) {
      spkCountStreamingRun();
      for (; blocks >= 4; blocks -= 4, d += 64) {
        StreamBytes(d, v);
        StreamBytes(d + 16, v);
        StreamBytes(d + 32, v);
        StreamBytes(d + 48, v);
      }
      for (; blocks > 0; --blocks, d += 16) StreamBytes(d, v);
      simd::StoreFence();
    } else {
      for (; blocks >= 4; blocks -= 4, d += 64) {
        StoreBytes(d, v);
        StoreBytes(d + 16, v);
        StoreBytes(d + 32, v);
        StoreBytes(d + 48, v);
      }
      for (; blocks > 0; --blocks, d += 16) StoreBytes(d, v);
    }
    bytes &= 15;
  }
  for (int64_t i = 0; i < bytes; ++i) d[i] = pattern[(phase + i) % period];
}

inline bool NeverStream(int64_t) { return false; }
inline bool AlwaysStream(int64_t) { return true; }

// Fills of up to this many bytes store straight from registers (FillShort).
inline constexpr int64_t kShortFillMax = 256;

// v over the first and the last kUnits * 16 of n bytes (n at least that, at
// most twice that).
template <int kUnits>
[[gnu::always_inline]] inline void StoreEnds16(uint8_t* d, int64_t n, f32x4 v) {
#pragma GCC unroll 8
  for (int k = 0; k < kUnits; ++k) StoreBytesU(d + 16 * k, v);
#pragma GCC unroll 8
  for (int k = 0; k < kUnits; ++k) StoreBytesU(d + n - 16 * kUnits + 16 * k, v);
}

// Writes n bytes (1 <= n <= kShortFillMax) of the lane pattern v, whose period
// (1, 4 or 8 bytes) divides n, with byte 0 of the pattern on d[0]: 16-byte
// stores from the start and from the end; below 16 bytes two overlapping
// stores of 8, 4 or 2 bytes. The stores overlap only where they write the
// same bytes, and a short fill is then mostly its fixed cost.
[[gnu::always_inline]] inline void FillShort(uint8_t* d, int64_t n, f32x4 v) {
  if (n >= 16) {
    if (n > 128)
      StoreEnds16<8>(d, n, v);
    else if (n > 64)
      StoreEnds16<4>(d, n, v);
    else if (n > 32)
      StoreEnds16<2>(d, n, v);
    else
      StoreEnds16<1>(d, n, v);
    return;
  }
  alignas(16) uint8_t lane[16];
  StoreBytes(lane, v);
  if (n >= 8) {
    std::memcpy(d, lane, 8);
    std::memcpy(d + n - 8, lane, 8);
  } else if (n >= 4) {
    std::memcpy(d, lane, 4);
    std::memcpy(d + n - 4, lane, 4);
  } else if (n >= 2) {
    std::memcpy(d, lane, 2);
    std::memcpy(d + n - 2, lane, 2);
  } else {
    *d = lane[0];
  }
}

// Sixteen bytes of an element value's bit pattern, repeated.
template <class T>
inline f32x4 PatternLanes(T value) {
  alignas(16) uint8_t lane[16];
  for (size_t k = 0; k < 16; k += sizeof(T)) std::memcpy(lane + k, &value, sizeof(T));
  return LoadBytes(lane);
}

// n elements of value at dst by FillShort when they take at most
// kShortFillMax bytes; false (nothing written) otherwise.
template <class T>
[[gnu::always_inline]] inline bool FilledShort(T value, T* dst, int64_t n) {
  const int64_t bytes = n * static_cast<int64_t>(sizeof(T));
  if (n <= 0 || bytes > kShortFillMax) return false;
  FillShort(reinterpret_cast<uint8_t*>(dst), bytes, PatternLanes(value));
  return true;
}
#endif

// The copy order of the SSE3 and SSSE3 kernels: from kOrderRuleFrom bytes
// on, where the source is 16-byte aligned once the destination is, they copy
// toward the start unless ascending keeps loads and stores of a step from
// meeting at the same 4 KiB page offset. The other sets always ascend.
inline bool AscendingByPageOffsets(const uint8_t* s, const uint8_t* d) {
  const int64_t delta = static_cast<int64_t>(AddressOf(s) & 4095) - static_cast<int64_t>(AddressOf(d) & 4095);
  return (delta > 0 && delta <= 160) || delta < -3936;
}
inline constexpr int64_t kOrderRuleFrom = kSetIndex == SP_SET_SSE3 ? 512 : 64;
inline bool CopyRunsDescending(const uint8_t* s, const uint8_t* d, int64_t bytes) {
  if constexpr (kSetIndex < SP_SET_SSE3) {
    return false;
  } else {
    const int64_t advance = BytesTo16(d);  // the kernel's destination head
    return bytes - advance >= kOrderRuleFrom && Aligned16(s + advance) &&
           !AscendingByPageOffsets(s + advance, d + advance);
  }
}

// REP MOVS for the long ascending walks, where the processor does string
// moves fast: it moves whole lines internally, where the set's own loop is
// held to one 16-byte store per step. Not where the destination runs 1 to 63
// bytes ahead of the source within a 4 KiB page: there the string move
// stalls on every line (measured over ten times slower than the loop).
inline constexpr int64_t kStringMoveFrom = 2048;
inline bool StringMoveSuits(const uint8_t* s, const uint8_t* d, int64_t bytes) {
  const uint64_t ahead = (AddressOf(d) - AddressOf(s)) & 4095;
  return bytes >= kStringMoveFrom && (ahead == 0 || ahead >= 64) && spkFastStringMoves();
}
// Ascending moves of n bytes, or of n 32-bit words.
inline void StringMoveBytes(const uint8_t* s, uint8_t* d, int64_t n) {
  asm volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(n) : : "memory");
}
inline void StringMoveWords(const uint8_t* s, uint8_t* d, int64_t words) {
  asm volatile("rep movsl" : "+D"(d), "+S"(s), "+c"(words) : : "memory");
}
// Ascending stores of n zero 32-bit words, for the plain path of the
// generic zero kernel from kStringMoveFrom bytes on, where string moves are
// fast.
inline bool StringZeroSuits(int64_t bytes) { return bytes >= kStringMoveFrom && spkFastStringMoves(); }
inline void StringZeroWords(uint8_t* d, int64_t words) {
  asm volatile("rep stosl" : "+D"(d), "+c"(words) : "a"(0) : "memory");
}

// Copies of up to this many bytes go through registers (CopyShort).
inline constexpr int64_t kShortCopyMax = 256;

// 16 bytes held in registers.
#if SP_SET_HAS_F32_VECTORS
using Unit16 = f32x4;
inline Unit16 LoadUnit16(const uint8_t* p) { return LoadBytesU(p); }
inline void StoreUnit16(uint8_t* p, Unit16 v) { StoreBytesU(p, v); }
#else
struct Unit16 {
  uint64_t low, high;
};
inline Unit16 LoadUnit16(const uint8_t* p) {
  Unit16 v;
  std::memcpy(&v.low, p, 8);
  std::memcpy(&v.high, p + 8, 8);
  return v;
}
inline void StoreUnit16(uint8_t* p, Unit16 v) {
  std::memcpy(p, &v.low, 8);
  std::memcpy(p + 8, &v.high, 8);
}
#endif

// The first and the last kUnits * 16 of n bytes (n at least that, at most
// twice that; the two parts may share bytes), all loaded before any store,
// in ascending or descending address order.
template <int kUnits>
[[gnu::always_inline]] inline void MoveEnds16(const uint8_t* s, uint8_t* d, int64_t n, bool descending) {
  const int64_t tail = n - 16 * kUnits;
  Unit16 head[kUnits], last[kUnits];
  if (descending) {
#pragma GCC unroll 8
    for (int k = kUnits - 1; k >= 0; --k) last[k] = LoadUnit16(s + tail + 16 * k);
#pragma GCC unroll 8
    for (int k = kUnits - 1; k >= 0; --k) head[k] = LoadUnit16(s + 16 * k);
#pragma GCC unroll 8
    for (int k = kUnits - 1; k >= 0; --k) StoreUnit16(d + tail + 16 * k, last[k]);
#pragma GCC unroll 8
    for (int k = kUnits - 1; k >= 0; --k) StoreUnit16(d + 16 * k, head[k]);
    return;
  }
#pragma GCC unroll 8
  for (int k = 0; k < kUnits; ++k) head[k] = LoadUnit16(s + 16 * k);
#pragma GCC unroll 8
  for (int k = 0; k < kUnits; ++k) last[k] = LoadUnit16(s + tail + 16 * k);
#pragma GCC unroll 8
  for (int k = 0; k < kUnits; ++k) StoreUnit16(d + 16 * k, head[k]);
#pragma GCC unroll 8
  for (int k = 0; k < kUnits; ++k) StoreUnit16(d + tail + 16 * k, last[k]);
}
// The same for N of 1, 2, 4 or 8 bytes.
template <int N>
[[gnu::always_inline]] inline void MoveEnds(const uint8_t* s, uint8_t* d, int64_t n) {
  uint8_t head[N], last[N];
  std::memcpy(head, s, N);
  std::memcpy(last, s + n - N, N);
  std::memcpy(d, head, N);
  std::memcpy(d + n - N, last, N);
}

// Copies n bytes, 1 <= n <= kShortCopyMax, reading the whole source before
// writing, so that ranges which share bytes come out as memmove leaves them.
// A short copy is mostly its fixed cost: no loop, no alignment head. It
// keeps the copy order of the set's kernel (CopyRunsDescending).
[[gnu::always_inline]] inline void CopyShort(const uint8_t* s, uint8_t* d, int64_t n) {
  if (n > 32) {
    const bool descending = kOrderRuleFrom <= kShortCopyMax && CopyRunsDescending(s, d, n);
    if (n > 128)
      MoveEnds16<8>(s, d, n, descending);
    else if (n > 64)
      MoveEnds16<4>(s, d, n, descending);
    else
      MoveEnds16<2>(s, d, n, descending);
  } else if (n > 16) {
    MoveEnds16<1>(s, d, n, false);
  } else if (n >= 8) {
    MoveEnds<8>(s, d, n);
  } else if (n >= 4) {
    MoveEnds<4>(s, d, n);
  } else if (n >= 2) {
    MoveEnds<2>(s, d, n);
  } else {
    *d = *s;
  }
}

}  // namespace SP_SET_NS::memk
