#include "Mathlib/MathlibRealFftPool.h"

#include <mutex>
#include <new>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFftBuild.h"
#include "Mathlib/MathlibRealFftCache.h"

namespace {

struct Parked {
  REALFFTSPEC* spec;
  int32_t order;
  int32_t elementBits;
  int32_t variantSet;
};

// Slot 0 the oldest.
struct Pool {
  std::mutex mutex;
  Parked slots[kMathlibParkedSpecs];
  int32_t count = 0;
};

// Never destroyed: handles freed by other objects' destructors at exit
// still find it; what it holds at exit stays reachable.
Pool& ThePool() {
  static Pool* const pool = new Pool;
  return *pool;
}

}  // namespace

REALFFTSPEC* MathlibTakeParkedRealFft(int32_t order, int32_t elementBits, int32_t variantSet) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  for (int32_t i = pool.count - 1; i >= 0; --i) {
    const Parked& p = pool.slots[i];
    if (p.order != order || p.elementBits != elementBits || p.variantSet != variantSet) continue;
    REALFFTSPEC* const spec = p.spec;
    for (int32_t j = i; j + 1 < pool.count; ++j) pool.slots[j] = pool.slots[j + 1];
    --pool.count;
    return spec;
  }
  return nullptr;
}

void MathlibParkRealFft(REALFFTSPEC* spec, int32_t order, int32_t elementBits, int32_t variantSet) {
  if (spec == nullptr) return;
  if (order < 0 || order > kMathlibLargestParkedOrder) {
    MathlibReleaseRealFft(spec, elementBits);
    return;
  }
  REALFFTSPEC* given = nullptr;
  int32_t givenBits = 0;
  {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.count == kMathlibParkedSpecs) {
      given = pool.slots[0].spec;
      givenBits = pool.slots[0].elementBits;
      for (int32_t j = 0; j + 1 < pool.count; ++j) pool.slots[j] = pool.slots[j + 1];
      --pool.count;
    }
    pool.slots[pool.count++] = Parked{spec, order, elementBits, variantSet};
  }
  MathlibReleaseRealFft(given, givenBits);
}

void MathlibReleaseParkedRealFfts() {
  Parked taken[kMathlibParkedSpecs];
  int32_t count = 0;
  {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    count = pool.count;
    for (int32_t i = 0; i < count; ++i) taken[i] = pool.slots[i];
    pool.count = 0;
  }
  for (int32_t i = 0; i < count; ++i) MathlibReleaseRealFft(taken[i].spec, taken[i].elementBits);
}

bool MathlibRealFftAvailable(int32_t order, int32_t elementBits) {
  MathlibHandle* handle = MathlibInit();
  if (handle == nullptr) return false;
  const bool built = MathlibCachedRealFft(handle, order, elementBits, "MathlibRealFftAvailable").spec != nullptr;
  MathlibFree(&handle);
  return built;
}
