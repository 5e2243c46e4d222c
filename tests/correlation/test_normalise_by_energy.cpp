// The normalisation by energies of every variant set: each quotient is
// rounded as written (product, root, quotient), so every set gives the
// bits of the plain scalar expression, at every length and placement and
// in place; a lag without energy (or whose product underflows) gives 0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "correlation_test_support.h"
#include "primitives/correlation/correlator_kernels.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using vector_test::Bits;
using vector_test::PlacedArray;

using NormaliseFn = void (*)(const double*, double, const double*, double*, int64_t);
const NormaliseFn kNormalise[] = SP_VARIANT_TABLE(spkNormaliseByEnergyF64);

class NormaliseByEnergyTest : public VariantSetTest {
 protected:
  void Run(const double* corr, double xEnergy, const double* energy, double* out, int64_t n) const {
    kNormalise[SetIndex()](corr, xEnergy, energy, out, n);
  }
};

TEST_P(NormaliseByEnergyTest, ClosedFormsAndZeroEnergies) {
  // Pairs and a single tail: zero energies, an underflowing product, a NaN.
  const double corr[] = {3.0, -3.0, 2.0, 0.0, 1.0, 5.0, 1.0};
  const double energy[] = {9.0, 9.0, 0.0, 0.0, 0.25, 1e-320, std::nan("")};
  double out[7];
  Run(corr, 4.0, energy, out, 7);
  EXPECT_EQ(out[0], 0.5);
  EXPECT_EQ(out[1], -0.5);
  EXPECT_EQ(Bits(out[2]), 0u);
  EXPECT_EQ(Bits(out[3]), 0u);
  EXPECT_EQ(out[4], 1.0);
  EXPECT_EQ(out[5], 5.0 / std::sqrt(4.0 * 1e-320));  // subnormal product: still a quotient
  EXPECT_EQ(Bits(out[6]), 0u);
  double tail[1] = {7.0};
  Run(corr, 4.0, energy, tail, 0);
  EXPECT_EQ(tail[0], 7.0) << "nothing written for n = 0";
  Run(corr + 2, 4.0, energy + 2, tail, 1);
  EXPECT_EQ(Bits(tail[0]), 0u);
}

TEST_P(NormaliseByEnergyTest, EverySetGivesTheScalarBits) {
  const double xEnergy = 3.7e9;
  for (int64_t n : {1, 2, 3, 4, 5, 8, 9, 101}) {
    const std::vector<double> corr = corr_test::Signal<double>(n, 7);
    std::vector<double> energy = corr_test::Signal<double>(n, 8);
    for (double& e : energy) e = std::fabs(e) * 1e6;
    if (n > 3) energy[3] = 0.0;
    std::vector<uint64_t> want;
    for (int64_t k = 0; k < n; ++k) {
      const double product = xEnergy * energy[k];
      want.push_back(product > 0.0 ? Bits(corr[k] / std::sqrt(product)) : 0u);
    }
    for (int64_t offset : {0, 8, 4}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
      PlacedArray<double> c(corr, offset), e(energy, offset), out(n, offset);
      Run(c.data(), xEnergy, e.data(), out.data(), n);
      std::vector<uint64_t> got;
      for (double v : out.Get()) got.push_back(Bits(v));
      EXPECT_EQ(got, want);
      EXPECT_TRUE(out.GuardsIntact());
      Run(c.data(), xEnergy, e.data(), c.data(), n);  // in place
      got.clear();
      for (double v : c.Get()) got.push_back(Bits(v));
      EXPECT_EQ(got, want) << "in place";
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(NormaliseByEnergyTest);

}  // namespace
