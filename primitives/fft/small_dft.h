// Fixed-size transforms of 1, 2, 4 and 8 points: the straight-line kernels
// that the real transforms and the compact-spectrum drivers run for orders
// 0 to 3 instead of their general engine.
//
// Three groups of twelve members each, in single and double precision:
//   real  - N real values <-> kernel spectrum order
//           [X0, X(N/2), Re X1, Im X1, ..., Re X(N/2-1), Im X(N/2-1)];
//           the inverse gives N times the inverse transform.
//   cplx  - N interleaved complex values (re, im), natural order.
//   split - N complex values as separate real and imaginary arrays.
// Forward uses e^(-2*pi*j*n*k/N), inverse e^(+2*pi*j*n*k/N), no 1/N.
// Scaled members take the scale by value and apply it to the first stage.
// Every member reads each input before it writes the output at the same
// position, so src may be dst; nothing is checked and nothing reported.
//
// Every variant set carries its own copy of the kernels (computing bit for
// bit the same); a set's copy is reached through its kernel set below. The
// real transforms index the real tables by order.
#pragma once
#include <cstdint>

using spkSmallDftFnF32 = void (*)(const float* src, float* dst);
using spkSmallDftScaledFnF32 = void (*)(const float* src, float* dst, float scale);
using spkSmallDftFnF64 = void (*)(const double* src, double* dst);
using spkSmallDftScaledFnF64 = void (*)(const double* src, double* dst, double scale);
using spkSmallDftSplitFnF32 = void (*)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm);
using spkSmallDftSplitScaledFnF32 = void (*)(const float* srcRe, const float* srcIm, float* dstRe, float* dstIm,
                                             float scale);
using spkSmallDftSplitFnF64 = void (*)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm);
using spkSmallDftSplitScaledFnF64 = void (*)(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm,
                                             double scale);

// The twelve members of one group in their fixed order.
template <class Fn, class ScaledFn>
struct spkSmallDftGroup {
  Fn dft1;              // copy, both directions
  ScaledFn dft1Scaled;  // copy times scale
  Fn dft2;              // both directions
  ScaledFn dft2Scaled;
  Fn fwd4;
  Fn inv4;
  ScaledFn fwd4Scaled;
  ScaledFn inv4Scaled;
  Fn fwd8;
  Fn inv8;
  ScaledFn fwd8Scaled;
  ScaledFn inv8Scaled;
};

// The four-slot tables of the real group, slot = order (N = 2^slot). A
// transform picks the scaled table of its direction when its set-up scales
// that direction, else the plain one. Forward tables never hold an inverse
// member and the other way round.
template <class Fn, class ScaledFn>
struct spkSmallDftRealTables {
  Fn fwd[4];
  ScaledFn fwdScaled[4];
  Fn inv[4];
  ScaledFn invScaled[4];
};

// One variant set's copy of the whole kernel set.
struct spkSmallDftKernelSet {
  spkSmallDftRealTables<spkSmallDftFnF32, spkSmallDftScaledFnF32> realTablesF32;
  spkSmallDftRealTables<spkSmallDftFnF64, spkSmallDftScaledFnF64> realTablesF64;
  spkSmallDftGroup<spkSmallDftFnF32, spkSmallDftScaledFnF32> realF32;
  spkSmallDftGroup<spkSmallDftFnF64, spkSmallDftScaledFnF64> realF64;
  spkSmallDftGroup<spkSmallDftFnF32, spkSmallDftScaledFnF32> cplxC32;
  spkSmallDftGroup<spkSmallDftFnF64, spkSmallDftScaledFnF64> cplxC64;
  spkSmallDftGroup<spkSmallDftSplitFnF32, spkSmallDftSplitScaledFnF32> splitF32;
  spkSmallDftGroup<spkSmallDftSplitFnF64, spkSmallDftSplitScaledFnF64> splitF64;
};

// The kernel set of variant set `setIndex` 0..4 (generic, SSE, SSE2, SSE3,
// SSSE3), or null for an index outside 0..4. Code inside a set uses
// SP_V(spkSmallDftKernels) from small_dft_kernels.h instead.
const spkSmallDftKernelSet* spkSmallDftKernelsOfSet(int32_t setIndex);
