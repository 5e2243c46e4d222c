// vantrel-host: the example host. Loading the library has already read the
// trace mask; this shows what a user wants to see first about it.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Vantrel/DebugTrace.h"
#include "Vantrel/MeasurementApp.h"
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
        "usage: vantrel-host\n"
        "Loads the Vantrel measurement library and reports its set-up.\n"
        "Environment: VANTREL_REGISTRY (registry folder), VANTREL_TRACE (trace file).\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        bool help = std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0;
        PrintUsage();
        return help ? 0 : 2;
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
