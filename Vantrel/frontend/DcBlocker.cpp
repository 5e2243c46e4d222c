#include "Vantrel/frontend/DcBlocker.h"

#include <bit>
#include <cstdint>

#include "Mathlib/MathlibDcBlock.h"

namespace {

// 0.9997382 as the float it has always been stored as: a corner of about
// 2 Hz at 48 kHz.
constexpr uint32_t kPoleBits = 0x3F7FEED8u;

// One filter step; the one expression of every path here, and the one the
// four-lane kernel rounds alike.
inline float Step(float x, float prevInput, float pole, float prevState) { return x - prevInput + pole * prevState; }

// The state is held in locals: dst is a float array that could alias the
// members, which would otherwise be stored and reloaded on every sample.
template <int Lanes>
void RunLanes(const float* const src[], float* const dst[], const float pole[], const float gain[], float prevInput[],
              float prevState[], int n) {
  const float* in[Lanes];
  float* out[Lanes];
  float p[Lanes], k[Lanes], last[Lanes], state[Lanes];
  for (int lane = 0; lane < Lanes; ++lane) {
    in[lane] = src[lane];
    out[lane] = dst[lane];
    p[lane] = pole[lane];
    k[lane] = gain[lane];
    last[lane] = prevInput[lane];
    state[lane] = prevState[lane];
  }
  for (int i = 0; i < n; ++i)
#pragma GCC unroll 4
    for (int lane = 0; lane < Lanes; ++lane) {
      const float x = in[lane][i];
      const float w = Step(x, last[lane], p[lane], state[lane]);
      out[lane][i] = k[lane] * w;
      last[lane] = x;
      state[lane] = w;
    }
  for (int lane = 0; lane < Lanes; ++lane) {
    prevInput[lane] = last[lane];
    prevState[lane] = state[lane];
  }
}

}  // namespace

CDcBlocker::CDcBlocker() : m_pole(std::bit_cast<float>(kPoleBits)) {}

void CDcBlocker::ResetState() {
  m_prevInput = 0.0f;
  m_prevState = 0.0f;
}

void CDcBlocker::Process(const float* src, float* dst, float scale, int, int n) {
  const float gain = Gain(scale);
  float prevInput = m_prevInput;
  float prevState = m_prevState;
  for (int i = 0; i < n; ++i) {
    const float x = src[i];
    const float w = Step(x, prevInput, m_pole, prevState);
    dst[i] = gain * w;
    prevInput = x;
    prevState = w;
  }
  m_prevInput = prevInput;
  m_prevState = prevState;
}

void CDcBlocker::ProcessLanes(CDcBlocker* const blockers[], const float* const src[], float* const dst[], int lanes,
                              float scale, int n) {
  if (lanes <= 0) return;
  if (lanes > kMaxLanes) lanes = kMaxLanes;
  float pole[kMaxLanes], gain[kMaxLanes], prevInput[kMaxLanes], prevState[kMaxLanes];
  for (int lane = 0; lane < lanes; ++lane) {
    pole[lane] = blockers[lane]->m_pole;
    gain[lane] = blockers[lane]->Gain(scale);
    prevInput[lane] = blockers[lane]->m_prevInput;
    prevState[lane] = blockers[lane]->m_prevState;
  }
  switch (lanes) {
    case 1: RunLanes<1>(src, dst, pole, gain, prevInput, prevState, n); break;
    case 2: RunLanes<2>(src, dst, pole, gain, prevInput, prevState, n); break;
    case 3: RunLanes<3>(src, dst, pole, gain, prevInput, prevState, n); break;
    // Four lanes in one vector of the running set, the same operations on each.
    default: MathlibDcBlockFourLanesF32(src, dst, pole, gain, prevInput, prevState, n); break;
  }
  for (int lane = 0; lane < lanes; ++lane) {
    blockers[lane]->m_prevInput = prevInput[lane];
    blockers[lane]->m_prevState = prevState[lane];
  }
}
