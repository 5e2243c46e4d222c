#include "CsvTable.h"

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
char g_temporary[PATH_MAX];

void GuardTemporary(const std::string& path) {
  std::snprintf(g_temporary, sizeof g_temporary, "%s", path.c_str());
  RemoveOnSignal(g_temporary);
}

void UnguardTemporary() {
  RemoveOnSignal(nullptr);
  g_temporary[0] = '\0';
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code failed;
  const bool same = fs::equivalent(a, b, failed);
  return !failed && same;
}

std::string Folder(const fs::path& file) { return file.has_parent_path() ? file.parent_path().string() : "."; }

// A link at `path` planted by someone else, or leading into a folder that is
// not the user's own: the rename would replace an entry there. The reason,
// or empty when the path is no such link.
std::string ForeignLink(const std::string& path, const std::string& destination) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return {};
  if (link.st_uid != geteuid()) return "it is a link another user made";
  struct stat folder {};
  const std::string target = Folder(destination);
  if (stat(target.c_str(), &folder) != 0 || folder.st_uid != geteuid())
    return "it is a link into " + target + ", a folder that is not the user's own";
  return {};
}

// The file a rename must replace: the end of a symlink chain, else the path.
std::string Destination(const std::string& path) {
  std::error_code failed;
  if (fs::is_symlink(fs::symlink_status(path, failed))) {
    const fs::path resolved = fs::weakly_canonical(path, failed);
    if (!failed) return resolved.string();
  }
  return path;
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
  std::error_code ignored;
  const std::string destination = Destination(path);
  if (const std::string why = ForeignLink(path, destination); !why.empty()) {
    *error = "will not write " + path + ": " + why;
    return false;
  }
  const auto status = fs::status(destination, ignored);
  if (fs::is_directory(status)) {
    *error = "cannot write " + path + ": it is a folder";
    return false;
  }
  // A device or pipe is written directly; a file is replaced from its folder.
  const bool direct = fs::exists(status) && !fs::is_regular_file(status);
  const std::string target = direct ? destination : Folder(destination);
  // A read-only table is not replaced behind its owner's back.
  const bool readOnly = fs::exists(status) && access(destination.c_str(), W_OK) != 0;
  if (readOnly || access(target.c_str(), W_OK) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool CsvTable::Open(const std::string& path, std::string* error) {
  m_path = path;
  if (IsStandardOutput(path)) {
    m_out = stdout;
  } else {
    m_destination = Destination(path);
    std::error_code ignored;
    const auto status = fs::status(m_destination, ignored);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
      m_out = std::fopen(m_destination.c_str(), "w");
    } else {
      std::string pattern = Folder(m_destination) + "/." + fs::path(m_destination).filename().string() + ".XXXXXX";
      const int fd = mkstemp(pattern.data());
      if (fd >= 0) {
        m_temporary = pattern;
        GuardTemporary(m_temporary);
        // The table gets the mode the file had, or a new file's usual one.
        struct stat old {};
        mode_t mode = 0666;
        if (stat(m_destination.c_str(), &old) == 0) {
          mode = old.st_mode & 07777;
        } else {
          const mode_t mask = umask(0);
          umask(mask);
          mode &= ~mask;
        }
        fchmod(fd, mode);
        m_out = fdopen(fd, "w");
        if (m_out == nullptr) close(fd);
      }
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
  if (ok && !m_temporary.empty()) ok = std::rename(m_temporary.c_str(), m_destination.c_str()) == 0;
  if (!ok) {
    *error = "cannot write " + m_path + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  m_temporary.clear();
  UnguardTemporary();
  m_out = nullptr;
  return true;
}

void CsvTable::Discard() {
  if (m_out != nullptr && m_ownsStream) std::fclose(m_out);
  m_out = nullptr;
  if (!m_temporary.empty()) {
    unlink(m_temporary.c_str());
    m_temporary.clear();
    UnguardTemporary();
  }
}
