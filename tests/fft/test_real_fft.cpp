// The real FFT's cases that are the same in both precisions, through the
// dispatch entries in every variant set, each run for floats and for
// doubles: exact scaling, the inverse's scale under 1/sqrt N, closed forms,
// the small orders exactly, the caller's scratch at every misalignment,
// allocation failure, threads sharing one spec and specs of another set.
// Each precision's own cases are in test_real_fft_f32.cpp and
// test_real_fft_f64.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <thread>
#include <type_traits>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

int64_t Points(int order) { return int64_t{1} << order; }
int64_t PackedValues(int order) { return order == 0 ? 2 : Points(order) + 2; }

template <class T>
bool SameBits(const T* a, const T* b, int64_t count) {
  return std::memcmp(a, b, count * sizeof(T)) == 0;
}

class RealFftTest : public VariantSetTest {};

TEST_P(RealFftTest, ScalingByOneOverNIsExact) {
  ForBothPrecisions([&]<class T>() {
    for (int order : Precision<T>::Orders(SetIndex())) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      SpecOf<T> none(order, REALFFT_NO_DIV), fwd(order, REALFFT_DIV_FWD_BY_N), inv(order, REALFFT_DIV_INV_BY_N);
      const T invN = static_cast<T>(1.0 / static_cast<double>(Points(order)));
      const auto x = RandomValues<T>(Points(order), 500 + order);
      auto plain = PlacedForward(none.p, x, false);
      EXPECT_TRUE(SameBits(PlacedForward(inv.p, x, false).data(), plain.data(), PackedValues(order)));
      for (auto& v : plain) v *= invN;
      EXPECT_TRUE(SameBits(PlacedForward(fwd.p, x, false).data(), plain.data(), PackedValues(order)));

      const auto spectrum = RandomValues<T>(PackedValues(order), 600 + order);
      auto back = PlacedInverse(none.p, spectrum, false);
      EXPECT_TRUE(SameBits(PlacedInverse(fwd.p, spectrum, false).data(), back.data(), Points(order)));
      for (auto& v : back) v *= invN;
      EXPECT_TRUE(SameBits(PlacedInverse(inv.p, spectrum, false).data(), back.data(), Points(order)));
    }
  });
}

// From order 4 on the inverse scales last: under 1/sqrt N, a factor that
// is no power of two, it is the unscaled inverse times the spec's scale,
// one rounding per value, whichever step applies it. (The small kernels of
// orders 0 to 3 scale inside.)
TEST_P(RealFftTest, InverseBySqrtNIsTheUnscaledInverseTimesTheScale) {
  ForBothPrecisions([&]<class T>() {
    for (int order : Precision<T>::Orders(SetIndex())) {
      if (order < 4) continue;
      SCOPED_TRACE(testing::Message() << "order " << order);
      SpecOf<T> none(order, REALFFT_NO_DIV), root(order, REALFFT_DIV_BY_SQRT_N);
      const auto scale = static_cast<T>(root.p->scale);
      const auto spectrum = RandomValues<T>(PackedValues(order), 700 + order);
      auto back = PlacedInverse(none.p, spectrum, false);
      for (auto& v : back) v *= scale;
      EXPECT_TRUE(SameBits(PlacedInverse(root.p, spectrum, false).data(), back.data(), Points(order)));
    }
  });
}

TEST_P(RealFftTest, ClosedForms) {
  ForBothPrecisions([&]<class T>() {
    for (int order : Precision<T>::Orders(SetIndex())) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      const int64_t n = Points(order);
      SpecOf<T> spec(order, REALFFT_NO_DIV), scaled(order, REALFFT_DIV_FWD_BY_N);
      // A unit impulse: every bin exactly 1.
      std::vector<T> impulse(n, T(0));
      impulse[0] = T(1);
      const auto flat = PlacedForward(spec.p, impulse, false);
      for (int64_t k = 0; k <= n / 2; ++k) {
        ASSERT_EQ(flat[2 * k], T(1)) << "bin " << k;
        ASSERT_EQ(flat[2 * k + 1], T(0)) << "bin " << k;
      }
      // And back: N at 0, zeros elsewhere.
      std::vector<long double> spike(n, 0.0L);
      spike[0] = static_cast<long double>(n);
      EXPECT_LE(MaxError(PlacedInverse(spec.p, flat, false).data(), spike, n), Tolerance<T>(order, spike));
      // N ones: X0 = 1 with 1/N, the rest vanish.
      std::vector<long double> want(PackedValues(order), 0.0L);
      want[0] = 1;
      EXPECT_LE(MaxError(PlacedForward(scaled.p, std::vector<T>(n, T(1)), false).data(), want, PackedValues(order)),
                Precision<T>::kOnesError);
      // A cosine at bin b: Re X_b = N/2 (N at b = N/2), all else 0.
      if (order >= 2) {
        const int64_t b = n / 4 + 1 <= n / 2 ? n / 4 + 1 : 1;
        std::vector<long double> peak(PackedValues(order), 0.0L);
        peak[2 * b] = b == n / 2 ? n : n / 2.0L;
        std::vector<T> wave(n);
        if constexpr (std::is_same_v<T, float>) {
          for (int64_t t = 0; t < n; ++t)
            wave[t] = static_cast<float>(std::cos(2 * std::numbers::pi_v<long double> * b * t / n));
          // All the energy sits in one bin, so the rounding spread over the
          // other N/2 bins is large against the spectrum's root mean
          // square: twice the random-data bound.
          EXPECT_LE(MaxError(PlacedForward(spec.p, wave, false).data(), peak, PackedValues(order)),
                    2 * Tolerance<float>(order, ExactRealForward(wave)));
        } else {
          for (int64_t t = 0; t < n; ++t)
            wave[t] = static_cast<double>(std::cos(2 * std::numbers::pi_v<long double> * ((b * t) % n) / n));
          EXPECT_LE(MaxError(PlacedForward(spec.p, wave, false).data(), peak, PackedValues(order)),
                    Tolerance<double>(order, peak));
        }
      }
    }
  });
}

// The small orders, whose sums of small integers are exact.
TEST_P(RealFftTest, SmallOrdersExactly) {
  ForBothPrecisions([&]<class T>() {
    struct Case {
      int order;
      std::vector<T> x, packed;
    };
    const Case cases[] = {
        {0, {3}, {3, 0}},
        {1, {3, 5}, {8, 0, -2, 0}},
        {2, {1, 2, 4, 8}, {15, 0, -3, 6, -5, 0}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "order " << c.order);
      SpecOf<T> spec(c.order, REALFFT_NO_DIV);
      EXPECT_EQ(PlacedForward(spec.p, c.x, false), c.packed);
      // The inverse gives N times the input, whatever the zero slots hold.
      auto spectrum = c.packed;
      spectrum[1] = T(77);
      spectrum.back() = T(-9);
      std::vector<T> want = c.x;
      for (auto& v : want) v *= static_cast<T>(Points(c.order));
      EXPECT_EQ(PlacedInverse(spec.p, spectrum, false), want);
    }
  });
}

// Scratch: used from the caller's buffer's first 16-byte boundary for
// workBytes bytes, never beyond; ignored (untouched) when the spec needs
// none. The result does not depend on where the scratch lies, nor on the
// placement of the data.
TEST_P(RealFftTest, CallersWorkBufferAtEveryMisalignment) {
  ForBothPrecisions([&]<class T>() {
    constexpr uint8_t kGuard = 0xA5;
    for (int order : Precision<T>::BoundaryOrders(SetIndex())) {
      SpecOf<T> spec(order, REALFFT_DIV_INV_BY_N);
      const auto x = RandomValues<T>(Points(order), 700 + order);
      const auto plain = PlacedForward(spec.p, x, false);
      const auto back = PlacedInverse(spec.p, plain, false);
      const int64_t need = spec.p->workBytes;
      for (int offset = 0; offset < 16; ++offset) {
        SCOPED_TRACE(testing::Message() << "order " << order << " offset " << offset);
        std::vector<uint8_t> buffer(need + 15 + 64 + offset, kGuard);
        uint8_t* work = buffer.data() + offset;
        EXPECT_TRUE(SameBits(PlacedForward(spec.p, x, false, 0, work).data(), plain.data(), PackedValues(order)));
        EXPECT_TRUE(SameBits(PlacedForward(spec.p, x, true, 1, work).data(), plain.data(), PackedValues(order)));
        EXPECT_TRUE(SameBits(PlacedInverse(spec.p, plain, true, 0, work).data(), back.data(), Points(order)));
        const uintptr_t at = reinterpret_cast<uintptr_t>(work);
        const int64_t used = need == 0 ? 0 : static_cast<int64_t>(((at + 15) & ~uintptr_t{15}) - at) + need;
        for (size_t i = offset + used; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], kGuard) << "byte " << i;
      }
    }
  });
}

// Every allocation of a spec build and of a transform fails in turn: the
// call reports -9, leaves the caller's pointer and data alone and keeps no
// block.
TEST_P(RealFftTest, AllocationFailureAtEveryAllocation) {
  ForBothPrecisions([&]<class T>() {
    for (int order : {0, 4, Precision<T>::kLargestOrder[SetIndex()]}) {
      for (int64_t k = 1;; ++k) {
        SCOPED_TRACE(testing::Message() << "order " << order << " allocation " << k);
        const int64_t live = spLiveAllocations();
        REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
        REALFFTSPEC* spec = sentinel;
        spFailNthAllocation(k);
        const spStatus status = Entries<T>::init(&spec, order, REALFFT_DIV_INV_BY_N, 0);
        const bool reached = !spAllocationFailurePending();
        spFailNthAllocation(0);
        if (!reached) {
          ASSERT_EQ(status, spOk);
          Entries<T>::release(spec);
          break;
        }
        EXPECT_EQ(status, spErrNoMemory);
        EXPECT_EQ(spec, sentinel);
        EXPECT_EQ(spLiveAllocations(), live);
      }
      // A transform that needs scratch and gets none from the caller.
      SpecOf<T> spec(order, REALFFT_NO_DIV);
      if (spec.p->workBytes > 0) {
        const int64_t live = spLiveAllocations();
        std::vector<T> x(PackedValues(order), T(1)), dst(PackedValues(order), std::numeric_limits<T>::quiet_NaN());
        spFailNthAllocation(1);
        EXPECT_EQ(Entries<T>::forward(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
        spFailNthAllocation(1);
        EXPECT_EQ(Entries<T>::inverse(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
        spFailNthAllocation(0);
        for (T v : dst) EXPECT_TRUE(std::isnan(v));
        EXPECT_EQ(spLiveAllocations(), live);
      }
    }
  });
}

// A live spec is only read: eight threads share one, each with its own data
// (and scratch or none), and every result equals the single-thread one bit
// for bit: the forward, the inverse of a spectrum, and the inverse of the
// forward result.
TEST_P(RealFftTest, ThreadsShareOneSpec) {
  ForBothPrecisions([&]<class T>() {
    const int order = Precision<T>::ThreadsOrder(SetIndex());
    SpecOf<T> spec(order, REALFFT_DIV_INV_BY_N);
    constexpr int kThreads = 8;
    std::vector<std::vector<T>> inputs, wantFwd, wantInv, wantBack;
    for (int t = 0; t < kThreads; ++t) {
      inputs.push_back(RandomValues<T>(PackedValues(order), 1000 + t));
      wantFwd.push_back(
          PlacedForward(spec.p, std::vector<T>(inputs[t].begin(), inputs[t].begin() + Points(order)), false));
      wantInv.push_back(PlacedInverse(spec.p, inputs[t], false));
      wantBack.push_back(PlacedInverse(spec.p, wantFwd[t], false));
    }
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        std::vector<uint8_t> work(spec.p->workBytes + 15);
        uint8_t* scratch = t % 2 ? work.data() : nullptr;
        for (int round = 0; round < 20; ++round) {
          std::vector<T> f(PackedValues(order)), b(Points(order)), back(Points(order));
          const bool ok = Entries<T>::forward(inputs[t].data(), f.data(), spec.p, scratch) == spOk &&
                          Entries<T>::inverse(inputs[t].data(), b.data(), spec.p, scratch) == spOk &&
                          Entries<T>::inverse(f.data(), back.data(), spec.p, scratch) == spOk;
          if (!ok || !SameBits(f.data(), wantFwd[t].data(), PackedValues(order)) ||
              !SameBits(b.data(), wantInv[t].data(), Points(order)) ||
              !SameBits(back.data(), wantBack[t].data(), Points(order)))
            ++mismatches[t];
        }
      });
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
  });
}

// Dispatch moves on to another set: that set refuses the spec rather than
// run its tables through its own kernels, and any set may release it.
TEST(RealFftSets, SpecOfAnotherSetIsRefused) {
  std::vector<int> sets;
  for (int s = 0; s < kSpVariantSetCount; ++s)
    if (spVariantSetSupported(s)) sets.push_back(s);
  if (sets.size() < 2) GTEST_SKIP() << "one variant set only";
  const int32_t previous = spForceVariantSet(sets[0]);
  ForBothPrecisions([&]<class T>() {
    for (int builder : sets) {
      for (int user : sets) {
        if (user == builder) continue;
        SCOPED_TRACE(testing::Message() << "built by " << spVariantSetName(builder) << ", used by "
                                        << spVariantSetName(user));
        for (int order : {2, 6, 11}) {
          spForceVariantSet(builder);
          REALFFTSPEC* spec = nullptr;
          ASSERT_EQ(Entries<T>::init(&spec, order, REALFFT_NO_DIV, 0), spOk);
          spForceVariantSet(user);
          std::vector<T> x(PackedValues(order), T(1)), dst(PackedValues(order), std::numeric_limits<T>::quiet_NaN());
          EXPECT_EQ(Entries<T>::forward(x.data(), dst.data(), spec, nullptr), spErrSpecKind);
          EXPECT_EQ(Entries<T>::inverse(x.data(), dst.data(), spec, nullptr), spErrSpecKind);
          for (T v : dst) EXPECT_TRUE(std::isnan(v));
          EXPECT_EQ(Entries<T>::release(spec), spOk);
        }
      }
    }
  });
  spForceVariantSet(previous);
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftTest);

}  // namespace
