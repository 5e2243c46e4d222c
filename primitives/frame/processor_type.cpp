// Feature record and the processor-type rules.
#include <cstring>

#include "primitives/frame/cpuid.h"
#include "primitives/frame/set_list.h"
#include "primitives/frame/sp_cpu.h"

namespace {
constexpr uint32_t Bit(uint32_t word, int bit) { return (word >> bit) & 1u; }

spProcessorType IntelFamilyType(const spCpuFeatureRecord& f, bool* decided) {
  *decided = true;
  switch (f.family) {
    case 7: return 0x10;
    case 15:
      if (!f.sse2) return 0x11;
      if (!f.sse3) return f.hyperThreading ? 7 : 6;
      if (!f.em64t) return 8;
      return f.ssse3 ? 0x21 : 0x20;
    case 5: return f.mmx ? 2 : 1;
    case 6:
      if (f.sse2) return f.ssse3 ? 0x21 : (f.sse3 ? 0x0a : 9);
      if (f.sse) return 5;
      return f.mmx ? 4 : 3;
    default: *decided = false; return 0;
  }
}

spProcessorType InstructionSetType(const spCpuFeatureRecord& f) {
  if (f.ssse3) return 0x21;
  if (f.sse3) return 0x42;
  if (f.sse2) return 0x41;
  if (f.sse) return 0x40;
  return 0;
}
}  // namespace

int32_t spHasCpuid() { return spCpuidPresent() ? 1 : 0; }

int32_t spIsGenuineIntel() {
  if (!spCpuidPresent()) return 0;
  return spCpuidVendorIsGenuineIntel(spCpuid(0)) ? 1 : 0;
}

int32_t spCpuidCoresPerPackage() {
  if (static_cast<int32_t>(spCpuid(0).eax) < 4) return 1;
  return 1 + static_cast<int32_t>(spCpuid(4, 0).eax >> 26);
}

int32_t spGetCoresPerPackage() { return spHasCpuid() ? spCpuidCoresPerPackage() : 1; }

void spCpuFeatures(spCpuFeatureRecord* record) {
  if (record == nullptr) return;
  std::memset(record, 0, sizeof(*record));
  if (!spCpuidPresent()) return;
  const uint32_t maxLeaf = spCpuid(0).eax;
  spCpuidRegs leaf1{0, 0, 0, 0};
  spCpuidRegs leaf2{0, 0, 0, 0};
  // Leaves above the highest one return another leaf's data: read as zeros.
  if (maxLeaf >= 1) leaf1 = spCpuid(1);
  if (maxLeaf >= 2) leaf2 = spCpuid(2);
  record->family = static_cast<int32_t>((leaf1.eax >> 8) & 0xf);
  record->stepping = static_cast<int32_t>(leaf1.eax & 0xf);
  record->model = static_cast<int32_t>((leaf1.eax >> 4) & 0xf);
  record->type = 0;
  record->featureEdx = leaf1.edx;
  record->leaf2Eax = leaf2.eax;
  record->leaf2Edx = leaf2.edx;
  record->mmx = static_cast<int32_t>(Bit(leaf1.edx, 23));
  record->sse = static_cast<int32_t>(Bit(leaf1.edx, 25));
  record->sse2 = static_cast<int32_t>(Bit(leaf1.edx, 26));
  record->hyperThreading = (Bit(leaf1.edx, 28) && ((leaf1.ebx >> 16) & 0xff) > 1) ? 1 : 0;
  record->sse3 = static_cast<int32_t>(Bit(leaf1.ecx, 0));
  const uint32_t maxExtended = spCpuid(0x80000000u).eax;
  record->em64t = maxExtended >= 0x80000001u ? static_cast<int32_t>(Bit(spCpuid(0x80000001u).edx, 29)) : 0;
  record->ssse3 = static_cast<int32_t>(Bit(leaf1.ecx, 9));
  record->coresPerPackage = spCpuidCoresPerPackage();
}

spProcessorType spGetProcessorType() {
  if (!spHasCpuid()) return 0;
  spCpuFeatureRecord f;
  spCpuFeatures(&f);
  if (spIsGenuineIntel()) {
    bool decided = false;
    const spProcessorType type = IntelFamilyType(f, &decided);
    if (decided) return type;
  }
  return InstructionSetType(f);
}

int32_t spVariantSetOfType(spProcessorType type) {
  switch (type) {
    case 5:
    case 0x10:
    case 0x11:
    case 0x40: return SP_SET_SSE;
    case 6:
    case 7:
    case 9:
    case 0x41: return SP_SET_SSE2;
    case 8:
    case 0x0a:
    case 0x20:
    case 0x42: return SP_SET_SSE3;
    case 0x21:
    case 0x22: return SP_SET_SSSE3;
    default: return SP_SET_GENERIC;
  }
}

const char* spProcessorTypeText(spProcessorType type) {
  switch (type) {
    case 0: return "Unknown processor";
    case 1: return "Intel Pentium processor";
    case 2: return "Intel Pentium with MMX technology";
    case 3: return "Intel Pentium Pro processor";
    case 4: return "Intel Pentium II processor";
    case 5: return "Intel Pentium III processor or Intel Pentium III XeonTM processor";
    case 6: return "Intel Pentium 4 processor or Intel Pentium 4 XeonTM processor";
    case 7: return "Intel Pentium 4 processor with Hyper-Threading Technology";
    case 8: return "Intel Pentium 4 Processor with Streaming SIMD Extensions 3";
    case 9: return "Intel CentrinoTM mobile technology";
    case 0x0a: return "Intel(R) Core(TM) Duo processor or Intel(R) Core(TM) Solo processor";
    case 0x10: return "Intel Itanium processor";
    case 0x11: return "Intel Itanium 2 processor";
    case 0x20: return "IA-32 processor with Intel Extended Memory 64 Technology";
    case 0x21: return "Intel(R) Core(TM) 2 Duo processor ";
    case 0x22: return "Intel(R) Core(TM) 2 Duo processor - next ";
    case 0x40: return "Processor supports Intel Pentium III processor instruction set";
    case 0x41: return " Processor with Streaming SIMD Extensions 2 instruction set";
    case 0x42: return "Processor with Streaming SIMD Extensions 3 instruction set";
    case 0x43: return "Processor supports 64 bit extension";
    default: return "Unknown processor Number ";
  }
}
