// A JACK client that plays white noise on two outputs, the second a given
// number of samples behind the first, into PortAudio's input ports as they
// appear: output k feeds input channel k of every PortAudio stream. Both
// outputs are written in the same period, so one stream sees the lag
// exactly, whatever the server's timing.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <thread>

class JackFeeder {
 public:
  // Connects to the server JACK_DEFAULT_SERVER names; Running() tells.
  explicit JackFeeder(int lag);
  ~JackFeeder();
  JackFeeder(const JackFeeder&) = delete;
  JackFeeder& operator=(const JackFeeder&) = delete;

  bool Running() const { return m_client != nullptr && !m_serverGone; }
  // The lag from the next period on.
  void SetLag(int lag) { m_lag = lag; }
  // PortAudio input ports fed so far.
  int Connections() const { return m_connections; }

 private:
  static int Process(jack_nframes_t frames, void* self);
  static void ServerGone(void* self);
  void ConnectNewPorts();

  jack_client_t* m_client = nullptr;
  jack_port_t* m_out[2] = {};
  std::atomic<int> m_lag;
  int64_t m_position = 0;  // touched only by the process callback
  std::atomic<bool> m_serverGone{false};
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_connections{0};
  std::thread m_connector;
};
