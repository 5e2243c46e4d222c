// Plain declarations of every set's frame kernels, for tests that call a
// set's kernel directly and compare sets, and tables of them by set index.
#pragma once
#include <cstdint>

#include "primitives/frame/memory_kernels.h"

using CopyKernel = void* (*)(const void*, void*, int64_t);
using ZeroKernel = void* (*)(void*, int64_t);
inline constexpr CopyKernel kCopyKernels[] = SP_VARIANT_TABLE(spkCopyBytes);
inline constexpr ZeroKernel kZeroKernels[] = SP_VARIANT_TABLE(spkZeroBytes);
inline constexpr float* (*kSetF32Kernels[])(float, float*, int64_t) = SP_VARIANT_TABLE(spkSetF32);
inline constexpr double* (*kSetF64Kernels[])(double, double*, int64_t) = SP_VARIANT_TABLE(spkSetF64);
inline constexpr void (*kMirrorC32Kernels[])(const float*, float*, int32_t) = SP_VARIANT_TABLE(spkHalfSpecMirrorC32);
inline constexpr void (*kMirrorC64Kernels[])(const double*, double*, int32_t) = SP_VARIANT_TABLE(spkHalfSpecMirrorC64);
