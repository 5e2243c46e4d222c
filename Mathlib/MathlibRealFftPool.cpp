#include "Mathlib/MathlibRealFftPool.h"

#include <mutex>
#include <new>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFftBuild.h"
#include "Mathlib/MathlibRealFftCache.h"
#include "primitives/frame/sp_memory.h"

namespace {

struct Parked {
  REALFFTSPEC* spec;
  int32_t order;
  int32_t elementBits;
  int32_t variantSet;
  uint8_t* work;
};

void Release(const Parked& p) {
  MathlibReleaseRealFft(p.spec, p.elementBits);
  spAlignedFree(p.work);
}

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

REALFFTSPEC* MathlibTakeParkedRealFft(int32_t order, int32_t elementBits, int32_t variantSet, uint8_t** work) {
  Parked taken{};
  {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    for (int32_t i = pool.count - 1; i >= 0; --i) {
      const Parked& p = pool.slots[i];
      if (p.order != order || p.elementBits != elementBits || p.variantSet != variantSet) continue;
      taken = p;
      for (int32_t j = i; j + 1 < pool.count; ++j) pool.slots[j] = pool.slots[j + 1];
      --pool.count;
      break;
    }
  }
  if (work != nullptr)
    *work = taken.work;
  else
    spAlignedFree(taken.work);
  return taken.spec;
}

void MathlibParkRealFft(REALFFTSPEC* spec, int32_t order, int32_t elementBits, int32_t variantSet, uint8_t* work) {
  const Parked parked{spec, order, elementBits, variantSet, work};
  if (spec == nullptr || order < 0 || order > kMathlibLargestParkedOrder) {
    Release(parked);
    return;
  }
  Parked given{};
  {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.count == kMathlibParkedSpecs) {
      given = pool.slots[0];
      for (int32_t j = 0; j + 1 < pool.count; ++j) pool.slots[j] = pool.slots[j + 1];
      --pool.count;
    }
    pool.slots[pool.count++] = parked;
  }
  Release(given);
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
  for (int32_t i = 0; i < count; ++i) Release(taken[i]);
}

bool MathlibRealFftAvailable(int32_t order, int32_t elementBits) {
  MathlibHandle* handle = MathlibInit();
  if (handle == nullptr) return false;
  const bool built = MathlibCachedRealFft(handle, order, elementBits, "MathlibRealFftAvailable").spec != nullptr;
  MathlibFree(&handle);
  return built;
}
