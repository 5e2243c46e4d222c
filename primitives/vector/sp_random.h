// Normally distributed pseudo-random numbers by the polar method, from a
// 32-bit seed word that the caller owns: each call rebuilds the generator
// from *pSeed, fills dst[0 .. len-1] with mean + stdDev * g and writes the
// advanced seed back. Every variant set gives the same sequence for the same
// seed; the float and double forms differ only by the rounding of the
// element type. Two calls of lengths m and n do not continue one sequence of
// m + n values.
//
// Null dst or pSeed gives -8, len below 1 gives -6; on an error nothing is
// written and the seed is unchanged. mean and stdDev are not checked.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

// X(return type, name, parameters, arguments): see primitives/frame/entries.h.
#define SP_RAND_GAUSS_ENTRIES(X)                                                                       \
  X(spStatus, spRandGaussF32, (float* dst, int32_t len, float mean, float stdDev, uint32_t* pSeed),    \
    (dst, len, mean, stdDev, pSeed))                                                                   \
  X(spStatus, spRandGaussF64, (double* dst, int32_t len, double mean, double stdDev, uint32_t* pSeed), \
    (dst, len, mean, stdDev, pSeed))
SP_DECLARE_ENTRIES(SP_RAND_GAUSS_ENTRIES)
