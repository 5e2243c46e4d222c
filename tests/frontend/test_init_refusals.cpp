// Init on searches the library cannot serve as asked: it narrows the range
// to what the files and the memory allow, or returns 0 with a reason, and
// never ends the calling program.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <functional>
#include <memory>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/DelaySearchRange.h"
#include "frontend/measurement_run.h"
#include "frontend/speech_like.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

class InitRefusalTest : public ::testing::Test {
 protected:
  InitRefusalTest() { SetTraceMask(0); }
  ~InitRefusalTest() override { SetTraceMask(TRACE_MASK_BEFORE_LOAD); }

  // A file pair record at `rate` over `maxDelayMs`, then `edit`.
  std::unique_ptr<FrameRecorder> System(int rate, int maxDelayMs, std::function<void(SYSPARA&)> edit = nullptr) {
    return std::make_unique<FrameRecorder>([=, this](SYSPARA& sys) {
      FileMeasurementSettings(sys, m_reference, m_test, 1);
      for (INPUTPARAEXT& input : sys.inputPara) input.wave.sampleRate = rate;
      sys.delayPara.maxDelayFileMs = maxDelayMs;
      if (edit) edit(sys);
    });
  }
  static int Init(CMsystem& system, uint32_t frameLength = kMeasureFrame) {
    return InitWithNewRecord(system, frameLength);
  }

  TempDir m_dir;
  // Not written unless a test writes them: Init reads no file it cannot open.
  std::string m_reference = m_dir.File("reference.wav"), m_test = m_dir.File("test.wav");
};

TEST_F(InitRefusalTest, RefusesWhatNoBufferCanHoldWithAReason) {
  struct Case {
    const char* what;
    int rate;
    int maxDelayMs;
    int inputOffsetMs;
    const char* says;
    RefusalCode code;
  } cases[] = {
      // 4 MHz over 240 s needs a window of 2^31 points.
      {"a window of 2^31", 4000000, 240000, 0, "needs a window above 1073741824 points", RefusalCode::Window},
      // 1e8 ms at 48 kHz: 4.8e9 samples of offset.
      {"an offset beyond the rings", 48000, 1000, 100000000, "an input offset of 100000000 ms", RefusalCode::Offset},
      {"a negative one", 48000, 1000, -100000000, "an input offset of -100000000 ms", RefusalCode::Offset},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto system = System(c.rate, c.maxDelayMs, [&](SYSPARA& s) { s.delayPara.inputOffsetMs = c.inputOffsetMs; });
    EXPECT_EQ(Init(*system), 0);
    EXPECT_NE(system->LastRefusal().why.find(c.says), std::string::npos) << system->LastRefusal().Text();
    EXPECT_EQ(system->LastRefusalCode(), c.code) << RefusalCodeName(system->LastRefusalCode());
    EXPECT_EQ(system->Go(), 0);
  }
  // The largest offset the capabilities name still fits.
  auto fits = System(48000, 1000, [](SYSPARA& s) { s.delayPara.inputOffsetMs = 10000; });
  EXPECT_NE(Init(*fits), 0) << fits->LastRefusal().Text();
}

// Settings the record cannot mean are refused with a code and a reason
// that names them, not taken for something else.
TEST_F(InitRefusalTest, RefusesWhatTheRecordCannotMean) {
  constexpr int kRate = 16000;
  const std::vector<float> source = SpeechLike(kRate / 2, kRate, 3);
  const SoundFileSpec spec{kRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(m_reference, spec, source.data(), kRate / 2));
  ASSERT_TRUE(WriteSoundFile(m_test, spec, source.data(), kRate / 2));
  struct Case {
    const char* what;
    uint32_t frameLength;
    std::function<void(SYSPARA&)> edit;
    const char* says;
    RefusalCode code;
  } cases[] = {
      {"frames of 2^29", 1u << 29, nullptr, "a frame length of 536870912 samples", RefusalCode::Range},
      {"frames of 2^32 - 1", 0xFFFFFFFFu, nullptr, "a frame length of 4294967295 samples", RefusalCode::Range},
      {"a negative range", kMeasureFrame, [](SYSPARA& s) { s.delayPara.maxDelayFileMs = -1; },
       "maxDelayFileMs of -1 ms is negative", RefusalCode::Range},
      // The files hold 500 ms: an offset of 500 ms or more pairs nothing.
      {"an offset past the test file", kMeasureFrame, [](SYSPARA& s) { s.delayPara.inputOffsetMs = 500; },
       "reaches beyond the test file's 8000 samples", RefusalCode::Offset},
      {"an offset past the reference file", kMeasureFrame, [](SYSPARA& s) { s.delayPara.inputOffsetMs = -2000; },
       "reaches beyond the reference file's 8000 samples", RefusalCode::Offset},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto system = System(kRate, 100, c.edit);
    EXPECT_EQ(Init(*system, c.frameLength), 0);
    EXPECT_NE(system->LastRefusal().why.find(c.says), std::string::npos) << system->LastRefusal().Text();
    EXPECT_EQ(system->LastRefusalCode(), c.code) << RefusalCodeName(system->LastRefusalCode());
  }
  // An offset inside the files is measured.
  auto inside = System(kRate, 100, [](SYSPARA& s) { s.delayPara.inputOffsetMs = 100; });
  EXPECT_NE(Init(*inside), 0) << inside->LastRefusal().Text();
}

// 4 s of files cannot fill the window of a 60 s search: the library
// narrows the range, as a host would, and finds the delay.
TEST_F(InitRefusalTest, ARangeTheFilesCannotFillIsNarrowedAndTheDelayFound) {
  constexpr int kRate = 16000, kLag = 300;
  const std::vector<float> source = SpeechLike(4 * kRate + kLag, kRate, 5);
  const SoundFileSpec spec{kRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(m_reference, spec, source.data(), 4 * kRate));
  ASSERT_TRUE(WriteSoundFile(m_test, spec, source.data() + kLag, 4 * kRate));
  auto system = System(kRate, 60000);
  ASSERT_NE(Init(*system, 512), 0) << system->LastRefusal().Text();
  const int usedMs = system->SysPara().delayPara.maxDelayFileMs;
  EXPECT_LT(usedMs, 60000);
  DelaySearchRange range;
  ASSERT_TRUE(ComputeDelaySearchRange(kRate, uint32_t(usedMs), 512, &range));
  EXPECT_LE(range.window + 16 * 512, uint32_t(4 * kRate));
  ASSERT_NE(system->Go(), 0);
  auto frame = std::make_unique<FRAMEDATA>();
  while (system->ProcessFrame(frame.get(), nullptr) != 0) {
  }
  system->Stop();
  ASSERT_FALSE(system->frames.empty());
  // The test leads here: the frame carries the delay negated.
  for (size_t f = 0; f < system->frames.size(); ++f) {
    ASSERT_EQ(system->frames[f].status & 0xFFFF, ReliableWhereBothFilesHold(f, 512, -kLag, 4 * kRate, 4 * kRate))
        << "frame " << f;
    ASSERT_EQ(system->frames[f].delay, -kLag);
  }
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow does not live under an address-space limit
// Under a limit on the address space a 240 s search at 48 kHz (about 4 GB
// of buffers) is narrowed to what fits instead of ending the program.
TEST_F(InitRefusalTest, AMemoryLimitNarrowsTheSearchInsteadOfEndingTheProgram) {
  const int code = RunInChild([&] {
    rlimit limit{};
    long long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%lld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    limit.rlim_cur = limit.rlim_max = rlim_t(pages) * 4096 + (rlim_t(768) << 20);
    if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) return 3;
    auto system = System(48000, 240000);
    if (Init(*system) == 0) return system->LastRefusal().IsSet() ? 4 : 5;
    return system->SysPara().delayPara.maxDelayFileMs < 240000 ? 0 : 6;
  });
  EXPECT_EQ(code, 0) << "1: the program was ended; 4/5: refused; 6: not narrowed";
}
#endif

}  // namespace
