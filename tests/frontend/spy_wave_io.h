// Spy wave objects for the input multiplexer: every call is logged as
// "<input>:<operation>(<arguments>)" in one shared log, and each object
// answers from a script: how many frames its input holds, how many
// non-blocking reads come back empty first, what a wait answers and which
// free-space figures it reports. Frame n of channel c reads 1000 c + n.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wavio/WaveIO.h"

struct SpyScript {
  int sampleRate = 48000;  // the file's, which must match its record
  int channels = 2;
  int64_t frames = INT_MAX;  // frames the input holds in all
  int emptyPolls = 0;        // non-blocking reads that deliver nothing first
  uint16_t waitResult = WAVEIO_WAIT_DATA;
  uint32_t freeSpace = 0;
  uint32_t freeSpace2 = 0;
  int openResult = 1;
  int64_t nonFinite = 0;  // samples the object says it delivered as 0
};

struct SpyLog {
  std::vector<std::string> calls;
  SpyScript script[2];
  int created = 0;

  int Count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
  }
};

class SpyWaveIO : public CWaveIO {
 public:
  SpyWaveIO(SpyLog& log, int input) : m_log(log), m_input(input), m_script(log.script[input]) {}
  ~SpyWaveIO() override { Log("delete"); }

  int PresetWaveStruct(long rate, int bits, int channels, unsigned short) override {
    return Log("PresetWaveStruct(" + std::to_string(rate) + "," + std::to_string(bits) + "," +
               std::to_string(channels) + ")");
  }
  int StartInput(int, int deviceId, int, int) override {
    Log("StartInput(" + std::to_string(deviceId) + ")");
    return m_script.openResult;
  }
  int OpenInputFile(int, const std::string& name, int option) override {
    Log("OpenInputFile(" + name + "," + std::to_string(option) + ")");
    return m_script.openResult;
  }
  int SetupBuffer(int bytes) override { return Log("SetupBuffer(" + std::to_string(bytes) + ")"); }
  int Close() override { return Log("Close"); }
  uint32_t GetFreeBufferSpace() override { return m_script.freeSpace; }
  uint32_t GetFreeBufferSpace2() override { return m_script.freeSpace2; }
  int ReadRaw(float* dest, int count, int blocking) override {
    Log(std::string(blocking ? "ReadRaw" : "PollRaw") + "(" + std::to_string(count) + ")");
    return Deliver(dest, -1, count, blocking);
  }
  int ReadChannel(float* dest, int channel, int count, int* format, int blocking) override {
    *format = WAVEIO_FORMAT_FLOAT;
    Log(std::string(blocking ? "Read" : "Poll") + "(" + std::to_string(channel) + "," + std::to_string(count) + ")");
    return Deliver(dest, channel, count, blocking);
  }
  int ReleaseSamples(int count) override {
    m_position += count;
    return Log("ReleaseSamples(" + std::to_string(count) + ")");
  }
  uint16_t WaitForData(int milliseconds) override {
    Log("WaitForData(" + std::to_string(milliseconds) + ")");
    return m_script.waitResult;
  }
  int SampleRate() const override { return m_script.sampleRate; }
  int Channels() const override { return m_script.channels; }
  int64_t NonFiniteSamples() const override { return m_script.nonFinite; }

 private:
  int Log(const std::string& call) {
    m_log.calls.push_back(std::to_string(m_input) + ":" + call);
    return 1;
  }
  int Deliver(float* dest, int channel, int count, int blocking) {
    if (!blocking && m_script.emptyPolls > 0) {
      --m_script.emptyPolls;
      return 0;
    }
    const int64_t n = std::max<int64_t>(std::min<int64_t>(count, m_script.frames - m_position), 0);
    for (int64_t i = 0; dest != nullptr && i < n; ++i) {
      if (channel >= 0) {
        dest[i] = float(1000 * channel + m_position + i);
      } else {
        for (int c = 0; c < m_script.channels; ++c) dest[i * m_script.channels + c] = float(1000 * c + m_position + i);
      }
    }
    return int(n);
  }

  SpyLog& m_log;
  int m_input;
  SpyScript& m_script;
  int64_t m_position = 0;
};

// Installs spies for its lifetime: the n-th object made serves input n mod 2.
class ScopedSpyWaves {
 public:
  explicit ScopedSpyWaves(SpyLog& log)
      : m_previous(SetWaveIOMaker([&log]() -> CWaveIO* { return new SpyWaveIO(log, log.created++ % 2); })) {}
  ~ScopedSpyWaves() { SetWaveIOMaker(m_previous); }

 private:
  WaveIOMaker m_previous;
};
