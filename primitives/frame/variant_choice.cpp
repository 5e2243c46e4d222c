// spStaticInit and spSetCpuType: the only writers of spDispatchIndex besides
// the test seam. Neither selects a set the processor cannot run.
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_cpu.h"
#include "primitives/frame/variant_seams.h"

namespace {
// Highest set the feature flags (as CPUID reports them) allow: up the ladder
// while each set's feature is reported.
int32_t HighestSetOfFlags(const spCpuFeatureRecord& f) {
  int32_t highest = SP_SET_GENERIC;
#define SP_SET_CLIMB(ctx, index, ns, suffix, name, feature, flags) \
  if (!SP_SET_FEATURE_FLAG(f, feature)) return highest;            \
  highest = index;
  SP_FOR_EACH_SET(SP_SET_CLIMB, )
  return highest;
}

int32_t HighestRunnableSet() {
  spCpuFeatureRecord f;
  spCpuFeatures(&f);
  int32_t index = HighestSetOfFlags(f);
  while (index > SP_SET_GENERIC && !spVariantSetSupported(index)) --index;
  return index;
}

// Whether the processor (CPUID as read, and the hardware itself) has every
// instruction set that variant set `index` uses.
bool ProcessorRunsVariantSet(int32_t index) {
  if (index == SP_SET_GENERIC) return true;
  if (index < SP_SET_GENERIC || index >= kSpVariantSetCount) return false;
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
    index = SP_SET_GENERIC;
  } else {
    index = spVariantSetOfType(typeCode);
    if (index == SP_SET_GENERIC) return spStatusUnknownCpuType;  // no row of the table
  }
  if (!ProcessorRunsVariantSet(index)) return spStatusUnknownCpuType;
  spDispatchIndex.store(index, std::memory_order_relaxed);
  return spOk;
}
