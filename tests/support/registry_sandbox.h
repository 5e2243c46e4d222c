// A private, empty registry folder for one test: points VANTREL_REGISTRY at
// a fresh folder below the one the test run gives (or the temporary folder)
// and removes it afterwards.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

class RegistrySandbox {
 public:
  RegistrySandbox() {
    const char* base = getenv("VANTREL_REGISTRY");
    m_previous = base != nullptr ? base : "";
    std::string root = base != nullptr && *base != '\0'
                           ? base
                           : std::filesystem::temp_directory_path().string() + "/vantrel-test-registry";
    static std::atomic<int> counter{0};
    m_folder = root + "/sandbox-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::filesystem::remove_all(m_folder);
    setenv("VANTREL_REGISTRY", m_folder.c_str(), 1);
  }
  ~RegistrySandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    if (m_previous.empty())
      unsetenv("VANTREL_REGISTRY");
    else
      setenv("VANTREL_REGISTRY", m_previous.c_str(), 1);
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  const std::string& Folder() const { return m_folder; }
  std::string MachineHive() const { return m_folder + "/HKEY_LOCAL_MACHINE.db"; }
  std::string UserHive() const { return m_folder + "/HKEY_CURRENT_USER.db"; }

 private:
  std::string m_folder;
  std::string m_previous;
};
