#include "Vantrel/frontend/DcBlocker.h"

#include <bit>
#include <cstdint>

#include "Mathlib/MathlibDcBlock.h"

namespace {

// 0.9997382 as the float it has always been stored as: a corner of about
// 2 Hz at 48 kHz.
constexpr uint32_t kPoleBits = 0x3F7FEED8u;

}  // namespace

CDcBlocker::CDcBlocker() : m_pole(std::bit_cast<float>(kPoleBits)) {}

void CDcBlocker::ResetState() {
  m_prevInput = 0.0f;
  m_prevState = 0.0f;
  m_partial = 0.0f;
  m_phase = 0;
}

SpkDcBlockLane CDcBlocker::Lane(const float* src, float* dst, float scale) const {
  return SpkDcBlockLane{src, dst, m_pole, Gain(scale), m_prevInput, m_prevState, m_partial, m_phase};
}

void CDcBlocker::Keep(const SpkDcBlockLane& lane) {
  m_prevInput = lane.prevInput;
  m_prevState = lane.blockState;
  m_partial = lane.partial;
  m_phase = lane.phase;
}

void CDcBlocker::Process(const float* src, float* dst, float scale, int, int n) {
  if (n <= 0) return;
  SpkDcBlockLane lane = Lane(src, dst, scale);
  MathlibDcBlockLanesF32(&lane, 1, n);
  Keep(lane);
}

void CDcBlocker::ProcessLanes(CDcBlocker* const blockers[], const float* const src[], float* const dst[], int lanes,
                              float scale, int n) {
  if (lanes <= 0 || n <= 0) return;
  if (lanes > kMaxLanes) lanes = kMaxLanes;
  SpkDcBlockLane state[kMaxLanes];
  for (int lane = 0; lane < lanes; ++lane) state[lane] = blockers[lane]->Lane(src[lane], dst[lane], scale);
  // Four lanes go in one vector of the running set, the same steps on each.
  MathlibDcBlockLanesF32(state, lanes, n);
  for (int lane = 0; lane < lanes; ++lane) blockers[lane]->Keep(state[lane]);
}
