// The compact-spectrum drivers of every variant set in both precisions:
// forward against a long-double DFT in the compact layout, the round trip,
// in place and from a separate source (which stays unchanged), the
// conjugate product, the work-size rule, the checks in their order, a spec
// of another set or precision, and a work block that cannot be had.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <vector>

#include "correlation_test_support.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "support/variant_sets.h"

namespace {

using corr_test::SetKernels;

template <class T>
struct Precision;
template <>
struct Precision<float> {
  static constexpr auto& init = corr_test::SpecBuild<float>::init;
  static constexpr spStatus (*fwd[])(const float*, float*, REALFFTSPEC*, uint8_t*) = SP_VARIANT_TABLE(spRealFftFwdF32);
  static constexpr spStatus (*inv[])(const float*, float*, REALFFTSPEC*, uint8_t*) = SP_VARIANT_TABLE(spRealFftInvF32);
  static spStatus Free(REALFFTSPEC* s) { return spRealFftFreeF32(s); }
};
template <>
struct Precision<double> {
  static constexpr auto& init = corr_test::SpecBuild<double>::init;
  static constexpr spStatus (*fwd[])(const double*, double*, REALFFTSPEC*, uint8_t*) = SP_VARIANT_TABLE(spRealFftFwdF64);
  static constexpr spStatus (*inv[])(const double*, double*, REALFFTSPEC*, uint8_t*) = SP_VARIANT_TABLE(spRealFftInvF64);
  static spStatus Free(REALFFTSPEC* s) { return spRealFftFreeF64(s); }
};

// A spec of one set, released with the test.
template <class T>
class Spec {
 public:
  Spec(int set, int32_t order, int32_t flag) { status_ = Precision<T>::init[set](&spec_, order, flag, 0); }
  ~Spec() {
    if (spec_ != nullptr) Precision<T>::Free(spec_);
  }
  REALFFTSPEC* get() const { return spec_; }
  spStatus status() const { return status_; }

 private:
  REALFFTSPEC* spec_ = nullptr;
  spStatus status_;
};

// Bins of the compact spectrum of x in long double (R0, Re1, Im1, ..,
// R(N/2)), each from a table of the N twiddles: every bin, or a spread of
// them where every bin would take too long.
template <class T>
class CompactDft {
 public:
  explicit CompactDft(const std::vector<T>& x) : x_(x), cos_(x.size()), sin_(x.size()) {
    const int64_t n = x.size();
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int64_t j = 0; j < n; ++j) {
      cos_[j] = std::cos(-2 * pi * static_cast<long double>(j) / n);
      sin_[j] = std::sin(-2 * pi * static_cast<long double>(j) / n);
    }
  }
  // Bin k's real and imaginary parts (N a power of two).
  std::complex<long double> Bin(int64_t k) const {
    const int64_t n = x_.size();
    long double re = 0, im = 0;
    for (int64_t t = 0, j = 0; t < n; ++t, j = (j + k) & (n - 1)) {
      re += x_[t] * cos_[j];
      im += x_[t] * sin_[j];
    }
    return {re, im};
  }

 private:
  const std::vector<T>& x_;
  std::vector<long double> cos_, sin_;
};

// The bins a test compares: all up to 2^12 points, else 0, N/2 and about
// a hundred spread over the rest (an odd stride reaches every kind of bin).
inline std::vector<int64_t> BinsToCheck(int64_t n) {
  std::vector<int64_t> bins;
  const int64_t stride = n <= 4096 ? 1 : n / 200 + 1;
  for (int64_t k = 0; k <= n / 2; k += stride) bins.push_back(k);
  if (bins.back() != n / 2) bins.push_back(n / 2);
  return bins;
}

template <class T>
class CompactTest : public VariantSetTest {
 protected:
  using K = SetKernels<T>;
  static constexpr long double kEps = std::numeric_limits<T>::epsilon();

  // Every order to 12 and a few large ones.
  void ForwardAndBack() {
    std::vector<int32_t> orders;
    for (int32_t order = 0; order <= 12; ++order) orders.push_back(order);
    orders.insert(orders.end(), {15, 17});
    for (int32_t order : orders) {
      const int64_t n = int64_t{1} << order;
      SCOPED_TRACE(testing::Message() << "order " << order);
      Spec<T> spec(SetIndex(), order, REALFFT_DIV_INV_BY_N);
      ASSERT_EQ(spec.status(), spOk);
      const auto x = corr_test::Signal<T>(n, order + 1);
      const CompactDft<T> ref(x);
      const long double tol = 8 * kEps * std::sqrt(static_cast<long double>(n)) * (order + 1);
      // From a separate source, which stays as it was, and in place.
      std::vector<T> src = x, dst(n), inPlace = x;
      ASSERT_EQ(K::forward[SetIndex()](src.data(), dst.data(), spec.get(), nullptr), spOk);
      EXPECT_EQ(src, x);
      ASSERT_EQ(K::forward[SetIndex()](inPlace.data(), inPlace.data(), spec.get(), nullptr), spOk);
      EXPECT_EQ(inPlace, dst);
      for (int64_t k : BinsToCheck(n)) {
        const auto bin = ref.Bin(k);
        if (k == 0) {
          EXPECT_NEAR(dst[0], bin.real(), tol) << "bin 0";
        } else if (2 * k == n) {
          EXPECT_NEAR(dst[n - 1], bin.real(), tol) << "bin N/2";
        } else {
          EXPECT_NEAR(dst[2 * k - 1], bin.real(), tol) << "bin " << k;
          EXPECT_NEAR(dst[2 * k], bin.imag(), tol) << "bin " << k;
        }
      }
      // Back, scaled by 1/N: the input again; from a separate source too.
      std::vector<T> back(n), spectrum = dst;
      ASSERT_EQ(K::inverse[SetIndex()](spectrum.data(), back.data(), spec.get(), nullptr), spOk);
      EXPECT_EQ(spectrum, dst);
      ASSERT_EQ(K::inverse[SetIndex()](dst.data(), dst.data(), spec.get(), nullptr), spOk);
      EXPECT_EQ(dst, back);
      for (int64_t i = 0; i < n; ++i) ASSERT_NEAR(back[i], x[i], tol) << "sample " << i;
    }
  }

  // A forward-scaled spec scales the forward result; N = 4 in closed form.
  void ScaledForwardAndFourPoints() {
    const std::vector<T> x = {1, 2, 4, 8};
    std::vector<T> dst(4);
    Spec<T> plain(SetIndex(), 2, REALFFT_DIV_INV_BY_N), scaled(SetIndex(), 2, REALFFT_DIV_FWD_BY_N);
    ASSERT_EQ(K::forward[SetIndex()](x.data(), dst.data(), plain.get(), nullptr), spOk);
    EXPECT_EQ(dst, (std::vector<T>{15, -3, 6, -5}));  // x0+x1+x2+x3, x0-x2, x3-x1, x0-x1+x2-x3
    ASSERT_EQ(K::inverse[SetIndex()](dst.data(), dst.data(), plain.get(), nullptr), spOk);
    EXPECT_EQ(dst, x);
    for (int32_t order : {2, 5, 9}) {
      const int64_t n = int64_t{1} << order;
      Spec<T> p(SetIndex(), order, REALFFT_DIV_INV_BY_N), s(SetIndex(), order, REALFFT_DIV_FWD_BY_N);
      const auto v = corr_test::Signal<T>(n, 5);
      std::vector<T> a(n), b(n);
      ASSERT_EQ(K::forward[SetIndex()](v.data(), a.data(), p.get(), nullptr), spOk);
      ASSERT_EQ(K::forward[SetIndex()](v.data(), b.data(), s.get(), nullptr), spOk);
      for (int64_t i = 0; i < n; ++i) EXPECT_NEAR(b[i], a[i] / n, 4 * kEps * order) << "order " << order;
    }
  }

  void ConjugateProduct() {
    // n = 1, 2: real products only; n = 3: R0 and one pair.
    std::vector<T> a = {3, -2, 5}, b = {2, 4, -1};
    ASSERT_EQ(K::mulConj[SetIndex()](a.data(), b.data(), 1), spOk);
    EXPECT_EQ(b, (std::vector<T>{6, 4, -1}));
    b = {2, 4, -1};
    ASSERT_EQ(K::mulConj[SetIndex()](a.data(), b.data(), 2), spOk);
    EXPECT_EQ(b, (std::vector<T>{6, -8, -1}));
    b = {2, 4, -1};
    ASSERT_EQ(K::mulConj[SetIndex()](a.data(), b.data(), 3), spOk);
    // (-2 + 5j) * conj(4 - 1j) = (-2 + 5j)(4 + 1j) = -13 + 18j
    EXPECT_EQ(b, (std::vector<T>{6, -13, 18}));
    // A spectrum times itself: |X|^2 in the real slots, 0 in the others.
    std::vector<T> s = {2, 3, -4, 1, 1, -5};
    ASSERT_EQ(K::mulConj[SetIndex()](s.data(), s.data(), 6), spOk);
    EXPECT_EQ(s, (std::vector<T>{4, 25, 0, 2, 0, 25}));
    EXPECT_EQ(K::mulConj[SetIndex()](nullptr, s.data(), 0), spErrNullPointer);
    EXPECT_EQ(K::mulConj[SetIndex()](s.data(), nullptr, 6), spErrNullPointer);
    EXPECT_EQ(K::mulConj[SetIndex()](s.data(), s.data(), 0), spErrLength);
  }

  // The compact transforms are the real FFTs in another layout, bit for
  // bit: every path of every set (small kernels, fused, radix, large), every
  // scaling (the large orders the two that scale one direction), from a
  // separate source and in place.
  void SameBitsAsTheRealFft() {
    for (int32_t order : {0, 1, 2, 3, 4, 5, 9, 10, 11, 15, 16, 17, 18, 19}) {
      for (int32_t flag : {REALFFT_DIV_FWD_BY_N, REALFFT_DIV_INV_BY_N, REALFFT_NO_DIV, REALFFT_DIV_BY_SQRT_N}) {
        if (order > 11 && flag != REALFFT_DIV_FWD_BY_N && flag != REALFFT_DIV_INV_BY_N) continue;  // time
        SCOPED_TRACE(testing::Message() << "order " << order << ", scaling " << flag);
        const int64_t n = int64_t{1} << order;
        Spec<T> spec(SetIndex(), order, flag);
        ASSERT_EQ(spec.status(), spOk);
        const auto x = corr_test::Signal<T>(n, order + 3);
        std::vector<T> packed(n + 2), compact(n), inPlace = x;
        ASSERT_EQ(Precision<T>::fwd[SetIndex()](x.data(), packed.data(), spec.get(), nullptr), spOk);
        ASSERT_EQ(K::forward[SetIndex()](x.data(), compact.data(), spec.get(), nullptr), spOk);
        ASSERT_EQ(K::forward[SetIndex()](inPlace.data(), inPlace.data(), spec.get(), nullptr), spOk);
        // Packed R0, 0, Re1, Im1, .., R(N/2), 0; compact R0, Re1, .., R(N/2).
        std::vector<T> expected(n);
        expected[0] = packed[0];
        for (int64_t i = 1; i + 1 < n; ++i) expected[i] = packed[i + 1];
        if (n > 1) expected[n - 1] = packed[n];
        ASSERT_EQ(compact, expected);
        ASSERT_EQ(inPlace, expected);
        std::vector<T> realBack(n), compactBack(n);
        ASSERT_EQ(Precision<T>::inv[SetIndex()](packed.data(), realBack.data(), spec.get(), nullptr), spOk);
        ASSERT_EQ(K::inverse[SetIndex()](compact.data(), compactBack.data(), spec.get(), nullptr), spOk);
        ASSERT_EQ(compactBack, realBack);
        ASSERT_EQ(K::inverse[SetIndex()](compact.data(), compact.data(), spec.get(), nullptr), spOk);
        ASSERT_EQ(compact, realBack);
      }
    }
  }

  void WorkAndChecks() {
    Spec<T> spec(SetIndex(), 8, REALFFT_DIV_INV_BY_N), small(SetIndex(), 2, REALFFT_DIV_INV_BY_N);
    const REALFFTSPEC* s = spec.get();
    int32_t bytes = -1;
    ASSERT_EQ(K::workSize[SetIndex()](s, &bytes), spOk);
    EXPECT_EQ(bytes, s->workBytes > 0 ? s->workBytes + 16 : 0);
    ASSERT_EQ(K::workSize[SetIndex()](small.get(), &bytes), spOk);
    EXPECT_EQ(bytes, 0);
    // A need beyond what the 32-bit count carries is reported as -9, not
    // as a wrapped size (the work size reads only the kind and the need).
    REALFFTSPEC large{};
    large.kind = s->kind;
    large.workBytes = int64_t{INT32_MAX} - 15;
    bytes = 5;
    EXPECT_EQ(K::workSize[SetIndex()](&large, &bytes), spErrNoMemory);
    EXPECT_EQ(bytes, 5);
    large.workBytes = int64_t{INT32_MAX} - 16;
    ASSERT_EQ(K::workSize[SetIndex()](&large, &bytes), spOk);
    EXPECT_EQ(bytes, INT32_MAX);
    EXPECT_EQ(K::workSize[SetIndex()](nullptr, &bytes), spErrNullPointer);
    EXPECT_EQ(K::workSize[SetIndex()](s, nullptr), spErrNullPointer);

    // The other precision's spec: -17 before src and dst are looked at.
    using Other = std::conditional_t<sizeof(T) == sizeof(float), double, float>;
    Spec<Other> other(SetIndex(), 8, REALFFT_DIV_INV_BY_N);
    std::vector<T> data(256, T(1));
    EXPECT_EQ(K::workSize[SetIndex()](other.get(), &bytes), spErrSpecKind);
    EXPECT_EQ(K::forward[SetIndex()](nullptr, nullptr, other.get(), nullptr), spErrSpecKind);
    EXPECT_EQ(K::inverse[SetIndex()](nullptr, nullptr, other.get(), nullptr), spErrSpecKind);
    EXPECT_EQ(K::forward[SetIndex()](nullptr, nullptr, nullptr, nullptr), spErrNullPointer);
    EXPECT_EQ(K::forward[SetIndex()](nullptr, data.data(), s, nullptr), spErrNullPointer);
    EXPECT_EQ(K::inverse[SetIndex()](data.data(), nullptr, s, nullptr), spErrNullPointer);
    // Another set's spec of the right precision is refused too.
    const int otherSet = SetIndex() == corr_test::kGeneric ? corr_test::kSse : corr_test::kGeneric;
    Spec<T> foreign(otherSet, 8, REALFFT_DIV_INV_BY_N);
    EXPECT_EQ(K::forward[SetIndex()](data.data(), data.data(), foreign.get(), nullptr), spErrSpecKind);
    EXPECT_EQ(data, std::vector<T>(256, T(1)));

    // A caller's work buffer off a 16-byte boundary gives the same result;
    // without one, a block that cannot be had gives -9 with dst untouched.
    const auto x = corr_test::Signal<T>(256, 1);
    std::vector<T> with(256), without(256, T(7));
    ASSERT_EQ(K::workSize[SetIndex()](s, &bytes), spOk);
    std::vector<uint8_t> work(bytes + 3);
    ASSERT_EQ(K::forward[SetIndex()](x.data(), with.data(), s, work.data() + 3), spOk);
    if (s->workBytes > 0) {
      {
        FailNthAllocation failure(1);
        EXPECT_EQ(K::forward[SetIndex()](x.data(), without.data(), s, nullptr), spErrNoMemory);
      }
      {
        FailNthAllocation failure(1);
        EXPECT_EQ(K::inverse[SetIndex()](x.data(), without.data(), s, nullptr), spErrNoMemory);
      }
      EXPECT_EQ(without, std::vector<T>(256, T(7)));
    }
    ASSERT_EQ(K::forward[SetIndex()](x.data(), without.data(), s, nullptr), spOk);
    EXPECT_EQ(with, without);
  }
};

using CompactF64Test = CompactTest<double>;
using CompactF32Test = CompactTest<float>;
TEST_P(CompactF64Test, ForwardAgainstDftAndBack) { ForwardAndBack(); }
TEST_P(CompactF32Test, ForwardAgainstDftAndBack) { ForwardAndBack(); }
TEST_P(CompactF64Test, ScaledForwardAndFourPoints) { ScaledForwardAndFourPoints(); }
TEST_P(CompactF32Test, ScaledForwardAndFourPoints) { ScaledForwardAndFourPoints(); }
TEST_P(CompactF64Test, ConjugateProduct) { ConjugateProduct(); }
TEST_P(CompactF32Test, ConjugateProduct) { ConjugateProduct(); }
// The float pairs: the generic and SSE3 sets form each pair value from the
// exact products and round it once; the SSE, SSE2 and SSSE3 sets round each
// product and the sum to float. Random spectra reach values where the two
// differ; the real bins are correctly rounded products in every set.
TEST_P(CompactF32Test, PairsRoundedAsTheSetSpecifies) {
  const int32_t n = 4001;
  const auto a = corr_test::Signal<float>(n, 61), b = corr_test::Signal<float>(n, 62);
  std::vector<float> got = b;
  ASSERT_EQ(K::mulConj[SetIndex()](a.data(), got.data(), n), spOk);
  const bool roundedOnce = SetIndex() == SP_SET_GENERIC || SetIndex() == SP_SET_SSE3;
  EXPECT_EQ(got[0], a[0] * b[0]);
  int64_t differing = 0;
  for (int32_t p = 1; p + 1 < n; p += 2) {
    const float are = a[p], aim = a[p + 1], bre = b[p], bim = b[p + 1];
    const float once[2] = {static_cast<float>(double{are} * bre + double{aim} * bim),
                           static_cast<float>(double{aim} * bre - double{are} * bim)};
    const float each[2] = {are * bre + aim * bim, aim * bre - are * bim};
    for (int i = 0; i < 2; ++i) {
      differing += once[i] != each[i];
      ASSERT_EQ(got[p + i], roundedOnce ? once[i] : each[i]) << "slot " << p + i;
    }
  }
  EXPECT_GT(differing, 0);  // the values reach both roundings
}

TEST_P(CompactF64Test, SameBitsAsTheRealFft) { SameBitsAsTheRealFft(); }
TEST_P(CompactF32Test, SameBitsAsTheRealFft) { SameBitsAsTheRealFft(); }
TEST_P(CompactF64Test, WorkBufferAndChecks) { WorkAndChecks(); }
TEST_P(CompactF32Test, WorkBufferAndChecks) { WorkAndChecks(); }

SP_INSTANTIATE_FOR_ALL_SETS(CompactF64Test);
SP_INSTANTIATE_FOR_ALL_SETS(CompactF32Test);

}  // namespace
