// Dispatch entries of aligned memory, copy, zero and fill.
#include "primitives/frame/dispatch.h"
#include "primitives/frame/sp_memory.h"

SP_DISPATCH(void*, spAlignedAlloc, (int32_t bytes), (bytes))
SP_DISPATCH(float*, spAlignedAllocF32, (int32_t count), (count))
SP_DISPATCH(double*, spAlignedAllocF64, (int32_t count), (count))
SP_DISPATCH(void, spAlignedFree, (void* p), (p))
SP_DISPATCH(spStatus, spCopyF32, (const float* src, float* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spCopyF64, (const double* src, double* dst, int32_t n), (src, dst, n))
SP_DISPATCH(spStatus, spZeroF32, (float* dst, int32_t n), (dst, n))
SP_DISPATCH(spStatus, spZeroF64, (double* dst, int32_t n), (dst, n))
SP_DISPATCH(spStatus, spSetF32, (float value, float* dst, int32_t n), (value, dst, n))
SP_DISPATCH(spStatus, spSetF64, (double value, double* dst, int32_t n), (value, dst, n))
