// The real FFT drivers and the half-spectrum expansion of both precisions,
// in every set, with their arrays against an inaccessible page on either
// side (support/fenced_array.h): a load or store one element outside them
// crashes the test. Orders 0 to 12 cover the small kernels, the plain
// passes and the first large paths; the results are held against a
// long-double FFT so that a fenced run cannot pass by computing nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fft/real_fft_reference.h"
#include "support/fenced_array.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

class FencedFftTest : public VariantSetTest {};

template <class T>
void ForwardAndInverse() {
  for (int order = 0; order <= 12; ++order) {
    const int64_t n = int64_t{1} << order;
    SpecOf<T> spec(order, REALFFT_DIV_INV_BY_N);
    ASSERT_EQ(spec.status, spOk);
    const auto x = RandomValues<T>(n, 600 + order);
    const auto want = FftRealForward(x);
    const std::vector<long double> exact(x.begin(), x.end());
    for (Fence fence : kBothFences) {
      SCOPED_TRACE(testing::Message() << "order " << order << FenceName(fence));
      FencedArray<T> src(x, fence), packed(n + 2, fence), back(n, fence);
      ASSERT_EQ(Entries<T>::forward(src.data(), packed.data(), spec.p, nullptr), spOk);
      EXPECT_LE(MaxError(packed.data(), want, static_cast<int64_t>(want.size())), Tolerance<T>(order, want));
      ASSERT_EQ(Entries<T>::inverse(packed.data(), back.data(), spec.p, nullptr), spOk);
      EXPECT_LE(MaxError(back.data(), exact, n), 2 * Tolerance<T>(order, exact));
      // In place: the packed array holds the N inputs in its first N values.
      std::copy(x.begin(), x.end(), packed.data());
      ASSERT_EQ(Entries<T>::forward(packed.data(), packed.data(), spec.p, nullptr), spOk);
      EXPECT_LE(MaxError(packed.data(), want, static_cast<int64_t>(want.size())), Tolerance<T>(order, want));
      ASSERT_EQ(Entries<T>::inverse(packed.data(), packed.data(), spec.p, nullptr), spOk);
      EXPECT_LE(MaxError(packed.data(), exact, n), 2 * Tolerance<T>(order, exact));
    }
  }
}

TEST_P(FencedFftTest, RealTransformsStayInsideTheirArrays) {
  ForwardAndInverse<float>();
  ForwardAndInverse<double>();
}

// n / 2 + 1 complex values in, n out, n = 1 .. 20.
template <class T>
void Expansion(spStatus (*expand)(const T*, T*, int32_t)) {
  for (int32_t n = 1; n <= 20; ++n) {
    const int64_t values = n / 2 + 1;
    const auto half = RandomValues<T>(2 * values, 700 + n);
    for (Fence fence : kBothFences) {
      SCOPED_TRACE(testing::Message() << "n " << n << FenceName(fence));
      FencedArray<T> src(half, fence), dst(2 * int64_t{n}, fence);
      ASSERT_EQ(expand(src.data(), dst.data(), n), spOk);
      for (int64_t k = 0; k < n; ++k) {
        const int64_t from = k < values ? k : n - k;
        ASSERT_EQ(dst.data()[2 * k], half[2 * from]) << "value " << k;
        ASSERT_EQ(dst.data()[2 * k + 1], k < values ? half[2 * from + 1] : -half[2 * from + 1]) << "value " << k;
      }
    }
  }
}

TEST_P(FencedFftTest, ExpansionStaysInsideItsArrays) {
  Expansion<float>(spHalfSpecToC32);
  Expansion<double>(spHalfSpecToC64);
}

SP_INSTANTIATE_FOR_ALL_SETS(FencedFftTest);

}  // namespace
