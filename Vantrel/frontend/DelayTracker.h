// Follows a slowly varying delay in small steps: each frame it reads the
// re-check's newest block, steps the delay in force toward that block's
// peak where the step table allows, and keeps the running mean of the
// qualities tracked. Under a measured drift it carries a confirmed delay
// on through a pause of the signal. Off a delay the search placed it jumps
// further than a drift's step only to a strong peak: under noise of the
// signals' own a short block peaks by chance elsewhere. It decides no
// status but clamped: what it saw is evidence for CReliableGate.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/DelayConfirmation.h"
#include "Vantrel/frontend/DelayEstimator.h"
#include "Vantrel/frontend/DelayState.h"
#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/frontend/TrackMean.h"

struct MONITORDATA;

// How far the tracker may take the delay: the largest step asked for, the
// asked range, and the delay the ring can hold.
struct TrackingLimits {
  int64_t maxStep = 0;
  int64_t maxDelay = 0;
  int64_t ringRoom = 0;
};

// What one frame's tracking saw.
struct TrackReport {
  // The delay was carried on through a pause by the drift measured.
  bool predicted = false;
  // A step whose quality lies well below the running mean of those tracked.
  bool belowMean = false;
};

class FRONT_END_INTERNAL CDelayTracker {
 public:
  CDelayTracker(CDelayEstimator& estimator, CDelayConfirmation& confirmation)
      : m_estimator(estimator), m_confirmation(confirmation) {}
  CDelayTracker(const CDelayTracker&) = delete;
  CDelayTracker& operator=(const CDelayTracker&) = delete;

  // A new run: no qualities tracked yet.
  void Clear() { m_mean.Clear(); }
  // Names the monitor entry Track fills at the end of the frame; a
  // re-check run in between writes its own entries over it.
  static void NameMonitorEntry(MONITORDATA* monitor);
  // One frame's step, once the re-check has been fed in it, from the
  // energies of the block before the newest. Moves the reading on; the
  // search's result follows the delay.
  TrackReport Track(float refEnergy, float testEnergy, const TrackingLimits& limits, DelayReading* reading,
                    MONITORDATA* monitor);
  // Too weak to track: the energy the newest blocks' best correlation (the
  // peak `pick` or `atDelay`, percent) explains, the blocks' energy less
  // the noise they show, is no more than a block's quantisation noise.
  // Loud blocks that correlate nowhere are not weak: the delay has moved.
  static bool TooWeak(const CORRRESULT& pick, double atDelay, double refEnergy, double testEnergy, uint32_t blockLen);

 private:
  // Whether the newest block's peak at offset o (quality q, against v at
  // the delay kept) is a step to take; `placed` when the delay kept is
  // the one the search placed.
  bool TakesStep(int32_t o, float q, double v, int64_t maxStep, bool placed) const;
  bool ApplyStep(int32_t o, float q, const TrackingLimits& limits, DelayReading* reading, TrackReport* report);
  bool FollowDriftThroughPause(const TrackingLimits& limits, DelayReading* reading);

  CDelayEstimator& m_estimator;
  CDelayConfirmation& m_confirmation;
  CTrackMean m_mean;
};
