// CMsystem: what in a record the front end's sizes follow, so that
// UpdateSysPara knows when a record needs the front end set up again.
#include <algorithm>
#include <cmath>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/MSystem.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "wavio/SoundFile.h"

namespace {

// The frames of a file input, or -1 when it is no file or cannot be read.
int64_t FileFrames(const INPUTPARAEXT& input) {
  if (input.mode != INPUT_MODE_FILE) return -1;
  return SoundFileFrames(input.fileName);
}

}  // namespace

CMsystem::FrontEndSizing CMsystem::SizingOf(const SYSPARA& sys) const {
  FrontEndSizing sizing;
  const DELAYPARAEXT& delay = sys.delayPara;
  for (int input = 0; input < 2; ++input) {
    const INPUTPARAEXT& record = sys.inputPara[input];
    sizing.rate[input] = record.wave.sampleRate;
    sizing.bits[input] = record.wave.bitsPerSample;
    sizing.fileChannels[input] = record.wave.channels;
    sizing.mode[input] = record.mode;
  }
  sizing.channels = sys.channels;
  sizing.realtime = sys.realtime;
  sizing.tracking = delay.tracking;
  sizing.compensationOn = delay.compensationOn;
  sizing.trackVariableDelay = delay.trackVariableDelay;
  sizing.maxDelayFileMs = delay.maxDelayFileMs;
  sizing.maxDelayRealtimeMs = delay.maxDelayRealtimeMs;
  sizing.inputOffsetMs = delay.inputOffsetMs;
  sizing.deliveredLength = DeliveredLength(m_initFlag);
  // A file longer than the asked range's search needs, and than the
  // offset skips, is sized for as any other such file: only shorter ones
  // narrow the search or refuse the offset, each by its own length.
  DelaySearchRange asked;
  const uint32_t frameLength = m_algorithmPara.frameLength;
  const int64_t needed = ComputeDelaySearchRange(sizing.rate[0], uint32_t(std::max(delay.maxDelayFileMs, 0)),
                                                 frameLength, &asked)
                             ? DelaySearchSamplesNeeded(asked.window, frameLength)
                             : 0;
  const int64_t skipped = int64_t(std::fabs(InputOffsetSamples(sys))) + 1;
  const int64_t enough = std::max(needed, skipped);
  for (int input = 0; input < 2; ++input) {
    const int64_t frames = FileFrames(sys.inputPara[input]);
    sizing.fileFrames[input] = frames < 0 ? -1 : std::min(frames, enough);
  }
  return sizing;
}
