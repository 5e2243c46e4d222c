// CMsystem::ProcessFrame: one frame through the trigger events and the
// delay compensation.
#include "Vantrel/MSystem.h"

#include <algorithm>
#include <cstdint>

#include "Vantrel/RefusalNote.h"
#include "Vantrel/VantrelTrace.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/DelayCompensation.h"
#include "Vantrel/stages/InputMux.h"
#include "wavio/SoundFile.h"

namespace {

// The position wraps at 2^32 - 1, not 2^32.
constexpr uint64_t kSamplePositionModulus = 0xFFFFFFFFull;

}  // namespace

uint32_t CMsystem::AdvanceSamplePosition(uint32_t position, uint64_t samples) {
  return static_cast<uint32_t>((position + samples % kSamplePositionModulus) % kSamplePositionModulus);
}

int CMsystem::ProcessFrame(void* framePointer, float* (*samples)[2][2]) {
  // Once the input has ended, the frames that follow keep the reason of
  // the frame that ended it.
  const RefusalScope refusals(&m_lastRefusal, m_endReached == 0);
  if (!FrameCanBeProcessed(framePointer, samples)) return 0;
  FRAMEDATA* frame = static_cast<FRAMEDATA*>(framePointer);
  FRAMEHEADER& header = frame->header;
  StartFrameHeader(&header);

  CheckTrigger(&m_sysPara, TRIGGER_BEFORE_SAMPLES, frame);

  float* ownSamples[2][2] = {
      {frame->samples[0][0], frame->samples[0][1]},
      {frame->samples[1][0], frame->samples[1][1]},
  };
  if (samples == nullptr) samples = &ownSamples;
  int calls = 0;
  const int code = FetchFrame(frame, samples, &calls);

  m_frameFlag = 1;  // a cleared flag holds for one frame

  m_samplePosition = AdvanceSamplePosition(m_samplePosition, InputAdvance(calls));
  header.samplePosition = m_samplePosition;

  int result = ResultOfFetch(code);
  if (result == 0) header.endOfMeasurement = 1;

  CheckTrigger(&m_sysPara, TRIGGER_AFTER_SAMPLES, frame);
  if (header.endOfMeasurement != 0) result = 0;
  if (result == 0 && m_endReached != 0 && !m_decodeChecked) {
    m_decodeChecked = true;
    NoteInputDecodedShort();
  }

  const int32_t used0 = m_frontEnd.usedInputs != nullptr ? m_frontEnd.usedInputs[0] : 0;
  const int32_t used1 = m_frontEnd.usedInputs != nullptr ? m_frontEnd.usedInputs[1] : 0;
  frame->monitor.Add(static_cast<float>(used0), 0.0f, 100.0f, "UsedInp0");
  frame->monitor.Add(static_cast<float>(used1), 0.0f, 100.0f, "UsedInp1");
  return result;
}

bool CMsystem::FrameCanBeProcessed(void* framePointer, float* (*samples)[2][2]) const {
  if (framePointer == nullptr) {
    TraceRefusal(RefusalCode::NotReady, "CMsystem::ProcessFrame", -1, "no frame");
    return false;
  }
  if (m_frontEnd.ready == 0) {
    TraceRefusal(RefusalCode::NotReady, "CMsystem::ProcessFrame", -1, "no successful Init");
    return false;
  }
  if (m_frontEnd.started == 0) {
    TraceRefusal(RefusalCode::NotReady, "CMsystem::ProcessFrame", -1,
                 "the inputs are not started (no successful Go since Init)");
    return false;
  }
  if (samples == nullptr && m_deliveredLength > FRAME_MAX_OUTPUT_LENGTH) {
    // The front end writes the delivered length plus its spare into
    // each sample buffer; the frame's own hold 2304 samples.
    TraceRefusal(RefusalCode::Range, "CMsystem::ProcessFrame", -1,
                 "%u samples per frame need the host's sample buffers (a frame holds %u)", m_deliveredLength,
                 FRAME_MAX_OUTPUT_LENGTH);
    return false;
  }
  return true;
}

void CMsystem::StartFrameHeader(FRAMEHEADER* header) {
  const int32_t rate = m_sysPara.inputPara[0].wave.sampleRate;
  for (int direction = 0; direction < 2; ++direction)
    for (int channel = 0; channel < 2; ++channel) header->sampleRate[direction][channel] = rate;
  header->frameNumber = m_frameCounter;
  // Numbers start again at 0 after the largest, as the sample position wraps.
  m_frameCounter = m_frameCounter < INT32_MAX ? m_frameCounter + 1 : 0;
  header->refEnergy = 0.0;
  header->testEnergy = 0.0;
  if (m_algorithmPara.frameLength > LONG_FRAME_THRESHOLD) header->longFrame = 1;
  header->endOfMeasurement = 0;
  header->resetAverage = m_resetAverageRequest != 0 ? 1 : 0;
  m_resetAverageRequest = 0;
}

int CMsystem::FetchFrame(FRAMEDATA* frame, float* (*samples)[2][2], int* calls) {
  int code = FETCH_PADDED;
  if (m_endReached == 0) {
    do {
      code = m_frontEnd.delayCompensation->ProcessFrame(frame, &frame->desc, samples, &frame->monitor, m_frameFlag);
      ++*calls;
    } while (code == FETCH_NOT_ENOUGH_DATA);
  } else {
    frame->header.realSamples = 0;
  }
  return code;
}

uint64_t CMsystem::InputAdvance(int calls) {
  // Every call reads one frame of the inputs, a repeated one too.
  const int64_t position = m_frontEnd.delayBuffer->InputPosition();
  if (position < 0) return uint64_t(std::max(calls, 1)) * m_algorithmPara.frameLength;
  const int64_t advance = std::max<int64_t>(position - m_inputPosition, 0);
  m_inputPosition = position;
  return uint64_t(advance);
}

int CMsystem::ResultOfFetch(int code) {
  switch (code) {
    case FETCH_COMPLETE:
    case FETCH_DELAY_CLAMPED: return 1;
    case FETCH_PADDED: {
      const int result = (m_fileEndHandling == 1 && m_endReached == 0) ? 1 : 0;
      m_endReached = 1;
      return result;
    }
    case FRAME_NONE:
      // Nothing past the inputs' end is a frame.
      m_endReached = 1;
      return 0;
    default: return 0;
  }
}

void CMsystem::NoteInputDecodedShort() {
  for (int input = 0; input < 2; ++input) {
    DecodeProgress progress;
    // Only an input that has ended tells; the other may decode on.
    if (m_frontEnd.inputMux == nullptr || !m_frontEnd.inputMux->FileProgress(input, &progress) || !progress.ended)
      continue;
    const bool cutShort = progress.promised >= 0 && progress.decoded < progress.promised;
    if (!cutShort && !progress.decoderFailed) continue;
    const std::string of = progress.promised >= 0 ? " of the " + std::to_string(progress.promised) + " its header gives"
                                                  : std::string();
    std::string reason = progress.reason;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '.')) reason.pop_back();
    const std::string why = reason.empty() ? std::string() : " (" + reason + ")";
    TraceRefusal(RefusalCode::DamagedFile, "CMsystem::ProcessFrame", input,
                 "the file %s of input %d stopped decoding at sample %lld%s%s: the frames end there",
                 m_sysPara.inputPara[input].fileName.c_str(), input, static_cast<long long>(progress.decoded),
                 of.c_str(), why.c_str());
    return;
  }
}

int CMsystem::CheckTrigger(SYSPARA* sys, int when, void* frame) {
  if (sys == nullptr) return 0;
  for (CTriggerEvent* event = sys->triggers.head; event != nullptr; event = event->next)
    if ((event->mask & when) != 0) {
      event->CheckNewEvent(frame);
      event->StandardAction(frame);
    }
  return 0;
}
