#include "primitives/frame/cache_size.h"

#include <atomic>

#include "primitives/frame/cpuid.h"

const spCacheDescriptor spCacheDescriptorTable[24] = {
    {0x47, 0x15},                                                                        // 8 MiB
    {0x49, 0x14}, {0x29, 0x14}, {0x46, 0x14},                                            // 4 MiB
    {0x25, 0x13}, {0x7d, 0x13}, {0x85, 0x13}, {0x45, 0x13},                              // 2 MiB
    {0x23, 0x12}, {0x87, 0x12}, {0x7c, 0x12}, {0x78, 0x12}, {0x84, 0x12}, {0x44, 0x12},  // 1 MiB
    {0x22, 0x11}, {0x7b, 0x11}, {0x86, 0x11}, {0x7f, 0x11}, {0x83, 0x11}, {0x43, 0x11},  // 512 KiB
    {0x7a, 0x10}, {0x82, 0x10}, {0x3c, 0x10}, {0x42, 0x10},                              // 256 KiB
};

namespace {
std::atomic<int64_t> g_override{-1};

int64_t DecodedSize(uint8_t encoded) { return static_cast<int64_t>(encoded >> 4) << ((encoded & 0xf) + 18); }

int64_t QueryProcessor() {
  if (!spCpuidPresent()) return 0;
  const spCpuidRegs leaf0 = spCpuid(0);
  if (!spCpuidVendorIsGenuineIntel(leaf0) || leaf0.eax < 2) return 0;
  const spCpuidRegs leaf2 = spCpuid(2);
  // The low byte of EAX is the number of calls leaf 2 needs; only 1 is read.
  if ((leaf2.eax & 0xff) != 1) return 0;
  uint8_t bytes[16];
  int count = 0;
  const uint32_t words[4] = {leaf2.eax, leaf2.ebx, leaf2.ecx, leaf2.edx};
  for (int w = 0; w < 4; ++w) {
    if (words[w] & 0x80000000u) continue;  // register holds no descriptors
    for (int b = (w == 0 ? 1 : 0); b < 4; ++b) bytes[count++] = static_cast<uint8_t>(words[w] >> (8 * b));
  }
  for (const spCacheDescriptor& entry : spCacheDescriptorTable) {
    for (int i = 0; i < count; ++i)
      if (bytes[i] == entry.descriptor) return DecodedSize(entry.encodedSize);
  }
  return 0;
}

// The processor's answer, read once: CPUID is slow (under a hypervisor it
// traps), and large copies ask on every call.
int64_t ProcessorCacheSize() {
  static std::atomic<int64_t> known{-1};
  int64_t bytes = known.load(std::memory_order_relaxed);
  if (bytes < 0) {
    bytes = QueryProcessor();
    if (!spCpuidSnapshotInjected()) known.store(bytes, std::memory_order_relaxed);
  }
  return bytes;
}

bool ProcessorMovesStringsFast() {
  if (!spCpuidPresent() || spCpuid(0).eax < 7) return false;
  return (spCpuid(7, 0).ebx & (1u << 9)) != 0;
}
}  // namespace

bool spkFastStringMoves() {
  if (spCpuidSnapshotInjected()) return ProcessorMovesStringsFast();
  static std::atomic<int> known{-1};
  int fast = known.load(std::memory_order_relaxed);
  if (fast < 0) {
    fast = ProcessorMovesStringsFast() ? 1 : 0;
    if (!spCpuidSnapshotInjected()) known.store(fast, std::memory_order_relaxed);
  }
  return fast == 1;
}

int64_t spkQueryCacheSize() {
  const int64_t forced = g_override.load(std::memory_order_relaxed);
  if (forced >= 0) return forced;
  if (spCpuidSnapshotInjected()) return QueryProcessor();
  return ProcessorCacheSize();
}

int64_t spOverrideCacheSize(int64_t bytes) {
  return g_override.exchange(bytes < 0 ? -1 : bytes, std::memory_order_relaxed);
}
