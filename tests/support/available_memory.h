// Memory the machine can still give without swapping, for the opt-in tests
// that need gigabytes: an order that does not fit is skipped rather than
// killed by the kernel.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>

// MemAvailable of /proc/meminfo in bytes (0 when it cannot be read).
inline int64_t AvailableMemoryBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key, unit;
  int64_t kib = 0;
  while (meminfo >> key >> kib >> unit)
    if (key == "MemAvailable:") return kib * 1024;
  return 0;
}
