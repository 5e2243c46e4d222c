// A JACK server of the test's own: the dummy driver (no sound hardware) at
// 16 kHz with two capture ports, under a name no other run uses, so that
// PortAudio in this process sees one device, "system", with two inputs.
// It runs without real-time scheduling (as root in a container that may
// not grant it) and without claiming a sound card. It is stopped when the
// object goes, and the kernel stops it should the test process die first,
// both with SIGTERM: a server killed outright keeps its name registered,
// and a machine registers only eight.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "support/temp_dir.h"

class JackServer {
 public:
  static constexpr int kRate = 16000;
  static constexpr int kPeriod = 512;

  // Starts the server and waits (a few seconds at most) until a client can
  // connect; Running() tells whether it did. Points this process's JACK
  // clients (PortAudio's too) at it through JACK_DEFAULT_SERVER.
  JackServer();
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  bool Running() const { return m_running; }
  // jackd's own output, for failure messages.
  std::string Log() const;
  // Ends the server at once with `signal` (a server that goes away).
  void Kill(int signal);

 private:
  bool Start();
  bool WaitUntilReady(std::chrono::steady_clock::time_point deadline);
  void Reap(int firstSignal);

  TempDir m_dir;
  std::string m_name;
  pid_t m_pid = -1;
  bool m_running = false;
};
