#include "CsvTableDestination.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>

namespace {

// As the kernel allows before it gives up on a path (ELOOP).
constexpr int kMaxLinks = 40;

std::string CannotWrite(const std::string& path, int error) {
  return "cannot write " + path + ": " + std::strerror(error);
}

std::string WillNotWrite(const std::string& path, const std::string& why) { return "will not write " + path + ": " + why; }

// Puts the names of `path` in front of `names`, in their order.
void PrependNames(const std::string& path, std::deque<std::string>* names) {
  std::deque<std::string> parts;
  for (size_t at = 0; at <= path.size();) {
    const size_t end = std::min(path.find('/', at), path.size());
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  // "dir/" names the folder itself.
  if (!path.empty() && path.back() == '/') parts.push_back(".");
  names->insert(names->begin(), parts.begin(), parts.end());
}

std::string Joined(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A link another user may have planted: only the user's own and root's are
// followed.
bool TrustedOwner(uid_t owner) { return owner == geteuid() || owner == 0; }

// Replaces the descriptor `*fd` holds by `next`.
void Hold(int* fd, int next) {
  if (*fd >= 0) close(*fd);
  *fd = next;
}

}  // namespace

CsvTableDestination::~CsvTableDestination() { Hold(&m_folder, -1); }

bool CsvTableDestination::Resolve(const std::string& path, std::string* error) {
  if (!Follow(path, error)) return false;
  if (m_exists && S_ISDIR(m_entry.st_mode)) {
    *error = "cannot write " + path + ": it is a folder";
    return false;
  }
  if (m_throughLink) {
    struct stat folder {};
    if (fstat(m_folder, &folder) != 0 || folder.st_uid != geteuid()) {
      *error = WillNotWrite(path, "it is a link into " + m_shownFolder + ", a folder that is not the user's own");
      return false;
    }
  }
  // A read-only table is not replaced behind its owner's back; a device or
  // pipe is written directly, a file is replaced from its folder.
  const bool direct = m_exists && !S_ISREG(m_entry.st_mode);
  const bool readOnly = m_exists && faccessat(m_folder, m_name.c_str(), W_OK, 0) != 0;
  if (readOnly || (!direct && faccessat(m_folder, ".", W_OK, 0) != 0)) {
    *error = CannotWrite(path, errno);
    return false;
  }
  return true;
}

CsvTableDestination::LinkStep CsvTableDestination::FollowLink(int entry, const struct stat& info, bool last,
                                                              std::deque<std::string>* names, int* links) {
  char target[PATH_MAX];
  const ssize_t length = readlinkat(entry, "", target, sizeof target);
  close(entry);
  if (!TrustedOwner(info.st_uid)) return LinkStep::Foreign;
  if (++*links > kMaxLinks || length <= 0 || size_t(length) >= sizeof target) {
    errno = length <= 0 ? errno : ELOOP;
    return LinkStep::Broken;
  }
  const std::string followed(target, size_t(length));
  if (followed[0] == '/') {
    Hold(&m_folder, open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    m_shownFolder = "/";
  }
  if (last) m_throughLink = true;
  PrependNames(followed, names);
  return LinkStep::Followed;
}

bool CsvTableDestination::Follow(const std::string& path, std::string* error) {
  const bool absolute = !path.empty() && path[0] == '/';
  Hold(&m_folder, open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  m_shownFolder = absolute ? "/" : ".";
  m_throughLink = false;
  std::deque<std::string> names;
  PrependNames(path, &names);
  if (names.empty()) names.push_back(".");
  int links = 0;
  while (m_folder >= 0 && !names.empty()) {
    const std::string name = names.front();
    names.pop_front();
    const bool last = names.empty();
    // Each name is opened once, not followed, and then looked at through
    // what was opened, so the entry judged is the entry used.
    const int entry = openat(m_folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (entry < 0) {
      if (errno != ENOENT || !last) break;
      m_name = name;
      m_exists = false;
      return true;
    }
    struct stat info {};
    if (fstat(entry, &info) != 0) {
      const int failure = errno;
      close(entry);
      errno = failure;
      break;
    }
    if (S_ISLNK(info.st_mode)) {
      const LinkStep step = FollowLink(entry, info, last, &names, &links);
      if (step == LinkStep::Foreign) {
        *error = WillNotWrite(path, "it is a link another user made");
        return false;
      }
      if (step == LinkStep::Broken) break;
      continue;
    }
    if (last) {
      close(entry);
      m_name = name;
      m_exists = true;
      m_entry = info;
      return true;
    }
    if (!S_ISDIR(info.st_mode)) {
      close(entry);
      errno = ENOTDIR;
      break;
    }
    Hold(&m_folder, entry);
    m_shownFolder = Joined(m_shownFolder == "." ? "" : m_shownFolder, name);
  }
  *error = CannotWrite(path, errno);
  return false;
}
