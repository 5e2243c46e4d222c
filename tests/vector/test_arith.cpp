// Elementwise arithmetic under every variant set: argument checks, the
// constant fast paths, sign rules of the absolute value, and agreement with
// exact references over many lengths and alignments (single elements, heads,
// aligned and unaligned blocks, tails and the streaming sizes).
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "primitives/vector/sp_arith.h"
#include "support/variant_sets.h"
#include "vector_test_support.h"

namespace {

using namespace vector_test;

class ArithTest : public VariantSetTest {};

enum class Form { ThreeArrays, InPlace, Constant, Abs };

// One primitive in a uniform shape: x is the first source (the constant for
// the constant forms), y the second source or the old srcDst contents.
template <class T>
struct ArithOp {
  std::string name;
  Form form;
  std::function<spStatus(const T* x, const T* y, T* dst, int32_t n, T constant)> call;
  std::function<T(T x, T y)> expected;
};

// Single-precision results are exact in long double and rounded once, which
// is the IEEE single result; double results are the IEEE double operation.
template <class T>
T Exact(long double v) {
  return static_cast<T>(v);
}

template <class T>
std::vector<ArithOp<T>> Ops();

template <>
std::vector<ArithOp<float>> Ops<float>() {
  using L = long double;
  return {
      {"AddF32", Form::ThreeArrays, [](auto x, auto y, auto d, int32_t n, float) { return spAddF32(x, y, d, n); },
       [](float x, float y) { return Exact<float>(L{x} + y); }},
      {"SubF32", Form::ThreeArrays, [](auto x, auto y, auto d, int32_t n, float) { return spSubF32(x, y, d, n); },
       [](float x, float y) { return Exact<float>(L{y} - x); }},
      {"MulF32", Form::ThreeArrays, [](auto x, auto y, auto d, int32_t n, float) { return spMulF32(x, y, d, n); },
       [](float x, float y) { return Exact<float>(L{x} * y); }},
      {"AddInPlaceF32", Form::InPlace, [](auto x, auto, auto d, int32_t n, float) { return spAddInPlaceF32(x, d, n); },
       [](float x, float y) { return Exact<float>(L{y} + x); }},
      {"SubInPlaceF32", Form::InPlace, [](auto x, auto, auto d, int32_t n, float) { return spSubInPlaceF32(x, d, n); },
       [](float x, float y) { return Exact<float>(L{y} - x); }},
      {"MulInPlaceF32", Form::InPlace, [](auto x, auto, auto d, int32_t n, float) { return spMulInPlaceF32(x, d, n); },
       [](float x, float y) { return Exact<float>(L{y} * x); }},
      {"AddConstF32", Form::Constant,
       [](auto, auto, auto d, int32_t n, float c) { return spAddConstInPlaceF32(c, d, n); },
       [](float c, float y) { return Exact<float>(L{y} + c); }},
      {"MulConstF32", Form::Constant,
       [](auto, auto, auto d, int32_t n, float c) { return spMulConstInPlaceF32(c, d, n); },
       [](float c, float y) { return Exact<float>(L{y} * c); }},
      {"AbsF32", Form::Abs, [](auto x, auto, auto d, int32_t n, float) { return spAbsF32(x, d, n); },
       [](float x, float) { return std::fabs(x); }},
  };
}

template <>
std::vector<ArithOp<double>> Ops<double>() {
  return {
      {"AddF64", Form::ThreeArrays, [](auto x, auto y, auto d, int32_t n, double) { return spAddF64(x, y, d, n); },
       [](double x, double y) { return x + y; }},
      {"SubF64", Form::ThreeArrays, [](auto x, auto y, auto d, int32_t n, double) { return spSubF64(x, y, d, n); },
       [](double x, double y) { return y - x; }},
      {"MulF64", Form::ThreeArrays, [](auto x, auto y, auto d, int32_t n, double) { return spMulF64(x, y, d, n); },
       [](double x, double y) { return x * y; }},
      {"AddInPlaceF64", Form::InPlace, [](auto x, auto, auto d, int32_t n, double) { return spAddInPlaceF64(x, d, n); },
       [](double x, double y) { return y + x; }},
      {"SubInPlaceF64", Form::InPlace, [](auto x, auto, auto d, int32_t n, double) { return spSubInPlaceF64(x, d, n); },
       [](double x, double y) { return y - x; }},
      {"MulInPlaceF64", Form::InPlace, [](auto x, auto, auto d, int32_t n, double) { return spMulInPlaceF64(x, d, n); },
       [](double x, double y) { return y * x; }},
      {"AddConstF64", Form::Constant,
       [](auto, auto, auto d, int32_t n, double c) { return spAddConstInPlaceF64(c, d, n); },
       [](double c, double y) { return y + c; }},
      {"MulConstF64", Form::Constant,
       [](auto, auto, auto d, int32_t n, double c) { return spMulConstInPlaceF64(c, d, n); },
       [](double c, double y) { return y * c; }},
      {"AbsF64", Form::Abs, [](auto x, auto, auto d, int32_t n, double) { return spAbsF64(x, d, n); },
       [](double x, double) { return std::fabs(x); }},
  };
}

// Runs one op on n elements with the arrays at the given byte offsets and
// checks every element bit for bit and the guard bytes.
template <class T>
void CheckOp(const ArithOp<T>& op, const std::vector<T>& xs, const std::vector<T>& ys, int xOffset, int yOffset,
             int dstOffset) {
  const int64_t n = static_cast<int64_t>(xs.size());
  const T constant = static_cast<T>(-1.37);
  PlacedArray<T> x(n, xOffset), y(n, yOffset), dst(n, dstOffset);
  x.Set(xs);
  y.Set(ys);
  if (op.form == Form::InPlace || op.form == Form::Constant) dst.Set(ys);
  ASSERT_EQ(op.call(x.data(), y.data(), dst.data(), static_cast<int32_t>(n), constant), spOk);
  const std::vector<T> got = dst.Get();
  for (int64_t i = 0; i < n; ++i) {
    const T want = op.expected(op.form == Form::Constant ? constant : xs[i], ys[i]);
    ASSERT_EQ(Bits(got[i]), Bits(want)) << op.name << " n=" << n << " offsets " << xOffset << "/" << yOffset << "/"
                                        << dstOffset << " element " << i;
  }
  ASSERT_TRUE(dst.GuardsIntact()) << op.name << " n=" << n;
}

template <class T>
void CheckLengthsAndAlignments() {
  // Byte offsets of (x, y, dst): aligned, 4/8/12 past a 16-byte boundary, and
  // not element-aligned at all.
  const int offsets[][3] = {{0, 0, 0}, {4, 4, 4},  {8, 8, 8}, {0, 4, 8}, {12, 0, 4},
                            {8, 0, 0}, {0, 8, 12}, {1, 2, 3}, {0, 0, 1}, {3, 0, 0}};
  for (int64_t n = 1; n <= 40; ++n) {
    const std::vector<T> xs = RandomValues<T>(n, static_cast<uint32_t>(n)), ys = RandomValues<T>(n, 99);
    for (const auto& op : Ops<T>())
      for (const auto& o : offsets) CheckOp(op, xs, ys, o[0], o[1], o[2]);
  }
}

TEST_P(ArithTest, MatchesExactResultsOverLengthsAndAlignmentsF32) { CheckLengthsAndAlignments<float>(); }
TEST_P(ArithTest, MatchesExactResultsOverLengthsAndAlignmentsF64) { CheckLengthsAndAlignments<double>(); }

// Around 256 bytes, where short arrays stop skipping the alignment head.
template <class T>
void CheckAroundTheShortWalk() {
  const int64_t shortBelow = 256 / static_cast<int64_t>(sizeof(T));
  const int offsets[][3] = {{0, 0, 0}, {4, 8, 12}, {8, 0, 4}, {1, 2, 3}};
  for (int64_t n : {shortBelow - 7, shortBelow - 1, shortBelow, shortBelow + 1, shortBelow + 9}) {
    const std::vector<T> xs = RandomValues<T>(n, static_cast<uint32_t>(n)), ys = RandomValues<T>(n, 5);
    for (const auto& op : Ops<T>())
      for (const auto& o : offsets) CheckOp(op, xs, ys, o[0], o[1], o[2]);
  }
}
TEST_P(ArithTest, MatchesExactResultsAroundTheShortWalk) {
  CheckAroundTheShortWalk<float>();
  CheckAroundTheShortWalk<double>();
}

// Many blocks, and sizes whose results stream past the caches.
TEST_P(ArithTest, LargeArraysMatchExactResults) {
  for (int64_t n : {43691, 700001}) {
    const std::vector<float> xs = RandomValues<float>(n, 7), ys = RandomValues<float>(n, 8);
    for (const auto& op : Ops<float>()) {
      CheckOp(op, xs, ys, 0, 0, 0);
      if (n < 100000) CheckOp(op, xs, ys, 4, 8, 4);
    }
  }
  for (int64_t n : {21847, 350003}) {
    const std::vector<double> xs = RandomValues<double>(n, 7), ys = RandomValues<double>(n, 8);
    for (const auto& op : Ops<double>()) {
      CheckOp(op, xs, ys, 0, 0, 8);
      if (n < 100000) CheckOp(op, xs, ys, 8, 0, 0);
    }
  }
}

TEST_P(ArithTest, DestinationMayBeASource) {
  const std::vector<float> a = RandomValues<float>(37, 1), b = RandomValues<float>(37, 2);
  for (const auto& op : Ops<float>()) {
    if (op.form != Form::ThreeArrays) continue;
    std::vector<float> intoA = a, intoB = b;
    ASSERT_EQ(op.call(intoA.data(), b.data(), intoA.data(), 37, 0.0f), spOk);
    ASSERT_EQ(op.call(a.data(), intoB.data(), intoB.data(), 37, 0.0f), spOk);
    for (int i = 0; i < 37; ++i) {
      EXPECT_EQ(Bits(intoA[i]), Bits(op.expected(a[i], b[i]))) << op.name;
      EXPECT_EQ(Bits(intoB[i]), Bits(op.expected(a[i], b[i]))) << op.name;
    }
  }
  std::vector<float> self = a;
  ASSERT_EQ(spAbsF32(self.data(), self.data(), 37), spOk);
  for (int i = 0; i < 37; ++i) EXPECT_EQ(self[i], std::fabs(a[i]));
}

TEST_P(ArithTest, SubtractionTakesTheSecondArrayMinusTheFirst) {
  const float a[] = {1, 2, 3}, b[] = {10, 20, 30};
  float dst[3];
  ASSERT_EQ(spSubF32(a, b, dst, 3), spOk);
  EXPECT_EQ(dst[0], 9.0f);
  EXPECT_EQ(dst[2], 27.0f);
  const double ad[] = {1, 2}, bd[] = {10, 20};
  double dd[2];
  ASSERT_EQ(spSubF64(ad, bd, dd, 2), spOk);
  EXPECT_EQ(dd[1], 18.0);
  float srcDst[] = {10, 20};
  ASSERT_EQ(spSubInPlaceF32(a, srcDst, 2), spOk);
  EXPECT_EQ(srcDst[1], 18.0f);
}

// Adding +-0 or NaN and multiplying by 1 or NaN leave every bit as it was;
// multiplying by +-0 writes +0.0 over anything, NaN and -inf included.
template <class T>
void CheckConstantFastPaths(spStatus (*addConst)(T, T*, int32_t), spStatus (*mulConst)(T, T*, int32_t)) {
  const T inf = std::numeric_limits<T>::infinity(), nan = std::numeric_limits<T>::quiet_NaN();
  // Long enough for the block paths of every set.
  std::vector<T> data(23);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<T>(i) - 11;
  data[0] = -T{0};
  data[1] = -inf;
  data[2] = nan;
  data[3] = -nan;
  auto bitsOf = [](const std::vector<T>& v) {
    std::vector<uint64_t> b;
    for (T x : v) b.push_back(Bits(x));
    return b;
  };
  const auto before = bitsOf(data);
  for (T c : {T{0}, -T{0}, nan}) {
    ASSERT_EQ(addConst(c, data.data(), static_cast<int32_t>(data.size())), spOk);
    EXPECT_EQ(bitsOf(data), before) << "add " << c;
  }
  for (T c : {T{1}, nan, -nan}) {
    ASSERT_EQ(mulConst(c, data.data(), static_cast<int32_t>(data.size())), spOk);
    EXPECT_EQ(bitsOf(data), before) << "mul " << c;
  }
  for (T c : {T{0}, -T{0}}) {
    std::vector<T> z = data;
    ASSERT_EQ(mulConst(c, z.data(), static_cast<int32_t>(z.size())), spOk);
    for (T x : z) EXPECT_EQ(Bits(x), 0u) << "mul " << c;
  }
}

TEST_P(ArithTest, ConstantFastPathsKeepOrZeroTheArray) {
  CheckConstantFastPaths<float>(spAddConstInPlaceF32, spMulConstInPlaceF32);
  CheckConstantFastPaths<double>(spAddConstInPlaceF64, spMulConstInPlaceF64);
}

TEST_P(ArithTest, AbsoluteValueClearsTheSignBit) {
  const float inf = std::numeric_limits<float>::infinity();
  // A negative signalling NaN with a payload: every set clears its sign; the
  // generic set passes it through the x87 unit, which quiets it.
  const float sNaN = F32FromBits(0xFF800123u);
  std::vector<float> src(19, -2.5f);
  src[0] = -0.0f;
  src[5] = -inf;
  src[9] = sNaN;
  src[18] = sNaN;
  std::vector<float> dst(19);
  ASSERT_EQ(spAbsF32(src.data(), dst.data(), 19), spOk);
  EXPECT_EQ(Bits(dst[0]), 0u);
  EXPECT_EQ(dst[5], inf);
  EXPECT_EQ(dst[1], 2.5f);
  const uint32_t nanBits = SetIndex() == SP_SET_GENERIC ? 0x7FC00123u : 0x7F800123u;
  EXPECT_EQ(Bits(dst[9]), nanBits);
  EXPECT_EQ(Bits(dst[18]), nanBits);

  const double sNaN64 = F64FromBits(0xFFF0000000000123ull);
  std::vector<double> s64(11, -0.0), d64(11);
  s64[3] = -std::numeric_limits<double>::infinity();
  s64[10] = sNaN64;
  ASSERT_EQ(spAbsF64(s64.data(), d64.data(), 11), spOk);
  EXPECT_EQ(Bits(d64[0]), 0u);
  EXPECT_EQ(d64[3], std::numeric_limits<double>::infinity());
  EXPECT_EQ(Bits(d64[10]), SetIndex() == SP_SET_GENERIC ? 0x7FF8000000000123ull : 0x7FF0000000000123ull);
}

// Null pointers (in argument order, even with a bad length) give -8, then
// lengths below 1 give -6; nothing is written either way.
template <class T>
void CheckArgumentErrors() {
  for (const auto& op : Ops<T>()) {
    T x[2] = {1, 2}, y[2] = {3, 4}, dst[2] = {5, 6};
    const bool needsX = op.form == Form::ThreeArrays || op.form == Form::InPlace || op.form == Form::Abs;
    const bool needsY = op.form == Form::ThreeArrays;
    EXPECT_EQ(op.call(x, y, nullptr, 0, T{2}), spErrNullPointer) << op.name;
    if (needsX) {
      EXPECT_EQ(op.call(nullptr, y, dst, 2, T{2}), spErrNullPointer) << op.name;
    }
    if (needsY) {
      EXPECT_EQ(op.call(x, nullptr, dst, -1, T{2}), spErrNullPointer) << op.name;
    }
    for (int32_t n : {0, -1, std::numeric_limits<int32_t>::min()})
      EXPECT_EQ(op.call(x, y, dst, n, T{2}), spErrLength) << op.name << " n=" << n;
    EXPECT_EQ(dst[0], T{5});
    EXPECT_EQ(dst[1], T{6});
  }
}

TEST_P(ArithTest, RejectsNullPointersThenBadLengthsWithoutWriting) {
  CheckArgumentErrors<float>();
  CheckArgumentErrors<double>();
}

}  // namespace

SP_INSTANTIATE_FOR_ALL_SETS(ArithTest);
