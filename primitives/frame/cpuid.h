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
// The processor's own answer, never the snapshot: what may run safely.
spCpuidRegs spCpuidHardware(uint32_t leaf, uint32_t subleaf = 0);

// Test seam: installs a copy of `snapshot`; null returns to the processor.
void spInjectCpuidSnapshot(const spCpuidSnapshot* snapshot);
