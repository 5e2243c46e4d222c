// Runs whole measurements on sound-file pairs through CMsystem and the
// component's own front end, and records every frame the algorithm sees.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Vantrel/MSystem.h"
#include "support/temp_dir.h"
#include "wavio/SoundFile.h"

constexpr int kMeasureRate = 48000;
constexpr uint32_t kMeasureFrame = 1024;
// 300 ms of delay range at 48 kHz: a 32768-sample search window.
constexpr int kMeasureMaxDelayMs = 300;

// Interleaved frames of both directions.
struct FilePair {
  int channels = 1;
  int rate = kMeasureRate;
  std::vector<float> reference;
  std::vector<float> test;
};

struct RecordedFrame {
  int32_t delay = 0;
  int32_t status = 0;
  int32_t quality = 0;
  uint8_t delayValid = 0;
  uint32_t count = 0;
  int32_t realSamples = 0;
  uint32_t samplePosition = 0;
  double refEnergy = 0.0;
  double testEnergy = 0.0;
  std::vector<float> samples[2][2];
};

// Whether reference samples [first, first + length) and the test's `lag`
// later (the test lagging by `lag`) all lie within files of these lengths.
inline bool BothFilesHold(int64_t first, int64_t length, int lag, int64_t referenceLength, int64_t testLength) {
  const int64_t end = first + length;
  return first + std::min(lag, 0) >= 0 && end <= referenceLength && end + lag <= testLength;
}

// The status frame `f` of a file run must carry where the test lags by
// `lag` samples: the frame pairs the reference from f x `frameLength` on
// with the test `lag` later, and is reliable unless some of those samples
// lie before a file's start or past its end (zeros stand in for them).
inline int32_t ReliableWhereBothFilesHold(size_t f, uint32_t frameLength, int lag, int64_t referenceLength,
                                          int64_t testLength) {
  return BothFilesHold(int64_t(f) * frameLength, frameLength, lag, referenceLength, testLength)
             ? DELAY_STATUS_RELIABLE
             : DELAY_STATUS_UNCERTAIN;
}

inline int32_t ReliableWhereBothFilesHold(size_t f, uint32_t frameLength, int lag, const FilePair& pair) {
  return ReliableWhereBothFilesHold(f, frameLength, lag, int64_t(pair.reference.size()) / pair.channels,
                                    int64_t(pair.test.size()) / pair.channels);
}

// Whether a frame of a mono pair holds each file's samples at the frame's
// place, zeros where a file has none, and says how many of its samples
// both files cover. The reference's samples end max(delay, 0) before the
// frame's position, the test's max(-delay, 0) before it.
inline ::testing::AssertionResult HoldsTheFilesAtItsPlace(const RecordedFrame& frame, const FilePair& pair) {
  const int64_t end = int64_t(frame.samplePosition);
  const int64_t start[2] = {end - std::max<int64_t>(frame.delay, 0) - frame.count,
                            end - std::max<int64_t>(-int64_t(frame.delay), 0) - frame.count};
  const std::vector<float>* files[2] = {&pair.reference, &pair.test};
  int64_t covered = 0;
  for (uint32_t i = 0; i < frame.count; ++i) {
    bool both = true;
    for (int d = 0; d < 2; ++d) {
      const int64_t n = start[d] + i;
      const bool inFile = n >= 0 && n < int64_t(files[d]->size());
      both = both && inFile;
      const float expected = inFile ? (*files[d])[size_t(n)] : 0.0f;
      if (frame.samples[d][0][i] != expected)
        return ::testing::AssertionFailure() << "signal " << d << " sample " << i << " is " << frame.samples[d][0][i]
                                             << ", file sample " << n << " is " << expected;
    }
    covered += both ? 1 : 0;
  }
  if (covered != frame.realSamples)
    return ::testing::AssertionFailure() << "says " << frame.realSamples << " real samples, the files cover "
                                         << covered;
  return ::testing::AssertionSuccess();
}

// Gaussian noise rounded to 16-bit integers.
inline std::vector<float> IntegerNoise(size_t n, unsigned seed, double rms) {
  std::mt19937 generator(seed);
  std::normal_distribution<double> normal(0.0, rms);
  std::vector<float> out(n);
  for (float& v : out) v = float(std::clamp(std::round(normal(generator)), -32768.0, 32767.0));
  return out;
}

// The measurement algorithm of these tests: keeps every frame.
class FrameRecorder : public CMsystem {
 public:
  using CMsystem::Query;
  explicit FrameRecorder(std::function<void(SYSPARA&)> edit) : m_edit(std::move(edit)) {}

  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    if (sys != nullptr && m_edit) m_edit(*sys);
  }

  int ProcessFrame(void* framePointer, float* (*samples)[2][2]) override {
    auto* frame = static_cast<FRAMEDATA*>(framePointer);
    if (prefillNaN)
      for (auto& direction : frame->samples)
        for (auto& channel : direction) std::fill(std::begin(channel), std::end(channel), std::nanf(""));
    const int goesOn = CMsystem::ProcessFrame(framePointer, samples);
    if (goesOn == 0) return 0;
    RecordedFrame record;
    const FRAMEHEADER& header = frame->header;
    record.delay = header.delay;
    record.status = header.delayStatus;
    record.quality = header.quality;
    record.delayValid = header.delayValid;
    record.count = frame->desc.count;
    record.realSamples = header.realSamples;
    record.samplePosition = header.samplePosition;
    record.refEnergy = header.refEnergy;
    record.testEnergy = header.testEnergy;
    for (int d = 0; d < 2; ++d)
      for (int c = 0; c < header.channels && c < 2; ++c)
        record.samples[d][c].assign(frame->samples[d][c], frame->samples[d][c] + frame->desc.count);
    frames.push_back(std::move(record));
    return goesOn;
  }

  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }

  std::vector<RecordedFrame> frames;
  bool prefillNaN = false;

 private:
  std::function<void(SYSPARA&)> m_edit;
};

// Record settings of a file pair measurement; `edit` may change them.
inline void FileMeasurementSettings(SYSPARA& sys, const std::string& referenceFile, const std::string& testFile,
                                    int channels, int rate = kMeasureRate) {
  sys.channels = channels;
  sys.settings[0] = 2;
  for (int input = 0; input < 2; ++input) {
    INPUTPARAEXT& record = sys.inputPara[input];
    record.mode = INPUT_MODE_FILE;
    record.fileName = input == 0 ? referenceFile : testFile;
    record.wave = WAVEPARA{1, rate, 16, channels, 0, 0};
    record.deviceId = input;
    for (int channel = 0; channel < 2; ++channel)
      sys.routingTable[input][channel] = INPUTMUXPARA{input, channel < channels ? channel : 0};
  }
  sys.delayPara.compensationOn = 1;
  sys.delayPara.maxDelayFileMs = kMeasureMaxDelayMs;
}

// Record settings of a live measurement of one channel from virtual
// devices 0 (reference) and 1 (test) at `rate`.
inline void DeviceMeasurementSettings(SYSPARA& sys, int rate) {
  sys.channels = 1;
  sys.settings[0] = 2;
  sys.realtime = 1;
  for (int input = 0; input < 2; ++input) {
    sys.inputPara[input].mode = INPUT_MODE_SOUND_DEVICE;
    sys.inputPara[input].deviceId = input;
    sys.inputPara[input].wave = WAVEPARA{1, rate, 16, 1, 0, 0};
    sys.routingTable[input][0] = INPUTMUXPARA{input, 0};
  }
  sys.delayPara.compensationOn = 1;
}

// Init with a record fresh from CreateSysPara (the algorithm's defaults
// fill it) and frames of `frameLength`; Init's result.
inline int InitWithNewRecord(CMsystem& system, uint32_t frameLength = kMeasureFrame) {
  SYSPARA* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  CAlgorithmPara alg{frameLength, frameLength};
  const int result = system.Init(*sys, alg);
  sys->Destroy();
  return result;
}

struct MeasurementOutcome {
  int goResult = 0;
  std::vector<RecordedFrame> frames;
  // Without tracking: where the delay found at the start stopped holding.
  bool delayMoved = false;
  DelayMoveSeen move;
};

inline MeasurementOutcome MeasureFiles(const FilePair& pair, const std::function<void(SYSPARA&)>& edit,
                                       bool prefillNaN = false, uint32_t frameLength = kMeasureFrame) {
  TempDir dir;
  const std::string referenceFile = dir.File("reference.wav");
  const std::string testFile = dir.File("test.wav");
  const SoundFileSpec spec{pair.rate, pair.channels, SoundFileEncoding::Pcm16, "wav"};
  MeasurementOutcome outcome;
  if (!WriteSoundFile(referenceFile, spec, pair.reference.data(), int64_t(pair.reference.size()) / pair.channels) ||
      !WriteSoundFile(testFile, spec, pair.test.data(), int64_t(pair.test.size()) / pair.channels))
    return outcome;
  auto recorder = std::make_unique<FrameRecorder>([&](SYSPARA& sys) {
    FileMeasurementSettings(sys, referenceFile, testFile, pair.channels, pair.rate);
    if (edit) edit(sys);
  });
  recorder->prefillNaN = prefillNaN;
  SYSPARA* sys = static_cast<SYSPARA*>(recorder->CreateSysPara());
  CAlgorithmPara alg{frameLength, frameLength};
  if (recorder->Init(*sys, alg) == 0) {
    sys->Destroy();
    return outcome;
  }
  sys->Destroy();
  outcome.goResult = recorder->Go();
  if (outcome.goResult == 0) return outcome;
  auto frame = std::make_unique<FRAMEDATA>();
  for (int guard = 0; guard < 100000; ++guard) {
    frame->monitor.count = 0;
    if (recorder->ProcessFrame(frame.get(), nullptr) == 0) break;
  }
  recorder->Stop();
  outcome.delayMoved = recorder->DelayMoved(&outcome.move);
  outcome.frames = std::move(recorder->frames);
  return outcome;
}
