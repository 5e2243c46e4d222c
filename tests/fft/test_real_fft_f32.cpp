// Single-precision real FFT through its dispatch entries, in every variant
// set: against a long-double DFT at every order the sets run, round trips,
// the packed format's zero slots, in place against out of place, misaligned
// arrays, the spec record and the order of the checks. The cases both
// precisions share are in test_real_fft.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/sp_real_fft.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr int32_t kFlags[] = {REALFFT_NO_DIV, REALFFT_DIV_FWD_BY_N, REALFFT_DIV_INV_BY_N, REALFFT_DIV_BY_SQRT_N};
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// A spec released at scope end (by whichever set is current then: any set
// may release a spec).
using Spec = SpecOf<float>;

int64_t Points(int order) { return int64_t{1} << order; }
int64_t PackedValues(int order) { return order == 0 ? 2 : Points(order) + 2; }

// The factor a direction is scaled by: the spec's float scale, or 1.
long double ScaleFactor(int32_t flag, int order, bool inverse) {
  const double n = static_cast<double>(Points(order));
  const bool scaled = flag == REALFFT_DIV_BY_SQRT_N || flag == (inverse ? REALFFT_DIV_INV_BY_N : REALFFT_DIV_FWD_BY_N);
  if (!scaled) return 1;
  return static_cast<float>(flag == REALFFT_DIV_BY_SQRT_N ? 1.0 / std::sqrt(n) : 1.0 / n);
}

std::vector<long double> Times(std::vector<long double> v, long double f) {
  for (auto& e : v) e *= f;
  return v;
}

float* AlignedTo16(float* p) {
  return reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(p) + 15) & ~uintptr_t{15});
}

bool SameBits(const float* a, const float* b, int64_t count) { return std::memcmp(a, b, count * sizeof(float)) == 0; }

// Forward transform into a fresh array (or in place), the values after the
// packed spectrum preset to NaN so stray writes show.
std::vector<float> Forward(REALFFTSPEC* spec, const std::vector<float>& x, bool inPlace, uint8_t* work = nullptr) {
  const int order = spec->order;
  std::vector<float> out(PackedValues(order) + 1, kNaN);
  spStatus status;
  if (inPlace) {
    std::copy(x.begin(), x.end(), out.begin());
    status = spRealFftFwdF32(out.data(), out.data(), spec, work);
  } else {
    status = spRealFftFwdF32(x.data(), out.data(), spec, work);
  }
  EXPECT_EQ(status, spOk);
  EXPECT_TRUE(std::isnan(out.back())) << "wrote past the packed spectrum";
  out.pop_back();
  return out;
}

// Inverse transform; in place the two values after the N results keep what
// the spectrum held there.
std::vector<float> Inverse(REALFFTSPEC* spec, const std::vector<float>& packed, bool inPlace, uint8_t* work = nullptr) {
  const int64_t n = Points(spec->order);
  std::vector<float> out(n + 1, kNaN);
  if (inPlace) {
    std::vector<float> buffer = packed;
    EXPECT_EQ(spRealFftInvF32(buffer.data(), buffer.data(), spec, work), spOk);
    if (n > 1) {
      EXPECT_TRUE(SameBits(buffer.data() + n, packed.data() + n, 2)) << "touched the slots after the result";
    }
    std::copy(buffer.begin(), buffer.begin() + n, out.begin());
  } else {
    EXPECT_EQ(spRealFftInvF32(packed.data(), out.data(), spec, work), spOk);
    EXPECT_TRUE(std::isnan(out.back())) << "wrote past N values";
  }
  out.pop_back();
  return out;
}

class RealFftF32Test : public VariantSetTest {
 protected:
  std::vector<int> TestedOrders() const { return Precision<float>::Orders(SetIndex()); }
  std::vector<int> BoundaryOrders() const { return Precision<float>::BoundaryOrders(SetIndex()); }
};

TEST_P(RealFftF32Test, ForwardMatchesLongDoubleDftAtEveryOrder) {
  for (int order : TestedOrders()) {
    const auto x = RandomValues<float>(Points(order), 100 + order);
    const auto exact = ExactRealForward(x);
    for (int32_t flag : kFlags) {
      Spec spec(order, flag);
      ASSERT_EQ(spec.status, spOk);
      const auto want = Times(exact, ScaleFactor(flag, order, false));
      for (bool inPlace : {false, true}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag << (inPlace ? " in place" : ""));
        const auto got = Forward(spec.p, x, inPlace);
        EXPECT_LE(MaxError(got.data(), want, static_cast<int64_t>(got.size())), Tolerance<float>(order, want));
        // The packed format's zero slots are +0.0 whatever the array held.
        EXPECT_EQ(std::bit_cast<uint32_t>(got[1]), 0u);
        if (order > 0) {
          EXPECT_EQ(std::bit_cast<uint32_t>(got[Points(order) + 1]), 0u);
        }
      }
    }
  }
}

TEST_P(RealFftF32Test, InverseMatchesLongDoubleReferenceAndIgnoresZeroSlots) {
  for (int order : TestedOrders()) {
    auto packed = RandomValues<float>(PackedValues(order), 200 + order);
    const auto exact = ExactRealInverse(packed, Points(order));
    packed[1] = 12345.0f;  // never read
    packed.back() = -kNaN;
    for (int32_t flag : kFlags) {
      Spec spec(order, flag);
      ASSERT_EQ(spec.status, spOk);
      const auto want = Times(exact, ScaleFactor(flag, order, true));
      for (bool inPlace : {false, true}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag << (inPlace ? " in place" : ""));
        const auto got = Inverse(spec.p, packed, inPlace);
        EXPECT_LE(MaxError(got.data(), want, Points(order)), Tolerance<float>(order, want));
      }
    }
  }
}

// In place gives the very bits of out of place, both ways, every order.
TEST_P(RealFftF32Test, InPlaceEqualsOutOfPlace) {
  for (int order : TestedOrders()) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec spec(order, REALFFT_NO_DIV);
    const auto x = RandomValues<float>(Points(order), 300 + order);
    const auto apart = Forward(spec.p, x, false), together = Forward(spec.p, x, true);
    EXPECT_TRUE(SameBits(apart.data(), together.data(), PackedValues(order)));
    const auto back = Inverse(spec.p, apart, false), backTogether = Inverse(spec.p, apart, true);
    EXPECT_TRUE(SameBits(back.data(), backTogether.data(), Points(order)));
  }
}

// Arrays on any float boundary give the bits of 16-byte aligned ones.
TEST_P(RealFftF32Test, MisalignedArrays) {
  for (int order : BoundaryOrders()) {
    Spec spec(order, REALFFT_NO_DIV);
    const int64_t values = PackedValues(order);
    const auto x = RandomValues<float>(Points(order), 800 + order);
    const auto want = Forward(spec.p, x, false);
    const auto wantBack = Inverse(spec.p, want, false);
    for (int offset : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "order " << order << " offset " << 4 * offset << " bytes");
      std::vector<float> srcBuffer(values + 8), dstBuffer(values + 8);
      float* src = AlignedTo16(srcBuffer.data());
      float* dst = AlignedTo16(dstBuffer.data());
      std::copy(x.begin(), x.end(), src + offset);
      ASSERT_EQ(spRealFftFwdF32(src + offset, dst + offset, spec.p, nullptr), spOk);
      EXPECT_TRUE(SameBits(dst + offset, want.data(), values));
      ASSERT_EQ(spRealFftFwdF32(src + offset, src + offset, spec.p, nullptr), spOk);
      EXPECT_TRUE(SameBits(src + offset, want.data(), values));
      ASSERT_EQ(spRealFftInvF32(want.data(), dst + offset, spec.p, nullptr), spOk);
      EXPECT_TRUE(SameBits(dst + offset, wantBack.data(), Points(order)));
      std::copy(want.begin(), want.end(), src + offset);
      ASSERT_EQ(spRealFftInvF32(src + offset, src + offset, spec.p, nullptr), spOk);
      EXPECT_TRUE(SameBits(src + offset, wantBack.data(), Points(order)));
    }
  }
}

TEST_P(RealFftF32Test, RoundTripPerFlag) {
  for (int order : TestedOrders()) {
    const auto x = RandomValues<float>(Points(order), 400 + order);
    for (int32_t flag : kFlags) {
      SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag);
      Spec spec(order, flag);
      const auto back = Inverse(spec.p, Forward(spec.p, x, false), false);
      const long double gain = flag == REALFFT_NO_DIV ? Points(order) : 1;
      std::vector<long double> want(x.begin(), x.end());
      want = Times(want, gain);
      EXPECT_LE(MaxError(back.data(), want, Points(order)), 2 * Tolerance<float>(order, want));
    }
  }
}

TEST_P(RealFftF32Test, SpecRecord) {
  for (int order : TestedOrders()) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec spec(order, REALFFT_DIV_BY_SQRT_N, 1234);
    ASSERT_EQ(spec.status, spOk);
    const REALFFTSPEC& s = *spec.p;
    EXPECT_EQ(s.kind, kRealFftKindF32);
    EXPECT_EQ(s.order, order);
    EXPECT_EQ(s.hint, 1234);
    EXPECT_EQ(s.owned, 1);
    EXPECT_EQ(s.forwardScaled, 1);
    EXPECT_EQ(s.inverseScaled, 1);
    EXPECT_EQ(s.scale, static_cast<double>(static_cast<float>(1.0 / std::sqrt(static_cast<double>(Points(order))))));
    EXPECT_EQ(s.owner.setIndex, SetIndex());
    const bool tables = order >= 4;
    EXPECT_EQ(s.bitReversal != nullptr, tables);
    EXPECT_EQ(s.twiddles != nullptr, tables);
    EXPECT_EQ(s.splitForward != nullptr, tables);
    EXPECT_EQ(s.splitInverse != nullptr, tables);
    EXPECT_EQ(s.reserved, nullptr);
    if (!tables) {
      EXPECT_EQ(s.workBytes, 0);
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
  Spec one(0, REALFFT_DIV_BY_SQRT_N);
  EXPECT_EQ(one.p->scale, 1.0);
}

TEST_P(RealFftF32Test, ChecksInOrder) {
  REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
  REALFFTSPEC* out = sentinel;
  EXPECT_EQ(spRealFftInitF32(nullptr, -1, 3, 0), spErrNullPointer);  // pointer before order
  EXPECT_EQ(spRealFftInitF32(&out, -1, 3, 0), spErrFftOrder);        // order before flag
  EXPECT_EQ(spRealFftInitF32(&out, 31, REALFFT_NO_DIV, 0), spErrFftOrder);
  for (int32_t flag : {0, 3, 16, -1})
    for (int order : {0, 4}) EXPECT_EQ(spRealFftInitF32(&out, order, flag, 0), spErrFftScaleFlag);
  EXPECT_EQ(out, sentinel) << "a failed init stored a spec";

  Spec spec(4, REALFFT_NO_DIV);
  REALFFTSPEC other = *spec.p;
  other.kind = kRealFftKindF64;  // a double-precision spec
  std::vector<float> data(18, 1.0f), dst(18, kNaN);
  EXPECT_EQ(spRealFftFwdF32(nullptr, nullptr, nullptr, nullptr), spErrNullPointer);  // spec first
  EXPECT_EQ(spRealFftInvF32(nullptr, nullptr, nullptr, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftFwdF32(nullptr, nullptr, &other, nullptr), spErrSpecKind);  // kind before data
  EXPECT_EQ(spRealFftInvF32(nullptr, nullptr, &other, nullptr), spErrSpecKind);
  EXPECT_EQ(spRealFftFwdF32(data.data(), dst.data(), &other, nullptr), spErrSpecKind);
  EXPECT_EQ(spRealFftFwdF32(nullptr, dst.data(), spec.p, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftFwdF32(data.data(), nullptr, spec.p, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftInvF32(nullptr, dst.data(), spec.p, nullptr), spErrNullPointer);
  EXPECT_EQ(spRealFftInvF32(data.data(), nullptr, spec.p, nullptr), spErrNullPointer);
  for (float v : dst) EXPECT_TRUE(std::isnan(v)) << "a refused call wrote";

  EXPECT_EQ(spRealFftFreeF32(nullptr), spErrNullPointer);
  const REALFFTSPEC before = other;
  EXPECT_EQ(spRealFftFreeF32(&other), spErrSpecKind);
  EXPECT_EQ(std::memcmp(&before, &other, sizeof other), 0) << "a refused free changed the record";
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF32Test);

}  // namespace
