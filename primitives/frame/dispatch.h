// Run-time choice of one of the variant sets. Every primitive has one entry
// (its public name) and a constant table of its variants, one per set; the
// entry reads the process-wide index on each call and forwards to that slot.
//
// A family's variant file ends with its dispatch block, compiled once:
//
//   #if SP_SET_INDEX == SP_SET_GENERIC
//   #include "primitives/frame/dispatch.h"
//   SP_DISPATCH_ENTRIES(SP_SUM_ENTRIES)
//   #endif
//
// which, for every row of the family's list (entries.h), declares every
// set's variant, defines the table and the entry, and lists the entry for the
// table walk (spDispatchEntries). The generic compilation hosts the entries
// because its flags are the baseline every processor runs.
//
// The index may change while the process runs (spStaticInit, spSetCpuType),
// so a record that one set's variant builds for later calls (a prepared real FFT)
// keeps the index of the set that built it (kSetIndex) and is used only by
// that set's variants.
#pragma once
#include <atomic>
#include <cstdint>
#include <span>

#include "primitives/frame/set_list.h"
#include "primitives/frame/sp_status.h"

// The running set's index (set_list.h). Written only by spStaticInit,
// spSetCpuType and the test seam; read relaxed by every entry.
extern std::atomic<int32_t> spDispatchIndex;

// One dispatched primitive as the table walk sees it.
struct spDispatchEntry {
  const char* name;
  const void* slots[kSpVariantSetCount];
};

// Every entry linked into the process, in registration order.
std::span<const spDispatchEntry> spDispatchEntries();
bool spRegisterDispatchEntry(const char* name, const void* const* slots);

#define SP_DISPATCH_ENTRIES(LIST) LIST(SP_DISPATCH)

// One row: SP_DISPATCH(spStatus, spAddF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))
#define SP_DISPATCH(ret, name, params, args)                                                                 \
  SP_DECLARE_VARIANTS(ret, name, params)                                                                     \
  namespace sp_dispatch_tables {                                                                             \
  using name##_fn = ret(*) params;                                                                           \
  constexpr name##_fn name[kSpVariantSetCount] = SP_VARIANT_TABLE(name);                                     \
  }                                                                                                          \
  ret name params { return sp_dispatch_tables::name[spDispatchIndex.load(std::memory_order_relaxed)] args; } \
  namespace sp_dispatch_tables {                                                                             \
  static const void* const name##_slots[kSpVariantSetCount] = {SP_FOR_EACH_SET(SP_SLOT_IN_SET, name)};       \
  [[maybe_unused]] static const bool name##_listed = spRegisterDispatchEntry(#name, name##_slots);           \
  }
#define SP_SLOT_IN_SET(name, index, ns, suffix, ...) reinterpret_cast<const void*>(&ns::name##suffix),
