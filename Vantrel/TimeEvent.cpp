// CTimeEvent: opens the measurement at a start time and closes it at an end
// time, both in ms from the start of the reference or the test signal.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Vantrel/FrameData.h"
#include "Vantrel/TriggerEvent.h"
#include "platform/CString.h"
#include "resources/string_ids.h"

namespace {

constexpr float kDefaultEndMs = 3600000.0f;  // one hour

// Milliseconds to seconds with the single-precision constant the positions
// have always been computed with (slightly above 0.001: 145 ms at 48 kHz
// is sample 6960, not 6959).
const double kMsToSeconds = static_cast<double>(0.001f);

// Truncation toward zero, kept inside a range any position comparison can
// take (the time fields are floats the host may fill freely).
int64_t TruncateToSamples(double samples) {
  constexpr double kLimit = 4.0e15;
  if (std::isnan(samples)) return 0;
  samples = std::clamp(samples, -kLimit, kLimit);
  return static_cast<int64_t>(samples);
}

uint32_t ClampToUnsigned32(int64_t value) { return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, UINT32_MAX)); }

uint32_t SaturatingSub(uint32_t value, uint64_t amount) {
  return amount >= value ? 0u : static_cast<uint32_t>(value - amount);
}

uint32_t SaturatingAdd(uint32_t value, uint64_t amount) {
  const uint64_t sum = value + amount;
  return sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
}

}  // namespace

CTimeEvent::CTimeEvent(HWND parentWindow) : CTriggerEvent(parentWindow) { SetDefaults(); }

CTriggerEvent& CTimeEvent::operator=(const CTriggerEvent& other) {
  CTriggerEvent::operator=(other);
  if (const auto* time = dynamic_cast<const CTimeEvent*>(&other)) {
    startMs = time->startMs;
    endMs = time->endMs;
    relation = time->relation;
  }
  return *this;
}

CTimeEvent::~CTimeEvent() = default;

void CTimeEvent::SetDefaults() {
  startMs = 0.0f;
  endMs = kDefaultEndMs;
  relation = TRIGGER_RELATION_REFERENCE;
  CString text;
  if (text.LoadString(IDS_TIME_EVENT_NAME)) name = text.GetString();
  state = TRIGGER_OFF;
  startAction = 0;
  endAction = 0;
  mask = TRIGGER_AFTER_SAMPLES;
}

int CTimeEvent::CheckNewEvent(void* framePointer) {
  if (framePointer == nullptr) return 0;
  FRAMEDATA& frame = *static_cast<FRAMEDATA*>(framePointer);
  FRAMEHEADER& header = frame.header;
  FRAMEBUFFERDESC& desc = frame.desc;

  const int64_t delay = header.delay;
  const double rateRef = header.sampleRate[0][0];
  const double rateTest = header.sampleRate[1][0];
  const double start = startMs;

  int64_t startPos;
  if (relation == TRIGGER_RELATION_REFERENCE)
    startPos = delay >= 0 ? TruncateToSamples(start * kMsToSeconds * rateRef + static_cast<double>(delay))
                          : TruncateToSamples(start * kMsToSeconds * rateRef);
  else if (relation == TRIGGER_RELATION_TEST)
    startPos = delay >= 0 ? TruncateToSamples(start * kMsToSeconds * rateTest)
                          : TruncateToSamples(start * kMsToSeconds * rateTest + static_cast<double>(delay));
  else
    startPos = delay;

  // The difference of two floats is exact in double, as it was in the
  // x87 registers.
  const int64_t length = TruncateToSamples((static_cast<double>(endMs) - start) * kMsToSeconds * rateTest);
  const int64_t endPos = startPos + length;
  // A start before the signal's beginning starts with the first sample.
  const int64_t startClamped = std::max<int64_t>(startPos, 0);

  const int64_t position = header.samplePosition;
  int reached = 0;
  switch (state) {
    case TRIGGER_ARMED:
      if (position >= startClamped) {
        state = TRIGGER_STARTED;
        reached = 1;
        if (header.longFrame) {
          // Cut the long frame to the window (counts saturate at 0).
          const uint64_t shift = static_cast<uint64_t>(startClamped);
          header.samplePosition = SaturatingSub(header.samplePosition, shift);
          desc.count = SaturatingSub(desc.count, shift);
          desc.start = SaturatingAdd(desc.start, shift);
          desc.start2 = SaturatingAdd(desc.start2, shift);
          if (position >= endPos) {
            // The window ends in this frame too; it never reaches
            // past the samples the frame holds after the cut.
            header.samplePosition = ClampToUnsigned32(length);
            desc.count = std::min(desc.count, header.samplePosition);
          }
        }
      }
      break;
    case TRIGGER_STARTED: state = TRIGGER_RUNNING; break;
    case TRIGGER_RUNNING:
      if (position >= endPos) {
        state = TRIGGER_ENDED;
        reached = 1;
        if (header.longFrame) desc.count = SaturatingSub(desc.count, static_cast<uint64_t>(position - endPos));
      }
      break;
    case TRIGGER_ENDED: state = TRIGGER_AFTER_END; break;
    case TRIGGER_AFTER_END: state = TRIGGER_DONE; break;
    default: break;
  }
  return reached;
}
