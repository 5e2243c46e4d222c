#include "FileMeasurement.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <tuple>

#include "DecodeCheck.h"
#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/Vantrel.h"
#include "wavio/SoundFile.h"

namespace {

// A damaged header can claim any rate; the search window, and its memory, grow with it.
constexpr int kMaxSampleRate = 768000;
// Below this a frame spans so long that a frame-by-frame delay means little.
constexpr int kMinSampleRate = 4000;

// The host's measurement algorithm: it only watches the frames go by.
class FrameWatcher : public CMsystem {
 public:
  using CMsystem::Query;
  FrameWatcher(std::function<void(SYSPARA&)> settings, std::function<void(int64_t)> onSearch)
      : m_settings(std::move(settings)), m_onSearch(std::move(onSearch)) {}

  // Init applies the defaults again; the host's settings go on top of them.
  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    if (sys != nullptr) m_settings(*sys);
  }
  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }
  void StartProgress(int64_t samplesRead) override { m_onSearch(samplesRead); }

 private:
  std::function<void(SYSPARA&)> m_settings;
  std::function<void(int64_t)> m_onSearch;
};

bool ReadFormat(const std::string& path, const char* role, SoundFileLease* held, SoundFileFormat* format,
                std::string* error) {
  const std::string named = std::string("the ") + role + " file " + path;
  std::error_code ignored;
  const auto status = std::filesystem::status(path, ignored);
  if (!std::filesystem::exists(status)) {
    *error = named + " does not exist";
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    *error = named + " is a folder, not a sound file";
    return false;
  }
  // A pipe would block the open or be used up by the first of the two reads.
  if (!std::filesystem::is_regular_file(status)) {
    *error = named + " is not a regular file (a pipe or a device); the measurement reads each file twice, " +
             "so save it to a file first";
    return false;
  }
  // One that cannot be held is opened by the reader, which says why.
  held->Hold(path);
  SoundFileReader reader;
  if (!reader.Open(path)) {
    // The reader's text names the file again; keep only its reason.
    std::string reason = reader.Error();
    const std::string prefix = "cannot open '" + path + "': ";
    if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
    *error = named + " cannot be read as a sound file (" + reason + ")";
    return false;
  }
  *format = reader.Format();
  if (*error = CutShortDamage(path, role, reader); !error->empty()) return false;
  if (format->frames <= 0 || format->channels <= 0) {
    *error = named + " holds no samples";
    return false;
  }
  if (format->sampleRate > kMaxSampleRate) {
    *error = named + " claims " + std::to_string(format->sampleRate) + " Hz, more than the " +
             std::to_string(kMaxSampleRate) + " Hz this host measures";
    return false;
  }
  if (format->sampleRate < kMinSampleRate) {
    *error = named + " has " + std::to_string(format->sampleRate) + " Hz, too low for a meaningful frame (this host " +
             "measures " + std::to_string(kMinSampleRate) + " Hz and above)";
    return false;
  }
  return true;
}

uint32_t FrameLengthFor(int rate) { return rate > 24000 ? 1024 : 512; }

// The range the component will search: the library's own rule, so the
// report names what is searched.
void PlanSearchRange(MeasurementPlan* plan) {
  DelaySearchPlan search;
  const uint64_t budget = DelaySearchMemoryBudget();
  if (!PlanDelaySearch(plan->sampleRate, uint32_t(plan->requestedMaxDelayMs), plan->frameLength, plan->lengthFrames,
                       budget, &search)) {
    // Init refuses it and says why; the plan keeps the asked range.
    search.usedMs = uint32_t(plan->requestedMaxDelayMs);
    ComputeDelaySearchRange(plan->sampleRate, search.usedMs, plan->frameLength, &search.range);
    search.samplesNeeded = DelaySearchSamplesNeeded(search.range.window, plan->frameLength);
  }
  plan->narrowing = search.narrowing;
  plan->requestedBytes = search.askedBytes;
  plan->maxDelayMs = int(search.usedMs);
  plan->reachSamples = search.range.reachSamples;
  plan->maxDelaySamples = search.range.maxDelaySamples;
  plan->searchBlock = search.range.block;
  plan->searchSamples = search.samplesNeeded;
}

// The host's settings over the defaults: both files whole, their first
// two channels routed, the delay compensated as the request asks.
void ApplyHostSettings(const MeasurementRequest& request, const MeasurementPlan& plan, SYSPARA* sys) {
  sys->channels = plan.channels;
  sys->settings[0] = 0;
  for (int input = 0; input < 2; ++input) {
    INPUTPARAEXT& record = sys->inputPara[input];
    record.mode = INPUT_MODE_FILE;
    record.fileName = input == 0 ? request.referenceFile : request.testFile;
    record.wave = WAVEPARA{1, plan.sampleRate, plan.bitsPerSample[input], plan.fileChannels, 0, 0};
    for (int channel = 0; channel < 2; ++channel)
      sys->routingTable[input][channel] = INPUTMUXPARA{input, std::min(channel, plan.channels - 1)};
  }
  DELAYPARAEXT& delay = sys->delayPara;
  delay.compensationOn = 1;
  delay.estimationChannel = plan.channel;
  delay.maxDelayFileMs = plan.maxDelayMs;
  if (plan.track) {
    // Re-check the delay as on live inputs and follow small changes of it.
    delay.tracking = 1;
    delay.trackVariableDelay = 1;
    delay.maxDelayRealtimeMs = plan.maxDelayMs;
  }
  sys->levelPara.levelAlign = request.levelAlign ? 1 : 0;
  // A test of inverted polarity is still the same signal: search the
  // correlation's magnitude, report it negative and turn the test back.
  sys->levelPara.invertOnNegative = 1;
}

// Initialises the system with its settings and starts the inputs; false
// with the system's reason when it refuses.
bool StartMeasurement(FrameWatcher* system, uint32_t frameLength, std::string* error) {
  SYSPARA* sys = static_cast<SYSPARA*>(system->CreateSysPara());
  if (sys == nullptr) {
    *error = "out of memory";
    return false;
  }
  CAlgorithmPara alg{frameLength, frameLength};
  const int initialised = system->Init(*sys, alg);
  sys->Destroy();
  if (initialised == 0) {
    *error = "the measurement cannot be set up for these files: " + system->LastRefusal().Text();
    return false;
  }
  if (system->Go() == 0) {
    *error = "the inputs cannot be started: " + system->LastRefusal().Text();
    return false;
  }
  return true;
}

// Processes frames until the files end or `onFrame` says stop, handing each
// to it with the reference sample it begins at; false when it was stopped.
bool WatchFrames(FrameWatcher* system, const std::function<bool(const FrameLine&)>& onFrame) {
  auto frame = std::make_unique<FRAMEDATA>();
  // The header's position wraps at 2^32 - 1; the files may be longer.
  constexpr int64_t kPositionModulus = 0xFFFFFFFFll;
  int64_t position = 0;
  uint32_t lastPosition = 0;
  for (int32_t index = 0;; ++index) {
    frame->monitor.count = 0;
    if (system->ProcessFrame(frame.get(), nullptr) == 0) break;
    const FRAMEHEADER& header = frame->header;
    position += (int64_t(header.samplePosition) - lastPosition + kPositionModulus) % kPositionModulus;
    lastPosition = header.samplePosition;
    // The position is that of the inputs after the frame; the reference
    // samples end there, or the delay earlier when the test lags.
    const int64_t firstSample = position - int64_t(frame->desc.count) - std::max<int64_t>(header.delay, 0);
    if (!onFrame(FrameLine{index, firstSample, header.delay, header.delayStatus, header.quality, header.delayValid,
                           header.realSamples, header.refEnergy, header.testEnergy}))
      return false;
  }
  return true;
}

}  // namespace

const char* StatusName(int32_t status) {
  switch (status & 0xFFFF) {
    case DELAY_STATUS_RELIABLE: return "reliable";
    case DELAY_STATUS_UNCERTAIN: return "uncertain";
    case DELAY_STATUS_CALCULATING: return "searching";
    case DELAY_STATUS_HELD: return "held";
    case DELAY_STATUS_SNAPPED: return "snapped";
    case DELAY_STATUS_FIXED: return "fixed";
    case DELAY_STATUS_CLAMPED: return "clamped";
    default: return "unknown";
  }
}

ChannelSwap ChannelSwapOf(int32_t status) {
  if ((status & DELAY_STATUS_TEST_SWAPPED) != 0) return ChannelSwap::Used;
  return (status & DELAY_STATUS_SWAP_RETRIED) != 0 ? ChannelSwap::TriedNotUsed : ChannelSwap::NotTried;
}

bool PlanFileMeasurement(const MeasurementRequest& request, MeasurementPlan* plan, std::string* error) {
  SoundFileFormat reference, test;
  for (auto& held : plan->heldFiles) held = std::make_shared<SoundFileLease>();
  if (!ReadFormat(request.referenceFile, "reference", plan->heldFiles[0].get(), &reference, error) ||
      !ReadFormat(request.testFile, "test", plan->heldFiles[1].get(), &test, error))
    return false;
  if (reference.sampleRate != test.sampleRate) {
    *error = "the files differ in sample rate (reference " + std::to_string(reference.sampleRate) + " Hz, test " +
             std::to_string(test.sampleRate) + " Hz)";
    return false;
  }
  if (reference.channels != test.channels) {
    *error = "the files differ in channel count (reference " + std::to_string(reference.channels) + ", test " +
             std::to_string(test.channels) + ")";
    return false;
  }
  plan->sampleRate = reference.sampleRate;
  plan->channels = std::min(reference.channels, 2);
  plan->fileChannels = reference.channels;
  plan->bitsPerSample[0] = reference.bitsPerSample;
  plan->bitsPerSample[1] = test.bitsPerSample;
  plan->fileFrames[0] = reference.frames;
  plan->fileFrames[1] = test.frames;
  plan->lengthFrames = std::min(reference.frames, test.frames);
  plan->frameLength = FrameLengthFor(reference.sampleRate);
  plan->channel = request.channel;
  plan->track = request.track;
  plan->requestedMaxDelayMs = request.maxDelayMs;
  if (request.channel >= plan->channels) {
    *error = "--channel " + std::to_string(request.channel) + " needs two channels; the files have 1";
    return false;
  }
  // Nothing can be measured on less than one frame.
  for (const auto& [format, role, path] :
       {std::tuple{&reference, "reference", &request.referenceFile}, std::tuple{&test, "test", &request.testFile}})
    if (format->frames < int64_t(plan->frameLength)) {
      *error = std::string("the ") + role + " file " + *path + " is too short: " + std::to_string(format->frames) +
               " samples, a frame takes " + std::to_string(plan->frameLength);
      return false;
    }
  PlanSearchRange(plan);
  return true;
}

bool RunFileMeasurement(const MeasurementRequest& request, const MeasurementPlan& plan,
                        const std::function<void(int64_t)>& onSearch,
                        const std::function<bool(const FrameLine&)>& onFrame, RunFindings* findings,
                        std::string* error) {
  auto system = std::make_unique<FrameWatcher>([&](SYSPARA& sys) { ApplyHostSettings(request, plan, &sys); }, onSearch);
  if (!StartMeasurement(system.get(), plan.frameLength, error)) return false;
  const bool toTheEnd = WatchFrames(system.get(), onFrame);
  system->Stop();
  // A run its caller stopped reports why itself; the rest of the files is not read.
  if (toTheEnd && !FilesReadWhole(system.get(), {request.referenceFile, request.testFile}, plan.sampleRate, error))
    return false;
  for (int input = 0; input < 2; ++input) findings->nonFiniteSamples[input] = system->NonFiniteInputSamples(input);
  findings->rivalPeaks = system->SearchSawRivalPeaks();
  findings->delayMoved = system->DelayMoved(&findings->move);
  system->Reset();
  return true;
}
