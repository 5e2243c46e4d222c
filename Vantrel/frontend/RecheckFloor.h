// The energy per sample a stretch of a signal must hold for the re-check
// to correlate it, on the signal's own scale: above a block's quantisation
// noise (the search's gate), not far below the signal's mean level, and,
// where the signal has pauses, clearly above the quietest stretches seen
// (the noise it carries in them). A fixed level would refuse a quiet but
// clean pair outright and re-check a loud one in its noise. A signal
// without pauses (noise as the signal, or speech under noise) is all
// material: its quietest stretches lie near its mean.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/frontend/FrontEndInternal.h"

class FRONT_END_INTERNAL CRecheckFloor {
 public:
  // How many times the quietest level a stretch must hold: noise alone
  // scatters by a few percent over a frame, never by 6 dB.
  static constexpr double kAboveNoise = 4.0;
  // The share of the mean level below which a stretch is the tail of the
  // signal rather than its material (-30 dB).
  static constexpr double kOfMeanLevel = 1e-3;
  // The quietest level counts as the noise of pauses only this far below
  // the mean level (-20 dB).
  static constexpr double kPausesBelowMean = 1e-2;
  // Samples over which the quietest level may rise 12 dB, so that noise
  // growing during the run is learned within seconds.
  static constexpr double kNoiseRiseSamples = 80000.0;

  void Clear() {
    m_quietest = -1.0;
    m_sum = 0.0;
    m_count = 0.0;
  }
  // One more stretch of `samples` samples holding `energy`.
  void Note(double energy, uint32_t samples) {
    if (samples == 0) return;
    const double perSample = energy / double(samples);
    if (m_quietest < 0.0 || perSample < m_quietest) {
      m_quietest = perSample;
    } else {
      m_quietest *= std::exp(std::log(16.0) * double(samples) / kNoiseRiseSamples);
      m_quietest = std::min(m_quietest, perSample);
    }
    m_sum += perSample;
    m_count += 1.0;
  }
  // The floor, per sample.
  double PerSample() const {
    const double mean = m_count > 0.0 ? m_sum / m_count : 0.0;
    const bool pauses = m_quietest > 0.0 && m_quietest < kPausesBelowMean * mean;
    const double noise = pauses ? kAboveNoise * m_quietest : 0.0;
    const double level = kOfMeanLevel * mean;
    return std::max({DELAY_SEARCH_BLOCK_ENERGY_PER_SAMPLE, noise, level});
  }
  // The quietest level seen, per sample: the most of a stretch that may
  // be noise (0 before any stretch).
  double Noise() const { return std::max(m_quietest, 0.0); }
  // A stretch of `samples` samples holds material to re-check.
  bool Holds(double energy, uint32_t samples) const { return energy > PerSample() * double(samples); }

 private:
  double m_quietest = -1.0;
  double m_sum = 0.0;
  double m_count = 0.0;
};
