// A file that stops decoding before the length its header gives ends the
// frames with a refusal that names the sample where it stopped; the frames
// handed out before it are the file's samples as they were.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Vantrel/DebugTrace.h"
#include "frontend/measurement_run.h"

namespace {

constexpr int kRate = 16000;
constexpr size_t kFrames = 3 * kRate;
constexpr int kLag = 160;

struct RunOutcome {
  std::vector<RecordedFrame> frames;
  RefusalCode code = RefusalCode::None;
  std::string why;
};

RunOutcome Measure(const std::string& reference, const std::string& test) {
  FrameRecorder system([&](SYSPARA& sys) { FileMeasurementSettings(sys, reference, test, 1, kRate); });
  RunOutcome run;
  if (InitWithNewRecord(system, 512) == 0 || system.Go() == 0) {
    ADD_FAILURE() << system.LastRefusal().Text();
    return run;
  }
  auto frame = std::make_unique<FRAMEDATA>();
  for (int guard = 0; guard < 100000; ++guard) {
    frame->monitor.count = 0;
    if (system.ProcessFrame(frame.get(), nullptr) == 0) break;
  }
  // Frames asked for after the end keep the reason.
  frame->monitor.count = 0;
  EXPECT_EQ(system.ProcessFrame(frame.get(), nullptr), 0);
  run.frames = std::move(system.frames);
  run.code = system.LastRefusalCode();
  run.why = system.LastRefusal().Text();
  return run;
}

FilePair LaggingPair() {
  const std::vector<float> source = IntegerNoise(kFrames + kLag, 3, 3000.0);
  FilePair pair;
  pair.rate = kRate;
  pair.reference.assign(source.begin() + kLag, source.end());
  pair.test.assign(source.begin(), source.begin() + kFrames);
  return pair;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class DamagedFile : public ::testing::Test {
 protected:
  DamagedFile() {
    SetTraceMask(0);
    const SoundFileSpec spec{kRate, 1, SoundFileEncoding::Pcm16, "wav"};
    EXPECT_TRUE(WriteSoundFile(m_reference, spec, m_pair.reference.data(), kFrames));
    EXPECT_TRUE(WriteSoundFile(m_test, spec, m_pair.test.data(), kFrames));
  }

  TempDir m_dir;
  FilePair m_pair = LaggingPair();
  std::string m_reference = m_dir.File("reference.wav");
  std::string m_test = m_dir.File("test.wav");
};

TEST_F(DamagedFile, AWholePairEndsWithoutARefusal) {
  const RunOutcome run = Measure(m_reference, m_test);
  ASSERT_FALSE(run.frames.empty());
  EXPECT_EQ(run.code, RefusalCode::None) << run.why;
}

TEST_F(DamagedFile, AWavCutShortEndsTheRunNamingWhereItsSamplesStop) {
  // The header still gives the whole length; the samples stop at the cut.
  const std::string bytes = ReadBytes(m_reference);
  const size_t data = bytes.find("data") + 8;
  const size_t cutBytes = data + 2 * (kFrames * 6 / 10) + 1;  // a sample cut in half too
  ASSERT_EQ(truncate(m_reference.c_str(), off_t(cutBytes)), 0);
  const int64_t whole = (int64_t(cutBytes) - int64_t(data)) / 2;

  const RunOutcome run = Measure(m_reference, m_test);
  EXPECT_EQ(run.code, RefusalCode::DamagedFile) << run.why;
  EXPECT_NE(run.why.find("reference.wav"), std::string::npos) << run.why;
  EXPECT_NE(run.why.find("at sample " + std::to_string(whole) + " of the " + std::to_string(kFrames)),
            std::string::npos)
      << run.why;
  // Every frame handed out is what the files hold up to the cut.
  FilePair cut = m_pair;
  cut.reference.resize(size_t(whole));
  ASSERT_GE(run.frames.size(), size_t(whole - kLag) / 512);
  for (size_t f = 0; f < run.frames.size(); ++f) {
    EXPECT_TRUE(HoldsTheFilesAtItsPlace(run.frames[f], cut)) << "frame " << f;
    EXPECT_EQ(run.frames[f].delay, kLag) << "frame " << f;
  }
}

TEST_F(DamagedFile, ACompressedFileCutShortIsRefusedToo) {
  const std::string flac = m_dir.File("test.flac");
  ASSERT_TRUE(WriteSoundFile(flac, SoundFileSpec{kRate, 1, SoundFileEncoding::Pcm16, "flac"}, m_pair.test.data(),
                             kFrames));
  ASSERT_EQ(truncate(flac.c_str(), off_t(ReadBytes(flac).size() / 2)), 0);
  const RunOutcome run = Measure(m_reference, flac);
  EXPECT_EQ(run.code, RefusalCode::DamagedFile) << run.why;
  EXPECT_NE(run.why.find("test.flac"), std::string::npos) << run.why;
  EXPECT_NE(run.why.find("stopped decoding at sample"), std::string::npos) << run.why;
}

}  // namespace
