// Half-spectrum mirror kernels against a direct reverse-conjugate.
#include <gtest/gtest.h>

#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "support/frame_kernels.h"
#include "support/variant_sets.h"

namespace {
// Reference on bits: reverse, then flip the imaginary sign bit.
template <class T, class Bits>
std::vector<T> ReverseConjugate(const T* src, int32_t m) {
  std::vector<T> out(2 * static_cast<size_t>(m));
  for (int32_t k = 0; k < m; ++k) {
    out[2 * k] = src[2 * (m - 1 - k)];
    Bits im;
    std::memcpy(&im, &src[2 * (m - 1 - k) + 1], sizeof im);
    im ^= Bits{1} << (8 * sizeof(Bits) - 1);
    std::memcpy(&out[2 * k + 1], &im, sizeof im);
  }
  return out;
}

template <class T>
std::vector<T> Spectrum(int32_t m, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<T> u(-1000, 1000);
  std::vector<T> v(2 * static_cast<size_t>(m));
  for (auto& x : v) x = u(rng);
  if (m > 2) {  // signed zeros and a NaN with a payload in the mix
    v[1] = T(0);
    v[3] = -T(0);
    v[2] = std::numeric_limits<T>::quiet_NaN();
  }
  return v;
}

// Runs the kernel with dst at `shift` bytes past a 16-byte boundary and
// guard values on both sides; returns the written values.
template <class T, class Kernel>
std::vector<T> RunMirror(Kernel kernel, const std::vector<T>& src, int32_t m, int shift, bool* guardsIntact) {
  std::vector<uint8_t> buffer(2 * sizeof(T) * (m + 2) + 32, 0xEE);
  uint8_t* base = buffer.data() + ((16 - (reinterpret_cast<uintptr_t>(buffer.data()) & 15)) & 15);
  uint8_t* d = base + 16 + shift;
  kernel(src.data(), reinterpret_cast<T*>(d), m);
  std::vector<T> out(2 * static_cast<size_t>(m));
  std::memcpy(out.data(), d, out.size() * sizeof(T));
  *guardsIntact = d[-1] == 0xEE && d[out.size() * sizeof(T)] == 0xEE;
  return out;
}

bool SameBits(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }
}  // namespace

class MirrorTest : public VariantSetTest {};

TEST_P(MirrorTest, C32MatchesReverseConjugateAtBothAlignments) {
  for (int32_t m = 1; m <= 40; ++m) {
    const auto src = Spectrum<float>(m, 10 + m);
    const auto want = ReverseConjugate<float, uint32_t>(src.data(), m);
    for (int shift : {0, 8, 4}) {
      bool guards = false;
      const auto got = RunMirror<float>(kMirrorC32Kernels[SetIndex()], src, m, shift, &guards);
      ASSERT_TRUE(SameBits(got.data(), want.data(), got.size() * 4)) << "m " << m << " shift " << shift;
      ASSERT_TRUE(guards) << "m " << m;
    }
  }
}

TEST_P(MirrorTest, C64MatchesReverseConjugateAtBothAlignments) {
  for (int32_t m = 1; m <= 40; ++m) {
    const auto src = Spectrum<double>(m, 20 + m);
    const auto want = ReverseConjugate<double, uint64_t>(src.data(), m);
    for (int shift : {0, 8}) {
      bool guards = false;
      const auto got = RunMirror<double>(kMirrorC64Kernels[SetIndex()], src, m, shift, &guards);
      ASSERT_TRUE(SameBits(got.data(), want.data(), got.size() * 8)) << "m " << m << " shift " << shift;
      ASSERT_TRUE(guards) << "m " << m;
    }
  }
}

// How the expansion uses the kernel: N = 8 fills entries 5, 6, 7 with
// conj(X[3]), conj(X[2]), conj(X[1]).
TEST_P(MirrorTest, ExpansionOfEightPoints) {
  std::vector<std::complex<float>> x = {{1, 0}, {2, 3}, {4, -5}, {6, 0.0f}, {7, 0}};
  std::vector<std::complex<float>> out(8);
  std::copy(x.begin(), x.end(), out.begin());
  kMirrorC32Kernels[SetIndex()](reinterpret_cast<const float*>(&x[1]), reinterpret_cast<float*>(&out[5]), 3);
  EXPECT_EQ(out[5], std::conj(x[3]));
  EXPECT_EQ(out[6], std::conj(x[2]));
  EXPECT_EQ(out[7], std::conj(x[1]));
  EXPECT_TRUE(std::signbit(out[5].imag()));  // +0 turned -0
}

SP_INSTANTIATE_FOR_ALL_SETS(MirrorTest);
