// Releases a cached real-FFT spec of either precision (32 or 64 bits).
#pragma once
#include <cstdint>

struct REALFFTSPEC;
void MathlibReleaseFftSpec(REALFFTSPEC* spec, int32_t elementBits);
