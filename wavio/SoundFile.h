// Sound files through libsndfile: WAV in every PCM width, float and
// extensible form, and whatever else libsndfile reads. Samples come and go
// as floats in 16-bit integer units (full scale +-32768) whatever the
// file's own format. Nothing here throws; failures come back as a result
// with a text that says what went wrong.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SoundFileFormat {
  int sampleRate = 0;
  int bitsPerSample = 0;  // of the stored samples; 16 for compressed encodings
  int channels = 0;
  int64_t frames = 0;
};

class SoundFileReader {
 public:
  SoundFileReader();
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  // false with Error() set when the file is missing, unreadable or not a
  // sound file libsndfile accepts.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const;

  const SoundFileFormat& Format() const { return m_format; }
  const std::string& Error() const { return m_error; }

  // Reads up to `frames` interleaved frames; fewer at the end or on a
  // damaged stretch (then Error() says so). Returns the frames read.
  // A sample that is not finite, or lies more than 60 dB over full scale
  // (1000 x 32768 units), is delivered as 0 and counted.
  int64_t Read(float* interleaved, int64_t frames);
  // A 16-bit PCM file: ReadShorts delivers its samples as stored, which
  // are the 16-bit units themselves.
  bool HoldsShorts() const { return m_sixteenBitPcm; }
  // As Read, for a file that HoldsShorts (0 for any other).
  int64_t ReadShorts(int16_t* interleaved, int64_t frames);
  // Samples set to 0 so far because they were not finite or far beyond full scale.
  int64_t NonFiniteSamples() const { return m_nonFinite; }

 private:
  // 16-bit PCM read as integers, which are the 16-bit units themselves.
  int64_t ReadShortsAsFloats(float* interleaved, int64_t frames);
  int64_t ReadFloats(float* interleaved, int64_t frames);

  struct Handle;
  std::unique_ptr<Handle> m_handle;
  SoundFileFormat m_format;
  std::string m_error;
  int64_t m_nonFinite = 0;
  bool m_sixteenBitPcm = false;
  std::vector<int16_t> m_shorts;
};

// The encodings WriteSoundFile can store.
enum class SoundFileEncoding { PcmU8, Pcm16, Pcm24, Pcm32, Float, Double };

struct SoundFileSpec {
  int sampleRate = 48000;
  int channels = 1;
  SoundFileEncoding encoding = SoundFileEncoding::Pcm16;
  // Container: "wav", "wavex" (extensible WAV), "aiff" or "flac".
  std::string container = "wav";
};

// Writes interleaved frames in 16-bit units; integer values round-trip
// exactly through every PCM width of 16 bits or more. false with `error`
// set on failure.
bool WriteSoundFile(const std::string& path, const SoundFileSpec& spec, const float* interleaved, int64_t frames,
                    std::string* error = nullptr);
