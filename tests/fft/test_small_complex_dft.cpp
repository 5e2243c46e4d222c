// Complex groups of the small transforms (1, 2, 4, 8 points): interleaved
// and split layouts, both precisions, through every variant set's kernel set.
#include <array>
#include <complex>
#include <type_traits>

#include "fft/test_small_dft_support.h"

using namespace small_dft_test;

namespace {

class SmallComplexDftTest : public SmallDftSetTest {};

template <class T>
std::vector<Member<T>> InterleavedOf(const spkSmallDftKernelSet& k) {
  if constexpr (std::is_same_v<T, float>)
    return FlatMembers<T>(k.cplxC32, "Cplx/C32 ", 2);
  else
    return FlatMembers<T>(k.cplxC64, "Cplx/C64 ", 2);
}

template <class T>
std::vector<Member<T>> SplitOf(const spkSmallDftKernelSet& k) {
  if constexpr (std::is_same_v<T, float>)
    return SplitMembers<T>(k.splitF32, "Split/F32 ");
  else
    return SplitMembers<T>(k.splitF64, "Split/F64 ");
}

// Both layouts of one precision, every check below runs on each.
template <class T>
std::vector<std::vector<Member<T>>> LayoutsOf(const spkSmallDftKernelSet& k) {
  return {InterleavedOf<T>(k), SplitOf<T>(k)};
}

// Member indices in the group order.
constexpr int kPlainFwd[4] = {0, 2, 4, 8};
constexpr int kPlainInv[4] = {0, 2, 5, 9};
constexpr int kScaledInv[4] = {1, 3, 7, 11};

// Interleaved values from a list of complex points.
template <class T>
std::vector<T> Flat(std::initializer_list<std::complex<double>> points) {
  std::vector<T> v;
  for (auto p : points) v.push_back(T(p.real())), v.push_back(T(p.imag()));
  return v;
}

template <class T>
void ExpectValues(const std::vector<T>& got, const std::vector<T>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "value " << i;
}

template <class T>
void CheckFixtures(const std::vector<Member<T>>& g) {
  SCOPED_TRACE(g[0].name);
  const T c = static_cast<T>(std::sqrt(0.5L));
  for (int slot = 0; slot < 4; ++slot) {
    const int n = 1 << slot;
    SCOPED_TRACE("N = " + std::to_string(n));
    std::vector<T> impulse(2 * n, T(0)), ones(2 * n, T(0)), allOnes(2 * n, T(0)), nAtZero(2 * n, T(0));
    impulse[0] = T(1);
    for (int k = 0; k < n; ++k) ones[2 * k] = T(1), allOnes[2 * k] = T(1);
    nAtZero[0] = T(n);
    for (int m : {kPlainFwd[slot], kPlainInv[slot]}) {
      ExpectValues(Apply(g[m], impulse), allOnes);
      ExpectValues(Apply(g[m], ones), nAtZero);
    }
  }
  // x_n = j^n: only X1 forward, only X3 inverse; fixes sign and order.
  const std::vector<T> jn = Flat<T>({1, {0, 1}, -1, {0, -1}});
  ExpectValues(Apply(g[4], jn), Flat<T>({0, 4, 0, 0}));
  ExpectValues(Apply(g[5], jn), Flat<T>({0, 0, 0, 4}));
  // The single point x1 = 1.
  ExpectValues(Apply(g[4], Flat<T>({0, 1, 0, 0})), Flat<T>({1, {0, -1}, -1, {0, 1}}));
  ExpectValues(Apply(g[5], Flat<T>({0, 1, 0, 0})), Flat<T>({1, {0, 1}, -1, {0, -1}}));
  const std::vector<T> x1 = Flat<T>({0, 1, 0, 0, 0, 0, 0, 0});
  const std::vector<T> fwd8 = {1, 0, c, -c, 0, -1, -c, -c, -1, 0, -c, c, 0, 1, c, c};
  std::vector<T> inv8 = fwd8;
  for (size_t i = 1; i < inv8.size(); i += 2) inv8[i] = -inv8[i];
  ExpectValues(Apply(g[8], x1), fwd8);
  ExpectValues(Apply(g[9], x1), inv8);
  // The plain 1-point member copies the bits, a signalling NaN included.
  std::vector<T> snan = {std::numeric_limits<T>::signaling_NaN(), -T(0)};
  EXPECT_TRUE(SameBits(Apply(g[0], snan), snan));
  // N = 2 serves both directions.
  ExpectValues(Apply(g[2], Flat<T>({{1, 3}, {2, 5}})), Flat<T>({{3, 8}, {-1, -2}}));
  // One full turn over eight points: only X1 = 8, up to the rounding of c.
  std::vector<T> turn(16);
  for (int k = 0; k < 8; ++k) {
    turn[2 * k] = static_cast<T>(std::cos(std::numbers::pi_v<Ld> * k / 4));
    turn[2 * k + 1] = static_cast<T>(std::sin(std::numbers::pi_v<Ld> * k / 4));
  }
  const std::vector<T> spectrum = Apply(g[8], turn);
  const T tol = 16 * std::numeric_limits<T>::epsilon();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(spectrum[i], i == 2 ? T(8) : T(0), tol) << "value " << i;
}

TEST_P(SmallComplexDftTest, FixturesFixSignOrderAndExactValues) {
  for (const auto& g : LayoutsOf<float>(Kernels())) CheckFixtures(g);
  for (const auto& g : LayoutsOf<double>(Kernels())) CheckFixtures(g);
}

template <class T>
void CheckRoundTrips(const std::vector<Member<T>>& g) {
  SCOPED_TRACE(g[0].name);
  std::mt19937 rng(13);
  for (int trial = 0; trial < 50; ++trial) {
    for (int slot = 0; slot < 4; ++slot) {
      const int n = 1 << slot;
      SCOPED_TRACE("N = " + std::to_string(n));
      const std::vector<T> x = RandomSmallIntegers<T>(rng, 2 * n);
      const std::vector<T> spectrum = Apply(g[kPlainFwd[slot]], x);
      const std::vector<T> back = Apply(g[kPlainInv[slot]], spectrum);
      const std::vector<T> restored = Apply(g[kScaledInv[slot]], spectrum, T(1) / T(n));
      for (int i = 0; i < 2 * n; ++i) {
        if (n <= 4) {
          EXPECT_EQ(back[i], T(n) * x[i]);
        } else {
          EXPECT_NEAR(back[i], T(n) * x[i], 16 * std::numeric_limits<T>::epsilon() * 9 * n);
        }
        EXPECT_NEAR(restored[i], x[i], 16 * std::numeric_limits<T>::epsilon() * 9);
      }
    }
    const std::vector<T> x = RandomSmallIntegers<T>(rng, 4);
    const std::vector<T> twice = Apply(g[2], Apply(g[2], x));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(twice[i], 2 * x[i]);
  }
}

TEST_P(SmallComplexDftTest, InverseOfForwardIsNTimesInput) {
  for (const auto& g : LayoutsOf<float>(Kernels())) CheckRoundTrips(g);
  for (const auto& g : LayoutsOf<double>(Kernels())) CheckRoundTrips(g);
}

TEST_P(SmallComplexDftTest, ScaledWithScaleOneEqualsPlainBitForBit) {
  for (const auto& g : LayoutsOf<float>(Kernels())) CheckScaleOne(g);
  for (const auto& g : LayoutsOf<double>(Kernels())) CheckScaleOne(g);
}

TEST_P(SmallComplexDftTest, InPlaceEqualsOutOfPlaceForEveryMember) {
  for (const auto& g : LayoutsOf<float>(Kernels())) CheckInPlace(g);
  for (const auto& g : LayoutsOf<double>(Kernels())) CheckInPlace(g);
}

template <class T>
void CheckAgainstNaiveDft(const std::vector<Member<T>>& g) {
  std::mt19937 rng(3);
  for (const Member<T>& m : g) {
    SCOPED_TRACE(m.name);
    for (int trial = 0; trial < 50; ++trial) {
      const std::vector<T> x = RandomValues<T>(rng, m.values);
      const T scale = m.scaled ? T(0.37) : T(1);
      const std::vector<T> got = Apply(m, x, scale);
      const std::vector<Ld> in(x.begin(), x.end());
      const std::vector<Ld> want = NaiveDft(in, m.points, m.dir == Dir::Inverse ? +1 : -1);
      Ld bound = 0;
      for (Ld v : in) bound += std::fabs(v);
      const Ld tol = 8 * Ld(std::numeric_limits<T>::epsilon()) * bound * Ld(scale);
      for (int i = 0; i < m.values; ++i) EXPECT_NEAR(Ld(got[i]), Ld(scale) * want[i], tol) << "value " << i;
    }
  }
}

TEST_P(SmallComplexDftTest, MembersAgreeWithNaiveLongDoubleDft) {
  for (const auto& g : LayoutsOf<float>(Kernels())) CheckAgainstNaiveDft(g);
  for (const auto& g : LayoutsOf<double>(Kernels())) CheckAgainstNaiveDft(g);
}

// Both layouts run the same operations; up to N = 4 nothing is rounded in
// between, and in double the N = 8 roundings are no-ops, so the bits agree.
template <class T>
void CheckLayoutsAgree(const std::vector<Member<T>>& interleaved, const std::vector<Member<T>>& split) {
  std::mt19937 rng(17);
  for (size_t i = 0; i < interleaved.size(); ++i) {
    if (std::is_same_v<T, float> && interleaved[i].points == 8) continue;
    SCOPED_TRACE(interleaved[i].name);
    for (int trial = 0; trial < 100; ++trial) {
      const std::vector<T> x = RandomMixedMagnitudes<T>(rng, interleaved[i].values);
      EXPECT_TRUE(SameBits(Apply(split[i], x, T(0.3)), Apply(interleaved[i], x, T(0.3))));
    }
  }
}

TEST_P(SmallComplexDftTest, SplitAndInterleavedGiveTheSameBits) {
  CheckLayoutsAgree(InterleavedOf<float>(Kernels()), SplitOf<float>(Kernels()));
  CheckLayoutsAgree(InterleavedOf<double>(Kernels()), SplitOf<double>(Kernels()));
}

// Up to N = 4 no constant is involved and nothing is held between stages, so
// a single-precision member gives the double member's result rounded once.
TEST_P(SmallComplexDftTest, SinglePrecisionUpToFourPointsRoundsOnlyTheOutputs) {
  const std::vector<std::vector<Member<float>>> f32 = LayoutsOf<float>(Kernels());
  const std::vector<std::vector<Member<double>>> f64 = LayoutsOf<double>(Kernels());
  const float scale = 0.3f;
  std::mt19937 rng(31);
  for (size_t layout = 0; layout < f32.size(); ++layout) {
    for (int i = 0; i < 8; ++i) {
      SCOPED_TRACE(f32[layout][i].name);
      for (int trial = 0; trial < 200; ++trial) {
        const std::vector<float> x = RandomMixedMagnitudes<float>(rng, f32[layout][i].values);
        const std::vector<double> wide = Apply(f64[layout][i], std::vector<double>(x.begin(), x.end()), double(scale));
        ASSERT_TRUE(SameBits(Apply(f32[layout][i], x, scale), std::vector<float>(wide.begin(), wide.end())));
      }
    }
  }
}

// The single-precision 8-point transform evaluated in double, rounding to
// float exactly the second-stage values marked in `held`, in the order
// E0, E1, E2, E3, O0, O1, O2, O3, each (re, im).
using HeldMask = std::array<bool, 16>;
constexpr HeldMask kInterleavedHeld = {false, true,  true,  true,  true, true, true, true,
                                       true,  false, false, false, true, true, true, true};
constexpr HeldMask kSplitHeld = {true, true, true, true, true, true, true, true,
                                 true, true, true, true, true, true, true, true};
constexpr HeldMask kNoneHeld = {};

std::vector<float> Reference8F32(const std::vector<float>& x, bool forward, double s, const HeldMask& held) {
  struct C {
    double re, im;
  };
  auto add = [](C p, C q) { return C{p.re + q.re, p.im + q.im}; };
  auto sub = [](C p, C q) { return C{p.re - q.re, p.im - q.im}; };
  auto minusJ = [](C p, C q) { return C{p.re + q.im, p.im - q.re}; };  // p - j*q
  auto plusJ = [](C p, C q) { return C{p.re - q.im, p.im + q.re}; };   // p + j*q
  C a[4], b[4];
  for (int n = 0; n < 4; ++n) {
    a[n] = {(double(x[2 * n]) + x[2 * n + 8]) * s, (double(x[2 * n + 1]) + x[2 * n + 9]) * s};
    b[n] = {(double(x[2 * n]) - x[2 * n + 8]) * s, (double(x[2 * n + 1]) - x[2 * n + 9]) * s};
  }
  C half[8];  // E0..E3, O0..O3
  for (int h = 0; h < 2; ++h) {
    C* out = half + 4 * h;
    out[0] = add(a[h], a[h + 2]);
    out[2] = sub(a[h], a[h + 2]);
    out[1] = forward ? minusJ(b[h], b[h + 2]) : plusJ(b[h], b[h + 2]);
    out[3] = forward ? plusJ(b[h], b[h + 2]) : minusJ(b[h], b[h + 2]);
  }
  for (int v = 0; v < 8; ++v) {
    if (held[2 * v]) half[v].re = float(half[v].re);
    if (held[2 * v + 1]) half[v].im = float(half[v].im);
  }
  const C* E = half;
  const C* O = half + 4;
  const double c = static_cast<float>(std::sqrt(0.5L));
  C t[4];
  t[0] = O[0];
  if (forward) {
    t[1] = {(O[1].re + O[1].im) * c, (O[1].im - O[1].re) * c};
    t[3] = {(O[3].re - O[3].im) * -c, (O[3].re + O[3].im) * -c};
  } else {
    t[1] = {(O[1].re - O[1].im) * c, (O[1].re + O[1].im) * c};
    t[3] = {(O[3].re + O[3].im) * -c, (O[3].im - O[3].re) * -c};
  }
  C X[8];
  for (int k : {0, 1, 3}) X[k] = add(E[k], t[k]), X[k + 4] = sub(E[k], t[k]);
  X[2] = forward ? minusJ(E[2], O[2]) : plusJ(E[2], O[2]);
  X[6] = forward ? plusJ(E[2], O[2]) : minusJ(E[2], O[2]);
  std::vector<float> out;
  for (const C& v : X) out.push_back(float(v.re)), out.push_back(float(v.im));
  return out;
}

TEST_P(SmallComplexDftTest, SinglePrecision8PointRoundsExactlyTheHeldValues) {
  const auto interleaved = InterleavedOf<float>(Kernels());
  const auto split = SplitOf<float>(Kernels());
  struct Case {
    int member;
    bool forward;
    float scale;
  };
  const Case cases[] = {{8, true, 1.0f}, {9, false, 1.0f}, {10, true, 0.3f}, {11, false, 0.3f}};
  std::mt19937 rng(23);
  int layoutsDiffer = 0, roundingShows = 0;
  for (const Case& cs : cases) {
    SCOPED_TRACE(interleaved[cs.member].name);
    for (int trial = 0; trial < 1000; ++trial) {
      const std::vector<float> x = RandomMixedMagnitudes<float>(rng, 16);
      const auto wantInterleaved = Reference8F32(x, cs.forward, cs.scale, kInterleavedHeld);
      const auto wantSplit = Reference8F32(x, cs.forward, cs.scale, kSplitHeld);
      ASSERT_TRUE(SameBits(Apply(interleaved[cs.member], x, cs.scale), wantInterleaved));
      ASSERT_TRUE(SameBits(Apply(split[cs.member], x, cs.scale), wantSplit));
      layoutsDiffer += wantInterleaved != wantSplit;
      roundingShows += wantInterleaved != Reference8F32(x, cs.forward, cs.scale, kNoneHeld);
    }
  }
  // The data must be able to tell the three rounding patterns apart.
  EXPECT_GT(layoutsDiffer, 0);
  EXPECT_GT(roundingShows, 0);
}

TEST_P(SmallComplexDftTest, EverySetComputesTheGenericSetsBits) {
  const spkSmallDftKernelSet& generic = *spkSmallDftKernelsOfSet(SP_SET_GENERIC);
  CheckSameAsGeneric(InterleavedOf<float>(Kernels()), InterleavedOf<float>(generic));
  CheckSameAsGeneric(InterleavedOf<double>(Kernels()), InterleavedOf<double>(generic));
  CheckSameAsGeneric(SplitOf<float>(Kernels()), SplitOf<float>(generic));
  CheckSameAsGeneric(SplitOf<double>(Kernels()), SplitOf<double>(generic));
}

SP_INSTANTIATE_FOR_ALL_SETS(SmallComplexDftTest);

}  // namespace
