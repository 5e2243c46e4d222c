// Aligned allocators of one variant set. The raw pointer from malloc is kept
// in the 8 bytes before the 32-byte aligned block; at least 8 and at most 39
// bytes lie before the block and at least one byte behind it.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/memory_kernels.h"
#include "primitives/frame/simd.h"

namespace SP_SET_NS {
namespace {
constexpr int64_t kAlignment = 32;
// Room for the raw pointer word, the rounding and one byte behind the block.
constexpr int64_t kOverhead = static_cast<int64_t>(sizeof(void*)) + kAlignment;
}  // namespace

void* SP_V(spkAlignedAlloc)(int64_t bytes) {
  if (bytes <= 0) return nullptr;
  if (bytes > std::numeric_limits<int64_t>::max() - kOverhead) return nullptr;
  if (spkAllocationRefused()) return nullptr;
  auto* raw = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes + kOverhead)));
  if (raw == nullptr) return nullptr;
  spkCountAllocation(+1);
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*) + (kAlignment - 1);
  auto* p = raw + ((start & ~static_cast<uintptr_t>(kAlignment - 1)) - reinterpret_cast<uintptr_t>(raw));
  std::memcpy(p - sizeof(void*), &raw, sizeof(void*));
#if SP_SET_INDEX == SP_SET_SSE3
  // The SSE3 set warms the block's third line; contents are unchanged.
  simd::Prefetch(p + 128);
#endif
  return p;
}

void SP_V(spkAlignedFree)(void* p) {
  if (p == nullptr) return;
  spkCountAllocation(-1);
  void* raw;
  std::memcpy(&raw, static_cast<unsigned char*>(p) - sizeof(void*), sizeof(void*));
  std::free(raw);
}

void* SP_V(spAlignedAlloc)(int32_t bytes) { return SP_V(spkAlignedAlloc)(bytes); }

float* SP_V(spAlignedAllocF32)(int32_t count) {
  if (count <= 0) return nullptr;
  return static_cast<float*>(SP_V(spkAlignedAlloc)(static_cast<int64_t>(count) * 4));
}

double* SP_V(spAlignedAllocF64)(int32_t count) {
  if (count <= 0) return nullptr;
  return static_cast<double*>(SP_V(spkAlignedAlloc)(static_cast<int64_t>(count) * 8));
}

void SP_V(spAlignedFree)(void* p) { SP_V(spkAlignedFree)(p); }

}  // namespace SP_SET_NS

// The aligned allocators' dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_ALIGNED_MEMORY_ENTRIES)
#endif
