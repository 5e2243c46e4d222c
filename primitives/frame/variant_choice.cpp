// spStaticInit and spSetCpuType: the only writers of spDispatchIndex besides
// the test seam. Neither selects a set the processor cannot run.
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_cpu.h"
#include "primitives/frame/variant_seams.h"

namespace {
// Highest set the feature flags (as CPUID reports them) allow.
int32_t HighestSetOfFlags(const spCpuFeatureRecord& f) {
  if (!f.sse) return 0;
  if (!f.sse2) return 1;
  if (!f.sse3) return 2;
  if (!f.ssse3) return 3;
  return 4;
}

int32_t HighestRunnableSet() {
  spCpuFeatureRecord f;
  spCpuFeatures(&f);
  int32_t index = HighestSetOfFlags(f);
  while (index > 0 && !spVariantSetSupported(index)) --index;
  return index;
}

// Whether the processor (CPUID as read, and the hardware itself) has every
// instruction set that variant set `index` uses.
bool ProcessorRunsVariantSet(int32_t index) {
  if (index == 0) return true;
  if (index < 0 || index >= kSpVariantSetCount) return false;
  return index <= HighestRunnableSet();
}
}  // namespace

spStatus spStaticInit() {
  const spProcessorType type = spGetProcessorType();
  int32_t index = spVariantSetOfType(type);
  // Some family rules name a set by family alone (an Itanium, a family-15
  // part without SSE2): never pick one the flags do not report.
  const int32_t highest = HighestRunnableSet();
  if (index > highest) index = highest;
  spDispatchIndex.store(index, std::memory_order_relaxed);
  return (spHasCpuid() && spIsGenuineIntel()) ? spOk : spWarnNotIntelCpu;
}

spStatus spSetCpuType(int32_t typeCode) {
  int32_t index;
  if (typeCode >= -1 && typeCode <= 4) {
    index = 0;
  } else {
    index = spVariantSetOfType(typeCode);
    if (index == 0) return spStatusUnknownCpuType;  // no row of the table
  }
  if (!ProcessorRunsVariantSet(index)) return spStatusUnknownCpuType;
  spDispatchIndex.store(index, std::memory_order_relaxed);
  return spOk;
}
