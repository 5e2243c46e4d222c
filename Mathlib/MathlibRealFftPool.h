// Prepared real FFTs that no handle holds any more, kept for the next
// handle of this process that asks for the same transform (order,
// precision, variant set): planning a search, running it and measuring the
// next pair then build one spec between them instead of one each. At most
// kMathlibParkedSpecs are kept, the oldest given up first, and none above
// order kMathlibLargestParkedOrder, whose tables cost more memory to keep
// than time to build. Kept until the process ends.
#pragma once
#include <cstdint>

struct REALFFTSPEC;

inline constexpr int32_t kMathlibParkedSpecs = 4;
inline constexpr int32_t kMathlibLargestParkedOrder = 20;

// A parked spec of that key, now the caller's; null when none is parked.
// Its scratch, when it was parked with one, goes to *work (released when
// work is null).
REALFFTSPEC* MathlibTakeParkedRealFft(int32_t order, int32_t elementBits, int32_t variantSet,
                                      uint8_t** work = nullptr);
// Parks a spec a handle's cache built with its flags, and the scratch the
// handle ran it in (an aligned block or null), so that the next handle
// reuses pages already touched; or releases both when the spec is not to
// be kept. A null spec is ignored.
void MathlibParkRealFft(REALFFTSPEC* spec, int32_t order, int32_t elementBits, int32_t variantSet,
                        uint8_t* work = nullptr);

// Releases every parked spec (their memory goes back at once).
void MathlibReleaseParkedRealFfts();

// Whether the transform of 2^order points can be built for the variant set
// a handle runs (the processor's, chosen as MathlibInit chooses it); the
// spec built to find out is parked for the handle that runs it.
bool MathlibRealFftAvailable(int32_t order, int32_t elementBits);
