// Matrix product under every variant set: long-double references over square
// sizes 1 to 8 and general shapes through dense, padded, column-major,
// overlapping-row and misaligned layouts (unit element strides reach the
// unit-stride kernel, any other the byte-stride kernel); the precision of
// each set's kernels pinned by sums whose float and double roundings differ;
// signed zeros; and the sets that must agree bit for bit (and the generic
// set's unit-stride and byte-stride kernels) compared with memcmp.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "matrix_test_support.h"
#include "primitives/matrix/sp_matrix.h"

namespace {

using namespace matrix_test;

class MatMatTest : public VariantSetTest {};

template <class T>
spStatus Product(StridedBlock<T>& a, StridedBlock<T>& b, StridedBlock<T>& c) {
  if constexpr (std::is_same_v<T, float>)
    return spMatMulMatF32(a.base(), a.rowStride(), a.elemStride(), a.cols(), a.rows(), b.base(), b.rowStride(),
                          b.elemStride(), b.cols(), b.rows(), c.base(), c.rowStride(), c.elemStride());
  else
    return spMatMulMatF64(a.base(), a.rowStride(), a.elemStride(), a.cols(), a.rows(), b.base(), b.rowStride(),
                          b.elemStride(), b.cols(), b.rows(), c.base(), c.rowStride(), c.elemStride());
}

// How one matrix is laid out, in elements: "dense" rows of its width,
// "padded" rows three elements longer, "columns" stored column by column,
// "overlapping" rows one element apart, "spread" element stride 2.
enum class Shape { Dense, Padded, Columns, Overlapping, Spread };

template <class T>
StridedBlock<T> Place(int rows, int cols, Shape shape, int64_t offset) {
  const int64_t E = sizeof(T);
  switch (shape) {
    case Shape::Dense: return StridedBlock<T>(rows, cols, cols * E, E, offset);
    case Shape::Padded: return StridedBlock<T>(rows, cols, (cols + 3) * E, E, offset);
    case Shape::Columns: return StridedBlock<T>(rows, cols, E, rows * E, offset);
    case Shape::Overlapping: return StridedBlock<T>(rows, cols, E, E, offset);
    case Shape::Spread: return StridedBlock<T>(rows, cols, (2 * cols + 1) * E, 2 * E, offset);
  }
  return StridedBlock<T>(rows, cols, cols * E, E, offset);
}

struct Layout {
  const char* name;
  Shape a, b, c;
  int64_t offset;
};

const Layout kLayouts[] = {
    {"dense", Shape::Dense, Shape::Dense, Shape::Dense, 0},
    {"padded rows, odd multiples of 4", Shape::Padded, Shape::Padded, Shape::Padded, 4},
    {"dense, misaligned", Shape::Dense, Shape::Padded, Shape::Dense, 3},
    {"A and B overlapping rows", Shape::Overlapping, Shape::Overlapping, Shape::Padded, 8},
    {"A column-major", Shape::Columns, Shape::Dense, Shape::Dense, 0},
    {"B column-major, C spread", Shape::Dense, Shape::Columns, Shape::Spread, 12},
    {"all spread, misaligned", Shape::Spread, Shape::Spread, Shape::Spread, 1},
};

template <class T>
void CheckAgainstReference(int aRows, int inner, int bCols, const Layout& layout) {
  StridedBlock<T> a = Place<T>(aRows, inner, layout.a, layout.offset);
  StridedBlock<T> b = Place<T>(inner, bCols, layout.b, layout.offset);
  StridedBlock<T> c = Place<T>(aRows, bCols, layout.c, layout.offset);
  a.Fill(RandomValues<T>(static_cast<size_t>(aRows) * inner, aRows * 131 + inner));
  b.Fill(RandomValues<T>(static_cast<size_t>(inner) * bCols, bCols * 17 + 5));
  ASSERT_EQ(Product(a, b, c), spOk);
  const Reference ref = ProductLd(a, b);
  for (int i = 0; i < aRows; ++i)
    for (int k = 0; k < bCols; ++k) {
      const size_t at = static_cast<size_t>(i) * bCols + k;
      ASSERT_LE(std::fabs(c.Get(i, k) - ref.value[at]), ErrorBound<T>(inner, ref.magnitude[at]))
          << layout.name << ": " << aRows << "x" << inner << " times " << inner << "x" << bCols << " at (" << i << ", "
          << k << ")";
    }
  ASSERT_TRUE(c.GuardsIntact()) << layout.name << ": " << aRows << "x" << inner << " times " << inner << "x" << bCols;
}

template <class T>
void CheckShapes() {
  const int shapes[][3] = {{3, 3, 4}, {4, 3, 3}, {3, 1, 3}, {6, 6, 7}, {2, 5, 3}, {1, 7, 1}, {17, 13, 9}, {5, 5, 4}};
  for (const Layout& layout : kLayouts) {
    for (int n = 1; n <= 8; ++n) CheckAgainstReference<T>(n, n, n, layout);
    for (const auto& s : shapes) CheckAgainstReference<T>(s[0], s[1], s[2], layout);
  }
}

TEST_P(MatMatTest, MatchesLongDoubleReferenceF32) { CheckShapes<float>(); }
TEST_P(MatMatTest, MatchesLongDoubleReferenceF64) { CheckShapes<double>(); }

// A square matrix multiplied by itself (A and B the same memory).
TEST_P(MatMatTest, MatrixTimesItself) {
  for (int n : {2, 4, 5, 7}) {
    StridedBlock<float> a = StridedBlock<float>::Dense(n, n), c = StridedBlock<float>::Dense(n, n);
    a.Fill(RandomValues<float>(static_cast<size_t>(n) * n, 9));
    ASSERT_EQ(spMatMulMatF32(a.base(), 4 * n, 4, n, n, a.base(), 4 * n, 4, n, n, c.base(), 4 * n, 4), spOk);
    const Reference ref = ProductLd(a, a);
    for (int i = 0; i < n * n; ++i)
      EXPECT_LE(std::fabs(c.Read()[i] - ref.value[i]), ErrorBound<float>(n, ref.magnitude[i])) << n;
  }
}

// Rows of A (1, 2^-24, 2^-24, 0, ...) times a B of ones: 1 + 2^-23 when a sum
// is held in double and rounded once, 1 when every partial sum is rounded
// to float (each addition a tie that goes to the even value 1). Returns C.
std::vector<float> TieSums(int aRows, int inner, int bCols, bool unitStrides) {
  const int64_t E = 4, elem = unitStrides ? 1 : 2;
  StridedBlock<float> a(aRows, inner, inner * elem * E, elem * E), b(inner, bCols, bCols * elem * E, elem * E),
      c(aRows, bCols, bCols * elem * E, elem * E);
  std::vector<float> values(static_cast<size_t>(aRows) * inner, 0.0f);
  for (int i = 0; i < aRows; ++i) {
    values[i * inner] = 1.0f;
    values[i * inner + 1] = values[i * inner + 2] = std::ldexp(1.0f, -24);
  }
  a.Fill(values);
  b.Fill(std::vector<float>(static_cast<size_t>(inner) * bCols, 1.0f));
  EXPECT_EQ(Product(a, b, c), spOk);
  return c.Read();
}

TEST_P(MatMatTest, SinglePrecisionSumsOnTheSetsUnits) {
  const float wide = 1.0f + std::ldexp(1.0f, -23);
  const bool generic = SetIndex() == SP_SET_GENERIC;
  auto all = [](const std::vector<float>& v, float want) {
    for (float x : v)
      if (x != want) return false;
    return true;
  };
  // Unit strides: packed float square paths on the SIMD sets, the generic
  // (double) loop for every other shape.
  for (int n : {3, 4, 6}) EXPECT_TRUE(all(TieSums(n, n, n, true), generic ? wide : 1.0f)) << n;
  const std::vector<float> five = TieSums(5, 5, 5, true);
  for (int i = 0; i < 25; ++i)  // column 4 of the 5 x 5 path is summed in double
    EXPECT_EQ(five[i], i % 5 == 4 || generic ? wide : 1.0f) << "5 x 5 element " << i;
  EXPECT_TRUE(all(TieSums(1, 3, 1, true), wide)) << "1x3 times 3x1, unit strides";
  EXPECT_TRUE(all(TieSums(7, 7, 7, true), wide)) << "7 x 7, unit strides";
  // Byte strides: the square path sums in double on the generic and SSE3
  // sets, the general loops on the generic set only.
  const float square = generic || SetIndex() == SP_SET_SSE3 ? wide : 1.0f;
  for (int n = 3; n <= 6; ++n) EXPECT_TRUE(all(TieSums(n, n, n, false), square)) << n << ", byte strides";
  for (const auto& s : {std::array{1, 3, 1}, {7, 7, 7}, {3, 3, 4}, {4, 3, 3}})
    EXPECT_TRUE(all(TieSums(s[0], s[1], s[2], false), generic ? wide : 1.0f))
        << s[0] << "x" << s[1] << " times " << s[1] << "x" << s[2] << ", byte strides";
}

// A of ones times B of -0: every product is -0. The square paths start from
// the first product (-0), the general loops from +0.
template <class T>
void CheckSignedZeros() {
  for (int n = 1; n <= 8; ++n)
    for (bool unit : {true, false}) {
      const int64_t E = sizeof(T), elem = unit ? 1 : 3;
      StridedBlock<T> a(n, n, n * elem * E, elem * E), b(n, n, n * elem * E, elem * E), c(n, n, n * elem * E, elem * E);
      a.Fill(std::vector<T>(static_cast<size_t>(n) * n, T{1}));
      b.Fill(std::vector<T>(static_cast<size_t>(n) * n, -T{0}));
      ASSERT_EQ(Product(a, b, c), spOk);
      for (T x : c.Read()) EXPECT_EQ(std::signbit(x), n >= 3 && n <= 6) << n << "x" << n << " unit " << unit;
    }
}

TEST_P(MatMatTest, SquarePathKeepsTheSignOfANegativeZeroSum) {
  CheckSignedZeros<float>();
  CheckSignedZeros<double>();
}

// An infinite element of A reaches only the sums that contain it; a NaN
// makes its whole row of C NaN.
TEST_P(MatMatTest, InfinitiesAndNaNsStayInTheirRows) {
  for (int n : {3, 4, 7}) {
    StridedBlock<float> a = StridedBlock<float>::Dense(n, n), b = StridedBlock<float>::Dense(n, n),
                        c = StridedBlock<float>::Dense(n, n);
    std::vector<float> values = RandomValues<float>(static_cast<size_t>(n) * n, 2);
    values[1 * n + 2] = std::numeric_limits<float>::infinity();
    a.Fill(values);
    b.Fill(RandomValues<float>(static_cast<size_t>(n) * n, 3));
    ASSERT_EQ(Product(a, b, c), spOk);
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < n; ++k) EXPECT_EQ(std::isfinite(c.Get(i, k)), i != 1) << n << ": (" << i << ", " << k << ")";
    EXPECT_TRUE(c.GuardsIntact());

    StridedBlock<double> ad = StridedBlock<double>::Dense(n, n), bd = StridedBlock<double>::Dense(n, n),
                         cd = StridedBlock<double>::Dense(n, n);
    std::vector<double> dv = RandomValues<double>(static_cast<size_t>(n) * n, 4);
    dv[2 * n] = std::numeric_limits<double>::quiet_NaN();
    ad.Fill(dv);
    bd.Fill(RandomValues<double>(static_cast<size_t>(n) * n, 5));
    ASSERT_EQ(Product(ad, bd, cd), spOk);
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < n; ++k) EXPECT_EQ(std::isnan(cd.Get(i, k)), i == 2) << n << ": (" << i << ", " << k << ")";
  }
}

// Rows of C one element apart, so C(0, k + 1) and C(1, k) share an address:
// the element finished later in row-major order (row 1) stays.
TEST_P(MatMatTest, CoincidingElementsOfCKeepTheLaterOne) {
  StridedBlock<float> a = StridedBlock<float>::Dense(2, 3), b = StridedBlock<float>::Dense(3, 3);
  a.Fill({1, 2, 3, 4, 5, 6});
  b.Fill({1, 0, 0, 0, 1, 0, 0, 0, 1});  // identity: C = A
  StridedBlock<float> c(2, 3, 4, 4);
  ASSERT_EQ(spMatMulMatF32(a.base(), 12, 4, 3, 2, b.base(), 12, 4, 3, 3, c.base(), 4, 4), spOk);
  EXPECT_EQ(c.Get(0, 0), 1.0f);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(c.Get(1, k), a.Get(1, k));
}

SP_INSTANTIATE_FOR_ALL_SETS(MatMatTest);

// The bytes of C from one product under each set, on random data. Unit
// strides use rows and bases that are multiples of 16 bytes (aligned) or
// odd multiples of 4 (not); byte strides spread every matrix.
template <class T>
auto ResultsPerSet(int n, int inner, int cols, bool unitStrides, bool aligned) {
  return UnderEverySet([&] {
    const Shape shape = unitStrides ? Shape::Padded : Shape::Spread;
    const int64_t offset = aligned ? 0 : 4;
    const int64_t E = sizeof(T);
    // Padded rows of a 4-multiple length keep 16-byte alignment.
    auto place = [&](int rows, int width) {
      if (unitStrides && aligned) return StridedBlock<T>(rows, width, (width + 16 / E) / (16 / E) * 16, E, 0);
      return Place<T>(rows, width, shape, offset);
    };
    StridedBlock<T> a = place(n, inner), b = place(inner, cols), c = place(n, cols);
    a.Fill(RandomValues<T>(static_cast<size_t>(n) * inner, 21));
    b.Fill(RandomValues<T>(static_cast<size_t>(inner) * cols, 22));
    EXPECT_EQ(Product(a, b, c), spOk);
    return c.Read();
  });
}

template <class Results>
void ExpectSame(const Results& r, std::initializer_list<int> sets, const std::string& what) {
  int first = -1;
  for (int set : sets) {
    if (!r[set]) continue;
    if (first < 0)
      first = set;
    else
      EXPECT_EQ(std::memcmp(r[first]->data(), r[set]->data(), r[set]->size() * sizeof((*r[set])[0])), 0)
          << what << ": sets " << first << " and " << set << " differ";
  }
}

TEST(MatMatSets, BitIdenticalGroups) {
  const std::initializer_list<int> simd = {SP_SET_SSE, SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3};
  const std::initializer_list<int> every = {SP_SET_GENERIC, SP_SET_SSE, SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3};
  const int general[][3] = {{7, 7, 7}, {2, 2, 2}, {3, 3, 4}, {4, 3, 3}, {1, 1, 1}, {9, 11, 5}};
  for (bool aligned : {true, false}) {
    for (int n = 3; n <= 6; ++n) {
      const std::string what = std::to_string(n) + "x" + std::to_string(n) + (aligned ? " aligned" : " unaligned");
      ExpectSame(ResultsPerSet<float>(n, n, n, true, aligned), simd, "float unit-stride square " + what);
      const auto byteSquare = ResultsPerSet<float>(n, n, n, false, aligned);
      ExpectSame(byteSquare, {SP_SET_SSE, SP_SET_SSE2, SP_SET_SSSE3}, "float byte-stride square " + what);
      ExpectSame(byteSquare, {SP_SET_GENERIC, SP_SET_SSE3}, "float byte-stride square " + what);
      ExpectSame(ResultsPerSet<double>(n, n, n, true, aligned), every, "double unit-stride square " + what);
      ExpectSame(ResultsPerSet<double>(n, n, n, false, aligned), every, "double byte-stride square " + what);
    }
    for (const auto& s : general) {
      const std::string what = std::to_string(s[0]) + "x" + std::to_string(s[1]) + " times " + std::to_string(s[1]) +
                               "x" + std::to_string(s[2]);
      // The unit-stride general loop is the generic one in every set.
      ExpectSame(ResultsPerSet<float>(s[0], s[1], s[2], true, aligned), every, "float unit-stride " + what);
      ExpectSame(ResultsPerSet<float>(s[0], s[1], s[2], false, aligned), simd, "float byte-stride " + what);
      ExpectSame(ResultsPerSet<double>(s[0], s[1], s[2], true, aligned), every, "double unit-stride " + what);
      ExpectSame(ResultsPerSet<double>(s[0], s[1], s[2], false, aligned), every, "double byte-stride " + what);
    }
  }
}

// The 5 x 5 unit-stride path sums column 4 in double: bit for bit the
// generic kernel's value in every set.
TEST(MatMatSets, FiveByFiveLastColumnIsTheGenericValue) {
  const auto r = ResultsPerSet<float>(5, 5, 5, true, false);
  ASSERT_TRUE(r[SP_SET_GENERIC]);
  for (int set : {SP_SET_SSE, SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3}) {
    if (!r[set]) continue;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Bits((*r[set])[i * 5 + 4]), Bits((*r[SP_SET_GENERIC])[i * 5 + 4])) << set;
  }
}

}  // namespace

namespace {

// The generic set's two kernels compute the same values in the same order,
// so a product through unit strides and the same matrices spread out (the
// byte-stride kernel) are the same bytes: squares (their own path) and
// general shapes, both precisions.
template <class T>
void GenericKernelsAgree() {
  const int shapes[][3] = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4},  {5, 5, 5}, {6, 6, 6},
                           {7, 7, 7}, {3, 3, 4}, {4, 3, 3}, {9, 11, 5}, {1, 8, 2}};
  for (const auto& s : shapes) {
    const auto unit = ResultsPerSet<T>(s[0], s[1], s[2], true, false);
    const auto bytes = ResultsPerSet<T>(s[0], s[1], s[2], false, false);
    ASSERT_TRUE(unit[SP_SET_GENERIC] && bytes[SP_SET_GENERIC]);
    const auto& u = *unit[SP_SET_GENERIC];
    const auto& b = *bytes[SP_SET_GENERIC];
    ASSERT_EQ(u.size(), b.size());
    EXPECT_EQ(std::memcmp(u.data(), b.data(), u.size() * sizeof(T)), 0)
        << s[0] << "x" << s[1] << " times " << s[1] << "x" << s[2];
  }
}

TEST(MatMatSets, GenericUnitAndByteStrideKernelsAreBitIdentical) {
  GenericKernelsAgree<float>();
  GenericKernelsAgree<double>();
}

}  // namespace
