// The running mean of the qualities tracking has given over the whole
// measurement. Past kCountLimit frames the sum folds to one frame's worth,
// so that a run of any length never loses the mean to rounding or wraps
// the count.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"

class FRONT_END_INTERNAL CTrackMean {
 public:
  static constexpr int32_t kCountLimit = 1 << 24;

  void Clear() {
    m_sum = 0.0f;
    m_count = 0;
  }
  void Add(float quality) {
    m_sum += quality;
    if (++m_count >= kCountLimit) {
      m_sum *= 1.0f / float(kCountLimit);
      m_count = 1;
    }
  }
  bool Empty() const { return m_count <= 0; }
  // Only when not Empty.
  float Mean() const { return m_sum / float(m_count); }
  int32_t Count() const { return m_count; }

 private:
  float m_sum = 0.0f;
  int32_t m_count = 0;
};
