#include "platform/steady_path.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <filesystem>

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows in one path

bool Trusted(uid_t owner) { return owner == geteuid() || owner == 0; }

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

// SteadyWay, and with `toAnEntry` SteadyPath. Each step's folder is a path
// without links, so it names one folder for as long as the steps before it
// are steady.
bool SteadyWalk(const std::string& folder, bool toAnEntry) {
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
    std::string next = at;
    if (next.back() != '/') next += '/';
    next += name;
    struct stat here {}, entry {};
    if (lstat(at.c_str(), &here) != 0) return false;
    if (lstat(next.c_str(), &entry) != 0) {
      // The last name of a path may still be absent, in a folder where only
      // the user and root can put it.
      return toAnEntry && errno == ENOENT && names.empty() && SteadyEntry(here, here);
    }
    if (!SteadyEntry(here, entry)) return false;
    if (S_ISLNK(entry.st_mode)) {
      char target[PATH_MAX];
      const ssize_t length = readlink(next.c_str(), target, sizeof target);
      if (++links > kMaxLinks || length <= 0 || size_t(length) >= sizeof target) return false;
      if (target[0] == '/') at.assign(1, '/');
      PrependNames(std::string(target, size_t(length)), &names);
      continue;
    }
    if (!S_ISDIR(entry.st_mode)) return toAnEntry && names.empty();
    at = next;
  }
  return true;
}

}  // namespace

bool SteadyEntry(const struct stat& folder, const struct stat& entry) {
  if (!Trusted(folder.st_uid)) return false;
  if ((folder.st_mode & 022) == 0) return true;
  return (folder.st_mode & S_ISVTX) != 0 && Trusted(entry.st_uid);
}

bool SteadyWay(const std::string& folder) { return SteadyWalk(folder, false); }

bool SteadyPath(const std::string& path) { return SteadyWalk(path, true); }
