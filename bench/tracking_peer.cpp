// A sliding-window peer for judging delay tracking, and the figures that
// compare the example host's frames with it. The peer estimates the delay
// of every frame on its own, by GCC-PHAT over the last two seconds of both
// files (FFTW, as the other benchmarks' references; never part of the
// component; --window-s for another length), and calls a frame reliable when its peak stands well clear
// of every other lag. Given the host's CSV of the same pair, the host's
// frames are scored in the same way against the known truth; --csv may be
// given several times (one "host" line each, in order), and the peer runs once.
//
//   tracking_peer REF.wav TEST.wav TRUTH [--csv HOST.csv] [--frame N]
//                 [--offset N] [--max-delay-ms MS] [--window-s SECONDS]
//                 [--tolerance N]
//
// TRUTH: "const:D", "steps:T0=D0,T1=D1,..." (seconds from the start, delay
// in samples, positive when the test lags) or "speed:S" (the test is the
// reference played at S times its speed: delay m (1/S - 1) at reference
// sample m). A CSV row is scored at its own first_sample; the peer's frame
// k, and a CSV row without that column, covers the reference from sample
// offset + k frame on (default offset 0: every file frame is handed out).
// A reliable frame more than --tolerance samples off the truth (default 3,
// as a drift allows; 0 asks a constant delay to be exact) is wrong.
#include "fftw_pair.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "wavio/SoundFile.h"

namespace {

struct Signal {
  int rate = 0;
  std::vector<float> samples;  // channel 0
};

bool Load(const std::string& path, Signal* out) {
  SoundFileReader reader;
  if (!reader.Open(path)) return false;
  const SoundFileFormat format = reader.Format();
  std::vector<float> interleaved(size_t(format.frames) * size_t(format.channels));
  const int64_t got = reader.Read(interleaved.data(), format.frames);
  out->rate = format.sampleRate;
  out->samples.resize(size_t(got));
  for (int64_t n = 0; n < got; ++n) out->samples[size_t(n)] = interleaved[size_t(n) * size_t(format.channels)];
  return true;
}

struct Truth {
  std::string kind;
  std::vector<std::pair<double, double>> steps;  // (seconds, delay)
  double value = 0.0;

  double At(int64_t m, int rate) const {
    if (kind == "const") return value;
    if (kind == "speed") return double(m) * (1.0 / value - 1.0);
    double d = steps.front().second;
    for (const auto& [t, delay] : steps)
      if (double(m) >= t * rate) d = delay;
    return d;
  }
};

bool ParseTruth(const std::string& text, Truth* truth) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  truth->kind = text.substr(0, colon);
  const std::string rest = text.substr(colon + 1);
  if (truth->kind == "const" || truth->kind == "speed") {
    truth->value = std::atof(rest.c_str());
    return true;
  }
  if (truth->kind != "steps") return false;
  std::stringstream list(rest);
  std::string item;
  while (std::getline(list, item, ',')) {
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return false;
    truth->steps.emplace_back(std::atof(item.substr(0, eq).c_str()), std::atof(item.substr(eq + 1).c_str()));
  }
  return !truth->steps.empty();
}

struct FrameCall {
  int delay = 0;  // samples, positive when the test lags
  bool reliable = false;
  int64_t firstSample = -1;  // the frame's first reference sample, when known
};

// GCC-PHAT of the window of both signals that ends at `end`: the lag
// (test behind the reference) with the largest weighted correlation within
// +-maxLag, reliable when it stands 2.5 times above any lag a few samples
// beyond its lobe and 8 times above the mean magnitude.
class Phat {
 public:
  Phat(int window, int maxLag)
      : m_window(window), m_maxLag(maxLag), m_pair(PointsFor(window + maxLag), FFTW_ESTIMATE) {}

  FrameCall Estimate(const Signal& ref, const Signal& test, int64_t end) {
    const int64_t start = end - m_window;
    const int n = int(m_pair.n);
    for (int i = 0; i < n; ++i) {
      const int64_t at = start + i;
      const bool inside = i < m_window && at >= 0;
      m_pair.x[i] = inside && at < int64_t(ref.samples.size()) ? ref.samples[size_t(at)] : 0.0;
      m_pair.y[i] = inside && at < int64_t(test.samples.size()) ? test.samples[size_t(at)] : 0.0;
    }
    m_pair.Forward();
    fftw_complex* fa = m_pair.fx;
    fftw_complex* fb = m_pair.fy;
    for (int k = 0; k <= n / 2; ++k) {
      // conj(A) B, whitened.
      const double re = fa[k][0] * fb[k][0] + fa[k][1] * fb[k][1];
      const double im = fa[k][0] * fb[k][1] - fa[k][1] * fb[k][0];
      // PHAT with beta 0.8: bands the signals leave empty are not lifted
      // to the level of the rest.
      const double mag = std::pow(std::hypot(re, im), 0.8);
      fb[k][0] = mag > 1e-9 ? re / mag : 0.0;
      fb[k][1] = mag > 1e-9 ? im / mag : 0.0;
    }
    m_pair.InverseY();
    // y[k]: sum a[j] b[j + k], so a test lagging by d peaks at k = d.
    const double* y = m_pair.y;
    auto at = [&](int lag) { return y[(lag % n + n) % n]; };
    int best = 0;
    double sum = 0.0;
    for (int lag = -m_maxLag; lag <= m_maxLag; ++lag) {
      sum += std::fabs(at(lag));
      if (at(lag) > at(best)) best = lag;
    }
    // The peak's own lobe (smeared by a drift within the window) is not a rival.
    int low = best, high = best;
    while (low > -m_maxLag && at(low - 1) >= 0.5 * at(best)) --low;
    while (high < m_maxLag && at(high + 1) >= 0.5 * at(best)) ++high;
    double second = 0.0;
    for (int lag = -m_maxLag; lag <= m_maxLag; ++lag)
      if (lag < low - 8 || lag > high + 8) second = std::max(second, at(lag));
    const double mean = sum / (2 * m_maxLag + 1);
    return FrameCall{best, at(best) > 2.5 * second && at(best) > 8.0 * mean};
  }

 private:
  static int64_t PointsFor(int span) {
    int64_t n = 1;
    while (n < span) n *= 2;
    return n;
  }
  int m_window, m_maxLag;
  FftwPair m_pair;
};

std::vector<FrameCall> ReadCsv(const std::string& path) {
  std::vector<FrameCall> calls;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    int frame = 0, delay = 0, status = 0;
    long long firstSample = -1;
    const int read =
        std::sscanf(line.c_str(), "%d,%d,%*[^,],%d,%*[^,],%*[^,],%*[^,],%lld", &frame, &delay, &status, &firstSample);
    if (read < 3) continue;
    calls.push_back(FrameCall{delay, status == 1, read == 4 ? int64_t(firstSample) : -1});
  }
  return calls;
}

struct Score {
  int frames = 0, reliable = 0, wrong = 0, worst = 0;
  std::vector<int> follow;  // per step: frames until a reliable frame at the new delay (-1: never)
};

Score Judge(const std::vector<FrameCall>& calls, const Truth& truth, int64_t offset, int frame, int rate,
            int tolerance) {
  const auto firstSampleOf = [&](size_t k) {
    return calls[k].firstSample >= 0 ? calls[k].firstSample : offset + int64_t(k) * frame;
  };
  Score score;
  score.frames = int(calls.size());
  // Per step: the first frame that begins at or after it.
  std::vector<size_t> stepFrames;
  if (truth.kind == "steps")
    for (size_t s = 1; s < truth.steps.size(); ++s) {
      const int64_t at = int64_t(truth.steps[s].first * rate);
      size_t k = 0;
      while (k < calls.size() && firstSampleOf(k) < at) ++k;
      stepFrames.push_back(k);
    }
  score.follow.assign(stepFrames.size(), -1);
  for (size_t k = 0; k < calls.size(); ++k) {
    if (!calls[k].reliable) continue;
    ++score.reliable;
    // A frame across a step holds samples of both delays: either is right.
    // A drifting delay is judged at the frame's middle.
    const int64_t first = firstSampleOf(k);
    const auto offFrom = [&](int64_t m) { return int(std::lround(std::fabs(calls[k].delay - truth.At(m, rate)))); };
    const int off =
        truth.kind == "steps" ? std::min(offFrom(first), offFrom(first + frame - 1)) : offFrom(first + frame / 2);
    if (off > tolerance) {
      ++score.wrong;
      score.worst = std::max(score.worst, off);
    }
    for (size_t s = 0; s < stepFrames.size(); ++s)
      if (k >= stepFrames[s] && score.follow[s] < 0 && off <= tolerance &&
          (s + 1 == stepFrames.size() || k < stepFrames[s + 1]))
        score.follow[s] = int(k - stepFrames[s]);
  }
  return score;
}

void Print(const char* who, const Score& s, int frame, int rate) {
  std::printf("%-6s frames %5d  reliable %5.1f %%  wrong reliable %4d (worst %d)", who, s.frames,
              s.frames > 0 ? 100.0 * s.reliable / s.frames : 0.0, s.wrong, s.worst);
  for (int f : s.follow) {
    if (f < 0)
      std::printf("  step: never");
    else
      std::printf("  step: %d frames (%.2f s)", f, double(f) * frame / rate);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: %s REF.wav TEST.wav TRUTH [--csv HOST.csv] [--frame N] [--offset N] [--max-delay-ms MS] "
                 "[--window-s SECONDS] [--tolerance N]\n",
                 argv[0]);
    return 2;
  }
  Signal ref, test;
  Truth truth;
  if (!Load(argv[1], &ref) || !Load(argv[2], &test) || !ParseTruth(argv[3], &truth)) {
    std::fprintf(stderr, "cannot read the files or the truth\n");
    return 1;
  }
  std::vector<std::string> csvs;
  int frame = 0;
  int64_t offset = -1;
  int maxDelayMs = 1000;
  double windowSeconds = 2.0;
  int tolerance = 3;
  for (int i = 4; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--csv") csvs.push_back(argv[i + 1]);
    if (option == "--frame") frame = std::atoi(argv[i + 1]);
    if (option == "--offset") offset = std::atoll(argv[i + 1]);
    if (option == "--max-delay-ms") maxDelayMs = std::atoi(argv[i + 1]);
    if (option == "--window-s") windowSeconds = std::atof(argv[i + 1]);
    if (option == "--tolerance") tolerance = std::atoi(argv[i + 1]);
  }
  // The host's frames: 512 samples up to 16 kHz, 1024 above.
  if (frame == 0) frame = ref.rate > 16000 ? 1024 : 512;
  if (offset < 0) offset = 0;
  const int maxLag = int(int64_t(ref.rate) * maxDelayMs / 1000);
  Phat phat(int(windowSeconds * ref.rate), maxLag);
  std::vector<FrameCall> peer;
  const int64_t frames = (int64_t(ref.samples.size()) - offset) / frame;
  FrameCall last;
  for (int64_t k = 0; k < frames; ++k) {
    // A new estimate every 4 frames, over the window centred on the frame
    // (the peer may look ahead: it shows what the files allow); the frames
    // between keep the last one.
    if (k % 4 == 0)
      last = phat.Estimate(ref, test, offset + k * frame + frame / 2 + int64_t(windowSeconds * ref.rate) / 2);
    peer.push_back(last);
  }
  Print("peer", Judge(peer, truth, offset, frame, ref.rate, tolerance), frame, ref.rate);
  for (const std::string& csv : csvs)
    Print("host", Judge(ReadCsv(csv), truth, offset, frame, ref.rate, tolerance), frame, ref.rate);
  return 0;
}
