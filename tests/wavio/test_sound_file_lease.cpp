// A held sound file: readers of its path read the file the lease opened,
// one reader at a time, whatever the path names meanwhile; without a lease,
// or beside a reader that has it, the path is opened as before.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "wavio/SoundFile.h"

namespace {

constexpr int kRate = 16000;

// Mono frames 0, k, 2k, ...: files written with different `k` tell apart.
std::vector<float> Ramp(int frames, int k) {
  std::vector<float> samples(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) samples[size_t(i)] = float((i * k) % 30000);
  return samples;
}

void Write(const std::string& path, const std::vector<float>& samples) {
  ASSERT_TRUE(WriteSoundFile(path, {kRate, 1, SoundFileEncoding::Pcm16, "wav"}, samples.data(),
                             int64_t(samples.size())));
}

std::vector<float> ReadWhole(SoundFileReader& reader) {
  std::vector<float> samples(static_cast<size_t>(reader.Format().frames) + 16);
  samples.resize(size_t(reader.Read(samples.data(), int64_t(samples.size()))));
  return samples;
}

class SoundFileLeaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write(m_path, m_first);
    Write(m_dir.File("other.wav"), m_second);
  }
  // The path comes to name another file, as when a new take is saved over it.
  void PutOtherFileInPlace() { ASSERT_EQ(std::rename(m_dir.File("other.wav").c_str(), m_path.c_str()), 0); }

  TempDir m_dir;
  const std::string m_path = m_dir.File("take.wav");
  const std::vector<float> m_first = Ramp(3000, 3);
  const std::vector<float> m_second = Ramp(5000, 7);
};

TEST_F(SoundFileLeaseTest, ReadersOfAHeldPathReadTheHeldFileFromItsStartUntilTheLeaseEnds) {
  SoundFileLease lease;
  ASSERT_TRUE(lease.Hold(m_path));
  {
    SoundFileReader first;
    ASSERT_TRUE(first.Open(m_path));
    EXPECT_EQ(ReadWhole(first), m_first);
  }
  PutOtherFileInPlace();
  // Its length comes from the header already read, the samples again from the start.
  EXPECT_EQ(SoundFileFrames(m_path), int64_t(m_first.size()));
  for (int again = 0; again < 2; ++again) {
    SoundFileReader reader;
    ASSERT_TRUE(reader.Open(m_path));
    EXPECT_EQ(reader.ChangeSinceOpen(), "");
    EXPECT_EQ(ReadWhole(reader), m_first) << "open " << again;
  }
  lease.Release();
  EXPECT_EQ(SoundFileFrames(m_path), int64_t(m_second.size()));
  SoundFileReader reader;
  ASSERT_TRUE(reader.Open(m_path));
  EXPECT_EQ(ReadWhole(reader), m_second);
}

TEST_F(SoundFileLeaseTest, ASecondReaderBesideTheOneThatHasTheHeldFileReadsItsOwnOpen) {
  SoundFileLease lease, sameFile;
  ASSERT_TRUE(lease.Hold(m_path));
  ASSERT_TRUE(sameFile.Hold(m_path));  // shares the first lease's file
  SoundFileReader a, b;
  ASSERT_TRUE(a.Open(m_path));
  ASSERT_TRUE(b.Open(m_path));
  // Reads taking turns: neither moves the other's place in the file.
  std::vector<float> got[2];
  std::vector<float> block(256);
  for (bool more = true; more;) {
    more = false;
    for (int r = 0; r < 2; ++r) {
      const int64_t n = (r == 0 ? a : b).Read(block.data(), int64_t(block.size()));
      got[r].insert(got[r].end(), block.begin(), block.begin() + n);
      more = more || n > 0;
    }
  }
  EXPECT_EQ(got[0], m_first);
  EXPECT_EQ(got[1], m_first);
  // Once the first lease ends the other still holds the file.
  lease.Release();
  a.Close();
  PutOtherFileInPlace();
  SoundFileReader c;
  ASSERT_TRUE(c.Open(m_path));
  EXPECT_EQ(ReadWhole(c), m_first);
}

TEST_F(SoundFileLeaseTest, WhatCannotBeHeldIsLeftToTheReadersOpen) {
  SoundFileLease lease;
  EXPECT_FALSE(lease.Hold(m_dir.File("missing.wav")));
  EXPECT_FALSE(lease.Hold(m_dir.Path()));
  // A pipe without a writer: holding it must not wait for one.
  const std::string pipe = m_dir.File("pipe.wav");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(lease.Hold(pipe));
  SoundFileReader reader;
  EXPECT_FALSE(reader.Open(m_dir.File("missing.wav")));
  EXPECT_NE(reader.Error().find("cannot open '" + m_dir.File("missing.wav") + "': "), std::string::npos)
      << reader.Error();
  // A held file that is no sound file fails each open alike, and stays held.
  const std::string text = m_dir.File("notes.wav");
  std::FILE* out = std::fopen(text.c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fputs("not a sound file\n", out);
  std::fclose(out);
  ASSERT_TRUE(lease.Hold(text));
  for (int again = 0; again < 2; ++again) {
    EXPECT_FALSE(reader.Open(text));
    EXPECT_EQ(reader.Error().rfind("cannot open '" + text + "': ", 0), 0u) << reader.Error();
  }
  EXPECT_EQ(SoundFileFrames(text), -1);
}

}  // namespace
