// The delay compensation's frame output: the delayed samples of both signals
// fetched into the frame, the frame's delay header and the test level
// aligned to the reference.
#include <algorithm>
#include <cstdlib>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"

void CDelayCompensationImpl::WriteUnwrittenFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc) {
  // Nothing was fetched: the frame says so rather than pass for a valid one.
  if (frame != nullptr) {
    frame->header.delay = 0;
    frame->header.delayStatus = DELAY_STATUS_CALCULATING;
    frame->header.quality = 0;
    frame->header.reserved = 0;
    frame->header.delayValid = 0;
    frame->header.channels = m_sys->channels;
  }
  if (desc != nullptr) *desc = FRAMEBUFFERDESC{0, 0, 0};
}

int CDelayCompensationImpl::WriteFrameOutput(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2],
                                             MONITORDATA* monitor, int32_t marks) {
  const SYSPARA& sys = *m_sys;
  FRAMEHEADER& header = frame->header;
  if (m_trackingMode != 0) {
    header.refEnergy = MeanBlockEnergy(0);
    header.testEnergy = MeanBlockEnergy(1);
  } else {
    header.refEnergy = sys.levelPara.referencePower;
    header.testEnergy = sys.levelPara.testPower;
  }
  const int fetched = FetchOutputSamples(frame, samples, sys.delayPara.allowPadding);
  const bool delayValid = fetched == FETCH_COMPLETE || fetched == FETCH_PADDED;
  switch (fetched) {
    case FETCH_COMPLETE:
    case FETCH_PADDED:
    case FETCH_NOT_ENOUGH_DATA: break;
    case FETCH_DELAY_CLAMPED:
      if (m_reading.status != DELAY_STATUS_CALCULATING) m_reading.status = DELAY_STATUS_CLAMPED;
      break;
    default:
      VANTREL_TRACE(TRACE_ORDINARY, "CDelayCompensationImpl::ProcessFrame(), Unknown return code from GetSamples\n");
      std::exit(1);
  }
  m_reading.status |= marks;

  header.delay = -m_reading.delay;
  header.delayStatus = m_reading.status;
  header.quality = m_reading.quality;
  header.reserved = 0;
  header.delayValid = delayValid ? 1 : 0;
  header.channels = sys.channels;
  *desc = FRAMEBUFFERDESC{m_outputLen, 0, 0};

  ApplyLevelAlignment(frame, samples, fetched);
  if (monitor != nullptr) monitor->Add(float(m_reading.delay), -32767.0f, 32767.0f, "UsedDelay");
  return fetched;
}

int CDelayCompensationImpl::FetchOutputSamples(FRAMEDATA* frame, float* (*samples)[2][2], int allowPadding) {
  // The signal ahead is read that much further back.
  const int delay = m_reading.delay;
  const int signalDelay[2] = {delay >= 0 ? 0 : -delay, delay >= 0 ? delay : 0};
  int result = FETCH_COMPLETE;
  const int channels = std::min(m_sys->channels, 2);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < channels; ++c) {
      float* dest = samples != nullptr ? (*samples)[d][c] : nullptr;
      const int code = m_delayBuffer->CopySamples(d, c, signalDelay[d], int(m_outputLen), dest,
                                                  m_sys->levelPara.useFiltered, allowPadding);
      // A direction left unwritten must not hide behind another code.
      if (code != FETCH_COMPLETE && result != FETCH_NOT_ENOUGH_DATA) result = code;
      WAVEPARA format;
      m_delayBuffer->GetWaveFormat(d, c, &format);
      frame->header.sampleRate[d][c] = format.sampleRate;
      frame->header.bitsPerSample[d][c] = format.bitsPerSample;
    }
  return result;
}

void CDelayCompensationImpl::ApplyLevelAlignment(FRAMEDATA* frame, float* (*samples)[2][2], int fetchCode) {
  const FRAMEHEADER& header = frame->header;
  const LEVELPARA& level = m_sys->levelPara;
  float g = m_levelGain.Next(header.refEnergy, header.testEnergy, level.levelAlign != 0);
  if (level.invertTest != 0) g = -g;
  if (level.invertOnNegative != 0 && level.invertTest == 0 && m_reading.quality < 0) g = -g;
  // Only samples this frame copied are scaled, and exactly those.
  if (g == 1.0f || fetchCode == FETCH_NOT_ENOUGH_DATA || samples == nullptr) return;
  const int channels = std::min(header.channels, 2);
  for (int c = 0; c < channels; ++c)
    if ((*samples)[1][c] != nullptr) duvuvMulConstInPlaceF32(g, (*samples)[1][c], int32_t(m_outputLen));
}
