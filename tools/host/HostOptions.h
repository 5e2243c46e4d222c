// The host's command line.
#pragma once

#include <cstdio>
#include <string>

#include "FileMeasurement.h"
#include "RunReport.h"

struct HostOptions {
  MeasurementRequest request;  // no files: the demonstration pair
  std::string csvFile;         // "-": standard output
  FrameLines lines = FrameLines::Runs;
};

void PrintUsage(FILE* out);

// Reads the arguments into `options`. Returns -1 to go on measuring, else
// the exit code (help, --about and --set-trace-mask end here; argument
// errors give a one-line message and 2).
int ParseArguments(int argc, char** argv, HostOptions* options);
