// The DC blocker of one signal channel: a first difference followed by a
// one-pole leak, y[n] = K (w[n]), w[n] = x[n] - x[n-1] + p w[n-1], with the
// gain K = 0.5 (1 + p) that makes the response at half the sample rate
// exactly 1. The state runs on from block to block.
#pragma once

class CDcBlocker {
 public:
  CDcBlocker();

  // Clears the state (the previous input and the filter state).
  void ResetState();
  // Filters n samples from src to dst (they may be the same array); every
  // output is also multiplied by `scale`. `unused` is not read.
  void Process(const float* src, float* dst, float scale, int unused, int n);

  float Pole() const { return m_pole; }

 private:
  float m_inputGain = 0.5f;
  float m_pole;
  float m_poleGain = 1.0f;
  float m_prevInput = 0.0f;
  float m_prevState = 0.0f;
};
