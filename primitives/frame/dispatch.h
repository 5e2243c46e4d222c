// Run-time choice of one of five variant sets. Every primitive has one entry
// (its public name) and a constant table of five variants, one per set; the
// entry reads the process-wide index on each call and forwards to that slot.
//
//   SP_DISPATCH(spStatus, spAddF32, (const float* a, const float* b, float* dst, int32_t n), (a, b, dst, n))
//
// declares spAddF32_Generic .. spAddF32_Ssse3 in the sets' namespaces
// (sp_generic, sp_sse, sp_sse2, sp_sse3, sp_ssse3), defines the table and the
// entry, and lists the entry for the table walk (spDispatchEntries).
//
// The index may change while the process runs (spStaticInit, spSetCpuType),
// so a record that one set's variant builds for later calls (a prepared real FFT)
// keeps the index of the set that built it (kSetIndex) and is used only by
// that set's variants.
#pragma once
#include <atomic>
#include <cstdint>
#include <span>

#include "primitives/frame/sp_status.h"

// 0 generic, 1 SSE, 2 SSE2, 3 SSE3, 4 SSSE3. Written only by spStaticInit,
// spSetCpuType and the test seam; read relaxed by every entry.
extern std::atomic<int32_t> spDispatchIndex;

inline constexpr int kSpVariantSetCount = 5;

// One dispatched primitive as the table walk sees it.
struct spDispatchEntry {
  const char* name;
  const void* slots[kSpVariantSetCount];
};

// Every entry linked into the process, in registration order.
std::span<const spDispatchEntry> spDispatchEntries();
bool spRegisterDispatchEntry(const char* name, const void* const* slots);

#define SP_DECLARE_VARIANTS(ret, name, params)  \
  namespace sp_generic { ret name##_Generic params; } \
  namespace sp_sse { ret name##_Sse params; }         \
  namespace sp_sse2 { ret name##_Sse2 params; }       \
  namespace sp_sse3 { ret name##_Sse3 params; }       \
  namespace sp_ssse3 { ret name##_Ssse3 params; }

#define SP_DISPATCH(ret, name, params, args)                                           \
  SP_DECLARE_VARIANTS(ret, name, params)                                               \
  namespace sp_dispatch_tables {                                                       \
  using name##_fn = ret(*) params;                                                     \
  constexpr name##_fn name[kSpVariantSetCount] = {                                     \
      &sp_generic::name##_Generic, &sp_sse::name##_Sse, &sp_sse2::name##_Sse2,         \
      &sp_sse3::name##_Sse3, &sp_ssse3::name##_Ssse3};                                 \
  }                                                                                    \
  ret name params {                                                                    \
    return sp_dispatch_tables::name[spDispatchIndex.load(std::memory_order_relaxed)] args; \
  }                                                                                    \
  namespace sp_dispatch_tables {                                                       \
  static const void* const name##_slots[kSpVariantSetCount] = {                        \
      reinterpret_cast<const void*>(name[0]), reinterpret_cast<const void*>(name[1]),  \
      reinterpret_cast<const void*>(name[2]), reinterpret_cast<const void*>(name[3]),  \
      reinterpret_cast<const void*>(name[4])};                                         \
  [[maybe_unused]] static const bool name##_listed = spRegisterDispatchEntry(#name, name##_slots); \
  }
