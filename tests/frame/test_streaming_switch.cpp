// The size at which copy, zero and fill switch to non-temporal stores, set
// by set: the SSE set by fixed byte limits, SSE2 and later against the
// reported cache size (forced here), the generic set never. Each row runs the
// primitive just below and at its switch and counts streaming runs; the
// result is checked too, since the streaming path writes it differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "primitives/frame/cache_size.h"
#include "primitives/frame/sp_memory.h"
#include "primitives/frame/streaming_seam.h"
#include "support/variant_sets.h"

namespace {

class StreamingSwitchTest : public VariantSetTest {};

enum class Op { CopyF32, CopyF64, ZeroF32, ZeroF64, SetF32, SetF64 };

const char* OpName(Op op) {
  switch (op) {
    case Op::CopyF32: return "spCopyF32";
    case Op::CopyF64: return "spCopyF64";
    case Op::ZeroF32: return "spZeroF32";
    case Op::ZeroF64: return "spZeroF64";
    case Op::SetF32: return "spSetF32";
    case Op::SetF64: return "spSetF64";
  }
  return "?";
}

// Forces the reported cache size for the scope.
class CacheSize {
 public:
  explicit CacheSize(int64_t bytes) : m_previous(spOverrideCacheSize(bytes)) {}
  ~CacheSize() { spOverrideCacheSize(m_previous); }

 private:
  int64_t m_previous;
};

// 32-byte aligned buffers of the largest size a row uses.
struct Buffers {
  static constexpr int64_t kBytes = int64_t{1} << 23;
  uint8_t* src = static_cast<uint8_t*>(spAlignedAlloc(static_cast<int32_t>(kBytes)));
  uint8_t* dst = static_cast<uint8_t*>(spAlignedAlloc(static_cast<int32_t>(kBytes)));
  Buffers() {
    for (int64_t i = 0; i < kBytes; ++i) src[i] = static_cast<uint8_t>(i * 131 + 7);
  }
  ~Buffers() {
    spAlignedFree(src);
    spAlignedFree(dst);
  }
};

// Runs the primitive on n elements; returns the streaming runs it took and
// checks what it wrote.
int64_t StreamingRunsOf(Op op, int32_t n, Buffers& b) {
  const bool single = op == Op::CopyF32 || op == Op::ZeroF32 || op == Op::SetF32;
  const int64_t bytes = int64_t{n} * (single ? 4 : 8);
  EXPECT_LE(bytes, Buffers::kBytes);
  std::memset(b.dst, 0x5A, static_cast<size_t>(bytes));
  const int64_t before = spStreamingRuns();
  spStatus status = spOk;
  switch (op) {
    case Op::CopyF32: status = spCopyF32(reinterpret_cast<float*>(b.src), reinterpret_cast<float*>(b.dst), n); break;
    case Op::CopyF64: status = spCopyF64(reinterpret_cast<double*>(b.src), reinterpret_cast<double*>(b.dst), n); break;
    case Op::ZeroF32: status = spZeroF32(reinterpret_cast<float*>(b.dst), n); break;
    case Op::ZeroF64: status = spZeroF64(reinterpret_cast<double*>(b.dst), n); break;
    case Op::SetF32: status = spSetF32(-2.5f, reinterpret_cast<float*>(b.dst), n); break;
    case Op::SetF64: status = spSetF64(-2.5, reinterpret_cast<double*>(b.dst), n); break;
  }
  const int64_t runs = spStreamingRuns() - before;
  EXPECT_EQ(status, spOk);
  if (op == Op::CopyF32 || op == Op::CopyF64) {
    EXPECT_EQ(std::memcmp(b.dst, b.src, static_cast<size_t>(bytes)), 0) << OpName(op) << " " << n;
  } else if (op == Op::ZeroF32 || op == Op::ZeroF64) {
    EXPECT_TRUE(std::all_of(b.dst, b.dst + bytes, [](uint8_t x) { return x == 0; })) << OpName(op) << " " << n;
  } else if (single) {
    const auto* f = reinterpret_cast<const float*>(b.dst);
    EXPECT_TRUE(std::all_of(f, f + n, [](float x) { return x == -2.5f; })) << OpName(op) << " " << n;
  } else {
    const auto* d = reinterpret_cast<const double*>(b.dst);
    EXPECT_TRUE(std::all_of(d, d + n, [](double x) { return x == -2.5; })) << OpName(op) << " " << n;
  }
  return runs;
}

constexpr int64_t kProcessorCache = -1;  // the processor's own answer
constexpr int32_t kNever = 0;

struct Switch {
  int set;
  Op op;
  int64_t cache;
  int32_t lastPlain;       // elements
  int32_t firstStreaming;  // elements; kNever: no switch at any size
};

const Switch kSwitches[] = {
    // SSE: fixed byte limits, copy from 8192, zero and fill from 20480.
    {SP_SET_SSE, Op::CopyF32, kProcessorCache, 2047, 2048},
    {SP_SET_SSE, Op::CopyF64, kProcessorCache, 1023, 1024},
    {SP_SET_SSE, Op::ZeroF32, kProcessorCache, 5119, 5120},
    {SP_SET_SSE, Op::ZeroF64, kProcessorCache, 2559, 2560},
    {SP_SET_SSE, Op::SetF32, kProcessorCache, 5119, 5120},
    {SP_SET_SSE, Op::SetF64, kProcessorCache, 2559, 2560},
    // SSE2 and later with a small cache: each set's own lower bound. Copy
    // above 128 KiB (SSE2), from 512 KiB (SSE3), from 1 MiB (SSSE3); zero
    // above 512 KiB of aligned stores; fill above 1 MiB.
    {SP_SET_SSE2, Op::CopyF32, 65536, 32768, 32769},
    {SP_SET_SSE2, Op::CopyF64, 65536, 16384, 16385},
    {SP_SET_SSE3, Op::CopyF32, 65536, 131071, 131072},
    {SP_SET_SSSE3, Op::CopyF32, 65536, 262143, 262144},
    {SP_SET_SSSE3, Op::CopyF64, 65536, 131071, 131072},
    {SP_SET_SSE2, Op::ZeroF32, 65536, 131075, 131076},
    {SP_SET_SSE3, Op::ZeroF64, 65536, 65537, 65538},
    {SP_SET_SSSE3, Op::ZeroF32, 65536, 131075, 131076},
    {SP_SET_SSE2, Op::SetF32, 65536, 262144, 262145},
    {SP_SET_SSE3, Op::SetF64, 65536, 131072, 131073},
    {SP_SET_SSSE3, Op::SetF32, 65536, 262144, 262145},
    // With a large cache the cache decides: copy from half of it, zero from
    // all of it, fill above it.
    {SP_SET_SSE2, Op::CopyF32, 8 << 20, 1048575, 1048576},
    {SP_SET_SSE3, Op::CopyF32, 8 << 20, 1048575, 1048576},
    {SP_SET_SSSE3, Op::CopyF64, 8 << 20, 524287, 524288},
    {SP_SET_SSE2, Op::ZeroF32, 2 << 20, 524287, 524288},
    {SP_SET_SSSE3, Op::ZeroF64, 2 << 20, 262143, 262144},
    {SP_SET_SSE3, Op::SetF32, 2 << 20, 524288, 524289},
    {SP_SET_SSSE3, Op::SetF64, 2 << 20, 262144, 262145},
    // An unknown cache size (0) never streams; neither does the generic set.
    {SP_SET_SSE2, Op::CopyF32, 0, 2097152, kNever},
    {SP_SET_SSE3, Op::ZeroF32, 0, 2097152, kNever},
    {SP_SET_SSSE3, Op::SetF32, 0, 2097152, kNever},
    {SP_SET_GENERIC, Op::CopyF32, 65536, 2097152, kNever},
    {SP_SET_GENERIC, Op::ZeroF64, 65536, 1048576, kNever},
    {SP_SET_GENERIC, Op::SetF32, 65536, 2097152, kNever},
};

TEST_P(StreamingSwitchTest, SwitchesAtItsThreshold) {
  Buffers buffers;
  ASSERT_NE(buffers.src, nullptr);
  ASSERT_NE(buffers.dst, nullptr);
  int rows = 0;
  for (const Switch& s : kSwitches) {
    if (s.set != SetIndex()) continue;
    ++rows;
    CacheSize cache(s.cache);
    EXPECT_EQ(StreamingRunsOf(s.op, s.lastPlain, buffers), 0)
        << OpName(s.op) << " " << s.lastPlain << ", cache " << s.cache;
    if (s.firstStreaming != kNever) {
      EXPECT_GT(StreamingRunsOf(s.op, s.firstStreaming, buffers), 0)
          << OpName(s.op) << " " << s.firstStreaming << ", cache " << s.cache;
    }
  }
  EXPECT_GT(rows, 0);
}

SP_INSTANTIATE_FOR_ALL_SETS(StreamingSwitchTest);

}  // namespace
