#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "wavio/HeldSoundFile.h"

namespace {

// Leases of every thread; few at a time, so a list serves.
std::mutex g_heldLock;
std::vector<std::weak_ptr<HeldSoundFile>>& HeldFiles() {
  static std::vector<std::weak_ptr<HeldSoundFile>> held;
  return held;
}

// The live held file of `path`; call with the lock taken.
std::shared_ptr<HeldSoundFile> FindHeld(const std::string& path) {
  auto& held = HeldFiles();
  held.erase(std::remove_if(held.begin(), held.end(), [](const auto& file) { return file.expired(); }), held.end());
  for (const auto& file : held)
    if (auto live = file.lock(); live != nullptr && live->leases > 0 && live->path == path) return live;
  return nullptr;
}

}  // namespace

HeldSoundFile::~HeldSoundFile() {
  if (fd >= 0) close(fd);
}

std::shared_ptr<HeldSoundFile> BorrowHeldSoundFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_heldLock);
  std::shared_ptr<HeldSoundFile> held = FindHeld(path);
  if (held == nullptr || held->busy) return nullptr;
  held->busy = true;
  return held;
}

void ReturnHeldSoundFile(const std::shared_ptr<HeldSoundFile>& held, const SoundFileFormat* format) {
  std::lock_guard<std::mutex> lock(g_heldLock);
  if (format != nullptr && !held->formatKnown) {
    held->format = *format;
    held->formatKnown = true;
  }
  held->busy = false;
}

SoundFileLease::~SoundFileLease() { Release(); }

bool SoundFileLease::Hold(const std::string& path) {
  Release();
  const std::lock_guard<std::mutex> lock(g_heldLock);
  // A path another lease holds is that lease's file, for this one too.
  if (m_held = FindHeld(path); m_held != nullptr) {
    ++m_held->leases;
    return true;
  }
  // Not blocking: a pipe's open would wait for a writer; it is no file to hold.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  auto held = std::make_shared<HeldSoundFile>();
  held->path = path;
  held->fd = fd;
  if (fstat(fd, &held->st) != 0 || !S_ISREG(held->st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) return false;
  held->claim = ReadDataChunkClaim(fd, held->st.st_size);
  held->leases = 1;
  HeldFiles().push_back(held);
  m_held = std::move(held);
  return true;
}

void SoundFileLease::Release() {
  if (m_held == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(g_heldLock);
    --m_held->leases;
  }
  m_held.reset();
}

int64_t SoundFileFrames(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(g_heldLock);
    if (const auto held = FindHeld(path); held != nullptr && held->formatKnown) return held->format.frames;
  }
  SoundFileReader reader;
  return reader.Open(path) ? reader.Format().frames : -1;
}
