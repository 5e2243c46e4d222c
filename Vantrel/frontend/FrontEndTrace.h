// The delay buffer's name for an ordinary trace line. New code writes
// VANTREL_TRACE(TRACE_ORDINARY, ...) itself; this name goes once the delay
// buffer's sources are next edited.
#pragma once

#include "Vantrel/VantrelTrace.h"

#define FRONT_END_TRACE(...) VANTREL_TRACE(TRACE_ORDINARY, __VA_ARGS__)
