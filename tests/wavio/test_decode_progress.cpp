// The wave layer tells how far a file decoded against what its header
// promises: whole files of every encoding read whole, files cut short are
// known for it (by the header at the open where libsndfile reads only what
// is there), the rest of a file can be decoded after a run, and a file that
// changes while it is read is noticed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "wavio/SoundFile.h"
#include "wavio/WaveIO.h"

namespace {

constexpr int kRate = 16000;
constexpr int kFrames = 40000;

std::vector<float> Noise() {
  std::vector<float> samples(kFrames);
  uint32_t state = 12345;
  for (float& v : samples) {
    state = state * 1664525u + 1013904223u;
    v = float(int32_t(state >> 16) % 8000 - 4000);
  }
  return samples;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void KeepFirstHalf(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
}

// Reads the open file to its end as the multiplexer does; the frames read.
int64_t Drain(CWaveIO& wave) {
  std::vector<float> block(1024);
  int format = 0;
  int64_t total = 0;
  for (int got = 1; got > 0; total += got) {
    got = wave.ReadChannel(block.data(), 0, 1024, &format, 1);
    wave.ReleaseSamples(got);
  }
  return total;
}

// Opens `path` on `wave` and reads its first 1000 frames, keeping them.
void OpenAndReadTheStart(CWaveIO& wave, const std::string& path) {
  ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
  ASSERT_NE(wave.OpenInputFile(0, path, 0), 0) << wave.LastError();
  std::vector<float> block(1000);
  int format = 0;
  ASSERT_EQ(wave.ReadChannel(block.data(), 0, 1000, &format, 1), 1000);
}

struct EncodingCase {
  const char* name;
  SoundFileEncoding encoding;
  const char* container;
  bool headerTellsCut;  // the header's data size shows the cut at the open
};

class DecodeProgressTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(DecodeProgressTest, AWholeFileReadsWholeAndTheFirstHalfOfItDoesNot) {
  const EncodingCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File(c.name);
  const std::vector<float> samples = Noise();
  std::string error;
  ASSERT_TRUE(WriteSoundFile(path, {kRate, 1, c.encoding, c.container}, samples.data(), kFrames, &error)) << error;

  CWaveIO whole;
  ASSERT_EQ(whole.SetupBuffer(1 << 20), 1);
  ASSERT_NE(whole.OpenInputFile(0, path, 0), 0) << whole.LastError();
  EXPECT_FALSE(whole.FileProgress().Whole());  // nothing read yet
  const int64_t frames = Drain(whole);
  const DecodeProgress read = whole.FileProgress();
  EXPECT_TRUE(read.Whole()) << read.decoded << " of " << read.promised << ": " << read.reason;
  EXPECT_EQ(read.decoded, frames);
  // Block codecs fill their last block: never fewer frames than written.
  EXPECT_GE(frames, kFrames);
  EXPECT_LT(frames, kFrames + 1024);
  EXPECT_EQ(whole.FileChange(), "");

  KeepFirstHalf(path);
  CWaveIO cut;
  ASSERT_EQ(cut.SetupBuffer(1 << 20), 1);
  ASSERT_NE(cut.OpenInputFile(0, path, 0), 0) << cut.LastError();
  if (c.headerTellsCut) {
    const DecodeProgress opened = cut.FileProgress();
    EXPECT_EQ(opened.promised, frames);
    EXPECT_NE(opened.reason.find("bytes into its data"), std::string::npos) << opened.reason;
  }
  const int64_t got = Drain(cut);
  EXPECT_LT(got, frames * 3 / 4);
  const DecodeProgress ended = cut.FileProgress();
  EXPECT_TRUE(ended.ended);
  EXPECT_FALSE(ended.Whole()) << ended.decoded << " of " << ended.promised;
}

INSTANTIATE_TEST_SUITE_P(Encodings, DecodeProgressTest,
                         ::testing::Values(EncodingCase{"pcm16.wav", SoundFileEncoding::Pcm16, "wav", true},
                                           EncodingCase{"float.wav", SoundFileEncoding::Float, "wav", true},
                                           EncodingCase{"ulaw.wav", SoundFileEncoding::MuLaw, "wav", true},
                                           EncodingCase{"ima.wav", SoundFileEncoding::ImaAdpcm, "wav", true},
                                           EncodingCase{"g723.au", SoundFileEncoding::G723, "au", true},
                                           EncodingCase{"pcm16.au", SoundFileEncoding::Pcm16, "au", true},
                                           EncodingCase{"pcm16.flac", SoundFileEncoding::Pcm16, "flac", false},
                                           EncodingCase{"opus.ogg", SoundFileEncoding::Opus, "ogg", false}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (ch == '.') ch = '_';
                           return name;
                         });

TEST(DecodeProgress, TheRestOfAFileDecodesAfterTheReadsAndTellsWhetherItReachesTheEnd) {
  TempDir dir;
  const std::vector<float> samples = Noise();
  for (const char* container : {"flac", "wav"}) {
    SCOPED_TRACE(container);
    const std::string path = dir.File(std::string("rest.") + container);
    ASSERT_TRUE(WriteSoundFile(path, {kRate, 1, SoundFileEncoding::Pcm16, container}, samples.data(), kFrames));
    for (const bool cut : {false, true}) {
      if (cut) KeepFirstHalf(path);
      CWaveIO wave;
      ASSERT_NO_FATAL_FAILURE(OpenAndReadTheStart(wave, path));
      wave.DecodeRestOfFile();
      const DecodeProgress progress = wave.FileProgress();
      EXPECT_TRUE(progress.ended);
      EXPECT_EQ(progress.Whole(), !cut) << progress.decoded << " of " << progress.promised;
      if (!cut) {
        EXPECT_EQ(progress.decoded, kFrames);
      }
      // Nothing is delivered after it.
      EXPECT_EQ(wave.ReadRaw(nullptr, 1000, 1), 0);
    }
  }
}

TEST(DecodeProgress, AFileCutOrWrittenOverWhileItIsReadIsNoticed) {
  TempDir dir;
  const std::string path = dir.File("changing.wav");
  const std::vector<float> samples = Noise();
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "written over" : "cut");
    ASSERT_TRUE(WriteSoundFile(path, {kRate, 1, SoundFileEncoding::Pcm16, "wav"}, samples.data(), kFrames));
    const int64_t bytes = int64_t(std::filesystem::file_size(path));
    CWaveIO wave;
    ASSERT_NO_FATAL_FAILURE(OpenAndReadTheStart(wave, path));
    if (overwrite) {
      // The same size, later: only the time tells.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const std::string old = ReadBytes(path);
      std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out) << old;
      EXPECT_EQ(wave.FileChange(), "it was written to while it was read");
    } else {
      ASSERT_EQ(truncate(path.c_str(), off_t(bytes / 2)), 0);
      Drain(wave);
      EXPECT_EQ(wave.FileChange(), "its size went from " + std::to_string(bytes) + " to " + std::to_string(bytes / 2) +
                                       " bytes while it was read");
      EXPECT_FALSE(wave.FileProgress().Whole());
    }
  }
}

}  // namespace
