// Matrix times vector under every variant set: long-double references through
// dense, padded, column-major and overlapping-row layouts with strided and
// misaligned vectors; the square sizes 3 to 6 against the general loop
// (sizes 1 to 8); the precision of each set pinned by sums whose float and
// double roundings differ; signed zeros; and the sets that must agree bit for
// bit compared with memcmp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "matrix_test_support.h"
#include "primitives/matrix/sp_matrix.h"

namespace {

using namespace matrix_test;

class MatVecTest : public VariantSetTest {};

template <class T>
spStatus MatVec(StridedBlock<T>& mat, StridedBlock<T>& vec, StridedBlock<T>& dst) {
  if constexpr (std::is_same_v<T, float>)
    return spMatMulVecF32(mat.base(), mat.rowStride(), mat.elemStride(), mat.cols(), mat.rows(), vec.base(),
                          vec.rowStride(), vec.rows(), dst.base(), dst.rowStride());
  else
    return spMatMulVecF64(mat.base(), mat.rowStride(), mat.elemStride(), mat.cols(), mat.rows(), vec.base(),
                          vec.rowStride(), vec.rows(), dst.base(), dst.rowStride());
}

// One layout of a height x width matrix, its vector and its result.
struct Layout {
  const char* name;
  int64_t matRow, matElem, vec, dst;  // strides in elements; matRow 0: one row of width elements
  int64_t offset;                     // bytes past a 64-byte boundary, for all three arrays
};

template <class T>
void CheckAgainstReference(int width, int height, const Layout& layout) {
  constexpr int64_t E = sizeof(T);
  const int64_t matRow = layout.matRow == 0 ? width : layout.matRow;
  const int64_t matElem = layout.matElem == 0 ? height : layout.matElem;  // 0: column-major
  StridedBlock<T> mat(height, width, matRow * E, matElem * E, layout.offset);
  StridedBlock<T> vec(width, 1, layout.vec * E, E, layout.offset);
  StridedBlock<T> dst(height, 1, layout.dst * E, E, layout.offset);
  mat.Fill(RandomValues<T>(static_cast<size_t>(width) * height, width * 31 + height));
  vec.Fill(RandomValues<T>(width, 7));
  ASSERT_EQ(MatVec(mat, vec, dst), spOk);
  const Reference ref = ProductLd(mat, vec);
  for (int i = 0; i < height; ++i)
    ASSERT_LE(std::fabs(dst.Get(i, 0) - ref.value[i]), ErrorBound<T>(width, ref.magnitude[i]))
        << layout.name << " " << height << "x" << width << " row " << i;
  ASSERT_TRUE(dst.GuardsIntact()) << layout.name << " " << height << "x" << width;
}

const Layout kLayouts[] = {
    {"dense", 0, 1, 1, 1, 0},
    {"padded rows, strided vector and result", 11, 1, 3, 2, 0},
    {"column-major", 1, 0, 1, 1, 8},
    {"rows overlapping by all but one element", 1, 1, 1, 1, 4},
    {"element stride 2, misaligned", 17, 2, 1, 1, 3},
    {"unit strides, misaligned", 0, 1, 1, 1, 1},
};

template <class T>
void CheckShapes() {
  for (const Layout& layout : kLayouts) {
    for (int n = 1; n <= 8; ++n) CheckAgainstReference<T>(n, n, layout);
    for (auto [w, h] : {std::pair{4, 3}, {3, 4}, {1, 6}, {6, 1}, {5, 7}, {37, 23}, {300, 2}})
      CheckAgainstReference<T>(w, h, layout);
  }
}

TEST_P(MatVecTest, MatchesLongDoubleReferenceF32) { CheckShapes<float>(); }
TEST_P(MatVecTest, MatchesLongDoubleReferenceF64) { CheckShapes<double>(); }

// Each row (1, 2^-24, 2^-24, 0, ...) times ones: 1 + 2^-23 when the sum is
// held in double and rounded once, 1 when every partial sum is rounded to
// float (each addition is a tie that goes to the even value 1).
float RowSumF32(int width, int height, bool unitStrides) {
  const int64_t E = 4, elem = unitStrides ? 1 : 2;
  StridedBlock<float> mat(height, width, width * elem * E, elem * E), vec(width, 1, elem * E, E),
      dst(height, 1, elem * E, E);
  std::vector<float> m(static_cast<size_t>(width) * height, 0.0f);
  for (int i = 0; i < height; ++i) {
    m[i * width] = 1.0f;
    m[i * width + 1] = m[i * width + 2] = std::ldexp(1.0f, -24);
  }
  mat.Fill(m);
  vec.Fill(std::vector<float>(width, 1.0f));
  EXPECT_EQ(MatVec(mat, vec, dst), spOk);
  return dst.Get(height - 1, 0);
}

TEST_P(MatVecTest, SinglePrecisionSumsOnTheSetsUnit) {
  const float wide = 1.0f + std::ldexp(1.0f, -23);
  const bool generic = SetIndex() == SP_SET_GENERIC;
  // The square path sums in double on the generic and SSE3 sets.
  const float square = generic || SetIndex() == SP_SET_SSE3 ? wide : 1.0f;
  // The general loop sums in double on the generic set only.
  const float general = generic ? wide : 1.0f;
  for (bool unit : {true, false}) {
    for (int n = 3; n <= 6; ++n) EXPECT_EQ(RowSumF32(n, n, unit), square) << n << " unit " << unit;
    EXPECT_EQ(RowSumF32(3, 1, unit), general) << "1 x 3, unit " << unit;
    EXPECT_EQ(RowSumF32(7, 7, unit), general) << "7 x 7, unit " << unit;
    EXPECT_EQ(RowSumF32(2 + 2, 3, unit), general) << "3 x 4, unit " << unit;
  }
}

// Double precision, 4 x 4 rows (1, 0, 2^-53, 2^-53) times ones: the packed
// unit-stride square path of SSE2, SSE3 and SSSE3 adds in pairs,
// (1 + 0) + (2^-53 + 2^-53) = 1 + 2^-52; left to right every addition of
// 2^-53 to 1 is a tie that stays at 1.
TEST_P(MatVecTest, DoublePrecisionSquareSumsPairwiseOnlyOnThePackedPath) {
  const double pairwise = 1.0 + std::ldexp(1.0, -52);
  for (bool unit : {true, false}) {
    const int64_t E = 8, elem = unit ? 1 : 3;
    StridedBlock<double> mat(4, 4, 4 * elem * E, elem * E), vec(4, 1, elem * E, E), dst(4, 1, elem * E, E);
    std::vector<double> m;
    for (int i = 0; i < 4; ++i) m.insert(m.end(), {1.0, 0.0, std::ldexp(1.0, -53), std::ldexp(1.0, -53)});
    mat.Fill(m);
    vec.Fill({1.0, 1.0, 1.0, 1.0});
    ASSERT_EQ(MatVec(mat, vec, dst), spOk);
    const double want = unit && SetIndex() >= SP_SET_SSE2 ? pairwise : 1.0;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.Get(i, 0), want) << "row " << i << " unit " << unit;
  }
}

// Rows of -1 against a vector of +0: every product is -0. The square path
// starts from the first product (-0); the general loop starts from +0.
template <class T>
void CheckSignedZeros() {
  for (int n = 1; n <= 8; ++n) {
    for (bool unit : {true, false}) {
      const int64_t E = sizeof(T), elem = unit ? 1 : 2;
      StridedBlock<T> mat(n, n, n * elem * E, elem * E), vec(n, 1, elem * E, E), dst(n, 1, elem * E, E);
      mat.Fill(std::vector<T>(static_cast<size_t>(n) * n, T{-1}));
      vec.Fill(std::vector<T>(n, T{0}));
      ASSERT_EQ(MatVec(mat, vec, dst), spOk);
      const bool square = n >= 3 && n <= 6;
      for (int i = 0; i < n; ++i)
        EXPECT_EQ(std::signbit(dst.Get(i, 0)), square) << n << "x" << n << " unit " << unit << " row " << i;
    }
  }
}

TEST_P(MatVecTest, SquarePathKeepsTheSignOfANegativeZeroSum) {
  CheckSignedZeros<float>();
  CheckSignedZeros<double>();
}

SP_INSTANTIATE_FOR_ALL_SETS(MatVecTest);

// The result bytes of one call under each set, on random data.
template <class T>
auto ResultsPerSet(int width, int height, bool unitStrides) {
  return UnderEverySet([&] {
    const int64_t E = sizeof(T), elem = unitStrides ? 1 : 2;
    StridedBlock<T> mat(height, width, (width * elem + 1) * E, elem * E, 4), vec(width, 1, elem * E, E),
        dst(height, 1, elem * E, E);
    mat.Fill(RandomValues<T>(static_cast<size_t>(width) * height, 3));
    vec.Fill(RandomValues<T>(width, 4));
    EXPECT_EQ(MatVec(mat, vec, dst), spOk);
    return dst.Bytes();
  });
}

// Sets that must give identical bytes; unsupported sets are left out.
template <class Results>
void ExpectSameBytes(const Results& r, std::initializer_list<int> sets, const std::string& what) {
  const std::vector<unsigned char>* first = nullptr;
  for (int set : sets) {
    if (!r[set]) continue;
    if (first == nullptr)
      first = &*r[set];
    else
      EXPECT_TRUE(*first == *r[set]) << what << ": set " << set << " differs";
  }
}

TEST(MatVecSets, BitIdenticalGroups) {
  for (bool unit : {true, false}) {
    const std::string strides = unit ? "unit strides" : "byte strides";
    for (int n = 3; n <= 6; ++n) {
      const auto f = ResultsPerSet<float>(n, n, unit);
      // Square float sums: in float on SSE, SSE2, SSSE3; in double on generic and SSE3.
      ExpectSameBytes(f, {SP_SET_SSE, SP_SET_SSE2, SP_SET_SSSE3}, "float square " + strides);
      ExpectSameBytes(f, {SP_SET_GENERIC, SP_SET_SSE3}, "float square " + strides);
      const auto d = ResultsPerSet<double>(n, n, unit);
      if (unit) {
        ExpectSameBytes(d, {SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3}, "double square, packed pairs");
        ExpectSameBytes(d, {SP_SET_GENERIC, SP_SET_SSE}, "double square, left to right");
      } else {
        ExpectSameBytes(d, {SP_SET_GENERIC, SP_SET_SSE, SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3}, "double square");
      }
    }
    for (auto [w, h] : {std::pair{7, 7}, {2, 2}, {9, 4}, {64, 16}}) {
      ExpectSameBytes(ResultsPerSet<float>(w, h, unit), {SP_SET_SSE, SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3},
                      "float general " + strides);
      ExpectSameBytes(ResultsPerSet<double>(w, h, unit),
                      {SP_SET_GENERIC, SP_SET_SSE, SP_SET_SSE2, SP_SET_SSE3, SP_SET_SSSE3},
                      "double general " + strides);
    }
  }
}

}  // namespace
