#include "Vantrel/frontend/FrontEndAlloc.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kSmallPage = 4096;
// From this size on a block is mapped in whole huge pages: one fault per
// 2 MiB instead of 512, at the price of zeroing at most half a huge page
// that is never used.
constexpr size_t kHugeFrom = kHugePage / 2;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapPages = false;  // the heap, where the sanitizer sees overruns
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
  madvise(block, bytes, MADV_HUGEPAGE);
  return block;
}

}  // namespace

size_t PageBlockBytes(size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (!kMapPages) return bytes;
  return bytes >= kHugeFrom ? RoundUp(bytes, kHugePage) : RoundUp(bytes, kSmallPage);
}

void* AllocatePagesOrExit(size_t bytes, const std::source_location where) {
  const size_t mapped = PageBlockBytes(bytes);
  void* block = nullptr;
  if (!spkAllocationRefused()) {
    if (!kMapPages) {
      block = std::calloc(mapped, 1);
    } else if (mapped >= kHugePage) {
      block = MapHugeAligned(mapped);
    } else {
      block = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) block = nullptr;
    }
  }
  if (block == nullptr) {
    char line[320];
    std::snprintf(line, sizeof line, "%s, ERROR: out of memory for %zu bytes\n", where.function_name(), bytes);
    ExitOutOfMemory(line, nullptr, bytes, 1);
  }
  return block;
}

void FreePages(void*& block, size_t bytes) {
  if (block == nullptr) return;
  if (!kMapPages)
    std::free(block);
  else
    munmap(block, PageBlockBytes(bytes));
  block = nullptr;
}
