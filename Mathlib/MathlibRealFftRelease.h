// Releases a handle's cached real-FFT set-up record of either precision
// (32 or 64 bits).
#pragma once
#include <cstdint>

struct REALFFTSPEC;
void MathlibReleaseRealFft(REALFFTSPEC* prepared, int32_t elementBits);
