#include "HostOptions.h"

#include <cstdlib>
#include <vector>

#include "DemoPair.h"
#include "LibraryReport.h"
#include "Vantrel/DelaySearchRange.h"
#include "Vantrel/Version.h"

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: vantrel-host [options] [--] [REFERENCE.wav TEST.wav]\n"
               "Measures the delay of TEST behind REFERENCE frame by frame (without files: a built-in\n"
               "demonstration pair whose test lags by %d samples).\n"
               "  --csv FILE             also write one row per frame to FILE (- for stdout: then only the\n"
               "                         table goes to stdout, everything else to stderr)\n"
               "  --max-delay-ms MS      search range in milliseconds (default 1000)\n"
               "  --track                re-check the delay and follow it when it steps or drifts\n"
               "                         (without it every frame carries the delay found at the start)\n"
               "  --channel 0|1          the channel the delay is estimated on (default 0)\n"
               "  --align-levels         align the test level to the reference and report both levels\n"
               "  --frames               one line per frame instead of one per run of equal frames\n"
               "  --quiet                no frame lines, only the summary\n"
               "  --about                report the library's set-up and exit\n"
               "  --version              print the library's version and exit\n"
               "  --set-trace-mask MASK  store MASK as the trace mask read at the next load: 0x and 1-8 hex\n"
               "                         digits (0x410), or a decimal number without leading zeros (1040)\n"
               "  --                     the arguments after it are files, even when they begin with -\n"
               "Environment: VANTREL_REGISTRY (registry folder), VANTREL_TRACE (trace file).\n",
               DEMO_DELAY_SAMPLES);
}

namespace {

// What the option parsers below answer besides an exit code.
constexpr int kGoOn = -1;         // taken; the next argument follows
constexpr int kNotThisKind = -2;  // not one of the options the parser knows

// An option's value; another option in its place is a forgotten value.
const char* OptionValue(int argc, char** argv, int* i, const char* name) {
  if (*i + 1 >= argc) {
    std::fprintf(stderr, "vantrel-host: %s needs a value\n", name);
    return nullptr;
  }
  const char* next = argv[*i + 1];
  if (next[0] == '-' && next[1] != '\0' && !(next[1] >= '0' && next[1] <= '9')) {
    std::fprintf(stderr, "vantrel-host: %s needs a value, not the option %s\n", name, next);
    return nullptr;
  }
  return argv[++*i];
}

// The options that do their work and end the run: their exit code.
int ParseFinalOption(const std::string& arg, int argc, char** argv, int* i) {
  if (arg == "-h" || arg == "--help") {
    PrintUsage(stdout);
    return 0;
  }
  if (arg == "--version") {
    std::printf("vantrel-host with libvantrel %s\n", VantrelLibraryVersion());
    return 0;
  }
  if (arg == "--about") {
    PrintFirstRunNote(stdout);
    PrintLibraryReport();
    return 0;
  }
  if (arg == "--set-trace-mask") {
    const char* mask = OptionValue(argc, argv, i, "--set-trace-mask");
    return mask == nullptr ? 2 : SetTraceMask(mask);
  }
  return kNotThisKind;
}

// The options that take a value: kGoOn, or 2 on a missing or bad value.
int ParseValueOption(const std::string& arg, int argc, char** argv, int* i, HostOptions* options) {
  if (arg == "--csv") {
    const char* path = OptionValue(argc, argv, i, "--csv");
    if (path == nullptr) return 2;
    if (*path == '\0') {
      std::fprintf(stderr, "vantrel-host: --csv needs a file name (- for stdout)\n");
      return 2;
    }
    options->csvFile = path;
    return kGoOn;
  }
  if (arg == "--max-delay-ms") {
    const char* text = OptionValue(argc, argv, i, "--max-delay-ms");
    char* end = nullptr;
    const long ms = text != nullptr ? std::strtol(text, &end, 10) : 0;
    if (text == nullptr || *text == '\0' || *end != '\0' || ms < 1 || ms > long(DELAY_SEARCH_MAX_MS)) {
      std::fprintf(stderr, "vantrel-host: --max-delay-ms takes 1..%u\n", DELAY_SEARCH_MAX_MS);
      return 2;
    }
    options->request.maxDelayMs = int(ms);
    return kGoOn;
  }
  if (arg == "--channel") {
    const char* text = OptionValue(argc, argv, i, "--channel");
    if (text == nullptr || (std::string(text) != "0" && std::string(text) != "1")) {
      std::fprintf(stderr, "vantrel-host: --channel takes 0 or 1\n");
      return 2;
    }
    options->request.channel = text[0] - '0';
    return kGoOn;
  }
  return kNotThisKind;
}

// The switches; false when arg is none of them.
bool ParseSwitch(const std::string& arg, HostOptions* options) {
  if (arg == "--track")
    options->request.track = true;
  else if (arg == "--align-levels")
    options->request.levelAlign = true;
  else if (arg == "--frames")
    options->lines = FrameLines::Every;
  else if (arg == "--quiet")
    options->lines = FrameLines::None;
  else
    return false;
  return true;
}

}  // namespace

int ParseArguments(int argc, char** argv, HostOptions* options) {
  std::vector<std::string> files;
  bool optionsEnded = false;  // after "--" every argument is a file
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded) {
      int code = ParseFinalOption(arg, argc, argv, &i);
      if (code == kNotThisKind) code = ParseValueOption(arg, argc, argv, &i, options);
      if (code == kGoOn) continue;
      if (code != kNotThisKind) return code;
      if (ParseSwitch(arg, options)) continue;
    }
    if (arg.empty()) {
      // An unset shell variable, most likely; not a request for the demonstration pair.
      std::fprintf(stderr, "vantrel-host: a file name is empty\n");
      return 2;
    }
    if (!optionsEnded && arg[0] == '-') {
      std::fprintf(stderr, "vantrel-host: unknown option %s\n", arg.c_str());
      PrintUsage(stderr);
      return 2;
    }
    files.push_back(arg);
  }
  if (files.size() == 1 || files.size() > 2) {
    std::fprintf(stderr, "vantrel-host: give two sound files (reference, then test) or none\n");
    return 2;
  }
  if (files.size() == 2) {
    options->request.referenceFile = files[0];
    options->request.testFile = files[1];
  }
  return -1;
}
