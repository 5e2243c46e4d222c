// Records that one variant set builds once and reads on later calls (the
// real-FFT specs of both precisions). Such a record
// carries the index of the set that built it and that set's kernel table,
// and every table it holds is cut from the one block that also holds the
// record. A call of another set finds no kernels in the record and
// refuses it, so a record is never run through code it was not laid out for.
//
//   spPlanLayout layout(sizeof(Record));
//   const int64_t twiddleAt = layout.Reserve(points, sizeof(float));
//   auto* record = static_cast<Record*>(spkPlanBlockAlloc(layout));  // in a set
//   float* twiddles = spPlanSlice<float>(record, twiddleAt);
#pragma once
#include <cstdint>

// Who built a record: the set index and that set's kernels for the record.
struct spPlanOwner {
  int32_t setIndex;
  const void* kernels;
};

// Byte layout of one block: the record at offset 0, then each reserved
// slice on a 32-byte boundary. Every size is 64-bit; a negative count or a
// total that would overflow makes the layout unusable instead of wrapping.
class spPlanLayout {
 public:
  static constexpr int64_t kAlignment = 32;

  explicit spPlanLayout(int64_t recordBytes) { Reserve(recordBytes, 1); }

  // Room for `count` items of `itemBytes` bytes each; returns the slice's
  // offset in the block (0 once the layout is unusable).
  int64_t Reserve(int64_t count, int64_t itemBytes);

  bool Usable() const { return usable_; }
  // Bytes of the whole block, a multiple of the alignment.
  int64_t Bytes() const { return bytes_; }

 private:
  int64_t bytes_ = 0;
  bool usable_ = true;
};

// The slice at `offset` of a block.
template <class T>
inline T* spPlanSlice(void* block, int64_t offset) {
  return reinterpret_cast<T*>(static_cast<unsigned char*>(block) + offset);
}

#ifdef SP_SET_INDEX
#include "primitives/frame/memory_kernels.h"
#include "primitives/frame/page_blocks.h"

namespace SP_SET_NS {

// The zero-filled block of a layout: from SP_PAGE_BLOCK_HUGE_FROM on in
// pages of its own (a plan lives long, and its tables are written whole
// once: huge pages take them in a few faults, and fresh pages need no
// clearing), else from this set's aligned allocator; null when the layout
// is unusable or the memory cannot be had.
inline void* spkPlanBlockAlloc(const spPlanLayout& layout) {
  if (!layout.Usable()) return nullptr;
  if (uint64_t(layout.Bytes()) >= SP_PAGE_BLOCK_HUGE_FROM) return spkAllocPagedRecord(layout.Bytes());
  void* block = SP_V(spkAlignedAlloc)(layout.Bytes());
  if (block != nullptr) SP_V(spkZeroBytes)(block, layout.Bytes());
  return block;
}

// Blocks of every set's allocator share one format, so this set may give
// back a block that another set built.
inline void spkPlanBlockFree(void* block) {
  if (!spkFreePagedRecord(block)) SP_V(spkAlignedFree)(block);
}

// The owner entry of a record this set builds with `kernels`.
inline spPlanOwner spkPlanOwnedHere(const void* kernels) { return {kSetIndex, kernels}; }

// This set's kernels of a record, or null when another set built it.
template <class Kernels>
inline const Kernels* spkPlanKernels(const spPlanOwner& owner) {
  return owner.setIndex == kSetIndex ? static_cast<const Kernels*>(owner.kernels) : nullptr;
}

}  // namespace SP_SET_NS
#endif
