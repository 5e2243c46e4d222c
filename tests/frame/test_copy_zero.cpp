// Copy and zero: the typed primitives and every set's byte kernels, against
// memcpy and memset with canaries on both sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "primitives/frame/sp_memory.h"
#include "support/frame_kernels.h"
#include "support/synthetic_cpu.h"
#include "support/variant_sets.h"

namespace {
constexpr uint8_t kCanary = 0xC5;

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  std::mt19937 rng(seed);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

bool AllBytesAre(const uint8_t* p, int64_t n, uint8_t value) {
  return std::all_of(p, p + n, [value](uint8_t b) { return b == value; });
}

// Copies `bytes` bytes from source offset so to destination offset doff in
// 64-byte aligned buffers and checks the copy and both canaries.
void CheckCopy(CopyKernel kernel, int64_t bytes, int so, int doff) {
  constexpr int kPad = 64;
  alignas(64) static uint8_t src[300 + 2 * kPad];
  alignas(64) static uint8_t dst[300 + 2 * kPad];
  static const std::vector<uint8_t> data = Pattern(sizeof src, 7);
  std::memcpy(src, data.data(), sizeof src);
  std::memset(dst, kCanary, sizeof dst);
  void* ret = kernel(src + kPad + so, dst + kPad + doff, bytes);
  ASSERT_EQ(ret, dst + kPad + doff);
  ASSERT_EQ(std::memcmp(dst + kPad + doff, src + kPad + so, bytes), 0) << bytes << " bytes " << so << "/" << doff;
  ASSERT_TRUE(AllBytesAre(dst, kPad + doff, kCanary)) << "before, " << bytes << " bytes";
  ASSERT_TRUE(AllBytesAre(dst + kPad + doff + bytes, sizeof dst - kPad - doff - bytes, kCanary)) << "after, " << bytes;
}

void CheckZero(ZeroKernel kernel, int64_t bytes, int doff) {
  constexpr int kPad = 64;
  alignas(64) static uint8_t dst[300 + 2 * kPad];
  std::memset(dst, kCanary, sizeof dst);
  ASSERT_EQ(kernel(dst + kPad + doff, bytes), dst + kPad + doff);
  ASSERT_TRUE(AllBytesAre(dst, kPad + doff, kCanary)) << "before, " << bytes << " bytes";
  ASSERT_TRUE(AllBytesAre(dst + kPad + doff, bytes, 0)) << bytes << " bytes at " << doff;
  ASSERT_TRUE(AllBytesAre(dst + kPad + doff + bytes, sizeof dst - kPad - doff - bytes, kCanary)) << "after, " << bytes;
}

// The kernels a set's typed copy chooses from.
std::vector<CopyKernel> CopyKernelsOf(int set) {
  if (set == SP_SET_SSE)
    return {sp_sse::spkCopyBytes_Sse, sp_sse::spkCopyBytesStream_Sse, sp_sse::spkCopyBytesLarge_Sse};
  return {kCopyKernels[set]};
}
std::vector<ZeroKernel> ZeroKernelsOf(int set) {
  if (set == SP_SET_SSE) return {sp_sse::spkZeroBytes_Sse, sp_sse::spkZeroBytesLarge_Sse};
  return {kZeroKernels[set]};
}
}  // namespace

class CopyZeroTest : public VariantSetTest {};

TEST_P(CopyZeroTest, SmallCopiesAtEveryOffset) {
  for (CopyKernel kernel : CopyKernelsOf(SetIndex()))
    for (int64_t bytes = 0; bytes <= 300; ++bytes)
      for (int so = 0; so < 16; ++so)
        for (int doff = 0; doff < 16; ++doff) {
          CheckCopy(kernel, bytes, so, doff);
          if (HasFatalFailure()) return;
        }
}

TEST_P(CopyZeroTest, SmallZeroFillsAtEveryOffset) {
  for (ZeroKernel kernel : ZeroKernelsOf(SetIndex()))
    for (int64_t bytes = 0; bytes <= 300; ++bytes)
      for (int doff = 0; doff < 16; ++doff) {
        CheckZero(kernel, bytes, doff);
        if (HasFatalFailure()) return;
      }
}

// Large blocks: with a small reported cache the SSE2 and later kernels take
// their non-temporal paths; with an unknown cache their plain ones. The SSE
// set's stream and page-wise kernels run regardless of the cache.
TEST_P(CopyZeroTest, LargeBlocksThroughPlainAndNonTemporalPaths) {
  constexpr int64_t kMax = (3 << 20) + 200;
  const std::vector<uint8_t> data = Pattern(kMax + 64, 11);
  std::vector<uint8_t> dst(kMax + 64 + 32);
  for (int64_t cache : {int64_t{0}, int64_t{256 << 10}}) {
    ScopedCacheSize forced(cache);
    for (int64_t bytes :
         {int64_t{20480}, int64_t{131073}, int64_t{524288 + 77}, int64_t{1 << 20}, int64_t{1 << 20} + 64, kMax}) {
      for (auto [so, doff] : {std::pair{0, 0}, std::pair{0, 7}, std::pair{5, 0}, std::pair{3, 9}, std::pair{16, 32}}) {
        for (CopyKernel kernel : CopyKernelsOf(SetIndex())) {
          std::fill(dst.begin(), dst.end(), kCanary);
          kernel(data.data() + so, dst.data() + doff, bytes);
          ASSERT_EQ(std::memcmp(dst.data() + doff, data.data() + so, bytes), 0) << bytes << " " << so << "/" << doff;
          ASSERT_EQ(dst[doff + bytes], kCanary);
          if (doff > 0) {
            ASSERT_EQ(dst[doff - 1], kCanary);
          }
        }
        for (ZeroKernel kernel : ZeroKernelsOf(SetIndex())) {
          std::fill(dst.begin(), dst.end(), kCanary);
          kernel(dst.data() + doff, bytes);
          ASSERT_EQ(std::count(dst.begin() + doff, dst.begin() + doff + bytes, 0), bytes);
          ASSERT_EQ(dst[doff + bytes], kCanary);
          if (doff > 0) {
            ASSERT_EQ(dst[doff - 1], kCanary);
          }
        }
      }
    }
  }
}

// The page-offset copy order of SSE3 and SSSE3: every distance between the
// source's and the destination's page offsets, both aligned.
TEST_P(CopyZeroTest, AlignedCopiesAtEveryPageDistance) {
  const std::vector<uint8_t> data = Pattern(8192 + 1024, 3);
  std::vector<uint8_t> buffer(8192 + 1024 + 4096);
  uint8_t* base = buffer.data() + ((4096 - (reinterpret_cast<uintptr_t>(buffer.data()) & 4095)) & 4095);
  const uint8_t* srcBase = data.data() + ((16 - (reinterpret_cast<uintptr_t>(data.data()) & 15)) & 15);
  const uintptr_t srcPage = reinterpret_cast<uintptr_t>(srcBase) & 4095;
  for (int64_t bytes : {int64_t{64}, int64_t{577}, int64_t{1023}}) {
    for (uintptr_t dpage = 0; dpage < 4096; dpage += 16) {
      uint8_t* d = base + dpage;
      std::fill(buffer.begin(), buffer.end(), kCanary);
      kCopyKernels[SetIndex()](srcBase, d, bytes);
      ASSERT_EQ(std::memcmp(d, srcBase, bytes), 0) << "page offsets " << srcPage << "/" << dpage;
      ASSERT_EQ(d[bytes], kCanary);
      if (d > buffer.data()) {
        ASSERT_EQ(d[-1], kCanary);
      }
    }
  }
}

// Source equal to destination leaves the data as it was; partly overlapping
// ranges are moved as memmove would rather than corrupted.
TEST_P(CopyZeroTest, OverlappingCopies) {
  const std::vector<uint8_t> data = Pattern(4096, 5);
  for (CopyKernel kernel : CopyKernelsOf(SetIndex())) {
    for (int64_t bytes : {1, 3, 63, 64, 65, 300, 3000}) {
      std::vector<uint8_t> buf = data;
      kernel(buf.data() + 5, buf.data() + 5, bytes);
      ASSERT_EQ(buf, data);
      for (int shift : {-17, -1, 1, 8, 33}) {
        std::vector<uint8_t> mine = data, want = data;
        std::memmove(want.data() + 500 + shift, want.data() + 500, bytes);
        kernel(mine.data() + 500, mine.data() + 500 + shift, bytes);
        ASSERT_EQ(mine, want) << bytes << " bytes shifted " << shift;
      }
    }
  }
  std::vector<float> f(100, 1.5f);
  EXPECT_EQ(spCopyF32(f.data(), f.data(), 100), spOk);
  EXPECT_EQ(f, std::vector<float>(100, 1.5f));
}

TEST_P(CopyZeroTest, TypedPrimitivesCheckThenCopyOrClearEveryElement) {
  float a = 1.0f, b = 2.0f;
  EXPECT_EQ(spCopyF32(nullptr, &b, 0), spErrNullPointer);
  EXPECT_EQ(spCopyF32(&a, nullptr, 1), spErrNullPointer);
  EXPECT_EQ(spCopyF32(&a, &b, 0), spErrLength);
  EXPECT_EQ(spCopyF64(nullptr, nullptr, -1), spErrNullPointer);
  EXPECT_EQ(spZeroF32(nullptr, 0), spErrNullPointer);
  EXPECT_EQ(spZeroF64(reinterpret_cast<double*>(&b), -5), spErrLength);
  EXPECT_EQ(b, 2.0f);

  // Counts around the SSE set's kernel limits, in both element types.
  for (int32_t n : {1, 7, 1023, 1024, 2047, 2048, 2560, 4095, 4096, 5119, 5120, 9000}) {
    SCOPED_TRACE(n);
    std::vector<float> sf(n), df(n + 2, -7.0f);
    std::vector<double> sd(n), dd(n + 2, -7.0);
    for (int32_t i = 0; i < n; ++i) sf[i] = static_cast<float>(i) * 0.5f - 3.0f, sd[i] = i * 0.25 - 9.0;
    ASSERT_EQ(spCopyF32(sf.data(), df.data() + 1, n), spOk);
    ASSERT_EQ(spCopyF64(sd.data(), dd.data() + 1, n), spOk);
    ASSERT_TRUE(std::equal(sf.begin(), sf.end(), df.begin() + 1));
    ASSERT_TRUE(std::equal(sd.begin(), sd.end(), dd.begin() + 1));
    EXPECT_EQ(df[0], -7.0f);
    EXPECT_EQ(df[n + 1], -7.0f);
    EXPECT_EQ(dd[n + 1], -7.0);
    std::fill(dd.begin(), dd.end(), -0.0);
    ASSERT_EQ(spZeroF64(dd.data() + 1, n), spOk);
    ASSERT_EQ(spZeroF32(df.data() + 1, n), spOk);
    for (int32_t i = 1; i <= n; ++i) {
      uint64_t bits;
      std::memcpy(&bits, &dd[i], 8);
      ASSERT_EQ(bits, 0u);  // +0.0, not -0.0
      ASSERT_EQ(df[i], 0.0f);
    }
    EXPECT_TRUE(std::signbit(dd[n + 1]));
    EXPECT_EQ(df[n + 1], -7.0f);
  }
}

// Copies of up to 256 bytes read the whole source into registers before they
// write: ranges that share bytes still come out as memmove leaves them, at
// every size class of that path.
TEST_P(CopyZeroTest, ShortOverlappingCopiesAtEverySizeClass) {
  const std::vector<uint8_t> data = Pattern(1024, 17);
  for (CopyKernel kernel : CopyKernelsOf(SetIndex())) {
    for (int64_t bytes : {2, 5, 8, 15, 16, 17, 32, 33, 64, 65, 128, 129, 200, 255, 256, 257}) {
      for (int shift : {-129, -64, -17, -1, 1, 4, 16, 31, 100}) {
        std::vector<uint8_t> mine = data, want = data;
        std::memmove(want.data() + 400 + shift, want.data() + 400, bytes);
        kernel(mine.data() + 400, mine.data() + 400 + shift, bytes);
        ASSERT_EQ(mine, want) << bytes << " bytes shifted " << shift;
      }
    }
  }
  std::vector<float> f(200);
  for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<float>(i);
  ASSERT_EQ(spCopyF32(f.data(), f.data() + 3, 64), spOk);  // 256 bytes, 12 bytes ahead
  for (int i = 0; i < 64; ++i) ASSERT_EQ(f[3 + i], static_cast<float>(i));
}

// Long ascending copies, which go through REP MOVS where the processor moves
// strings fast, at every byte distance of the destination ahead of or behind
// the source within a page (the string move is left out from 1 to 63 bytes
// ahead), across the size where the string move starts.
TEST_P(CopyZeroTest, LongCopiesAtEveryDistanceWithinAPage) {
  const std::vector<uint8_t> data = Pattern(3 * 4096, 13);
  std::vector<uint8_t> buffer(4 * 4096);
  uint8_t* base = buffer.data() + ((4096 - (reinterpret_cast<uintptr_t>(buffer.data()) & 4095)) & 4095);
  const uint8_t* srcBase = data.data() + ((4096 - (reinterpret_cast<uintptr_t>(data.data()) & 4095)) & 4095) + 100;
  const uintptr_t srcPage = reinterpret_cast<uintptr_t>(srcBase) & 4095;
  for (int64_t bytes : {int64_t{2047}, int64_t{2048}, int64_t{4099}}) {
    for (int64_t ahead : {0, 1, 4, 15, 16, 63, 64, 65, 200, 2048, 4032, 4092, 4095}) {
      uint8_t* d = base + ((srcPage + ahead) & 4095);
      for (CopyKernel kernel : CopyKernelsOf(SetIndex())) {
        std::fill(buffer.begin(), buffer.end(), kCanary);
        kernel(srcBase, d, bytes);
        ASSERT_EQ(std::memcmp(d, srcBase, bytes), 0) << bytes << " bytes, " << ahead << " ahead";
        ASSERT_EQ(d[bytes], kCanary);
        if (d > buffer.data()) {
          ASSERT_EQ(d[-1], kCanary);
        }
      }
    }
  }
  // The typed copy likewise (its short and long paths).
  std::vector<float> src(3000), dst(3002, -7.0f);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<float>(i) * 0.25f - 100.0f;
  for (int32_t n : {1, 31, 32, 33, 64, 511, 512, 513, 3000}) {
    std::fill(dst.begin(), dst.end(), -7.0f);
    ASSERT_EQ(spCopyF32(src.data(), dst.data() + 1, n), spOk);
    ASSERT_EQ(std::memcmp(dst.data() + 1, src.data(), sizeof(float) * n), 0) << n;
    ASSERT_EQ(dst[0], -7.0f);
    ASSERT_EQ(dst[n + 1], -7.0f);
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(CopyZeroTest);
