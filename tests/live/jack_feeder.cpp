#include "live/jack_feeder.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/position_noise.h"

namespace {

constexpr float kUnitsPerFullScale = 32768.0f;
constexpr auto kConnectPoll = std::chrono::milliseconds(5);
// PortAudio's input ports: "in_0", "in_1" of its client "PortAudio" (or that
// name with a suffix) for the first stream, "in_2", "in_3" for a second ...
constexpr const char* kPortAudioInputs = "^PortAudio[^:]*:in_[0-9]+$";

}  // namespace

JackFeeder::JackFeeder(int lag) : m_lag(lag) {
  jack_status_t status{};
  m_client = jack_client_open("vantrel-feeder", JackNoStartServer, &status);
  if (m_client == nullptr) return;
  m_out[0] = jack_port_register(m_client, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  m_out[1] = jack_port_register(m_client, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(m_client, Process, this);
  jack_on_shutdown(m_client, ServerGone, this);
  if (m_out[0] == nullptr || m_out[1] == nullptr || jack_activate(m_client) != 0) {
    jack_client_close(m_client);
    m_client = nullptr;
    return;
  }
  m_connector = std::thread([this] {
    while (!m_stop && !m_serverGone) {
      ConnectNewPorts();
      std::this_thread::sleep_for(kConnectPoll);
    }
  });
}

JackFeeder::~JackFeeder() {
  m_stop = true;
  if (m_connector.joinable()) m_connector.join();
  // A client whose server went away is left as it is: nothing answers.
  if (m_client != nullptr && !m_serverGone) jack_client_close(m_client);
}

int JackFeeder::Process(jack_nframes_t frames, void* self) {
  auto* feeder = static_cast<JackFeeder*>(self);
  auto* first = static_cast<float*>(jack_port_get_buffer(feeder->m_out[0], frames));
  auto* second = static_cast<float*>(jack_port_get_buffer(feeder->m_out[1], frames));
  const int lag = feeder->m_lag;
  for (jack_nframes_t i = 0; i < frames; ++i) {
    const int64_t n = feeder->m_position + i;
    first[i] = NoiseAt(n) / kUnitsPerFullScale;
    second[i] = NoiseAt(n - lag) / kUnitsPerFullScale;
  }
  feeder->m_position += frames;
  return 0;
}

void JackFeeder::ServerGone(void* self) { static_cast<JackFeeder*>(self)->m_serverGone = true; }

void JackFeeder::ConnectNewPorts() {
  const char** ports = jack_get_ports(m_client, kPortAudioInputs, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
  if (ports == nullptr) return;
  for (const char** port = ports; *port != nullptr; ++port) {
    const int channel = std::atoi(std::strrchr(*port, '_') + 1);
    jack_port_t* out = m_out[channel % 2];
    if (jack_port_connected_to(out, *port)) continue;
    if (jack_connect(m_client, jack_port_name(out), *port) == 0) ++m_connections;
  }
  jack_free(ports);
}
