#include "Mathlib/MathlibMemory.h"

#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "Mathlib/MathlibTrace.h"
#include "primitives/frame/sp_memory.h"

namespace {
constexpr uint8_t kGuard = 0x55;
constexpr uint8_t kFill = 0xAA;
constexpr int64_t kFrameBytes = 15;
constexpr int64_t kPayloadOffset = 8;

int32_t ReadTotal(const uint8_t* b) {
  uint32_t t = uint32_t{b[1]} | uint32_t{b[2]} << 8 | uint32_t{b[3]} << 16 | uint32_t{b[4]} << 24;
  return static_cast<int32_t>(t);
}

// True when the T bytes from b lie inside the aligned allocator's raw block,
// whose address is kept in the 8 bytes before b.
bool TotalFitsAllocation(const uint8_t* b, int32_t total) {
  void* raw = nullptr;
  std::memcpy(&raw, b - sizeof(void*), sizeof(void*));
  const auto rawAddr = reinterpret_cast<uintptr_t>(raw);
  const auto start = reinterpret_cast<uintptr_t>(b);
  if (raw == nullptr || rawAddr > start || start - rawAddr > 64) return false;
  const size_t usable = malloc_usable_size(raw);
  return start - rawAddr + static_cast<uint64_t>(total) <= usable;
}
}  // namespace

void* MathlibAllocGuarded(int32_t count, int32_t size) {
  const int64_t payload = int64_t{count} * int64_t{size};
  if (payload < 0 || payload + kFrameBytes > std::numeric_limits<int32_t>::max()) return nullptr;
  const auto total = static_cast<int32_t>(payload + kFrameBytes);
  auto* b = static_cast<uint8_t*>(spAlignedAlloc(total));
  if (!b) return nullptr;
  std::memset(b, 0, static_cast<size_t>(total));
  b[0] = kGuard;
  b[total - 1] = kGuard;
  const auto t = static_cast<uint32_t>(total);
  b[1] = static_cast<uint8_t>(t);
  b[2] = static_cast<uint8_t>(t >> 8);
  b[3] = static_cast<uint8_t>(t >> 16);
  b[4] = static_cast<uint8_t>(t >> 24);
  b[5] = kGuard;
  // B is 32-byte aligned, so the fill up to the next 8-byte boundary is two bytes.
  b[6] = kFill;
  b[7] = kFill;
  return b + kPayloadOffset;
}

void* MathlibAlloc(int32_t bytes) { return MathlibAllocGuarded(1, bytes); }
float* MathlibAllocF32(int32_t count) { return static_cast<float*>(MathlibAllocGuarded(count, 4)); }
double* MathlibAllocF64(int32_t count) { return static_cast<double*>(MathlibAllocGuarded(count, 8)); }
float* MathlibAllocC32(int32_t count) { return static_cast<float*>(MathlibAllocGuarded(count, 8)); }
double* MathlibAllocC64(int32_t count) { return static_cast<double*>(MathlibAllocGuarded(count, 16)); }

void MathlibFreeMem(void* p) {
  if (!p) return;
  auto* q = static_cast<uint8_t*>(p);
  if (q[-1] != kFill && q[-1] != kGuard) {
    spAlignedFree(p);
    return;
  }
  // Only the exact frame is accepted: two fill bytes, size guard, total,
  // start guard on a 32-byte boundary, and an end guard inside the block.
  uint8_t* b = q - kPayloadOffset;
  const int32_t total = ReadTotal(b);
  const bool frameOk = q[-1] == kFill && q[-2] == kFill && q[-3] == kGuard && b[0] == kGuard &&
                       (reinterpret_cast<uintptr_t>(b) % 32) == 0 && total >= kFrameBytes &&
                       TotalFitsAllocation(b, total) && b[total - 1] == kGuard;
  if (!frameOk) {
    MathlibTrace(nullptr, "MathlibFreeMem(), ERROR: damaged memory block at %p not released\n", p);
    return;
  }
  spAlignedFree(b);
}
