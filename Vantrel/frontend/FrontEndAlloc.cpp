#include "Vantrel/frontend/FrontEndAlloc.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>

#include "Vantrel/RefusalNote.h"
#include "Vantrel/VantrelTrace.h"

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kSmallPage = 4096;

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
  // A short tail stays in small pages (PageBlockBytes).
  madvise(block, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  return block;
}

}  // namespace

void NoteOutOfMemory(const char* function, size_t bytes, const char* purpose) {
  VANTREL_TRACE(TRACE_ERRORS | TRACE_ORDINARY, "%s, ERROR: out of memory for %zu bytes\n", function, bytes);
  NoteRefusal(RefusalCode::Memory, function, -1, "out of memory: %zu bytes for %s could not be had", bytes, purpose);
}

size_t PageBlockBytes(size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (!kMapPages) return bytes;
  if (bytes < PAGE_BLOCK_HUGE_FROM) return RoundUp(bytes, kSmallPage);
  // Whole huge pages, and a tail of small ones where that clears less than
  // PAGE_BLOCK_HUGE_FROM's worth of faults.
  const size_t whole = bytes / kHugePage * kHugePage;
  const size_t tail = bytes - whole;
  return whole > 0 && tail < PAGE_BLOCK_HUGE_FROM ? whole + RoundUp(tail, kSmallPage) : RoundUp(bytes, kHugePage);
}

void* AllocatePages(size_t bytes, const char* purpose, const std::source_location where) {
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
  if (block == nullptr) NoteOutOfMemory(where.function_name(), bytes, purpose);
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
