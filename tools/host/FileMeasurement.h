// One measurement of a sound-file pair through CMsystem and the component's
// front end, with every frame's delay, status and quality kept for the
// report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MeasurementRequest {
  std::string referenceFile;
  std::string testFile;
  int maxDelayMs = 1000;  // search range; the component's default
  bool levelAlign = false;
};

struct FrameLine {
  int32_t frame = 0;
  int32_t delaySamples = 0;  // positive when the test lags the reference
  int32_t status = 0;        // delay status word
  int32_t quality = 0;       // percent; 999 for a fixed delay
  int delayValid = 0;
};

struct MeasurementReport {
  int sampleRate = 0;
  int channels = 0;  // measured: the first two of the file's
  int fileChannels = 0;
  int64_t lengthFrames = 0;  // of the shorter file, in sample frames
  uint32_t frameLength = 0;
  int maxDelayMs = 0;         // the search range used
  int64_t searchSamples = 0;  // what the search needs before it can call a delay reliable
  std::vector<FrameLine> frames;
};

// Opens and checks both files, runs the measurement and calls `onFrame`
// after every frame (for progress). false with a one-line `error` when a
// file is missing, unreadable or does not match the other, or the
// measurement cannot start.
bool MeasureFilePair(const MeasurementRequest& request, MeasurementReport* report, std::string* error,
                     void (*onFrame)(const MeasurementReport&, const FrameLine&, void*), void* context);

// "reliable", "uncertain", ... for the low 16 bits of a status word.
const char* StatusName(int32_t status);
