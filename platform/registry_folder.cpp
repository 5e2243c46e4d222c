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

namespace registry_store {
namespace {

constexpr const char* kHeldVfsName = "vantrel-held-folder";
constexpr int kMaxLinks = 40;  // as the kernel allows in one path

bool Trusted(uid_t owner) { return owner == geteuid() || owner == 0; }

// Whether nobody but the user and root can replace `name` in the folder
// `folder`: the folder is theirs and closed to other writers, or it is
// sticky (as /tmp is) and the entry is theirs.
bool Steady(const struct stat& folder, const struct stat& entry) {
  if (!Trusted(folder.st_uid)) return false;
  if ((folder.st_mode & 022) == 0) return true;
  return (folder.st_mode & S_ISVTX) != 0 && Trusted(entry.st_uid);
}

// Puts the names of `path` in front of `names`, in their order.
void PrependNames(const std::string& path, std::deque<std::string>* names) {
  std::deque<std::string> parts;
  for (size_t at = 0; at <= path.size();) {
    const size_t end = std::min(path.find('/', at), path.size());
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  names->insert(names->begin(), parts.begin(), parts.end());
}

// Whether every folder on the way to `folder` (links followed, their
// folders too) lets nobody but the user and root change what the way
// leads to. Each step's folder is a path without links, so it names one
// folder for as long as the steps before it are steady.
bool SteadyWay(const std::string& folder) {
  std::error_code failed;
  const std::string whole = std::filesystem::absolute(folder, failed).string();
  if (failed) return false;
  std::deque<std::string> names;
  PrependNames(whole, &names);
  std::string at = "/";
  int links = 0;
  while (!names.empty()) {
    const std::string name = names.front();
    names.pop_front();
    if (name == ".") continue;
    if (name == "..") {
      at = std::filesystem::path(at).parent_path().string();
      continue;
    }
    const std::string next = at == "/" ? "/" + name : at + "/" + name;
    struct stat here {}, entry {};
    if (lstat(at.c_str(), &here) != 0 || lstat(next.c_str(), &entry) != 0 || !Steady(here, entry)) return false;
    if (S_ISLNK(entry.st_mode)) {
      char target[PATH_MAX];
      const ssize_t length = readlink(next.c_str(), target, sizeof target);
      if (++links > kMaxLinks || length <= 0 || size_t(length) >= sizeof target) return false;
      if (target[0] == '/') at = "/";
      PrependNames(std::string(target, size_t(length)), &names);
      continue;
    }
    if (!S_ISDIR(entry.st_mode)) return false;
    at = next;
  }
  return true;
}

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
