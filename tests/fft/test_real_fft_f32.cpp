// Single-precision real FFT through its dispatch entries, in every variant
// set: against a long-double DFT at every order the sets run, round trips,
// exact scaling, the packed format's zero slots, in place against out of
// place, the spec record, the order of the checks, scratch buffers, specs of
// another set, and allocation failure.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/sp_real_fft.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

#if __has_include("primitives/frame/alloc_failure_seam.h")
#include "primitives/frame/alloc_failure_seam.h"
#define SP_HAVE_ALLOC_FAILURE_SEAM 1
#endif

using namespace real_fft_test;

namespace {

// The largest order of each set's plain engine (one above its plain twiddle
// limit in complex order); the large-size path above it is covered by
// test_real_fft_f32_large.cpp.
constexpr int kLargestOrderOfSet[] = {11, 11, 16, 17, 18};

// Long-double references: the naive DFT up to order 11, above it the
// long-double FFT (itself checked against the DFT below).
template <class T>
std::vector<long double> ExactForward(const std::vector<T>& x) {
  return x.size() <= 2048 ? NaiveRealForward(x) : FftRealForward(x);
}
template <class T>
std::vector<long double> ExactInverse(const std::vector<T>& spectrum, int64_t n) {
  return n <= 2048 ? NaiveRealInverse(spectrum, n) : FftRealInverse(spectrum, n);
}
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
  int LargestOrder() const { return kLargestOrderOfSet[SetIndex()]; }
  // Every order up to 11 and the three largest of the set (the last fused
  // orders and the radix order).
  std::vector<int> TestedOrders() const {
    std::vector<int> orders;
    for (int order = 0; order <= 11; ++order) orders.push_back(order);
    for (int order = std::max(12, LargestOrder() - 2); order <= LargestOrder(); ++order) orders.push_back(order);
    return orders;
  }
  // The set's path switches (last fused order, radix order) and a few more.
  std::vector<int> BoundaryOrders() const {
    std::vector<int> orders = {0, 3, 4, 9};
    if (SetIndex() == SP_SET_GENERIC)
      orders.push_back(11);
    else
      for (int order = LargestOrder() - 1; order <= LargestOrder(); ++order) orders.push_back(order);
    return orders;
  }
};

TEST_P(RealFftF32Test, ForwardMatchesLongDoubleDftAtEveryOrder) {
  for (int order : TestedOrders()) {
    const auto x = RandomValues<float>(Points(order), 100 + order);
    const auto exact = ExactForward(x);
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
    const auto exact = ExactInverse(packed, Points(order));
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

// Scaling by 1/N is a power of two, so a scaled transform is the unscaled
// one times 1/N bit for bit; flags that do not scale a direction leave it
// alone.
TEST_P(RealFftF32Test, ScalingByOneOverNIsExact) {
  for (int order : TestedOrders()) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec none(order, REALFFT_NO_DIV), fwd(order, REALFFT_DIV_FWD_BY_N), inv(order, REALFFT_DIV_INV_BY_N);
    const float invN = static_cast<float>(1.0 / static_cast<double>(Points(order)));
    const auto x = RandomValues<float>(Points(order), 500 + order);
    auto plain = Forward(none.p, x, false);
    EXPECT_TRUE(SameBits(Forward(inv.p, x, false).data(), plain.data(), PackedValues(order)));
    for (auto& v : plain) v *= invN;
    EXPECT_TRUE(SameBits(Forward(fwd.p, x, false).data(), plain.data(), PackedValues(order)));

    const auto spectrum = RandomValues<float>(PackedValues(order), 600 + order);
    auto back = Inverse(none.p, spectrum, false);
    EXPECT_TRUE(SameBits(Inverse(fwd.p, spectrum, false).data(), back.data(), Points(order)));
    for (auto& v : back) v *= invN;
    EXPECT_TRUE(SameBits(Inverse(inv.p, spectrum, false).data(), back.data(), Points(order)));
  }
}

// From order 4 on the inverse scales last: under 1/sqrt N, a factor that
// is no power of two, it is the unscaled inverse times the spec's scale,
// one rounding per value, whichever step applies it. (The small kernels of
// orders 0 to 3 scale inside.)
TEST_P(RealFftF32Test, InverseBySqrtNIsTheUnscaledInverseTimesTheScale) {
  for (int order : TestedOrders()) {
    if (order < 4) continue;
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec none(order, REALFFT_NO_DIV), root(order, REALFFT_DIV_BY_SQRT_N);
    const auto scale = static_cast<float>(root.p->scale);
    const auto spectrum = RandomValues<float>(PackedValues(order), 700 + order);
    auto back = Inverse(none.p, spectrum, false);
    for (auto& v : back) v *= scale;
    EXPECT_TRUE(SameBits(Inverse(root.p, spectrum, false).data(), back.data(), Points(order)));
  }
}

TEST_P(RealFftF32Test, ClosedForms) {
  for (int order : TestedOrders()) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const int64_t n = Points(order);
    Spec spec(order, REALFFT_NO_DIV), scaled(order, REALFFT_DIV_FWD_BY_N);
    // A unit impulse: every bin exactly 1.
    std::vector<float> impulse(n, 0.0f);
    impulse[0] = 1.0f;
    const auto flat = Forward(spec.p, impulse, false);
    for (int64_t k = 0; k <= n / 2; ++k) {
      EXPECT_EQ(flat[2 * k], 1.0f) << "bin " << k;
      EXPECT_EQ(flat[2 * k + 1], 0.0f) << "bin " << k;
    }
    // N ones: X0 = N (1 with 1/N), the rest vanish.
    const std::vector<float> ones(n, 1.0f);
    std::vector<long double> want(PackedValues(order), 0.0L);
    want[0] = 1;
    EXPECT_LE(MaxError(Forward(scaled.p, ones, false).data(), want, PackedValues(order)), 1e-6L);
    // A cosine at bin b: Re X_b = N/2 (N at b = N/2), all else 0.
    if (order >= 2) {
      const int64_t b = n / 4 + 1 <= n / 2 ? n / 4 + 1 : 1;
      std::vector<float> wave(n);
      for (int64_t t = 0; t < n; ++t)
        wave[t] = static_cast<float>(std::cos(2 * std::numbers::pi_v<long double> * b * t / n));
      std::vector<long double> peak(PackedValues(order), 0.0L);
      peak[2 * b] = b == n / 2 ? n : n / 2.0L;
      // All the energy sits in one bin, so the rounding spread over the
      // other N/2 bins is large against the spectrum's root mean square:
      // twice the random-data bound.
      EXPECT_LE(MaxError(Forward(spec.p, wave, false).data(), peak, PackedValues(order)),
                2 * Tolerance<float>(order, ExactForward(wave)));
    }
  }
}

// The small orders, whose sums of small integers are exact.
TEST_P(RealFftF32Test, SmallOrdersExactly) {
  struct Case {
    int order;
    std::vector<float> x, packed;
  };
  const Case cases[] = {
      {0, {3}, {3, 0}},
      {1, {3, 5}, {8, 0, -2, 0}},
      {2, {1, 2, 4, 8}, {15, 0, -3, 6, -5, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "order " << c.order);
    Spec spec(c.order, REALFFT_NO_DIV);
    const auto got = Forward(spec.p, c.x, false);
    EXPECT_EQ(got, c.packed);
    // The inverse gives N times the input, whatever the zero slots hold.
    auto spectrum = c.packed;
    spectrum[1] = 77.0f;
    spectrum.back() = -9.0f;
    std::vector<float> want = c.x;
    for (auto& v : want) v *= static_cast<float>(Points(c.order));
    EXPECT_EQ(Inverse(spec.p, spectrum, false), want);
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

// Scratch: used from the caller's buffer's first 16-byte boundary for
// workBytes bytes, never beyond; ignored (untouched) when the spec needs
// none. The result does not depend on where the scratch lies.
TEST_P(RealFftF32Test, CallersWorkBufferAtEveryMisalignment) {
  constexpr uint8_t kGuard = 0xA5;
  for (int order : BoundaryOrders()) {
    Spec spec(order, REALFFT_DIV_INV_BY_N);
    const auto x = RandomValues<float>(Points(order), 700 + order);
    const auto plain = Forward(spec.p, x, false);
    const auto back = Inverse(spec.p, plain, false);
    const int64_t need = spec.p->workBytes;
    for (int offset = 0; offset < 16; ++offset) {
      SCOPED_TRACE(testing::Message() << "order " << order << " offset " << offset);
      std::vector<uint8_t> buffer(need + 15 + 64 + offset, kGuard);
      uint8_t* work = buffer.data() + offset;
      EXPECT_TRUE(SameBits(Forward(spec.p, x, false, work).data(), plain.data(), PackedValues(order)));
      EXPECT_TRUE(SameBits(Inverse(spec.p, plain, true, work).data(), back.data(), Points(order)));
      const uintptr_t at = reinterpret_cast<uintptr_t>(work);
      const int64_t used = need == 0 ? 0 : static_cast<int64_t>(((at + 15) & ~uintptr_t{15}) - at) + need;
      for (size_t i = offset + used; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], kGuard) << "byte " << i;
    }
  }
}

// A live spec is only read: threads sharing one, each with its own arrays,
// get the single-thread bits.
TEST_P(RealFftF32Test, ThreadsShareOneSpec) {
  Spec spec(11, REALFFT_DIV_INV_BY_N);
  const auto x = RandomValues<float>(Points(11), 1000);
  const auto want = Forward(spec.p, x, false);
  const auto wantBack = Inverse(spec.p, want, false);
  std::vector<int> same(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      bool ok = true;
      std::vector<float> dst(want.size()), back(wantBack.size());
      for (int round = 0; round < 20; ++round) {
        ok &= spRealFftFwdF32(x.data(), dst.data(), spec.p, nullptr) == spOk && dst == want;
        ok &= spRealFftInvF32(dst.data(), back.data(), spec.p, nullptr) == spOk && back == wantBack;
      }
      same[t] = ok;
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_TRUE(same[t]) << "thread " << t;
}

// Dispatch moves on to another set: that set refuses the spec rather than
// run its tables through its own kernels, and any set may release it.
TEST(RealFftF32Sets, SpecOfAnotherSetIsRefused) {
  std::vector<int> sets;
  for (int s = 0; s < 5; ++s)
    if (spVariantSetSupported(s)) sets.push_back(s);
  if (sets.size() < 2) GTEST_SKIP() << "one variant set only";
  const int32_t previous = spForceVariantSet(sets[0]);
  for (int builder : sets) {
    for (int user : sets) {
      if (user == builder) continue;
      SCOPED_TRACE(testing::Message() << "built by " << spVariantSetName(builder) << ", used by "
                                      << spVariantSetName(user));
      for (int order : {2, 6, 11}) {
        spForceVariantSet(builder);
        REALFFTSPEC* spec = nullptr;
        ASSERT_EQ(spRealFftInitF32(&spec, order, REALFFT_NO_DIV, 0), spOk);
        spForceVariantSet(user);
        std::vector<float> x(PackedValues(order), 1.0f), dst(PackedValues(order), kNaN);
        EXPECT_EQ(spRealFftFwdF32(x.data(), dst.data(), spec, nullptr), spErrSpecKind);
        EXPECT_EQ(spRealFftInvF32(x.data(), dst.data(), spec, nullptr), spErrSpecKind);
        for (float v : dst) EXPECT_TRUE(std::isnan(v));
        EXPECT_EQ(spRealFftFreeF32(spec), spOk);
      }
    }
  }
  spForceVariantSet(previous);
}

// Every allocation of a spec build and of a transform fails in turn: the
// call reports -9, leaves the caller's pointer and data alone and keeps no
// block.
TEST_P(RealFftF32Test, AllocationFailureAtEveryAllocation) {
#ifndef SP_HAVE_ALLOC_FAILURE_SEAM
  GTEST_SKIP() << "the allocator has no failure seam in this build";
#else
  for (int order : {0, 4, LargestOrder()}) {
    for (int64_t k = 1;; ++k) {
      SCOPED_TRACE(testing::Message() << "order " << order << " allocation " << k);
      const int64_t live = spLiveAllocations();
      REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
      REALFFTSPEC* spec = sentinel;
      spFailNthAllocation(k);
      const spStatus status = spRealFftInitF32(&spec, order, REALFFT_DIV_INV_BY_N, 0);
      const bool reached = !spAllocationFailurePending();
      spFailNthAllocation(0);
      if (!reached) {
        ASSERT_EQ(status, spOk);
        spRealFftFreeF32(spec);
        break;
      }
      EXPECT_EQ(status, spErrNoMemory);
      EXPECT_EQ(spec, sentinel);
      EXPECT_EQ(spLiveAllocations(), live);
    }
    // A transform that needs scratch and gets none from the caller.
    Spec spec(order, REALFFT_NO_DIV);
    if (spec.p->workBytes > 0) {
      std::vector<float> x(PackedValues(order), 1.0f), dst(PackedValues(order), kNaN);
      spFailNthAllocation(1);
      EXPECT_EQ(spRealFftFwdF32(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
      spFailNthAllocation(1);
      EXPECT_EQ(spRealFftInvF32(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
      spFailNthAllocation(0);
      for (float v : dst) EXPECT_TRUE(std::isnan(v));
    }
  }
#endif
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF32Test);

}  // namespace
