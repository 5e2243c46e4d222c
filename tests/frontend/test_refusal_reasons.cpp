// Why Init, Go and ProcessFrame returned 0: the object keeps the reason of
// its last refusal (what, which input, why) whatever the trace mask, and a
// call that succeeds leaves none.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "frontend/measurement_run.h"
#include "support/alloc_failure.h"
#include "support/temp_dir.h"

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class RefusalTest : public ::testing::Test {
 protected:
  RefusalTest() {
    SetTraceMask(0);  // the reasons do not depend on the trace
    const SoundFileSpec mono{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
    const std::vector<float> noise = IntegerNoise(kMeasureRate / 2, 3, 3000.0);
    m_reference = m_dir.File("reference.wav");
    m_test = m_dir.File("test.wav");
    m_ok = WriteSoundFile(m_reference, mono, noise.data(), int64_t(noise.size())) &&
           WriteSoundFile(m_test, mono, noise.data(), int64_t(noise.size()));
    std::ofstream(m_dir.File("notes.wav")) << "these are words, not sound\n";
  }
  ~RefusalTest() override { SetTraceMask(TRACE_MASK_BEFORE_LOAD); }

  // A mono file pair measurement with `edit` applied after the settings.
  std::unique_ptr<FrameRecorder> System(std::function<void(SYSPARA&)> edit) {
    return std::make_unique<FrameRecorder>([this, edit](SYSPARA& sys) {
      FileMeasurementSettings(sys, m_reference, m_test, 1);
      if (edit) edit(sys);
    });
  }
  static int Init(CMsystem& system, uint32_t frameLength = kMeasureFrame) {
    return InitWithNewRecord(system, frameLength);
  }

  TempDir m_dir;
  std::string m_reference, m_test;
  bool m_ok = false;
};

struct GoRefusal {
  const char* name;
  std::function<void(SYSPARA&, const TempDir&)> edit;
  int input;         // the input the reason names
  const char* says;  // part of the reason
  RefusalCode code;
};

class GoRefusalTable : public RefusalTest, public ::testing::WithParamInterface<GoRefusal> {};

TEST_P(GoRefusalTable, GoSaysWhyItRefused) {
  ASSERT_TRUE(m_ok);
  const GoRefusal& c = GetParam();
  auto system = System([&](SYSPARA& sys) { c.edit(sys, m_dir); });
  ASSERT_NE(Init(*system), 0) << system->LastRefusal().Text();
  EXPECT_FALSE(system->LastRefusal().IsSet());
  EXPECT_EQ(system->Go(), 0);
  const RefusalReason& reason = system->LastRefusal();
  EXPECT_TRUE(reason.IsSet());
  EXPECT_EQ(reason.input, c.input);
  EXPECT_THAT(reason.why, HasSubstr(c.says));
  EXPECT_FALSE(reason.what.empty());
  EXPECT_EQ(system->LastRefusalCode(), c.code) << RefusalCodeName(system->LastRefusalCode());
  // The line for people names no class of the component.
  EXPECT_EQ(reason.Text(), reason.why);
  EXPECT_THAT(reason.Text(), Not(HasSubstr("::")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GoRefusalTable,
    ::testing::Values(
        GoRefusal{"MissingFile", [](SYSPARA& s, const TempDir& d) { s.inputPara[1].fileName = d.File("missing.wav"); },
                  1, "missing.wav", RefusalCode::MissingFile},
        GoRefusal{"NotSound", [](SYSPARA& s, const TempDir& d) { s.inputPara[0].fileName = d.File("notes.wav"); }, 0,
                  "notes.wav", RefusalCode::NotSound},
        GoRefusal{"TwoChannelsOnMonoFiles",
                  [](SYSPARA& s, const TempDir&) {
                    s.channels = 2;
                    for (int input = 0; input < 2; ++input) s.routingTable[input][1] = INPUTMUXPARA{input, 1};
                  },
                  0, "routed to channel 1 of input 0, which has 1", RefusalCode::FormatMismatch},
        GoRefusal{"DeviceIdOutOfRange",
                  [](SYSPARA& s, const TempDir&) {
                    s.settings[0] = 0;
                    s.inputPara[1].mode = INPUT_MODE_SOUND_DEVICE;
                    s.inputPara[1].deviceId = 0;
                  },
                  1, "input 1: no sound input device is present (device id 0 was asked)", RefusalCode::Device},
        // No device of that id exists, virtual or real.
        GoRefusal{"NoSoundDevice",
                  [](SYSPARA& s, const TempDir&) {
                    s.settings[0] = 1000;
                    s.inputPara[0].mode = INPUT_MODE_SOUND_DEVICE;
                    s.inputPara[0].deviceId = 977;
                  },
                  0, "device 977", RefusalCode::Device}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RefusalTest, InitAndFramesSayWhyAndASuccessLeavesNoReason) {
  ASSERT_TRUE(m_ok);
  auto system = System(nullptr);
  EXPECT_EQ(Init(*system, 0), 0);
  EXPECT_THAT(system->LastRefusal().why, HasSubstr("frame length 0"));
  EXPECT_EQ(system->LastRefusal().what, "CMsystem::Init");
  EXPECT_EQ(system->LastRefusalCode(), RefusalCode::Range);

  FRAMEDATA* none = nullptr;
  EXPECT_EQ(system->ProcessFrame(none, nullptr), 0);
  EXPECT_THAT(system->LastRefusal().why, HasSubstr("no frame"));

  auto frame = std::make_unique<FRAMEDATA>();
  EXPECT_EQ(system->Go(), 0);
  EXPECT_THAT(system->LastRefusal().why, HasSubstr("no successful Init"));
  EXPECT_EQ(system->LastRefusalCode(), RefusalCode::NotReady);

  ASSERT_NE(Init(*system), 0);
  EXPECT_FALSE(system->LastRefusal().IsSet());
  EXPECT_EQ(system->LastRefusalCode(), RefusalCode::None);
  ASSERT_NE(system->Go(), 0);
  EXPECT_FALSE(system->LastRefusal().IsSet());
  // The end of the input is no refusal.
  while (system->ProcessFrame(frame.get(), nullptr) != 0) {
  }
  EXPECT_FALSE(system->LastRefusal().IsSet()) << system->LastRefusal().Text();
}

// Each object keeps its own reason.
TEST_F(RefusalTest, TwoObjectsKeepTheirOwnReasons) {
  ASSERT_TRUE(m_ok);
  auto failing = System([&](SYSPARA& s) { s.inputPara[0].fileName = m_dir.File("gone.wav"); });
  auto working = System(nullptr);
  ASSERT_NE(Init(*failing), 0);
  ASSERT_NE(Init(*working), 0);
  EXPECT_EQ(failing->Go(), 0);
  EXPECT_NE(working->Go(), 0);
  EXPECT_THAT(failing->LastRefusal().why, HasSubstr("gone.wav"));
  EXPECT_FALSE(working->LastRefusal().IsSet());
}

}  // namespace

namespace {

// A record's wave format must be its files': the measurement times
// everything by the record's rate and routes by its channels.
TEST_F(RefusalTest, GoRefusesFilesWhoseFormatDiffersFromTheRecord) {
  ASSERT_TRUE(m_ok);
  const SoundFileSpec stereo16k{16000, 2, SoundFileEncoding::Pcm16, "wav"};
  const SoundFileSpec mono44k{44100, 1, SoundFileEncoding::Pcm16, "wav"};
  const std::vector<float> noise = IntegerNoise(32000, 5, 3000.0);
  const std::string stereo = m_dir.File("stereo16k.wav"), other = m_dir.File("mono44k.wav");
  ASSERT_TRUE(WriteSoundFile(stereo, stereo16k, noise.data(), 16000));
  ASSERT_TRUE(WriteSoundFile(other, mono44k, noise.data(), 32000));
  struct Case {
    const char* what;
    std::function<void(SYSPARA&)> edit;
    int input;
    const char* says;
  } cases[] = {
      {"a 48 kHz record on a 16 kHz file",
       [&](SYSPARA& s) { s.inputPara[1].fileName = stereo, s.inputPara[1].wave.channels = 2; }, 1,
       "has 16000 Hz and 2 channel(s), its record says 48000 Hz and 2 channel(s)"},
      {"a mono record on a stereo file",
       [&](SYSPARA& s) {
         s.inputPara[1].fileName = stereo;
         s.inputPara[1].wave.sampleRate = 16000;
       },
       1, "has 16000 Hz and 2 channel(s), its record says 16000 Hz and 1 channel(s)"},
      {"files of two rates, each as its record says",
       [&](SYSPARA& s) {
         s.inputPara[1].fileName = other;
         s.inputPara[1].wave.sampleRate = 44100;
       },
       1, "has 44100 Hz, input 0's file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto system = System(c.edit);
    ASSERT_NE(Init(*system), 0) << system->LastRefusal().Text();
    EXPECT_EQ(system->Go(), 0);
    EXPECT_EQ(system->LastRefusal().input, c.input);
    EXPECT_THAT(system->LastRefusal().why, HasSubstr(c.says));
    EXPECT_EQ(system->LastRefusalCode(), RefusalCode::FormatMismatch);
  }

  // Filled from the files, the same record measures.
  auto filled = System([&](SYSPARA& s) {
    s.inputPara[0].fileName = s.inputPara[1].fileName = stereo;
    s.channels = 2;
    for (int input = 0; input < 2; ++input) {
      ASSERT_TRUE(FillWaveParaFromFile(s.inputPara[input]));
      for (int channel = 0; channel < 2; ++channel) s.routingTable[input][channel] = INPUTMUXPARA{input, channel};
    }
  });
  ASSERT_NE(Init(*filled), 0) << filled->LastRefusal().Text();
  EXPECT_EQ(filled->SysPara().inputPara[1].wave.sampleRate, 16000);
  EXPECT_EQ(filled->SysPara().inputPara[1].wave.channels, 2);
  EXPECT_NE(filled->Go(), 0) << filled->LastRefusal().Text();
  filled->Stop();
}

TEST(FillWaveParaFromFile, TakesTheFilesFormatOrSaysWhyNot) {
  TempDir dir;
  const std::vector<float> silence(3 * 800, 0.0f);
  INPUTPARAEXT input;
  input.fileName = dir.File("three.wav");
  input.wave = WAVEPARA{0, 1, 2, 3, 44, 55};
  ASSERT_TRUE(WriteSoundFile(input.fileName, {8000, 3, SoundFileEncoding::Pcm24, "wav"}, silence.data(), 800));
  std::string why;
  ASSERT_TRUE(FillWaveParaFromFile(input, &why)) << why;
  EXPECT_EQ(input.wave.formatWord, 1);
  EXPECT_EQ(input.wave.sampleRate, 8000);
  EXPECT_EQ(input.wave.bitsPerSample, 24);
  EXPECT_EQ(input.wave.channels, 3);
  EXPECT_EQ(input.wave.outputWord, 44);
  EXPECT_EQ(input.wave.spareWord, 55);

  INPUTPARAEXT missing;
  missing.fileName = dir.File("none.wav");
  missing.wave.sampleRate = 123;
  EXPECT_FALSE(FillWaveParaFromFile(missing, &why));
  EXPECT_THAT(why, HasSubstr("none.wav"));
  EXPECT_EQ(missing.wave.sampleRate, 123);
}

}  // namespace

namespace {

// Out of memory anywhere in Init (the delay buffer's rings, the energy
// history, either correlator set, the math layer's handles) refuses it with
// a Memory reason, never ends the process; the object is left refused (Go
// says no Init succeeded) and a later Init measures the pair as a fresh
// object does.
TEST_F(RefusalTest, OutOfMemoryInInitRefusesItAndTheNextInitMeasures) {
  constexpr int kLag = 100;
  const std::vector<float> source = IntegerNoise(2 * kMeasureRate + kLag, 9, 3000.0);
  const SoundFileSpec mono{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(m_reference, mono, source.data() + kLag, 2 * kMeasureRate));
  ASSERT_TRUE(WriteSoundFile(m_test, mono, source.data(), 2 * kMeasureRate));
  int refusals = 0;
  const int64_t requests = ForEachAllocationFailure([&](int64_t k) {
    SCOPED_TRACE(k);
    auto system = System(nullptr);
    int initialised = 0;
    bool reached = false;
    {
      FailNthAllocation failure(k);
      initialised = Init(*system);
      reached = failure.Reached();
    }
    if (initialised == 0) {
      ++refusals;
      EXPECT_EQ(system->LastRefusalCode(), RefusalCode::Memory) << system->LastRefusal().Text();
      EXPECT_THAT(system->LastRefusal().why, HasSubstr("out of memory"));
      EXPECT_EQ(system->Go(), 0);
      EXPECT_EQ(system->LastRefusalCode(), RefusalCode::NotReady);
    }
    EXPECT_NE(Init(*system), 0) << system->LastRefusal().Text();
    EXPECT_NE(system->Go(), 0) << system->LastRefusal().Text();
    auto frame = std::make_unique<FRAMEDATA>();
    while (system->ProcessFrame(frame.get(), nullptr) != 0) {
    }
    EXPECT_FALSE(system->frames.empty());
    if (!system->frames.empty()) {
      EXPECT_EQ(system->frames.back().delay, kLag);
    }
    return reached;
  });
  EXPECT_GT(requests, 0);
  // The rings, the history and the two sets' arrays and blocks at least.
  EXPECT_GE(refusals, 4);
}

// A transform the math layer cannot run (its spec or its work memory
// refused) leaves the delay search without a result: Go or the frame that
// needed it returns 0 and says why, instead of searching on stale sums.
TEST_F(RefusalTest, AFailedTransformEndsTheSearchWithAReason) {
  constexpr int kLag = 100;
  const std::vector<float> source = IntegerNoise(2 * kMeasureRate + kLag, 9, 3000.0);
  const SoundFileSpec mono{kMeasureRate, 1, SoundFileEncoding::Pcm16, "wav"};
  ASSERT_TRUE(WriteSoundFile(m_reference, mono, source.data() + kLag, 2 * kMeasureRate));
  ASSERT_TRUE(WriteSoundFile(m_test, mono, source.data(), 2 * kMeasureRate));
  int failures = 0;
  for (int64_t k : {1, 2, 3, 4, 5, 8, 13, 21}) {
    SCOPED_TRACE(k);
    auto system = System(nullptr);
    ASSERT_NE(Init(*system), 0);
    auto frame = std::make_unique<FRAMEDATA>();
    bool refused = false, reached = false;
    {
      FailNthAllocation failure(k);
      refused = system->Go() == 0;
      while (!refused && system->ProcessFrame(frame.get(), nullptr) != 0) {
      }
      reached = failure.Reached();
    }
    system->Stop();
    if (!reached) continue;
    ++failures;
    // Go refuses, or a frame ends the run: either way with the reason.
    EXPECT_THAT(system->LastRefusal().why, HasSubstr("transform")) << system->LastRefusal().Text();
    EXPECT_EQ(system->LastRefusal().what, "CCorrelatorSet::Feed");
    EXPECT_EQ(system->LastRefusalCode(), RefusalCode::MathFailure);
    // A later frame of the run has no delay either, and says so.
    if (!refused) {
      EXPECT_EQ(system->ProcessFrame(frame.get(), nullptr), 0);
      EXPECT_THAT(system->LastRefusal().why, HasSubstr("transform")) << system->LastRefusal().Text();
    }
  }
  EXPECT_GT(failures, 0) << "no allocation was refused";
  // Without a failure the same pair measures.
  auto system = System(nullptr);
  ASSERT_NE(Init(*system), 0);
  ASSERT_NE(system->Go(), 0) << system->LastRefusal().Text();
  auto frame = std::make_unique<FRAMEDATA>();
  while (system->ProcessFrame(frame.get(), nullptr) != 0) {
  }
  ASSERT_FALSE(system->frames.empty());
  EXPECT_EQ(system->frames.back().delay, kLag);
  EXPECT_EQ(
      system->frames.back().status & 0xFFFF,
      ReliableWhereBothFilesHold(system->frames.size() - 1, kMeasureFrame, kLag, 2 * kMeasureRate, 2 * kMeasureRate));
}

}  // namespace
