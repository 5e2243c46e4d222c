// A 60-second stereo 48 kHz file pair measured end to end through CMsystem
// and the front end: Go (open, delay search, level measurement, restart)
// and every frame. Reported: time to the first frame, the total and the
// real-time factor (signal seconds per second of work), for the default
// search range and a narrower one; and, to show where the time goes, Init
// (allocation) and Go (delay search, level measurement, restart) apart.
// Apart from that, the delay search's correlators alone: the 16 feeds and
// picks of a search at the default geometry, on warm buffers.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/MSystem.h"
#include "Vantrel/frontend/CorrelatorSet.h"
#include "wavio/SoundFile.h"

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 60;
constexpr int kLag = 1234;
constexpr uint32_t kFrame = 1024;

class Watcher : public CMsystem {
 public:
  using CMsystem::Query;
  Watcher(std::string reference, std::string test, int maxDelayMs)
      : m_reference(std::move(reference)), m_test(std::move(test)), m_maxDelayMs(maxDelayMs) {}
  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    if (sys == nullptr) return;
    sys->channels = 2;
    for (int input = 0; input < 2; ++input) {
      sys->inputPara[input].mode = INPUT_MODE_FILE;
      sys->inputPara[input].fileName = input == 0 ? m_reference : m_test;
      sys->inputPara[input].wave = WAVEPARA{1, kRate, 16, 2, 0, 0};
      for (int channel = 0; channel < 2; ++channel) sys->routingTable[input][channel] = INPUTMUXPARA{input, channel};
    }
    sys->delayPara.compensationOn = 1;
    sys->delayPara.maxDelayFileMs = m_maxDelayMs;
    sys->levelPara.levelAlign = 1;
  }
  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }

 private:
  std::string m_reference, m_test;
  int m_maxDelayMs;
};

struct Files {
  std::string reference, test;
  Files() {
    // Named for the process: runs side by side must not write over each other's pair.
    const std::string folder = std::filesystem::temp_directory_path().string();
    const std::string stem = folder + "/vantrel-bench-" + std::to_string(getpid());
    reference = stem + "-reference.wav";
    test = stem + "-test.wav";
    const size_t frames = size_t(kRate) * kSeconds;
    std::mt19937 generator(7);
    std::normal_distribution<double> normal(0.0, 3000.0);
    std::vector<double> source(2 * (frames + kLag));
    for (double& v : source) v = normal(generator);
    std::vector<float> ref(2 * frames), tst(2 * frames);
    for (size_t n = 0; n < frames; ++n)
      for (int c = 0; c < 2; ++c) {
        ref[2 * n + c] = float(std::round(source[2 * (n + kLag) + c]));
        tst[2 * n + c] = float(std::round(0.5 * source[2 * n + c] + 0.05 * normal(generator)));
      }
    const SoundFileSpec spec{kRate, 2, SoundFileEncoding::Pcm16, "wav"};
    WriteSoundFile(reference, spec, ref.data(), int64_t(frames));
    WriteSoundFile(test, spec, tst.data(), int64_t(frames));
  }
  ~Files() {
    std::remove(reference.c_str());
    std::remove(test.c_str());
  }
};

void BM_FilePairEndToEnd(benchmark::State& state) {
  static Files files;
  SetTraceMask(0);
  const int maxDelayMs = int(state.range(0));
  double firstFrame = 0.0, total = 0.0, init = 0.0, go = 0.0;
  int frames = 0, reliable = 0, delay = 0;
  for (auto _ : state) {
    using Clock = std::chrono::steady_clock;
    auto system = std::make_unique<Watcher>(files.reference, files.test, maxDelayMs);
    SYSPARA* sys = static_cast<SYSPARA*>(system->CreateSysPara());
    CAlgorithmPara alg{kFrame, kFrame};
    const auto start = Clock::now();
    system->Init(*sys, alg);
    init = std::chrono::duration<double>(Clock::now() - start).count();
    sys->Destroy();
    system->Go();
    go = std::chrono::duration<double>(Clock::now() - start).count() - init;
    auto frame = std::make_unique<FRAMEDATA>();
    frames = reliable = 0;
    while (true) {
      frame->monitor.count = 0;
      if (system->ProcessFrame(frame.get(), nullptr) == 0) break;
      if (frames++ == 0) firstFrame = std::chrono::duration<double>(Clock::now() - start).count();
      reliable += (frame->header.delayStatus & 0xFFFF) == 1 ? 1 : 0;
      delay = frame->header.delay;
    }
    system->Reset();
    total = std::chrono::duration<double>(Clock::now() - start).count();
  }
  state.counters["first_frame_ms"] = 1000.0 * firstFrame;
  state.counters["init_ms"] = 1000.0 * init;
  state.counters["go_ms"] = 1000.0 * go;
  state.counters["total_ms"] = 1000.0 * total;
  state.counters["realtime_x"] = kSeconds / total;
  state.counters["frames"] = frames;
  state.counters["reliable"] = reliable;
  state.counters["delay"] = delay;
}

// 1000 ms is the component's default range (a 65536-point search window);
// 500 ms halves it.
BENCHMARK(BM_FilePairEndToEnd)->Arg(1000)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3);

// Rings of noise in 16-bit units, the test a half-level copy `lag` samples late.
struct RingPair {
  std::vector<float> reference, test;
  RingPair(int ring, unsigned seed, int lag) : reference(size_t(ring)), test(size_t(ring)) {
    std::mt19937 generator(seed);
    std::normal_distribution<float> normal(0.0f, 3000.0f);
    for (float& v : reference) v = std::round(normal(generator));
    for (size_t n = 0; n < test.size(); ++n) test[n] = 0.5f * reference[(n + size_t(ring) - size_t(lag)) % size_t(ring)];
  }
};

// 8192-sample blocks against a 65536-sample window: the search geometry of
// the default range at 48 kHz.
void BM_SearchFeeds(benchmark::State& state) {
  constexpr uint32_t kBlock = 8192, kWindow = 65536, kFeeds = 16;
  constexpr int kRing = 3 * int(kWindow);
  const RingPair rings(kRing, 5, kLag);
  const std::vector<float>&reference = rings.reference, &test = rings.test;
  CCorrelatorSet set;
  set.Init(kBlock, kWindow, 2);
  int round = 0;
  for (auto _ : state) {
    for (uint32_t k = 0; k < kFeeds; ++k) {
      const int end = int((k * kFrame + uint32_t(round) * 77) % kRing);
      set.Feed(reference.data(), end, 1e9, test.data(), end, 1e9, kRing);
      int ok = 0;
      CORRRESULT* result = nullptr;
      set.PickBest(&ok, &result, 1, 0);
      benchmark::DoNotOptimize(result->delay);
    }
    ++round;
  }
}
BENCHMARK(BM_SearchFeeds)->Unit(benchmark::kMillisecond)->MinTime(0.5);

// The tracked re-check's share of one frame at 48 kHz: 1024-sample blocks
// against a 4096-sample window, fed, picked by magnitude and signed, and
// read at the delay, as the re-check does every frame.
void BM_RecheckFrames(benchmark::State& state) {
  constexpr uint32_t kBlock = 1024, kWindow = 4096, kFrames = 64;
  constexpr int kRing = 16 * int(kWindow);
  const RingPair rings(kRing, 7, 600);
  const std::vector<float>&reference = rings.reference, &test = rings.test;
  CCorrelatorSet set;
  set.Init(kBlock, kWindow, 2);
  int round = 0;
  for (auto _ : state) {
    for (uint32_t k = 0; k < kFrames; ++k) {
      const int end = int((k * kFrame + uint32_t(round) * 77) % kRing);
      set.Feed(reference.data(), end, 1e9, test.data(), end, 1e9, kRing);
      int ok = 0;
      CORRRESULT* result = nullptr;
      set.PickBest(&ok, &result, 1, 0);
      set.PickBestSigned(&ok, &result, 1.0f, 0);
      benchmark::DoNotOptimize(set.ValueAtLag(600, 0));
    }
    ++round;
  }
  state.counters["frames/s"] = benchmark::Counter(double(kFrames), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RecheckFrames)->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
