// Conversions under every variant set, against exact references: long
// double scaling (wide enough to hold every scaled double exactly), the
// closed-form rounding rules and every int8 and int16 value.

#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "primitives/frame/mxcsr_scope.h"
#include "primitives/vector/sp_convert.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

class ConvertTest : public VariantSetTest {};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Exact x * 2^-scaleFactor rounded (mode 1 nearest-even, else toward zero)
// and saturated; factors far outside the double range act as +-infinity.
int32_t ReferenceF64ToI32(double x, int32_t roundMode, int32_t scaleFactor, bool sse2Nan) {
  if (std::isnan(x)) return sse2Nan ? INT32_MAX : INT32_MIN;
  long double y;
  if (x == 0.0)
    y = 0.0L;
  else if (scaleFactor > 1300)
    y = std::isinf(x) ? x : 0.0L;
  else if (scaleFactor < -1300)
    y = x > 0 ? kInf : -kInf;
  else
    y = std::ldexp(static_cast<long double>(x), -scaleFactor);
  const long double r = roundMode == 1 ? std::nearbyint(y) : std::trunc(y);
  if (r >= 2147483647.0L) return INT32_MAX;
  if (r <= -2147483648.0L) return INT32_MIN;
  return static_cast<int32_t>(r);
}

int16_t ReferenceI32ToI16(int32_t x, int32_t scaleFactor) {
  long double y = x;
  if (scaleFactor > 0) y = std::nearbyint(std::ldexp(y, -std::min(scaleFactor, 31)));
  if (scaleFactor < 0) y = std::ldexp(y, std::min(-static_cast<int64_t>(scaleFactor), int64_t{15}));
  return static_cast<int16_t>(std::clamp(y, -32768.0L, 32767.0L));
}

TEST_P(ConvertTest, RefusesNullPointersThenShortLengthsWithoutWriting) {
  int8_t i8[2] = {1, 2};
  int16_t i16[2] = {1, 2};
  int32_t i32[2] = {1, 2};
  double f64[2] = {1, 2};
  float f32[2] = {9, 9};
  int16_t o16[2] = {9, 9};
  int32_t o32[2] = {9, 9};
  double o64[2] = {9, 9};
  struct Case {
    const char* name;
    std::function<spStatus(bool nullSrc, bool nullDst, int32_t n)> call;
  };
  const Case cases[] = {
      {"I8ToF32", [&](bool s, bool d, int32_t n) { return spConvI8ToF32(s ? nullptr : i8, d ? nullptr : f32, n); }},
      {"I16ToF32", [&](bool s, bool d, int32_t n) { return spConvI16ToF32(s ? nullptr : i16, d ? nullptr : f32, n); }},
      {"I32ToF32", [&](bool s, bool d, int32_t n) { return spConvI32ToF32(s ? nullptr : i32, d ? nullptr : f32, n); }},
      {"I8ToI16", [&](bool s, bool d, int32_t n) { return spConvI8ToI16(s ? nullptr : i8, d ? nullptr : o16, n); }},
      {"I16ToF64Scaled",
       [&](bool s, bool d, int32_t n) { return spConvI16ToF64Scaled(s ? nullptr : i16, d ? nullptr : o64, n, 3); }},
      {"I32ToF64", [&](bool s, bool d, int32_t n) { return spConvI32ToF64(s ? nullptr : i32, d ? nullptr : o64, n); }},
      {"I32ToI16Sat",
       [&](bool s, bool d, int32_t n) { return spConvI32ToI16Sat(s ? nullptr : i32, d ? nullptr : o16, n, 1); }},
      {"F64ToI32",
       [&](bool s, bool d, int32_t n) { return spConvF64ToI32(s ? nullptr : f64, d ? nullptr : o32, n, 1, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(true, false, 0), spErrNullPointer);
    EXPECT_EQ(c.call(false, true, 2), spErrNullPointer);
    EXPECT_EQ(c.call(false, false, 0), spErrLength);
    EXPECT_EQ(c.call(false, false, -5), spErrLength);
    EXPECT_EQ(c.call(false, false, INT32_MIN), spErrLength);
  }
  EXPECT_EQ(f32[0], 9.0f);
  EXPECT_EQ(o16[0], 9);
  EXPECT_EQ(o32[0], 9);
  EXPECT_EQ(o64[0], 9.0);
}

TEST_P(ConvertTest, EveryInt8ValueWidensExactly) {
  // Offsets and odd lengths put values in vector blocks and scalar tails.
  std::vector<int8_t> src(256 + 7);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<int8_t>(i - 128);
  for (int offset : {0, 1, 3}) {
    const int32_t n = static_cast<int32_t>(src.size()) - offset;
    std::vector<float> f(n);
    std::vector<int16_t> w(n);
    ASSERT_EQ(spConvI8ToF32(src.data() + offset, f.data(), n), spOk);
    ASSERT_EQ(spConvI8ToI16(src.data() + offset, w.data(), n), spOk);
    for (int32_t i = 0; i < n; ++i) {
      const int v = static_cast<int>(src[offset + i]);
      ASSERT_EQ(f[i], static_cast<float>(v)) << v;
      ASSERT_EQ(w[i], v);
    }
  }
  const int8_t ends[] = {-128, -1, 0, 127};
  float f[4];
  ASSERT_EQ(spConvI8ToF32(ends, f, 4), spOk);
  EXPECT_EQ(f[0], -128.0f);
  EXPECT_EQ(f[1], -1.0f);
  EXPECT_EQ(f[2], 0.0f);
  EXPECT_EQ(f[3], 127.0f);
}

TEST_P(ConvertTest, EveryInt16ValueConvertsExactlyWithClampedScale) {
  std::vector<int16_t> src(65536 + 5);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<int16_t>(static_cast<int32_t>(i) - 32768);
  const int32_t n = static_cast<int32_t>(src.size());
  std::vector<float> f(n);
  ASSERT_EQ(spConvI16ToF32(src.data(), f.data(), n), spOk);
  for (int32_t i = 0; i < n; ++i) ASSERT_EQ(f[i], static_cast<float>(src[i]));

  // Factor and the exponent actually applied (clamped to -1008..1022).
  const struct {
    int32_t factor, applied;
  } scales[] = {{0, 0},       {3, 3},         {-1, -1},       {15, 15},          {1022, 1022},
                {2000, 1022}, {-1008, -1008}, {-2000, -1008}, {INT32_MAX, 1022}, {INT32_MIN, -1008}};
  std::vector<double> d(n + 1);
  for (const auto& s : scales) {
    SCOPED_TRACE(s.factor);
    // dst offset by one double tests the unaligned start.
    ASSERT_EQ(spConvI16ToF64Scaled(src.data(), d.data() + 1, n, s.factor), spOk);
    for (int32_t i = 0; i < n; ++i) {
      const long double expected = std::ldexp(static_cast<long double>(src[i]), -s.applied);
      ASSERT_EQ(static_cast<long double>(d[i + 1]), expected) << src[i];
    }
  }
  const int16_t ends[] = {8, 32767, -32768};
  double out[3];
  ASSERT_EQ(spConvI16ToF64Scaled(ends, out, 1, 3), spOk);
  EXPECT_EQ(out[0], 1.0);
  ASSERT_EQ(spConvI16ToF64Scaled(ends + 2, out, 1, -2000), spOk);
  EXPECT_EQ(out[0], -std::ldexp(1.0, 1023));
}

// Every length to 100 and long ones, at every 16-byte phase of both arrays:
// each element is its exact value, and nothing around the destination is
// written (the vector steps of 16 and 8 and the single tail elements).
TEST_P(ConvertTest, Int16ToFloatIsExactAtEveryLengthAndAlignment) {
  std::mt19937 gen(36);
  std::uniform_int_distribution<int32_t> value(-32768, 32767);
  std::vector<int32_t> lengths;
  for (int32_t n = 0; n <= 100; ++n) lengths.push_back(n);
  for (int32_t n : {1000, 4099, 65536 + 9}) lengths.push_back(n);
  for (int32_t n : lengths) {
    if (n == 0) {  // the length error, nothing written
      const int16_t x = 1;
      float out = 42.0f;
      EXPECT_EQ(spConvI16ToF32(&x, &out, 0), spErrLength);
      EXPECT_EQ(out, 42.0f);
      continue;
    }
    std::vector<int16_t> src(n);
    for (auto& x : src) x = static_cast<int16_t>(value(gen));
    src[0] = -32768;
    src[n - 1] = 32767;
    for (int64_t offSrc : {0, 2, 6, 8, 14})
      for (int64_t offDst : {0, 4, 8, 12}) {
        vector_test::PlacedArray<int16_t> in(src, offSrc);
        vector_test::PlacedArray<float> out(n, offDst);
        ASSERT_EQ(spConvI16ToF32(in.data(), out.data(), n), spOk);
        const std::vector<float> got = out.Get();
        for (int32_t i = 0; i < n; ++i)
          ASSERT_EQ(got[i], static_cast<float>(src[i]))
              << "n=" << n << " i=" << i << " offsets " << offSrc << "," << offDst;
        ASSERT_TRUE(out.GuardsIntact()) << "n=" << n;
      }
  }
}

TEST_P(ConvertTest, Int16ToDoubleStreamsLargeBlocksWithSameValues) {
  // Beyond every set's non-temporal threshold.
  const int32_t n = 0x66666 + 64 + 3;
  std::vector<int16_t> src(n);
  for (int32_t i = 0; i < n; ++i) src[i] = static_cast<int16_t>(i * 7919);
  std::vector<double> d(n);
  ASSERT_EQ(spConvI16ToF64Scaled(src.data(), d.data(), n, -4), spOk);
  for (int32_t i = 0; i < n; ++i) ASSERT_EQ(d[i], src[i] * 16.0) << i;
}

TEST_P(ConvertTest, Int32ToFloatRoundsUnderTheCallersMode) {
  const int32_t src[] = {16777217, 2147483647, -16777219, 33554435, 1, -2147483647 - 1, 16777219, 0, 5};
  constexpr int32_t n = sizeof(src) / sizeof(src[0]);
  const struct {
    int mode;
    float expected[n];
  } modes[] = {
      {FE_TONEAREST, {16777216.f, 2147483648.f, -16777220.f, 33554436.f, 1.f, -2147483648.f, 16777220.f, 0.f, 5.f}},
      {FE_TOWARDZERO, {16777216.f, 2147483520.f, -16777218.f, 33554432.f, 1.f, -2147483648.f, 16777218.f, 0.f, 5.f}},
      {FE_UPWARD, {16777218.f, 2147483648.f, -16777218.f, 33554436.f, 1.f, -2147483648.f, 16777220.f, 0.f, 5.f}},
  };
  for (const auto& m : modes) {
    SCOPED_TRACE(m.mode);
    float dst[n];
    const int saved = std::fegetround();
    std::fesetround(m.mode);
    const spStatus st = spConvI32ToF32(src, dst, n);
    std::fesetround(saved);
    ASSERT_EQ(st, spOk);
    for (int32_t i = 0; i < n; ++i) EXPECT_EQ(dst[i], m.expected[i]) << src[i];
  }
}

TEST_P(ConvertTest, Int32ToDoubleIsExact) {
  std::vector<int32_t> src = {INT32_MIN, INT32_MAX, -1, 0, 1, 16777217, -123456789};
  std::mt19937 rng(7);
  for (int i = 0; i < 1000; ++i) src.push_back(static_cast<int32_t>(rng()));
  std::vector<double> d(src.size());
  ASSERT_EQ(spConvI32ToF64(src.data(), d.data(), static_cast<int32_t>(src.size())), spOk);
  for (size_t i = 0; i < src.size(); ++i) ASSERT_EQ(static_cast<int64_t>(d[i]), src[i]);
}

TEST_P(ConvertTest, Int32ToInt16RoundsTiesToEvenAndSaturates) {
  const struct {
    int32_t factor;
    int32_t x;
    int16_t expected;
  } table[] = {{0, 40000, 32767},
               {0, -40000, -32768},
               {0, -32768, -32768},
               {0, 32767, 32767},
               {1, 3, 2},
               {1, 5, 2},
               {1, -1, 0},
               {1, -3, -2},
               {1, 65535, 32767},
               {40, INT32_MAX, 1},
               {40, INT32_MIN, -1},
               {31, INT32_MAX, 1},
               {-1, 20000, 32767},
               {-1, -16384, -32768},
               {-1, -16385, -32768},
               {-1, 16383, 32766},
               {-20, 1, 32767},
               {-15, 1, 32767},
               {-15, -1, -32768},
               {-14, 1, 16384},
               {INT32_MIN, 1, 32767},
               {INT32_MAX, INT32_MAX, 1},
               {-20, 0, 0}};
  for (const auto& t : table) {
    // Also inside a block of eight, to reach the vector lanes.
    int32_t src[9];
    int16_t dst[9];
    for (int32_t& v : src) v = t.x;
    ASSERT_EQ(spConvI32ToI16Sat(src, dst, 9, t.factor), spOk);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(dst[i], t.expected) << "factor " << t.factor << " x " << t.x;
  }
}

TEST_P(ConvertTest, Int32ToInt16MatchesExactRoundingForEveryFactor) {
  std::vector<int32_t> src = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, -1, 0, 1};
  std::mt19937 rng(11);
  for (int i = 0; i < 600; ++i) {
    const uint32_t r = rng();
    src.push_back(static_cast<int32_t>(r) >> (r % 31));  // all magnitudes
  }
  // Exact ties at every shift.
  for (int s = 1; s <= 31; ++s) {
    const int64_t half = int64_t{1} << (s - 1);
    for (int64_t q : {-3, -2, -1, 0, 1, 2, 3}) src.push_back(static_cast<int32_t>(q * 2 * half + half));
  }
  const int32_t n = static_cast<int32_t>(src.size());
  std::vector<int16_t> dst(n);
  for (int32_t factor = -17; factor <= 33; ++factor) {
    ASSERT_EQ(spConvI32ToI16Sat(src.data(), dst.data(), n, factor), spOk);
    for (int32_t i = 0; i < n; ++i)
      ASSERT_EQ(dst[i], ReferenceI32ToI16(src[i], factor)) << "factor " << factor << " x " << src[i];
  }
}

TEST_P(ConvertTest, DoubleToInt32RoundsAndSaturates) {
  const struct {
    double x;
    int32_t mode, factor, expected;
  } table[] = {
      {2.5, 1, 0, 2},
      {3.5, 1, 0, 4},
      {-2.5, 1, 0, -2},
      {0.49999, 1, 0, 0},
      {2147483646.6, 1, 0, INT32_MAX},
      {2147483646.5, 1, 0, 2147483646},
      {-1.9, 0, 0, -1},
      {3.0e9, 0, 0, INT32_MAX},
      {kInf, 0, 0, INT32_MAX},
      {-3.0e9, 0, 0, INT32_MIN},
      {-kInf, 1, 0, INT32_MIN},
      {5.0, 1, 1, 2},
      {5.0, 0, 1, 2},
      {1.25, 1, -1, 2},
      {-2147483648.9, 0, 0, INT32_MIN},
      {-2147483648.5, 1, 0, INT32_MIN},
      {0.49999999999999994, 1, 0, 0},
      {-0.5, 1, 0, 0},
      {1.5, 1, 0, 2},
      {2.7, 2, 0, 2},
      {-2.7, 7, 0, -2},
      {-0.0, 1, 0, 0},
      // Scale factors at and far beyond the double range.
      {0.0, 1, -2000, 0},
      {0.0, 0, INT32_MIN, 0},
      {-0.0, 1, INT32_MIN, 0},
      {1.0, 1, INT32_MIN, INT32_MAX},
      {-1.0, 0, -1200, INT32_MIN},
      {4.9406564584124654e-324, 0, -1105, INT32_MAX},
      {4.9406564584124654e-324, 0, -1104, 1073741824},
      {1.7976931348623157e308, 1, INT32_MAX, 0},
      {1.7976931348623157e308, 1, 1030, 0},
      {1.7976931348623157e308, 0, 993, INT32_MAX},
      {1.7976931348623157e308, 0, 1000, 16777215},
      {kInf, 1, INT32_MAX, INT32_MAX},
      {3.0, 1, 150, 0},
      {3.0, 1, -128, INT32_MAX},
      {std::ldexp(5.0, 200), 1, 201, 2},
      {std::ldexp(3.0, -200), 0, -200, 3},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(testing::Message() << "x " << t.x << " mode " << t.mode << " factor " << t.factor);
    // Alone (a tail) and at every position of a block of five.
    int32_t out;
    ASSERT_EQ(spConvF64ToI32(&t.x, &out, 1, t.mode, t.factor), spOk);
    EXPECT_EQ(out, t.expected);
    double src[5] = {t.x, t.x, t.x, t.x, t.x};
    int32_t dst[5];
    ASSERT_EQ(spConvF64ToI32(src, dst, 5, t.mode, t.factor), spOk);
    for (int32_t v : dst) EXPECT_EQ(v, t.expected);
  }
}

TEST_P(ConvertTest, DoubleToInt32NanTakesTheSetsBound) {
  const double src[5] = {kNaN, -kNaN, 1.0, kNaN, kNaN};
  int32_t dst[5];
  const int32_t bound = SetIndex() >= SP_SET_SSE2 ? INT32_MAX : INT32_MIN;
  for (int32_t mode : {0, 1}) {
    ASSERT_EQ(spConvF64ToI32(src, dst, 5, mode, 0), spOk);
    EXPECT_EQ(dst[0], bound);
    EXPECT_EQ(dst[1], bound);
    EXPECT_EQ(dst[2], 1);
    EXPECT_EQ(dst[4], bound);
  }
}

TEST_P(ConvertTest, DoubleToInt32MatchesExactScalingOverManyValues) {
  std::mt19937_64 rng(3);
  std::vector<double> src;
  for (int i = 0; i < 2000; ++i) {
    const double mag = std::ldexp(static_cast<double>(rng() >> 11), -52 + static_cast<int>(rng() % 40) - 8);
    src.push_back((rng() & 1) ? mag : -mag);
    src.push_back(std::nearbyint(mag) + 0.5);  // exact ties
  }
  src.push_back(0.0);
  src.push_back(-0.0);
  src.push_back(std::numeric_limits<double>::denorm_min());
  src.push_back(std::numeric_limits<double>::max());
  const int32_t n = static_cast<int32_t>(src.size());
  std::vector<int32_t> dst(n);
  for (int32_t factor : {0,    1,    2,    -1,    -3,   5,     30,   -30,   64,   -64,   149,       150,
                         -127, -128, 1022, -1022, 1074, -1074, 1100, -1100, 3000, -3000, INT32_MIN, INT32_MAX}) {
    for (int32_t mode : {0, 1}) {
      ASSERT_EQ(spConvF64ToI32(src.data(), dst.data(), n, mode, factor), spOk);
      for (int32_t i = 0; i < n; ++i)
        ASSERT_EQ(dst[i], ReferenceF64ToI32(src[i], mode, factor, SetIndex() >= SP_SET_SSE2))
            << "x " << src[i] << " mode " << mode << " factor " << factor;
    }
  }
}

TEST_P(ConvertTest, DoubleToInt32LeavesTheCallersControlAndFlagsAlone) {
  const double src[7] = {2.5, -3.5, kNaN, 1e30, -1e30, 0.3, 7.5};
  const int32_t nearest[7] = {2, -4, SetIndex() >= SP_SET_SSE2 ? INT32_MAX : INT32_MIN, INT32_MAX, INT32_MIN, 0, 8};
  const double denormal = std::numeric_limits<double>::denorm_min();
  const unsigned callerWord = ReadMxcsr();
  // Rounding up, flush-to-zero and denormals-are-zero on, no flags raised yet.
  const unsigned word = ((callerWord & ~0x603Fu) | 0x4000u | 0x8040u);
  WriteMxcsr(word);
  int32_t dst[7], fromDenormal;
  const spStatus st = spConvF64ToI32(src, dst, 7, 1, 0);
  const spStatus stDenormal = spConvF64ToI32(&denormal, &fromDenormal, 1, 0, -1105);
  const unsigned after = ReadMxcsr();
  WriteMxcsr(callerWord);
  ASSERT_EQ(st, spOk);
  ASSERT_EQ(stDenormal, spOk);
  EXPECT_EQ(after, word);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(dst[i], nearest[i]) << i;
  // 2^-1074 * 2^1105 = 2^31 saturates; read as zero it would give 0.
  EXPECT_EQ(fromDenormal, INT32_MAX);
}

SP_INSTANTIATE_FOR_ALL_SETS(ConvertTest);

}  // namespace
