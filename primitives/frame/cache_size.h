// The cache size that the processor reports through CPUID leaf 2, which the
// SSE2 and later copy, zero and fill kernels compare large blocks against
// before they switch to non-temporal stores. Plain (non-variant) code: it
// executes CPUID, which every set has.
#pragma once
#include <cstdint>

// One leaf-2 descriptor byte and its encoded size: (high nibble) shifted left
// by (low nibble + 18) bytes.
struct spCacheDescriptor {
  uint8_t descriptor;
  uint8_t encodedSize;
};
// 24 entries from the largest size to the smallest; the first match wins.
extern const spCacheDescriptor spCacheDescriptorTable[24];

// Size in bytes of the largest listed cache, or 0 when unknown (vendor not
// GenuineIntel, leaf 2 needs more than one call, or no descriptor listed).
// The processor's answer is read once and kept (CPUID traps under a
// hypervisor, and large copies ask on every call); an injected CPUID snapshot
// is read on every call.
int64_t spkQueryCacheSize();

// Whether the processor moves strings fast (enhanced REP MOVSB, CPUID leaf 7
// EBX bit 9), read once like the cache size. The copy kernels' plain
// ascending walks then hand long blocks to REP MOVS.
bool spkFastStringMoves();

// Test seam: a size > 0 replaces the query's answer, 0 makes it "unknown",
// and a negative value restores the processor's answer. Returns the previous
// override (-1 when none was in force).
int64_t spOverrideCacheSize(int64_t bytes);
