// Where the frame table goes: the folder that holds it, kept open, and the
// table's name in it. The path is followed one name at a time, so each link
// on the way (of the table and of the folders above it) is looked at once,
// as it is read, and nothing another user changes later moves the table
// elsewhere: the temporary file is made and renamed in the folder held here.
#pragma once

#include <sys/stat.h>

#include <deque>
#include <string>

class CsvTableDestination {
 public:
  CsvTableDestination() = default;
  ~CsvTableDestination();
  CsvTableDestination(const CsvTableDestination&) = delete;
  CsvTableDestination& operator=(const CsvTableDestination&) = delete;

  // Follows `path`. Refused (false, with a one-line `error` naming `path`):
  // a link neither the user nor root made, a table reached through a link
  // whose folder is not the user's own, a folder in the table's place, and
  // a table or folder the user cannot write.
  bool Resolve(const std::string& path, std::string* error);

  int Folder() const { return m_folder; }  // a descriptor, valid while this lives
  const std::string& Name() const { return m_name; }
  bool Exists() const { return m_exists; }
  // The table's entry as found (not a link); meaningful when it exists.
  const struct stat& Entry() const { return m_entry; }

 private:
  bool Follow(const std::string& path, std::string* error);
  // A link met on the way (`entry`, opened without following it, is
  // closed): its names go in front of `names`, from "/" if it is absolute.
  // Foreign when another user made it; Broken (errno set) when it cannot be
  // read or the links go on too long.
  enum class LinkStep { Followed, Foreign, Broken };
  LinkStep FollowLink(int entry, const struct stat& info, bool last, std::deque<std::string>* names, int* links);

  int m_folder = -1;
  std::string m_shownFolder;  // for messages
  std::string m_name;
  bool m_exists = false;
  bool m_throughLink = false;  // the table's own name was a link
  struct stat m_entry {};
};
