// A small measurement algorithm module, as a vendor would write one: it
// derives from CMsystem, keeps one channel per signal, measures the mean
// power of reference and test over the frames that belong to the
// measurement, and answers the host's queries.
#pragma once

#include <cmath>

#include "Vantrel/MSystem.h"

// Query ids of this algorithm (3 is the framework's work-buffer size).
constexpr uint32_t QUERY_MEASURED_FRAMES = 100;
constexpr uint32_t QUERY_REFERENCE_LEVEL_DB = 101;
constexpr uint32_t QUERY_TEST_LEVEL_DB = 102;
constexpr uint32_t QUERY_ALGORITHM_NAME = 103;

class CLevelMeter : public CMsystem {
 public:
  using CMsystem::Query;

  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    if (sys == nullptr) return;
    sys->channels = 1;
    for (int direction = 0; direction < 2; ++direction) sys->routingTable[direction][0] = INPUTMUXPARA{direction, 0};
  }

  int ProcessFrame(void* framePointer, float* (*samples)[2][2]) override {
    const int goesOn = CMsystem::ProcessFrame(framePointer, samples);
    const FRAMEDATA* frame = static_cast<const FRAMEDATA*>(framePointer);
    if (goesOn == 0 || frame->header.delayValid == 0) return goesOn;
    const FRAMEBUFFERDESC& desc = frame->desc;
    for (int direction = 0; direction < 2; ++direction) {
      const float* channel = samples != nullptr ? (*samples)[direction][0] : frame->samples[direction][0];
      for (uint32_t i = 0; i < desc.count; ++i) {
        const double x = channel[desc.start + i];
        m_sumSquares[direction] += x * x;
      }
    }
    m_samples += desc.count;
    ++m_measuredFrames;
    return goesOn;
  }

  int Query(uint32_t id, CQueryResult& result) override {
    switch (id) {
      case QUERY_WORK_BUFFER_SIZE:
        result.ulongValue = AlgorithmPara().outputLength * static_cast<uint32_t>(sizeof(float));
        return 1;
      case QUERY_MEASURED_FRAMES: result.ulongValue = m_measuredFrames; return 1;
      case QUERY_REFERENCE_LEVEL_DB:
      case QUERY_TEST_LEVEL_DB:
        if (m_samples == 0) return 0;
        result.floatValue = static_cast<float>(
            10.0 * std::log10(m_sumSquares[id == QUERY_TEST_LEVEL_DB ? 1 : 0] / static_cast<double>(m_samples)));
        return 1;
      case QUERY_ALGORITHM_NAME: result.stringValue = &m_name; return 1;
      default: return 0;
    }
  }

  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }

 private:
  double m_sumSquares[2] = {0.0, 0.0};
  uint64_t m_samples = 0;
  uint32_t m_measuredFrames = 0;
  CString m_name = "Level meter";
};
