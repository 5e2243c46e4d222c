// Single-precision expansion of a packed half spectrum at its edges, in
// every variant set: the mirrored imaginary part of a NaN (the SSE set
// subtracts from 0, which keeps the NaN as it is; the others flip its sign
// bit), and (opt-in, VANTREL_LARGE_TESTS=1) lengths whose byte counts pass
// 2^31.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "primitives/fft/sp_real_fft.h"
#include "support/available_memory.h"
#include "support/variant_sets.h"

namespace {

class HalfSpecC32EdgesTest : public VariantSetTest {};

// Quiet NaNs with a payload, of both signs, as imaginary parts of X1 and
// X2 (n = 6): their mirrors X5 and X4 carry the NaN with the payload kept
// and the sign bit flipped, or in the SSE set unchanged.
TEST_P(HalfSpecC32EdgesTest, MirroredNaNKeepsPayloadAndTakesTheSetsSign) {
  const uint32_t positive = 0x7FC01234u, negative = 0xFFC05678u;
  std::vector<float> src = {1, 0, 2, std::bit_cast<float>(positive), 3, std::bit_cast<float>(negative), 4, 0};
  std::vector<float> dst(12, 0.0f);
  ASSERT_EQ(spHalfSpecToC32(src.data(), dst.data(), 6), spOk);
  const uint32_t flip = SetIndex() == SP_SET_SSE ? 0 : 0x80000000u;
  EXPECT_EQ(std::bit_cast<uint32_t>(dst[3]), positive);
  EXPECT_EQ(std::bit_cast<uint32_t>(dst[5]), negative);
  EXPECT_EQ(std::bit_cast<uint32_t>(dst[11]), positive ^ flip) << "conj(X1)";
  EXPECT_EQ(std::bit_cast<uint32_t>(dst[9]), negative ^ flip) << "conj(X2)";
  EXPECT_EQ(dst[10], 2.0f);
  EXPECT_EQ(dst[8], 3.0f);
}

// n = 2^29 + 2: 2 GiB in, 4 GiB out, so every byte count and index past
// 2^31 must be 64-bit; the whole first half copied and the whole mirror
// written. Values are exact floats that name their bin (low 20 bits in
// the real part, the rest in the imaginary part).
TEST_P(HalfSpecC32EdgesTest, LengthsPastTwoGigabytes) {
  if (std::getenv("VANTREL_LARGE_TESTS") == nullptr) GTEST_SKIP() << "set VANTREL_LARGE_TESTS=1 to run";
  const int32_t n = (1 << 29) + 2;
  const int64_t values = n / 2 + 1;
  const int64_t bytes = 4 * 2 * (values + int64_t{n});
  if (AvailableMemoryBytes() < bytes + bytes / 8) GTEST_SKIP() << "needs about " << bytes << " bytes";
  auto re = [](int64_t k) { return static_cast<float>(k & 0xFFFFF); };
  auto im = [](int64_t k) { return static_cast<float>(k >> 20) + 0.5f; };
  std::vector<float> src(2 * values);
  for (int64_t k = 0; k < values; ++k) {
    src[2 * k] = re(k);
    src[2 * k + 1] = im(k);
  }
  std::vector<float> dst(2 * static_cast<int64_t>(n), -1.0f);
  ASSERT_EQ(spHalfSpecToC32(src.data(), dst.data(), n), spOk);
  for (int64_t k = 0; k < n; ++k) {
    const int64_t from = k < values ? k : n - k;
    if (dst[2 * k] != re(from) || dst[2 * k + 1] != (k < values ? im(from) : -im(from))) FAIL() << "value " << k;
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(HalfSpecC32EdgesTest);

}  // namespace
