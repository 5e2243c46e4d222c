// Internal: the folder of one hive, judged once per operation and then used
// as judged. When every folder above it can be changed only by the user or
// root, nobody else can put another folder in its place and the hive is
// opened by its name. Otherwise the folder is held open while it is judged
// and used, and SQLite reaches the hive through that descriptor, so a folder
// another user swaps in afterwards is not the one read or written.
#pragma once

#include <string>

namespace registry_store {

class HiveFolder {
 public:
  HiveFolder() = default;
  ~HiveFolder();
  HiveFolder(const HiveFolder&) = delete;
  HiveFolder& operator=(const HiveFolder&) = delete;

  // Opens and judges the folder of the hive `file`: it must be the user's
  // own and closed to other writers. Empty when it may be used, else the
  // reason.
  std::string Open(const std::string& file);

  // The hive, not followed when it is a link: there, and writable by its
  // permission bits (honoured even for root).
  bool HiveExists() const;
  bool HiveWritable() const;

  // What to give sqlite3_open_v2 for the hive: its name and VFS (null: the
  // default one). Valid while this lives.
  const std::string& SqliteName() const { return m_sqliteName; }
  const char* SqliteVfs() const;

 private:
  int m_folder = -1;
  std::string m_hive;  // the hive's name in the folder
  std::string m_sqliteName;
  bool m_held = false;  // reached through the descriptor
};

}  // namespace registry_store
