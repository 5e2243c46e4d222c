#include "primitives/frame/cpuid.h"

#include <cpuid.h>

#include <atomic>
#include <mutex>

namespace {
std::mutex& SnapshotMutex() {
  static std::mutex m;
  return m;
}
spCpuidSnapshot g_snapshot;
std::atomic<bool> g_snapshotActive{false};

bool ReadSnapshot(uint32_t leaf, uint32_t subleaf, spCpuidRegs* out) {
  if (!g_snapshotActive.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> lock(SnapshotMutex());
  if (!g_snapshotActive.load(std::memory_order_relaxed)) return false;
  *out = {0, 0, 0, 0};
  if (!g_snapshot.hasCpuid) return true;
  for (int32_t i = 0; i < g_snapshot.leafCount && i < 16; ++i) {
    const spCpuidLeafValue& v = g_snapshot.leaves[i];
    if (v.leaf == leaf && v.subleaf == subleaf) {
      *out = v.regs;
      break;
    }
  }
  return true;
}

// Toggles EFLAGS bit 21 (ID): it can be changed only when CPUID exists.
bool HardwareHasCpuid() {
  uint64_t before, after;
  __asm__ volatile(
      "pushfq\n\t"
      "pop %0\n\t"
      "mov %0, %1\n\t"
      "xor $0x200000, %1\n\t"
      "push %1\n\t"
      "popfq\n\t"
      "pushfq\n\t"
      "pop %1\n\t"
      "push %0\n\t"
      "popfq\n\t"
      : "=&r"(before), "=&r"(after)
      :
      : "cc", "memory");
  return ((before ^ after) & 0x200000u) != 0;
}

spCpuidRegs HardwareCpuid(uint32_t leaf, uint32_t subleaf) {
  spCpuidRegs r{0, 0, 0, 0};
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}
}  // namespace

spCpuidRegs spCpuid(uint32_t leaf, uint32_t subleaf) {
  spCpuidRegs r;
  if (ReadSnapshot(leaf, subleaf, &r)) return r;
  return HardwareCpuid(leaf, subleaf);
}

bool spCpuidPresent() {
  if (g_snapshotActive.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(SnapshotMutex());
    if (g_snapshotActive.load(std::memory_order_relaxed)) return g_snapshot.hasCpuid;
  }
  return HardwareHasCpuid();
}

void spInjectCpuidSnapshot(const spCpuidSnapshot* snapshot) {
  std::lock_guard<std::mutex> lock(SnapshotMutex());
  if (snapshot != nullptr) g_snapshot = *snapshot;
  g_snapshotActive.store(snapshot != nullptr, std::memory_order_release);
}

bool spCpuidSnapshotInjected() { return g_snapshotActive.load(std::memory_order_acquire); }
