// Sound files through the wave objects: every supported encoding reads back
// to the samples written, in 16-bit units; damaged files fail the open with
// a text or read to an end, never crash.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "wavio/SoundFile.h"
#include "wavio/WaveIO.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 3000;

// Stereo integer samples over the whole 16-bit range, the two channels different.
std::vector<float> StereoTestSignal(int step = 1) {
  std::vector<float> samples(2 * kFrames);
  for (int i = 0; i < kFrames; ++i) {
    const double phase = 2.0 * M_PI * i / 97.0;
    samples[2 * i] = float(std::floor(32767.0 * std::sin(phase) / step) * step);
    samples[2 * i + 1] = float(((i * 37) % 65536 - 32768) / step * step);
  }
  samples[0] = -32768.0f;  // the negative full scale itself
  return samples;
}

std::vector<float> ReadChannelWhole(CWaveIO& wave, int channel) {
  std::vector<float> out(kFrames + 10);
  int format = 0;
  const int got = wave.ReadChannel(out.data(), channel, kFrames + 10, &format, 1);
  EXPECT_EQ(format, WAVEIO_FORMAT_FLOAT);
  out.resize(got);
  return out;
}

std::vector<char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

struct EncodingCase {
  const char* container;
  SoundFileEncoding encoding;
  int bits;
  int step;  // the samples' grid: 8-bit files hold multiples of 256
};

class SoundFileEncodings : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(SoundFileEncodings, ReadBackToTheSamplesWrittenInSixteenBitUnits) {
  const EncodingCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("signal");
  const std::vector<float> written = StereoTestSignal(c.step);
  std::string error;
  ASSERT_TRUE(WriteSoundFile(path, {kRate, 2, c.encoding, c.container}, written.data(), kFrames, &error)) << error;

  CWaveIO wave;
  ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
  ASSERT_NE(wave.OpenInputFile(0, path, 1), 0) << wave.LastError();
  EXPECT_EQ(wave.SampleRate(), kRate);
  EXPECT_EQ(wave.Channels(), 2);
  EXPECT_EQ(wave.BitsPerSample(), c.bits);
  for (int channel = 0; channel < 2; ++channel) {
    const std::vector<float> read = ReadChannelWhole(wave, channel);
    ASSERT_EQ(read.size(), size_t(kFrames));
    for (int i = 0; i < kFrames; ++i)
      ASSERT_EQ(read[i], written[2 * i + channel]) << c.container << " channel " << channel << " frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SoundFileEncodings,
    ::testing::Values(
        EncodingCase{"wav", SoundFileEncoding::PcmU8, 8, 256}, EncodingCase{"wav", SoundFileEncoding::Pcm16, 16, 1},
        EncodingCase{"wav", SoundFileEncoding::Pcm24, 24, 1}, EncodingCase{"wav", SoundFileEncoding::Pcm32, 32, 1},
        EncodingCase{"wav", SoundFileEncoding::Float, 32, 1}, EncodingCase{"wav", SoundFileEncoding::Double, 64, 1},
        EncodingCase{"wavex", SoundFileEncoding::Pcm16, 16, 1}, EncodingCase{"wavex", SoundFileEncoding::Pcm24, 24, 1},
        EncodingCase{"wavex", SoundFileEncoding::Float, 32, 1}, EncodingCase{"aiff", SoundFileEncoding::Pcm16, 16, 1},
        EncodingCase{"flac", SoundFileEncoding::Pcm16, 16, 1}, EncodingCase{"flac", SoundFileEncoding::Pcm24, 24, 1}));

// A WAV file built byte by byte, so that the scale is checked against the
// format itself rather than against this project's own writer.
std::vector<char> HandMadeWav(int formatTag, int bits, const std::vector<uint8_t>& data) {
  std::vector<char> bytes;
  auto text = [&](const char* s) { bytes.insert(bytes.end(), s, s + 4); };
  auto number = [&](uint32_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(char((v >> (8 * i)) & 0xFF));
  };
  const uint32_t blockAlign = uint32_t(bits / 8);
  text("RIFF");
  number(uint32_t(36 + data.size()), 4);
  text("WAVE");
  text("fmt ");
  number(16, 4);
  number(uint32_t(formatTag), 2);
  number(1, 2);  // mono
  number(8000, 4);
  number(8000 * blockAlign, 4);
  number(blockAlign, 2);
  number(uint32_t(bits), 2);
  text("data");
  number(uint32_t(data.size()), 4);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

TEST(SoundFiles, HandMadeFilesReadInSixteenBitUnitsWhateverTheirFormat) {
  struct Case {
    const char* name;
    int formatTag;  // 1 integer PCM, 3 IEEE float
    int bits;
    std::vector<uint8_t> data;  // little-endian samples
    std::vector<float> expected;
  };
  const std::vector<Case> cases = {
      {"unsigned 8-bit", 1, 8, {0x80, 0x81, 0x00, 0xFF}, {0.0f, 256.0f, -32768.0f, 32512.0f}},
      {"16-bit",
       1,
       16,
       {0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80},
       {0.0f, 1.0f, -1.0f, 32767.0f, -32768.0f}},
      {"24-bit",
       1,
       24,
       {0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F},
       {1.0f, 0.5f, -32768.0f, 32767.99609375f}},
      {"32-bit",
       1,
       32,
       {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x80, 0x00, 0x00},
       {1.0f, -32768.0f, 0.5f}},
      // 0.5, -1.0 and 0.25 as IEEE single floats
      {"float",
       3,
       32,
       {0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x80, 0x3E},
       {16384.0f, -32768.0f, 8192.0f}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("hand.wav");
    WriteBytes(path, HandMadeWav(c.formatTag, c.bits, c.data));
    CWaveIO wave;
    ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
    ASSERT_NE(wave.OpenInputFile(0, path, 1), 0) << c.name << ": " << wave.LastError();
    EXPECT_EQ(wave.SampleRate(), 8000) << c.name;
    EXPECT_EQ(wave.BitsPerSample(), c.bits) << c.name;
    std::vector<float> read(c.expected.size() + 4, -1.0f);
    int format = 0;
    ASSERT_EQ(wave.ReadChannel(read.data(), 0, int(read.size()), &format, 1), int(c.expected.size())) << c.name;
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(read[i], c.expected[i]) << c.name << " sample " << i;
  }
}

// Values that are not finite, in the file or once scaled to 16-bit units,
// come out as silence and are counted.
TEST(SoundFiles, NonFiniteSamplesReadAsZeroAndAreCounted) {
  const std::vector<float> stored = {0.5f, NAN, INFINITY, -INFINITY, 3e38f, 0.25f};
  std::vector<uint8_t> data(4 * stored.size());
  std::memcpy(data.data(), stored.data(), data.size());  // little-endian host
  TempDir dir;
  const std::string path = dir.File("odd.wav");
  WriteBytes(path, HandMadeWav(3, 32, data));
  CWaveIO wave;
  ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
  ASSERT_NE(wave.OpenInputFile(0, path, 1), 0) << wave.LastError();
  std::vector<float> read(stored.size(), -1.0f);
  int format = 0;
  ASSERT_EQ(wave.ReadChannel(read.data(), 0, int(read.size()), &format, 1), int(stored.size()));
  EXPECT_EQ(read, (std::vector<float>{16384.0f, 0.0f, 0.0f, 0.0f, 0.0f, 8192.0f}));
  EXPECT_EQ(wave.NonFiniteSamples(), 4);
}

// Files far longer than one read-ahead, read as the multiplexer reads them
// (both channels of a block, then a release), deliver every frame once and
// in order, on the 16-bit path and the float path alike.
TEST(SoundFiles, LongFilesDeliverEveryFrameOnceBlockByBlock) {
  constexpr int kLongFrames = 70001;
  std::vector<float> written(2 * kLongFrames);
  for (int i = 0; i < kLongFrames; ++i) {
    written[2 * i] = float(i % 65536 - 32768);
    written[2 * i + 1] = float(32767 - (i * 7) % 65536);
  }
  TempDir dir;
  for (const auto& [encoding, container] :
       {std::pair{SoundFileEncoding::Pcm16, "wav"}, std::pair{SoundFileEncoding::Pcm16, "flac"},
        std::pair{SoundFileEncoding::Float, "wav"}}) {
    SCOPED_TRACE(container);
    const std::string path = dir.File("long");
    ASSERT_TRUE(WriteSoundFile(path, {kRate, 2, encoding, container}, written.data(), kLongFrames));
    CWaveIO wave;
    ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
    ASSERT_NE(wave.OpenInputFile(0, path, 1), 0) << wave.LastError();
    int position = 0;
    std::vector<float> block[2];
    for (int round = 0; position < kLongFrames; ++round) {
      const int count = round % 3 == 0 ? 1024 : 777;
      int got[2] = {};
      int format = 0;
      for (int channel = 0; channel < 2; ++channel) {
        block[channel].assign(count, -1.0f);
        got[channel] = wave.ReadChannel(block[channel].data(), channel, count, &format, round % 2);
      }
      ASSERT_EQ(got[0], std::min(count, kLongFrames - position));
      ASSERT_EQ(got[1], got[0]);
      for (int channel = 0; channel < 2; ++channel)
        for (int k = 0; k < got[0]; ++k)
          ASSERT_EQ(block[channel][k], written[2 * (position + k) + channel])
              << "frame " << position + k << " channel " << channel;
      wave.ReleaseSamples(got[0]);
      position += got[0];
    }
    EXPECT_EQ(wave.ReadRaw(nullptr, 10, 1), 0);
    EXPECT_EQ(wave.WaitForData(-1), WAVEIO_WAIT_ENDED);
  }
}

// 16-bit files are held as stored and converted as they are delivered:
// every channel count gives each channel, and whole frames, as written,
// including both full-scale ends and counts that leave a partial group.
TEST(SoundFiles, SixteenBitFramesAndChannelsOfEveryChannelCountReadAsWritten) {
  TempDir dir;
  for (int channels : {1, 2, 3}) {
    SCOPED_TRACE(channels);
    std::vector<float> written(size_t(channels) * kFrames);
    for (size_t i = 0; i < written.size(); ++i) written[i] = float(int((i * 7919) % 65536) - 32768);
    written[1] = 32767.0f;
    const std::string path = dir.File("multi.wav");
    ASSERT_TRUE(WriteSoundFile(path, {kRate, channels, SoundFileEncoding::Pcm16, "wav"}, written.data(), kFrames));
    CWaveIO wave;
    ASSERT_EQ(wave.SetupBuffer(1 << 20), 1);
    ASSERT_NE(wave.OpenInputFile(0, path, 0), 0) << wave.LastError();
    constexpr int kCount = 1023;
    std::vector<float> frames(size_t(channels) * kCount), one(kCount);
    ASSERT_EQ(wave.ReadRaw(frames.data(), kCount, 1), kCount);
    for (size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i], written[i]) << "value " << i;
    int format = 0;
    for (int channel = 0; channel < channels; ++channel) {
      ASSERT_EQ(wave.ReadChannel(one.data(), channel, kCount, &format, 1), kCount);
      for (int k = 0; k < kCount; ++k)
        ASSERT_EQ(one[k], written[size_t(k) * channels + channel]) << "channel " << channel << " frame " << k;
    }
  }
}

TEST(SoundFiles, ReadsDoNotConsumeAndOnlyReleaseAdvances) {
  TempDir dir;
  const std::string path = dir.File("ramp.wav");
  std::vector<float> ramp(kFrames);
  for (int i = 0; i < kFrames; ++i) ramp[i] = float(i);
  ASSERT_TRUE(WriteSoundFile(path, {kRate, 1, SoundFileEncoding::Pcm16, "wav"}, ramp.data(), kFrames));
  CWaveIO wave;
  wave.SetupBuffer(1 << 20);
  ASSERT_NE(wave.OpenInputFile(0, path, 0), 0);

  float first[10];
  float again[10];
  int format = 0;
  ASSERT_EQ(wave.ReadChannel(first, 0, 10, &format, 0), 10);
  ASSERT_EQ(wave.ReadChannel(again, 0, 10, &format, 0), 10);
  EXPECT_EQ(again[9], 9.0f);
  wave.ReleaseSamples(7);
  ASSERT_EQ(wave.ReadRaw(again, 10, 0), 10);
  EXPECT_EQ(again[0], 7.0f);
  EXPECT_EQ(again[9], 16.0f);
  // The end: fewer than asked, then nothing, and the wait says so.
  wave.ReleaseSamples(kFrames - 17);
  EXPECT_EQ(wave.ReadRaw(nullptr, 100, 1), 10);
  wave.ReleaseSamples(10);
  EXPECT_EQ(wave.ReadRaw(nullptr, 100, 1), 0);
  EXPECT_EQ(wave.WaitForData(-1), WAVEIO_WAIT_ENDED);
  wave.Close();
  EXPECT_EQ(wave.WaitForData(10), WAVEIO_WAIT_NOT_STARTED);
}

TEST(SoundFiles, MissingEmptyAndForeignFilesFailTheOpenWithAText) {
  TempDir dir;
  WriteBytes(dir.File("empty.wav"), {});
  const std::string text = "this is not a sound file, only some text that goes on for a while";
  WriteBytes(dir.File("text.wav"), std::vector<char>(text.begin(), text.end()));
  for (const std::string name : {"missing.wav", "empty.wav", "text.wav"}) {
    CWaveIO wave;
    wave.SetupBuffer(1 << 20);
    EXPECT_EQ(wave.OpenInputFile(0, dir.File(name), 1), 0) << name;
    EXPECT_NE(wave.LastError().find(name), std::string::npos) << wave.LastError();
    EXPECT_EQ(wave.ReadRaw(nullptr, 10, 1), 0);
  }
  CWaveIO wave;
  EXPECT_EQ(wave.OpenInputFile(0, dir.File(""), 1), 0);  // a directory
}

// Opens a file and reads it to its end; every path must end without a crash.
int OpenAndDrain(const std::string& path) {
  CWaveIO wave;
  wave.SetupBuffer(1 << 20);
  if (wave.OpenInputFile(0, path, 1) == 0) {
    EXPECT_FALSE(wave.LastError().empty());
    return -1;
  }
  std::vector<float> block(256 * std::max(wave.Channels(), 1));
  int64_t total = 0;
  for (int round = 0; round < 100000; ++round) {
    const int got = wave.ReadRaw(block.data(), 256, 1);
    EXPECT_GE(got, 0);
    EXPECT_LE(got, 256);
    total += got;
    wave.ReleaseSamples(got);
    if (got < 256) break;
  }
  return int(std::min<int64_t>(total, INT32_MAX));
}

TEST(SoundFiles, TruncatedDataReadsWhatIsThereAndEnds) {
  TempDir dir;
  const std::string path = dir.File("cut.wav");
  const std::vector<float> signal = StereoTestSignal();
  ASSERT_TRUE(WriteSoundFile(path, {kRate, 2, SoundFileEncoding::Pcm16, "wav"}, signal.data(), kFrames));
  std::vector<char> bytes = ReadBytes(path);
  bytes.resize(bytes.size() - 1001);  // the header still promises every frame
  WriteBytes(path, bytes);
  const int frames = OpenAndDrain(path);
  EXPECT_GT(frames, kFrames - 300);
  EXPECT_LT(frames, kFrames);
}

TEST(SoundFiles, ThousandsOfMutatedCopiesOpenOrFailCleanly) {
  TempDir dir;
  const std::string original = dir.File("original");
  std::vector<std::vector<char>> seeds;
  const std::vector<float> signal = StereoTestSignal();
  for (auto [container, encoding] :
       {std::pair{"wav", SoundFileEncoding::Pcm16}, std::pair{"wavex", SoundFileEncoding::Pcm24},
        std::pair{"wav", SoundFileEncoding::Float}}) {
    ASSERT_TRUE(WriteSoundFile(original, {kRate, 2, encoding, container}, signal.data(), 400));
    seeds.push_back(ReadBytes(original));
  }

  std::mt19937 random(20261210);
  const std::string mutated = dir.File("mutated.wav");
  int opened = 0;
  int failed = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<char> bytes = seeds[trial % seeds.size()];
    const size_t size = bytes.size();
    switch (trial % 4) {
      case 0:  // bytes flipped, mostly in the header
        for (int n = 1 + int(random() % 8); n > 0; --n)
          bytes[random() % std::min<size_t>(size, trial % 8 == 0 ? size : 80)] ^= char(1 << (random() % 8));
        break;
      case 1:  // cut anywhere, the header too
        bytes.resize(random() % size);
        break;
      case 2: {  // a size, count or format field lied about
        const size_t at = (random() % 20) * 4;
        const uint32_t lies[] = {0u, 1u, 0xffffffffu, 0x7fffffffu, 0x80000000u, uint32_t(random())};
        const uint32_t lie = lies[random() % 6];
        for (int b = 0; b < 4 && at + b < size; ++b) bytes[at + b] = char(lie >> (8 * b));
        break;
      }
      default:  // a stretch of the file overwritten with noise
        for (size_t at = random() % size, n = 1 + random() % 64; n > 0 && at < size; --n, ++at)
          bytes[at] = char(random());
        break;
    }
    WriteBytes(mutated, bytes);
    (OpenAndDrain(mutated) < 0 ? failed : opened)++;
  }
  // Both outcomes occur; neither crashed.
  EXPECT_GT(opened, 100);
  EXPECT_GT(failed, 100);
}

}  // namespace
