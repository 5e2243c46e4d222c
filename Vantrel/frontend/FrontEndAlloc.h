// Arrays for the correlators, the energy history and the delay buffer's
// rings. They are taken while CMsystem::Init sets the front end up, inside a
// library call: a failed allocation must not end the caller's process. It
// returns null after a trace line naming what could not be allocated and a
// Memory refusal noted for the operation that runs; the stage that asked
// frees what it took and refuses its set-up in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <source_location>

#include "primitives/frame/alloc_failure_seam.h"

// The trace line "<function>, ERROR: out of memory for <bytes> bytes" and
// the refusal "out of memory: <bytes> bytes for <purpose> could not be had".
void NoteOutOfMemory(const char* function, size_t bytes, const char* purpose);

// `count` zeroed values from the C heap (FreeArray releases them); null
// when memory runs out, noted as above.
template <typename T>
T* AllocateZeroed(size_t count, const char* purpose,
                  const std::source_location where = std::source_location::current()) {
  const size_t values = count == 0 ? 1 : count;
  void* block = spkAllocationRefused() ? nullptr : std::calloc(values, sizeof(T));
  if (block == nullptr) NoteOutOfMemory(where.function_name(), values * sizeof(T), purpose);
  return static_cast<T*>(block);
}

template <typename T>
void FreeArray(T*& array) {
  std::free(array);
  array = nullptr;
}

// A block of fresh zeroed pages of its own (primitives/frame/page_blocks.h),
// for the large arrays of one owner carved from it: faulted in once, and
// its pages do not go back to the system until FreePages (the heap returns
// a freed large block at once and faults the next one in anew). Null when
// memory runs out, noted as above.
void* AllocatePages(size_t bytes, const char* purpose,
                    const std::source_location where = std::source_location::current());
// Releases a block of AllocatePages of that size; null is ignored.
void FreePages(void*& block, size_t bytes);
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
