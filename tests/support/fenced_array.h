// An array placed against an inaccessible page, so that a kernel reading or
// writing one element outside it crashes the test instead of passing
// unseen. Guard bytes around a heap array do not do this: an over-read of
// them gives no error, and ASan's redzones lie behind the allocator's
// rounding. With Fence::kAfter the array ends exactly at a page boundary
// followed by a PROT_NONE page; with Fence::kBefore it starts at a page
// boundary after one. Either way the array's address is as aligned as
// its size in bytes (kAfter) or page-aligned (kBefore), so tests pick
// sizes, or offsets into a larger fenced array, for the alignments they want.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

enum class Fence { kAfter, kBefore };

// Both placements, for tests that read every array against each fence.
inline constexpr Fence kBothFences[] = {Fence::kAfter, Fence::kBefore};

inline const char* FenceName(Fence fence) { return fence == Fence::kAfter ? " fence after" : " fence before"; }

template <class T>
class FencedArray {
 public:
  FencedArray(const std::vector<T>& values, Fence fence) : FencedArray(static_cast<int64_t>(values.size()), fence) {
    std::copy(values.begin(), values.end(), data_);
  }
  FencedArray(int64_t count, Fence fence) : count_(count) {
    const int64_t page = sysconf(_SC_PAGESIZE);
    const int64_t bytes = count * static_cast<int64_t>(sizeof(T));
    const int64_t dataPages = (bytes + page - 1) / page;
    length_ = (dataPages + 1) * page;
    void* base = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) std::abort();
    base_ = static_cast<char*>(base);
    char* fencePage = fence == Fence::kAfter ? base_ + dataPages * page : base_;
    if (mprotect(fencePage, page, PROT_NONE) != 0) std::abort();
    data_ = reinterpret_cast<T*>(fence == Fence::kAfter ? fencePage - bytes : base_ + page);
  }
  ~FencedArray() { munmap(base_, length_); }
  FencedArray(const FencedArray&) = delete;
  FencedArray& operator=(const FencedArray&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  int64_t size() const { return count_; }
  std::vector<T> Get() const { return {data_, data_ + count_}; }

 private:
  char* base_ = nullptr;
  int64_t length_ = 0;
  int64_t count_ = 0;
  T* data_ = nullptr;
};
