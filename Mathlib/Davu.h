// The math layer's own radix-2 complex FFT, independent of the primitive
// library: in place over interleaved (re, im) values, forward unscaled,
// inverse scaled by 1/n. Its tables are process-wide, kept for the last size
// and rebuilt when the size changes, so transforms run on one thread at a
// time.
#pragma once
#include <cstddef>
#include <cstdint>

// Allocation used for the tables; prints "VEZIzidiru failed!\n" on stdout
// when memory is exhausted.
void* VEZIzidiru(size_t bytes);
void DavuFree(void* block);

uint32_t DavuNextPow2(uint32_t n);  // smallest power of two >= n; 1 for 0 and 1
uint32_t DavuIsPow2(uint32_t n);    // 1 for a power of two (1 included), else 0
int32_t DavuLog2Round(uint32_t n);  // floor(log2(n) + 0.5); 0 for 0

// Make the tables current for size n in one precision. Returns false (and
// keeps nothing half-built) for a size that is not a power of two of at least
// 2 or when memory runs out; n = 0 releases the tables.
bool DavuSetupFloat(uint32_t n);
bool DavuSetupDouble(uint32_t n);

// In place. n < 2 has nothing to transform and gives true. A null array, a
// size that is not a power of two or tables that cannot be allocated leave
// data as it is and give false.
bool DavuForwardFloat(float* data, uint32_t n);
bool DavuInverseFloat(float* data, uint32_t n);
bool DavuForwardDouble(double* data, uint32_t n);
bool DavuInverseDouble(double* data, uint32_t n);

void DavuReleaseFloat();
void DavuReleaseDouble();

// Test view of the tables: the size each table was built for (0 = none) and
// how many twiddle tables have been computed since load.
struct DavuTableState {
  uint32_t sharedSize;
  uint32_t floatTwiddleSize;
  uint32_t doubleTwiddleSize;
  uint64_t twiddleBuilds;
};
DavuTableState DavuGetTableState();
