#include "primitives/frame/dispatch.h"

#include <mutex>
#include <vector>

#include "primitives/frame/variant_seams.h"

std::atomic<int32_t> spDispatchIndex{0};

namespace {
// Filled by static initialisers of the entry sources, before main.
std::vector<spDispatchEntry>& EntryList() {
  static std::vector<spDispatchEntry> entries;
  return entries;
}
std::mutex& EntryMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

bool spRegisterDispatchEntry(const char* name, const void* const* slots) {
  spDispatchEntry e{name, {}};
  for (int i = 0; i < kSpVariantSetCount; ++i) e.slots[i] = slots[i];
  std::lock_guard<std::mutex> lock(EntryMutex());
  EntryList().push_back(e);
  return true;
}

std::span<const spDispatchEntry> spDispatchEntries() {
  std::lock_guard<std::mutex> lock(EntryMutex());
  return {EntryList().data(), EntryList().size()};
}

namespace {
// Every row's index is its position in the list.
#define SP_SET_INDEX_OF_ROW(ctx, index, ...) index,
constexpr int kRowIndices[] = {SP_FOR_EACH_SET(SP_SET_INDEX_OF_ROW, )};
constexpr bool RowsInIndexOrder() {
  for (int i = 0; i < kSpVariantSetCount; ++i)
    if (kRowIndices[i] != i) return false;
  return true;
}
static_assert(RowsInIndexOrder(), "set rows out of order");
}  // namespace

bool spVariantSetSupported(int32_t index) {
  switch (index) {
#define SP_SET_SUPPORTED_CASE(ctx, index, ns, suffix, name, feature, flags) \
  case index: return SP_SET_FEATURE_SUPPORTED(feature);
    SP_FOR_EACH_SET(SP_SET_SUPPORTED_CASE, )
    default: return false;
  }
}

int32_t spForceVariantSet(int32_t index) {
  if (!spVariantSetSupported(index)) return -1;
  return spDispatchIndex.exchange(index, std::memory_order_relaxed);
}

const char* spVariantSetName(int32_t index) {
#define SP_SET_NAME_OF_ROW(ctx, index, ns, suffix, name, ...) name,
  static const char* const names[] = {SP_FOR_EACH_SET(SP_SET_NAME_OF_ROW, )};
  return (index >= 0 && index < kSpVariantSetCount) ? names[index] : "unknown";
}
