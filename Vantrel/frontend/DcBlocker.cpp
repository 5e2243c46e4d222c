#include "Vantrel/frontend/DcBlocker.h"

#include <bit>
#include <cstdint>

namespace {

// 0.9997382 as the float it has always been stored as: a corner of about
// 2 Hz at 48 kHz.
constexpr uint32_t kPoleBits = 0x3F7FEED8u;

}  // namespace

CDcBlocker::CDcBlocker() : m_pole(std::bit_cast<float>(kPoleBits)) {}

void CDcBlocker::ResetState() {
  m_prevInput = 0.0f;
  m_prevState = 0.0f;
}

void CDcBlocker::Process(const float* src, float* dst, float scale, int, int n) {
  const float gain = scale * m_inputGain * (m_poleGain + m_pole);
  for (int i = 0; i < n; ++i) {
    const float x = src[i];
    const float w = x - m_prevInput + m_pole * m_prevState;
    dst[i] = gain * w;
    m_prevInput = x;
    m_prevState = w;
  }
}
