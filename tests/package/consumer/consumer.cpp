// A program outside the tree built against the installed library: one real
// FFT checked against its closed form, then the README's example, a
// measurement of a file pair through CMsystem, on a pair whose delay it
// wrote itself, and two measurements the library refuses with a reason
// instead of ending the program or measuring wrongly.
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "Vantrel/Vantrel.h"
#include "primitives/fft/sp_real_fft_f64.h"
#include "wavio/SoundFile.h"

namespace {

// --- the README's example ---------------------------------------------------
// The measurement class: Init applies SetDefaultPara, so settings that the
// defaults cover (the search range here) go in an override.
class DelayReader : public CMsystem {
 public:
  using CMsystem::Query;
  void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
    CMsystem::SetDefaultPara(sys, flags);
    sys->delayPara.maxDelayFileMs = 200;
  }
  int Query(uint32_t, CQueryResult&) override { return 0; }
  int AlgorithmOperationA() override { return 0; }
  int AlgorithmOperationB() override { return 0; }
  int AlgorithmOperationC() override { return 0; }
};

// Init of a mono file pair whose records say `rate` Hz; Init's result.
int InitMonoPair(CMsystem& system, const std::string& reference, const std::string& test, int rate) {
  SYSPARA* sys = static_cast<SYSPARA*>(system.CreateSysPara());
  sys->channels = 1;
  sys->delayPara.compensationOn = 1;
  for (int input = 0; input < 2; ++input) {
    sys->inputPara[input].fileName = input == 0 ? reference : test;
    sys->inputPara[input].wave = WAVEPARA{1, rate, 16, 1, 0, 0};
    sys->routingTable[input][0] = INPUTMUXPARA{input, 0};
  }
  CAlgorithmPara alg{1024, 1024};
  const int ready = system.Init(*sys, alg);
  sys->Destroy();
  return ready;
}

// The delay of `test` behind `reference` (mono files at `rate` Hz) in the last frame.
int MeasureDelay(const std::string& reference, const std::string& test, int rate) {
  DelayReader system;
  auto frame = std::make_unique<FRAMEDATA>();
  int delay = 0;
  if (InitMonoPair(system, reference, test, rate) == 0 || system.Go() == 0) return -1;
  while (system.ProcessFrame(frame.get(), nullptr) != 0) {
    frame->monitor.count = 0;
    delay = frame->header.delay;
  }
  system.Stop();
  return delay;
}
// ------------------------------------------------------------------------------

// A search over 240 s at 4 MHz needs a window of 2^31 points: Init refuses
// it and says why. Returns the reason ("" when Init did not refuse) and
// its code.
std::string RefusedInit(const std::string& reference, const std::string& test, RefusalCode* code) {
  struct WideRange : DelayReader {
    void SetDefaultPara(SYSPARA* sys, uint32_t flags) override {
      DelayReader::SetDefaultPara(sys, flags);
      sys->delayPara.maxDelayFileMs = 240000;
    }
  } system;
  *code = RefusalCode::None;
  if (InitMonoPair(system, reference, test, 4000000) != 0) return std::string();
  *code = system.LastRefusalCode();
  return system.LastRefusal().Text();
}

// The files hold 16 kHz; a record that says 48 kHz would time every delay
// three times wrong: Go refuses it and says why. Returns the reason and
// its code.
std::string RefusedFormat(const std::string& reference, const std::string& test, RefusalCode* code) {
  DelayReader system;
  *code = RefusalCode::None;
  if (InitMonoPair(system, reference, test, 48000) == 0 || system.Go() != 0) return std::string();
  *code = system.LastRefusalCode();
  return system.LastRefusal().Text();
}

bool FftOfACosine() {
  // x[n] = cos(2 pi 3 n / 16): bin 3 holds 8, every other bin 0.
  const int order = 4, n = 1 << order;
  REALFFTSPEC* spec = nullptr;
  if (spRealFftInitF64(&spec, order, 8, 0) != 0) return false;
  std::vector<double> x(n), spectrum(n + 2);
  for (int k = 0; k < n; ++k) x[k] = std::cos(2.0 * std::numbers::pi * 3.0 * k / n);
  std::vector<uint8_t> work(spec->workBytes + 15);
  const bool ran = spRealFftFwdF64(x.data(), spectrum.data(), spec, work.data()) == 0;
  spRealFftFreeF64(spec);
  bool ok = ran;
  for (int bin = 0; bin <= n / 2; ++bin)
    ok = ok && std::abs(spectrum[2 * bin] - (bin == 3 ? 8.0 : 0.0)) < 1e-12 && std::abs(spectrum[2 * bin + 1]) < 1e-12;
  return ok;
}

bool WritePair(const std::string& folder, int rate, int lag) {
  std::mt19937 generator(7);
  std::uniform_real_distribution<float> noise(-3000.0f, 3000.0f);
  std::vector<float> source(3 * rate + lag), reference(3 * rate), test(3 * rate);
  for (float& v : source) v = std::round(noise(generator));
  for (size_t n = 0; n < reference.size(); ++n) {
    reference[n] = source[n + lag];
    test[n] = source[n];  // the reference `lag` samples later
  }
  const SoundFileSpec spec{rate, 1, SoundFileEncoding::Pcm16, "wav"};
  return WriteSoundFile(folder + "/ref.wav", spec, reference.data(), int64_t(reference.size())) &&
         WriteSoundFile(folder + "/test.wav", spec, test.data(), int64_t(test.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  if (!FftOfACosine()) {
    std::fprintf(stderr, "consumer: the FFT of a cosine is wrong\n");
    return 1;
  }
  const int rate = 16000, lag = 321;
  if (!WritePair(folder, rate, lag)) {
    std::fprintf(stderr, "consumer: cannot write the pair into %s\n", folder.c_str());
    return 1;
  }
  const int delay = MeasureDelay(folder + "/ref.wav", folder + "/test.wav", rate);
  if (delay != lag) {
    std::fprintf(stderr, "consumer: delay %d, expected %d\n", delay, lag);
    return 1;
  }
  RefusalCode wideCode = RefusalCode::None, formatCode = RefusalCode::None;
  const std::string wide = RefusedInit(folder + "/ref.wav", folder + "/test.wav", &wideCode);
  const std::string format = RefusedFormat(folder + "/ref.wav", folder + "/test.wav", &formatCode);
  if (wide.find("window above") == std::string::npos || format.find("16000 Hz") == std::string::npos) {
    std::fprintf(stderr, "consumer: refusals without their reasons: '%s', '%s'\n", wide.c_str(), format.c_str());
    return 1;
  }
  if (wideCode != RefusalCode::Window || formatCode != RefusalCode::FormatMismatch) {
    std::fprintf(stderr, "consumer: refusal codes '%s', '%s'; expected window, format mismatch\n",
                 RefusalCodeName(wideCode), RefusalCodeName(formatCode));
    return 1;
  }
  std::printf("consumer: refused Init: %s\n", wide.c_str());
  std::printf("consumer: refused format: %s\n", format.c_str());
  std::printf("consumer: FFT and a measured delay of %d samples through the installed library\n", delay);
  return 0;
}
