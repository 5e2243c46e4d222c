#pragma once
// A path's names one by one, for code that walks a path a name at a time
// from a held folder so that the entry it judges is the entry it uses.

#include <algorithm>
#include <deque>
#include <string>

namespace path_names {

// Puts the names of `path` in front of `names`, in their order; empty names
// (a doubled or leading '/') are skipped. Returns how many were put.
inline size_t Prepend(const std::string& path, std::deque<std::string>* names) {
  std::deque<std::string> parts;
  for (size_t at = 0; at <= path.size();) {
    const size_t end = std::min(path.find('/', at), path.size());
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  names->insert(names->begin(), parts.begin(), parts.end());
  return parts.size();
}

}  // namespace path_names
