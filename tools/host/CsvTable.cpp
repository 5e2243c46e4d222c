#include "CsvTable.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "EndingSignals.h"
#include "FileMeasurement.h"

namespace {

namespace fs = std::filesystem;

// The temporary file of the running table, which a signal that ends the
// run removes.
char g_temporary[NAME_MAX + 1];

void GuardTemporary(int folder, const std::string& name) {
  std::snprintf(g_temporary, sizeof g_temporary, "%s", name.c_str());
  RemoveOnSignal(folder, g_temporary);
}

void UnguardTemporary() {
  RemoveOnSignal(-1, nullptr);
  g_temporary[0] = '\0';
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code failed;
  const bool same = fs::equivalent(a, b, failed);
  return !failed && same;
}

// Makes a new file "." + `name` + ".XXXXXX" in `folder`, as mkstemp does
// in a named one; its descriptor (or -1), its name in `temporary`.
int MakeTemporary(int folder, const std::string& name, std::string* temporary) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[6];
    if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return -1;
    std::string candidate = "." + name + ".";
    for (unsigned char byte : random) candidate += kLetters[byte % (sizeof kLetters - 1)];
    const int fd = openat(folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      *temporary = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

CsvTable::~CsvTable() { Discard(); }

bool CsvTable::IsStandardOutput(const std::string& path) {
  if (path == "-") return true;
  struct stat out {
  }, file{};
  return fstat(STDOUT_FILENO, &out) == 0 && stat(path.c_str(), &file) == 0 && out.st_dev == file.st_dev &&
         out.st_ino == file.st_ino;
}

bool CsvTable::Check(const std::string& path, const std::vector<std::string>& inputs, std::string* error) {
  if (IsStandardOutput(path)) return true;
  for (size_t k = 0; k < inputs.size(); ++k)
    if (SameFile(path, inputs[k])) {
      *error = "--csv " + path + " is the " + (k == 0 ? "reference" : "test") + " file; the table would overwrite it";
      return false;
    }
  CsvTableDestination destination;
  return destination.Resolve(path, error);
}

bool CsvTable::Open(const std::string& path, std::string* error) {
  m_path = path;
  if (IsStandardOutput(path)) {
    m_out = stdout;
  } else {
    if (!m_destination.Resolve(path, error)) return false;
    // A device or pipe is written directly; a file is replaced from its folder.
    if (m_destination.Exists() && !S_ISREG(m_destination.Entry().st_mode)) {
      const int fd = openat(m_destination.Folder(), m_destination.Name().c_str(),
                            O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
      if (fd >= 0) {
        m_out = fdopen(fd, "w");
        if (m_out == nullptr) close(fd);
      }
    } else {
      OpenTemporary();
    }
    m_ownsStream = m_out != nullptr;
  }
  if (m_out == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  std::fprintf(m_out, "frame,delay_samples,delay_ms,status,status_name,quality,delay_valid,first_sample,time_s,"
                     "channel_swap,real_samples\n");
  return true;
}

bool CsvTable::OpenTemporary() {
  int fd = -1;
  {
    // A signal that ends the run before the guard is set would leave the
    // file behind.
    EndingSignalsHeld held;
    fd = MakeTemporary(m_destination.Folder(), m_destination.Name(), &m_temporary);
    if (fd < 0) return false;
    GuardTemporary(m_destination.Folder(), m_temporary);
  }
  // The table gets the mode the file had, or a new file's usual one.
  mode_t mode = 0666;
  if (m_destination.Exists()) {
    mode = m_destination.Entry().st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode &= ~mask;
  }
  fchmod(fd, mode);
  m_out = fdopen(fd, "w");
  if (m_out != nullptr) return true;
  const int failure = errno;
  close(fd);
  errno = failure;
  return false;
}

bool CsvTable::Row(int sampleRate, const FrameLine& line, std::string* error) {
  if (m_out == nullptr) return true;
  static const char* const kSwapNames[] = {"not_tried", "tried_not_used", "used"};
  std::fprintf(m_out, "%d,%d,%.3f,%d,%s,%d,%d,%lld,%.6f,%s,%d\n", line.frame, line.delaySamples,
               1000.0 * line.delaySamples / sampleRate, line.status & 0xFFFF, StatusName(line.status), line.quality,
               line.delayValid, static_cast<long long>(line.firstSample), double(line.firstSample) / sampleRate,
               kSwapNames[int(ChannelSwapOf(line.status))], line.realSamples);
  if (std::ferror(m_out) == 0) return true;
  const int failure = errno;
  *error = "cannot write " + std::string(m_ownsStream ? m_path : "the table to the standard output") + ": " +
           std::strerror(failure);
  return false;
}

bool CsvTable::Commit(std::string* error) {
  if (m_out == nullptr) return false;
  bool ok = std::fflush(m_out) == 0 && std::ferror(m_out) == 0;
  if (ok && !m_temporary.empty()) ok = fsync(fileno(m_out)) == 0;
  if (m_ownsStream) {
    ok = std::fclose(m_out) == 0 && ok;
    m_out = nullptr;
  }
  if (!ok) {
    *error = "cannot write " + m_path + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  if (!m_temporary.empty()) {
    // In the folder judged when the table was opened, whatever its path
    // leads to now; the name there is replaced, never followed.
    EndingSignalsHeld held;
    const int folder = m_destination.Folder();
    if (renameat(folder, m_temporary.c_str(), folder, m_destination.Name().c_str()) != 0) {
      *error = "cannot write " + m_path + ": " + std::strerror(errno);
      Discard();
      return false;
    }
    m_temporary.clear();
    UnguardTemporary();
  }
  m_out = nullptr;
  return true;
}

void CsvTable::Discard() {
  if (m_out != nullptr && m_ownsStream) std::fclose(m_out);
  m_out = nullptr;
  if (!m_temporary.empty()) {
    EndingSignalsHeld held;
    unlinkat(m_destination.Folder(), m_temporary.c_str(), 0);
    m_temporary.clear();
    UnguardTemporary();
  }
}
