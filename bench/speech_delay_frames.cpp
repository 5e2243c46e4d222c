// Speech through the library's front end, scored frame by frame against
// the delay the program builds into the test: a step mid-file and a slow
// drift, on file inputs and on live (virtual device) inputs, re-checked
// with and without the tracker, at several frame lengths. Run by hand
// (bench/speech_delay_frames.sh makes the speech and runs it):
//   speech_delay_frames SPEECH.raw [RATE]
// SPEECH.raw holds mono signed 16-bit little-endian samples at RATE
// (default 16000). A frame is wrong when it says reliable while its delay is
// the truth at neither its first nor its last test sample (more than 3 off
// on a drift). Exit code 1 when any frame is wrong.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "frontend/measurement_run.h"
#include "frontend/tracked_truth.h"
#include "wavio/VirtualDevice.h"

namespace {

std::vector<float> ReadRaw16(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<float> out;
  int16_t v = 0;
  while (in.read(reinterpret_cast<char*>(&v), sizeof v)) out.push_back(float(v));
  return out;
}

// The reference delayed by delayAt(n) (test lagging), between samples by a
// Hann-windowed sinc of 64 taps, rounded to 16-bit integers.
std::vector<float> DelayedAlong(const std::vector<float>& reference, const std::function<double(int64_t)>& delayAt) {
  constexpr int kHalf = 32;
  const double pi = 3.14159265358979323846;
  std::vector<float> test(reference.size());
  for (size_t n = 0; n < reference.size(); ++n) {
    const double from = double(n) - delayAt(int64_t(n));
    const int64_t i = int64_t(std::floor(from));
    const double t = from - double(i);
    double sum = 0.0;
    for (int k = -kHalf + 1; k <= kHalf; ++k) {
      const int64_t m = i + k;
      if (m < 0 || m >= int64_t(reference.size())) continue;
      const double x = double(k) - t;
      const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(pi * x) / (pi * x);
      const double window = 0.5 + 0.5 * std::cos(pi * x / kHalf);
      sum += reference[size_t(m)] * sinc * window;
    }
    test[n] = float(std::clamp(std::round(sum), -32768.0, 32767.0));
  }
  return test;
}

// A run on two virtual devices that deliver the pair's samples at once.
std::vector<RecordedFrame> MeasureLive(const FilePair& pair, const TrackingMode& mode, uint32_t frameLength) {
  const auto spec = [&](const std::vector<float>* samples) {
    VirtualDeviceSpec device;
    device.sampleRate = pair.rate;
    device.channels = 1;
    device.realTime = false;
    device.generator = [samples](float* out, int64_t frames, int64_t position) -> int64_t {
      const int64_t count = std::max<int64_t>(std::min<int64_t>(frames, int64_t(samples->size()) - position), 0);
      for (int64_t i = 0; i < count; ++i) out[i] = (*samples)[size_t(position + i)];
      return count;
    };
    return device;
  };
  ScopedVirtualDevice reference(0, spec(&pair.reference));
  ScopedVirtualDevice test(1, spec(&pair.test));
  SetVirtualDeviceFreeSpace(0, int64_t(1) << 30, int64_t(1) << 30);
  SetVirtualDeviceFreeSpace(1, int64_t(1) << 30, int64_t(1) << 30);
  auto recorder = std::make_unique<FrameRecorder>([&](SYSPARA& sys) {
    DeviceMeasurementSettings(sys, pair.rate);
    sys.delayPara.tracking = mode.tracking;
    sys.delayPara.trackVariableDelay = mode.trackVariableDelay;
  });
  SYSPARA* sys = static_cast<SYSPARA*>(recorder->CreateSysPara());
  CAlgorithmPara alg{frameLength, frameLength};
  const int initResult = recorder->Init(*sys, alg);
  sys->Destroy();
  if (initResult == 0 || recorder->Go() == 0) return {};
  auto frame = std::make_unique<FRAMEDATA>();
  for (int guard = 0; guard < 1000000; ++guard) {
    frame->monitor.count = 0;
    if (recorder->ProcessFrame(frame.get(), nullptr) == 0) break;
  }
  recorder->Stop();
  recorder->Reset();
  return std::move(recorder->frames);
}

struct Score {
  int frames = 0;
  int reliable = 0;
  int wrong = 0;
  // Wrong frames at the noise floor on both sides.
  int wrongQuiet = 0;
  // Reliable frames at the noise floor on both sides (RMS of 2 or less in
  // 16-bit units): dither between words, the same at any delay.
  int reliableQuiet = 0;
  int worst = 0;
  double lastWrongMs = 0.0;  // after the step
  std::string firstWrong;
};

Score ScoreFrames(const std::vector<RecordedFrame>& frames, const Truth& truth, int tolerance, int64_t step,
                  int rate) {
  Score score;
  for (size_t f = 0; f < frames.size(); ++f) {
    const RecordedFrame& frame = frames[f];
    ++score.frames;
    if (!IsReliable(frame)) continue;
    ++score.reliable;
    const auto rms = [](const std::vector<float>& v) {
      double sum = 0.0;
      for (float x : v) sum += double(x) * x;
      return v.empty() ? 0.0 : std::sqrt(sum / double(v.size()));
    };
    if (rms(frame.samples[0][0]) <= 2.0 && rms(frame.samples[1][0]) <= 2.0) ++score.reliableQuiet;
    const int64_t first = FirstTestSample(frame);
    const int64_t last = first + frame.count - 1;
    const int offFirst = std::abs(truth(first) - frame.delay);
    const int offLast = std::abs(truth(last) - frame.delay);
    if (offFirst <= tolerance || offLast <= tolerance) continue;
    ++score.wrong;
    if (rms(frame.samples[0][0]) <= 2.0 && rms(frame.samples[1][0]) <= 2.0) ++score.wrongQuiet;
    if (std::getenv("SPEECH_DELAY_DUMP") != nullptr) {
      std::printf("    wrong frame %zu first %lld delay %d truth %d q %d rms ref %.1f test %.1f\n", f,
                  (long long)first, frame.delay, truth(first), frame.quality, rms(frame.samples[0][0]),
                  rms(frame.samples[1][0]));
    }
    score.worst = std::max(score.worst, std::min(offFirst, offLast));
    if (step > 0) score.lastWrongMs = std::max(score.lastWrongMs, 1000.0 * double(last - step) / rate);
    if (score.firstWrong.empty())
      score.firstWrong = "frame " + std::to_string(f) + " at " + std::to_string(frame.delay) + " q " +
                         std::to_string(frame.quality) + ", truth " + std::to_string(truth(first));
  }
  return score;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SPEECH.raw [RATE]\n", argv[0]);
    return 2;
  }
  SetTraceMask(0);
  const int rate = argc > 2 ? std::atoi(argv[2]) : 16000;
  // Every frame near a step (or all of a drift) of a run with wrong frames.
  const bool dump = std::getenv("SPEECH_DELAY_DUMP") != nullptr;
  const std::vector<float> speech = ReadRaw16(argv[1]);
  if (speech.size() < size_t(4 * rate)) {
    std::fprintf(stderr, "%s: fewer than 4 s of samples\n", argv[1]);
    return 2;
  }
  struct Case {
    std::string name;
    std::function<double(int64_t)> delayAt;
    int tolerance;
    int64_t step;
  };
  // Each step at nine places through the file (in words and in pauses),
  // scored together.
  std::vector<std::vector<Case>> groups;
  const int kPlaces = 9;
  for (const auto& [from, to] : {std::pair{0, 1600}, {1600, 0}, {800, 2400}, {2400, 800}, {1600, 3200}}) {
    std::vector<Case> group;
    for (int k = 1; k <= kPlaces; ++k) {
      const int64_t step = int64_t(speech.size()) * k / (kPlaces + 1) + 37 * k;
      group.push_back({"step " + std::to_string(from) + ">" + std::to_string(to),
                       [=](int64_t n) { return n < step ? double(from) : double(to); }, 0, step});
    }
    groups.push_back(std::move(group));
  }
  for (const double ppm : {300.0, -300.0})
    groups.push_back({{std::to_string(int(ppm)) + " ppm from 800",
                       [=](int64_t n) { return 800.0 + ppm * 1e-6 * double(n); }, 3, 0}});
  const TrackingMode modes[] = {{"tvd0", 1, 0}, {"tvd1", 1, 1}};
  bool anyWrong = false;
  std::printf("%-18s %-5s %-5s %5s %7s %8s %7s %6s %6s %6s %9s  %s\n", "case", "input", "mode", "frame",
              "frames", "reliable", "quiet", "wrong", "wrongq", "worst", "lastms", "first wrong");
  for (const std::vector<Case>& group : groups)
    for (const bool live : {false, true})
      for (const TrackingMode& mode : modes)
        for (const uint32_t frameLength : {100u, 128u, 512u}) {
          Score total;
          for (const Case& c : group) {
            const auto delayAt = c.delayAt;
            const Truth truth = [delayAt](int64_t n) { return int(std::lround(delayAt(n))); };
            FilePair pair;
            if (c.tolerance == 0) {
              pair = PairOfTruth(speech, truth, rate);
            } else {
              pair.rate = rate;
              pair.reference = speech;
              pair.test = DelayedAlong(speech, c.delayAt);
            }
            const std::vector<RecordedFrame> frames =
                live ? MeasureLive(pair, mode, frameLength) : MeasureTracked(pair, mode, frameLength);
            const Score s = ScoreFrames(frames, truth, c.tolerance, c.step, rate);
            if (dump && s.wrong > 0)
              for (size_t f = 0; f < frames.size(); ++f) {
                const int64_t first = FirstTestSample(frames[f]);
                if (c.step > 0 && std::abs(first - c.step) > 6000) continue;
                std::printf("  %s %s %s %u step %lld f %zu first %lld delay %d status %d q %d e %.0f %.0f\n",
                            c.name.c_str(), live ? "live" : "file", mode.name, frameLength, (long long)c.step, f,
                            (long long)first, frames[f].delay, frames[f].status, frames[f].quality,
                            frames[f].refEnergy, frames[f].testEnergy);
              }
            total.frames += s.frames;
            total.reliable += s.reliable;
            total.wrong += s.wrong;
            total.wrongQuiet += s.wrongQuiet;
            total.reliableQuiet += s.reliableQuiet;
            total.worst = std::max(total.worst, s.worst);
            total.lastWrongMs = std::max(total.lastWrongMs, s.lastWrongMs);
            if (total.firstWrong.empty() && !s.firstWrong.empty())
              total.firstWrong = "step at " + std::to_string(c.step) + ": " + s.firstWrong;
          }
          anyWrong = anyWrong || total.wrong > 0;
          std::printf("%-18s %-5s %-5s %5u %7d %7.1f%% %6.1f%% %6d %6d %6d %9.1f  %s\n", group[0].name.c_str(),
                      live ? "live" : "file", mode.name, frameLength, total.frames,
                      total.frames ? 100.0 * total.reliable / total.frames : 0.0,
                      total.frames ? 100.0 * total.reliableQuiet / total.frames : 0.0, total.wrong, total.wrongQuiet,
                      total.worst,
                      total.lastWrongMs, total.firstWrong.c_str());
          std::fflush(stdout);
        }
  return anyWrong ? 1 : 0;
}
