// A folder under the system's temporary directory for the demonstration
// pair, removed with its files when the object goes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

class TempFolder {
 public:
  TempFolder() = default;
  ~TempFolder() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Create() {
    std::error_code failed;
    std::string pattern = (std::filesystem::temp_directory_path(failed) / "vantrel-demo-XXXXXX").string();
    if (failed || mkdtemp(pattern.data()) == nullptr) return false;
    m_path = pattern;
    return true;
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};
