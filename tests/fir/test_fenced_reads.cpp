// The FIR filter against fenced pages: reading or writing one element
// outside the samples, the taps, the delay line or the output crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "primitives/fir/sp_fir.h"
#include "support/fenced_array.h"
#include "support/random_values.h"
#include "support/variant_sets.h"

namespace {

class FencedFirTest : public VariantSetTest {};

template <class T>
double Eps() {
  return std::numeric_limits<T>::epsilon();
}

template <class T>
std::vector<T> Signal(int64_t n, uint32_t seed) {
  return UniformValues<T>(n, -1.0, 1.0, seed);
}

// A fresh filter (zero history) over 1 .. 19 samples with 1 .. 9 taps: the
// samples, taps, delay line and output each against a fence.
template <class T>
void FirFilter(spStatus (*fir)(const T*, T*, int32_t, const double*, int32_t, T*, int32_t*)) {
  for (int32_t tapsLen = 1; tapsLen <= 9; ++tapsLen) {
    const auto taps = Signal<double>(tapsLen, 40 + tapsLen);
    for (int32_t len = 1; len <= 19; ++len) {
      const auto src = Signal<T>(len, 60 + len);
      for (Fence fence : kBothFences) {
        SCOPED_TRACE(testing::Message() << "taps " << tapsLen << " len " << len << FenceName(fence));
        FencedArray<T> s(src, fence), dst(len, fence), line(std::vector<T>(2 * tapsLen, T{0}), fence);
        FencedArray<double> t(taps, fence);
        int32_t index = 0;
        ASSERT_EQ(fir(s.data(), dst.data(), len, t.data(), tapsLen, line.data(), &index), spOk);
        for (int32_t n = 0; n < len; ++n) {
          long double want = 0;
          for (int32_t k = 0; k <= std::min(n, tapsLen - 1); ++k)
            want += taps[k] * static_cast<long double>(src[n - k]);
          ASSERT_NEAR(dst.data()[n], want, 4 * Eps<T>() * tapsLen) << "n " << n;
        }
      }
    }
  }
}

TEST_P(FencedFirTest, FilterReadsOnlyItsArrays) {
  FirFilter<float>(spFirF32);
  FirFilter<double>(spFirF64);
}

SP_INSTANTIATE_FOR_ALL_SETS(FencedFirTest);

}  // namespace
