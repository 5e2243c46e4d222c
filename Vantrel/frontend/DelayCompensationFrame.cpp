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
  const DELAYPARAEXT& delayPara = m_sys->delayPara;
  if (frame != nullptr && frame->header.resetAverage != 0) m_energy.Clear();
  const int32_t marks = m_reading.status & kStatusMarks;
  m_reading.status = StatusWord(m_reading.status);
  const int tracking = delayPara.trackVariableDelay;
  m_estimator.NextFrame();
  m_confirmation.NextFrame(Tracked());
  m_gate.BeginFrame();

  m_delayBuffer->ProcessInput(m_swapTestChannels);
  m_samplesRead += m_frameLen;
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
  TrackReport track;
  if (tracking != 0 && m_estimator.Result() != nullptr && desc != nullptr && !held && ret != 2 &&
      m_state != DELCOMP_FIXED && delayFound)
    track = TrackVariableDelay(frame, monitor);
  // The delay is final for this frame: what of it is input is known once,
  // for the gate and for the fetch.
  int signalDelay[2];
  SignalDelays(signalDelay);
  const FrameInput input = InputOfFrame(signalDelay);
  if (!lastBlock) {
    NotePause();
    DecideReliable(track, input.realSamples);
  }
  if (frame == nullptr || desc == nullptr) return ret;
  return WriteFrameOutput(frame, desc, samples, monitor, marks, signalDelay, input);
}

void CDelayCompensationImpl::NotePause() {
  const bool tracked = Tracked();
  if (!tracked || !(m_estimator.RecheckRan() || m_estimator.RecheckWeak())) return;
  // A pause as long as half the re-check's history may hide a step that
  // the mean of its blocks would not show: the blocks before it vouch for
  // nothing after it. Gaps between words are shorter.
  const int64_t pauseSamples = int64_t(CCorrelatorSet::kHistoryBlocks / 2) * int64_t(m_frameLen);
  const int64_t blockFirst = AlignedEnd() - int64_t(m_frameLen);
  if (m_gate.NoteBlocks(m_estimator.RecheckWeak(), blockFirst, pauseSamples)) m_estimator.ClearRecheckHistory();
}

void CDelayCompensationImpl::DecideReliable(const TrackReport& track, uint32_t realSamples) {
  ReliableEvidence evidence;
  evidence.tracked = Tracked();
  evidence.confirmation = m_confirmation.Evidence();
  evidence.drift = m_confirmation.DriftNow(m_frameLen);
  evidence.maxDelay = m_maxDelaySamples;
  evidence.pauseEnd = m_gate.PauseEnd();
  evidence.inPause = evidence.tracked && m_gate.InPause(AlignedEnd());
  evidence.blocksSayOtherwise = m_estimator.NewestBlockDisagrees() || track.belowMean;
  FrameEvidence& frame = evidence.frame;
  frame.delay = m_reading.delay;
  frame.quality = m_reading.quality;
  frame.samples = {AlignedEnd() - int64_t(m_outputLen), AlignedEnd()};
  frame.realSamples = int64_t(realSamples);
  frame.predicted = track.predicted;
  m_gate.Decide(evidence);
}
