// The level alignment's gain on its own: the ratio of the levels where both
// stand above the floor and the ratio is in range, else the last one taken.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/LevelGain.h"

namespace {

TEST(LevelGain, TakesTheLevelRatioOnlyWhereItCanBeTrusted) {
  const double floor = LEVEL_ALIGN_ENERGY_FLOOR;
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    double ref, test;
    bool align;
    float gain;  // after a first frame that took 2
  };
  const Case cases[] = {
      {"a level ratio of 3", 9e6, 1e6, true, 3.0f},
      {"a test 10 dB louder", 1e6, 1e7, true, float(std::sqrt(0.1))},
      {"no alignment asked", 4e6, 1e6, false, 1.0f},
      {"a reference at the floor", floor, 1e6, true, 2.0f},
      {"a silent test", 4e6, 0.0, true, 2.0f},
      {"a gain at the upper bound", 1e12 * 2e4, 2e4, true, 2.0f},
      {"a test far too loud", 2e4, 1e12 * 2e4 * 4.0, true, 2.0f},
      {"an infinite reference", inf, 1e6, true, 2.0f},
      {"a reference that is not a number", std::nan(""), 1e6, true, 2.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CLevelGain gain;
    EXPECT_EQ(gain.Next(1e5, 1e5, true), 1.0f);
    EXPECT_EQ(gain.Next(4e6, 1e6, true), 2.0f);
    EXPECT_FLOAT_EQ(gain.Next(c.ref, c.test, c.align), c.gain);
  }
  CLevelGain gain;
  gain.Next(4e6, 1e6, true);
  gain.Reset();  // a new run starts at unity
  EXPECT_EQ(gain.Next(0.0, 0.0, true), 1.0f);
}

}  // namespace
