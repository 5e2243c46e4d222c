// Byte-count copy kernels of every set. Up to kShortCopyMax bytes every set
// copies through registers (CopyShort); beyond it the generic set copies
// 32-bit words, the SSE set has plain, streaming and page-wise kernels chosen
// by its callers, and SSE2/SSE3/SSSE3 share one kernel that differs in its
// large threshold, its load instruction and its copy order. Long ascending
// walks of the plain paths become REP MOVS where that is fast
// (StringMoveSuits); the streaming paths and the descending walk stay loops.
#pragma GCC optimize("no-tree-loop-distribute-patterns")  // a copy loop must not become a memcpy call
#include "primitives/frame/memory_blocks.h"

namespace SP_SET_NS {

using namespace simd;
using namespace memk;

#if SP_SET_INDEX == SP_SET_GENERIC

void* spkCopyBytes_Generic(const void* src, void* dst, int64_t bytes) {
  auto* d = static_cast<uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  if (bytes <= kShortCopyMax) {
    if (bytes > 0) CopyShort(s, d, bytes);
    return dst;
  }
  if (CopySettledUpFront(s, d, bytes)) return dst;
  for (; bytes > 0 && !IsAligned(d, 4); --bytes) *d++ = *s++;
  if (StringMoveSuits(s, d, bytes)) {
    const int64_t words = bytes / 4;
    StringMoveWords(s, d, words);
    s += 4 * words;
    d += 4 * words;
    bytes -= 4 * words;
  }
  for (; bytes >= 32; bytes -= 32, s += 32, d += 32)
    for (int w = 0; w < 32; w += 4) Move<4>(s + w, d + w);
  for (; bytes > 0; --bytes) *d++ = *s++;
  return dst;
}

#elif SP_SET_INDEX == SP_SET_SSE

void* spkCopyBytes_Sse(const void* src, void* dst, int64_t bytes) {
  auto* d = static_cast<uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  if (bytes <= kShortCopyMax) {
    if (bytes > 0) CopyShort(s, d, bytes);
    return dst;
  }
  if (CopySettledUpFront(s, d, bytes)) return dst;
  if (StringMoveSuits(s, d, bytes)) {
    StringMoveBytes(s, d, bytes);
    return dst;
  }
  for (; bytes >= 64; bytes -= 64, s += 64, d += 64) Move64<LoadBytesU, StoreBytesU>(s, d);
  CopyPieces(s, d, bytes);
  return dst;
}

void* spkCopyBytesStream_Sse(const void* src, void* dst, int64_t bytes) {
  auto* d = static_cast<uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  if (CopySettledUpFront(s, d, bytes)) return dst;
  if (bytes >= 64) {
    spkCountStreamingRun();
    const int64_t advance = BytesTo16(d);
    if (advance != 0) {  // the first 16 bytes, then on from dst's boundary
      StoreBytesU(d, LoadBytesU(s));
      s += advance;
      d += advance;
      bytes -= advance;
    }
    for (; bytes >= 64; bytes -= 64, s += 64, d += 64) Move64<LoadBytesU, StreamBytes>(s, d);
  }
  for (; bytes >= 16; bytes -= 16, s += 16, d += 16) StoreBytesU(d, LoadBytesU(s));
  CopyPieces(s, d, bytes);
  simd::StoreFence();
  return dst;
}

void spkTouchPages_Sse(const void* p, int64_t bytes) {
  const auto* b = static_cast<const uint8_t*>(p);
  uint8_t sink = 0;
  for (; bytes > 0; b += 4096, bytes -= 4096) {
    const int64_t chunk = bytes < 4096 ? bytes : 4096;
    sink ^= *static_cast<const volatile uint8_t*>(b);
    sink ^= *static_cast<const volatile uint8_t*>(b + chunk - 1);
    for (int64_t line = 0; line < chunk; line += 32) simd::PrefetchNonTemporal(b + line);
  }
  static_cast<void>(sink);
}

void* spkCopyBytesLarge_Sse(const void* src, void* dst, int64_t bytes) {
  constexpr int64_t kPage = 4096;
  constexpr int64_t kStreamOnlyBelow = 20480;
  auto* d = static_cast<uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  if (CopySettledUpFront(s, d, bytes)) return dst;
  for (; bytes > 0 && !IsAligned(d, 8); --bytes) *d++ = *s++;
  if (bytes < kStreamOnlyBelow) {
    spkCopyBytesStream_Sse(s, d, bytes);
    return dst;
  }
  const int64_t toPage = static_cast<int64_t>((kPage - (AddressOf(s) & (kPage - 1))) & (kPage - 1));
  if (toPage != 0) {
    spkCopyBytesStream_Sse(s, d, toPage);
    s += toPage;
    d += toPage;
    bytes -= toPage;
  }
  for (; bytes >= kPage; bytes -= kPage, s += kPage, d += kPage) {
    spkTouchPages_Sse(s, kPage);
    spkCopyBytesStream_Sse(s, d, kPage);
  }
  if (bytes > 0) spkCopyBytesStream_Sse(s, d, bytes);
  return dst;
}

#else  // SSE2, SSE3, SSSE3

namespace {
// Blocks above this size ask the cache-size query about non-temporal stores.
bool LargeCandidate(int64_t bytes) {
  if constexpr (kSetIndex == SP_SET_SSE2) return bytes > 131072;
  if constexpr (kSetIndex == SP_SET_SSE3) return bytes >= 524288;
  return bytes >= 1048576;
}

// Non-temporal copy of a block that is large against the cache: per chunk,
// touch one byte of every source line, then stream the chunk.
void CopyStreaming(const uint8_t* s, uint8_t* d, int64_t bytes) {
  constexpr int64_t kChunk = 262144;
  spkCountStreamingRun();
  int64_t whole = bytes & ~int64_t{15};
  const int64_t rest = bytes - whole;
  while (whole > 0) {
    const int64_t chunk = whole < kChunk ? whole : kChunk;
    uint8_t sink = 0;
    for (int64_t line = 0; line < chunk; line += 64) sink ^= *static_cast<const volatile uint8_t*>(s + line);
    static_cast<void>(sink);
    for (int64_t i = 0; i < chunk; i += 16) StreamBytes(d + i, LoadBytesU(s + i));
    s += chunk;
    d += chunk;
    whole -= chunk;
  }
  simd::StoreFence();
  CopyPieces(s, d, rest);
}

// Ascending 64-byte steps with aligned stores; rest in smaller chunks.
template <bool kAlignedSource>
void CopyAscending(const uint8_t* s, uint8_t* d, int64_t bytes) {
  if (StringMoveSuits(s, d, bytes)) {
    StringMoveBytes(s, d, bytes);
    return;
  }
  for (; bytes >= 64; bytes -= 64, s += 64, d += 64) {
    if constexpr (kAlignedSource)
      Move64<LoadBytes, StoreBytes>(s, d);
    else
      Move64<LoadBytesU, StoreBytes>(s, d);
  }
  CopyPieces(s, d, bytes);
}

// Both ends 16-byte aligned: the odd bytes and the small chunks at the end
// first, then 64-byte steps toward the start.
void CopyDescendingAligned(const uint8_t* s, uint8_t* d, int64_t bytes) {
  const uint8_t* se = s + bytes;
  uint8_t* de = d + bytes;
  if (bytes & 1) {
    se -= 1;
    de -= 1;
    *de = *se;
  }
  if (bytes & 2) {
    se -= 2;
    de -= 2;
    Move<2>(se, de);
  }
  if (bytes & 4) {
    se -= 4;
    de -= 4;
    Move<4>(se, de);
  }
  if (bytes & 8) {
    se -= 8;
    de -= 8;
    Move<8>(se, de);
  }
  if (bytes & 16) {
    se -= 16;
    de -= 16;
    StoreBytes(de, LoadBytes(se));
  }
  if (bytes & 32) {
    se -= 32;
    de -= 32;
    const f32x4 a = LoadBytes(se), b = LoadBytes(se + 16);
    StoreBytes(de, a);
    StoreBytes(de + 16, b);
  }
  for (int64_t steps = bytes / 64; steps > 0; --steps) {
    se -= 64;
    de -= 64;
    Move64<LoadBytes, StoreBytes>(se, de);
  }
}

}  // namespace

void* SP_V(spkCopyBytes)(const void* src, void* dst, int64_t bytes) {
  auto* d = static_cast<uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  if (bytes <= kShortCopyMax) {
    if (bytes > 0) CopyShort(s, d, bytes);
    return dst;
  }
  if (CopySettledUpFront(s, d, bytes)) return dst;
  bool destinationAdvanced = false;
  if (!Aligned16(d)) {
    const int64_t advance = BytesTo16(d);
    StoreBytesU(d, LoadBytesU(s));
    s += advance;
    d += advance;
    bytes -= advance;
    destinationAdvanced = true;
    if (bytes < 64) {
      CopyPieces(s, d, bytes);
      return dst;
    }
  }
  const bool sourceAligned = Aligned16(s);
  const bool skipLargeTest = kSetIndex >= SP_SET_SSE3 && destinationAdvanced && sourceAligned;
  if (!skipLargeTest && LargeCandidate(bytes)) {
    const int64_t cache = spkQueryCacheSize();
    if (cache > 0 && bytes >= cache / 2) {
      CopyStreaming(s, d, bytes);
      return dst;
    }
  }
  if (sourceAligned) {
    if (CopyRunsDescending(s, d, bytes))
      CopyDescendingAligned(s, d, bytes);
    else
      CopyAscending<true>(s, d, bytes);
  } else {
    CopyAscending<false>(s, d, bytes);
  }
  return dst;
}

#endif

}  // namespace SP_SET_NS
