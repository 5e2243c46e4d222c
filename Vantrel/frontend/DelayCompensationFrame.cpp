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
// A search result is reliable from a strong peak's correlation on.
constexpr int kReliableQuality = int(CCorrelatorSet::kStrongPeak * 100.0f + 0.5f);

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
  const DELAYPARAEXT& delayPara = m_sys->delayPara;
  if (frame != nullptr && frame->header.resetAverage != 0) m_energy.Clear();
  const int32_t marks = m_reading.status & kStatusMarks;
  m_reading.status = StatusWord(m_reading.status);
  const int tracking = delayPara.trackVariableDelay;
  m_estimator.NextFrame();
  m_confirmation.NextFrame(m_trackingMode != 0 || tracking != 0);

  m_delayBuffer->ProcessInput(m_swapTestChannels);
  const int ret = UpdateEnergyHistory() == 0 ? 2 : 1;

  const bool held = delayPara.hold != 0 && m_state != DELCOMP_FILLINGBUFFERS;
  // The first search, before any delay was found (a search the re-check
  // restarted goes on from one).
  const bool searching = m_state == DELCOMP_FILLINGBUFFERS || (m_state == DELCOMP_CALCDELAY && !m_searchRestarted);
  // The block in which the input ends is partly padding: it decides
  // nothing about a delay a frame already carries.
  const bool lastBlock = ret == 2 && !searching && StatusWord(m_reading.status) != 0;
  if (held) {
    HoldDelay();
  } else if (ret == 2 && searching) {
    EndInputBeforeDelay();
  } else if (!lastBlock) {
    const bool filling = m_state == DELCOMP_FILLINGBUFFERS;
    StepDelayState(RealtimeInputBusy(), monitor);
    // Nothing can be fetched before the ring has filled.
    if (filling) {
      WriteUnwrittenFrame(frame, desc);
      return ret;
    }
  }

  // A search that could not transform has no delay to give.
  if (m_estimator.Failed()) {
    NoteRefusal(RefusalCode::MathFailure, "CDelayCompensationImpl::ProcessFrame", -1,
                "the delay search's transform failed in this run; a new Go starts afresh");
    return 0;
  }
  // A held or fixed delay stays where it is; before a search has found a
  // delay, the tracker has none to follow.
  const bool delayFound = m_state != DELCOMP_CALCDELAY || m_searchRestarted;
  if (tracking != 0 && m_estimator.Result() != nullptr && desc != nullptr && !held && ret != 2 && m_state != DELCOMP_FIXED &&
      delayFound)
    TrackVariableDelay(frame, monitor);
  HoldStatusToConfirmation();
  // A delay whose correlation has fallen below what a search needs to
  // call one reliable is not called reliable.
  if (StatusWord(m_reading.status) == DELAY_STATUS_RELIABLE && std::abs(m_reading.quality) < kReliableQuality)
    m_reading.status = WithStatusWord(m_reading.status, DELAY_STATUS_UNCERTAIN);
  if (frame == nullptr || desc == nullptr) return ret;
  return WriteFrameOutput(frame, desc, samples, monitor, marks);
}
