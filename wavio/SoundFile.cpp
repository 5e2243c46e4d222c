#include "wavio/SoundFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "wavio/SampleConvert.h"

namespace {

// libsndfile's normalised floats run over +-1.0; the front end's over +-32768.
constexpr float kUnitsPerFullScale = 32768.0f;
// 60 dB over full scale: the largest sample a float file delivers as it is.
constexpr float kMaxUsableUnits = 1000.0f * kUnitsPerFullScale;
// Frames of 16-bit PCM converted per library call.
constexpr int64_t kShortFrames = 8192;

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
  if (container == "flac") return SF_FORMAT_FLAC;
  return 0;
}

// libsndfile's subtype of an encoding in the container `major`: 8-bit PCM
// is unsigned in the WAV containers, signed elsewhere.
int EncodingSubtype(SoundFileEncoding encoding, int major) {
  switch (encoding) {
    case SoundFileEncoding::PcmU8:
      return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8;
    case SoundFileEncoding::Pcm16: return SF_FORMAT_PCM_16;
    case SoundFileEncoding::Pcm24: return SF_FORMAT_PCM_24;
    case SoundFileEncoding::Pcm32: return SF_FORMAT_PCM_32;
    case SoundFileEncoding::Float: return SF_FORMAT_FLOAT;
    case SoundFileEncoding::Double: return SF_FORMAT_DOUBLE;
  }
  return SF_FORMAT_PCM_16;
}

bool IsFloatEncoding(SoundFileEncoding encoding) {
  return encoding == SoundFileEncoding::Float || encoding == SoundFileEncoding::Double;
}

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
};

SoundFileReader::SoundFileReader() : m_handle(std::make_unique<Handle>()) {}

SoundFileReader::~SoundFileReader() { Close(); }

bool SoundFileReader::Open(const std::string& path) {
  Close();
  m_error.clear();
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    m_error = "cannot open '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels <= 0 || info.samplerate <= 0) {
    m_error = "'" + path + "' has no usable channel count or sample rate";
    sf_close(file);
    return false;
  }
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  m_handle->file = file;
  m_format.sampleRate = info.samplerate;
  m_format.bitsPerSample = BitsOf(info.format);
  m_format.channels = info.channels;
  m_format.frames = info.frames;
  m_sixteenBitPcm = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
  return true;
}

void SoundFileReader::Close() {
  if (m_handle->file != nullptr) {
    sf_close(m_handle->file);
    m_handle->file = nullptr;
  }
  m_format = SoundFileFormat{};
  m_nonFinite = 0;
  m_sixteenBitPcm = false;
  m_shorts.clear();
  m_shorts.shrink_to_fit();
}

bool SoundFileReader::IsOpen() const { return m_handle->file != nullptr; }

int64_t SoundFileReader::Read(float* interleaved, int64_t frames) {
  if (m_handle->file == nullptr || frames <= 0) return 0;
  return m_sixteenBitPcm ? ReadShortsAsFloats(interleaved, frames) : ReadFloats(interleaved, frames);
}

int64_t SoundFileReader::ReadShorts(int16_t* interleaved, int64_t frames) {
  if (m_handle->file == nullptr || frames <= 0 || !m_sixteenBitPcm) return 0;
  const int64_t got = sf_readf_short(m_handle->file, interleaved, frames);
  if (got < 0) return 0;
  if (got < frames && sf_error(m_handle->file) != SF_ERR_NO_ERROR) m_error = sf_strerror(m_handle->file);
  return got;
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
  const int64_t got = sf_readf_float(m_handle->file, interleaved, frames);
  if (got < 0) return 0;
  if (got < frames && sf_error(m_handle->file) != SF_ERR_NO_ERROR) m_error = sf_strerror(m_handle->file);
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
