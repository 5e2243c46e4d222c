#include "FileMeasurement.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <tuple>

#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/FrameData.h"
#include "Vantrel/MSystem.h"
#include "wavio/SoundFile.h"

namespace {

constexpr int kMaxSampleRate = 768000;

// The host's measurement algorithm: it only watches the frames go by.
class FrameWatcher : public CMsystem {
 public:
  using CMsystem::Query;
  explicit FrameWatcher(std::function<void(SYSPARA&)> settings) : m_settings(std::move(settings)) {}

  // The defaults come first; the host's settings override them.
  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    if (sys != nullptr) m_settings(*sys);
  }
  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }

 private:
  std::function<void(SYSPARA&)> m_settings;
};

bool ReadFormat(const std::string& path, const char* role, SoundFileFormat* format, std::string* error) {
  const std::string named = std::string("the ") + role + " file " + path;
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) {
    *error = named + " does not exist";
    return false;
  }
  if (std::filesystem::is_directory(path, ignored)) {
    *error = named + " is a folder, not a sound file";
    return false;
  }
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
  if (format->frames <= 0 || format->channels <= 0) {
    *error = named + " holds no samples";
    return false;
  }
  // A damaged header can claim any rate; the search window, and its memory, grow with it.
  if (format->sampleRate > kMaxSampleRate) {
    *error = named + " claims " + std::to_string(format->sampleRate) + " Hz, more than the " +
             std::to_string(kMaxSampleRate) + " Hz this host measures";
    return false;
  }
  return true;
}

uint32_t FrameLengthFor(int rate) { return rate > 24000 ? 1024 : 512; }

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

bool MeasureFilePair(const MeasurementRequest& request, MeasurementReport* report, std::string* error,
                     void (*onFrame)(const MeasurementReport&, const FrameLine&, void*), void* context) {
  SoundFileFormat reference, test;
  if (!ReadFormat(request.referenceFile, "reference", &reference, error) ||
      !ReadFormat(request.testFile, "test", &test, error))
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
  report->sampleRate = reference.sampleRate;
  report->channels = std::min(reference.channels, 2);
  report->fileChannels = reference.channels;
  report->lengthFrames = std::min(reference.frames, test.frames);
  report->frameLength = FrameLengthFor(reference.sampleRate);
  // Nothing can be measured on less than one frame.
  for (const auto& [format, role, path] :
       {std::tuple{&reference, "reference", &request.referenceFile}, std::tuple{&test, "test", &request.testFile}})
    if (format->frames < int64_t(report->frameLength)) {
      *error = std::string("the ") + role + " file " + *path + " is too short: " + std::to_string(format->frames) +
               " samples, a frame takes " + std::to_string(report->frameLength);
      return false;
    }

  auto system = std::make_unique<FrameWatcher>([&](SYSPARA& sys) {
    sys.channels = report->channels;
    sys.settings[0] = 0;
    for (int input = 0; input < 2; ++input) {
      const SoundFileFormat& format = input == 0 ? reference : test;
      INPUTPARAEXT& record = sys.inputPara[input];
      record.mode = INPUT_MODE_FILE;
      record.fileName = input == 0 ? request.referenceFile : request.testFile;
      record.wave = WAVEPARA{1, format.sampleRate, format.bitsPerSample, format.channels, 0, 0};
      for (int channel = 0; channel < 2; ++channel)
        sys.routingTable[input][channel] = INPUTMUXPARA{input, std::min(channel, report->channels - 1)};
    }
    sys.delayPara.compensationOn = 1;
    sys.delayPara.maxDelayFileMs = report->maxDelayMs;
    sys.levelPara.levelAlign = request.levelAlign ? 1 : 0;
    // A test of inverted polarity is still the same signal: search the
    // correlation's magnitude, report it negative and turn the test back.
    sys.levelPara.invertOnNegative = 1;
  });
  // Should the search window's transform be refused (no memory for it), the
  // range shrinks to what can be transformed, and the report says so.
  report->maxDelayMs = request.maxDelayMs;
  DelaySearchRange range;
  const auto searchRange = [&](int ms) {
    return ComputeDelaySearchRange(report->sampleRate, uint32_t(ms), report->frameLength, &range);
  };
  while (report->maxDelayMs > 10 && !(searchRange(report->maxDelayMs) && DelaySearchTransformAvailable(range.window)))
    report->maxDelayMs /= 2;
  searchRange(report->maxDelayMs);
  // The ring of one search window fills first; a delay needs 15 blocks more.
  report->searchSamples = int64_t(range.window) + 16 * int64_t(report->frameLength);
  SYSPARA* sys = static_cast<SYSPARA*>(system->CreateSysPara());
  if (sys == nullptr) {
    *error = "out of memory";
    return false;
  }
  CAlgorithmPara alg{report->frameLength, report->frameLength};
  const int initialised = system->Init(*sys, alg);
  sys->Destroy();
  if (initialised == 0) {
    *error = "the measurement cannot be set up for these files";
    return false;
  }
  if (system->Go() == 0) {
    *error = "the inputs cannot be started (a file could not be opened)";
    return false;
  }
  auto frame = std::make_unique<FRAMEDATA>();
  for (int32_t index = 0;; ++index) {
    frame->monitor.count = 0;
    if (system->ProcessFrame(frame.get(), nullptr) == 0) break;
    const FRAMEHEADER& header = frame->header;
    FrameLine line{index, header.delay, header.delayStatus, header.quality, header.delayValid};
    report->frames.push_back(line);
    if (onFrame != nullptr) onFrame(*report, line, context);
  }
  system->Stop();
  system->Reset();
  return true;
}
