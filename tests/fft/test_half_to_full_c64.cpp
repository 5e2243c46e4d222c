// Double expansion of a packed half spectrum to the full complex spectrum, in every
// variant set: the mirrored half, odd and even lengths, in place, the zero
// and Nyquist values carried as they are, the conjugate's sign of a zero,
// the checks, and a forward real FFT expanded against the complex DFT.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "support/variant_sets.h"

namespace {

class HalfSpecC64Test : public VariantSetTest {};

TEST_P(HalfSpecC64Test, MirrorsTheConjugates) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  for (int32_t n : {1, 2, 3, 4, 5, 8, 9, 16, 37, 100, 1023}) {
    SCOPED_TRACE(testing::Message() << "n " << n);
    const int64_t values = n / 2 + 1;
    // Nonzero imaginary parts everywhere, X0 and X(n/2) included.
    const auto src = real_fft_test::RandomValues<double>(2 * values, 900 + n);
    std::vector<double> want(2 * n);
    for (int64_t k = 0; k < n; ++k) {
      const int64_t from = k < values ? k : n - k;
      want[2 * k] = src[2 * from];
      want[2 * k + 1] = k < values ? src[2 * from + 1] : -src[2 * from + 1];
    }
    std::vector<double> dst(2 * n + 1, kNaN);
    ASSERT_EQ(spHalfSpecToC64(src.data(), dst.data(), n), spOk);
    EXPECT_TRUE(std::isnan(dst.back()));
    dst.pop_back();
    EXPECT_EQ(dst, want);
    std::vector<double> same(2 * n, kNaN);
    std::copy(src.begin(), src.end(), same.begin());
    ASSERT_EQ(spHalfSpecToC64(same.data(), same.data(), n), spOk);
    EXPECT_EQ(same, want) << "in place";
  }
}

// Every set flips the sign bit of the conjugate, a zero's included.
TEST_P(HalfSpecC64Test, ConjugateOfZero) {
  const std::vector<double> src = {1, 0, 2, 0, 3, -0.0};
  std::vector<double> dst(8);
  ASSERT_EQ(spHalfSpecToC64(src.data(), dst.data(), 4), spOk);
  EXPECT_TRUE(std::signbit(dst[7]));
  EXPECT_TRUE(std::signbit(dst[5])) << "X(n/2) is copied as it is";
}

TEST_P(HalfSpecC64Test, Checks) {
  double src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9};
  EXPECT_EQ(spHalfSpecToC64(nullptr, dst, 0), spErrNullPointer);  // pointers before n
  EXPECT_EQ(spHalfSpecToC64(src, nullptr, 2), spErrNullPointer);
  EXPECT_EQ(spHalfSpecToC64(src, dst, 0), spErrLength);
  EXPECT_EQ(spHalfSpecToC64(src, dst, -3), spErrLength);
  for (double v : dst) EXPECT_EQ(v, 9.0);
}

// A forward real FFT expanded is the complex DFT of the real input.
TEST_P(HalfSpecC64Test, ExpandedRealFftIsTheComplexDft) {
  constexpr int kOrder = 6, kN = 1 << kOrder;
  REALFFTSPEC* spec = nullptr;
  ASSERT_EQ(spRealFftInitF64(&spec, kOrder, REALFFT_NO_DIV, 0), spOk);
  const auto x = real_fft_test::RandomValues<double>(kN, 77);
  std::vector<double> packed(kN + 2), full(2 * kN);
  ASSERT_EQ(spRealFftFwdF64(x.data(), packed.data(), spec, nullptr), spOk);
  ASSERT_EQ(spHalfSpecToC64(packed.data(), full.data(), kN), spOk);
  spRealFftFreeF64(spec);
  const auto exact = dft_reference::NaiveDft(dft_reference::FromReal(x), -1);
  for (int k = 0; k < kN; ++k) {
    EXPECT_NEAR(full[2 * k], exact[k].real(), 1e-12L) << "bin " << k;
    EXPECT_NEAR(full[2 * k + 1], exact[k].imag(), 1e-12L) << "bin " << k;
  }
}

// Lengths whose byte counts pass 2^31 (n >= 2^28: 2 GB in, 4 GB out): the
// whole first half is copied and the whole mirror written. Opt-in, outside
// CI: VANTREL_LARGE_TESTS=1.
TEST_P(HalfSpecC64Test, LengthsPastTwoGigabytes) {
  if (std::getenv("VANTREL_LARGE_TESTS") == nullptr) GTEST_SKIP() << "set VANTREL_LARGE_TESTS=1 to run";
  const int32_t n = (1 << 28) + 2;
  const int64_t values = n / 2 + 1;
  std::vector<double> src(2 * values), dst(2 * static_cast<int64_t>(n), -1.0);
  for (int64_t k = 0; k < values; ++k) {
    src[2 * k] = static_cast<double>(k);
    src[2 * k + 1] = static_cast<double>(k) + 0.5;
  }
  ASSERT_EQ(spHalfSpecToC64(src.data(), dst.data(), n), spOk);
  for (int64_t k = 0; k < n; ++k) {
    const int64_t from = k < values ? k : n - k;
    const double im = static_cast<double>(from) + 0.5;
    if (dst[2 * k] != static_cast<double>(from) || dst[2 * k + 1] != (k < values ? im : -im)) FAIL() << "value " << k;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(HalfSpecC64Test);

}  // namespace
