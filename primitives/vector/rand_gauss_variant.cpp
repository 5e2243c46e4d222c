// Gaussian random-number primitives of one variant set. All sets run the
// same scalar generator and double arithmetic, so they give the same values.
#include "primitives/vector/sp_random.h"

#include <cstdint>

#include "primitives/frame/arg_checks.h"
#include "primitives/frame/sp_status.h"
#include "primitives/vector/rand_gauss_generator.h"

namespace SP_SET_NS {
namespace {

template <class T>
spStatus FillGaussian(T* dst, int64_t len, double mean, double stdDev, uint32_t* pSeed) {
  if (const spStatus st = CheckArrays(len, dst, pSeed); st != spOk) return st;
  gauss::UniformPairs pairs(*pSeed);
  // The next pair is drawn as soon as one is written, needed or not.
  gauss::PolarPair pair = pairs.NextAccepted();
  int64_t i = 0;
  for (; i + 2 <= len; i += 2) {
    const double scale = pair.factor * stdDev;
    dst[i] = static_cast<T>(mean + pair.u2 * scale);
    dst[i + 1] = static_cast<T>(mean + pair.u1 * scale);
    pair = pairs.NextAccepted();
  }
  if (i < len) dst[i] = static_cast<T>(mean + pair.u2 * (pair.factor * stdDev));
  *pSeed = pairs.Seed();
  return spOk;
}

}  // namespace

spStatus SP_V(spRandGaussF32)(float* dst, int32_t len, float mean, float stdDev, uint32_t* pSeed) {
  return FillGaussian(dst, len, mean, stdDev, pSeed);
}
spStatus SP_V(spRandGaussF64)(double* dst, int32_t len, double mean, double stdDev, uint32_t* pSeed) {
  return FillGaussian(dst, len, mean, stdDev, pSeed);
}

}  // namespace SP_SET_NS

// The Gaussian random-number dispatch entries, compiled once.
#if SP_SET_INDEX == SP_SET_GENERIC
#include "primitives/frame/dispatch.h"
SP_DISPATCH_ENTRIES(SP_RAND_GAUSS_ENTRIES)
#endif
