#include "Vantrel/frontend/LevelGain.h"

#include <cmath>
#include <limits>

#include "Vantrel/SysPara.h"

float CLevelGain::Next(double refEnergy, double testEnergy, bool align) {
  double ratio = 1.0;
  if (testEnergy != 0.0 && align) ratio = std::sqrt(refEnergy) / std::sqrt(testEnergy);
  // A ratio a float cannot hold (or none at all) is out of the accepted range.
  const float g = std::fabs(ratio) < 1e30 ? float(ratio) : std::numeric_limits<float>::infinity();
  if (refEnergy > LEVEL_ALIGN_ENERGY_FLOOR && testEnergy > LEVEL_ALIGN_ENERGY_FLOOR && g > LEVEL_ALIGN_MIN_GAIN &&
      g < LEVEL_ALIGN_MAX_GAIN)
    m_gain = g;
  return m_gain;
}
