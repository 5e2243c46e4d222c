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

namespace {

// The mask's one written form: 0x (or 0X) and 1 to 8 hexadecimal digits, or
// decimal digits without a leading zero, up to 4294967295; nothing before
// or after (no sign, space, octal).
bool ParseMask(const std::string& text, uint32_t* mask) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  const char* const allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) return false;
  if (hex ? digits.size() > 8 : (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0'))) return false;
  const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (value > 0xFFFFFFFFull) return false;
  *mask = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

int SetTraceMask(const char* text) {
  uint32_t value = 0;
  if (!ParseMask(text, &value)) {
    std::fprintf(stderr, "vantrel-host: not a trace mask: '%s' (0x and 1-8 hex digits, or a decimal number)\n", text);
    return 2;
  }
  const LONG result = WriteToRegistry(TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE, value);
  if (result != 0) {
    std::fprintf(stderr, "vantrel-host: cannot write %s\\%s (code %d)\n", TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE,
                 static_cast<int>(result));
    return 1;
  }
  std::printf("Trace mask 0x%X stored; it applies from the next start.\n", static_cast<unsigned>(value));
  return 0;
}
