// Dot-product primitives under every variant set: argument checks, exact
// results on integer fixtures at every pair of operand alignments, the
// generic float rule (exact products rounded once), agreement with
// long-double references over many lengths and alignments, bit-identity
// between the sets that share a layout, and each set's float order against
// a lane-by-lane model of it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "primitives/frame/variant_seams.h"
#include "primitives/vector/sp_dot.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

SP_DECLARE_EVERY_SET(SP_DOT_ENTRIES)

namespace {

using namespace vector_test;

class DotTest : public VariantSetTest {};

TEST_P(DotTest, ArgumentChecksWriteNothing) {
  const float af[2] = {1, 2};
  const double ad[2] = {1, 2};
  struct Case {
    bool nullA, nullB, nullResult;
    int32_t n;
    spStatus expected;
  };
  for (const Case& c : {Case{true, false, false, 2, spErrNullPointer}, Case{false, true, false, 2, spErrNullPointer},
                        Case{false, false, true, 0, spErrNullPointer}, Case{false, false, false, 0, spErrLength},
                        Case{false, false, false, -1, spErrLength}}) {
    float rf = 42.0f;
    EXPECT_EQ(spDotF32(c.nullA ? nullptr : af, c.nullB ? nullptr : af, c.n, c.nullResult ? nullptr : &rf), c.expected);
    EXPECT_EQ(rf, 42.0f);
    double rd = 42.0;
    EXPECT_EQ(spDotF64(c.nullA ? nullptr : ad, c.nullB ? nullptr : ad, c.n, c.nullResult ? nullptr : &rd), c.expected);
    EXPECT_EQ(rd, 42.0);
  }
}

// Small integers: every product and partial sum is exact in single
// precision, so every set must give the exact value for every split into
// heads, blocks and tails.
TEST_P(DotTest, IntegerFixturesAreExactAtEveryAlignment) {
  for (int32_t n : {1, 2, 3, 5, 15, 16, 17, 31, 33, 64, 100, 1001}) {
    std::vector<float> a(n), b(n);
    int64_t exact = 0;
    for (int32_t i = 0; i < n; ++i) {
      a[i] = static_cast<float>(i % 7 - 3);
      b[i] = static_cast<float>((i * 5) % 9 - 4);
      exact += static_cast<int64_t>(a[i]) * static_cast<int64_t>(b[i]);
    }
    const std::vector<double> ad(a.begin(), a.end()), bd(b.begin(), b.end());
    for (int64_t offA : {0, 4, 8, 12, 1})
      for (int64_t offB : {0, 4, 8, 12, 2}) {
        PlacedArray<float> pa(a, offA), pb(b, offB);
        float rf = 0;
        ASSERT_EQ(spDotF32(pa.data(), pb.data(), n, &rf), spOk);
        EXPECT_EQ(rf, static_cast<float>(exact)) << "n=" << n << " offsets " << offA << "," << offB;
        PlacedArray<double> qa(ad, offA * 2), qb(bd, offB * 2);
        double rd = 0;
        ASSERT_EQ(spDotF64(qa.data(), qb.data(), n, &rd), spOk);
        EXPECT_EQ(rd, static_cast<double>(exact)) << "n=" << n << " offsets " << offA << "," << offB;
      }
  }
}

TEST_P(DotTest, SingleElementIsTheRoundedProduct) {
  const float a = 1.1f, b = 3.3f;
  float r = 0;
  ASSERT_EQ(spDotF32(&a, &b, 1, &r), spOk);
  EXPECT_EQ(r, a * b);
  const double c = 1.1, d = 3.3;
  double rd = 0;
  ASSERT_EQ(spDotF64(&c, &d, 1, &rd), spOk);
  EXPECT_EQ(rd, c * d);
}

TEST_P(DotTest, InfinitiesAndNaNsPropagate) {
  const float inf = std::numeric_limits<float>::infinity();
  for (int32_t n : {3, 20}) {
    std::vector<float> a(n, 1.0f), b(n, 2.0f);
    a[1] = inf;
    float r = 0;
    ASSERT_EQ(spDotF32(a.data(), b.data(), n, &r), spOk);
    EXPECT_EQ(r, inf);
    b[n - 1] = std::nanf("");
    ASSERT_EQ(spDotF32(a.data(), b.data(), n, &r), spOk);
    EXPECT_TRUE(std::isnan(r));
    std::vector<double> c(a.begin(), a.end()), d(b.begin(), b.end());
    double rd = 0;
    ASSERT_EQ(spDotF64(c.data(), d.data(), n, &rd), spOk);
    EXPECT_TRUE(std::isnan(rd));
  }
}

// Random data against long-double sums of the exact products. The generic
// float result is the exact sum rounded once (the double accumulator is
// exact for these 12-bit operands); SIMD floats add in single precision.
TEST_P(DotTest, AgreesWithLongDoubleReference) {
  for (int32_t n : ManyLengths()) {
    auto a = Uniform<float>(n, -1.0, 1.0, 3u * n), b = Uniform<float>(n, -1.0, 1.0, 5u * n);
    for (int32_t i = 0; i < n; ++i) {  // 12-bit mantissas: products and double sums exact
      a[i] = std::ldexp(std::round(std::ldexp(a[i], 11)), -11);
      b[i] = std::ldexp(std::round(std::ldexp(b[i], 11)), -11);
    }
    const auto c = Uniform<double>(n, -1.0, 1.0, 7u * n), d = Uniform<double>(n, -1.0, 1.0, 9u * n);
    long double refF = 0, absF = 0, refD = 0, absD = 0;
    for (int32_t i = 0; i < n; ++i) {
      refF += static_cast<long double>(a[i]) * b[i];
      absF += std::fabs(static_cast<long double>(a[i]) * b[i]);
      refD += static_cast<long double>(c[i]) * d[i];
      absD += std::fabs(static_cast<long double>(c[i]) * d[i]);
    }
    for (int64_t offA : ElementOffsets())
      for (int64_t offB : {0, 4, 8, 12}) {
        PlacedArray<float> pa(a, offA), pb(b, offB);
        float rf = 0;
        ASSERT_EQ(spDotF32(pa.data(), pb.data(), n, &rf), spOk);
        if (SetIndex() == SP_SET_GENERIC) {
          EXPECT_EQ(rf, static_cast<float>(refF)) << "n=" << n;
        } else {
          EXPECT_LE(std::fabs(rf - refF), 0x1p-24L * std::fabs(refF) + 2 * std::sqrt(n) * 0x1p-24L * absF)
              << "n=" << n << " offsets " << offA << "," << offB;
        }
        PlacedArray<double> qa(c, offA * 2), qb(d, offB * 2);
        double rd = 0;
        ASSERT_EQ(spDotF64(qa.data(), qb.data(), n, &rd), spOk);
        EXPECT_LE(std::fabs(rd - refD), n * 0x1p-52L * absD) << "n=" << n << " offsets " << offA << "," << offB;
      }
  }
}

// The float orders callers see, modelled lane by lane in plain scalar code
// from the operands' addresses. A register is four float lanes; a pair
// product fills lanes 0 and 1 (lanes 2, 3 get 0 * 0), a single product lane
// 0 (the others get 0) unless it goes to lane 0 alone. The join adds the
// upper two lanes onto the lower two, then lane 0 + lane 1.
struct LaneModel {
  float r[4][4] = {};
  const unsigned char* a;
  const unsigned char* b;

  float Product(int64_t i) const {
    float x, y;
    std::memcpy(&x, a + 4 * i, 4);
    std::memcpy(&y, b + 4 * i, 4);
    return x * y;
  }
  void AddPair(int64_t i) {
    const float p[4] = {Product(i), Product(i + 1), 0.0f * 0.0f, 0.0f * 0.0f};
    for (int k = 0; k < 4; ++k) r[0][k] += p[k];
  }
  void AddSingle(int64_t i) {
    r[0][0] += Product(i);
    for (int k = 1; k < 4; ++k) r[0][k] += 0.0f * 0.0f;
  }
  void AddSingleToLane0(int64_t i) { r[0][0] += Product(i); }
  // Sixteen products from i; registers 2 and 3 fold onto 0 and 1 when only
  // two are in use.
  void AddBlock(int64_t i, int registers) {
    for (int q = 0; q < 4; ++q)
      for (int k = 0; k < 4; ++k) r[registers == 2 ? q % 2 : q][k] += Product(i + 4 * q + k);
  }
  static float Fold(const float (&v)[4]) { return (v[0] + v[2]) + (v[1] + v[3]); }
  float Join(int registers) const {
    float v[4];
    for (int k = 0; k < 4; ++k)
      v[k] = registers == 1 ? r[0][k] : registers == 2 ? r[0][k] + r[1][k] : (r[0][k] + r[1][k]) + (r[2][k] + r[3][k]);
    return Fold(v);
  }
  // Blocks of 16 from i, then pairs and a last single.
  float Blocks(int64_t i, int64_t n, int registers) {
    for (; i + 16 <= n; i += 16) AddBlock(i, registers);
    for (; i + 2 <= n; i += 2) AddPair(i);
    if (i < n) AddSingle(i);
    return Join(registers);
  }
};

int64_t ElementsTo16(const void* p) {
  return static_cast<int64_t>((16 - reinterpret_cast<uintptr_t>(p) % 16) % 16) / 4;
}
bool On(const void* p, uintptr_t bytes) { return reinterpret_cast<uintptr_t>(p) % bytes == 0; }

// SSE: short or unaligned arrays element by element into lane 0; else lane
// 0 until a is on 16 bytes, then two registers.
float SseOrder(const float* a, const float* b, int64_t n) {
  LaneModel m{{}, reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b)};
  int64_t head = n;
  if (n >= 16 && On(a, 4)) head = std::min(ElementsTo16(a), n);
  for (int64_t i = 0; i < head; ++i) m.AddSingleToLane0(i);
  if (head == n) return m.Join(1);
  return m.Blocks(head, n, 2);
}

// SSE2 and later: up to 15 elements as pairs and a last single; else lane 0
// until a 4-byte aligned operand (b first) is on 16 bytes, then four
// registers.
float WideOrder(const float* a, const float* b, int64_t n) {
  LaneModel m{{}, reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b)};
  if (n <= 15) return m.Blocks(0, n, 1);
  int64_t head = 0;
  if (On(b, 4))
    head = ElementsTo16(b);
  else if (On(a, 4))
    head = ElementsTo16(a);
  for (int64_t i = 0; i < head; ++i) m.AddSingleToLane0(i);
  return m.Blocks(head, n, 4);
}

float InOrder(const float* a, const float* b, int64_t n) {
  double s = 0;
  for (int64_t i = 0; i < n; ++i) {
    float x, y;
    std::memcpy(&x, a + i, 4);
    std::memcpy(&y, b + i, 4);
    s += static_cast<double>(x) * y;
  }
  return static_cast<float>(s);
}

// Products over many binades round at every addition, so any change of
// which lane or register a product joins, or of the join, shows: every
// length to 100 and long ones, at every pair of alignments.
TEST_P(DotTest, KeepsItsFloatOrderBitForBit) {
  std::vector<int32_t> lengths;
  for (int32_t n = 0; n <= 100; ++n) lengths.push_back(n);
  for (int32_t n : {1000, 4099, 65536 + 7}) lengths.push_back(n);
  for (int32_t n : lengths) {
    if (n == 0) {  // no product at all: the length error, nothing written
      const float x = 1.0f;
      float r = 42.0f;
      EXPECT_EQ(spDotF32(&x, &x, 0, &r), spErrLength);
      EXPECT_EQ(r, 42.0f);
      continue;
    }
    const auto a = RandomValues<float>(n, 41u * n + 3), b = RandomValues<float>(n, 43u * n + 9);
    for (int64_t offA : {0, 4, 8, 12, 1})
      for (int64_t offB : {0, 4, 8, 12, 2}) {
        PlacedArray<float> pa(a, offA), pb(b, offB);
        const float expected = SetIndex() == SP_SET_GENERIC ? InOrder(pa.data(), pb.data(), n)
                               : SetIndex() == SP_SET_SSE   ? SseOrder(pa.data(), pb.data(), n)
                                                            : WideOrder(pa.data(), pb.data(), n);
        float r = 0;
        ASSERT_EQ(spDotF32(pa.data(), pb.data(), n, &r), spOk);
        EXPECT_EQ(Bits(r), Bits(expected)) << "n=" << n << " offsets " << offA << "," << offB;
      }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(DotTest);

using DotF32Fn = spStatus (*)(const float*, const float*, int32_t, float*);
using DotF64Fn = spStatus (*)(const double*, const double*, int32_t, double*);
const DotF32Fn kDotF32[] = SP_VARIANT_TABLE(spDotF32);
const DotF64Fn kDotF64[] = SP_VARIANT_TABLE(spDotF64);

// Aligned operands: SSE2, SSE3 and SSSE3 share the float and the double
// layout; the generic and SSE double products are added in index order.
TEST(DotLayouts, BitIdenticalWhereTheSetsShareALayout) {
  for (int32_t n : {1, 5, 15, 16, 17, 100, 1000, 4097}) {
    const auto a = Uniform<float>(n, -1.0, 1.0, 13u * n), b = Uniform<float>(n, -1.0, 1.0, 17u * n);
    const auto c = Uniform<double>(n, -1.0, 1.0, 19u * n), d = Uniform<double>(n, -1.0, 1.0, 23u * n);
    float rf[5] = {};
    double rd[5] = {};
    for (int set = SP_SET_GENERIC; set <= SP_SET_SSSE3; ++set) {
      if (!spVariantSetSupported(set)) continue;
      kDotF32[set](a.data(), b.data(), n, &rf[set]);
      kDotF64[set](c.data(), d.data(), n, &rd[set]);
    }
    if (spVariantSetSupported(SP_SET_SSE)) {
      EXPECT_EQ(Bits(rd[1]), Bits(rd[0])) << "n=" << n;
    }
    for (int set = SP_SET_SSE3; set <= SP_SET_SSSE3; ++set) {
      if (!spVariantSetSupported(set)) continue;
      EXPECT_EQ(Bits(rf[set]), Bits(rf[2])) << "set " << set << " n=" << n;
      EXPECT_EQ(Bits(rd[set]), Bits(rd[2])) << "set " << set << " n=" << n;
    }
  }
}

}  // namespace
