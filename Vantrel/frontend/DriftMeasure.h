// How fast a confirmed delay moves: the samples it moved and the frames
// that took, summed over the confirmations that followed the drift so far.
// Older confirmations fade, so a drift that changes is followed.
#pragma once

#include "Vantrel/frontend/FrontEndInternal.h"

class FRONT_END_INTERNAL CDriftMeasure {
 public:
  // The sums fade by half once the frames pass this many.
  static constexpr double kFadeFrames = 256.0;
  // A drift of a sample or more in kFadeFrames / 8 frames shows.
  static constexpr double kNoticeable = 8.0 / kFadeFrames;

  // A confirmation `moved` samples on from the last one, `frames` frames
  // after it. The first after Forget, or one further than `restartBeyond`
  // samples off the drift so far, starts the measure anew.
  void Confirmation(double moved, double frames, double restartBeyond);
  // The next confirmation starts the measure anew.
  void Forget() { m_known = false; }

  // Samples per frame; 0 until two confirmations agree.
  double PerFrame() const { return m_frames > 0.0 ? m_samples / m_frames : 0.0; }
  // The frames the rate is measured over, faded as the sums are.
  double Frames() const { return m_frames; }
  // An offset the way the delay drifts noticeably.
  bool Along(int offset) const;

 private:
  bool m_known = false;
  double m_samples = 0.0;
  double m_frames = 0.0;
};
