// The single-precision real FFT's large-size path through the dispatch
// entries, in every set that runs it: every plan shape up to order 22
// against a long-double FFT (blocked, one level with radix rows, one level
// over blocked rows), forward 1/N scaling bit for bit, round trip,
// Parseval and circular shift, the caller's work buffer at any offset; the
// plan's table and work sizes by the plan rules (the largest pass 2^32
// bytes); the plan's tables where
// their values are exact; allocation failure at every allocation of a
// large spec; and (opt-in, VANTREL_LARGE_TESTS=1) orders 23 to 30.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numbers>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/fft/real_fft_f32_kernels.h"
#include "primitives/fft/sp_real_fft.h"
#include "primitives/frame/alloc_failure_seam.h"
#include "primitives/frame/dispatch.h"
#include "support/alloc_failure.h"
#include "support/available_memory.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr decltype(&sp_generic::spkFftPlanSizeF32_Generic) kPlanSize[] = SP_VARIANT_TABLE(spkFftPlanSizeF32);
// The first order of each set's large-size path (complex order plain
// limit + 2).
constexpr int kFirstLargeOrder[] = {12, 12, 17, 18, 19};
const float kNaN = std::numeric_limits<float>::quiet_NaN();

int64_t Points(int order) { return int64_t{1} << order; }
int64_t Packed(int order) { return Points(order) + 2; }

bool LargeTestsWanted() { return std::getenv("VANTREL_LARGE_TESTS") != nullptr; }

using Spec = SpecOf<float>;
using Placed = PlacedOf<float>;

std::vector<float> Forward(REALFFTSPEC* spec, const std::vector<float>& x, bool inPlace = false, int shift = 0) {
  return PlacedForward(spec, x, inPlace, shift);
}
std::vector<float> Inverse(REALFFTSPEC* spec, const std::vector<float>& packed, bool inPlace = false, int shift = 0) {
  return PlacedInverse(spec, packed, inPlace, shift);
}

// Long-double references, computed once per order for all sets.
struct Reference {
  std::vector<float> x, packed;
  std::vector<long double> forward, inverse;
};
const Reference& ReferenceOf(int order) {
  static std::map<int, Reference> cache;
  auto it = cache.find(order);
  if (it != cache.end()) return it->second;
  Reference r;
  r.x = RandomValues<float>(Points(order), 4100 + order);
  r.packed = RandomValues<float>(Packed(order), 5100 + order);
  r.forward = FftRealForward(r.x);
  r.inverse = FftRealInverse(r.packed, Points(order));
  return cache.emplace(order, std::move(r)).first->second;
}

std::vector<long double> Times(std::vector<long double> v, long double f) {
  for (auto& e : v) e *= f;
  return v;
}

class RealFftF32LargeTest : public VariantSetTest {};

// Orders 12 to 22 give every plan shape of one level. Generic and SSE:
// blocked (12, 13), k1 = m - 8 over 256-point rows (14..17), k1 = 8 over
// rows of 2^9, 2^10 (18, 19), k1 = 10 over rows of 2^9, 2^10 (20, 21),
// k1 = 10 over blocked 2048-point rows (22).
TEST_P(RealFftF32LargeTest, EveryOneLevelShapeMatchesLongDouble) {
  for (int order = kFirstLargeOrder[SetIndex()]; order <= 22; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const Reference& ref = ReferenceOf(order);
    Spec plain(order, REALFFT_NO_DIV), root(order, REALFFT_DIV_BY_SQRT_N);
    ASSERT_EQ(plain.status, spOk);
    ASSERT_EQ(root.status, spOk);
    EXPECT_LE(MaxError(Forward(plain.p, ref.x).data(), ref.forward, Packed(order)),
              Tolerance<float>(order, ref.forward));
    EXPECT_LE(MaxError(Inverse(plain.p, ref.packed).data(), ref.inverse, Points(order)),
              Tolerance<float>(order, ref.inverse));
    const long double factor = 1.0L / std::sqrt(static_cast<long double>(Points(order)));
    const auto wantForward = Times(ref.forward, factor), wantInverse = Times(ref.inverse, factor);
    EXPECT_LE(MaxError(Forward(root.p, ref.x, true, 1).data(), wantForward, Packed(order)),
              Tolerance<float>(order, wantForward));
    EXPECT_LE(MaxError(Inverse(root.p, ref.packed, true, 3).data(), wantInverse, Points(order)),
              Tolerance<float>(order, wantInverse));
  }
}

// Scaling by a power of two is exact wherever the path applies it, so the
// forward result with 1/N equals the unscaled one times 1/N bit for bit,
// in place and out of place, at every float offset.
TEST_P(RealFftF32LargeTest, ScalingByOneOverNIsExact) {
  for (int order : {kFirstLargeOrder[SetIndex()], 15, 22}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const Reference& ref = ReferenceOf(order);
    Spec none(order, REALFFT_NO_DIV), fwd(order, REALFFT_DIV_FWD_BY_N), inv(order, REALFFT_DIV_INV_BY_N);
    const auto base = Forward(none.p, ref.x), back = Inverse(none.p, ref.packed);
    auto scaled = base, scaledBack = back;
    for (auto& v : scaled) v *= 1.0f / static_cast<float>(Points(order));
    for (auto& v : scaledBack) v *= 1.0f / static_cast<float>(Points(order));
    for (bool inPlace : {false, true})
      for (int shift : {0, 1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << (inPlace ? "in place" : "out of place") << " shift " << shift);
        EXPECT_EQ(Forward(none.p, ref.x, inPlace, shift), base);
        EXPECT_EQ(Forward(fwd.p, ref.x, inPlace, shift), scaled);
        EXPECT_EQ(Inverse(inv.p, ref.packed, inPlace, shift), scaledBack);
        EXPECT_EQ(Inverse(fwd.p, ref.packed, inPlace, shift), back);
      }
  }
}

// Checks for orders too large for a long-double FFT in a test's time: a
// sum of cosines at known bins (closed form), round trip, Parseval and a
// circular shift (X_k e^(-2 pi j k s / N), which catches index mapping).
void CheckLargeOrder(int order) {
  SCOPED_TRACE(testing::Message() << "order " << order);
  const int64_t n = Points(order);
  Spec spec(order, REALFFT_DIV_INV_BY_N);
  if (spec.status == spErrNoMemory) GTEST_SKIP() << "not enough memory for order " << order;
  ASSERT_EQ(spec.status, spOk);

  struct Tone {
    int64_t bin;
    std::complex<long double> c;
  };
  const Tone tones[] = {
      {1, std::polar(1.0L, 0.3L)}, {n / 4 + 3, std::polar(0.5L, -1.1L)}, {n / 2 - 5, std::polar(0.25L, 2.0L)}};
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
  std::vector<float> x(n);
  for (int64_t t = 0; t < n; ++t) {
    long double v = 0;
    for (const Tone& tone : tones) {
      const std::complex<long double> w = turn(tone.bin * t);
      v += w.real() * tone.c.real() - w.imag() * tone.c.imag();
    }
    x[t] = static_cast<float>(v);
  }
  const auto fx = Forward(spec.p, x);
  std::vector<long double> want(Packed(order), 0.0L);
  for (const Tone& tone : tones) {
    want[2 * tone.bin] = tone.c.real() * n / 2;
    want[2 * tone.bin + 1] = tone.c.imag() * n / 2;
  }
  // A few float roundings of the largest bin (N/2): far below what a wrong
  // index or factor gives.
  EXPECT_LE(MaxError(fx.data(), want, Packed(order)), std::numeric_limits<float>::epsilon() * n);

  const auto random = RandomValues<float>(n, 7100 + order);
  const auto fr = Forward(spec.p, random);
  const auto back = Inverse(spec.p, fr);
  const std::vector<long double> exact(random.begin(), random.end());
  EXPECT_LE(MaxError(back.data(), exact, n), 2 * Tolerance<float>(order, exact));

  long double energy = 0, spectral = static_cast<long double>(fr[0]) * fr[0] + static_cast<long double>(fr[n]) * fr[n];
  for (float v : random) energy += static_cast<long double>(v) * v;
  for (int64_t k = 1; k < n / 2; ++k)
    spectral +=
        2 * (static_cast<long double>(fr[2 * k]) * fr[2 * k] + static_cast<long double>(fr[2 * k + 1]) * fr[2 * k + 1]);
  EXPECT_NEAR(static_cast<double>(spectral / n), static_cast<double>(energy), 1e-5 * static_cast<double>(energy));

  const int64_t s = n / 2 + 12345;
  std::vector<float> shifted(n);
  for (int64_t i = 0; i < n; ++i) shifted[(i + s) % n] = random[i];
  const auto fs = Forward(spec.p, shifted);
  long double worst = 0, scale = 0;
  for (int64_t k = 0; k <= n / 2; ++k) {
    const std::complex<long double> w = turn(k * s);
    const long double a = fr[2 * k], b = fr[2 * k + 1];
    const long double re = a * w.real() + b * w.imag(), im = b * w.real() - a * w.imag();
    worst = std::max({worst, std::fabs(re - fs[2 * k]), std::fabs(im - fs[2 * k + 1])});
    scale = std::max({scale, std::fabs(re), std::fabs(im)});
  }
  EXPECT_LE(worst, 2e-6L * scale * order);
}

// Opt-in, outside CI: orders 23 to 30, among them the two-level plans
// (generic and SSE from order 24). An order the machine's free memory
// cannot hold is skipped with the rest (order 28 needs about 18 GiB). VANTREL_LARGE_TESTS_MAX_ORDER stops earlier on a
// machine others share.
TEST_P(RealFftF32LargeTest, OrdersTwentyThreeToThirty) {
  if (!LargeTestsWanted()) GTEST_SKIP() << "set VANTREL_LARGE_TESTS=1 to run";
  const char* limit = std::getenv("VANTREL_LARGE_TESTS_MAX_ORDER");
  const int last = limit != nullptr ? std::atoi(limit) : 30;
  for (int order = 23; order <= last; ++order) {
    // The checks hold about 64 bytes per point (seven float arrays, three
    // long-double ones) and the spec about 8: order 28 needs some 18 GiB.
    if (AvailableMemoryBytes() < 72 * Points(order))
      GTEST_SKIP() << "order " << order << " needs about " << 72 * Points(order) << " bytes";
    CheckLargeOrder(order);
  }
}

// Circular shift, Parseval, round trip and tones at the set's first large
// order and at order 20 (SSE2: odd k1; SSE3, SSSE3: rows of 2^16).
TEST_P(RealFftF32LargeTest, ShiftParsevalAndTones) {
  for (int order : {kFirstLargeOrder[SetIndex()], 20}) CheckLargeOrder(order);
}

// A caller's work buffer at any byte offset is used from its first 16-byte
// boundary for exactly the spec's work bytes: the same bits as without
// one, the guard after it untouched.
TEST_P(RealFftF32LargeTest, CallersWorkBuffer) {
  const int order = 20;
  const Reference& ref = ReferenceOf(order);
  Spec spec(order, REALFFT_DIV_BY_SQRT_N);
  ASSERT_EQ(spec.status, spOk);
  ASSERT_GT(spec.p->workBytes, 0);
  const auto base = Forward(spec.p, ref.x), back = Inverse(spec.p, ref.packed);
  std::vector<uint8_t> storage(spec.p->workBytes + 64);
  for (int offset : {0, 4, 8, 12, 15}) {
    SCOPED_TRACE(testing::Message() << "offset " << offset);
    uint8_t* raw = storage.data();
    while ((reinterpret_cast<uintptr_t>(raw) & 15) != 0) ++raw;
    uint8_t* work = raw + offset;
    uint8_t* end = raw + ((offset + 15) & ~15) + spec.p->workBytes;
    std::fill(storage.begin(), storage.end(), uint8_t{0xA5});
    std::vector<float> out(Packed(order)), again(Points(order));
    ASSERT_EQ(spRealFftFwdF32(ref.x.data(), out.data(), spec.p, work), spOk);
    EXPECT_EQ(out, base);
    ASSERT_EQ(spRealFftInvF32(ref.packed.data(), again.data(), spec.p, work), spOk);
    EXPECT_EQ(again, back);
    for (uint8_t* g = end; g < end + 16; ++g) ASSERT_EQ(*g, 0xA5);
  }
}

// Table and work sizes by the plan rules, hand-evaluated from the split and
// block exponent tables; every set reports its own plan's sizes even where
// it does not run the path yet.
TEST(RealFftF32LargePlan, TableAndWorkSizes) {
  struct Case {
    int set;
    int32_t m;
    int64_t table, work;
  };
  const Case cases[] = {
      {SP_SET_GENERIC, 11, 12304, 0},  // blocked: order-10 table and 2^11/4 subsampled values
      {SP_SET_GENERIC, 13, 2064 + 272 + 65536, 1024},
      {SP_SET_GENERIC, 21, 8208 + 4096 + 8208 + 16777216, 32768},  // blocked rows
      {SP_SET_GENERIC, 23, 67376176, 8192},                        // two levels
      {SP_SET_GENERIC, 29, 4112 + 8208 + 4194304 + 8208 + 4294967296, 32768},
      {SP_SET_SSE, 11, 16400, 8192},
      {SP_SET_SSE, 13, 67872, 2048},
      {SP_SET_SSE2, 19, 131088 + 4194304, 131072},            // odd k1
      {SP_SET_SSE2, 24, 32784 + 524288 + 134217728, 131072},  // two levels
      {SP_SET_SSE3, 17, 131088 + 1048576, 131072},
      {SP_SET_SSSE3, 18, 2228240, 131072},
      {SP_SET_SSSE3, 25, 1048592 + 268435456, 1048576},
  };
  for (const Case& c : cases) {
    int64_t table = -1, work = -1;
    kPlanSize[c.set](c.m, &table, &work);
    EXPECT_EQ(table, c.table) << "set " << c.set << " m " << c.m;
    EXPECT_EQ(work, c.work) << "set " << c.set << " m " << c.m;
  }
}

// The spec carries the plan's tables (its work size is checked apart): the
// blocked plan only the base and subsampled tables, one level its column
// tables; the first row and the first column of a twiddle-multiply table
// hold exactly (1, 0).
TEST_P(RealFftF32LargeTest, SpecCarriesThePlan) {
  for (int order = kFirstLargeOrder[SetIndex()]; order <= 22; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    EXPECT_NE(spec.p->twiddles, nullptr);
    EXPECT_EQ(spec.p->rowTwiddles[1], nullptr);
    EXPECT_EQ(spec.p->multiplyTables[1], nullptr);
    const bool perLevelTables = SetIndex() <= SP_SET_SSE;
    if (perLevelTables && order <= 13) {  // blocked
      EXPECT_NE(spec.p->subsampledTwiddles, nullptr);
      EXPECT_EQ(spec.p->multiplyTables[0], nullptr);
      continue;
    }
    ASSERT_NE(spec.p->multiplyTables[0], nullptr);
    if (!perLevelTables) continue;
    // Value v of a 4-value record: interleaved (generic) or split (SSE).
    const auto* factors = static_cast<const float*>(spec.p->multiplyTables[0]);
    auto re = [&](int64_t record, int v) { return factors[8 * record + (SetIndex() == SP_SET_SSE ? v : 2 * v)]; };
    auto im = [&](int64_t record, int v) {
      return factors[8 * record + (SetIndex() == SP_SET_SSE ? 4 + v : 2 * v + 1)];
    };
    const int k1 = order - 1 <= 16 ? order - 9 : order - 1 <= 18 ? 8 : 10;
    const int64_t rows = Points(k1), groups = Points(order - 1 - k1) / 4;
    for (int64_t g = 0; g < groups; ++g)
      for (int v = 0; v < 4; ++v) {  // row 0 of every column
        ASSERT_EQ(re(g * rows, v), 1.0f);
        ASSERT_EQ(im(g * rows, v), 0.0f);
      }
    for (int64_t j = 0; j < rows; ++j) {  // column 0 of every row
      ASSERT_EQ(re(j, 0), 1.0f);
      ASSERT_EQ(im(j, 0), 0.0f);
    }
  }
}

// Every allocation of a large spec and of its transforms' scratch fails in
// turn: -9, nothing stored, nothing leaked, the caller's data untouched.
TEST_P(RealFftF32LargeTest, AllocationFailureAtEveryAllocation) {
  for (int order : {kFirstLargeOrder[SetIndex()], 14, 22}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
      const int64_t live = spLiveAllocations();
      REALFFTSPEC* const sentinel = reinterpret_cast<REALFFTSPEC*>(uintptr_t{0x1000});
      REALFFTSPEC* spec = sentinel;
      spStatus status;
      bool reached;
      {
        FailNthAllocation failure(k);
        status = spRealFftInitF32(&spec, order, REALFFT_DIV_INV_BY_N, 0);
        reached = failure.Reached();
      }
      if (!reached) {
        EXPECT_EQ(status, spOk);
        spRealFftFreeF32(spec);
        return false;
      }
      EXPECT_EQ(status, spErrNoMemory);
      EXPECT_EQ(spec, sentinel);
      EXPECT_EQ(spLiveAllocations(), live);
      return true;
    });
    EXPECT_GE(requests, 1);
    Spec spec(order, REALFFT_NO_DIV);
    ASSERT_EQ(spec.status, spOk);
    if (spec.p->workBytes > 0) {
      const int64_t live = spLiveAllocations();
      std::vector<float> x(Packed(order), 1.0f), dst(Packed(order), kNaN);
      {
        FailNthAllocation failure(1);
        EXPECT_EQ(spRealFftFwdF32(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
      }
      {
        FailNthAllocation failure(1);
        EXPECT_EQ(spRealFftInvF32(x.data(), dst.data(), spec.p, nullptr), spErrNoMemory);
      }
      for (float v : dst) ASSERT_TRUE(std::isnan(v));
      EXPECT_EQ(spLiveAllocations(), live);
    }
  }
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftF32LargeTest);

}  // namespace
