// The frame table (--csv). Rows go to a temporary file beside the
// destination as the frames come and the file is renamed into place at the
// end, so an interrupted or failed run leaves an older table whole. "-" (or
// a path that is the standard output) writes the rows to standard output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "CsvTableDestination.h"

struct FrameLine;

class CsvTable {
 public:
  CsvTable() = default;
  ~CsvTable();
  CsvTable(const CsvTable&) = delete;
  CsvTable& operator=(const CsvTable&) = delete;

  // Whether `path` means the standard output.
  static bool IsStandardOutput(const std::string& path);
  // Checked before measuring: the path is writable, not a folder, not the
  // same file as any of `inputs` (directly, by a hard link or a symlink),
  // and reached through no link another user made, nor the table through a
  // link into a folder that is not the user's own. false with a one-line
  // `error`.
  static bool Check(const std::string& path, const std::vector<std::string>& inputs, std::string* error);

  // Starts the table (header row); false with `error`. The path is followed
  // and judged again here, once: what the run writes and renames is what
  // was judged then, whatever changes at the path meanwhile.
  bool Open(const std::string& path, std::string* error);
  // false with `error` once a write has failed (a reader that went away, a
  // full disk): the run stops there.
  bool Row(int sampleRate, const FrameLine& line, std::string* error);
  // Puts the finished table in place; false with `error` (the older table stays).
  bool Commit(std::string* error);

 private:
  bool OpenTemporary();
  void Discard();

  FILE* m_out = nullptr;
  std::string m_path;                 // as given
  CsvTableDestination m_destination;  // the folder and the name the rename replaces
  std::string m_temporary;            // its name in that folder; empty when writing directly
  bool m_ownsStream = false;
};
