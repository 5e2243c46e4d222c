// The normalisation of a correlation by its energies, which the math layer
// runs in the running set for the front end's correlators. No checks;
// arrays at any address, out may be corr itself.
//   out[k] = corr[k] / sqrt(xEnergy * energy[k]), k < n
// each step rounded once as written (the product, the root, the quotient),
// so every set gives the same bits; 0 where the product is not above 0 (a
// lag without energy, or one that underflows), without dividing by zero.
#pragma once
#include <cstdint>

#include "primitives/frame/entries.h"

#define SP_NORMALISE_KERNELS(X) \
  X(void, spkNormaliseByEnergyF64, (const double* corr, double xEnergy, const double* energy, double* out, int64_t n))

SP_DECLARE_KERNELS(SP_NORMALISE_KERNELS)
