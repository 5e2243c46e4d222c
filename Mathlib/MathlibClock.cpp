#include "Mathlib/MathlibClock.h"

#include <utility>

#include "primitives/frame/sp_version.h"

namespace {
MathlibCpuMhzProbe& Probe() {
  static MathlibCpuMhzProbe probe;
  return probe;
}
}  // namespace

int32_t MathlibMeasureCpuMhz(int32_t* mhz) {
  if (Probe()) return Probe()(mhz);
  return spGetCpuMhz(mhz);
}

int64_t MathlibReadCounter() { return static_cast<int64_t>(spReadTsc()); }

MathlibCpuMhzProbe MathlibSetCpuMhzProbeForTesting(MathlibCpuMhzProbe probe) {
  return std::exchange(Probe(), std::move(probe));
}
