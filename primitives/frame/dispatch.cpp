#include "primitives/frame/dispatch.h"

#include <mutex>
#include <vector>

#include "primitives/frame/variant_seams.h"

std::atomic<int32_t> spDispatchIndex{0};

namespace {
// Filled by static initialisers of the entry sources, before main.
std::vector<spDispatchEntry>& EntryList() {
  static std::vector<spDispatchEntry> entries;
  return entries;
}
std::mutex& EntryMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

bool spRegisterDispatchEntry(const char* name, const void* const* slots) {
  spDispatchEntry e{name, {}};
  for (int i = 0; i < kSpVariantSetCount; ++i) e.slots[i] = slots[i];
  std::lock_guard<std::mutex> lock(EntryMutex());
  EntryList().push_back(e);
  return true;
}

std::span<const spDispatchEntry> spDispatchEntries() {
  std::lock_guard<std::mutex> lock(EntryMutex());
  return {EntryList().data(), EntryList().size()};
}

bool spVariantSetSupported(int32_t index) {
  switch (index) {
    case 0: return true;
    case 1: return __builtin_cpu_supports("sse");
    case 2: return __builtin_cpu_supports("sse2");
    case 3: return __builtin_cpu_supports("sse3");
    case 4: return __builtin_cpu_supports("ssse3");
    default: return false;
  }
}

int32_t spForceVariantSet(int32_t index) {
  if (!spVariantSetSupported(index)) return -1;
  return spDispatchIndex.exchange(index, std::memory_order_relaxed);
}

const char* spVariantSetName(int32_t index) {
  static const char* const names[] = {"generic", "sse", "sse2", "sse3", "ssse3"};
  return (index >= 0 && index < kSpVariantSetCount) ? names[index] : "unknown";
}
