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
  int64_t frames = 0;  // what the file holds as it is
};

// How far a file has decoded against what its header promises.
struct DecodeProgress {
  int64_t decoded = 0;    // frames delivered so far
  int64_t promised = -1;  // frames the header gives; -1 when it gives none
  bool ended = false;     // a read came back short: nothing more decodes
  // Why it ended short, when known: the decoder's text, or where the data
  // of a file cut short ends.
  std::string reason;
  // The decoder said what went wrong (else the data only ran out).
  bool decoderFailed = false;

  // Ended with every promised frame decoded and nothing failed.
  bool Whole() const { return ended && !decoderFailed && promised >= 0 && decoded >= promised; }
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

  // How far the reads have decoded. A WAV or AU file whose data chunk runs
  // past the file's end promises the frames its header gives, more than
  // Format().frames, and says where its data ends.
  const DecodeProgress& Progress() const { return m_progress; }
  // Reads the rest of the file (bounded buffers) so that Progress tells
  // whether it decodes to its end; uncompressed data whose header agrees
  // with the file's size needs no reading. Progress does not end when not
  // even one frame's buffer can be had.
  void DecodeRest();
  // "" while the open file has its size and time of the open, else what
  // changed (it was cut, extended or written over while it was read).
  std::string ChangeSinceOpen() const;

 private:
  // Counts a read of `got` frames of `asked`.
  int64_t Count(int64_t got, int64_t asked);
  // 16-bit PCM read as integers, which are the 16-bit units themselves.
  int64_t ReadShortsAsFloats(float* interleaved, int64_t frames);
  int64_t ReadFloats(float* interleaved, int64_t frames);

  struct Handle;
  std::unique_ptr<Handle> m_handle;
  SoundFileFormat m_format;
  std::string m_error;
  int64_t m_nonFinite = 0;
  bool m_sixteenBitPcm = false;
  bool m_uncompressed = false;  // uncompressed data, its header agreeing with the file's size
  DecodeProgress m_progress;
  // The file's size and modification time at the open.
  int m_fd = -1;
  int64_t m_openBytes = 0;
  int64_t m_openTimeNs = 0;
  std::vector<int16_t> m_shorts;
};

struct HeldSoundFile;

// Holds a sound file open for the layers of one measurement. While a lease
// on a path lives, a SoundFileReader of this process that opens that path
// reads the file the lease opened, from its start, rather than opening the
// path again: between two opens the path could come to name another file
// (one being written, or put in its place). One reader at a time uses the
// held file; another that opens the path meanwhile opens it itself.
class SoundFileLease {
 public:
  SoundFileLease() = default;
  ~SoundFileLease();
  SoundFileLease(const SoundFileLease&) = delete;
  SoundFileLease& operator=(const SoundFileLease&) = delete;

  // false when `path` cannot be opened or is no regular file; readers then
  // open it themselves and say why.
  bool Hold(const std::string& path);
  void Release();

 private:
  std::shared_ptr<HeldSoundFile> m_held;
};

// The frames of the sound file `path`, -1 when it cannot be read. A held
// file whose header has been read gives them without reading it again.
int64_t SoundFileFrames(const std::string& path);

// The encodings WriteSoundFile can store; the compressed ones only in the
// containers that hold them (IMA ADPCM and u-law in "wav", G.723 in "au",
// Opus in "ogg").
enum class SoundFileEncoding { PcmU8, Pcm16, Pcm24, Pcm32, Float, Double, ImaAdpcm, MuLaw, G723, Opus };

struct SoundFileSpec {
  int sampleRate = 48000;
  int channels = 1;
  SoundFileEncoding encoding = SoundFileEncoding::Pcm16;
  // Container: "wav", "wavex" (extensible WAV), "w64" (Sony Wave64), "aiff", "flac", "au" or "ogg".
  std::string container = "wav";
};

// Writes interleaved frames in 16-bit units; integer values round-trip
// exactly through every PCM width of 16 bits or more. false with `error`
// set on failure.
bool WriteSoundFile(const std::string& path, const SoundFileSpec& spec, const float* interleaved, int64_t frames,
                    std::string* error = nullptr);
