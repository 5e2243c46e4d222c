// The double real FFT's large-size path through the dispatch entries, in
// every variant set: orders 11 to 20 against a long-double FFT (every plan
// shape those orders give: blocked, one level, generic two levels, odd and
// even split exponents), order 16 (the front end's default) in every flag,
// placement and alignment, the folded bit reversal against the unfolded
// path at both row radices, SIMD two-level plans and the generic three-level
// chain's upper orders by closed forms, round trip, Parseval, circular
// shift and agreement with the generic set; the plan block and work sizes
// of the plan rules, allocation failure at every allocation of a large
// spec, and (opt-in, VANTREL_LARGE_TESTS=1) orders 24 to 30.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f64_kernels.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "support/alloc_failure.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr decltype(&sp_generic::spkFftPlanSizeF64_Generic) kPlanSize[] = SP_VARIANT_TABLE(spkFftPlanSizeF64);
constexpr int kPlainLargest[] = {10, 10, 14, 15, 15};  // orders of the plain or fused engine
const double kNaN = std::numeric_limits<double>::quiet_NaN();

int64_t Points(int order) { return int64_t{1} << order; }
int64_t Packed(int order) { return Points(order) + 2; }

bool LargeTestsWanted() { return std::getenv("VANTREL_LARGE_TESTS") != nullptr; }

using Spec = SpecOf<double>;
using Placed = PlacedOf<double>;

std::vector<double> Forward(REALFFTSPEC* spec, const std::vector<double>& x, bool inPlace = false, int shift = 0) {
  return PlacedForward(spec, x, inPlace, shift);
}
std::vector<double> Inverse(REALFFTSPEC* spec, const std::vector<double>& packed, bool inPlace = false, int shift = 0) {
  return PlacedInverse(spec, packed, inPlace, shift);
}

// Long-double references, computed once per order for all sets.
struct Reference {
  std::vector<double> x, packed;
  std::vector<long double> forward, inverse;
};
const Reference& ReferenceOf(int order) {
  static std::map<int, Reference> cache;
  auto it = cache.find(order);
  if (it != cache.end()) return it->second;
  Reference r;
  r.x = RandomValues<double>(Points(order), 4000 + order);
  r.packed = RandomValues<double>(Packed(order), 5000 + order);
  r.forward = FftRealForward(r.x);
  r.inverse = FftRealInverse(r.packed, Points(order));
  return cache.emplace(order, std::move(r)).first->second;
}

std::vector<long double> Times(std::vector<long double> v, long double f) {
  for (auto& e : v) e *= f;
  return v;
}

class RealFftF64LargeTest : public VariantSetTest {};

// Orders 11 to 20 reach every plan shape below two SIMD levels: generic
// blocked (11, 12), one level with radix rows (13..19), blocked rows (20);
// SSE2 k1 = 4 (15..18), 5 (19, odd), 6 (20); SSE3/SSSE3 k1 = 6 with rows
// of 2^9 (16) and 2^10 (17), 4 (18, 19), 6 (20).
TEST_P(RealFftF64LargeTest, OrdersElevenToTwentyMatchLongDouble) {
  for (int order = 11; order <= 20; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const Reference& ref = ReferenceOf(order);
    Spec plain(order, REALFFT_NO_DIV), root(order, REALFFT_DIV_BY_SQRT_N);
    ASSERT_EQ(plain.status, spOk);
    ASSERT_EQ(root.status, spOk);
    EXPECT_LE(MaxError(Forward(plain.p, ref.x).data(), ref.forward, Packed(order)),
              Tolerance<double>(order, ref.forward));
    EXPECT_LE(MaxError(Inverse(plain.p, ref.packed).data(), ref.inverse, Points(order)),
              Tolerance<double>(order, ref.inverse));
    const long double factor = 1.0L / std::sqrt(static_cast<long double>(Points(order)));
    const auto wantForward = Times(ref.forward, factor), wantInverse = Times(ref.inverse, factor);
    EXPECT_LE(MaxError(Forward(root.p, ref.x, true, 1).data(), wantForward, Packed(order)),
              Tolerance<double>(order, wantForward));
    EXPECT_LE(MaxError(Inverse(root.p, ref.packed, true, 1).data(), wantInverse, Points(order)),
              Tolerance<double>(order, wantInverse));
  }
}

// Order 16 is the front end's default: every flag, in place and out of
// place, at a 16-byte boundary and 8 bytes past one, each the same bits as
// out of place aligned; 1/N scaling exact; the packed zero slots +0.0.
TEST_P(RealFftF64LargeTest, DefaultOrderInEveryFlagAndPlacement) {
  constexpr int kOrder = 16;
  const Reference& ref = ReferenceOf(kOrder);
  Spec none(kOrder, REALFFT_NO_DIV), fwd(kOrder, REALFFT_DIV_FWD_BY_N), inv(kOrder, REALFFT_DIV_INV_BY_N);
  const auto base = Forward(none.p, ref.x), back = Inverse(none.p, ref.packed);
  EXPECT_LE(MaxError(base.data(), ref.forward, Packed(kOrder)), Tolerance<double>(kOrder, ref.forward));
  EXPECT_EQ(std::bit_cast<uint64_t>(base[1]), 0u);
  EXPECT_EQ(std::bit_cast<uint64_t>(base[Points(kOrder) + 1]), 0u);
  for (bool inPlace : {false, true})
    for (int shift : {0, 1}) {
      SCOPED_TRACE(testing::Message() << (inPlace ? "in place" : "out of place") << " shift " << shift);
      EXPECT_EQ(Forward(none.p, ref.x, inPlace, shift), base);
      EXPECT_EQ(Inverse(none.p, ref.packed, inPlace, shift), back);
      auto scaled = base;
      for (auto& v : scaled) v *= 1.0 / Points(kOrder);
      EXPECT_EQ(Forward(fwd.p, ref.x, inPlace, shift), scaled);
      EXPECT_EQ(Inverse(fwd.p, ref.packed, inPlace, shift), back);
      auto scaledBack = back;
      for (auto& v : scaledBack) v *= 1.0 / Points(kOrder);
      EXPECT_EQ(Inverse(inv.p, ref.packed, inPlace, shift), scaledBack);
      EXPECT_EQ(Forward(inv.p, ref.x, inPlace, shift), base);
    }
}

// Into an aligned destination the SIMD sets fold the bit reversal into the
// rows' first butterflies (from the source, or in place by block pairs);
// 8 bytes off a boundary they copy or permute first. Both give the same
// bits, for rows of radix-4 and radix-8 first stages (SSSE3: 2^10 rows at
// 17, 2^14 at 19, 2^13 at 20; SSE2: 2^12, 2^13, 2^13), in both directions.
TEST_P(RealFftF64LargeTest, FoldedBitReversalGivesTheUnfoldedBits) {
  for (int order : {17, 19, 20}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const Reference& ref = ReferenceOf(order);
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    const auto forward = Forward(spec.p, ref.x, false, 1), inverse = Inverse(spec.p, ref.packed, false, 1);
    EXPECT_LE(MaxError(forward.data(), ref.forward, Packed(order)), Tolerance<double>(order, ref.forward));
    EXPECT_LE(MaxError(inverse.data(), ref.inverse, Points(order)), Tolerance<double>(order, ref.inverse));
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(inPlace ? "in place" : "out of place");
      EXPECT_EQ(Forward(spec.p, ref.x, inPlace, 0), forward);
      EXPECT_EQ(Inverse(spec.p, ref.packed, inPlace, 0), inverse);
    }
    EXPECT_EQ(Forward(spec.p, ref.x, true, 1), forward);
  }
}

// Checks for orders too large for a full long-double reference: a sum of
// cosines at known bins (closed form), round trip, Parseval, a circular
// shift (X_k e^(-2 pi j k s / N), which catches index mapping) and, outside
// the generic set, agreement with the generic set's entirely different
// plan.
void CheckLargeOrder(int order, int setIndex) {
  SCOPED_TRACE(testing::Message() << "order " << order);
  const int64_t n = Points(order);
  Spec spec(order, REALFFT_DIV_INV_BY_N);
  if (spec.status == spErrNoMemory) GTEST_SKIP() << "not enough memory for order " << order;
  ASSERT_EQ(spec.status, spOk);

  // amplitude * cos(2 pi bin t / n + phase) = Re(c e^(2 pi bin t i / n)).
  struct Tone {
    int64_t bin;
    std::complex<long double> c;
  };
  const Tone tones[] = {
      {1, std::polar(1.0L, 0.3L)}, {n / 4 + 3, std::polar(0.5L, -1.1L)}, {n / 2 - 5, std::polar(0.25L, 2.0L)}};
  // e^(2 pi j i / n) from a quarter-wave cosine table in long double.
  const int64_t quarter = n / 4;
  std::vector<long double> cosine(quarter + 1);
  for (int64_t j = 0; j <= quarter; ++j) cosine[j] = std::cos(2 * std::numbers::pi_v<long double> * j / n);
  auto cosAt = [&](int64_t j) -> long double {
    j %= n;
    if (j <= quarter) return cosine[j];
    if (j <= 2 * quarter) return -cosine[2 * quarter - j];
    if (j <= 3 * quarter) return -cosine[j - 2 * quarter];
    return cosine[n - j];
  };
  auto turn = [&](int64_t j) { return std::complex<long double>(cosAt(j), cosAt(j + 3 * quarter)); };
  std::vector<double> x(n);
  for (int64_t t = 0; t < n; ++t) {
    long double v = 0;
    for (const Tone& tone : tones) {
      const std::complex<long double> w = turn(tone.bin * t);
      v += w.real() * tone.c.real() - w.imag() * tone.c.imag();
    }
    x[t] = static_cast<double>(v);
  }
  const auto fx = Forward(spec.p, x);
  std::vector<long double> want(Packed(order), 0.0L);
  for (const Tone& tone : tones) {
    want[2 * tone.bin] = tone.c.real() * n / 2;
    want[2 * tone.bin + 1] = tone.c.imag() * n / 2;
  }
  // The input is rounded to double: its error spreads over every bin.
  EXPECT_LE(MaxError(fx.data(), want, Packed(order)), 1e-13L * n);

  const auto random = RandomValues<double>(n, 7000 + order);
  const auto fr = Forward(spec.p, random);
  const auto back = Inverse(spec.p, fr);
  const std::vector<long double> exact(random.begin(), random.end());
  EXPECT_LE(MaxError(back.data(), exact, n), 2 * Tolerance<double>(order, exact));

  long double energy = 0, spectral = static_cast<long double>(fr[0]) * fr[0] + static_cast<long double>(fr[n]) * fr[n];
  for (double v : random) energy += static_cast<long double>(v) * v;
  for (int64_t k = 1; k < n / 2; ++k)
    spectral +=
        2 * (static_cast<long double>(fr[2 * k]) * fr[2 * k] + static_cast<long double>(fr[2 * k + 1]) * fr[2 * k + 1]);
  EXPECT_NEAR(static_cast<double>(spectral / n), static_cast<double>(energy), 1e-12 * static_cast<double>(energy));

  const int64_t s = n / 2 + 12345;
  std::vector<double> shifted(n);
  for (int64_t i = 0; i < n; ++i) shifted[(i + s) % n] = random[i];
  const auto fs = Forward(spec.p, shifted);
  long double worst = 0, scale = 0;
  for (int64_t k = 0; k <= n / 2; ++k) {
    // (a + b i)(c - d i), written out: std::complex's product checks for
    // infinities on every call.
    const std::complex<long double> w = turn(k * s);
    const long double a = fr[2 * k], b = fr[2 * k + 1];
    const long double re = a * w.real() + b * w.imag(), im = b * w.real() - a * w.imag();
    worst = std::max({worst, std::fabs(re - fs[2 * k]), std::fabs(im - fs[2 * k + 1])});
    scale = std::max({scale, std::fabs(re), std::fabs(im)});
  }
  EXPECT_LE(worst, 1e-14L * scale * order);

  if (setIndex != SP_SET_GENERIC) {
    const int32_t previous = spForceVariantSet(SP_SET_GENERIC);
    Spec generic(order, REALFFT_DIV_INV_BY_N);
    spForceVariantSet(previous);
    ASSERT_EQ(generic.status, spOk);
    spForceVariantSet(SP_SET_GENERIC);
    const auto fg = Forward(generic.p, random);
    spForceVariantSet(previous);
    const std::vector<long double> theirs(fg.begin(), fg.end());
    EXPECT_LE(MaxError(fr.data(), theirs, Packed(order)), 4 * Tolerance<double>(order, theirs));
  }
}

// Order 22: the generic and SSE sets' two levels with radix rows (complex
// order 21 -> 13 -> 8), the SIMD sets' k1 = 8; order 23 in SSE2: two
// levels (k1 = 4 over rows of complex order 18, split again with k1 = 5).
TEST_P(RealFftF64LargeTest, OrdersTwentyTwoAndTwentyThree) {
  CheckLargeOrder(22, SetIndex());
  if (SetIndex() == SP_SET_SSE2) CheckLargeOrder(23, SetIndex());
}

// Bytes the machine can still give without swapping (MemAvailable).
int64_t AvailableBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  int64_t kib = 0;
  std::string unit;
  while (meminfo >> key >> kib >> unit)
    if (key == "MemAvailable:") return kib * 1024;
  return 0;
}

// The top orders with one data buffer: a cosine at bin b (closed form: N/2
// at b, all else 0), spot bins and Parseval, then the scaled inverse back to
// the cosine. A spec build that cannot get its memory gives -9.
void CheckTopOrder(int order) {
  SCOPED_TRACE(testing::Message() << "order " << order);
  const int64_t n = Points(order);
  // The spec takes about 19 N bytes (plan 8 N, split tables 8 N, bit
  // reversal N, sine 2 N during the build), the data 8 N.
  if (AvailableBytes() < 28 * n) GTEST_SKIP() << "order " << order << " needs about " << 28 * n << " bytes";
  std::vector<double> data(Packed(order));
  Spec spec(order, REALFFT_DIV_INV_BY_N);
  if (spec.status == spErrNoMemory) GTEST_SKIP() << "spec build of order " << order << " gave -9";
  ASSERT_EQ(spec.status, spOk);
  const int64_t bin = n / 3;
  auto tone = [&](int64_t t) { return std::cos(2 * std::numbers::pi * static_cast<double>((bin * t) % n) / n); };
  for (int64_t t = 0; t < n; ++t) data[t] = tone(t);
  ASSERT_EQ(spRealFftFwdF64(data.data(), data.data(), spec.p, nullptr), spOk);
  const double half = static_cast<double>(n / 2), tolerance = 1e-9 * half;
  EXPECT_NEAR(data[2 * bin], half, tolerance);
  EXPECT_NEAR(data[2 * bin + 1], 0.0, tolerance);
  for (int64_t k : {int64_t{0}, int64_t{1}, bin - 1, bin + 1, n / 4, n / 2 - 1, n / 2}) {
    EXPECT_NEAR(data[2 * k], 0.0, tolerance) << "bin " << k;
    EXPECT_NEAR(data[2 * k + 1], 0.0, tolerance) << "bin " << k;
  }
  long double spectral = 0;
  for (int64_t k = 0; k <= n / 2; ++k)
    spectral += (k == 0 || k == n / 2 ? 1 : 2) * (static_cast<long double>(data[2 * k]) * data[2 * k] +
                                                  static_cast<long double>(data[2 * k + 1]) * data[2 * k + 1]);
  EXPECT_NEAR(static_cast<double>(spectral / n), half, 1e-9 * half);  // sum of cos^2 = N/2
  ASSERT_EQ(spRealFftInvF64(data.data(), data.data(), spec.p, nullptr), spOk);
  double worst = 0;
  for (int64_t t = 0; t < n; ++t) worst = std::max(worst, std::fabs(data[t] - tone(t)));
  EXPECT_LE(worst, 1e-12);
}

// Opt-in, outside CI: orders 24 to 26 as above, 27 to 30 with one buffer
// (order 30 needs about 27 GiB; an order the machine cannot hold is skipped
// rather than pushed into swap).
TEST_P(RealFftF64LargeTest, OrdersTwentyFourToThirty) {
  if (!LargeTestsWanted()) GTEST_SKIP() << "set VANTREL_LARGE_TESTS=1 to run";
  for (int order = 24; order <= 26; ++order) CheckLargeOrder(order, SetIndex());
  for (int order = 27; order <= 30; ++order) CheckTopOrder(order);
}

// Plan block and work sizes by the plan rules, from the split and block
// exponent tables (hand-evaluated; the largest pass 2^32 bytes).
TEST_P(RealFftF64LargeTest, PlanAndWorkSizes) {
  struct Case {
    int32_t m;
    int64_t blockBytes, workBytes;
  };
  std::vector<Case> cases;
  switch (SetIndex()) {
    case SP_SET_GENERIC:
    case SP_SET_SSE:
      cases = {{10, 12304, 0},
               {11, 16400, 0},
               {12, 4112 + 65808, 1024},
               {19, 12304 + 8396816, 32768},
               {29, 16400 + 16785424 + 8589942800, 32768}};
      break;
    case SP_SET_SSE2:
      cases = {{14, 16400 + 262144, 16384},
               {22, 131088 + 4194304 + 67108864, 131072},
               {29, 131088 + 33554432 + 8589934592, 131072}};
      break;
    default:
      cases = {{15, 8208 + 524288, 32768},
               {23, 8208 + 524288 + 134217728, 262144},
               {29, 131088 + 33554432 + 8589934592, 262144}};
  }
  for (const Case& c : cases) {
    int64_t block = -1, work = -1;
    kPlanSize[SetIndex()](c.m, &block, &work);
    EXPECT_EQ(block, c.blockBytes) << "m " << c.m;
    EXPECT_EQ(work, c.workBytes) << "m " << c.m;
    // The spec records the same hand-evaluated work size.
    if (c.m > 19) continue;
    Spec spec(c.m + 1, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    EXPECT_EQ(spec.p->workBytes, c.workBytes) << "order " << c.m + 1;
  }
  for (int order = kPlainLargest[SetIndex()] + 1; order <= 20; ++order) {
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    EXPECT_NE(spec.p->twiddles, nullptr);
    // The blocked plan (generic and SSE, complex orders 10 and 11) has the
    // subsampled list and no levels; the SIMD sets no column-transform
    // tables.
    const bool blocked = SetIndex() <= SP_SET_SSE && order <= 12;
    EXPECT_EQ(spec.p->subsampledTwiddles != nullptr,
              blocked || (SetIndex() <= SP_SET_SSE && order >= 20 && order <= 21));
    EXPECT_EQ(spec.p->multiplyTables[0] != nullptr, !blocked);
    EXPECT_EQ(spec.p->rowTwiddles[0] != nullptr, !blocked && SetIndex() <= SP_SET_SSE);
  }
}

// Every allocation of a large spec and of its transforms' scratch fails in
// turn: -9, nothing stored, nothing leaked, the caller's data untouched.
TEST_P(RealFftF64LargeTest, AllocationFailureAtEveryAllocation) {
  for (int order : {16, 20}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
      const int64_t live = spLiveAllocations();
      REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
      REALFFTSPEC* spec = sentinel;
      spStatus status;
      bool reached;
      {
        FailNthAllocation failure(k);
        status = spRealFftInitF64(&spec, order, REALFFT_DIV_INV_BY_N, 0);
        reached = failure.Reached();
      }
      if (!reached) {
        EXPECT_EQ(status, spOk);
        spRealFftFreeF64(spec);
        return false;
      }
      EXPECT_EQ(status, spErrNoMemory);
      EXPECT_EQ(spec, sentinel);
      EXPECT_EQ(spLiveAllocations(), live);
      return true;
    });
    EXPECT_GE(requests, 1);
    Spec spec(order, REALFFT_NO_DIV);
    if (spec.p->workBytes > 0) {
      const int64_t live = spLiveAllocations();
      std::vector<double> x(Packed(order), 1.0), dst(Packed(order), kNaN);
      {
        FailNthAllocation failure(1);
        EXPECT_EQ(spRealFftFwdF64(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
      }
      {
        FailNthAllocation failure(1);
        EXPECT_EQ(spRealFftInvF64(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
      }
      for (double v : dst) ASSERT_TRUE(std::isnan(v));
      EXPECT_EQ(spLiveAllocations(), live);
    }
  }
}

// Threads share one spec of the default order, each with its own data and
// scratch (or none): every result is the single-thread one bit for bit.
TEST_P(RealFftF64LargeTest, ThreadsSharingOneSpec) {
  constexpr int kOrder = 16, kThreads = 4;
  Spec spec(kOrder, REALFFT_DIV_BY_SQRT_N);
  ASSERT_EQ(spec.status, spOk);
  const Reference& ref = ReferenceOf(kOrder);
  const auto wantForward = Forward(spec.p, ref.x), wantInverse = Inverse(spec.p, ref.packed);
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      std::vector<uint8_t> work(spec.p->workBytes + 15 + t);
      uint8_t* scratch = t % 2 ? work.data() + t : nullptr;
      for (int round = 0; round < 5; ++round) {
        std::vector<double> f(Packed(kOrder)), b(Points(kOrder));
        spRealFftFwdF64(ref.x.data(), f.data(), spec.p, scratch);
        spRealFftInvF64(ref.packed.data(), b.data(), spec.p, scratch);
        if (f != wantForward || b != wantInverse) ++mismatches[t];
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF64LargeTest);

}  // namespace
