#include "wavio/WaveIO.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "wavio/DeviceCapture.h"
#include "wavio/SampleConvert.h"
#include "wavio/SoundFile.h"
#include "wavio/WaveBuffer.h"

namespace {

// File frames are read ahead in blocks of up to this many, so that the file
// is read in large blocks rather than one block of the caller's at a time;
// files of many channels read fewer, so that the block stays within bytes.
constexpr int64_t kFileReadFrames = 16384;
constexpr int64_t kFileReadBytes = int64_t(128) << 10;

// Makes room for `needed` values from the head on, moving the held ones to
// the front first; false when the buffer cannot grow.
template <class T>
bool MakeRoom(std::vector<T>& values, int64_t& head, int64_t& tail, int64_t needed) {
  if (head + needed <= int64_t(values.size())) return true;
  std::copy(values.begin() + head, values.begin() + tail, values.begin());
  tail -= head;
  head = 0;
  if (needed > int64_t(values.size())) {
    try {
      values.resize(needed);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return true;
}

std::mutex g_makerMutex;
WaveIOMaker g_maker;

}  // namespace

int CAudio::PresetWaveStruct(long sampleRate, int bitsPerSample, int channels, unsigned short) {
  m_presetRate = static_cast<int>(sampleRate);
  m_presetBits = bitsPerSample;
  m_presetChannels = channels;
  return 1;
}

CWaveIO::CWaveIO() = default;

CWaveIO::~CWaveIO() { Close(); }

int CWaveIO::SetupBuffer(int bytes) {
  if (bytes <= 0) {
    m_lastError = "buffer size " + std::to_string(bytes) + " bytes";
    return 0;
  }
  m_bufferBytes = bytes;
  return 1;
}

int64_t CWaveIO::BytesPerFrame() const { return std::max<int64_t>(int64_t(Channels()) * (BitsPerSample() / 8), 1); }

int CWaveIO::StartInput(int, int deviceId, int, int) {
  Close();
  if (m_bufferBytes <= 0) {
    m_lastError = "no buffer set up";
    return 0;
  }
  if (m_presetChannels <= 0 || m_presetRate <= 0) {
    m_lastError = "no usable wave format preset (" + std::to_string(m_presetRate) + " Hz, " +
                  std::to_string(m_presetChannels) + " channels)";
    return 0;
  }
  auto buffer = std::make_shared<WaveBuffer>(m_presetChannels, m_bufferBytes / BytesPerFrame());
  CaptureRequest request{deviceId, m_presetRate, m_presetChannels};
  std::unique_ptr<DeviceCapture> device = StartDeviceCapture(request, buffer, &m_lastError);
  if (!device) return 0;
  m_capture.store(std::move(buffer));
  m_device = std::move(device);
  return 1;
}

int CWaveIO::OpenInputFile(int, const std::string& fileName, int) {
  Close();
  auto reader = std::make_unique<SoundFileReader>();
  if (!reader->Open(fileName)) {
    m_lastError = reader->Error();
    return 0;
  }
  m_fileHoldsShorts = reader->HoldsShorts();
  m_file = std::move(reader);
  return 1;
}

int CWaveIO::Close() {
  // A reader blocked on another thread keeps its own reference and wakes.
  if (std::shared_ptr<WaveBuffer> capture = m_capture.exchange(nullptr)) capture->Close();
  if (m_device) m_device->Stop();
  m_device.reset();
  if (m_file) {
    m_file.reset();
    m_fileFrames.clear();
    m_fileFrames.shrink_to_fit();
    m_fileShorts.clear();
    m_fileShorts.shrink_to_fit();
    m_fileHoldsShorts = false;
    m_fileHead = m_fileTail = 0;
    m_fileEnded = false;
    m_fileShortOfMemory = false;
  }
  return 1;
}

uint32_t CWaveIO::GetFreeBufferSpace() {
  int64_t free = m_bufferBytes;
  if (m_device && m_device->FreeSpaceOverride(0) >= 0)
    free = m_device->FreeSpaceOverride(0);
  else if (std::shared_ptr<WaveBuffer> capture = m_capture.load())
    free = capture->FreeFrames() * BytesPerFrame();
  else if (m_file)
    free = m_bufferBytes - FileFramesHeld() * BytesPerFrame();
  return static_cast<uint32_t>(std::clamp<int64_t>(free, 0, UINT32_MAX));
}

uint32_t CWaveIO::GetFreeBufferSpace2() {
  int64_t free = m_bufferBytes;
  if (m_device && m_device->FreeSpaceOverride(1) >= 0) free = m_device->FreeSpaceOverride(1);
  return static_cast<uint32_t>(std::clamp<int64_t>(free, 0, UINT32_MAX));
}

int64_t CWaveIO::FileFramesHeld() const { return (m_fileTail - m_fileHead) / Channels(); }

void CWaveIO::FillFromFile(int64_t frames) {
  const int channels = Channels();
  int64_t held = FileFramesHeld();
  if (held >= frames || m_fileEnded) return;
  const int64_t valueBytes = m_fileHoldsShorts ? int64_t(sizeof(int16_t)) : int64_t(sizeof(float));
  const int64_t readAhead = std::clamp<int64_t>(kFileReadBytes / (valueBytes * channels), 1, kFileReadFrames);
  const int64_t want = std::max(frames - held, readAhead);
  const int64_t needed = (held + want) * channels;
  const bool room = m_fileHoldsShorts ? MakeRoom(m_fileShorts, m_fileHead, m_fileTail, needed)
                                      : MakeRoom(m_fileFrames, m_fileHead, m_fileTail, needed);
  if (!room) {
    m_lastError = "out of memory reading ahead";
    m_fileShortOfMemory = true;
    return;
  }
  const int64_t got = m_fileHoldsShorts ? m_file->ReadShorts(m_fileShorts.data() + m_fileTail, want)
                                        : m_file->Read(m_fileFrames.data() + m_fileTail, want);
  m_fileTail += got * channels;
  if (got < want) m_fileEnded = true;
}

int64_t CWaveIO::ReadFile(float* dest, int channel, int64_t frames) {
  FillFromFile(frames);
  const int channels = Channels();
  const int64_t delivered = std::min(frames, FileFramesHeld());
  if (dest == nullptr) return delivered;
  if (m_fileHoldsShorts) {
    const int16_t* held = m_fileShorts.data() + m_fileHead;
    if (channel < 0)
      ShortsToFloats(held, dest, delivered * channels);
    else
      ShortChannelToFloats(held, channels, channel, dest, delivered);
  } else {
    const float* held = m_fileFrames.data() + m_fileHead;
    if (channel < 0)
      std::copy_n(held, delivered * channels, dest);
    else
      FloatChannel(held, channels, channel, dest, delivered);
  }
  return delivered;
}

int CWaveIO::ReadRaw(float* dest, int count, int blocking) {
  if (count <= 0) return 0;
  if (m_file) return static_cast<int>(ReadFile(dest, -1, count));
  if (std::shared_ptr<WaveBuffer> capture = m_capture.load()) return ReadDevice(*capture, dest, -1, count, blocking);
  return 0;
}

int CWaveIO::ReadDevice(WaveBuffer& capture, float* dest, int channel, int count, int blocking) {
  const int got = static_cast<int>(capture.Read(dest, channel, count, blocking != 0));
  if (got < count) NoteDeviceFailure();
  return got;
}

void CWaveIO::NoteDeviceFailure() {
  if (!m_device) return;
  std::string failure = m_device->Failure();
  if (!failure.empty()) m_lastError = std::move(failure);
}

int CWaveIO::ReadChannel(float* dest, int channel, int count, int* format, int blocking) {
  if (format != nullptr) *format = WAVEIO_FORMAT_FLOAT;
  if (count <= 0 || channel < 0 || channel >= Channels()) {
    if (channel < 0 || channel >= Channels()) m_lastError = "no channel " + std::to_string(channel);
    return 0;
  }
  if (m_file) return static_cast<int>(ReadFile(dest, channel, count));
  if (std::shared_ptr<WaveBuffer> capture = m_capture.load())
    return ReadDevice(*capture, dest, channel, count, blocking);
  return 0;
}

int CWaveIO::ReleaseSamples(int count) {
  if (count <= 0) return 1;
  if (m_file) {
    m_fileHead += std::min<int64_t>(int64_t(count) * Channels(), m_fileTail - m_fileHead);
    if (m_fileHead == m_fileTail) m_fileHead = m_fileTail = 0;
  } else if (std::shared_ptr<WaveBuffer> capture = m_capture.load()) {
    capture->Release(count);
  }
  return 1;
}

int CWaveIO::StopTelephoneInput() { return 1; }

int64_t CWaveIO::NonFiniteSamples() const { return m_file ? m_file->NonFiniteSamples() : 0; }

DecodeProgress CWaveIO::FileProgress() const {
  if (!m_file) return {};
  DecodeProgress progress = m_file->Progress();
  // The reads stopped short for want of memory, not at the file's end.
  if (m_fileShortOfMemory) progress.ended = false;
  return progress;
}

std::string CWaveIO::FileChange() const { return m_file ? m_file->ChangeSinceOpen() : std::string(); }

void CWaveIO::DecodeRestOfFile() {
  if (!m_file || m_fileShortOfMemory) return;
  m_file->DecodeRest();
  m_fileHead = m_fileTail = 0;
  m_fileEnded = true;
}

uint16_t CWaveIO::IsOutputBusy(int) { return 0; }

uint16_t CWaveIO::WaitForData(int milliseconds) {
  if (m_file) {
    FillFromFile(1);
    return FileFramesHeld() == 0 ? WAVEIO_WAIT_ENDED : WAVEIO_WAIT_DATA;
  }
  const std::shared_ptr<WaveBuffer> capture = m_capture.load();
  if (!capture) return WAVEIO_WAIT_NOT_STARTED;
  if (capture->WaitForFrames(milliseconds)) return WAVEIO_WAIT_DATA;
  if (!capture->Ended()) return WAVEIO_WAIT_TIMEOUT;
  NoteDeviceFailure();
  return WAVEIO_WAIT_ENDED;
}

int CWaveIO::SampleRate() const { return m_file ? m_file->Format().sampleRate : m_presetRate; }

int CWaveIO::BitsPerSample() const { return m_file ? m_file->Format().bitsPerSample : m_presetBits; }

int CWaveIO::Channels() const { return m_file ? m_file->Format().channels : m_presetChannels; }

CWaveIO* CWaveIOFactory::GetNewCWaveIO(int) {
  WaveIOMaker maker;
  {
    std::lock_guard<std::mutex> lock(g_makerMutex);
    maker = g_maker;
  }
  return maker ? maker() : new (std::nothrow) CWaveIO();
}

WaveIOMaker SetWaveIOMaker(WaveIOMaker maker) {
  std::lock_guard<std::mutex> lock(g_makerMutex);
  WaveIOMaker previous = std::move(g_maker);
  g_maker = std::move(maker);
  return previous;
}
