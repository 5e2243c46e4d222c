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

// The event's window in the frames' sample positions. A start before the
// signal's beginning starts with its first sample; the end stays the
// unclamped start plus the length.
struct TimeWindow {
  int64_t start;
  int64_t end;
  int64_t length;  // from the start and end times, at the test's rate
};

// The unclamped start: the start time on the related signal's rate, moved
// by the delay where that signal is the later one.
int64_t StartSample(const CTimeEvent& event, const FRAMEHEADER& header) {
  const int64_t delay = header.delay;
  const double rateRef = header.sampleRate[0][0];
  const double rateTest = header.sampleRate[1][0];
  const double start = event.startMs;
  if (event.relation == TRIGGER_RELATION_REFERENCE)
    return delay >= 0 ? TruncateToSamples(start * kMsToSeconds * rateRef + static_cast<double>(delay))
                      : TruncateToSamples(start * kMsToSeconds * rateRef);
  if (event.relation == TRIGGER_RELATION_TEST)
    return delay >= 0 ? TruncateToSamples(start * kMsToSeconds * rateTest)
                      : TruncateToSamples(start * kMsToSeconds * rateTest + static_cast<double>(delay));
  return delay;
}

TimeWindow WindowOf(const CTimeEvent& event, const FRAMEHEADER& header) {
  const int64_t startPos = StartSample(event, header);
  // The difference of two floats is exact in double, as it was in the
  // x87 registers.
  const double spanMs = static_cast<double>(event.endMs) - static_cast<double>(event.startMs);
  const int64_t length = TruncateToSamples(spanMs * kMsToSeconds * header.sampleRate[1][0]);
  return {std::max<int64_t>(startPos, 0), startPos + length, length};
}

// Cuts the long frame in which the window starts to the window (counts
// saturate at 0); when the window ends in it too, it never reaches past
// the samples the frame holds after the cut.
void CutLongFrameToWindow(const TimeWindow& window, int64_t position, FRAMEHEADER* header, FRAMEBUFFERDESC* desc) {
  const uint64_t shift = static_cast<uint64_t>(window.start);
  header->samplePosition = SaturatingSub(header->samplePosition, shift);
  desc->count = SaturatingSub(desc->count, shift);
  desc->start = SaturatingAdd(desc->start, shift);
  desc->start2 = SaturatingAdd(desc->start2, shift);
  if (position >= window.end) {
    header->samplePosition = ClampToUnsigned32(window.length);
    desc->count = std::min(desc->count, header->samplePosition);
  }
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
  const TimeWindow window = WindowOf(*this, header);
  const int64_t position = header.samplePosition;
  int reached = 0;
  switch (state) {
    case TRIGGER_ARMED:
      if (position >= window.start) {
        state = TRIGGER_STARTED;
        reached = 1;
        if (header.longFrame) CutLongFrameToWindow(window, position, &header, &frame.desc);
      }
      break;
    case TRIGGER_STARTED: state = TRIGGER_RUNNING; break;
    case TRIGGER_RUNNING:
      if (position >= window.end) {
        state = TRIGGER_ENDED;
        reached = 1;
        if (header.longFrame)
          frame.desc.count = SaturatingSub(frame.desc.count, static_cast<uint64_t>(position - window.end));
      }
      break;
    case TRIGGER_ENDED: state = TRIGGER_AFTER_END; break;
    case TRIGGER_AFTER_END: state = TRIGGER_DONE; break;
    default: break;
  }
  return reached;
}
