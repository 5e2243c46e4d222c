// Test seams of the variant choice: which sets this processor can run, and
// forcing one of them regardless of detection.
#pragma once
#include <cstdint>

// True when the processor has every instruction set the variant set uses.
bool spVariantSetSupported(int32_t index);
// Selects set `index` when supported and returns the previous index;
// returns -1 and changes nothing for an unsupported or unknown set.
int32_t spForceVariantSet(int32_t index);
// The set's name in set_list.h ("generic" .. "ssse3"); "unknown" outside.
const char* spVariantSetName(int32_t index);
