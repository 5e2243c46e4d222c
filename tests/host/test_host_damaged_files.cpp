// Files that do not read whole are named, never measured as shorter files:
// a data chunk cut short in any encoding or a header that promises more, a compressed stream cut or
// damaged (saying only what is known of its length), a file that changes
// while it is read, and a file whose channels would not fit the memory.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "host_command_fixture.h"

namespace {

constexpr int kRate = 16000;

class HostDamagedFileTest : public HostCommandTest {
 protected:
  // A noise pair of `seconds` (the test 300 samples late) written as
  // `encoding` in `container`; returns the test's sample frames.
  int64_t WriteEncodedPair(const std::string& reference, const std::string& test, SoundFileEncoding encoding,
                           const std::string& container, double seconds) {
    const size_t length = size_t(seconds * kRate);
    const std::vector<float> source = IntegerNoise(length + 300, 11, 3000.0);
    const std::vector<float> ref(source.begin() + 300, source.end());
    const std::vector<float> late(source.begin(), source.begin() + ptrdiff_t(length));
    std::string error;
    EXPECT_TRUE(WriteSoundFile(m_dir.File(reference), {kRate, 1, SoundFileEncoding::Pcm16, "wav"}, ref.data(),
                               int64_t(length), &error))
        << error;
    EXPECT_TRUE(WriteSoundFile(m_dir.File(test), {kRate, 1, encoding, container}, late.data(), int64_t(length), &error))
        << error;
    return int64_t(length);
  }

  // Keeps the first `share` of a file's bytes.
  void Cut(const std::string& name, double share) {
    const std::string bytes = ReadAll(m_dir.File(name));
    std::ofstream(m_dir.File(name), std::ios::binary | std::ios::trunc)
        << bytes.substr(0, size_t(double(bytes.size()) * share));
  }

  // The one error line of a run that measured nothing.
  std::string OneErrorLine(const HostRun& run) {
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.errLines.size(), 1u) << run.err;
    EXPECT_EQ(run.out.find("Summary"), std::string::npos) << run.out;
    return run.errLines.empty() ? std::string() : run.errLines.back();
  }
};

// A data chunk shorter than its header says: libsndfile reads what is
// there, so only the header tells the file was cut.
TEST_F(HostDamagedFileTest, AFileCutShortIsNamedWithWhereItStopsOfTheLengthItsHeaderGives) {
  struct Case {
    const char* name;
    SoundFileEncoding encoding;
    const char* container;
  };
  for (const Case& c :
       {Case{"pcm.wav", SoundFileEncoding::Pcm16, "wav"}, Case{"ulaw.wav", SoundFileEncoding::MuLaw, "wav"},
        Case{"ima.wav", SoundFileEncoding::ImaAdpcm, "wav"}, Case{"g723.au", SoundFileEncoding::G723, "au"},
        Case{"pcm.aiff", SoundFileEncoding::Pcm16, "aiff"}, Case{"pcm.w64", SoundFileEncoding::Pcm16, "w64"}}) {
    SCOPED_TRACE(c.name);
    const int64_t frames = WriteEncodedPair("ref.wav", c.name, c.encoding, c.container, 4.0);
    ASSERT_EQ(Run(std::string("ref.wav ") + c.name).exitCode, 0);  // whole, it measures
    Cut(c.name, 0.5);
    const std::string line = OneErrorLine(Run(std::string("ref.wav ") + c.name));
    std::smatch m;
    ASSERT_TRUE(
        std::regex_match(line, m,
                         std::regex("vantrel-host: the test file " + std::string(c.name) +
                                    R"( is damaged: decoding stopped at sample (\d+) \([0-9.]+ s\) of (\d+) \(.+\))")))
        << line;
    const int64_t stopped = std::stoll(m[1]), promised = std::stoll(m[2]);
    // IMA ADPCM stores whole blocks: the header's length is rounded up to one.
    EXPECT_GE(promised, frames);
    EXPECT_LT(promised, frames + 1024);
    EXPECT_GT(stopped, frames / 2 - 1024);
    EXPECT_LT(stopped, frames / 2 + 1024);
  }
}

// Writes `value` over `bytes` bytes at `at` of a file, most significant byte first when `bigEndian`.
void Overwrite(const std::string& path, size_t at, uint64_t value, int bytes, bool bigEndian) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(std::streamoff(at));
  for (int i = 0; i < bytes; ++i) file.put(char(value >> (8 * (bigEndian ? bytes - 1 - i : i))));
}

// A header that promises twice the frames its whole file holds is named as
// a cut file is: AIFF's frame count (COMM: 2 channel bytes, then 4 of
// frames, big-endian) and Wave64's data size (a 16-byte id, then 8 bytes,
// little-endian, counting the chunk's 24-byte head). A streamed AIFF's
// sizes, stated before the data was known, are no such promise.
TEST_F(HostDamagedFileTest, AHeaderThatPromisesMoreThanItsFileHoldsIsNamedAsCut) {
  struct Case {
    const char* name;
    const char* container;
    const char* id;  // the chunk whose size field is changed
    size_t sizeAt;   // that field, from the id
    int bytes;
    bool bigEndian;
    bool streamed;  // the size written is a streaming writer's, not twice the truth
  };
  for (const Case& c :
       {Case{"double.aiff", "aiff", "COMM", 10, 4, true, false}, Case{"double.w64", "w64", "data", 16, 8, false, false},
        Case{"streamed.aiff", "aiff", "SSND", 4, 4, true, true}}) {
    SCOPED_TRACE(c.name);
    const int64_t frames = WriteEncodedPair("ref.wav", c.name, SoundFileEncoding::Pcm16, c.container, 2.0);
    const std::string bytes = ReadAll(m_dir.File(c.name));
    const size_t id = bytes.find(c.id, 12);
    ASSERT_NE(id, std::string::npos);
    if (c.streamed) {
      // sox's placeholders: frames and sizes of just below 2 GB.
      Overwrite(m_dir.File(c.name), bytes.find("COMM") + 10, 0x3F800000, 4, true);
      Overwrite(m_dir.File(c.name), id + c.sizeAt, 0x7F000008, 4, true);
      const HostRun run = Run(std::string("ref.wav ") + c.name);
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_NE(run.out.find("Delay found: 300 samples"), std::string::npos) << run.out;
      continue;
    }
    const uint64_t twice = c.id[0] == 'C' ? uint64_t(2 * frames) : uint64_t(2 * 2 * frames + 24);
    Overwrite(m_dir.File(c.name), id + c.sizeAt, twice, c.bytes, c.bigEndian);
    const std::string line = OneErrorLine(Run(std::string("ref.wav ") + c.name));
    EXPECT_EQ(line, "vantrel-host: the test file " + std::string(c.name) + " is damaged: decoding stopped at sample " +
                        std::to_string(frames) + " (2.000 s) of " + std::to_string(2 * frames) + " (the file ends " +
                        std::to_string(2 * frames) + " bytes into its data, of the " + std::to_string(4 * frames) +
                        " bytes its header gives)");
  }
}

TEST_F(HostDamagedFileTest, ACompressedFileLongerThanTheOtherIsDecodedToItsEndAfterTheRun) {
  // The run ends with the 3 s reference; the 6 s FLAC's cut lies beyond it.
  WriteEncodedPair("long.wav", "test.flac", SoundFileEncoding::Pcm16, "flac", 6.0);
  const std::vector<float> noise = IntegerNoise(3 * kRate, 3, 3000.0);
  Write("short.wav", noise, 1, kRate);
  ASSERT_EQ(Run("short.wav test.flac").exitCode, 0);
  Cut("test.flac", 0.75);
  const std::string line = OneErrorLine(Run("short.wav test.flac"));
  EXPECT_EQ(line.rfind("vantrel-host: the test file test.flac is damaged: ", 0), 0u) << line;
}

// What an Opus stream gives of its length is all that is said of it.
TEST_F(HostDamagedFileTest, AnOpusFileCutOrDamagedSaysOnlyWhatIsKnownOfItsLength) {
  const int64_t frames = WriteEncodedPair("ref.wav", "test.opus", SoundFileEncoding::Opus, "ogg", 6.0);
  ASSERT_EQ(Run("ref.wav test.opus").exitCode, 0);
  const std::string bytes = ReadAll(m_dir.File("test.opus"));

  std::ofstream(m_dir.File("cut.opus"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  const std::string cut = OneErrorLine(Run("ref.wav cut.opus"));
  EXPECT_EQ(cut.rfind("vantrel-host: the test file cut.opus is damaged: ", 0), 0u) << cut;
  // A cut stream has lost the length its end gives: no length is named.
  EXPECT_FALSE(std::regex_search(cut, std::regex(R"(of (the )?\d+)"))) << cut;

  std::string flipped = bytes;
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 40; ++i) flipped[i] = char(~flipped[i]);
  std::ofstream(m_dir.File("flipped.opus"), std::ios::binary) << flipped;
  const std::string damaged = OneErrorLine(Run("ref.wav flipped.opus"));
  EXPECT_EQ(damaged.rfind("vantrel-host: the test file flipped.opus is damaged: ", 0), 0u) << damaged;
  // The decoder skips what it cannot read and goes on: it did not stop
  // where its count ends, and the length the header gives stands.
  EXPECT_EQ(damaged.find("stopped"), std::string::npos) << damaged;
  EXPECT_NE(damaged.find(" of the " + std::to_string(frames) + " "), std::string::npos) << damaged;
}

TEST_F(HostDamagedFileTest, AFileCutWhileItIsMeasuredEndsTheRunWithAReason) {
  // 120 s: far more rows than a pipe holds, so the host waits on its table
  // (within its first 50 s) while the file is cut behind its reads.
  const int64_t frames = WriteEncodedPair("ref.wav", "test.wav", SoundFileEncoding::Pcm16, "wav", 120.0);
  const std::string path = m_dir.File("test.wav");
  const int64_t bytes = int64_t(std::filesystem::file_size(path));
  const int64_t cut = bytes - 2 * (frames / 5);  // the last fifth of the samples
  const std::string err = m_dir.File("stderr.txt");
  FILE* table = popen((Command("--quiet --csv - ref.wav test.wav") + " 2>'" + err + "'").c_str(), "r");
  ASSERT_NE(table, nullptr);
  char row[256];
  // The header and one row: the frames have begun, the search's reads are over.
  for (int line = 0; line < 2; ++line) ASSERT_NE(std::fgets(row, sizeof row, table), nullptr);
  ASSERT_EQ(truncate(path.c_str(), off_t(cut)), 0);
  while (std::fgets(row, sizeof row, table) != nullptr) {
  }
  const int status = pclose(table);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  const std::vector<std::string> lines = Lines(ReadAll(err));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "vantrel-host: the test file " + path.substr(path.rfind('/') + 1) +
                              " changed while it was measured: its size went from " + std::to_string(bytes) + " to " +
                              std::to_string(cut) + " bytes while it was read");
}

TEST_F(HostDamagedFileTest, AThousandChannelFileUnderAMemoryLimitIsMeasuredOrRefusedWithOneLine) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory needs more address space than the limit allows";
#else
  constexpr int kChannels = 1024;
  constexpr int kFrames = 9600;  // 0.2 s at 48 kHz
  for (const char* name : {"ref.wav", "test.wav"}) {
    std::vector<float> samples(size_t(kFrames) * kChannels);
    const std::vector<float> noise = IntegerNoise(kFrames, 5, 3000.0);
    for (int n = 0; n < kFrames; ++n) samples[size_t(n) * kChannels] = noise[n];
    ASSERT_TRUE(
        WriteSoundFile(m_dir.File(name), {48000, kChannels, SoundFileEncoding::Float, "wav"}, samples.data(), kFrames));
  }
  const HostRun run = RunPlain("--quiet ref.wav test.wav");  // measures without a limit
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // 200 MB of address space: less than a buffer of 65536 frames of every channel.
  const std::string out = m_dir.File("limited.txt");
  const std::string err = m_dir.File("limited-err.txt");
  const int status = std::system(
      ("ulimit -v 200000 && " + Command("--quiet ref.wav test.wav") + " >'" + out + "' 2>'" + err + "'").c_str());
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // Measured, or refused with a reason; never aborted.
  if (code == 0)
    EXPECT_NE(ReadAll(out).find("Summary"), std::string::npos);
  else
    EXPECT_EQ(code, 1);
  const std::string errText = ReadAll(err);
  EXPECT_EQ(errText.find("terminate"), std::string::npos) << errText;
#endif
}

}  // namespace
