// The double real FFT's table builders and kernels of every variant set,
// called directly: the sine table against long double, every twiddle and
// split table in its set's layout against long double (two units in the last
// place) and against the sine table (every value is an entry of it, exactly),
// the bit-reversal permutations against brute force, and the complex
// kernels against a long-double FFT.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <set>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/real_fft_f64_kernels.h"
#include "primitives/frame/dispatch.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

// Every set's member of a routine, indexed by set.
#define SET_MEMBERS(k, name) constexpr decltype(&sp_generic::name##_Generic) k[] = SP_VARIANT_TABLE(name)
SET_MEMBERS(kSinTable, spkFftSinTableF64);
SET_MEMBERS(kTwiddles, spkFftTwiddleTableF64);
SET_MEMBERS(kSplitFwd, spkFftSplitTableFwdF64);
SET_MEMBERS(kSplitInv, spkFftSplitTableInvF64);
SET_MEMBERS(kSubsample, spkFftTwiddleSubsampleF64);
SET_MEMBERS(kInPlace, spkFftBitRevInPlaceC64);
SET_MEMBERS(kCopy, spkFftBitRevCopyC64);
SET_MEMBERS(kSwapTable, spkFftBitRevSwapTableI32);
SET_MEMBERS(kIndexTable, spkFftBitRevIndexTableI32);

using Radix = void (*)(double*, int64_t, const double*);
constexpr Radix kRadixFwd[] = {&sp_generic::spkFftRadixFwdC64_Generic, &sp_sse::spkFftRadixFwdC64_Sse};
constexpr Radix kRadixInv[] = {&sp_generic::spkFftRadixInvC64_Generic, &sp_sse::spkFftRadixInvC64_Sse};
using FusedFn = void (*)(const double*, double*, int64_t, const double*, const int32_t*, double*);
constexpr FusedFn kFusedFwd[] = {nullptr, nullptr, &sp_sse2::spkFftFusedFwdC64_Sse2, &sp_sse3::spkFftFusedFwdC64_Sse3,
                                 &sp_ssse3::spkFftFusedFwdC64_Ssse3};
constexpr FusedFn kFusedInv[] = {nullptr, nullptr, &sp_sse2::spkFftFusedInvC64_Sse2, &sp_sse3::spkFftFusedInvC64_Sse3,
                                 &sp_ssse3::spkFftFusedInvC64_Ssse3};

int64_t Pow2(int e) { return int64_t{1} << e; }
long double Pi() { return std::numbers::pi_v<long double>; }

// Units in the last place between a double and a long-double value (the
// long double's own error near a zero of the function does not count).
long double Ulps(double got, long double want) {
  const long double diff = std::fabs(static_cast<long double>(got) - want);
  if (diff <= 1e-18L) return 0;
  const double nearest = static_cast<double>(want);
  const long double ulp = std::fabs(static_cast<long double>(std::nextafter(nearest, 2.0)) - nearest);
  return diff / ulp;
}
// The sine table reads 2 pi rounded to double, so its values (and every
// table copied from it) lie within two units of the exact ones, not one.
bool WithinTwoUlps(double got, long double want) { return Ulps(got, want) <= 2; }

// The sine table of an order plus the set of its magnitudes.
struct Sine {
  std::vector<double> t;
  std::set<uint64_t> entries;
  Sine(int set, int order) : t(Pow2(order) / 4 + 1 + 8) {
    kSinTable[set](order, t.data());
    for (int64_t k = 0; k <= Pow2(order) / 4; ++k) entries.insert(std::bit_cast<uint64_t>(t[k]));
  }
  // |v| is a sine-table entry, bit for bit.
  bool Holds(double v) const { return entries.count(std::bit_cast<uint64_t>(std::fabs(v))) == 1; }
};

class RealFftF64TablesTest : public VariantSetTest {
 protected:
  bool Fused() const { return SetIndex() >= SP_SET_SSE2; }
};

TEST_P(RealFftF64TablesTest, SineTableWithinTwoUlps) {
  for (int order : {3, 4, 9, 15}) {
    const Sine s(SetIndex(), order);
    const int64_t n = Pow2(order);
    EXPECT_EQ(s.t[0], 0.0);
    EXPECT_EQ(s.t[n / 4], 1.0);
    for (int64_t k = 0; k <= n / 4; ++k)
      ASSERT_TRUE(WithinTwoUlps(s.t[k], std::sin(2 * Pi() * k / n))) << "order " << order << " k " << k;
  }
}

// W^a = e^(-2 pi j a / M) within one ulp, and both parts sine entries.
void ExpectFactor(const Sine& s, double re, double im, long double angle) {
  EXPECT_TRUE(WithinTwoUlps(re, std::cos(angle))) << re;
  EXPECT_TRUE(WithinTwoUlps(im, -std::sin(angle))) << im;
  EXPECT_TRUE(s.Holds(re) && s.Holds(im)) << re << ", " << im;
}

TEST_P(RealFftF64TablesTest, TwiddleTableInTheSetsLayout) {
  for (int order : {4, 5, 8, 11}) {
    const int m = order - 1;
    SCOPED_TRACE(testing::Message() << "m " << m);
    const Sine s(SetIndex(), order);
    std::vector<double> table(2 * (Pow2(m) + 1) + 8, -7.0);
    const double* end = kTwiddles[SetIndex()](m, s.t.data(), order, table.data());
    if (!Fused()) {
      const int64_t groups = Pow2(m) / 4 + 1;
      EXPECT_EQ(end, table.data() + ((6 * groups + 1) & ~int64_t{1}));
      for (int64_t j = 0; j < groups; ++j)
        for (int p = 1; p <= 3; ++p)
          ExpectFactor(s, table[6 * j + 2 * (p - 1)], table[6 * j + 2 * (p - 1) + 1], 2 * Pi() * p * j / Pow2(m));
      // First and last groups.
      EXPECT_EQ((std::vector<double>(table.begin(), table.begin() + 6)),
                (std::vector<double>{1, -0.0, 1, -0.0, 1, -0.0}));
      const double* last = table.data() + 6 * (groups - 1);
      EXPECT_EQ((std::vector<double>(last, last + 6)), (std::vector<double>{0, -1, -1, -0.0, -0.0, 1}));
      continue;
    }
    if (m <= 3) {
      EXPECT_EQ(end, table.data());
      EXPECT_EQ(table[0], -7.0);
      continue;
    }
    // One section per radix-4 stage after the first, 96-byte records.
    const double* at = table.data();
    for (int r = 4 + m % 2; r <= m; r += 2) {
      const int64_t quarter = Pow2(r) / 4;
      for (int64_t k = 0; k < quarter; k += 2)
        for (int p = 1; p <= 3; ++p, at += 4) {
          ExpectFactor(s, at[0], at[2], 2 * Pi() * p * k / Pow2(r));
          ExpectFactor(s, at[1], at[3], 2 * Pi() * p * (k + 1) / Pow2(r));
        }
    }
    EXPECT_EQ(end, at);
    EXPECT_LE(at - table.data(), 2 * Pow2(m));
  }
}

TEST_P(RealFftF64TablesTest, SplitTablesInterleavedInEverySet) {
  for (int order : {4, 6, 12}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const Sine s(SetIndex(), order);
    const int64_t n = Pow2(order), quarter = n / 4;
    std::vector<double> fwd(2 * quarter + 8, -7.0), inv(2 * quarter + 8, -7.0);
    kSplitFwd[SetIndex()](order, s.t.data(), fwd.data());
    kSplitInv[SetIndex()](order, s.t.data(), inv.data());
    for (int64_t k = 0; k < quarter; ++k) {
      const long double a = 2 * Pi() * k / n;
      EXPECT_TRUE(WithinTwoUlps(fwd[2 * k], 0.5L * std::cos(a))) << k;
      EXPECT_EQ(fwd[2 * k + 1], 0.5 - 0.5 * s.t[k]) << k;  // formed in double from the table
      EXPECT_TRUE(WithinTwoUlps(inv[2 * k], std::cos(a))) << k;
      EXPECT_TRUE(WithinTwoUlps(inv[2 * k + 1], -std::sin(a))) << k;
      EXPECT_TRUE(s.Holds(inv[2 * k]) && s.Holds(inv[2 * k + 1])) << k;
    }
    EXPECT_EQ(fwd[2 * quarter], -7.0) << "wrote past N/4 factors";
    EXPECT_EQ(inv[2 * quarter], -7.0);
    EXPECT_EQ(fwd[0], 0.5);
    EXPECT_EQ(fwd[1], 0.5);
    EXPECT_EQ(inv[0], 1.0);
    EXPECT_EQ(std::bit_cast<uint64_t>(inv[1]), std::bit_cast<uint64_t>(-0.0));
  }
}

TEST_P(RealFftF64TablesTest, SubsampledList) {
  const int order = 12, m = 11;
  const Sine s(SetIndex(), order);
  std::vector<double> list(Pow2(m) / 2 + 8, -7.0);
  const double* end = kSubsample[SetIndex()](m, s.t.data(), order, list.data());
  EXPECT_EQ(end, list.data() + Pow2(m) / 2);
  for (int64_t i = 0; i < Pow2(m) / 4; ++i) ExpectFactor(s, list[2 * i], list[2 * i + 1], 2 * Pi() * i / Pow2(m));
}

int64_t Reversed(int64_t n, int bits) {
  int64_t r = 0;
  for (int b = 0; b < bits; ++b) r |= ((n >> b) & 1) << (bits - 1 - b);
  return r;
}

std::vector<int32_t> BitReversalTable(int set, int m) {
  std::vector<int32_t> table((m < 2 ? 0 : Pow2(m - 2) + 1) + 8);
  (set >= SP_SET_SSE2 ? kIndexTable : kSwapTable)[set](m, table.data());
  return table;
}

TEST_P(RealFftF64TablesTest, BitReversalAgainstBruteForce) {
  for (int m = Fused() ? 3 : 0; m <= 12; ++m) {
    SCOPED_TRACE(testing::Message() << "m " << m);
    const int64_t n = Pow2(m);
    const auto table = BitReversalTable(SetIndex(), m);
    const auto src = RandomValues<double>(2 * n, m);
    std::vector<double> want(2 * n);
    for (int64_t p = 0; p < n; ++p) {
      want[2 * p] = src[2 * Reversed(p, m)];
      want[2 * p + 1] = src[2 * Reversed(p, m) + 1];
    }
    std::vector<double> data = src, copy(2 * n + 1, -7.0);
    kInPlace[SetIndex()](data.data(), n, table.data());
    EXPECT_EQ(data, want);
    kCopy[SetIndex()](src.data(), copy.data(), n, table.data());
    EXPECT_EQ(copy.back(), -7.0);
    copy.pop_back();
    EXPECT_EQ(copy, want);
  }
}

// The set's complex kernel (radix passes after bit reversal, or the fused
// kernel) against the long-double FFT, both directions, every size it runs;
// the fused kernel gives the same bits in place (through its work area) and
// into an 8-byte-offset destination.
TEST_P(RealFftF64TablesTest, ComplexKernelsAgainstLongDoubleFft) {
  constexpr int kLargestM[] = {10, 10, 13, 14, 14};  // by set
  const int limit = kLargestM[SetIndex()];
  for (int m = 3; m <= limit; ++m) {
    const int64_t n = Pow2(m);
    const int order = m + 1;
    const Sine s(SetIndex(), order);
    std::vector<double> twiddles(2 * (n + 1) + 8);
    kTwiddles[SetIndex()](m, s.t.data(), order, twiddles.data());
    const auto table = BitReversalTable(SetIndex(), m);
    const auto x = RandomValues<double>(2 * n, 50 + m);
    for (int sign : {-1, +1}) {
      SCOPED_TRACE(testing::Message() << "m " << m << " sign " << sign);
      std::vector<CxL> exact = FromInterleaved(x);
      LongDoubleFft(exact, sign);
      const std::vector<long double> want = Interleaved(exact);
      std::vector<double> got = x;
      if (!Fused()) {
        kInPlace[SetIndex()](got.data(), n, table.data());
        (sign < 0 ? kRadixFwd : kRadixInv)[SetIndex()](got.data(), n, twiddles.data());
      } else {
        const FusedFn fused = (sign < 0 ? kFusedFwd : kFusedInv)[SetIndex()];
        std::vector<double> work(2 * n + 2);
        double* aligned = work.data() + ((reinterpret_cast<uintptr_t>(work.data()) & 15) ? 1 : 0);
        std::vector<double> dst(2 * n + 4);
        double* at = dst.data() + ((reinterpret_cast<uintptr_t>(dst.data()) & 15) ? 1 : 0);
        fused(x.data(), at, n, twiddles.data(), table.data(), nullptr);  // aligned dst: no work area
        std::memcpy(got.data(), at, 2 * n * sizeof(double));
        std::vector<double> inPlace = x;
        fused(inPlace.data(), inPlace.data(), n, twiddles.data(), table.data(), aligned);
        EXPECT_EQ(std::memcmp(inPlace.data(), got.data(), 2 * n * sizeof(double)), 0);
        fused(x.data(), at + 1, n, twiddles.data(), table.data(), aligned);
        EXPECT_EQ(std::memcmp(at + 1, got.data(), 2 * n * sizeof(double)), 0);
      }
      EXPECT_LE(MaxError(got.data(), want, 2 * n), Tolerance<double>(m, want));
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF64TablesTest);

}  // namespace
