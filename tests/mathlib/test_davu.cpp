// The fallback complex FFT and the real transforms over it, against a naive
// long-double DFT.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "Mathlib/Davu.h"
#include "Mathlib/MathlibDavu.h"
#include "support/dft_reference.h"
#include "support/random_values.h"

namespace {

using Cld = dft_reference::CxL;
using dft_reference::Interleaved;
using dft_reference::NaiveDft;

// Largest deviation, relative to the largest reference magnitude.
template <typename Got, typename Want>
double RelativeError(const Got& got, const Want& want, size_t count) {
  long double worst = 0, scale = 0;
  for (size_t i = 0; i < count; ++i) {
    worst = std::max(worst, std::abs(static_cast<long double>(got[i]) - static_cast<long double>(want[i])));
    scale = std::max(scale, std::abs(static_cast<long double>(want[i])));
  }
  return static_cast<double>(worst / scale);
}

template <typename T>
std::vector<T> RandomValues(size_t count, unsigned seed) {
  return UniformValues<T>(static_cast<int64_t>(count), -1.0, 1.0, seed);
}

template <typename T>
void CheckComplexTransform(uint32_t n, double tolerance) {
  auto data = RandomValues<T>(2 * n, n);
  const auto expected = NaiveDft(dft_reference::FromInterleaved(data), -1);
  auto work = data;
  if constexpr (sizeof(T) == 4)
    DavuForwardFloat(work.data(), n);
  else
    DavuForwardDouble(work.data(), n);
  for (uint32_t k = 0; k < n; ++k) {
    ASSERT_NEAR(work[2 * k], static_cast<double>(expected[k].real()), tolerance * n) << "n=" << n << " k=" << k;
    ASSERT_NEAR(work[2 * k + 1], static_cast<double>(expected[k].imag()), tolerance * n);
  }
  if constexpr (sizeof(T) == 4)
    DavuInverseFloat(work.data(), n);
  else
    DavuInverseDouble(work.data(), n);
  for (uint32_t i = 0; i < 2 * n; ++i) ASSERT_NEAR(work[i], data[i], tolerance * 4);
}

TEST(Davu, ComplexTransformsMatchNaiveDftInBothPrecisions) {
  // The single-precision twiddles take 2 pi rounded to single precision, good
  // to about 1e-7. Alternating sizes and precisions: each twiddle table must
  // follow its size.
  for (uint32_t n : {2u, 4u, 8u, 32u, 8u, 256u, 1024u, 2u, 64u}) {
    CheckComplexTransform<double>(n, 1e-15);
    CheckComplexTransform<float>(n, 4e-7);
    CheckComplexTransform<double>(n, 1e-15);
  }
  DavuReleaseFloat();
  DavuReleaseDouble();
}

TEST(Davu, DoubleTransformHasDoublePrecision) {
  constexpr uint32_t kN = 4096;
  const auto data = RandomValues<double>(2 * kN, 12);
  const auto expected = Interleaved(NaiveDft(dft_reference::FromInterleaved(data), -1));
  auto work = data;
  ASSERT_TRUE(DavuForwardDouble(work.data(), kN));
  EXPECT_LT(RelativeError(work, expected, 2 * kN), 1e-13);
  ASSERT_TRUE(DavuInverseDouble(work.data(), kN));
  EXPECT_LT(RelativeError(work, data, 2 * kN), 1e-14);

  // The real transforms over it, with the single-precision table current.
  std::vector<float> other(2 * kN, 1.0f);
  DavuForwardFloat(other.data(), kN);
  const auto real = RandomValues<double>(kN + 2, 13);
  const auto full = Interleaved(NaiveDft(std::vector<Cld>(real.begin(), real.begin() + kN), -1));
  auto packed = real;
  MathlibDavuFwdF64(packed.data(), 12);
  EXPECT_LT(RelativeError(packed, full, kN + 2), 1e-13);
  MathlibDavuInvF64(packed.data(), 12);
  EXPECT_LT(RelativeError(packed, real, kN), 1e-14);
  DavuReleaseFloat();
  DavuReleaseDouble();
}

TEST(Davu, ImpulseAndConstant) {
  std::vector<float> data(16, 0.0f);
  data[0] = 1.0f;
  DavuForwardFloat(data.data(), 8);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(data[2 * k], 1.0f);
    EXPECT_EQ(data[2 * k + 1], 0.0f);
  }
  DavuInverseFloat(data.data(), 8);
  EXPECT_EQ(data[0], 1.0f);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(data[i], 0.0f);
}

TEST(Davu, TablesFollowSizeAndAreReusedForTheSameSize) {
  DavuReleaseFloat();
  DavuReleaseDouble();
  std::vector<double> d(64, 0.5);
  DavuForwardDouble(d.data(), 1);
  DavuForwardDouble(d.data(), 0);
  EXPECT_EQ(d, std::vector<double>(64, 0.5));
  EXPECT_EQ(DavuGetTableState().sharedSize, 0u);

  const uint64_t before = DavuGetTableState().twiddleBuilds;
  DavuForwardDouble(d.data(), 32);
  DavuForwardDouble(d.data(), 32);
  EXPECT_EQ(DavuGetTableState().twiddleBuilds, before + 1);
  std::vector<float> f(64, 0.25f);
  DavuForwardFloat(f.data(), 32);  // same size, other precision: its own table
  auto state = DavuGetTableState();
  EXPECT_EQ(state.twiddleBuilds, before + 2);
  EXPECT_EQ(state.floatTwiddleSize, 32u);
  EXPECT_EQ(state.doubleTwiddleSize, 32u);
  DavuForwardFloat(f.data(), 8);
  state = DavuGetTableState();
  EXPECT_EQ(state.sharedSize, 8u);
  EXPECT_EQ(state.floatTwiddleSize, 8u);

  // Not a power of two and n = 1 set-ups are refused and build nothing.
  EXPECT_FALSE(DavuSetupFloat(12));
  EXPECT_FALSE(DavuSetupDouble(1));
  std::vector<float> odd(24, 1.0f);
  DavuForwardFloat(odd.data(), 12);
  EXPECT_EQ(odd, std::vector<float>(24, 1.0f));
  DavuReleaseFloat();
  DavuReleaseDouble();
  EXPECT_EQ(DavuGetTableState().sharedSize, 0u);
}

TEST(Davu, SizeHelpers) {
  struct Case {
    uint32_t n, next, isPow2;
    int32_t log2;
  };
  const Case cases[] = {{0, 1, 0, 0}, {1, 1, 1, 0}, {5, 8, 0, 2},
                        {6, 8, 0, 3}, {8, 8, 1, 3}, {1u << 31, 1u << 31, 1, 31}};
  for (const auto& c : cases) {
    EXPECT_EQ(DavuNextPow2(c.n), c.next) << c.n;
    EXPECT_EQ(DavuIsPow2(c.n), c.isPow2) << c.n;
    EXPECT_EQ(DavuLog2Round(c.n), c.log2) << c.n;
  }
  EXPECT_EQ(DavuNextPow2((1u << 31) + 1), 0u);  // nothing 32-bit is large enough
}

TEST(MathlibDavu, RealTransformsOfTheFixture) {
  std::vector<float> data = {1, 2, 3, 4, 99, 99};
  MathlibDavuFwdF32(data.data(), 2);
  EXPECT_EQ(data, (std::vector<float>{10, 0, -2, 2, -2, 0}));
  MathlibDavuInvF32(data.data(), 2);
  EXPECT_EQ(std::vector<float>(data.begin(), data.begin() + 4), (std::vector<float>{1, 2, 3, 4}));

  std::vector<float> one = {5.0f, 7.0f};
  MathlibDavuFwdF32(one.data(), 0);
  EXPECT_EQ(one, (std::vector<float>{5.0f, 0.0f}));
  one = {3.0f, 9.0f};
  MathlibDavuInvF32(one.data(), 0);
  EXPECT_EQ(one[0], 3.0f);
}

TEST(MathlibDavu, RealTransformsMatchNaiveDftAndRoundTrip) {
  for (int order : {1, 3, 6, 10}) {
    const size_t n = size_t{1} << order;
    auto x = RandomValues<double>(n, 100 + order);
    std::vector<Cld> xc(x.begin(), x.end());
    const auto expected = NaiveDft(xc, -1);
    std::vector<double> d(x);
    d.resize(n + 2);
    MathlibDavuFwdF64(d.data(), order);
    for (size_t k = 0; k <= n / 2; ++k) {
      ASSERT_NEAR(d[2 * k], static_cast<double>(expected[k].real()), 1e-15 * n);
      ASSERT_NEAR(d[2 * k + 1], static_cast<double>(expected[k].imag()), 1e-15 * n);
    }
    EXPECT_EQ(d[1], 0.0);
    EXPECT_EQ(d[n + 1], 0.0);
    // Imaginary parts at 0 and N/2 reach only the dropped imaginary results.
    d[1] = 3.0;
    d[n + 1] = -2.0;
    MathlibDavuInvF64(d.data(), order);
    for (size_t i = 0; i < n; ++i) ASSERT_NEAR(d[i], x[i], 1e-14);

    auto xf = RandomValues<float>(n, 7 + order);
    std::vector<float> spectrum(2 * n);
    const auto srcCopy = xf;
    MathlibDavuFwdComplexF32(xf.data(), spectrum.data(), order);
    EXPECT_EQ(xf, srcCopy);
    std::vector<Cld> xfc(xf.begin(), xf.end());
    const auto full = NaiveDft(xfc, -1);
    for (size_t k = 0; k < n; ++k) {
      ASSERT_NEAR(spectrum[2 * k], static_cast<double>(full[k].real()), 1e-5 * order);
      ASSERT_NEAR(spectrum[2 * k + 1], static_cast<double>(full[k].imag()), 1e-5 * order);
    }
  }
}

TEST(MathlibDavu, OrdersOutsideTheRangeLeaveDataAlone) {
  std::vector<float> f(8, 1.5f);
  for (int order : {-1, 28, 40}) {
    MathlibDavuFwdF32(f.data(), order);
    MathlibDavuInvF32(f.data(), order);
  }
  std::vector<double> d(8, 1.5);
  MathlibDavuFwdF64(d.data(), 27);
  EXPECT_EQ(f, std::vector<float>(8, 1.5f));
  EXPECT_EQ(d, std::vector<double>(8, 1.5));
  MathlibDavuFwdF32(nullptr, 3);
}

}  // namespace
