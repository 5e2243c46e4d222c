// File pairs made from a reference and the truth of its delay, and the
// frames of a tracked measurement judged against that truth.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "frontend/measurement_run.h"

// The delay (positive: the test lags) of test sample n: it holds the
// reference's sample n - truth(n).
using Truth = std::function<int(int64_t)>;

// The test at `gain` of the reference, rounded to 16-bit integers.
inline FilePair PairOfTruth(const std::vector<float>& reference, const Truth& truth, int rate = kMeasureRate,
                            double gain = 1.0) {
  FilePair pair;
  pair.rate = rate;
  pair.reference = reference;
  pair.test.resize(reference.size());
  for (size_t n = 0; n < reference.size(); ++n) {
    const int64_t from = int64_t(n) - truth(int64_t(n));
    const bool inside = from >= 0 && from < int64_t(reference.size());
    pair.test[n] = !inside       ? 0.0f
                   : gain == 1.0 ? reference[size_t(from)]
                                 : float(std::round(gain * reference[size_t(from)]));
  }
  return pair;
}

// A test whose sample n holds the reference at n - delayAt(n), between
// samples too: the speech-like signal lies below 3.5 kHz, so linear
// interpolation gives it closely enough.
inline FilePair PairAlong(const std::vector<float>& reference, int rate, const std::function<double(int64_t)>& delayAt,
                   Truth* truth) {
  FilePair pair;
  pair.rate = rate;
  pair.reference = reference;
  pair.test.resize(reference.size());
  for (size_t n = 0; n < reference.size(); ++n) {
    const double from = double(n) - delayAt(int64_t(n));
    const int64_t i = int64_t(std::floor(from));
    const double t = from - double(i);
    const bool inside = i >= 0 && i + 1 < int64_t(reference.size());
    pair.test[n] = inside ? float(std::round((1.0 - t) * reference[i] + t * reference[i + 1])) : 0.0f;
  }
  *truth = [=](int64_t n) { return int(std::lround(delayAt(n))); };
  return pair;
}

// How a tracked run follows the delay: re-checked without the tracker,
// with it, and the tracker alone; "default" neither.
struct TrackingMode {
  const char* name;
  int tracking;
  int trackVariableDelay;
};
inline constexpr TrackingMode kDefaultMode{"default", 0, 0};
inline constexpr TrackingMode kTrackedModes[] = {{"re-check", 1, 0}, {"re-check and tracker", 1, 1}, {"tracker", 0, 1}};

// The frames of a file run in `mode`; a `maxDelayMs` of 0 leaves the
// record's range as it is.
inline std::vector<RecordedFrame> MeasureTracked(const FilePair& pair, const TrackingMode& mode, uint32_t frameLength,
                                                 int maxDelayMs = 0) {
  const MeasurementOutcome run = MeasureFiles(
      pair,
      [&](SYSPARA& sys) {
        sys.delayPara.tracking = mode.tracking;
        sys.delayPara.trackVariableDelay = mode.trackVariableDelay;
        if (maxDelayMs > 0) {
          sys.delayPara.maxDelayFileMs = maxDelayMs;
          sys.delayPara.maxDelayRealtimeMs = maxDelayMs;
        }
      },
      false, frameLength);
  EXPECT_EQ(run.goResult, 1) << mode.name;
  return run.frames;
}

inline bool IsReliable(const RecordedFrame& frame) { return (frame.status & 0xFFFF) == DELAY_STATUS_RELIABLE; }

// The first test sample a frame holds.
inline int64_t FirstTestSample(const RecordedFrame& frame) {
  return int64_t(frame.samplePosition) - int64_t(frame.count) - std::max(-frame.delay, 0);
}

// Reliable frames from `from` on whose delay is the truth (within
// `tolerance`) at none of the test samples they hold (a frame across a step
// holds samples of both delays), as " frame@delay" each.
inline std::string ReliableOffTruth(const std::vector<RecordedFrame>& frames, const Truth& truth, size_t from = 0,
                                    int tolerance = 0) {
  std::string wrong;
  for (size_t f = from; f < frames.size(); ++f) {
    if (!IsReliable(frames[f])) continue;
    const int64_t first = FirstTestSample(frames[f]);
    const auto off = [&](int64_t n) { return std::abs(truth(n) - frames[f].delay) > tolerance; };
    if (off(first) && off(first + frames[f].count - 1))
      wrong += " " + std::to_string(f) + "@" + std::to_string(frames[f].delay);
  }
  return wrong;
}

// The share of frames whose first test sample lies in [from, end) that
// are reliable at the truth.
inline double ReliableShareAtTruth(const std::vector<RecordedFrame>& frames, const Truth& truth, int64_t from,
                                   int64_t end) {
  int inside = 0;
  int right = 0;
  for (const RecordedFrame& frame : frames) {
    const int64_t first = FirstTestSample(frame);
    if (first < from || first >= end) continue;
    ++inside;
    if (IsReliable(frame) && frame.delay == truth(first) && frame.delay == truth(first + frame.count - 1)) ++right;
  }
  return inside > 0 ? double(right) / double(inside) : 0.0;
}
