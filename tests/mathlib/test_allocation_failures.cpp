// Every allocation of the math layer made to fail in turn: handles, FFT cache
// records, guarded blocks, conversion records and buffers, and the fallback
// FFT's scratch and tables. A failure must leave the caller's data as it was,
// say so in the trace (or on standard output for the FFT tables), and keep
// no block it took.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Mathlib/Davu.h"
#include "Mathlib/MathlibConvert.h"
#include "Mathlib/MathlibDavu.h"
#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibMemory.h"
#include "platform/debug_output.h"
#include "support/alloc_failure.h"
#include "support/random_values.h"

namespace {

bool Contains(const std::string& text, const char* piece) { return text.find(piece) != std::string::npos; }

TEST(MathlibAllocationFailure, HandleCreation) {
  const int64_t live = spLiveAllocations();
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    DebugOutputCapture capture;
    FailNthAllocation failure(k);
    MathlibHandle* handle = MathlibInit();
    if (failure.Reached()) {
      EXPECT_EQ(handle, nullptr);
      EXPECT_EQ(MathlibInstanceCount(), 0);
      EXPECT_TRUE(Contains(capture.Text(), "MathlibInit(), ERROR: out of memory\n"));
    } else {
      EXPECT_NE(handle, nullptr);
      EXPECT_EQ(MathlibInstanceCount(), 1);
      MathlibFree(&handle);
    }
    EXPECT_EQ(spLiveAllocations(), live);
    return failure.Reached();
  });
  EXPECT_EQ(requests, 1);
}

TEST(MathlibAllocationFailure, FftCacheRecord) {
  MathlibHandle* handle = MathlibInit();
  ASSERT_NE(handle, nullptr);
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    DebugOutputCapture capture;
    FailNthAllocation failure(k);
    MathlibFftCacheCreate(&handle->cache, 64);
    if (failure.Reached()) {
      EXPECT_EQ(handle->cache, nullptr);
      EXPECT_TRUE(Contains(capture.Text(), "MathlibFftCacheCreate(), ERROR: out of memory\n"));
    } else if (handle->cache) {
      EXPECT_EQ(handle->cache->elementBits, 64);
      MathlibFftCacheFree(&handle->cache);
    } else {
      ADD_FAILURE() << "no cache record without a failure";
    }
    return failure.Reached();
  });
  EXPECT_EQ(requests, 1);
  MathlibFree(&handle);
}

TEST(MathlibAllocationFailure, GuardedBlocksOfEveryAllocator) {
  using Allocate = void* (*)();
  const Allocate allocators[] = {
      [] { return MathlibAlloc(24); },
      [] { return static_cast<void*>(MathlibAllocF32(3)); },
      [] { return static_cast<void*>(MathlibAllocF64(3)); },
      [] { return static_cast<void*>(MathlibAllocC32(3)); },
      [] { return static_cast<void*>(MathlibAllocC64(3)); },
  };
  const int64_t live = spLiveAllocations();
  for (Allocate allocate : allocators) {
    {
      FailNthAllocation failure(1);
      EXPECT_EQ(allocate(), nullptr);
      EXPECT_TRUE(failure.Reached());
    }
    EXPECT_EQ(spLiveAllocations(), live);
    void* block = allocate();  // disarmed: the next request succeeds again
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(spLiveAllocations(), live + 1);
    MathlibFreeMem(block);
    EXPECT_EQ(spLiveAllocations(), live);
  }
}

TEST(MathlibAllocationFailure, ConversionRecordAndBuffers) {
  const int8_t s8[] = {-128, -1, 0, 127};
  const double src[] = {2.5, -40000.4, -0.5, 7.0};
  const int64_t live = spLiveAllocations();
  DebugOutputCapture trace;

  {
    FailNthAllocation failure(1);
    EXPECT_EQ(MathlibConvCacheCreate(), nullptr);
  }
  EXPECT_TRUE(Contains(trace.Text(), "MathlibConvCacheCreate(), ERROR: out of memory\n"));

  // 8-bit to double without a record: a temporary record and its buffer.
  int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    std::vector<double> d(4, 99.0);
    FailNthAllocation failure(k);
    const spStatus status = MathlibIntToF64(nullptr, s8, d.data(), 4, 8);
    if (failure.Reached()) {
      EXPECT_EQ(status, spErrNullPointer);
      EXPECT_EQ(d, std::vector<double>(4, 99.0));
    } else {
      EXPECT_EQ(status, spOk);
      EXPECT_EQ(d, (std::vector<double>{-128.0, -1.0, 0.0, 127.0}));
    }
    EXPECT_EQ(spLiveAllocations(), live);
    return failure.Reached();
  });
  EXPECT_EQ(requests, 2);

  // Double to 16 bits through a caller's record, every rounding pass: a
  // failed buffer leaves dst alone, and the record gets its buffer on the
  // next call.
  for (int32_t flags : {0x80, 0x100, 0x200}) {
    MathlibConvCache* record = MathlibConvCacheCreate();
    ASSERT_NE(record, nullptr);
    std::vector<int16_t> out(4, 555);
    {
      DebugOutputCapture quiet;  // the floor pass announces itself
      FailNthAllocation failure(1);
      MathlibF64ToInt(record, src, out.data(), 4, 16, flags);
      EXPECT_TRUE(failure.Reached());
    }
    EXPECT_EQ(out, std::vector<int16_t>(4, 555)) << std::hex << flags;
    EXPECT_EQ(record->buffer, nullptr);
    {
      DebugOutputCapture quiet;
      MathlibF64ToInt(record, src, out.data(), 4, 16, flags);
    }
    EXPECT_NE(record->buffer, nullptr);
    EXPECT_EQ(out[1], -32768) << std::hex << flags;
    MathlibConvCacheFree(record);
  }

  // And without a record.
  requests = ForEachAllocationFailure([&](int64_t k) {
    std::vector<int16_t> out(4, 555);
    FailNthAllocation failure(k);
    MathlibF64ToInt(nullptr, src, out.data(), 4, 16, 0x80);
    if (failure.Reached()) {
      EXPECT_EQ(out, std::vector<int16_t>(4, 555));
    } else {
      EXPECT_EQ(out, (std::vector<int16_t>{2, -32768, 0, 7}));
    }
    EXPECT_EQ(spLiveAllocations(), live);
    return failure.Reached();
  });
  EXPECT_EQ(requests, 2);
  EXPECT_EQ(spLiveAllocations(), live);
}

template <typename T>
std::vector<T> RandomSignal(size_t count, unsigned seed) {
  return UniformValues<T>(static_cast<int64_t>(count), -1.0, 1.0, seed);
}

void ReleaseDavuTables() {
  DavuReleaseFloat();
  DavuReleaseDouble();
}

// Runs `transform` on a copy of `input` with each allocation failing in
// turn, from empty tables: the scratch block first, then the three tables.
template <typename T, class Transform>
void ExpectUnchangedOnEveryFailure(const char* name, const std::vector<T>& input, Transform transform) {
  const int64_t live = spLiveAllocations();
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    ReleaseDavuTables();
    std::vector<T> data = input;
    DebugOutputCapture trace;
    testing::internal::CaptureStdout();
    bool reached = false;
    {
      FailNthAllocation failure(k);
      transform(data);
      reached = failure.Reached();
    }
    const std::string out = testing::internal::GetCapturedStdout();
    if (reached) {
      EXPECT_EQ(data, input) << name << ": allocation " << k << " failed";
      EXPECT_TRUE(Contains(trace.Text(), name)) << trace.Text();
      if (k > 1) {
        EXPECT_EQ(out, "VEZIzidiru failed!\n") << name << ", table allocation " << k;
      }
    } else {
      EXPECT_NE(data, input) << name;
      EXPECT_EQ(out, "");
    }
    ReleaseDavuTables();
    EXPECT_EQ(spLiveAllocations(), live) << name << ", allocation " << k;
    return reached;
  });
  EXPECT_EQ(requests, 4) << name;  // scratch, bit-reverse, permutation, twiddles
}

TEST(MathlibAllocationFailure, FallbackFftLeavesTheDataAlone) {
  constexpr int kOrder = 4;
  constexpr size_t kN = size_t{1} << kOrder;
  auto signalF = RandomSignal<float>(kN + 2, 3);
  auto signalD = RandomSignal<double>(kN + 2, 4);
  ExpectUnchangedOnEveryFailure<float>("MathlibDavuFwdF32", signalF,
                                       [](std::vector<float>& d) { MathlibDavuFwdF32(d.data(), kOrder); });
  ExpectUnchangedOnEveryFailure<float>("MathlibDavuInvF32", signalF,
                                       [](std::vector<float>& d) { MathlibDavuInvF32(d.data(), kOrder); });
  ExpectUnchangedOnEveryFailure<double>("MathlibDavuFwdF64", signalD,
                                        [](std::vector<double>& d) { MathlibDavuFwdF64(d.data(), kOrder); });
  ExpectUnchangedOnEveryFailure<double>("MathlibDavuInvF64", signalD,
                                        [](std::vector<double>& d) { MathlibDavuInvF64(d.data(), kOrder); });
  // The complex form writes 2N values into its own destination.
  const std::vector<float> src(signalF.begin(), signalF.begin() + kN);
  ExpectUnchangedOnEveryFailure<float>(
      "MathlibDavuFwdComplexF32", std::vector<float>(2 * kN, 7.0f),
      [&](std::vector<float>& dst) { MathlibDavuFwdComplexF32(src.data(), dst.data(), kOrder); });
}

TEST(MathlibAllocationFailure, FallbackFftTablesFailingAfterAnEarlierSize) {
  // Tables of another size are current; the rebuild for the new size fails.
  std::vector<double> small = RandomSignal<double>(10, 5);
  MathlibDavuFwdF64(small.data(), 3);
  const std::vector<double> input = RandomSignal<double>(34, 6);
  std::vector<double> data = input;
  DebugOutputCapture trace;
  testing::internal::CaptureStdout();
  {
    FailNthAllocation failure(4);  // the twiddle table of size 32
    MathlibDavuFwdF64(data.data(), 5);
    EXPECT_TRUE(failure.Reached());
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "VEZIzidiru failed!\n");
  EXPECT_TRUE(Contains(trace.Text(), "MathlibDavuFwdF64(), ERROR: out of memory, data left unchanged\n"));
  EXPECT_EQ(data, input);
  MathlibDavuFwdF64(data.data(), 5);  // memory again: the transform runs
  EXPECT_NE(data, input);
  ReleaseDavuTables();
}

}  // namespace
