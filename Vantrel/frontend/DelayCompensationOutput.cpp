// The delay compensation's frame output: the delayed samples of both signals
// fetched into the frame, what of them is input, the frame's delay header
// and the test level aligned to the reference.
#include <algorithm>
#include <cstdlib>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/DelayCompensation.h"

void CDelayCompensationImpl::WriteUnwrittenFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc) {
  // Nothing was fetched: the frame says so rather than pass for a valid one.
  if (frame != nullptr) {
    frame->header.delay = 0;
    frame->header.delayStatus = DELAY_STATUS_CALCULATING;
    frame->header.quality = 0;
    frame->header.realSamples = 0;
    frame->header.delayValid = 0;
    frame->header.channels = m_sys->channels;
  }
  if (desc != nullptr) *desc = FRAMEBUFFERDESC{0, 0, 0};
}

void CDelayCompensationImpl::SignalDelays(int delay, int (&signalDelay)[2]) {
  signalDelay[0] = delay >= 0 ? 0 : -delay;
  signalDelay[1] = delay >= 0 ? delay : 0;
}

CDelayCompensationImpl::FrameInput CDelayCompensationImpl::InputOfFrame(int delay) const {
  int signalDelay[2];
  SignalDelays(delay, signalDelay);
  FrameInput input;
  const int count = int(m_outputLen);
  // Every signal's input is one stretch of the frame: zeros before its
  // start, zeros past its end. The frame's input is where all of them are.
  int first = 0;
  int end = count;
  const int channels = std::min(m_sys->channels, 2);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < channels; ++c) {
      const SpanInput span = m_delayBuffer->InputInSpan(d, c, signalDelay[d], count);
      first = std::max(first, span.first);
      end = std::min(end, span.end);
      input.pastEnd = input.pastEnd || span.pastEnd;
      input.wholeSignalPastEnd = input.wholeSignalPastEnd || (span.pastEnd && span.Empty());
      if (d == 0 && (!span.Empty() || span.pastEnd)) input.referenceBegun = true;
    }
  input.realSamples = uint32_t(std::max(end - first, 0));
  return input;
}

int CDelayCompensationImpl::CodeBeforeFetch(const FrameInput& input) const {
  if (input.wholeSignalPastEnd) return FRAME_NONE;
  // The frames follow the reference from its first sample: the test may
  // begin later (zeros until then), but a frame before the reference is none.
  if (!input.referenceBegun && m_sys->delayPara.allowPadding == 0) return FETCH_NOT_ENOUGH_DATA;
  return FETCH_COMPLETE;
}

int CDelayCompensationImpl::WriteFrameOutput(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2],
                                             MONITORDATA* monitor, const FrameInput& input) {
  const SYSPARA& sys = *m_sys;
  FRAMEHEADER& header = frame->header;
  const int delay = m_machine.Reading().delay;
  int signalDelay[2];
  SignalDelays(delay, signalDelay);
  if (m_machine.Settings().trackingMode != 0) {
    header.refEnergy = m_energy.Mean(0);
    header.testEnergy = m_energy.Mean(1);
  } else {
    header.refEnergy = sys.levelPara.referencePower;
    header.testEnergy = sys.levelPara.testPower;
  }
  int fetched = CodeBeforeFetch(input);
  if (fetched == FETCH_COMPLETE) fetched = FetchOutputSamples(frame, samples, signalDelay, input);
  const bool delayValid = fetched == FETCH_COMPLETE || fetched == FETCH_PADDED;
  switch (fetched) {
    case FRAME_NONE:
    case FETCH_COMPLETE:
    case FETCH_PADDED:
    case FETCH_NOT_ENOUGH_DATA:
    case FETCH_DELAY_CLAMPED: break;
    default:
      VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::ProcessFrame(), Unknown return code from GetSamples\n");
      std::exit(1);
  }
  const bool copied = delayValid || fetched == FETCH_DELAY_CLAMPED;
  const uint32_t realSamples = copied ? input.realSamples : 0;
  header.delay = -delay;
  header.delayStatus = m_machine.FinishFrame(fetched == FETCH_DELAY_CLAMPED, realSamples);
  header.quality = m_machine.Reading().quality;
  header.realSamples = realSamples;
  // Without padding allowed, zeros standing in for a signal that has not
  // begun are no delayed samples: the frame keeps its place, not its
  // validity. The end frame's zeros are the input's end, as ever.
  const bool holdsPadding = sys.delayPara.allowPadding == 0 && !input.pastEnd && realSamples < m_outputLen;
  header.delayValid = delayValid && !holdsPadding ? 1 : 0;
  header.channels = sys.channels;
  *desc = FRAMEBUFFERDESC{m_outputLen, 0, 0};
  if (fetched == FRAME_NONE) return fetched;

  ApplyLevelAlignment(frame, samples, fetched);
  if (monitor != nullptr) monitor->Add(float(delay), -32767.0f, 32767.0f, "UsedDelay");
  return fetched;
}

int CDelayCompensationImpl::FetchOutputSamples(FRAMEDATA* frame, float* (*samples)[2][2], const int (&signalDelay)[2],
                                               const FrameInput& input) {
  int result = FETCH_COMPLETE;
  const int channels = std::min(m_sys->channels, 2);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < channels; ++c) {
      float* dest = samples != nullptr ? (*samples)[d][c] : nullptr;
      // Padding is always allowed here: InputOfFrame has said whether the
      // frame is one to hand out, and the zeros stand where input is missing.
      const int code =
          m_delayBuffer->CopySamples(d, c, signalDelay[d], int(m_outputLen), dest, m_sys->levelPara.useFiltered, 1);
      // A direction left unwritten must not hide behind another code.
      if (code != FETCH_COMPLETE && result != FETCH_NOT_ENOUGH_DATA) result = code;
      WAVEPARA format;
      m_delayBuffer->GetWaveFormat(d, c, &format);
      frame->header.sampleRate[d][c] = format.sampleRate;
      frame->header.bitsPerSample[d][c] = format.bitsPerSample;
    }
  // A block with a short read holds input before its zeros: the frame is
  // the last one only when it reaches past the input itself.
  if (result == FETCH_NOT_ENOUGH_DATA) return result;
  if (input.pastEnd) return FETCH_PADDED;
  return result == FETCH_PADDED ? FETCH_COMPLETE : result;
}

void CDelayCompensationImpl::ApplyLevelAlignment(FRAMEDATA* frame, float* (*samples)[2][2], int fetchCode) {
  const FRAMEHEADER& header = frame->header;
  const LEVELPARA& level = m_sys->levelPara;
  float g = m_levelGain.Next(header.refEnergy, header.testEnergy, level.levelAlign != 0);
  if (level.invertTest != 0) g = -g;
  if (level.invertOnNegative != 0 && level.invertTest == 0 && m_machine.Reading().quality < 0) g = -g;
  // Only samples this frame copied are scaled, and exactly those.
  if (g == 1.0f || fetchCode == FETCH_NOT_ENOUGH_DATA || samples == nullptr) return;
  const int channels = std::min(header.channels, 2);
  for (int c = 0; c < channels; ++c)
    if ((*samples)[1][c] != nullptr) duvuvMulConstInPlaceF32(g, (*samples)[1][c], int32_t(m_outputLen));
}
