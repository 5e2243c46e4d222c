#include "Mathlib/MathlibRealFftCache.h"

#include <limits>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFftBuild.h"
#include "Mathlib/MathlibRealFftPool.h"
#include "Mathlib/MathlibTrace.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_memory.h"

namespace {
constexpr int32_t kSpecHint = 2;

// The transforms use a caller's scratch from its first 16-byte boundary;
// the aligned allocator's blocks start on one.
bool ScratchHeld(MathlibFftCache& cache, const char* caller) {
  const int64_t bytes = cache.spec->workBytes;
  if (cache.work || bytes <= 0 || bytes > std::numeric_limits<int32_t>::max()) return true;
  cache.work = static_cast<uint8_t*>(spAlignedAlloc(static_cast<int32_t>(bytes)));
  if (cache.work) return true;
  MathlibTrace(nullptr, "%s(), ERROR: out of memory for %lld bytes of FFT scratch, output left unchanged\n", caller,
               static_cast<long long>(bytes));
  return false;
}

// The cache's spec once its scratch is held; a null spec otherwise.
MathlibCachedFft Prepared(MathlibFftCache& cache, const char* caller) {
  if (!ScratchHeld(cache, caller)) return {nullptr, nullptr};
  return {cache.spec, cache.work};
}

bool SameKey(const MathlibFftCache& cache, int32_t order, int32_t elementBits, int32_t set) {
  return cache.order == order && cache.elementBits == elementBits && cache.variantSet == set;
}
}  // namespace

MathlibCachedFft MathlibCachedRealFft(MathlibHandle* handle, int32_t order, int32_t elementBits,
                                      const char* caller) {
  if (!handle) {
    MathlibTrace(nullptr, "%s(), ERROR: null mathlib handle, output left unchanged\n", caller);
    return {nullptr, nullptr};
  }
  const int32_t set = spDispatchIndex.load(std::memory_order_relaxed);
  if (handle->cache && SameKey(*handle->cache, order, elementBits, set)) {
    if (handle->cache->spec) return Prepared(*handle->cache, caller);
    MathlibTrace(nullptr, "%s(), ERROR: no %d-bit real FFT of order %d, output left unchanged\n", caller,
                 static_cast<int>(elementBits), static_cast<int>(order));
    return {nullptr, nullptr};
  }

  MathlibFftCacheFree(&handle->cache);
  MathlibFftCacheCreate(&handle->cache, elementBits);
  MathlibFftCache* cache = handle->cache;
  if (!cache) {
    MathlibTrace(nullptr, "%s(), ERROR: out of memory for the FFT cache, output left unchanged\n", caller);
    return {nullptr, nullptr};
  }
  cache->order = order;
  // Checked here so that no size is ever formed from an order out of range.
  if (order < 0 || order > kMathlibLargestFftOrder) {
    MathlibTrace(nullptr, "%s(), ERROR: FFT order %d outside 0..%d, output left unchanged\n", caller,
                 static_cast<int>(order), static_cast<int>(kMathlibLargestFftOrder));
    return {nullptr, nullptr};
  }
  REALFFTSPEC* spec = MathlibTakeParkedRealFft(order, elementBits, set, &cache->work);
  const spStatus status =
      spec != nullptr ? spOk : MathlibBuildRealFft(&spec, order, REALFFT_DIV_INV_BY_N, kSpecHint, elementBits);
  if (status != spOk) {
    MathlibTrace(nullptr, "%s(), ERROR: %d-bit real FFT of order %d not built (status %d), output left unchanged\n",
                 caller, static_cast<int>(elementBits), static_cast<int>(order), static_cast<int>(status));
    return {nullptr, nullptr};
  }
  cache->spec = spec;
  return Prepared(*cache, caller);
}
