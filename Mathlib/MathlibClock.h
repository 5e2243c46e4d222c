// The processor clock and time-stamp counter as the layer's timers and
// report read them, with a seam so tests need not busy-wait the two to three
// seconds a real clock measurement takes.
#pragma once
#include <cstdint>
#include <functional>

// spGetCpuMhz unless a probe is installed; returns its status.
int32_t MathlibMeasureCpuMhz(int32_t* mhz);
int64_t MathlibReadCounter();

using MathlibCpuMhzProbe = std::function<int32_t(int32_t* mhz)>;
// An empty probe restores the real measurement. Returns the previous probe.
MathlibCpuMhzProbe MathlibSetCpuMhzProbeForTesting(MathlibCpuMhzProbe probe);
