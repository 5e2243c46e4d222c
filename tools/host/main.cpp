// vantrel-host: the example host. With two sound files (reference first,
// test second) it measures the delay between them; with none it measures
// a built-in demonstration pair with a known delay. Each frame's delay,
// status and quality are printed, then a summary; --csv writes the frames
// as a table.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "DemoPair.h"
#include "FileMeasurement.h"
#include "LibraryReport.h"
#include "TempFolder.h"

namespace {

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: vantrel-host [options] [REFERENCE.wav TEST.wav]\n"
               "Measures the delay of TEST behind REFERENCE frame by frame (without files: a built-in\n"
               "demonstration pair whose test lags by %d samples).\n"
               "  --csv FILE             also write one row per frame to FILE\n"
               "  --max-delay-ms MS      search range in milliseconds (default 1000)\n"
               "  --align-levels         align the test level to the reference\n"
               "  --quiet                no per-frame lines, only the summary\n"
               "  --about                report the library's set-up and exit\n"
               "  --set-trace-mask MASK  store MASK (e.g. 0x410) as the trace mask read at the next load\n"
               "Environment: VANTREL_REGISTRY (registry folder), VANTREL_TRACE (trace file).\n",
               DEMO_DELAY_SAMPLES);
}

struct Options {
  MeasurementRequest request;
  std::string csvFile;
  bool quiet = false;
};

struct Progress {
  bool quiet = false;
  bool terminal = false;
  int lastPercent = -100;  // below every step, so that 0 % shows too
  int requestedMaxDelayMs = 0;
  bool rangeNoted = false;
};

// Said before the first frame, so that the frames are read knowing it.
void NoteNarrowedRange(const MeasurementReport& report, Progress* progress) {
  if (progress->rangeNoted || report.maxDelayMs >= progress->requestedMaxDelayMs) return;
  progress->rangeNoted = true;
  std::fflush(stdout);
  std::fprintf(stderr,
               "vantrel-host: note: this build's transforms cover delays up to %d ms at %d Hz; "
               "searching that range instead of %d ms\n",
               report.maxDelayMs, report.sampleRate, progress->requestedMaxDelayMs);
}

void OnFrame(const MeasurementReport& report, const FrameLine& line, void* context) {
  auto* progress = static_cast<Progress*>(context);
  NoteNarrowedRange(report, progress);
  const double ms = 1000.0 * line.delaySamples / report.sampleRate;
  if (!progress->quiet)
    std::printf("frame %6d  delay %7d samples (%9.3f ms)  %-9s  quality %4d\n", line.frame, line.delaySamples, ms,
                StatusName(line.status), line.quality);
  // Long files: a progress figure on stderr every 10 % (every 1 % on a terminal).
  const double done = double(line.frame + 1) * report.frameLength / double(std::max<int64_t>(report.lengthFrames, 1));
  const int percent = std::min(100, int(100.0 * done));
  const int step = progress->terminal ? 1 : 10;
  if (report.lengthFrames > 30 * int64_t(report.sampleRate) && percent / step != progress->lastPercent / step) {
    progress->lastPercent = percent;
    std::fprintf(stderr, progress->terminal ? "\rprogress: %3d %%" : "progress: %3d %%\n", percent);
    if (progress->terminal && percent == 100) std::fprintf(stderr, "\n");
  }
}

// Checked before the measurement, so that an unwritable path fails at once,
// and without touching the file, so that a failed run leaves an older table.
bool CsvWritable(const std::string& path, std::string* error) {
  const std::filesystem::path file(path);
  std::error_code ignored;
  const bool exists = std::filesystem::exists(file, ignored);
  if (exists && std::filesystem::is_directory(file, ignored)) {
    *error = "cannot write " + path + ": it is a folder";
    return false;
  }
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  if (access(exists ? path.c_str() : folder.c_str(), W_OK) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteCsv(const std::string& path, const MeasurementReport& report, std::string* error) {
  FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::fprintf(out, "frame,delay_samples,delay_ms,status,status_name,quality,delay_valid\n");
  for (const FrameLine& line : report.frames)
    std::fprintf(out, "%d,%d,%.3f,%d,%s,%d,%d\n", line.frame, line.delaySamples,
                 1000.0 * line.delaySamples / report.sampleRate, line.status & 0xFFFF, StatusName(line.status),
                 line.quality, line.delayValid);
  const bool ok = std::fclose(out) == 0;
  if (!ok) *error = "cannot write " + path + ": " + std::strerror(errno);
  return ok;
}

void PrintSummary(const MeasurementReport& report) {
  std::map<int32_t, int> reliableDelays;
  int reliable = 0;
  for (const FrameLine& line : report.frames)
    if ((line.status & 0xFFFF) == 1) {
      ++reliable;
      ++reliableDelays[line.delaySamples];
    }
  const size_t frames = report.frames.size();
  const std::string channels = report.fileChannels > report.channels
                                   ? std::to_string(report.channels) + " of " + std::to_string(report.fileChannels)
                                   : std::to_string(report.channels);
  std::printf("\nSummary: %zu frame%s of %u samples at %d Hz, %s channel(s), delays searched up to %d ms\n", frames,
              frames == 1 ? "" : "s", report.frameLength, report.sampleRate, channels.c_str(), report.maxDelayMs);
  if (reliable == 0) {
    const FrameLine last = frames != 0 ? report.frames.back() : FrameLine{};
    // Without any correlation the estimate is only the edge of the search range.
    if (report.lengthFrames < report.searchSamples) {
      const bool rangeMatters = report.searchSamples > 17 * int64_t(report.frameLength);
      std::printf(
          "No reliable delay found: the files are too short to search +-%d ms (%lld samples "
          "needed, %lld there)%s.\n",
          report.maxDelayMs, static_cast<long long>(report.searchSamples), static_cast<long long>(report.lengthFrames),
          rangeMatters ? "; a smaller --max-delay-ms needs less" : "");
    } else if (last.quality == 0)
      std::printf("No reliable delay found: the signals do not correlate.\n");
    else
      std::printf("No reliable delay found within +-%d ms (last estimate %d samples, %.3f ms, at quality %d).\n",
                  report.maxDelayMs, last.delaySamples, 1000.0 * last.delaySamples / report.sampleRate, last.quality);
  } else {
    auto most = reliableDelays.begin();
    for (auto it = reliableDelays.begin(); it != reliableDelays.end(); ++it)
      if (it->second > most->second) most = it;
    std::printf("Delay found: %d samples (%.3f ms), test %s the reference\n", most->first,
                1000.0 * most->first / report.sampleRate,
                most->first > 0 ? "behind" : (most->first < 0 ? "ahead of" : "in step with"));
    if (reliableDelays.size() > 1)
      std::printf("The reliable delay varied between %d and %d samples.\n", reliableDelays.begin()->first,
                  reliableDelays.rbegin()->first);
  }
  std::printf("Reliable: %d of %zu frames (%.1f %% of the file)\n", reliable, frames,
              frames != 0 ? 100.0 * reliable / double(frames) : 0.0);
}

int ParseArguments(int argc, char** argv, Options* options) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vantrel-host: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--about") {
      PrintFirstRunNote();
      PrintLibraryReport();
      return 0;
    } else if (arg == "--set-trace-mask") {
      const char* mask = value("--set-trace-mask");
      return mask == nullptr ? 2 : SetTraceMask(mask);
    } else if (arg == "--csv") {
      const char* path = value("--csv");
      if (path == nullptr) return 2;
      options->csvFile = path;
    } else if (arg == "--max-delay-ms") {
      const char* text = value("--max-delay-ms");
      char* end = nullptr;
      const long ms = text != nullptr ? std::strtol(text, &end, 10) : 0;
      if (text == nullptr || *end != '\0' || ms < 1 || ms > 240000) {
        std::fprintf(stderr, "vantrel-host: --max-delay-ms takes 1..240000\n");
        return 2;
      }
      options->request.maxDelayMs = int(ms);
    } else if (arg == "--align-levels") {
      options->request.levelAlign = true;
    } else if (arg == "--quiet") {
      options->quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "vantrel-host: unknown option %s\n", arg.c_str());
      PrintUsage(stderr);
      return 2;
    } else {
      files.push_back(arg);
    }
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

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int code = ParseArguments(argc, argv, &options); code >= 0) return code;
  PrintFirstRunNote();

  std::string error;
  if (!options.csvFile.empty() && !CsvWritable(options.csvFile, &error)) {
    std::fprintf(stderr, "vantrel-host: %s\n", error.c_str());
    return 1;
  }

  TempFolder demoFolder;
  if (options.request.referenceFile.empty()) {
    if (!demoFolder.Create() ||
        !WriteDemoPair(demoFolder.Path(), &options.request.referenceFile, &options.request.testFile, &error)) {
      std::fprintf(stderr, "vantrel-host: cannot write the demonstration pair: %s\n", error.c_str());
      return 1;
    }
    std::printf(
        "Demonstration pair: %d s of speech-like sound at %d Hz; the test lags by %d samples "
        "(%.1f ms) at %.0f %% of the level, with a little noise.\n",
        DEMO_SECONDS, DEMO_RATE, DEMO_DELAY_SAMPLES, 1000.0 * DEMO_DELAY_SAMPLES / DEMO_RATE, 100.0 * DEMO_TEST_GAIN);
  }
  std::printf("Reference: %s\nTest:      %s\nSearching the delay...\n", options.request.referenceFile.c_str(),
              options.request.testFile.c_str());
  std::fflush(stdout);

  Progress progress;
  progress.quiet = options.quiet;
  progress.terminal = isatty(STDERR_FILENO) != 0;
  progress.requestedMaxDelayMs = options.request.maxDelayMs;
  MeasurementReport report;
  if (!MeasureFilePair(options.request, &report, &error, OnFrame, &progress)) {
    std::fprintf(stderr, "vantrel-host: %s\n", error.c_str());
    return 1;
  }
  NoteNarrowedRange(report, &progress);
  PrintSummary(report);
  if (!options.csvFile.empty()) {
    if (!WriteCsv(options.csvFile, report, &error)) {
      std::fprintf(stderr, "vantrel-host: %s\n", error.c_str());
      return 1;
    }
    std::printf("Frames written to %s\n", options.csvFile.c_str());
  }
  return 0;
}
