// Zeroed arrays for the correlators and the energy history. These stages
// have no failure return, so running out of memory ends the process with
// exit code 1 (after the trace line the caller names, if any).
#pragma once

#include <cstddef>
#include <cstdlib>

#include "Vantrel/FrontEndTrace.h"

template <typename T>
T* AllocateZeroedOrExit(size_t count, const char* traceLine = nullptr) {
  void* block = std::calloc(count == 0 ? 1 : count, sizeof(T));
  if (block == nullptr) {
    if (traceLine != nullptr) FRONT_END_TRACE("%s", traceLine);
    std::exit(1);
  }
  return static_cast<T*>(block);
}

template <typename T>
void FreeArray(T*& array) {
  std::free(array);
  array = nullptr;
}
