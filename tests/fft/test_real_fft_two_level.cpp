// The first two-level plan of every set, in CI: single precision at the
// order where each set's rows stop being one level (generic and SSE 24,
// SSE2 25, SSE3 26, SSSE3 27; the SIMD sets' column step with split
// exponent 8 on the way), double precision in SSE3 and SSSE3 at 24 (the
// other sets' two-level plans run in the large-path tests). Too large for
// a long-double reference in a test's time, each is checked against
// another set whose plan at that order is built differently (per-level
// tables against pass twiddles), and by its scaled round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fft/real_fft_reference.h"
#include "primitives/frame/set_list.h"
#include "primitives/frame/variant_seams.h"
#include "support/variant_sets.h"

using namespace real_fft_test;

namespace {

constexpr int kFirstTwoLevelF32[] = {24, 24, 25, 26, 27};
constexpr int kFirstTwoLevelF64[] = {0, 0, 0, 24, 24};  // 0: covered elsewhere

// Values in [-1, 1) from a 64-bit mix: the sizes here make a
// std::mt19937 fill a noticeable part of the test's time.
template <class T>
std::vector<T> Noise(int64_t n, uint64_t seed) {
  std::vector<T> v(n);
  uint64_t s = seed;
  for (auto& x : v) {
    s += 0x9E3779B97F4A7C15ull;
    uint64_t z = (s ^ (s >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    x = static_cast<T>(static_cast<double>(z >> 11) * 0x1p-52 - 1.0);
  }
  return v;
}

// Generic and SSE hold per-level tables, the later sets pass twiddles: a
// set is compared with one of the other kind.
int OtherPlanKind(int set) { return set <= SP_SET_SSE ? SP_SET_SSE2 : SP_SET_GENERIC; }

template <class T>
double Rms(const std::vector<T>& v) {
  long double sum = 0;
  for (T e : v) sum += static_cast<long double>(e) * e;
  return std::sqrt(static_cast<double>(sum / static_cast<long double>(v.size())));
}

template <class T>
double MaxDifference(const std::vector<T>& a, const std::vector<T>& b) {
  double worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(static_cast<double>(a[i]) - b[i]));
  return worst;
}

// A spec of `set`, built and used with that set running.
template <class T>
struct SetSpec {
  int32_t previous;
  SpecOf<T>* spec;
  SetSpec(int set, int order) : previous(spForceVariantSet(set)), spec(new SpecOf<T>(order, REALFFT_DIV_INV_BY_N)) {}
  ~SetSpec() {
    delete spec;
    spForceVariantSet(previous);
  }
};

template <class T>
void CheckTwoLevelOrder(int set, int order) {
  SCOPED_TRACE(testing::Message() << "order " << order);
  const int other = OtherPlanKind(set);
  if (!spVariantSetSupported(other)) GTEST_SKIP() << "no set with the other plan kind";
  const int64_t n = int64_t{1} << order;
  const auto x = Noise<T>(n, 9000 + order);
  const double eps = std::numeric_limits<T>::epsilon();

  std::vector<T> theirs(n + 2), ours(n + 2);
  {
    SetSpec<T> s(other, order);
    ASSERT_EQ(s.spec->status, spOk);
    ASSERT_EQ(Entries<T>::forward(x.data(), theirs.data(), s.spec->p, nullptr), spOk);
  }
  SetSpec<T> s(set, order);
  ASSERT_EQ(s.spec->status, spOk);
  ASSERT_EQ(Entries<T>::forward(x.data(), ours.data(), s.spec->p, nullptr), spOk);
  // Both within a few roundings per stage of the exact spectrum.
  EXPECT_LE(MaxDifference(ours, theirs), 8 * eps * (order + 1) * Rms(theirs));
  ASSERT_EQ(Entries<T>::inverse(ours.data(), ours.data(), s.spec->p, nullptr), spOk);
  ours.resize(n);
  EXPECT_LE(MaxDifference(ours, x), 8 * eps * (order + 1) * Rms(x));
}

class RealFftTwoLevelTest : public VariantSetTest {};

TEST_P(RealFftTwoLevelTest, SinglePrecisionFirstTwoLevelOrder) {
  CheckTwoLevelOrder<float>(SetIndex(), kFirstTwoLevelF32[SetIndex()]);
}

TEST_P(RealFftTwoLevelTest, DoublePrecisionFirstTwoLevelOrder) {
  if (kFirstTwoLevelF64[SetIndex()] == 0) GTEST_SKIP() << "this set's two-level plan runs in the large-path tests";
  CheckTwoLevelOrder<double>(SetIndex(), kFirstTwoLevelF64[SetIndex()]);
}

SP_INSTANTIATE_FOR_ALL_SETS(RealFftTwoLevelTest);

}  // namespace
