#include "primitives/frame/page_blocks.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

#include "primitives/frame/alloc_failure_seam.h"

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kSmallPage = 4096;
// A paged record: the mapped size at the block's start, the record this far
// in, and before it the block's start with its lowest bit set (the aligned
// allocator keeps an even heap pointer there).
constexpr size_t kRecordOffset = 64;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapPages = false;
#else
constexpr bool kMapPages = true;
#endif

size_t RoundUp(size_t bytes, size_t unit) { return (bytes + unit - 1) / unit * unit; }

// `bytes` on a huge-page boundary from a mapping of `bytes` plus one huge
// page, whose ends beyond are given back.
void* MapHugeAligned(size_t bytes) {
  void* raw = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + bytes + kHugePage;
  if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
  void* block = reinterpret_cast<void*>(aligned);
  // Only advice: without transparent huge pages the block has small ones.
  // A short tail stays in small pages (spkPageBlockBytes).
  madvise(block, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  return block;
}

}  // namespace

size_t spkPageBlockBytes(size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (!kMapPages) return bytes;
  if (bytes < SP_PAGE_BLOCK_HUGE_FROM) return RoundUp(bytes, kSmallPage);
  const size_t whole = bytes / kHugePage * kHugePage;
  const size_t tail = bytes - whole;
  return whole > 0 && tail < SP_PAGE_BLOCK_HUGE_FROM ? whole + RoundUp(tail, kSmallPage) : RoundUp(bytes, kHugePage);
}

void* spkMapPageBlock(size_t bytes) {
  const size_t mapped = spkPageBlockBytes(bytes);
  if (!kMapPages) return std::calloc(mapped, 1);
  if (mapped >= kHugePage) return MapHugeAligned(mapped);
  void* block = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void spkUnmapPageBlock(void* block, size_t bytes) {
  if (block == nullptr) return;
  if (!kMapPages)
    std::free(block);
  else
    munmap(block, spkPageBlockBytes(bytes));
}

void* spkAllocPagedRecord(int64_t bytes) {
  if (bytes <= 0 || uint64_t(bytes) > SIZE_MAX - kRecordOffset) return nullptr;
  if (spkAllocationRefused()) return nullptr;
  const size_t total = size_t(bytes) + kRecordOffset;
  auto* start = static_cast<unsigned char*>(spkMapPageBlock(total));
  if (start == nullptr) return nullptr;
  spkCountAllocation(+1);
  std::memcpy(start, &total, sizeof total);
  unsigned char* record = start + kRecordOffset;
  const uintptr_t mark = reinterpret_cast<uintptr_t>(start) | 1u;
  std::memcpy(record - sizeof mark, &mark, sizeof mark);
  return record;
}

bool spkFreePagedRecord(void* block) {
  if (block == nullptr) return false;
  uintptr_t mark = 0;
  std::memcpy(&mark, static_cast<unsigned char*>(block) - sizeof mark, sizeof mark);
  if ((mark & 1u) == 0) return false;
  void* start = reinterpret_cast<void*>(mark & ~uintptr_t(1));
  size_t total = 0;
  std::memcpy(&total, start, sizeof total);
  spkCountAllocation(-1);
  spkUnmapPageBlock(start, total);
  return true;
}
