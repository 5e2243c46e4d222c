// The FIR wrappers: design with the Hann window and unit gain whatever the
// caller, filtering with the caller's delay line, statuses passed through.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Mathlib/MathlibPrim.h"
#include "primitives/fir/sp_fir.h"
#include "support/variant_sets.h"

namespace {

class MathlibFirWrapperTest : public VariantSetTest {};

using D = std::vector<double>;

TEST_P(MathlibFirWrapperTest, DesignsUseHannAndNormalise) {
  const struct {
    spStatus (*wrapper)(double, double*, int32_t);
    spStatus (*primitive)(double, double*, int32_t, int32_t, int32_t);
  } pairs[] = {{duvuvFirLowpassTapsF64, spFirLowpassTapsF64}, {duvuvFirHighpassTapsF64, spFirHighpassTapsF64}};
  for (const auto& p : pairs)
    for (int32_t n : {5, 32, 33}) {
      D got(n), want(n);
      ASSERT_EQ(p.wrapper(0.2, got.data(), n), spOk);
      ASSERT_EQ(p.primitive(0.2, want.data(), n, spFirWindowHann, 1), spOk);
      EXPECT_EQ(got, want) << "n " << n;
    }
  // Fewer than five taps: the primitive's length status, nothing written.
  D taps(4, 7.0);
  EXPECT_EQ(duvuvFirLowpassTapsF64(0.2, taps.data(), 4), spErrLength);
  EXPECT_EQ(duvuvFirHighpassTapsF64(0.2, taps.data(), 4), spErrLength);
  EXPECT_EQ(taps, D(4, 7.0));
  EXPECT_EQ(duvuvFirLowpassTapsF64(0.2, nullptr, 9), spErrNullPointer);
}

TEST_P(MathlibFirWrapperTest, FiltersPassTheirArgumentsInOrder) {
  const D taps = {0.5, -0.25, 2.0};
  D line64(6, 0.0), out64(5);
  const D impulse = {1, 0, 0, 0, 0};
  int32_t index = 0;
  ASSERT_EQ(duvuvFirF64(impulse.data(), out64.data(), 5, taps.data(), 3, line64.data(), &index), spOk);
  EXPECT_EQ(out64, (D{0.5, -0.25, 2.0, 0, 0}));
  EXPECT_EQ(index, 2);

  std::vector<float> in32 = {2, 0, 0}, out32(3), line32(6, 0.0f);
  index = 0;
  ASSERT_EQ(duvuvFirF32(in32.data(), out32.data(), 3, taps.data(), 3, line32.data(), &index), spOk);
  EXPECT_EQ(out32, (std::vector<float>{1.0f, -0.5f, 4.0f}));

  EXPECT_EQ(duvuvFirF32(in32.data(), out32.data(), 3, taps.data(), 0, line32.data(), &index), spErrTapCount);
  EXPECT_EQ(duvuvFirF64(impulse.data(), out64.data(), 0, taps.data(), 3, line64.data(), &index), spErrLength);
  index = 3;
  EXPECT_EQ(duvuvFirF64(impulse.data(), out64.data(), 5, taps.data(), 3, line64.data(), &index), spErrTapCount);
}

SP_INSTANTIATE_FOR_ALL_SETS(MathlibFirWrapperTest);

}  // namespace
