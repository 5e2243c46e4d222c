// Trace lines of the signal front end's stages: written only when the
// trace mask asks for ordinary lines.
#pragma once

#include "Vantrel/DebugTrace.h"

#define FRONT_END_TRACE(...)                                   \
  do {                                                         \
    if (TraceEnabled(TRACE_ORDINARY)) DebugTrace(__VA_ARGS__); \
  } while (0)
