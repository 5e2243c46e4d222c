// Double-precision real FFT through its dispatch entries, in every variant
// set up to the last order of its plain or fused engine: against
// long-double references, round trips and the transform's algebra
// (Parseval, linearity, circular shift), the packed format's zero slots, in
// place against out of place at 8-byte offsets, the spec record and work
// sizes, the order of the checks and release. The cases both precisions
// share are in test_real_fft.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr int32_t kFlags[] = {REALFFT_NO_DIV, REALFFT_DIV_FWD_BY_N, REALFFT_DIV_INV_BY_N, REALFFT_DIV_BY_SQRT_N};
const double kNaN = std::numeric_limits<double>::quiet_NaN();

using Spec = SpecOf<double>;

int64_t Points(int order) { return int64_t{1} << order; }
int64_t PackedValues(int order) { return order == 0 ? 2 : Points(order) + 2; }

long double ForwardFactor(int32_t flag, int order) {
  const double n = static_cast<double>(Points(order));
  if (flag == REALFFT_DIV_FWD_BY_N) return 1.0 / n;
  if (flag == REALFFT_DIV_BY_SQRT_N) return 1.0 / std::sqrt(n);
  return 1;
}
long double InverseFactor(int32_t flag, int order) {
  const double n = static_cast<double>(Points(order));
  if (flag == REALFFT_DIV_INV_BY_N) return 1.0 / n;
  if (flag == REALFFT_DIV_BY_SQRT_N) return 1.0 / std::sqrt(n);
  return 1;
}

std::vector<long double> Times(std::vector<long double> v, long double f) {
  for (auto& e : v) e *= f;
  return v;
}

bool SameBits(const double* a, const double* b, int64_t count) {
  return std::memcmp(a, b, count * sizeof(double)) == 0;
}

TEST(LongDoubleReference, RadixTwoFftMatchesNaiveDft) {
  for (int order = 0; order <= 9; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const auto x = RandomValues<double>(Points(order), 10 + order);
    const auto naive = NaiveRealForward(x), fast = FftRealForward(x);
    EXPECT_LE(MaxError(fast.data(), naive, static_cast<int64_t>(naive.size())), 1e-15L);
    const auto spectrum = RandomValues<double>(PackedValues(order), 20 + order);
    const auto back = NaiveRealInverse(spectrum, Points(order)), fastBack = FftRealInverse(spectrum, Points(order));
    EXPECT_LE(MaxError(fastBack.data(), back, Points(order)), 1e-15L);
  }
}

class RealFftF64Test : public VariantSetTest {
 protected:
  int Largest() const { return Precision<double>::kLargestOrder[SetIndex()]; }
};

TEST_P(RealFftF64Test, ForwardAndInverseMatchLongDoubleReferenceAtEveryOrder) {
  for (int order = 0; order <= Largest(); ++order) {
    const auto x = RandomValues<double>(Points(order), 100 + order);
    const auto exact = FftRealForward(x);
    auto packed = RandomValues<double>(PackedValues(order), 200 + order);
    const auto exactBack = FftRealInverse(packed, Points(order));
    packed[1] = 12345.0;  // never read
    packed.back() = -kNaN;
    for (int32_t flag : kFlags) {
      Spec spec(order, flag);
      ASSERT_EQ(spec.status, spOk);
      const auto want = Times(exact, ForwardFactor(flag, order));
      const auto wantBack = Times(exactBack, InverseFactor(flag, order));
      for (bool inPlace : {false, true})
        for (int shift : {0, 1}) {
          SCOPED_TRACE(testing::Message()
                       << "order " << order << " flag " << flag << (inPlace ? " in place" : "") << " shift " << shift);
          const auto got = PlacedForward(spec.p, x, inPlace, shift);
          EXPECT_LE(MaxError(got.data(), want, PackedValues(order)), Tolerance<double>(order, want));
          // The packed format's zero slots are exactly +0.0.
          EXPECT_EQ(std::bit_cast<uint64_t>(got[1]), 0u);
          if (order > 0) {
            EXPECT_EQ(std::bit_cast<uint64_t>(got[Points(order) + 1]), 0u);
          }
          const auto back = PlacedInverse(spec.p, packed, inPlace, shift);
          EXPECT_LE(MaxError(back.data(), wantBack, Points(order)), Tolerance<double>(order, wantBack));
        }
    }
  }
}

// In place and at an 8-byte offset give the very bits of out of place at a
// 16-byte boundary.
TEST_P(RealFftF64Test, InPlaceAndOffsetGiveTheSameBits) {
  for (int order = 0; order <= Largest(); ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec spec(order, REALFFT_NO_DIV);
    const auto x = RandomValues<double>(Points(order), 300 + order);
    const auto base = PlacedForward(spec.p, x, false);
    const auto back = PlacedInverse(spec.p, base, false);
    for (bool inPlace : {false, true})
      for (int shift : {0, 1}) {
        EXPECT_TRUE(SameBits(PlacedForward(spec.p, x, inPlace, shift).data(), base.data(), PackedValues(order)));
        EXPECT_TRUE(SameBits(PlacedInverse(spec.p, base, inPlace, shift).data(), back.data(), Points(order)));
      }
  }
}

// Round trip, Parseval, linearity and a circular shift (X_k e^(-2 pi j k s / N))
// at the smallest table order, a middle one and the set's largest.
TEST_P(RealFftF64Test, RoundTripParsevalLinearityAndShift) {
  for (int order : {4, 5, 9, Largest() - 1, Largest()}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const int64_t n = Points(order);
    Spec spec(order, REALFFT_DIV_INV_BY_N);
    const auto x = RandomValues<double>(n, 800 + order), y = RandomValues<double>(n, 900 + order);
    const auto fx = PlacedForward(spec.p, x, false), fy = PlacedForward(spec.p, y, false);

    const auto back = PlacedInverse(spec.p, fx, false);
    const std::vector<long double> xl(x.begin(), x.end());
    EXPECT_LE(MaxError(back.data(), xl, n), 2 * Tolerance<double>(order, xl));

    // sum x^2 = (X0^2 + X(N/2)^2 + 2 sum |Xk|^2) / N.
    long double energy = 0, spectral = fx[0] * fx[0] + fx[n] * static_cast<long double>(fx[n]);
    for (double v : x) energy += static_cast<long double>(v) * v;
    for (int64_t k = 1; k < n / 2; ++k)
      spectral += 2 * (static_cast<long double>(fx[2 * k]) * fx[2 * k] +
                       static_cast<long double>(fx[2 * k + 1]) * fx[2 * k + 1]);
    EXPECT_NEAR(static_cast<double>(spectral / n), static_cast<double>(energy), 1e-12 * static_cast<double>(energy));

    std::vector<double> mix(n);
    for (int64_t i = 0; i < n; ++i) mix[i] = 2 * x[i] - 3 * y[i];
    std::vector<long double> wantMix(PackedValues(order));
    for (int64_t i = 0; i < PackedValues(order); ++i) wantMix[i] = 2.0L * fx[i] - 3.0L * fy[i];
    EXPECT_LE(MaxError(PlacedForward(spec.p, mix, false).data(), wantMix, PackedValues(order)),
              4 * Tolerance<double>(order, wantMix));

    const int64_t s = n / 2 + 3;
    std::vector<double> shifted(n);
    for (int64_t i = 0; i < n; ++i) shifted[(i + s) % n] = x[i];
    std::vector<long double> wantShift(PackedValues(order), 0.0L);
    for (int64_t k = 0; k <= n / 2; ++k) {
      const long double a = -2 * std::numbers::pi_v<long double> * ((k * s) % n) / n;
      const CxL v = CxL(fx[2 * k], fx[2 * k + 1]) * CxL(std::cos(a), std::sin(a));
      wantShift[2 * k] = v.real();
      if (k != 0 && k != n / 2) wantShift[2 * k + 1] = v.imag();
    }
    EXPECT_LE(MaxError(PlacedForward(spec.p, shifted, false).data(), wantShift, PackedValues(order)),
              2 * Tolerance<double>(order, wantShift));
  }
}

TEST_P(RealFftF64Test, SpecRecordAndWorkSizes) {
  const bool fused = SetIndex() >= SP_SET_SSE2;
  for (int order = 0; order <= Largest(); ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec spec(order, REALFFT_DIV_BY_SQRT_N, 1234);
    ASSERT_EQ(spec.status, spOk);
    const REALFFTSPEC& s = *spec.p;
    EXPECT_EQ(s.kind, kRealFftKindF64);
    EXPECT_EQ(s.order, order);
    EXPECT_EQ(s.hint, 1234);
    EXPECT_EQ(s.owned, 1);
    EXPECT_EQ(s.forwardScaled, 1);
    EXPECT_EQ(s.inverseScaled, 1);
    EXPECT_EQ(s.scale, 1.0 / std::sqrt(static_cast<double>(Points(order))));
    EXPECT_EQ(s.owner.setIndex, SetIndex());
    const bool tables = order >= 4;
    EXPECT_EQ(s.bitReversal != nullptr, tables);
    EXPECT_EQ(s.twiddles != nullptr, tables);
    EXPECT_EQ(s.splitForward != nullptr, tables);
    EXPECT_EQ(s.splitInverse != nullptr, tables);
    EXPECT_EQ(s.reserved, nullptr);
    EXPECT_EQ(s.subsampledTwiddles, nullptr);
    const int64_t work = tables && fused ? 16 * Points(order - 1) : 0;
    EXPECT_EQ(s.workBytes, work);
  }
  if (fused) {
    EXPECT_EQ(Spec(4, REALFFT_NO_DIV).p->workBytes, 128);
    if (Largest() == 15) {
      EXPECT_EQ(Spec(15, REALFFT_NO_DIV).p->workBytes, 262144);
    }
  }
  struct FlagCase {
    int32_t flag, forward, inverse;
    double scale;
  };
  for (const FlagCase& c : {FlagCase{REALFFT_NO_DIV, 0, 0, 0.0}, FlagCase{REALFFT_DIV_FWD_BY_N, 1, 0, 1.0 / 32},
                            FlagCase{REALFFT_DIV_INV_BY_N, 0, 1, 1.0 / 32}}) {
    Spec spec(5, c.flag);
    EXPECT_EQ(spec.p->forwardScaled, c.forward);
    EXPECT_EQ(spec.p->inverseScaled, c.inverse);
    EXPECT_EQ(spec.p->scale, c.scale);
  }
}

TEST_P(RealFftF64Test, ChecksInOrderAndRefusalsAllocateNothing) {
  REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
  REALFFTSPEC* out = sentinel;
  const int64_t live = spLiveAllocations();
  EXPECT_EQ(spRealFftInitF64(nullptr, -1, 3, 0), spErrNullPointer);
  EXPECT_EQ(spRealFftInitF64(&out, -1, 3, 0), spErrFftOrder);
  EXPECT_EQ(spRealFftInitF64(&out, 31, REALFFT_NO_DIV, 0), spErrFftOrder);
  EXPECT_EQ(spRealFftInitF64(&out, INT32_MIN, REALFFT_NO_DIV, 0), spErrFftOrder);
  EXPECT_EQ(spLiveAllocations(), live);
  for (int32_t flag : {0, 3, 16, -1})
    for (int order : {0, 4}) EXPECT_EQ(spRealFftInitF64(&out, order, flag, 0), spErrFftScaleFlag);
  EXPECT_EQ(out, sentinel) << "a failed init stored a spec";
  EXPECT_EQ(spLiveAllocations(), live);

  Spec spec(4, REALFFT_NO_DIV);
  REALFFTSPEC single = *spec.p;
  single.kind = kRealFftKindF32;  // a single-precision spec
  std::vector<double> data(18, 1.0), dst(18, kNaN);
  EXPECT_EQ(spRealFftFwdF64(nullptr, nullptr, nullptr, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftInvF64(nullptr, nullptr, nullptr, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftFwdF64(nullptr, nullptr, &single, nullptr), spErrSpecKind);
  EXPECT_EQ(spRealFftInvF64(nullptr, nullptr, &single, nullptr), spErrSpecKind);
  EXPECT_EQ(spRealFftFwdF64(data.data(), dst.data(), &single, nullptr), spErrSpecKind);
  EXPECT_EQ(spRealFftFwdF64(nullptr, dst.data(), spec.p, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftFwdF64(data.data(), nullptr, spec.p, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftInvF64(nullptr, dst.data(), spec.p, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftInvF64(data.data(), nullptr, spec.p, nullptr), spErrNullPointer);
  for (double v : dst) EXPECT_TRUE(std::isnan(v)) << "a refused call wrote";

  // Each precision refuses the other's spec, in transforms and release.
  REALFFTSPEC* floatSpec = nullptr;
  ASSERT_EQ(spRealFftInitF32(&floatSpec, 4, REALFFT_NO_DIV, 0), spOk);
  EXPECT_EQ(spRealFftFwdF64(data.data(), dst.data(), floatSpec, nullptr), spErrSpecKind);
  EXPECT_EQ(spRealFftFreeF64(floatSpec), spErrSpecKind);
  EXPECT_EQ(spRealFftFreeF32(spec.p), spErrSpecKind);
  EXPECT_EQ(spRealFftFreeF32(floatSpec), spOk);

  EXPECT_EQ(spRealFftFreeF64(nullptr), spErrNullPointer);
  const REALFFTSPEC before = single;
  EXPECT_EQ(spRealFftFreeF64(&single), spErrSpecKind);
  EXPECT_EQ(std::memcmp(&before, &single, sizeof single), 0) << "a refused free changed the record";
}

// Release writes kind 0 before it gives the block back, so a record whose
// block the caller still holds is refused on a second release.
TEST_P(RealFftF64Test, ReleasedRecordIsRefused) {
  REALFFTSPEC* spec = nullptr;
  ASSERT_EQ(spRealFftInitF64(&spec, 5, REALFFT_NO_DIV, 0), spOk);
  spec->owned = 0;  // the record stays the caller's
  EXPECT_EQ(spRealFftFreeF64(spec), spOk);
  EXPECT_EQ(spec->kind, kRealFftKindReleased);
  EXPECT_EQ(spRealFftFreeF64(spec), spErrSpecKind);
  std::vector<double> x(34, 1.0), dst(34, kNaN);
  EXPECT_EQ(spRealFftFwdF64(x.data(), dst.data(), spec, nullptr), spErrSpecKind);
  spec->kind = kRealFftKindF64;
  spec->owned = 1;
  EXPECT_EQ(spRealFftFreeF64(spec), spOk);
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF64Test);

}  // namespace
