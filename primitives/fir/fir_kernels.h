// Internal kernels of FIR design, one member per variant set and no dispatch
// entry: each set's design primitives call the members of their own set
// (SP_V(spkToneCosF64) from a *_variant.cpp), and tests reach a set's member
// as sp_sse2::spkToneCosF64_Sse2 and the like.
//
// spkToneCosF64: dst[n] = magnitude * cos(phase + 2 pi relFreq n), n < len,
// by a second-order recurrence from three library cosines; *phase advances to
// the phase of sample len, reduced to [0, 2 pi). Statuses in this order:
// phase null -8; magnitude not above 0 (or NaN) -46; relFreq below 0, NaN or
// not below 0.5 -45; *phase outside [0, 2 pi) or NaN -44; dst null -8;
// len < 1 -6; nothing written then. In the SSE2, SSE3 and SSSE3 sets hint 1
// restarts the recurrence every 2048 samples from fresh cosines (the block
// method); every other hint, and every hint in the generic and SSE sets, runs
// the plain method, whose samples are bit-identical in all five sets.
//
// The windows multiply taps[k] and taps[len-1-k] in place by one symmetric
// weight w[k], theta = 2 pi / (len - 1); an odd length keeps its centre tap:
//   Hamming     0.54 - 0.46 cos(k theta)                      (len >= 3)
//   Hann        0.5 - 0.5 cos(k theta)                        (len >= 3)
//   three-term  (alpha + 1)/2 - 0.5 cos(k theta) - (alpha/2) cos(2 k theta)
//                                                             (len >= 3)
//   Blackman    the three-term form, alpha = -(0.5 / cos(pi / (len - 1)))^2,
//               so that w[0] = w[1] = 0                       (len >= 4)
//   Bartlett    2k / (len - 1)                                (len >= 3)
// Statuses: taps null -8, then a length below the minimum -6; Blackman tests
// its length before the pointer.
// Hamming and Hann step cos(k theta) by a recurrence instead of a cosine
// per tap: the generic set rotates (cos theta, sin theta), the SSE and SSE3
// sets run a(k+1) = 2 cos(theta) a(k) - a(k-1), and the SSE2 and SSSE3 sets
// step two taps at once by 2 theta from two library cosines, cos theta and
// cos 2 theta (the latter not formed as 2 cos^2 theta - 1). The sets'
// weights therefore differ in the last bits: for up to 1025 taps all lie
// within 2e-12 of the exact weights (SSE2, SSSE3 within 4e-13), and the
// drift grows with the length, to about 1e-8 at 100001 taps.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"
#include "primitives/frame/sp_status.h"

#define SP_FIR_KERNELS(X)                                                                      \
  X(spStatus, spkToneCosF64,                                                                   \
    (double* dst, int32_t len, double magnitude, double relFreq, double* phase, int32_t hint)) \
  X(spStatus, spkFirWinBartlettF64, (double* taps, int32_t len))                               \
  X(spStatus, spkFirWinBlackmanF64, (double* taps, int32_t len))                               \
  X(spStatus, spkFirWinBlackmanAlphaF64, (double* taps, int32_t len, double alpha))            \
  X(spStatus, spkFirWinHammingF64, (double* taps, int32_t len))                                \
  X(spStatus, spkFirWinHannF64, (double* taps, int32_t len))

SP_DECLARE_KERNELS(SP_FIR_KERNELS)

// The hint that selects the block method of the tone generator.
inline constexpr int32_t kToneHintBlocks = 1;
