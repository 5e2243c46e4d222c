// Blocks of fresh zeroed pages mapped apart from the heap, for large arrays
// that live long (a plan's tables, the front end's rings and correlators):
// faulted in once, kept until they are given back, and from
// SP_PAGE_BLOCK_HUGE_FROM on in transparent huge pages where the system
// grants them. On a virtual machine a fault of a small page was seen to
// cost 20 us and a huge one 0.2-0.3 us per 4 kB it clears, so a block of
// 2 MiB in small pages costs ten times what one huge page does. Under the
// address sanitizer they come from the C heap, where it sees overruns.
#pragma once

#include <cstddef>
#include <cstdint>

// From this size on a block is mapped in huge pages, at the price of
// clearing what the last one holds beyond it; a tail shorter than this
// beyond whole huge pages stays in small ones.
constexpr size_t SP_PAGE_BLOCK_HUGE_FROM = size_t(256) << 10;

// The bytes a block of `bytes` takes.
size_t spkPageBlockBytes(size_t bytes);
// A zeroed block of spkPageBlockBytes(bytes), on a page boundary; null when
// the system refuses. Does not ask the allocators' failure seam.
void* spkMapPageBlock(size_t bytes);
// Gives back a block of spkMapPageBlock of that size; null is ignored.
void spkUnmapPageBlock(void* block, size_t bytes);

// A plan record's block of `bytes` (zero, on a 64-byte boundary) in pages of
// its own, asking and counting with the failure seam as the aligned
// allocator does; null when refused. The word before it marks it, so that
// spkFreePagedRecord tells it from a block of the aligned allocator.
void* spkAllocPagedRecord(int64_t bytes);
// Gives back a block of spkAllocPagedRecord and returns true; returns false,
// doing nothing, for any other block.
bool spkFreePagedRecord(void* block);
