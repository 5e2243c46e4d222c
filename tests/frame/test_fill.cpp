// Fill: the typed primitives and every set's kernels, bit-exact against a
// plain element loop, at every byte offset and through the large paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "primitives/frame/sp_memory.h"
#include "support/frame_kernels.h"
#include "support/synthetic_cpu.h"
#include "support/variant_sets.h"

namespace {
constexpr uint8_t kCanary = 0x3C;

template <class T>
using FillKernel = T* (*)(T, T*, int64_t);

template <class T>
std::vector<FillKernel<T>> KernelsOf(int set) {
  if constexpr (sizeof(T) == 4) {
    if (set == SP_SET_SSE) return {sp_sse::spkSetF32_Sse, sp_sse::spkSetF32Large_Sse};
    return {kSetF32Kernels[set]};
  } else {
    if (set == SP_SET_SSE) return {sp_sse::spkSetF64_Sse, sp_sse::spkSetF64Large_Sse};
    return {kSetF64Kernels[set]};
  }
}

// Fills n elements at byte offset `offset` of a buffer with canaries and
// checks every element's bits and both canaries.
template <class T>
::testing::AssertionResult FillsExactly(FillKernel<T> kernel, T value, int64_t n, int offset) {
  std::vector<uint8_t> buffer(static_cast<size_t>(n) * sizeof(T) + 64 + 16);
  uint8_t* base = buffer.data() + ((16 - (reinterpret_cast<uintptr_t>(buffer.data()) & 15)) & 15);
  std::fill(buffer.begin(), buffer.end(), kCanary);
  uint8_t* at = base + 16 + offset;
  kernel(value, reinterpret_cast<T*>(at), n);
  for (int64_t i = 0; i < n; ++i)
    if (std::memcmp(at + i * sizeof(T), &value, sizeof(T)) != 0)
      return ::testing::AssertionFailure() << "element " << i << " of " << n << " at offset " << offset;
  for (uint8_t* p = buffer.data(); p < at; ++p)
    if (*p != kCanary) return ::testing::AssertionFailure() << "before, n " << n << " offset " << offset;
  for (uint8_t* p = at + n * sizeof(T); p < buffer.data() + buffer.size(); ++p)
    if (*p != kCanary) return ::testing::AssertionFailure() << "after, n " << n << " offset " << offset;
  return ::testing::AssertionSuccess();
}

float Bits32(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}
double Bits64(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}
}  // namespace

class FillTest : public VariantSetTest {};

TEST_P(FillTest, EveryCountUpTo70AtEveryByteOffset) {
  // Values whose bytes all differ, so a rotated pattern shows.
  const float f = Bits32(0x3f81c2e3u);
  const double d = Bits64(0x400102030405a6b7ull);
  for (auto kernel : KernelsOf<float>(SetIndex()))
    for (int64_t n = 1; n <= 70; ++n)
      for (int offset = 0; offset < 16; ++offset) ASSERT_TRUE(FillsExactly(kernel, f, n, offset));
  for (auto kernel : KernelsOf<double>(SetIndex()))
    for (int64_t n = 1; n <= 70; ++n)
      for (int offset = 0; offset < 16; ++offset) ASSERT_TRUE(FillsExactly(kernel, d, n, offset));
}

TEST_P(FillTest, SpecialValuesKeepTheirBits) {
  const float floats[] = {-0.0f, std::numeric_limits<float>::infinity(), Bits32(0x7fc12345u), Bits32(0xffc00001u),
                          Bits32(0x00000001u)};
  const double doubles[] = {-0.0, -std::numeric_limits<double>::infinity(), Bits64(0x7ff8000000abcdefull),
                            Bits64(0x8000000000000001ull)};
  for (auto kernel : KernelsOf<float>(SetIndex()))
    for (float v : floats)
      for (int64_t n : {1, 5, 33}) ASSERT_TRUE(FillsExactly(kernel, v, n, 2));
  for (auto kernel : KernelsOf<double>(SetIndex()))
    for (double v : doubles)
      for (int64_t n : {1, 5, 33}) ASSERT_TRUE(FillsExactly(kernel, v, n, 4));
}

// Arrays above 1 MiB: non-temporal with a small reported cache, plain with
// an unknown one; the SSE set's large kernels always stream.
TEST_P(FillTest, LargeArraysThroughBothPaths) {
  const float f = Bits32(0xc0a1b2c3u);
  const double d = Bits64(0xbff0112233445566ull);
  for (int64_t cache : {int64_t{0}, int64_t{512 << 10}}) {
    ScopedCacheSize forced(cache);
    for (int offset : {0, 2, 5}) {
      for (auto kernel : KernelsOf<float>(SetIndex())) ASSERT_TRUE(FillsExactly(kernel, f, 262145 + 3, offset));
      for (auto kernel : KernelsOf<double>(SetIndex())) ASSERT_TRUE(FillsExactly(kernel, d, 131073 + 1, offset));
    }
  }
}

TEST_P(FillTest, TypedPrimitivesCheckThenFill) {
  EXPECT_EQ(spSetF32(1.0f, nullptr, 0), spErrNullPointer);
  EXPECT_EQ(spSetF64(1.0, nullptr, 5), spErrNullPointer);
  float one = 9.0f;
  double two = 9.0;
  EXPECT_EQ(spSetF32(1.0f, &one, 0), spErrLength);
  EXPECT_EQ(spSetF64(1.0, &two, -3), spErrLength);
  EXPECT_EQ(one, 9.0f);
  EXPECT_EQ(two, 9.0);
  for (int32_t n : {1, 17, 5119, 5120, 2559, 2560, 7000}) {
    std::vector<float> vf(n + 1, 3.0f);
    std::vector<double> vd(n + 1, 3.0);
    ASSERT_EQ(spSetF32(-1.25f, vf.data(), n), spOk);
    ASSERT_EQ(spSetF64(-0.0, vd.data(), n), spOk);
    for (int32_t i = 0; i < n; ++i) {
      ASSERT_EQ(vf[i], -1.25f);
      ASSERT_TRUE(vd[i] == 0.0 && std::signbit(vd[i]));
    }
    EXPECT_EQ(vf[n], 3.0f);
    EXPECT_EQ(vd[n], 3.0);
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(FillTest);
