#include "LibraryReport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibReport.h"
#include "Vantrel/DebugTrace.h"
#include "Vantrel/MeasurementApp.h"
#include "Vantrel/Registry.h"
#include "platform/registry.h"
#include "primitives/frame/sp_version.h"

namespace {

const char* FileState(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return "not created yet";
  return (info.st_mode & 0222) != 0 ? "writable" : "read-only";
}

void PrintMathReport() {
  MathlibHandle* handle = MathlibInit();
  // The running set's library name is "vantrel_sp_" and the set's name.
  const std::string library = spGetVersionRecord()->libraryName;
  const std::string prefix = "vantrel_sp_";
  std::printf("Variant set: %s\n",
              (library.compare(0, prefix.size(), prefix) == 0 ? library.substr(prefix.size()) : library).c_str());
  char report[1024];
  std::printf("Math layer processor report (measuring the clock)...\n");
  std::fflush(stdout);
  MathlibProcessorReport(report, sizeof report);
  std::printf("%s\n", report);
  char version[128];
  MathlibVersion(version, sizeof version, nullptr, 0);
  std::printf("%s\n", version);
  MathlibFree(&handle);
}

}  // namespace

void PrintFirstRunNote(FILE* out) {
  if (GetMeasurementApp().TraceLevelWasStored()) return;
  // The load has just traced the failed read of the absent value.
  const bool storedNow = RegistryValueExists(TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE);
  std::fprintf(out,
               "First run: no trace mask was stored yet, so the ReadFromRegistry() ERROR line is expected; "
               "the mask is 0 (no trace lines)%s.\n",
               storedNow ? " and has been stored" : ", but it could not be stored");
}

void PrintLibraryReport() {
  const DWORD mask = GetTraceMask();
  std::printf("Vantrel measurement library loaded.\n");
  std::printf("Trace mask: 0x%X (registry value %s\\%s)\n", static_cast<unsigned>(mask), TRACE_LEVEL_KEY,
              TRACE_LEVEL_VALUE);
  std::printf("  ordinary lines %s, error lines %s, registry lines %s\n", mask & TRACE_ORDINARY ? "on" : "off",
              mask & TRACE_ERRORS ? "on" : "off", mask & TRACE_REGISTRY ? "on" : "off");
  std::printf("Registry location: %s\n", RegistryStoreFolder().c_str());
  const std::string machine = RegistryHiveFile(HKEY_LOCAL_MACHINE);
  const std::string user = RegistryHiveFile(HKEY_CURRENT_USER);
  std::printf("  HKEY_LOCAL_MACHINE: %s (%s)\n", machine.c_str(), FileState(machine));
  std::printf("  HKEY_CURRENT_USER:  %s (%s)\n", user.c_str(), FileState(user));
  const char* traceFile = std::getenv("VANTREL_TRACE");
  std::printf("Trace output: %s\n", traceFile != nullptr && *traceFile != '\0' ? traceFile : "stderr");
  PrintMathReport();
}

int SetTraceMask(const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long mask = std::strtoul(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || mask > 0xFFFFFFFFul) {
    std::fprintf(stderr, "vantrel-host: not a 32-bit mask: %s\n", text);
    return 2;
  }
  const uint32_t value = static_cast<uint32_t>(mask);
  const LONG result = WriteToRegistry(TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE, value);
  if (result != 0) {
    std::fprintf(stderr, "vantrel-host: cannot write %s\\%s (code %d)\n", TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE,
                 static_cast<int>(result));
    return 1;
  }
  std::printf("Trace mask 0x%X stored; it applies from the next start.\n", static_cast<unsigned>(value));
  return 0;
}
