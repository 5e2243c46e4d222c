#include "live/jack_server.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr auto kPollStep = std::chrono::milliseconds(20);
constexpr auto kRetryPause = std::chrono::milliseconds(200);

std::atomic<int> g_serverCount{0};

// A client that cannot connect yet is expected while the server starts.
void Quiet(const char*) {}

}  // namespace

JackServer::JackServer() {
  setenv("JACK_NO_START_SERVER", "1", 1);  // no client starts one of its own
  setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  // A server that cannot start (the machine's JACK servers are limited
  // in number) is tried again under a new name until the limit.
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (!m_running && std::chrono::steady_clock::now() < deadline) {
    if (m_pid == -1 && !Start()) return;
    m_running = WaitUntilReady(deadline);
    if (!m_running) std::this_thread::sleep_for(kRetryPause);
  }
}

bool JackServer::Start() {
  m_name = "vantrel-live-" + std::to_string(getpid()) + "-" + std::to_string(g_serverCount++);
  setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
  const std::string log = m_dir.File("jackd.log");
  const pid_t parent = getpid();
  m_pid = fork();
  if (m_pid == 0) {
    // SIGTERM, not SIGKILL: a server that ends on its own unregisters its
    // name, and the machine allows only a few registered at once.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
    }
    const std::string rate = std::to_string(kRate);
    const std::string period = std::to_string(kPeriod);
    // -r before the driver: no real-time scheduling; after it: the rate.
    execl(VANTREL_JACKD, "jackd", "-r", "-d", "dummy", "-r", rate.c_str(), "-p", period.c_str(), "-C", "2", "-P", "2",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return m_pid > 0;
}

JackServer::~JackServer() { Reap(SIGTERM); }

bool JackServer::WaitUntilReady(std::chrono::steady_clock::time_point deadline) {
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return false;
    }
    jack_status_t jackStatus{};
    if (jack_client_t* probe = jack_client_open("vantrel-probe", JackNoStartServer, &jackStatus)) {
      jack_client_close(probe);
      return true;
    }
    std::this_thread::sleep_for(kPollStep);
  }
  return false;
}

void JackServer::Kill(int signal) { Reap(signal); }

void JackServer::Reap(int firstSignal) {
  m_running = false;
  if (m_pid <= 0) return;
  kill(m_pid, firstSignal);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  int status = 0;
  while (waitpid(m_pid, &status, WNOHANG) != m_pid) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(kPollStep);
  }
  m_pid = -1;
  // A server that had to be killed leaves its shared memory behind; its
  // entries carry the server's name. (Its registered name stays taken.)
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored))
    if (entry.path().filename().string().find("_" + m_name + "_") != std::string::npos)
      std::filesystem::remove(entry.path(), ignored);
}

std::string JackServer::Log() const {
  std::ifstream in(m_dir.File("jackd.log"));
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
