// vantrel-host: the example host. Loading the library has already read the
// trace mask; this shows what a user wants to see first about it.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/MeasurementApp.h"
#include "Vantrel/Registry.h"
#include "Mathlib/MathlibHandle.h"
#include "Mathlib/MathlibReport.h"
#include "platform/registry.h"
#include "primitives/frame/dispatch.h"
#include "primitives/frame/variant_seams.h"

namespace {

const char* FileState(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return "not created yet";
    return (info.st_mode & 0222) != 0 ? "writable" : "read-only";
}

// The first math-layer handle runs processor detection; the report measures
// the clock, which takes two to three seconds.
void PrintMathReport() {
    MathlibHandle* handle = MathlibInit();
    std::printf("Variant set: %s\n", spVariantSetName(spDispatchIndex.load()));
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

void PrintUsage() {
    std::printf(
        "usage: vantrel-host [--set-trace-mask MASK]\n"
        "Loads the Vantrel measurement library and reports its set-up.\n"
        "--set-trace-mask MASK  stores MASK (e.g. 0x410) as the trace mask read at the next load\n"
        "Environment: VANTREL_REGISTRY (registry folder), VANTREL_TRACE (trace file).\n");
}

// Stores the mask that the next load of the library reads.
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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--set-trace-mask") == 0) return SetTraceMask(argv[2]);
    if (argc > 1) {
        bool help = std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0;
        PrintUsage();
        return help ? 0 : 2;
    }
    if (!theApp.TraceLevelWasStored()) {
        // The load has just traced the failed read of the absent value.
        const bool storedNow = RegistryValueExists(TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE);
        std::printf("First run: no trace mask was stored yet, so the ReadFromRegistry() ERROR line is expected; "
                    "the mask is 0 (no trace lines)%s.\n",
                    storedNow ? " and has been stored" : ", but it could not be stored");
    }
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
    return 0;
}
