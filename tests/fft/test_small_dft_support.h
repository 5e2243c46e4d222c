// Helpers shared by the small-transform tests: every member of a group seen
// through one flat interface (N reals, or N complex values interleaved), the
// real groups' order-indexed tables seen the same way, naive long-double
// transforms as the reference, and the checks every group runs alike (scale
// one, in place, same bits as the generic set).
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "primitives/fft/small_dft.h"
#include "support/dft_reference.h"
#include "support/variant_sets.h"

namespace small_dft_test {

enum class Dir { Both, Forward, Inverse };

// One member as the tests drive it. Flat data: N reals for the real group,
// 2N interleaved values for the complex groups (split members convert).
template <class T>
struct Member {
  std::string name;
  int points;
  int values;  // flat values per call: points (real) or 2 * points (complex)
  Dir dir;
  bool scaled;
  int plainTwin;  // index of the plain member a scaled one scales, else -1
  std::function<void(const T* src, T* dst, T scale)> run;
  std::function<void(T* data, T scale)> runInPlace;
};

struct Shape {
  const char* name;
  int points;
  Dir dir;
  bool scaled;
  int plainTwin;
};

// The fixed member order of every group.
inline constexpr Shape kShapes[12] = {
    {"1", 1, Dir::Both, false, -1},           {"1Scaled", 1, Dir::Both, true, 0},
    {"2", 2, Dir::Both, false, -1},           {"2Scaled", 2, Dir::Both, true, 2},
    {"Fwd4", 4, Dir::Forward, false, -1},     {"Inv4", 4, Dir::Inverse, false, -1},
    {"Fwd4Scaled", 4, Dir::Forward, true, 4}, {"Inv4Scaled", 4, Dir::Inverse, true, 5},
    {"Fwd8", 8, Dir::Forward, false, -1},     {"Inv8", 8, Dir::Inverse, false, -1},
    {"Fwd8Scaled", 8, Dir::Forward, true, 8}, {"Inv8Scaled", 8, Dir::Inverse, true, 9},
};

template <class Fn, class ScaledFn>
Fn PlainAt(const spkSmallDftGroup<Fn, ScaledFn>& g, int i) {
  switch (i) {
    case 0: return g.dft1;
    case 2: return g.dft2;
    case 4: return g.fwd4;
    case 5: return g.inv4;
    case 8: return g.fwd8;
    default: return g.inv8;
  }
}

template <class Fn, class ScaledFn>
ScaledFn ScaledAt(const spkSmallDftGroup<Fn, ScaledFn>& g, int i) {
  switch (i) {
    case 1: return g.dft1Scaled;
    case 3: return g.dft2Scaled;
    case 6: return g.fwd4Scaled;
    case 7: return g.inv4Scaled;
    case 10: return g.fwd8Scaled;
    default: return g.inv8Scaled;
  }
}

// Real and interleaved members: (src, dst[, scale]).
template <class T, class Fn, class ScaledFn>
std::vector<Member<T>> FlatMembers(const spkSmallDftGroup<Fn, ScaledFn>& g, const std::string& group,
                                   int valuesPerPoint) {
  std::vector<Member<T>> out;
  for (int i = 0; i < 12; ++i) {
    const Shape& s = kShapes[i];
    Member<T> m{group + s.name, s.points, s.points * valuesPerPoint, s.dir, s.scaled, s.plainTwin, {}, {}};
    if (s.scaled) {
      ScaledFn f = ScaledAt(g, i);
      m.run = [f](const T* src, T* dst, T k) { f(src, dst, k); };
      m.runInPlace = [f](T* p, T k) { f(p, p, k); };
    } else {
      Fn f = PlainAt(g, i);
      m.run = [f](const T* src, T* dst, T) { f(src, dst); };
      m.runInPlace = [f](T* p, T) { f(p, p); };
    }
    out.push_back(m);
  }
  return out;
}

// Split members, driven on interleaved data.
template <class T, class Fn, class ScaledFn>
std::vector<Member<T>> SplitMembers(const spkSmallDftGroup<Fn, ScaledFn>& g, const std::string& group) {
  std::vector<Member<T>> out;
  for (int i = 0; i < 12; ++i) {
    const Shape& s = kShapes[i];
    const int n = s.points;
    Member<T> m{group + s.name, n, 2 * n, s.dir, s.scaled, s.plainTwin, {}, {}};
    auto call = [g, i, scaled = s.scaled](const T* sr, const T* si, T* dr, T* di, T k) {
      if (scaled)
        ScaledAt(g, i)(sr, si, dr, di, k);
      else
        PlainAt(g, i)(sr, si, dr, di);
    };
    m.run = [call, n](const T* src, T* dst, T k) {
      std::vector<T> sr(n), si(n), dr(n, T(99)), di(n, T(99));
      for (int j = 0; j < n; ++j) sr[j] = src[2 * j], si[j] = src[2 * j + 1];
      call(sr.data(), si.data(), dr.data(), di.data(), k);
      for (int j = 0; j < n; ++j) dst[2 * j] = dr[j], dst[2 * j + 1] = di[j];
    };
    m.runInPlace = [call, n](T* p, T k) {
      std::vector<T> re(n), im(n);
      for (int j = 0; j < n; ++j) re[j] = p[2 * j], im[j] = p[2 * j + 1];
      call(re.data(), im.data(), re.data(), im.data(), k);
      for (int j = 0; j < n; ++j) p[2 * j] = re[j], p[2 * j + 1] = im[j];
    };
    out.push_back(m);
  }
  return out;
}

// The real transforms' view: each table slot as a member of its direction.
template <class T, class Fn, class ScaledFn>
std::vector<Member<T>> RealTableMembers(const spkSmallDftRealTables<Fn, ScaledFn>& t) {
  std::vector<Member<T>> out;
  auto addPlain = [&](const Fn* table, Dir dir, const char* name) {
    for (int slot = 0; slot < 4; ++slot) {
      Fn f = table[slot];
      out.push_back({std::string(name) + "[" + std::to_string(slot) + "]", 1 << slot, 1 << slot, dir, false, -1,
                     [f](const T* src, T* dst, T) { f(src, dst); }, [f](T* p, T) { f(p, p); }});
    }
  };
  auto addScaled = [&](const ScaledFn* table, Dir dir, const char* name) {
    for (int slot = 0; slot < 4; ++slot) {
      ScaledFn f = table[slot];
      out.push_back({std::string(name) + "[" + std::to_string(slot) + "]", 1 << slot, 1 << slot, dir, true, -1,
                     [f](const T* src, T* dst, T k) { f(src, dst, k); }, [f](T* p, T k) { f(p, p, k); }});
    }
  };
  addPlain(t.fwd, Dir::Forward, "fwd");
  addScaled(t.fwdScaled, Dir::Forward, "fwdScaled");
  addPlain(t.inv, Dir::Inverse, "inv");
  addScaled(t.invScaled, Dir::Inverse, "invScaled");
  return out;
}

// ---- references -----------------------------------------------------------

using Ld = long double;

// Naive complex DFT on interleaved values; sign -1 forward, +1 inverse.
inline std::vector<Ld> NaiveDft(const std::vector<Ld>& x, int n, int sign) {
  return dft_reference::Interleaved(
      dft_reference::NaiveDft(dft_reference::FromInterleaved(std::vector<Ld>(x.begin(), x.begin() + 2 * n)), sign));
}

// Reference of a real-group member in kernel spectrum order.
inline std::vector<Ld> NaiveReal(const std::vector<Ld>& in, int n, Dir dir) {
  if (dir != Dir::Inverse) {
    std::vector<Ld> x(2 * n, 0.0L);
    for (int j = 0; j < n; ++j) x[2 * j] = in[j];
    const std::vector<Ld> X = NaiveDft(x, n, -1);
    if (n == 1) return {X[0]};
    std::vector<Ld> out{X[0], X[n]};  // X0, X(N/2)
    for (int k = 1; k < n / 2; ++k) out.push_back(X[2 * k]), out.push_back(X[2 * k + 1]);
    return out;
  }
  // Hermitian spectrum from kernel order, then the unnormalised inverse.
  std::vector<Ld> X(2 * n, 0.0L);
  X[0] = in[0];
  if (n > 1) X[n] = in[1];
  for (int k = 1; k < n / 2; ++k) {
    X[2 * k] = in[2 * k], X[2 * k + 1] = in[2 * k + 1];
    X[2 * (n - k)] = in[2 * k], X[2 * (n - k) + 1] = -in[2 * k + 1];
  }
  const std::vector<Ld> y = NaiveDft(X, n, +1);
  std::vector<Ld> out(n);
  for (int j = 0; j < n; ++j) out[j] = y[2 * j];
  return out;
}

// ---- data and comparison --------------------------------------------------

template <class T>
std::vector<T> RandomValues(std::mt19937& rng, int count, double lo = -100.0, double hi = 100.0) {
  std::uniform_real_distribution<double> d(lo, hi);
  std::vector<T> v(count);
  for (T& x : v) x = static_cast<T>(d(rng));
  return v;
}

// Values of widely varying magnitude and sign, so that intermediate
// roundings show in the last bits.
template <class T>
std::vector<T> RandomMixedMagnitudes(std::mt19937& rng, int count) {
  std::uniform_real_distribution<double> mant(0.5, 1.0);
  std::uniform_int_distribution<int> expo(-12, 12), sign(0, 1);
  std::vector<T> v(count);
  for (T& x : v) x = static_cast<T>((sign(rng) ? -1.0 : 1.0) * std::ldexp(mant(rng), expo(rng)));
  return v;
}

template <class T>
std::vector<T> RandomSmallIntegers(std::mt19937& rng, int count) {
  std::uniform_int_distribution<int> d(-9, 9);
  std::vector<T> v(count);
  for (T& x : v) x = static_cast<T>(d(rng));
  return v;
}

template <class T>
auto Bits(T v) {
  if constexpr (sizeof(T) == 4)
    return std::bit_cast<uint32_t>(v);
  else
    return std::bit_cast<uint64_t>(v);
}

// Bit-for-bit equality (signed zeros included), reporting the first mismatch.
template <class T>
::testing::AssertionResult SameBits(const std::vector<T>& got, const std::vector<T>& want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "size " << got.size();
  for (size_t i = 0; i < got.size(); ++i)
    if (Bits(got[i]) != Bits(want[i]))
      return ::testing::AssertionFailure()
             << "element " << i << ": got " << got[i] << (std::signbit(got[i]) ? " (sign set)" : "") << ", want "
             << want[i] << (std::signbit(want[i]) ? " (sign set)" : "");
  return ::testing::AssertionSuccess();
}

template <class T>
std::vector<T> Apply(const Member<T>& m, const std::vector<T>& in, T scale = T(1)) {
  std::vector<T> out(in.size(), T(77));
  m.run(in.data(), out.data(), scale);
  return out;
}

// ---- checks shared by the groups ---------------------------------------

// Runs under every variant set; Kernels() is the running set's kernel set.
class SmallDftSetTest : public VariantSetTest {
 protected:
  const spkSmallDftKernelSet& Kernels() const { return *spkSmallDftKernelsOfSet(SetIndex()); }
};

// Inputs with signed zeros among random values, so that a scale of 1 has to
// leave every sign and bit alone.
template <class T>
std::vector<T> InputsWithSignedZeros(std::mt19937& rng, int n) {
  std::vector<T> x = RandomMixedMagnitudes<T>(rng, n);
  std::uniform_int_distribution<int> pick(0, 3);
  for (T& v : x) {
    const int p = pick(rng);
    if (p == 0) v = T(0);
    if (p == 1) v = -T(0);
  }
  return x;
}

// A scaled member with scale 1 gives its plain twin's bits.
template <class T>
void CheckScaleOne(const std::vector<Member<T>>& members) {
  std::mt19937 rng(5);
  for (const Member<T>& m : members) {
    if (m.plainTwin < 0) continue;
    SCOPED_TRACE(m.name);
    for (int trial = 0; trial < 100; ++trial) {
      const std::vector<T> x = InputsWithSignedZeros<T>(rng, m.values);
      EXPECT_TRUE(SameBits(Apply(m, x, T(1)), Apply(members[m.plainTwin], x)));
    }
  }
}

// In place gives the bits of out of place.
template <class T>
void CheckInPlace(const std::vector<Member<T>>& members) {
  std::mt19937 rng(7);
  for (const Member<T>& m : members) {
    SCOPED_TRACE(m.name);
    for (int trial = 0; trial < 100; ++trial) {
      std::vector<T> data = RandomMixedMagnitudes<T>(rng, m.values);
      const T scale = T(0.3);
      const std::vector<T> separate = Apply(m, data, scale);
      m.runInPlace(data.data(), scale);
      EXPECT_TRUE(SameBits(data, separate));
    }
  }
}

// Every set computes the same bits as the generic set.
template <class T>
void CheckSameAsGeneric(const std::vector<Member<T>>& mine, const std::vector<Member<T>>& generic) {
  std::mt19937 rng(9);
  for (size_t i = 0; i < mine.size(); ++i) {
    SCOPED_TRACE(mine[i].name);
    for (int trial = 0; trial < 50; ++trial) {
      const std::vector<T> x = RandomMixedMagnitudes<T>(rng, mine[i].values);
      EXPECT_TRUE(SameBits(Apply(mine[i], x, T(0.3)), Apply(generic[i], x, T(0.3))));
    }
  }
}

}  // namespace small_dft_test
