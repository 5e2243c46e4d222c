// Integer <-> floating-point conversions of the math layer, with their
// rounding passes and the record's scratch buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Mathlib/MathlibConvert.h"
#include "platform/debug_output.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "support/variant_sets.h"

namespace {

class MathlibConvertTest : public VariantSetTest {};

std::vector<int32_t> ToI32(std::vector<double> src, int32_t flags) {
  std::vector<int32_t> out(src.size(), 12345);
  MathlibF64ToInt(nullptr, src.data(), out.data(), static_cast<int32_t>(src.size()), 32, flags);
  return out;
}

std::vector<int16_t> ToI16(MathlibConvCache* cache, std::vector<double> src, int32_t flags) {
  std::vector<int16_t> out(src.size(), 12345);
  MathlibF64ToInt(cache, src.data(), out.data(), static_cast<int32_t>(src.size()), 16, flags);
  return out;
}

TEST_P(MathlibConvertTest, RoundingPassesWidth32) {
  struct Case {
    int32_t flags;
    std::vector<double> src;
    std::vector<int32_t> expected;
  } cases[] = {
      {0x80, {2.5, 3.5, -2.5}, {2, 4, -2}},
      {0x100, {2.5, 3.5, -2.5}, {2, 3, -2}},
      {0x200, {2.5, 3.5, -2.5}, {2, 3, -3}},
      {0x200, {-3.0, -1e-17, -0.5, -0.0, 0.0}, {-3, 0, -1, 0, 0}},
      {0x180, {2.7, -2.7}, {2, -2}},
      {0x280, {2.7, -2.7}, {2, -3}},
      {0x380, {2.7, -2.7}, {2, -3}},
      {0x200, {-3e9, 3e9}, {INT32_MIN, INT32_MAX}},
      {0x80, {-3e9, 3e9}, {INT32_MIN, INT32_MAX}},
  };
  for (const auto& c : cases) EXPECT_EQ(ToI32(c.src, c.flags), c.expected) << std::hex << c.flags;
}

TEST_P(MathlibConvertTest, FloorPassTracesOncePerCall) {
  DebugOutputCapture capture;
  ToI32({-1.5, -2.5, 7.0}, 0x380);
  ToI32({}, 0x200);  // even for an empty call
  const std::string text = capture.Text();
  const std::string line =
      "WARNING from MathLib: NSP_TruncNeg not supported by VORLib, using generic function (slower)\n";
  EXPECT_EQ(capture.Lines(), 2);
  EXPECT_NE(text.find(line), std::string::npos);
  capture.Clear();
  ToI32({1.0}, 0x180);
  EXPECT_EQ(capture.Lines(), 0);
}

TEST_P(MathlibConvertTest, Width16SaturatesInEveryPass) {
  MathlibConvCache* cache = MathlibConvCacheCreate();
  EXPECT_EQ(ToI16(cache, {40000.4, -40000.4, 1.5}, 0x80), (std::vector<int16_t>{32767, -32768, 2}));
  EXPECT_EQ(ToI16(cache, {40000.4, -40000.4, 1.5}, 0x100), (std::vector<int16_t>{32767, -32768, 1}));
  EXPECT_EQ(ToI16(cache, {-40000.5, -0.5, 2.9}, 0x200), (std::vector<int16_t>{-32768, -1, 2}));
  MathlibConvCacheFree(cache);
  const int64_t live = spLiveAllocations();
  const int64_t requests = spAllocationRequests();
  EXPECT_EQ(ToI16(nullptr, {-7.5}, 0x200), (std::vector<int16_t>{-8}));
  EXPECT_EQ(spAllocationRequests() - requests, 2);  // temporary record and buffer
  EXPECT_EQ(spLiveAllocations(), live);             // both released
}

TEST_P(MathlibConvertTest, IntToFloatByWidth) {
  const int8_t s8[] = {-128, -1, 0, 127};
  const int16_t s16[] = {-32768, -1, 0, 32767};
  const int32_t s32[] = {INT32_MIN, -1, 0, 16777217};
  double d[4];
  float f[4];
  MathlibConvCache* cache = MathlibConvCacheCreate();
  EXPECT_EQ(MathlibIntToF64(cache, s8, d, 4, 8), spOk);
  EXPECT_EQ(std::vector<double>(d, d + 4), (std::vector<double>{-128.0, -1.0, 0.0, 127.0}));
  void* firstBuffer = cache->buffer;
  EXPECT_EQ(MathlibIntToF64(cache, s8, d, 4, 8), spOk);
  EXPECT_EQ(cache->buffer, firstBuffer);  // same count and width: reused
  EXPECT_EQ(MathlibIntToF64(cache, s8, d, 3, 8), spOk);
  EXPECT_EQ(cache->count, 3);
  EXPECT_EQ(cache->elementBits, 16);
  // Without a record a temporary one and its buffer are made and released.
  const int64_t live = spLiveAllocations();
  const int64_t requests = spAllocationRequests();
  EXPECT_EQ(MathlibIntToF64(nullptr, s8, d, 4, 8), spOk);
  EXPECT_EQ(spAllocationRequests() - requests, 2);
  EXPECT_EQ(spLiveAllocations(), live);
  EXPECT_EQ(MathlibIntToF64(cache, s16, d, 4, 16), spOk);
  EXPECT_EQ(d[0], -32768.0);
  EXPECT_EQ(MathlibIntToF64(cache, s32, d, 4, 32), spOk);
  EXPECT_EQ(d[3], 16777217.0);
  EXPECT_EQ(MathlibIntToF32(nullptr, s8, f, 4, 8), spOk);
  EXPECT_EQ(f[0], -128.0f);
  EXPECT_EQ(MathlibIntToF32(nullptr, s16, f, 4, 16), spOk);
  EXPECT_EQ(f[3], 32767.0f);
  EXPECT_EQ(MathlibIntToF32(nullptr, s32, f, 4, 32), spOk);
  EXPECT_EQ(f[3], 16777216.0f);

  f[0] = 42.0f;
  EXPECT_EQ(MathlibIntToF32(nullptr, s8, f, 4, 12), MathlibErrWidth);
  EXPECT_EQ(f[0], 42.0f);
  EXPECT_EQ(MathlibIntToF64(cache, nullptr, d, 4, 8), spErrNullPointer);
  EXPECT_EQ(MathlibIntToF64(cache, s8, d, 0, 8), spErrLength);
  EXPECT_EQ(MathlibIntToF64(nullptr, s8, d, -1, 8), spErrLength);
  MathlibConvCacheFree(cache);
  MathlibConvCacheFree(nullptr);
}

SP_INSTANTIATE_FOR_ALL_SETS(MathlibConvertTest);

}  // namespace
