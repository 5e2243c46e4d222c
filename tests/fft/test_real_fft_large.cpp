// The large-size path's cases that are the same in both precisions, through
// the dispatch entries in every variant set, each run for floats and for
// doubles: every plan shape of one level against a long-double FFT, every
// flag in place and out of place at several offsets (1/N scaling bit for
// bit, the packed zero slots), closed forms, round trip, Parseval, circular
// shift and agreement with the generic set at larger orders, and
// allocation failure at every allocation of a large spec. Each precision's
// own cases are in test_real_fft_f32_large.cpp and
// test_real_fft_f64_large.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "fft/real_fft_large.h"
#include "fft/real_fft_reference.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "support/alloc_failure.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

// The bits of a value, to tell +0.0 from -0.0.
template <class T>
auto BitsOf(T v) {
  if constexpr (std::is_same_v<T, float>)
    return std::bit_cast<uint32_t>(v);
  else
    return std::bit_cast<uint64_t>(v);
}

class RealFftLargeTest : public VariantSetTest {};

TEST_P(RealFftLargeTest, EveryOneLevelShapeMatchesLongDouble) {
  ForBothPrecisions([&]<class T>() {
    for (int order : LargePrecision<T>::ShapeOrders(SetIndex())) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      const LargeReference<T>& ref = LargeReferenceOf<T>(order);
      SpecOf<T> plain(order, REALFFT_NO_DIV), root(order, REALFFT_DIV_BY_SQRT_N);
      ASSERT_EQ(plain.status, spOk);
      ASSERT_EQ(root.status, spOk);
      EXPECT_LE(MaxError(PlacedForward(plain.p, ref.x).data(), ref.forward, Packed(order)),
                Tolerance<T>(order, ref.forward));
      EXPECT_LE(MaxError(PlacedInverse(plain.p, ref.packed).data(), ref.inverse, Points(order)),
                Tolerance<T>(order, ref.inverse));
      const long double factor = 1.0L / std::sqrt(static_cast<long double>(Points(order)));
      const auto wantForward = Times(ref.forward, factor), wantInverse = Times(ref.inverse, factor);
      EXPECT_LE(MaxError(PlacedForward(root.p, ref.x, true, 1).data(), wantForward, Packed(order)),
                Tolerance<T>(order, wantForward));
      EXPECT_LE(MaxError(PlacedInverse(root.p, ref.packed, true, LargePrecision<T>::kShapeInverseShift).data(),
                         wantInverse, Points(order)),
                Tolerance<T>(order, wantInverse));
    }
  });
}

// Every flag, in place and out of place, at a 16-byte boundary and past
// one, each the same bits as out of place aligned: scaling by 1/N, a power
// of two, is exact wherever the path applies it; the packed zero slots are
// +0.0.
TEST_P(RealFftLargeTest, EveryFlagAndPlacement) {
  ForBothPrecisions([&]<class T>() {
    for (int order : LargePrecision<T>::PlacementOrders(SetIndex())) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      const LargeReference<T>& ref = LargeReferenceOf<T>(order);
      SpecOf<T> none(order, REALFFT_NO_DIV), fwd(order, REALFFT_DIV_FWD_BY_N), inv(order, REALFFT_DIV_INV_BY_N);
      const auto base = PlacedForward(none.p, ref.x), back = PlacedInverse(none.p, ref.packed);
      EXPECT_LE(MaxError(base.data(), ref.forward, Packed(order)), Tolerance<T>(order, ref.forward));
      EXPECT_EQ(BitsOf(base[1]), 0u);
      EXPECT_EQ(BitsOf(base[Points(order) + 1]), 0u);
      const T invN = T(1) / static_cast<T>(Points(order));
      auto scaled = base, scaledBack = back;
      for (auto& v : scaled) v *= invN;
      for (auto& v : scaledBack) v *= invN;
      for (bool inPlace : {false, true})
        for (int shift = 0; shift < LargePrecision<T>::kShifts; ++shift) {
          SCOPED_TRACE(testing::Message() << (inPlace ? "in place" : "out of place") << " shift " << shift);
          EXPECT_EQ(PlacedForward(none.p, ref.x, inPlace, shift), base);
          EXPECT_EQ(PlacedInverse(none.p, ref.packed, inPlace, shift), back);
          EXPECT_EQ(PlacedForward(fwd.p, ref.x, inPlace, shift), scaled);
          EXPECT_EQ(PlacedInverse(fwd.p, ref.packed, inPlace, shift), back);
          EXPECT_EQ(PlacedInverse(inv.p, ref.packed, inPlace, shift), scaledBack);
          EXPECT_EQ(PlacedForward(inv.p, ref.x, inPlace, shift), base);
        }
    }
  });
}

TEST_P(RealFftLargeTest, TonesRoundTripParsevalAndShift) {
  ForBothPrecisions([&]<class T>() {
    for (int order : LargePrecision<T>::CheckedOrders(SetIndex())) CheckLargeOrder<T>(order, SetIndex());
  });
}

// Every allocation of a large spec and of its transforms' scratch fails in
// turn: -9, nothing stored, nothing leaked, the caller's data untouched.
TEST_P(RealFftLargeTest, AllocationFailureAtEveryAllocation) {
  ForBothPrecisions([&]<class T>() {
    for (int order : LargePrecision<T>::AllocationOrders(SetIndex())) {
      SCOPED_TRACE(testing::Message() << "order " << order);
      const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
        const int64_t live = spLiveAllocations();
        REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
        REALFFTSPEC* spec = sentinel;
        spStatus status;
        bool reached;
        {
          FailNthAllocation failure(k);
          status = Entries<T>::init(&spec, order, REALFFT_DIV_INV_BY_N, 0);
          reached = failure.Reached();
        }
        if (!reached) {
          EXPECT_EQ(status, spOk);
          Entries<T>::release(spec);
          return false;
        }
        EXPECT_EQ(status, spErrNoMemory);
        EXPECT_EQ(spec, sentinel);
        EXPECT_EQ(spLiveAllocations(), live);
        return true;
      });
      EXPECT_GE(requests, 1);
      SpecOf<T> spec(order, REALFFT_NO_DIV);
      ASSERT_EQ(spec.status, spOk);
      if (spec.p->workBytes > 0) {
        const int64_t live = spLiveAllocations();
        std::vector<T> x(Packed(order), T(1)), dst(Packed(order), std::numeric_limits<T>::quiet_NaN());
        {
          FailNthAllocation failure(1);
          EXPECT_EQ(Entries<T>::forward(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
        }
        {
          FailNthAllocation failure(1);
          EXPECT_EQ(Entries<T>::inverse(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
        }
        for (T v : dst) ASSERT_TRUE(std::isnan(v));
        EXPECT_EQ(spLiveAllocations(), live);
      }
    }
  });
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftLargeTest);

}  // namespace
