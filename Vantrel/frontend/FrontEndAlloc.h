// Arrays for the correlators and the energy history. These stages
// have no failure return, so running out of memory ends the process with
// exit code 1, after one line naming what could not be allocated, written
// to the trace and to stderr (once when the trace is stderr) whatever the
// trace mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <source_location>

#include "Vantrel/DebugTrace.h"
#include "platform/debug_output.h"
#include "primitives/frame/alloc_failure_seam.h"

// Writes the line (the caller's own, or one naming the allocating
// function and the size) and ends the process with exit code 1.
[[noreturn]] inline void ExitOutOfMemory(const char* line, const char* function, size_t count, size_t size) {
  char text[512];
  if (line != nullptr)
    std::snprintf(text, sizeof text, "%s", line);
  else
    std::snprintf(text, sizeof text, "%s, ERROR: out of memory for %zu values of %zu bytes\n", function, count, size);
  DebugTrace("%s", text);
  if (!DebugOutputGoesToStderr()) {
    std::fputs(text, stderr);
    std::fflush(stderr);
  }
  std::exit(1);
}

template <typename T>
T* AllocateZeroedOrExit(size_t count, const char* line = nullptr,
                        const std::source_location where = std::source_location::current()) {
  void* block = spkAllocationRefused() ? nullptr : std::calloc(count == 0 ? 1 : count, sizeof(T));
  if (block == nullptr) ExitOutOfMemory(line, where.function_name(), count, sizeof(T));
  return static_cast<T*>(block);
}

// Uninitialised, for arrays written whole before anything reads them: their
// pages are touched only when used.
template <typename T>
T* AllocateOrExit(size_t count, const std::source_location where = std::source_location::current()) {
  void* block = spkAllocationRefused() ? nullptr : std::malloc((count == 0 ? 1 : count) * sizeof(T));
  if (block == nullptr) ExitOutOfMemory(nullptr, where.function_name(), count, sizeof(T));
  return static_cast<T*>(block);
}

template <typename T>
void FreeArray(T*& array) {
  std::free(array);
  array = nullptr;
}

// A block of fresh zeroed pages of its own, for the large arrays of one
// owner carved from it: mapped apart from the heap, so that it is faulted
// in once and its pages do not go back to the system until FreePages
// (the heap returns a freed large block at once and faults the next one in
// anew), and from 1 MiB on in transparent huge pages where the system
// grants them. Ends the process as AllocateOrExit does.
void* AllocatePagesOrExit(size_t bytes, const std::source_location where = std::source_location::current());
// Releases a block of AllocatePagesOrExit of that size; null is ignored.
void FreePages(void*& block, size_t bytes);
// The bytes a block of `bytes` takes.
size_t PageBlockBytes(size_t bytes);

// Carves consecutive arrays, each on a cache-line boundary, from a block:
// with a null block it only adds up the bytes they take.
class ArrayCarver {
 public:
  explicit ArrayCarver(void* block = nullptr) : m_block(static_cast<char*>(block)) {}
  template <typename T>
  T* Take(size_t count) {
    m_used = (m_used + 63) / 64 * 64;
    T* array = m_block != nullptr ? reinterpret_cast<T*>(m_block + m_used) : nullptr;
    m_used += (count == 0 ? 1 : count) * sizeof(T);
    return array;
  }
  size_t Used() const { return m_used; }

 private:
  char* m_block;
  size_t m_used = 0;
};
