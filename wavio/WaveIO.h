// The wave input/output objects the input multiplexer drives: one object
// per input, reading a sound file or capturing from a sound device (a
// virtual one or, when built with PortAudio, the machine's). Reads deliver
// floats in 16-bit integer units from the read position without consuming;
// only ReleaseSamples advances it, so two channel reads of one stretch see
// the same samples. Counts are frames (one sample per channel). Nothing
// here throws: failures return 0 and leave a text in LastError(). One
// thread drives an object; only Close may come from another, to release a
// reader that waits.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wavio/SoundFile.h"

class DeviceCapture;
class WaveBuffer;

// Results of WaitForData.
constexpr int WAVEIO_WAIT_DATA = 0;         // samples are there to read
constexpr int WAVEIO_WAIT_ENDED = 1;        // the input ended or was closed, nothing left
constexpr int WAVEIO_WAIT_NOT_STARTED = 3;  // nothing opened or started yet
constexpr int WAVEIO_WAIT_TIMEOUT = 6;      // nothing arrived in time
// The sample format code ReadChannel reports: floats in 16-bit units.
constexpr int WAVEIO_FORMAT_FLOAT = 2;

// The wave format a device input is started with.
class CAudio {
 public:
  virtual ~CAudio() = default;
  virtual int PresetWaveStruct(long sampleRate, int bitsPerSample, int channels, unsigned short reserved);

 protected:
  int m_presetRate = 0;
  int m_presetBits = 0;
  int m_presetChannels = 0;
};

class CWaveIO : public CAudio {
 public:
  CWaveIO();
  ~CWaveIO() override;
  CWaveIO(const CWaveIO&) = delete;
  CWaveIO& operator=(const CWaveIO&) = delete;

  // Starts capture from device `deviceId` in the preset format; non-zero on success.
  virtual int StartInput(int reserved, int deviceId, int reserved2, int reserved3);
  // Opens a sound file for reading; non-zero on success.
  virtual int OpenInputFile(int reserved, const std::string& fileName, int option);
  // Sets the buffer size in bytes for the next start or open; 0 on failure.
  virtual int SetupBuffer(int bytes);
  // Stops capture and closes the file; blocked readers return.
  virtual int Close();
  // Free bytes of the input buffer and of the (unused) second buffer.
  virtual uint32_t GetFreeBufferSpace();
  virtual uint32_t GetFreeBufferSpace2();
  // Up to `count` frames, every channel interleaved (dest may be null).
  virtual int ReadRaw(float* dest, int count, int blocking);
  // Up to `count` samples of one channel; *format receives WAVEIO_FORMAT_FLOAT.
  virtual int ReadChannel(float* dest, int channel, int count, int* format, int blocking);
  // Advances the read position by `count` frames.
  virtual int ReleaseSamples(int count);
  virtual int StopTelephoneInput();
  // No outputs are played: never busy.
  virtual uint16_t IsOutputBusy(int output);
  // Waits up to `milliseconds` (-1: no limit) for samples; WAVEIO_WAIT_...
  virtual uint16_t WaitForData(int milliseconds);

  // The format of the open input (the file's own, or the device preset).
  virtual int SampleRate() const;
  virtual int BitsPerSample() const;
  virtual int Channels() const;
  // Samples of the open file delivered as 0: not finite, or more than 60 dB
  // over full scale.
  virtual int64_t NonFiniteSamples() const;
  // A file input: how far it has decoded against its header (read ahead
  // included; not ended when a read-ahead ran out of memory), and what
  // changed in the file since the open ("" nothing).
  virtual DecodeProgress FileProgress() const;
  virtual std::string FileChange() const;
  // Decodes the rest of the file, so that FileProgress tells whether it
  // decodes to its end; the reads after it deliver nothing.
  virtual void DecodeRestOfFile();
  // What the last failed operation said; for a device input that ended
  // early (its sound server went away), why.
  const std::string& LastError() const { return m_lastError; }

 private:
  int64_t BytesPerFrame() const;
  // Makes sure at least `frames` frames of the file are held from the read position.
  void FillFromFile(int64_t frames);
  int64_t ReadFile(float* dest, int channel, int64_t frames);
  int64_t FileFramesHeld() const;
  int ReadDevice(WaveBuffer& capture, float* dest, int channel, int count, int blocking);
  // Takes the device's failure, if it has one, as the last error.
  void NoteDeviceFailure();

  int m_bufferBytes = 0;
  std::string m_lastError;
  // File input: frames read ahead from the read position on.
  std::unique_ptr<SoundFileReader> m_file;
  // Interleaved values read ahead: those from m_fileHead up to m_fileTail
  // are held, from the read position on. Releasing moves the head; the
  // held values move to the front only when room is needed behind them.
  // A 16-bit PCM file's are held as stored and converted as they are
  // delivered (one pass over half the bytes), any other file's as floats.
  std::vector<float> m_fileFrames;
  std::vector<int16_t> m_fileShorts;
  bool m_fileHoldsShorts = false;
  int64_t m_fileHead = 0;
  int64_t m_fileTail = 0;
  bool m_fileEnded = false;
  bool m_fileShortOfMemory = false;  // a read-ahead could not get its room
  // Device input.
  // Atomic so that Close on another thread can release a blocked reader.
  std::atomic<std::shared_ptr<WaveBuffer>> m_capture;
  std::unique_ptr<DeviceCapture> m_device;
};

// Makes the wave objects. Tests install a maker of their own objects.
class CWaveIOFactory {
 public:
  // A new object, or null when none can be made; `kind` is always 0.
  CWaveIO* GetNewCWaveIO(int kind);
};

using WaveIOMaker = std::function<CWaveIO*()>;
// Installs a maker (empty: the layer's own objects); returns the previous one.
WaveIOMaker SetWaveIOMaker(WaveIOMaker maker);
