#include "Vantrel/frontend/FrontEndAlloc.h"

#include "Vantrel/RefusalNote.h"
#include "Vantrel/VantrelTrace.h"
#include "primitives/frame/page_blocks.h"

void NoteOutOfMemory(const char* function, size_t bytes, const char* purpose) {
  VANTREL_TRACE(TRACE_ERRORS | TRACE_ORDINARY, "%s, ERROR: out of memory for %zu bytes\n", function, bytes);
  NoteRefusal(RefusalCode::Memory, function, -1, "out of memory: %zu bytes for %s could not be had", bytes, purpose);
}

void* AllocatePages(size_t bytes, const char* purpose, const std::source_location where) {
  void* block = spkAllocationRefused() ? nullptr : spkMapPageBlock(bytes);
  if (block == nullptr) NoteOutOfMemory(where.function_name(), bytes, purpose);
  return block;
}

void FreePages(void*& block, size_t bytes) {
  spkUnmapPageBlock(block, bytes);
  block = nullptr;
}
