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
