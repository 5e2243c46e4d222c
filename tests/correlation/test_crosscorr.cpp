// Cross-correlation in every variant set against a naive long-double
// correlation: lag windows at and past both ends of the overlap, every
// segment kernel, exact small-integer sums at every alignment, the choice
// between direct sums and the FFT on both sides of each limit (including
// the case where the sets' estimate arithmetic differs), statuses in their
// order, and allocation failure on the FFT path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "primitives/correlation/sp_correlation.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "support/variant_sets.h"
#include "vector/vector_test_support.h"

namespace {

using corr_test::CrossAbsRef;
using corr_test::CrossRef;
using corr_test::Path;
using corr_test::PathTaken;
using vector_test::PlacedArray;

template <class T>
spStatus CrossCorr(const T* a, int32_t aLen, const T* b, int32_t bLen, T* dst, int32_t dstLen, int32_t lowLag) {
  if constexpr (sizeof(T) == sizeof(double))
    return spCrossCorrF64(a, aLen, b, bLen, dst, dstLen, lowLag);
  else
    return spCrossCorrF32(a, aLen, b, bLen, dst, dstLen, lowLag);
}

struct Window {
  int32_t aLen, bLen, lowLag, dstLen;
};

// Windows that reach every segment from both sides, past both ends, wholly
// outside (down to INT32_MIN, and up to INT32_MAX and past it, where lowLag
// + k no longer fits 32 bits), and the whole sequence in both length orders.
const Window kWindows[] = {
    {5, 9, INT32_MIN, 4}, {9, 5, INT32_MAX, 1}, {5, 9, INT32_MAX - 2, 6}, {1, 1, -1, 3},      {5, 9, -8, 20},
    {9, 5, -12, 20},      {7, 7, -6, 13},       {5, 9, -20, 10},          {5, 9, 9, 4},       {5, 9, -5, 1},
    {5, 9, 8, 1},         {40, 100, -39, 139},  {100, 40, -99, 139},      {50, 80, -10, 60},  {80, 50, -40, 45},
    {80, 50, -31, 2},     {13, 300, 7, 250},    {300, 13, -290, 5},       {64, 64, -63, 127}, {3, 200, -2, 199},
    {200, 3, -199, 204},  {33, 34, -40, 90},    {120, 17, -110, 130},
};

template <class T>
long double Norm(const std::vector<T>& v) {
  long double s = 0;
  for (T x : v) s += static_cast<long double>(x) * x;
  return std::sqrt(s);
}

// Runs one window (dst at a chosen byte offset, guarded) and checks every
// lag against the reference: lags without overlap exactly 0.
template <class T>
void CheckWindow(const Window& w, const std::vector<T>& a, const std::vector<T>& b, int64_t dstOffset) {
  SCOPED_TRACE(testing::Message() << "aLen " << w.aLen << " bLen " << w.bLen << " lowLag " << w.lowLag << " dstLen "
                                  << w.dstLen << " dst offset " << dstOffset);
  PlacedArray<T> dst(w.dstLen, dstOffset);
  ASSERT_EQ(CrossCorr<T>(a.data(), w.aLen, b.data(), w.bLen, dst.data(), w.dstLen, w.lowLag), spOk);
  EXPECT_TRUE(dst.GuardsIntact());
  const std::vector<T> got = dst.Get();
  const long double norm = Norm(a) * Norm(b);
  const long double eps = std::numeric_limits<T>::epsilon();
  for (int32_t k = 0; k < w.dstLen; ++k) {
    const int64_t lag = static_cast<int64_t>(w.lowLag) + k;
    const long double ref = CrossRef(a, b, lag);
    if (lag <= -w.aLen || lag >= w.bLen) {
      EXPECT_EQ(got[k], T(0)) << "lag " << lag;
      continue;
    }
    const long double tol = 32 * eps * (CrossAbsRef(a, b, lag) + norm * std::log2(w.aLen + w.bLen));
    EXPECT_NEAR(static_cast<long double>(got[k]), ref, tol) << "lag " << lag;
  }
}

class CrossCorrF64Test : public VariantSetTest {};
class CrossCorrF32Test : public VariantSetTest {};

template <class T>
void WindowsAgainstReference() {
  for (const Window& w : kWindows) {
    const auto a = corr_test::Signal<T>(w.aLen, 11 + w.aLen);
    const auto b = corr_test::Signal<T>(w.bLen, 23 + w.bLen);
    for (int64_t offset : {0, 4, 8, 12}) CheckWindow(w, a, b, offset);
  }
}
TEST_P(CrossCorrF64Test, WindowsAgainstReference) { WindowsAgainstReference<double>(); }
TEST_P(CrossCorrF32Test, WindowsAgainstReference) { WindowsAgainstReference<float>(); }

// Small integers give exact sums on the direct path in every set, with
// inputs and outputs at any byte address, also off 4-byte boundaries.
template <class T>
void SmallIntegersExactAtEveryAlignment() {
  for (const Window& w : kWindows) {
    const auto av = corr_test::SmallIntegers<T>(w.aLen, 5 + w.aLen);
    const auto bv = corr_test::SmallIntegers<T>(w.bLen, 7 + w.bLen);
    for (int64_t offset : {0, 1, 2, 3, 4, 8, 12}) {
      PlacedArray<T> a(av, offset), b(bv, (offset * 5) % 16);
      SCOPED_TRACE(testing::Message() << "input offset " << offset);
      PlacedArray<T> dst(w.dstLen, (offset * 3) % 16);
      ASSERT_EQ(CrossCorr<T>(a.data(), w.aLen, b.data(), w.bLen, dst.data(), w.dstLen, w.lowLag), spOk);
      EXPECT_TRUE(dst.GuardsIntact());
      const std::vector<T> got = dst.Get();
      for (int32_t k = 0; k < w.dstLen; ++k)
        ASSERT_EQ(got[k], static_cast<T>(CrossRef(av, bv, int64_t{w.lowLag} + k)))
            << "aLen " << w.aLen << " bLen " << w.bLen << " lowLag " << w.lowLag << " k " << k;
      EXPECT_EQ(a.Get(), av);
      EXPECT_EQ(b.Get(), bv);
    }
  }
}
TEST_P(CrossCorrF64Test, SmallIntegersExactAtEveryAlignment) { SmallIntegersExactAtEveryAlignment<double>(); }
TEST_P(CrossCorrF32Test, SmallIntegersExactAtEveryAlignment) { SmallIntegersExactAtEveryAlignment<float>(); }

struct Choice {
  Window w;
  Path generic, others;  // the path the generic set and the other sets take
};

// Work = trunc(lags * min / max) against 511 (double) and 383 (float). In
// the last double case the exact quotient is 512 - 1/32963: the generic set
// forms 511, the others' single-precision product rounds up to exactly 512.
const Choice kChoicesF64[] = {
    {{512, 512, -200, 511}, Path::kDirect, Path::kDirect}, {{512, 512, -200, 512}, Path::kFft, Path::kFft},
    {{400, 600, -300, 766}, Path::kDirect, Path::kDirect},  // 766 * 400 / 600 = 510.67
    {{400, 600, -300, 768}, Path::kFft, Path::kFft},        // 512
    {{4615, 32963, 0, 3657}, Path::kDirect, Path::kFft},
};
const Choice kChoicesF32[] = {
    {{300, 300, -100, 383}, Path::kDirect, Path::kDirect},
    {{300, 300, -100, 384}, Path::kFft, Path::kFft},
    {{1000, 500, -999, 767}, Path::kDirect, Path::kDirect},  // 767 * 500 / 1000 = 383.5
    {{1000, 500, -999, 768}, Path::kFft, Path::kFft},
    // Lags outside the overlap do not count: 383 (384) of the window's lags
    // overlap.
    {{300, 300, -400, 484}, Path::kDirect, Path::kDirect},
    {{300, 300, -400, 485}, Path::kFft, Path::kFft},
};

template <class T, size_t N>
void DirectOrFftAtTheLimit(int set, const Choice (&choices)[N]) {
  for (const Choice& c : choices) {
    const Window& w = c.w;
    SCOPED_TRACE(testing::Message() << "aLen " << w.aLen << " bLen " << w.bLen << " dstLen " << w.dstLen);
    const auto a = corr_test::Signal<T>(w.aLen, 3);
    const auto b = corr_test::Signal<T>(w.bLen, 4);
    std::vector<T> dst(w.dstLen);
    const Path want = set == corr_test::kGeneric ? c.generic : c.others;
    EXPECT_EQ(
        PathTaken([&] { return CrossCorr<T>(a.data(), w.aLen, b.data(), w.bLen, dst.data(), w.dstLen, w.lowLag); }),
        want);
    // Both paths give the reference values.
    CheckWindow(w, a, b, 0);
  }
}
TEST_P(CrossCorrF64Test, DirectOrFftAtTheLimit) { DirectOrFftAtTheLimit<double>(SetIndex(), kChoicesF64); }
TEST_P(CrossCorrF32Test, DirectOrFftAtTheLimit) { DirectOrFftAtTheLimit<float>(SetIndex(), kChoicesF32); }

// The FFT path itself, over whole sequences and windows of them: S a power
// of two (no trailing zeros in the padded b), aLen = 1 (no leading zeros;
// the entry never sends it here), the shorter sequence either side, and
// transforms up to order 17 (every lag checked below 4,096 outputs, a
// spread of them above).
template <class T>
void FftPathWindows(int set) {
  struct Case {
    int32_t aLen, bLen, count;
    int64_t start;
  };
  const Case cases[] = {
      {600, 425, 1024, 0},     {1, 1500, 1500, 0},        {1500, 1, 1500, 0},     {700, 700, 1399, 0},
      {1000, 24, 30, 990},     {24, 1000, 100, 0},        {2, 1, 2, 0},           {1, 1, 1, 0},
      {2049, 2048, 4096, 0},   {3000, 1500, 4000, 50},    {9000, 7385, 16384, 0}, {40000, 25537, 65536, 0},
      {4096, 65536, 69631, 0}, {70000, 500, 3000, 69000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "aLen " << c.aLen << " bLen " << c.bLen << " start " << c.start);
    const auto a = corr_test::Signal<T>(c.aLen, 31);
    const auto b = corr_test::Signal<T>(c.bLen, 32);
    std::vector<T> out(c.count + 2, T(9));
    ASSERT_EQ(
        corr_test::SetKernels<T>::byFft[set](a.data(), c.aLen, b.data(), c.bLen, out.data() + 1, c.count, c.start),
        spOk);
    EXPECT_EQ(out.front(), T(9));
    EXPECT_EQ(out.back(), T(9));
    const long double tol = 64 * std::numeric_limits<T>::epsilon() * Norm(a) * Norm(b) * std::log2(c.aLen + c.bLen + 1);
    const int32_t stride = c.count <= 4096 ? 1 : c.count / 97;
    for (int32_t k = 0; k < c.count; k += stride)
      EXPECT_NEAR(out[k + 1], CrossRef(a, b, c.start + k - (c.aLen - 1)), tol) << "k " << k;
    EXPECT_NEAR(out[c.count], CrossRef(a, b, c.start + c.count - 1 - (c.aLen - 1)), tol) << "last";
  }
}
TEST_P(CrossCorrF64Test, FftPathWindows) { FftPathWindows<double>(SetIndex()); }
TEST_P(CrossCorrF32Test, FftPathWindows) { FftPathWindows<float>(SetIndex()); }

// Swapping the sequences mirrors the lags.
template <class T>
void SwappedSequencesMirrorTheLags() {
  for (int32_t len : {37, 300, 600}) {
    const auto a = corr_test::SmallIntegers<T>(len, 1), b = corr_test::SmallIntegers<T>(len / 2 + 3, 2);
    const int32_t bLen = len / 2 + 3, whole = len + bLen - 1;
    std::vector<T> ab(whole), ba(whole);
    ASSERT_EQ(CrossCorr<T>(a.data(), len, b.data(), bLen, ab.data(), whole, 1 - len), spOk);
    ASSERT_EQ(CrossCorr<T>(b.data(), bLen, a.data(), len, ba.data(), whole, 1 - bLen), spOk);
    for (int32_t k = 0; k < whole; ++k) EXPECT_NEAR(ab[k], ba[whole - 1 - k], 1e-3) << "len " << len << " k " << k;
  }
}
TEST_P(CrossCorrF64Test, SwappedSequencesMirrorTheLags) { SwappedSequencesMirrorTheLags<double>(); }
TEST_P(CrossCorrF32Test, SwappedSequencesMirrorTheLags) { SwappedSequencesMirrorTheLags<float>(); }

// Pointers first, then lengths; nothing written either way.
template <class T>
void StatusesInOrderWriteNothing() {
  const std::vector<T> a(4, T(1)), b(4, T(1));
  std::vector<T> dst(4, T(7));
  struct Case {
    bool nullA, nullB, nullDst;
    int32_t aLen, bLen, dstLen;
    spStatus want;
  };
  const Case cases[] = {
      {true, false, false, 4, 4, 4, spErrNullPointer},     {false, true, false, 4, 4, 4, spErrNullPointer},
      {false, false, true, 4, 4, 4, spErrNullPointer},     {false, false, true, 0, -1, 0, spErrNullPointer},
      {true, true, true, 0, 0, 0, spErrNullPointer},       {false, false, false, 0, 4, 4, spErrLength},
      {false, false, false, 4, 0, 4, spErrLength},         {false, false, false, 4, 4, 0, spErrLength},
      {false, false, false, INT32_MIN, 4, 4, spErrLength}, {false, false, false, 4, 4, -3, spErrLength},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CrossCorr<T>(c.nullA ? nullptr : a.data(), c.aLen, c.nullB ? nullptr : b.data(), c.bLen,
                           c.nullDst ? nullptr : dst.data(), c.dstLen, -1),
              c.want);
    EXPECT_EQ(dst, std::vector<T>(4, T(7)));
  }
}
TEST_P(CrossCorrF64Test, StatusesInOrderWriteNothing) { StatusesInOrderWriteNothing<double>(); }
TEST_P(CrossCorrF32Test, StatusesInOrderWriteNothing) { StatusesInOrderWriteNothing<float>(); }

// Every allocation of the FFT path failing in turn: -9 with dst untouched
// (the zeros outside the overlap included), or, for the optional work
// block, the full result from the transforms' own scratch; nothing left
// allocated either way.
template <class T>
void FftPathAllocationFailureLeavesDstUntouched() {
  const Window w{500, 500, -600, 1200};
  const auto a = corr_test::Signal<T>(w.aLen, 8), b = corr_test::Signal<T>(w.bLen, 9);
  std::vector<T> reference(w.dstLen);
  ASSERT_EQ(CrossCorr<T>(a.data(), w.aLen, b.data(), w.bLen, reference.data(), w.dstLen, w.lowLag), spOk);
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    std::vector<T> dst(w.dstLen, T(5));
    const int64_t live = spLiveAllocations();
    FailNthAllocation failure(k);
    const spStatus status = CrossCorr<T>(a.data(), w.aLen, b.data(), w.bLen, dst.data(), w.dstLen, w.lowLag);
    EXPECT_EQ(spLiveAllocations(), live);
    if (status == spOk) {
      EXPECT_EQ(dst, reference) << "request " << k;
      return failure.Reached();
    }
    EXPECT_EQ(status, spErrNoMemory) << "request " << k;
    EXPECT_EQ(dst, std::vector<T>(w.dstLen, T(5))) << "request " << k;
    return true;
  });
  EXPECT_GE(requests, 2);
}
TEST_P(CrossCorrF64Test, FftPathAllocationFailureLeavesDstUntouched) {
  FftPathAllocationFailureLeavesDstUntouched<double>();
}
TEST_P(CrossCorrF32Test, FftPathAllocationFailureLeavesDstUntouched) {
  FftPathAllocationFailureLeavesDstUntouched<float>();
}

// A whole sequence longer than 2^30 needs a transform above order 30: -15
// before anything is allocated or written, instead of a wrapped size. The
// inputs are never read on that path, so they need not exist in full.
template <class T>
void WholeSequenceBeyondLargestOrder() {
  const T a[1] = {T(1)}, b[1] = {T(1)};
  std::vector<T> dst(2000, T(3));
  const int32_t len = (1 << 30) + 2;
  const int64_t requests = spAllocationRequests();
  EXPECT_EQ(CrossCorr<T>(a, len, b, len, dst.data(), 2000, -1000), spErrFftOrder);
  EXPECT_EQ(spAllocationRequests(), requests);
  EXPECT_EQ(dst, std::vector<T>(2000, T(3)));
}
TEST_P(CrossCorrF64Test, WholeSequenceBeyondLargestOrder) { WholeSequenceBeyondLargestOrder<double>(); }
TEST_P(CrossCorrF32Test, WholeSequenceBeyondLargestOrder) { WholeSequenceBeyondLargestOrder<float>(); }

SP_INSTANTIATE_FOR_ALL_SETS(CrossCorrF64Test);
SP_INSTANTIATE_FOR_ALL_SETS(CrossCorrF32Test);

}  // namespace
