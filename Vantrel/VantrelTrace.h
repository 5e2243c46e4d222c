// The component's one way to write a trace line: the line is formatted and
// written only when the process-wide trace mask has one of the given bits.
//     VANTREL_TRACE(TRACE_ORDINARY, "CMsystem::Go()\n");
#pragma once

#include "Vantrel/DebugTrace.h"

#define VANTREL_TRACE(bits, ...)                     \
  do {                                               \
    if (TraceEnabled(bits)) DebugTrace(__VA_ARGS__); \
  } while (0)
