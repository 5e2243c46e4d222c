// Synthetic processors for the detection tests: a builder of CPUID
// snapshots and guards that install a snapshot, a cache-size override or a
// dispatch index for one scope and restore the previous state afterwards.
#pragma once
#include <cstdint>
#include <cstring>

#include "primitives/frame/cache_size.h"
#include "primitives/frame/cpuid.h"
#include "primitives/frame/dispatch.h"

namespace synth {

enum Flag : uint32_t {
  kMmx = 1u << 0,
  kSse = 1u << 1,
  kSse2 = 1u << 2,
  kSse3 = 1u << 3,
  kSsse3 = 1u << 4,
  kHt = 1u << 5,  // HT bit with two logical processors
  kEm64t = 1u << 6,
};

inline constexpr const char* kIntel = "GenuineIntel";
inline constexpr const char* kAmd = "AuthenticAMD";

class Cpu {
 public:
  Cpu(const char* vendor, uint32_t family, uint32_t flags) {
    uint32_t ebx, edx, ecx;
    std::memcpy(&ebx, vendor, 4);
    std::memcpy(&edx, vendor + 4, 4);
    std::memcpy(&ecx, vendor + 8, 4);
    Set(0, 0, {4, ebx, ecx, edx});
    spCpuidRegs leaf1{(family << 8) | (0x7u << 4) | 0x3u, 0, 0, 0};
    if (flags & kMmx) leaf1.edx |= 1u << 23;
    if (flags & kSse) leaf1.edx |= 1u << 25;
    if (flags & kSse2) leaf1.edx |= 1u << 26;
    if (flags & kHt) {
      leaf1.edx |= 1u << 28;
      leaf1.ebx |= 2u << 16;
    }
    if (flags & kSse3) leaf1.ecx |= 1u << 0;
    if (flags & kSsse3) leaf1.ecx |= 1u << 9;
    Set(1, 0, leaf1);
    Set(0x80000000u, 0, {0x80000001u, 0, 0, 0});
    Set(0x80000001u, 0, {0, 0, 0, (flags & kEm64t) ? (1u << 29) : 0u});
  }
  // Leaf 2 registers (EAX low byte is the call count).
  Cpu& Leaf2(uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
    Set(2, 0, {eax, ebx, ecx, edx});
    return *this;
  }
  Cpu& Leaf(uint32_t leaf, uint32_t subleaf, spCpuidRegs regs) {
    Set(leaf, subleaf, regs);
    return *this;
  }
  Cpu& NoCpuid() {
    snapshot_.hasCpuid = false;
    return *this;
  }
  const spCpuidSnapshot& Snapshot() const { return snapshot_; }

 private:
  void Set(uint32_t leaf, uint32_t subleaf, spCpuidRegs regs) {
    for (int32_t i = 0; i < snapshot_.leafCount; ++i) {
      if (snapshot_.leaves[i].leaf == leaf && snapshot_.leaves[i].subleaf == subleaf) {
        snapshot_.leaves[i].regs = regs;
        return;
      }
    }
    snapshot_.leaves[snapshot_.leafCount++] = {leaf, subleaf, regs};
  }
  spCpuidSnapshot snapshot_;
};

// Runs the scope on a synthetic processor.
class ScopedCpu {
 public:
  explicit ScopedCpu(const Cpu& cpu) { spInjectCpuidSnapshot(&cpu.Snapshot()); }
  ~ScopedCpu() { spInjectCpuidSnapshot(nullptr); }
  ScopedCpu(const ScopedCpu&) = delete;
  ScopedCpu& operator=(const ScopedCpu&) = delete;
};

}  // namespace synth

// Makes the cache-size query answer `bytes` (0: unknown) for the scope.
class ScopedCacheSize {
 public:
  explicit ScopedCacheSize(int64_t bytes) : previous_(spOverrideCacheSize(bytes)) {}
  ~ScopedCacheSize() { spOverrideCacheSize(previous_); }
  ScopedCacheSize(const ScopedCacheSize&) = delete;
  ScopedCacheSize& operator=(const ScopedCacheSize&) = delete;

 private:
  int64_t previous_;
};

// Restores the dispatch index at the end of the scope.
class ScopedDispatchIndex {
 public:
  ScopedDispatchIndex() : saved_(spDispatchIndex.load()) {}
  ~ScopedDispatchIndex() { spDispatchIndex.store(saved_); }
  ScopedDispatchIndex(const ScopedDispatchIndex&) = delete;
  ScopedDispatchIndex& operator=(const ScopedDispatchIndex&) = delete;

 private:
  int32_t saved_;
};
