// The front end's normalisation of a correlation by its energies, in the
// running variant set (not an entry of the installed math layer):
//   out[k] = corr[k] / sqrt(xEnergy * energy[k]), k < n
// rounded alike in every set; 0 where the product is not above 0.
// out may be corr itself.
#pragma once
#include <cstdint>

void MathlibNormaliseByEnergyF64(const double* corr, double xEnergy, const double* energy, double* out, int64_t n);
