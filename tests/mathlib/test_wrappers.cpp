// The duvuv wrappers: argument order, fixed arguments, value returns and
// messages, on small fixtures with answers worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "Mathlib/MathlibPrim.h"
#include "platform/debug_output.h"
#include "support/variant_sets.h"

namespace {

class MathlibWrapperTest : public VariantSetTest {};

using F = std::vector<float>;
using D = std::vector<double>;

TEST_P(MathlibWrapperTest, BinaryArraysKeepTheirOrder) {
  struct Case {
    const char* name;
    spStatus (*fn)(const float*, const float*, float*, int32_t);
    F expected;
  } cases[] = {
      {"add", duvuvAddF32, {7, 4}},
      {"sub", duvuvSubF32, {3, -2}},  // a - b
      {"mul", duvuvMulF32, {10, 3}},
  };
  const F a = {5, 1}, b = {2, 3};
  for (const auto& c : cases) {
    F dst(2, -1);
    EXPECT_EQ(c.fn(a.data(), b.data(), dst.data(), 2), spOk) << c.name;
    EXPECT_EQ(dst, c.expected) << c.name;
    EXPECT_EQ(c.fn(nullptr, b.data(), dst.data(), 2), spErrNullPointer) << c.name;
    EXPECT_EQ(c.fn(a.data(), b.data(), dst.data(), 0), spErrLength) << c.name;
  }
  D da = {5, 1}, db = {2, 3}, dd(2);
  EXPECT_EQ(duvuvSubF64(da.data(), db.data(), dd.data(), 2), spOk);
  EXPECT_EQ(dd, (D{3, -2}));
}

TEST_P(MathlibWrapperTest, InPlaceAndConstantForms) {
  F x = {1, 2, 3};
  const F s = {1, 1, 1};
  EXPECT_EQ(duvuvSubInPlaceF32(s.data(), x.data(), 3), spOk);  // x - s
  EXPECT_EQ(x, (F{0, 1, 2}));
  EXPECT_EQ(duvuvAddInPlaceF32(s.data(), x.data(), 3), spOk);
  EXPECT_EQ(x, (F{1, 2, 3}));
  EXPECT_EQ(duvuvMulConstInPlaceF32(2.0f, x.data(), 3), spOk);
  EXPECT_EQ(x, (F{2, 4, 6}));
  EXPECT_EQ(duvuvAddConstInPlaceF32(-1.0f, x.data(), 3), spOk);
  EXPECT_EQ(x, (F{1, 3, 5}));
  D y = {-1.5, 2.0};
  D ay(2);
  EXPECT_EQ(duvuvAbsF64(y.data(), ay.data(), 2), spOk);
  EXPECT_EQ(ay, (D{1.5, 2.0}));
  EXPECT_EQ(duvuvSqrInPlaceF64(y.data(), 2), spOk);
  EXPECT_EQ(y, (D{2.25, 4.0}));
  // (1+2i)(3-i) = 5+5i
  const F ca = {1, 2}, cb = {3, -1};
  F cd(2);
  EXPECT_EQ(duvuvMulC32(ca.data(), cb.data(), cd.data(), 1), spOk);
  EXPECT_EQ(cd, (F{5, 5}));
  EXPECT_EQ(duvuvConjInPlaceC32(cd.data(), 1), spOk);
  EXPECT_EQ(cd, (F{5, -5}));
}

TEST_P(MathlibWrapperTest, StatisticsReturnValues) {
  const F v = {3, -1, 7, 7, -1};
  int32_t index = -5;
  EXPECT_EQ(duvuvSumF32(v.data(), 5), 15.0f);
  EXPECT_EQ(duvuvMeanF32(v.data(), 5), 3.0f);
  EXPECT_EQ(duvuvMaxIndexF32(v.data(), 5, &index), 7.0f);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(duvuvMinIndexF32(v.data(), 5, &index), -1.0f);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(duvuvMaxIndexF32(v.data(), 5, nullptr), 7.0f);
  EXPECT_EQ(duvuvMaxF32(v.data(), 5), 7.0f);
  EXPECT_EQ(duvuvMinF32(v.data(), 5), -1.0f);
  const D d = {2, 4, 4, 4, 5, 5, 7, 9};
  EXPECT_NEAR(duvuvStdDevF64(d.data(), 8), std::sqrt(32.0 / 7.0), 1e-15);
  EXPECT_NEAR(duvuvStdDevF32(F(d.begin(), d.end()).data(), 8), std::sqrt(32.0 / 7.0), 1e-5);
  const std::vector<int32_t> iv = {4, -9, 12, 12};
  EXPECT_EQ(duvuvMaxIndexI32(iv.data(), 4, &index), 12);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(duvuvMinI32(iv.data(), 4), -9);
  const F a = {1, 2, 3}, b = {4, 5, 6};
  EXPECT_EQ(duvuvDotF32(a.data(), b.data(), 3), 32.0f);
  EXPECT_EQ(duvuvDotF64(D{1, 2}.data(), D{3, 4}.data(), 2), 11.0);
}

// Fills the stack below the caller with a non-zero pattern, so that a
// wrapper's result location that nobody set would not read as 0 by chance.
__attribute__((noinline)) void PaintStackBelow() {
  volatile unsigned char area[16384];
  for (auto& byte : area) byte = 0x7F;
}

TEST_P(MathlibWrapperTest, StatisticsGiveZeroWhenThePrimitiveFails) {
  const F v = {3, -1, 7};
  const D d = {2, 4};
  const std::vector<int32_t> iv = {4, -9};
  int32_t index = -5;
  struct Case {
    const char* name;
    std::function<double()> call;
  } cases[] = {
      {"SumF32", [&] { return double{duvuvSumF32(nullptr, 3)}; }},
      {"SumF64", [&] { return duvuvSumF64(d.data(), 0); }},
      {"MeanF32", [&] { return double{duvuvMeanF32(v.data(), 0)}; }},
      {"MeanF64", [&] { return duvuvMeanF64(nullptr, 2); }},
      {"StdDevF32", [&] { return double{duvuvStdDevF32(v.data(), 1)}; }},
      {"StdDevF64", [&] { return duvuvStdDevF64(d.data(), 1); }},
      {"MaxI32", [&] { return double(duvuvMaxI32(nullptr, 2)); }},
      {"MaxF32", [&] { return double{duvuvMaxF32(v.data(), 0)}; }},
      {"MaxF64", [&] { return duvuvMaxF64(nullptr, 2); }},
      {"MinI32", [&] { return double(duvuvMinI32(iv.data(), -1)); }},
      {"MinF32", [&] { return double{duvuvMinF32(nullptr, 3)}; }},
      {"MinF64", [&] { return duvuvMinF64(d.data(), 0); }},
      {"MaxIndexI32", [&] { return double(duvuvMaxIndexI32(nullptr, 2, &index)); }},
      {"MaxIndexF32", [&] { return double{duvuvMaxIndexF32(v.data(), 0, &index)}; }},
      {"MaxIndexF64", [&] { return duvuvMaxIndexF64(nullptr, 2, &index); }},
      {"MinIndexI32", [&] { return double(duvuvMinIndexI32(iv.data(), 0, &index)); }},
      {"MinIndexF32", [&] { return double{duvuvMinIndexF32(nullptr, 3, &index)}; }},
      {"MinIndexF64", [&] { return duvuvMinIndexF64(nullptr, 2, &index); }},
      {"DotF32", [&] { return double{duvuvDotF32(v.data(), v.data(), 0)}; }},
      {"DotF64", [&] { return duvuvDotF64(d.data(), nullptr, 2); }},
  };
  for (const auto& c : cases) {
    PaintStackBelow();
    EXPECT_EQ(c.call(), 0.0) << c.name;
  }
  EXPECT_EQ(index, -5);
}

TEST_P(MathlibWrapperTest, ThresholdModes) {
  struct Case {
    int32_t mode;
    D expected;
  } cases[] = {{1, {1, 2, 2}}, {0, {2, 2, 3}}, {2, {2, 2, 3}}};
  for (const auto& c : cases) {
    D x = {1, 2, 3};
    EXPECT_EQ(duvuvThresholdF64(x.data(), 3, 2.0, c.mode), spOk);
    EXPECT_EQ(x, c.expected) << c.mode;
    F xf = {1, 2, 3};
    EXPECT_EQ(duvuvThresholdF32(xf.data(), 3, 2.0f, c.mode), spOk);
    EXPECT_EQ(D(xf.begin(), xf.end()), c.expected) << c.mode;
  }
}

TEST_P(MathlibWrapperTest, WarningsWriteOneMessageEach) {
  DebugOutputCapture capture;
  F x = {0, 2, 0};
  EXPECT_EQ(duvuvInvThresh(x.data(), 3, 0.0f), spWarnDivByZero);
  EXPECT_EQ(x[0], std::numeric_limits<float>::infinity());
  EXPECT_EQ(x[1], 0.5f);
  EXPECT_EQ(x[2], std::numeric_limits<float>::infinity());
  EXPECT_EQ(capture.Lines(), 1);
  EXPECT_NE(capture.Text().find("Error: Division by zero, caused by zero value and zero threshold in duvuvInvThresh\n"),
            std::string::npos);

  capture.Clear();
  const D neg = {-1, 4, -9};
  D root(3);
  EXPECT_EQ(duvuvSqrt2F64(neg.data(), root.data(), 3), spWarnSqrtNegative);
  EXPECT_TRUE(std::isnan(root[0]));
  EXPECT_EQ(root[1], 2.0);
  EXPECT_EQ(capture.Lines(), 1);
  EXPECT_NE(capture.Text().find("Error: Square root of negative elements, when calling duvuvSqrt2\n"),
            std::string::npos);

  capture.Clear();
  const F ok = {4, 9};
  F froot(2);
  EXPECT_EQ(duvuvSqrt2(ok.data(), froot.data(), 2), spOk);
  EXPECT_EQ(duvuvSqrt2(nullptr, froot.data(), 2), spErrNullPointer);
  EXPECT_EQ(capture.Lines(), 0);
  EXPECT_NEAR(froot[1], 3.0f, 1e-6);
}

TEST_P(MathlibWrapperTest, MemoryLayoutAndGenerators) {
  F dst(3, 9);
  EXPECT_EQ(duvuvSetF32(-0.5f, dst.data(), 3), spOk);
  EXPECT_EQ(dst, (F{-0.5f, -0.5f, -0.5f}));
  EXPECT_EQ(duvuvZeroF32(dst.data(), 2), spOk);
  EXPECT_EQ(dst, (F{0, 0, -0.5f}));
  const F src = {1, 2, 3};
  EXPECT_EQ(duvuvCopyF32(src.data(), dst.data(), 3), spOk);
  EXPECT_EQ(dst, src);
  const F c = {1, 2, 3, 4};
  F re(2), im(2);
  EXPECT_EQ(duvuvSplitComplexC32(c.data(), re.data(), im.data(), 2), spOk);
  EXPECT_EQ(re, (F{1, 3}));
  EXPECT_EQ(im, (F{2, 4}));

  // The seed word moves on and the same seed gives the same values.
  int32_t seed1 = 1234, seed2 = 1234;
  D g1(5), g2(5);
  EXPECT_EQ(duvuvRandGaussF64(g1.data(), 5, 0.0, 1.0, &seed1), spOk);
  EXPECT_EQ(duvuvRandGaussF64(g2.data(), 5, 0.0, 1.0, &seed2), spOk);
  EXPECT_EQ(g1, g2);
  EXPECT_NE(seed1, 1234);

  const F ones = {1, 1, 1};
  F w(3);
  EXPECT_EQ(duvuvWinHannF32(ones.data(), w.data(), 3), spOk);
  EXPECT_EQ(w, (F{0, 1, 0}));
  EXPECT_EQ(duvuvWinHammingF32(ones.data(), w.data(), 2), spErrLength);

  F e = {0.0f, 1.0f};
  EXPECT_EQ(duvuvExpInPlaceF32(e.data(), 2), spOk);
  EXPECT_NEAR(e[0], 1.0f, 1e-6);
  EXPECT_NEAR(e[1], 2.7182817f, 1e-6);
  D l = {1.0, std::exp(2.0)};
  EXPECT_EQ(duvuvLnInPlaceF64(l.data(), 2), spOk);
  EXPECT_NEAR(l[1], 2.0, 1e-15);
}

SP_INSTANTIATE_FOR_ALL_SETS(MathlibWrapperTest);

}  // namespace
