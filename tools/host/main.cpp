// vantrel-host: the example host. With two sound files (reference first,
// test second) it measures the delay between them; with none it measures
// a built-in demonstration pair with a known delay. Runs of frames with the
// same delay and status are printed (every frame with --frames), then a
// summary; --csv writes the frames as a table.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "CsvTable.h"
#include "DemoPair.h"
#include "EndingSignals.h"
#include "FileMeasurement.h"
#include "HostOptions.h"
#include "LibraryReport.h"
#include "Progress.h"
#include "RunReport.h"
#include "SignalCheck.h"
#include "TempFolder.h"

namespace {

int Fail(const std::string& error) {
  std::fflush(stdout);
  std::fprintf(stderr, "vantrel-host: %s\n", error.c_str());
  return 1;
}

std::string Gigabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / 1e9);
  return text;
}

// One line, before the frames, when the search covers less than was asked.
void NoteNarrowedRange(const MeasurementPlan& plan) {
  std::string why;
  switch (plan.narrowing) {
    case DelaySearchNarrowing::None: return;
    case DelaySearchNarrowing::InputLength:
      why = "the files (" + std::to_string(plan.lengthFrames) + " samples) cannot fill a search of +-" +
            std::to_string(plan.requestedMaxDelayMs) + " ms";
      break;
    case DelaySearchNarrowing::Memory:
      why = "a search of +-" + std::to_string(plan.requestedMaxDelayMs) + " ms would need about " +
            Gigabytes(plan.requestedBytes) + " of buffers";
      break;
    case DelaySearchNarrowing::Transform:
      why = "this build's transforms cannot cover +-" + std::to_string(plan.requestedMaxDelayMs) + " ms at " +
            std::to_string(plan.sampleRate) + " Hz";
      break;
  }
  std::fflush(stdout);
  std::fprintf(stderr, "vantrel-host: note: %s; searching within +-%d ms instead\n", why.c_str(), plan.maxDelayMs);
}

// A run whose output did not reach its reader has failed, however well
// it measured.
int CheckStandardOutput(int code) {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return code;
  if (code != 0) return code;  // already failed and said why
  const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
  std::fprintf(stderr, "vantrel-host: the standard output could not be written%s\n", reason.c_str());
  return 1;
}

// Writes the built-in pair into `folder` and points the request at it;
// says so on `text` unless it is null.
bool UseDemoPair(TempFolder* folder, MeasurementRequest* request, FILE* text, std::string* error) {
  if (!folder->Create() || !WriteDemoPair(folder->Path(), &request->referenceFile, &request->testFile, error))
    return false;
  if (text == nullptr) return true;
  std::fprintf(text,
               "Demonstration pair: %d s of speech-like sound at %d Hz; the test lags by %d samples "
               "(%.1f ms) at %.0f %% of the level, with a little noise.\n",
               DEMO_SECONDS, DEMO_RATE, DEMO_DELAY_SAMPLES, 1000.0 * DEMO_DELAY_SAMPLES / DEMO_RATE,
               100.0 * DEMO_TEST_GAIN);
  return true;
}

void NoteNonFiniteSamples(FILE* text, const int64_t (&nonFinite)[2]) {
  const char* const fileNames[2] = {"reference", "test"};
  for (int input = 0; input < 2; ++input)
    if (nonFinite[input] > 0)
      std::fprintf(text,
                   "Note: %lld sample(s) of the %s file were not finite or lay more than 60 dB over full scale, and "
                   "were measured as silence\n",
                   static_cast<long long>(nonFinite[input]), fileNames[input]);
}

// Measures the planned pair, printing the frames as they come (and writing
// them to the table when asked), then the summary.
int MeasureAndReport(const HostOptions& options, const MeasurementPlan& plan, FILE* text) {
  const MeasurementRequest& request = options.request;
  std::string error;
  CsvTable csv;
  if (!options.csvFile.empty() && !csv.Open(options.csvFile, &error)) return Fail(error);
  Progress progress(plan.lengthFrames, plan.sampleRate, plan.frameLength, options.lines == FrameLines::None);
  RunReport report(text, plan, options.lines, [&] { progress.Clear(); });
  RunFindings findings;
  std::string csvError;
  const bool measured = RunFileMeasurement(
      request, plan, [&](int64_t samplesRead) { progress.Search(samplesRead); },
      [&](const FrameLine& line) {
        report.Add(line);
        progress.Frame(line.frame);
        return csv.Row(plan.sampleRate, line, &csvError);
      },
      &findings, &error);
  if (!measured) return Fail(error);
  if (!csvError.empty()) {
    progress.Clear();
    return Fail(csvError);
  }
  report.Finish();
  progress.Finish();

  if (!options.csvFile.empty() && !csv.Commit(&error)) return Fail(error);
  const std::string why = report.NothingCorrelated()
                              ? ExplainNoCorrelation(request.referenceFile, request.testFile, plan.channel,
                                                     plan.channels, plan.frameLength, plan.searchBlock)
                              : std::string();
  report.PrintSummary(request.levelAlign, why, findings.rivalPeaks, findings.delayMoved ? &findings.move : nullptr);
  NoteNonFiniteSamples(text, findings.nonFiniteSamples);
  return 0;
}

int Measure(int argc, char** argv) {
  HostOptions options;
  if (const int code = ParseArguments(argc, argv, &options); code >= 0) return code;
  MeasurementRequest& request = options.request;
  // With the table on stdout, everything else goes to stderr.
  const bool csvToStdout = !options.csvFile.empty() && CsvTable::IsStandardOutput(options.csvFile);
  FILE* text = csvToStdout ? stderr : stdout;
  PrintFirstRunNote(text);

  std::string error;
  std::vector<std::string> inputs;
  if (!request.referenceFile.empty()) inputs = {request.referenceFile, request.testFile};
  if (!options.csvFile.empty() && !CsvTable::Check(options.csvFile, inputs, &error)) return Fail(error);

  EndRunOnSignals();
  // --quiet: the summary alone.
  FILE* chatter = options.lines == FrameLines::None ? nullptr : text;
  TempFolder demoFolder;
  if (request.referenceFile.empty() && !UseDemoPair(&demoFolder, &request, chatter, &error))
    return Fail("cannot write the demonstration pair: " + error);
  MeasurementPlan plan;
  if (!PlanFileMeasurement(request, &plan, &error)) return Fail(error);
  if (chatter != nullptr) {
    std::fprintf(chatter, "Reference: %s\nTest:      %s\nSearching the delay...\n", request.referenceFile.c_str(),
                 request.testFile.c_str());
    std::fflush(chatter);
  }
  NoteNarrowedRange(plan);

  if (const int code = MeasureAndReport(options, plan, text); code != 0) return code;
  if (!options.csvFile.empty() && !csvToStdout) std::fprintf(text, "Frames written to %s\n", options.csvFile.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return CheckStandardOutput(Measure(argc, argv));
  } catch (const std::bad_alloc&) {
    // Whatever ran short, the run ends with a reason rather than an abort.
    return Fail("out of memory");
  }
}
