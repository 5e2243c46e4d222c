// CPUID access for detection and the cache-size query. Every read goes
// through spCpuid, so a test can inject a synthetic processor (a snapshot of
// CPUID leaves) and run the type rules and the descriptor walk on it.
#pragma once
#include <cstdint>

struct spCpuidRegs {
  uint32_t eax, ebx, ecx, edx;
};

// One leaf (and sub-leaf) of a synthetic processor.
struct spCpuidLeafValue {
  uint32_t leaf;
  uint32_t subleaf;
  spCpuidRegs regs;
};

// A synthetic processor: leaves not listed read as all zeros.
struct spCpuidSnapshot {
  bool hasCpuid = true;
  int32_t leafCount = 0;
  spCpuidLeafValue leaves[16] = {};
};

// Executes CPUID (or reads the injected snapshot).
spCpuidRegs spCpuid(uint32_t leaf, uint32_t subleaf = 0);
// Whether the CPUID instruction exists (or the snapshot's answer).
bool spCpuidPresent();

// Whether leaf 0 names the vendor GenuineIntel: EBX, EDX, ECX hold "Genu",
// "ineI", "ntel".
inline bool spCpuidVendorIsGenuineIntel(const spCpuidRegs& leaf0) {
  return leaf0.ebx == 0x756e6547u && leaf0.edx == 0x49656e69u && leaf0.ecx == 0x6c65746eu;
}

// Test seam: installs a copy of `snapshot`; null returns to the processor.
void spInjectCpuidSnapshot(const spCpuidSnapshot* snapshot);
// Whether a snapshot stands in for the processor (answers read then are
// not the processor's and must not be kept).
bool spCpuidSnapshotInjected();
