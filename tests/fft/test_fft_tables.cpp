// The real FFT's table builders and bit-reversal permutations of every
// variant set, called directly: the two table formats against their worked
// contents and against a brute-force reversal, each set's permutation in
// place and by copy against brute force, and the sine table.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/frame/dispatch.h"
#include "support/variant_sets.h"

namespace {

using TableFn = int32_t* (*)(int32_t, int32_t*);
constexpr TableFn kSwapTable[] = SP_VARIANT_TABLE(spkFftBitRevSwapTableI32);
constexpr TableFn kIndexTable[] = SP_VARIANT_TABLE(spkFftBitRevIndexTableI32);
constexpr float* (*kSinTable[])(int32_t, float*) = SP_VARIANT_TABLE(spkFftSinTableF32);
constexpr void (*kInPlace[])(float*, int64_t, const int32_t*) = SP_VARIANT_TABLE(spkFftBitRevInPlaceC32);
constexpr void (*kCopy[])(const float*, float*, int64_t, const int32_t*) = SP_VARIANT_TABLE(spkFftBitRevCopyC32);

int64_t Reversed(int64_t n, int bits) {
  int64_t r = 0;
  for (int b = 0; b < bits; ++b) r |= ((n >> b) & 1) << (bits - 1 - b);
  return r;
}

// A table of complex order m with room to spare, marked so that writes
// beyond its P + 1 entries show.
struct Table {
  std::vector<int32_t> slots;
  int32_t* end;
  Table(TableFn build, int m) : slots(((m < 2 ? 0 : (int64_t{1} << (m - 2)) + 1)) + 8, -7) {
    end = build(m, slots.data());
  }
};

class FftTablesTest : public VariantSetTest {};

TEST_P(FftTablesTest, WorkedContents) {
  struct Case {
    int m;
    bool swap;
    std::vector<int32_t> want;
  };
  const Case cases[] = {
      {2, true, {0, 0}},     {2, false, {0, 0}},          {3, true, {0, 4, 0}},
      {3, false, {0, 2, 0}}, {4, true, {4, 8, 0, 12, 0}}, {4, false, {0, 4, 2, 6, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "m " << c.m << (c.swap ? " swap list" : " index table"));
    const Table t(c.swap ? kSwapTable[SetIndex()] : kIndexTable[SetIndex()], c.m);
    EXPECT_EQ(std::vector<int32_t>(t.slots.begin(), t.slots.begin() + c.want.size()), c.want);
  }
  for (TableFn build : {kSwapTable[SetIndex()], kIndexTable[SetIndex()]})
    for (int m : {0, 1}) {
      const Table t(build, m);
      EXPECT_EQ(t.end, t.slots.data()) << "m " << m;
      EXPECT_EQ(t.slots[0], -7);
    }
}

// Both formats against a brute-force reversal of the middle m - 2 bits,
// with the returned address on the first 16-byte boundary after slot P.
TEST_P(FftTablesTest, TablesAgainstBruteForce) {
  for (int m = 2; m <= 20; ++m) {
    SCOPED_TRACE(testing::Message() << "m " << m);
    const int64_t p = int64_t{1} << (m - 2);
    const Table swap(kSwapTable[SetIndex()], m), index(kIndexTable[SetIndex()], m);
    for (const Table* t : {&swap, &index}) {
      const auto after = reinterpret_cast<uintptr_t>(t->slots.data() + p + 1);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(t->end), (after + 15) & ~uintptr_t{15});
      EXPECT_EQ(t->slots[p], 0);
      EXPECT_EQ(t->slots[p + 1], -7) << "wrote past slot P";
    }
    std::vector<int32_t> pairs, singles;
    int64_t at = 0;
    for (; swap.slots[at] != 0; at += 2) pairs.insert(pairs.end(), {swap.slots[at], swap.slots[at + 1]});
    for (++at; at < p; ++at) singles.push_back(swap.slots[at]);
    std::vector<int32_t> wantPairs, wantSingles;
    for (int64_t i = 1; i < p; ++i) {
      const int64_t j = Reversed(i, m - 2);
      EXPECT_EQ(index.slots[i], 2 * j) << "index slot " << i;
      if (i < j) wantPairs.insert(wantPairs.end(), {static_cast<int32_t>(4 * i), static_cast<int32_t>(4 * j)});
      if (i == j) wantSingles.insert(wantSingles.begin(), static_cast<int32_t>(4 * i));
    }
    EXPECT_EQ(index.slots[0], 0);
    EXPECT_EQ(pairs, wantPairs);
    EXPECT_EQ(singles, wantSingles);
  }
}

// Each set's permutation with the table format its specs carry.
TEST_P(FftTablesTest, PermutationsAgainstBruteForce) {
  const TableFn build = SetIndex() <= SP_SET_SSE ? kSwapTable[SetIndex()] : kIndexTable[SetIndex()];
  for (int m = 0; m <= 16; ++m) {
    SCOPED_TRACE(testing::Message() << "m " << m);
    const int64_t points = int64_t{1} << m;
    const Table table(build, m);
    std::vector<float> src(2 * points), want(2 * points);
    for (int64_t n = 0; n < 2 * points; ++n) src[n] = static_cast<float>(n) + 0.5f;
    for (int64_t n = 0; n < points; ++n) {
      want[2 * n] = src[2 * Reversed(n, m)];
      want[2 * n + 1] = src[2 * Reversed(n, m) + 1];
    }
    std::vector<float> copy(2 * points + 1, -1.0f);
    kCopy[SetIndex()](src.data(), copy.data(), points, table.slots.data());
    EXPECT_EQ(copy.back(), -1.0f);
    copy.pop_back();
    EXPECT_EQ(copy, want);
    std::vector<float> inPlace = src;
    kInPlace[SetIndex()](inPlace.data(), points, table.slots.data());
    EXPECT_EQ(inPlace, want);
    kInPlace[SetIndex()](inPlace.data(), points, table.slots.data());
    EXPECT_EQ(inPlace, src) << "twice is not the identity";
  }
}

TEST_P(FftTablesTest, SineTable) {
  std::vector<float> t(8, -2.0f);
  float* end = kSinTable[SetIndex()](3, t.data());
  EXPECT_EQ(end, t.data() + 4);  // 3 entries, then the next 16-byte boundary
  EXPECT_EQ(t[0], 0.0f);
  EXPECT_EQ(t[1], static_cast<float>(std::sin(std::numbers::pi / 4)));
  EXPECT_EQ(t[2], 1.0f);
  EXPECT_EQ(t[3], -2.0f);
  kSinTable[SetIndex()](4, t.data());
  EXPECT_EQ(t[1], static_cast<float>(std::sin(std::numbers::pi / 8)));
  EXPECT_EQ(t[2], static_cast<float>(std::sin(std::numbers::pi / 4)));
  EXPECT_EQ(t[3], static_cast<float>(std::cos(std::numbers::pi / 8)));
  EXPECT_EQ(t[4], 1.0f);
  // Larger orders against long double, within one float rounding.
  std::vector<float> big((1 << 14) / 4 + 1);
  kSinTable[SetIndex()](14, big.data());
  for (size_t k = 0; k < big.size(); ++k) {
    const long double exact = std::sin(2 * std::numbers::pi_v<long double> * k / (1 << 14));
    ASSERT_NEAR(big[k], exact, 6e-8L) << "k " << k;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(FftTablesTest);

}  // namespace
