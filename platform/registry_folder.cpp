#include "platform/registry_folder.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <filesystem>

#include "platform/steady_path.h"

namespace registry_store {
namespace {

constexpr const char* kHeldVfsName = "vantrel-held-folder";

// The name is whole already: "/proc/self/fd/N/..." must reach the kernel
// as it is, which goes through the held descriptor, not through the
// folder's name as the default VFS would make it by reading the link.
int WholeName(sqlite3_vfs*, const char* name, int size, char* out) {
  const size_t length = std::strlen(name);
  if (length + 1 > size_t(size)) return SQLITE_CANTOPEN;
  std::memcpy(out, name, length + 1);
  return SQLITE_OK;
}

// The default VFS, but for names whole as given; registered once.
bool RegisterHeldVfs() {
  static const bool registered = [] {
    static sqlite3_vfs held;
    sqlite3_vfs* standard = sqlite3_vfs_find(nullptr);
    if (standard == nullptr) return false;
    held = *standard;
    held.zName = kHeldVfsName;
    held.xFullPathname = WholeName;
    held.pNext = nullptr;
    return sqlite3_vfs_register(&held, 0) == SQLITE_OK;
  }();
  return registered;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

HiveFolder::~HiveFolder() {
  if (m_folder >= 0) close(m_folder);
}

std::string HiveFolder::Open(const std::string& file) {
  const std::filesystem::path path(file);
  const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
  m_hive = path.filename().string();
  m_folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (m_folder < 0) return "cannot open the registry folder: " + std::string(strerror(errno));
  struct stat info {};
  if (fstat(m_folder, &info) != 0 || info.st_uid != geteuid())
    return "the registry folder " + folder + " is not the user's own";
  if ((info.st_mode & 022) != 0) return "the registry folder " + folder + " is open to other writers";
  m_held = !SteadyWay(folder);
  if (!m_held) {
    m_sqliteName = file;
    return {};
  }
  const std::string through = "/proc/self/fd/" + std::to_string(m_folder);
  struct stat reached {};
  if (stat(through.c_str(), &reached) != 0 || !SameFile(reached, info) || !RegisterHeldVfs())
    return "the registry folder " + folder + " lies in a folder other users can change";
  m_sqliteName = through + "/" + m_hive;
  return {};
}

bool HiveFolder::HiveExists() const {
  struct stat info {};
  return fstatat(m_folder, m_hive.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool HiveFolder::HiveWritable() const {
  struct stat info {};
  if (fstatat(m_folder, m_hive.c_str(), &info, 0) != 0) return errno == ENOENT;
  return (info.st_mode & 0222) != 0 && faccessat(m_folder, m_hive.c_str(), W_OK, 0) == 0;
}

const char* HiveFolder::SqliteVfs() const { return m_held ? kHeldVfsName : nullptr; }

}  // namespace registry_store
