// Declares a family's internal kernels from its rows X(return type, name,
// parameters, arguments), as the public entries are declared: in a variant
// compilation each row becomes the running set's kernel, e.g.
// spkFftSinTableF32_Sse2 in sp_sse2. Definitions name the kernel in full,
// ret SP_V(spkFftSinTableF32)(...), so a search for the name finds them.
#pragma once
#include "primitives/frame/variant_set.h"

#define SPK_DECLARE_THIS_SETS_KERNEL(ret, name, params, args) ret SP_V(name) params;
