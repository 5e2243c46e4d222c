// One measurement of a sound-file pair through CMsystem and the component's
// front end. Planning checks the files and settles the search range before
// anything large is allocated; running hands every frame to the caller as it
// comes, so nothing grows with the length of the files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/FrameData.h"
#include "wavio/SoundFile.h"

struct MeasurementRequest {
  std::string referenceFile;
  std::string testFile;
  int maxDelayMs = 1000;  // asked search range; the component's default
  bool levelAlign = false;
  bool track = false;  // re-check and follow a delay that changes within the files
  int channel = 0;     // the channel the delay is estimated on
};

struct MeasurementPlan {
  int sampleRate = 0;
  int channels = 0;  // measured: the first two of the file's
  int fileChannels = 0;
  int bitsPerSample[2] = {};  // reference, test
  int64_t lengthFrames = 0;   // of the shorter file, in sample frames
  // Of each file (reference, test); the run ends with the shorter.
  int64_t fileFrames[2] = {};
  uint32_t frameLength = 0;
  int channel = 0;
  bool track = false;
  int requestedMaxDelayMs = 0;
  int maxDelayMs = 0;           // the range handed to the component
  int64_t reachSamples = 0;     // the largest |delay| that range searches
  int64_t maxDelaySamples = 0;  // that range in samples: no delay beyond it is reliable
  uint32_t searchBlock = 0;     // samples per search block
  int64_t searchSamples = 0;    // what the search needs before it can call a delay reliable
  // Why the asked range was narrowed before measuring.
  DelaySearchNarrowing narrowing = DelaySearchNarrowing::None;
  uint64_t requestedBytes = 0;  // estimated search buffers of the asked range
  // Each file (reference, test) as the plan opened it: the run reads what
  // was checked, opened once, while a copy of the plan lives.
  std::shared_ptr<SoundFileLease> heldFiles[2];

  double ReachMs() const { return 1000.0 * double(reachSamples) / sampleRate; }
};

struct FrameLine {
  int32_t frame = 0;
  // The sample of the reference file with which the frame's reference
  // samples begin.
  int64_t firstSample = 0;
  int32_t delaySamples = 0;  // positive when the test lags the reference
  int32_t status = 0;        // delay status word, its high bits too
  int32_t quality = 0;       // percent; 999 for a fixed delay
  int delayValid = 0;
  // Samples of the frame that hold input of both files; the others are
  // zeros where one had not begun or had ended.
  int32_t realSamples = 0;
  double refEnergy = 0.0;  // the front end's mean block energies (channel 0)
  double testEnergy = 0.0;
};

// Checks both files and settles the range. false with a one-line `error`
// when a file is missing, not a regular file, unreadable, or does not match
// the other, or the request does not fit the files.
bool PlanFileMeasurement(const MeasurementRequest& request, MeasurementPlan* plan, std::string* error);

// What a run saw beyond its frames.
struct RunFindings {
  // Samples of each file (reference, test) that were not finite and were
  // measured as silence.
  int64_t nonFiniteSamples[2] = {};
  // The search saw peaks as strong at more than one delay: the signal repeats.
  bool rivalPeaks = false;
  // Without --track: the delay found at the start stopped holding.
  bool delayMoved = false;
  DelayMoveSeen move;
};

// Runs a planned measurement, calling `onSearch` with the samples of each
// file read while the delay search over their start runs, then `onFrame`
// after every frame (false from it stops the run there). false
// with `error` when the measurement cannot start, or a file changed while
// it was read or did not decode to its end.
bool RunFileMeasurement(const MeasurementRequest& request, const MeasurementPlan& plan,
                        const std::function<void(int64_t)>& onSearch,
                        const std::function<bool(const FrameLine&)>& onFrame, RunFindings* findings,
                        std::string* error);

// "reliable", "uncertain", ... for the low 16 bits of a status word.
const char* StatusName(int32_t status);

// What became of the channel-swap retry, from a status word's high bits.
enum class ChannelSwap { NotTried, TriedNotUsed, Used };
ChannelSwap ChannelSwapOf(int32_t status);
