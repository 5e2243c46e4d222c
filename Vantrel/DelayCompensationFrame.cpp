// The delay compensation's frame: one block read, the energy history, the
// delay state machine, the delayed output fetch, the frame header and the
// level alignment.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Mathlib/MathlibPrim.h"
#include "Vantrel/DelayBuffer.h"
#include "Vantrel/DelayCompensationImpl.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/FrontEndTrace.h"
#include "Vantrel/SysPara.h"

namespace {

constexpr double kActiveEnergyPerSample = 256.0;
constexpr uint32_t kEnergyReadsLimit = 1u << 30;
constexpr int32_t kBusyPercent = 9;
constexpr double kLevelEnergyFloor = 12800.0;
// A search result is reliable from a correlation above 0.6.
constexpr int kReliableQuality = 60;
// Blocks the search's correlators keep: after as many frames the search
// has none from before.
constexpr uint32_t kSearchHistoryBlocks = 16;

#define STATE_TRACE(name) FRONT_END_TRACE("CDelayCompensationImpl::ProcessFrame, state = " name "\n")

}  // namespace

int CDelayCompensationImpl::QualityPercent(double quality) {
  if (std::isnan(quality)) return 0;
  return int(std::clamp(quality, -100.0, 100.0));
}

int CDelayCompensationImpl::UpdateEnergyHistory() {
  if (++m_historyIndex >= m_historyLen) m_historyIndex = 0;
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
      double* history = m_energyHistory[d][c];
      m_energyTotal[d][c] += energy;
      if (m_energyReads < m_historyLen)
        m_energyWindow[d][c] += energy;
      else
        m_energyWindow[d][c] += energy - history[m_historyIndex];
      history[m_historyIndex] = energy;
      if (d == 1 && c == 0 && double(energy) > kActiveEnergyPerSample * double(len1 + len2)) ++m_activeBlocks;
      ++m_energyReads;
    }
  if (m_energyReads > kEnergyReadsLimit) ClearEnergyHistory();
  return result;
}

bool CDelayCompensationImpl::RealtimeInputBusy() {
  const int32_t* used = GetUsedInputs();
  if (used == nullptr) return false;
  for (int input = 0; input < 2; ++input) {
    const int mode = m_sys->inputPara[input].mode;
    if ((mode == INPUT_MODE_SOUND_DEVICE || mode == INPUT_MODE_TELEPHONE) && used[input] > kBusyPercent) return true;
  }
  return false;
}

void CDelayCompensationImpl::TakeResult(bool withQuality) {
  if (m_result == nullptr) return;
  if (withQuality) m_quality = QualityPercent(m_result->quality);
  m_delay = m_result->delay;
}

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

int CDelayCompensationImpl::ProcessFrame(FRAMEDATA* frame, FRAMEBUFFERDESC* desc, float* (*samples)[2][2],
                                         MONITORDATA* monitor, int) {
  if (m_delayBuffer == nullptr || m_sys == nullptr || m_energyHistory[0][0] == nullptr) {
    FRONT_END_TRACE("CDelayCompensationImpl::ProcessFrame(), ERROR: not initialised\n");
    return FETCH_PADDED;
  }
  SYSPARA& sys = *m_sys;
  DELAYPARAEXT& delayPara = sys.delayPara;
  if (frame != nullptr && frame->header.resetAverage != 0) ClearEnergyHistory();
  const int32_t highBits = m_status & int32_t(0xFFFF0000u);
  m_status &= 0xFFFF;
  m_recheckRan = 0;
  const int tracking = delayPara.trackVariableDelay;

  m_delayBuffer->ProcessInput(m_swapTestChannels);
  int ret = 1;
  if (UpdateEnergyHistory() == 0) ret = 2;

  const bool held = delayPara.hold != 0 && m_state != DELCOMP_FILLINGBUFFERS;
  if (held) {
    TakeResult(true);
    m_status = DELAY_STATUS_HELD;
  } else if (ret == 2 && (m_state == DELCOMP_FILLINGBUFFERS || m_state == DELCOMP_CALCDELAY)) {
    FRONT_END_TRACE("CDelayCompensationImpl::ProcessFrame, WARNING!!! EOF encountered before delay was found!\n");
    m_status = DELAY_STATUS_UNCERTAIN;
    m_state = DELCOMP_DELAYRELIABLE;
    m_unconfirmed = true;
    if (m_result == nullptr) m_quality = 0;
  } else {
    const bool busy = RealtimeInputBusy();
    switch (m_state) {
      case DELCOMP_FILLINGBUFFERS: {
        STATE_TRACE("DELCOMP_FILLINGBUFFERS");
        int fill = 0;
        int ring = 0;
        m_delayBuffer->GetFill(&fill, &ring);
        if (fill >= ring) m_state = DELCOMP_CALCDELAY;
        m_stateFrames = 0;
        m_quality = 0;
        m_delay = 0;
        m_status = DELAY_STATUS_CALCULATING;
        WriteUnwrittenFrame(frame, desc);
        return ret;
      }
      case DELCOMP_CALCDELAY:
        STATE_TRACE("DELCOMP_CALCDELAY");
        if (!busy) {
          ++m_stateFrames;
          int next = DetermineDelay();
          if (next == DELCOMP_DELAYRELIABLE && m_searchRestarted && m_result->delay == m_rejectedDelay &&
              m_stateFrames < kSearchHistoryBlocks)
            next = m_state;
          if (next != m_state && m_searchRestarted) {
            // The re-check's history is aligned by the rejected delay.
            m_recheckSet.ClearHistory();
            m_searchRestarted = false;
          }
          if (next != m_state) {
            m_stateFrames = 0;
            m_unconfirmed = false;
          }
          m_state = next;
        }
        TakeResult(true);
        m_status = DELAY_STATUS_CALCULATING;
        break;
      case DELCOMP_DELAYRELIABLE:
        STATE_TRACE("DELCOMP_DELAYRELIABLE");
        ++m_stateFrames;
        if (m_trackingMode != 0) {
          const int r = busy ? m_state : RecheckDelay(&m_quality, monitor);
          if (r != DELCOMP_NOCHANGE) {
            m_state = r;
            if (r != DELCOMP_DELAYRELIABLE) m_stateFrames = 0;
            const uint64_t snapFrames = uint64_t(uint32_t(sys.inputPara[0].wave.sampleRate)) *
                                        uint32_t(delayPara.snapTimeMs) / (uint64_t(m_frameLen) * 1000u);
            if (m_stateFrames >= snapFrames && delayPara.snapEnable != 0) m_state = DELCOMP_SNAP;
          }
        } else {
          m_quality = m_result != nullptr ? QualityPercent(m_result->quality) : 0;
        }
        TakeResult(false);
        m_status = m_unconfirmed ? DELAY_STATUS_UNCERTAIN : DELAY_STATUS_RELIABLE;
        break;
      case DELCOMP_DELAYUNCERTAIN:
        STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
        ++m_stateFrames;
        if (m_trackingMode == 0) {
          STATE_TRACE("DELCOMP_DELAYUNCERTAIN");
          m_status = DELAY_STATUS_UNCERTAIN;
          TakeResult(true);
        } else {
          const int r = RecheckDelay(&m_quality, monitor);
          TakeResult(false);
          if (r == DELCOMP_NOCHANGE) {
            m_status = DELAY_STATUS_UNCERTAIN;
          } else if (r == DELCOMP_DELAYUNCERTAIN) {
            if (m_stateFrames > 3) {
              // The search's history still holds the blocks that gave the
              // rejected delay: that delay takes fresh blocks to return.
              m_rejectedDelay = m_delay;
              m_searchRestarted = true;
              m_state = DELCOMP_CALCDELAY;
              m_stateFrames = 0;
              m_status = DELAY_STATUS_CALCULATING;
            } else {
              m_status = DELAY_STATUS_UNCERTAIN;
            }
          } else {
            m_state = r;
            m_stateFrames = 0;
            m_status = DELAY_STATUS_RELIABLE;
          }
        }
        break;
      case DELCOMP_SNAP:
        STATE_TRACE("DELCOMP_SNAP");
        TakeResult(true);
        m_status = DELAY_STATUS_SNAPPED;
        if (delayPara.unsnapRequest != 0) {
          m_status = DELAY_STATUS_UNCERTAIN;
          m_state = DELCOMP_DELAYUNCERTAIN;
          m_stateFrames = 0;
          delayPara.unsnapRequest = 0;
        }
        break;
      default:
        STATE_TRACE("default");
        m_quality = FIXED_DELAY_QUALITY;
        m_status = DELAY_STATUS_FIXED;
        m_delay = delayPara.fixedDelay;
        break;
    }
  }

  // A held or fixed delay stays where it is.
  if (tracking != 0 && m_result != nullptr && desc != nullptr && !held && m_state != DELCOMP_FIXED)
    TrackVariableDelay(frame, monitor);
  // A delay whose correlation has fallen below what a search needs to
  // call one reliable is not called reliable.
  if ((m_status & 0xFFFF) == DELAY_STATUS_RELIABLE && std::abs(m_quality) < kReliableQuality)
    m_status = (m_status & int32_t(0xFFFF0000u)) | DELAY_STATUS_UNCERTAIN;
  if (frame == nullptr || desc == nullptr) return ret;

  FRAMEHEADER& header = frame->header;
  if (m_trackingMode != 0) {
    header.refEnergy = m_energyReads != 0 ? m_energyTotal[0][0] / double(m_energyReads) : 0.0;
    header.testEnergy = m_energyReads != 0 ? m_energyTotal[1][0] / double(m_energyReads) : 0.0;
  } else {
    header.refEnergy = sys.levelPara.referencePower;
    header.testEnergy = sys.levelPara.testPower;
  }
  m_refDelay = m_delay >= 0 ? 0 : -m_delay;
  m_testDelay = m_delay >= 0 ? m_delay : 0;

  const int fetched = FetchOutputSamples(frame, desc, samples, delayPara.allowPadding);
  m_delayValid = (fetched == FETCH_COMPLETE || fetched == FETCH_PADDED) ? 1 : 0;
  int result = 0;
  switch (fetched) {
    case FETCH_COMPLETE:
    case FETCH_PADDED:
    case FETCH_NOT_ENOUGH_DATA: result = fetched; break;
    case FETCH_DELAY_CLAMPED:
      result = fetched;
      if (m_status != DELAY_STATUS_CALCULATING) m_status = DELAY_STATUS_CLAMPED;
      break;
    default:
      FRONT_END_TRACE("CDelayCompensationImpl::ProcessFrame(), Unknown return code from GetSamples\n");
      std::exit(1);
  }
  m_status |= highBits;

  header.delay = -m_delay;
  header.delayStatus = m_status;
  header.quality = m_quality;
  header.reserved = 0;
  header.delayValid = uint8_t(m_delayValid);
  header.channels = sys.channels;
  *desc = FRAMEBUFFERDESC{m_outputLen, 0, 0};

  ApplyLevelAlignment(frame, desc, samples, fetched);
  if (monitor != nullptr) monitor->Add(float(m_delay), -32767.0f, 32767.0f, "UsedDelay");
  return result;
}

int CDelayCompensationImpl::FetchOutputSamples(FRAMEDATA* frame, FRAMEBUFFERDESC*, float* (*samples)[2][2],
                                               int allowPadding) {
  int result = FETCH_COMPLETE;
  const int channels = std::min(m_sys->channels, 2);
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < channels; ++c) {
      float* dest = samples != nullptr ? (*samples)[d][c] : nullptr;
      const int code = m_delayBuffer->CopySamples(d, c, d == 0 ? m_refDelay : m_testDelay, int(m_outputLen), dest,
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

void CDelayCompensationImpl::ApplyLevelAlignment(FRAMEDATA* frame, FRAMEBUFFERDESC*, float* (*samples)[2][2],
                                                 int fetchCode) {
  const FRAMEHEADER& header = frame->header;
  const LEVELPARA& level = m_sys->levelPara;
  double ratio = 1.0;
  if (header.testEnergy != 0.0 && level.levelAlign != 0)
    ratio = std::sqrt(header.refEnergy) / std::sqrt(header.testEnergy);
  // A ratio a float cannot hold (or none at all) is out of the accepted range.
  float g = std::fabs(ratio) < 1e30 ? float(ratio) : std::numeric_limits<float>::infinity();
  if (header.refEnergy > kLevelEnergyFloor && header.testEnergy > kLevelEnergyFloor && g > 1e-6f && g < 1e6f)
    m_gain = g;
  else
    g = m_gain;
  if (level.invertTest != 0) g = -g;
  if (level.invertOnNegative != 0 && level.invertTest == 0 && m_quality < 0) g = -g;
  // Only samples this frame copied are scaled, and exactly those.
  if (g == 1.0f || fetchCode == FETCH_NOT_ENOUGH_DATA || samples == nullptr) return;
  const int channels = std::min(header.channels, 2);
  for (int c = 0; c < channels; ++c)
    if ((*samples)[1][c] != nullptr) duvuvMulConstInPlaceF32(g, (*samples)[1][c], int32_t(m_outputLen));
}
