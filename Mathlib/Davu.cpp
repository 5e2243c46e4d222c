#include "Mathlib/Davu.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "primitives/frame/alloc_failure_seam.h"

namespace {

// The size key, bit-reverse and permutation tables are shared by both
// precisions; each twiddle table carries the size it was built for, so a
// transform never runs on a twiddle table of another size or a missing one.
struct DavuTables {
  uint32_t size = 0;
  uint32_t log2n = 0;
  uint32_t* rev = nullptr;    // n/2 entries
  uint32_t* perm = nullptr;   // n entries, rewritten by every transform
  float* twiddleF = nullptr;  // n/2 (cos, sin) pairs
  uint32_t twiddleFSize = 0;
  double* twiddleD = nullptr;
  uint32_t twiddleDSize = 0;
  uint64_t twiddleBuilds = 0;
};

DavuTables g_tables;

// The single-precision table keeps 2 pi rounded to single precision, as it
// has always used; the double table needs 2 pi in double, or its transform
// is only as good as a float one.
template <typename T>
constexpr double kTwoPi = 6.283185307179586;
template <>
constexpr double kTwoPi<float> = 6.2831854820251465;

void ReleaseShared() {
  DavuFree(g_tables.rev);
  DavuFree(g_tables.perm);
  g_tables.rev = nullptr;
  g_tables.perm = nullptr;
  g_tables.size = 0;
  g_tables.log2n = 0;
}

void ReleaseTwiddleF() {
  DavuFree(g_tables.twiddleF);
  g_tables.twiddleF = nullptr;
  g_tables.twiddleFSize = 0;
}

void ReleaseTwiddleD() {
  DavuFree(g_tables.twiddleD);
  g_tables.twiddleD = nullptr;
  g_tables.twiddleDSize = 0;
}

bool BuildShared(uint32_t n) {
  if (g_tables.size == n) return true;
  ReleaseShared();
  uint32_t log2n = 0;
  while ((uint32_t{1} << log2n) < n) ++log2n;
  auto* rev = static_cast<uint32_t*>(VEZIzidiru(size_t{n / 2} * sizeof(uint32_t)));
  auto* perm = rev ? static_cast<uint32_t*>(VEZIzidiru(size_t{n} * sizeof(uint32_t))) : nullptr;
  if (!rev || !perm) {
    DavuFree(rev);
    return false;
  }
  // Bit reversal of 0 .. n/2-1 over log2n-1 bits.
  rev[0] = 0;
  for (uint32_t m = n / 4, len = 1; m > 0; m /= 2, len *= 2)
    for (uint32_t i = 0; i < len; ++i) rev[len + i] = rev[i] + m;
  g_tables.rev = rev;
  g_tables.perm = perm;
  g_tables.log2n = log2n;
  g_tables.size = n;
  return true;
}

template <typename T>
bool BuildTwiddles(T*& table, uint32_t& tableSize, uint32_t n) {
  if (tableSize == n && table) return true;
  DavuFree(table);
  table = nullptr;
  tableSize = 0;
  auto* tw = static_cast<T*>(VEZIzidiru(size_t{n / 2} * 2 * sizeof(T)));
  if (!tw) return false;
  for (uint32_t k = 0; k < n / 2; ++k) {
    const double angle = k * kTwoPi<T> / n;
    tw[2 * k] = static_cast<T>(std::cos(angle));
    tw[2 * k + 1] = static_cast<T>(std::sin(angle));
  }
  table = tw;
  tableSize = n;
  ++g_tables.twiddleBuilds;
  return true;
}

bool Setup(uint32_t n, bool isDouble) {
  if (n == 0) {
    ReleaseShared();
    isDouble ? ReleaseTwiddleD() : ReleaseTwiddleF();
    return false;
  }
  if (n < 2 || !DavuIsPow2(n)) return false;
  if (!BuildShared(n)) return false;
  return isDouble ? BuildTwiddles(g_tables.twiddleD, g_tables.twiddleDSize, n)
                  : BuildTwiddles(g_tables.twiddleF, g_tables.twiddleFSize, n);
}

// In-place butterflies on bit-reversed twiddles, then a bit-reversal reorder.
template <typename T>
void Transform(T* data, uint32_t n, const T* twiddles, bool inverse) {
  const uint32_t* rev = g_tables.rev;
  for (uint32_t groups = 1, half = n / 2; groups < n; groups *= 2, half /= 2) {
    for (uint32_t j = 0; j < groups; ++j) {
      T* a = data + size_t{2} * 2 * half * j;
      T* b = a + size_t{2} * half;
      if (j == 0) {
        for (uint32_t p = 0; p < half; ++p) {
          const T tr = b[2 * p], ti = b[2 * p + 1];
          const T ar = a[2 * p], ai = a[2 * p + 1];
          a[2 * p] = ar + tr;
          a[2 * p + 1] = ai + ti;
          b[2 * p] = ar - tr;
          b[2 * p + 1] = ai - ti;
        }
        continue;
      }
      // Group 1 uses the exact twiddle i: b*conj(i) = (bi, -br), b*i = (-bi, br).
      T wr = 0, wi = 1;
      if (j >= 2) {
        wr = twiddles[2 * rev[j]];
        wi = twiddles[2 * rev[j] + 1];
      }
      if (!inverse) wi = -wi;
      for (uint32_t p = 0; p < half; ++p) {
        const T br = b[2 * p], bi = b[2 * p + 1];
        T tr, ti;
        if (j == 1) {
          tr = inverse ? -bi : bi;
          ti = inverse ? br : -br;
        } else {
          tr = br * wr - bi * wi;
          ti = br * wi + bi * wr;
        }
        const T ar = a[2 * p], ai = a[2 * p + 1];
        a[2 * p] = ar + tr;
        a[2 * p + 1] = ai + ti;
        b[2 * p] = ar - tr;
        b[2 * p + 1] = ai - ti;
      }
    }
  }
  uint32_t* perm = g_tables.perm;
  for (uint32_t i = 0; i < n / 2; ++i) {
    perm[i] = 2 * rev[i];
    perm[i + n / 2] = 2 * rev[i] + 1;
  }
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t j = perm[i];
    if (j != i) {
      perm[j] = j;
      std::swap(data[2 * size_t{i}], data[2 * size_t{j}]);
      std::swap(data[2 * size_t{i} + 1], data[2 * size_t{j} + 1]);
    }
  }
  if (inverse) {
    for (size_t k = 0; k < 2 * size_t{n}; ++k) data[k] = data[k] / static_cast<T>(n);
  }
}

// One transform with its set-up; false (data untouched) when the tables
// cannot be had.
template <typename T>
bool Run(T* data, uint32_t n, bool inverse) {
  constexpr bool kDouble = sizeof(T) == sizeof(double);
  if (n < 2) return true;
  if (!data || !Setup(n, kDouble)) return false;
  if constexpr (kDouble)
    Transform(data, n, g_tables.twiddleD, inverse);
  else
    Transform(data, n, g_tables.twiddleF, inverse);
  return true;
}

}  // namespace

void* VEZIzidiru(size_t bytes) {
  void* p = spkAllocationRefused() ? nullptr : std::malloc(bytes ? bytes : 1);
  if (!p) {
    std::fputs("VEZIzidiru failed!\n", stdout);
    return nullptr;
  }
  spkCountAllocation(+1);
  return p;
}

void DavuFree(void* block) {
  if (!block) return;
  spkCountAllocation(-1);
  std::free(block);
}

uint32_t DavuNextPow2(uint32_t n) {
  if (n > (uint32_t{1} << 31)) return 0;  // no 32-bit power of two is large enough
  uint32_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

uint32_t DavuIsPow2(uint32_t n) { return (n != 0 && (n & (n - 1)) == 0) ? 1 : 0; }

int32_t DavuLog2Round(uint32_t n) {
  if (n == 0) return 0;  // log of 0 is not finite
  return static_cast<int32_t>(std::floor(std::log(static_cast<double>(n)) / std::log(2.0) + 0.5));
}

bool DavuSetupFloat(uint32_t n) { return Setup(n, false); }
bool DavuSetupDouble(uint32_t n) { return Setup(n, true); }

bool DavuForwardFloat(float* data, uint32_t n) { return Run(data, n, false); }
bool DavuInverseFloat(float* data, uint32_t n) { return Run(data, n, true); }
bool DavuForwardDouble(double* data, uint32_t n) { return Run(data, n, false); }
bool DavuInverseDouble(double* data, uint32_t n) { return Run(data, n, true); }

void DavuReleaseFloat() {
  ReleaseShared();
  ReleaseTwiddleF();
}
void DavuReleaseDouble() {
  ReleaseShared();
  ReleaseTwiddleD();
}

DavuTableState DavuGetTableState() {
  return {g_tables.size, g_tables.twiddleFSize, g_tables.twiddleDSize, g_tables.twiddleBuilds};
}
