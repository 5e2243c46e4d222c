// Byte-count zero kernels of every set: 32-bit stores (generic), 8-byte
// stores and a non-temporal large form (SSE), aligned 16-byte stores that
// turn non-temporal for blocks as large as the cache (SSE2 and later; up to
// kShortFillMax bytes straight from a register, FillShort). Long plain runs
// become REP STOS where string moves are fast (StringZeroSuits).
#pragma GCC optimize("no-tree-loop-distribute-patterns")  // a zero loop must not become a memset call
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

void* SP_V(spkZeroBytes)(void* dst, int64_t bytes) {
  if (bytes <= 0) return dst;
  if (bytes <= kShortFillMax) {
    FillShort(static_cast<uint8_t*>(dst), bytes, Splat(0.0f));
    return dst;
  }
  auto streamWanted = [](int64_t alignedBytes) {
    if (alignedBytes <= 524288) return false;
    const int64_t cache = spkQueryCacheSize();
    return cache > 0 && alignedBytes >= cache;
  };
  auto* d = static_cast<uint8_t*>(dst);
  const int64_t head = BytesTo16(d) < bytes ? BytesTo16(d) : bytes;
  if (StringZeroSuits(bytes) && !streamWanted((bytes - head) / 16 * 16)) {
    StringZeroBytes(d, bytes);
    return dst;
  }
  FillPattern(d, bytes, kZeroPattern, 1, streamWanted);
  return dst;
}

#endif

}  // namespace SP_SET_NS
