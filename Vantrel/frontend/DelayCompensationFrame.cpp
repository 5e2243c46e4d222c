// The delay compensation's frame: one block read, the energy history, one
// step of the delay state machine, the tracking of a varying delay, then the
// frame's output.
#include <cmath>
#include <cstdlib>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/RefusalNote.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"

namespace {

constexpr double kActiveEnergyPerSample = 256.0;

static_assert(CReliableGate::kStrongQuality == int(CCorrelatorSet::kStrongPeak * 100.0f + 0.5f),
              "a frame is reliable from a strong peak's correlation on");

}  // namespace

int CDelayCompensationImpl::UpdateEnergyHistory() {
  m_energy.Advance();
  int result = 1;
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) {
      float* span1 = nullptr;
      float* span2 = nullptr;
      int len1 = 0;
      int len2 = 0;
      const int code = m_delayBuffer->GetSamples(d, c, 0, int(m_frameLen), &span1, &len1, &span2, &len2, 1, 0);
      if (code != FETCH_COMPLETE) {
        result = code == FETCH_NOT_ENOUGH_DATA ? 1 : 0;
        continue;
      }
      float energy = 0.0f;
      if (len1 > 0) energy += duvuvDotF32(span1, span1, len1);
      if (len2 > 0) energy += duvuvDotF32(span2, span2, len2);
      m_energy.Record(d, c, energy);
      if (d == 1 && c == 0 && double(energy) > kActiveEnergyPerSample * double(len1 + len2)) CountUp(m_activeBlocks);
    }
  m_energy.ClearWhenFull();
  return result;
}

int CDelayCompensationImpl::ProcessFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2],
                                         MONITORDATA* monitor, int) {
  if (m_delayBuffer == nullptr || m_sys == nullptr || !m_energy.Allocated()) {
    VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::ProcessFrame(), ERROR: not initialised\n");
    return FETCH_PADDED;
  }
  if (frame != nullptr && frame->header.resetAverage != 0) m_energy.Clear();
  m_delayBuffer->ProcessInput(m_swapTestChannels);
  m_samplesRead += m_frameLen;
  const int ret = UpdateEnergyHistory() == 0 ? 2 : 1;

  FrameFacts facts = ReadFrameFacts(ret == 2, desc != nullptr, monitor);
  // What of the frame is input is found once, at the frame's final delay,
  // for the gate and for the fetch alike.
  // (Two pointers: the call stays within std::function's own storage, no
  // allocation per frame.)
  struct {
    FrameInput input;
    bool known = false;
  } probe;
  facts.realSamples = [this, &probe](int delay) {
    probe.input = InputOfFrame(delay);
    probe.known = true;
    return probe.input.realSamples;
  };
  const FrameStep step = m_machine.Step(facts);
  if (step.unsnapTaken) m_sys->delayPara.unsnapRequest = 0;
  if (!step.fetches) {
    WriteUnwrittenFrame(frame, desc);
    return ret;
  }
  // A search that could not transform has no delay to give.
  if (step.failed) {
    NoteRefusal(RefusalCode::MathFailure, "CDelayCompensationImpl::ProcessFrame", -1,
                "the delay search's transform failed in this run; a new Go starts afresh");
    return 0;
  }
  if (frame == nullptr || desc == nullptr) return ret;
  if (!probe.known) probe.input = InputOfFrame(step.reading.delay);
  return WriteFrameOutput(frame, desc, samples, monitor, probe.input);
}
