// Kernels walk counts near INT32_MAX with 64-bit indices: the largest count
// a public entry accepts, over a mapped buffer of untouched zero pages (no
// memory is committed but the last element's page), must reach the last
// element in every set. A 32-bit `i + 4 <= n` walk would wrap there.
#include <sys/mman.h>

#include <cstdint>

#include "primitives/vector/sp_minmax.h"
#include "support/variant_sets.h"

namespace {

// INT32_MAX floats of zero pages, released on destruction.
class ZeroPages {
 public:
  explicit ZeroPages(int64_t count) : bytes_(count * static_cast<int64_t>(sizeof(float))) {
    void* p = mmap(nullptr, static_cast<size_t>(bytes_), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return;
    // Huge zero pages where the kernel offers them: far fewer faults.
    madvise(p, static_cast<size_t>(bytes_), MADV_HUGEPAGE);
    data_ = static_cast<float*>(p);
  }
  ~ZeroPages() {
    if (data_ != nullptr) munmap(data_, static_cast<size_t>(bytes_));
  }
  ZeroPages(const ZeroPages&) = delete;
  ZeroPages& operator=(const ZeroPages&) = delete;
  float* data() const { return data_; }

 private:
  int64_t bytes_;
  float* data_ = nullptr;
};

class LongArrayTest : public VariantSetTest {};

TEST_P(LongArrayTest, WalksReachTheLastElementOfTheLargestCount) {
  constexpr int32_t n = INT32_MAX;
  static ZeroPages pages(n);
  if (pages.data() == nullptr) GTEST_SKIP() << "no address space for " << n << " floats";
  pages.data()[n - 1] = 2.0f;

  float max = 0.0f;
  int32_t index = -1;
  ASSERT_EQ(spMaxIndexF32(pages.data(), n, &max, &index), spOk);
  EXPECT_EQ(max, 2.0f);
  EXPECT_EQ(index, n - 1);
}

SP_INSTANTIATE_FOR_ALL_SETS(LongArrayTest);

}  // namespace
