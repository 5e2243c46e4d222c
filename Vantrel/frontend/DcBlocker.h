// The DC blocker of one signal channel: a first difference followed by a
// one-pole leak, y[n] = K (w[n]), w[n] = x[n] - x[n-1] + p w[n-1], with the
// gain K = 0.5 (1 + p) that makes the response at half the sample rate
// exactly 1. The recurrence runs in blocks of four samples counted from
// the reset (primitives/fir/dc_block_kernels.h), so that its latency is
// paid once a block; the state runs on from call to call, and the output
// does not depend on how the samples are split between calls.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"
#include "primitives/fir/dc_block_kernels.h"

class FRONT_END_INTERNAL CDcBlocker {
 public:
  // Most blockers ProcessLanes runs side by side.
  static constexpr int kMaxLanes = 4;

  CDcBlocker();

  // Clears the state (the previous input and the filter state).
  void ResetState();
  // Filters n samples from src to dst (they may be the same array); every
  // output is also multiplied by `scale`. `unused` is not read.
  void Process(const float* src, float* dst, float scale, int unused, int n);
  // Process for up to kMaxLanes blockers at once, n samples each: blocker
  // i filters src[i] into dst[i]. Four lanes run in one vector; each lane
  // does exactly Process's arithmetic and so gives the same bits. The
  // blockers must differ, and no dst may overlap another lane's src or dst.
  static void ProcessLanes(CDcBlocker* const blockers[], const float* const src[], float* const dst[], int lanes,
                           float scale, int n);

  float Pole() const { return m_pole; }

 private:
  float Gain(float scale) const { return scale * m_inputGain * (m_poleGain + m_pole); }
  SpkDcBlockLane Lane(const float* src, float* dst, float scale) const;
  void Keep(const SpkDcBlockLane& lane);

  float m_inputGain = 0.5f;
  float m_pole;
  float m_poleGain = 1.0f;
  float m_prevInput = 0.0f;
  float m_prevState = 0.0f;  // w at the end of the last whole block of four
  float m_partial = 0.0f;    // the block's sum so far
  int32_t m_phase = 0;       // samples of the current block taken
};
