// The single-precision FFT engine of the SIMD sets, called directly: each
// set's twiddle and split tables decoded by their layouts against the sine
// table and long-double values, the radix kernels (interleaved and split
// output, data on and off 16-byte boundaries) and the fused kernels (in
// place, apart, every destination boundary) against a long-double FFT, and
// the SSE3 and SSSE3 engines bit for bit against each other, chunked or not.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/dispatch.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

namespace {

using namespace real_fft_test;

constexpr float* (*kSinTable[])(int32_t, float*) = SP_VARIANT_TABLE(spkFftSinTableF32);
constexpr int32_t* (*kIndexTable[])(int32_t, int32_t*) = SP_VARIANT_TABLE(spkFftBitRevIndexTableI32);
constexpr float* (*kTwiddleTable[])(int32_t, const float*, int32_t, float*) = SP_VARIANT_TABLE(spkFftTwiddleTableF32);
constexpr float* (*kSplitTableFwd[])(int32_t, const float*, float*) = SP_VARIANT_TABLE(spkFftSplitTableFwdF32);
constexpr float* (*kSplitTableInv[])(int32_t, const float*, float*) = SP_VARIANT_TABLE(spkFftSplitTableInvF32);

// The passes exist from the SSE set on (slot 0 stays empty).
using RadixFn = void (*)(float*, int64_t, const float*, float*, int32_t);
using FusedFn = void (*)(const float*, float*, int64_t, const float*, const int32_t*, float*);
const RadixFn kRadix[2][5] = {{nullptr, sp_sse::spkFftRadixFwdC32_Sse, sp_sse2::spkFftRadixFwdC32_Sse2,
                               sp_sse3::spkFftRadixFwdC32_Sse3, sp_ssse3::spkFftRadixFwdC32_Ssse3},
                              {nullptr, sp_sse::spkFftRadixInvC32_Sse, sp_sse2::spkFftRadixInvC32_Sse2,
                               sp_sse3::spkFftRadixInvC32_Sse3, sp_ssse3::spkFftRadixInvC32_Ssse3}};
const FusedFn kFused[2][5] = {{nullptr, sp_sse::spkFftFusedFwdC32_Sse, sp_sse2::spkFftFusedFwdC32_Sse2,
                               sp_sse3::spkFftFusedFwdC32_Sse3, sp_ssse3::spkFftFusedFwdC32_Ssse3},
                              {nullptr, sp_sse::spkFftFusedInvC32_Sse, sp_sse2::spkFftFusedInvC32_Sse2,
                               sp_sse3::spkFftFusedInvC32_Sse3, sp_ssse3::spkFftFusedInvC32_Ssse3}};

// Complex orders: fused kernels up to the first, the radix kernel at the second.
constexpr int kFusedLimit[] = {-1, 9, 14, 15, 16};
constexpr int kRadixOrder[] = {-1, 10, 15, 16, 17};

int64_t Pow2(int e) { return int64_t{1} << e; }

int64_t Reversed(int64_t n, int bits) {
  int64_t r = 0;
  for (int b = 0; b < bits; ++b) r |= ((n >> b) & 1) << (bits - 1 - b);
  return r;
}

// A float array on a 16-byte boundary plus `offset` floats, with a guard.
struct Floats {
  std::vector<float> storage;
  float* p;
  Floats(int64_t count, int offset, float fill = 0.0f) : storage(count + 8, fill) {
    p = reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(storage.data()) + 15) & ~uintptr_t{15}) + offset;
  }
};

// The tables a spec of complex order m holds in a set.
struct Tables {
  std::vector<float> sine, twiddles;
  std::vector<int32_t> index;
  float* end;
  Tables(int set, int m, int sineOrder)
      : sine(Pow2(sineOrder) / 4 + 8), twiddles(2 * Pow2(m) + 16, -7.0f), index(Pow2(m) / 4 + 8) {
    kSinTable[set](sineOrder, sine.data());
    end = kTwiddleTable[set](m, sine.data(), sineOrder, twiddles.data());
    kIndexTable[set](m, index.data());
  }
};

std::vector<CxL> ExactComplex(const std::vector<float>& x, int sign) {
  std::vector<CxL> a(x.size() / 2);
  for (size_t p = 0; p < a.size(); ++p) a[p] = CxL(x[2 * p], x[2 * p + 1]);
  LongDoubleFft(a, sign);
  return a;
}

// Largest error against the exact transform, over its root mean square.
long double RelativeError(const float* got, const std::vector<CxL>& want) {
  long double worst = 0, energy = 0;
  for (size_t p = 0; p < want.size(); ++p) {
    worst = std::max(worst, std::abs(CxL(got[2 * p], got[2 * p + 1]) - want[p]));
    energy += std::norm(want[p]);
  }
  return worst / std::sqrt(energy / want.size());
}
// The bound of a transform of 2^m points: a few float roundings per level.
long double Bound(int m) { return 8 * std::numeric_limits<float>::epsilon() * (m + 1); }

// Interleaved pairs from the quad-split layout.
std::vector<float> FromSplit(const float* split, int64_t points) {
  std::vector<float> out(2 * points);
  for (int64_t p = 0; p < points; ++p) {
    out[2 * p] = split[8 * (p / 4) + p % 4];
    out[2 * p + 1] = split[8 * (p / 4) + p % 4 + 4];
  }
  return out;
}

bool SameBits(const float* a, const float* b, int64_t count) { return std::memcmp(a, b, count * sizeof(float)) == 0; }

class FftPassesF32Test : public VariantSetTest {
 protected:
  void SetUp() override {
    VariantSetTest::SetUp();
    if (SetIndex() == SP_SET_GENERIC) GTEST_SKIP() << "the generic set has no split-layout passes";
  }
  bool StageMajor() const { return SetIndex() <= SP_SET_SSE2; }
};

// Each row of a table is cos and -sin of the angle its place names, taken
// from the sine table (the very float, or its negation) and within one
// rounding of the long-double value. A negated zero is +0.0, except in the
// SSE3 table, which flips sign bits.
TEST_P(FftPassesF32Test, TwiddleTablesDecodedByTheirLayout) {
  for (int m : {3, 4, 5, 6, 9, 10, 11, kRadixOrder[SetIndex()]}) {
    SCOPED_TRACE(testing::Message() << "m " << m);
    const int sineOrder = m + 1;
    const Tables t(SetIndex(), m, sineOrder);
    const float* table = t.twiddles.data();
    if (m <= 3) {
      EXPECT_EQ(t.end, table);
      continue;
    }
    EXPECT_EQ(t.end, table + 2 * Pow2(m)) << "returns table + 8M";
    std::vector<float> known(t.sine.begin(), t.sine.begin() + Pow2(sineOrder) / 4 + 1);
    std::sort(known.begin(), known.end());
    const float negatedZero = SetIndex() == SP_SET_SSE3 ? -0.0f : 0.0f;
    // Rows (cos, -sin) of the angles 2 pi e / n of four lanes. Zeros: a
    // cosine is a sine entry itself (+0.0), a -sin of 0 a negated one.
    int64_t at = 0;
    auto expectRows = [&](const float* rows, const int64_t(&e)[4], int64_t n) {
      for (int lane = 0; lane < 4; ++lane) {
        const long double angle = 2 * std::numbers::pi_v<long double> * e[lane] / n;
        const float re = rows[lane], im = rows[4 + lane];
        ASSERT_NEAR(re, std::cos(angle), 6e-8L) << "e " << e[lane] << " n " << n;
        ASSERT_NEAR(im, -std::sin(angle), 6e-8L) << "e " << e[lane] << " n " << n;
        if (re == 0.0f) {
          ASSERT_EQ(std::bit_cast<uint32_t>(re), 0u);
        }
        if (im == 0.0f) {
          ASSERT_EQ(std::bit_cast<uint32_t>(im), std::bit_cast<uint32_t>(negatedZero));
        }
        for (float v : {re, im})
          ASSERT_TRUE(std::binary_search(known.begin(), known.end(), std::fabs(v))) << "not a sine entry";
      }
    };
    const int firstLevel = StageMajor() && m % 2 == 1 ? 5 : 4;
    for (int level = firstLevel; level <= m - (!StageMajor() && m % 2 == 1); level += 2) {
      const int64_t n = Pow2(level);
      for (int64_t k0 = 0; k0 < n / 4; k0 += 4)
        for (int64_t r = 1; r <= 3; ++r, at += 8) {
          const int64_t e[4] = {r * k0, r * (k0 + 1), r * (k0 + 2), r * (k0 + 3)};
          expectRows(table + at, e, n);
          if (HasFatalFailure()) return;
        }
    }
    if (!StageMajor() && m % 2 == 1) {
      EXPECT_EQ(at * 4, 4 * Pow2(m) - 32) << "radix-2 level at 4M - 32 bytes";
      for (int64_t k0 = 0; k0 < Pow2(m) / 2; k0 += 4, at += 8) {
        const int64_t e[4] = {k0, k0 + 1, k0 + 2, k0 + 3};
        expectRows(table + at, e, Pow2(m));
        if (HasFatalFailure()) return;
      }
    }
    const int64_t written = StageMajor() ? 2 * Pow2(m) - (m % 2 ? 16 : 8) : 2 * Pow2(m) - 8;
    EXPECT_EQ(at, written) << "table size";
    EXPECT_EQ(table[written], -7.0f) << "wrote past the table";
  }
}

// Grouped split tables: entries k = 1 .. N/4 by fours, first floats then
// second floats, lanes 1 2 3 4 (SSE) or 2 1 4 3 (later sets).
TEST_P(FftPassesF32Test, SplitTablesGroupedInTheSetsLaneOrder) {
  const int64_t lanes[4] = {SetIndex() == SP_SET_SSE ? 1 : 2, SetIndex() == SP_SET_SSE ? 2 : 1,
                            SetIndex() == SP_SET_SSE ? 3 : 4, SetIndex() == SP_SET_SSE ? 4 : 3};
  for (int order : {4, 5, 10}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const int64_t n = Pow2(order), quarter = n / 4;
    std::vector<float> sine(quarter + 8), fwd(n / 2 + 8, -7.0f), inv(n / 2 + 8, -7.0f);
    kSinTable[SetIndex()](order, sine.data());
    EXPECT_EQ(kSplitTableFwd[SetIndex()](order, sine.data(), fwd.data()), fwd.data() + n / 2);
    kSplitTableInv[SetIndex()](order, sine.data(), inv.data());
    for (int64_t g = 0; g < quarter / 4; ++g)
      for (int i = 0; i < 4; ++i) {
        const int64_t k = 4 * g + lanes[i];
        EXPECT_EQ(fwd[8 * g + i], static_cast<float>(0.5 * sine[quarter - k]));
        EXPECT_EQ(fwd[8 * g + 4 + i], static_cast<float>(0.5 - 0.5 * static_cast<double>(sine[k])));
        EXPECT_EQ(inv[8 * g + i], sine[quarter - k]);
        EXPECT_EQ(inv[8 * g + 4 + i], -sine[k]);
      }
    EXPECT_EQ(fwd[n / 2], -7.0f);
    EXPECT_EQ(inv[n / 2], -7.0f);
  }
}

// Radix kernels, M from 8 on: bit-reversed input, both directions, against
// the long-double FFT; split output equals the interleaved one value for
// value; data off a 16-byte boundary gives the same bits through the work
// buffer, and aligned data needs none.
TEST_P(FftPassesF32Test, RadixKernelsAgainstLongDouble) {
  const int largest = kRadixOrder[SetIndex()];
  for (int m : {3, 4, 5, 6, 7, 10, 11, 12, largest - 1, largest}) {
    if (m > largest) continue;
    const int64_t points = Pow2(m);
    const Tables t(SetIndex(), m, m + 1);
    const auto x = RandomValues<float>(2 * points, 40 + m);
    std::vector<float> reversed(2 * points);
    for (int64_t p = 0; p < points; ++p) {
      reversed[2 * p] = x[2 * Reversed(p, m)];
      reversed[2 * p + 1] = x[2 * Reversed(p, m) + 1];
    }
    for (int inverse = 0; inverse < 2; ++inverse) {
      SCOPED_TRACE(testing::Message() << "m " << m << (inverse ? " inverse" : " forward"));
      const RadixFn radix = kRadix[inverse][SetIndex()];
      const auto exact = ExactComplex(x, inverse ? 1 : -1);
      Floats pairs(2 * points, 0), split(2 * points, 0);
      std::copy(reversed.begin(), reversed.end(), pairs.p);
      std::copy(reversed.begin(), reversed.end(), split.p);
      radix(pairs.p, points, t.twiddles.data(), nullptr, 1);
      radix(split.p, points, t.twiddles.data(), nullptr, 0);
      EXPECT_LE(RelativeError(pairs.p, exact), Bound(m));
      EXPECT_TRUE(SameBits(FromSplit(split.p, points).data(), pairs.p, 2 * points));
      for (int offset : {1, 2, 3}) {
        Floats moved(2 * points, offset), work(2 * points, 0, -9.0f);
        std::copy(reversed.begin(), reversed.end(), moved.p);
        radix(moved.p, points, t.twiddles.data(), work.p, 1);
        EXPECT_TRUE(SameBits(moved.p, pairs.p, 2 * points)) << "offset " << 4 * offset << " bytes";
        EXPECT_EQ(moved.p[2 * points], 0.0f) << "wrote past the data";
      }
    }
  }
}

// Fused kernels: natural-order input, every size up to the set's limit,
// apart (the work buffer untouched when dst is on a 16-byte boundary), in
// place and onto misaligned destinations: the same bits each way.
TEST_P(FftPassesF32Test, FusedKernelsAgainstLongDouble) {
  const int largest = kFusedLimit[SetIndex()];
  for (int m = 3; m <= largest; ++m) {
    const int64_t points = Pow2(m);
    const Tables t(SetIndex(), m, m + 1);
    const auto x = RandomValues<float>(2 * points, 60 + m);
    for (int inverse = 0; inverse < 2; ++inverse) {
      SCOPED_TRACE(testing::Message() << "m " << m << (inverse ? " inverse" : " forward"));
      const FusedFn fused = kFused[inverse][SetIndex()];
      const auto exact = ExactComplex(x, inverse ? 1 : -1);
      Floats src(2 * points, 0), dst(2 * points, 0), work(2 * points, 0, -9.0f);
      std::copy(x.begin(), x.end(), src.p);
      fused(src.p, dst.p, points, t.twiddles.data(), t.index.data(), work.p);
      EXPECT_LE(RelativeError(dst.p, exact), Bound(m));
      EXPECT_TRUE(SameBits(src.p, x.data(), 2 * points)) << "src changed";
      for (int64_t i = 0; i < 2 * points; ++i) ASSERT_EQ(work.p[i], -9.0f) << "work touched";
      for (int offset : {0, 1, 2, 3}) {
        Floats inPlace(2 * points, offset), moved(2 * points, offset), srcMoved(2 * points, 3 - offset);
        std::copy(x.begin(), x.end(), inPlace.p);
        std::copy(x.begin(), x.end(), srcMoved.p);
        fused(inPlace.p, inPlace.p, points, t.twiddles.data(), t.index.data(), work.p);
        fused(srcMoved.p, moved.p, points, t.twiddles.data(), t.index.data(), work.p);
        EXPECT_TRUE(SameBits(inPlace.p, dst.p, 2 * points)) << "in place, offset " << 4 * offset;
        EXPECT_TRUE(SameBits(moved.p, dst.p, 2 * points)) << "apart, offset " << 4 * offset;
        EXPECT_EQ(moved.p[2 * points], 0.0f) << "wrote past dst";
      }
    }
  }
}

// The SSE3 and SSSE3 passes are one algorithm that only chunks its first
// stages differently (1024 and 2048 points): on the same table they agree
// bit for bit, chunked or not, radix and fused alike, and with the SSE2
// kernel's unchunked run of the same plan (even m).
TEST(FftPassesF32Sets, Sse3AndSsse3AgreeBitForBit) {
  if (!spVariantSetSupported(SP_SET_SSE3) || !spVariantSetSupported(SP_SET_SSSE3))
    GTEST_SKIP() << "needs SSE3 and SSSE3";
  for (int tableSet : {SP_SET_SSE3, SP_SET_SSSE3}) {
    for (int m : {10, 11, 12, 13, 16}) {
      SCOPED_TRACE(testing::Message() << "m " << m << " table of set " << tableSet);
      const int64_t points = Pow2(m);
      const Tables t(tableSet, m, m + 1);
      const auto x = RandomValues<float>(2 * points, 80 + m);
      for (int inverse = 0; inverse < 2; ++inverse) {
        std::vector<float> a = x, b = x, c(2 * points), d(2 * points), work(2 * points + 4);
        kRadix[inverse][SP_SET_SSE3](a.data(), points, t.twiddles.data(), work.data(), 1);
        kRadix[inverse][SP_SET_SSSE3](b.data(), points, t.twiddles.data(), work.data(), 1);
        EXPECT_TRUE(SameBits(a.data(), b.data(), 2 * points)) << "radix";
        if (m % 2 == 0) {
          // For even m the SSE2 kernel runs the same plan on the same table
          // layout, stage by stage over the whole array.
          std::vector<float> unchunked = x;
          kRadix[inverse][SP_SET_SSE2](unchunked.data(), points, t.twiddles.data(), work.data(), 1);
          EXPECT_TRUE(SameBits(a.data(), unchunked.data(), 2 * points)) << "radix, unchunked";
        }
        if (m <= kFusedLimit[SP_SET_SSE3]) {
          kFused[inverse][SP_SET_SSE3](x.data(), c.data(), points, t.twiddles.data(), t.index.data(), work.data());
          kFused[inverse][SP_SET_SSSE3](x.data(), d.data(), points, t.twiddles.data(), t.index.data(), work.data());
          EXPECT_TRUE(SameBits(c.data(), d.data(), 2 * points)) << "fused";
        }
      }
    }
  }
}

// So do the real transforms of the two sets, each on its own spec, at every
// order both run: tables that differ only in the sign of zero entries.
TEST(FftPassesF32Sets, Sse3AndSsse3RealTransformsAgree) {
  if (!spVariantSetSupported(SP_SET_SSE3) || !spVariantSetSupported(SP_SET_SSSE3))
    GTEST_SKIP() << "needs SSE3 and SSSE3";
  const int32_t previous = spForceVariantSet(SP_SET_SSE3);
  for (int order = 4; order <= 17; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const int64_t n = Pow2(order);
    const auto x = RandomValues<float>(n + 2, 90 + order);
    std::vector<float> spectrum[2], back[2];
    for (int s = 0; s < 2; ++s) {
      spForceVariantSet(SP_SET_SSE3 + s);
      REALFFTSPEC* spec = nullptr;
      ASSERT_EQ(spRealFftInitF32(&spec, order, REALFFT_NO_DIV, 0), spOk);
      spectrum[s].resize(n + 2);
      back[s].resize(n);
      EXPECT_EQ(spRealFftFwdF32(x.data(), spectrum[s].data(), spec, nullptr), spOk);
      EXPECT_EQ(spRealFftInvF32(x.data(), back[s].data(), spec, nullptr), spOk);
      spRealFftFreeF32(spec);
    }
    EXPECT_TRUE(SameBits(spectrum[0].data(), spectrum[1].data(), n + 2));
    EXPECT_TRUE(SameBits(back[0].data(), back[1].data(), n));
  }
  spForceVariantSet(previous);
}

SP_INSTANTIATE_FOR_ALL_SETS(FftPassesF32Test);

}  // namespace
