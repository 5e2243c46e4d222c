// Argument checks of the matrix primitives under every variant set: the fixed
// order (null pointers, counts, size mismatch, strides), the stride rule, and
// that a failing call writes nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "matrix_test_support.h"
#include "primitives/matrix/sp_matrix.h"

namespace {

using namespace matrix_test;

class MatrixChecksTest : public VariantSetTest {};

// A call with valid arguments that each case spoils in one or more places.
template <class T>
struct Args {
  const T* a;
  const T* b;
  T* out;
  int32_t s[6];  // strides in the primitive's order
  int32_t n[4];  // counts in the primitive's order
};

template <class T>
struct Case {
  std::string name;
  std::function<void(Args<T>&)> spoil;
  spStatus expected;
};

// Runs every case on a guard-filled output laid out by the case's output
// strides (slots rowSlot and elemSlot; elemSlot -1: one element) and checks
// the status; on an error nothing may be written.
template <class T, class Call>
void RunCases(const Args<T>& valid, const std::vector<Case<T>>& cases, Call call, int rows, int cols, int rowSlot,
              int elemSlot) {
  for (const auto& c : cases) {
    T placeholder{};
    Args<T> args = valid;
    args.out = &placeholder;  // a case may set it null
    c.spoil(args);
    const int32_t rowStride = args.s[rowSlot] > 0 ? args.s[rowSlot] : valid.s[rowSlot];
    const int32_t elemStride = elemSlot < 0 ? sizeof(T) : args.s[elemSlot] > 0 ? args.s[elemSlot] : valid.s[elemSlot];
    StridedBlock<T> out(rows, cols, rowStride, elemStride);
    if (args.out != nullptr) args.out = out.base();
    EXPECT_EQ(call(args), c.expected) << c.name;
    if (c.expected != spOk)
      EXPECT_TRUE(out.Untouched()) << c.name << " wrote to the output";
    else
      EXPECT_TRUE(out.GuardsIntact()) << c.name;
  }
}

template <class T>
std::vector<Case<T>> StrideRuleCases(int slots, spStatus ok) {
  constexpr int32_t E = sizeof(T);
  std::vector<Case<T>> cases;
  for (int slot = 0; slot < slots; ++slot)
    for (int32_t bad : {0, -E, E / 2, E + E / 2, E == 8 ? 4 : 2})
      cases.push_back({"stride " + std::to_string(slot) + " = " + std::to_string(bad),
                       [slot, bad](Args<T>& a) { a.s[slot] = bad; }, spErrStride});
  for (int32_t good : {E, 2 * E, 3 * E})
    cases.push_back({"valid stride " + std::to_string(good),
                     [good, slots](Args<T>& a) {
                       for (int slot = 0; slot < slots; ++slot) a.s[slot] = std::max(a.s[slot], good);
                     },
                     ok});
  return cases;
}

template <class T>
void CheckMulConst(spStatus (*fn)(const T*, int32_t, T, T*, int32_t, int32_t)) {
  constexpr int32_t E = sizeof(T);
  std::vector<T> src(64, T{1});
  const Args<T> valid{src.data(), nullptr, nullptr, {E, 3 * E}, {8}};
  std::vector<Case<T>> cases = {
      {"valid", [](Args<T>&) {}, spOk},
      {"src null, len 0",
       [](Args<T>& a) {
         a.a = nullptr;
         a.n[0] = 0;
       },
       spErrNullPointer},
      {"dst null, bad stride",
       [](Args<T>& a) {
         a.out = nullptr;
         a.s[0] = 6;
       },
       spErrNullPointer},
      {"len 0, src stride 6",
       [](Args<T>& a) {
         a.n[0] = 0;
         a.s[0] = 6;
       },
       spErrLength},
      {"len -1", [](Args<T>& a) { a.n[0] = -1; }, spErrLength},
  };
  for (auto& c : StrideRuleCases<T>(2, spOk)) cases.push_back(c);
  RunCases(
      valid, cases, [&](const Args<T>& a) { return fn(a.a, a.s[0], T{2}, a.out, a.s[1], a.n[0]); }, 8, 1, 1, -1);
}

TEST_P(MatrixChecksTest, MultiplyByConstant) {
  CheckMulConst<float>(spMulConstStridedF32);
  CheckMulConst<double>(spMulConstStridedF64);
}

template <class T>
void CheckMatVec(spStatus (*fn)(const T*, int32_t, int32_t, int32_t, int32_t, const T*, int32_t, int32_t, T*,
                                int32_t)) {
  constexpr int32_t E = sizeof(T);
  std::vector<T> mat(64, T{1}), vec(16, T{1});
  // 4 x 3 matrix, rows 4 elements apart; strides: mat row, mat elem, vec, dst.
  const Args<T> valid{mat.data(), vec.data(), nullptr, {4 * E, E, E, 2 * E}, {3, 4, 3}};
  std::vector<Case<T>> cases = {
      {"valid", [](Args<T>&) {}, spOk},
      {"mat null",
       [](Args<T>& a) {
         a.a = nullptr;
         a.n[0] = 0;
       },
       spErrNullPointer},
      {"vec null", [](Args<T>& a) { a.b = nullptr; }, spErrNullPointer},
      {"dst null", [](Args<T>& a) { a.out = nullptr; }, spErrNullPointer},
      {"height 0 and width != vecLen",
       [](Args<T>& a) {
         a.n[1] = 0;
         a.n[2] = 5;
       },
       spErrLength},
      {"width 0", [](Args<T>& a) { a.n[0] = 0; }, spErrLength},
      {"vecLen 0", [](Args<T>& a) { a.n[2] = 0; }, spErrLength},
      {"width 3, vecLen 4, dst stride 2",
       [](Args<T>& a) {
         a.n[2] = 4;
         a.s[3] = 2;
       },
       spErrSizeMismatch},
      {"one row, row stride 0",
       [](Args<T>& a) {
         a.n[1] = 1;
         a.s[0] = 0;
       },
       spErrStride},
      // Rows overlapping by all but one element are a valid layout.
      {"row stride of one element",
       [](Args<T>& a) {
         a.s[0] = E;
         a.s[3] = E;
       },
       spOk},
  };
  for (auto& c : StrideRuleCases<T>(4, spOk)) cases.push_back(c);
  RunCases(
      valid, cases,
      [&](const Args<T>& a) { return fn(a.a, a.s[0], a.s[1], a.n[0], a.n[1], a.b, a.s[2], a.n[2], a.out, a.s[3]); }, 4,
      1, 3, -1);
}

TEST_P(MatrixChecksTest, MatrixTimesVector) {
  CheckMatVec<float>(spMatMulVecF32);
  CheckMatVec<double>(spMatMulVecF64);
}

template <class T>
void CheckMatMat(spStatus (*fn)(const T*, int32_t, int32_t, int32_t, int32_t, const T*, int32_t, int32_t, int32_t,
                                int32_t, T*, int32_t, int32_t)) {
  constexpr int32_t E = sizeof(T);
  std::vector<T> a(64, T{1}), b(64, T{1});
  // A 2 x 3 (aWidth 3, aHeight 2) times B 3 x 2; counts aWidth, aHeight,
  // bWidth, bHeight; strides A row/elem, B row/elem, C row/elem.
  const Args<T> valid{a.data(), b.data(), nullptr, {3 * E, E, 2 * E, E, 3 * E, E}, {3, 2, 2, 3}};
  std::vector<Case<T>> cases = {
      {"valid", [](Args<T>&) {}, spOk},
      {"A null",
       [](Args<T>& a) {
         a.a = nullptr;
         a.n[0] = 0;
       },
       spErrNullPointer},
      {"B null", [](Args<T>& a) { a.b = nullptr; }, spErrNullPointer},
      {"C null", [](Args<T>& a) { a.out = nullptr; }, spErrNullPointer},
      {"aHeight 0 and aWidth != bHeight",
       [](Args<T>& a) {
         a.n[1] = 0;
         a.n[3] = 5;
       },
       spErrLength},
      {"aWidth 0", [](Args<T>& a) { a.n[0] = 0; }, spErrLength},
      {"bWidth 0", [](Args<T>& a) { a.n[2] = 0; }, spErrLength},
      {"bHeight -3", [](Args<T>& a) { a.n[3] = -3; }, spErrLength},
      {"aWidth 3, bHeight 2",
       [](Args<T>& a) {
         a.n[3] = 2;
         a.s[0] = 2;
       },
       spErrSizeMismatch},
      {"aWidth 3, bHeight 2, bWidth 7",
       [](Args<T>& a) {
         a.n[3] = 2;
         a.n[2] = 7;
       },
       spErrSizeMismatch},
      // A row stride is checked even for one row.
      {"one row, C row stride 0",
       [](Args<T>& a) {
         a.n[1] = 1;
         a.s[4] = 0;
       },
       spErrStride},
  };
  for (auto& c : StrideRuleCases<T>(6, spOk)) cases.push_back(c);
  RunCases(
      valid, cases,
      [&](const Args<T>& a) {
        return fn(a.a, a.s[0], a.s[1], a.n[0], a.n[1], a.b, a.s[2], a.s[3], a.n[2], a.n[3], a.out, a.s[4], a.s[5]);
      },
      2, 2, 4, 5);
}

TEST_P(MatrixChecksTest, MatrixProduct) {
  CheckMatMat<float>(spMatMulMatF32);
  CheckMatMat<double>(spMatMulMatF64);
}

template <class T>
void CheckCopy(spStatus (*fn)(const T*, int32_t, int32_t, T*, int32_t, int32_t, int32_t, int32_t)) {
  constexpr int32_t E = sizeof(T);
  std::vector<T> src(64, T{1});
  // Strides: src row, src elem, dst row, dst elem; counts width, height.
  const Args<T> valid{src.data(), nullptr, nullptr, {3 * E, E, 4 * E, E}, {3, 2}};
  std::vector<Case<T>> cases = {
      {"valid", [](Args<T>&) {}, spOk},
      {"src null",
       [](Args<T>& a) {
         a.a = nullptr;
         a.n[0] = 0;
       },
       spErrNullPointer},
      {"dst null", [](Args<T>& a) { a.out = nullptr; }, spErrNullPointer},
      {"width 0, height 0",
       [](Args<T>& a) {
         a.n[0] = 0;
         a.n[1] = 0;
       },
       spErrLength},
      {"width 3, height 0",
       [](Args<T>& a) {
         a.n[1] = 0;
         a.s[1] = 0;
       },
       spErrRowCount},
      {"element stride 0 (a broadcast)", [](Args<T>& a) { a.s[1] = 0; }, spErrStride},
      {"dst element stride 4 or 2", [](Args<T>& a) { a.s[3] = E == 8 ? 4 : 2; }, spErrStride},
      {"two rows, src row stride 0", [](Args<T>& a) { a.s[0] = 0; }, spErrStride},
      {"two rows, dst row stride -7", [](Args<T>& a) { a.s[2] = -7; }, spErrStride},
  };
  RunCases(
      valid, cases, [&](const Args<T>& a) { return fn(a.a, a.s[0], a.s[1], a.out, a.s[2], a.s[3], a.n[0], a.n[1]); }, 2,
      3, 2, 3);

  // One row never steps by a row stride: any value there copies the row.
  for (int32_t rowStride : {0, -7, 3}) {
    StridedBlock<T> row(1, 3, 3 * E, E);
    const std::vector<T> values = {T{1}, T{-2}, T{3}};
    EXPECT_EQ(fn(values.data(), rowStride, E, row.base(), rowStride, E, 3, 1), spOk) << rowStride;
    EXPECT_EQ(row.Read(), values);
  }
}

TEST_P(MatrixChecksTest, TwoDimensionalCopy) {
  CheckCopy<float>(spCopy2DStridedF32);
  CheckCopy<double>(spCopy2DStridedF64);
}

SP_INSTANTIATE_FOR_ALL_SETS(MatrixChecksTest);

}  // namespace
