// The frame table (--csv). Rows go to a temporary file beside the
// destination as the frames come and the file is renamed into place at the
// end, so an interrupted or failed run leaves an older table whole. "-" (or
// a path that is the standard output) writes the rows to standard output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

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
  // and not a link another user made or one into a folder that is not the
  // user's own. false with a one-line `error`.
  static bool Check(const std::string& path, const std::vector<std::string>& inputs, std::string* error);

  // Starts the table (header row); false with `error`.
  bool Open(const std::string& path, std::string* error);
  // false with `error` once a write has failed (a reader that went away, a
  // full disk): the run stops there.
  bool Row(int sampleRate, const FrameLine& line, std::string* error);
  // Puts the finished table in place; false with `error` (the older table stays).
  bool Commit(std::string* error);

 private:
  void Discard();

  FILE* m_out = nullptr;
  std::string m_path;         // as given
  std::string m_destination;  // the file the rename replaces
  std::string m_temporary;    // empty when writing directly
  bool m_ownsStream = false;
};
