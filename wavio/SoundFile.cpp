#include "wavio/SoundFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "wavio/DataChunkClaim.h"
#include "wavio/HeldSoundFile.h"
#include "wavio/SampleConvert.h"

namespace {

// libsndfile's normalised floats run over +-1.0; the front end's over +-32768.
constexpr float kUnitsPerFullScale = 32768.0f;
// 60 dB over full scale: the largest sample a float file delivers as it is.
constexpr float kMaxUsableUnits = 1000.0f * kUnitsPerFullScale;
// Frames of 16-bit PCM converted per library call.
constexpr int64_t kShortFrames = 8192;
// Bytes decoded per call when the rest of a file is only checked.
constexpr int64_t kRestBytes = int64_t(1) << 20;

int BitsOf(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 32;
    case SF_FORMAT_DOUBLE: return 64;
    default: return 16;
  }
}

// libsndfile's major format of a container name; 0 for an unknown one.
int ContainerFormat(const std::string& container) {
  if (container == "wav") return SF_FORMAT_WAV;
  if (container == "wavex") return SF_FORMAT_WAVEX;
  if (container == "aiff") return SF_FORMAT_AIFF;
  if (container == "w64") return SF_FORMAT_W64;
  if (container == "flac") return SF_FORMAT_FLAC;
  if (container == "au") return SF_FORMAT_AU;
  if (container == "ogg") return SF_FORMAT_OGG;
  return 0;
}

// libsndfile's subtype of an encoding in the container `major`: 8-bit PCM
// is unsigned in the WAV containers, signed elsewhere.
int EncodingSubtype(SoundFileEncoding encoding, int major) {
  switch (encoding) {
    case SoundFileEncoding::PcmU8:
      return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_W64 ? SF_FORMAT_PCM_U8
                                                                                          : SF_FORMAT_PCM_S8;
    case SoundFileEncoding::Pcm16: return SF_FORMAT_PCM_16;
    case SoundFileEncoding::Pcm24: return SF_FORMAT_PCM_24;
    case SoundFileEncoding::Pcm32: return SF_FORMAT_PCM_32;
    case SoundFileEncoding::Float: return SF_FORMAT_FLOAT;
    case SoundFileEncoding::Double: return SF_FORMAT_DOUBLE;
    case SoundFileEncoding::ImaAdpcm: return SF_FORMAT_IMA_ADPCM;
    case SoundFileEncoding::MuLaw: return SF_FORMAT_ULAW;
    case SoundFileEncoding::G723: return SF_FORMAT_G723_24;
    case SoundFileEncoding::Opus: return SF_FORMAT_OPUS;
  }
  return SF_FORMAT_PCM_16;
}

bool IsFloatEncoding(SoundFileEncoding encoding) {
  return encoding == SoundFileEncoding::Float || encoding == SoundFileEncoding::Double ||
         encoding == SoundFileEncoding::Opus;
}

int64_t TimeNs(const struct stat& st) { return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec; }

// The frames libsndfile gives for a file of no stated length.
int64_t Promised(sf_count_t frames) { return frames == SF_COUNT_MAX || frames < 0 ? -1 : int64_t(frames); }

// Float encodings take normalised floats as they are.
int64_t WriteNormalisedFloats(SNDFILE* file, const float* interleaved, int64_t values, int64_t frames) {
  std::vector<float> scaled(interleaved, interleaved + values);
  for (float& v : scaled) v /= kUnitsPerFullScale;
  return sf_writef_float(file, scaled.data(), frames);
}

// Integer samples go as 32-bit integers (16-bit units shifted up), which
// libsndfile narrows to every PCM width by shifting, so they round-trip
// exactly.
int64_t WriteShiftedInts(SNDFILE* file, const float* interleaved, int64_t values, int64_t frames) {
  std::vector<int> wide(values);
  for (int64_t i = 0; i < values; ++i) {
    const double v = std::clamp(std::nearbyint(double(interleaved[i]) * 65536.0), -2147483648.0, 2147483647.0);
    wide[i] = static_cast<int>(v);
  }
  return sf_writef_int(file, wide.data(), frames);
}

}  // namespace

struct SoundFileReader::Handle {
  SNDFILE* file = nullptr;
  // The lease's file this reader reads, which it gives back on closing.
  std::shared_ptr<HeldSoundFile> held;
};

SoundFileReader::SoundFileReader() : m_handle(std::make_unique<Handle>()) {}

SoundFileReader::~SoundFileReader() { Close(); }

bool SoundFileReader::Open(const std::string& path) {
  Close();
  m_error.clear();
  std::shared_ptr<HeldSoundFile> held = BorrowHeldSoundFile(path);
  int fd = -1;
  struct stat st {};
  DataChunkClaim claim;
  if (held != nullptr) {
    // Decoding begins where the file does, as after an open of its own.
    fd = held->fd;
    st = held->st;
    claim = held->claim;
    lseek(fd, 0, SEEK_SET);
  } else {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fstat(fd, &st) != 0) {
      m_error = "cannot open '" + path + "': " + std::strerror(errno);
      if (fd >= 0) close(fd);
      return false;
    }
    if (S_ISREG(st.st_mode)) claim = ReadDataChunkClaim(fd, st.st_size);
  }
  m_handle->held = std::move(held);
  m_fd = fd;
  SF_INFO info{};
  // The descriptor stays this reader's, to see whether the file changes.
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  if (file == nullptr) {
    m_error = "cannot open '" + path + "': " + sf_strerror(nullptr);
    Close();
    return false;
  }
  if (info.channels <= 0 || info.samplerate <= 0) {
    m_error = "'" + path + "' has no usable channel count or sample rate";
    sf_close(file);
    Close();
    return false;
  }
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  m_handle->file = file;
  m_openBytes = st.st_size;
  m_openTimeNs = TimeNs(st);
  m_format.sampleRate = info.samplerate;
  m_format.bitsPerSample = BitsOf(info.format);
  m_format.channels = info.channels;
  m_format.frames = info.frames;
  m_sixteenBitPcm = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
  m_progress.promised = Promised(info.frames);
  if (claim.CutShort(st.st_size)) {
    // libsndfile reads what is there; the header promised more.
    m_progress.promised = claim.frames;
    m_progress.reason = "the file ends " + std::to_string(std::max<int64_t>(st.st_size - claim.offset, 0)) +
                        " bytes into its data, of the " + std::to_string(claim.bytes) + " bytes its header gives";
  }
  m_uncompressed = claim.uncompressed && !claim.CutShort(st.st_size);
  return true;
}

void SoundFileReader::Close() {
  if (m_handle->file != nullptr) {
    sf_close(m_handle->file);
    m_handle->file = nullptr;
  }
  if (m_handle->held != nullptr) {
    // Only a reader that opened the file whole tells its format.
    ReturnHeldSoundFile(m_handle->held, m_format.sampleRate > 0 ? &m_format : nullptr);
    m_handle->held.reset();
  } else if (m_fd >= 0) {
    close(m_fd);
  }
  m_format = SoundFileFormat{};
  m_nonFinite = 0;
  m_sixteenBitPcm = false;
  m_uncompressed = false;
  m_progress = DecodeProgress{};
  m_fd = -1;
  m_shorts.clear();
  m_shorts.shrink_to_fit();
}

int64_t SoundFileReader::Count(int64_t got, int64_t asked) {
  got = std::max<int64_t>(got, 0);
  m_progress.decoded += got;
  if (got < asked) {
    m_progress.ended = true;
    if (sf_error(m_handle->file) != SF_ERR_NO_ERROR) {
      m_error = sf_strerror(m_handle->file);
      m_progress.reason = m_error;
      m_progress.decoderFailed = true;
    }
  }
  return got;
}

void SoundFileReader::DecodeRest() {
  if (m_handle->file == nullptr || m_progress.ended) return;
  if (m_uncompressed) {
    // Every byte the header gives is there, so every frame decodes.
    m_progress.decoded = std::max(m_progress.decoded, m_format.frames);
    m_progress.ended = true;
    return;
  }
  int64_t frames = std::max<int64_t>(kRestBytes / (int64_t(m_format.channels) * int64_t(sizeof(float))), 1);
  std::vector<float> scratch;
  // Short of memory, one frame at a time still decodes it; without even
  // that, Progress says the file did not end.
  for (bool retry = true; scratch.empty(); retry = false) {
    try {
      scratch.resize(size_t(frames) * size_t(m_format.channels));
    } catch (const std::bad_alloc&) {
      if (!retry) return;
      frames = 1;
    }
  }
  while (!m_progress.ended) Count(sf_readf_float(m_handle->file, scratch.data(), frames), frames);
}

std::string SoundFileReader::ChangeSinceOpen() const {
  struct stat st {};
  if (m_fd < 0 || fstat(m_fd, &st) != 0) return {};
  if (st.st_size != m_openBytes)
    return "its size went from " + std::to_string(m_openBytes) + " to " + std::to_string(int64_t(st.st_size)) +
           " bytes while it was read";
  if (TimeNs(st) != m_openTimeNs) return "it was written to while it was read";
  return {};
}

bool SoundFileReader::IsOpen() const { return m_handle->file != nullptr; }

int64_t SoundFileReader::Read(float* interleaved, int64_t frames) {
  if (m_handle->file == nullptr || frames <= 0) return 0;
  return m_sixteenBitPcm ? ReadShortsAsFloats(interleaved, frames) : ReadFloats(interleaved, frames);
}

int64_t SoundFileReader::ReadShorts(int16_t* interleaved, int64_t frames) {
  if (m_handle->file == nullptr || frames <= 0 || !m_sixteenBitPcm) return 0;
  return Count(sf_readf_short(m_handle->file, interleaved, frames), frames);
}

int64_t SoundFileReader::ReadShortsAsFloats(float* interleaved, int64_t frames) {
  const int channels = m_format.channels;
  if (m_shorts.empty()) {
    try {
      m_shorts.resize(size_t(kShortFrames) * channels);
    } catch (const std::bad_alloc&) {
      return ReadFloats(interleaved, frames);  // slower, needs no room of its own
    }
  }
  int64_t done = 0;
  while (done < frames) {
    const int64_t want = std::min(frames - done, kShortFrames);
    const int64_t got = ReadShorts(m_shorts.data(), want);
    ShortsToFloats(m_shorts.data(), interleaved + done * channels, got * channels);
    done += got;
    if (got < want) break;
  }
  return done;
}

int64_t SoundFileReader::ReadFloats(float* interleaved, int64_t frames) {
  const int64_t got = Count(sf_readf_float(m_handle->file, interleaved, frames), frames);
  // A NaN, an infinity or a value far beyond full scale would poison every
  // sum the front end forms over it (squared, 1e34 swamps a window of
  // ordinary samples): deliver silence and count it. Float files may run
  // past full scale; nothing real runs 60 dB past it.
  for (int64_t i = 0; i < got * m_format.channels; ++i) {
    const float scaled = interleaved[i] * kUnitsPerFullScale;
    if (std::fabs(scaled) <= kMaxUsableUnits) {  // false for a NaN
      interleaved[i] = scaled;
    } else {
      interleaved[i] = 0.0f;
      ++m_nonFinite;
    }
  }
  return got;
}

bool WriteSoundFile(const std::string& path, const SoundFileSpec& spec, const float* interleaved, int64_t frames,
                    std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
  };
  const int major = ContainerFormat(spec.container);
  if (major == 0) return fail("unknown container '" + spec.container + "'");
  SF_INFO info{};
  info.samplerate = spec.sampleRate;
  info.channels = spec.channels;
  info.format = major | EncodingSubtype(spec.encoding, major);
  if (!sf_format_check(&info)) return fail("libsndfile cannot store this encoding in '" + spec.container + "'");
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return fail("cannot create '" + path + "': " + sf_strerror(nullptr));

  const int64_t values = frames * spec.channels;
  const int64_t written = IsFloatEncoding(spec.encoding) ? WriteNormalisedFloats(file, interleaved, values, frames)
                                                         : WriteShiftedInts(file, interleaved, values, frames);
  const bool complete = written == frames;
  std::string text = complete ? std::string() : sf_strerror(file);
  sf_close(file);
  return complete ? true : fail("writing '" + path + "' failed: " + text);
}
