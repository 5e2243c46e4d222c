// Real group of the small transforms (1, 2, 4, 8 points), in both
// precisions, through every variant set's kernel set and real tables.
#include <array>
#include <type_traits>

#include "fft/test_small_dft_support.h"

using namespace small_dft_test;

namespace {

class SmallRealDftTest : public SmallDftSetTest {};

template <class T>
std::vector<Member<T>> GroupOf(const spkSmallDftKernelSet& k) {
  if constexpr (std::is_same_v<T, float>)
    return FlatMembers<T>(k.realF32, "F32 Real", 1);
  else
    return FlatMembers<T>(k.realF64, "F64 Real", 1);
}

template <class T>
std::vector<Member<T>> TablesOf(const spkSmallDftKernelSet& k) {
  if constexpr (std::is_same_v<T, float>)
    return RealTableMembers<T>(k.realTablesF32);
  else
    return RealTableMembers<T>(k.realTablesF64);
}

// Slots of TablesOf: fwd 0..3, fwdScaled 4..7, inv 8..11, invScaled 12..15.
constexpr int kFwd = 0, kFwdScaled = 4, kInv = 8, kInvScaled = 12;

template <class T>
void CheckFixtures(const spkSmallDftKernelSet& k) {
  const auto tables = TablesOf<T>(k);
  // The nearest value of T to sqrt(1/2), independent of the kernels' constant.
  const T c = static_cast<T>(std::sqrt(0.5L));
  const T z = T(0), nz = -T(0);
  struct Case {
    const char* what;
    int table;
    std::vector<T> in, want;
  };
  const Case cases[] = {
      {"impulse N=1", kFwd + 0, {3}, {3}},
      {"impulse N=2", kFwd + 1, {1, 0}, {1, 1}},
      {"impulse N=4", kFwd + 2, {1, 0, 0, 0}, {1, 1, 1, z}},
      {"impulse N=8, Im X1 = 0 * -c", kFwd + 3, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, nz, 1, z, 1, z}},
      {"x1 = 1, N=4: sign of Im", kFwd + 2, {0, 1, 0, 0}, {1, -1, z, -1}},
      {"x1 = 1, N=8", kFwd + 3, {0, 1, 0, 0, 0, 0, 0, 0}, {1, -1, c, -c, z, -1, -c, -c}},
      {"constant N=2", kFwd + 1, {1, 1}, {2, z}},
      {"constant N=4", kFwd + 2, {1, 1, 1, 1}, {4, z, z, z}},
      {"constant N=8", kFwd + 3, {1, 1, 1, 1, 1, 1, 1, 1}, {8, z, z, nz, z, z, z, z}},
      {"only X0, N=1", kInv + 0, {5}, {5}},
      {"only X0, N=2", kInv + 1, {1, 0}, {1, 1}},
      {"only X0, N=4", kInv + 2, {1, 0, 0, 0}, {1, 1, 1, 1}},
      {"only X0, N=8", kInv + 3, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1, 1}},
      {"only Nyquist, N=2", kInv + 1, {0, 1}, {1, -1}},
      {"only Nyquist, N=4", kInv + 2, {0, 1, 0, 0}, {1, -1, 1, -1}},
      {"only Nyquist, N=8", kInv + 3, {0, 1, 0, 0, 0, 0, 0, 0}, {1, -1, 1, -1, 1, -1, 1, -1}},
      // Re X1 = 1 alone: 2*cos(2*pi*n/4); Im X1 = 1 alone: -2*sin(2*pi*n/4).
      {"only Re X1, N=4", kInv + 2, {0, 0, 1, 0}, {2, z, -2, z}},
      {"only Im X1, N=4", kInv + 2, {0, 0, 0, 1}, {z, -2, z, 2}},
      {"only Im X2, N=8", kInv + 3, {0, 0, 0, 0, 0, 1, 0, 0}, {z, -2, z, 2, z, -2, z, 2}},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.what);
    EXPECT_TRUE(SameBits(Apply(tables[cs.table], cs.in), cs.want));
  }
}

TEST_P(SmallRealDftTest, FixturesGiveExactValuesAndSignedZeros) {
  CheckFixtures<float>(Kernels());
  CheckFixtures<double>(Kernels());
}

template <class T>
void CheckRoundTrips(const spkSmallDftKernelSet& k) {
  const auto t = TablesOf<T>(k);
  std::mt19937 rng(11);
  for (int trial = 0; trial < 50; ++trial) {
    for (int slot = 0; slot < 4; ++slot) {
      const int n = 1 << slot;
      SCOPED_TRACE("N = " + std::to_string(n));
      const std::vector<T> x = RandomSmallIntegers<T>(rng, n);
      const std::vector<T> back = Apply(t[kInv + slot], Apply(t[kFwd + slot], x));
      std::vector<T> nx(n);
      for (int i = 0; i < n; ++i) nx[i] = T(n) * x[i];
      if (n <= 4) {
        EXPECT_TRUE(SameBits(back, nx));
      }
      // The scaled inverse with 1/N restores the input up to rounding.
      const std::vector<T> restored = Apply(t[kInvScaled + slot], Apply(t[kFwd + slot], x), T(1) / T(n));
      for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(back[i], nx[i], 16 * std::numeric_limits<T>::epsilon() * 9 * n);
        EXPECT_NEAR(restored[i], x[i], 16 * std::numeric_limits<T>::epsilon() * 9);
      }
    }
    // The 2-point member is its own inverse up to the factor 2.
    const std::vector<T> x = RandomSmallIntegers<T>(rng, 2);
    EXPECT_TRUE(SameBits(Apply(t[kFwd + 1], Apply(t[kInv + 1], x)), {2 * x[0], 2 * x[1]}));
  }
}

TEST_P(SmallRealDftTest, InverseOfForwardIsNTimesInput) {
  CheckRoundTrips<float>(Kernels());
  CheckRoundTrips<double>(Kernels());
}

TEST_P(SmallRealDftTest, ScaledWithScaleOneEqualsPlainBitForBit) {
  CheckScaleOne(GroupOf<float>(Kernels()));
  CheckScaleOne(GroupOf<double>(Kernels()));
}

TEST_P(SmallRealDftTest, InPlaceEqualsOutOfPlaceForEveryMember) {
  CheckInPlace(GroupOf<float>(Kernels()));
  CheckInPlace(GroupOf<double>(Kernels()));
}

template <class T>
void CheckAgainstNaiveDft(const std::vector<Member<T>>& members) {
  std::mt19937 rng(3);
  for (const Member<T>& m : members) {
    SCOPED_TRACE(m.name);
    for (int trial = 0; trial < 50; ++trial) {
      const std::vector<T> x = RandomValues<T>(rng, m.values);
      const T scale = m.scaled ? T(0.37) : T(1);
      const std::vector<T> got = Apply(m, x, scale);
      std::vector<Ld> in(x.begin(), x.end());
      // Forward on the 1- and 2-point members; they serve both directions.
      const std::vector<Ld> want = NaiveReal(in, m.points, m.dir);
      Ld bound = 0;
      for (Ld v : in) bound += std::fabs(v);
      bound *= (m.dir == Dir::Inverse ? 2 : 1) * Ld(scale);
      const Ld tol = 8 * Ld(std::numeric_limits<T>::epsilon()) * bound;
      for (int i = 0; i < m.values; ++i) EXPECT_NEAR(Ld(got[i]), Ld(scale) * want[i], tol) << "element " << i;
    }
  }
}

TEST_P(SmallRealDftTest, MembersAgreeWithNaiveLongDoubleDft) {
  CheckAgainstNaiveDft(GroupOf<float>(Kernels()));
  CheckAgainstNaiveDft(GroupOf<double>(Kernels()));
}

// The real transforms see only the tables: each slot must be the member of
// its direction and size (a forward table leading to an inverse member, or a
// wrong slot, fails here).
TEST_P(SmallRealDftTest, TablesHoldTheMemberOfTheirDirectionPerOrder) {
  CheckAgainstNaiveDft(TablesOf<float>(Kernels()));
  CheckAgainstNaiveDft(TablesOf<double>(Kernels()));
}

// The single-precision 8-point inverse evaluated in double with the one
// rounding the kernel has between stages: D = m + f held as a float.
std::array<float, 8> ReferenceInv8F32(const float* z, double s, bool roundD) {
  auto first = [s](double v) { return v * s; };
  const double q = static_cast<float>(std::sqrt(2.0L));
  const double p = first(double(z[0]) + z[1]), m = first(double(z[0]) - z[1]);
  const double e = first(double(z[4]) + z[4]), f = first(double(z[5]) + z[5]);
  const double u = first(double(z[2]) + z[6]), v = first(double(z[2]) - z[6]);
  const double w = first(double(z[3]) + z[7]), t = first(double(z[3]) - z[7]);
  const double A = p + e, B = p - e, C = m - f;
  const double D = roundD ? double(float(m + f)) : m + f;
  return {float(A + (u + u)), float(C + (v - w) * q), float(B - (t + t)), float(D + (v + w) * -q),
          float(A - (u + u)), float(C - (v - w) * q), float(B + (t + t)), float(D - (v + w) * -q)};
}

TEST_P(SmallRealDftTest, SinglePrecisionInverse8RoundsOnlyTheHeldValue) {
  const auto group = GroupOf<float>(Kernels());
  const Member<float>& inv8 = group[9];
  const Member<float>& inv8Scaled = group[11];
  std::mt19937 rng(21);
  int sensitive = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    const std::vector<float> z = RandomMixedMagnitudes<float>(rng, 8);
    const auto want = ReferenceInv8F32(z.data(), 1.0, true);
    const auto wantScaled = ReferenceInv8F32(z.data(), double(0.3f), true);
    ASSERT_TRUE(SameBits(Apply(inv8, z), std::vector<float>(want.begin(), want.end())));
    ASSERT_TRUE(SameBits(Apply(inv8Scaled, z, 0.3f), std::vector<float>(wantScaled.begin(), wantScaled.end())));
    if (ReferenceInv8F32(z.data(), 1.0, false) != want) ++sensitive;
  }
  // The data must be able to tell the two roundings apart.
  EXPECT_GT(sensitive, 0);
}

// Up to N = 4 no constant is involved, so a single-precision member must
// give the double member's result rounded once to float: any intermediate
// rounding to float shows. The 8-point forward member is evaluated in double
// with the float constant and rounded only at its outputs.
std::vector<float> ReferenceFwd8F32(const std::vector<float>& x, double s, bool roundFirstStage) {
  auto first = [&](double v) { return roundFirstStage ? double(float(v * s)) : v * s; };
  const double c = static_cast<float>(std::sqrt(0.5L));
  double a[4], b[4];
  for (int i = 0; i < 4; ++i) a[i] = first(double(x[i]) + x[i + 4]), b[i] = first(double(x[i]) - x[i + 4]);
  const double re1 = (b[1] - b[3]) * c, im1 = (b[1] + b[3]) * -c;
  return {float((a[0] + a[2]) + (a[1] + a[3])),
          float((a[0] + a[2]) - (a[1] + a[3])),
          float(b[0] + re1),
          float(im1 - b[2]),
          float(a[0] - a[2]),
          float(a[3] - a[1]),
          float(b[0] - re1),
          float(b[2] + im1)};
}

TEST_P(SmallRealDftTest, SinglePrecisionMembersRoundOnlyAtTheirOutputs) {
  const auto f32 = GroupOf<float>(Kernels());
  const auto f64 = GroupOf<double>(Kernels());
  const float scale = 0.3f;
  std::mt19937 rng(29);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(f32[i].name);
    for (int trial = 0; trial < 200; ++trial) {
      const std::vector<float> x = RandomMixedMagnitudes<float>(rng, f32[i].values);
      const std::vector<double> wide = Apply(f64[i], std::vector<double>(x.begin(), x.end()), double(scale));
      ASSERT_TRUE(SameBits(Apply(f32[i], x, scale), std::vector<float>(wide.begin(), wide.end())));
    }
  }
  int sensitive = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    const std::vector<float> x = RandomMixedMagnitudes<float>(rng, 8);
    ASSERT_TRUE(SameBits(Apply(f32[8], x), ReferenceFwd8F32(x, 1.0, false)));
    ASSERT_TRUE(SameBits(Apply(f32[10], x, scale), ReferenceFwd8F32(x, scale, false)));
    sensitive += ReferenceFwd8F32(x, scale, true) != ReferenceFwd8F32(x, scale, false);
  }
  EXPECT_GT(sensitive, 0);
}

TEST_P(SmallRealDftTest, EverySetComputesTheGenericSetsBits) {
  const spkSmallDftKernelSet& generic = *spkSmallDftKernelsOfSet(SP_SET_GENERIC);
  CheckSameAsGeneric(GroupOf<float>(Kernels()), GroupOf<float>(generic));
  CheckSameAsGeneric(GroupOf<double>(Kernels()), GroupOf<double>(generic));
  CheckSameAsGeneric(TablesOf<float>(Kernels()), TablesOf<float>(generic));
  CheckSameAsGeneric(TablesOf<double>(Kernels()), TablesOf<double>(generic));
}

SP_INSTANTIATE_FOR_ALL_SETS(SmallRealDftTest);

}  // namespace

// The names the single-precision real transforms use for their tables.
#define DECLARE_TABLE_NAMES(ctx, index, Ns, Suffix, ...)                           \
  namespace Ns {                                                                   \
  extern const spkSmallDftFnF32 (&spkSmallDftRealFwdTable##Suffix)[4];             \
  extern const spkSmallDftScaledFnF32 (&spkSmallDftRealFwdScaledTable##Suffix)[4]; \
  extern const spkSmallDftFnF32 (&spkSmallDftRealInvTable##Suffix)[4];             \
  extern const spkSmallDftScaledFnF32 (&spkSmallDftRealInvScaledTable##Suffix)[4]; \
  }
SP_FOR_EACH_SET(DECLARE_TABLE_NAMES, )

namespace {

// They must be the very tables checked above, of the same set and direction.
TEST(SmallDftKernelSets, NamedSinglePrecisionTablesAreTheSetsRealTables){
#define EXPECT_NAMES_OF_SET(ctx, index, Ns, Suffix, ...)                       \
  {                                                                            \
    const auto& t = spkSmallDftKernelsOfSet(index)->realTablesF32;             \
    EXPECT_EQ(&Ns::spkSmallDftRealFwdTable##Suffix[0], &t.fwd[0]);             \
    EXPECT_EQ(&Ns::spkSmallDftRealFwdScaledTable##Suffix[0], &t.fwdScaled[0]); \
    EXPECT_EQ(&Ns::spkSmallDftRealInvTable##Suffix[0], &t.inv[0]);             \
    EXPECT_EQ(&Ns::spkSmallDftRealInvScaledTable##Suffix[0], &t.invScaled[0]); \
  }
    SP_FOR_EACH_SET(EXPECT_NAMES_OF_SET, )
#undef EXPECT_NAMES_OF_SET
}

TEST(SmallDftKernelSets, OneDistinctSetPerIndexAndNoneOutside) {
  for (int i = 0; i < kSpVariantSetCount; ++i) {
    ASSERT_NE(spkSmallDftKernelsOfSet(i), nullptr);
    for (int j = 0; j < i; ++j) EXPECT_NE(spkSmallDftKernelsOfSet(i), spkSmallDftKernelsOfSet(j));
  }
  EXPECT_EQ(spkSmallDftKernelsOfSet(-1), nullptr);
  EXPECT_EQ(spkSmallDftKernelsOfSet(kSpVariantSetCount), nullptr);
}

}  // namespace
