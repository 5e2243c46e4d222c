// Processor clock from the time-stamp counter against the wall clock.
#include <x86intrin.h>

#include <climits>
#include <ctime>

#include "primitives/frame/sp_version.h"

uint64_t spRdtsc() { return __rdtsc(); }

uint64_t spReadTsc() { return spRdtsc(); }

spStatus spGetCpuMhz(int32_t* mhz) {
  if (mhz == nullptr) return spErrNullPointer;
  int64_t counts[3];
  for (int64_t& count : counts) {
    const uint64_t start = spRdtsc();
    const std::time_t begin = std::time(nullptr);
    while (std::difftime(std::time(nullptr), begin) < 1.0) {
    }
    count = static_cast<int64_t>(spRdtsc() - start);
  }
  // The first pass only waited for a second boundary.
  const double megahertz = ((static_cast<double>(counts[1]) + static_cast<double>(counts[2])) / 1000000.0) * 0.5;
  // Truncation toward zero; a wrapped or stopped counter gives what the x87
  // store gives for a value out of range (the integer indefinite).
  const bool representable = megahertz > -2147483649.0 && megahertz < 2147483648.0;
  *mhz = representable ? static_cast<int32_t>(megahertz) : INT32_MIN;
  return spOk;
}
