// Byte-count zero kernels of every set: 32-bit stores (generic), 8-byte
// stores and a non-temporal large form (SSE); SSE2 and later store up to
// kShortFillMax bytes straight from a register (FillShort), blocks as large
// as the cache non-temporally, and hand the sizes between to the C
// runtime's memset, which stores 32 or 64 bytes at a time where the
// processor has them (these sets' own stores are 16 bytes: 2.2 times a
// plain loop at 1 KiB). Long plain runs of the generic set become REP STOS
// where string moves are fast (StringZeroSuits).
// A zero loop must not silently become a memset call: the memset calls
// below are written out.
#pragma GCC optimize("no-tree-loop-distribute-patterns")
#include <cstring>

#include "primitives/frame/memory_blocks.h"

namespace SP_SET_NS {

using namespace simd;
using namespace memk;

namespace {
constexpr uint8_t kZeroPattern[1] = {0};
}

#if SP_SET_INDEX == SP_SET_GENERIC

void* spkZeroBytes_Generic(void* dst, int64_t bytes) {
  auto* d = static_cast<uint8_t*>(dst);
  const uint32_t zero = 0;
  for (; bytes > 0 && !IsAligned(d, 4); --bytes) *d++ = 0;
  if (StringZeroSuits(bytes)) {
    StringZeroWords(d, bytes / 4);
    d += bytes / 4 * 4;
    bytes &= 3;
  }
  for (; bytes >= 32; bytes -= 32, d += 32)
    for (int w = 0; w < 32; w += 4) std::memcpy(d + w, &zero, 4);
  for (; bytes > 0; --bytes) *d++ = 0;
  return dst;
}

#elif SP_SET_INDEX == SP_SET_SSE

void* spkZeroBytes_Sse(void* dst, int64_t bytes) {
  auto* d = static_cast<uint8_t*>(dst);
  const uint64_t zero = 0;
  for (; bytes > 0 && !IsAligned(d, 8); --bytes) *d++ = 0;
  for (; bytes >= 8; bytes -= 8, d += 8) std::memcpy(d, &zero, 8);
  for (; bytes > 0; --bytes) *d++ = 0;
  return dst;
}

void* spkZeroBytesLarge_Sse(void* dst, int64_t bytes) {
  if (bytes > 0) FillPattern(static_cast<uint8_t*>(dst), bytes, kZeroPattern, 1, AlwaysStream);
  return dst;
}

#else

namespace {
// No block up to this many bytes streams (where streaming pays, the cache
// is at least this large).
constexpr int64_t kZeroStreamFloor = 524288;

// Blocks above kZeroStreamFloor: non-temporal when their aligned part is as
// large as the cache, else memset. Out of line, so that the common sizes
// reach memset without this path's register saves.
[[gnu::noinline]] void* ZeroLarge(uint8_t* d, int64_t bytes) {
  auto streamWanted = [](int64_t alignedBytes) {
    if (alignedBytes <= kZeroStreamFloor) return false;
    const int64_t cache = spkQueryCacheSize();
    return cache > 0 && alignedBytes >= cache;
  };
  const int64_t head = BytesTo16(d) < bytes ? BytesTo16(d) : bytes;
  if (!streamWanted((bytes - head) / 16 * 16)) return std::memset(d, 0, static_cast<size_t>(bytes));
  FillPattern(d, bytes, kZeroPattern, 1, streamWanted);
  return d;
}
}  // namespace

void* SP_V(spkZeroBytes)(void* dst, int64_t bytes) {
  if (bytes <= 0) return dst;
  if (bytes <= kShortFillMax) {
    FillShort(static_cast<uint8_t*>(dst), bytes, Splat(0.0f));
    return dst;
  }
  if (bytes <= kZeroStreamFloor) return std::memset(dst, 0, static_cast<size_t>(bytes));
  return ZeroLarge(static_cast<uint8_t*>(dst), bytes);
}

#endif

}  // namespace SP_SET_NS
