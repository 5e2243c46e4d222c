// Measures many file pairs in one process with the library's own calls, as
// README's "Many pairs in one process" tells: one CMsystem, set up once by
// Init, then for each pair UpdateSysPara with the pair's files and Go, its
// frames, and Stop. Reads "REFERENCE TEST" lines from stdin and prints
// "REFERENCE TEST DELAY RELIABLE/FRAMES" per pair (DELAY in samples, the
// last frame's; "refused: ..." when the library refused the pair).
//   many_pairs_worker [--track] < pairs.txt
// bench/many_pairs.sh runs it beside one host process per pair and scipy.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/Vantrel.h"
#include "wavio/SoundFile.h"

namespace {

// The host's settings (README, "The library's defaults and the host's").
class PairMeasurement : public CMsystem {
 public:
  using CMsystem::Query;
  explicit PairMeasurement(bool track) : m_track(track) {}
  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    if (sys == nullptr || !m_track) return;
    sys->delayPara.tracking = 1;
    sys->delayPara.maxDelayRealtimeMs = sys->delayPara.maxDelayFileMs;
  }
  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }

 private:
  bool m_track;
};

// The record for one pair: the formats from the files, both channels of a
// stereo pair routed, the host's level setting.
bool DescribePair(SYSPARA* sys, const std::string& reference, const std::string& test, bool track) {
  SoundFileReader reader[2];
  if (!reader[0].Open(reference) || !reader[1].Open(test)) return false;
  const SoundFileFormat format = reader[0].Format();
  sys->channels = format.channels < 2 ? format.channels : 2;
  sys->delayPara.compensationOn = 1;
  sys->delayPara.trackVariableDelay = track ? 1 : 0;
  sys->levelPara.invertOnNegative = 1;
  for (int input = 0; input < 2; ++input) {
    sys->inputPara[input].fileName = input == 0 ? reference : test;
    sys->inputPara[input].wave =
        WAVEPARA{1, format.sampleRate, reader[input].Format().bitsPerSample, format.channels, 0, 0};
    for (int channel = 0; channel < sys->channels; ++channel)
      sys->routingTable[input][channel] = INPUTMUXPARA{input, channel};
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool track = argc > 1 && std::strcmp(argv[1], "--track") == 0;
  SetTraceMask(0);
  PairMeasurement system(track);
  auto* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  static FRAMEDATA frame;  // tens of kB: kept off the stack
  bool initialised = false;
  std::string reference, test;
  int failures = 0;
  while (std::cin >> reference >> test) {
    if (!DescribePair(sys, reference, test, track)) {
      std::printf("%s %s refused: a file cannot be opened\n", reference.c_str(), test.c_str());
      ++failures;
      continue;
    }
    // Init sets the frame length; later pairs bring their record by
    // UpdateSysPara, which sizes the buffers and the search anew when the
    // pair needs it (another rate, channel count or length). The host's
    // frame length follows the rate, so a pair across 24 kHz takes an Init.
    const uint32_t frameLength = sys->inputPara[0].wave.sampleRate > 24000 ? 1024u : 512u;
    const bool sameFrames = initialised && system.AlgorithmPara().frameLength == frameLength;
    int ready = sameFrames ? system.UpdateSysPara(sys) : 0;
    if (ready == 0 && !sameFrames) {
      CAlgorithmPara alg{frameLength, frameLength};
      ready = system.Init(*sys, alg);
      initialised = ready != 0;
    }
    if (ready == 0 || system.Go() == 0) {
      std::printf("%s %s refused: %s\n", reference.c_str(), test.c_str(), system.LastRefusal().Text().c_str());
      ++failures;
      continue;
    }
    int frames = 0, reliable = 0, delay = 0;
    while (true) {
      frame.monitor.count = 0;
      if (system.ProcessFrame(&frame, nullptr) == 0) break;
      ++frames;
      reliable += (frame.header.delayStatus & 0xFFFF) == 1 ? 1 : 0;
      delay = frame.header.delay;
    }
    system.Stop();
    std::printf("%s %s %d %d/%d\n", reference.c_str(), test.c_str(), delay, reliable, frames);
  }
  sys->Destroy();
  return failures == 0 ? 0 : 1;
}
