// The math layer's real FFTs on a handle's cached spec, in every variant set
// whose engine runs them: every form against a long-double DFT, the flag
// pairs, the spec cache (reuse, rebuild on another order, precision or set),
// orders out of range, null arguments, allocation failure at every request,
// the by-length forms and MathlibLog2Ceil.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibRealFft.h"
#include "Mathlib/MathlibRealFftBuild.h"
#include "Mathlib/MathlibRealFftPool.h"
#include "fft/real_fft_reference.h"
#include "platform/debug_output.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/variant_seams.h"
#include "support/alloc_failure.h"

using namespace real_fft_test;

namespace {

constexpr int kHighestTestedOrder = 10;
constexpr int kOrders[] = {0, 1, 2, 3, 4, 5, 8, kHighestTestedOrder};

int64_t Points(int order) { return int64_t{1} << order; }

bool Contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// A negative NaN, which no transform of finite values writes.
template <class T>
T Sentinel() {
  return -std::numeric_limits<T>::quiet_NaN();
}

std::vector<long double> Times(std::vector<long double> v, long double f) {
  for (auto& e : v) e *= f;
  return v;
}

// The full complex spectrum (2N values) from a packed half spectrum.
std::vector<long double> Expanded(const std::vector<long double>& packed, int64_t n) {
  std::vector<long double> full(2 * n);
  for (int64_t k = 0; k <= n / 2; ++k) {
    full[2 * k] = packed[2 * k];
    full[2 * k + 1] = packed[2 * k + 1];
  }
  for (int64_t k = 1; k < (n + 1) / 2; ++k) {
    full[2 * (n - k)] = packed[2 * k];
    full[2 * (n - k) + 1] = -packed[2 * k + 1];
  }
  return full;
}

// The math layer's functions of one precision.
template <class T>
struct Api;

template <>
struct Api<float> {
  static constexpr int32_t kBits = 32;
  static constexpr auto Fwd = &duvuvRealFftFwdF32;
  static constexpr auto Inv = &duvuvRealFftInvF32;
  static constexpr auto FwdPair = &duvuvRealFftFwdPairF32;
  static constexpr auto InvCopy = &duvuvRealFftInvCopyF32;
  static constexpr auto FwdInPlace = &duvuvRealFftFwdInPlaceF32;
  static constexpr auto InvInPlace = &duvuvRealFftInvInPlaceF32;
  static constexpr auto FwdComplex = &duvuvRealFftFwdComplexF32;
  static constexpr const char* kSuffix = "F32";
};

template <>
struct Api<double> {
  static constexpr int32_t kBits = 64;
  static constexpr auto Fwd = &duvuvRealFftFwdF64;
  static constexpr auto Inv = &duvuvRealFftInvF64;
  static constexpr auto FwdPair = &duvuvRealFftFwdPairF64;
  static constexpr auto InvCopy = &duvuvRealFftInvCopyF64;
  static constexpr auto FwdInPlace = &duvuvRealFftFwdInPlaceF64;
  static constexpr auto InvInPlace = &duvuvRealFftInvInPlaceF64;
  static constexpr auto FwdComplex = &duvuvRealFftFwdComplexF64;
  static constexpr const char* kSuffix = "F64";
};

enum class Form { Fwd, Inv, FwdPair, InvCopy, InvCopyOnSource, FwdInPlace, InvInPlace, FwdComplex };

const Form kForms[] = {Form::Fwd,        Form::Inv,        Form::FwdPair,   Form::InvCopy, Form::InvCopyOnSource,
                       Form::FwdInPlace, Form::InvInPlace, Form::FwdComplex};

bool IsForward(Form f) {
  return f == Form::Fwd || f == Form::FwdPair || f == Form::FwdInPlace || f == Form::FwdComplex;
}

std::string FunctionName(Form f, const char* suffix) {
  const char* stem[] = {"Fwd", "Inv", "FwdPair", "InvCopy", "InvCopy", "FwdInPlace", "InvInPlace", "FwdComplex"};
  return std::string("duvuvRealFft") + stem[static_cast<int>(f)] + suffix;
}

// One call's arrays: the inputs, and the outputs preset to the sentinel (an
// in-place form's data starts as its input, the values after it sentinels).
template <class T>
struct Arrays {
  std::vector<T> in1, in2, out1, out2;

  Arrays(Form form, int order, uint32_t seed) {
    const int64_t n = Points(order);
    if (IsForward(form)) {
      in1 = RandomValues<T>(n, seed);
      in2 = RandomValues<T>(n, seed + 1);
    } else {
      // A packed spectrum: its two zero slots are never read.
      in1 = RandomValues<T>(n + 2, seed);
      in1[1] = 0;
      if (order > 0) in1[n + 1] = 0;
      if (order == 0) in1[2] = 0;
    }
    const int64_t outValues = form == Form::FwdComplex ? 2 * n : n + 2;
    out1.assign(outValues, Sentinel<T>());
    out2.assign(outValues, Sentinel<T>());
    if (form == Form::FwdInPlace || form == Form::InvInPlace || form == Form::InvCopyOnSource)
      std::copy(in1.begin(), in1.end(), out1.begin());
  }
};

template <class T>
int RunForm(Form form, MathlibHandle* h, Arrays<T>& a, int32_t order, int32_t flags) {
  using A = Api<T>;
  switch (form) {
    case Form::Fwd: return A::Fwd(h, a.in1.data(), a.out1.data(), order, flags);
    case Form::Inv: return A::Inv(h, a.in1.data(), a.out1.data(), order, flags);
    case Form::FwdPair: return A::FwdPair(h, a.in1.data(), a.out1.data(), a.in2.data(), a.out2.data(), order);
    case Form::InvCopy: return A::InvCopy(h, a.in1.data(), a.out1.data(), order, flags);
    case Form::InvCopyOnSource: return A::InvCopy(h, a.out1.data(), a.out1.data(), order, flags);
    case Form::FwdInPlace: return A::FwdInPlace(h, a.out1.data(), order, flags);
    case Form::InvInPlace: return A::InvInPlace(h, a.out1.data(), order, flags);
    case Form::FwdComplex: return A::FwdComplex(h, a.in1.data(), a.out1.data(), order, flags);
  }
  return -1;
}

// What a forward gives under its flags: bit 1's result stands over bit 0's.
long double ForwardFactor(int32_t flags, int order) { return flags & 2 ? -1.0L / Points(order) : 1.0L; }
long double InverseFactor(int32_t flags, int order) { return flags & 2 ? 1.0L / Points(order) : -1.0L; }

// Checks a form's outputs against the long-double DFT; the values after
// what the form writes keep what they held.
template <class T>
void ExpectMatchesDft(Form form, const Arrays<T>& before, const Arrays<T>& after, int order, int32_t flags) {
  const int64_t n = Points(order);
  auto check = [&](const std::vector<T>& got, const std::vector<long double>& want, const std::vector<T>& was) {
    EXPECT_LE(MaxError(got.data(), want, static_cast<int64_t>(want.size())), Tolerance<T>(order, want));
    for (size_t i = want.size(); i < got.size(); ++i)
      EXPECT_EQ(std::memcmp(&got[i], &was[i], sizeof(T)), 0) << "value " << i << " changed";
  };
  if (IsForward(form)) {
    const int32_t effective = form == Form::FwdPair ? 1 : flags;
    const auto spectrum = Times(NaiveRealForward(before.in1), ForwardFactor(effective, order));
    check(after.out1, form == Form::FwdComplex ? Expanded(spectrum, n) : spectrum, before.out1);
    if (form == Form::FwdPair) check(after.out2, NaiveRealForward(before.in2), before.out2);
  } else {
    check(after.out1, Times(NaiveRealInverse(before.in1, n), InverseFactor(flags, order)), before.out1);
  }
}

using Param = std::tuple<int, int>;  // variant set, element bits

class MathlibRealFftTest : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    if (!spVariantSetSupported(Set())) GTEST_SKIP() << "processor lacks the " << spVariantSetName(Set()) << " set";
    // The first handle runs processor detection, so the set is forced after it.
    m_handle = MathlibInit();
    ASSERT_NE(m_handle, nullptr);
    m_previous = spForceVariantSet(Set());
    if (!SetRuns(Set(), kHighestTestedOrder))
      GTEST_SKIP() << "the " << spVariantSetName(Set()) << " set's " << Bits() << "-bit real FFT does not run order "
                   << kHighestTestedOrder << " yet";
  }
  void TearDown() override {
    MathlibFree(&m_handle);
    if (m_previous >= 0) spForceVariantSet(m_previous);
  }

  int Set() const { return std::get<0>(GetParam()); }
  int Bits() const { return std::get<1>(GetParam()); }

  // Whether `set` builds a spec of this order in the tested precision.
  bool SetRuns(int set, int order) const {
    const int32_t previous = spForceVariantSet(set);
    REALFFTSPEC* spec = nullptr;
    const bool built = MathlibBuildRealFft(&spec, order, REALFFT_DIV_INV_BY_N, 2, Bits()) == spOk;
    MathlibReleaseRealFft(spec, Bits());
    spForceVariantSet(previous);
    return built;
  }

  // Runs body.template operator()<T>() for the tested precision.
  template <class Body>
  void ForPrecision(Body body) {
    if (Bits() == 32) body.template operator()<float>();
    if (Bits() == 64) body.template operator()<double>();
  }

  MathlibHandle* m_handle = nullptr;

 private:
  int32_t m_previous = -1;
};

TEST_P(MathlibRealFftTest, EveryFormMatchesTheLongDoubleDft) {
  ForPrecision([&]<class T>() {
    for (int order : kOrders) {
      for (Form form : kForms) {
        for (int32_t flags : {1, 2, 3}) {
          if (form == Form::FwdPair && flags != 1) continue;
          SCOPED_TRACE(testing::Message()
                       << FunctionName(form, Api<T>::kSuffix) << " order " << order << " flags " << flags);
          const Arrays<T> before(form, order, 10 * order + flags);
          Arrays<T> after = before;
          RunForm(form, m_handle, after, order, flags);
          ExpectMatchesDft(form, before, after, order, flags);
        }
      }
    }
  });
}

TEST_P(MathlibRealFftTest, FlagPairsGiveBackTheSignalAndConstantsTheirClosedForm) {
  ForPrecision([&]<class T>() {
    using A = Api<T>;
    constexpr int kOrder = 3;
    const std::vector<T> ones(8, T(1));
    std::vector<T> spectrum(10), back(10);
    A::Fwd(m_handle, ones.data(), spectrum.data(), kOrder, 1);
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(spectrum[i], i == 0 ? 8.0 : 0.0, 1e-6) << i;
    A::Fwd(m_handle, ones.data(), spectrum.data(), kOrder, 2);
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(spectrum[i], i == 0 ? -1.0 : 0.0, 1e-6) << i;

    const auto x = RandomValues<T>(64, 7);
    struct Pair {
      int32_t forward, inverse;
      long double gain;
    } pairs[] = {{1, 2, 1}, {2, 1, 1}, {1, 1, -64}};
    for (const Pair& p : pairs) {
      SCOPED_TRACE(testing::Message() << "forward " << p.forward << " inverse " << p.inverse);
      std::vector<T> s(66), y(66);
      A::Fwd(m_handle, x.data(), s.data(), 6, p.forward);
      A::Inv(m_handle, s.data(), y.data(), 6, p.inverse);
      std::vector<long double> want(x.begin(), x.end());
      want = Times(want, p.gain);
      EXPECT_LE(MaxError(y.data(), want, 64), Tolerance<T>(6, want));
    }
  });
}

TEST_P(MathlibRealFftTest, NoFlagsBuildTheSpecAndLeaveTheOutputs) {
  ForPrecision([&]<class T>() {
    for (Form form : kForms) {
      if (form == Form::FwdPair) continue;  // always flags 1
      SCOPED_TRACE(FunctionName(form, Api<T>::kSuffix));
      MathlibFftCacheFree(&m_handle->cache);
      const Arrays<T> before(form, 4, 3);
      Arrays<T> after = before;
      RunForm(form, m_handle, after, 4, 0);
      EXPECT_TRUE(SameBits(after.out1, before.out1));
      ASSERT_NE(m_handle->cache, nullptr);
      EXPECT_NE(m_handle->cache->spec, nullptr);
      EXPECT_EQ(m_handle->cache->order, 4);
    }
  });
}

TEST_P(MathlibRealFftTest, CacheIsReusedAndRebuiltOnAnotherOrderPrecisionOrSet) {
  ForPrecision([&]<class T>() {
    using A = Api<T>;
    MathlibReleaseParkedRealFfts();
    Arrays<T> a(Form::Fwd, 5, 1);
    A::Fwd(m_handle, a.in1.data(), a.out1.data(), 5, 0);
    ASSERT_NE(m_handle->cache, nullptr);
    const MathlibFftCache first = *m_handle->cache;
    EXPECT_EQ(first.order, 5);
    EXPECT_EQ(first.elementBits, Bits());
    EXPECT_EQ(first.variantSet, Set());
    ASSERT_NE(first.spec, nullptr);
    const int64_t live = spLiveAllocations();

    // The same key takes nothing from the allocators.
    const int64_t requests = spAllocationRequests();
    A::Fwd(m_handle, a.in1.data(), a.out1.data(), 5, 0);
    A::Inv(m_handle, a.in1.data(), a.out1.data(), 5, 0);
    EXPECT_EQ(spAllocationRequests(), requests);
    EXPECT_EQ(m_handle->cache->spec, first.spec);

    // Another order replaces record and spec; the old spec is kept aside
    // and comes back when its order is asked for again.
    A::Fwd(m_handle, a.in1.data(), a.out1.data(), 6, 0);
    EXPECT_EQ(m_handle->cache->order, 6);
    EXPECT_NE(m_handle->cache->spec, nullptr);
    A::Fwd(m_handle, a.in1.data(), a.out1.data(), 5, 0);
    EXPECT_EQ(m_handle->cache->spec, first.spec);
    MathlibReleaseParkedRealFfts();
    EXPECT_EQ(spLiveAllocations(), live);
    A::Fwd(m_handle, a.in1.data(), a.out1.data(), 6, 0);

    // The other precision at the same order.
    std::vector<float> xf(64, 1.0f), sf(66);
    std::vector<double> xd(64, 1.0), sd(66);
    if (Bits() == 32)
      duvuvRealFftFwdF64(m_handle, xd.data(), sd.data(), 6, 1);
    else
      duvuvRealFftFwdF32(m_handle, xf.data(), sf.data(), 6, 1);
    EXPECT_EQ(m_handle->cache->elementBits, 96 - Bits());
    EXPECT_EQ(m_handle->cache->order, 6);
    EXPECT_EQ(Bits() == 32 ? sd[0] : sf[0], 64.0);

    // Another set: a spec serves only the set that built it, so forcing a set
    // between calls must rebuild it rather than hand it to the other set.
    for (int other = 0; other < kSpVariantSetCount; ++other) {
      if (other == Set() || !spVariantSetSupported(other) || !SetRuns(other, 5)) continue;
      SCOPED_TRACE(testing::Message() << "then the " << spVariantSetName(other) << " set");
      for (int set : {other, Set()}) {
        spForceVariantSet(set);
        const Arrays<T> before(Form::Fwd, 5, 20 + set);
        Arrays<T> after = before;
        RunForm(Form::Fwd, m_handle, after, 5, 1);
        EXPECT_EQ(m_handle->cache->variantSet, set);
        ExpectMatchesDft(Form::Fwd, before, after, 5, 1);
      }
    }
  });
}

// The spec's scratch is taken once with it: a repeated transform allocates
// nothing (a fresh block each call would also fault in fresh pages).
TEST_P(MathlibRealFftTest, RepeatedTransformsTakeNoMemory) {
  ForPrecision([&]<class T>() {
    for (int order : {6, kHighestTestedOrder}) {
      for (Form form : {Form::Fwd, Form::Inv, Form::FwdPair}) {
        SCOPED_TRACE(testing::Message() << FunctionName(form, Api<T>::kSuffix) << " order " << order);
        const Arrays<T> before(form, order, 40 + order);
        Arrays<T> after = before;
        ASSERT_EQ(RunForm(form, m_handle, after, order, 3), 1);
        ASSERT_NE(m_handle->cache, nullptr);
        EXPECT_EQ(m_handle->cache->work != nullptr, m_handle->cache->spec->workBytes > 0);
        const int64_t requests = spAllocationRequests();
        after = before;
        ASSERT_EQ(RunForm(form, m_handle, after, order, 3), 1);
        EXPECT_EQ(spAllocationRequests(), requests);
        ExpectMatchesDft(form, before, after, order, 3);
      }
    }
  });
}

TEST_P(MathlibRealFftTest, OrdersOutsideTheRangeLeaveTheOutputsThenOrderFiveWorks) {
  ForPrecision([&]<class T>() {
    for (int32_t order : {31, 32, -1, 1000}) {
      for (Form form : kForms) {
        SCOPED_TRACE(testing::Message() << FunctionName(form, Api<T>::kSuffix) << " order " << order);
        // Arrays of order 2: nothing may be touched, so size does not matter.
        const Arrays<T> before(form, 2, 5);
        Arrays<T> after = before;
        DebugOutputCapture capture;
        EXPECT_EQ(RunForm(form, m_handle, after, order, 3), 0);
        EXPECT_TRUE(SameBits(after.out1, before.out1));
        EXPECT_TRUE(SameBits(after.out2, before.out2));
        ASSERT_NE(m_handle->cache, nullptr);
        EXPECT_EQ(m_handle->cache->spec, nullptr);
        EXPECT_EQ(m_handle->cache->order, order);
        EXPECT_TRUE(Contains(capture.Text(), FunctionName(form, Api<T>::kSuffix) + "(), ERROR: ")) << capture.Text();

        // The failed key is remembered: a repeat builds nothing and still refuses.
        const int64_t requests = spAllocationRequests();
        capture.Clear();
        RunForm(form, m_handle, after, order, 3);
        EXPECT_EQ(spAllocationRequests(), requests);
        EXPECT_TRUE(SameBits(after.out1, before.out1));
        EXPECT_EQ(capture.Lines(), 1);
      }
    }
    const Arrays<T> before(Form::Fwd, 5, 9);
    Arrays<T> after = before;
    EXPECT_EQ(RunForm(Form::Fwd, m_handle, after, 5, 1), 1);
    EXPECT_NE(m_handle->cache->spec, nullptr);
    EXPECT_EQ(m_handle->cache->order, 5);
    ExpectMatchesDft(Form::Fwd, before, after, 5, 1);
  });
}

TEST_P(MathlibRealFftTest, NullHandleOrArrayIsTracedAndTouchesNothing) {
  ForPrecision([&]<class T>() {
    using A = Api<T>;
    Arrays<T> a(Form::Fwd, 3, 2);
    const std::vector<T> out = a.out1;
    struct Call {
      const char* name;
      std::function<void()> run;
    } calls[] = {
        {"null handle", [&] { A::Fwd(nullptr, a.in1.data(), a.out1.data(), 3, 1); }},
        {"null handle, copy", [&] { A::InvCopy(nullptr, a.in1.data(), a.out1.data(), 3, 2); }},
        {"null source", [&] { A::Fwd(m_handle, nullptr, a.out1.data(), 3, 3); }},
        {"null destination", [&] { A::Inv(m_handle, a.in1.data(), nullptr, 3, 3); }},
        {"null second source", [&] { A::FwdPair(m_handle, a.in1.data(), a.out1.data(), nullptr, a.out2.data(), 3); }},
        {"null copy source", [&] { A::InvCopy(m_handle, nullptr, a.out1.data(), 3, 2); }},
        {"null in-place data", [&] { A::FwdInPlace(m_handle, nullptr, 3, 1); }},
        {"null in-place data", [&] { A::InvInPlace(m_handle, nullptr, 3, 1); }},
        {"null complex destination", [&] { A::FwdComplex(m_handle, a.in1.data(), nullptr, 3, 1); }},
    };
    for (const Call& call : calls) {
      DebugOutputCapture capture;
      call.run();
      EXPECT_TRUE(SameBits(a.out1, out)) << call.name;
      EXPECT_TRUE(Contains(capture.Text(), "ERROR: null ")) << call.name << ": " << capture.Text();
    }
  });
}

TEST_P(MathlibRealFftTest, FailedAllocationLeavesTheOutputsAndKeepsNoBlock) {
  ForPrecision([&]<class T>() {
    constexpr int kOrder = 6;
    for (Form form : kForms) {
      const std::string function = FunctionName(form, Api<T>::kSuffix);
      SCOPED_TRACE(function);
      // A transform pass followed by its multiplication pass.
      const int32_t flags = IsForward(form) ? 2 : 1;
      const Arrays<T> before(form, kOrder, 31);
      Arrays<T> expected = before;
      {
        MathlibHandle* h = MathlibInit();
        RunForm(form, h, expected, kOrder, flags);
        MathlibFree(&h);
      }
      ExpectMatchesDft(form, before, expected, kOrder, flags);

      // Each pass builds its own spec, so that its failures are reached too.
      MathlibReleaseParkedRealFfts();
      const int64_t live = spLiveAllocations();
      const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
        MathlibHandle* h = MathlibInit();
        Arrays<T> after = before;
        DebugOutputCapture capture;
        bool reached;
        int result;
        {
          FailNthAllocation failure(k);
          result = RunForm(form, h, after, kOrder, flags);
          reached = failure.Reached();
        }
        // The caller learns whether the transform ran.
        EXPECT_EQ(result, reached ? 0 : 1) << "request " << k;
        if (reached) {
          // The pair's first transform may have completed before the second failed.
          const bool firstDone = form == Form::FwdPair && SameBits(after.out1, expected.out1);
          EXPECT_TRUE(firstDone || SameBits(after.out1, before.out1)) << "request " << k;
          EXPECT_TRUE(SameBits(after.out2, before.out2)) << "request " << k;
          EXPECT_TRUE(Contains(capture.Text(), function + "(), ERROR: ")) << capture.Text();
          // Only a failed build is remembered: without its scratch the spec
          // stays cached and the next call, with memory, runs.
          if (h->cache && h->cache->spec) {
            Arrays<T> again = before;
            EXPECT_EQ(RunForm(form, h, again, kOrder, flags), 1) << "request " << k;
            EXPECT_TRUE(SameBits(again.out1, expected.out1)) << "request " << k;
          }
        } else {
          EXPECT_TRUE(SameBits(after.out1, expected.out1));
          EXPECT_TRUE(SameBits(after.out2, expected.out2));
        }
        MathlibFree(&h);
        MathlibReleaseParkedRealFfts();
        EXPECT_EQ(spLiveAllocations(), live) << "request " << k;
        return reached;
      });
      // The cache record and the spec at least, and the scratch array.
      const bool scratch = form != Form::Fwd && form != Form::Inv && form != Form::FwdPair;
      EXPECT_GE(requests, scratch ? 3 : 2);
    }
  });
}

TEST_P(MathlibRealFftTest, CopyingInverseOnItsSourceEqualsSeparateArrays) {
  ForPrecision([&]<class T>() {
    for (int order : kOrders) {
      for (int32_t flags : {1, 2}) {
        Arrays<T> separate(Form::InvCopy, order, 40 + order);
        Arrays<T> same(Form::InvCopyOnSource, order, 40 + order);
        RunForm(Form::InvCopy, m_handle, separate, order, flags);
        RunForm(Form::InvCopyOnSource, m_handle, same, order, flags);
        const int64_t n = Points(order);
        EXPECT_EQ(std::memcmp(separate.out1.data(), same.out1.data(), n * sizeof(T)), 0)
            << "order " << order << " flags " << flags;
      }
    }
  });
}

// The correlators' sequence: a pair forward, the product of one spectrum and
// the other's conjugate, the copying inverse with flag 2, gives the circular
// cross-correlation.
TEST_P(MathlibRealFftTest, PairAndCopyingInverseGiveTheCircularCorrelation) {
  ForPrecision([&]<class T>() {
    constexpr int kOrder = 7;
    constexpr int64_t n = 128;
    const auto a = RandomValues<T>(n, 51), b = RandomValues<T>(n, 52);
    std::vector<T> sa(n + 2), sb(n + 2);
    Api<T>::FwdPair(m_handle, a.data(), sa.data(), b.data(), sb.data(), kOrder);
    for (int64_t k = 0; k <= n / 2; ++k) {  // sb = sb * conj(sa)
      const T re = sb[2 * k] * sa[2 * k] + sb[2 * k + 1] * sa[2 * k + 1];
      const T im = sb[2 * k + 1] * sa[2 * k] - sb[2 * k] * sa[2 * k + 1];
      sb[2 * k] = re;
      sb[2 * k + 1] = im;
    }
    Api<T>::InvCopy(m_handle, sb.data(), sb.data(), kOrder, 2);
    std::vector<long double> want(n);
    for (int64_t lag = 0; lag < n; ++lag)
      for (int64_t i = 0; i < n; ++i) want[lag] += static_cast<long double>(a[i]) * b[(i + lag) % n];
    EXPECT_LE(MaxError(sb.data(), want, n), 4 * Tolerance<T>(kOrder, want));
  });
}

std::string ParamName(const ::testing::TestParamInfo<Param>& info) {
  return std::string(spVariantSetName(std::get<0>(info.param))) + "_F" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(AllSets, MathlibRealFftTest,
                         ::testing::Combine(::testing::Range(0, 5), ::testing::Values(32, 64)), ParamName);

TEST(MathlibLog2Ceil, SmallestPowerOfTwoNotBelowN) {
  const struct {
    uint32_t n, k;
  } cases[] = {{0, 0},
               {1, 0},
               {2, 1},
               {3, 2},
               {4, 2},
               {5, 3},
               {1000, 10},
               {1024, 10},
               {1025, 11},
               {0x40000000u, 30},
               {0x40000001u, 31},
               {0x80000000u, 31},
               {0x80000001u, 32},
               {0xFFFFFFFFu, 32}};
  for (const auto& c : cases) EXPECT_EQ(MathlibLog2Ceil(c.n), c.k) << c.n;
}

class MathlibRealFftByLenTest : public MathlibRealFftTest {};

TEST_P(MathlibRealFftByLenTest, LengthsRoundUpToAPowerOfTwoInPlace) {
  // n = 1000 runs 1024 points in a buffer of 1026 floats: forward unscaled,
  // inverse scaled by 1/N.
  const auto x = RandomValues<float>(1024, 60);
  std::vector<float> data(1026, Sentinel<float>());
  std::copy(x.begin(), x.end(), data.begin());
  duvuvRealFftFwdByLenF32(m_handle, data.data(), 1000);
  const auto want = NaiveRealForward(x);
  EXPECT_LE(MaxError(data.data(), want, 1026), Tolerance<float>(10, want));
  EXPECT_EQ(m_handle->cache->order, 10);
  duvuvRealFftInvByLenF32(m_handle, data.data(), 1000);
  const std::vector<long double> signal(x.begin(), x.end());
  EXPECT_LE(MaxError(data.data(), signal, 1024), Tolerance<float>(10, signal));

  // n = 0 and 1 run one point: two spectrum values, the third kept.
  for (uint32_t n : {0u, 1u}) {
    std::vector<float> one = {2.5f, Sentinel<float>(), Sentinel<float>()};
    const std::vector<float> was = one;
    duvuvRealFftFwdByLenF32(m_handle, one.data(), n);
    EXPECT_EQ(one[0], 2.5f);
    EXPECT_EQ(one[1], 0.0f);
    EXPECT_EQ(std::memcmp(&one[2], &was[2], sizeof(float)), 0);
  }

  // Above 2^31 the order is 32, refused with the data untouched.
  std::vector<float> small(8, Sentinel<float>());
  const std::vector<float> was = small;
  DebugOutputCapture capture;
  duvuvRealFftFwdByLenF32(m_handle, small.data(), 0x80000001u);
  duvuvRealFftInvByLenF32(m_handle, small.data(), 0xFFFFFFFFu);
  EXPECT_TRUE(SameBits(small, was));
  EXPECT_TRUE(Contains(capture.Text(), "duvuvRealFftFwdByLenF32(), ERROR: FFT order 32 outside 0..30"))
      << capture.Text();
  EXPECT_TRUE(Contains(capture.Text(), "duvuvRealFftInvByLenF32(), ERROR: ")) << capture.Text();
}

INSTANTIATE_TEST_SUITE_P(AllSets, MathlibRealFftByLenTest,
                         ::testing::Combine(::testing::Range(0, 5), ::testing::Values(32)), ParamName);

}  // namespace
