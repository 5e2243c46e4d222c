// Processor detection and the choice of the running variant set.
//
// spStaticInit reads CPUID, derives the processor type code by the family
// and feature rules, and sets spDispatchIndex from it (never to a set whose
// instructions the processor lacks). spSetCpuType selects a set by type code.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

using spProcessorType = int32_t;

// The summary of one detection run: sixteen 32-bit words. Flags are 0 or 1.
struct spCpuFeatureRecord {
  int32_t family;       // leaf 1 signature bits 8-11 (no extended family)
  int32_t stepping;     // bits 0-3
  int32_t model;        // bits 4-7 (no extended model)
  int32_t type;         // always 0
  uint32_t featureEdx;  // leaf 1 EDX as read
  uint32_t leaf2Eax;    // leaf 2 EAX as read
  uint32_t leaf2Edx;    // leaf 2 EDX as read
  int32_t mmx;
  int32_t reserved;  // not set by detection (left 0)
  int32_t sse;
  int32_t sse2;
  int32_t hyperThreading;  // EDX bit 28 and more than one logical processor
  int32_t sse3;
  int32_t em64t;  // leaf 0x80000001 EDX bit 29
  int32_t ssse3;
  int32_t coresPerPackage;
};
static_assert(sizeof(spCpuFeatureRecord) == 16 * 4);

// Runs detection and sets the index: 0, or 20 when CPUID is missing or the
// vendor is not GenuineIntel (the index is set all the same).
spStatus spStaticInit();
// Selects the set of a type code: 0 on success; 21 (index unchanged) for a
// code outside the table or one whose set this processor cannot run.
spStatus spSetCpuType(int32_t typeCode);
// The type code of the running processor (0 without CPUID).
spProcessorType spGetProcessorType();
// 1 when the CPUID instruction exists, else 0.
int32_t spHasCpuid();
// 1 when the leaf 0 vendor is GenuineIntel, else 0.
int32_t spIsGenuineIntel();
// Fills the record from CPUID; a null record is ignored.
void spCpuFeatures(spCpuFeatureRecord* record);
// 1 + leaf 4 EAX bits 26-31 when the highest basic leaf is at least 4, else 1.
int32_t spCpuidCoresPerPackage();
// spCpuidCoresPerPackage when CPUID exists, else 1.
int32_t spGetCoresPerPackage();

// Index of the variant set a type code selects (0 for codes not listed).
int32_t spVariantSetOfType(spProcessorType type);
// The description text the version report prints for a type code.
const char* spProcessorTypeText(spProcessorType type);
