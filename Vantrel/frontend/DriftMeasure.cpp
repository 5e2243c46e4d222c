#include "Vantrel/frontend/DriftMeasure.h"

#include <cmath>

void CDriftMeasure::Confirmation(double moved, double frames, double restartBeyond) {
  if (!m_known || std::fabs(moved - PerFrame() * frames) > restartBeyond) {
    m_known = true;
    m_samples = 0.0;
    m_frames = 0.0;
    return;
  }
  m_samples += moved;
  m_frames += frames;
  if (m_frames > kFadeFrames) {
    m_samples *= 0.5;
    m_frames *= 0.5;
  }
}

bool CDriftMeasure::Along(int offset) const {
  const double perFrame = PerFrame();
  return std::fabs(perFrame) >= kNoticeable && perFrame * double(offset) > 0.0;
}
