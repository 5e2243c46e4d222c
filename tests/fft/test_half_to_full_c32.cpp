// Expansion of a packed half spectrum to the full complex spectrum, in every
// variant set: the mirrored half, odd and even lengths, in place, the zero
// and Nyquist values carried as they are, the conjugate's sign of a zero,
// the checks, and a forward real FFT expanded against the complex DFT.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/sp_real_fft.h"
#include "support/variant_sets.h"

namespace {

class HalfSpecC32Test : public VariantSetTest {};

TEST_P(HalfSpecC32Test, MirrorsTheConjugates) {
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  for (int32_t n : {1, 2, 3, 4, 5, 8, 9, 16, 37, 100, 1023}) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    const int64_t values = n / 2 + 1;
    // Nonzero imaginary parts everywhere, X0 and X(n/2) included.
    const auto src = real_fft_test::RandomValues<float>(2 * values, 900 + n);
    std::vector<float> want(2 * n);
    for (int64_t k = 0; k < n; ++k) {
      const int64_t from = k < values ? k : n - k;
      want[2 * k] = src[2 * from];
      want[2 * k + 1] = k < values ? src[2 * from + 1] : -src[2 * from + 1];
    }
    std::vector<float> dst(2 * n + 1, kNaN);
    ASSERT_EQ(spHalfSpecToC32(src.data(), dst.data(), n), spOk);
    EXPECT_TRUE(std::isnan(dst.back()));
    dst.pop_back();
    EXPECT_EQ(dst, want);
    std::vector<float> same(2 * n, kNaN);
    std::copy(src.begin(), src.end(), same.begin());
    ASSERT_EQ(spHalfSpecToC32(same.data(), same.data(), n), spOk);
    EXPECT_EQ(same, want) << "in place";
  }
}

// The SSE set forms the conjugate as 0 - Im, so a zero comes out +0; the
// others flip the sign bit.
TEST_P(HalfSpecC32Test, ConjugateOfZero) {
  const std::vector<float> src = {1, 0, 2, 0, 3, -0.0f};
  std::vector<float> dst(8);
  ASSERT_EQ(spHalfSpecToC32(src.data(), dst.data(), 4), spOk);
  EXPECT_EQ(std::signbit(dst[7]), SetIndex() != SP_SET_SSE);
  EXPECT_TRUE(std::signbit(dst[5])) << "X(n/2) is copied as it is";
}

TEST_P(HalfSpecC32Test, Checks) {
  float src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9};
  EXPECT_EQ(spHalfSpecToC32(nullptr, dst, 0), spErrNullPointer);  // pointers before n
  EXPECT_EQ(spHalfSpecToC32(src, nullptr, 2), spErrNullPointer);
  EXPECT_EQ(spHalfSpecToC32(src, dst, 0), spErrLength);
  EXPECT_EQ(spHalfSpecToC32(src, dst, -3), spErrLength);
  for (float v : dst) EXPECT_EQ(v, 9.0f);
}

// A forward real FFT expanded is the complex DFT of the real input.
TEST_P(HalfSpecC32Test, ExpandedRealFftIsTheComplexDft) {
  constexpr int kOrder = 6, kN = 1 << kOrder;
  REALFFTSPEC* spec = nullptr;
  ASSERT_EQ(spRealFftInitF32(&spec, kOrder, REALFFT_NO_DIV, 0), spOk);
  const auto x = real_fft_test::RandomValues<float>(kN, 77);
  std::vector<float> packed(kN + 2), full(2 * kN);
  ASSERT_EQ(spRealFftFwdF32(x.data(), packed.data(), spec, nullptr), spOk);
  ASSERT_EQ(spHalfSpecToC32(packed.data(), full.data(), kN), spOk);
  spRealFftFreeF32(spec);
  const auto exact = dft_reference::NaiveDft(dft_reference::FromReal(x), -1);
  for (int k = 0; k < kN; ++k) {
    EXPECT_NEAR(full[2 * k], exact[k].real(), 2e-5L) << "bin " << k;
    EXPECT_NEAR(full[2 * k + 1], exact[k].imag(), 2e-5L) << "bin " << k;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(HalfSpecC32Test);

}  // namespace
