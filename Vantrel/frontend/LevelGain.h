// The gain that aligns the test level to the reference: the ratio of the
// two levels while both stand above the floor and the ratio lies in the
// accepted range, else the last gain accepted (1 at the start of a run), so
// that a pause or a burst does not swing the level.
#pragma once

#include "Vantrel/frontend/FrontEndInternal.h"

class FRONT_END_INTERNAL CLevelGain {
 public:
  void Reset() { m_gain = 1.0f; }
  // The gain for a frame whose signals have these mean block energies;
  // without `align` the ratio is 1.
  float Next(double refEnergy, double testEnergy, bool align);

 private:
  float m_gain = 1.0f;
};
