// Mean removal and the correlation coefficient.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Mathlib/MathlibStats.h"
#include "support/variant_sets.h"

namespace {

class MathlibStatsTest : public VariantSetTest {};

TEST_P(MathlibStatsTest, RemoveMean) {
  std::vector<float> a = {1, 2, 3};
  EXPECT_EQ(MathlibRemoveMeanF32(a.data(), 3), spOk);
  EXPECT_EQ(a, (std::vector<float>{-1, 0, 1}));
  std::vector<double> b = {2, 2};
  EXPECT_EQ(MathlibRemoveMeanF64(b.data(), 2), spOk);
  EXPECT_EQ(b, (std::vector<double>{0, 0}));
  EXPECT_EQ(MathlibRemoveMeanF64(b.data(), 0), spErrLength);
  EXPECT_EQ(MathlibRemoveMeanF64(nullptr, 2), spErrNullPointer);
  EXPECT_EQ(MathlibRemoveMeanF32(nullptr, 2), spErrNullPointer);
}

TEST_P(MathlibStatsTest, CorrelationCoefficient) {
  const std::vector<double> x = {1, 2, 3, 4.5, -2};
  std::vector<double> same = x, neg, affine;
  for (double v : x) {
    neg.push_back(-v);
    affine.push_back(3 * v + 5);
  }
  EXPECT_NEAR(MathlibCorrCoefF64(x.data(), same.data(), 5), 1.0, 1e-15);
  EXPECT_NEAR(MathlibCorrCoefF64(x.data(), neg.data(), 5), -1.0, 1e-15);
  EXPECT_NEAR(MathlibCorrCoefF64(x.data(), affine.data(), 5), 1.0, 1e-15);
  const std::vector<float> xf(x.begin(), x.end()), nf(neg.begin(), neg.end()), af(affine.begin(), affine.end());
  EXPECT_NEAR(MathlibCorrCoefF32(xf.data(), xf.data(), 5), 1.0f, 1e-6);
  EXPECT_NEAR(MathlibCorrCoefF32(xf.data(), nf.data(), 5), -1.0f, 1e-6);
  EXPECT_NEAR(MathlibCorrCoefF32(xf.data(), af.data(), 5), 1.0f, 1e-6);

  const std::vector<double> p = {1, 2, 3}, q = {1, 3, 2};
  EXPECT_NEAR(MathlibCorrCoefF64(p.data(), q.data(), 3), 0.5, 1e-15);
  const std::vector<double> constant = {4, 4, 4};
  const std::vector<double> withNan = {1, std::numeric_limits<double>::quiet_NaN(), 3};
  EXPECT_EQ(MathlibCorrCoefF64(constant.data(), q.data(), 3), 0.0);
  EXPECT_EQ(MathlibCorrCoefF64(q.data(), constant.data(), 3), 0.0);
  EXPECT_EQ(MathlibCorrCoefF64(p.data(), q.data(), 0), 0.0);
  EXPECT_EQ(MathlibCorrCoefF64(p.data(), q.data(), -1), 0.0);
  EXPECT_EQ(MathlibCorrCoefF64(withNan.data(), q.data(), 3), 0.0);
  EXPECT_EQ(MathlibCorrCoefF64(q.data(), withNan.data(), 3), 0.0);
}

SP_INSTANTIATE_FOR_ALL_SETS(MathlibStatsTest);

}  // namespace
